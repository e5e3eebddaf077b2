// Zentarix — MIT licence.
// EffectTexturize: a canvas-like relief laid over the image.
#pragma once
#include "EffectFrame.h"
#include "kernels/NoiseKernels.h"

namespace zx::effects {

// Amount is the relief's depth (0 to 100 percent); Shift (a FLOAT, passed in a floating-point
// register by the raster object) is how far apart in pixels the lit and the shaded side of each
// thread lie, 0.25 to 16: larger shifts give coarser relief. NaN is refused like any value outside.
class EffectTexturize : public EffectObject<EffectTexturize, IEffectTexturize> {
 public:
  ZX_EFFECT_IDENTITY(Texturize);

  ZX_EFFECT_PROPERTY(LONG, Amount, m_amount)
  ZX_EFFECT_PROPERTY(FLOAT, Shift, m_shift)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (const HRESULT hr = within(u"Amount", m_amount, 0, 100); FAILED(hr)) return hr;
    if (!(m_shift >= 0.25f && m_shift <= 16.0f)) return refuse(range_message(u"Shift", 0.25, 16));
    return run(input, result, kernels::texturize_argb32, m_amount, m_shift);
  }

 private:
  LONG m_amount = 50;
  FLOAT m_shift = 1.0f;
};

}  // namespace zx::effects
