// Zentarix GDI+ layer — MIT licence.
// Pens: our own dasher, caps and clipped miters around cairo's stroker, the aliased one-pixel line,
// and fills.
//
// cairo puts one cap on every dash and has neither triangle nor anchor caps, nor a miter that is
// cut at the limit, so the pen's geometry is ours: figures are flattened and dashed here, cairo
// strokes the pieces with butt (or a shared native) cap, and the caps and cut miters are filled as
// shapes of their own into the same coverage mask, overlapping the body so no seam shows.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "canvas.h"
#include "clip.h"
#include "shapes.h"

using namespace Gdiplus;
using zx::resample::Affine;

namespace zx::gdip {
namespace {

// Flattening tolerance, in device pixels.
constexpr double kTolerance = 0.05;

PointD operator+(PointD a, PointD b) { return {a.x + b.x, a.y + b.y}; }
PointD operator-(PointD a, PointD b) { return {a.x - b.x, a.y - b.y}; }
PointD operator*(PointD a, double k) { return {a.x * k, a.y * k}; }
double dot(PointD a, PointD b) { return a.x * b.x + a.y * b.y; }
double length(PointD a) { return std::hypot(a.x, a.y); }
PointD unit(PointD a) {
  const double l = length(a);
  return l > 0 ? a * (1 / l) : PointD{1, 0};
}
PointD normal(PointD d) { return {-d.y, d.x}; }

// A filled shape of a cap or a cut miter: a polygon, or a circle when radius > 0.
struct Shape {
  std::vector<PointD> polygon;
  PointD centre;
  double radius = 0;
};
Shape polygon(std::vector<PointD> points) {
  Shape shape;
  shape.polygon = std::move(points);
  return shape;
}
Shape circle(PointD centre, double radius) {
  Shape shape;
  shape.centre = centre;
  shape.radius = radius;
  return shape;
}

enum class Cap { Flat, Square, Round, Triangle, SquareAnchor, RoundAnchor, DiamondAnchor, ArrowAnchor };

Cap cap_of(LineCap cap) {
  switch (cap) {
    case LineCapSquare: return Cap::Square;
    case LineCapRound: return Cap::Round;
    case LineCapTriangle: return Cap::Triangle;
    case LineCapSquareAnchor: return Cap::SquareAnchor;
    case LineCapRoundAnchor: return Cap::RoundAnchor;
    case LineCapDiamondAnchor: return Cap::DiamondAnchor;
    case LineCapArrowAnchor: return Cap::ArrowAnchor;
    default: return Cap::Flat;
  }
}
Cap cap_of(DashCap cap) {
  return cap == DashCapRound ? Cap::Round : cap == DashCapTriangle ? Cap::Triangle : Cap::Flat;
}

// The cap's shape at end point e, d pointing away from the line. Shapes reach half the width back
// into the body, so that their antialiased edges never meet the body's edge-on.
void cap_shape(Cap cap, PointD e, PointD d, double w, std::vector<Shape>& out) {
  const PointD n = normal(d), h = d * (w / 2), s = n * (w / 2);
  switch (cap) {
    case Cap::Square: out.push_back(polygon({e - h + s, e + h + s, e + h - s, e - h - s})); break;
    case Cap::Round: out.push_back(circle(e, w / 2)); break;
    case Cap::Triangle: out.push_back(polygon({e - h + s, e + s, e + h, e - s, e - h - s})); break;
    case Cap::SquareAnchor: out.push_back(polygon({e + h * 2 + s * 2, e - h * 2 + s * 2, e - h * 2 - s * 2, e + h * 2 - s * 2})); break;
    case Cap::RoundAnchor: out.push_back(circle(e, w)); break;
    case Cap::DiamondAnchor: out.push_back(polygon({e + h * 2, e + s * 2, e - h * 2, e - s * 2})); break;
    case Cap::ArrowAnchor: out.push_back(polygon({e, e - h * 4 + s * 2, e - h * 4 - s * 2})); break;
    case Cap::Flat: break;
  }
}

// cairo's own cap for a piece whose two ends want the same plain cap.
bool native_cap(Cap cap, cairo_line_cap_t* out) {
  switch (cap) {
    case Cap::Flat: *out = CAIRO_LINE_CAP_BUTT; return true;
    case Cap::Square: *out = CAIRO_LINE_CAP_SQUARE; return true;
    case Cap::Round: *out = CAIRO_LINE_CAP_ROUND; return true;
    default: return false;
  }
}

// Moves the piece's end (at its start when atStart) back along it by distance, keeping at least
// its first or last point.
void shorten(std::vector<PointD>& pts, double distance, bool atStart) {
  if (atStart) std::reverse(pts.begin(), pts.end());
  while (distance > 0 && pts.size() > 1) {
    const PointD a = pts[pts.size() - 2], b = pts.back();
    const double len = length(b - a);
    if (len > distance) {
      pts.back() = b + unit(a - b) * distance;
      break;
    }
    distance -= len;
    pts.pop_back();
  }
  if (atStart) std::reverse(pts.begin(), pts.end());
}

// The cut miter at vertex v between directions d1 (in) and d2 (out), when the full miter would reach
// further than limit * w / 2 from v.
void cut_miter(PointD v, PointD d1, PointD d2, double w, double limit, std::vector<Shape>& out) {
  const double cross = d1.x * d2.y - d1.y * d2.x, cosTheta = -dot(d1, d2);
  if (std::fabs(cross) < 1e-12 || cosTheta >= 1) return;
  const double sinHalf = std::sqrt((1 - cosTheta) / 2);
  if (sinHalf <= 0 || 1 / sinHalf <= limit) return;  // within the limit: cairo's miter is right
  const double side = cross > 0 ? -1 : 1;  // the outer side of the turn
  const PointD n1 = normal(d1) * side, n2 = normal(d2) * side;
  const PointD p1 = v + n1 * (w / 2), p2 = v + n2 * (w / 2);
  const PointD u = unit(n1 + n2);
  const double reach = limit * w / 2;
  if (dot(p1 - v, u) >= reach || dot(d1, u) <= 0 || dot(d2, u) >= 0) return;
  const PointD q1 = p1 + d1 * ((reach - dot(p1 - v, u)) / dot(d1, u));
  const PointD q2 = p2 - d2 * ((reach - dot(p2 - v, u)) / -dot(d2, u));
  out.push_back(polygon({v, p1, q1, q2, p2}));
}

void cut_miters(const StrokePiece& piece, double w, double limit, std::vector<Shape>& out) {
  const std::vector<PointD>& p = piece.points;
  const size_t n = p.size();
  if (n < 3 && !(piece.loop && n >= 2)) return;
  for (size_t i = 0; i < n; ++i) {
    if (!piece.loop && (i == 0 || i + 1 == n)) continue;
    const PointD prev = p[(i + n - 1) % n], next = p[(i + 1) % n];
    cut_miter(p[i], unit(p[i] - prev), unit(next - p[i]), w, limit, out);
  }
}

// The one-pixel aliased line: one pixel per column of a shallow segment (per row of a steep one),
// the one whose centre is nearest the ideal line; columns whose centre lies in [a, b) along the
// major axis, b included when withEnd. Coordinates are device coordinates less the pixel centre.
void thin_segment(const CoverageTile& tile, PointD a, PointD b, bool withEnd) {
  const TileFrame& f = tile.frame;
  const double dx = b.x - a.x, dy = b.y - a.y;
  const bool steep = std::fabs(dy) > std::fabs(dx);
  const double a0 = steep ? a.y : a.x, b0 = steep ? b.y : b.x, a1 = steep ? a.x : a.y;
  const double slope = (a0 == b0) ? 0 : (steep ? dx / dy : dy / dx);
  const int lo = steep ? f.y0 : f.x0, hi = lo + (steep ? f.height : f.width);
  double from, to;  // whole-pixel range along the major axis, inclusive
  if (b0 >= a0) {
    from = std::ceil(a0);
    to = withEnd ? std::floor(b0) : std::ceil(b0) - 1;
  } else {
    from = withEnd ? std::ceil(b0) : std::floor(b0) + 1;
    to = std::floor(a0);
  }
  from = std::max(from, double(lo));
  to = std::min(to, double(hi - 1));
  for (double i = from; i <= to; ++i) {
    const double j = std::floor(a1 + (i - a0) * slope + 0.5);
    const double x = steep ? j : i, y = steep ? i : j;
    if (x < f.x0 || y < f.y0 || x >= f.x0 + f.width || y >= f.y0 + f.height) continue;
    tile.mask[ptrdiff_t(y - f.y0) * tile.stride + ptrdiff_t(x - f.x0)] = 255;
  }
}

void thin_pieces(const CoverageTile& tile, const std::vector<StrokePiece>& pieces) {
  const PointD shift{-tile.frame.centre, -tile.frame.centre};
  for (const StrokePiece& piece : pieces) {
    const std::vector<PointD>& p = piece.points;
    if (p.size() == 1) thin_segment(tile, p[0] + shift, p[0] + shift, true);
    for (size_t i = 0; i + 1 < p.size(); ++i)
      thin_segment(tile, p[i] + shift, p[i + 1] + shift, !piece.loop && piece.end == PieceEnd::Figure && i + 2 == p.size());
    if (piece.loop && p.size() > 1) thin_segment(tile, p.back() + shift, p.front() + shift, false);
  }
}

std::vector<double> dash_pattern(const PenData& pen, double w) {
  static const std::vector<double> kPatterns[] = {{}, {3, 1}, {1, 1}, {3, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};
  std::vector<double> pattern;
  if (pen.dashStyle == DashStyleCustom) pattern.assign(pen.dashArray.begin(), pen.dashArray.end());
  else if (pen.dashStyle > DashStyleSolid && pen.dashStyle < DashStyleCustom) pattern = kPatterns[pen.dashStyle];
  if (pattern.size() % 2) pattern.insert(pattern.end(), pattern.begin(), pattern.end());  // odd: on and off alternate
  for (double& length : pattern) length *= w;
  return pattern;
}

// The longest miter at any vertex, in widths, as far as the limit lets it grow.
double miter_reach(const std::vector<StrokePiece>& pieces, double limit) {
  double longest = 1;
  for (const StrokePiece& piece : pieces) {
    const std::vector<PointD>& p = piece.points;
    const size_t n = p.size();
    for (size_t i = 0; n > 2 && i < n; ++i) {
      if (!piece.loop && (i == 0 || i + 1 == n)) continue;
      const double cosTheta = -dot(unit(p[i] - p[(i + n - 1) % n]), unit(p[(i + 1) % n] - p[i]));
      const double sinHalf = std::sqrt(std::max(0.0, (1 - cosTheta) / 2));
      longest = std::max(longest, sinHalf > 0 ? std::min(1 / sinHalf, limit) : limit);
    }
  }
  return longest;
}

DeviceBox bounds_of(const std::vector<StrokePiece>& pieces, const Affine& toDevice, double pad) {
  DeviceBox box{INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (const StrokePiece& piece : pieces)
    for (const PointD& q : piece.points) {
      const PointD d = apply(toDevice, q);
      box = {std::min(box.x0, d.x), std::min(box.y0, d.y), std::max(box.x1, d.x), std::max(box.y1, d.y)};
    }
  return {box.x0 - pad, box.y0 - pad, box.x1 + pad, box.y1 + pad};
}

}  // namespace

// The part [u0, u1] of the segment a + d * u / len (0 <= u <= len) inside box; u0 = u1 = len when
// none is (Liang-Barsky).
void visible_part(PointD a, PointD d, double len, const StrokeBox& box, double* u0, double* u1) {
  double lo = 0, hi = 1;
  const double p[4] = {-d.x, d.x, -d.y, d.y}, q[4] = {a.x - box.x0, box.x1 - a.x, a.y - box.y0, box.y1 - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) lo = 1, hi = 0;
      continue;
    }
    const double r = q[i] / p[i];
    if (p[i] < 0) lo = std::max(lo, r);
    else hi = std::min(hi, r);
  }
  if (!(lo <= hi)) lo = hi = 1;
  *u0 = lo * len, *u1 = hi * len;
}

std::vector<StrokePiece> cut_dashes(const std::vector<Polyline>& figures, const std::vector<double>& pattern,
                                    double offset, const StrokeBox* visible) {
  std::vector<StrokePiece> pieces;
  for (const Polyline& figure : figures) {
    std::vector<PointD> pts;  // without repeated points
    for (const PointD& p : figure.points)
      if (pts.empty() || p.x != pts.back().x || p.y != pts.back().y) pts.push_back(p);
    if (pts.empty()) continue;
    const bool closed = figure.closed && pts.size() > 2;
    if (pattern.empty() || pts.size() == 1) {
      pieces.push_back({pts, closed});
      continue;
    }
    if (closed) pts.push_back(pts.front());
    double period = 0;
    for (double length : pattern) period += length;
    // Where in the pattern the figure starts.
    size_t k = 0;
    double left = std::fmod(std::fmod(offset, period) + period, period);
    while (left >= pattern[k]) left -= pattern[k], k = (k + 1) % pattern.size();
    left = pattern[k] - left;
    bool on = k % 2 == 0;
    StrokePiece piece;
    if (on) piece = {{pts[0]}, false, closed ? PieceEnd::Dash : PieceEnd::Figure, PieceEnd::Dash};
    for (size_t i = 0; i + 1 < pts.size(); ++i) {
      const PointD a = pts[i], d = pts[i + 1] - a;
      const double len = length(d);
      double t = 0;
      const auto next = [&] {
        on = !on;
        k = (k + 1) % pattern.size();
        left = pattern[k];
      };
      // Dashes up to `stop` along the segment.
      const auto cut_to = [&](double stop) {
        while (stop - t > left) {
          t += left;
          const PointD p = a + d * (t / len);
          if (on) {
            piece.points.push_back(p);
            pieces.push_back(std::move(piece));
            piece = StrokePiece{};
          } else {
            piece = {{p}, false, PieceEnd::Dash, PieceEnd::Dash};
          }
          next();
        }
        left -= stop - t;
        t = stop;
      };
      // Up to `stop` unseen: a dash in progress ends where the skip starts, whole periods are
      // dropped, and a dash under way at `stop` starts there.
      const auto skip_to = [&](double stop) {
        if (stop - t <= left) return cut_to(stop);
        if (on) {
          piece.points.push_back(a + d * (t / len));
          pieces.push_back(std::move(piece));
          piece = StrokePiece{};
        }
        double rest = std::fmod(stop - t - left, period);
        next();
        while (rest > left) rest -= left, next();
        left -= rest;
        t = stop;
        if (on) piece = {{a + d * (t / len)}, false, PieceEnd::Dash, PieceEnd::Dash};
      };
      double u0 = 0, u1 = len;
      if (visible) visible_part(a, d, len, *visible, &u0, &u1);
      if (u0 > 0) skip_to(u0);
      cut_to(u1);
      if (u1 < len) skip_to(len);
      if (on) piece.points.push_back(pts[i + 1]);
    }
    if (on) {
      piece.end = closed ? PieceEnd::Dash : PieceEnd::Figure;
      pieces.push_back(std::move(piece));
    }
  }
  return pieces;
}

Status fill_path(const GraphicsData& g, const PathData& path, const BrushData& brush, FillMode fillMode) {
  if (path.points.empty()) return Ok;
  const Affine toDevice = g.to_device();
  DeviceBox box{INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (const PointF& p : path.points) {
    const PointD d = apply(toDevice, {p.X, p.Y});
    box = {std::min(box.x0, d.x), std::min(box.y0, d.y), std::max(box.x1, d.x), std::max(box.y1, d.y)};
  }
  box = {box.x0 - 1, box.y0 - 1, box.x1 + 1, box.y1 + 1};
  return render_coverage(g, box, brush, [&](const CoverageTile& tile) {
    add_path(tile.cr, path, toDevice.then(tile.frame.device_to_tile()));
    cairo_set_fill_rule(tile.cr, fillMode == FillModeWinding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
    cairo_fill(tile.cr);
  });
}

Status stroke_path(const GraphicsData& g, const PathData& path, const PenData& pen) {
  if (path.points.empty()) return Ok;
  const Affine world = g.to_device();
  const double det = std::fabs(world.m11 * world.m22 - world.m12 * world.m21);
  if (!(det > 0) || !std::isfinite(det)) return Ok;  // everything collapses onto a line or a point
  // A pen one device pixel wide or thinner is the hairline: stroked in device space, one pixel wide.
  const bool hairline = pen.width * std::sqrt(det) <= 1.0;
  const Affine toDevice = hairline ? Affine{} : world;
  const double w = hairline ? 1.0 : pen.width;
  const std::vector<Polyline> figures =
      flatten(path, hairline ? world : Affine{}, hairline ? kTolerance : kTolerance / std::sqrt(det));
  // Dashes are cut only where they may show: the surface, widened by what a pen can reach past its
  // centre line, in stroke space.
  const Gdiplus::Rect surface = surface_bounds(g);
  const double reach =
      w * (std::hypot(toDevice.m11, toDevice.m12) + std::hypot(toDevice.m21, toDevice.m22)) * std::max<double>(2, pen.miterLimit) + 4;
  StrokeBox visible{INFINITY, INFINITY, -INFINITY, -INFINITY};
  Affine deviceToStroke;
  if (!toDevice.invert(&deviceToStroke)) return Ok;
  for (const PointD& c : {PointD{surface.X - reach, surface.Y - reach}, PointD{surface.GetRight() + reach, surface.Y - reach},
                          PointD{surface.X - reach, surface.GetBottom() + reach},
                          PointD{surface.GetRight() + reach, surface.GetBottom() + reach}}) {
    const PointD s = apply(deviceToStroke, c);
    visible = {std::min(visible.x0, s.x), std::min(visible.y0, s.y), std::max(visible.x1, s.x), std::max(visible.y1, s.y)};
  }
  std::vector<StrokePiece> pieces = cut_dashes(figures, dash_pattern(pen, w), pen.dashOffset * w, &visible);
  if (pieces.empty()) return Ok;

  const bool aliasedHairline = hairline && !smoothing_on(g);
  // How far the stroke may reach from its centre line: anchors reach 1.5 widths, miters their length.
  const double width = w * (std::hypot(toDevice.m11, toDevice.m12) + std::hypot(toDevice.m21, toDevice.m22));
  const bool mitered = pen.join == LineJoinMiter || pen.join == LineJoinMiterClipped;
  const double miters = mitered ? miter_reach(pieces, pen.miterLimit) : 1.0;
  const DeviceBox box = bounds_of(pieces, toDevice, width * std::max(1.5, miters / 2) + 2);
  if (aliasedHairline)
    return render_coverage(g, box, pen.fill, [&](const CoverageTile& tile) { thin_pieces(tile, pieces); });

  // Caps and cut miters, and which pieces cairo strokes with which cap.
  std::vector<Shape> shapes;
  std::vector<Polyline> groups[3];  // butt, round, square
  const Cap dashCap = cap_of(pen.dashCap);
  for (StrokePiece& piece : pieces) {
    if (piece.loop) {
      groups[0].push_back({piece.points, true});
      if (pen.join == LineJoinMiter) cut_miters(piece, w, pen.miterLimit, shapes);
      continue;
    }
    const Cap startCap = piece.start == PieceEnd::Figure ? cap_of(pen.startCap) : dashCap;
    const Cap endCap = piece.end == PieceEnd::Figure ? cap_of(pen.endCap) : dashCap;
    const std::vector<PointD>& p = piece.points;
    const PointD startDir = p.size() > 1 ? unit(p[0] - p[1]) : PointD{-1, 0};
    const PointD endDir = p.size() > 1 ? unit(p.back() - p[p.size() - 2]) : PointD{1, 0};
    const PointD startPoint = p.front(), endPoint = p.back();
    // A dash's own caps lie inside the dash; the line stops short of an arrow's tip.
    auto inset = [&](Cap cap, PieceEnd end) {
      if (cap == Cap::ArrowAnchor) return w;
      return end == PieceEnd::Dash && cap != Cap::Flat ? w / 2 : 0.0;
    };
    const double startInset = inset(startCap, piece.start), endInset = inset(endCap, piece.end);
    double total = 0;
    for (size_t i = 0; i + 1 < p.size(); ++i) total += length(p[i + 1] - p[i]);
    std::vector<PointD> body = p;
    if (startInset + endInset >= total) {
      // Too short for its caps: a zero-length body, which cairo's round cap still draws as a dot.
      const PointD mid = p.size() > 1 ? startPoint + (endPoint - startPoint) * 0.5 : startPoint;
      body = {mid, mid};
    } else {
      shorten(body, startInset, true);
      shorten(body, endInset, false);
    }
    const PointD capStart = piece.start == PieceEnd::Dash && startInset > 0 ? body.front() : startPoint;
    const PointD capEnd = piece.end == PieceEnd::Dash && endInset > 0 ? body.back() : endPoint;
    cairo_line_cap_t native;
    if (startCap == endCap && native_cap(startCap, &native)) {
      groups[native == CAIRO_LINE_CAP_BUTT ? 0 : native == CAIRO_LINE_CAP_ROUND ? 1 : 2].push_back({body, false});
    } else {
      if (body.size() > 1) groups[0].push_back({body, false});
      cap_shape(startCap, capStart, startDir, w, shapes);
      cap_shape(endCap, capEnd, endDir, w, shapes);
    }
    if (pen.join == LineJoinMiter) cut_miters({body, false}, w, pen.miterLimit, shapes);
  }

  const cairo_line_join_t join = pen.join == LineJoinBevel  ? CAIRO_LINE_JOIN_BEVEL
                                 : pen.join == LineJoinRound ? CAIRO_LINE_JOIN_ROUND
                                                             : CAIRO_LINE_JOIN_MITER;
  return render_coverage(g, box, pen.fill, [&](const CoverageTile& tile) {
    cairo_t* cr = tile.cr;
    const cairo_matrix_t m = cairo_matrix_of(toDevice.then(tile.frame.device_to_tile()));
    cairo_set_matrix(cr, &m);
    cairo_set_line_width(cr, w);
    cairo_set_line_join(cr, join);
    cairo_set_miter_limit(cr, pen.miterLimit);
    static constexpr cairo_line_cap_t kCaps[3] = {CAIRO_LINE_CAP_BUTT, CAIRO_LINE_CAP_ROUND, CAIRO_LINE_CAP_SQUARE};
    for (int i = 0; i < 3; ++i) {
      if (groups[i].empty()) continue;
      cairo_set_line_cap(cr, kCaps[i]);
      add_polylines(cr, groups[i], Affine{});
      cairo_stroke(cr);
    }
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    for (const Shape& shape : shapes) {
      if (shape.radius > 0) {
        cairo_new_sub_path(cr);
        cairo_arc(cr, shape.centre.x, shape.centre.y, shape.radius, 0, 2 * std::numbers::pi);
      } else {
        add_polylines(cr, {{shape.polygon, true}}, Affine{});
      }
      cairo_fill(cr);
    }
  });
}

}  // namespace zx::gdip
