// Zentarix GDI+ layer — MIT licence.
// Graphics paths: figures built from every primitive in GDI+'s conventions, flattening, and the flat API.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "guard.h"
#include "vector_data.h"

using namespace Gdiplus;

namespace zx::gdip {
namespace {

constexpr double kPi = std::numbers::pi;

PointF to_float(PointD p) { return PointF(static_cast<REAL>(p.x), static_cast<REAL>(p.y)); }

// The first point of a segment: starts a figure, or joins the open one by a line when it does not
// start where that one ends.
void begin_segment(PathData& path, PointD first) {
  const PointF p = to_float(first);
  if (path.newFigure || path.points.empty()) {
    path.points.push_back(p);
    path.types.push_back(PathPointTypeStart);
    path.newFigure = false;
  } else if (path.points.back().X != p.X || path.points.back().Y != p.Y) {
    path.points.push_back(p);
    path.types.push_back(PathPointTypeLine);
  }
}

void push(PathData& path, PointD p, BYTE type) {
  path.points.push_back(to_float(p));
  path.types.push_back(type);
}

// The ellipse parameter whose point lies in the geometric direction `degrees` from the centre, kept
// within half a turn of that direction so that whole turns survive.
// Scaled by |rx * ry| rather than divided, so a flat or empty ellipse (a radius of zero) still gives
// a number.
double parameter_of(double degrees, double rx, double ry) {
  const double theta = degrees * kPi / 180.0;
  const double base = std::atan2(std::sin(theta) * std::fabs(rx) * std::copysign(1.0, ry),
                                 std::cos(theta) * std::fabs(ry) * std::copysign(1.0, rx));
  return base + 2 * kPi * std::round((theta - base) / (2 * kPi));
}

// Appends the arc's Béziers (its first point through begin_segment).
void arc_beziers(PathData& path, double x, double y, double w, double h, double start, double sweep) {
  sweep = std::clamp(sweep, -360.0, 360.0);
  start = std::fmod(start, 360.0);  // the same direction, without a huge angle's lost precision
  const double rx = w / 2, ry = h / 2, cx = x + rx, cy = y + ry;
  const double t0 = parameter_of(start, rx, ry);
  const double t1 = std::fabs(sweep) == 360.0 ? t0 + (sweep > 0 ? 2 * kPi : -2 * kPi)
                                              : parameter_of(start + sweep, rx, ry);
  // At most a turn and a half apart, so at most six quarter turns; eight also bounds a start, sweep
  // or size that is not a finite number (a metafile's, say), which gives NaN points, never a count
  // out of range.
  const double quarters = std::fabs(t1 - t0) / (kPi / 2);
  const int pieces = quarters <= 1 ? 1 : quarters <= 8 ? static_cast<int>(std::ceil(quarters - 1e-9)) : 8;
  const double step = (t1 - t0) / pieces;
  const double k = 4.0 / 3.0 * std::tan(step / 4);
  auto at = [&](double t) { return PointD{cx + rx * std::cos(t), cy + ry * std::sin(t)}; };
  begin_segment(path, at(t0));
  for (int i = 0; i < pieces; ++i) {
    const double a = t0 + step * i, b = a + step;
    push(path, {cx + rx * (std::cos(a) - k * std::sin(a)), cy + ry * (std::sin(a) + k * std::cos(a))},
         PathPointTypeBezier);
    push(path, {cx + rx * (std::cos(b) + k * std::sin(b)), cy + ry * (std::sin(b) - k * std::cos(b))},
         PathPointTypeBezier);
    push(path, at(b), PathPointTypeBezier);
  }
}

// Squared distance from p to the line through a and b (to a when they coincide).
double distance2(PointD p, PointD a, PointD b) {
  const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
  if (len2 == 0) return (p.x - a.x) * (p.x - a.x) + (p.y - a.y) * (p.y - a.y);
  const double cross = (p.x - a.x) * dy - (p.y - a.y) * dx;
  return cross * cross / len2;
}

void flatten_bezier(std::vector<PointD>& out, PointD p0, PointD p1, PointD p2, PointD p3, double tol2, int depth) {
  if (depth == 0 || (distance2(p1, p0, p3) <= tol2 && distance2(p2, p0, p3) <= tol2)) {
    out.push_back(p3);
    return;
  }
  auto mid = [](PointD a, PointD b) { return PointD{(a.x + b.x) / 2, (a.y + b.y) / 2}; };
  const PointD a = mid(p0, p1), b = mid(p1, p2), c = mid(p2, p3), d = mid(a, b), e = mid(b, c), m = mid(d, e);
  flatten_bezier(out, p0, a, d, m, tol2, depth - 1);
  flatten_bezier(out, m, e, c, p3, tol2, depth - 1);
}

}  // namespace

bool finite(std::initializer_list<REAL> values) {
  return std::all_of(values.begin(), values.end(), [](REAL v) { return std::isfinite(v); });
}

bool read_points(const PointF* points, INT count, INT minimum, std::vector<PointD>* out) {
  if (!points || count < minimum) return false;
  out->resize(static_cast<size_t>(count));
  for (INT i = 0; i < count; ++i) {
    if (!finite({points[i].X, points[i].Y})) return false;
    (*out)[static_cast<size_t>(i)] = {points[i].X, points[i].Y};
  }
  return true;
}

void path_add_lines(PathData& path, const PointD* points, size_t count) {
  if (count == 0) return;
  begin_segment(path, points[0]);
  for (size_t i = 1; i < count; ++i) push(path, points[i], PathPointTypeLine);
}

void path_add_beziers(PathData& path, const PointD* points, size_t count) {
  if (count == 0) return;
  begin_segment(path, points[0]);
  for (size_t i = 1; i < count; ++i) push(path, points[i], PathPointTypeBezier);
}

void path_add_arc(PathData& path, double x, double y, double w, double h, double start, double sweep) {
  arc_beziers(path, x, y, w, h, start, sweep);
}

void path_add_curve(PathData& path, const PointD* p, size_t count, double tension, bool closed) {
  if (closed) path.newFigure = true;
  const auto n = static_cast<ptrdiff_t>(count);
  const double k = tension / 3;
  auto at = [&](ptrdiff_t i) {
    if (closed) return p[((i % n) + n) % n];
    return p[std::clamp<ptrdiff_t>(i, 0, n - 1)];
  };
  begin_segment(path, p[0]);
  const ptrdiff_t segments = closed ? n : n - 1;
  for (ptrdiff_t i = 0; i < segments; ++i) {
    const PointD a = at(i - 1), b = at(i), c = at(i + 1), d = at(i + 2);
    push(path, {b.x + k * (c.x - a.x), b.y + k * (c.y - a.y)}, PathPointTypeBezier);
    push(path, {c.x - k * (d.x - b.x), c.y - k * (d.y - b.y)}, PathPointTypeBezier);
    push(path, c, PathPointTypeBezier);
  }
  if (closed) path_close_figure(path);
}

void path_add_rectangle(PathData& path, double x, double y, double w, double h) {
  const PointD corners[4] = {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
  path_add_polygon(path, corners, 4);
}

void path_add_ellipse(PathData& path, double x, double y, double w, double h) {
  path.newFigure = true;
  arc_beziers(path, x, y, w, h, 0, 360);
  path_close_figure(path);
}

void path_add_pie(PathData& path, double x, double y, double w, double h, double start, double sweep) {
  path.newFigure = true;
  begin_segment(path, {x + w / 2, y + h / 2});  // the arc follows the centre by a line
  arc_beziers(path, x, y, w, h, start, sweep);
  path_close_figure(path);
}

void path_add_polygon(PathData& path, const PointD* points, size_t count) {
  if (count == 0) return;
  path.newFigure = true;
  path_add_lines(path, points, count);
  path_close_figure(path);
}

void path_close_figure(PathData& path) {
  if (!path.types.empty() && !path.newFigure) path.types.back() |= PathPointTypeCloseSubpath;
  path.newFigure = true;
}

std::vector<Polyline> flatten(const PathData& path, const resample::Affine& map, double tolerance) {
  std::vector<Polyline> figures;
  const double tol2 = tolerance * tolerance;
  const size_t n = path.points.size();
  for (size_t i = 0; i < n; ++i) {
    const BYTE kind = path.types[i] & PathPointTypePathTypeMask;
    const PointD p = apply(map, {path.points[i].X, path.points[i].Y});
    if (kind == PathPointTypeStart || figures.empty() || figures.back().closed) {
      figures.push_back({{p}, false});
    } else if (kind == PathPointTypeBezier && i + 2 < n) {
      const PointD p2 = apply(map, {path.points[i + 1].X, path.points[i + 1].Y});
      const PointD p3 = apply(map, {path.points[i + 2].X, path.points[i + 2].Y});
      flatten_bezier(figures.back().points, figures.back().points.back(), p, p2, p3, tol2, 16);
      i += 2;
    } else {
      figures.back().points.push_back(p);
    }
    if (path.types[i] & PathPointTypeCloseSubpath) figures.back().closed = true;
  }
  return figures;
}

}  // namespace zx::gdip

using namespace zx::gdip;

namespace Gdiplus::DllExports {
namespace {

template <class Body>
Status with_path(GpPath* path, Body&& body) {
  return guarded([&] {
    if (!path) return InvalidParameter;
    return body(*impl(path));
  });
}

}  // namespace

Status WINAPI GdipCreatePath(FillMode fillMode, GpPath** path) {
  return guarded([&] {
    if (!path || (fillMode != FillModeAlternate && fillMode != FillModeWinding)) return InvalidParameter;
    auto data = std::make_unique<PathData>();
    data->fillMode = fillMode;
    *path = reinterpret_cast<GpPath*>(data.release());
    return Ok;
  });
}

Status WINAPI GdipCreatePath2(const PointF* points, const BYTE* types, INT count, FillMode fillMode, GpPath** path) {
  return guarded([&] {
    if (!path || !points || !types || count < 0) return InvalidParameter;
    if (fillMode != FillModeAlternate && fillMode != FillModeWinding) return InvalidParameter;
    auto data = std::make_unique<PathData>();
    data->fillMode = fillMode;
    data->points.assign(points, points + count);
    data->types.assign(types, types + count);
    data->newFigure = count == 0 || (types[count - 1] & PathPointTypeCloseSubpath);
    *path = reinterpret_cast<GpPath*>(data.release());
    return Ok;
  });
}

Status WINAPI GdipClonePath(GpPath* path, GpPath** clone) {
  return guarded([&] {
    if (!path || !clone) return InvalidParameter;
    *clone = reinterpret_cast<GpPath*>(new PathData(*impl(path)));
    return Ok;
  });
}

Status WINAPI GdipDeletePath(GpPath* path) {
  if (!path) return InvalidParameter;
  delete impl(path);
  return Ok;
}

Status WINAPI GdipResetPath(GpPath* path) {
  return with_path(path, [](PathData& p) {
    const FillMode mode = p.fillMode;
    p = PathData{};
    p.fillMode = mode;
    return Ok;
  });
}

Status WINAPI GdipGetPointCount(GpPath* path, INT* count) {
  if (!path || !count) return InvalidParameter;
  *count = static_cast<INT>(impl(path)->points.size());
  return Ok;
}

Status WINAPI GdipGetPathTypes(GpPath* path, BYTE* types, INT count) {
  if (!path || !types || count < static_cast<INT>(impl(path)->types.size())) return InvalidParameter;
  std::copy(impl(path)->types.begin(), impl(path)->types.end(), types);
  return Ok;
}

Status WINAPI GdipGetPathPoints(GpPath* path, PointF* points, INT count) {
  if (!path || !points || count < static_cast<INT>(impl(path)->points.size())) return InvalidParameter;
  std::copy(impl(path)->points.begin(), impl(path)->points.end(), points);
  return Ok;
}

Status WINAPI GdipGetPathFillMode(GpPath* path, FillMode* fillMode) {
  if (!path || !fillMode) return InvalidParameter;
  *fillMode = impl(path)->fillMode;
  return Ok;
}

Status WINAPI GdipSetPathFillMode(GpPath* path, FillMode fillMode) {
  if (!path || (fillMode != FillModeAlternate && fillMode != FillModeWinding)) return InvalidParameter;
  impl(path)->fillMode = fillMode;
  return Ok;
}

Status WINAPI GdipStartPathFigure(GpPath* path) {
  if (!path) return InvalidParameter;
  impl(path)->newFigure = true;
  return Ok;
}

Status WINAPI GdipClosePathFigure(GpPath* path) {
  if (!path) return InvalidParameter;
  path_close_figure(*impl(path));
  return Ok;
}

Status WINAPI GdipClosePathFigures(GpPath* path) {
  if (!path) return InvalidParameter;
  PathData& p = *impl(path);
  for (size_t i = 1; i <= p.types.size(); ++i)
    if (i == p.types.size() || (p.types[i] & PathPointTypePathTypeMask) == PathPointTypeStart)
      p.types[i - 1] |= PathPointTypeCloseSubpath;
  p.newFigure = true;
  return Ok;
}

Status WINAPI GdipAddPathLine(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2) {
  const PointF points[2] = {{x1, y1}, {x2, y2}};
  return GdipAddPathLine2(path, points, 2);
}

Status WINAPI GdipAddPathLine2(GpPath* path, const PointF* points, INT count) {
  return with_path(path, [&](PathData& p) {
    std::vector<PointD> pts;
    if (!read_points(points, count, 1, &pts)) return InvalidParameter;
    path_add_lines(p, pts.data(), pts.size());
    return Ok;
  });
}

Status WINAPI GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                             REAL sweepAngle) {
  return with_path(path, [&](PathData& p) {
    if (!finite({x, y, width, height, startAngle, sweepAngle}) || width <= 0 || height <= 0) return InvalidParameter;
    path_add_arc(p, x, y, width, height, startAngle, sweepAngle);
    return Ok;
  });
}

Status WINAPI GdipAddPathBezier(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2, REAL x3, REAL y3, REAL x4,
                                REAL y4) {
  const PointF points[4] = {{x1, y1}, {x2, y2}, {x3, y3}, {x4, y4}};
  return GdipAddPathBeziers(path, points, 4);
}

Status WINAPI GdipAddPathBeziers(GpPath* path, const PointF* points, INT count) {
  return with_path(path, [&](PathData& p) {
    std::vector<PointD> pts;
    if (!read_points(points, count, 4, &pts) || (count - 1) % 3 != 0) return InvalidParameter;
    path_add_beziers(p, pts.data(), pts.size());
    return Ok;
  });
}

Status WINAPI GdipAddPathCurve2(GpPath* path, const PointF* points, INT count, REAL tension) {
  return with_path(path, [&](PathData& p) {
    std::vector<PointD> pts;
    if (!read_points(points, count, 2, &pts) || !finite({tension})) return InvalidParameter;
    path_add_curve(p, pts.data(), pts.size(), tension, false);
    return Ok;
  });
}

Status WINAPI GdipAddPathClosedCurve2(GpPath* path, const PointF* points, INT count, REAL tension) {
  return with_path(path, [&](PathData& p) {
    std::vector<PointD> pts;
    if (!read_points(points, count, 3, &pts) || !finite({tension})) return InvalidParameter;
    path_add_curve(p, pts.data(), pts.size(), tension, true);
    return Ok;
  });
}

Status WINAPI GdipAddPathRectangle(GpPath* path, REAL x, REAL y, REAL width, REAL height) {
  return with_path(path, [&](PathData& p) {
    if (!finite({x, y, width, height})) return InvalidParameter;
    path_add_rectangle(p, x, y, width, height);
    return Ok;
  });
}

Status WINAPI GdipAddPathEllipse(GpPath* path, REAL x, REAL y, REAL width, REAL height) {
  return with_path(path, [&](PathData& p) {
    if (!finite({x, y, width, height})) return InvalidParameter;
    path_add_ellipse(p, x, y, width, height);
    return Ok;
  });
}

Status WINAPI GdipAddPathPie(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                             REAL sweepAngle) {
  return with_path(path, [&](PathData& p) {
    if (!finite({x, y, width, height, startAngle, sweepAngle}) || width <= 0 || height <= 0) return InvalidParameter;
    path_add_pie(p, x, y, width, height, startAngle, sweepAngle);
    return Ok;
  });
}

Status WINAPI GdipAddPathPolygon(GpPath* path, const PointF* points, INT count) {
  return with_path(path, [&](PathData& p) {
    std::vector<PointD> pts;
    if (!read_points(points, count, 3, &pts)) return InvalidParameter;
    path_add_polygon(p, pts.data(), pts.size());
    return Ok;
  });
}

Status WINAPI GdipAddPathPath(GpPath* path, const GpPath* addingPath, BOOL connect) {
  return with_path(path, [&](PathData& p) {
    if (!addingPath) return InvalidParameter;
    const PathData add = *impl(addingPath);  // a copy: the path may be added to itself
    for (size_t i = 0; i < add.points.size(); ++i) {
      BYTE type = add.types[i];
      if (i == 0) {
        if (connect && !p.newFigure && !p.points.empty()) type = (type & ~PathPointTypePathTypeMask) | PathPointTypeLine;
        else type &= ~PathPointTypePathTypeMask;
      }
      p.points.push_back(add.points[i]);
      p.types.push_back(type);
    }
    if (!add.points.empty()) p.newFigure = add.newFigure;
    return Ok;
  });
}

Status WINAPI GdipTransformPath(GpPath* path, GpMatrix* matrix) {
  return with_path(path, [&](PathData& p) {
    if (!matrix) return Ok;  // as GDI+: no matrix, no change
    const zx::resample::Affine a = impl(matrix)->affine();
    for (PointF& point : p.points) point = to_float(apply(a, {point.X, point.Y}));
    return Ok;
  });
}

Status WINAPI GdipGetPathWorldBounds(GpPath* path, RectF* bounds, const GpMatrix* matrix, const GpPen*) {
  return with_path(path, [&](PathData& p) {
    if (!bounds) return InvalidParameter;
    const zx::resample::Affine a = matrix ? impl(matrix)->affine() : zx::resample::Affine{};
    if (p.points.empty()) {
      *bounds = RectF();
      return Ok;
    }
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (const PointF& point : p.points) {
      const PointD q = apply(a, {point.X, point.Y});
      x0 = std::min(x0, q.x), y0 = std::min(y0, q.y), x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
    }
    *bounds = RectF(REAL(x0), REAL(y0), REAL(x1 - x0), REAL(y1 - y0));
    return Ok;
  });
}

}  // namespace Gdiplus::DllExports
