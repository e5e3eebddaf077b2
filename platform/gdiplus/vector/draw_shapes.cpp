// Zentarix GDI+ layer — MIT licence.
// Flat API of vector drawing: quality settings, outlines and fills of every primitive.
#include <algorithm>
#include <cmath>

#include "guard.h"
#include "shapes.h"

using namespace Gdiplus;
using namespace zx::gdip;

namespace {

// Builds a path with build(path) (false: InvalidParameter) and strokes it with the pen.
template <class Build>
Status stroke(GpGraphics* graphics, GpPen* pen, Build&& build) {
  return guarded([&] {
    if (!graphics || !pen) return InvalidParameter;
    PathData path;
    if (!build(path)) return InvalidParameter;
    return stroke_path(*impl(graphics), path, *impl(pen));
  });
}

template <class Build>
Status fill(GpGraphics* graphics, GpBrush* brush, FillMode mode, Build&& build) {
  return guarded([&] {
    if (!graphics || !brush || (mode != FillModeAlternate && mode != FillModeWinding)) return InvalidParameter;
    PathData path;
    if (!build(path)) return InvalidParameter;
    return fill_path(*impl(graphics), path, *impl(brush), mode);
  });
}

auto lines_of(const PointF* points, INT count, INT minimum, bool closed) {
  return [=](PathData& path) {
    std::vector<PointD> pts;
    if (!read_points(points, count, minimum, &pts)) return false;
    closed ? path_add_polygon(path, pts.data(), pts.size()) : path_add_lines(path, pts.data(), pts.size());
    return true;
  };
}

auto curve_of(const PointF* points, INT count, REAL tension, bool closed) {
  return [=](PathData& path) {
    std::vector<PointD> pts;
    if (!read_points(points, count, closed ? 3 : 2, &pts) || !finite({tension})) return false;
    path_add_curve(path, pts.data(), pts.size(), tension, closed);
    return true;
  };
}

// Rectangles, ellipses, arcs and pies: finite values; arcs and pies need a positive size.
template <class Add>
auto box_of(REAL x, REAL y, REAL width, REAL height, bool positive, Add add) {
  return [=](PathData& path) {
    if (!finite({x, y, width, height}) || (positive && (width <= 0 || height <= 0))) return false;
    add(path);
    return true;
  };
}

}  // namespace

namespace Gdiplus::DllExports {

Status WINAPI GdipSetSmoothingMode(GpGraphics* graphics, SmoothingMode mode) {
  if (!graphics || mode < SmoothingModeDefault || mode > SmoothingModeAntiAlias8x8) return InvalidParameter;
  impl(graphics)->smoothing = mode;
  return Ok;
}
Status WINAPI GdipGetSmoothingMode(GpGraphics* graphics, SmoothingMode* mode) {
  if (!graphics || !mode) return InvalidParameter;
  *mode = impl(graphics)->smoothing;
  return Ok;
}
Status WINAPI GdipSetTextRenderingHint(GpGraphics* graphics, TextRenderingHint hint) {
  if (!graphics || hint < TextRenderingHintSystemDefault || hint > TextRenderingHintClearTypeGridFit)
    return InvalidParameter;
  impl(graphics)->textHint = hint;
  return Ok;
}
Status WINAPI GdipGetTextRenderingHint(GpGraphics* graphics, TextRenderingHint* hint) {
  if (!graphics || !hint) return InvalidParameter;
  *hint = impl(graphics)->textHint;
  return Ok;
}
Status WINAPI GdipSetRenderingOrigin(GpGraphics* graphics, INT x, INT y) {
  if (!graphics) return InvalidParameter;
  impl(graphics)->originX = x;
  impl(graphics)->originY = y;
  return Ok;
}
Status WINAPI GdipGetRenderingOrigin(GpGraphics* graphics, INT* x, INT* y) {
  if (!graphics || !x || !y) return InvalidParameter;
  *x = impl(graphics)->originX;
  *y = impl(graphics)->originY;
  return Ok;
}
Status WINAPI GdipFlush(GpGraphics* graphics, FlushIntention) { return graphics ? Ok : InvalidParameter; }

Status WINAPI GdipDrawLine(GpGraphics* graphics, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2) {
  const PointF points[2] = {{x1, y1}, {x2, y2}};
  return GdipDrawLines(graphics, pen, points, 2);
}

Status WINAPI GdipDrawLines(GpGraphics* graphics, GpPen* pen, const PointF* points, INT count) {
  return stroke(graphics, pen, lines_of(points, count, 2, false));
}

Status WINAPI GdipDrawArc(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height,
                          REAL startAngle, REAL sweepAngle) {
  if (!finite({startAngle, sweepAngle})) return InvalidParameter;
  return stroke(graphics, pen, box_of(x, y, width, height, true, [=](PathData& p) {
                  path_add_arc(p, x, y, width, height, startAngle, sweepAngle);
                }));
}

Status WINAPI GdipDrawBezier(GpGraphics* graphics, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2, REAL x3, REAL y3,
                             REAL x4, REAL y4) {
  const PointF points[4] = {{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}};
  return GdipDrawBeziers(graphics, pen, points, 4);
}

Status WINAPI GdipDrawBeziers(GpGraphics* graphics, GpPen* pen, const PointF* points, INT count) {
  return stroke(graphics, pen, [=](PathData& path) {
    std::vector<PointD> pts;
    if (!read_points(points, count, 4, &pts) || (count - 1) % 3 != 0) return false;
    path_add_beziers(path, pts.data(), pts.size());
    return true;
  });
}

Status WINAPI GdipDrawRectangle(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height) {
  return stroke(graphics, pen, box_of(x, y, width, height, false, [=](PathData& p) {
                  path_add_rectangle(p, x, y, width, height);
                }));
}

Status WINAPI GdipDrawEllipse(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height) {
  return stroke(graphics, pen, box_of(x, y, width, height, false, [=](PathData& p) {
                  path_add_ellipse(p, x, y, width, height);
                }));
}

Status WINAPI GdipDrawPie(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                          REAL sweepAngle) {
  if (!finite({startAngle, sweepAngle})) return InvalidParameter;
  return stroke(graphics, pen, box_of(x, y, width, height, true, [=](PathData& p) {
                  path_add_pie(p, x, y, width, height, startAngle, sweepAngle);
                }));
}

Status WINAPI GdipDrawPolygon(GpGraphics* graphics, GpPen* pen, const PointF* points, INT count) {
  return stroke(graphics, pen, lines_of(points, count, 2, true));
}

Status WINAPI GdipDrawCurve2(GpGraphics* graphics, GpPen* pen, const PointF* points, INT count, REAL tension) {
  return stroke(graphics, pen, curve_of(points, count, tension, false));
}

Status WINAPI GdipDrawClosedCurve2(GpGraphics* graphics, GpPen* pen, const PointF* points, INT count, REAL tension) {
  return stroke(graphics, pen, curve_of(points, count, tension, true));
}

Status WINAPI GdipDrawPath(GpGraphics* graphics, GpPen* pen, GpPath* path) {
  return guarded([&] {
    if (!graphics || !pen || !path) return InvalidParameter;
    return stroke_path(*impl(graphics), *impl(path), *impl(pen));
  });
}

Status WINAPI GdipFillRectangle(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height) {
  return fill(graphics, brush, FillModeAlternate, box_of(x, y, width, height, false, [=](PathData& p) {
                path_add_rectangle(p, x, y, width, height);
              }));
}

Status WINAPI GdipFillEllipse(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height) {
  return fill(graphics, brush, FillModeAlternate, box_of(x, y, width, height, false, [=](PathData& p) {
                path_add_ellipse(p, x, y, width, height);
              }));
}

Status WINAPI GdipFillPie(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height,
                          REAL startAngle, REAL sweepAngle) {
  if (!finite({startAngle, sweepAngle})) return InvalidParameter;
  return fill(graphics, brush, FillModeAlternate, box_of(x, y, width, height, true, [=](PathData& p) {
                path_add_pie(p, x, y, width, height, startAngle, sweepAngle);
              }));
}

Status WINAPI GdipFillPolygon(GpGraphics* graphics, GpBrush* brush, const PointF* points, INT count,
                              FillMode fillMode) {
  return fill(graphics, brush, fillMode, lines_of(points, count, 3, true));
}

Status WINAPI GdipFillClosedCurve2(GpGraphics* graphics, GpBrush* brush, const PointF* points, INT count, REAL tension,
                                   FillMode fillMode) {
  return fill(graphics, brush, fillMode, curve_of(points, count, tension, true));
}

Status WINAPI GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path) {
  return guarded([&] {
    if (!graphics || !brush || !path) return InvalidParameter;
    return fill_path(*impl(graphics), *impl(path), *impl(brush), impl(path)->fillMode);
  });
}

}  // namespace Gdiplus::DllExports
