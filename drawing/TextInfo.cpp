// Zentarix — MIT licence.
// TextInfo: the font name, kernings and measuring.
#include "TextInfo.h"

#include <winbase.h>

#include "DrawingConversions.h"
#include "DrawingMessages.h"

namespace zx::drawing {

HRESULT TextInfo::report(const std::u16string& text, HRESULT hr) {
  return server::ReportError(CLSID_TextInfo, text, IID_ITextInfo, hr);
}

HRESULT TextInfo::get_FontName(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  BSTR name = m_fontName.empty() ? nullptr : SysAllocStringLen(m_fontName.data(), UINT(m_fontName.size()));
  if (!name) return report(messages::kCannotReadFontName, E_OUTOFMEMORY);
  *pVal = name;
  return S_OK;
}

HRESULT TextInfo::put_FontName(BSTR newVal) {
  return server::com_call(
      [&] {
        if (!newVal || SysStringLen(newVal) == 0) return report(messages::kCannotAssignFontName, E_OUTOFMEMORY);
        m_fontName.assign(newVal, SysStringLen(newVal));
        return S_OK;
      },
      [] { return report(messages::kCannotAssignFontName, E_OUTOFMEMORY); });
}

HRESULT TextInfo::get_Kernings(VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  return server::com_call([&] {
    SafeArray array(SafeArrayCreateVector(VT_VARIANT, m_kerningsLowerBound, ULONG(m_kernings.size())));
    if (!array.get()) return E_OUTOFMEMORY;
    for (size_t i = 0; i < m_kernings.size(); ++i) {
      Variant element;
      V_VT(&element) = VT_R8;
      V_R8(&element) = m_kernings[i];
      LONG index = m_kerningsLowerBound + LONG(i);
      if (const HRESULT hr = SafeArrayPutElement(array.get(), &index, &element); FAILED(hr)) return hr;
    }
    VariantInit(pVal);
    V_VT(pVal) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(pVal) = array.detach();
    return S_OK;
  });
}

HRESULT TextInfo::put_Kernings(VARIANT newVal) {
  return server::com_call([&] {
    std::vector<double> values;
    LONG lower = 0;
    // The array is the caller's memory: read under the fault guard.
    const bool read = server::guarded_call(kerning_values, newVal, &values, &lower);
    if (!read) return report(messages::kWrongKernings, E_INVALIDARG);
    m_kernings = std::move(values);
    m_kerningsLowerBound = lower;
    return S_OK;
  });
}

HRESULT TextInfo::measure(BSTR text, const OLECHAR* method, Gdiplus::RectF* box, double* spacing) {
  using namespace Gdiplus;
  TextSettings settings;
  if (const Status status = convert_text(this, &settings); status != Ok)
    return report(server::GdiplusErrorMessage(status, messages::kTextInfo, method, GetLastError()), E_FAIL);
  Bitmap bitmap(1, 1, PixelFormat32bppARGB);
  Graphics graphics(&bitmap);
  if (graphics.SetPageUnit(settings.unit) != Ok) return report(messages::kWrongUnit, server::ZX_E_TRANSFORM_FAILED);
  const UINT length = SysStringLen(text);
  const Status measured = graphics.MeasureString(text ? text : u"", INT(length), settings.font.get(), PointF(0, 0),
                                                 settings.format.get(), box);
  if (measured != Ok) return report(server::GdiplusErrorMessage(measured, messages::kTextInfo, method, 0), E_FAIL);
  *spacing = 0;
  for (UINT i = 0; i < length; ++i) *spacing += settings.spacing_after(i);
  return S_OK;
}

HRESULT TextInfo::MeasureTextWidth(BSTR Text, FLOAT* Width) {
  if (!Width) return E_POINTER;
  return server::com_call([&] {
    Gdiplus::RectF box;
    double spacing = 0;
    if (const HRESULT hr = measure(Text, messages::kMeasureWidth, &box, &spacing); FAILED(hr)) return hr;
    *Width = static_cast<FLOAT>(box.Width + spacing);
    return S_OK;
  });
}

HRESULT TextInfo::MeasureTextHeight(BSTR Text, FLOAT* Height) {
  if (!Height) return E_POINTER;
  return server::com_call([&] {
    Gdiplus::RectF box;
    double spacing = 0;
    if (const HRESULT hr = measure(Text, messages::kMeasureHeight, &box, &spacing); FAILED(hr)) return hr;
    *Height = box.Height;
    return S_OK;
  });
}

}  // namespace zx::drawing
