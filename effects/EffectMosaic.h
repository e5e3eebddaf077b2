// Zentarix — MIT licence.
// EffectMosaic: the image divided into cells of one colour each.
#pragma once
#include "EffectFrame.h"
#include "kernels/ShapeKernels.h"

namespace zx::effects {

// Entry 9 is CellHeight and entry 11 CellWidth (the raster object sets CellWidth first). Cells
// larger than the image make one cell of the whole.
class EffectMosaic : public EffectObject<EffectMosaic, IEffectMosaic> {
 public:
  ZX_EFFECT_IDENTITY(Mosaic);

  ZX_EFFECT_PROPERTY(LONG, CellHeight, m_cellHeight)
  ZX_EFFECT_PROPERTY(LONG, CellWidth, m_cellWidth)

  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
    if (const HRESULT hr = at_least(u"CellWidth", m_cellWidth, 1); FAILED(hr)) return hr;
    if (const HRESULT hr = at_least(u"CellHeight", m_cellHeight, 1); FAILED(hr)) return hr;
    return run(input, result, kernels::mosaic_argb32, m_cellWidth, m_cellHeight);
  }

 private:
  LONG m_cellHeight = 8;
  LONG m_cellWidth = 8;
};

}  // namespace zx::effects
