// Zentarix — MIT licence.
// TransformNoiseRemove: removes isolated pixels: the median of each channel, alpha kept.
#pragma once
#include "kernels/RankFilter.h"
#include "TransformFrame.h"
#include "TransformMessages.h"

namespace zx::transforms {

class TransformNoiseRemove : public TransformObject<TransformNoiseRemove, ITransformNoiseRemove> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformNoiseRemove, IID_ITransformNoiseRemove, u"TransformNoiseRemove",
                                               messages::kDoTransform};

  // The radius of the square window.
  STDMETHOD(get_Precision)(LONG* pVal) override { return read(pVal, m_radius); }
  STDMETHOD(put_Precision)(LONG newVal) override {
    m_radius = newVal;
    return S_OK;
  }

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    return run_pixel_kernel(kIdentity, messages::kNoiseRemoveException, input, result, kernels::rank_filter_argb32,
                            m_radius, kernels::Rank::Median, false);
  }

 private:
  LONG m_radius = 1;
};

}  // namespace zx::transforms
