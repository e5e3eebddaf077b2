// Zentarix — MIT licence.
// TransformNoiseRemove: removes isolated pixels: the median of each channel, alpha kept.
#pragma once
#include "RankTransform.h"

namespace zx::transforms {

class TransformNoiseRemove
    : public RankTransform<TransformNoiseRemove, ITransformNoiseRemove, kernels::Rank::Median, false> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformNoiseRemove, IID_ITransformNoiseRemove, u"TransformNoiseRemove",
                                               messages::kDoTransform};
  static constexpr const OLECHAR* kException = messages::kNoiseRemoveException;

  STDMETHOD(get_Precision)(LONG* pVal) override { return read(pVal, m_radius); }
  STDMETHOD(put_Precision)(LONG newVal) override { return store(m_radius, newVal); }
};

}  // namespace zx::transforms
