// Zentarix — MIT licence.
// DrawingTextureBrush: fills with the image of a raster object.
#pragma once
#include "DrawingSettings.h"
#include "DrawingMessages.h"

namespace zx::drawing {

// The texture is the raster object itself, not a copy: its image at the moment a primitive is
// recorded is what the primitive fills with, and clones share the object.
class DrawingTextureBrush : public server::ComObject<DrawingTextureBrush, IDrawingTextureBrush> {
 public:
  // A new empty RasterObject becomes the texture.
  HRESULT FinalConstruct();

  // Nothing is accepted: a brush without texture, which fills nothing ("Texture is not loaded").
  STDMETHOD(get_Texture)(IRasterObject** pVal) override;
  STDMETHOD(put_Texture)(IRasterObject* newVal) override;
  STDMETHOD(get_ScaleFactor)(FLOAT* pVal) override { return read(pVal, m_scale); }
  // 0 or less (and NaN): "Scale factor must be strictly larger than 0!", E_INVALIDARG.
  STDMETHOD(put_ScaleFactor)(FLOAT newVal) override;
  STDMETHOD(get_RotateFactor)(FLOAT* pVal) override { return read(pVal, m_rotate); }
  STDMETHOD(put_RotateFactor)(FLOAT newVal) override { return store(m_rotate, newVal); }
  STDMETHOD(get_WrapMode)(WrapModes* pVal) override { return read(pVal, m_wrap); }
  STDMETHOD(put_WrapMode)(WrapModes newVal) override { return store_enum(m_wrap, newVal, 5); }
  STDMETHOD(Clone)(IDrawingTextureBrush** ClonedObject) override;

 private:
  ComPtr<IRasterObject> m_texture;
  FLOAT m_scale = 1.0f;
  FLOAT m_rotate = 0.0f;
  WrapModes m_wrap = wmTile;
};

}  // namespace zx::drawing
