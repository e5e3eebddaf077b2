// Zentarix — MIT licence.
// EffectEmboss: the image raised in relief, lit from the top left.
#pragma once
#include "EffectFrame.h"
#include "kernels/FilterKernels.h"

namespace zx::effects {

// Type is an EmbossTypes value: etGreyEmboss gives the grey relief alone, etNormalEmboss (the
// initial one) lays the relief over the colours.
class EffectEmboss : public EffectObject<EffectEmboss, IEffectEmboss> {
 public:
  ZX_EFFECT_IDENTITY(Emboss);

  ZX_EFFECT_PROPERTY(LONG, Type, m_type)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (const HRESULT hr = within(u"Type", m_type, etGreyEmboss, etNormalEmboss); FAILED(hr)) return hr;
    return run(input, result, kernels::emboss_argb32, m_type == etGreyEmboss);
  }

 private:
  LONG m_type = etNormalEmboss;
};

}  // namespace zx::effects
