// Zentarix — MIT licence.
// CombineBitmaps: draws one bitmap onto another in place in one of the five combine modes.
#pragma once
#include <gdiplus.h>

#include <cstdint>

#include "zentarix.h"

namespace zx::raster {

// Where and how strongly the source is drawn.
struct CombinePlacement {
  uint8_t opacity = 255;  // 255 = as opaque as the source itself
  int32_t X = 0;          // source's left edge in destination pixels; may be negative or beyond
  int32_t Y = 0;
};

// The overlap of a ws x hs source placed at (X, Y) on a wd x hd destination: the source rectangle
// (sx, sy, w, h) and the destination rectangle (dx, dy, w, h). w or h is 0 when nothing overlaps.
struct ClippedPlacement {
  int sx = 0, sy = 0, dx = 0, dy = 0, w = 0, h = 0;
};
ClippedPlacement ClipPlacement(int ws, int hs, int wd, int hd, int32_t X, int32_t Y);

// Draws source onto *destination at the placement. Ok (0) on success, nothing overlapping included;
// GenericError (1) when the source, the destination pointer or the destination bitmap is missing,
// for a mode outside CombineModes, or when a machine fault ends the pass; otherwise the status of a
// failed lock or unlock (drawing a bitmap onto itself fails on the second lock). A failure after
// the locks can leave part of the destination changed. The dissolve mode's generator is per thread
// and reseeded at every call, so the same sizes, placement and opacity select the same pixels.
Gdiplus::Status CombineBitmaps(Gdiplus::Bitmap* source, Gdiplus::Bitmap** destination,
                               const CombinePlacement& placement, CombineModes mode);

}  // namespace zx::raster
