// Zentarix GDI+ layer — MIT licence.
// Image drawing: the resampler against an independent double-precision reference, its two forms
// against each other, and the rules of pixel centres, edges, alpha, compositing and matrices.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include <gdiplus.h>

#include "resample.h"

using namespace Gdiplus;
namespace resample = zx::resample;

namespace {

std::vector<uint32_t> random_pixels(int n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint32_t> px(static_cast<size_t>(n));
  for (auto& p : px) {
    p = rng();
    if ((p & 0x700) == 0) p &= 0x00FFFFFF;  // some fully transparent pixels, colour kept
  }
  return px;
}

// A bitmap over its own copy of the pixels (rows of width * 4 bytes).
struct Pixels {
  int w, h;
  std::vector<uint32_t> px;
  std::unique_ptr<Bitmap> bitmap;
  Pixels(int width, int height, std::vector<uint32_t> p) : w(width), h(height), px(std::move(p)) {
    bitmap = std::make_unique<Bitmap>(w, h, w * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(px.data()));
  }
  uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * w + x]; }
};

// ---- the definition, evaluated independently in double precision ----
double kernel(InterpolationMode mode, double d, double f) {
  const bool cubic = mode == InterpolationModeBicubic || mode == InterpolationModeHighQualityBicubic;
  d = std::fabs(d / f);
  if (!cubic) return d < 1 ? 1 - d : 0;
  const double a = -0.5;
  if (d < 1) return (a + 2) * d * d * d - (a + 3) * d * d + 1;
  if (d < 2) return a * d * d * d - 5 * a * d * d + 8 * a * d - 4 * a;
  return 0;
}

uint32_t expected(const Pixels& s, InterpolationMode mode, double x, double y, double fx, double fy) {
  if (mode == InterpolationModeNearestNeighbor) {
    const int k = int(std::floor(x + 0.5)), j = int(std::floor(y + 0.5));
    return k >= 0 && j >= 0 && k < s.w && j < s.h ? s.at(k, j) : 0;
  }
  const bool prefilter = mode == InterpolationModeHighQualityBilinear || mode == InterpolationModeHighQualityBicubic;
  const bool cubic = mode == InterpolationModeBicubic || mode == InterpolationModeHighQualityBicubic;
  if (!prefilter) fx = fy = 1;
  const double rx = (cubic ? 2 : 1) * fx, ry = (cubic ? 2 : 1) * fy;
  double sum[4] = {}, weights = 0;
  for (int j = int(std::floor(y - ry)) + 1; j < y + ry; ++j)
    for (int k = int(std::floor(x - rx)) + 1; k < x + rx; ++k) {
      const double w = kernel(mode, x - k, fx) * kernel(mode, y - j, fy);
      weights += w;
      if (k < 0 || j < 0 || k >= s.w || j >= s.h) continue;  // transparent outside
      const uint32_t p = s.at(k, j);
      const double a = p >> 24;
      for (int c = 0; c < 3; ++c) sum[c] += w * a * ((p >> (8 * c)) & 0xFF);
      sum[3] += w * a;
    }
  const double a = sum[3] / weights;  // a cubic's negative lobes can take it below zero
  if (a <= 0) return 0;
  const uint32_t alpha = uint32_t(std::min(a, 255.0) + 0.5);
  if (alpha == 0) return 0;
  uint32_t out = alpha << 24;
  for (int c = 0; c < 3; ++c) out |= uint32_t(std::clamp(sum[c] / weights / a, 0.0, 255.0) + 0.5) << (8 * c);
  return out;
}

int channel_difference(uint32_t a, uint32_t b) {
  int worst = 0;
  for (int c = 0; c < 32; c += 8) worst = std::max(worst, std::abs(int((a >> c) & 0xFF) - int((b >> c) & 0xFF)));
  return worst;
}

struct Scaling {
  const char* name;
  int sw, sh, dw, dh;
};
constexpr Scaling kScalings[] = {{"reduce100x", 300, 200, 3, 2}, {"reduce1.5x", 60, 45, 40, 30}, {"enlarge3x", 20, 15, 60, 45}};
constexpr InterpolationMode kModes[] = {InterpolationModeNearestNeighbor, InterpolationModeBilinear,
                                        InterpolationModeHighQualityBilinear, InterpolationModeBicubic,
                                        InterpolationModeHighQualityBicubic};

// Every mode, reduced and enlarged, at both pixel offsets, through DrawImage onto a transparent
// canvas with SourceCopy: within one step per channel of the double-precision definition (the
// production code filters in single precision), exact for nearest neighbour.
TEST(DrawImage, MatchesTheDoublePrecisionDefinition) {
  for (const Scaling& s : kScalings)
    for (InterpolationMode mode : kModes)
      for (PixelOffsetMode offsetMode : {PixelOffsetModeHalf, PixelOffsetModeNone}) {
        SCOPED_TRACE(testing::Message() << s.name << " mode " << mode << " offset " << offsetMode);
        Pixels source(s.sw, s.sh, random_pixels(s.sw * s.sh, 7));
        Bitmap canvas(s.dw, s.dh, PixelFormat32bppARGB);
        Graphics g(&canvas);
        g.SetCompositingMode(CompositingModeSourceCopy);
        g.SetInterpolationMode(mode);
        g.SetPixelOffsetMode(offsetMode);
        ASSERT_EQ(g.DrawImage(source.bitmap.get(), RectF(0, 0, REAL(s.dw), REAL(s.dh)), 0, 0, REAL(s.sw), REAL(s.sh), UnitPixel), Ok);
        const double o = offsetMode == PixelOffsetModeHalf ? 0.5 : 0.0;
        const double fx = double(s.sw) / s.dw, fy = double(s.sh) / s.dh;
        int worst = 0;
        for (int j = 0; j < s.dh; ++j)
          for (int i = 0; i < s.dw; ++i) {
            Color c;
            canvas.GetPixel(i, j, &c);
            const uint32_t want = expected(source, mode, (i + o) * fx - o, (j + o) * fy - o, std::max(1.0, fx), std::max(1.0, fy));
            worst = std::max(worst, channel_difference(c.GetValue(), want));
          }
        EXPECT_LE(worst, mode == InterpolationModeNearestNeighbor ? 0 : 1);
      }
}

// The vectorised form and the scalar reference give the same bits, for the separable driver and
// the general one (a rotation), with a colour matrix and a clamp colour in play.
TEST(DrawImage, VectorisedFormEqualsScalarReference) {
  const std::vector<uint32_t> px = random_pixels(37 * 23, 11);
  resample::ColourMap map{};
  for (int i = 0; i < 5; ++i) map.matrix.m[i][i] = 0.8f;
  map.matrix.m[4][0] = 0.1f;
  const resample::Affine rotated{0.8, 0.6, -0.6, 0.8, 20, 3};
  const resample::Affine maps[] = {{0.31, 0, 0, 0.47, 1.2, 0.3}, {2.7, 0, 0, 1.9, -3.5, 0.25}, {-1.3, 0, 0, 0.7, 50, 2}, rotated};
  for (const resample::Affine& m : maps)
    for (resample::Filter filter : {resample::Filter::Nearest, resample::Filter::Bilinear, resample::Filter::Bicubic})
      for (bool prefilter : {false, true}) {
        std::vector<uint32_t> fast(64 * 48, 0x12345678), plain = fast;
        resample::DrawRequest r;
        r.source = {reinterpret_cast<const uint8_t*>(px.data()), 37, 23, 37 * 4};
        r.sx = 0, r.sy = 0, r.sw = 37, r.sh = 23;
        r.to_device = m;
        r.filter = filter;
        r.prefilter = prefilter;
        r.edge_colour = 0x80FF0000;
        r.colour = &map;
        r.clip_x1 = 64, r.clip_y1 = 48;
        r.target = {reinterpret_cast<uint8_t*>(fast.data()), 64, 48, 64 * 4, resample::TargetFormat::Argb};
        resample::draw(r, resample::Path::Fast);
        r.target.data = reinterpret_cast<uint8_t*>(plain.data());
        resample::draw(r, resample::Path::Reference);
        EXPECT_EQ(fast, plain);
        EXPECT_NE(std::count(fast.begin(), fast.end(), 0x12345678u), long(fast.size()));
      }
}

// Pixel centres: with None both grids have centres at whole coordinates, so doubling with nearest
// neighbour gives the first source column one device column; with Half every column gets two.
// A 1:1 draw at a whole offset copies pixels exactly in both modes, transparent colour included.
TEST(DrawImage, PixelCentresAndExactCopies) {
  Pixels source(3, 1, {0xFF0000FFu, 0x00FFFFFFu, 0x80102030u});
  struct Case {
    PixelOffsetMode offset;
    REAL x, w;
    std::vector<uint32_t> row;
  } cases[] = {
      {PixelOffsetModeNone, 0, 6, {0xFF0000FF, 0x00FFFFFF, 0x00FFFFFF, 0x80102030, 0x80102030, 0x00000000}},
      {PixelOffsetModeHalf, 0, 6, {0xFF0000FF, 0xFF0000FF, 0x00FFFFFF, 0x00FFFFFF, 0x80102030, 0x80102030}},
      {PixelOffsetModeNone, 2, 3, {0, 0, 0xFF0000FF, 0x00FFFFFF, 0x80102030, 0}},
      {PixelOffsetModeHalf, 2, 3, {0, 0, 0xFF0000FF, 0x00FFFFFF, 0x80102030, 0}},
  };
  for (const Case& c : cases) {
    Bitmap canvas(6, 1, PixelFormat32bppARGB);
    Graphics g(&canvas);
    g.SetCompositingMode(CompositingModeSourceCopy);
    g.SetInterpolationMode(c.w == 3 ? InterpolationModeHighQualityBicubic : InterpolationModeNearestNeighbor);
    g.SetPixelOffsetMode(c.offset);
    ASSERT_EQ(g.DrawImage(source.bitmap.get(), RectF(c.x, 0, c.w, 1), 0, 0, 3, 1, UnitPixel), Ok);
    for (int i = 0; i < 6; ++i) {
      Color got;
      canvas.GetPixel(i, 0, &got);
      EXPECT_EQ(got.GetValue(), c.row[size_t(i)]) << "offset " << c.offset << " x " << c.x << " column " << i;
    }
  }
}

// Transparent pixels lend no colour (premultiplied filtering), edges fade to transparent unless a
// clamp colour is set, SourceOver blends straight ARGB, and the colour matrix works on straight
// values before compositing. Default interpolation reads back as Bilinear.
TEST(DrawImage, AlphaEdgesCompositingAndColourMatrix) {
  Pixels source(2, 1, {0xFFFF0000u, 0x0000FF00u});  // opaque red, transparent green
  Bitmap canvas(2, 1, PixelFormat32bppARGB);
  Graphics g(&canvas);
  EXPECT_EQ(g.GetInterpolationMode(), InterpolationModeBilinear);
  ASSERT_EQ(g.SetInterpolationMode(InterpolationModeDefault), Ok);
  EXPECT_EQ(g.GetInterpolationMode(), InterpolationModeBilinear);
  g.SetCompositingMode(CompositingModeSourceCopy);
  g.SetPixelOffsetMode(PixelOffsetModeHalf);
  // Halved with the tent stretched to 2: weights 1/8, 3/8, 3/8, 1/8 over pixels -1..2; only the red
  // one carries alpha, so the result is red at 3/8 alpha, with no green in it.
  g.SetInterpolationMode(InterpolationModeHighQualityBilinear);
  ASSERT_EQ(g.DrawImage(source.bitmap.get(), RectF(0, 0, 1, 1), 0, 0, 2, 1, UnitPixel), Ok);
  Color c;
  canvas.GetPixel(0, 0, &c);
  EXPECT_EQ(c.GetValue(), 0x60FF0000u);

  // Half a pixel to the right: device 0 samples half outside, transparent or the clamp colour.
  ImageAttributes clamp;
  clamp.SetWrapMode(WrapModeClamp, Color(0xFF0000FF));
  for (const ImageAttributes* attributes : {static_cast<ImageAttributes*>(nullptr), &clamp}) {
    ASSERT_EQ(g.DrawImage(source.bitmap.get(), RectF(0.5f, 0, 2, 1), 0, 0, 2, 1, UnitPixel, attributes), Ok);
    canvas.GetPixel(0, 0, &c);
    EXPECT_EQ(c.GetValue(), attributes ? 0xFF800080u : 0x80FF0000u);
  }

  // SourceOver of half-transparent red onto opaque white, then a matrix halving alpha first.
  Pixels red(1, 1, {0x80FF0000u});
  Bitmap white(1, 1, PixelFormat32bppARGB);
  Graphics gw(&white);
  ColorMatrix half{};
  for (int i = 0; i < 5; ++i) half.m[i][i] = i == 3 ? 0.5f : 1.0f;
  ImageAttributes halving;
  halving.SetColorMatrix(&half, ColorMatrixFlagsDefault, ColorAdjustTypeBitmap);
  for (const ImageAttributes* attributes : {static_cast<ImageAttributes*>(nullptr), &halving}) {
    gw.Clear(Color(0xFFFFFFFF));
    ASSERT_EQ(gw.DrawImage(red.bitmap.get(), RectF(0, 0, 1, 1), 0, 0, 1, 1, UnitPixel, attributes), Ok);
    white.GetPixel(0, 0, &c);
    EXPECT_EQ(c.GetValue(), attributes ? 0xFFFFBFBFu : 0xFFFF7F7Fu);
  }
  EXPECT_EQ(resample::source_over(0x80FF0000u, 0x800000FFu), 0xC0AA0055u);
}

// Matrices hold 32-bit floats; prepend applies the new operation first, append after.
TEST(DrawImage, MatrixOrderAndElements) {
  Matrix m;
  m.Translate(10, 0);
  m.Rotate(90, MatrixOrderPrepend);  // rotate first, then move
  PointF p(1, 0);
  m.TransformPoints(&p);
  EXPECT_FLOAT_EQ(p.X, 10);
  EXPECT_FLOAT_EQ(p.Y, 1);
  Matrix n;
  n.Rotate(45);
  n.Translate(10, 0, MatrixOrderAppend);
  REAL e[6];
  n.GetElements(e);
  EXPECT_EQ(e[0], static_cast<REAL>(std::cos(std::numbers::pi / 4)));
  EXPECT_EQ(e[4], 10.0f);
  Matrix product(2, 0, 0, 2, 0, 0);
  product.Multiply(&n, MatrixOrderAppend);  // scale, then n
  product.GetElements(e);
  EXPECT_EQ(e[0], static_cast<REAL>(2 * std::cos(std::numbers::pi / 4)));
  EXPECT_EQ(Matrix(0, 0, 0, 0, 0, 0).Invert(), InvalidParameter);
}

// A whole image at a point takes its physical size (pixels x surface dpi / image dpi); page units
// and scale then map world units to device pixels.
TEST(DrawImage, AtAPointWithResolutionsAndPageUnits) {
  Pixels source(2, 1, {0xFF0000FFu, 0xFF00FF00u});
  source.bitmap->SetResolution(48, 48);  // half the surface's 96 dpi: drawn twice as large
  const struct {
    Unit unit;
    REAL scale, x;
    std::vector<uint32_t> row;
  } cases[] = {{UnitPixel, 1, 0, {0xFF0000FF, 0xFF0000FF, 0xFF00FF00, 0xFF00FF00, 0, 0}},
               {UnitPixel, 0.5f, 4, {0, 0, 0xFF0000FF, 0xFF0000FF, 0xFF00FF00, 0xFF00FF00}},
               {UnitInch, 1, 0.0208333f, {0, 0, 0xFF0000FF, 0xFF0000FF, 0xFF00FF00, 0xFF00FF00}}};
  for (const auto& c : cases) {
    Bitmap canvas(6, 1, PixelFormat32bppARGB);
    Graphics g(&canvas);
    g.SetInterpolationMode(InterpolationModeNearestNeighbor);
    g.SetPixelOffsetMode(PixelOffsetModeHalf);
    g.SetPageUnit(c.unit);
    g.SetPageScale(c.scale);
    ASSERT_EQ(g.DrawImage(source.bitmap.get(), c.x, REAL(0)), Ok);
    for (int i = 0; i < 6; ++i) {
      Color got;
      canvas.GetPixel(i, 0, &got);
      EXPECT_EQ(got.GetValue(), c.row[size_t(i)]) << "unit " << c.unit << " column " << i;
    }
  }
}

}  // namespace
