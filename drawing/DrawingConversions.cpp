// Zentarix — MIT licence.
// Settings objects into GDI+ pens, brushes, fonts and string formats.
#include "DrawingConversions.h"

#include <cmath>

#include "PointArrays.h"
#include "zx/com.h"

namespace zx::drawing {
namespace {

using namespace Gdiplus;

// The LineCapTypes positions 0-8 as GDI+ caps.
bool line_cap(LineCapTypes cap, LineCap* out) {
  static constexpr LineCap kCaps[] = {LineCapFlat,         LineCapSquare,        LineCapRound,
                                      LineCapTriangle,     LineCapNoAnchor,      LineCapSquareAnchor,
                                      LineCapRoundAnchor,  LineCapDiamondAnchor, LineCapArrowAnchor};
  if (cap < 0 || cap > lctArrowAnchor) return false;
  *out = kCaps[cap];
  return true;
}

BrushResult solid_brush(IDrawingSolidBrush* brush, std::unique_ptr<Brush>* out) {
  LONG color = 0;
  if (FAILED(brush->get_color(&color))) return BrushResult::Failed;
  *out = std::make_unique<SolidBrush>(Color(static_cast<ARGB>(color)));
  return (*out)->GetLastStatus() == Ok ? BrushResult::Made : BrushResult::Failed;
}

BrushResult hatch_brush(IDrawingHatchBrush* brush, std::unique_ptr<Brush>* out) {
  LONG fore = 0, back = 0;
  HatchTypes type = htHorizontal;
  if (FAILED(brush->get_HatchColor(&fore)) || FAILED(brush->get_BackgroundColor(&back)) ||
      FAILED(brush->get_HatchType(&type)))
    return BrushResult::Failed;
  *out = std::make_unique<HatchBrush>(static_cast<HatchStyle>(type), Color(static_cast<ARGB>(fore)),
                                      Color(static_cast<ARGB>(back)));
  return (*out)->GetLastStatus() == Ok ? BrushResult::Made : BrushResult::Failed;
}

BrushResult texture_brush(IDrawingTextureBrush* brush, std::unique_ptr<Brush>* out) {
  ComPtr<IRasterObject> texture;
  FLOAT scale = 1, rotate = 0;
  WrapModes wrap = wmTile;
  if (FAILED(brush->get_Texture(texture.put())) || FAILED(brush->get_ScaleFactor(&scale)) ||
      FAILED(brush->get_RotateFactor(&rotate)) || FAILED(brush->get_WrapMode(&wrap)))
    return BrushResult::Failed;
  ComPtr<IRasterObjectInternal> internal;
  LONG* bitmap = nullptr;
  if (!texture || FAILED(texture.query(internal)) || FAILED(internal->GetDataPointer(&bitmap)) || !bitmap)
    return BrushResult::NoTexture;
  if (wrap < wmTile || wrap > wmClamp) return BrushResult::Failed;
  auto made = std::make_unique<TextureBrush>(reinterpret_cast<Bitmap*>(bitmap), static_cast<WrapMode>(wrap));
  if (made->GetLastStatus() != Ok) return BrushResult::Failed;
  if (scale != 1.0f && made->ScaleTransform(scale, scale) != Ok) return BrushResult::Failed;
  if (rotate != 0.0f && made->RotateTransform(rotate) != Ok) return BrushResult::Failed;
  *out = std::move(made);
  return BrushResult::Made;
}

}  // namespace

bool gdiplus_unit(DrawingToolUnits unit, Unit* out) {
  static constexpr Unit kUnits[] = {UnitPixel, UnitPoint, UnitInch, UnitDocument, UnitMillimeter};
  if (unit < dtuPixel || unit > dtuMillimeter) return false;
  *out = kUnits[unit];
  return true;
}

bool convert_pen(IDrawingPen* pen, std::unique_ptr<Pen>* out) {
  FLOAT width = 0, miterLimit = 0;
  LONG color = 0;
  DashStyleTypes dash = dstSolid;
  LineCapTypes startCap = lctFlat, endCap = lctFlat;
  LineJoinTypes join = ljtBevel;
  DashCapTypes dashCap = dctFlat;
  if (!pen || FAILED(pen->get_Width(&width)) || FAILED(pen->get_color(&color)) || FAILED(pen->get_DashType(&dash)) ||
      FAILED(pen->get_StartCapType(&startCap)) || FAILED(pen->get_EndCapType(&endCap)) ||
      FAILED(pen->get_LineJoinBehaviour(&join)) || FAILED(pen->get_MiterLimit(&miterLimit)) ||
      FAILED(pen->get_DashCapType(&dashCap)))
    return false;
  LineCap start, end;
  static constexpr DashCap kDashCaps[] = {DashCapFlat, DashCapRound, DashCapTriangle};
  if (dash < dstSolid || dash > dstDashDotDot || join < ljtMiter || join > ljtMiterClipped || dashCap < dctFlat ||
      dashCap > dctTriangle || !line_cap(startCap, &start) || !line_cap(endCap, &end))
    return false;
  auto made = std::make_unique<Pen>(Color(static_cast<ARGB>(color)), width);
  made->SetMiterLimit(miterLimit);
  made->SetDashStyle(static_cast<DashStyle>(dash));
  made->SetLineJoin(static_cast<LineJoin>(join));
  made->SetLineCap(start, end, kDashCaps[dashCap]);
  if (made->GetLastStatus() != Ok) return false;
  *out = std::move(made);
  return true;
}

BrushResult convert_brush(IUnknown* brush, std::unique_ptr<Brush>* out) {
  if (!brush) return BrushResult::WrongClass;
  ComPtr<IDrawingSolidBrush> solid;
  if (SUCCEEDED(brush->QueryInterface(IID_IDrawingSolidBrush, solid.put_void()))) return solid_brush(solid.get(), out);
  ComPtr<IDrawingHatchBrush> hatch;
  if (SUCCEEDED(brush->QueryInterface(IID_IDrawingHatchBrush, hatch.put_void()))) return hatch_brush(hatch.get(), out);
  ComPtr<IDrawingTextureBrush> texture;
  if (SUCCEEDED(brush->QueryInterface(IID_IDrawingTextureBrush, texture.put_void())))
    return texture_brush(texture.get(), out);
  return BrushResult::WrongClass;
}

Status convert_text(ITextInfo* info, TextSettings* out) {
  Bstr name;
  FLOAT size = 0;
  VARIANT_BOOL bold = 0, italic = 0, underlined = 0, struck = 0, vertical = 0;
  AlignmentTypes alignment = atLeft;
  DrawingToolUnits unit = dtuPixel;
  Variant kernings;
  if (!info || FAILED(info->get_FontName(name.put())) || FAILED(info->get_FontSize(&size)) ||
      FAILED(info->get_IsBold(&bold)) || FAILED(info->get_IsItalic(&italic)) ||
      FAILED(info->get_IsUnderlined(&underlined)) || FAILED(info->get_IsStrikeOut(&struck)) ||
      FAILED(info->get_IsVertical(&vertical)) || FAILED(info->get_TextAlignment(&alignment)) ||
      FAILED(info->get_FontTracking(&out->tracking)) || FAILED(info->get_Kernings(kernings.put())) ||
      FAILED(info->get_Unit(&unit)))
    return InvalidParameter;
  if (!gdiplus_unit(unit, &out->unit) || alignment < atLeft || alignment > atRight) return InvalidParameter;
  if (!kerning_values(kernings, &out->kernings)) return InvalidParameter;
  const INT style = (bold ? FontStyleBold : 0) | (italic ? FontStyleItalic : 0) |
                    (underlined ? FontStyleUnderline : 0) | (struck ? FontStyleStrikeout : 0);
  const std::u16string family(name.view());
  FontFamily fontFamily(family.c_str());
  if (const Status status = fontFamily.GetLastStatus(); status != Ok) return status;
  out->font = std::make_unique<Font>(&fontFamily, size, style, out->unit);
  if (const Status status = out->font->GetLastStatus(); status != Ok) return status;
  out->format = std::make_unique<StringFormat>(vertical ? StringFormatFlagsDirectionVertical : 0);
  static constexpr StringAlignment kAlignments[] = {StringAlignmentNear, StringAlignmentCenter, StringAlignmentFar};
  out->format->SetAlignment(kAlignments[alignment]);
  out->size = size;
  return out->format->GetLastStatus();
}

bool kerning_values(const VARIANT& value, std::vector<double>* out, LONG* lowerBound) {
  VARTYPE type = VT_EMPTY;
  SAFEARRAY* array = array_of(&value, &type);
  if (!array || SafeArrayGetDim(array) != 1) return false;
  const SAFEARRAYBOUND bound = array->rgsabound[0];
  out->clear();
  for (ULONG i = 0; i < bound.cElements; ++i) {
    LONG index = bound.lLbound + LONG(i);
    double number = 0;
    if (!element_number(array, type, &index, &number)) return false;
    out->push_back(number);
  }
  if (lowerBound) *lowerBound = bound.lLbound;
  return true;
}

}  // namespace zx::drawing
