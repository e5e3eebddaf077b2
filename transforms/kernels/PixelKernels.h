// Zentarix — MIT licence.
// Small pixel kernels of the transforms: the frame's copy, Transparentize, and flips by quarter turns.
#pragma once
#include "BlurKernel.h"

namespace zx::transforms::kernels {

// Row by row: the views may have different strides.
void copy_argb32(ConstPixelView src, PixelView dst);

// dst = src, then each pixel whose distance d = (|B - tB| + |G - tG| + |R - tR|) / 3 (integer
// division) from the colour is below the threshold gets alpha trunc(d / threshold * 255).
void transparentize_argb32(uint32_t colour, uint8_t threshold, ConstPixelView src, PixelView dst);

// dst (already of the turned size) = src turned clockwise by (type & 3) quarter turns, then
// mirrored left to right when type >= 4: the GDI+ RotateFlipType values 0..7. One pass in tiles,
// so a quarter turn reads and writes memory in cache-sized blocks.
void flip_rotate_argb32(int type, ConstPixelView src, PixelView dst);

}  // namespace zx::transforms::kernels
