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

// 32 bpp ARGB rows (bytes B, G, R, A) to gap-free pixels of the bytes A, R, G, B with the colour
// premultiplied as SWF's lossless bitmaps hold it: c x (a x k) in single precision, truncated, with
// k = 0.003921569f (1/255 as a float). An opaque pixel keeps every channel, a transparent one is 0.
void premultiply_swf_argb32(ConstPixelView src, uint8_t* dst);

// Byte `ink` (0 cyan, 1 magenta, 2 yellow, 3 black) of every pixel of `cmyk` from the grey image
// an output channel drew of that ink: 255 minus the grey pixel's first (blue) byte.
void take_ink_argb32(ConstPixelView grey, PixelView cmyk, int ink);

}  // namespace zx::encoding
