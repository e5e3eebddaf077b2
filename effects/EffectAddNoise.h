// Zentarix — MIT licence.
// EffectAddNoise: Gaussian noise, in colour or the same on every channel.
#pragma once
#include "EffectFrame.h"
#include "kernels/NoiseKernels.h"

namespace zx::effects {

// IsMonochrome arrives as the raster object's VARIANT_BOOL sign-extended (True is -1): any
// non-zero value means monochrome noise.
class EffectAddNoise : public EffectObject<EffectAddNoise, IEffectAddNoise> {
 public:
  ZX_EFFECT_IDENTITY(AddNoise);

  ZX_EFFECT_PROPERTY(LONG, Amount, m_amount)
  ZX_EFFECT_PROPERTY(LONG, IsMonochrome, m_monochrome)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (const HRESULT hr = within(u"Amount", m_amount, 0, 100); FAILED(hr)) return hr;
    return run(input, result, kernels::add_noise_argb32, m_amount, m_monochrome != 0);
  }

 private:
  LONG m_amount = 20;
  LONG m_monochrome = 0;
};

}  // namespace zx::effects
