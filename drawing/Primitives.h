// Zentarix — MIT licence.
// The primitives a DrawingTool records: geometry, and the GDI+ pen and brush made when recorded.
#pragma once
#include <gdiplus.h>

#include <memory>
#include <string>
#include <vector>

#include "DrawingConversions.h"

namespace zx::drawing {

class Primitive {
 public:
  virtual ~Primitive() = default;
  // Draws on the surface; the GDI+ status of the first failing call. The world transform is left as
  // it was found. Not noexcept: it runs under the fault guard.
  virtual Gdiplus::Status draw(Gdiplus::Graphics& graphics) const = 0;

  std::unique_ptr<Gdiplus::Pen> pen;
  std::unique_ptr<Gdiplus::Brush> brush;  // fillable kinds and text
  bool filled = false;
};

enum class ShapeKind { Ellipse, Line, Rectangle, Bezier, Polyline, Polygon, OpenCurve, ClosedCurve, Arc, Pie };

// Every kind but text. Ellipses and rectangles turn by angle about the rectangle's centre.
struct ShapeGeometry {
  ShapeKind kind = ShapeKind::Line;
  Gdiplus::RectF rect;                // ellipses, rectangles, arcs, pies
  std::vector<Gdiplus::PointF> points;  // lines, Béziers, point lists
  float angle = 0;                    // rotation, degrees
  float start = 0, sweep = 0;         // arcs and pies
  float tension = 0.5f;
  Gdiplus::FillMode fillMode = Gdiplus::FillModeAlternate;
};
std::unique_ptr<Primitive> make_shape(ShapeGeometry geometry);

// The start and sweep angles of an arc from the directions of two points seen from the centre of
// rect (see the tool's contract).
void angles_from_vectors(const Gdiplus::RectF& rect, float x1, float y1, float x2, float y2, float* start,
                         float* sweep);

// Text at (x, y), turned by angle about that point. Without tracking or kernings the string is drawn
// whole; otherwise letter by letter, each letter followed by its extra space.
std::unique_ptr<Primitive> make_text(std::u16string text, float x, float y, float angle, TextSettings settings);

}  // namespace zx::drawing
