// Zentarix — MIT licence.
// EffectAntialiasing: hard edges softened, flat areas and gentle gradients left alone.
#pragma once
#include "EffectFrame.h"
#include "kernels/FilterKernels.h"

namespace zx::effects {

class EffectAntialiasing : public EffectObject<EffectAntialiasing, IEffectAntialiasing> {
 public:
  ZX_EFFECT_IDENTITY(Antialiasing);

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    return run(input, result, kernels::antialias_argb32);
  }
};

}  // namespace zx::effects
