// Zentarix — MIT licence.
// DrawingSolidBrush: cloning.
#include "DrawingSolidBrush.h"

namespace zx::drawing {

HRESULT DrawingSolidBrush::Clone(IDrawingSolidBrush** ClonedObject) {
  return server::com_call([&] {
    ComPtr<IDrawingSolidBrush> brush;
    if (const HRESULT hr = new_object<DrawingSolidBrush>(ClonedObject, &brush); FAILED(hr)) return hr;
    brush->put_color(m_color);
    *ClonedObject = brush.detach();
    return S_OK;
  });
}

}  // namespace zx::drawing
