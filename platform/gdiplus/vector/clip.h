// Zentarix GDI+ layer — MIT licence.
// Clip regions: sets of device pixels built from rectangles and paths, combined as GDI+ combines them.
//
// A region is pixel-exact: pixel (i, j) belongs to a shape when its centre (i + 0.5, j + 0.5) lies
// inside it, so a rectangle from (l, t) to (r, b) holds the pixels l..r-1 and t..b-1 whatever the
// graphics' pixel offset mode, and clip edges are never antialiased. Regions are only ever built
// inside a bounding rectangle (the surface), so a huge shape costs no more than the surface.
#pragma once
#include <cairo.h>

#include <memory>

#include "vector_data.h"

namespace zx::gdip {

struct ClipRegion {
  explicit ClipRegion(cairo_region_t* r) : region(r) {}
  ~ClipRegion() { cairo_region_destroy(region); }
  ClipRegion(const ClipRegion&) = delete;
  ClipRegion& operator=(const ClipRegion&) = delete;
  cairo_region_t* region;
};
using ClipPtr = std::shared_ptr<const ClipRegion>;

// The pixels a graphics draws on, as a rectangle at the origin.
Gdiplus::Rect surface_bounds(const GraphicsData& graphics);

ClipPtr clip_from_rects(const Gdiplus::Rect* rects, size_t count);
// The path's points mapped by `map` into device coordinates, filled by its rule, within `limit`.
ClipPtr clip_from_path(const PathData& path, const resample::Affine& map, const Gdiplus::Rect& limit);
// current (null: every pixel) combined with operand (null: every pixel): Replace gives operand,
// Intersect, Union, Xor as named, Exclude current minus operand, Complement operand minus current.
ClipPtr combine_clip(const ClipPtr& current, const ClipPtr& operand, Gdiplus::CombineMode mode);
ClipPtr translate_clip(const ClipPtr& clip, int dx, int dy);
// The clip's bounding rectangle; false when it holds no pixel.
bool clip_extents(const ClipRegion& clip, Gdiplus::Rect* out);

// Zeroes the coverage of a tile's pixels (tile pixel (0, 0) is device pixel (x0, y0)) outside the
// clip. Runs under the fault guard: not noexcept.
void mask_to_clip(const ClipRegion& clip, uint8_t* mask, int stride, int x0, int y0, int width, int height);

}  // namespace zx::gdip
