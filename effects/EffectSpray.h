// Zentarix — MIT licence.
// EffectSpray: pixels scattered as if sprayed, optionally inside a ragged frame.
#pragma once
#include "EffectFrame.h"
#include "kernels/NoiseKernels.h"

namespace zx::effects {

// Amount is how far a pixel may travel (0 to 200 pixels on each axis); FrameWidth is the width of
// the sprayed frame that fades into BackgroundColor (0 for none, any width allowed).
class EffectSpray : public EffectObject<EffectSpray, IEffectSpray> {
 public:
  ZX_EFFECT_IDENTITY(Spray);

  ZX_EFFECT_PROPERTY(LONG, Amount, m_amount)
  ZX_EFFECT_PROPERTY(LONG, BackgroundColor, m_background)
  ZX_EFFECT_PROPERTY(LONG, FrameWidth, m_frameWidth)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (const HRESULT hr = within(u"Amount", m_amount, 0, 200); FAILED(hr)) return hr;
    if (const HRESULT hr = at_least(u"FrameWidth", m_frameWidth, 0); FAILED(hr)) return hr;
    return run(input, result, kernels::spray_argb32, m_amount, m_frameWidth, static_cast<uint32_t>(m_background));
  }

 private:
  LONG m_amount = 5;
  LONG m_background = -1;
  LONG m_frameWidth = 0;
};

}  // namespace zx::effects
