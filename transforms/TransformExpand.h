// Zentarix — MIT licence.
// TransformExpand: grows dark objects: the smallest value in each channel and alpha.
#pragma once
#include "RankTransform.h"

namespace zx::transforms {

class TransformExpand
    : public RankTransform<TransformExpand, ITransformExpand, kernels::Rank::Minimum, true> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformExpand, IID_ITransformExpand, u"TransformExpand",
                                               messages::kDoTransform};
  static constexpr const OLECHAR* kException = messages::kExpandException;

  STDMETHOD(get_Strength)(LONG* pVal) override { return read(pVal, m_radius); }
  STDMETHOD(put_Strength)(LONG newVal) override { return store(m_radius, newVal); }
};

}  // namespace zx::transforms
