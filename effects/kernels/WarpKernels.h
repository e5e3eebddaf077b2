// Zentarix — MIT licence.
// Effects that move pixels: sine displacement (Sinusize, Waddle) and the swirl, on one bilinear sampler.
#pragma once
#include <optional>

#include "EffectPixels.h"

namespace zx::effects::kernels {

// The colour at (x, y) between pixel centres (which lie at whole numbers), from the four nearest
// pixels weighted by distance in 1/128 steps: opaque ones interpolated channel by channel, others
// weighted by alpha too, so that transparent pixels lend no colour. Positions outside the image take the background for
// the missing pixels, or with none the nearest edge pixel. At whole-number positions the pixel comes back exactly
// (alpha 0: 0).
uint32_t sample_bilinear(ConstPixelView src, double x, double y, std::optional<uint32_t> background);

struct SineWaves {
  double horizontal_amplitude = 0, horizontal_wavelength = 0, horizontal_phase = 0;  // degrees
  double vertical_amplitude = 0, vertical_wavelength = 0, vertical_phase = 0;
};

// Each row moves sideways by h(y) = A sin(2 pi y / L + phase) and each column up or down by
// v(x) likewise: dst(x, y) = src(x - h(y), y - v(x)). A wavelength of 0 moves nothing on its axis.
// Uncovered places take the background, or with none the nearest edge pixel.
void sinusize_argb32(const SineWaves& waves, std::optional<uint32_t> background, ConstPixelView src, PixelView dst);

// Waddle: rows sway sideways by a 1/80 of the shorter side over a wavelength of a sixth of it,
// columns bob half as much; edges repeat.
void waddle_argb32(ConstPixelView src, PixelView dst);

// Positions inside the ellipse that fills the image turn about the centre by degrees * (1 - r)^2,
// r being the distance from the centre in ellipse radii: most at the centre, nothing at the rim.
// Positive degrees turn counter-clockwise. Outside the ellipse nothing moves.
void swirl_argb32(double degrees, ConstPixelView src, PixelView dst);

}  // namespace zx::effects::kernels
