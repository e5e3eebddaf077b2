// Zentarix — MIT licence.
// EffectSwapChannels: colour channels rearranged.
#pragma once
#include <array>

#include "EffectFrame.h"
#include "kernels/ColourKernels.h"

namespace zx::effects {

// Each setting names the channel its output channel is copied from: 0 red, 1 green, 2 blue,
// 3 alpha. Channels may be repeated (Red = Green = Blue = 1 gives the green channel in grey).
class EffectSwapChannels : public EffectObject<EffectSwapChannels, IEffectSwapChannels> {
 public:
  ZX_EFFECT_IDENTITY(SwapChannels);

  ZX_EFFECT_PROPERTY(LONG, Red, m_sources[0])
  ZX_EFFECT_PROPERTY(LONG, Green, m_sources[1])
  ZX_EFFECT_PROPERTY(LONG, Blue, m_sources[2])
  ZX_EFFECT_PROPERTY(LONG, alpha, m_sources[3])

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    constexpr const OLECHAR* kNames[4] = {u"Red", u"Green", u"Blue", u"alpha"};
    for (int i = 0; i < 4; ++i) {
      if (const HRESULT hr = within(kNames[i], m_sources[i], 0, 3); FAILED(hr)) return hr;
    }
    const std::array<int32_t, 4> sources = {m_sources[0], m_sources[1], m_sources[2], m_sources[3]};
    return run(input, result, kernels::swap_channels_argb32, sources);
  }

 private:
  LONG m_sources[4] = {0, 1, 2, 3};  // red, green, blue, alpha
};

}  // namespace zx::effects
