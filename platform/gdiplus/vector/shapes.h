// Zentarix GDI+ layer — MIT licence.
// Filling and stroking a path on a graphics (the rules are gdiplusdrawing.h's and gdipluspen.h's).
#pragma once
#include "vector_data.h"

namespace zx::gdip {

Gdiplus::Status fill_path(const GraphicsData& graphics, const PathData& path, const BrushData& brush,
                          Gdiplus::FillMode fillMode);
Gdiplus::Status stroke_path(const GraphicsData& graphics, const PathData& path, const PenData& pen);

// The pieces a pen leaves of a flattened figure, in stroke space: dashes cut by the pattern, each
// with what ends it at either side. Exposed for the stroke tests.
enum class PieceEnd { Figure, Dash };
struct StrokePiece {
  std::vector<PointD> points;
  bool loop = false;  // an undashed closed figure: joined all round, no caps
  PieceEnd start = PieceEnd::Figure, end = PieceEnd::Figure;
};
// pattern: on and off lengths (stroke units, all > 0), empty for a solid pen; offset into it.
// visible (stroke units, optional): outside it no dash is cut, the pattern's phase is carried over
// arithmetically, so a line millions of dashes long costs what its visible part costs.
struct StrokeBox {
  double x0, y0, x1, y1;
};
std::vector<StrokePiece> cut_dashes(const std::vector<Polyline>& figures, const std::vector<double>& pattern,
                                    double offset, const StrokeBox* visible = nullptr);

}  // namespace zx::gdip
