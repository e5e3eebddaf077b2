// Zentarix — MIT licence.
// The GIF and TIFF encoder adapters, each file read back with giflib or libtiff.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "codec.h"
#include "test_image.h"

#include <gif_lib.h>
#include <tiffio.h>

using namespace zx::gdip;
using Gdiplus::Status;
using zx::test::encode;
using zx::test::TestImage;

namespace {

constexpr CLSID kGifClsid = {0x557CF402, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
constexpr CLSID kTiffClsid = {0x557CF405, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

struct GifReader {
  const std::vector<uint8_t>* data;
  size_t pos = 0;
};
int gif_read(GifFileType* g, GifByteType* buf, int n) {
  auto* r = static_cast<GifReader*>(g->UserData);
  const size_t take = std::min(size_t(n), r->data->size() - r->pos);
  std::memcpy(buf, r->data->data() + r->pos, take);
  r->pos += take;
  return int(take);
}

// The decoded GIF: global colour table, the transparent index (or -1) and the pixel indices.
struct GifRead {
  bool ok = false;
  int width = 0, height = 0, tableSize = 0, transparent = -1;
  std::vector<uint32_t> table;
  std::vector<uint8_t> indices;
};
GifRead read_gif(const std::vector<uint8_t>& f) {
  GifRead out;
  GifReader reader{&f};
  int error = 0;
  GifFileType* g = DGifOpen(&reader, gif_read, &error);
  if (g == nullptr) return out;
  if (DGifSlurp(g) == GIF_OK && g->ImageCount == 1 && g->SColorMap != nullptr) {
    out.ok = true;
    out.width = g->SWidth;
    out.height = g->SHeight;
    out.tableSize = g->SColorMap->ColorCount;
    for (int i = 0; i < out.tableSize; ++i) {
      const GifColorType c = g->SColorMap->Colors[i];
      out.table.push_back(uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue);
    }
    GraphicsControlBlock gcb{};
    if (DGifSavedExtensionToGCB(g, 0, &gcb) == GIF_OK) out.transparent = gcb.TransparentColor;
    const SavedImage& img = g->SavedImages[0];
    out.indices.assign(img.RasterBits, img.RasterBits + size_t(img.ImageDesc.Width) * img.ImageDesc.Height);
  }
  DGifCloseFile(g, &error);
  return out;
}

// libtiff reads the file from disk, so the test needs no I/O glue of its own.
class TiffFile {
 public:
  explicit TiffFile(const std::vector<uint8_t>& bytes) {
    static int serial = 0;
    m_path = std::string(ZX_BINARY_DIR) + "/tiff_encoder_test_" + std::to_string(::getpid()) + "_" +
             std::to_string(serial++) + ".tif";
    FILE* f = std::fopen(m_path.c_str(), "wb");
    if (f != nullptr) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    TIFFSetWarningHandler(nullptr);
    m_tif = TIFFOpen(m_path.c_str(), "r");
  }
  ~TiffFile() {
    if (m_tif != nullptr) TIFFClose(m_tif);
    std::remove(m_path.c_str());
  }
  TIFF* get() const { return m_tif; }
  uint16_t u16(ttag_t tag) const {
    uint16_t v = 0;
    TIFFGetFieldDefaulted(m_tif, tag, &v);
    return v;
  }
  float f32(ttag_t tag) const {
    float v = 0;
    TIFFGetField(m_tif, tag, &v);
    return v;
  }
  std::vector<uint8_t> row(uint32_t y) const {
    std::vector<uint8_t> r(size_t(TIFFScanlineSize(m_tif)));
    if (TIFFReadScanline(m_tif, r.data(), y, 0) != 1) r.clear();
    return r;
  }

 private:
  std::string m_path;
  TIFF* m_tif = nullptr;
};

}  // namespace

TEST(GifEncoder, WritesThePaletteAndMarksTheTransparentEntry) {
  TestImage img(5, 2, Gdiplus::PixelFormat8bppIndexed, {0xFFFF0000u, 0xFF00FF00u, 0x000000FFu});
  for (int x = 0; x < 5; ++x) {
    img.row(0)[x] = uint8_t(x % 3);
    img.row(1)[x] = uint8_t((x + 1) % 3);
  }
  std::vector<uint8_t> f;
  ASSERT_EQ(encode(kGifClsid, img, f), Status::Ok);
  ASSERT_GE(f.size(), 6u);
  EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF89a");
  const GifRead g = read_gif(f);
  ASSERT_TRUE(g.ok);
  EXPECT_EQ(g.width, 5);
  EXPECT_EQ(g.height, 2);
  EXPECT_EQ(g.tableSize, 4);  // three colours padded to a power of two
  EXPECT_EQ(g.table, (std::vector<uint32_t>{0xFF0000u, 0x00FF00u, 0x0000FFu, 0}));
  EXPECT_EQ(g.transparent, 2);
  EXPECT_EQ(g.indices, (std::vector<uint8_t>{0, 1, 2, 0, 1, 1, 2, 0, 1, 2}));
}

TEST(GifEncoder, OpaquePaletteHasNoTransparentColourAndOneBitImagesStaySmall) {
  TestImage img(9, 1, Gdiplus::PixelFormat1bppIndexed, {0xFF000000u, 0xFFFFFFFFu});
  img.row(0)[0] = 0xAA;
  img.row(0)[1] = 0x80;
  std::vector<uint8_t> f;
  ASSERT_EQ(encode(kGifClsid, img, f), Status::Ok);
  EXPECT_EQ(std::string(f.begin(), f.begin() + 6), "GIF87a");
  const GifRead g = read_gif(f);
  ASSERT_TRUE(g.ok);
  EXPECT_EQ(g.tableSize, 2);
  EXPECT_EQ(g.transparent, -1);
  EXPECT_EQ(g.indices, (std::vector<uint8_t>{1, 0, 1, 0, 1, 0, 1, 0, 1}));
}

TEST(GifEncoder, IndicesPastThePaletteWidenTheTableAndTrueColourIsRefused) {
  TestImage img(2, 1, Gdiplus::PixelFormat8bppIndexed, {0xFF112233u});
  img.row(0)[0] = 0;
  img.row(0)[1] = 5;
  std::vector<uint8_t> f;
  ASSERT_EQ(encode(kGifClsid, img, f), Status::Ok);
  const GifRead g = read_gif(f);
  ASSERT_TRUE(g.ok);
  EXPECT_EQ(g.tableSize, 8);
  EXPECT_EQ(g.indices, (std::vector<uint8_t>{0, 5}));
  std::vector<uint8_t> none;
  TestImage rgb(2, 2, Gdiplus::PixelFormat32bppARGB);
  EXPECT_EQ(encode(kGifClsid, rgb, none), Status::InvalidParameter);
  EXPECT_TRUE(none.empty());
}

TEST(TiffEncoder, Writes32BppArgbWithStraightAlphaLzwAndResolution) {
  TestImage img(7, 3, Gdiplus::PixelFormat32bppARGB);
  std::mt19937 rng(9);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 28; ++x) img.row(y)[x] = uint8_t(rng());
  std::vector<uint8_t> f;
  ASSERT_EQ(encode(kTiffClsid, img, f), Status::Ok);
  TiffFile t(f);
  ASSERT_NE(t.get(), nullptr);
  EXPECT_EQ(t.u16(TIFFTAG_COMPRESSION), COMPRESSION_LZW);
  EXPECT_EQ(t.u16(TIFFTAG_SAMPLESPERPIXEL), 4);
  EXPECT_EQ(t.u16(TIFFTAG_BITSPERSAMPLE), 8);
  EXPECT_EQ(t.u16(TIFFTAG_PHOTOMETRIC), PHOTOMETRIC_RGB);
  EXPECT_EQ(t.u16(TIFFTAG_RESOLUTIONUNIT), RESUNIT_INCH);
  EXPECT_FLOAT_EQ(t.f32(TIFFTAG_XRESOLUTION), 300.0f);
  EXPECT_FLOAT_EQ(t.f32(TIFFTAG_YRESOLUTION), 150.0f);
  uint16_t count = 0;
  uint16_t* kinds = nullptr;
  ASSERT_TRUE(TIFFGetField(t.get(), TIFFTAG_EXTRASAMPLES, &count, &kinds));
  ASSERT_EQ(count, 1);
  EXPECT_EQ(kinds[0], EXTRASAMPLE_UNASSALPHA);
  for (uint32_t y = 0; y < 3; ++y) {
    const auto r = t.row(y);
    ASSERT_EQ(r.size(), 28u);
    for (int x = 0; x < 7; ++x) {
      const uint8_t* s = img.row(int(y)) + 4 * x;
      EXPECT_EQ(r[4 * x], s[2]);
      EXPECT_EQ(r[4 * x + 1], s[1]);
      EXPECT_EQ(r[4 * x + 2], s[0]);
      EXPECT_EQ(r[4 * x + 3], s[3]);
    }
  }
}

TEST(TiffEncoder, Writes24BppUncompressedAndDropsAlphaWhenAskedFor24) {
  TestImage img(2, 1, Gdiplus::PixelFormat32bppARGB);
  const uint8_t px[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  std::memcpy(img.row(0), px, 8);
  std::vector<uint8_t> f;
  EncodeOptions options;
  options.compression = Gdiplus::EncoderValueCompressionNone;
  options.colorDepth = 24;
  ASSERT_EQ(encode(kTiffClsid, img, f, options), Status::Ok);
  TiffFile t(f);
  ASSERT_NE(t.get(), nullptr);
  EXPECT_EQ(t.u16(TIFFTAG_COMPRESSION), COMPRESSION_NONE);
  EXPECT_EQ(t.u16(TIFFTAG_SAMPLESPERPIXEL), 3);
  EXPECT_EQ(t.row(0), (std::vector<uint8_t>{3, 2, 1, 7, 6, 5}));
}

TEST(TiffEncoder, WritesBilevelPagesWithEveryCompression) {
  TestImage img(20, 3, Gdiplus::PixelFormat1bppIndexed, {0xFF000000u, 0xFFFFFFFFu});
  const uint8_t rows[3][3] = {{0xF0, 0x0F, 0xA0}, {0x00, 0x00, 0x00}, {0xFF, 0xFF, 0xF0}};
  for (int y = 0; y < 3; ++y) std::memcpy(img.row(y), rows[y], 3);
  struct Case {
    long value;
    uint16_t tag;
  };
  for (const Case c : {Case{Gdiplus::EncoderValueCompressionNone, COMPRESSION_NONE},
                       Case{Gdiplus::EncoderValueCompressionLZW, COMPRESSION_LZW},
                       Case{Gdiplus::EncoderValueCompressionCCITT3, COMPRESSION_CCITTFAX3},
                       Case{Gdiplus::EncoderValueCompressionCCITT4, COMPRESSION_CCITTFAX4},
                       Case{Gdiplus::EncoderValueCompressionRle, COMPRESSION_PACKBITS}}) {
    SCOPED_TRACE(c.value);
    EncodeOptions options;
    options.compression = c.value;
    std::vector<uint8_t> f;
    ASSERT_EQ(encode(kTiffClsid, img, f, options), Status::Ok);
    TiffFile t(f);
    ASSERT_NE(t.get(), nullptr);
    EXPECT_EQ(t.u16(TIFFTAG_COMPRESSION), c.tag);
    EXPECT_EQ(t.u16(TIFFTAG_BITSPERSAMPLE), 1);
    EXPECT_EQ(t.u16(TIFFTAG_PHOTOMETRIC), PHOTOMETRIC_MINISBLACK);
    for (uint32_t y = 0; y < 3; ++y) {
      const auto r = t.row(y);
      ASSERT_EQ(r.size(), 3u);
      EXPECT_EQ(r[0], rows[y][0]);
      EXPECT_EQ(r[1], rows[y][1]);
      EXPECT_EQ(r[2] & 0xF0, rows[y][2]);
    }
  }
}

TEST(TiffEncoder, Writes8BppPaletteAsA16BitColourMap) {
  TestImage img(3, 1, Gdiplus::PixelFormat8bppIndexed, {0xFF102030u, 0xFFFFFFFFu});
  img.row(0)[0] = 1;
  img.row(0)[2] = 1;
  std::vector<uint8_t> f;
  ASSERT_EQ(encode(kTiffClsid, img, f), Status::Ok);
  TiffFile t(f);
  ASSERT_NE(t.get(), nullptr);
  EXPECT_EQ(t.u16(TIFFTAG_PHOTOMETRIC), PHOTOMETRIC_PALETTE);
  uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
  ASSERT_TRUE(TIFFGetField(t.get(), TIFFTAG_COLORMAP, &r, &g, &b));
  EXPECT_EQ(r[0], 0x1010);
  EXPECT_EQ(g[0], 0x2020);
  EXPECT_EQ(b[0], 0x3030);
  EXPECT_EQ(r[1], 0xFFFF);
  EXPECT_EQ(r[2], 0);
  EXPECT_EQ(t.row(0), (std::vector<uint8_t>{1, 0, 1}));
}

TEST(TiffEncoder, RefusesFaxCodingOfColourAndMismatchedDepths) {
  std::vector<uint8_t> f;
  EncodeOptions fax;
  fax.compression = Gdiplus::EncoderValueCompressionCCITT4;
  TestImage eight(2, 2, Gdiplus::PixelFormat8bppIndexed, {0xFF000000u, 0xFFFFFFFFu});
  EXPECT_EQ(encode(kTiffClsid, eight, f, fax), Status::InvalidParameter);
  TestImage redBlue(8, 1, Gdiplus::PixelFormat1bppIndexed, {0xFFFF0000u, 0xFF0000FFu});
  EXPECT_EQ(encode(kTiffClsid, redBlue, f, fax), Status::InvalidParameter);
  EncodeOptions depth;
  depth.colorDepth = 8;
  TestImage rgb(2, 2, Gdiplus::PixelFormat24bppRGB);
  EXPECT_EQ(encode(kTiffClsid, rgb, f, depth), Status::InvalidParameter);
  EncodeOptions bogus;
  bogus.compression = 42;
  EXPECT_EQ(encode(kTiffClsid, rgb, f, bogus), Status::InvalidParameter);
  EXPECT_TRUE(f.empty());
  // A red and blue bilevel page is still a palette page without fax coding.
  EXPECT_EQ(encode(kTiffClsid, redBlue, f), Status::Ok);
  TiffFile t(f);
  EXPECT_EQ(t.u16(TIFFTAG_PHOTOMETRIC), PHOTOMETRIC_PALETTE);
}
