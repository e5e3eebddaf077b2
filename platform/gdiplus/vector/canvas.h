// Zentarix GDI+ layer — MIT licence.
// The cairo side of vector drawing: handles held by RAII, and the tiled renderer every primitive goes
// through (coverage into an A8 mask, the brush through it, composed in straight ARGB).
#pragma once
#include <cairo.h>

#include <functional>
#include <memory>

#include "vector_data.h"

namespace zx::gdip {

struct CairoFree {
  void operator()(cairo_t* p) const noexcept { cairo_destroy(p); }
  void operator()(cairo_surface_t* p) const noexcept { cairo_surface_destroy(p); }
  void operator()(cairo_pattern_t* p) const noexcept { cairo_pattern_destroy(p); }
};
using CairoContext = std::unique_ptr<cairo_t, CairoFree>;
using CairoSurface = std::unique_ptr<cairo_surface_t, CairoFree>;
using CairoPattern = std::unique_ptr<cairo_pattern_t, CairoFree>;

inline cairo_matrix_t cairo_matrix_of(const resample::Affine& a) {
  cairo_matrix_t m;
  cairo_matrix_init(&m, a.m11, a.m12, a.m21, a.m22, a.dx, a.dy);
  return m;
}

// Device coordinates (pixel i's centre at i + centre) -> the pixel grid of a tile whose first pixel
// is device pixel (x0, y0), where cairo puts pixel centres at + 0.5.
struct TileFrame {
  int x0 = 0, y0 = 0;
  int width = 0, height = 0;
  double centre = 0;  // 0 for PixelOffsetMode None/Default/HighSpeed, 0.5 for Half/HighQuality
  resample::Affine device_to_tile() const { return {1, 0, 0, 1, 0.5 - centre - x0, 0.5 - centre - y0}; }
};

// What a primitive's painter draws into for one tile: opaque coverage on an A8 surface. The context's
// matrix is the identity (tile pixels) and its antialiasing follows the graphics' smoothing mode.
struct CoverageTile {
  cairo_t* cr;
  uint8_t* mask;  // the surface's memory, for painters that set pixels themselves (flushed before,
  int stride;     // marked dirty after, by the renderer)
  TileFrame frame;
};
using CoveragePainter = std::function<void(const CoverageTile&)>;

// A rectangle in device coordinates.
struct DeviceBox {
  double x0, y0, x1, y1;
};

bool smoothing_on(const GraphicsData& graphics);
// The device coordinate of a pixel centre's fractional part (see TileFrame::centre).
double pixel_centre(const GraphicsData& graphics);

// Draws one primitive: bounds (device coordinates, covering everything paint may touch) are
// clipped to the surface and cut into tiles; for each tile paint draws the coverage and the brush
// is composed through it onto the surface (gdiplusdrawing.h says how). Nothing outside the
// coverage is read or written.
Gdiplus::Status render_coverage(const GraphicsData& graphics, const DeviceBox& bounds, const BrushData& brush,
                                const CoveragePainter& paint);

// Adds a path's figures to the context, each point mapped through map first.
void add_path(cairo_t* cr, const PathData& path, const resample::Affine& map);
// Adds polylines (closed ones closed), mapped through map.
void add_polylines(cairo_t* cr, const std::vector<Polyline>& lines, const resample::Affine& map);

}  // namespace zx::gdip
