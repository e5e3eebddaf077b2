// Zentarix — MIT licence.
// EffectSolarize: colour values above a threshold inverted.
#pragma once
#include "EffectFrame.h"
#include "kernels/ColourKernels.h"

namespace zx::effects {

// ThresholdColor holds one threshold per channel (its red, green and blue; its alpha is not
// used): every value above its channel's threshold becomes 255 minus itself. Initially mid grey.
class EffectSolarize : public EffectObject<EffectSolarize, IEffectSolarize> {
 public:
  ZX_EFFECT_IDENTITY(Solarize);

  ZX_EFFECT_PROPERTY(LONG, ThresholdColor, m_threshold)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    return run(input, result, kernels::solarize_argb32, static_cast<uint32_t>(m_threshold));
  }

 private:
  LONG m_threshold = -8355712;
};

}  // namespace zx::effects
