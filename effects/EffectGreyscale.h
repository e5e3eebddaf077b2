// Zentarix — MIT licence.
// EffectGreyscale: the image in shades of grey (Rec. 601 luma).
#pragma once
#include "EffectFrame.h"
#include "kernels/ColourKernels.h"

namespace zx::effects {

class EffectGreyscale : public EffectObject<EffectGreyscale, IEffectGreyscale> {
 public:
  ZX_EFFECT_IDENTITY(Greyscale);

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    return run(input, result, kernels::greyscale_argb32);
  }
};

}  // namespace zx::effects
