// Zentarix — MIT licence.
// The rank filter of NoiseRemove (median), Expand (minimum) and Erosion (maximum).
#pragma once
#include "BlurKernel.h"

namespace zx::transforms::kernels {

enum class Rank { Median, Minimum, Maximum };

// dst starts as a copy of src. With radius < 1 this is composite_over. Otherwise each output pixel
// takes, per colour channel, the channel of the window pixel at rank n / 2 (median, the upper one
// for even n), 0 or n - 1 when the n pixels of its square window (clipped to the image) are ranked
// by alpha * channel; alpha is ranked by itself when filtered, else copied from the source pixel.
// Pixels with equal products rank by the channel's own value, so the pixels that tie give the same
// output and which of them is taken does not matter (a transparent window gives its smallest
// channel as minimum). A radius that reaches past the image acts as one that just covers it.
void rank_filter_argb32(int32_t radius, Rank rank, bool filter_alpha, ConstPixelView src, PixelView dst);

}  // namespace zx::transforms::kernels
