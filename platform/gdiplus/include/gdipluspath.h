// Zentarix GDI+ layer — MIT licence.
// Graphics paths: figures of lines and cubic Béziers built from every GDI+ primitive; flat API and wrapper.
//
// Included by gdiplusgraphics.h. Conventions, as GDI+ defines them:
// - Angles are in degrees, clockwise on the y-down device. For arcs and pies of an ellipse the angle
//   is geometric: the direction of the ray from the centre, not the ellipse's parameter. A sweep is
//   clamped to +-360; arcs become Béziers of at most a quarter turn each.
// - Ellipses start at angle 0 (the right end of the rectangle) and run clockwise in four Béziers;
//   rectangles start at the top-left corner and run clockwise.
// - Cardinal splines with tension T: the segment from P[i] to P[i+1] is the Bézier with control points
//   P[i] + T/3 (P[i+1] - P[i-1]) and P[i+1] - T/3 (P[i+2] - P[i]); an open curve takes the end
//   points as their own missing neighbours, a closed one wraps around. T 0 gives straight lines.
// - Lines, arcs, Béziers and open curves continue the current figure (joined by a line when they do
//   not start where it ends); rectangles, ellipses, pies, polygons and closed curves are closed
//   figures of their own.
#pragma once

namespace Gdiplus {

enum FillMode : int32_t { FillModeAlternate = 0, FillModeWinding = 1 };

enum PathPointType : BYTE {
  PathPointTypeStart = 0,
  PathPointTypeLine = 1,
  PathPointTypeBezier = 3,
  PathPointTypePathTypeMask = 0x07,
  PathPointTypeDashMode = 0x10,
  PathPointTypePathMarker = 0x20,
  PathPointTypeCloseSubpath = 0x80,
  PathPointTypeBezier3 = 3
};

class GpPath {};

namespace DllExports {
extern "C" {
ZX_API Status WINAPI GdipCreatePath(FillMode fillMode, GpPath** path);
// Points and their types as GdipGetPathPoints / GdipGetPathTypes give them.
ZX_API Status WINAPI GdipCreatePath2(const PointF* points, const BYTE* types, INT count, FillMode fillMode,
                                      GpPath** path);
ZX_API Status WINAPI GdipClonePath(GpPath* path, GpPath** clone);
ZX_API Status WINAPI GdipDeletePath(GpPath* path);
ZX_API Status WINAPI GdipResetPath(GpPath* path);
ZX_API Status WINAPI GdipGetPointCount(GpPath* path, INT* count);
ZX_API Status WINAPI GdipGetPathTypes(GpPath* path, BYTE* types, INT count);
ZX_API Status WINAPI GdipGetPathPoints(GpPath* path, PointF* points, INT count);
ZX_API Status WINAPI GdipGetPathFillMode(GpPath* path, FillMode* fillMode);
ZX_API Status WINAPI GdipSetPathFillMode(GpPath* path, FillMode fillMode);
ZX_API Status WINAPI GdipStartPathFigure(GpPath* path);
ZX_API Status WINAPI GdipClosePathFigure(GpPath* path);
ZX_API Status WINAPI GdipClosePathFigures(GpPath* path);
ZX_API Status WINAPI GdipAddPathLine(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2);
ZX_API Status WINAPI GdipAddPathLine2(GpPath* path, const PointF* points, INT count);
ZX_API Status WINAPI GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                                     REAL sweepAngle);
ZX_API Status WINAPI GdipAddPathBezier(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2, REAL x3, REAL y3, REAL x4,
                                        REAL y4);
// count is 1 + 3n.
ZX_API Status WINAPI GdipAddPathBeziers(GpPath* path, const PointF* points, INT count);
ZX_API Status WINAPI GdipAddPathCurve2(GpPath* path, const PointF* points, INT count, REAL tension);
ZX_API Status WINAPI GdipAddPathClosedCurve2(GpPath* path, const PointF* points, INT count, REAL tension);
ZX_API Status WINAPI GdipAddPathRectangle(GpPath* path, REAL x, REAL y, REAL width, REAL height);
ZX_API Status WINAPI GdipAddPathEllipse(GpPath* path, REAL x, REAL y, REAL width, REAL height);
ZX_API Status WINAPI GdipAddPathPie(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL startAngle,
                                    REAL sweepAngle);
ZX_API Status WINAPI GdipAddPathPolygon(GpPath* path, const PointF* points, INT count);
// connect: the added path's first figure continues the current one.
ZX_API Status WINAPI GdipAddPathPath(GpPath* path, const GpPath* addingPath, BOOL connect);
ZX_API Status WINAPI GdipTransformPath(GpPath* path, GpMatrix* matrix);
// The bounds of the points (control points included) after the matrix, which may be null.
ZX_API Status WINAPI GdipGetPathWorldBounds(GpPath* path, RectF* bounds, const GpMatrix* matrix, const GpPen* pen);
}
}  // namespace DllExports

class GraphicsPath : public LastStatus {
 public:
  explicit GraphicsPath(FillMode fillMode = FillModeAlternate) {
    SetStatus(DllExports::GdipCreatePath(fillMode, &m_native));
  }
  GraphicsPath(const PointF* points, const BYTE* types, INT count, FillMode fillMode = FillModeAlternate) {
    SetStatus(DllExports::GdipCreatePath2(points, types, count, fillMode, &m_native));
  }
  ~GraphicsPath() { DllExports::GdipDeletePath(m_native); }
  GraphicsPath(const GraphicsPath&) = delete;
  GraphicsPath& operator=(const GraphicsPath&) = delete;

  GraphicsPath* Clone() const {
    GpPath* clone = nullptr;
    Status status = DllExports::GdipClonePath(m_native, &clone);
    return new GraphicsPath(clone, status);
  }
  Status Reset() { return SetStatus(DllExports::GdipResetPath(m_native)); }
  INT GetPointCount() const {
    INT count = 0;
    SetStatus(DllExports::GdipGetPointCount(m_native, &count));
    return count;
  }
  Status GetPathTypes(BYTE* types, INT count) const {
    return SetStatus(DllExports::GdipGetPathTypes(m_native, types, count));
  }
  Status GetPathPoints(PointF* points, INT count) const {
    return SetStatus(DllExports::GdipGetPathPoints(m_native, points, count));
  }
  FillMode GetFillMode() const {
    FillMode mode = FillModeAlternate;
    SetStatus(DllExports::GdipGetPathFillMode(m_native, &mode));
    return mode;
  }
  Status SetFillMode(FillMode mode) { return SetStatus(DllExports::GdipSetPathFillMode(m_native, mode)); }
  Status StartFigure() { return SetStatus(DllExports::GdipStartPathFigure(m_native)); }
  Status CloseFigure() { return SetStatus(DllExports::GdipClosePathFigure(m_native)); }
  Status CloseAllFigures() { return SetStatus(DllExports::GdipClosePathFigures(m_native)); }
  Status AddLine(REAL x1, REAL y1, REAL x2, REAL y2) {
    return SetStatus(DllExports::GdipAddPathLine(m_native, x1, y1, x2, y2));
  }
  Status AddLines(const PointF* points, INT count) {
    return SetStatus(DllExports::GdipAddPathLine2(m_native, points, count));
  }
  Status AddArc(const RectF& rect, REAL startAngle, REAL sweepAngle) {
    return SetStatus(
        DllExports::GdipAddPathArc(m_native, rect.X, rect.Y, rect.Width, rect.Height, startAngle, sweepAngle));
  }
  Status AddBezier(const PointF& p1, const PointF& p2, const PointF& p3, const PointF& p4) {
    return SetStatus(DllExports::GdipAddPathBezier(m_native, p1.X, p1.Y, p2.X, p2.Y, p3.X, p3.Y, p4.X, p4.Y));
  }
  Status AddBeziers(const PointF* points, INT count) {
    return SetStatus(DllExports::GdipAddPathBeziers(m_native, points, count));
  }
  Status AddCurve(const PointF* points, INT count, REAL tension = 0.5f) {
    return SetStatus(DllExports::GdipAddPathCurve2(m_native, points, count, tension));
  }
  Status AddClosedCurve(const PointF* points, INT count, REAL tension = 0.5f) {
    return SetStatus(DllExports::GdipAddPathClosedCurve2(m_native, points, count, tension));
  }
  Status AddRectangle(const RectF& rect) {
    return SetStatus(DllExports::GdipAddPathRectangle(m_native, rect.X, rect.Y, rect.Width, rect.Height));
  }
  Status AddEllipse(const RectF& rect) {
    return SetStatus(DllExports::GdipAddPathEllipse(m_native, rect.X, rect.Y, rect.Width, rect.Height));
  }
  Status AddPie(const RectF& rect, REAL startAngle, REAL sweepAngle) {
    return SetStatus(
        DllExports::GdipAddPathPie(m_native, rect.X, rect.Y, rect.Width, rect.Height, startAngle, sweepAngle));
  }
  Status AddPolygon(const PointF* points, INT count) {
    return SetStatus(DllExports::GdipAddPathPolygon(m_native, points, count));
  }
  Status AddPath(const GraphicsPath* path, BOOL connect) {
    return SetStatus(DllExports::GdipAddPathPath(m_native, path ? path->m_native : nullptr, connect));
  }
  Status Transform(const Matrix* matrix) {
    return SetStatus(DllExports::GdipTransformPath(m_native, matrix ? matrix->m_native : nullptr));
  }
  Status GetBounds(RectF* bounds, const Matrix* matrix = nullptr) const {
    return SetStatus(
        DllExports::GdipGetPathWorldBounds(m_native, bounds, matrix ? matrix->m_native : nullptr, nullptr));
  }

 private:
  GraphicsPath(GpPath* native, Status status) : LastStatus(status), m_native(native) {}
  GpPath* m_native = nullptr;
  friend class Graphics;
};

}  // namespace Gdiplus
