// Zentarix — MIT licence.
// EffectLightness: the image lightened or darkened, by a percentage or automatically.
#pragma once
#include "EffectFrame.h"
#include "kernels/ColourKernels.h"

namespace zx::effects {

// The raster object's Lightness sets Automatic (entry 11) to 0 and then Amount; its AutoLightness
// sets only Automatic, to 1, and leaves Amount at its initial 0. Automatic is any non-zero value;
// it chooses the amount from the image and Amount is then neither used nor checked.
class EffectLightness : public EffectObject<EffectLightness, IEffectLightness> {
 public:
  ZX_EFFECT_IDENTITY(Lightness);

  ZX_EFFECT_PROPERTY(LONG, Amount, m_amount)
  ZX_EFFECT_PROPERTY(LONG, Automatic, m_automatic)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (!m_automatic) {
      if (const HRESULT hr = within(u"Amount", m_amount, -100, 100); FAILED(hr)) return hr;
    }
    return run(input, result, kernels::lightness_argb32, m_amount, m_automatic != 0);
  }

 private:
  LONG m_amount = 0;
  LONG m_automatic = 0;
};

}  // namespace zx::effects
