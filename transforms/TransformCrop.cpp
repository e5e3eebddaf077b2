// Zentarix — MIT licence.
// TransformCrop: the cutting worker.
#include "TransformCrop.h"

#include <algorithm>

#include "ResizeQuality.h"

namespace zx::transforms {

HRESULT TransformCrop::work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
  using namespace Gdiplus;
  const INT inputWidth = static_cast<INT>(input->GetWidth()), inputHeight = static_cast<INT>(input->GetHeight());
  const LONG w = std::max<LONG>(m_width, 0), h = std::max<LONG>(m_height, 0);
  const bool toOriginal = m_resizeToOriginal != VARIANT_FALSE;
  const INT outWidth = toOriginal ? inputWidth : w, outHeight = toOriginal ? inputHeight : h;
  auto canvas = std::make_unique<Bitmap>(outWidth, outHeight, PixelFormat32bppARGB);
  if (canvas->GetLastStatus() != Ok) return report(kIdentity, messages::kCannotMakeCrop, server::ZX_E_TRANSFORM_FAILED);
  Graphics surface(canvas.get());
  if (const Status opened = surface.GetLastStatus(); opened != Ok)
    return report_gdiplus(kIdentity, opened, server::ZX_E_TRANSFORM_FAILED);
  if (const Status set = surface.SetInterpolationMode(interpolation_for(m_quality)); set != Ok)
    return report_gdiplus(kIdentity, set, server::ZX_E_TRANSFORM_FAILED);
  surface.SetCompositingMode(CompositingModeSourceOver);
  surface.Clear(Color(static_cast<ARGB>(m_backgroundColor) | 0x01000000u));
  *result = canvas.release();
  const Status drawn = surface.DrawImage(input, Rect(0, 0, outWidth, outHeight), m_x, m_y, w, h, UnitPixel);
  if (drawn != Ok) return report_gdiplus(kIdentity, drawn, server::ZX_E_TRANSFORM_FAILED);
  return S_OK;
}

}  // namespace zx::transforms
