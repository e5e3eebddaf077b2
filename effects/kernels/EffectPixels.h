// Zentarix — MIT licence.
// What the effect kernels share: pixel views, channel packing, luma, a small random generator.
#pragma once
#include <algorithm>
#include <cstdint>

#include "kernels/PixelView.h"

namespace zx::effects::kernels {

using raster::kernels::alpha_of;
using raster::kernels::blue_of;
using raster::kernels::ConstPixelView;
using raster::kernels::green_of;
using raster::kernels::PixelView;
using raster::kernels::red_of;

constexpr uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

inline int clamp_channel(int v) { return std::clamp(v, 0, 255); }

// The luma of Rec. 601 in 16-bit fixed point (weights 0.299, 0.587, 0.114 summing to exactly 1),
// rounded: white stays 255 and a grey stays itself.
constexpr uint32_t luma(uint32_t c) {
  return (19595 * red_of(c) + 38470 * green_of(c) + 7471 * blue_of(c) + 32768) >> 16;
}

// splitmix64: a fast generator with good statistics, seeded per image so that a result depends only
// on the image and the settings, and two applications to one image differ only when the image does.
class Random {
 public:
  explicit Random(uint64_t seed) : m_state(seed) {}
  uint64_t next() {
    uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // A whole number in [0, n) from 16 random bits (multiply and shift, no division).
  static uint32_t below(uint32_t bits16, uint32_t n) { return (bits16 * n) >> 16; }

 private:
  uint64_t m_state;
};

// A seed made of the image's size and a sparse sample of its pixels (at most 4096 of them).
uint64_t image_seed(ConstPixelView src);

}  // namespace zx::effects::kernels
