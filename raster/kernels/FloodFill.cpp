// Zentarix — MIT licence.
// Scanline flood fill over 32 bpp ARGB pixels, with the colour distance and halftone recolouring.
#include "FloodFill.h"

#include <cmath>
#include <utility>
#include <vector>

namespace zx::raster::kernels {

uint32_t colour_distance(uint32_t p, uint32_t q) {
  // Unsigned wrap-around is intended: the square of a wrapped difference equals the square of the
  // true one modulo 2^32, and every sum here is far below 2^32.
  const uint32_t dr = red_of(p) - red_of(q);
  const uint32_t dg = green_of(p) - green_of(q);
  const uint32_t db = blue_of(p) - blue_of(q);
  const uint32_t rmean = (red_of(p) + red_of(q)) / 2;
  if (rmean <= 128) return (2 * dr * dr + 4 * dg * dg + 3 * db * db) / 9;
  return (3 * dr * dr + 4 * dg * dg + 2 * db * db) / 9;
}

uint32_t flood_fill_recolour(uint32_t pixel, uint32_t distance, const FloodFillParams& params) {
  uint32_t result = params.new_colour;
  if (params.halftones) {
    const double tol = params.tolerance;
    const double s = std::sqrt(static_cast<double>(distance));
    // Tolerance 0 makes these 0/0 (NaN: keep the pixel) or s/0 (+inf: take NewColor fully).
    const double v = params.mode == FillMode::until_colour ? (s - tol) * 255 / tol : (tol - s) * 255 / tol;
    uint32_t a = 0;
    if (v > 255) {
      a = 255;
    } else if (v >= 0) {  // false for NaN
      a = static_cast<uint32_t>(v);
    }
    result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
      const uint32_t n = (params.new_colour >> shift) & 0xFF;
      const uint32_t p = (pixel >> shift) & 0xFF;
      result |= ((n * a + p * (255 - a)) / 255) << shift;
    }
  }
  if (params.preserve_alpha) result = (result & 0x00FFFFFFu) | (pixel & 0xFF000000u);
  return result;
}

namespace {

// One remembered answer per call site: neighbouring pixels are mostly equal, so the distance and
// the recoloured value are computed once per run of equal pixels instead of once per look.
struct DistanceMemo {
  uint32_t pixel;
  uint32_t distance;
  explicit DistanceMemo(uint32_t target) : pixel(target), distance(colour_distance(target, target)) {}
  uint32_t operator()(uint32_t p, uint32_t target) {
    if (p != pixel) {
      pixel = p;
      distance = colour_distance(p, target);
    }
    return distance;
  }
};

struct RecolourMemo {
  bool valid = false;
  uint32_t pixel = 0;
  uint32_t result = 0;
  uint32_t operator()(uint32_t p, uint32_t d, const FloodFillParams& params) {
    if (!valid || p != pixel) {
      valid = true;
      pixel = p;
      result = flood_fill_recolour(p, d, params);
    }
    return result;
  }
};

}  // namespace

void flood_fill_argb32(PixelView image, const FloodFillParams& params) {
  const int width = image.width;
  const int height = image.height;
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> visited(pixels / 8 + 1, 0);
  std::vector<std::pair<int, int>> seeds;
  seeds.reserve(64);

  const uint32_t t2 = static_cast<uint32_t>(params.tolerance) * params.tolerance;
  const bool until = params.mode == FillMode::until_colour;
  auto index = [width](int x, int y) { return static_cast<size_t>(y) * static_cast<size_t>(width) + x; };
  auto is_visited = [&](size_t n) { return (visited[n >> 3] >> (n & 7)) & 1; };
  auto stops = [&](uint32_t d) { return until ? d <= t2 : d > t2; };
  DistanceMemo here(params.target_colour), above(params.target_colour), below(params.target_colour);
  RecolourMemo recolour;

  seeds.emplace_back(params.x, params.y);
  while (!seeds.empty()) {
    const auto [sx, y] = seeds.back();
    seeds.pop_back();
    const bool up = y > 0;
    const bool down = y < height - 1;
    uint32_t* row = image.row(y);
    for (const int step : {-1, +1}) {
      bool stop = false;
      bool push_up = true;
      bool push_down = true;
      for (int x = step < 0 ? sx : sx + 1; !stop && x >= 0 && x < width; x += step) {
        const size_t n = index(x, y);
        if (!is_visited(n)) {
          const uint32_t d = here(row[x], params.target_colour);
          stop = stops(d);
          if (!stop) {
            visited[n >> 3] |= static_cast<uint8_t>(1u << (n & 7));
            row[x] = recolour(row[x], d, params);
          }
        } else {
          stop = true;
        }
        // The neighbours of the column where the pass stops are examined too.
        if (up && !is_visited(n - width)) {
          if (!stops(above(image.row(y - 1)[x], params.target_colour))) {
            if (push_up) {
              seeds.emplace_back(x, y - 1);
              push_up = false;
            }
          } else {
            push_up = true;
          }
        }
        if (down && !is_visited(n + width)) {
          if (!stops(below(image.row(y + 1)[x], params.target_colour))) {
            if (push_down) {
              seeds.emplace_back(x, y + 1);
              push_down = false;
            }
          } else {
            push_down = true;
          }
        }
      }
    }
  }
}

}  // namespace zx::raster::kernels
