// Zentarix — MIT licence.
// The BMP, PNG and JPEG encoder adapters, each file read back by an independent reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <csetjmp>
#include <memory>
#include <random>
#include <vector>

#include "codec.h"
#include "test_image.h"

#include <png.h>
#include <jpeglib.h>

using namespace zx::gdip;
using Gdiplus::Status;
using zx::test::encode;
using zx::test::find_encoder;
using zx::test::TestImage;

namespace {

constexpr CLSID kBmpClsid = {0x557CF400, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr CLSID kJpegClsid = {0x557CF401, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr CLSID kPngClsid = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

uint32_t le32(const std::vector<uint8_t>& f, size_t at) {
  return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& f, size_t at) { return uint16_t(f[at] | f[at + 1] << 8); }
uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

// A minimal BMP header reader of our own.
struct BmpHeader {
  uint32_t fileSize, offBits, headerSize, compression, imageSize, clrUsed;
  int32_t width, height;
  uint16_t bitCount;
  int32_t ppmX, ppmY;
};
BmpHeader parse_bmp(const std::vector<uint8_t>& f) {
  BmpHeader h{};
  EXPECT_GE(f.size(), 54u);
  if (f.size() < 54) return h;
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  h.fileSize = le32(f, 2);
  h.offBits = le32(f, 10);
  h.headerSize = le32(f, 14);
  h.width = int32_t(le32(f, 18));
  h.height = int32_t(le32(f, 22));
  h.bitCount = le16(f, 28);
  h.compression = le32(f, 30);
  h.imageSize = le32(f, 34);
  h.ppmX = int32_t(le32(f, 38));
  h.ppmY = int32_t(le32(f, 42));
  h.clrUsed = le32(f, 46);
  return h;
}

// PNG chunks of interest, found by walking the chunk list ourselves.
struct PngChunks {
  int bitDepth = -1, colorType = -1;
  uint32_t width = 0, height = 0;
  std::vector<uint8_t> plte, trns, phys;
  bool hasTrns = false, hasPhys = false;
};
PngChunks walk_png(const std::vector<uint8_t>& f) {
  PngChunks c;
  static const uint8_t sig[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  EXPECT_TRUE(f.size() > 8 && std::memcmp(f.data(), sig, 8) == 0);
  size_t at = 8;
  while (at + 12 <= f.size()) {
    const uint32_t len = be32(&f[at]);
    const std::string type(reinterpret_cast<const char*>(&f[at + 4]), 4);
    if (at + 12 + len > f.size()) break;
    const uint8_t* d = &f[at + 8];
    if (type == "IHDR") {
      c.width = be32(d);
      c.height = be32(d + 4);
      c.bitDepth = d[8];
      c.colorType = d[9];
    } else if (type == "PLTE") {
      c.plte.assign(d, d + len);
    } else if (type == "tRNS") {
      c.hasTrns = true;
      c.trns.assign(d, d + len);
    } else if (type == "pHYs") {
      c.hasPhys = true;
      c.phys.assign(d, d + len);
    }
    at += 12 + len;
  }
  return c;
}

// Pixels through libpng's simplified reader, as straight RGBA.
std::vector<uint8_t> png_pixels_rgba(const std::vector<uint8_t>& f, int* w, int* h) {
  png_image img{};
  img.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&img, f.data(), f.size())) return {};
  img.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> px(PNG_IMAGE_SIZE(img));
  if (!png_image_finish_read(&img, nullptr, px.data(), 0, nullptr)) return {};
  *w = int(img.width);
  *h = int(img.height);
  return px;
}

// What libjpeg reads back from a file.
struct JpegRead {
  bool ok = false;
  int width = 0, height = 0, components = 0;
  bool jfif = false;
  int densityUnit = -1, xDensity = 0, yDensity = 0;
  std::vector<uint8_t> rgb;
};
struct JpegReadError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};
void jpeg_read_fail(j_common_ptr c) { std::longjmp(reinterpret_cast<JpegReadError*>(c->err)->jump, 1); }
// No object with a destructor is created in this frame after setjmp; `out` lives in the caller.
void read_jpeg(const std::vector<uint8_t>& f, JpegRead* out) {
  jpeg_decompress_struct d{};
  JpegReadError err{};
  d.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = jpeg_read_fail;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&d);
    out->ok = false;
    return;
  }
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, f.data(), static_cast<unsigned long>(f.size()));
  jpeg_read_header(&d, TRUE);
  out->jfif = d.saw_JFIF_marker;
  out->densityUnit = d.density_unit;
  out->xDensity = d.X_density;
  out->yDensity = d.Y_density;
  out->components = d.num_components;
  d.out_color_space = JCS_RGB;
  jpeg_start_decompress(&d);
  out->width = int(d.output_width);
  out->height = int(d.output_height);
  out->rgb.resize(size_t(out->width) * out->height * 3);
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = out->rgb.data() + size_t(d.output_scanline) * out->width * 3;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  out->ok = true;
}

}  // namespace

TEST(EncoderRegistration, EveryEncoderRegistersItsClsidAndMimeType) {
  struct Want {
    CLSID clsid;
    GUID format;
    std::u16string mime;
  };
  const Want wants[] = {{kBmpClsid, Gdiplus::ImageFormatBMP, u"image/bmp"},
                        {kJpegClsid, Gdiplus::ImageFormatJPEG, u"image/jpeg"},
                        {kPngClsid, Gdiplus::ImageFormatPNG, u"image/png"},
                        {{0x557CF402, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}},
                         Gdiplus::ImageFormatGIF,
                         u"image/gif"},
                        {{0x557CF405, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}},
                         Gdiplus::ImageFormatTIFF,
                         u"image/tiff"}};
  for (const Want& w : wants) {
    const CodecEntry* e = find_encoder(w.clsid);
    ASSERT_NE(e, nullptr) << std::string(w.mime.begin(), w.mime.end());
    EXPECT_EQ(std::memcmp(&e->formatId, &w.format, sizeof(GUID)), 0);
    EXPECT_EQ(std::u16string(e->mimeType), w.mime);
    EXPECT_NE(e->encode, nullptr);
    EXPECT_EQ(e->sniff, nullptr);
    EXPECT_EQ(e->decode, nullptr);
  }
}

TEST(BmpEncoder, Writes24BppBottomUpWithPaddedRowsAndResolution) {
  TestImage img(3, 2, Gdiplus::PixelFormat24bppRGB);
  for (int x = 0; x < 9; ++x) {
    img.row(0)[x] = uint8_t(10 + x);
    img.row(1)[x] = uint8_t(100 + x);
  }
  std::vector<uint8_t> f;
  ASSERT_EQ(encode(kBmpClsid, img, f), Status::Ok);
  const BmpHeader h = parse_bmp(f);
  EXPECT_EQ(h.fileSize, f.size());
  EXPECT_EQ(h.offBits, 54u);
  EXPECT_EQ(h.headerSize, 40u);
  EXPECT_EQ(h.width, 3);
  EXPECT_EQ(h.height, 2);
  EXPECT_EQ(h.bitCount, 24);
  EXPECT_EQ(h.compression, 0u);
  EXPECT_EQ(h.imageSize, 24u);
  EXPECT_EQ(h.ppmX, 11811);  // 300 dpi
  EXPECT_EQ(h.ppmY, 5906);   // 150 dpi
  ASSERT_EQ(f.size(), 54u + 24u);
  // The bottom image row comes first.
  for (int x = 0; x < 9; ++x) {
    EXPECT_EQ(f[54 + x], 100 + x);
    EXPECT_EQ(f[66 + x], 10 + x);
  }
  EXPECT_EQ(f[63], 0);
  EXPECT_EQ(f[65], 0);
}

TEST(BmpEncoder, Writes32BppKeepingTheAlphaByte) {
  TestImage img(1, 1, Gdiplus::PixelFormat32bppARGB);
  const uint8_t px[4] = {0x11, 0x22, 0x33, 0x44};
  std::memcpy(img.row(0), px, 4);
  std::vector<uint8_t> f;
  ASSERT_EQ(encode(kBmpClsid, img, f), Status::Ok);
  const BmpHeader h = parse_bmp(f);
  EXPECT_EQ(h.bitCount, 32);
  ASSERT_EQ(f.size(), 58u);
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54, f.end()), (std::vector<uint8_t>{0x11, 0x22, 0x33, 0x44}));
}

TEST(BmpEncoder, Writes1And8BppWithTheirColourTables) {
  TestImage one(10, 2, Gdiplus::PixelFormat1bppIndexed, {0xFF000000u, 0xFFFFFFFFu});
  one.row(0)[0] = 0xA5;
  one.row(0)[1] = 0xFF;  // only the top two bits are pixels
  one.row(1)[0] = 0x0F;
  std::vector<uint8_t> f;
  ASSERT_EQ(encode(kBmpClsid, one, f), Status::Ok);
  BmpHeader h = parse_bmp(f);
  EXPECT_EQ(h.bitCount, 1);
  EXPECT_EQ(h.clrUsed, 2u);
  EXPECT_EQ(h.offBits, 62u);
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54, f.begin() + 62),
            (std::vector<uint8_t>{0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0}));
  ASSERT_EQ(f.size(), 62u + 8u);
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 62, f.end()), (std::vector<uint8_t>{0x0F, 0, 0, 0, 0xA5, 0xC0, 0, 0}));

  TestImage eight(2, 1, Gdiplus::PixelFormat8bppIndexed, {0xFF102030u, 0x80405060u, 0xFF708090u});
  eight.row(0)[0] = 2;
  eight.row(0)[1] = 1;
  f.clear();
  ASSERT_EQ(encode(kBmpClsid, eight, f), Status::Ok);
  h = parse_bmp(f);
  EXPECT_EQ(h.bitCount, 8);
  EXPECT_EQ(h.clrUsed, 3u);
  EXPECT_EQ(h.offBits, 54u + 12u);
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 54, f.begin() + 66),
            (std::vector<uint8_t>{0x30, 0x20, 0x10, 0, 0x60, 0x50, 0x40, 0, 0x90, 0x80, 0x70, 0}));
  EXPECT_EQ(std::vector<uint8_t>(f.begin() + 66, f.end()), (std::vector<uint8_t>{2, 1, 0, 0}));
}

TEST(BmpEncoder, RefusesFormatsAndImagesItCannotWriteAndLeavesOutputAlone) {
  std::vector<uint8_t> f = {7};
  TestImage noPalette(2, 2, Gdiplus::PixelFormat8bppIndexed);
  EXPECT_EQ(encode(kBmpClsid, noPalette, f), Status::InvalidParameter);
  TestImage rgb565(2, 2, Gdiplus::PixelFormat16bppRGB565);
  EXPECT_EQ(encode(kBmpClsid, rgb565, f), Status::InvalidParameter);
  TestImage empty(0, 0, Gdiplus::PixelFormat24bppRGB);
  EXPECT_EQ(encode(kBmpClsid, empty, f), Status::InvalidParameter);
  EXPECT_EQ(f, std::vector<uint8_t>{7});
}

TEST(PngEncoder, Writes8BppPaletteWithTrnsUpToTheLastTransparentEntry) {
  TestImage img(4, 1, Gdiplus::PixelFormat8bppIndexed, {0xFFFF0000u, 0x0000FF00u, 0x800000FFu, 0xFF123456u});
  for (int x = 0; x < 4; ++x) img.row(0)[x] = uint8_t(x);
  std::vector<uint8_t> f;
  ASSERT_EQ(encode(kPngClsid, img, f), Status::Ok);
  const PngChunks c = walk_png(f);
  EXPECT_EQ(c.colorType, 3);
  EXPECT_EQ(c.bitDepth, 8);
  EXPECT_EQ(c.plte, (std::vector<uint8_t>{0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0x12, 0x34, 0x56}));
  ASSERT_TRUE(c.hasTrns);
  EXPECT_EQ(c.trns, (std::vector<uint8_t>{0xFF, 0x00, 0x80}));
  int w = 0, h = 0;
  const auto px = png_pixels_rgba(f, &w, &h);
  ASSERT_EQ(px.size(), 16u);
  EXPECT_EQ(px, (std::vector<uint8_t>{0xFF, 0, 0, 0xFF, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0x80, 0x12, 0x34, 0x56, 0xFF}));
}

TEST(PngEncoder, OpaquePaletteWritesNoTrnsAnd1BppStaysOneBit) {
  TestImage img(9, 2, Gdiplus::PixelFormat1bppIndexed, {0xFF000000u, 0xFFFFFFFFu});
  img.row(0)[0] = 0x80;
  img.row(1)[1] = 0x80;  // x = 8
  std::vector<uint8_t> f;
  ASSERT_EQ(encode(kPngClsid, img, f), Status::Ok);
  const PngChunks c = walk_png(f);
  EXPECT_EQ(c.colorType, 3);
  EXPECT_EQ(c.bitDepth, 1);
  EXPECT_FALSE(c.hasTrns);
  EXPECT_EQ(c.plte.size(), 6u);
  int w = 0, h = 0;
  const auto px = png_pixels_rgba(f, &w, &h);
  ASSERT_EQ(w, 9);
  ASSERT_EQ(h, 2);
  EXPECT_EQ(px[0], 0xFF);
  EXPECT_EQ(px[4], 0x00);
  EXPECT_EQ(px[(9 + 8) * 4], 0xFF);
  EXPECT_EQ(px[(9 + 7) * 4], 0x00);
}

TEST(PngEncoder, Writes32BppAlphaExactlyWithPhys) {
  TestImage img(13, 7, Gdiplus::PixelFormat32bppARGB);
  std::mt19937 rng(5);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 13 * 4; ++x) img.row(y)[x] = uint8_t(rng());
  std::vector<uint8_t> f;
  ASSERT_EQ(encode(kPngClsid, img, f), Status::Ok);
  const PngChunks c = walk_png(f);
  EXPECT_EQ(c.colorType, 6);
  EXPECT_EQ(c.bitDepth, 8);
  ASSERT_TRUE(c.hasPhys);
  ASSERT_EQ(c.phys.size(), 9u);
  EXPECT_EQ(be32(&c.phys[0]), 11811u);
  EXPECT_EQ(be32(&c.phys[4]), 5906u);
  EXPECT_EQ(c.phys[8], 1);
  int w = 0, h = 0;
  const auto px = png_pixels_rgba(f, &w, &h);
  ASSERT_EQ(px.size(), size_t(13 * 7 * 4));
  int bad = 0;
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 13; ++x) {
      const uint8_t* s = img.row(y) + 4 * x;
      const uint8_t* d = &px[(size_t(y) * 13 + x) * 4];
      bad += d[0] != s[2] || d[1] != s[1] || d[2] != s[0] || d[3] != s[3];
    }
  EXPECT_EQ(bad, 0);
}

TEST(PngEncoder, Writes24And32BppRgbAsRgb) {
  for (Gdiplus::PixelFormat format : {Gdiplus::PixelFormat24bppRGB, Gdiplus::PixelFormat32bppRGB}) {
    SCOPED_TRACE(format);
    TestImage img(2, 1, format);
    const int bpp = int(Gdiplus::GetPixelFormatSize(format) / 8);
    const uint8_t a[4] = {1, 2, 3, 0}, b[4] = {200, 150, 100, 0};
    std::memcpy(img.row(0), a, size_t(bpp));
    std::memcpy(img.row(0) + bpp, b, size_t(bpp));
    std::vector<uint8_t> f;
    ASSERT_EQ(encode(kPngClsid, img, f), Status::Ok);
    const PngChunks c = walk_png(f);
    EXPECT_EQ(c.colorType, 2);
    int w = 0, h = 0;
    EXPECT_EQ(png_pixels_rgba(f, &w, &h), (std::vector<uint8_t>{3, 2, 1, 255, 100, 150, 200, 255}));
  }
}

TEST(JpegEncoder, QualityZeroAndHundredBothDecodeWithDensityAndDifferInSize) {
  TestImage img(64, 48, Gdiplus::PixelFormat32bppARGB);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      uint8_t* p = img.row(y) + 4 * x;
      p[0] = uint8_t(x * 4);
      p[1] = uint8_t(y * 5);
      p[2] = uint8_t((x + y) * 2);
      p[3] = uint8_t(x);  // ignored
    }
  std::vector<uint8_t> q0, q1, q100;
  ASSERT_EQ(encode(kJpegClsid, img, q0, 0), Status::Ok);
  ASSERT_EQ(encode(kJpegClsid, img, q1, 1), Status::Ok);
  ASSERT_EQ(encode(kJpegClsid, img, q100, 100), Status::Ok);
  EXPECT_EQ(q0, q1);  // libjpeg raises quality 0 to 1
  EXPECT_GT(q100.size(), q0.size() * 2);
  for (const auto* f : {&q0, &q100}) {
    JpegRead r;
    read_jpeg(*f, &r);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.width, 64);
    EXPECT_EQ(r.height, 48);
    EXPECT_EQ(r.components, 3);
    EXPECT_TRUE(r.jfif);
    EXPECT_EQ(r.densityUnit, 1);
    EXPECT_EQ(r.xDensity, 300);
    EXPECT_EQ(r.yDensity, 150);
  }
  JpegRead best;
  read_jpeg(q100, &best);
  int worst = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const uint8_t* s = img.row(y) + 4 * x;
      const uint8_t* d = &best.rgb[(size_t(y) * 64 + x) * 3];
      worst = std::max({worst, std::abs(d[0] - s[2]), std::abs(d[1] - s[1]), std::abs(d[2] - s[0])});
    }
  EXPECT_LE(worst, 8);  // smooth ramps survive quality 100 with 4:2:0 chroma
}

TEST(JpegEncoder, IndexedAnd24BppInputsAreWrittenThroughTheirColours) {
  TestImage indexed(16, 16, Gdiplus::PixelFormat8bppIndexed, {0xFF000000u, 0xFF2060C0u});
  for (int y = 0; y < 16; ++y) std::memset(indexed.row(y), 1, 16);
  TestImage rgb(16, 16, Gdiplus::PixelFormat24bppRGB);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      rgb.row(y)[3 * x] = 0xC0;
      rgb.row(y)[3 * x + 1] = 0x60;
      rgb.row(y)[3 * x + 2] = 0x20;
    }
  for (const TestImage* img : {&indexed, &rgb}) {
    std::vector<uint8_t> f;
    ASSERT_EQ(encode(kJpegClsid, *img, f, 90), Status::Ok);
    JpegRead r;
    read_jpeg(f, &r);
    ASSERT_TRUE(r.ok);
    EXPECT_NEAR(r.rgb[0], 0x20, 4);
    EXPECT_NEAR(r.rgb[1], 0x60, 4);
    EXPECT_NEAR(r.rgb[2], 0xC0, 4);
  }
}

TEST(JpegEncoder, RefusesQualityOutsideZeroToHundredAndUnknownFormats) {
  TestImage img(4, 4, Gdiplus::PixelFormat24bppRGB);
  std::vector<uint8_t> f;
  EXPECT_EQ(encode(kJpegClsid, img, f, 101), Status::InvalidParameter);
  EXPECT_EQ(encode(kJpegClsid, img, f, -1), Status::InvalidParameter);
  TestImage grey(4, 4, Gdiplus::PixelFormat16bppGrayScale);
  EXPECT_EQ(encode(kJpegClsid, grey, f), Status::InvalidParameter);
  EXPECT_TRUE(f.empty());
}
