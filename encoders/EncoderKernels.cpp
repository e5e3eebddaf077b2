// Zentarix — MIT licence.
// Pixel kernels of the shared encoding steps.
#include "EncoderKernels.h"

#include <cstring>

namespace zx::encoding {

void flatten_over_background_argb32(PixelView pixels, uint32_t background) {
  const unsigned bb = background & 0xFFu, bg = (background >> 8) & 0xFFu, br = (background >> 16) & 0xFFu;
  for (int y = 0; y < pixels.height; ++y) {
    uint8_t* p = pixels.row(y);
    for (int x = 0; x < pixels.width; ++x, p += 4) {
      const unsigned a = p[3];
      if (a > 1) {
        const unsigned keep = 255 - a;
        p[0] = static_cast<uint8_t>((keep * bb + p[0] * a) / 255);
        p[1] = static_cast<uint8_t>((keep * bg + p[1] * a) / 255);
        p[2] = static_cast<uint8_t>((keep * br + p[2] * a) / 255);
        p[3] = 255;
      } else {
        p[0] = static_cast<uint8_t>(bb);
        p[1] = static_cast<uint8_t>(bg);
        p[2] = static_cast<uint8_t>(br);
        p[3] = 0;
      }
    }
  }
}

void copy_rows_argb32(const uint8_t* rows, PixelView dst) {
  const size_t row_bytes = static_cast<size_t>(dst.width) * 4;
  for (int y = 0; y < dst.height; ++y) std::memcpy(dst.row(y), rows + y * row_bytes, row_bytes);
}

void premultiply_swf_argb32(ConstPixelView src, uint8_t* dst) {
  constexpr float k = 0.003921569f;
  for (int y = 0; y < src.height; ++y) {
    const uint8_t* p = src.row(y);
    for (int x = 0; x < src.width; ++x, p += 4, dst += 4) {
      const float alpha = float(p[3]) * k;
      dst[0] = p[3];
      dst[1] = uint8_t(float(p[2]) * alpha);
      dst[2] = uint8_t(float(p[1]) * alpha);
      dst[3] = uint8_t(float(p[0]) * alpha);
    }
  }
}

void take_ink_argb32(ConstPixelView grey, PixelView cmyk, int ink) {
  for (int y = 0; y < grey.height; ++y) {
    const uint8_t* g = grey.row(y);
    uint8_t* c = cmyk.row(y) + ink;
    for (int x = 0; x < grey.width; ++x) c[x * 4] = uint8_t(~g[x * 4]);
  }
}

}  // namespace zx::encoding
