// Zentarix — MIT licence.
// EffectButtonize: a bevelled frame that makes the image a button.
#pragma once
#include "EffectFrame.h"
#include "kernels/ShapeKernels.h"

namespace zx::effects {

// Type 0 raises the button and 1 sinks it; 2 and 3 do the same with a bevel that fades inwards.
// FrameOpacity is the bevel's strength in percent; FrameWidth its width in pixels (0: no bevel).
class EffectButtonize : public EffectObject<EffectButtonize, IEffectButtonize> {
 public:
  ZX_EFFECT_IDENTITY(Buttonize);

  ZX_EFFECT_PROPERTY(LONG, FrameOpacity, m_frameOpacity)
  ZX_EFFECT_PROPERTY(LONG, FrameWidth, m_frameWidth)
  ZX_EFFECT_PROPERTY(LONG, Type, m_type)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (const HRESULT hr = within(u"Type", m_type, 0, 3); FAILED(hr)) return hr;
    if (const HRESULT hr = at_least(u"FrameWidth", m_frameWidth, 0); FAILED(hr)) return hr;
    if (const HRESULT hr = within(u"FrameOpacity", m_frameOpacity, 0, 100); FAILED(hr)) return hr;
    return run<transforms::ResultStart::CopyOfInput>(input, result, kernels::buttonize_argb32, m_type, m_frameWidth,
                                                     m_frameOpacity);
  }

 private:
  LONG m_frameOpacity = 70;
  LONG m_frameWidth = 10;
  LONG m_type = 0;
};

}  // namespace zx::effects
