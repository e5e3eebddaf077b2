// Zentarix GDI+ layer — MIT licence.
// Flat API of brushes: solid colours, hatch styles and textures with their transforms.
#include <cmath>

#include "guard.h"
#include "vector_data.h"

using namespace Gdiplus;
using namespace zx::gdip;

namespace {

// cairo, which paints textures, takes no image larger than this on a side.
constexpr int kMaxTextureSide = 32767;

template <class Body>
Status with_brush(GpBrush* brush, BrushType type, Body&& body) {
  return guarded([&] {
    if (!brush || impl(brush)->type != type) return InvalidParameter;
    return body(*impl(brush));
  });
}

Status make_brush(BrushData data, GpBrush** out) {
  *out = reinterpret_cast<GpBrush*>(new BrushData(std::move(data)));
  return Ok;
}

// The image's pixels as a texture keeps them: straight ARGB converted, then premultiplied.
std::shared_ptr<TextureImage> texture_of(const ImageData& image) {
  auto texture = std::make_shared<TextureImage>();
  texture->width = image.width;
  texture->height = image.height;
  texture->pixels.resize(static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4);
  const zx::gdip::Region from{image.scan0, image.stride, 0, image.format, palette_ref(image)};
  const zx::gdip::Region to{texture->pixels.data(), ptrdiff_t{image.width} * 4, 0, PixelFormat32bppARGB, PaletteRef{}};
  convert_region(from, to, image.width, image.height, false);
  for (size_t i = 0; i < texture->pixels.size(); i += 4) {
    uint8_t* p = &texture->pixels[i];
    const unsigned a = p[3];
    for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((p[c] * a + 127) / 255);
  }
  return texture;
}

Status transform_op(GpTexture* brush, const zx::resample::Affine& op, MatrixOrder order) {
  if (order != MatrixOrderPrepend && order != MatrixOrderAppend) return InvalidParameter;
  return with_brush(brush, BrushTypeTextureFill, [&](BrushData& b) {
    b.transform.combine(op, order);
    return Ok;
  });
}

}  // namespace

namespace Gdiplus::DllExports {

Status WINAPI GdipCloneBrush(GpBrush* brush, GpBrush** clone) {
  return guarded([&] {
    if (!brush || !clone) return InvalidParameter;
    return make_brush(*impl(brush), clone);
  });
}

Status WINAPI GdipDeleteBrush(GpBrush* brush) {
  if (!brush) return InvalidParameter;
  delete impl(brush);
  return Ok;
}

Status WINAPI GdipGetBrushType(GpBrush* brush, BrushType* type) {
  if (!brush || !type) return InvalidParameter;
  *type = impl(brush)->type;
  return Ok;
}

Status WINAPI GdipCreateSolidFill(ARGB color, GpSolidFill** brush) {
  return guarded([&] {
    if (!brush) return InvalidParameter;
    BrushData data;
    data.colour = color;
    return make_brush(std::move(data), reinterpret_cast<GpBrush**>(brush));
  });
}

Status WINAPI GdipSetSolidFillColor(GpSolidFill* brush, ARGB color) {
  return with_brush(brush, BrushTypeSolidColor, [&](BrushData& b) {
    b.colour = color;
    return Ok;
  });
}

Status WINAPI GdipGetSolidFillColor(GpSolidFill* brush, ARGB* color) {
  return with_brush(brush, BrushTypeSolidColor, [&](BrushData& b) {
    if (!color) return InvalidParameter;
    *color = b.colour;
    return Ok;
  });
}

Status WINAPI GdipCreateHatchBrush(HatchStyle style, ARGB forecolor, ARGB backcolor, GpHatch** brush) {
  return guarded([&] {
    if (!brush || style < HatchStyleMin || style > HatchStyleMax) return InvalidParameter;
    BrushData data;
    data.type = BrushTypeHatchFill;
    data.hatch = style;
    data.fore = forecolor;
    data.back = backcolor;
    return make_brush(std::move(data), reinterpret_cast<GpBrush**>(brush));
  });
}

Status WINAPI GdipGetHatchStyle(GpHatch* brush, HatchStyle* style) {
  return with_brush(brush, BrushTypeHatchFill, [&](BrushData& b) {
    if (!style) return InvalidParameter;
    *style = b.hatch;
    return Ok;
  });
}

Status WINAPI GdipGetHatchForegroundColor(GpHatch* brush, ARGB* color) {
  return with_brush(brush, BrushTypeHatchFill, [&](BrushData& b) {
    if (!color) return InvalidParameter;
    *color = b.fore;
    return Ok;
  });
}

Status WINAPI GdipGetHatchBackgroundColor(GpHatch* brush, ARGB* color) {
  return with_brush(brush, BrushTypeHatchFill, [&](BrushData& b) {
    if (!color) return InvalidParameter;
    *color = b.back;
    return Ok;
  });
}

Status WINAPI GdipCreateTexture(GpImage* image, WrapMode wrapmode, GpTexture** texture) {
  return guarded([&] {
    if (!image || !texture || wrapmode < WrapModeTile || wrapmode > WrapModeClamp) return InvalidParameter;
    const ImageData& source = *impl(image);
    if (source.kind != ImageKind::Bitmap) return NotImplemented;
    if (source.lock.active) return WrongState;
    if (source.width > kMaxTextureSide || source.height > kMaxTextureSide) return InvalidParameter;
    BrushData data;
    data.type = BrushTypeTextureFill;
    data.wrap = wrapmode;
    // The image's memory may be a caller's rows: copy it under the fault guard.
    const Status copied = fault_guarded([&] {
      data.texture = texture_of(source);
      return Ok;
    });
    if (copied != Ok) return copied;
    return make_brush(std::move(data), reinterpret_cast<GpBrush**>(texture));
  });
}

Status WINAPI GdipSetTextureWrapMode(GpTexture* brush, WrapMode wrapmode) {
  return with_brush(brush, BrushTypeTextureFill, [&](BrushData& b) {
    if (wrapmode < WrapModeTile || wrapmode > WrapModeClamp) return InvalidParameter;
    b.wrap = wrapmode;
    return Ok;
  });
}

Status WINAPI GdipGetTextureWrapMode(GpTexture* brush, WrapMode* wrapmode) {
  return with_brush(brush, BrushTypeTextureFill, [&](BrushData& b) {
    if (!wrapmode) return InvalidParameter;
    *wrapmode = b.wrap;
    return Ok;
  });
}

Status WINAPI GdipSetTextureTransform(GpTexture* brush, const GpMatrix* matrix) {
  return with_brush(brush, BrushTypeTextureFill, [&](BrushData& b) {
    if (!matrix) return InvalidParameter;
    zx::resample::Affine inverse;
    if (!impl(matrix)->affine().invert(&inverse)) return InvalidParameter;
    b.transform = *impl(matrix);
    return Ok;
  });
}

Status WINAPI GdipGetTextureTransform(GpTexture* brush, GpMatrix* matrix) {
  return with_brush(brush, BrushTypeTextureFill, [&](BrushData& b) {
    if (!matrix) return InvalidParameter;
    *impl(matrix) = b.transform;
    return Ok;
  });
}

Status WINAPI GdipResetTextureTransform(GpTexture* brush) {
  return with_brush(brush, BrushTypeTextureFill, [&](BrushData& b) {
    b.transform = MatrixData{};
    return Ok;
  });
}

Status WINAPI GdipMultiplyTextureTransform(GpTexture* brush, const GpMatrix* matrix, MatrixOrder order) {
  if (!matrix) return InvalidParameter;
  return transform_op(brush, impl(matrix)->affine(), order);
}

Status WINAPI GdipTranslateTextureTransform(GpTexture* brush, REAL dx, REAL dy, MatrixOrder order) {
  if (!std::isfinite(dx) || !std::isfinite(dy)) return InvalidParameter;
  return transform_op(brush, zx::resample::Affine{1, 0, 0, 1, dx, dy}, order);
}

Status WINAPI GdipScaleTextureTransform(GpTexture* brush, REAL sx, REAL sy, MatrixOrder order) {
  if (!std::isfinite(sx) || !std::isfinite(sy) || sx == 0 || sy == 0) return InvalidParameter;
  return transform_op(brush, zx::resample::Affine{sx, 0, 0, sy, 0, 0}, order);
}

Status WINAPI GdipRotateTextureTransform(GpTexture* brush, REAL angle, MatrixOrder order) {
  if (!std::isfinite(angle)) return InvalidParameter;
  return transform_op(brush, rotation(angle), order);
}

}  // namespace Gdiplus::DllExports
