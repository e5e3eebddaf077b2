// Zentarix GDI+ layer — MIT licence.
// The tiled renderer of vector drawing: coverage from cairo, brushes as cairo patterns, straight-alpha
// composition onto the surface.
#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "clip.h"
#include "compose.h"
#include "guard.h"

using namespace Gdiplus;
using zx::resample::Affine;

namespace zx::gdip {
namespace {

// A tile's mask and brush layer stay within a few megabytes, whatever the primitive's size, and
// cairo's 32767-pixel limit on a surface side never applies to the bitmap drawn on.
constexpr int kTileWidth = 4096;
constexpr int kTileHeight = 1024;

CairoSurface image_surface(cairo_format_t format, int width, int height) {
  CairoSurface surface(cairo_image_surface_create(format, width, height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) throw std::bad_alloc();
  return surface;
}

// A surface over a texture's premultiplied pixels, mirrored into a 2 x 1 or 1 x 2 tile for the
// wrap modes cairo has no extend mode for.
CairoSurface texture_surface(const TextureImage& texture, WrapMode wrap) {
  const bool flipX = wrap == WrapModeTileFlipX, flipY = wrap == WrapModeTileFlipY;
  const int w = texture.width * (flipX ? 2 : 1), h = texture.height * (flipY ? 2 : 1);
  CairoSurface surface = image_surface(CAIRO_FORMAT_ARGB32, w, h);
  cairo_surface_flush(surface.get());
  uint8_t* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  const auto* src = reinterpret_cast<const uint32_t*>(texture.pixels.data());
  for (int y = 0; y < h; ++y) {
    const int sy = y < texture.height ? y : 2 * texture.height - 1 - y;
    auto* row = reinterpret_cast<uint32_t*>(data + ptrdiff_t{y} * stride);
    for (int x = 0; x < w; ++x) {
      const int sx = x < texture.width ? x : 2 * texture.width - 1 - x;
      row[x] = src[ptrdiff_t{sy} * texture.width + sx];
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

// The brush as a cairo pattern in tile pixel space; null for a solid brush (composed directly).
CairoPattern brush_pattern(const GraphicsData& g, const BrushData& brush, const TileFrame& frame) {
  if (brush.type == BrushTypeHatchFill) {
    CairoSurface cell = image_surface(CAIRO_FORMAT_ARGB32, 8, 8);
    cairo_surface_flush(cell.get());
    uint8_t* data = cairo_image_surface_get_data(cell.get());
    const int stride = cairo_image_surface_get_stride(cell.get());
    const uint8_t* bits = hatch_pattern(brush.hatch);
    const uint32_t fore = premultiply(brush.fore), back = premultiply(brush.back);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        reinterpret_cast<uint32_t*>(data + y * stride)[x] = (bits[y] & (0x80 >> x)) ? fore : back;
    cairo_surface_mark_dirty(cell.get());
    CairoPattern pattern(cairo_pattern_create_for_surface(cell.get()));
    cairo_pattern_set_extend(pattern.get(), CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(pattern.get(), CAIRO_FILTER_NEAREST);
    // Aligned to the device: tile pixel l is device pixel x0 + l, counted from the rendering origin.
    const cairo_matrix_t m = cairo_matrix_of(Affine{1, 0, 0, 1, double(frame.x0 - g.originX), double(frame.y0 - g.originY)});
    cairo_pattern_set_matrix(pattern.get(), &m);
    return pattern;
  }
  if (brush.type == BrushTypeTextureFill && brush.texture) {
    CairoSurface image = texture_surface(*brush.texture, brush.wrap);
    CairoPattern pattern(cairo_pattern_create_for_surface(image.get()));
    cairo_pattern_set_extend(pattern.get(), brush.wrap == WrapModeClamp        ? CAIRO_EXTEND_NONE
                                            : brush.wrap == WrapModeTileFlipXY ? CAIRO_EXTEND_REFLECT
                                                                               : CAIRO_EXTEND_REPEAT);
    cairo_pattern_set_filter(pattern.get(), g.interpolation == InterpolationModeNearestNeighbor ? CAIRO_FILTER_NEAREST
                                                                                                : CAIRO_FILTER_BILINEAR);
    // Tile pixels -> device -> world -> brush space -> cairo's texel grid (texel k's centre at k + 0.5,
    // where brush space puts it at k + centre).
    Affine toWorld, toBrush, toDevice;
    if (!g.to_device().invert(&toWorld) || !brush.transform.affine().invert(&toBrush) ||
        !frame.device_to_tile().invert(&toDevice))
      return nullptr;
    const Affine map = toDevice.then(toWorld).then(toBrush).then(Affine{1, 0, 0, 1, 0.5 - frame.centre, 0.5 - frame.centre});
    const cairo_matrix_t m = cairo_matrix_of(map);
    cairo_pattern_set_matrix(pattern.get(), &m);
    return pattern;
  }
  return nullptr;
}

}  // namespace

bool smoothing_on(const GraphicsData& g) {
  return g.smoothing == SmoothingModeAntiAlias || g.smoothing == SmoothingModeHighQuality ||
         g.smoothing == SmoothingModeAntiAlias8x8;
}

double pixel_centre(const GraphicsData& g) {
  return g.pixelOffset == PixelOffsetModeHalf || g.pixelOffset == PixelOffsetModeHighQuality ? 0.5 : 0.0;
}

Status render_coverage(const GraphicsData& g, const DeviceBox& b, const BrushData& brush, const CoveragePainter& paint) {
  if (!(std::isfinite(b.x0) && std::isfinite(b.y0) && std::isfinite(b.x1) && std::isfinite(b.y1))) return Ok;
  if (brush.type == BrushTypeTextureFill && !brush.texture) return InvalidParameter;
  return fault_guarded([&] {
    Surface surface;
    if (const Status status = surface.open(g); status != Ok) return status;
    const resample::TargetView& target = surface.view();
    const double centre = pixel_centre(g);
    // Pixels whose area the box can reach: pixel i spans [i + centre - 0.5, i + centre + 0.5).
    const auto first = [&](double v, int limit) {
      return static_cast<int>(std::clamp(std::floor(v - centre + 0.5), 0.0, double(limit)));
    };
    const auto last = [&](double v, int limit) {
      return static_cast<int>(std::clamp(std::ceil(v - centre + 0.5), 0.0, double(limit)));
    };
    int x0 = first(b.x0, target.width), x1 = last(b.x1, target.width);
    int y0 = first(b.y0, target.height), y1 = last(b.y1, target.height);
    if (g.clip) {
      Rect extents;
      if (!clip_extents(*g.clip, &extents)) return Ok;
      x0 = std::max(x0, extents.X), x1 = std::min(x1, extents.GetRight());
      y0 = std::max(y0, extents.Y), y1 = std::min(y1, extents.GetBottom());
    }
    const cairo_antialias_t antialias = smoothing_on(g) ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE;
    const resample::Compose mode =
        g.compositing == CompositingModeSourceCopy ? resample::Compose::SourceCopy : resample::Compose::SourceOver;
    for (int ty = y0; ty < y1; ty += kTileHeight)
      for (int tx = x0; tx < x1; tx += kTileWidth) {
        const TileFrame frame{tx, ty, std::min(kTileWidth, x1 - tx), std::min(kTileHeight, y1 - ty), centre};
        CairoSurface mask = image_surface(CAIRO_FORMAT_A8, frame.width, frame.height);
        {
          CairoContext cr(cairo_create(mask.get()));
          cairo_set_antialias(cr.get(), antialias);
          cairo_set_source_rgba(cr.get(), 0, 0, 0, 1);
          cairo_surface_flush(mask.get());
          paint(CoverageTile{cr.get(), cairo_image_surface_get_data(mask.get()),
                             cairo_image_surface_get_stride(mask.get()), frame});
          cairo_surface_mark_dirty(mask.get());
        }
        cairo_surface_flush(mask.get());
        if (g.clip)
          mask_to_clip(*g.clip, cairo_image_surface_get_data(mask.get()), cairo_image_surface_get_stride(mask.get()),
                       tx, ty, frame.width, frame.height);
        CoverageSource source{cairo_image_surface_get_data(mask.get()), cairo_image_surface_get_stride(mask.get()),
                              nullptr, 0, brush.colour, frame.width, frame.height};
        CairoSurface layer;
        if (CairoPattern pattern = brush_pattern(g, brush, frame)) {
          layer = image_surface(CAIRO_FORMAT_ARGB32, frame.width, frame.height);
          CairoContext cr(cairo_create(layer.get()));
          cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
          cairo_set_source(cr.get(), pattern.get());
          cairo_paint(cr.get());
          cairo_surface_flush(layer.get());
          source.layer = cairo_image_surface_get_data(layer.get());
          source.layer_stride = cairo_image_surface_get_stride(layer.get());
        } else if (brush.type != BrushTypeSolidColor) {
          return InvalidParameter;  // a texture whose transform cannot be inverted
        }
        compose_coverage(target, tx, ty, source, mode, g.rop);
      }
    surface.commit();
    return Ok;
  });
}

void add_path(cairo_t* cr, const PathData& path, const Affine& map) {
  const size_t n = path.points.size();
  bool open = false;
  for (size_t i = 0; i < n; ++i) {
    const BYTE kind = path.types[i] & PathPointTypePathTypeMask;
    const PointD p = apply(map, {path.points[i].X, path.points[i].Y});
    if (kind == PathPointTypeStart || !open) {
      cairo_move_to(cr, p.x, p.y);
      open = true;
    } else if (kind == PathPointTypeBezier && i + 2 < n) {
      const PointD p2 = apply(map, {path.points[i + 1].X, path.points[i + 1].Y});
      const PointD p3 = apply(map, {path.points[i + 2].X, path.points[i + 2].Y});
      cairo_curve_to(cr, p.x, p.y, p2.x, p2.y, p3.x, p3.y);
      i += 2;
    } else {
      cairo_line_to(cr, p.x, p.y);
    }
    if (path.types[i] & PathPointTypeCloseSubpath) {
      cairo_close_path(cr);
      open = false;
    }
  }
}

void add_polylines(cairo_t* cr, const std::vector<Polyline>& lines, const Affine& map) {
  for (const Polyline& line : lines) {
    for (size_t i = 0; i < line.points.size(); ++i) {
      const PointD p = apply(map, line.points[i]);
      i == 0 ? cairo_move_to(cr, p.x, p.y) : cairo_line_to(cr, p.x, p.y);
    }
    if (line.closed) cairo_close_path(cr);
  }
}

}  // namespace zx::gdip
