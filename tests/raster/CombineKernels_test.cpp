// Zentarix — MIT licence.
// The combine kernels on pixel views: clipping, the five rules, and the vectorised alpha blend.
#include "kernels/CombineKernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace zx::raster::kernels {
namespace {

struct Image {
  int width, height;
  std::vector<uint32_t> pixels;
  Image(int w, int h, uint32_t fill = 0) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
  PixelView view() { return {reinterpret_cast<uint8_t*>(pixels.data()), width, height, ptrdiff_t{width} * 4}; }
};

TEST(ClipPlacement, NegativeOffsetsStartInsideTheSource) {
  const ClippedRects r = clip_placement(10, 4, 20, 3, -5, -1);
  EXPECT_EQ(r.sx, 5);
  EXPECT_EQ(r.sy, 1);
  EXPECT_EQ(r.dx, 0);
  EXPECT_EQ(r.dy, 0);
  EXPECT_EQ(r.w, 5);
  EXPECT_EQ(r.h, 3);
}

TEST(ClipPlacement, PositiveOffsetsAreCutAtTheDestinationEdge) {
  const ClippedRects r = clip_placement(10, 10, 20, 12, 15, 5);
  EXPECT_EQ(r.sx, 0);
  EXPECT_EQ(r.dx, 15);
  EXPECT_EQ(r.dy, 5);
  EXPECT_EQ(r.w, 5);
  EXPECT_EQ(r.h, 7);
}

TEST(ClipPlacement, NoOverlapGivesAnEmptyRectangleNeverNegative) {
  EXPECT_EQ(clip_placement(10, 10, 20, 20, 20, 0).w, 0);
  EXPECT_EQ(clip_placement(10, 10, 20, 20, -10, 0).w, 0);
  EXPECT_EQ(clip_placement(10, 10, 20, 20, 0, 25).h, 0);
  const ClippedRects extreme = clip_placement(10, 10, 20, 20, INT32_MIN, INT32_MAX);
  EXPECT_EQ(extreme.w, 0);
  EXPECT_EQ(extreme.h, 0);
}

TEST(CombineAlpha, ReferenceRule) {
  Image src(4, 1), dst(4, 1, 0x80808080);
  src.pixels = {0xFF102030, 0x00FFFFFF, 0x80FF0000, 0x01FFFFFF};
  combine_alpha_argb32_reference(src.view(), dst.view(), 255);
  // f = 128 * 255 / 65025 = 0.50196..: 0x80 + trunc((0xFF - 0x80) * f) = 128 + 63 = 191 = 0xBF,
  // 0x80 + trunc(-128 * f) = 128 - 64 = 64 = 0x40.
  EXPECT_EQ(dst.pixels, (std::vector<uint32_t>{0xFF102030, 0x80808080, 0x80BF4040, 0x80808080}));
}

TEST(CombineAlpha, OpacityZeroChangesNothing) {
  Image src(2, 1, 0xFFFFFFFF), dst(2, 1, 0x12345678);
  combine_alpha_argb32(src.view(), dst.view(), 0);
  EXPECT_EQ(dst.pixels, std::vector<uint32_t>(2, 0x12345678));
}

TEST(CombineAlpha, VectorisedEqualsReferenceOnRandomData) {
  if (!combine_alpha_argb32_is_vectorised()) GTEST_SKIP() << "no vectorised variant on this processor";
  std::mt19937 rng(1234);
  const uint8_t alphas[] = {0, 1, 2, 127, 128, 254, 255};
  for (int width : {1, 3, 4, 5, 8, 13, 64, 67}) {
    for (int opacity : {0, 1, 77, 128, 254, 255}) {
      Image src(width, 3), dst(width, 3);
      for (auto& p : src.pixels) {
        p = rng();
        if (rng() % 2) p = (p & 0x00FFFFFFu) | (uint32_t{alphas[rng() % 7]} << 24);
      }
      for (auto& p : dst.pixels) p = rng();
      Image expected = dst;
      combine_alpha_argb32_reference(src.view(), expected.view(), static_cast<uint8_t>(opacity));
      combine_alpha_argb32(src.view(), dst.view(), static_cast<uint8_t>(opacity));
      ASSERT_EQ(dst.pixels, expected.pixels) << "width " << width << " opacity " << opacity;
    }
  }
}

TEST(CombineAlpha, StridesBeyondTheRowAreRespected) {
  // Two rows of 3 pixels in rows 4 pixels apart; the gap pixel must stay untouched.
  std::vector<uint32_t> src(8, 0xFF00FF00), dst(8, 0xFF0000FF);
  dst[3] = dst[7] = 0xDEADBEEF;
  PixelView d{reinterpret_cast<uint8_t*>(dst.data()), 3, 2, 16};
  ConstPixelView s(reinterpret_cast<const uint8_t*>(src.data()), 3, 2, 16);
  combine_alpha_argb32(s, d, 255);
  EXPECT_EQ(dst, (std::vector<uint32_t>{0xFF00FF00, 0xFF00FF00, 0xFF00FF00, 0xDEADBEEF, 0xFF00FF00, 0xFF00FF00,
                                        0xFF00FF00, 0xDEADBEEF}));
}

TEST(CombineLogical, FullStrengthStopsOneStepShort) {
  Image white(1, 1, 0xFFFFFFFF), black(1, 1, 0xFF000000);
  combine_or_argb32(white.view(), black.view(), 255);
  EXPECT_EQ(black.pixels[0], 0xFFFEFEFEu);

  Image same_src(1, 1, 0xFFC80100), same_dst(1, 1, 0xFFC80100);
  combine_xor_argb32(same_src.view(), same_dst.view(), 255);
  EXPECT_EQ(same_dst.pixels[0], 0x01010100u);

  Image and_src(1, 1, 0xFFF0F00F), and_dst(1, 1, 0xFF3C0FFF);
  combine_and_argb32(and_src.view(), and_dst.view(), 255);
  EXPECT_EQ(and_dst.pixels[0], 0xFF310110u);
}

TEST(CombineLogical, TransparentSourceChangesNothing) {
  Image src(1, 1, 0x00FFFFFF), dst(1, 1, 0x80402010);
  combine_or_argb32(src.view(), dst.view(), 255);
  combine_xor_argb32(src.view(), dst.view(), 255);
  combine_and_argb32(src.view(), dst.view(), 255);
  EXPECT_EQ(dst.pixels[0], 0x80402010u);
}

TEST(CombineDissolve, GeneratorSequence) {
  DissolveGenerator gen;
  // 17 * 214013 + 2531011 = 6169232; 6169232 >> 16 = 94.
  EXPECT_EQ(gen.next(), 94u);
  EXPECT_EQ(gen.state, 6169232u);
  DissolveGenerator again;
  again.next();
  EXPECT_EQ(again.next(), gen.next());
}

TEST(CombineDissolve, SelectedPixelsBlendByTheirAlphaAndTransparentOnesKeepTheDestination) {
  Image src(64, 1), dst(64, 1, 0xFF0000FF);
  for (int x = 0; x < 64; ++x) src.pixels[x] = x % 2 ? 0x00FF0000u : 0x80FF0000u;
  DissolveGenerator gen;
  combine_dissolve_argb32(src.view(), dst.view(), 255, gen);
  // Opacity 255 selects every draw below 32767; each transparent pixel keeps d (d * 255 / 255).
  for (int x = 0; x < 64; ++x) {
    SCOPED_TRACE(x);
    // a = 128: alpha (128 * 128 + 255 * 127) / 255 = 191, red 255 * 128 / 255 = 128, blue 255 * 127 / 255 = 127.
    EXPECT_EQ(dst.pixels[x], x % 2 ? 0xFF0000FFu : 0xBF80007Fu);
  }
}

TEST(CombineDissolve, OpacityZeroSelectsNothingButStillDraws) {
  Image src(10, 1, 0xFFFFFFFF), dst(10, 1, 0xFF000000);
  DissolveGenerator gen;
  combine_dissolve_argb32(src.view(), dst.view(), 0, gen);
  EXPECT_EQ(dst.pixels, std::vector<uint32_t>(10, 0xFF000000));
  DissolveGenerator counted;
  for (int i = 0; i < 10; ++i) counted.next();
  EXPECT_EQ(gen.state, counted.state);
}

}  // namespace
}  // namespace zx::raster::kernels
