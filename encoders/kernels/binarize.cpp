// Zentarix — MIT licence.
// 32 bpp ARGB to 1 bpp: threshold, ordered and Floyd-Steinberg error diffusion.
#include <algorithm>
#include <cstring>
#include <new>

#include "colour_reduction.h"

namespace zx::encoding {

const uint8_t kOrderedMatrix[16] = {0, 128, 32, 160, 192, 64, 224, 96, 48, 176, 16, 144, 240, 112, 208, 80};

uint8_t luminance(uint8_t r, uint8_t g, uint8_t b) {
  // Evaluated left to right in double on purpose: the truncation of sums like 127.99999999999999
  // is part of the observable result.
  double l = 0.299 * double(r) + 0.587 * double(g) + 0.114 * double(b);
  l = std::clamp(l, 0.0, 255.0);
  return static_cast<uint8_t>(static_cast<int>(l));
}

size_t bilevel_row_bytes(int width, int alignBits) {
  if (width <= 0 || alignBits <= 0) return 0;
  const size_t bits = (size_t(width) + size_t(alignBits) - 1) / size_t(alignBits) * size_t(alignBits);
  return bits / 8;
}

namespace {

inline void put_white(uint8_t* row, int x, bool inverted) {
  const uint8_t mask = uint8_t(0x80u >> (x & 7));
  if (inverted)
    row[x >> 3] &= uint8_t(~mask);
  else
    row[x >> 3] |= mask;
}

inline uint8_t pixel_luminance(const uint8_t* p) { return luminance(p[2], p[1], p[0]); }

}  // namespace

ReduceStatus binarize_argb32(ConstPixelView src, PixelView dst, int threshold, DitherMode mode, bool inverted) {
  if (src.width != dst.width || src.height != dst.height || src.width < 0 || src.height < 0)
    return ReduceStatus::InvalidParameter;
  const size_t minRow = (size_t(dst.width) + 7) / 8;
  const size_t rowBytes = size_t(dst.stride < 0 ? -dst.stride : dst.stride);
  if (dst.height > 0 && rowBytes < minRow) return ReduceStatus::InvalidParameter;
  if (mode != DitherMode::Threshold && mode != DitherMode::Ordered && mode != DitherMode::ErrorDiffusion)
    return ReduceStatus::InvalidParameter;

  std::vector<int> current, next;
  if (mode == DitherMode::ErrorDiffusion) {
    try {
      current.assign(size_t(src.width) + 1, 0);
      next.assign(size_t(src.width) + 1, 0);
    } catch (const std::bad_alloc&) {
      return ReduceStatus::OutOfMemory;
    }
  }

  const uint8_t fill = inverted ? 0xFF : 0x00;
  for (int y = 0; y < dst.height; ++y) std::memset(dst.row(y), fill, rowBytes);

  const int w = src.width;
  for (int y = 0; y < src.height; ++y) {
    const uint8_t* s = src.row(y);
    uint8_t* d = dst.row(y);
    switch (mode) {
      case DitherMode::Threshold:
        for (int x = 0; x < w; ++x)
          if (pixel_luminance(s + 4 * x) >= threshold) put_white(d, x, inverted);
        break;
      case DitherMode::Ordered:
        for (int x = 0; x < w; ++x)
          if (pixel_luminance(s + 4 * x) >= ordered_value(x, y)) put_white(d, x, inverted);
        break;
      case DitherMode::ErrorDiffusion:
        for (int x = 0; x < w; ++x) {
          const int v = std::clamp(int(pixel_luminance(s + 4 * x)) + current[size_t(x)], 0, 255);
          const bool white = v >= threshold;
          if (white) put_white(d, x, inverted);
          const int e = v - (white ? 255 : 0);
          next[size_t(x)] += (5 * e) / 16;
          if (x > 0) next[size_t(x) - 1] += (3 * e) / 16;
          if (x + 1 < w) {
            current[size_t(x) + 1] += (7 * e) / 16;
            next[size_t(x) + 1] += e / 16;
          }
        }
        current.swap(next);
        std::fill(next.begin(), next.end(), 0);
        break;
    }
  }
  return ReduceStatus::Ok;
}

}  // namespace zx::encoding
