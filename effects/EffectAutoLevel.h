// Zentarix — MIT licence.
// EffectAutoLevel: each colour channel stretched from its own darkest to its lightest value.
#pragma once
#include "EffectFrame.h"
#include "kernels/ColourKernels.h"

namespace zx::effects {

// Each channel is stretched on its own (half a percent of the values set aside at each end), so a
// colour cast goes too; AutoContrast, which keeps the balance, is Contrast's automatic mode.
class EffectAutoLevel : public EffectObject<EffectAutoLevel, IEffectAutoLevel> {
 public:
  ZX_EFFECT_IDENTITY(AutoLevel);

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    return run(input, result, kernels::auto_level_argb32);
  }
};

}  // namespace zx::effects
