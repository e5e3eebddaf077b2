// Zentarix — MIT licence.
// EffectHSLColorize: the image coloured with one hue and saturation.
#pragma once
#include "EffectFrame.h"
#include "kernels/ColourKernels.h"

namespace zx::effects {

// Hue 0 to 360 degrees, Saturation 0 to 100 and Lightness -100 to 100 percent, as in the usual
// colourise dialogs. The initial settings give a warm sepia; the raster object's defaults (all 0)
// give plain grey.
class EffectHSLColorize : public EffectObject<EffectHSLColorize, IEffectHSLColorize> {
 public:
  ZX_EFFECT_IDENTITY(HSLColorize);

  ZX_EFFECT_PROPERTY(LONG, Hue, m_hue)
  ZX_EFFECT_PROPERTY(LONG, Saturation, m_saturation)
  ZX_EFFECT_PROPERTY(LONG, Lightness, m_lightness)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (const HRESULT hr = within(u"Hue", m_hue, 0, 360); FAILED(hr)) return hr;
    if (const HRESULT hr = within(u"Saturation", m_saturation, 0, 100); FAILED(hr)) return hr;
    if (const HRESULT hr = within(u"Lightness", m_lightness, -100, 100); FAILED(hr)) return hr;
    return run(input, result, kernels::hsl_colorize_argb32, m_hue, m_saturation, m_lightness);
  }

 private:
  LONG m_hue = 30;
  LONG m_saturation = 25;
  LONG m_lightness = 0;
};

}  // namespace zx::effects
