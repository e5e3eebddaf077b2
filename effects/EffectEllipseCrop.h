// Zentarix — MIT licence.
// EffectEllipseCrop: an ellipse of the image kept, the rest filled with a colour.
#pragma once
#include "EffectFrame.h"
#include "kernels/ShapeKernels.h"

namespace zx::effects {

// X and Y are the centre pixel; the radii (entry 9 vertical, 11 horizontal) must be positive. The
// geometry has no meaningful default (the raster object always passes it), so until it is set the
// radii of 0 are refused with a message rather than cropping everything away.
class EffectEllipseCrop : public EffectObject<EffectEllipseCrop, IEffectEllipseCrop> {
 public:
  ZX_EFFECT_IDENTITY(EllipseCrop);

  ZX_EFFECT_PROPERTY(LONG, VerticalRadius, m_verticalRadius)
  ZX_EFFECT_PROPERTY(LONG, HorizontalRadius, m_horizontalRadius)
  ZX_EFFECT_PROPERTY(LONG, BackgroundColor, m_background)
  ZX_EFFECT_PROPERTY(LONG, X, m_x)
  ZX_EFFECT_PROPERTY(LONG, Y, m_y)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (const HRESULT hr = positive(u"HorizontalRadius", m_horizontalRadius); FAILED(hr)) return hr;
    if (const HRESULT hr = positive(u"VerticalRadius", m_verticalRadius); FAILED(hr)) return hr;
    return run(input, result, kernels::ellipse_crop_argb32, m_x, m_y, m_horizontalRadius, m_verticalRadius,
               static_cast<uint32_t>(m_background));
  }

 private:
  LONG m_verticalRadius = 0;
  LONG m_horizontalRadius = 0;
  LONG m_background = -1;
  LONG m_x = 0;
  LONG m_y = 0;
};

}  // namespace zx::effects
