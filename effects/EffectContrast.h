// Zentarix — MIT licence.
// EffectContrast: the contrast raised or lowered by a percentage, or stretched automatically.
#pragma once
#include "EffectFrame.h"
#include "kernels/ColourKernels.h"

namespace zx::effects {

// Set up like Lightness: Contrast sets Automatic (entry 11) to 0 and then Amount, AutoContrast sets
// Automatic to 1 only. Automatic is any non-zero value; Amount is then neither used nor checked.
class EffectContrast : public EffectObject<EffectContrast, IEffectContrast> {
 public:
  ZX_EFFECT_IDENTITY(Contrast);

  ZX_EFFECT_PROPERTY(LONG, Amount, m_amount)
  ZX_EFFECT_PROPERTY(LONG, Automatic, m_automatic)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (!m_automatic) {
      if (const HRESULT hr = within(u"Amount", m_amount, -100, 100); FAILED(hr)) return hr;
    }
    return run(input, result, kernels::contrast_argb32, m_amount, m_automatic != 0);
  }

 private:
  LONG m_amount = 0;
  LONG m_automatic = 0;
};

}  // namespace zx::effects
