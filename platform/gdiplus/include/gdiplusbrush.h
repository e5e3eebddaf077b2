// Zentarix GDI+ layer — MIT licence.
// Brushes: solid colour, the 53 hatch styles and image textures; flat API and SDK-shaped wrappers.
//
// Included by gdiplusgraphics.h. A brush is copied into what it fills at the time of each draw:
// changing a brush later never changes pixels already drawn.
#pragma once

namespace Gdiplus {

enum BrushType : int32_t {
  BrushTypeSolidColor = 0,
  BrushTypeHatchFill = 1,
  BrushTypeTextureFill = 2,
  BrushTypePathGradient = 3,
  BrushTypeLinearGradient = 4
};

// The GDI+ hatch styles, 8 x 8 device pixels each, aligned to the rendering origin of the graphics.
enum HatchStyle : int32_t {
  HatchStyleHorizontal, HatchStyleVertical, HatchStyleForwardDiagonal, HatchStyleBackwardDiagonal, HatchStyleCross,
  HatchStyleDiagonalCross, HatchStyle05Percent, HatchStyle10Percent, HatchStyle20Percent, HatchStyle25Percent,
  HatchStyle30Percent, HatchStyle40Percent, HatchStyle50Percent, HatchStyle60Percent, HatchStyle70Percent,
  HatchStyle75Percent, HatchStyle80Percent, HatchStyle90Percent, HatchStyleLightDownwardDiagonal,
  HatchStyleLightUpwardDiagonal, HatchStyleDarkDownwardDiagonal, HatchStyleDarkUpwardDiagonal,
  HatchStyleWideDownwardDiagonal, HatchStyleWideUpwardDiagonal, HatchStyleLightVertical, HatchStyleLightHorizontal,
  HatchStyleNarrowVertical, HatchStyleNarrowHorizontal, HatchStyleDarkVertical, HatchStyleDarkHorizontal,
  HatchStyleDashedDownwardDiagonal, HatchStyleDashedUpwardDiagonal, HatchStyleDashedHorizontal,
  HatchStyleDashedVertical, HatchStyleSmallConfetti, HatchStyleLargeConfetti, HatchStyleZigZag, HatchStyleWave,
  HatchStyleDiagonalBrick, HatchStyleHorizontalBrick, HatchStyleWeave, HatchStylePlaid, HatchStyleDivot,
  HatchStyleDottedGrid, HatchStyleDottedDiamond, HatchStyleShingle, HatchStyleTrellis, HatchStyleSphere,
  HatchStyleSmallGrid, HatchStyleSmallCheckerBoard, HatchStyleLargeCheckerBoard, HatchStyleOutlinedDiamond,
  HatchStyleSolidDiamond, HatchStyleTotal,
  HatchStyleLargeGrid = HatchStyleCross,
  HatchStyleMin = HatchStyleHorizontal,
  HatchStyleMax = HatchStyleTotal - 1
};

class GpBrush {};
class GpSolidFill : public GpBrush {};
class GpHatch : public GpBrush {};
class GpTexture : public GpBrush {};

namespace DllExports {
extern "C" {
ZX_API Status WINAPI GdipCloneBrush(GpBrush* brush, GpBrush** clone);
ZX_API Status WINAPI GdipDeleteBrush(GpBrush* brush);
ZX_API Status WINAPI GdipGetBrushType(GpBrush* brush, BrushType* type);

ZX_API Status WINAPI GdipCreateSolidFill(ARGB color, GpSolidFill** brush);
ZX_API Status WINAPI GdipSetSolidFillColor(GpSolidFill* brush, ARGB color);
ZX_API Status WINAPI GdipGetSolidFillColor(GpSolidFill* brush, ARGB* color);

// A style outside 0..52 is InvalidParameter.
ZX_API Status WINAPI GdipCreateHatchBrush(HatchStyle style, ARGB forecolor, ARGB backcolor, GpHatch** brush);
ZX_API Status WINAPI GdipGetHatchStyle(GpHatch* brush, HatchStyle* style);
ZX_API Status WINAPI GdipGetHatchForegroundColor(GpHatch* brush, ARGB* color);
ZX_API Status WINAPI GdipGetHatchBackgroundColor(GpHatch* brush, ARGB* color);

// The brush keeps its own copy of the image's pixels (any bitmap format). Texel k of the image lies
// at k in brush space, which the brush transform maps to world space. Images larger than 32767
// pixels on a side are InvalidParameter.
ZX_API Status WINAPI GdipCreateTexture(GpImage* image, WrapMode wrapmode, GpTexture** texture);
ZX_API Status WINAPI GdipSetTextureWrapMode(GpTexture* brush, WrapMode wrapmode);
ZX_API Status WINAPI GdipGetTextureWrapMode(GpTexture* brush, WrapMode* wrapmode);
ZX_API Status WINAPI GdipSetTextureTransform(GpTexture* brush, const GpMatrix* matrix);
ZX_API Status WINAPI GdipGetTextureTransform(GpTexture* brush, GpMatrix* matrix);
ZX_API Status WINAPI GdipResetTextureTransform(GpTexture* brush);
ZX_API Status WINAPI GdipMultiplyTextureTransform(GpTexture* brush, const GpMatrix* matrix, MatrixOrder order);
ZX_API Status WINAPI GdipTranslateTextureTransform(GpTexture* brush, REAL dx, REAL dy, MatrixOrder order);
ZX_API Status WINAPI GdipScaleTextureTransform(GpTexture* brush, REAL sx, REAL sy, MatrixOrder order);
ZX_API Status WINAPI GdipRotateTextureTransform(GpTexture* brush, REAL angle, MatrixOrder order);
}
}  // namespace DllExports

class Brush : public LastStatus {
 public:
  virtual ~Brush() { DllExports::GdipDeleteBrush(m_native); }
  Brush(const Brush&) = delete;
  Brush& operator=(const Brush&) = delete;
  virtual Brush* Clone() const {
    GpBrush* clone = nullptr;
    Status status = DllExports::GdipCloneBrush(m_native, &clone);
    return new Brush(clone, status);
  }
  BrushType GetType() const {
    BrushType type = BrushTypeSolidColor;
    SetStatus(DllExports::GdipGetBrushType(m_native, &type));
    return type;
  }

 protected:
  Brush() = default;
  Brush(GpBrush* native, Status status) : LastStatus(status), m_native(native) {}
  GpBrush* m_native = nullptr;
  friend class Graphics;
  friend class Pen;
};

class SolidBrush : public Brush {
 public:
  explicit SolidBrush(const Color& color) {
    GpSolidFill* brush = nullptr;
    SetStatus(DllExports::GdipCreateSolidFill(color.GetValue(), &brush));
    m_native = brush;
  }
  Status GetColor(Color* color) const {
    ARGB argb = 0;
    Status status = SetStatus(DllExports::GdipGetSolidFillColor(native(), &argb));
    if (status == Ok && color) color->SetValue(argb);
    return status;
  }
  Status SetColor(const Color& color) { return SetStatus(DllExports::GdipSetSolidFillColor(native(), color.GetValue())); }

 private:
  GpSolidFill* native() const { return static_cast<GpSolidFill*>(m_native); }
};

class HatchBrush : public Brush {
 public:
  HatchBrush(HatchStyle style, const Color& foreColor, const Color& backColor = Color()) {
    GpHatch* brush = nullptr;
    SetStatus(DllExports::GdipCreateHatchBrush(style, foreColor.GetValue(), backColor.GetValue(), &brush));
    m_native = brush;
  }
  HatchStyle GetHatchStyle() const {
    HatchStyle style = HatchStyleHorizontal;
    SetStatus(DllExports::GdipGetHatchStyle(native(), &style));
    return style;
  }
  Status GetForegroundColor(Color* color) const {
    ARGB argb = 0;
    Status status = SetStatus(DllExports::GdipGetHatchForegroundColor(native(), &argb));
    if (status == Ok && color) color->SetValue(argb);
    return status;
  }
  Status GetBackgroundColor(Color* color) const {
    ARGB argb = 0;
    Status status = SetStatus(DllExports::GdipGetHatchBackgroundColor(native(), &argb));
    if (status == Ok && color) color->SetValue(argb);
    return status;
  }

 private:
  GpHatch* native() const { return static_cast<GpHatch*>(m_native); }
};

class TextureBrush : public Brush {
 public:
  explicit TextureBrush(Image* image, WrapMode wrapMode = WrapModeTile) {
    GpTexture* brush = nullptr;
    SetStatus(DllExports::GdipCreateTexture(image ? image->m_native : nullptr, wrapMode, &brush));
    m_native = brush;
  }
  Status SetWrapMode(WrapMode wrapMode) { return SetStatus(DllExports::GdipSetTextureWrapMode(native(), wrapMode)); }
  WrapMode GetWrapMode() const {
    WrapMode mode = WrapModeTile;
    SetStatus(DllExports::GdipGetTextureWrapMode(native(), &mode));
    return mode;
  }
  Status SetTransform(const Matrix* matrix) {
    return SetStatus(DllExports::GdipSetTextureTransform(native(), matrix ? matrix->m_native : nullptr));
  }
  Status GetTransform(Matrix* matrix) const {
    return SetStatus(DllExports::GdipGetTextureTransform(native(), matrix ? matrix->m_native : nullptr));
  }
  Status ResetTransform() { return SetStatus(DllExports::GdipResetTextureTransform(native())); }
  Status MultiplyTransform(const Matrix* matrix, MatrixOrder order = MatrixOrderPrepend) {
    return SetStatus(DllExports::GdipMultiplyTextureTransform(native(), matrix ? matrix->m_native : nullptr, order));
  }
  Status TranslateTransform(REAL dx, REAL dy, MatrixOrder order = MatrixOrderPrepend) {
    return SetStatus(DllExports::GdipTranslateTextureTransform(native(), dx, dy, order));
  }
  Status ScaleTransform(REAL sx, REAL sy, MatrixOrder order = MatrixOrderPrepend) {
    return SetStatus(DllExports::GdipScaleTextureTransform(native(), sx, sy, order));
  }
  Status RotateTransform(REAL angle, MatrixOrder order = MatrixOrderPrepend) {
    return SetStatus(DllExports::GdipRotateTextureTransform(native(), angle, order));
  }

 private:
  GpTexture* native() const { return static_cast<GpTexture*>(m_native); }
};

}  // namespace Gdiplus
