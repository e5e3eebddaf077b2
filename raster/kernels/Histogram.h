// Zentarix — MIT licence.
// 256-bin histograms of 32 bpp ARGB pixels: lightness, intensity and the three colour channels.
#pragma once
#include <cstdint>

#include "PixelView.h"

namespace zx::raster::kernels {

enum class HistogramKind { lightness = 0, intensity = 1, red = 2, green = 3, blue = 4 };

// The bin of one pixel (alpha ignored). Lightness is 0.59 G + 0.3 R + 0.11 B and intensity
// (R + G + B) * 0.3333333333333333, both summed in double precision in that order, clamped to 0..255
// and truncated, so a grey (k, k, k) may fall one bin below k.
int histogram_bin(HistogramKind kind, uint32_t pixel);

// Adds every pixel of the image to bins (which the caller has zeroed), row by row. Returns false,
// touching nothing, for a kind outside the enumeration.
bool histogram_argb32(ConstPixelView image, int kind, int32_t bins[256]);

}  // namespace zx::raster::kernels
