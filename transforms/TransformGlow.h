// Zentarix — MIT licence.
// TransformGlow: a coloured halo around the image's non-transparent areas.
#pragma once
#include "TransformFrame.h"
#include "TransformMessages.h"

namespace zx::transforms {

class TransformGlow : public TransformObject<TransformGlow, ITransformGlow> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformGlow, IID_ITransformGlow, u"TransformGlow",
                                               messages::kDoTransform};

  STDMETHOD(get_color)(LONG* pVal) override { return read(pVal, m_colour); }
  STDMETHOD(put_color)(LONG newVal) override { return store(m_colour, newVal); }
  STDMETHOD(get_Intensity)(DOUBLE* pVal) override { return read(pVal, m_intensity); }
  STDMETHOD(put_Intensity)(DOUBLE newVal) override { return store(m_intensity, newVal); }
  STDMETHOD(get_Radius)(DOUBLE* pVal) override { return read(pVal, m_radius); }
  STDMETHOD(put_Radius)(DOUBLE newVal) override { return store(m_radius, newVal); }

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    kernels::BlurSettings settings;
    settings.colour = static_cast<uint32_t>(m_colour);
    settings.intensity = m_intensity;
    settings.radius_x = settings.radius_y = m_radius;
    return run_pixel_kernel(kIdentity, messages::kGlowException, input, result, kernels::glow_argb32, settings);
  }

 private:
  LONG m_colour = -256;  // opaque yellow
  DOUBLE m_intensity = 10.0;
  DOUBLE m_radius = 2.0;
};

}  // namespace zx::transforms
