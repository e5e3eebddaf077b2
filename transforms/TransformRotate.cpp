// Zentarix — MIT licence.
// TransformRotate: canvas size, placement and the drawing worker.
#include "TransformRotate.h"

#include <cmath>

namespace zx::transforms {
namespace {

using Gdiplus::REAL;

struct Placement {
  INT width = 0, height = 0;
  REAL dx = 0, dy = 0;
};

// Angle truncated to whole degrees and brought into [0, 360).
double whole_degrees(double angle) {
  double a = std::trunc(angle);
  if (angle <= 0) a += 360.0 * (std::floor(-a / 360.0) + 1.0);
  return std::fmod(a, 360.0);
}

// The canvas and translation of the quadrant a falls in, from cos t and sin t of its remainder.
Placement place(double a, REAL c, REAL s, INT W, INT H) {
  auto t = [](double v) { return static_cast<INT>(std::trunc(v)); };
  const INT sH = t(double(s) * H), cW = t(double(c) * W), cH = t(double(c) * H), sW = t(double(s) * W);
  if (a < 90) return {sH + cW, cH + sW, REAL(sH), 0};
  if (a < 180) return {sW + cH, cW + sH, REAL(sW + cH), REAL(sH)};
  if (a < 270) return {sH + cW, cH + sW, REAL(cW), REAL(cH + sW)};
  return {sW + cH, cW + sH, 0, REAL(cW)};
}

}  // namespace

HRESULT TransformRotate::work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
  using namespace Gdiplus;
  const INT W = static_cast<INT>(input->GetWidth()), H = static_cast<INT>(input->GetHeight());
  // A non-finite angle keeps the identity here; the world transform refuses it below.
  const double a = std::isfinite(m_angle) ? whole_degrees(m_angle) : 0.0;
  REAL elements[6] = {1, 0, 0, 1, 0, 0};
  Matrix turn;
  turn.Rotate(REAL(std::fmod(a, 90.0)));
  turn.GetElements(elements);
  const Placement p = place(a, elements[0], elements[1], W, H);
  auto canvas = std::make_unique<Bitmap>(p.width, p.height, PixelFormat32bppARGB);
  Status status = Ok;
  {
    Graphics surface(canvas.get());
    status = surface.Clear(Color(static_cast<ARGB>(m_backgroundColor)));
    if (status != Ok) return report_gdiplus(kIdentity, status, server::ZX_E_TRANSFORM_FAILED);
    ImageAttributes edges;
    edges.SetWrapMode(WrapModeClamp, Color(static_cast<ARGB>(m_backgroundColor)));
    surface.TranslateTransform(p.dx, p.dy, MatrixOrderAppend);
    status = surface.RotateTransform(m_angle, MatrixOrderPrepend);
    surface.SetCompositingMode(CompositingModeSourceCopy);
    if (status == Ok)
      status = surface.DrawImage(input, RectF(0, 0, REAL(W), REAL(H)), 0, 0, REAL(W), REAL(H), UnitPixel, &edges);
  }
  if (status != Ok) return report_gdiplus(kIdentity, status, server::ZX_E_TRANSFORM_FAILED);
  *result = canvas.release();
  return S_OK;
}

}  // namespace zx::transforms
