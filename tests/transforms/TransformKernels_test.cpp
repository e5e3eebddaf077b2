// Zentarix — MIT licence.
// The transform kernels on their own: the blur's whole-radius path against its step-by-step
// reference, the compositing rule's exact division, and the rank filter against sorting each
// window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "kernels/BlurKernel.h"
#include "kernels/RankFilter.h"

namespace zx::transforms::kernels {
namespace {

struct Image {
  int w, h;
  std::vector<uint32_t> px;
  PixelView view() { return {reinterpret_cast<uint8_t*>(px.data()), w, h, ptrdiff_t(w) * 4}; }
};

Image random_image(int w, int h, uint32_t seed) {
  std::mt19937 rng(seed);
  Image image{w, h, std::vector<uint32_t>(size_t(w) * h)};
  for (uint32_t& p : image.px) {
    p = rng();
    if (p % 5 == 0) p &= 0x00FFFFFF;  // transparent pixels carry colour the blur must ignore
    if (p % 7 == 0) p |= 0xFF000000;
  }
  return image;
}

// Both forms on the same input and a copy of it, for whole radii on the direct path (up to 24) and
// on the sliding one, with and without a colour, offsets and intensity.
TEST(BlurKernel, WholeRadiusPathEqualsTheReference) {
  const std::optional<uint32_t> none;
  const BlurSettings cases[] = {
      {0, 0, none, 1.0, 2.0, 2.0},       {0, 0, none, 1.0, 1.0, 3.0},       {0, 0, none, 1.0, 0.0, 1.0},
      {0, 0, 0xFFFFFF00u, 10.0, 2.0, 2.0}, {10, -3, 0xFF808080u, 1.0, 2.0, 2.0}, {-4, 7, 0x80123456u, 0.5, 1.0, 0.0},
      {0, 0, 0xFFFFFF00u, 3.0, 5.0, 4.0},
      // The sliding sums: just past the direct path, wide, wider than the image, and a radius
      // between -1 and 0 (the centre alone, weighted r + 1).
      {0, 0, none, 1.0, 25.0, 3.0},      {3, -2, none, 1.0, 65.0, 30.0},    {0, 0, 0xFF20A0E0u, 4.0, 120.0, 0.0},
      {-5, 40, none, 1.0, 300.0, 300.0}, {9, 1, 0xC0FF0000u, 2.0, -0.5, 7.0},
  };
  for (const BlurSettings& s : cases) {
    Image source = random_image(37, 29, 5), fast = source, plain = source;
    blur_argb32(s, source.view(), fast.view());
    blur_argb32_reference(s, source.view(), plain.view());
    EXPECT_EQ(fast.px, plain.px) << s.radius_x << " " << s.radius_y << " offset " << s.offset_x << "," << s.offset_y;
    EXPECT_NE(fast.px, source.px);
  }
  // A radius of -1 or less leaves every window empty: nothing is laid, even with a colour.
  Image source0 = random_image(37, 29, 5), none_laid = source0, reference0 = source0;
  blur_argb32({0, 0, 0xFFFFFF00u, 1.0, -1.5, 40.0}, source0.view(), none_laid.view());
  blur_argb32_reference({0, 0, 0xFFFFFF00u, 1.0, -1.5, 40.0}, source0.view(), reference0.view());
  EXPECT_EQ(none_laid.px, source0.px);
  EXPECT_EQ(reference0.px, source0.px);
  // An intensity below 1 acts as 1.
  Image source = random_image(37, 29, 5), weak = source, one = source;
  blur_argb32({0, 0, 0xFFFFFF00u, 0.5, 2.0, 2.0}, source.view(), weak.view());
  blur_argb32({0, 0, 0xFFFFFF00u, 1.0, 2.0, 2.0}, source.view(), one.view());
  EXPECT_EQ(weak.px, one.px);
  // Opaque white at a whole radius whose sums would pass 2^31 in 32 bits.
  Image white{400, 1, std::vector<uint32_t>(400, 0xFFFFFFFFu)}, blurred = white, reference = white;
  blur_argb32({0, 0, std::nullopt, 1.0, 190.0, 0.0}, white.view(), blurred.view());
  blur_argb32_reference({0, 0, std::nullopt, 1.0, 190.0, 0.0}, white.view(), reference.view());
  EXPECT_EQ(blurred.px, reference.px);
}

// Fractional radii round the exact sum of the tent and the box, where the reference rounds every
// term: a channel may differ by one where its value lies within rounding of a whole number. In a
// random image that is rare; in a uniform one every value lies there (colour c is S x (1/SA) with
// S = c x SA exactly), and either form may truncate it to c - 1.
TEST(BlurKernel, FractionalRadiiRoundTheExactSum) {
  const BlurSettings cases[] = {
      {0, 0, std::nullopt, 1.0, 0.5, 0.5},    {2, -1, std::nullopt, 1.0, 2.5, 1.3},   {0, 0, 0xFFFFFF00u, 3.0, 7.25, 0.0},
      {-6, 4, std::nullopt, 1.0, 30.7, 65.1}, {0, 0, 0xFF808080u, 1.0, 100.9, 100.9}, {0, 0, std::nullopt, 1.0, 4.5, 33.3},
  };
  for (const BlurSettings& s : cases)
    for (const bool uniform : {false, true}) {
      Image source = random_image(61, 47, 9);
      if (uniform) std::fill(source.px.begin(), source.px.end(), 0x80336699u);
      Image fast = source, plain = source;
      blur_argb32(s, source.view(), fast.view());
      blur_argb32_reference(s, source.view(), plain.view());
      size_t differing = 0;
      for (size_t i = 0; i < source.px.size(); ++i)
        for (int c = 0; c < 32; c += 8) {
          const int a = fast.px[i] >> c & 0xFF, b = plain.px[i] >> c & 0xFF;
          ASSERT_LE(std::abs(a - b), 1) << s.radius_x << " " << s.radius_y << " pixel " << i;
          differing += a != b;
        }
      if (!uniform) {
        EXPECT_LE(differing, source.px.size() / 50) << s.radius_x << " " << s.radius_y;  // 0.5% of channels
      }
      EXPECT_NE(fast.px, source.px);
    }
}

// comp divides by n = min(255, d.A + a) through a reciprocal; it must equal plain division.
TEST(BlurKernel, CompositingDividesExactly) {
  for (uint32_t alpha = 1; alpha < 256; ++alpha)
    for (uint32_t dest_alpha = 0; dest_alpha < 256; ++dest_alpha)
      for (uint32_t colour : {0u, 1u, 127u, 254u, 255u}) {
        uint8_t d[4] = {uint8_t(255 - colour), uint8_t(colour), 200, uint8_t(dest_alpha)};
        const uint32_t n = std::min(255u, dest_alpha + alpha), k = n - alpha;
        const uint32_t want[3] = {(colour * alpha + d[0] * k) / n, (255 * alpha + d[1] * k) / n, (7 * alpha + d[2] * k) / n};
        composite_pixel(d, colour, 255, 7, alpha);
        ASSERT_EQ((std::vector<uint32_t>{d[0], d[1], d[2], d[3]}), (std::vector<uint32_t>{want[0], want[1], want[2], n}))
            << alpha << " " << dest_alpha << " " << colour;
      }
}

}  // namespace
}  // namespace zx::transforms::kernels

namespace zx::transforms::kernels {
namespace {

// The three ranks against sorting each clipped window by (alpha x channel, channel), in a wide
// image and a tall one (the median slides along the longer side). Pixels are mostly drawn from
// three levels, so products tie with different channels (0x80 x 0xFF against 0xFF x 0x80) and
// transparent pixels of any colour are common; the rest are random, so the median's walk crosses
// many histogram blocks.
TEST(RankFilter, EachRankPicksTheSortedWindowsPixel) {
  std::mt19937 rng(11);
  const uint32_t levels[] = {0x00, 0x80, 0xFF};
  auto rank_key = [](uint32_t p, int c) {
    const uint32_t a = p >> 24, v = p >> (8 * c) & 0xFF;
    return c == 3 ? a : (a * v) << 8 | v;
  };
  for (const auto& [w, h] : {std::pair{23, 17}, std::pair{9, 31}}) {
    Image source{w, h, std::vector<uint32_t>(size_t(w) * h)};
    for (uint32_t& p : source.px)
      for (int c = 0; c < 4; ++c) p |= (rng() % 4 ? levels[rng() % 3] : rng() & 0xFF) << (8 * c);
    for (const Rank rank : {Rank::Median, Rank::Minimum, Rank::Maximum})
      for (const int radius : {1, 4, 40})
        for (const bool alpha : {false, true}) {
          Image out = source;
          rank_filter_argb32(radius, rank, alpha, source.view(), out.view());
          std::vector<uint32_t> keys;
          for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
              for (int c = 0; c < 4; ++c) {
                uint32_t expected = source.px[size_t(y) * w + x] >> (8 * c) & 0xFF;
                if (c < 3 || alpha) {
                  keys.clear();
                  for (int j = std::max(0, y - radius); j <= std::min(h - 1, y + radius); ++j)
                    for (int i = std::max(0, x - radius); i <= std::min(w - 1, x + radius); ++i)
                      keys.push_back(rank_key(source.px[size_t(j) * w + i], c));
                  std::sort(keys.begin(), keys.end());
                  const size_t n = keys.size();
                  expected = keys[rank == Rank::Median ? n / 2 : rank == Rank::Minimum ? 0 : n - 1] & 0xFF;
                }
                ASSERT_EQ(out.px[size_t(y) * w + x] >> (8 * c) & 0xFF, expected)
                    << w << "x" << h << " rank " << int(rank) << " radius " << radius << " alpha " << alpha << " at " << x
                    << "," << y << " channel " << c;
              }
        }
  }
}

}  // namespace
}  // namespace zx::transforms::kernels
