// Zentarix — MIT licence.
// EffectEdgeDetect: the edges of the image, light on black.
#pragma once
#include "EffectFrame.h"
#include "kernels/FilterKernels.h"

namespace zx::effects {

// Type is an EdgeDetectTypes value: edtEdgeSharp (the initial one) traces edges one or two pixels
// wide, edtEdgeSoft smooths first and gives broader, softer edges.
class EffectEdgeDetect : public EffectObject<EffectEdgeDetect, IEffectEdgeDetect> {
 public:
  ZX_EFFECT_IDENTITY(EdgeDetect);

  ZX_EFFECT_PROPERTY(LONG, Type, m_type)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (const HRESULT hr = within(u"Type", m_type, edtEdgeSharp, edtEdgeSoft); FAILED(hr)) return hr;
    return run(input, result, kernels::edge_detect_argb32, m_type == edtEdgeSoft);
  }

 private:
  LONG m_type = edtEdgeSharp;
};

}  // namespace zx::effects
