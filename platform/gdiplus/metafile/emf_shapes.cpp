// Zentarix GDI+ layer — MIT licence.
// Lines, polygons, Béziers, rectangles, ellipses, arcs and paths of a metafile, with GDI's rules.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "emf_player.h"
#include "shapes.h"

using namespace Gdiplus;

namespace zx::gdip::emf {
namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;
enum { PT_CLOSEFIGURE = 1, PT_LINETO = 2, PT_BEZIERTO = 4, PT_MOVETO = 6 };

bool axis_aligned(const Affine& m) { return m.m12 == 0 && m.m21 == 0 && m.m11 != 0 && m.m22 != 0; }

// count points of 8 (POINTL) or 4 (POINTS) bytes from at.
std::vector<PointD> points(const Bytes& r, size_t at, uint64_t count, bool small) {
  r.need(at, count, small ? 4 : 8);
  std::vector<PointD> out(static_cast<size_t>(count));
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = small ? PointD{double(r.i16(at + 4 * i)), double(r.i16(at + 4 * i + 2))}
                   : PointD{double(r.i32(at + 8 * i)), double(r.i32(at + 8 * i + 4))};
  return out;
}

// The point of an ellipse in the geometric direction `degrees` from its centre.
PointD ellipse_point(const RectF& box, double degrees) {
  const double a = box.Width / 2.0, b = box.Height / 2.0, t = degrees / kDegrees;
  const double c = std::cos(t), s = std::sin(t), k = a * b / std::hypot(b * c, a * s);
  return {box.X + a + k * c, box.Y + b + k * s};
}

void round_rect(PathData& path, const RectF& r, double cw, double ch) {
  cw = std::min<double>(std::fabs(cw), r.Width), ch = std::min<double>(std::fabs(ch), r.Height);
  if (cw <= 0 || ch <= 0) return path_add_rectangle(path, r.X, r.Y, r.Width, r.Height);
  path.newFigure = true;
  const double x1 = r.X + r.Width - cw, y1 = r.Y + r.Height - ch;
  path_add_arc(path, r.X, r.Y, cw, ch, 180, 90);
  path_add_arc(path, x1, r.Y, cw, ch, 270, 90);
  path_add_arc(path, x1, y1, cw, ch, 0, 90);
  path_add_arc(path, r.X, y1, cw, ch, 90, 90);
  path_close_figure(path);
}

// GDI's binary raster operations as the ternary operation they are with pattern and destination.
// false: nothing is drawn (R2_NOP).
bool raster_op2(int rop2, GraphicsData& g, BrushData& brush) {
  enum { R2_BLACK = 1, R2_NOTCOPYPEN = 4, R2_NOP = 11, R2_COPYPEN = 13, R2_WHITE = 16 };
  if (rop2 == R2_COPYPEN || rop2 < R2_BLACK || rop2 > R2_WHITE) return true;
  if (rop2 == R2_NOP) return false;
  if (rop2 == R2_BLACK || rop2 == R2_WHITE) {
    brush = BrushData{};
    brush.colour = rop2 == R2_BLACK ? 0xFF000000u : 0xFFFFFFFFu;
    return true;
  }
  const uint32_t table = static_cast<uint32_t>(rop2 - 1);  // bit (2p + d): the result for pen bit p, screen bit d
  uint8_t code = 0;
  for (int k = 0; k < 8; ++k)
    if ((table >> (((k >> 2) & 1) * 2 + (k & 1))) & 1) code |= uint8_t(1 << k);
  g.rop = RasterOp{true, code, false, 0};
  return true;
}

}  // namespace

DeviceBox device_bounds(const PathData& path, const Affine& m, double pad) {
  DeviceBox b{INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (const PointF& p : path.points) {
    const PointD d = apply(m, {p.X, p.Y});
    b = {std::min(b.x0, d.x), std::min(b.y0, d.y), std::max(b.x1, d.x), std::max(b.y1, d.y)};
  }
  return {b.x0 - pad, b.y0 - pad, b.x1 + pad, b.y1 + pad};
}

PathData rectangle_path(const RectF& r) {
  PathData path;
  path_add_rectangle(path, r.X, r.Y, r.Width, r.Height);
  return path;
}

RectF Player::box(const Bytes& r, size_t at, bool insideFrame) const {
  double l = r.i32(at), t = r.i32(at + 4), rr = r.i32(at + 8), b = r.i32(at + 12);
  if (l > rr) std::swap(l, rr);
  if (t > b) std::swap(t, b);
  // The right and bottom edges are not drawn: one device pixel comes off, where axes stay axes.
  const Affine m = to_device();
  Affine back;
  if (axis_aligned(m) && m.invert(&back)) {
    const PointD p = apply(m, {l, t}), q = apply(m, {rr, b});
    const PointD lo{std::min(p.x, q.x), std::min(p.y, q.y)};
    const PointD hi{std::max(lo.x, std::max(p.x, q.x) - 1), std::max(lo.y, std::max(p.y, q.y) - 1)};
    const PointD a = apply(back, lo), c = apply(back, hi);
    l = std::min(a.x, c.x), rr = std::max(a.x, c.x), t = std::min(a.y, c.y), b = std::max(a.y, c.y);
  }
  const auto* pen = m_dc.pen ? std::get_if<PenObject>(m_dc.pen.get()) : nullptr;
  if (insideFrame && pen && !pen->cosmetic && (pen->style & 0xF) == 6 /* PS_INSIDEFRAME */) {
    const double half = std::min({pen->width / 2, (rr - l) / 2, (b - t) / 2});
    l += half, t += half, rr -= half, b -= half;
  }
  return RectF(REAL(l), REAL(t), REAL(rr - l), REAL(b - t));
}

ClipPtr Player::clip_shape(const PathData& path, const Affine& map) {
  charge(device_bounds(path, map, 1));
  return clip_from_path(path, map, m_bounds);
}

void Player::fill_with(const PathData& path, const BrushObject& brush, const Affine& world, FillMode mode) {
  BrushData b;
  if (!brush_data(brush, world, &b)) return;
  GraphicsData g = gdi_graphics(world, false);
  if (!raster_op2(m_dc.rop2, g, b)) return;
  charge(device_bounds(path, world, 1));
  fill_path(g, path, b, mode);
}

void Player::stroke_with(const PathData& path, const PenObject& pen, const Affine& world) {
  PenData p;
  if (!pen_data(pen, world, &p)) return;
  GraphicsData g = gdi_graphics(world, true);
  if (!raster_op2(m_dc.rop2, g, p.fill)) return;
  const double scale = std::sqrt(std::fabs(world.m11 * world.m22 - world.m12 * world.m21));
  charge(device_bounds(path, world, 2 + p.width * scale * std::max<double>(1, p.miterLimit)));
  stroke_path(g, path, p);
}

void Player::draw(const PathData& path, bool fill, bool outline) {
  if (path.points.empty()) return;
  if (m_inPath) return add_to_path(path, false);
  const Affine m = to_device();
  const FillMode mode = m_dc.fillMode == 2 ? FillModeWinding : FillModeAlternate;
  if (fill && m_dc.brush) fill_with(path, std::get<BrushObject>(*m_dc.brush), m, mode);
  if (outline && m_dc.pen) stroke_with(path, std::get<PenObject>(*m_dc.pen), m);
}

void Player::add_to_path(const PathData& logical, bool continues) {
  const Affine m = to_device();
  for (size_t i = 0; i < logical.points.size(); ++i) {
    const PointD d = apply(m, {logical.points[i].X, logical.points[i].Y});
    const PointF p(REAL(d.x), REAL(d.y));
    BYTE type = logical.types[i];
    if (i == 0 && continues && !m_path.newFigure && !m_path.points.empty()) {
      if (m_path.points.back().X == p.X && m_path.points.back().Y == p.Y) continue;
      type = BYTE((type & ~PathPointTypePathTypeMask) | PathPointTypeLine);
    }
    m_path.points.push_back(p);
    m_path.types.push_back(type);
  }
  m_path.newFigure = logical.newFigure;
}

bool Player::shape_record(uint32_t type, const Bytes& r) {
  DcState& s = m_dc;
  PathData path;
  // Open figures that start at the current position and move it to their end.
  const auto from_current = [&](const std::vector<PointD>& pts, bool bezier) {
    std::vector<PointD> all{s.current};
    all.insert(all.end(), pts.begin(), pts.end());
    if (bezier) all.resize(1 + (all.size() - 1) / 3 * 3);
    bezier ? path_add_beziers(path, all.data(), all.size()) : path_add_lines(path, all.data(), all.size());
    s.current = all.back();
    if (m_inPath) return add_to_path(path, true);
    draw(path, false, true);
  };
  const auto arc_sweep = [&](const RectF& b, PointD from, PointD to, double* start) {
    const double cx = b.X + b.Width / 2.0, cy = b.Y + b.Height / 2.0;
    *start = std::atan2(from.y - cy, from.x - cx) * kDegrees;
    const double end = std::atan2(to.y - cy, to.x - cx) * kDegrees;
    // Counter-clockwise as seen on the device unless SetArcDirection said otherwise.
    const Affine m = to_device();
    const bool clockwise = (s.arcDirection == 2) != (m.m11 * m.m22 - m.m12 * m.m21 < 0);
    double sweep = std::fmod(clockwise ? end - *start : *start - end, 360.0);
    if (sweep <= 0) sweep += 360;
    return clockwise ? sweep : -sweep;
  };
  switch (type) {
    case EMR_POLYGON: case EMR_POLYGON16:
    case EMR_POLYLINE: case EMR_POLYLINE16:
    case EMR_POLYBEZIER: case EMR_POLYBEZIER16: {
      const bool small = type >= EMR_POLYBEZIER16;
      std::vector<PointD> p = points(r, 28, r.u32(24), small);
      if (type == EMR_POLYGON || type == EMR_POLYGON16) {
        path_add_polygon(path, p.data(), p.size());
        draw(path, true, true);
        return true;
      }
      if (type == EMR_POLYBEZIER || type == EMR_POLYBEZIER16) {
        if (p.empty()) return true;
        p.resize(1 + (p.size() - 1) / 3 * 3);
        path_add_beziers(path, p.data(), p.size());
      } else {
        path_add_lines(path, p.data(), p.size());
      }
      draw(path, false, true);
      return true;
    }
    case EMR_POLYLINETO: case EMR_POLYLINETO16:
    case EMR_POLYBEZIERTO: case EMR_POLYBEZIERTO16: {
      const bool small = type >= EMR_POLYBEZIER16;
      const std::vector<PointD> p = points(r, 28, r.u32(24), small);
      if (!p.empty()) from_current(p, type == EMR_POLYBEZIERTO || type == EMR_POLYBEZIERTO16);
      return true;
    }
    case EMR_LINETO: from_current({PointD{double(r.i32(8)), double(r.i32(12))}}, false); return true;
    case EMR_POLYPOLYGON: case EMR_POLYPOLYGON16:
    case EMR_POLYPOLYLINE: case EMR_POLYPOLYLINE16: {
      const bool small = type >= EMR_POLYPOLYLINE16, closed = type == EMR_POLYPOLYGON || type == EMR_POLYPOLYGON16;
      const uint32_t polys = r.u32(24), total = r.u32(28);
      r.need(32, polys, 4);
      const std::vector<PointD> p = points(r, 32 + size_t{polys} * 4, total, small);
      size_t at = 0;
      for (uint32_t i = 0; i < polys; ++i) {
        const uint32_t n = r.u32(32 + 4 * size_t{i});
        if (n > p.size() - at) throw Malformed{};
        path.newFigure = true;
        closed ? path_add_polygon(path, p.data() + at, n) : path_add_lines(path, p.data() + at, n);
        at += n;
      }
      path.newFigure = true;
      draw(path, closed, true);
      return true;
    }
    case EMR_POLYDRAW: case EMR_POLYDRAW16: {
      const bool small = type == EMR_POLYDRAW16;
      const uint32_t count = r.u32(24);
      const std::vector<PointD> p = points(r, 28, count, small);
      const size_t typesAt = 28 + p.size() * (small ? 4 : 8);
      r.need(typesAt, count, 1);
      for (size_t i = 0; i < p.size(); ++i) {
        const uint8_t t = r.u8(typesAt + i);
        if ((t & ~PT_CLOSEFIGURE) == PT_MOVETO) {
          path.newFigure = true;
          s.current = p[i];
          continue;
        }
        if (path.newFigure) path_add_lines(path, &s.current, 1);  // a figure starts where the pen is
        if ((t & ~PT_CLOSEFIGURE) == PT_BEZIERTO && i + 2 < p.size()) {
          const PointD b[4] = {s.current, p[i], p[i + 1], p[i + 2]};
          path_add_beziers(path, b, 4);
          i += 2;
        } else {
          path_add_lines(path, &p[i], 1);
        }
        s.current = p[i];
        if (r.u8(typesAt + i) & PT_CLOSEFIGURE) path_close_figure(path);
      }
      if (m_inPath) add_to_path(path, true);
      else draw(path, false, true);
      return true;
    }
    case EMR_RECTANGLE: case EMR_ELLIPSE: {
      const RectF b = box(r, 8, true);
      type == EMR_RECTANGLE ? path_add_rectangle(path, b.X, b.Y, b.Width, b.Height)
                            : path_add_ellipse(path, b.X, b.Y, b.Width, b.Height);
      draw(path, true, true);
      return true;
    }
    case EMR_ROUNDRECT:
      round_rect(path, box(r, 8, true), r.i32(24), r.i32(28));
      draw(path, true, true);
      return true;
    case EMR_ARC: case EMR_ARCTO: case EMR_CHORD: case EMR_PIE: {
      const RectF b = box(r, 8, type == EMR_CHORD || type == EMR_PIE);
      if (b.Width <= 0 || b.Height <= 0) return true;
      double start = 0;
      const double sweep = arc_sweep(b, {double(r.i32(24)), double(r.i32(28))}, {double(r.i32(32)), double(r.i32(36))},
                                     &start);
      if (type == EMR_PIE) {
        path_add_pie(path, b.X, b.Y, b.Width, b.Height, start, sweep);
        draw(path, true, true);
        return true;
      }
      if (type == EMR_ARCTO) {
        path_add_lines(path, &s.current, 1);
        path_add_arc(path, b.X, b.Y, b.Width, b.Height, start, sweep);
        s.current = ellipse_point(b, start + sweep);
        if (m_inPath) add_to_path(path, true);
        else draw(path, false, true);
        return true;
      }
      path_add_arc(path, b.X, b.Y, b.Width, b.Height, start, sweep);
      if (type == EMR_CHORD) path_close_figure(path);
      draw(path, type == EMR_CHORD, true);
      return true;
    }
    case EMR_ANGLEARC: {
      const double cx = r.i32(8), cy = r.i32(12), radius = r.u32(16), start = r.f32(20), sweep = r.f32(24);
      if (!std::isfinite(start) || !std::isfinite(sweep) || radius > 1e9) return true;
      path_add_lines(path, &s.current, 1);
      // Counter-clockwise angles on a y-down device are negative GDI+ angles.
      path_add_arc(path, cx - radius, cy - radius, 2 * radius, 2 * radius, -start, -sweep);
      const double end = -(start + sweep) / kDegrees;
      s.current = {cx + radius * std::cos(end), cy + radius * std::sin(end)};
      if (m_inPath) add_to_path(path, true);
      else draw(path, false, true);
      return true;
    }
    case EMR_SETPIXELV: {
      const PointD d = apply(to_device(), {double(r.i32(8)), double(r.i32(12))});
      if (!(std::fabs(d.x) < 1e8 && std::fabs(d.y) < 1e8)) return true;
      GraphicsData g = gdi_graphics(Affine{}, false);
      BrushData b;
      b.colour = colour(r.u32(16));
      fill_path(g, rectangle_path(RectF(REAL(std::floor(d.x + 0.5)), REAL(std::floor(d.y + 0.5)), 1, 1)), b,
                FillModeAlternate);
      return true;
    }
    default: return false;
  }
}

bool Player::path_record(uint32_t type, const Bytes&) {
  switch (type) {
    case EMR_BEGINPATH:
      m_path = PathData{};
      m_inPath = true;
      m_pathWidened = false;
      return true;
    case EMR_ENDPATH: m_inPath = false; return true;
    case EMR_ABORTPATH:
      m_path = PathData{};
      m_inPath = m_pathWidened = false;
      return true;
    case EMR_CLOSEFIGURE: path_close_figure(m_path); return true;
    case EMR_FLATTENPATH: return true;  // curves are flattened when drawn anyway
    case EMR_WIDENPATH: m_pathWidened = true; return true;
    case EMR_FILLPATH: case EMR_STROKEPATH: case EMR_STROKEANDFILLPATH: break;
    default: return false;
  }
  PathData path = std::move(m_path);
  m_path = PathData{};
  m_inPath = false;
  if (path.points.empty()) return true;
  // The path is kept in device space; the pen is the DC's now, in today's transform.
  const Affine m = to_device();
  Affine back;
  PathData logical = path;
  const bool invertible = m.invert(&back);
  if (invertible)
    for (PointF& p : logical.points) {
      const PointD q = apply(back, {p.X, p.Y});
      p = PointF(REAL(q.x), REAL(q.y));
    }
  const FillMode mode = m_dc.fillMode == 2 ? FillModeWinding : FillModeAlternate;
  const bool fill = type != EMR_STROKEPATH, outline = type != EMR_FILLPATH;
  if (fill && m_pathWidened && invertible && m_dc.pen && m_dc.brush) {
    // A widened path is the pen's outline: filling it paints the pen's shape with the brush.
    PenObject shape = std::get<PenObject>(*m_dc.pen);
    shape.fill = std::get<BrushObject>(*m_dc.brush);
    stroke_with(logical, shape, m);
  } else if (fill && m_dc.brush) {
    fill_with(path, std::get<BrushObject>(*m_dc.brush), Affine{}, mode);
  }
  if (outline && m_dc.pen && invertible) stroke_with(logical, std::get<PenObject>(*m_dc.pen), m);
  m_pathWidened = false;
  return true;
}

}  // namespace zx::gdip::emf
