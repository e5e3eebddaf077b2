// Zentarix — MIT licence.
// DrawingTextureBrush: the texture, the scale check and cloning.
#include "DrawingTextureBrush.h"

#include "RasterObject.h"

namespace zx::drawing {

HRESULT DrawingTextureBrush::FinalConstruct() {
  return server::create_instance<raster::RasterObject>(nullptr, IID_IRasterObject, m_texture.put_void());
}

HRESULT DrawingTextureBrush::get_Texture(IRasterObject** pVal) {
  if (!pVal) return E_INVALIDARG;
  return m_texture.copy_to(pVal);
}

HRESULT DrawingTextureBrush::put_Texture(IRasterObject* newVal) {
  m_texture = ComPtr<IRasterObject>(newVal);
  return S_OK;
}

HRESULT DrawingTextureBrush::put_ScaleFactor(FLOAT newVal) {
  if (!(newVal > 0))
    return server::ReportError(CLSID_DrawingTextureBrush, messages::kScaleFactor, IID_IDrawingTextureBrush,
                               E_INVALIDARG);
  m_scale = newVal;
  return S_OK;
}

HRESULT DrawingTextureBrush::Clone(IDrawingTextureBrush** ClonedObject) {
  return server::com_call([&] {
    ComPtr<IDrawingTextureBrush> brush;
    if (const HRESULT hr = new_object<DrawingTextureBrush>(ClonedObject, &brush); FAILED(hr)) return hr;
    brush->put_RotateFactor(m_rotate);
    brush->put_ScaleFactor(m_scale);
    brush->put_WrapMode(m_wrap);
    brush->put_Texture(m_texture.get());
    *ClonedObject = brush.detach();
    return S_OK;
  });
}

}  // namespace zx::drawing
