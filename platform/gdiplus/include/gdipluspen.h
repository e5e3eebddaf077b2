// Zentarix GDI+ layer — MIT licence.
// Pens: width, fill, dash styles and caps, line caps (anchors included), joins; flat API and wrapper.
//
// Included by gdiplusgraphics.h. How a pen becomes pixels:
// - Width is in world units; a pen narrower than one device pixel (width 0 included) draws the
//   one-pixel hairline.
// - Dash lengths are multiples of the width: Dash {3, 1}, Dot {1, 1}, DashDot {3, 1, 1, 1},
//   DashDotDot {3, 1, 1, 1, 1, 1}, Custom the pen's own array; the offset shifts the pattern. A dash
//   cap lies inside its dash, so the pattern's on and off lengths stay what they say.
// - Caps: Flat ends at the point, Square and Round reach half the width beyond it, Triangle a point
//   half the width beyond it. The anchor caps are centred on the end point and sized from the width:
//   SquareAnchor a square of side 2w, RoundAnchor a circle of diameter 2w, DiamondAnchor a diamond of
//   diagonals 2w, ArrowAnchor an arrow of length and base 2w with its tip at the end point (the line
//   stops short of the tip); NoAnchor is Flat.
// - Joins: Miter cuts a miter that would reach beyond MiterLimit x w / 2 at that distance;
//   MiterClipped bevels such a join instead; Bevel and Round as named. MiterLimit is at least 1.
#pragma once

namespace Gdiplus {

enum DashStyle : int32_t {
  DashStyleSolid = 0,
  DashStyleDash = 1,
  DashStyleDot = 2,
  DashStyleDashDot = 3,
  DashStyleDashDotDot = 4,
  DashStyleCustom = 5
};

enum LineCap : int32_t {
  LineCapFlat = 0,
  LineCapSquare = 1,
  LineCapRound = 2,
  LineCapTriangle = 3,
  LineCapNoAnchor = 0x10,
  LineCapSquareAnchor = 0x11,
  LineCapRoundAnchor = 0x12,
  LineCapDiamondAnchor = 0x13,
  LineCapArrowAnchor = 0x14,
  LineCapCustom = 0xFF,
  LineCapAnchorMask = 0xF0
};

enum DashCap : int32_t { DashCapFlat = 0, DashCapRound = 2, DashCapTriangle = 3 };

enum LineJoin : int32_t { LineJoinMiter = 0, LineJoinBevel = 1, LineJoinRound = 2, LineJoinMiterClipped = 3 };

enum PenType : int32_t {
  PenTypeSolidColor = BrushTypeSolidColor,
  PenTypeHatchFill = BrushTypeHatchFill,
  PenTypeTextureFill = BrushTypeTextureFill,
  PenTypePathGradient = BrushTypePathGradient,
  PenTypeLinearGradient = BrushTypeLinearGradient,
  PenTypeUnknown = -1
};

class GpPen {};

namespace DllExports {
extern "C" {
// unit: UnitWorld or UnitPixel (both taken as world units), else InvalidParameter.
ZX_API Status WINAPI GdipCreatePen1(ARGB color, REAL width, Unit unit, GpPen** pen);
// The pen fills its strokes with a copy of the brush.
ZX_API Status WINAPI GdipCreatePen2(GpBrush* brush, REAL width, Unit unit, GpPen** pen);
ZX_API Status WINAPI GdipClonePen(GpPen* pen, GpPen** clone);
ZX_API Status WINAPI GdipDeletePen(GpPen* pen);
ZX_API Status WINAPI GdipSetPenWidth(GpPen* pen, REAL width);
ZX_API Status WINAPI GdipGetPenWidth(GpPen* pen, REAL* width);
// Replaces the pen's fill with a solid colour.
ZX_API Status WINAPI GdipSetPenColor(GpPen* pen, ARGB argb);
// InvalidParameter unless the pen fills with a solid colour.
ZX_API Status WINAPI GdipGetPenColor(GpPen* pen, ARGB* argb);
ZX_API Status WINAPI GdipSetPenBrushFill(GpPen* pen, GpBrush* brush);
ZX_API Status WINAPI GdipGetPenFillType(GpPen* pen, PenType* type);
ZX_API Status WINAPI GdipSetPenLineCap197819(GpPen* pen, LineCap startCap, LineCap endCap, DashCap dashCap);
ZX_API Status WINAPI GdipSetPenStartCap(GpPen* pen, LineCap startCap);
ZX_API Status WINAPI GdipSetPenEndCap(GpPen* pen, LineCap endCap);
ZX_API Status WINAPI GdipGetPenStartCap(GpPen* pen, LineCap* startCap);
ZX_API Status WINAPI GdipGetPenEndCap(GpPen* pen, LineCap* endCap);
// Values other than Flat, Round and Triangle are InvalidParameter.
ZX_API Status WINAPI GdipSetPenDashCap197819(GpPen* pen, DashCap dashCap);
ZX_API Status WINAPI GdipGetPenDashCap197819(GpPen* pen, DashCap* dashCap);
ZX_API Status WINAPI GdipSetPenLineJoin(GpPen* pen, LineJoin lineJoin);
ZX_API Status WINAPI GdipGetPenLineJoin(GpPen* pen, LineJoin* lineJoin);
ZX_API Status WINAPI GdipSetPenMiterLimit(GpPen* pen, REAL miterLimit);
ZX_API Status WINAPI GdipGetPenMiterLimit(GpPen* pen, REAL* miterLimit);
// Custom selects the pen's dash array (by default {1}); setting an array selects Custom.
ZX_API Status WINAPI GdipSetPenDashStyle(GpPen* pen, DashStyle dashStyle);
ZX_API Status WINAPI GdipGetPenDashStyle(GpPen* pen, DashStyle* dashStyle);
ZX_API Status WINAPI GdipSetPenDashOffset(GpPen* pen, REAL offset);
ZX_API Status WINAPI GdipGetPenDashOffset(GpPen* pen, REAL* offset);
// Every length must be positive (in multiples of the width), count at least 1.
ZX_API Status WINAPI GdipSetPenDashArray(GpPen* pen, const REAL* dash, INT count);
ZX_API Status WINAPI GdipGetPenDashCount(GpPen* pen, INT* count);
ZX_API Status WINAPI GdipGetPenDashArray(GpPen* pen, REAL* dash, INT count);
}
}  // namespace DllExports

class Pen : public LastStatus {
 public:
  Pen(const Color& color, REAL width = 1.0f) {
    SetStatus(DllExports::GdipCreatePen1(color.GetValue(), width, UnitWorld, &m_native));
  }
  Pen(const Brush* brush, REAL width = 1.0f) {
    SetStatus(DllExports::GdipCreatePen2(brush ? brush->m_native : nullptr, width, UnitWorld, &m_native));
  }
  ~Pen() { DllExports::GdipDeletePen(m_native); }
  Pen(const Pen&) = delete;
  Pen& operator=(const Pen&) = delete;

  Pen* Clone() const {
    GpPen* clone = nullptr;
    Status status = DllExports::GdipClonePen(m_native, &clone);
    return new Pen(clone, status);
  }
  Status SetWidth(REAL width) { return SetStatus(DllExports::GdipSetPenWidth(m_native, width)); }
  REAL GetWidth() const {
    REAL width = 0;
    SetStatus(DllExports::GdipGetPenWidth(m_native, &width));
    return width;
  }
  Status SetColor(const Color& color) { return SetStatus(DllExports::GdipSetPenColor(m_native, color.GetValue())); }
  Status GetColor(Color* color) const {
    ARGB argb = 0;
    Status status = SetStatus(DllExports::GdipGetPenColor(m_native, &argb));
    if (status == Ok && color) color->SetValue(argb);
    return status;
  }
  Status SetBrush(const Brush* brush) {
    return SetStatus(DllExports::GdipSetPenBrushFill(m_native, brush ? brush->m_native : nullptr));
  }
  PenType GetPenType() const {
    PenType type = PenTypeUnknown;
    SetStatus(DllExports::GdipGetPenFillType(m_native, &type));
    return type;
  }
  Status SetLineCap(LineCap startCap, LineCap endCap, DashCap dashCap) {
    return SetStatus(DllExports::GdipSetPenLineCap197819(m_native, startCap, endCap, dashCap));
  }
  Status SetStartCap(LineCap cap) { return SetStatus(DllExports::GdipSetPenStartCap(m_native, cap)); }
  Status SetEndCap(LineCap cap) { return SetStatus(DllExports::GdipSetPenEndCap(m_native, cap)); }
  LineCap GetStartCap() const {
    LineCap cap = LineCapFlat;
    SetStatus(DllExports::GdipGetPenStartCap(m_native, &cap));
    return cap;
  }
  LineCap GetEndCap() const {
    LineCap cap = LineCapFlat;
    SetStatus(DllExports::GdipGetPenEndCap(m_native, &cap));
    return cap;
  }
  Status SetDashCap(DashCap cap) { return SetStatus(DllExports::GdipSetPenDashCap197819(m_native, cap)); }
  DashCap GetDashCap() const {
    DashCap cap = DashCapFlat;
    SetStatus(DllExports::GdipGetPenDashCap197819(m_native, &cap));
    return cap;
  }
  Status SetLineJoin(LineJoin join) { return SetStatus(DllExports::GdipSetPenLineJoin(m_native, join)); }
  LineJoin GetLineJoin() const {
    LineJoin join = LineJoinMiter;
    SetStatus(DllExports::GdipGetPenLineJoin(m_native, &join));
    return join;
  }
  Status SetMiterLimit(REAL limit) { return SetStatus(DllExports::GdipSetPenMiterLimit(m_native, limit)); }
  REAL GetMiterLimit() const {
    REAL limit = 0;
    SetStatus(DllExports::GdipGetPenMiterLimit(m_native, &limit));
    return limit;
  }
  Status SetDashStyle(DashStyle style) { return SetStatus(DllExports::GdipSetPenDashStyle(m_native, style)); }
  DashStyle GetDashStyle() const {
    DashStyle style = DashStyleSolid;
    SetStatus(DllExports::GdipGetPenDashStyle(m_native, &style));
    return style;
  }
  Status SetDashOffset(REAL offset) { return SetStatus(DllExports::GdipSetPenDashOffset(m_native, offset)); }
  REAL GetDashOffset() const {
    REAL offset = 0;
    SetStatus(DllExports::GdipGetPenDashOffset(m_native, &offset));
    return offset;
  }
  Status SetDashPattern(const REAL* dashArray, INT count) {
    return SetStatus(DllExports::GdipSetPenDashArray(m_native, dashArray, count));
  }
  INT GetDashPatternCount() const {
    INT count = 0;
    SetStatus(DllExports::GdipGetPenDashCount(m_native, &count));
    return count;
  }
  Status GetDashPattern(REAL* dashArray, INT count) const {
    return SetStatus(DllExports::GdipGetPenDashArray(m_native, dashArray, count));
  }

 private:
  Pen(GpPen* native, Status status) : LastStatus(status), m_native(native) {}
  GpPen* m_native = nullptr;
  friend class Graphics;
};

}  // namespace Gdiplus
