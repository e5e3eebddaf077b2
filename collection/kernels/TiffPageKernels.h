// Zentarix — MIT licence.
// Pixels of a TIFF page as libtiff's RGBA reader delivers them, turned into the 32 bpp ARGB layout.
#pragma once
#include "kernels/PixelView.h"

namespace zx::collection::kernels {

// In place: each pixel arrives as the bytes R, G, B, A with its colour premultiplied by its alpha
// (libtiff's RGBA reader premultiplies straight alpha, and associated alpha already is so). It
// leaves as B, G, R, A with straight alpha: c = min(255, (c * 255 + a / 2) / a) for a > 0, and
// all channels 0 for a = 0. Opaque pixels keep their colour exactly.
void straighten_rgba_to_argb32(raster::kernels::PixelView image);

}  // namespace zx::collection::kernels
