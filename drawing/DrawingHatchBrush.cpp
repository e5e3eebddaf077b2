// Zentarix — MIT licence.
// DrawingHatchBrush: cloning.
#include "DrawingHatchBrush.h"

namespace zx::drawing {

HRESULT DrawingHatchBrush::Clone(IDrawingHatchBrush** ClonedObject) {
  return server::com_call([&] {
    ComPtr<IDrawingHatchBrush> brush;
    if (const HRESULT hr = new_object<DrawingHatchBrush>(ClonedObject, &brush); FAILED(hr)) return hr;
    brush->put_BackgroundColor(m_backgroundColor);
    brush->put_HatchColor(m_hatchColor);
    brush->put_HatchType(m_type);
    *ClonedObject = brush.detach();
    return S_OK;
  });
}

}  // namespace zx::drawing
