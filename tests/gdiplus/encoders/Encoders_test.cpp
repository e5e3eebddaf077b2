// Zentarix — MIT licence.
// The encoder adapters: every file read back by an independent reader (libpng, libjpeg, giflib,
// libtiff and a BMP parser of our own) and compared whole. The encoder classes' tests drive the same
// adapters through their options; these cover what only the adapters decide.
#include <gtest/gtest.h>

#include <functional>

#include "ImageReaders.h"
#include "test_image.h"

using namespace zx::gdip;
using Gdiplus::Status;
using zx::test::describe;
using zx::test::encode;
using zx::test::find_encoder;
using zx::test::TestImage;

namespace {

constexpr CLSID clsid(uint32_t first) { return {first, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}}; }
constexpr CLSID kBmp = clsid(0x557CF400), kJpeg = clsid(0x557CF401), kGif = clsid(0x557CF402),
                kTiff = clsid(0x557CF405), kPng = clsid(0x557CF406);
const std::vector<uint32_t> kBlackWhite = {0xFF000000u, 0xFFFFFFFFu};

// An image of the format with these bytes at the start of each row.
TestImage image(int w, int h, Gdiplus::PixelFormat format, std::vector<std::vector<uint8_t>> rows,
                std::vector<uint32_t> palette = {}) {
  TestImage img(w, h, format, std::move(palette));
  for (size_t y = 0; y < rows.size(); ++y) std::copy(rows[y].begin(), rows[y].end(), img.row(int(y)));
  return img;
}

EncodeOptions tiff(long compression, long depth = 0) {
  EncodeOptions o;
  o.compression = compression;
  o.colorDepth = depth;
  return o;
}

}  // namespace

TEST(EncoderAdapters, RegisterTheirClsidsAndMimeTypes) {
  const std::pair<CLSID, const char16_t*> wants[] = {
      {kBmp, u"image/bmp"}, {kJpeg, u"image/jpeg"}, {kGif, u"image/gif"}, {kTiff, u"image/tiff"}, {kPng, u"image/png"}};
  for (const auto& [id, mime] : wants) {
    const CodecEntry* e = find_encoder(id);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(std::u16string(e->mimeType), mime);
    EXPECT_TRUE(e->encode && !e->sniff && !e->decode);
  }
}

TEST(EncoderAdapters, WriteEveryFormatTheyTakeExactly) {
  const auto bmp = [](const std::vector<uint8_t>& f) { return describe(zx::test::read_bmp(f)); };
  const auto png = [](const std::vector<uint8_t>& f) { return describe(zx::test::read_png(f)); };
  const auto gif = [](const std::vector<uint8_t>& f) { return describe(zx::test::read_gif(f)); };
  const auto tif = [](const std::vector<uint8_t>& f) { return describe(zx::test::read_tiff(f)); };
  using Gdiplus::PixelFormat1bppIndexed, Gdiplus::PixelFormat8bppIndexed, Gdiplus::PixelFormat24bppRGB,
      Gdiplus::PixelFormat32bppARGB, Gdiplus::PixelFormat32bppRGB;
  const struct Case {
    const char* name;
    CLSID encoder;
    TestImage img;
    EncodeOptions options;
    std::function<std::string(const std::vector<uint8_t>&)> read;
    std::string want;
  } cases[] = {
      // BMP: bottom-up rows padded to four bytes, the resolution in pels per metre.
      {"bmp 24", kBmp, image(3, 2, PixelFormat24bppRGB, {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}}),
       {}, bmp, "3x2 24bpp 300x150dpi px ff030201 ff060504 ff090807 ff0c0b0a ff0f0e0d ff121110"},
      {"bmp 32 keeps alpha", kBmp, image(1, 1, PixelFormat32bppARGB, {{0x11, 0x22, 0x33, 0x44}}), {}, bmp,
       "1x1 32bpp 300x150dpi px 44332211"},
      {"bmp 1", kBmp, image(10, 2, PixelFormat1bppIndexed, {{0xA5, 0xFF}, {0x0F}}, kBlackWhite), {}, bmp,
       "10x2 1bpp 300x150dpi pal ff000000 ffffffff px ffffffff ff000000 ffffffff ff000000 ff000000 ffffffff ff000000 "
       "ffffffff ffffffff ffffffff ff000000 ff000000 ff000000 ff000000 ffffffff ffffffff ffffffff ffffffff ff000000 "
       "ff000000"},
      {"bmp 8", kBmp, image(2, 1, PixelFormat8bppIndexed, {{2, 1}}, {0xFF102030u, 0x80405060u, 0xFF708090u}), {}, bmp,
       "2x1 8bpp 300x150dpi pal ff102030 ff405060 ff708090 px ff708090 ff405060"},
      // PNG: tRNS for palettes with transparent entries, straight alpha kept exactly.
      {"png 8 trns", kPng, image(4, 1, PixelFormat8bppIndexed, {{0, 1, 2, 3}}, {0xFFFF0000u, 0x0000FF00u, 0x800000FFu, 0xFF123456u}),
       {}, png, "4x1 8bpp 300x150dpi pal ffff0000 0000ff00 800000ff ff123456 px ffff0000 0000ff00 800000ff ff123456"},
      {"png 1", kPng, image(9, 1, PixelFormat1bppIndexed, {{0x80, 0x80}}, kBlackWhite), {}, png,
       "9x1 1bpp 300x150dpi pal ff000000 ffffffff px ffffffff ff000000 ff000000 ff000000 ff000000 ff000000 ff000000 "
       "ff000000 ffffffff"},
      {"png 32 argb", kPng, image(2, 1, PixelFormat32bppARGB, {{1, 2, 3, 4, 5, 6, 7, 0}}), {}, png,
       "2x1 32bpp 300x150dpi px 04030201 00070605"},
      {"png 32 rgb", kPng, image(2, 1, PixelFormat32bppRGB, {{1, 2, 3, 0, 200, 150, 100, 0}}), {}, png,
       "2x1 24bpp 300x150dpi px ff030201 ff6496c8"},
      // GIF: the table padded to a power of two (or widened to the largest index), a transparent entry
      // makes it GIF89a; of several, the first is marked.
      {"gif transparent", kGif, image(5, 1, PixelFormat8bppIndexed, {{0, 1, 2, 0, 1}}, {0xFFFF0000u, 0x0000FF00u, 0x000000FFu}),
       {}, gif, "5x1 2bpp 0x0dpi tr 1 pal ffff0000 ff00ff00 ff0000ff ff000000 px ffff0000 clear ff0000ff ffff0000 clear"},
      {"gif 1", kGif, image(9, 1, PixelFormat1bppIndexed, {{0xAA, 0x80}}, kBlackWhite), {}, gif,
       "9x1 1bpp 0x0dpi pal ff000000 ffffffff px ffffffff ff000000 ffffffff ff000000 ffffffff ff000000 ffffffff ff000000 "
       "ffffffff"},
      {"gif widened", kGif, image(2, 1, PixelFormat8bppIndexed, {{0, 5}}, {0xFF112233u}), {}, gif,
       "2x1 3bpp 0x0dpi pal ff112233 ff000000 ff000000 ff000000 ff000000 ff000000 ff000000 ff000000 px ff112233 ff000000"},
      // TIFF fields: photometric, samples, bits, compression, ink set, resolution unit.
      {"tiff argb lzw", kTiff, image(2, 1, PixelFormat32bppARGB, {{1, 2, 3, 4, 5, 6, 7, 8}}), {}, tif,
       "fields 2 4 8 5 0 2 300x150dpi rows 0302010407060508"},
      {"tiff 24 of argb", kTiff, image(2, 1, PixelFormat32bppARGB, {{1, 2, 3, 4, 5, 6, 7, 8}}), tiff(6, 24), tif,
       "fields 2 3 8 1 0 2 300x150dpi rows 030201070605"},
      {"tiff palette", kTiff, image(3, 1, PixelFormat8bppIndexed, {{1, 0, 1}}, {0xFF102030u, 0xFFFFFFFFu}), {}, tif,
       "fields 3 1 8 5 0 2 300x150dpi rows 010001 map 1010 ffff 0000 0000 2020 ffff 0000 0000 3030 ffff 0000 0000"},
      {"tiff red and blue bilevel", kTiff, image(8, 1, PixelFormat1bppIndexed, {{0x0F}}, {0xFFFF0000u, 0xFF0000FFu}), {}, tif,
       "fields 3 1 1 5 0 2 300x150dpi rows 0f map ffff 0000 0000 0000 0000 ffff"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> f;
    ASSERT_EQ(encode(c.encoder, c.img, f, c.options), Status::Ok) << c.name;
    EXPECT_EQ(c.read(f), c.want) << c.name;
  }
  // Every compression of a bilevel page gives back the same rows.
  const TestImage bilevel = image(20, 3, PixelFormat1bppIndexed, {{0xF0, 0x0F, 0xA0}, {}, {0xFF, 0xFF, 0xF0}}, kBlackWhite);
  const std::pair<long, int> compressions[] = {{Gdiplus::EncoderValueCompressionNone, 1}, {Gdiplus::EncoderValueCompressionLZW, 5},
                                               {Gdiplus::EncoderValueCompressionCCITT3, 3}, {Gdiplus::EncoderValueCompressionCCITT4, 4},
                                               {Gdiplus::EncoderValueCompressionRle, 32773}};
  for (const auto& [value, tag] : compressions) {
    std::vector<uint8_t> f;
    ASSERT_EQ(encode(kTiff, bilevel, f, tiff(value)), Status::Ok) << value;
    EXPECT_EQ(describe(zx::test::read_tiff(f)), "fields 1 1 1 " + std::to_string(tag) + " 0 2 300x150dpi rows f00fa0000000fffff0")
        << value;
  }
}

TEST(EncoderAdapters, JpegQualityIsHonouredAndDensityWritten) {
  TestImage img(64, 48, Gdiplus::PixelFormat32bppARGB);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x) {
      const uint8_t px[4] = {uint8_t(x * 4), uint8_t(y * 5), uint8_t((x + y) * 2), uint8_t(x)};
      std::copy(px, px + 4, img.row(y) + 4 * x);
    }
  std::vector<uint8_t> q0, q1, q100;
  ASSERT_EQ(encode(kJpeg, img, q0, 0), Status::Ok);
  ASSERT_EQ(encode(kJpeg, img, q1, 1), Status::Ok);
  ASSERT_EQ(encode(kJpeg, img, q100, 100), Status::Ok);
  EXPECT_EQ(q0, q1);  // libjpeg raises quality 0 to 1
  EXPECT_GT(q100.size(), q0.size() * 2);
  const zx::test::DecodedImage best = zx::test::read_jpeg(q100);
  EXPECT_EQ(describe(best).substr(0, 23), "64x48 24bpp 300x150dpi ");
  int worst = 0;
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      for (int c = 0; c < 3; ++c)
        worst = std::max(worst, std::abs(int(best.at(x, y) >> (8 * c) & 0xFF) - img.row(y)[4 * x + c]));
  EXPECT_LE(worst, 8);  // smooth ramps survive quality 100 with 4:2:0 chroma
  TestImage indexed = image(16, 1, Gdiplus::PixelFormat8bppIndexed, {std::vector<uint8_t>(16, 1)}, {0, 0xFF2060C0u});
  std::vector<uint8_t> f;
  ASSERT_EQ(encode(kJpeg, indexed, f, 90), Status::Ok);
  const uint32_t c = zx::test::read_jpeg(f).at(0, 0);
  EXPECT_NEAR(c >> 16 & 0xFF, 0x20, 4);
  EXPECT_NEAR(c & 0xFF, 0xC0, 4);
}

TEST(EncoderAdapters, RefuseWhatTheyCannotWriteAndLeaveTheOutputAlone) {
  const struct Case {
    CLSID encoder;
    TestImage img;
    EncodeOptions options;
  } cases[] = {
      {kBmp, TestImage(2, 2, Gdiplus::PixelFormat8bppIndexed), {}},  // no palette
      {kBmp, TestImage(2, 2, Gdiplus::PixelFormat16bppRGB565), {}},
      {kBmp, TestImage(0, 0, Gdiplus::PixelFormat24bppRGB), {}},
      {kJpeg, TestImage(4, 4, Gdiplus::PixelFormat24bppRGB), EncodeOptions{101}},
      {kJpeg, TestImage(4, 4, Gdiplus::PixelFormat24bppRGB), EncodeOptions{-1}},
      {kJpeg, TestImage(4, 4, Gdiplus::PixelFormat16bppGrayScale), {}},
      {kGif, TestImage(2, 2, Gdiplus::PixelFormat32bppARGB), {}},
      {kTiff, TestImage(2, 2, Gdiplus::PixelFormat8bppIndexed, kBlackWhite), tiff(Gdiplus::EncoderValueCompressionCCITT4)},
      {kTiff, TestImage(8, 1, Gdiplus::PixelFormat1bppIndexed, {0xFFFF0000u, 0xFF0000FFu}), tiff(Gdiplus::EncoderValueCompressionCCITT4)},
      {kTiff, TestImage(2, 2, Gdiplus::PixelFormat24bppRGB), tiff(Gdiplus::EncoderValueCompressionRle)},
      {kTiff, TestImage(2, 2, Gdiplus::PixelFormat24bppRGB), tiff(-1, 8)},
      {kTiff, TestImage(2, 2, Gdiplus::PixelFormat24bppRGB), tiff(42)},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    std::vector<uint8_t> f = {7};
    EXPECT_EQ(encode(cases[i].encoder, cases[i].img, f, cases[i].options), Status::InvalidParameter) << i;
    EXPECT_EQ(f, std::vector<uint8_t>{7}) << i;
  }
}
