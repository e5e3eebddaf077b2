// Zentarix — MIT licence.
// Scanline flood fill over 32 bpp ARGB pixels, with the colour distance and halftone recolouring.
#pragma once
#include <cstdint>

#include "PixelView.h"

namespace zx::raster::kernels {

// Squared-distance-like measure of two colour values (alpha ignored), in unsigned 32-bit
// arithmetic with truncating divisions; compared against tolerance * tolerance.
uint32_t colour_distance(uint32_t p, uint32_t q);

enum class FillMode {
  until_colour = 0,  // fill until a pixel near TargetColor (a border) is met
  till_colour = 1,   // fill while pixels are near TargetColor
};

struct FloodFillParams {
  int x = 0, y = 0;  // seed, inside the image
  uint32_t new_colour = 0;
  uint32_t target_colour = 0;
  FillMode mode = FillMode::till_colour;
  uint8_t tolerance = 32;
  bool preserve_alpha = false;
  bool halftones = true;
};

// Recolours the area connected to the seed in place. Keeps one visited bit per pixel and a LIFO
// stack of seeds pushed once per run of fillable pixels in the rows above and below, so memory grows
// with the number of runs. Throws std::bad_alloc when that state cannot be allocated (before any
// pixel changes for the visited bits; the seed stack may run out later).
void flood_fill_argb32(PixelView image, const FloodFillParams& params);

// The colour a reached pixel gets: NewColor, or with halftones a blend whose weight falls off with
// the distance from the target (mode 1) or rises with the distance from the border (mode 0).
uint32_t flood_fill_recolour(uint32_t pixel, uint32_t distance, const FloodFillParams& params);

}  // namespace zx::raster::kernels
