// Zentarix — MIT licence.
// The blur kernel FastBlur, Glow and Shadow share, and the compositing rule every pixel kernel writes with.
#pragma once
#include <cstdint>
#include <optional>

#include "kernels/PixelView.h"

namespace zx::transforms::kernels {

using raster::kernels::ConstPixelView;
using raster::kernels::PixelView;

// comp(p, a onto d), a > 0: n = min(255, d.A + a), k = n - a, d.A = n, and each of B, G, R becomes
// (p.c * a + d.c * k) / n with integer division. Laying a colour on an opaque pixel replaces the
// fraction a/255 of it; alphas add up to at most 255.
void composite_pixel(uint8_t* d, uint32_t b, uint32_t g, uint32_t r, uint32_t a);

// For every pixel with source alpha a > 0: comp(source pixel, a onto destination pixel). On a
// destination that is a copy of the source, colours stay and every partial alpha doubles (clamped).
void composite_over(ConstPixelView src, PixelView dst);

struct BlurSettings {
  int32_t offset_x = 0;
  int32_t offset_y = 0;
  std::optional<uint32_t> colour;  // ARGB; present for a glow or a shadow
  double intensity = 1.0;
  double radius_x = 0.0;
  double radius_y = 0.0;
};

// The separable tent blur in double precision, composited onto dst (which starts as a copy of
// src; both are width x height). Weights w(d) = r + 1 - |d| over |d| <= ceil(r); colours are
// averaged weighted by alpha over the samples present and normalised by multiplying with 1/SA,
// alpha by the whole kernel sum. With a colour, the vertical pass lays that colour with alpha
// trunc(colour alpha * curve(a) * (1/255)), the kernel sum being divided by the intensity first.
// Without a colour and with both radii <= 0 it is composite_over. The reference allocates one
// intermediate image (std::bad_alloc when it cannot be had).
//
// blur_argb32 forms the same sums without walking the windows. Whole radii up to 24 sum their
// 2r + 1 taps directly in integers, keeping only the rows a vertical window spans. Every other
// radius slides: the tent is a box convolved with a box, so its sums move along a line at a fixed
// cost per pixel whatever the radius (on an intermediate image, as the reference). For a whole
// radius the sums are whole numbers formed exactly, so both paths give the reference's bytes
// wherever its double sums are exact (below 2^53). A fractional radius r is the tent of floor(r)
// plus (r - floor(r)) times a box, each summed exactly and combined in double: the exact sum
// rounded at the end, where the reference rounds every term, so a channel may differ from it by one
// where its value lies within rounding of a whole number. The reference stays as the definition
// written out step by step, the oracle the fast paths are tested against. Radii beyond +-2^20 act
// as +-2^20 and a NaN radius as 0, a NaN intensity as 1, so every conversion to an integer is
// defined.
void blur_argb32(const BlurSettings& settings, ConstPixelView src, PixelView dst);
void blur_argb32_reference(const BlurSettings& settings, ConstPixelView src, PixelView dst);

// Glow and Shadow: the coloured blur, then the source composited over the result (a second run
// with no colour and radii 0), so opaque pixels come back as they were.
void glow_argb32(const BlurSettings& settings, ConstPixelView src, PixelView dst);

}  // namespace zx::transforms::kernels
