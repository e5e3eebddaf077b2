// Zentarix — MIT licence.
// Effects made of random or textured changes: added noise, spray, the canvas relief of Texturize.
#pragma once
#include "EffectPixels.h"

namespace zx::effects::kernels {

// Gaussian noise of standard deviation amount * 0.64 colour steps (amount 0..100) added to each
// colour channel, the same value on all three when monochrome; clamped, alpha kept. The noise is
// drawn from a generator seeded by the image, so a result depends only on the image and settings.
void add_noise_argb32(int32_t amount, bool monochrome, ConstPixelView src, PixelView dst);

// Each pixel takes the pixel at a random offset of at most amount pixels on each axis (clamped
// to the image). Within frameWidth pixels of the border a pixel becomes the background instead
// with probability 1 - d / frameWidth, d being its distance to the nearest border: the outermost
// ring is all background and the frame thins out inwards into a ragged edge.
void spray_argb32(int32_t amount, int32_t frameWidth, uint32_t background, ConstPixelView src, PixelView dst);

// A tileable canvas texture (256 x 256) lit from the top left: each colour channel gains the
// difference between the texture half a shift before and half a shift after the pixel along the
// diagonal, scaled by amount percent; clamped, alpha kept. shift > 0.
void texturize_argb32(int32_t amount, float shift, ConstPixelView src, PixelView dst);

}  // namespace zx::effects::kernels
