// Zentarix — MIT licence.
// The bilinear sampler, sine displacement and the swirl.
#include "WarpKernels.h"

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace zx::effects::kernels {
namespace {

constexpr int kFractionBits = 7;
constexpr int kOne = 1 << kFractionBits;
constexpr int kWeightBits = 2 * kFractionBits;

// The colour of the weighted taps: opaque ones averaged directly, others weighted by alpha.
uint32_t blend_taps(const uint32_t tap[4], const uint32_t weight[4]) {
  if ((tap[0] & tap[1] & tap[2] & tap[3]) >> 24 == 0xFF) {
    uint32_t b = 0, g = 0, r = 0;
    for (int i = 0; i < 4; ++i) {
      b += weight[i] * blue_of(tap[i]);
      g += weight[i] * green_of(tap[i]);
      r += weight[i] * red_of(tap[i]);
    }
    constexpr uint32_t kHalf = 1u << (kWeightBits - 1);
    return argb(255, (r + kHalf) >> kWeightBits, (g + kHalf) >> kWeightBits, (b + kHalf) >> kWeightBits);
  }
  uint32_t a = 0, b = 0, g = 0, r = 0;
  for (int i = 0; i < 4; ++i) {
    const uint32_t wa = weight[i] * alpha_of(tap[i]);
    a += wa;
    b += wa * blue_of(tap[i]);
    g += wa * green_of(tap[i]);
    r += wa * red_of(tap[i]);
  }
  if (!a) return 0;
  return argb((a + (1u << (kWeightBits - 1))) >> kWeightBits, (r + a / 2) / a, (g + a / 2) / a, (b + a / 2) / a);
}

// A turn's cosines and sines at 4096 steps (one extra to interpolate past the last).
struct TurnTable {
  std::array<float, 4097> cosine, sine;
  TurnTable() {
    for (int i = 0; i <= 4096; ++i) {
      cosine[i] = float(std::cos(2 * std::numbers::pi * i / 4096));
      sine[i] = float(std::sin(2 * std::numbers::pi * i / 4096));
    }
  }
};

// Each axis's shift, one value per row (horizontal) or per column (vertical).
std::vector<double> shifts(int count, double amplitude, double wavelength, double phaseDegrees) {
  std::vector<double> out(static_cast<size_t>(count), 0.0);
  if (wavelength == 0 || amplitude == 0) return out;
  const double phase = phaseDegrees * std::numbers::pi / 180;
  for (int i = 0; i < count; ++i) out[i] = amplitude * std::sin(2 * std::numbers::pi * i / wavelength + phase);
  return out;
}

}  // namespace

uint32_t sample_bilinear(ConstPixelView src, double x, double y, std::optional<uint32_t> background) {
  const double fx = std::floor(x), fy = std::floor(y);
  const uint32_t wx = uint32_t(std::lround((x - fx) * kOne)), wy = uint32_t(std::lround((y - fy) * kOne));
  // Far outside, every tap is the background (and the casts below stay defined).
  const double limit = double(std::max(src.width, src.height)) + 2;
  int x0 = int(std::clamp(fx, -limit, limit)), y0 = int(std::clamp(fy, -limit, limit));
  uint32_t tap[4];
  for (int i = 0; i < 4; ++i) {
    int tx = x0 + (i & 1), ty = y0 + (i >> 1);
    if (tx < 0 || ty < 0 || tx >= src.width || ty >= src.height) {
      if (background) {
        tap[i] = *background;
        continue;
      }
      tx = std::clamp(tx, 0, src.width - 1);
      ty = std::clamp(ty, 0, src.height - 1);
    }
    tap[i] = src.row(ty)[tx];
  }
  const uint32_t weight[4] = {(kOne - wx) * (kOne - wy), wx * (kOne - wy), (kOne - wx) * wy, wx * wy};
  return blend_taps(tap, weight);
}

void sinusize_argb32(const SineWaves& waves, std::optional<uint32_t> background, ConstPixelView src, PixelView dst) {
  const std::vector<double> sideways =
      shifts(src.height, waves.horizontal_amplitude, waves.horizontal_wavelength, waves.horizontal_phase);
  const std::vector<double> upwards =
      shifts(src.width, waves.vertical_amplitude, waves.vertical_wavelength, waves.vertical_phase);
  for (int y = 0; y < src.height; ++y) {
    uint32_t* d = dst.row(y);
    for (int x = 0; x < src.width; ++x) d[x] = sample_bilinear(src, x - sideways[y], y - upwards[x], background);
  }
}

void waddle_argb32(ConstPixelView src, PixelView dst) {
  const double side = std::min(src.width, src.height);
  const double amplitude = std::max(1.0, side / 80), wavelength = std::max(16.0, side / 6);
  SineWaves waves;
  waves.horizontal_amplitude = amplitude;
  waves.horizontal_wavelength = wavelength;
  waves.vertical_amplitude = amplitude / 2;
  waves.vertical_wavelength = wavelength;
  waves.vertical_phase = 90;
  sinusize_argb32(waves, std::nullopt, src, dst);
}

void swirl_argb32(double degrees, ConstPixelView src, PixelView dst) {
  static const TurnTable table;
  const double cx = (src.width - 1) / 2.0, cy = (src.height - 1) / 2.0;
  const double rx = src.width / 2.0, ry = src.height / 2.0;
  const double turns = degrees / 360.0;
  for (int y = 0; y < src.height; ++y) {
    const uint32_t* s = src.row(y);
    uint32_t* d = dst.row(y);
    const double v = (y - cy) / ry;
    for (int x = 0; x < src.width; ++x) {
      const double u = (x - cx) / rx, r2 = u * u + v * v;
      if (r2 >= 1) {
        d[x] = s[x];
        continue;
      }
      const double rest = 1 - std::sqrt(r2);
      // The turn in 4096ths, reduced to one turn, then cosine and sine interpolated linearly.
      double steps = turns * rest * rest * 4096;
      steps -= 4096 * std::floor(steps / 4096);
      const int i = std::min(int(steps), 4095);
      const float f = float(steps - i);
      const double c = table.cosine[i] + (table.cosine[i + 1] - table.cosine[i]) * f;
      const double sn = table.sine[i] + (table.sine[i + 1] - table.sine[i]) * f;
      // Counter-clockwise on screen (y grows downwards): the source lies clockwise of the target.
      const double su = u * c - v * sn, sv = u * sn + v * c;
      d[x] = sample_bilinear(src, cx + su * rx, cy + sv * ry, std::nullopt);
    }
  }
}

}  // namespace zx::effects::kernels
