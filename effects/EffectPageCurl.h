// Zentarix — MIT licence.
// EffectPageCurl: a corner of the image curled like a page.
#pragma once
#include "EffectFrame.h"
#include "kernels/ShapeKernels.h"

namespace zx::effects {

// The properties come before Apply here (puts at entries 8, 10, 12, 14 and 16). Width and Height
// (positive, any size) are how far along the corner's two edges the page comes away; CurlMode is a
// PageCurlModes value: the corner, and whether it folds down over the page or rolls up into a tube.
class EffectPageCurl : public EffectObject<EffectPageCurl, IEffectPageCurl> {
 public:
  ZX_EFFECT_IDENTITY(PageCurl);

  ZX_EFFECT_PROPERTY(LONG, Width, m_width)
  ZX_EFFECT_PROPERTY(LONG, Height, m_height)
  ZX_EFFECT_PROPERTY(LONG, BackgroundColor, m_background)
  ZX_EFFECT_PROPERTY(LONG, CurlColor, m_curlColor)
  ZX_EFFECT_PROPERTY(LONG, CurlMode, m_curlMode)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (const HRESULT hr = positive(u"Width", m_width); FAILED(hr)) return hr;
    if (const HRESULT hr = positive(u"Height", m_height); FAILED(hr)) return hr;
    if (const HRESULT hr = within(u"CurlMode", m_curlMode, pcmLeftTopCurlUp, pcmLeftBottomCurlDown); FAILED(hr))
      return hr;
    kernels::PageCurlSettings settings;
    settings.width = m_width;
    settings.height = m_height;
    settings.mode = m_curlMode;
    settings.curl_colour = static_cast<uint32_t>(m_curlColor);
    settings.background = static_cast<uint32_t>(m_background);
    return run<transforms::ResultStart::CopyOfInput>(input, result, kernels::page_curl_argb32, settings);
  }

 private:
  LONG m_width = 120;
  LONG m_height = 120;
  LONG m_background = -1;
  LONG m_curlColor = -52;
  LONG m_curlMode = pcmRightBottomCurlDown;
};

}  // namespace zx::effects
