// Zentarix — MIT licence.
// TransformResize: settings and the scaling worker.
#include "TransformResize.h"

#include "ResizeQuality.h"

namespace zx::transforms {

HRESULT TransformResize::put_NewWidth(LONG newVal) {
  if (newVal <= 0) return report(kIdentity, messages::kWidthNotPositive, E_FAIL);
  m_newWidth = newVal;
  return S_OK;
}

HRESULT TransformResize::put_NewHeight(LONG newVal) {
  if (newVal <= 0) return report(kIdentity, messages::kHeightNotPositive, E_FAIL);
  m_newHeight = newVal;
  return S_OK;
}

HRESULT TransformResize::work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
  using namespace Gdiplus;
  const LONG width = m_newWidth, height = m_newHeight;
  auto canvas = std::make_unique<Bitmap>(width, height, PixelFormat32bppARGB);
  if (const Status made = canvas->GetLastStatus(); made != Ok) return report_gdiplus(kIdentity, made, server::ZX_E_TRANSFORM_FAILED);
  Status drawn = Ok;
  {
    Graphics surface(canvas.get());
    if (const Status set = surface.SetInterpolationMode(interpolation_for(m_quality)); set != Ok)
      return report_gdiplus(kIdentity, set, server::ZX_E_TRANSFORM_FAILED);
    surface.SetCompositingMode(CompositingModeSourceOver);
    surface.SetPixelOffsetMode(PixelOffsetModeHalf);
    surface.Clear(Color(static_cast<ARGB>(m_backgroundColor) | 0x01000000u));
    drawn = surface.DrawImage(input, RectF(-1.0f, -1.0f, REAL(width) + 1.0f, REAL(height) + 1.0f), 0, 0,
                              REAL(input->GetWidth()), REAL(input->GetHeight()), UnitPixel);
  }
  if (drawn != Ok) return report_gdiplus(kIdentity, drawn, server::ZX_E_TRANSFORM_FAILED);
  *result = canvas.release();
  return S_OK;
}

}  // namespace zx::transforms
