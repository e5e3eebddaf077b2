// Zentarix — MIT licence.
// Added noise from a quantile table, spray by random offsets, and the canvas relief of Texturize.
#include "NoiseKernels.h"

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "RowLoops.h"

namespace zx::effects::kernels {
namespace {

constexpr int kQuantileBits = 12;
constexpr int kQuantiles = 1 << kQuantileBits;

// The standard normal distribution's quantiles at (i + 1/2) / 4096: indexed by 12 random bits
// they give normally distributed values without a logarithm or square root per sample.
const std::array<float, kQuantiles>& normal_quantiles() {
  static const std::array<float, kQuantiles> table = [] {
    std::array<float, kQuantiles> q{};
    for (int i = 0; i < kQuantiles; ++i) {
      const double p = (i + 0.5) / kQuantiles;
      double lo = -8, hi = 8;
      for (int step = 0; step < 48; ++step) {
        const double mid = (lo + hi) / 2;
        (0.5 * std::erfc(-mid / std::numbers::sqrt2) < p ? lo : hi) = mid;
      }
      q[i] = static_cast<float>((lo + hi) / 2);
    }
    return q;
  }();
  return table;
}

uint32_t add_clamped(uint32_t p, int b, int g, int r) {
  return (p & 0xFF000000u) | uint32_t(clamp_channel(int(red_of(p)) + r)) << 16 |
         uint32_t(clamp_channel(int(green_of(p)) + g)) << 8 | uint32_t(clamp_channel(int(blue_of(p)) + b));
}

// ---- the canvas texture ---------------------------------------------------------------------------

constexpr int kTile = 256;

// A lattice value in [0, 1) for the cell (i, j) of a lattice of `cells` cells per tile side.
double lattice(int i, int j, int cells, uint32_t salt) {
  uint32_t h = uint32_t((i % cells + cells) % cells) * 0x8DA6B343u ^
               uint32_t((j % cells + cells) % cells) * 0xD8163841u ^ salt * 0xCB1AB31Fu;
  h ^= h >> 13;
  h *= 0x5BD1E995u;
  h ^= h >> 15;
  return (h & 0xFFFFFF) / double(1 << 24);
}

// Smoothly interpolated lattice noise, periodic over the tile.
double value_noise(double x, double y, int cell, uint32_t salt) {
  const int cells = kTile / cell;
  const double fx = x / cell, fy = y / cell;
  const int i = int(std::floor(fx)), j = int(std::floor(fy));
  const double u = fx - i, v = fy - j;
  const double su = u * u * (3 - 2 * u), sv = v * v * (3 - 2 * v);
  const double top = lattice(i, j, cells, salt) + (lattice(i + 1, j, cells, salt) - lattice(i, j, cells, salt)) * su;
  const double bottom =
      lattice(i, j + 1, cells, salt) + (lattice(i + 1, j + 1, cells, salt) - lattice(i, j + 1, cells, salt)) * su;
  return top + (bottom - top) * sv;
}

// The canvas: a weave of threads every 8 pixels each way, roughened by noise at two scales.
double canvas(double x, double y) {
  const double weave = 0.25 * (std::sin(2 * std::numbers::pi * x / 8) + std::sin(2 * std::numbers::pi * y / 8));
  return 0.5 * weave + 0.3 * value_noise(x, y, 16, 1) + 0.2 * value_noise(x, y, 4, 2);
}

}  // namespace

void add_noise_argb32(int32_t amount, bool monochrome, ConstPixelView src, PixelView dst) {
  const auto& quantiles = normal_quantiles();
  const double sigma = amount * 0.64;
  std::vector<int16_t> noise(kQuantiles);
  for (int i = 0; i < kQuantiles; ++i) noise[i] = static_cast<int16_t>(std::lround(quantiles[i] * sigma));
  Random random(image_seed(src));
  constexpr uint64_t kMask = kQuantiles - 1;
  for (int y = 0; y < src.height; ++y) {
    const uint32_t* s = src.row(y);
    uint32_t* d = dst.row(y);
    for (int x = 0; x < src.width; ++x) {
      const uint64_t r = random.next();
      const int b = noise[r & kMask];
      d[x] = monochrome
                 ? add_clamped(s[x], b, b, b)
                 : add_clamped(s[x], b, noise[(r >> kQuantileBits) & kMask], noise[(r >> 2 * kQuantileBits) & kMask]);
    }
  }
}

void spray_argb32(int32_t amount, int32_t frameWidth, uint32_t background, ConstPixelView src, PixelView dst) {
  const uint32_t span = uint32_t(2 * amount + 1);
  Random random(image_seed(src));
  for (int y = 0; y < src.height; ++y) {
    uint32_t* d = dst.row(y);
    const int rowBorder = std::min(y, src.height - 1 - y);
    for (int x = 0; x < src.width; ++x) {
      const uint64_t r = random.next();
      const int border = std::min({x, src.width - 1 - x, rowBorder});
      // Background with probability 1 - border / frameWidth, compared in 16-bit steps.
      if (border < frameWidth && int64_t((r >> 32) & 0xFFFF) * frameWidth < int64_t(frameWidth - border) << 16) {
        d[x] = background;
        continue;
      }
      const int sx = std::clamp(x + int(Random::below(uint32_t(r & 0xFFFF), span)) - amount, 0, src.width - 1);
      const int sy = std::clamp(y + int(Random::below(uint32_t((r >> 16) & 0xFFFF), span)) - amount, 0, src.height - 1);
      d[x] = src.row(sy)[sx];
    }
  }
}

void texturize_argb32(int32_t amount, float shift, ConstPixelView src, PixelView dst) {
  // The relief of the canvas, in colour steps, for one tile.
  std::vector<int16_t> relief(kTile * kTile);
  const double half = shift / 2.0, gain = amount / 100.0 * 160.0;
  for (int ty = 0; ty < kTile; ++ty)
    for (int tx = 0; tx < kTile; ++tx)
      relief[ty * kTile + tx] =
          static_cast<int16_t>(std::lround(gain * (canvas(tx - half, ty - half) - canvas(tx + half, ty + half))));
  for (int y = 0; y < src.height; ++y) {
    const int16_t* r = relief.data() + (y % kTile) * kTile;
    for (int x = 0; x < src.width; x += kTile)
      loops::add_offsets(src.row(y) + x, r, std::min(kTile, src.width - x), dst.row(y) + x);
  }
}

}  // namespace zx::effects::kernels
