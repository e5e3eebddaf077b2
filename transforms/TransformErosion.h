// Zentarix — MIT licence.
// TransformErosion: thins dark objects: the largest value in each channel and alpha.
#pragma once
#include "kernels/RankFilter.h"
#include "TransformFrame.h"
#include "TransformMessages.h"

namespace zx::transforms {

class TransformErosion : public TransformObject<TransformErosion, ITransformErosion> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformErosion, IID_ITransformErosion, u"TransformErosion",
                                               messages::kDoTransform};

  // The radius of the square window.
  STDMETHOD(get_Strength)(LONG* pVal) override { return read(pVal, m_radius); }
  STDMETHOD(put_Strength)(LONG newVal) override {
    m_radius = newVal;
    return S_OK;
  }

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    return run_pixel_kernel(kIdentity, messages::kErosionException, input, result, kernels::rank_filter_argb32,
                            m_radius, kernels::Rank::Maximum, true);
  }

 private:
  LONG m_radius = 1;
};

}  // namespace zx::transforms
