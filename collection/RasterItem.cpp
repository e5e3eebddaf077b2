// Zentarix — MIT licence.
// RasterItem: the layer's own fields; every raster member is forwarded to its inner raster object.
#include "RasterItem.h"

#include <gdiplus.h>
#include <oleauto.h>

#include <cstring>

#include "ErrorReporting.h"
#include "RasterCollection.h"

namespace zx::collection {

RasterItem::RasterItem() noexcept = default;

// The inner raster object goes before GDI+ is shut down, since its bitmap may need it.
RasterItem::~RasterItem() {
  m_inner.reset();
  if (m_gdiplusStarted) Gdiplus::GdiplusShutdown(m_gdiplusToken);
}

HRESULT RasterItem::FinalConstruct() {
  const Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr) != Gdiplus::Ok) return E_FAIL;
  m_gdiplusStarted = true;
  return CoCreateInstance(CLSID_RasterObject, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterObject, m_inner.put_void());
}

void* RasterItem::query_base_interface(REFIID riid) noexcept {
  return riid == IID_IRasterObject ? static_cast<IRasterObject*>(static_cast<IRasterItem*>(this)) : nullptr;
}

bool RasterItem::key_equals(const BSTR key) const noexcept {
  const UINT length = SysStringLen(key);
  return m_key.length() == length && (length == 0 || std::memcmp(m_key.get(), key, length * sizeof(OLECHAR)) == 0);
}

HRESULT RasterItem::inner_bitmap(Gdiplus::Bitmap** bitmap) const {
  *bitmap = nullptr;
  if (!m_inner) return E_FAIL;
  ComPtr<IRasterObjectInternal> internal;
  HRESULT hr = m_inner.query(internal);
  if (FAILED(hr)) return hr;
  LONG* data = nullptr;
  hr = internal->GetDataPointer(&data);
  if (SUCCEEDED(hr)) *bitmap = reinterpret_cast<Gdiplus::Bitmap*>(data);
  return hr;
}

// ---- key and index ------------------------------------------------------------------------------

HRESULT RasterItem::get_Key(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = nullptr;
  if (!m_key.get()) return S_OK;
  // Byte for byte: a key of odd byte length keeps it.
  *pVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(m_key.get()), SysStringByteLen(m_key.get()));
  return *pVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT RasterItem::put_Key(BSTR newVal) {
  return server::com_call([&] {
    if (m_parent && m_parent->finds(newVal)) {
      server::ReportCollectionError(0, IID_IRasterItem);
      return server::ZX_E_COLLECTION_KEY;
    }
    BSTR copy = nullptr;
    if (newVal) {
      copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(newVal), SysStringByteLen(newVal));
      if (!copy) return E_OUTOFMEMORY;
    }
    m_key = Bstr::attach(copy);
    return S_OK;
  });
}

HRESULT RasterItem::get_Index(LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = m_index;
  return S_OK;
}

// ---- plain fields -------------------------------------------------------------------------------

namespace {
template <class T>
HRESULT read_field(T* out, T value) {
  if (!out) return E_INVALIDARG;
  *out = value;
  return S_OK;
}
}  // namespace

HRESULT RasterItem::get_IsVisible(VARIANT_BOOL* pVal) { return read_field(pVal, m_isVisible); }
HRESULT RasterItem::put_IsVisible(VARIANT_BOOL newVal) {
  m_isVisible = newVal;
  return S_OK;
}
HRESULT RasterItem::get_opacity(BYTE* pVal) { return read_field(pVal, m_opacity); }
HRESULT RasterItem::put_opacity(BYTE newVal) {
  m_opacity = newVal;
  return S_OK;
}
HRESULT RasterItem::get_Mode(CombineModes* pVal) { return read_field(pVal, m_mode); }
HRESULT RasterItem::put_Mode(CombineModes newVal) {
  m_mode = newVal;
  return S_OK;
}
HRESULT RasterItem::get_OffsetY(LONG* pVal) { return read_field(pVal, m_offsetY); }
HRESULT RasterItem::put_OffsetY(LONG newVal) {
  m_offsetY = newVal;
  return S_OK;
}
HRESULT RasterItem::get_OffsetX(LONG* pVal) { return read_field(pVal, m_offsetX); }
HRESULT RasterItem::put_OffsetX(LONG newVal) {
  m_offsetX = newVal;
  return S_OK;
}

HRESULT RasterItem::get_RasterObject(IRasterObject** pVal) {
  if (!pVal) return E_INVALIDARG;
  *pVal = ComPtr<IRasterObject>(m_inner).detach();
  return S_OK;
}

HRESULT RasterItem::put_RasterObject(IRasterObject* newVal) {
  m_inner = ComPtr<IRasterObject>(newVal);
  return S_OK;
}

}  // namespace zx::collection
