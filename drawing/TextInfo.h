// Zentarix — MIT licence.
// TextInfo: font and layout of drawn text, and measuring with them.
#pragma once
#include <string>
#include <vector>

#include "DrawingSettings.h"

namespace zx::drawing {

class TextInfo : public server::ComObject<TextInfo, ITextInfo> {
 public:
  // E_POINTER on a null pointer; a name that cannot be copied out: E_OUTOFMEMORY with a report.
  STDMETHOD(get_FontName)(BSTR* pVal) override;
  // A null or empty name (or no memory): E_OUTOFMEMORY with a report, the old name kept.
  STDMETHOD(put_FontName)(BSTR newVal) override;
  STDMETHOD(get_FontSize)(FLOAT* pVal) override { return read(pVal, m_size); }
  STDMETHOD(put_FontSize)(FLOAT newVal) override { return store(m_size, newVal); }
  STDMETHOD(get_IsBold)(VARIANT_BOOL* pVal) override { return read(pVal, m_bold); }
  STDMETHOD(put_IsBold)(VARIANT_BOOL newVal) override { return store(m_bold, newVal); }
  STDMETHOD(get_IsItalic)(VARIANT_BOOL* pVal) override { return read(pVal, m_italic); }
  STDMETHOD(put_IsItalic)(VARIANT_BOOL newVal) override { return store(m_italic, newVal); }
  STDMETHOD(get_IsUnderlined)(VARIANT_BOOL* pVal) override { return read(pVal, m_underlined); }
  STDMETHOD(put_IsUnderlined)(VARIANT_BOOL newVal) override { return store(m_underlined, newVal); }
  STDMETHOD(get_IsStrikeOut)(VARIANT_BOOL* pVal) override { return read(pVal, m_strikeOut); }
  STDMETHOD(put_IsStrikeOut)(VARIANT_BOOL newVal) override { return store(m_strikeOut, newVal); }
  STDMETHOD(get_IsVertical)(VARIANT_BOOL* pVal) override { return read(pVal, m_vertical); }
  STDMETHOD(put_IsVertical)(VARIANT_BOOL newVal) override { return store(m_vertical, newVal); }
  STDMETHOD(get_TextAlignment)(AlignmentTypes* pVal) override { return read(pVal, m_alignment); }
  STDMETHOD(put_TextAlignment)(AlignmentTypes newVal) override { return store_enum(m_alignment, newVal, 3); }
  STDMETHOD(get_FontTracking)(DOUBLE* pVal) override { return read(pVal, m_tracking, E_POINTER); }
  STDMETHOD(put_FontTracking)(DOUBLE newVal) override { return store(m_tracking, newVal); }
  // A VT_ARRAY | VT_VARIANT copy of the kernings (VT_R8 elements) with the stored lower bound.
  STDMETHOD(get_Kernings)(VARIANT* pVal) override;
  // A one-dimensional array of numbers (of any numeric type, or VARIANTs holding numbers), directly
  // or by reference; anything else: E_INVALIDARG with a report, the old kernings kept.
  STDMETHOD(put_Kernings)(VARIANT newVal) override;
  STDMETHOD(get_Unit)(DrawingToolUnits* pVal) override { return read(pVal, m_unit, E_POINTER); }
  // Any value is stored; measuring and drawing refuse one that is no unit.
  STDMETHOD(put_Unit)(DrawingToolUnits newVal) override { return store(m_unit, newVal); }
  // The measured width plus the tracking and kerning spaces after every letter (font units).
  STDMETHOD(MeasureTextWidth)(BSTR Text, FLOAT* Width) override;
  STDMETHOD(MeasureTextHeight)(BSTR Text, FLOAT* Height) override;

 private:
  static HRESULT report(const std::u16string& text, HRESULT hr);
  // The measured box of the text; a failure is reported naming method.
  HRESULT measure(BSTR text, const OLECHAR* method, Gdiplus::RectF* box, double* spacing);

  std::u16string m_fontName = u"Arial";
  FLOAT m_size = 10.0f;
  VARIANT_BOOL m_bold = VARIANT_FALSE;
  VARIANT_BOOL m_italic = VARIANT_FALSE;
  VARIANT_BOOL m_underlined = VARIANT_FALSE;
  VARIANT_BOOL m_strikeOut = VARIANT_FALSE;
  VARIANT_BOOL m_vertical = VARIANT_FALSE;
  AlignmentTypes m_alignment = atLeft;
  DOUBLE m_tracking = 0.0;
  std::vector<double> m_kernings;
  LONG m_kerningsLowerBound = 0;
  DrawingToolUnits m_unit = dtuPixel;
};

}  // namespace zx::drawing
