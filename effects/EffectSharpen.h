// Zentarix — MIT licence.
// EffectSharpen: details sharpened with an unsharp mask.
#pragma once
#include "EffectFrame.h"
#include "kernels/FilterKernels.h"

namespace zx::effects {

// Strength counts sixteenths of the detail added back: the default 16 adds it once (an unsharp
// mask of amount 100 percent and radius 1), 0 leaves the image as it was, 255 is the most.
class EffectSharpen : public EffectObject<EffectSharpen, IEffectSharpen> {
 public:
  ZX_EFFECT_IDENTITY(Sharpen);

  ZX_EFFECT_PROPERTY(LONG, Strength, m_strength)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (const HRESULT hr = within(u"Strength", m_strength, 0, 255); FAILED(hr)) return hr;
    return run(input, result, kernels::sharpen_argb32, m_strength);
  }

 private:
  LONG m_strength = 16;
};

}  // namespace zx::effects
