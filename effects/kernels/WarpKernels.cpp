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
constexpr uint32_t kOne = 1u << kFractionBits;
constexpr int kWeightBits = 2 * kFractionBits;

// a + (b - a) * w / 128 on every channel, two channels per multiplication; exact at w = 0.
uint32_t lerp_pixel(uint32_t a, uint32_t b, uint32_t w) {
  const uint32_t keep = kOne - w;
  const uint32_t rb = (((a & 0x00FF00FFu) * keep + (b & 0x00FF00FFu) * w + 0x00400040u) >> kFractionBits) & 0x00FF00FFu;
  const uint32_t ag =
      ((((a >> 8) & 0x00FF00FFu) * keep + ((b >> 8) & 0x00FF00FFu) * w + 0x00400040u) >> kFractionBits) & 0x00FF00FFu;
  return rb | ag << 8;
}

// The four taps (top left, top right, bottom left, bottom right) weighted by wx, wy in 1/128:
// opaque ones interpolated directly, others weighted by alpha so that transparent pixels lend no
// colour.
uint32_t blend_taps(const uint32_t tap[4], uint32_t wx, uint32_t wy) {
  if ((tap[0] & tap[1] & tap[2] & tap[3]) >= 0xFF000000u)
    return lerp_pixel(lerp_pixel(tap[0], tap[1], wx), lerp_pixel(tap[2], tap[3], wx), wy);
  const uint32_t weight[4] = {(kOne - wx) * (kOne - wy), wx * (kOne - wy), (kOne - wx) * wy, wx * wy};
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

// A position split into its whole pixel and its fraction in 1/128 (a fraction that rounds up to a
// whole pixel moves to the next). Far positions are held within reach of the image so the casts
// stay defined; there every tap is outside anyway.
struct Split {
  int whole;
  uint32_t fraction;
};
Split split(double v, int size) {
  const double limit = double(size) + 2, held = std::clamp(v, -limit, limit);
  int whole = int(held);
  whole -= held < whole;  // floor, without a library call per pixel
  const uint32_t w = uint32_t((held - whole) * kOne + 0.5);
  return w == kOne ? Split{whole + 1, 0} : Split{whole, w};
}

// Bilinear sampling from the top-left tap (x, y); taps outside the image are the background, or
// with none the nearest edge pixel.
class Sampler {
 public:
  Sampler(ConstPixelView src, std::optional<uint32_t> background) : m_src(src), m_background(background) {}
  uint32_t at(int x, int y, uint32_t wx, uint32_t wy) const {
    uint32_t tap[4];
    if (x >= 0 && y >= 0 && x + 1 < m_src.width && y + 1 < m_src.height) {
      const uint32_t *top = m_src.row(y) + x, *bottom = m_src.row(y + 1) + x;
      tap[0] = top[0], tap[1] = top[1], tap[2] = bottom[0], tap[3] = bottom[1];
    } else {
      for (int i = 0; i < 4; ++i) tap[i] = edge(x + (i & 1), y + (i >> 1));
    }
    return blend_taps(tap, wx, wy);
  }

 private:
  uint32_t edge(int x, int y) const {
    if (x >= 0 && y >= 0 && x < m_src.width && y < m_src.height) return m_src.row(y)[x];
    if (m_background) return *m_background;
    return m_src.row(std::clamp(y, 0, m_src.height - 1))[std::clamp(x, 0, m_src.width - 1)];
  }
  ConstPixelView m_src;
  std::optional<uint32_t> m_background;
};

// The most steps of 1/4096 turn a swirl may ask for: 2^20 turns.
constexpr int kMaxSteps = 1 << 30;

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

// The source offsets of each row (horizontal) or column (vertical): minus the wave's shift, split.
std::vector<Split> offsets(int count, double amplitude, double wavelength, double phaseDegrees, int size) {
  std::vector<Split> out(static_cast<size_t>(count), Split{0, 0});
  if (wavelength == 0 || amplitude == 0) return out;
  const double phase = phaseDegrees * std::numbers::pi / 180;
  for (int i = 0; i < count; ++i)
    out[i] = split(-amplitude * std::sin(2 * std::numbers::pi * i / wavelength + phase), size);
  return out;
}

}  // namespace

uint32_t sample_bilinear(ConstPixelView src, double x, double y, std::optional<uint32_t> background) {
  const Split sx = split(x, src.width), sy = split(y, src.height);
  return Sampler(src, background).at(sx.whole, sy.whole, sx.fraction, sy.fraction);
}

void sinusize_argb32(const SineWaves& waves, std::optional<uint32_t> background, ConstPixelView src, PixelView dst) {
  // A row's sideways shift is one number for the whole row, a column's vertical one for the whole
  // column: both are split once, and each pixel only adds them to its own position.
  const std::vector<Split> across =
      offsets(src.height, waves.horizontal_amplitude, waves.horizontal_wavelength, waves.horizontal_phase, src.width);
  const std::vector<Split> down =
      offsets(src.width, waves.vertical_amplitude, waves.vertical_wavelength, waves.vertical_phase, src.height);
  const Sampler sampler(src, background);
  for (int y = 0; y < src.height; ++y) {
    uint32_t* d = dst.row(y);
    const Split h = across[y];
    for (int x = 0; x < src.width; ++x) d[x] = sampler.at(x + h.whole, y + down[x].whole, h.fraction, down[x].fraction);
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
  const double rx = src.width / 2.0, ry = src.height / 2.0, perRx = 1 / rx;
  // Turns are taken modulo 2^20: beyond that many whole turns the position within one turn is
  // below the precision of a double anyway.
  const double turns = std::fmod(degrees / 360.0, 1 << 20);
  const Sampler sampler(src, std::nullopt);
  // Tiles of 64 x 64: near the centre the sources of one output row lie along a turned line
  // across many rows, so a tile keeps the rows it reads in the cache while it is written.
  constexpr int kTile = 64;
  for (int top = 0; top < src.height; top += kTile)
    for (int left = 0; left < src.width; left += kTile)
      for (int y = top; y < std::min(top + kTile, src.height); ++y) {
        const uint32_t* s = src.row(y);
        uint32_t* d = dst.row(y);
        const double v = (y - cy) / ry;
        for (int x = left; x < std::min(left + kTile, src.width); ++x) {
          const double u = (x - cx) * perRx, r2 = u * u + v * v;
          if (r2 >= 1) {  // outside the ellipse nothing moves
            d[x] = s[x];
            continue;
          }
          const double rest = 1 - std::sqrt(r2);
          // The turn in 4096ths, reduced to one turn, then cosine and sine interpolated linearly.
          const Split step = split(turns * rest * rest * 4096, kMaxSteps);
          const int i = step.whole & 4095;
          const double f = step.fraction * (1.0 / kOne);
          const double c = table.cosine[i] + (table.cosine[i + 1] - table.cosine[i]) * f;
          const double sn = table.sine[i] + (table.sine[i + 1] - table.sine[i]) * f;
          // Counter-clockwise on screen (y grows downwards): the source lies clockwise of the target.
          const Split sx = split(cx + (u * c - v * sn) * rx, src.width),
                      sy = split(cy + (u * sn + v * c) * ry, src.height);
          d[x] = sampler.at(sx.whole, sy.whole, sx.fraction, sy.fraction);
        }
      }
}

}  // namespace zx::effects::kernels
