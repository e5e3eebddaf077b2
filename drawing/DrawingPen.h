// Zentarix — MIT licence.
// DrawingPen: how a line is stroked.
#pragma once
#include "DrawingSettings.h"

namespace zx::drawing {

// Plain values; DrawingTool makes a GDI+ pen of them when a primitive is recorded. Enumeration
// setters refuse negative values too (a value no pen could be made of).
class DrawingPen : public server::ComObject<DrawingPen, IDrawingPen> {
 public:
  STDMETHOD(get_Width)(FLOAT* pVal) override { return read(pVal, m_width); }
  STDMETHOD(put_Width)(FLOAT newVal) override { return store(m_width, newVal); }
  STDMETHOD(get_color)(LONG* pVal) override { return read(pVal, m_color); }
  STDMETHOD(put_color)(LONG newVal) override { return store(m_color, newVal); }
  STDMETHOD(get_DashType)(DashStyleTypes* pVal) override { return read(pVal, m_dash); }
  STDMETHOD(put_DashType)(DashStyleTypes newVal) override { return store_enum(m_dash, newVal, 5); }
  STDMETHOD(get_StartCapType)(LineCapTypes* pVal) override { return read(pVal, m_startCap); }
  STDMETHOD(put_StartCapType)(LineCapTypes newVal) override { return store_enum(m_startCap, newVal, 9); }
  STDMETHOD(get_EndCapType)(LineCapTypes* pVal) override { return read(pVal, m_endCap); }
  STDMETHOD(put_EndCapType)(LineCapTypes newVal) override { return store_enum(m_endCap, newVal, 9); }
  STDMETHOD(get_LineJoinBehaviour)(LineJoinTypes* pVal) override { return read(pVal, m_join); }
  STDMETHOD(put_LineJoinBehaviour)(LineJoinTypes newVal) override { return store_enum(m_join, newVal, 4); }
  // Stored as given and used (a limit below 1 acts as 1), so a clone keeps it too.
  STDMETHOD(get_MiterLimit)(FLOAT* pVal) override { return read(pVal, m_miterLimit); }
  STDMETHOD(put_MiterLimit)(FLOAT newVal) override { return store(m_miterLimit, newVal); }
  STDMETHOD(get_DashCapType)(DashCapTypes* pVal) override { return read(pVal, m_dashCap); }
  STDMETHOD(put_DashCapType)(DashCapTypes newVal) override { return store_enum(m_dashCap, newVal, 3); }
  STDMETHOD(Clone)(IDrawingPen** ClonedObject) override;

 private:
  FLOAT m_width = 1.0f;
  LONG m_color = static_cast<LONG>(0xFF000000u);
  DashStyleTypes m_dash = dstSolid;
  LineCapTypes m_startCap = lctFlat;
  LineCapTypes m_endCap = lctFlat;
  LineJoinTypes m_join = ljtBevel;
  FLOAT m_miterLimit = 10.0f;
  DashCapTypes m_dashCap = dctFlat;
};

}  // namespace zx::drawing
