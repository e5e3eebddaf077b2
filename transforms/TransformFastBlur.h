// Zentarix — MIT licence.
// TransformFastBlur: the tent blur of Radius composited onto the image.
#pragma once
#include "TransformFrame.h"
#include "TransformMessages.h"

namespace zx::transforms {

class TransformFastBlur : public TransformObject<TransformFastBlur, ITransformFastBlur> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformFastBlur, IID_ITransformFastBlur, u"TransformFastBlur",
                                               messages::kDoTransform};

  STDMETHOD(get_Radius)(DOUBLE* pVal) override { return read(pVal, m_radius); }
  STDMETHOD(put_Radius)(DOUBLE newVal) override { return store(m_radius, newVal); }

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    kernels::BlurSettings settings;
    settings.radius_x = settings.radius_y = m_radius;
    return run_pixel_kernel(kIdentity, messages::kFastBlurException, input, result, kernels::blur_argb32, settings);
  }

 private:
  DOUBLE m_radius = 2.0;
};

}  // namespace zx::transforms
