// Zentarix GDI+ layer — MIT licence.
// EMF+ records: the header, graphics state (transforms, page, containers, clipping, quality
// settings) and the drawing, filling, text and image records, played on the same Graphics.
#include <algorithm>
#include <cmath>

#include "emf_player.h"
#include "shapes.h"

using namespace Gdiplus;

namespace zx::gdip::emf {
namespace {

enum : uint16_t {
  Header = 0x4001, EndOfFile, Comment, GetDC, Object = 0x4008, Clear, FillRects, DrawRects, FillPolygon, DrawLines,
  FillEllipse, DrawEllipse, FillPie, DrawPie, DrawArc, FillRegion, FillPath, DrawPath, FillClosedCurve,
  DrawClosedCurve, DrawCurve, DrawBeziers, DrawImage, DrawImagePoints, DrawString, SetRenderingOrigin,
  SetAntiAliasMode, SetTextRenderingHint, SetTextContrast, SetInterpolationMode, SetPixelOffsetMode,
  SetCompositingMode, SetCompositingQuality, Save, Restore, BeginContainer, BeginContainerNoParams, EndContainer,
  SetWorldTransform, ResetWorldTransform, MultiplyWorldTransform, TranslateWorldTransform, ScaleWorldTransform,
  RotateWorldTransform, SetPageTransform, ResetClip, SetClipRect, SetClipPath, SetClipRegion, OffsetClip,
  DrawDriverString
};
enum : uint16_t { kSolid = 0x8000, kCompressed = 0x4000, kRelative = 0x0800, kWinding = 0x2000, kClosed = 0x2000,
                  kAppend = 0x2000 };

bool finite(std::initializer_list<double> values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// count points from at: relative (variable length), 16-bit integers or floats.
std::vector<PointD> read_points(const Bytes& d, size_t at, uint32_t count, uint16_t flags) {
  std::vector<PointD> out;
  if (flags & kRelative) {
    PointD last;
    for (uint32_t i = 0; i < count; ++i) {
      for (double* v : {&last.x, &last.y}) {
        const uint8_t b = d.u8(at++);
        *v += (b & 0x80) ? ((b & 0x7F) << 8 | d.u8(at++)) << 17 >> 17 : (b & 0x7F) << 25 >> 25;
      }
      out.push_back(last);
    }
    return out;
  }
  const size_t each = (flags & kCompressed) ? 4 : 8;
  d.need(at, count, each);
  out.resize(count);
  for (uint32_t i = 0; i < count; ++i, at += each) {
    out[i] = each == 4 ? PointD{double(d.i16(at)), double(d.i16(at + 2))} : PointD{d.f32(at), d.f32(at + 4)};
    if (!finite({out[i].x, out[i].y})) throw Malformed{};
  }
  return out;
}

RectF read_rect(const Bytes& d, size_t at, uint16_t flags) {
  const RectF r = (flags & kCompressed) ? RectF(d.i16(at), d.i16(at + 2), d.i16(at + 4), d.i16(at + 6))
                                        : RectF(d.f32(at), d.f32(at + 4), d.f32(at + 8), d.f32(at + 12));
  if (!finite({r.X, r.Y, r.Width, r.Height})) throw Malformed{};
  return r;
}

size_t rect_size(uint16_t flags) { return (flags & kCompressed) ? 8 : 16; }

}  // namespace

void Player::plus_records(const Bytes& c) {
  for (size_t at = 0; at + 12 <= c.size();) {
    const uint16_t type = c.u16(at), flags = c.u16(at + 2);
    const uint32_t size = c.u32(at + 4), dataSize = c.u32(at + 8);
    if (size < 12 || size > c.size() - at || dataSize > size - 12) throw Malformed{};
    m_getDc = false;  // GDI records drawn for an EmfPlusGetDC end at the next EMF+ record
    plus_record(type, flags, c.sub(at + 12, dataSize));
    at += size;
  }
}

Affine Player::plus_to_device() const {
  const double page = m_ps.pageUnit == UnitWorld ? m_ps.pageScale
                                                  : unit_scale(m_ps.pageUnit, m_plusDpiX) * m_ps.pageScale;
  const double pageY = m_ps.pageUnit == UnitWorld ? m_ps.pageScale
                                                   : unit_scale(m_ps.pageUnit, m_plusDpiY) * m_ps.pageScale;
  // EMF+ pixels are at the header's resolution; the frame is on the reference device.
  const Affine toReference{m_refDpiX / m_plusDpiX * page, 0, 0, m_refDpiY / m_plusDpiY * pageY, 0, 0};
  return m_ps.world.then(m_ps.container).then(toReference).then(m_base);
}

GraphicsData Player::plus_graphics() const {
  GraphicsData g;
  g.image = const_cast<ImageData*>(&m_target);
  g.pageUnit = UnitPixel;
  g.world.set(plus_to_device());
  g.smoothing = m_ps.smoothing;
  g.textHint = m_ps.textHint;
  g.interpolation = m_ps.interpolation;
  g.pixelOffset = m_ps.pixelOffset;
  g.compositing = m_ps.compositing;
  g.originX = m_ps.originX;
  g.originY = m_ps.originY;
  g.clip = combine_clip(m_ps.outerClip, m_ps.clip, CombineModeIntersect);
  return g;
}

void Player::plus_set_clip(const ClipPtr& operand, int mode) {
  if (mode < CombineModeReplace || mode > CombineModeComplement) return;
  m_ps.clip = combine_clip(m_ps.clip, operand, static_cast<CombineMode>(mode));
}

void Player::plus_record(uint16_t type, uint16_t flags, const Bytes& d) {
  if (type == Header) {
    m_plus = true;
    const uint32_t x = d.u32(8), y = d.u32(12);
    if (x > 0 && x < 100000 && y > 0 && y < 100000) m_plusDpiX = x, m_plusDpiY = y;
    return;
  }
  if (!m_plus || m_plusEnded) return;
  switch (type) {
    case EndOfFile: m_plusEnded = true; return;
    case GetDC: m_getDc = true; return;
    case Object: return plus_object(flags, d);
    default: break;
  }
  if (!plus_state_record(type, flags, d)) plus_draw_record(type, flags, d);  // unknown records are skipped
}

bool Player::plus_state_record(uint16_t type, uint16_t flags, const Bytes& d) {
  PlusState& s = m_ps;
  const auto order = [&](const Affine& op) { s.world = (flags & kAppend) ? s.world.then(op) : op.then(s.world); };
  const auto push = [&] {
    m_plusSaved.emplace_back(d.u32(type == BeginContainer ? 32 : 0), s);
    if (m_plusSaved.size() > 4096) throw Malformed{};  // deeper than any real picture nests
  };
  const auto pop = [&] {
    const uint32_t id = d.u32(0);
    for (size_t i = m_plusSaved.size(); i-- > 0;)
      if (m_plusSaved[i].first == id) {
        s = m_plusSaved[i].second;
        m_plusSaved.resize(i);
        return;
      }
  };
  const auto open_container = [&](const Affine& map) {
    s.container = map.then(s.world).then(s.container);
    s.world = Affine{};
    s.outerClip = combine_clip(s.outerClip, s.clip, CombineModeIntersect);
    s.clip = nullptr;
  };
  switch (type) {
    case SetRenderingOrigin: {
      const PointD o = apply(m_base, {double(d.i32(0)), double(d.i32(4))});
      s.originX = static_cast<int>(std::lround(std::clamp(o.x, -1e9, 1e9)));
      s.originY = static_cast<int>(std::lround(std::clamp(o.y, -1e9, 1e9)));
      break;
    }
    case SetAntiAliasMode: s.smoothing = (flags & 1) ? SmoothingModeAntiAlias : SmoothingModeNone; break;
    case SetTextRenderingHint:
      s.textHint = static_cast<TextRenderingHint>(std::min<int>(flags & 0xFF, TextRenderingHintClearTypeGridFit));
      break;
    case SetInterpolationMode: {
      const int mode = flags & 0xFF;
      s.interpolation = mode == InterpolationModeHighQuality ? InterpolationModeHighQualityBicubic
                        : mode >= InterpolationModeBilinear && mode <= InterpolationModeHighQualityBicubic
                            ? static_cast<InterpolationMode>(mode)
                            : InterpolationModeBilinear;
      break;
    }
    case SetPixelOffsetMode: s.pixelOffset = static_cast<PixelOffsetMode>(std::min<int>(flags & 0xFF, PixelOffsetModeHalf)); break;
    case SetCompositingMode: s.compositing = (flags & 0xFF) == 1 ? CompositingModeSourceCopy : CompositingModeSourceOver; break;
    case SetTextContrast: case SetCompositingQuality: break;
    case Save: push(); break;
    case Restore: case EndContainer: pop(); break;
    case BeginContainer: {
      const RectF dest = read_rect(d, 0, 0), src = read_rect(d, 16, 0);
      push();
      if (src.Width == 0 || src.Height == 0) break;
      const double kx = dest.Width / src.Width, ky = dest.Height / src.Height;
      open_container(Affine{kx, 0, 0, ky, dest.X - src.X * kx, dest.Y - src.Y * ky});
      break;
    }
    case BeginContainerNoParams: push(); open_container(Affine{}); break;
    case SetWorldTransform: {
      const Affine m{d.f32(0), d.f32(4), d.f32(8), d.f32(12), d.f32(16), d.f32(20)};
      if (finite({m.m11, m.m12, m.m21, m.m22, m.dx, m.dy})) s.world = m;
      break;
    }
    case ResetWorldTransform: s.world = Affine{}; break;
    case MultiplyWorldTransform: {
      const Affine m{d.f32(0), d.f32(4), d.f32(8), d.f32(12), d.f32(16), d.f32(20)};
      if (finite({m.m11, m.m12, m.m21, m.m22, m.dx, m.dy})) order(m);
      break;
    }
    case TranslateWorldTransform:
      if (finite({d.f32(0), d.f32(4)})) order(Affine{1, 0, 0, 1, d.f32(0), d.f32(4)});
      break;
    case ScaleWorldTransform:
      if (finite({d.f32(0), d.f32(4)})) order(Affine{d.f32(0), 0, 0, d.f32(4), 0, 0});
      break;
    case RotateWorldTransform:
      if (finite({d.f32(0)})) order(rotation(d.f32(0)));
      break;
    case SetPageTransform: {
      const int unit = flags & 0xFF;
      const float scale = d.f32(0);
      if (unit >= UnitWorld && unit <= UnitMillimeter && std::isfinite(scale) && scale > 0)
        s.pageUnit = static_cast<Unit>(unit), s.pageScale = scale;
      break;
    }
    case ResetClip: s.clip = nullptr; break;
    case SetClipRect:
      plus_set_clip(clip_shape(rectangle_path(read_rect(d, 0, 0)), plus_to_device()), (flags >> 8) & 0xF);
      break;
    case SetClipPath: {
      const auto* path = std::get_if<PathData>(&plus_get(flags & 0xFF));
      if (path) plus_set_clip(clip_shape(*path, plus_to_device()), (flags >> 8) & 0xF);
      break;
    }
    case SetClipRegion: {
      const auto* region = std::get_if<PlusRegion>(&plus_get(flags & 0xFF));
      if (region) {
        const ClipPtr r = plus_region(*region, plus_to_device());
        plus_set_clip(r ? r : clip_from_rects(&m_bounds, 1), (flags >> 8) & 0xF);
      }
      break;
    }
    case OffsetClip: {
      const Affine m = plus_to_device();
      const double dx = d.f32(0), dy = d.f32(4), ddx = m.m11 * dx + m.m21 * dy, ddy = m.m12 * dx + m.m22 * dy;
      if (std::fabs(ddx) < 1e8 && std::fabs(ddy) < 1e8)
        s.clip = translate_clip(s.clip, static_cast<int>(std::lround(ddx)), static_cast<int>(std::lround(ddy)));
      break;
    }
    default: return false;
  }
  return true;
}

void Player::plus_draw_image(const PlusImage& image, const AttributesData* attributes, Unit unit, const RectF& src,
                             const Affine& placement) {
  if (!image.bitmap || unit < UnitDisplay || unit > UnitMillimeter) return;
  GraphicsData g = plus_graphics();
  const Affine m = placement.then(g.world.affine());
  g.world.set(m);
  charge(device_bounds(rectangle_path(src), m, 1));
  DllExports::GdipDrawImageRectRect(reinterpret_cast<GpGraphics*>(&g), handle_of(image.bitmap.get()), src.X, src.Y,
                                    src.Width, src.Height, src.X, src.Y, src.Width, src.Height, unit,
                                    reinterpret_cast<const GpImageAttributes*>(attributes), nullptr, nullptr);
}

bool Player::plus_draw_record(uint16_t type, uint16_t flags, const Bytes& d) {
  GraphicsData g = plus_graphics();
  const Affine m = g.world.affine();
  PathData path;
  const auto fill = [&](uint32_t brushId, FillMode mode) {
    BrushData brush;
    if (!plus_brush(flags, brushId, &brush)) return;
    charge(device_bounds(path, m, 1));
    fill_path(g, path, brush, mode);
  };
  const auto stroke = [&](uint32_t penId) {
    const PenData* pen = plus_pen(penId);
    if (!pen) return;
    const double scale = std::sqrt(std::fabs(m.m11 * m.m22 - m.m12 * m.m21));
    charge(device_bounds(path, m, 2 + pen->width * scale * std::max<double>(2, pen->miterLimit)));
    stroke_path(g, path, *pen);
  };
  const uint8_t objectId = flags & 0xFF;
  switch (type) {
    case Clear: {
      BrushData brush;
      brush.colour = d.u32(0);
      g.world = MatrixData{};
      g.compositing = CompositingModeSourceCopy;
      g.smoothing = SmoothingModeNone;
      g.pixelOffset = PixelOffsetModeHalf;
      charge({0, 0, double(m_bounds.Width), double(m_bounds.Height)});
      fill_path(g, rectangle_path(RectF(0, 0, REAL(m_bounds.Width), REAL(m_bounds.Height))), brush, FillModeAlternate);
      break;
    }
    case FillRects:
    case DrawRects: {
      const bool filling = type == FillRects;
      const size_t at = filling ? 8 : 4;
      const uint32_t count = d.u32(filling ? 4 : 0);
      d.need(at, count, rect_size(flags));
      for (uint32_t i = 0; i < count; ++i) {
        const RectF r = read_rect(d, at + i * rect_size(flags), flags);
        path_add_rectangle(path, r.X, r.Y, r.Width, r.Height);
      }
      filling ? fill(d.u32(0), FillModeAlternate) : stroke(objectId);
      break;
    }
    case FillPolygon: {
      const std::vector<PointD> p = read_points(d, 8, d.u32(4), flags);
      path_add_polygon(path, p.data(), p.size());
      fill(d.u32(0), FillModeAlternate);
      break;
    }
    case DrawLines: {
      const std::vector<PointD> p = read_points(d, 4, d.u32(0), flags);
      (flags & kClosed) ? path_add_polygon(path, p.data(), p.size()) : path_add_lines(path, p.data(), p.size());
      stroke(objectId);
      break;
    }
    case FillEllipse: {
      const RectF r = read_rect(d, 4, flags);
      path_add_ellipse(path, r.X, r.Y, r.Width, r.Height);
      fill(d.u32(0), FillModeAlternate);
      break;
    }
    case DrawEllipse: {
      const RectF r = read_rect(d, 0, flags);
      path_add_ellipse(path, r.X, r.Y, r.Width, r.Height);
      stroke(objectId);
      break;
    }
    case FillPie:
    case DrawPie:
    case DrawArc: {
      const size_t at = type == FillPie ? 4 : 0;
      const double start = d.f32(at), sweep = d.f32(at + 4);
      const RectF r = read_rect(d, at + 8, flags);
      if (!finite({start, sweep}) || r.Width <= 0 || r.Height <= 0) break;
      if (type == DrawArc) path_add_arc(path, r.X, r.Y, r.Width, r.Height, start, sweep);
      else path_add_pie(path, r.X, r.Y, r.Width, r.Height, start, sweep);
      type == FillPie ? fill(d.u32(0), FillModeAlternate) : stroke(objectId);
      break;
    }
    case FillRegion: {
      const auto* region = std::get_if<PlusRegion>(&plus_get(objectId));
      BrushData brush;
      if (!region || !plus_brush(flags, d.u32(0), &brush)) break;
      const ClipPtr area = plus_region(*region, m);
      Rect extents(m_bounds);
      if (area && !clip_extents(*area, &extents)) break;
      g.clip = combine_clip(g.clip, area, CombineModeIntersect);
      Affine toWorld;
      if (!m.invert(&toWorld)) break;
      // The brush stays in world space: the region's extents are filled through the world transform.
      PathData box = rectangle_path(RectF(REAL(extents.X), REAL(extents.Y), REAL(extents.Width), REAL(extents.Height)));
      for (PointF& p : box.points) {
        const PointD q = apply(toWorld, {p.X, p.Y});
        p = PointF(REAL(q.x), REAL(q.y));
      }
      charge({double(extents.X), double(extents.Y), double(extents.GetRight()), double(extents.GetBottom())});
      fill_path(g, box, brush, FillModeAlternate);
      break;
    }
    case FillPath:
    case DrawPath: {
      const auto* p = std::get_if<PathData>(&plus_get(objectId));
      if (!p) break;
      path = *p;
      type == FillPath ? fill(d.u32(0), FillModeAlternate) : stroke(d.u32(0));
      break;
    }
    case FillClosedCurve:
    case DrawClosedCurve:
    case DrawCurve: {
      const size_t at = type == FillClosedCurve ? 4 : 0;
      const double tension = d.f32(at);
      if (!finite({tension})) break;
      if (type == DrawCurve) {  // the segments from offset on, shaped by all the points
        const uint32_t offset = d.u32(4), segments = d.u32(8);
        std::vector<PointD> p = read_points(d, 16, d.u32(12), flags);
        if (p.size() < 2 || offset >= p.size()) break;
        const size_t last = std::min<size_t>(p.size() - 1, size_t{offset} + segments);
        p = std::vector<PointD>(p.begin() + offset, p.begin() + last + 1);
        if (p.size() < 2) break;
        path_add_curve(path, p.data(), p.size(), tension, false);
        stroke(objectId);
        break;
      }
      const std::vector<PointD> p = read_points(d, at + 8, d.u32(at + 4), flags);
      if (p.size() < 3) break;
      path_add_curve(path, p.data(), p.size(), tension, true);
      type == FillClosedCurve ? fill(d.u32(0), (flags & kWinding) ? FillModeWinding : FillModeAlternate)
                              : stroke(objectId);
      break;
    }
    case DrawBeziers: {
      std::vector<PointD> p = read_points(d, 4, d.u32(0), flags);
      if (p.empty()) break;
      p.resize(1 + (p.size() - 1) / 3 * 3);
      path_add_beziers(path, p.data(), p.size());
      stroke(objectId);
      break;
    }
    case DrawImage:
    case DrawImagePoints: {
      const auto* image = std::get_if<PlusImage>(&plus_get(objectId));
      const uint32_t attributesId = d.u32(0);
      const auto* attributes = attributesId < m_plusObjects.size() ? std::get_if<AttributesData>(&m_plusObjects[attributesId]) : nullptr;
      const auto unit = static_cast<Unit>(d.i32(4));
      const RectF src = read_rect(d, 8, 0);
      if (!image || src.Width == 0 || src.Height == 0) break;
      if (type == DrawImage) {
        const RectF dest = read_rect(d, 24, flags);
        const double kx = dest.Width / src.Width, ky = dest.Height / src.Height;
        plus_draw_image(*image, attributes, unit, src, Affine{kx, 0, 0, ky, dest.X - src.X * kx, dest.Y - src.Y * ky});
      } else {  // the source's top-left, top-right and bottom-left corners land on three points
        if (d.u32(24) != 3) break;
        const std::vector<PointD> p = read_points(d, 28, 3, flags);
        const double ax = (p[1].x - p[0].x) / src.Width, ay = (p[1].y - p[0].y) / src.Width;
        const double bx = (p[2].x - p[0].x) / src.Height, by = (p[2].y - p[0].y) / src.Height;
        plus_draw_image(*image, attributes, unit, src,
                        Affine{ax, ay, bx, by, p[0].x - src.X * ax - src.Y * bx, p[0].y - src.X * ay - src.Y * by});
      }
      break;
    }
    case DrawString: {
      const auto* font = std::get_if<PlusFont>(&plus_get(objectId));
      BrushData brush;
      if (!font || !plus_brush(flags, d.u32(0), &brush)) break;
      const uint32_t formatId = d.u32(4), length = d.u32(8);
      const auto* format = formatId < m_plusObjects.size() ? std::get_if<StringFormatData>(&m_plusObjects[formatId]) : nullptr;
      const RectF layout = read_rect(d, 12, 0);
      d.need(28, length, 2);
      std::u16string text;
      for (uint32_t i = 0; i < length; ++i) text.push_back(char16_t(d.u16(28 + 2 * size_t{i})));
      charge({0, 0, double(m_bounds.Width), double(m_bounds.Height)});
      DllExports::GdipDrawString(reinterpret_cast<GpGraphics*>(&g), text.data(), static_cast<INT>(text.size()),
                                 reinterpret_cast<const GpFont*>(&font->font), &layout,
                                 reinterpret_cast<const GpStringFormat*>(format),
                                 reinterpret_cast<const GpBrush*>(&brush));
      break;
    }
    case DrawDriverString: {
      const auto* font = std::get_if<PlusFont>(&plus_get(objectId));
      BrushData brush;
      if (!font || !plus_brush(flags, d.u32(0), &brush)) break;
      const uint32_t options = d.u32(4), hasMatrix = d.u32(8), count = d.u32(12);
      d.need(16, count, 2 + 8);
      if (!(options & DriverStringOptionsCmapLookup) || count == 0) break;  // glyph numbers of another font file
      std::u16string text;
      std::vector<PointF> positions;
      for (uint32_t i = 0; i < count; ++i) text.push_back(char16_t(d.u16(16 + 2 * size_t{i})));
      const size_t posAt = 16 + size_t{count} * 2;
      for (uint32_t i = 0; i < count; ++i) positions.emplace_back(d.f32(posAt + 8 * size_t{i}), d.f32(posAt + 8 * size_t{i} + 4));
      MatrixData matrix;
      if (hasMatrix) {
        const size_t at = posAt + size_t{count} * 8;
        const Affine a{d.f32(at), d.f32(at + 4), d.f32(at + 8), d.f32(at + 12), d.f32(at + 16), d.f32(at + 20)};
        if (!finite({a.m11, a.m12, a.m21, a.m22, a.dx, a.dy})) break;
        matrix.set(a);
      }
      charge({0, 0, double(m_bounds.Width), double(m_bounds.Height)});
      DllExports::GdipDrawDriverString(reinterpret_cast<GpGraphics*>(&g), reinterpret_cast<const UINT16*>(text.data()),
                                       static_cast<INT>(count), reinterpret_cast<const GpFont*>(&font->font),
                                       reinterpret_cast<const GpBrush*>(&brush), positions.data(), INT(options),
                                       hasMatrix ? reinterpret_cast<const GpMatrix*>(&matrix) : nullptr);
      break;
    }
    default: return false;
  }
  return true;
}

}  // namespace zx::gdip::emf
