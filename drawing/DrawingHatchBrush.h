// Zentarix — MIT licence.
// DrawingHatchBrush: fills with one of the 53 hatch patterns.
#pragma once
#include "DrawingSettings.h"

namespace zx::drawing {

// HatchType values are the GDI+ hatch styles themselves (0 to 52).
class DrawingHatchBrush : public server::ComObject<DrawingHatchBrush, IDrawingHatchBrush> {
 public:
  STDMETHOD(get_HatchColor)(LONG* pVal) override { return read(pVal, m_hatchColor); }
  STDMETHOD(put_HatchColor)(LONG newVal) override { return store(m_hatchColor, newVal); }
  STDMETHOD(get_BackgroundColor)(LONG* pVal) override { return read(pVal, m_backgroundColor); }
  STDMETHOD(put_BackgroundColor)(LONG newVal) override { return store(m_backgroundColor, newVal); }
  STDMETHOD(get_HatchType)(HatchTypes* pVal) override { return read(pVal, m_type); }
  STDMETHOD(put_HatchType)(HatchTypes newVal) override { return store_enum(m_type, newVal, 53); }
  STDMETHOD(Clone)(IDrawingHatchBrush** ClonedObject) override;

 private:
  LONG m_hatchColor = -1;
  LONG m_backgroundColor = static_cast<LONG>(0xFF000000u);
  HatchTypes m_type = htHorizontal;
};

}  // namespace zx::drawing
