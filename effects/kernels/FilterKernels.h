// Zentarix — MIT licence.
// Neighbourhood effects: sharpen, emboss, edge detection and antialiasing, with edges repeated.
#pragma once
#include "EffectPixels.h"

namespace zx::effects::kernels {

// Unsharp mask of radius 1: each colour channel gains strength / 16 times its difference from the
// 3 x 3 binomial blur (1 2 1 / 2 4 2 / 1 2 1, over 16), rounded down and clamped; alpha kept.
void sharpen_argb32(int32_t strength, ConstPixelView src, PixelView dst);

// The relief of the luma lit from the top left, e = the sum of the three neighbours towards the
// bottom right minus the three towards the top left. grey: R = G = B = 128 + e; otherwise every
// colour channel gains e. Clamped; alpha kept.
void emboss_argb32(bool grey, ConstPixelView src, PixelView dst);

// Per colour channel, the Sobel gradient |gx| + |gy|: sharp with the 3 x 3 operator, halved; soft
// with that operator over a 3 x 3 binomial blur (5 x 5 in all), over 12. Clamped to 255; alpha
// kept. A flat image gives black.
void edge_detect_argb32(bool soft, ConstPixelView src, PixelView dst);

// Each channel (alpha included) moves towards its 3 x 3 binomial blur by the weight
// w = (c - 24) / 72 clamped to 0..1, c being the spread (largest minus smallest) of the luma over
// the pixel's neighbourhood, in 1/256 steps: hard edges are smoothed, flat areas and gentle
// gradients (c <= 24) stay exactly as they were.
void antialias_argb32(ConstPixelView src, PixelView dst);

}  // namespace zx::effects::kernels
