// Zentarix GDI+ layer — MIT licence.
// Flat API of drawing: Clear and DrawImage onto a bitmap or a memory DC, through the resampler.
#include <cmath>
#include <cstring>

#include <zx/pixel_memory.h>

#include "gdi.h"
#include "graphics.h"
#include "guard.h"

using namespace Gdiplus;
namespace resample = zx::resample;
using zx::resample::Affine;
using zx::resample::TargetFormat;

namespace zx::gdip {

FaultScope::FaultScope() {
  m_previous = _set_se_translator([](unsigned int, EXCEPTION_POINTERS*) { throw PixelFault{}; });
}
FaultScope::~FaultScope() { _set_se_translator(m_previous); }

namespace {

// The formats the resampler writes in place; every other one goes through a straight ARGB copy.
bool direct_format(PixelFormat format, TargetFormat* out) {
  switch (format) {
    case PixelFormat32bppARGB: *out = TargetFormat::Argb; return true;
    case PixelFormat32bppPARGB: *out = TargetFormat::Pargb; return true;
    case PixelFormat32bppRGB: *out = TargetFormat::Rgb; return true;
    default: return false;
  }
}

// Largest coordinate magnitude a draw accepts; beyond it the filter tables would outgrow memory.
constexpr double kMaxCoordinate = double(1 << 24);

bool sane(std::initializer_list<double> values) {
  for (double v : values)
    if (!std::isfinite(v) || std::fabs(v) > kMaxCoordinate) return false;
  return true;
}

resample::Filter filter_of(InterpolationMode mode, bool* prefilter) {
  *prefilter = mode == InterpolationModeHighQualityBilinear || mode == InterpolationModeHighQualityBicubic;
  switch (mode) {
    case InterpolationModeNearestNeighbor: return resample::Filter::Nearest;
    case InterpolationModeBicubic:
    case InterpolationModeHighQualityBicubic: return resample::Filter::Bicubic;
    default: return resample::Filter::Bilinear;
  }
}

resample::Edge edge_of(WrapMode wrap) {
  switch (wrap) {
    case WrapModeTile: return resample::Edge::Tile;
    case WrapModeTileFlipX: return resample::Edge::TileFlipX;
    case WrapModeTileFlipY: return resample::Edge::TileFlipY;
    case WrapModeTileFlipXY: return resample::Edge::TileFlipXY;
    default: return resample::Edge::Colour;
  }
}

}  // namespace

Surface::~Surface() = default;

Status Surface::open(const GraphicsData& g) {
  int width = 0, height = 0;
  Region from{};
  if (g.image) {
    ImageData& image = *g.image;
    if (image.lock.active) return WrongState;
    if (direct_format(image.format, &m_view.format)) {
      m_view = {image.scan0, image.width, image.height, image.stride, m_view.format};
      return Ok;
    }
    width = image.width;
    height = image.height;
    from = Region{image.scan0, image.stride, 0, image.format, palette_ref(image)};
  } else {
    m_dcBitmap = dc_bitmap(g.hdc);
    if (!m_dcBitmap) return InvalidParameter;
    GdiBitmap& bm = *m_dcBitmap;
    const ptrdiff_t stride = bm.bottomUp ? -bm.stride : bm.stride;
    if (bm.bitsPerPixel == 32) {
      m_view = {bm.row(0), bm.width, bm.height, stride, TargetFormat::Rgb};
      return Ok;
    }
    width = bm.width;
    height = bm.height;
    from = Region{bm.row(0), stride, 0, PixelFormat24bppRGB, PaletteRef{}};
  }
  m_copy.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  const Region to{m_copy.data(), ptrdiff_t{width} * 4, 0, PixelFormat32bppARGB, PaletteRef{}};
  convert_region(from, to, width, height, false);
  m_view = {m_copy.data(), width, height, ptrdiff_t{width} * 4, TargetFormat::Argb};
  m_back = from;
  m_copied = true;
  return Ok;
}

void Surface::commit() {
  if (!m_copied) return;
  const Region from{m_copy.data(), ptrdiff_t{m_view.width} * 4, 0, PixelFormat32bppARGB, PaletteRef{}};
  convert_region(from, m_back, m_view.width, m_view.height, false);
}

}  // namespace zx::gdip

using namespace zx::gdip;

namespace Gdiplus::DllExports {

Status WINAPI GdipGraphicsClear(GpGraphics* graphics, ARGB color) {
  return guarded([&] {
    if (!graphics) return InvalidParameter;
    return fault_guarded([&] {
      Surface surface;
      if (const Status status = surface.open(*impl(graphics)); status != Ok) return status;
      resample::fill(surface.view(), color);
      surface.commit();
      return Ok;
    });
  });
}

Status WINAPI GdipDrawImageRectRect(GpGraphics* graphics, GpImage* image, REAL dstx, REAL dsty, REAL dstwidth,
                                    REAL dstheight, REAL srcx, REAL srcy, REAL srcwidth, REAL srcheight, Unit srcUnit,
                                    const GpImageAttributes* imageAttributes, DrawImageAbort callback,
                                    void* callbackData) {
  return guarded([&] {
    if (!graphics || !image) return InvalidParameter;
    if (!sane({dstx, dsty, dstwidth, dstheight, srcx, srcy, srcwidth, srcheight})) return InvalidParameter;
    if (srcUnit < UnitDisplay || srcUnit > UnitMillimeter) return InvalidParameter;
    ImageData& src = *impl(image);
    if (src.kind != ImageKind::Bitmap) return NotImplemented;
    if (src.lock.active) return WrongState;
    if (callback && callback(callbackData)) return Aborted;
    GraphicsData& g = *impl(graphics);
    const double ux = unit_scale(srcUnit, src.dpiX), uy = unit_scale(srcUnit, src.dpiY);
    double sx = srcx * ux, sy = srcy * uy, sw = srcwidth * ux, sh = srcheight * uy;
    if (sw == 0 || sh == 0 || dstwidth == 0 || dstheight == 0) return Ok;  // nothing to draw
    // Source rectangle onto destination rectangle (either may be mirrored), then world and page.
    const double kx = dstwidth / sw, ky = dstheight / sh;
    const Affine place{kx, 0, 0, ky, dstx - sx * kx, dsty - sy * ky};
    if (sw < 0) sx += sw, sw = -sw;
    if (sh < 0) sy += sh, sh = -sh;

    const AttributesData* attributes = imageAttributes ? impl(imageAttributes) : nullptr;
    OutputChannel channel;
    const bool separate = attributes && attributes->bitmap_channel(&channel);
    return fault_guarded([&] {
      // A source that is the target, or is not straight ARGB, or is drawn as one ink, is read from
      // a straight ARGB copy.
      // Pixel memory, not a vector: the conversion writes every byte, so nothing need be zeroed first.
      PixelBlock copy;
      resample::SourceView view{src.scan0, src.width, src.height, src.stride};
      if (separate || src.format != PixelFormat32bppARGB || &src == g.image) {
        copy.reset(static_cast<uint8_t*>(zx::pixel_alloc(static_cast<size_t>(src.width) * src.height * 4)));
        if (!copy) return OutOfMemory;
        const Region from{src.scan0, src.stride, 0, src.format, palette_ref(src)};
        const Region to{copy.get(), ptrdiff_t{src.width} * 4, 0, PixelFormat32bppARGB, PaletteRef{}};
        convert_region(from, to, src.width, src.height, false);
        view = {copy.get(), src.width, src.height, ptrdiff_t{src.width} * 4};
      }
      // The ink's grey image has the colour map in it already.
      if (separate) {
        const Status status = render_output_channel(copy.get(), src.width, src.height, ptrdiff_t{src.width} * 4,
                                                    channel, attributes->bitmap_map());
        if (status != Ok) return status;
      }
      Surface surface;
      if (const Status status = surface.open(g); status != Ok) return status;

      resample::DrawRequest request;
      request.source = view;
      request.sx = sx, request.sy = sy, request.sw = sw, request.sh = sh;
      request.to_device = place.then(g.to_device());
      request.offset =
          g.pixelOffset == PixelOffsetModeHalf || g.pixelOffset == PixelOffsetModeHighQuality ? 0.5 : 0.0;
      request.filter = filter_of(g.interpolation, &request.prefilter);
      if (attributes) {
        request.edge = edge_of(attributes->wrap);
        request.edge_colour = attributes->clampColor;
        request.colour = separate ? nullptr : attributes->bitmap_map();
      }
      request.compose = g.compositing == CompositingModeSourceCopy ? resample::Compose::SourceCopy
                                                                   : resample::Compose::SourceOver;
      request.target = surface.view();
      request.clip_x1 = surface.view().width;
      request.clip_y1 = surface.view().height;
      resample::draw(request);
      surface.commit();
      return Ok;
    });
  });
}

Status WINAPI GdipDrawImageRectRectI(GpGraphics* graphics, GpImage* image, INT dstx, INT dsty, INT dstwidth,
                                     INT dstheight, INT srcx, INT srcy, INT srcwidth, INT srcheight, Unit srcUnit,
                                     const GpImageAttributes* imageAttributes, DrawImageAbort callback,
                                     void* callbackData) {
  return GdipDrawImageRectRect(graphics, image, REAL(dstx), REAL(dsty), REAL(dstwidth), REAL(dstheight), REAL(srcx),
                               REAL(srcy), REAL(srcwidth), REAL(srcheight), srcUnit, imageAttributes, callback,
                               callbackData);
}

Status WINAPI GdipDrawImageRect(GpGraphics* graphics, GpImage* image, REAL x, REAL y, REAL width, REAL height) {
  if (!image) return InvalidParameter;
  const ImageData& src = *impl(image);
  return GdipDrawImageRectRect(graphics, image, x, y, width, height, 0, 0, REAL(src.width), REAL(src.height),
                               UnitPixel, nullptr, nullptr, nullptr);
}

Status WINAPI GdipDrawImageRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width, INT height) {
  return GdipDrawImageRect(graphics, image, REAL(x), REAL(y), REAL(width), REAL(height));
}

Status WINAPI GdipDrawImage(GpGraphics* graphics, GpImage* image, REAL x, REAL y) {
  if (!graphics || !image) return InvalidParameter;
  const ImageData& src = *impl(image);
  const GraphicsData& g = *impl(graphics);
  // Physical size: the image's pixels at its resolution, in the surface's page units.
  GraphicsData unscaled = g;
  unscaled.world = MatrixData{};
  const Affine page = unscaled.to_device();
  const double width = src.width * (g.dpiX / src.dpiX) / page.m11;
  const double height = src.height * (g.dpiY / src.dpiY) / page.m22;
  return GdipDrawImageRect(graphics, image, x, y, REAL(width), REAL(height));
}

Status WINAPI GdipDrawImageI(GpGraphics* graphics, GpImage* image, INT x, INT y) {
  return GdipDrawImage(graphics, image, REAL(x), REAL(y));
}

}  // namespace Gdiplus::DllExports
