// Zentarix — MIT licence.
// Drawing the recorded primitives.
#include "Primitives.h"

#include <algorithm>
#include <cmath>

namespace zx::drawing {
namespace {

using namespace Gdiplus;

// Turns the world by angle degrees about (x, y) while it lives (nothing for angle 0).
class Rotation {
 public:
  Rotation(Graphics& graphics, float angle, float x, float y) : m_graphics(graphics), m_on(angle != 0) {
    if (!m_on) return;
    graphics.TranslateTransform(-x, -y, MatrixOrderAppend);
    graphics.RotateTransform(angle, MatrixOrderAppend);
    graphics.TranslateTransform(x, y, MatrixOrderAppend);
  }
  ~Rotation() {
    if (m_on) m_graphics.ResetTransform();
  }
  Rotation(const Rotation&) = delete;
  Rotation& operator=(const Rotation&) = delete;

 private:
  Graphics& m_graphics;
  bool m_on;
};

class Shape : public Primitive {
 public:
  explicit Shape(ShapeGeometry geometry) : m_g(std::move(geometry)) {}

  Status draw(Graphics& graphics) const override {
    const ShapeGeometry& g = m_g;
    const RectF& r = g.rect;
    const PointF* p = g.points.data();
    const INT n = static_cast<INT>(g.points.size());
    const bool turns = g.kind == ShapeKind::Ellipse || g.kind == ShapeKind::Rectangle;
    Rotation rotation(graphics, turns ? g.angle : 0, r.X + r.Width / 2, r.Y + r.Height / 2);
    // The fill (when asked for) first, then the outline.
    auto fillThenDraw = [&](auto fill, auto outline) {
      if (filled) {
        if (const Status status = fill(); status != Ok) return status;
      }
      return outline();
    };
    switch (g.kind) {
      case ShapeKind::Ellipse:
        return fillThenDraw([&] { return graphics.FillEllipse(brush.get(), r); },
                            [&] { return graphics.DrawEllipse(pen.get(), r); });
      case ShapeKind::Rectangle:
        return fillThenDraw([&] { return graphics.FillRectangle(brush.get(), r); },
                            [&] { return graphics.DrawRectangle(pen.get(), r); });
      case ShapeKind::Line: return graphics.DrawLine(pen.get(), p[0], p[1]);
      case ShapeKind::Bezier: return graphics.DrawBezier(pen.get(), p[0], p[1], p[2], p[3]);
      case ShapeKind::Polyline: return graphics.DrawLines(pen.get(), p, n);
      case ShapeKind::Polygon:
        return fillThenDraw([&] { return graphics.FillPolygon(brush.get(), p, n, g.fillMode); },
                            [&] { return graphics.DrawPolygon(pen.get(), p, n); });
      case ShapeKind::OpenCurve: return graphics.DrawCurve(pen.get(), p, n, g.tension);
      case ShapeKind::ClosedCurve:
        return fillThenDraw([&] { return graphics.FillClosedCurve(brush.get(), p, n, g.fillMode, g.tension); },
                            [&] { return graphics.DrawClosedCurve(pen.get(), p, n, g.tension); });
      case ShapeKind::Arc: return graphics.DrawArc(pen.get(), r, g.start, g.sweep);
      case ShapeKind::Pie:
        return fillThenDraw([&] { return graphics.FillPie(brush.get(), r, g.start, g.sweep); },
                            [&] { return graphics.DrawPie(pen.get(), r, g.start, g.sweep); });
    }
    return InvalidParameter;
  }

 private:
  ShapeGeometry m_g;
};

class Text : public Primitive {
 public:
  Text(std::u16string text, float x, float y, float angle, TextSettings settings)
      : m_text(std::move(text)), m_x(x), m_y(y), m_angle(angle), m_settings(std::move(settings)) {}

  Status draw(Graphics& graphics) const override {
    Rotation rotation(graphics, m_angle, m_x, m_y);
    const bool spaced = m_settings.tracking != 0 ||
                        std::any_of(m_settings.kernings.begin(), m_settings.kernings.end(), [](double k) { return k != 0; });
    if (!spaced)
      return graphics.DrawString(m_text.c_str(), INT(m_text.size()), m_settings.font.get(), PointF(m_x, m_y),
                                 m_settings.format.get(), brush.get());
    return draw_letters(graphics);
  }

 private:
  // Letter by letter: the whole string's measured box gives the start, widened by the extra space
  // (centred or right-aligned texts shift back by half or all of it); each letter is then drawn
  // alone, near-aligned, and the pen moves on by the letter's measured advance plus its space.
  // Vertical text moves down instead of right.
  Status draw_letters(Graphics& graphics) const {
    StringFormat& format = *m_settings.format;
    const Font* font = m_settings.font.get();
    const INT n = INT(m_text.size());
    RectF box;
    if (const Status status = graphics.MeasureString(m_text.c_str(), n, font, PointF(m_x, m_y), &format, &box);
        status != Ok)
      return status;
    // Letters: UTF-16 units, a surrogate pair counting as one.
    std::vector<CharacterRange> letters;
    for (INT i = 0; i < n; ++i) {
      const bool pair = m_text[size_t(i)] >= 0xD800 && m_text[size_t(i)] < 0xDC00 && i + 1 < n;
      letters.emplace_back(i, pair ? 2 : 1);
      if (pair) ++i;
    }
    double extra = 0;
    for (size_t i = 0; i < letters.size(); ++i) extra += m_settings.spacing_after(i);
    const StringAlignment alignment = format.GetAlignment();
    const bool vertical = format.GetFormatFlags() & StringFormatFlagsDirectionVertical;
    double along = (vertical ? box.Y : box.X) - extra * (alignment == StringAlignmentCenter ? 0.5
                                                        : alignment == StringAlignmentFar  ? 1.0
                                                                                           : 0.0);
    const REAL across = vertical ? box.X : box.Y;
    format.SetAlignment(StringAlignmentNear);
    Status status = Ok;
    for (size_t first = 0; first < letters.size() && status == Ok; first += kMaxMeasurableCharacterRanges) {
      const INT count = INT(std::min<size_t>(kMaxMeasurableCharacterRanges, letters.size() - first));
      format.SetMeasurableCharacterRanges(count, &letters[first]);
      Region regions[kMaxMeasurableCharacterRanges];
      status = graphics.MeasureCharacterRanges(m_text.c_str(), n, font, RectF(m_x, m_y, 0, 0), &format, count, regions);
      for (INT k = 0; k < count && status == Ok; ++k) {
        const CharacterRange& letter = letters[first + size_t(k)];
        RectF bounds;
        regions[k].GetBounds(&bounds, &graphics);
        const PointF at = vertical ? PointF(across, REAL(along)) : PointF(REAL(along), across);
        status = graphics.DrawString(m_text.c_str() + letter.First, letter.Length, font, at, &format, brush.get());
        along += (vertical ? bounds.Height : bounds.Width) + m_settings.spacing_after(first + size_t(k));
      }
    }
    format.SetMeasurableCharacterRanges(0, nullptr);
    format.SetAlignment(alignment);
    return status;
  }

  std::u16string m_text;
  float m_x, m_y, m_angle;
  TextSettings m_settings;  // its string format is adjusted while drawing and put back
};

// The direction of (px, py) from the centre (cx, cy), in degrees.
double direction(double cx, double cy, double px, double py) {
  const double dx = px - cx, dy = py - cy;
  if (dx == 0) return dy >= 0 ? 90 : 270;
  if (dy == 0) return dx > 0 ? 0 : 180;
  return std::atan2(dy, dx) * 57.29577950924861;
}

}  // namespace

std::unique_ptr<Primitive> make_shape(ShapeGeometry geometry) { return std::make_unique<Shape>(std::move(geometry)); }

void angles_from_vectors(const RectF& rect, float x1, float y1, float x2, float y2, float* start, float* sweep) {
  // Seen from the rectangle's centre itself (a centre left of or above the origin included).
  const double cx = double(rect.X) + rect.Width / 2.0, cy = double(rect.Y) + rect.Height / 2.0;
  const double from = direction(cx, cy, x1, y1);
  double by = direction(cx, cy, x2, y2) - from;
  while (by < 0) by += 360;
  *start = static_cast<float>(from);
  *sweep = static_cast<float>(by);
}

std::unique_ptr<Primitive> make_text(std::u16string text, float x, float y, float angle, TextSettings settings) {
  return std::make_unique<Text>(std::move(text), x, y, angle, std::move(settings));
}

}  // namespace zx::drawing
