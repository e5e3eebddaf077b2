// Zentarix GDI+ layer — MIT licence.
// Flat API of graphics state, world transforms, matrices and image attributes.
#include "graphics.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "gdi.h"
#include "guard.h"

using namespace Gdiplus;
namespace resample = zx::resample;
using zx::resample::Affine;

namespace zx::gdip {

void MatrixData::set(const Affine& a) {
  const double e[6] = {a.m11, a.m12, a.m21, a.m22, a.dx, a.dy};
  for (int i = 0; i < 6; ++i) m[i] = static_cast<float>(e[i]);
}

void MatrixData::combine(const Affine& op, MatrixOrder order) {
  set(order == MatrixOrderAppend ? affine().then(op) : op.then(affine()));
}

double unit_scale(Unit unit, double dpi) {
  switch (unit) {
    case UnitPoint: return dpi / 72.0;
    case UnitInch: return dpi;
    case UnitDocument: return dpi / 300.0;
    case UnitMillimeter: return dpi / 25.4;
    default: return 1.0;  // display and pixel units are device pixels
  }
}

const resample::ColourMap* AttributesData::bitmap_map() const {
  if (hasMatrix[ColorAdjustTypeBitmap]) return &matrix[ColorAdjustTypeBitmap];
  if (hasMatrix[ColorAdjustTypeDefault]) return &matrix[ColorAdjustTypeDefault];
  return nullptr;
}

namespace {

bool finite(std::initializer_list<REAL> values) {
  for (REAL v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace

Affine rotation(REAL degrees) {
  double c, s;
  const double turns = degrees / 90.0;
  if (turns == std::floor(turns) && std::fabs(turns) < 1e9) {
    static constexpr double kCos[4] = {1, 0, -1, 0}, kSin[4] = {0, 1, 0, -1};
    const int q = static_cast<int>(std::fmod(std::fmod(turns, 4.0) + 4.0, 4.0));
    c = kCos[q];
    s = kSin[q];
  } else {
    const double radians = degrees * std::numbers::pi / 180.0;
    c = std::cos(radians);
    s = std::sin(radians);
  }
  return Affine{c, s, -s, c, 0, 0};
}

namespace {

Status world_op(GpGraphics* graphics, const Affine& op, MatrixOrder order) {
  if (!graphics || (order != MatrixOrderPrepend && order != MatrixOrderAppend)) return InvalidParameter;
  impl(graphics)->world.combine(op, order);
  return Ok;
}

Status matrix_op(GpMatrix* matrix, const Affine& op, MatrixOrder order) {
  if (!matrix || (order != MatrixOrderPrepend && order != MatrixOrderAppend)) return InvalidParameter;
  impl(matrix)->combine(op, order);
  return Ok;
}

}  // namespace

resample::Affine GraphicsData::to_device() const {
  const Affine page{pageScale * unit_scale(pageUnit, dpiX), 0, 0, pageScale * unit_scale(pageUnit, dpiY), 0, 0};
  return world.affine().then(page);
}

}  // namespace zx::gdip

using namespace zx::gdip;

namespace Gdiplus::DllExports {

Status WINAPI GdipCreateFromHDC(HDC hdc, GpGraphics** graphics) {
  return guarded([&] {
    if (!graphics) return InvalidParameter;
    if (!dc_bitmap(hdc)) return InvalidParameter;
    auto data = std::make_unique<GraphicsData>();
    data->hdc = hdc;
    *graphics = reinterpret_cast<GpGraphics*>(data.release());
    return Ok;
  });
}

Status WINAPI GdipGetImageGraphicsContext(GpImage* image, GpGraphics** graphics) {
  return guarded([&] {
    if (!image || !graphics) return InvalidParameter;
    ImageData& img = *impl(image);
    if (img.kind != ImageKind::Bitmap) return NotImplemented;
    if (IsIndexedPixelFormat(img.format)) return OutOfMemory;
    auto data = std::make_unique<GraphicsData>();
    data->image = &img;
    data->dpiX = img.dpiX;
    data->dpiY = img.dpiY;
    *graphics = reinterpret_cast<GpGraphics*>(data.release());
    return Ok;
  });
}

Status WINAPI GdipDeleteGraphics(GpGraphics* graphics) {
  if (!graphics) return InvalidParameter;
  delete impl(graphics);
  return Ok;
}

Status WINAPI GdipSetCompositingMode(GpGraphics* graphics, CompositingMode mode) {
  if (!graphics || (mode != CompositingModeSourceOver && mode != CompositingModeSourceCopy)) return InvalidParameter;
  impl(graphics)->compositing = mode;
  return Ok;
}
Status WINAPI GdipGetCompositingMode(GpGraphics* graphics, CompositingMode* mode) {
  if (!graphics || !mode) return InvalidParameter;
  *mode = impl(graphics)->compositing;
  return Ok;
}

Status WINAPI GdipSetInterpolationMode(GpGraphics* graphics, InterpolationMode mode) {
  if (!graphics || mode < InterpolationModeDefault || mode > InterpolationModeHighQualityBicubic)
    return InvalidParameter;
  if (mode == InterpolationModeDefault || mode == InterpolationModeLowQuality) mode = InterpolationModeBilinear;
  if (mode == InterpolationModeHighQuality) mode = InterpolationModeHighQualityBicubic;
  impl(graphics)->interpolation = mode;
  return Ok;
}
Status WINAPI GdipGetInterpolationMode(GpGraphics* graphics, InterpolationMode* mode) {
  if (!graphics || !mode) return InvalidParameter;
  *mode = impl(graphics)->interpolation;
  return Ok;
}

Status WINAPI GdipSetPixelOffsetMode(GpGraphics* graphics, PixelOffsetMode mode) {
  if (!graphics || mode < PixelOffsetModeDefault || mode > PixelOffsetModeHalf) return InvalidParameter;
  impl(graphics)->pixelOffset = mode;
  return Ok;
}
Status WINAPI GdipGetPixelOffsetMode(GpGraphics* graphics, PixelOffsetMode* mode) {
  if (!graphics || !mode) return InvalidParameter;
  *mode = impl(graphics)->pixelOffset;
  return Ok;
}

Status WINAPI GdipSetPageUnit(GpGraphics* graphics, Unit unit) {
  if (!graphics || unit <= UnitWorld || unit > UnitMillimeter) return InvalidParameter;
  impl(graphics)->pageUnit = unit;
  return Ok;
}
Status WINAPI GdipGetPageUnit(GpGraphics* graphics, Unit* unit) {
  if (!graphics || !unit) return InvalidParameter;
  *unit = impl(graphics)->pageUnit;
  return Ok;
}
Status WINAPI GdipSetPageScale(GpGraphics* graphics, REAL scale) {
  if (!graphics || !(scale > 0) || !std::isfinite(scale)) return InvalidParameter;
  impl(graphics)->pageScale = scale;
  return Ok;
}
Status WINAPI GdipGetPageScale(GpGraphics* graphics, REAL* scale) {
  if (!graphics || !scale) return InvalidParameter;
  *scale = impl(graphics)->pageScale;
  return Ok;
}
Status WINAPI GdipGetDpiX(GpGraphics* graphics, REAL* dpi) {
  if (!graphics || !dpi) return InvalidParameter;
  *dpi = impl(graphics)->dpiX;
  return Ok;
}
Status WINAPI GdipGetDpiY(GpGraphics* graphics, REAL* dpi) {
  if (!graphics || !dpi) return InvalidParameter;
  *dpi = impl(graphics)->dpiY;
  return Ok;
}

Status WINAPI GdipSetWorldTransform(GpGraphics* graphics, GpMatrix* matrix) {
  if (!graphics || !matrix) return InvalidParameter;
  impl(graphics)->world = *impl(matrix);
  return Ok;
}
Status WINAPI GdipGetWorldTransform(GpGraphics* graphics, GpMatrix* matrix) {
  if (!graphics || !matrix) return InvalidParameter;
  *impl(matrix) = impl(graphics)->world;
  return Ok;
}
Status WINAPI GdipResetWorldTransform(GpGraphics* graphics) {
  if (!graphics) return InvalidParameter;
  impl(graphics)->world = MatrixData{};
  return Ok;
}
Status WINAPI GdipMultiplyWorldTransform(GpGraphics* graphics, GpMatrix* matrix, MatrixOrder order) {
  if (!matrix) return InvalidParameter;
  return world_op(graphics, impl(matrix)->affine(), order);
}
Status WINAPI GdipTranslateWorldTransform(GpGraphics* graphics, REAL dx, REAL dy, MatrixOrder order) {
  if (!finite({dx, dy})) return InvalidParameter;
  return world_op(graphics, Affine{1, 0, 0, 1, dx, dy}, order);
}
Status WINAPI GdipScaleWorldTransform(GpGraphics* graphics, REAL sx, REAL sy, MatrixOrder order) {
  if (!finite({sx, sy})) return InvalidParameter;
  return world_op(graphics, Affine{sx, 0, 0, sy, 0, 0}, order);
}
Status WINAPI GdipRotateWorldTransform(GpGraphics* graphics, REAL angle, MatrixOrder order) {
  if (!finite({angle})) return InvalidParameter;
  return world_op(graphics, rotation(angle), order);
}

// ---- matrices ----
Status WINAPI GdipCreateMatrix(GpMatrix** matrix) {
  return guarded([&] {
    if (!matrix) return InvalidParameter;
    *matrix = reinterpret_cast<GpMatrix*>(new MatrixData);
    return Ok;
  });
}
Status WINAPI GdipCreateMatrix2(REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy, GpMatrix** matrix) {
  return guarded([&] {
    if (!matrix || !finite({m11, m12, m21, m22, dx, dy})) return InvalidParameter;
    auto* data = new MatrixData;
    *data = MatrixData{{m11, m12, m21, m22, dx, dy}};
    *matrix = reinterpret_cast<GpMatrix*>(data);
    return Ok;
  });
}
Status WINAPI GdipCloneMatrix(GpMatrix* matrix, GpMatrix** clone) {
  return guarded([&] {
    if (!matrix || !clone) return InvalidParameter;
    *clone = reinterpret_cast<GpMatrix*>(new MatrixData(*impl(matrix)));
    return Ok;
  });
}
Status WINAPI GdipDeleteMatrix(GpMatrix* matrix) {
  if (!matrix) return InvalidParameter;
  delete impl(matrix);
  return Ok;
}
Status WINAPI GdipSetMatrixElements(GpMatrix* matrix, REAL m11, REAL m12, REAL m21, REAL m22, REAL dx, REAL dy) {
  if (!matrix || !finite({m11, m12, m21, m22, dx, dy})) return InvalidParameter;
  *impl(matrix) = MatrixData{{m11, m12, m21, m22, dx, dy}};
  return Ok;
}
Status WINAPI GdipGetMatrixElements(const GpMatrix* matrix, REAL* elements) {
  if (!matrix || !elements) return InvalidParameter;
  for (int i = 0; i < 6; ++i) elements[i] = impl(matrix)->m[i];
  return Ok;
}
Status WINAPI GdipMultiplyMatrix(GpMatrix* matrix, GpMatrix* other, MatrixOrder order) {
  if (!other) return InvalidParameter;
  return matrix_op(matrix, impl(other)->affine(), order);
}
Status WINAPI GdipTranslateMatrix(GpMatrix* matrix, REAL dx, REAL dy, MatrixOrder order) {
  if (!finite({dx, dy})) return InvalidParameter;
  return matrix_op(matrix, Affine{1, 0, 0, 1, dx, dy}, order);
}
Status WINAPI GdipScaleMatrix(GpMatrix* matrix, REAL sx, REAL sy, MatrixOrder order) {
  if (!finite({sx, sy})) return InvalidParameter;
  return matrix_op(matrix, Affine{sx, 0, 0, sy, 0, 0}, order);
}
Status WINAPI GdipRotateMatrix(GpMatrix* matrix, REAL angle, MatrixOrder order) {
  if (!finite({angle})) return InvalidParameter;
  return matrix_op(matrix, rotation(angle), order);
}
Status WINAPI GdipInvertMatrix(GpMatrix* matrix) {
  if (!matrix) return InvalidParameter;
  Affine inverse;
  if (!impl(matrix)->affine().invert(&inverse)) return InvalidParameter;
  impl(matrix)->set(inverse);
  return Ok;
}
Status WINAPI GdipTransformMatrixPoints(GpMatrix* matrix, PointF* points, INT count) {
  if (!matrix || !points || count <= 0) return InvalidParameter;
  const Affine a = impl(matrix)->affine();
  for (INT i = 0; i < count; ++i) {
    const double x = points[i].X, y = points[i].Y;
    points[i].X = static_cast<REAL>(a.m11 * x + a.m21 * y + a.dx);
    points[i].Y = static_cast<REAL>(a.m12 * x + a.m22 * y + a.dy);
  }
  return Ok;
}
Status WINAPI GdipIsMatrixIdentity(const GpMatrix* matrix, BOOL* result) {
  if (!matrix || !result) return InvalidParameter;
  const float* m = impl(matrix)->m;
  *result = m[0] == 1 && m[1] == 0 && m[2] == 0 && m[3] == 1 && m[4] == 0 && m[5] == 0;
  return Ok;
}

// ---- image attributes ----
Status WINAPI GdipCreateImageAttributes(GpImageAttributes** attributes) {
  return guarded([&] {
    if (!attributes) return InvalidParameter;
    *attributes = reinterpret_cast<GpImageAttributes*>(new AttributesData);
    return Ok;
  });
}
Status WINAPI GdipCloneImageAttributes(const GpImageAttributes* attributes, GpImageAttributes** clone) {
  return guarded([&] {
    if (!attributes || !clone) return InvalidParameter;
    *clone = reinterpret_cast<GpImageAttributes*>(new AttributesData(*impl(attributes)));
    return Ok;
  });
}
Status WINAPI GdipDisposeImageAttributes(GpImageAttributes* attributes) {
  if (!attributes) return InvalidParameter;
  delete impl(attributes);
  return Ok;
}
Status WINAPI GdipSetImageAttributesColorMatrix(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                                const ColorMatrix* colorMatrix, const ColorMatrix* grayMatrix,
                                                ColorMatrixFlags flags) {
  if (!attributes || type < ColorAdjustTypeDefault || type >= ColorAdjustTypeCount) return InvalidParameter;
  AttributesData& a = *impl(attributes);
  if (!enableFlag) {
    a.hasMatrix[type] = false;
    return Ok;
  }
  if (!colorMatrix || flags < ColorMatrixFlagsDefault || flags > ColorMatrixFlagsAltGray) return InvalidParameter;
  if (flags == ColorMatrixFlagsAltGray && !grayMatrix) return InvalidParameter;
  resample::ColourMap map{};
  std::memcpy(map.matrix.m, colorMatrix->m, sizeof map.matrix.m);
  if (grayMatrix) std::memcpy(map.gray.m, grayMatrix->m, sizeof map.gray.m);
  map.skip_grays = flags == ColorMatrixFlagsSkipGrays;
  map.alt_gray = flags == ColorMatrixFlagsAltGray;
  a.matrix[type] = map;
  a.hasMatrix[type] = true;
  return Ok;
}
Status WINAPI GdipSetImageAttributesWrapMode(GpImageAttributes* attributes, WrapMode wrap, ARGB argb, BOOL) {
  if (!attributes || wrap < WrapModeTile || wrap > WrapModeClamp) return InvalidParameter;
  impl(attributes)->wrap = wrap;
  impl(attributes)->clampColor = argb;
  return Ok;
}

}  // namespace Gdiplus::DllExports
