// Zentarix — MIT licence.
// Exact decoded pixels on small files made here, and colour management checked against lcms2.
// Our headers first: the Windows TRUE/FALSE constants must precede jpeglib's macros.
#include "decoder_test_support.h"
#include "decoders/color_management.h"

#include <algorithm>
#include <csetjmp>
#include <string_view>
#include <cstdio>  // jpeglib.h needs size_t and FILE declared first

#include <jpeglib.h>
#include <lcms2.h>
#include <png.h>
#include <tiffio.h>

namespace zx::gdip::test {
namespace {

// --- PNG files written with libpng ---------------------------------------------------------------
struct PngRecipe {
  int width = 0, height = 0, depth = 8, color_type = PNG_COLOR_TYPE_RGB;
  bool interlaced = false;
  std::vector<png_color> palette;
  std::vector<uint8_t> trns;
  std::vector<uint8_t> icc;
  std::vector<std::vector<uint8_t>> rows;  // raw samples, 16-bit ones big-endian
};

PngRecipe png_recipe(int width, int height, int depth, int color_type) {
  PngRecipe s;
  s.width = width, s.height = height, s.depth = depth, s.color_type = color_type;
  return s;
}

void png_append(png_structp png, png_bytep data, size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

// setjmp frame without destructors; the caller owns the buffers.
bool png_write_phase(png_structp png, png_infop info, const PngRecipe* s, png_bytepp rows, std::vector<uint8_t>* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, png_append, nullptr);
  png_set_IHDR(png, info, s->width, s->height, s->depth, s->color_type,
               s->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!s->palette.empty()) png_set_PLTE(png, info, s->palette.data(), static_cast<int>(s->palette.size()));
  if (!s->trns.empty()) png_set_tRNS(png, info, s->trns.data(), static_cast<int>(s->trns.size()), nullptr);
  if (!s->icc.empty()) png_set_iCCP(png, info, "test", 0, s->icc.data(), static_cast<png_uint_32>(s->icc.size()));
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

std::vector<uint8_t> make_png(const PngRecipe& recipe) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows;
  for (const auto& r : recipe.rows) rows.push_back(const_cast<png_bytep>(r.data()));
  std::vector<uint8_t> out;
  const bool ok = png_write_phase(png, info, &recipe, rows.data(), &out);
  png_destroy_write_struct(&png, &info);
  EXPECT_TRUE(ok);
  return out;
}

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }
uint8_t round16(unsigned v) { return static_cast<uint8_t>((v * 255 + 32767) / 65535); }

TEST(DecoderPixels, SixteenBitPngRoundsEachSampleToEightBitsAndKeepsAlpha) {
  PngRecipe s = png_recipe(2, 1, 16, PNG_COLOR_TYPE_RGB_ALPHA);
  const unsigned px[2][4] = {{0x12FF, 0x8080, 0xFFFF, 0x7F7F}, {0x0000, 0x0180, 0xFE7F, 0x0000}};
  std::vector<uint8_t> row;
  for (const auto& p : px)
    for (unsigned v : p) row.insert(row.end(), {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
  s.rows = {row};
  DecodeResult r;
  decode_into(make_png(s), r);
  ASSERT_EQ(r.status, Gdiplus::Ok);
  EXPECT_EQ(r.sink.at(0, 0), argb(round16(0x7F7F), 19, 128, 255));  // 0x12FF rounds up, truncation gives 18
  EXPECT_EQ(r.sink.at(1, 0), argb(0, 0, round16(0x0180), round16(0xFE7F)));  // alpha 0 keeps its colour
}

TEST(DecoderPixels, PalettePngWithTransparencyGivesExactStraightColours) {
  PngRecipe s = png_recipe(4, 1, 2, PNG_COLOR_TYPE_PALETTE);
  s.palette = {{10, 20, 30}, {200, 100, 50}, {1, 2, 3}, {255, 255, 255}};
  s.trns = {0, 128, 255};  // the fourth entry has no tRNS value: opaque
  s.rows = {{0b00011011}};
  DecodeResult r;
  decode_into(make_png(s), r);
  ASSERT_EQ(r.status, Gdiplus::Ok);
  EXPECT_EQ(r.sink.at(0, 0), argb(0, 10, 20, 30));
  EXPECT_EQ(r.sink.at(1, 0), argb(128, 200, 100, 50));
  EXPECT_EQ(r.sink.at(2, 0), argb(255, 1, 2, 3));
  EXPECT_EQ(r.sink.at(3, 0), argb(255, 255, 255, 255));
}

TEST(DecoderPixels, InterlacedPngDecodesLikeItsProgressiveTwin) {
  PngRecipe s = png_recipe(13, 11, 8, PNG_COLOR_TYPE_GRAY);
  for (int y = 0; y < s.height; ++y) {
    std::vector<uint8_t> row;
    for (int x = 0; x < s.width; ++x) row.push_back(static_cast<uint8_t>(x * 19 + y * 7));
    s.rows.push_back(row);
  }
  DecodeResult plain, interlaced;
  decode_into(make_png(s), plain);
  s.interlaced = true;
  decode_into(make_png(s), interlaced);
  ASSERT_EQ(plain.status, Gdiplus::Ok);
  ASSERT_EQ(interlaced.status, Gdiplus::Ok);
  EXPECT_EQ(plain.sink.pixels, interlaced.sink.pixels);
  EXPECT_EQ(plain.sink.at(5, 3), argb(255, 5 * 19 + 21, 5 * 19 + 21, 5 * 19 + 21));
}

// --- Colour management ---------------------------------------------------------------------------
std::vector<uint8_t> wide_gamut_profile() {
  // Adobe RGB (1998)-like primaries: pure red in it is far outside sRGB's red.
  cmsCIExyY white;
  cmsWhitePointFromTemp(&white, 6504);
  const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(p, nullptr, &size);
  std::vector<uint8_t> icc(size);
  cmsSaveProfileToMem(p, icc.data(), &size);
  cmsCloseProfile(p);
  cmsFreeToneCurve(gamma);
  return icc;
}

// The reference: lcms2 applied here to the unmanaged decode.
void expect_managed_matches_lcms(std::span<const uint8_t> file, std::span<const uint8_t> icc, bool must_change) {
  DecodeResult managed, raw;
  decode_into(file, managed, true);
  decode_into(file, raw, false);
  ASSERT_EQ(managed.status, Gdiplus::Ok);
  ASSERT_EQ(raw.status, Gdiplus::Ok);
  cmsHPROFILE in = cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size()));
  ASSERT_NE(in, nullptr);
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHTRANSFORM t = cmsCreateTransform(in, TYPE_BGRA_8, srgb, TYPE_BGRA_8, INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA);
  ASSERT_NE(t, nullptr);
  std::vector<uint8_t> expected(raw.sink.pixels.size());
  cmsDoTransform(t, raw.sink.pixels.data(), expected.data(), static_cast<cmsUInt32Number>(expected.size() / 4));
  cmsDeleteTransform(t);
  cmsCloseProfile(srgb);
  cmsCloseProfile(in);
  int worst = 0, changed = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    worst = std::max(worst, std::abs(int{expected[i]} - int{managed.sink.pixels[i]}));
    changed += expected[i] != raw.sink.pixels[i];
  }
  EXPECT_LE(worst, 1);
  if (must_change) {
    EXPECT_GT(changed, 0) << "the profile should change some pixels";
  }
}

TEST(DecoderPixels, PngWithWideGamutProfileComesOutInSrgb) {
  PngRecipe s = png_recipe(3, 1, 8, PNG_COLOR_TYPE_RGB_ALPHA);
  s.icc = wide_gamut_profile();
  s.rows = {{255, 0, 0, 255, 0, 200, 0, 77, 30, 60, 90, 0}};
  const std::vector<uint8_t> file = make_png(s);
  expect_managed_matches_lcms(file, s.icc, true);
  DecodeResult r;
  decode_into(file, r);
  EXPECT_EQ(r.sink.at(1, 0) >> 24, 77u);  // alpha copied, not converted
  EXPECT_EQ(r.sink.at(2, 0) >> 24, 0u);
  EXPECT_EQ(r.sink.at(0, 0) & 0x00FF0000u, 0x00FF0000u);  // wide red clips at sRGB red
}

std::vector<uint8_t> jpeg_icc(const std::vector<uint8_t>& file);

TEST(DecoderPixels, CorpusFilesWithEmbeddedProfilesComeOutInSrgb) {
  const std::vector<uint8_t> jpeg = read_file(corpus("jpeg/gtk4_image.jpeg"));
  const std::vector<uint8_t> icc = jpeg_icc(jpeg);
  ASSERT_FALSE(icc.empty());
  expect_managed_matches_lcms(jpeg, icc, false);
}

struct JpegErr {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};
void jpeg_fail(j_common_ptr c) { std::longjmp(reinterpret_cast<JpegErr*>(c->err)->jump, 1); }

bool jpeg_icc_phase(jpeg_decompress_struct* c, JpegErr* e, const std::vector<uint8_t>* file, JOCTET** icc,
                    unsigned* size) {
  c->err = jpeg_std_error(&e->mgr);
  e->mgr.error_exit = jpeg_fail;
  if (setjmp(e->jump)) return false;
  jpeg_create_decompress(c);
  jpeg_mem_src(c, file->data(), static_cast<unsigned long>(file->size()));
  jpeg_save_markers(c, JPEG_APP0 + 2, 0xFFFF);
  jpeg_read_header(c, TRUE);
  return jpeg_read_icc_profile(c, icc, size);
}

std::vector<uint8_t> jpeg_icc(const std::vector<uint8_t>& file) {
  jpeg_decompress_struct c{};
  JpegErr e{};
  JOCTET* icc = nullptr;
  unsigned size = 0;
  std::vector<uint8_t> out;
  if (jpeg_icc_phase(&c, &e, &file, &icc, &size)) out.assign(icc, icc + size);
  std::free(icc);
  jpeg_destroy_decompress(&c);
  return out;
}

TEST(DecoderPixels, DefaultCmykProfileKeepsPaperWhiteAndInkBlack) {
  const cms::ColorTransform t = cms::cmyk_to_srgb({}, false);
  ASSERT_TRUE(t);
  const uint8_t inks[4][4] = {{0, 0, 0, 0}, {0, 0, 0, 255}, {255, 0, 0, 0}, {0, 255, 255, 0}};
  uint8_t bgra[4][4] = {};
  t.apply(inks, bgra, 4);
  auto near = [](const uint8_t* px, int b, int g, int r, int tolerance = 3) {
    return std::abs(px[0] - b) <= tolerance && std::abs(px[1] - g) <= tolerance && std::abs(px[2] - r) <= tolerance;
  };
  EXPECT_TRUE(near(bgra[0], 255, 255, 255));
  EXPECT_TRUE(near(bgra[1], 0, 0, 0));
  EXPECT_TRUE(near(bgra[2], 255, 255, 0));  // cyan
  EXPECT_TRUE(near(bgra[3], 0, 0, 255));    // magenta + yellow = red
  // And back: sRGB through the profile's separation and out again.
  const cms::ColorTransform to_cmyk = cms::srgb_to_cmyk({});
  ASSERT_TRUE(to_cmyk);
  const uint8_t colours[3][4] = {{40, 120, 200, 255}, {128, 128, 128, 255}, {10, 200, 30, 255}};
  uint8_t cmyk[3][4], back[3][4] = {};
  to_cmyk.apply(colours, cmyk, 3);
  t.apply(cmyk, back, 3);
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(near(back[i], colours[i][0], colours[i][1], colours[i][2], 8))
        << i << ": " << int(back[i][0]) << " " << int(back[i][1]) << " " << int(back[i][2]);
}

// An unprofiled CMYK file decodes close to the plain ink model (R = (255-C)(255-K)/255, ...),
// which is what our default profile describes; the profile's 17-point grid, interpolated in Lab,
// strays from it by up to about 4% in the dark tones.
void expect_near_ink_model(const DecodeResult& r, const std::vector<uint32_t>& model, int tolerance) {
  ASSERT_EQ(model.size(), size_t(r.sink.width) * r.sink.height);
  int worst = 0;
  for (int y = 0; y < r.sink.height; ++y)
    for (int x = 0; x < r.sink.width; ++x) {
      const uint32_t got = r.sink.at(x, y), want = model[size_t(y) * r.sink.width + x];
      ASSERT_EQ(got >> 24, 0xFFu);
      for (int shift = 0; shift < 24; shift += 8)
        worst = std::max(worst, std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)));
    }
  EXPECT_LE(worst, tolerance);
}

TEST(DecoderPixels, CmykTiffWithoutProfileDecodesToPlausibleRgb) {
  const std::string path = corpus("tiff/derived_pil_sample_cmyk_lzw.tif");
  DecodeResult r;
  decode_into(read_file(path), r);
  ASSERT_EQ(r.status, Gdiplus::Ok);
  // libtiff's RGBA reader applies exactly the plain ink model.
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  ASSERT_NE(tif, nullptr);
  std::vector<uint32_t> rgba(size_t(r.sink.width) * r.sink.height), model;
  ASSERT_TRUE(TIFFReadRGBAImageOriented(tif, r.sink.width, r.sink.height, rgba.data(), ORIENTATION_TOPLEFT, 0));
  TIFFClose(tif);
  for (uint32_t p : rgba) model.push_back(argb(255, TIFFGetR(p), TIFFGetG(p), TIFFGetB(p)));
  expect_near_ink_model(r, model, 12);
}

bool jpeg_cmyk_phase(jpeg_decompress_struct* c, JpegErr* e, const std::vector<uint8_t>* file, std::vector<uint8_t>* inks) {
  c->err = jpeg_std_error(&e->mgr);
  e->mgr.error_exit = jpeg_fail;
  if (setjmp(e->jump)) return false;
  jpeg_create_decompress(c);
  jpeg_mem_src(c, file->data(), static_cast<unsigned long>(file->size()));
  jpeg_read_header(c, TRUE);
  c->out_color_space = JCS_CMYK;
  jpeg_start_decompress(c);
  inks->resize(size_t(c->output_width) * c->output_height * 4);
  while (c->output_scanline < c->output_height) {
    JSAMPROW row = inks->data() + size_t(c->output_scanline) * c->output_width * 4;
    jpeg_read_scanlines(c, &row, 1);
  }
  jpeg_finish_decompress(c);
  return true;
}

TEST(DecoderPixels, AdobeCmykJpegWithoutProfileDecodesToPlausibleRgb) {
  const std::vector<uint8_t> file = read_file(corpus("jpeg/wx_cmyk.jpg"));
  ASSERT_TRUE(jpeg_icc(file).empty());
  DecodeResult r;
  decode_into(file, r);
  ASSERT_EQ(r.status, Gdiplus::Ok);
  jpeg_decompress_struct c{};
  JpegErr e{};
  std::vector<uint8_t> inks;
  const bool ok = jpeg_cmyk_phase(&c, &e, &file, &inks);
  jpeg_destroy_decompress(&c);
  ASSERT_TRUE(ok);
  // Adobe writes the inks inverted: 255 means no ink.
  std::vector<uint32_t> model;
  for (size_t i = 0; i < inks.size(); i += 4) {
    const unsigned k = inks[i + 3];
    model.push_back(argb(255, inks[i] * k / 255, inks[i + 1] * k / 255, inks[i + 2] * k / 255));
  }
  expect_near_ink_model(r, model, 12);
}

TEST(DecoderPixels, CmykJpegWithItsOwnProfileUsesIt) {
  const std::vector<uint8_t> file = read_file(corpus("jpeg/gtk4_image-cmyk.jpeg"));
  ASSERT_FALSE(jpeg_icc(file).empty());
  DecodeResult r;
  decode_into(file, r);
  ASSERT_EQ(r.status, Gdiplus::Ok);
  EXPECT_FALSE(r.sink.any_translucent());
}

TEST(DecoderPixels, JpegDeclaringAHugeSizeIsRefusedBeforeAllocating) {
  // A real progressive JPEG whose frame header (SOF2) is rewritten to declare 64250 x 64250 pixels.
  std::vector<uint8_t> file = read_file(corpus("jpeg/go_video-001.progressive.jpeg"));
  const size_t sof = std::string_view(reinterpret_cast<const char*>(file.data()), file.size()).find("\xFF\xC2");
  ASSERT_NE(sof, std::string_view::npos);
  std::fill_n(file.begin() + static_cast<long>(sof) + 5, 4, 0xFA);  // height and width, big-endian
  DecodeResult r;
  decode_into(file, r);
  EXPECT_EQ(r.status, Gdiplus::OutOfMemory);
  EXPECT_EQ(r.sink.allocations, 0);
}

// --- BMP written by hand ----------------------------------------------------------------------------
void put16(std::vector<uint8_t>& v, unsigned x) { v.insert(v.end(), {uint8_t(x), uint8_t(x >> 8)}); }
void put32(std::vector<uint8_t>& v, uint32_t x) {
  v.insert(v.end(), {uint8_t(x), uint8_t(x >> 8), uint8_t(x >> 16), uint8_t(x >> 24)});
}

// BITMAPFILEHEADER + a BITMAPINFOHEADER-or-larger header of `header_size` bytes.
std::vector<uint8_t> bmp_headers(uint32_t header_size, int32_t w, int32_t h, int bpp, uint32_t compression,
                                 uint32_t colours, const std::vector<uint32_t>& masks, size_t palette_bytes) {
  std::vector<uint8_t> f = {'B', 'M'};
  put32(f, 0);
  put32(f, 0);
  const size_t masks_after = header_size == 40 ? 4 * masks.size() : 0;  // BITMAPINFOHEADER keeps them outside
  put32(f, static_cast<uint32_t>(14 + header_size + masks_after + palette_bytes));
  put32(f, header_size);
  put32(f, static_cast<uint32_t>(w));
  put32(f, static_cast<uint32_t>(h));
  put16(f, 1);
  put16(f, bpp);
  put32(f, compression);
  put32(f, 0);
  put32(f, 3780);  // 96.012 dpi
  put32(f, 3780);
  put32(f, colours);
  put32(f, 0);
  for (uint32_t m : masks) put32(f, m);
  f.resize(14 + header_size + masks_after, 0);
  return f;
}

TEST(DecoderPixels, Rle8BmpHonoursRunsDeltasLineEndsAndEndOfBitmap) {
  std::vector<uint8_t> f = bmp_headers(40, 4, 3, 8, 1, 3, {}, 12);
  for (uint32_t c : {0x000000u, 0xFF0000u, 0x00FF00u}) put32(f, c);
  // Bottom row: 2 x index 1, then absolute (1 2 1) cut by the row end; next: delta (1, 1); top
  // row after the delta: index 2 twice, then end of bitmap.
  f.insert(f.end(), {2, 1, 0, 3, 1, 2, 1, 0, 0, 0, 0, 2, 1, 1, 2, 2, 0, 1});
  DecodeResult r;
  decode_into(f, r);
  ASSERT_EQ(r.status, Gdiplus::Ok);
  EXPECT_FLOAT_EQ(r.info.dpiX, 96.0f);
  const uint32_t black = 0xFF000000u, red = 0xFFFF0000u, green = 0xFF00FF00u;
  const uint32_t want[3][4] = {{black, green, green, black}, {black, black, black, black}, {red, red, red, green}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(r.sink.at(x, y), want[y][x]) << x << "," << y;
}

TEST(DecoderPixels, BitfieldBmpsScaleTheirMasksAndKeepAnAlphaMask) {
  // 16 bpp 5-6-5, top-down.
  std::vector<uint8_t> f = bmp_headers(40, 2, -1, 16, 3, 0, {0xF800, 0x07E0, 0x001F}, 0);
  put16(f, 0xF800);
  put16(f, 0x07E0 | 0x0010);
  DecodeResult r;
  decode_into(f, r);
  ASSERT_EQ(r.status, Gdiplus::Ok);
  EXPECT_EQ(r.sink.at(0, 0), 0xFFFF0000u);
  EXPECT_EQ(r.sink.at(1, 0), argb(255, 0, 255, 132));  // 16 of 31 scaled and rounded

  // 32 bpp with a V5 header: the alpha mask is honoured.
  std::vector<uint8_t> g = bmp_headers(124, 1, 1, 32, 3, 0, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, 0);
  put32(g, 0x40102030);
  DecodeResult v5;
  decode_into(g, v5);
  ASSERT_EQ(v5.status, Gdiplus::Ok);
  EXPECT_EQ(v5.sink.at(0, 0), 0x40102030u);
}

TEST(DecoderPixels, TruncatedBmpFailsBeforeAllocating) {
  std::vector<uint8_t> f = bmp_headers(40, 100, 100, 24, 0, 0, {}, 0);
  f.resize(f.size() + 1000);
  DecodeResult r;
  decode_into(f, r);
  EXPECT_EQ(r.status, Gdiplus::GenericError);
  EXPECT_EQ(r.sink.allocations, 0);
}

}  // namespace
}  // namespace zx::gdip::test
