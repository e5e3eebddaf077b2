// Zentarix GDI+ layer — MIT licence.
// The objects behind GpPath, GpBrush and GpPen, and the geometry they share.
#pragma once
#include <initializer_list>
#include <memory>
#include <vector>

#include "graphics.h"

namespace zx::gdip {

struct PointD {
  double x = 0, y = 0;
};
inline PointD apply(const resample::Affine& a, PointD p) {
  return {a.m11 * p.x + a.m21 * p.y + a.dx, a.m12 * p.x + a.m22 * p.y + a.dy};
}

// Points and types exactly as GDI+ stores a path. newFigure: the next segment starts a figure.
struct PathData {
  std::vector<Gdiplus::PointF> points;
  std::vector<BYTE> types;
  Gdiplus::FillMode fillMode = Gdiplus::FillModeAlternate;
  bool newFigure = true;
};
inline PathData* impl(Gdiplus::GpPath* p) { return reinterpret_cast<PathData*>(p); }
inline const PathData* impl(const Gdiplus::GpPath* p) { return reinterpret_cast<const PathData*>(p); }

// A texture's own copy of its image: premultiplied B, G, R, A rows of width * 4 bytes.
struct TextureImage {
  std::vector<uint8_t> pixels;
  int width = 0;
  int height = 0;
};

struct BrushData {
  Gdiplus::BrushType type = Gdiplus::BrushTypeSolidColor;
  Gdiplus::ARGB colour = 0xFF000000;  // solid
  Gdiplus::HatchStyle hatch = Gdiplus::HatchStyleHorizontal;
  Gdiplus::ARGB fore = 0xFF000000, back = 0xFF000000;  // hatch
  std::shared_ptr<const TextureImage> texture;          // shared by clones: never changed
  Gdiplus::WrapMode wrap = Gdiplus::WrapModeTile;
  MatrixData transform;                                 // brush space -> world space
};
inline BrushData* impl(Gdiplus::GpBrush* p) { return reinterpret_cast<BrushData*>(p); }
inline const BrushData* impl(const Gdiplus::GpBrush* p) { return reinterpret_cast<const BrushData*>(p); }

struct PenData {
  Gdiplus::REAL width = 1;
  BrushData fill;
  Gdiplus::LineCap startCap = Gdiplus::LineCapFlat;
  Gdiplus::LineCap endCap = Gdiplus::LineCapFlat;
  Gdiplus::DashCap dashCap = Gdiplus::DashCapFlat;
  Gdiplus::LineJoin join = Gdiplus::LineJoinMiter;
  Gdiplus::REAL miterLimit = 10;
  Gdiplus::DashStyle dashStyle = Gdiplus::DashStyleSolid;
  std::vector<Gdiplus::REAL> dashArray{1};  // the Custom pattern
  Gdiplus::REAL dashOffset = 0;
};
inline PenData* impl(Gdiplus::GpPen* p) { return reinterpret_cast<PenData*>(p); }

// The 8 x 8 bit pattern of a hatch style: row r of the pattern is byte r, bit 7 the leftmost pixel.
const uint8_t* hatch_pattern(Gdiplus::HatchStyle style);

// The arguments of the flat API: false for a value that is not finite; points as doubles, or false
// when the pointer is missing, the count below minimum or a value not finite.
bool finite(std::initializer_list<Gdiplus::REAL> values);
bool read_points(const Gdiplus::PointF* points, INT count, INT minimum, std::vector<PointD>* out);

// Path building, in GDI+'s conventions (gdipluspath.h). Points arrive in world units.
void path_add_lines(PathData& path, const PointD* points, size_t count);
void path_add_beziers(PathData& path, const PointD* points, size_t count);  // 1 + 3n points
void path_add_arc(PathData& path, double x, double y, double w, double h, double start, double sweep);
void path_add_curve(PathData& path, const PointD* points, size_t count, double tension, bool closed);
void path_add_rectangle(PathData& path, double x, double y, double w, double h);
void path_add_ellipse(PathData& path, double x, double y, double w, double h);
void path_add_pie(PathData& path, double x, double y, double w, double h, double start, double sweep);
void path_add_polygon(PathData& path, const PointD* points, size_t count);
void path_close_figure(PathData& path);

// A figure flattened into a polyline (Béziers cut until no point strays more than tolerance from
// the curve), in whatever space the points were mapped to.
struct Polyline {
  std::vector<PointD> points;
  bool closed = false;
};
std::vector<Polyline> flatten(const PathData& path, const resample::Affine& map, double tolerance);

}  // namespace zx::gdip
