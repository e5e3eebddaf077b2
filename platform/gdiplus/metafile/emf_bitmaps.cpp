// Zentarix GDI+ layer — MIT licence.
// Bitmap records (BitBlt, StretchBlt, StretchDIBits, SetDIBitsToDevice, AlphaBlend, TransparentBlt)
// with their raster operations, region fills and gradient fills.
#include <algorithm>
#include <cmath>

#include "emf_player.h"
#include "shapes.h"

using namespace Gdiplus;

namespace zx::gdip::emf {
namespace {

constexpr uint8_t kSrcCopy = 0xCC, kPatCopy = 0xF0, kBlackness = 0x00, kWhiteness = 0xFF, kDstInvert = 0x55;

bool uses_source(uint8_t code) { return (((code >> 2) ^ code) & 0x33) != 0; }
bool uses_pattern(uint8_t code) { return (((code >> 4) ^ code) & 0x0F) != 0; }

uint32_t* row_of(const ImageData& image, int y) { return reinterpret_cast<uint32_t*>(image.scan0 + y * image.stride); }

void make_opaque(const ImageData& image) {
  for (int y = 0; y < image.height; ++y)
    for (uint32_t* p = row_of(image, y); p != row_of(image, y) + image.width; ++p) *p |= 0xFF000000u;
}

RectF rect_of(double x, double y, double w, double h) { return RectF(REAL(x), REAL(y), REAL(w), REAL(h)); }

struct Vertex {
  PointD at;
  double c[4];  // red, green, blue, alpha in 0..255
};

}  // namespace

void Player::fill_rect(const RectF& dest, const BrushObject& brush, const RasterOp& rop) {
  const Affine m = to_device();
  BrushData b;
  if (!brush_data(brush, m, &b)) return;
  GraphicsData g = gdi_graphics(m, false);
  g.rop = rop;
  const PathData path = rectangle_path(dest);
  DeviceBox box{INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (const PointF& p : path.points) {
    const PointD d = apply(m, {p.X, p.Y});
    box = {std::min(box.x0, d.x), std::min(box.y0, d.y), std::max(box.x1, d.x), std::max(box.y1, d.y)};
  }
  charge(box);
  fill_path(g, path, b, FillModeAlternate);
}

void Player::blit(const std::shared_ptr<ImageData>& source, RectF src, RectF dest, uint32_t rop) {
  const uint8_t code = static_cast<uint8_t>(rop >> 16);
  if (!uses_source(code)) {
    BrushObject brush;  // black
    if (code == kWhiteness) brush.colour = 0xFFFFFF;
    else if (uses_pattern(code) && m_dc.brush) brush = std::get<BrushObject>(*m_dc.brush);
    const bool plain = code == kBlackness || code == kWhiteness || code == kPatCopy;
    fill_rect(dest, brush, plain ? RasterOp{} : RasterOp{true, code, false, 0});
    return;
  }
  if (!source || src.Width == 0 || src.Height == 0) return;
  make_opaque(*source);  // GDI's blits take no alpha from the source
  const Affine m = to_device();
  GraphicsData g = gdi_graphics(m, false);
  if (code == kSrcCopy) {
    AttributesData edges;  // filtering at the edges reads the edge pixels again, as GDI's halftoning does
    edges.wrap = WrapModeTileFlipXY;
    DeviceBox box{INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (const PointF& p : rectangle_path(dest).points) {
      const PointD d = apply(m, {p.X, p.Y});
      box = {std::min(box.x0, d.x), std::min(box.y0, d.y), std::max(box.x1, d.x), std::max(box.y1, d.y)};
    }
    charge(box);
    DllExports::GdipDrawImageRectRect(reinterpret_cast<GpGraphics*>(&g), handle_of(source.get()), dest.X, dest.Y,
                                      dest.Width, dest.Height, src.X, src.Y, src.Width, src.Height, UnitPixel,
                                      reinterpret_cast<const GpImageAttributes*>(&edges), nullptr, nullptr);
    return;
  }
  // Other operations combine source, pattern and screen pixel by pixel: the source is laid over
  // the destination rectangle as a texture and the operation composes it.
  BrushObject texture;
  texture.style = 5;
  texture.pattern = source;
  BrushData b;
  if (!brush_data(texture, m, &b)) return;
  const double kx = dest.Width / src.Width, ky = dest.Height / src.Height;
  b.transform.set(Affine{kx, 0, 0, ky, dest.X - src.X * kx, dest.Y - src.Y * ky});
  ARGB pattern = 0xFF000000u;
  if (m_dc.brush) {
    BrushData p;
    if (brush_data(std::get<BrushObject>(*m_dc.brush), m, &p)) pattern = p.type == BrushTypeHatchFill ? p.fore : p.colour;
  }
  g.rop = RasterOp{true, code, true, pattern};
  g.interpolation = InterpolationModeNearestNeighbor;
  const PathData path = rectangle_path(dest);
  fill_path(g, path, b, FillModeAlternate);
}

bool Player::bitmap_record(uint32_t type, const Bytes& r) {
  const auto i32 = [&](size_t at) { return double(r.i32(at)); };
  switch (type) {
    case EMR_BITBLT:
    case EMR_STRETCHBLT: {
      // The source rectangle goes through the source DC's transform to the bitmap's pixels.
      const Affine xf{r.f32(52), r.f32(56), r.f32(60), r.f32(64), r.f32(68), r.f32(72)};
      const double cxDest = i32(32), cyDest = i32(36);
      const double cxSrc = type == EMR_STRETCHBLT ? i32(100) : cxDest, cySrc = type == EMR_STRETCHBLT ? i32(104) : cyDest;
      const PointD s0 = apply(xf, {i32(44), i32(48)}), s1 = apply(xf, {i32(44) + cxSrc, i32(48) + cySrc});
      const std::shared_ptr<ImageData> source = r.u32(88) ? dib(r, 84, 88, 92, 96, r.u32(80)) : nullptr;
      if (!std::isfinite(s0.x + s0.y + s1.x + s1.y)) return true;
      blit(source, rect_of(s0.x, s0.y, s1.x - s0.x, s1.y - s0.y), rect_of(i32(24), i32(28), cxDest, cyDest),
           r.u32(40));
      return true;
    }
    case EMR_STRETCHDIBITS:
    case EMR_SETDIBITSTODEVICE: {
      bool bottomUp = false;
      const std::shared_ptr<ImageData> source =
          dib(r, 48, 52, 56, 60, r.u32(64), &bottomUp, type == EMR_SETDIBITSTODEVICE ? r.u32(72) : 0);
      double xSrc = i32(32), ySrc = i32(36);
      const double cxSrc = i32(40), cySrc = i32(44);
      if (!source) return true;
      if (type == EMR_SETDIBITSTODEVICE) {
        // The bits hold cScans scan lines from iStartScan on; the DIB's own height counts them all.
        const double start = r.u32(68), scans = source->height;
        if (bottomUp) ySrc = scans - (ySrc - start) - cySrc;
        else ySrc -= start;
        blit(source, rect_of(xSrc, ySrc, cxSrc, cySrc), rect_of(i32(24), i32(28), cxSrc, cySrc),
             0x00CC0020);
        return true;
      }
      if (bottomUp) ySrc = source->height - ySrc - cySrc;  // a bottom-up DIB counts rows from its foot
      blit(source, rect_of(xSrc, ySrc, cxSrc, cySrc), rect_of(i32(24), i32(28), i32(72), i32(76)),
           r.u32(68));
      return true;
    }
    case EMR_ALPHABLEND:
    case EMR_TRANSPARENTBLT: {
      bool bottomUp = false;
      const std::shared_ptr<ImageData> source = dib(r, 84, 88, 92, 96, r.u32(80), &bottomUp);
      if (!source) return true;
      const uint32_t blend = r.u32(40);
      if (type == EMR_TRANSPARENTBLT) {
        const ARGB key = argb_of(blend) & 0x00FFFFFFu;
        for (int y = 0; y < source->height; ++y)
          for (uint32_t* p = row_of(*source, y); p != row_of(*source, y) + source->width; ++p)
            *p = (*p & 0x00FFFFFFu) == key ? 0 : *p | 0xFF000000u;
      } else {
        // AC_SRC_ALPHA: a 32-bit source carries premultiplied alpha in its fourth byte.
        const uint32_t constant = (blend >> 16) & 0xFF;
        const Bytes bmi = r.sub(r.u32(84), r.u32(88));
        const bool ownAlpha = (blend >> 24) & 1 && bmi.u32(0) >= 40 && bmi.u16(14) == 32 && bmi.u32(16) == 0;
        const Bytes bits = r.sub(r.u32(92), r.u32(96));
        for (int y = 0; y < source->height; ++y) {
          const size_t row = size_t(bottomUp ? source->height - 1 - y : y) * size_t(source->width) * 4;
          uint32_t* p = row_of(*source, y);
          for (int x = 0; x < source->width; ++x) {
            const uint32_t a = ownAlpha ? bits.u8(row + 4 * size_t(x) + 3) : 255;
            uint32_t c = p[x] & 0x00FFFFFFu;
            if (ownAlpha && a > 0 && a < 255) {
              uint32_t out = 0;
              for (int shift = 0; shift < 24; shift += 8)
                out |= std::min<uint32_t>(255, (((c >> shift) & 0xFF) * 255 + a / 2) / a) << shift;
              c = out;
            }
            const uint32_t alpha = (a * constant + 127) / 255;
            p[x] = alpha ? c | alpha << 24 : 0;
          }
        }
      }
      const Affine xf{r.f32(52), r.f32(56), r.f32(60), r.f32(64), r.f32(68), r.f32(72)};
      const PointD s0 = apply(xf, {i32(44), i32(48)}), s1 = apply(xf, {i32(44) + i32(100), i32(48) + i32(104)});
      if (!std::isfinite(s0.x + s0.y + s1.x + s1.y)) return true;
      const RectF dest = rect_of(i32(24), i32(28), i32(32), i32(36));
      GraphicsData g = gdi_graphics(to_device(), false);
      charge({0, 0, double(m_bounds.Width), double(m_bounds.Height)});
      DllExports::GdipDrawImageRectRect(reinterpret_cast<GpGraphics*>(&g), handle_of(source.get()), dest.X, dest.Y,
                                        dest.Width, dest.Height, REAL(s0.x), REAL(s0.y), REAL(s1.x - s0.x),
                                        REAL(s1.y - s0.y), UnitPixel, nullptr, nullptr, nullptr);
      return true;
    }
    case EMR_FILLRGN:
    case EMR_PAINTRGN:
    case EMR_INVERTRGN: {
      const bool fill = type == EMR_FILLRGN;
      const ClipPtr region = region_data(r, fill ? 32 : 28, r.u32(24));
      Rect extents;
      if (!clip_extents(*region, &extents)) return true;
      BrushObject brush;
      if (fill) {
        const ObjectPtr o = object(r.u32(28));
        if (!o || !std::holds_alternative<BrushObject>(*o)) return true;
        brush = std::get<BrushObject>(*o);
      } else if (type == EMR_PAINTRGN) {
        if (!m_dc.brush) return true;
        brush = std::get<BrushObject>(*m_dc.brush);
      }
      BrushData b;
      if (!brush_data(brush, Affine{}, &b)) return true;
      GraphicsData g = gdi_graphics(Affine{}, false);
      g.clip = combine_clip(g.clip, region, CombineModeIntersect);
      if (type == EMR_INVERTRGN) g.rop = RasterOp{true, kDstInvert, false, 0};
      charge({double(extents.X), double(extents.Y), double(extents.GetRight()), double(extents.GetBottom())});
      fill_path(g, rectangle_path(RectF(REAL(extents.X), REAL(extents.Y), REAL(extents.Width), REAL(extents.Height))), b,
                FillModeAlternate);
      return true;
    }
    case EMR_GRADIENTFILL: gradient_fill(r); return true;
    default: return false;
  }
}

void Player::gradient_fill(const Bytes& r) {
  const uint32_t count = r.u32(24), meshes = r.u32(28), mode = r.u32(32);
  if (mode > 2) return;
  r.need(36, count, 16);
  const Affine m = to_device();
  std::vector<Vertex> v(count);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = 36 + size_t{i} * 16;
    v[i].at = apply(m, {double(r.i32(at)), double(r.i32(at + 4))});
    for (int k = 0; k < 3; ++k) v[i].c[k] = r.u16(at + 8 + 2 * k) / 257.0;
    v[i].c[3] = 255;  // GDI fills opaque: the alpha of a vertex matters only to AlphaBlend
  }
  const size_t meshAt = 36 + size_t{count} * 16, corners = mode == 2 ? 3 : 2;
  r.need(meshAt, meshes, corners * 4);
  for (uint32_t k = 0; k < meshes; ++k) {
    Vertex c[3];
    for (size_t j = 0; j < corners; ++j) {
      const uint32_t index = r.u32(meshAt + (size_t{k} * corners + j) * 4);
      if (index >= count) throw Malformed{};
      c[j] = v[index];
    }
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    for (size_t j = 0; j < corners; ++j)
      x0 = std::min(x0, c[j].at.x), y0 = std::min(y0, c[j].at.y), x1 = std::max(x1, c[j].at.x), y1 = std::max(y1, c[j].at.y);
    // Pixels whose centres the mesh covers, within the picture.
    const int px0 = static_cast<int>(std::clamp(std::ceil(x0 - 0.5), 0.0, double(m_bounds.Width)));
    const int py0 = static_cast<int>(std::clamp(std::ceil(y0 - 0.5), 0.0, double(m_bounds.Height)));
    const int px1 = static_cast<int>(std::clamp(std::ceil(x1 - 0.5), 0.0, double(m_bounds.Width)));
    const int py1 = static_cast<int>(std::clamp(std::ceil(y1 - 0.5), 0.0, double(m_bounds.Height)));
    if (px1 <= px0 || py1 <= py0) continue;
    charge({x0, y0, x1, y1});
    Status status = Ok;
    std::unique_ptr<ImageData> tile = make_bitmap(px1 - px0, py1 - py0, PixelFormat32bppARGB, &status);
    if (!tile) throw std::bad_alloc();
    const double area = (c[1].at.x - c[0].at.x) * (c[2].at.y - c[0].at.y) - (c[2].at.x - c[0].at.x) * (c[1].at.y - c[0].at.y);
    for (int y = py0; y < py1; ++y) {
      uint32_t* out = row_of(*tile, y - py0);
      for (int x = px0; x < px1; ++x) {
        const double cx = x + 0.5, cy = y + 0.5;
        double w[3] = {0, 0, 0};
        if (mode == 2) {  // barycentric weights; outside the triangle the pixel stays untouched
          if (area == 0) break;
          w[1] = ((cx - c[0].at.x) * (c[2].at.y - c[0].at.y) - (c[2].at.x - c[0].at.x) * (cy - c[0].at.y)) / area;
          w[2] = ((c[1].at.x - c[0].at.x) * (cy - c[0].at.y) - (cx - c[0].at.x) * (c[1].at.y - c[0].at.y)) / area;
          w[0] = 1 - w[1] - w[2];
          if (w[0] < -1e-9 || w[1] < -1e-9 || w[2] < -1e-9) continue;
        } else {
          const double t = mode == 0 ? (cx - c[0].at.x) / (c[1].at.x - c[0].at.x) : (cy - c[0].at.y) / (c[1].at.y - c[0].at.y);
          w[1] = std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 0;
          w[0] = 1 - w[1];
        }
        uint32_t pixel = 0;
        for (int ch = 0; ch < 4; ++ch) {
          const double value = w[0] * c[0].c[ch] + w[1] * c[1].c[ch] + w[2] * c[2].c[ch];
          pixel |= uint32_t(std::clamp(std::lround(value), 0L, 255L)) << (ch == 3 ? 24 : 16 - 8 * ch);
        }
        out[x - px0] = pixel;
      }
    }
    GraphicsData g = gdi_graphics(Affine{}, false);
    g.interpolation = InterpolationModeNearestNeighbor;
    DllExports::GdipDrawImageRectRect(reinterpret_cast<GpGraphics*>(&g), handle_of(tile.get()), REAL(px0), REAL(py0),
                                      REAL(tile->width), REAL(tile->height), 0, 0, REAL(tile->width),
                                      REAL(tile->height), UnitPixel, nullptr, nullptr, nullptr);
  }
}

}  // namespace zx::gdip::emf
