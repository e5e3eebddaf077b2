// Zentarix — MIT licence.
// EffectWaddle: the image swaying in gentle waves sized by the image itself.
#pragma once
#include "EffectFrame.h"
#include "kernels/WarpKernels.h"

namespace zx::effects {

// Waddle takes no settings: its waves are a fixed share of the image's shorter side, so every
// image sways alike.
class EffectWaddle : public EffectObject<EffectWaddle, IEffectWaddle> {
 public:
  ZX_EFFECT_IDENTITY(Waddle);

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) { return run(input, result, kernels::waddle_argb32); }
};

}  // namespace zx::effects
