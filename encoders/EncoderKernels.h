// Zentarix — MIT licence.
// Pixel kernels of the shared encoding steps (no COM or GDI+ types).
#pragma once
#include <cstdint>

#include "colour_reduction.h"

namespace zx::encoding {

// Flattens 32 bpp ARGB pixels (bytes B, G, R, A) over an opaque background colour (0xAARRGGBB;
// its alpha is not used). A pixel with alpha a > 1 becomes ((255 - a) * background + c * a) / 255
// per channel, integer division, with alpha 255; a pixel with alpha 0 or 1 becomes the background's
// colour with alpha 0, so that a later transparency test still sees it as transparent.
void flatten_over_background_argb32(PixelView pixels, uint32_t background);

// dst = the gap-free rows at `rows` (dst.width * 4 bytes each, top row first).
void copy_rows_argb32(const uint8_t* rows, PixelView dst);

}  // namespace zx::encoding
