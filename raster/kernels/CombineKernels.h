// Zentarix — MIT licence.
// The five combine kernels (alpha, XOR, AND, OR, dissolve) and the placement clipping they share.
#pragma once
#include <cstdint>

#include "PixelView.h"

namespace zx::raster::kernels {

// Where a source of ws x hs lands on a destination of wd x hd when its top-left corner is put at
// (x, y): the overlapping rectangle in each bitmap's own coordinates. w or h is 0 when they do not
// overlap; neither is ever negative.
struct ClippedRects {
  int sx = 0, sy = 0;  // source start
  int dx = 0, dy = 0;  // destination start
  int w = 0, h = 0;    // common size
};
ClippedRects clip_placement(int ws, int hs, int wd, int hd, int32_t x, int32_t y);

// Each kernel combines src into dst pixel by pixel; both views have the same width and height.
// The four bytes of a pixel are treated alike, alpha included, with the source's alpha taken
// before anything is written. src and dst must not overlap partially (they may be distinct rows of
// one bitmap only if the caller arranged that).

// d += trunc((s - d) * f), f = srcA * opacity * (1/65025 in double precision), formed once per
// pixel. The vectorised variant is used when the processor has AVX2; the reference is always
// available and both give identical bytes.
void combine_alpha_argb32(ConstPixelView src, PixelView dst, uint8_t opacity);
void combine_alpha_argb32_reference(ConstPixelView src, PixelView dst, uint8_t opacity);
// True when combine_alpha_argb32 runs the vectorised variant on this processor.
bool combine_alpha_argb32_is_vectorised();

// t = s OP d; d += trunc((t - d) * f), f = srcA * opacity * (1/65025 rounded to single precision):
// f stays just below 1, so at full strength the result stops one step short of t.
void combine_and_argb32(ConstPixelView src, PixelView dst, uint8_t opacity);
void combine_xor_argb32(ConstPixelView src, PixelView dst, uint8_t opacity);
void combine_or_argb32(ConstPixelView src, PixelView dst, uint8_t opacity);

// The dissolve generator: state = state * 214013 + 2531011 (mod 2^32), value = (state >> 16) & 0x7FFF.
struct DissolveGenerator {
  uint32_t state = 17;
  uint32_t next() {
    state = state * 214013u + 2531011u;
    return (state >> 16) & 0x7FFFu;
  }
};

// One draw per pixel in row order, selected or not; a pixel is selected when
// opacity/255 > value/32767 and then becomes (s * srcA + d * (255 - srcA)) / 255.
void combine_dissolve_argb32(ConstPixelView src, PixelView dst, uint8_t opacity, DissolveGenerator& gen);

}  // namespace zx::raster::kernels
