// Zentarix — MIT licence.
// Views of 32 bpp pixel rows (B, G, R, A bytes per pixel) that the raster kernels work on.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zx::raster::kernels {

// Rows of width pixels, stride bytes apart (the stride may exceed width * 4; it is never negative
// here). A view never owns its memory.
struct PixelView {
  uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t stride = 0;

  uint8_t* row_bytes(int y) const { return data + static_cast<ptrdiff_t>(y) * stride; }
  uint32_t* row(int y) const { return reinterpret_cast<uint32_t*>(row_bytes(y)); }
};

struct ConstPixelView {
  const uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t stride = 0;

  ConstPixelView() = default;
  ConstPixelView(const uint8_t* d, int w, int h, ptrdiff_t s) : data(d), width(w), height(h), stride(s) {}
  ConstPixelView(const PixelView& v) : data(v.data), width(v.width), height(v.height), stride(v.stride) {}  // NOLINT

  const uint8_t* row_bytes(int y) const { return data + static_cast<ptrdiff_t>(y) * stride; }
  const uint32_t* row(int y) const { return reinterpret_cast<const uint32_t*>(row_bytes(y)); }
};

// Colour value channels (ARGB in a 32-bit value, B G R A in memory on this little-endian platform).
constexpr uint32_t alpha_of(uint32_t c) { return c >> 24; }
constexpr uint32_t red_of(uint32_t c) { return (c >> 16) & 0xFF; }
constexpr uint32_t green_of(uint32_t c) { return (c >> 8) & 0xFF; }
constexpr uint32_t blue_of(uint32_t c) { return c & 0xFF; }

}  // namespace zx::raster::kernels
