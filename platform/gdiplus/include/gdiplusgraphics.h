// Zentarix GDI+ layer — MIT licence.
// Drawing surfaces: Graphics on a bitmap or a memory DC, matrices, image attributes and DrawImage.
//
// Included by gdiplus.h. Flat functions are the binary interface; the classes are inline wrappers
// that record their last failing status as the bitmap wrappers do.
#pragma once

namespace Gdiplus {

enum CompositingMode : int32_t { CompositingModeSourceOver = 0, CompositingModeSourceCopy = 1 };

enum InterpolationMode : int32_t {
  InterpolationModeInvalid = -1,
  InterpolationModeDefault = 0,
  InterpolationModeLowQuality = 1,
  InterpolationModeHighQuality = 2,
  InterpolationModeBilinear = 3,
  InterpolationModeBicubic = 4,
  InterpolationModeNearestNeighbor = 5,
  InterpolationModeHighQualityBilinear = 6,
  InterpolationModeHighQualityBicubic = 7
};

enum PixelOffsetMode : int32_t {
  PixelOffsetModeInvalid = -1,
  PixelOffsetModeDefault = 0,
  PixelOffsetModeHighSpeed = 1,
  PixelOffsetModeHighQuality = 2,
  PixelOffsetModeNone = 3,
  PixelOffsetModeHalf = 4
};

enum Unit : int32_t {
  UnitWorld = 0,
  UnitDisplay = 1,
  UnitPixel = 2,
  UnitPoint = 3,
  UnitInch = 4,
  UnitDocument = 5,
  UnitMillimeter = 6
};

enum MatrixOrder : int32_t { MatrixOrderPrepend = 0, MatrixOrderAppend = 1 };

enum WrapMode : int32_t {
  WrapModeTile = 0,
  WrapModeTileFlipX = 1,
  WrapModeTileFlipY = 2,
  WrapModeTileFlipXY = 3,
  WrapModeClamp = 4
};

enum ColorAdjustType : int32_t {
  ColorAdjustTypeDefault = 0,
  ColorAdjustTypeBitmap = 1,
  ColorAdjustTypeBrush = 2,
  ColorAdjustTypePen = 3,
  ColorAdjustTypeText = 4,
  ColorAdjustTypeCount = 5,
  ColorAdjustTypeAny = 6
};

enum ColorMatrixFlags : int32_t {
  ColorMatrixFlagsDefault = 0,
  ColorMatrixFlagsSkipGrays = 1,
  ColorMatrixFlagsAltGray = 2
};

// The ink an output channel renders.
enum ColorChannelFlags : int32_t {
  ColorChannelFlagsC = 0,
  ColorChannelFlagsM = 1,
  ColorChannelFlagsY = 2,
  ColorChannelFlagsK = 3,
  ColorChannelFlagsLast = 4
};

// Row-vector convention: [r g b a 1] x m gives the new [r g b a 1], components in 0..1.
struct ColorMatrix {
  REAL m[5][5];
};

struct PointF {
  REAL X = 0, Y = 0;
  PointF() = default;
  PointF(REAL x, REAL y) : X(x), Y(y) {}
};

using DrawImageAbort = BOOL (*)(void* data);

class GpGraphics {};
class GpMatrix {};
class GpImageAttributes {};

namespace DllExports {
extern "C" {
// --- surfaces ---
// A memory DC made by CreateCompatibleDC: drawing goes to the bitmap selected into it at the time of
// each call, treated as opaque RGB (alpha is written 255). InvalidParameter for any other handle.
ZX_API Status WINAPI GdipCreateFromHDC(HDC hdc, GpGraphics** graphics);
// A bitmap in any non-indexed format (indexed ones: OutOfMemory, as GDI+ answers). The bitmap must
// outlive the graphics and must not be locked while the graphics draws.
ZX_API Status WINAPI GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics);
ZX_API Status WINAPI GdipDeleteGraphics(GpGraphics* graphics);
// Stores the colour in every pixel of the surface as it is (no blending, alpha included).
ZX_API Status WINAPI GdipGraphicsClear(GpGraphics* graphics, ARGB color);

// --- state ---
ZX_API Status WINAPI GdipSetCompositingMode(GpGraphics* graphics, CompositingMode mode);
ZX_API Status WINAPI GdipGetCompositingMode(GpGraphics* graphics, CompositingMode* mode);
// Default and LowQuality are stored as Bilinear, HighQuality as HighQualityBicubic.
ZX_API Status WINAPI GdipSetInterpolationMode(GpGraphics* graphics, InterpolationMode mode);
ZX_API Status WINAPI GdipGetInterpolationMode(GpGraphics* graphics, InterpolationMode* mode);
ZX_API Status WINAPI GdipSetPixelOffsetMode(GpGraphics* graphics, PixelOffsetMode mode);
ZX_API Status WINAPI GdipGetPixelOffsetMode(GpGraphics* graphics, PixelOffsetMode* mode);
// UnitWorld is refused; UnitDisplay and UnitPixel are device pixels.
ZX_API Status WINAPI GdipSetPageUnit(GpGraphics* graphics, Unit unit);
ZX_API Status WINAPI GdipGetPageUnit(GpGraphics* graphics, Unit* unit);
ZX_API Status WINAPI GdipSetPageScale(GpGraphics* graphics, REAL scale);
ZX_API Status WINAPI GdipGetPageScale(GpGraphics* graphics, REAL* scale);
ZX_API Status WINAPI GdipGetDpiX(GpGraphics* graphics, REAL* dpi);
ZX_API Status WINAPI GdipGetDpiY(GpGraphics* graphics, REAL* dpi);

// --- world transform ---
ZX_API Status WINAPI GdipSetWorldTransform(GpGraphics* graphics, GpMatrix* matrix);
ZX_API Status WINAPI GdipGetWorldTransform(GpGraphics* graphics, GpMatrix* matrix);
ZX_API Status WINAPI GdipResetWorldTransform(GpGraphics* graphics);
ZX_API Status WINAPI GdipMultiplyWorldTransform(GpGraphics* graphics, GpMatrix* matrix, MatrixOrder order);
ZX_API Status WINAPI GdipTranslateWorldTransform(GpGraphics* graphics, REAL dx, REAL dy, MatrixOrder order);
ZX_API Status WINAPI GdipScaleWorldTransform(GpGraphics* graphics, REAL sx, REAL sy, MatrixOrder order);
ZX_API Status WINAPI GdipRotateWorldTransform(GpGraphics* graphics, REAL angle, MatrixOrder order);

// --- matrices: six 32-bit float elements m11 m12 m21 m22 dx dy, x' = m11 x + m21 y + dx ---
ZX_API Status WINAPI GdipCreateMatrix(GpMatrix** matrix);
ZX_API Status WINAPI GdipCreateMatrix2(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy, GpMatrix** matrix);
ZX_API Status WINAPI GdipCloneMatrix(GpMatrix* matrix, GpMatrix** clone);
ZX_API Status WINAPI GdipDeleteMatrix(GpMatrix* matrix);
ZX_API Status WINAPI GdipSetMatrixElements(GpMatrix* matrix, REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy);
ZX_API Status WINAPI GdipGetMatrixElements(const GpMatrix* matrix, REAL* elements);
// Prepend: the given matrix (or operation) applies first, then the old one; Append: after it.
ZX_API Status WINAPI GdipMultiplyMatrix(GpMatrix* matrix, GpMatrix* other, MatrixOrder order);
ZX_API Status WINAPI GdipTranslateMatrix(GpMatrix* matrix, REAL dx, REAL dy, MatrixOrder order);
ZX_API Status WINAPI GdipScaleMatrix(GpMatrix* matrix, REAL sx, REAL sy, MatrixOrder order);
// Clockwise on the y-down device for a positive angle in degrees.
ZX_API Status WINAPI GdipRotateMatrix(GpMatrix* matrix, REAL angle, MatrixOrder order);
// InvalidParameter for a singular matrix.
ZX_API Status WINAPI GdipInvertMatrix(GpMatrix* matrix);
ZX_API Status WINAPI GdipTransformMatrixPoints(GpMatrix* matrix, PointF* points, INT count);
ZX_API Status WINAPI GdipIsMatrixIdentity(const GpMatrix* matrix, BOOL* result);

// --- image attributes ---
ZX_API Status WINAPI GdipCreateImageAttributes(GpImageAttributes** attributes);
ZX_API Status WINAPI GdipCloneImageAttributes(const GpImageAttributes* attributes, GpImageAttributes** clone);
ZX_API Status WINAPI GdipDisposeImageAttributes(GpImageAttributes* attributes);
// enable FALSE clears the matrix of that category. A bitmap is drawn with the Bitmap category's
// matrix, else the Default category's.
ZX_API Status WINAPI GdipSetImageAttributesColorMatrix(GpImageAttributes* attributes, ColorAdjustType type,
                                                        BOOL enableFlag, const ColorMatrix* colorMatrix,
                                                        const ColorMatrix* grayMatrix, ColorMatrixFlags flags);
// Clamp: samples outside the image take argb; the tile modes repeat (and mirror) the image.
// Without attributes, samples outside the image are transparent.
ZX_API Status WINAPI GdipSetImageAttributesWrapMode(GpImageAttributes* attributes, WrapMode wrap, ARGB argb,
                                                     BOOL clamp);
// Output channel: a bitmap is drawn as the grey image of one CMYK ink. Each source colour (after
// the colour matrix) is separated through the output-channel profile, or our default CMYK profile
// when none is set, and drawn as grey 255 - ink with its alpha kept. enable FALSE clears it.
ZX_API Status WINAPI GdipSetImageAttributesOutputChannel(GpImageAttributes* attributes, ColorAdjustType type,
                                                          BOOL enableFlag, ColorChannelFlags channelFlags);
// The CMYK ICC profile output channels separate through, read and checked when it is set: a file
// that cannot be read gives its file status (FileNotFound, AccessDenied, Win32Error), one that is
// not a CMYK ICC profile InvalidParameter, and the attributes keep what they had. enable FALSE
// returns to the default profile.
ZX_API Status WINAPI GdipSetImageAttributesOutputChannelColorProfile(GpImageAttributes* attributes,
                                                                      ColorAdjustType type, BOOL enableFlag,
                                                                      const WCHAR* colorProfileFilename);

// --- drawing images ---
// The source rectangle (in srcUnit of the image) lands on the destination rectangle (world units);
// a negative destination width or height mirrors. See resample.h for how pixels are sampled.
ZX_API Status WINAPI GdipDrawImageRectRect(GpGraphics* graphics, GpImage* image, REAL dstx, REAL dsty, REAL dstwidth,
                                            REAL dstheight, REAL srcx, REAL srcy, REAL srcwidth, REAL srcheight,
                                            Unit srcUnit, const GpImageAttributes* imageAttributes,
                                            DrawImageAbort callback, void* callbackData);
ZX_API Status WINAPI GdipDrawImageRectRectI(GpGraphics* graphics, GpImage* image, INT dstx, INT dsty, INT dstwidth,
                                             INT dstheight, INT srcx, INT srcy, INT srcwidth, INT srcheight,
                                             Unit srcUnit, const GpImageAttributes* imageAttributes,
                                             DrawImageAbort callback, void* callbackData);
ZX_API Status WINAPI GdipDrawImageRect(GpGraphics* graphics, GpImage* image, REAL x, REAL y, REAL width, REAL height);
ZX_API Status WINAPI GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width, INT height);
// The whole image at its physical size: width x surface dpi / image dpi device pixels.
ZX_API Status WINAPI GdipDrawImage(GpGraphics* graphics, GpImage* image, REAL x, REAL y);
ZX_API Status WINAPI GdipDrawImageI(GpGraphics* graphics, GpImage* image, INT x, INT y);
}
}  // namespace DllExports

// The last failing status of a wrapper object, as the SDK's wrappers keep it: a failing call stores
// it, GetLastStatus() returns it and resets it to Ok.
class LastStatus {
 public:
  Status GetLastStatus() const {
    Status last = m_status;
    m_status = Ok;
    return last;
  }

 protected:
  explicit LastStatus(Status status = Ok) : m_status(status) {}
  Status SetStatus(Status status) const {
    if (status != Ok) m_status = status;
    return status;
  }

 private:
  mutable Status m_status;
};

class Matrix : public LastStatus {
 public:
  Matrix() { SetStatus(DllExports::GdipCreateMatrix(&m_native)); }
  Matrix(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy) {
    SetStatus(DllExports::GdipCreateMatrix2(m11, m12, m21, m22, dx, dy, &m_native));
  }
  ~Matrix() { DllExports::GdipDeleteMatrix(m_native); }
  Matrix(const Matrix&) = delete;
  Matrix& operator=(const Matrix&) = delete;

  Matrix* Clone() const {
    GpMatrix* clone = nullptr;
    Status status = DllExports::GdipCloneMatrix(m_native, &clone);
    return new Matrix(clone, status);
  }
  Status GetElements(REAL* m) const { return SetStatus(DllExports::GdipGetMatrixElements(m_native, m)); }
  Status SetElements(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy) {
    return SetStatus(DllExports::GdipSetMatrixElements(m_native, m11, m12, m21, m22, dx, dy));
  }
  REAL OffsetX() const {
    REAL e[6] = {};
    GetElements(e);
    return e[4];
  }
  REAL OffsetY() const {
    REAL e[6] = {};
    GetElements(e);
    return e[5];
  }
  Status Reset() { return SetElements(1, 0, 0, 1, 0, 0); }
  Status Multiply(const Matrix* other, MatrixOrder order = MatrixOrderPrepend) {
    return SetStatus(DllExports::GdipMultiplyMatrix(m_native, other ? other->m_native : nullptr, order));
  }
  Status Translate(REAL dx, REAL dy, MatrixOrder order = MatrixOrderPrepend) {
    return SetStatus(DllExports::GdipTranslateMatrix(m_native, dx, dy, order));
  }
  Status Scale(REAL sx, REAL sy, MatrixOrder order = MatrixOrderPrepend) {
    return SetStatus(DllExports::GdipScaleMatrix(m_native, sx, sy, order));
  }
  Status Rotate(REAL angle, MatrixOrder order = MatrixOrderPrepend) {
    return SetStatus(DllExports::GdipRotateMatrix(m_native, angle, order));
  }
  Status Invert() { return SetStatus(DllExports::GdipInvertMatrix(m_native)); }
  Status TransformPoints(PointF* points, INT count = 1) {
    return SetStatus(DllExports::GdipTransformMatrixPoints(m_native, points, count));
  }
  BOOL IsIdentity() const {
    BOOL result = FALSE;
    SetStatus(DllExports::GdipIsMatrixIdentity(m_native, &result));
    return result;
  }

 private:
  Matrix(GpMatrix* native, Status status) : LastStatus(status), m_native(native) {}
  GpMatrix* m_native = nullptr;
  friend class Graphics;
};

class ImageAttributes : public LastStatus {
 public:
  ImageAttributes() { SetStatus(DllExports::GdipCreateImageAttributes(&m_native)); }
  ~ImageAttributes() { DllExports::GdipDisposeImageAttributes(m_native); }
  ImageAttributes(const ImageAttributes&) = delete;
  ImageAttributes& operator=(const ImageAttributes&) = delete;

  ImageAttributes* Clone() const {
    GpImageAttributes* clone = nullptr;
    Status status = DllExports::GdipCloneImageAttributes(m_native, &clone);
    return new ImageAttributes(clone, status);
  }
  Status SetColorMatrix(const ColorMatrix* colorMatrix, ColorMatrixFlags mode = ColorMatrixFlagsDefault,
                        ColorAdjustType type = ColorAdjustTypeDefault) {
    return SetStatus(DllExports::GdipSetImageAttributesColorMatrix(m_native, type, TRUE, colorMatrix, nullptr, mode));
  }
  Status SetColorMatrices(const ColorMatrix* colorMatrix, const ColorMatrix* grayMatrix,
                          ColorMatrixFlags mode = ColorMatrixFlagsDefault,
                          ColorAdjustType type = ColorAdjustTypeDefault) {
    return SetStatus(
        DllExports::GdipSetImageAttributesColorMatrix(m_native, type, TRUE, colorMatrix, grayMatrix, mode));
  }
  Status ClearColorMatrix(ColorAdjustType type = ColorAdjustTypeDefault) {
    return SetStatus(DllExports::GdipSetImageAttributesColorMatrix(m_native, type, FALSE, nullptr, nullptr,
                                                                   ColorMatrixFlagsDefault));
  }
  Status SetOutputChannel(ColorChannelFlags channelFlags, ColorAdjustType type = ColorAdjustTypeDefault) {
    return SetStatus(DllExports::GdipSetImageAttributesOutputChannel(m_native, type, TRUE, channelFlags));
  }
  Status ClearOutputChannel(ColorAdjustType type = ColorAdjustTypeDefault) {
    return SetStatus(DllExports::GdipSetImageAttributesOutputChannel(m_native, type, FALSE, ColorChannelFlagsLast));
  }
  Status SetOutputChannelColorProfile(const WCHAR* colorProfileFilename,
                                      ColorAdjustType type = ColorAdjustTypeDefault) {
    return SetStatus(
        DllExports::GdipSetImageAttributesOutputChannelColorProfile(m_native, type, TRUE, colorProfileFilename));
  }
  Status ClearOutputChannelColorProfile(ColorAdjustType type = ColorAdjustTypeDefault) {
    return SetStatus(DllExports::GdipSetImageAttributesOutputChannelColorProfile(m_native, type, FALSE, nullptr));
  }
  // The SDK's default colour is opaque black.
  Status SetWrapMode(WrapMode wrap, const Color& color = Color(), BOOL clamp = FALSE) {
    return SetStatus(DllExports::GdipSetImageAttributesWrapMode(m_native, wrap, color.GetValue(), clamp));
  }

 private:
  ImageAttributes(GpImageAttributes* native, Status status) : LastStatus(status), m_native(native) {}
  GpImageAttributes* m_native = nullptr;
  friend class Graphics;
};

class Graphics : public LastStatus {
 public:
  explicit Graphics(Image* image) {
    SetStatus(DllExports::GdipGetImageGraphicsContext(image ? image->m_native : nullptr, &m_native));
  }
  explicit Graphics(HDC hdc) { SetStatus(DllExports::GdipCreateFromHDC(hdc, &m_native)); }
  static Graphics* FromImage(Image* image) { return new Graphics(image); }
  static Graphics* FromHDC(HDC hdc) { return new Graphics(hdc); }
  ~Graphics() { DllExports::GdipDeleteGraphics(m_native); }
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;

  Status Clear(const Color& color) { return SetStatus(DllExports::GdipGraphicsClear(m_native, color.GetValue())); }

  Status SetCompositingMode(CompositingMode mode) {
    return SetStatus(DllExports::GdipSetCompositingMode(m_native, mode));
  }
  CompositingMode GetCompositingMode() const {
    CompositingMode mode = CompositingModeSourceOver;
    SetStatus(DllExports::GdipGetCompositingMode(m_native, &mode));
    return mode;
  }
  Status SetInterpolationMode(InterpolationMode mode) {
    return SetStatus(DllExports::GdipSetInterpolationMode(m_native, mode));
  }
  InterpolationMode GetInterpolationMode() const {
    InterpolationMode mode = InterpolationModeInvalid;
    SetStatus(DllExports::GdipGetInterpolationMode(m_native, &mode));
    return mode;
  }
  Status SetPixelOffsetMode(PixelOffsetMode mode) {
    return SetStatus(DllExports::GdipSetPixelOffsetMode(m_native, mode));
  }
  PixelOffsetMode GetPixelOffsetMode() const {
    PixelOffsetMode mode = PixelOffsetModeInvalid;
    SetStatus(DllExports::GdipGetPixelOffsetMode(m_native, &mode));
    return mode;
  }
  Status SetPageUnit(Unit unit) { return SetStatus(DllExports::GdipSetPageUnit(m_native, unit)); }
  Unit GetPageUnit() const {
    Unit unit = UnitDisplay;
    SetStatus(DllExports::GdipGetPageUnit(m_native, &unit));
    return unit;
  }
  Status SetPageScale(REAL scale) { return SetStatus(DllExports::GdipSetPageScale(m_native, scale)); }
  REAL GetPageScale() const {
    REAL scale = 0;
    SetStatus(DllExports::GdipGetPageScale(m_native, &scale));
    return scale;
  }
  REAL GetDpiX() const {
    REAL dpi = 0;
    SetStatus(DllExports::GdipGetDpiX(m_native, &dpi));
    return dpi;
  }
  REAL GetDpiY() const {
    REAL dpi = 0;
    SetStatus(DllExports::GdipGetDpiY(m_native, &dpi));
    return dpi;
  }

  Status SetTransform(const Matrix* matrix) {
    return SetStatus(DllExports::GdipSetWorldTransform(m_native, matrix ? matrix->m_native : nullptr));
  }
  Status GetTransform(Matrix* matrix) const {
    return SetStatus(DllExports::GdipGetWorldTransform(m_native, matrix ? matrix->m_native : nullptr));
  }
  Status ResetTransform() { return SetStatus(DllExports::GdipResetWorldTransform(m_native)); }
  Status MultiplyTransform(const Matrix* matrix, MatrixOrder order = MatrixOrderPrepend) {
    return SetStatus(DllExports::GdipMultiplyWorldTransform(m_native, matrix ? matrix->m_native : nullptr, order));
  }
  Status TranslateTransform(REAL dx, REAL dy, MatrixOrder order = MatrixOrderPrepend) {
    return SetStatus(DllExports::GdipTranslateWorldTransform(m_native, dx, dy, order));
  }
  Status ScaleTransform(REAL sx, REAL sy, MatrixOrder order = MatrixOrderPrepend) {
    return SetStatus(DllExports::GdipScaleWorldTransform(m_native, sx, sy, order));
  }
  Status RotateTransform(REAL angle, MatrixOrder order = MatrixOrderPrepend) {
    return SetStatus(DllExports::GdipRotateWorldTransform(m_native, angle, order));
  }

  Status DrawImage(Image* image, INT x, INT y) {
    return SetStatus(DllExports::GdipDrawImageI(m_native, native_of(image), x, y));
  }
  Status DrawImage(Image* image, REAL x, REAL y) {
    return SetStatus(DllExports::GdipDrawImage(m_native, native_of(image), x, y));
  }
  Status DrawImage(Image* image, const Rect& rect) {
    return SetStatus(DllExports::GdipDrawImageRectI(m_native, native_of(image), rect.X, rect.Y, rect.Width, rect.Height));
  }
  Status DrawImage(Image* image, const RectF& rect) {
    return SetStatus(DllExports::GdipDrawImageRect(m_native, native_of(image), rect.X, rect.Y, rect.Width, rect.Height));
  }
  Status DrawImage(Image* image, const RectF& dest, REAL srcx, REAL srcy, REAL srcwidth, REAL srcheight, Unit srcUnit,
                   const ImageAttributes* attributes = nullptr, DrawImageAbort callback = nullptr,
                   void* callbackData = nullptr) {
    return SetStatus(DllExports::GdipDrawImageRectRect(m_native, native_of(image), dest.X, dest.Y, dest.Width,
                                                       dest.Height, srcx, srcy, srcwidth, srcheight, srcUnit,
                                                       attributes ? attributes->m_native : nullptr, callback,
                                                       callbackData));
  }
  Status DrawImage(Image* image, const Rect& dest, INT srcx, INT srcy, INT srcwidth, INT srcheight, Unit srcUnit,
                   const ImageAttributes* attributes = nullptr, DrawImageAbort callback = nullptr,
                   void* callbackData = nullptr) {
    return SetStatus(DllExports::GdipDrawImageRectRectI(m_native, native_of(image), dest.X, dest.Y, dest.Width,
                                                        dest.Height, srcx, srcy, srcwidth, srcheight, srcUnit,
                                                        attributes ? attributes->m_native : nullptr, callback,
                                                        callbackData));
  }


 private:
  static GpImage* native_of(Image* image) { return image ? image->m_native : nullptr; }
  GpGraphics* m_native = nullptr;
};

}  // namespace Gdiplus
