// Zentarix — MIT licence.
// TransformShadow: a coloured, softened, displaced copy of the silhouette behind the image.
#pragma once
#include "TransformFrame.h"
#include "TransformMessages.h"

namespace zx::transforms {

class TransformShadow : public TransformObject<TransformShadow, ITransformShadow> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformShadow, IID_ITransformShadow, u"TransformShadow",
                                               messages::kDoTransform};

  STDMETHOD(get_color)(LONG* pVal) override { return read(pVal, m_colour); }
  STDMETHOD(put_color)(LONG newVal) override { return store(m_colour, newVal); }
  STDMETHOD(get_Radius)(DOUBLE* pVal) override { return read(pVal, m_radius); }
  STDMETHOD(put_Radius)(DOUBLE newVal) override { return store(m_radius, newVal); }
  STDMETHOD(get_OffsetX)(LONG* pVal) override { return read(pVal, m_offsetX); }
  STDMETHOD(put_OffsetX)(LONG newVal) override { return store(m_offsetX, newVal); }
  STDMETHOD(get_OffsetY)(LONG* pVal) override { return read(pVal, m_offsetY); }
  STDMETHOD(put_OffsetY)(LONG newVal) override { return store(m_offsetY, newVal); }

  // The shadow lies OffsetX pixels right of and OffsetY below the silhouette, cut at the border.
  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    kernels::BlurSettings settings;
    settings.offset_x = m_offsetX;
    settings.offset_y = m_offsetY;
    settings.colour = static_cast<uint32_t>(m_colour);
    settings.radius_x = settings.radius_y = m_radius;
    return run_pixel_kernel(kIdentity, messages::kShadowException, input, result, kernels::glow_argb32, settings);
  }

 private:
  LONG m_colour = -8355712;  // opaque grey
  DOUBLE m_radius = 2.0;
  LONG m_offsetX = 10;
  LONG m_offsetY = 10;
};

}  // namespace zx::transforms
