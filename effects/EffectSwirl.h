// Zentarix — MIT licence.
// EffectSwirl: the image twisted about its centre.
#pragma once
#include "EffectFrame.h"
#include "kernels/WarpKernels.h"

namespace zx::effects {

// Amount is the turn at the centre in degrees, any value: positive turns counter-clockwise,
// several turns wind the image up further.
class EffectSwirl : public EffectObject<EffectSwirl, IEffectSwirl> {
 public:
  ZX_EFFECT_IDENTITY(Swirl);

  ZX_EFFECT_PROPERTY(LONG, Amount, m_amount)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    return run(input, result, kernels::swirl_argb32, static_cast<double>(m_amount));
  }

 private:
  LONG m_amount = 90;
};

}  // namespace zx::effects
