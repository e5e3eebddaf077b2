// Zentarix GDI+ layer — MIT licence.
// OLE bitmap pictures over GDI handles: IPicture plus a small IPictureDisp.
#include <atomic>
#include <cstring>
#include <new>
#include <string_view>

#include <olectl.h>

#include "gdi.h"
#include "gdiplus.h"

#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE

namespace {

// The dispatch identities of the standard picture properties.
constexpr DISPID kDispHandle = 0;
constexpr DISPID kDispHPal = 2;
constexpr DISPID kDispType = 3;
constexpr DISPID kDispWidth = 4;
constexpr DISPID kDispHeight = 5;

bool same_name(const OLECHAR* a, std::u16string_view b) {
  size_t i = 0;
  for (; a[i] && i < b.size(); ++i) {
    auto lower = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return !a[i] && i == b.size();
}

// HIMETRIC at the display resolution: pixels * 2540 / 96, rounded.
LONG himetric(int pixels) { return static_cast<LONG>((int64_t{pixels} * 2540 + 48) / 96); }

class Picture final : public IPicture, public IPictureDisp {
 public:
  Picture(UINT type, HBITMAP bitmap, HPALETTE palette, bool own)
      : m_type(type), m_bitmap(bitmap), m_palette(palette), m_own(own) {
    if (auto bm = zx::gdip::gdi_bitmap(bitmap)) {
      m_width = bm->width;
      m_height = bm->height;
    }
  }

  // IUnknown (IPicture's is the identity)
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IPicture) {
      *ppv = static_cast<IPicture*>(this);
    } else if (riid == IID_IDispatch || riid == IID_IPictureDisp) {
      *ppv = static_cast<IPictureDisp*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++m_refs; }
  STDMETHODIMP_(ULONG) Release() override {
    ULONG left = --m_refs;
    if (left == 0) {
      // An owning picture takes its handles with it; a borrowing one leaves them to the caller.
      if (m_own) {
        if (m_bitmap) DeleteObject(m_bitmap);
        if (m_palette) DeleteObject(m_palette);
      }
      delete this;
    }
    return left;
  }

  void disown() { m_own = false; }

  // IPicture
  STDMETHODIMP get_Handle(OLE_HANDLE* p) override { return put(p, m_bitmap); }
  STDMETHODIMP get_hPal(OLE_HANDLE* p) override { return put(p, m_palette); }
  STDMETHODIMP get_Type(SHORT* p) override { return put(p, static_cast<SHORT>(m_type)); }
  STDMETHODIMP get_Width(OLE_XSIZE_HIMETRIC* p) override { return put(p, himetric(m_width)); }
  STDMETHODIMP get_Height(OLE_YSIZE_HIMETRIC* p) override { return put(p, himetric(m_height)); }
  // Draws the bitmap the way StretchBlt with SRCCOPY does: nearest pixels, copied. The source
  // rectangle is in HIMETRIC with y counted up from the bottom edge, so (0, height, width, -height)
  // is the whole picture upright; negative sizes mirror.
  STDMETHODIMP Render(HDC hdc, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc, OLE_YPOS_HIMETRIC ySrc,
                      OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc, LPCRECT) override {
    using namespace Gdiplus;
    using namespace Gdiplus::DllExports;
    if (m_type == PICTYPE_NONE) return S_OK;
    if (m_type != PICTYPE_BITMAP) return E_UNEXPECTED;
    if (cx == 0 || cy == 0 || cxSrc == 0 || cySrc == 0 || m_width <= 0 || m_height <= 0) return E_INVALIDARG;
    GpGraphics* graphics = nullptr;
    if (GdipCreateFromHDC(hdc, &graphics) != Ok) return E_INVALIDARG;
    GpBitmap* bitmap = nullptr;
    Status status = GdipCreateBitmapFromHBITMAP(m_bitmap, m_palette, &bitmap);
    if (status == Ok) {
      const double px = double(m_width) / himetric(m_width), py = double(m_height) / himetric(m_height);
      GdipSetCompositingMode(graphics, CompositingModeSourceCopy);
      GdipSetInterpolationMode(graphics, InterpolationModeNearestNeighbor);
      GdipSetPixelOffsetMode(graphics, PixelOffsetModeHalf);
      status = GdipDrawImageRectRect(graphics, bitmap, REAL(x), REAL(y), REAL(cx), REAL(cy), REAL(xSrc * px),
                                     REAL(m_height - ySrc * py), REAL(cxSrc * px), REAL(-cySrc * py), UnitPixel,
                                     nullptr, nullptr, nullptr);
      GdipDisposeImage(bitmap);
    }
    GdipDeleteGraphics(graphics);
    return status == Ok ? S_OK : (status == OutOfMemory ? E_OUTOFMEMORY : E_FAIL);
  }
  STDMETHODIMP set_hPal(OLE_HANDLE h) override {
    if (h && !zx::gdip::gdi_palette(h)) return E_INVALIDARG;
    m_palette = h;
    return S_OK;
  }
  STDMETHODIMP get_CurDC(HDC* p) override { return put(p, m_dc); }
  STDMETHODIMP SelectPicture(HDC hdcIn, HDC* phdcOut, OLE_HANDLE* phbmpOut) override {
    if (m_type != PICTYPE_BITMAP) return E_FAIL;
    HGDIOBJ previous = SelectObject(hdcIn, m_bitmap);
    if (!previous) return E_FAIL;
    if (phdcOut) *phdcOut = m_dc;
    if (phbmpOut) *phbmpOut = previous;
    m_dc = hdcIn;
    return S_OK;
  }
  STDMETHODIMP get_KeepOriginalFormat(BOOL* p) override { return put(p, m_keep); }
  STDMETHODIMP put_KeepOriginalFormat(BOOL keep) override {
    m_keep = keep;
    return S_OK;
  }
  STDMETHODIMP PictureChanged() override { return S_OK; }
  // Pictures are written to streams by the raster object's own encoders, never by this object.
  STDMETHODIMP SaveAsFile(LPSTREAM, BOOL, LONG*) override { return E_NOTIMPL; }
  STDMETHODIMP get_Attributes(DWORD* p) override { return put(p, DWORD{0}); }

  // IDispatch: the five read-only properties; everything else is not a member.
  STDMETHODIMP GetTypeInfoCount(UINT* p) override { return put(p, UINT{0}); }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** pp) override {
    if (pp) *pp = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids) return E_POINTER;
    static constexpr struct {
      std::u16string_view name;
      DISPID id;
    } kNames[] = {{u"Handle", kDispHandle}, {u"hPal", kDispHPal}, {u"Type", kDispType},
                  {u"Width", kDispWidth}, {u"Height", kDispHeight}};
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = -1;  // DISPID_UNKNOWN
      if (i == 0 && names[0])
        for (const auto& n : kNames)
          if (same_name(names[0], n.name)) ids[0] = n.id;
      if (ids[i] == -1) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    VARIANT value{};
    switch (id) {
      case kDispHandle: value.vt = VT_I4, value.lVal = static_cast<LONG>(m_bitmap); break;
      case kDispHPal: value.vt = VT_I4, value.lVal = static_cast<LONG>(m_palette); break;
      case kDispType: value.vt = VT_I2, value.iVal = static_cast<SHORT>(m_type); break;
      case kDispWidth: value.vt = VT_I4, value.lVal = himetric(m_width); break;
      case kDispHeight: value.vt = VT_I4, value.lVal = himetric(m_height); break;
      default: return DISP_E_MEMBERNOTFOUND;
    }
    if (result) *result = value;  // plain numbers: nothing to free in what the caller held
    return S_OK;
  }

 private:
  ~Picture() = default;
  template <class T, class V>
  static HRESULT put(T* p, V v) {
    if (!p) return E_POINTER;
    *p = static_cast<T>(v);
    return S_OK;
  }

  std::atomic<ULONG> m_refs{0};
  UINT m_type;
  HBITMAP m_bitmap;
  HPALETTE m_palette;
  bool m_own;
  int m_width = 0;
  int m_height = 0;
  HDC m_dc = 0;
  BOOL m_keep = TRUE;
};

}  // namespace

// A null description makes an uninitialised picture; otherwise only bitmap and empty pictures are
// supported (metafile and icon handles do not exist in this library).
STDAPI OleCreatePictureIndirect(LPPICTDESC desc, REFIID riid, BOOL fOwn, LPVOID* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  UINT type = PICTYPE_UNINITIALIZED;
  HBITMAP bitmap = 0;
  HPALETTE palette = 0;
  if (desc) {
    if (desc->cbSizeofstruct != sizeof(PICTDESC)) return E_INVALIDARG;
    type = desc->picType;
    if (type == PICTYPE_BITMAP) {
      bitmap = desc->bmp.hbitmap;
      palette = desc->bmp.hpal;
      if (!zx::gdip::gdi_bitmap(bitmap) || (palette && !zx::gdip::gdi_palette(palette))) return E_INVALIDARG;
    } else if (type != PICTYPE_NONE && type != PICTYPE_UNINITIALIZED) {
      return E_INVALIDARG;
    }
  }
  auto* picture = new (std::nothrow) Picture(type, bitmap, palette, fOwn != FALSE);
  if (!picture) return E_OUTOFMEMORY;
  picture->AddRef();
  HRESULT hr = static_cast<IPicture*>(picture)->QueryInterface(riid, out);
  // A failed query must not delete the caller's handles: the picture owns them only once handed out.
  if (FAILED(hr)) picture->disown();
  static_cast<IPicture*>(picture)->Release();
  return hr;
}
