// Zentarix — MIT licence.
// What NoiseRemove, Erosion and Expand share: a window radius and the rank filter as their worker.
#pragma once
#include "TransformFrame.h"
#include "TransformMessages.h"
#include "kernels/RankFilter.h"

namespace zx::transforms {

// Derived gives kIdentity, kException (its exception message) and the property that holds the
// radius (Precision or Strength; any value is stored, the initial one is 1).
template <class Derived, class Dual, kernels::Rank R, bool FilterAlpha>
class RankTransform : public TransformObject<Derived, Dual> {
 public:
  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    return run_pixel_kernel(Derived::kIdentity, Derived::kException, input, result, kernels::rank_filter_argb32,
                            m_radius, R, FilterAlpha);
  }

 protected:
  LONG m_radius = 1;
};

}  // namespace zx::transforms
