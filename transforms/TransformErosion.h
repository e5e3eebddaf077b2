// Zentarix — MIT licence.
// TransformErosion: thins dark objects: the largest value in each channel and alpha.
#pragma once
#include "RankTransform.h"

namespace zx::transforms {

class TransformErosion
    : public RankTransform<TransformErosion, ITransformErosion, kernels::Rank::Maximum, true> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformErosion, IID_ITransformErosion, u"TransformErosion",
                                               messages::kDoTransform};
  static constexpr const OLECHAR* kException = messages::kErosionException;

  STDMETHOD(get_Strength)(LONG* pVal) override { return read(pVal, m_radius); }
  STDMETHOD(put_Strength)(LONG newVal) override { return store(m_radius, newVal); }
};

}  // namespace zx::transforms
