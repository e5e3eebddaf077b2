// Zentarix — MIT licence.
// DrawingPen: cloning.
#include "DrawingPen.h"

namespace zx::drawing {

HRESULT DrawingPen::Clone(IDrawingPen** ClonedObject) {
  return server::com_call([&] {
    ComPtr<IDrawingPen> pen;
    if (const HRESULT hr = new_object<DrawingPen>(ClonedObject, &pen); FAILED(hr)) return hr;
    pen->put_color(m_color);
    pen->put_Width(m_width);
    pen->put_MiterLimit(m_miterLimit);
    pen->put_DashCapType(m_dashCap);
    pen->put_DashType(m_dash);
    pen->put_LineJoinBehaviour(m_join);
    pen->put_StartCapType(m_startCap);
    pen->put_EndCapType(m_endCap);
    *ClonedObject = pen.detach();
    return S_OK;
  });
}

}  // namespace zx::drawing
