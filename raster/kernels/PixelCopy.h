// Zentarix — MIT licence.
// Row copies between pixel views and gap-free linear pixel blocks, and solid fills.
#pragma once
#include <cstdint>

#include "PixelView.h"

namespace zx::raster::kernels {

// out[y * width + x] = pixel (x, y): rows top first, no gap between them.
void copy_view_to_linear(ConstPixelView image, uint32_t* out);
// pixel (x, y) = in[y * width + x].
void copy_linear_to_view(const uint32_t* in, PixelView image);
// dst = src, row by row (same width and height).
void copy_argb32(ConstPixelView src, PixelView dst);
// Every pixel = value, stored as is (no blending).
void fill_argb32(PixelView image, uint32_t value);

}  // namespace zx::raster::kernels
