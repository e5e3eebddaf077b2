// Zentarix — MIT licence.
// Small pixel kernels of the transforms: the frame's copy, Transparentize, and flips by quarter turns.
#include "PixelKernels.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zx::transforms::kernels {

void copy_argb32(ConstPixelView src, PixelView dst) {
  for (int y = 0; y < src.height; ++y) std::memcpy(dst.row_bytes(y), src.row_bytes(y), size_t(src.width) * 4);
}

void transparentize_argb32(uint32_t colour, uint8_t threshold, ConstPixelView src, PixelView dst) {
  const int tb = colour & 0xFF, tg = (colour >> 8) & 0xFF, tr = (colour >> 16) & 0xFF;
  for (int y = 0; y < src.height; ++y) {
    const uint8_t* s = src.row_bytes(y);
    uint8_t* d = dst.row_bytes(y);
    std::memcpy(d, s, size_t(src.width) * 4);
    for (int x = 0; x < src.width; ++x, s += 4, d += 4) {
      const int distance = (std::abs(s[0] - tb) + std::abs(s[1] - tg) + std::abs(s[2] - tr)) / 3;
      if (distance < threshold) d[3] = static_cast<uint8_t>(static_cast<double>(distance) / threshold * 255.0);
    }
  }
}

void flip_rotate_argb32(int type, ConstPixelView src, PixelView dst) {
  const int W = src.width, H = src.height, nw = dst.width, nh = dst.height;
  // Source pixel of output (x, y) is (ax*x + bx*y + cx, ay*x + by*y + cy).
  int ax = 0, bx = 0, cx = 0, ay = 0, by = 0, cy = 0;
  switch (type & 3) {
    case 0: ax = 1, by = 1; break;                    // (x, y)
    case 1: bx = 1, ay = -1, cy = H - 1; break;       // (y, H-1-x)
    case 2: ax = -1, cx = W - 1, by = -1, cy = H - 1; break;
    default: bx = -1, cx = W - 1, ay = 1; break;      // (W-1-y, x)
  }
  if (type >= 4) {  // x -> nw-1-x before the turn
    cx += ax * (nw - 1), cy += ay * (nw - 1);
    ax = -ax, ay = -ay;
  }
  const ptrdiff_t step = ptrdiff_t(ax) * 4 + ay * src.stride;
  constexpr int kTile = 32;
  for (int ty = 0; ty < nh; ty += kTile)
    for (int tx = 0; tx < nw; tx += kTile) {
      const int xe = std::min(nw, tx + kTile), ye = std::min(nh, ty + kTile);
      for (int y = ty; y < ye; ++y) {
        const uint8_t* s = src.row_bytes(ay * tx + by * y + cy) + ptrdiff_t(ax * tx + bx * y + cx) * 4;
        auto* d = dst.row(y) + tx;
        for (int x = tx; x < xe; ++x, s += step) std::memcpy(d++, s, 4);
      }
    }
}

}  // namespace zx::transforms::kernels
