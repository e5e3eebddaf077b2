// Zentarix — MIT licence.
// The pixels of a loaded image's working bitmap: the decoded pixels as drawn over full transparency.
#pragma once
#include "PixelView.h"

namespace zx::raster::kernels {

// Every load gives the object a fresh 32 bpp ARGB bitmap holding what source-over drawing of the
// decoded image onto a fully transparent bitmap yields. With straight alpha and a destination of
// 0x00000000 that is: a pixel with alpha 0 becomes 0x00000000 (its colour is lost, as drawing loses
// it), every other pixel keeps its colour and alpha exactly. Computing it directly avoids the
// premultiply and unpremultiply round trip a graphics pipeline would take, which would alter the
// colour of translucent pixels.
//
// src and dst have the same width and height, 32 bpp ARGB rows (B, G, R, A bytes); they may be the
// same memory (in place). One pass: each source pixel is read once and each target pixel written once.
void compose_over_transparent_argb32(ConstPixelView src, PixelView dst);

// The plain per-pixel definition of the above; the entry point may take a wider path but must give
// the same bytes (the tests compare both).
void compose_over_transparent_argb32_reference(ConstPixelView src, PixelView dst);

}  // namespace zx::raster::kernels
