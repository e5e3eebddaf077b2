// Zentarix — MIT licence.
// EffectSinusize: rows and columns displaced along sine waves.
#pragma once
#include <optional>

#include "EffectFrame.h"
#include "kernels/WarpKernels.h"

namespace zx::effects {

// The horizontal wave moves rows sideways (its wavelength counted in rows), the vertical one moves
// columns up and down. A wavelength of 0 means no displacement on that axis, which is what the
// raster object's all-zero defaults give; negative wavelengths are refused. Phases are degrees,
// any value. The initial settings (10 pixels over 120 on both axes) give a visible ripple.
class EffectSinusize : public EffectObject<EffectSinusize, IEffectSinusize> {
 public:
  ZX_EFFECT_IDENTITY(Sinusize);

  ZX_EFFECT_PROPERTY(LONG, HorizontalAmplitude, m_horizontalAmplitude)
  ZX_EFFECT_PROPERTY(LONG, VerticalAmplitude, m_verticalAmplitude)
  ZX_EFFECT_PROPERTY(LONG, HorizontalWaveLength, m_horizontalWaveLength)
  ZX_EFFECT_PROPERTY(LONG, VerticalWaveLength, m_verticalWaveLength)
  ZX_EFFECT_PROPERTY(LONG, HorizontalStartPhase, m_horizontalStartPhase)
  ZX_EFFECT_PROPERTY(LONG, VerticalStartPhase, m_verticalStartPhase)
  ZX_EFFECT_PROPERTY(LONG, BackgroundColor, m_background)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (const HRESULT hr = at_least(u"HorizontalWaveLength", m_horizontalWaveLength, 0); FAILED(hr)) return hr;
    if (const HRESULT hr = at_least(u"VerticalWaveLength", m_verticalWaveLength, 0); FAILED(hr)) return hr;
    kernels::SineWaves waves;
    waves.horizontal_amplitude = m_horizontalAmplitude;
    waves.horizontal_wavelength = m_horizontalWaveLength;
    waves.horizontal_phase = m_horizontalStartPhase;
    waves.vertical_amplitude = m_verticalAmplitude;
    waves.vertical_wavelength = m_verticalWaveLength;
    waves.vertical_phase = m_verticalStartPhase;
    return run(input, result, kernels::sinusize_argb32, waves,
               std::optional<uint32_t>(static_cast<uint32_t>(m_background)));
  }

 private:
  LONG m_horizontalAmplitude = 10;
  LONG m_verticalAmplitude = 10;
  LONG m_horizontalWaveLength = 120;
  LONG m_verticalWaveLength = 120;
  LONG m_horizontalStartPhase = 0;
  LONG m_verticalStartPhase = 0;
  LONG m_background = -1;
};

}  // namespace zx::effects
