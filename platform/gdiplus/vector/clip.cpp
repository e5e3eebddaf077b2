// Zentarix GDI+ layer — MIT licence.
// Clip regions on cairo's (pixman's) rectangle regions, and the flat API that sets a graphics' clip.
#include "clip.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "canvas.h"
#include "gdi.h"
#include "guard.h"

using namespace Gdiplus;
using zx::resample::Affine;

namespace zx::gdip {
namespace {

// "Every pixel": a rectangle far beyond any surface (cairo regions hold 32-bit coordinates).
constexpr int kFar = 1 << 29;
const cairo_rectangle_int_t kEverything{-kFar, -kFar, 2 * kFar, 2 * kFar};

ClipPtr own(cairo_region_t* region) {
  if (cairo_region_status(region) != CAIRO_STATUS_SUCCESS) {
    cairo_region_destroy(region);
    throw std::bad_alloc();
  }
  return std::make_shared<const ClipRegion>(region);
}

cairo_region_t* copy_of(const ClipPtr& clip) {
  return clip ? cairo_region_copy(clip->region) : cairo_region_create_rectangle(&kEverything);
}

// Tiles of a path's rasterisation stay a few megabytes, as the renderer's do.
constexpr int kTileWidth = 4096;
constexpr int kTileHeight = 1024;

}  // namespace

Rect surface_bounds(const GraphicsData& g) {
  if (g.image) return Rect(0, 0, g.image->width, g.image->height);
  const std::shared_ptr<GdiBitmap> bitmap = dc_bitmap(g.hdc);
  return bitmap ? Rect(0, 0, bitmap->width, bitmap->height) : Rect(0, 0, 0, 0);
}

ClipPtr clip_from_rects(const Rect* rects, size_t count) {
  std::vector<cairo_rectangle_int_t> list;
  list.reserve(count);
  for (size_t i = 0; i < count; ++i)
    if (rects[i].Width > 0 && rects[i].Height > 0) list.push_back({rects[i].X, rects[i].Y, rects[i].Width, rects[i].Height});
  return own(cairo_region_create_rectangles(list.data(), static_cast<int>(list.size())));
}

ClipPtr clip_from_path(const PathData& path, const Affine& map, const Rect& limit) {
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (const PointF& p : path.points) {
    const PointD d = apply(map, {p.X, p.Y});
    if (!std::isfinite(d.x) || !std::isfinite(d.y)) return own(cairo_region_create());
    x0 = std::min(x0, d.x), y0 = std::min(y0, d.y), x1 = std::max(x1, d.x), y1 = std::max(y1, d.y);
  }
  if (path.points.empty()) return own(cairo_region_create());
  const int bx0 = static_cast<int>(std::clamp(std::floor(x0), double(limit.X), double(limit.GetRight())));
  const int by0 = static_cast<int>(std::clamp(std::floor(y0), double(limit.Y), double(limit.GetBottom())));
  const int bx1 = static_cast<int>(std::clamp(std::ceil(x1), double(limit.X), double(limit.GetRight())));
  const int by1 = static_cast<int>(std::clamp(std::ceil(y1), double(limit.Y), double(limit.GetBottom())));
  cairo_region_t* result = cairo_region_create();
  ClipPtr owned = own(result);
  std::vector<cairo_rectangle_int_t> runs;
  for (int ty = by0; ty < by1; ty += kTileHeight)
    for (int tx = bx0; tx < bx1; tx += kTileWidth) {
      const int w = std::min(kTileWidth, bx1 - tx), h = std::min(kTileHeight, by1 - ty);
      CairoSurface mask(cairo_image_surface_create(CAIRO_FORMAT_A8, w, h));
      if (cairo_surface_status(mask.get()) != CAIRO_STATUS_SUCCESS) throw std::bad_alloc();
      {
        CairoContext cr(cairo_create(mask.get()));
        cairo_set_antialias(cr.get(), CAIRO_ANTIALIAS_NONE);
        add_path(cr.get(), path, map.then(Affine{1, 0, 0, 1, double(-tx), double(-ty)}));
        cairo_set_fill_rule(cr.get(), path.fillMode == FillModeWinding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
        cairo_fill(cr.get());
      }
      cairo_surface_flush(mask.get());
      const uint8_t* data = cairo_image_surface_get_data(mask.get());
      const int stride = cairo_image_surface_get_stride(mask.get());
      runs.clear();
      for (int y = 0; y < h; ++y) {
        const uint8_t* row = data + ptrdiff_t{y} * stride;
        for (int x = 0; x < w;) {
          if (row[x] < 128) {
            ++x;
            continue;
          }
          const int start = x;
          while (x < w && row[x] >= 128) ++x;
          runs.push_back({tx + start, ty + y, x - start, 1});
        }
      }
      cairo_region_t* tile = cairo_region_create_rectangles(runs.data(), static_cast<int>(runs.size()));
      cairo_region_union(result, tile);
      cairo_region_destroy(tile);
      if (cairo_region_status(result) != CAIRO_STATUS_SUCCESS) throw std::bad_alloc();
    }
  return owned;
}

ClipPtr combine_clip(const ClipPtr& current, const ClipPtr& operand, CombineMode mode) {
  switch (mode) {
    case CombineModeReplace: return operand;
    case CombineModeIntersect:
      if (!current) return operand;
      if (!operand) return current;
      break;
    case CombineModeUnion:
      if (!current || !operand) return nullptr;
      break;
    default: break;
  }
  cairo_region_t* result = copy_of(current);
  cairo_region_t* other = copy_of(operand);
  switch (mode) {
    case CombineModeIntersect: cairo_region_intersect(result, other); break;
    case CombineModeUnion: cairo_region_union(result, other); break;
    case CombineModeXor: cairo_region_xor(result, other); break;
    case CombineModeExclude: cairo_region_subtract(result, other); break;
    default:  // Complement: what the operand adds to the current clip
      cairo_region_subtract(other, result);
      std::swap(result, other);
      break;
  }
  cairo_region_destroy(other);
  return own(result);
}

ClipPtr translate_clip(const ClipPtr& clip, int dx, int dy) {
  if (!clip) return nullptr;
  cairo_region_t* moved = cairo_region_copy(clip->region);
  cairo_region_translate(moved, dx, dy);
  return own(moved);
}

bool clip_extents(const ClipRegion& clip, Rect* out) {
  if (cairo_region_is_empty(clip.region)) return false;
  cairo_rectangle_int_t r;
  cairo_region_get_extents(clip.region, &r);
  *out = Rect(r.x, r.y, r.width, r.height);
  return true;
}

std::vector<Rect> clip_rects(const ClipRegion& clip, const Rect& bounds) {
  const cairo_rectangle_int_t box{bounds.X, bounds.Y, bounds.Width, bounds.Height};
  cairo_region_t* part = cairo_region_copy(clip.region);
  cairo_region_intersect_rectangle(part, &box);
  std::vector<Rect> out(static_cast<size_t>(std::max(0, cairo_region_num_rectangles(part))));
  for (size_t i = 0; i < out.size(); ++i) {
    cairo_rectangle_int_t r;
    cairo_region_get_rectangle(part, static_cast<int>(i), &r);
    out[i] = Rect(r.x, r.y, r.width, r.height);
  }
  cairo_region_destroy(part);
  return out;
}

void mask_to_clip(const ClipRegion& clip, uint8_t* mask, int stride, int x0, int y0, int width, int height) {
  const cairo_rectangle_int_t tile{x0, y0, width, height};
  if (cairo_region_contains_rectangle(clip.region, &tile) == CAIRO_REGION_OVERLAP_IN) return;
  std::vector<uint8_t> keep(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  for (const Rect& r : clip_rects(clip, Rect(x0, y0, width, height)))
    for (int y = r.Y; y < r.GetBottom(); ++y)
      std::fill_n(keep.begin() + ptrdiff_t{y - y0} * width + (r.X - x0), r.Width, uint8_t{1});
  for (int y = 0; y < height; ++y) {
    uint8_t* row = mask + ptrdiff_t{y} * stride;
    const uint8_t* k = keep.data() + ptrdiff_t{y} * width;
    for (int x = 0; x < width; ++x)
      if (!k[x]) row[x] = 0;
  }
}

}  // namespace zx::gdip

using namespace zx::gdip;

namespace {

Status set_clip(GpGraphics* graphics, CombineMode mode, const PathData& path) {
  if (!graphics || mode < CombineModeReplace || mode > CombineModeComplement) return InvalidParameter;
  GraphicsData& g = *impl(graphics);
  g.clip = combine_clip(g.clip, clip_from_path(path, g.to_device(), surface_bounds(g)), mode);
  return Ok;
}

}  // namespace

namespace Gdiplus::DllExports {

Status WINAPI GdipSetClipRect(GpGraphics* graphics, REAL x, REAL y, REAL width, REAL height, CombineMode combineMode) {
  return guarded([&] {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(width) || !std::isfinite(height))
      return InvalidParameter;
    PathData path;
    path_add_rectangle(path, x, y, width, height);
    return set_clip(graphics, combineMode, path);
  });
}

Status WINAPI GdipSetClipPath(GpGraphics* graphics, GpPath* path, CombineMode combineMode) {
  return guarded([&] { return path ? set_clip(graphics, combineMode, *impl(path)) : InvalidParameter; });
}

Status WINAPI GdipResetClip(GpGraphics* graphics) {
  if (!graphics) return InvalidParameter;
  impl(graphics)->clip = nullptr;
  return Ok;
}

Status WINAPI GdipTranslateClip(GpGraphics* graphics, REAL dx, REAL dy) {
  return guarded([&] {
    if (!graphics || !std::isfinite(dx) || !std::isfinite(dy)) return InvalidParameter;
    GraphicsData& g = *impl(graphics);
    const Affine m = g.to_device();
    const double ddx = m.m11 * dx + m.m21 * dy, ddy = m.m12 * dx + m.m22 * dy;
    if (std::fabs(ddx) > kFar || std::fabs(ddy) > kFar) return InvalidParameter;
    g.clip = translate_clip(g.clip, static_cast<int>(std::lround(ddx)), static_cast<int>(std::lround(ddy)));
    return Ok;
  });
}

Status WINAPI GdipIsClipEmpty(GpGraphics* graphics, BOOL* result) {
  if (!graphics || !result) return InvalidParameter;
  Rect unused;
  const GraphicsData& g = *impl(graphics);
  *result = g.clip && !clip_extents(*g.clip, &unused);
  return Ok;
}

}  // namespace Gdiplus::DllExports
