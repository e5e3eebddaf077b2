// Zentarix GDI+ layer — MIT licence.
// The composition kernel of vector drawing: a brush through an 8-bit coverage mask onto a target.
#pragma once
#include <cstdint>

#include "graphics.h"

namespace zx::gdip {

// One tile of coverage: the mask (0 = untouched, 255 = fully covered) and either a premultiplied
// B, G, R, A layer holding the brush or, without a layer, one straight ARGB colour.
struct CoverageSource {
  const uint8_t* mask;
  int mask_stride;
  const uint8_t* layer;
  int layer_stride;
  uint32_t solid;
  int width, height;
};

// Composes the tile onto target at (x0, y0) (the tile lies inside the target). A pixel of coverage
// c takes the brush sample with its alpha scaled by c / 255 under SourceOver; under SourceCopy it
// takes the sample itself where c is 255 and the premultiplied blend of sample and pixel by c
// elsewhere. An active raster operation replaces both: a pixel covered at least half takes the
// operation's opaque result, where the brush sample is not transparent. Pixels of coverage 0 are not
// read or written. Runs under the fault guard: not noexcept.
void compose_coverage(const resample::TargetView& target, int x0, int y0, const CoverageSource& source,
                      resample::Compose mode, const RasterOp& rop);

}  // namespace zx::gdip
