// Zentarix GDI+ layer — MIT licence.
// Flat API of pens.
#include <algorithm>
#include <cmath>

#include "guard.h"
#include "vector_data.h"

using namespace Gdiplus;
using namespace zx::gdip;

namespace {

bool valid_cap(LineCap cap) {
  return (cap >= LineCapFlat && cap <= LineCapTriangle) || (cap >= LineCapNoAnchor && cap <= LineCapArrowAnchor);
}
bool valid_dash_cap(DashCap cap) { return cap == DashCapFlat || cap == DashCapRound || cap == DashCapTriangle; }
bool valid_width(REAL width) { return std::isfinite(width) && width >= 0; }

template <class Body>
Status with_pen(GpPen* pen, Body&& body) {
  return guarded([&] {
    if (!pen) return InvalidParameter;
    return body(*impl(pen));
  });
}

Status make_pen(const BrushData& fill, REAL width, Unit unit, GpPen** pen) {
  return guarded([&] {
    if (!pen || !valid_width(width) || (unit != UnitWorld && unit != UnitPixel)) return InvalidParameter;
    auto data = std::make_unique<PenData>();
    data->width = width;
    data->fill = fill;
    *pen = reinterpret_cast<GpPen*>(data.release());
    return Ok;
  });
}

}  // namespace

namespace Gdiplus::DllExports {

Status WINAPI GdipCreatePen1(ARGB color, REAL width, Unit unit, GpPen** pen) {
  BrushData fill;
  fill.colour = color;
  return make_pen(fill, width, unit, pen);
}

Status WINAPI GdipCreatePen2(GpBrush* brush, REAL width, Unit unit, GpPen** pen) {
  if (!brush) return InvalidParameter;
  return make_pen(*impl(brush), width, unit, pen);
}

Status WINAPI GdipClonePen(GpPen* pen, GpPen** clone) {
  return guarded([&] {
    if (!pen || !clone) return InvalidParameter;
    *clone = reinterpret_cast<GpPen*>(new PenData(*impl(pen)));
    return Ok;
  });
}

Status WINAPI GdipDeletePen(GpPen* pen) {
  if (!pen) return InvalidParameter;
  delete impl(pen);
  return Ok;
}

Status WINAPI GdipSetPenWidth(GpPen* pen, REAL width) {
  return with_pen(pen, [&](PenData& p) {
    if (!valid_width(width)) return InvalidParameter;
    p.width = width;
    return Ok;
  });
}

Status WINAPI GdipGetPenWidth(GpPen* pen, REAL* width) {
  return with_pen(pen, [&](PenData& p) {
    if (!width) return InvalidParameter;
    *width = p.width;
    return Ok;
  });
}

Status WINAPI GdipSetPenColor(GpPen* pen, ARGB argb) {
  return with_pen(pen, [&](PenData& p) {
    p.fill = BrushData{};
    p.fill.colour = argb;
    return Ok;
  });
}

Status WINAPI GdipGetPenColor(GpPen* pen, ARGB* argb) {
  return with_pen(pen, [&](PenData& p) {
    if (!argb || p.fill.type != BrushTypeSolidColor) return InvalidParameter;
    *argb = p.fill.colour;
    return Ok;
  });
}

Status WINAPI GdipSetPenBrushFill(GpPen* pen, GpBrush* brush) {
  return with_pen(pen, [&](PenData& p) {
    if (!brush) return InvalidParameter;
    p.fill = *impl(brush);
    return Ok;
  });
}

Status WINAPI GdipGetPenFillType(GpPen* pen, PenType* type) {
  return with_pen(pen, [&](PenData& p) {
    if (!type) return InvalidParameter;
    *type = static_cast<PenType>(p.fill.type);
    return Ok;
  });
}

Status WINAPI GdipSetPenLineCap197819(GpPen* pen, LineCap startCap, LineCap endCap, DashCap dashCap) {
  return with_pen(pen, [&](PenData& p) {
    if (!valid_cap(startCap) || !valid_cap(endCap) || !valid_dash_cap(dashCap)) return InvalidParameter;
    p.startCap = startCap;
    p.endCap = endCap;
    p.dashCap = dashCap;
    return Ok;
  });
}

Status WINAPI GdipSetPenStartCap(GpPen* pen, LineCap startCap) {
  return with_pen(pen, [&](PenData& p) {
    if (!valid_cap(startCap)) return InvalidParameter;
    p.startCap = startCap;
    return Ok;
  });
}

Status WINAPI GdipSetPenEndCap(GpPen* pen, LineCap endCap) {
  return with_pen(pen, [&](PenData& p) {
    if (!valid_cap(endCap)) return InvalidParameter;
    p.endCap = endCap;
    return Ok;
  });
}

Status WINAPI GdipGetPenStartCap(GpPen* pen, LineCap* startCap) {
  return with_pen(pen, [&](PenData& p) {
    if (!startCap) return InvalidParameter;
    *startCap = p.startCap;
    return Ok;
  });
}

Status WINAPI GdipGetPenEndCap(GpPen* pen, LineCap* endCap) {
  return with_pen(pen, [&](PenData& p) {
    if (!endCap) return InvalidParameter;
    *endCap = p.endCap;
    return Ok;
  });
}

Status WINAPI GdipSetPenDashCap197819(GpPen* pen, DashCap dashCap) {
  return with_pen(pen, [&](PenData& p) {
    if (!valid_dash_cap(dashCap)) return InvalidParameter;
    p.dashCap = dashCap;
    return Ok;
  });
}

Status WINAPI GdipGetPenDashCap197819(GpPen* pen, DashCap* dashCap) {
  return with_pen(pen, [&](PenData& p) {
    if (!dashCap) return InvalidParameter;
    *dashCap = p.dashCap;
    return Ok;
  });
}

Status WINAPI GdipSetPenLineJoin(GpPen* pen, LineJoin lineJoin) {
  return with_pen(pen, [&](PenData& p) {
    if (lineJoin < LineJoinMiter || lineJoin > LineJoinMiterClipped) return InvalidParameter;
    p.join = lineJoin;
    return Ok;
  });
}

Status WINAPI GdipGetPenLineJoin(GpPen* pen, LineJoin* lineJoin) {
  return with_pen(pen, [&](PenData& p) {
    if (!lineJoin) return InvalidParameter;
    *lineJoin = p.join;
    return Ok;
  });
}

Status WINAPI GdipSetPenMiterLimit(GpPen* pen, REAL miterLimit) {
  return with_pen(pen, [&](PenData& p) {
    if (!std::isfinite(miterLimit)) return InvalidParameter;
    p.miterLimit = std::max(miterLimit, 1.0f);
    return Ok;
  });
}

Status WINAPI GdipGetPenMiterLimit(GpPen* pen, REAL* miterLimit) {
  return with_pen(pen, [&](PenData& p) {
    if (!miterLimit) return InvalidParameter;
    *miterLimit = p.miterLimit;
    return Ok;
  });
}

Status WINAPI GdipSetPenDashStyle(GpPen* pen, DashStyle dashStyle) {
  return with_pen(pen, [&](PenData& p) {
    if (dashStyle < DashStyleSolid || dashStyle > DashStyleCustom) return InvalidParameter;
    p.dashStyle = dashStyle;
    return Ok;
  });
}

Status WINAPI GdipGetPenDashStyle(GpPen* pen, DashStyle* dashStyle) {
  return with_pen(pen, [&](PenData& p) {
    if (!dashStyle) return InvalidParameter;
    *dashStyle = p.dashStyle;
    return Ok;
  });
}

Status WINAPI GdipSetPenDashOffset(GpPen* pen, REAL offset) {
  return with_pen(pen, [&](PenData& p) {
    if (!std::isfinite(offset)) return InvalidParameter;
    p.dashOffset = offset;
    return Ok;
  });
}

Status WINAPI GdipGetPenDashOffset(GpPen* pen, REAL* offset) {
  return with_pen(pen, [&](PenData& p) {
    if (!offset) return InvalidParameter;
    *offset = p.dashOffset;
    return Ok;
  });
}

Status WINAPI GdipSetPenDashArray(GpPen* pen, const REAL* dash, INT count) {
  return with_pen(pen, [&](PenData& p) {
    if (!dash || count <= 0) return InvalidParameter;
    if (!std::all_of(dash, dash + count, [](REAL d) { return std::isfinite(d) && d > 0; })) return InvalidParameter;
    p.dashArray.assign(dash, dash + count);
    p.dashStyle = DashStyleCustom;
    return Ok;
  });
}

Status WINAPI GdipGetPenDashCount(GpPen* pen, INT* count) {
  return with_pen(pen, [&](PenData& p) {
    if (!count) return InvalidParameter;
    *count = static_cast<INT>(p.dashArray.size());
    return Ok;
  });
}

Status WINAPI GdipGetPenDashArray(GpPen* pen, REAL* dash, INT count) {
  return with_pen(pen, [&](PenData& p) {
    if (!dash || count < static_cast<INT>(p.dashArray.size())) return InvalidParameter;
    std::copy(p.dashArray.begin(), p.dashArray.end(), dash);
    return Ok;
  });
}

}  // namespace Gdiplus::DllExports
