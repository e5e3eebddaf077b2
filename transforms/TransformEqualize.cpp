// Zentarix — MIT licence.
// TransformEqualize: the colour-matrix worker.
#include "TransformEqualize.h"

namespace zx::transforms {

HRESULT TransformEqualize::work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
  using namespace Gdiplus;
  const INT W = static_cast<INT>(input->GetWidth()), H = static_cast<INT>(input->GetHeight());
  ColorMatrix matrix{};
  for (int c = 0; c < 4; ++c) {
    matrix.m[c][c] = m_multiplier[c];
    matrix.m[4][c] = m_addend[c];
  }
  matrix.m[4][4] = 1.0f;
  auto* canvas = new Bitmap(W, H, PixelFormat32bppARGB);
  *result = canvas;
  Status drawn;
  {
    Graphics surface(canvas);
    ImageAttributes attributes;
    attributes.SetColorMatrix(&matrix, ColorMatrixFlagsDefault, ColorAdjustTypeBitmap);
    drawn = surface.DrawImage(input, Rect(0, 0, W, H), 0, 0, W, H, UnitPixel, &attributes);
  }
  if (drawn != Ok) return report_gdiplus(kIdentity, drawn, server::ZX_E_TRANSFORM_FAILED);
  return S_OK;
}

}  // namespace zx::transforms
