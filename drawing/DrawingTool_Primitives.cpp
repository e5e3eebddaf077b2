// Zentarix — MIT licence.
// DrawingTool: the Set* methods, from argument checks to the primitive joining the list.
#include "DrawingMessages.h"
#include "DrawingTool.h"
#include "PointArrays.h"

namespace zx::drawing {

using namespace Gdiplus;

namespace {

// Ellipses, rectangles, arcs and pies need a positive width and height (NaN is not positive).
bool positive(FLOAT width, FLOAT height) { return width > 0 && height > 0; }

bool valid_fill_mode(FillModes mode) { return mode == fmAlternate || mode == fmWinding; }

}  // namespace

HRESULT DrawingTool::make_brush(IDispatch* given, std::unique_ptr<Brush>* out) {
  switch (convert_brush(given ? given : m_brush.get(), out)) {
    case BrushResult::Made: return S_OK;
    case BrushResult::WrongClass: return report(messages::kWrongBrushPassed, E_INVALIDARG);
    default: return report(transforms::with_support(messages::kSomethingWrongWithBrush), E_INVALIDARG);
  }
}

HRESULT DrawingTool::record(const OLECHAR* cannotAdd, bool fillable, IDispatch* pen, IDispatch* brush,
                            VARIANT_BOOL filled, ShapeGeometry geometry) {
  if (m_primitives.size() == m_primitives.capacity()) m_primitives.reserve(m_primitives.size() + 128);
  std::unique_ptr<Primitive> primitive;
  try {
    primitive = make_shape(std::move(geometry));
  } catch (const std::bad_alloc&) {
    return report(cannotAdd, E_FAIL);
  }
  if (pen) {
    ComPtr<IDrawingPen> drawingPen;
    if (const HRESULT hr = pen->QueryInterface(IID_IDrawingPen, drawingPen.put_void()); FAILED(hr))
      return report(messages::kInvalidPen, hr);
    if (!convert_pen(drawingPen.get(), &primitive->pen))
      return report(transforms::with_support(messages::kCannotConvertPen), E_INVALIDARG);
  } else if (!convert_pen(m_pen.get(), &primitive->pen)) {
    return report(transforms::with_support(messages::kCannotConvertDefaultPen), E_INVALIDARG);
  }
  if (fillable) {
    if (const HRESULT hr = make_brush(brush, &primitive->brush); FAILED(hr)) return hr;
  }
  primitive->filled = filled != VARIANT_FALSE;
  if (const HRESULT hr = draw_on_targets(*primitive); FAILED(hr)) return hr;
  m_primitives.push_back(std::move(primitive));
  return S_OK;
}

HRESULT DrawingTool::points(const VARIANT& array, bool polyline, size_t minimum, std::vector<PointF>* out) {
  // The array is the caller's memory: parsed under the fault guard.
  const std::optional<PointsResult> parsed = server::guarded_call(parse_points, array, out);
  const std::u16string notNumbers =
      polyline ? std::u16string(messages::kNumbersOnly) : transforms::with_support(messages::kPointsParsing);
  if (!parsed) return report(transforms::with_support(messages::kPointsParsing), server::ZX_E_NOT_NUMBERS);
  switch (*parsed) {
    case PointsResult::NotPointArray: return report(messages::kWrongPointsArray, E_INVALIDARG);
    case PointsResult::WrongShape: return report(messages::kWrongArrayOfPoints, E_INVALIDARG);
    case PointsResult::NotNumber: return report(notNumbers, server::ZX_E_NOT_NUMBERS);
    case PointsResult::Parsed: break;
  }
  if (out->size() < minimum) return report(messages::kAtLeastThreePoints, E_INVALIDARG);
  return S_OK;
}

HRESULT DrawingTool::SetEllipseViaRect(FLOAT LeftTopX, FLOAT LeftTopY, FLOAT Width, FLOAT Height, FLOAT Angle,
                                       VARIANT_BOOL IsFilled, IDispatch* DrawingPen, IDispatch* DrawingBrush) {
  if (!positive(Width, Height)) return E_INVALIDARG;
  return server::com_call([&] {
    ShapeGeometry g;
    g.kind = ShapeKind::Ellipse;
    g.rect = RectF(LeftTopX, LeftTopY, Width, Height);
    g.angle = Angle;
    return record(messages::kCannotAddEllipse, true, DrawingPen, DrawingBrush, IsFilled, std::move(g));
  });
}

HRESULT DrawingTool::SetEllipseViaRadius(FLOAT CenterX, FLOAT CenterY, FLOAT HorizontalRadius, FLOAT VerticalRadius,
                                         FLOAT Angle, VARIANT_BOOL IsFilled, IDispatch* DrawingPen,
                                         IDispatch* DrawingBrush) {
  if (!positive(HorizontalRadius, VerticalRadius)) return E_INVALIDARG;
  return SetEllipseViaRect(CenterX - HorizontalRadius, CenterY - VerticalRadius, 2 * HorizontalRadius,
                           2 * VerticalRadius, Angle, IsFilled, DrawingPen, DrawingBrush);
}

HRESULT DrawingTool::SetLine(FLOAT X1, FLOAT Y1, FLOAT X2, FLOAT Y2, IDispatch* DrawingPen) {
  return server::com_call([&] {
    ShapeGeometry g;
    g.kind = ShapeKind::Line;
    g.points = {PointF(X1, Y1), PointF(X2, Y2)};
    return record(messages::kCannotAddLine, false, DrawingPen, nullptr, VARIANT_FALSE, std::move(g));
  });
}

HRESULT DrawingTool::SetRectangle(FLOAT LeftTopX, FLOAT LeftTopY, FLOAT Width, FLOAT Height, FLOAT Angle,
                                  VARIANT_BOOL IsFilled, IDispatch* DrawingPen, IDispatch* DrawingBrush) {
  if (!positive(Width, Height)) return E_INVALIDARG;
  return server::com_call([&] {
    ShapeGeometry g;
    g.kind = ShapeKind::Rectangle;
    g.rect = RectF(LeftTopX, LeftTopY, Width, Height);
    g.angle = Angle;
    return record(messages::kCannotAddRectangle, true, DrawingPen, DrawingBrush, IsFilled, std::move(g));
  });
}

HRESULT DrawingTool::SetBezierSpline(FLOAT StartX, FLOAT StartY, FLOAT Control1X, FLOAT Control1Y, FLOAT Control2X,
                                     FLOAT Control2Y, FLOAT EndX, FLOAT EndY, IDispatch* DrawingPen) {
  return server::com_call([&] {
    ShapeGeometry g;
    g.kind = ShapeKind::Bezier;
    g.points = {PointF(StartX, StartY), PointF(Control1X, Control1Y), PointF(Control2X, Control2Y), PointF(EndX, EndY)};
    return record(messages::kCannotAddBezier, false, DrawingPen, nullptr, VARIANT_FALSE, std::move(g));
  });
}

HRESULT DrawingTool::SetPolyline(VARIANT PointsArray, IDispatch* DrawingPen) {
  return server::com_call([&] {
    ShapeGeometry g;
    g.kind = ShapeKind::Polyline;
    if (const HRESULT hr = points(PointsArray, true, 0, &g.points); FAILED(hr)) return hr;
    return record(messages::kCannotAddPolyline, false, DrawingPen, nullptr, VARIANT_FALSE, std::move(g));
  });
}

HRESULT DrawingTool::SetPolygon(VARIANT PointsArray, VARIANT_BOOL IsFilled, FillModes FillingOption,
                                IDispatch* DrawingPen, IDispatch* DrawingBrush) {
  return server::com_call([&] {
    ShapeGeometry g;
    g.kind = ShapeKind::Polygon;
    if (const HRESULT hr = points(PointsArray, false, 0, &g.points); FAILED(hr)) return hr;
    if (!valid_fill_mode(FillingOption)) return report(transforms::with_support(messages::kWrongFillingMode), E_FAIL);
    g.fillMode = static_cast<FillMode>(FillingOption);
    return record(messages::kCannotAddPolygon, true, DrawingPen, DrawingBrush, IsFilled, std::move(g));
  });
}

HRESULT DrawingTool::SetOpenedCurve(VARIANT PointsArray, FLOAT Tension, IDispatch* DrawingPen) {
  return server::com_call([&] {
    ShapeGeometry g;
    g.kind = ShapeKind::OpenCurve;
    if (const HRESULT hr = points(PointsArray, false, 3, &g.points); FAILED(hr)) return hr;
    g.tension = Tension;
    return record(messages::kCannotAddOpenedCurve, false, DrawingPen, nullptr, VARIANT_FALSE, std::move(g));
  });
}

HRESULT DrawingTool::SetClosedCurve(VARIANT PointsArray, FLOAT Tension, VARIANT_BOOL IsFilled,
                                    FillModes FillingOption, IDispatch* DrawingPen, IDispatch* DrawingBrush) {
  return server::com_call([&] {
    ShapeGeometry g;
    g.kind = ShapeKind::ClosedCurve;
    if (const HRESULT hr = points(PointsArray, false, 3, &g.points); FAILED(hr)) return hr;
    if (!valid_fill_mode(FillingOption)) return report(transforms::with_support(messages::kWrongFillingMode), E_FAIL);
    g.tension = Tension;
    g.fillMode = static_cast<FillMode>(FillingOption);
    return record(messages::kCannotAddClosedCurve, true, DrawingPen, DrawingBrush, IsFilled, std::move(g));
  });
}

HRESULT DrawingTool::SetArcViaRectAndVectors(FLOAT LeftTopX, FLOAT LeftTopY, FLOAT Width, FLOAT Height, FLOAT X1,
                                             FLOAT Y1, FLOAT X2, FLOAT Y2, IDispatch* DrawingPen) {
  if (!positive(Width, Height)) return E_INVALIDARG;
  const RectF rect(LeftTopX, LeftTopY, Width, Height);
  FLOAT start = 0, sweep = 0;
  angles_from_vectors(rect, X1, Y1, X2, Y2, &start, &sweep);
  return SetArcViaRectAndAngles(LeftTopX, LeftTopY, Width, Height, start, sweep, DrawingPen);
}

HRESULT DrawingTool::SetArcViaRectAndAngles(FLOAT LeftTopX, FLOAT LeftTopY, FLOAT Width, FLOAT Height,
                                            FLOAT StartAngle, FLOAT SweepAngle, IDispatch* DrawingPen) {
  if (!positive(Width, Height)) return E_INVALIDARG;
  return server::com_call([&] {
    ShapeGeometry g;
    g.kind = ShapeKind::Arc;
    g.rect = RectF(LeftTopX, LeftTopY, Width, Height);
    g.start = StartAngle;
    g.sweep = SweepAngle;
    return record(messages::kCannotAddArc, false, DrawingPen, nullptr, VARIANT_FALSE, std::move(g));
  });
}

HRESULT DrawingTool::SetPieViaRectAndVectors(FLOAT LeftTopX, FLOAT LeftTopY, FLOAT Width, FLOAT Height, FLOAT X1,
                                             FLOAT Y1, FLOAT X2, FLOAT Y2, VARIANT_BOOL IsFilled,
                                             IDispatch* DrawingPen, IDispatch* DrawingBrush) {
  if (!positive(Width, Height)) return E_INVALIDARG;
  const RectF rect(LeftTopX, LeftTopY, Width, Height);
  FLOAT start = 0, sweep = 0;
  angles_from_vectors(rect, X1, Y1, X2, Y2, &start, &sweep);
  return SetPieViaRectAndAngles(LeftTopX, LeftTopY, Width, Height, start, sweep, IsFilled, DrawingPen, DrawingBrush);
}

HRESULT DrawingTool::SetPieViaRectAndAngles(FLOAT LeftTopX, FLOAT LeftTopY, FLOAT Width, FLOAT Height,
                                            FLOAT StartAngle, FLOAT SweepAngle, VARIANT_BOOL IsFilled,
                                            IDispatch* DrawingPen, IDispatch* DrawingBrush) {
  if (!positive(Width, Height)) return E_INVALIDARG;
  return server::com_call([&] {
    ShapeGeometry g;
    g.kind = ShapeKind::Pie;
    g.rect = RectF(LeftTopX, LeftTopY, Width, Height);
    g.start = StartAngle;
    g.sweep = SweepAngle;
    return record(messages::kCannotAddPie, true, DrawingPen, DrawingBrush, IsFilled, std::move(g));
  });
}

HRESULT DrawingTool::SetText(BSTR Text, FLOAT X, FLOAT Y, FLOAT Angle, IDispatch* DrawingFont,
                             IDispatch* DrawingBrush) {
  return server::com_call([&] {
    if (m_primitives.size() == m_primitives.capacity()) m_primitives.reserve(m_primitives.size() + 128);
    // The text info given, else the default one; either takes the tool's unit.
    ComPtr<ITextInfo> info = m_textInfo;
    if (DrawingFont) {
      info.reset();
      if (const HRESULT hr = DrawingFont->QueryInterface(IID_ITextInfo, info.put_void()); FAILED(hr))
        return report(messages::kWrongTextInfo, hr);
    }
    info->put_Unit(m_unit);
    TextSettings settings;
    if (convert_text(info.get(), &settings) != Ok) return report(messages::kCannotUseFont, E_FAIL);
    std::unique_ptr<Primitive> primitive;
    try {
      primitive = make_text(std::u16string(Text ? std::u16string_view(Text, SysStringLen(Text)) : u""), X, Y, Angle,
                            std::move(settings));
    } catch (const std::bad_alloc&) {
      return report(messages::kCannotAddText, E_FAIL);
    }
    if (const HRESULT hr = make_brush(DrawingBrush, &primitive->brush); FAILED(hr)) return hr;
    if (const HRESULT hr = draw_on_targets(*primitive); FAILED(hr)) return hr;
    m_primitives.push_back(std::move(primitive));
    return S_OK;
  });
}

}  // namespace zx::drawing
