// Zentarix — MIT licence.
// DrawingSolidBrush: fills with one colour.
#pragma once
#include "DrawingSettings.h"

namespace zx::drawing {

class DrawingSolidBrush : public server::ComObject<DrawingSolidBrush, IDrawingSolidBrush> {
 public:
  STDMETHOD(get_color)(LONG* pVal) override { return read(pVal, m_color); }
  STDMETHOD(put_color)(LONG newVal) override { return store(m_color, newVal); }
  STDMETHOD(Clone)(IDrawingSolidBrush** ClonedObject) override;

 private:
  LONG m_color = static_cast<LONG>(0xFF000000u);
};

}  // namespace zx::drawing
