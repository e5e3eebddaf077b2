// Zentarix — MIT licence.
// RasterCollection: the stack of layers, lookups by position and key, the enumerator, and Combine.
#include "RasterCollection.h"

#include <oleauto.h>
#include <winbase.h>

#include <algorithm>
#include <string>

#include "BitmapLock.h"
#include "CollectionMessages.h"
#include "CombineBitmaps.h"
#include "ErrorReporting.h"
#include "ItemEnumerator.h"
#include "RasterObject.h"
#include "kernels/PixelCopy.h"

namespace zx::collection {
namespace msg = messages;
using server::ReportError;

namespace {

// Objects whose default value is another object are followed this far, and no further: an object
// that answers itself would otherwise recurse until the stack runs out.
constexpr int kMaxDefaultValueDepth = 8;

bool is_collection_code(HRESULT hr) {
  return hr == server::ZX_E_COLLECTION_POSITION || hr == server::ZX_E_COLLECTION_KEY ||
         hr == server::ZX_E_COLLECTION_NULL_INDEX;
}

}  // namespace

RasterCollection::RasterCollection() noexcept = default;

// The items go before GDI+ is shut down, since their bitmaps may need it.
RasterCollection::~RasterCollection() {
  clear();
  if (m_gdiplusStarted) Gdiplus::GdiplusShutdown(m_gdiplusToken);
}

HRESULT RasterCollection::FinalConstruct() {
  const Gdiplus::GdiplusStartupInput input;
  SetLastError(0);
  const Gdiplus::Status status = Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr);
  if (status != Gdiplus::Ok)
    return report(server::GdiplusErrorMessage(status, msg::kObjectName, u"constructor", GetLastError()),
                  server::ZX_E_GDIPLUS_STARTUP);
  m_gdiplusStarted = true;
  return S_OK;
}

HRESULT RasterCollection::report(LPCOLESTR description, HRESULT hr) noexcept {
  return ReportError(CLSID_RasterCollection, description, IID_IRasterCollection, hr);
}
HRESULT RasterCollection::report(const std::u16string& description, HRESULT hr) noexcept {
  return report(description.c_str(), hr);
}
HRESULT RasterCollection::report_gdiplus(Gdiplus::Status status, LPCOLESTR method, LPCOLESTR object) noexcept {
  return server::com_call([&] {
    return report(server::GdiplusErrorMessage(status, object ? object : msg::kObjectName, method, 0), E_FAIL);
  });
}

// ---- lookups ------------------------------------------------------------------------------------

HRESULT RasterCollection::find(const VARIANT& index, size_t* position, int depth) const {
  if (V_VT(&index) & VT_BYREF) {
    Variant value;
    HRESULT hr = VariantCopyInd(&value, &index);
    return FAILED(hr) ? hr : find(value, position, depth);
  }
  const auto at = [&](LONG i) {
    if (i < 0 || static_cast<size_t>(i) >= m_items.size()) return server::ZX_E_COLLECTION_POSITION;
    *position = static_cast<size_t>(i);
    return S_OK;
  };
  switch (V_VT(&index)) {
    case VT_I4:
      return at(V_I4(&index));
    case VT_BSTR: {
      if (!V_BSTR(&index)) return E_POINTER;
      for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i]->key_equals(V_BSTR(&index))) {
          *position = i;
          return S_OK;
        }
      }
      Variant number;
      if (FAILED(VariantChangeType(&number, &index, 0, VT_I4))) return server::ZX_E_COLLECTION_KEY;
      return at(V_I4(&number));
    }
    case VT_DISPATCH:
      if (V_DISPATCH(&index)) {
        if (depth >= kMaxDefaultValueDepth) return DISP_E_TYPEMISMATCH;
        DISPPARAMS none{};
        Variant value;
        HRESULT hr = V_DISPATCH(&index)->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET | DISPATCH_METHOD,
                                                &none, &value, nullptr, nullptr);
        return FAILED(hr) ? hr : find(value, position, depth + 1);
      }
      break;
    case VT_NULL:
      return server::ZX_E_COLLECTION_NULL_INDEX;
    default:
      break;
  }
  Variant number;
  HRESULT hr = VariantChangeType(&number, &index, 0, VT_I4);
  return FAILED(hr) ? hr : at(V_I4(&number));
}

HRESULT RasterCollection::find_reported(const VARIANT& index, size_t* position) const {
  const HRESULT hr = find(index, position);
  if (is_collection_code(hr)) server::ReportCollectionError(0, IID_IRasterCollection);
  return hr;
}

bool RasterCollection::finds(BSTR key) const {
  VARIANT index;
  V_VT(&index) = VT_BSTR;
  V_BSTR(&index) = key;
  size_t position = 0;
  return SUCCEEDED(find(index, &position));
}

HRESULT RasterCollection::get_Item(VARIANT Index, IRasterItem** pVal) {
  return server::com_call([&] {
    size_t position = 0;
    HRESULT hr = pVal ? find_reported(Index, &position) : E_POINTER;
    if (FAILED(hr)) return report(msg::kItemAccess, hr);
    *pVal = ComPtr<IRasterItem>(m_items[position].get()).detach();
    return S_OK;
  });
}

HRESULT RasterCollection::get_Count(LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = static_cast<LONG>(m_items.size());
  return S_OK;
}

HRESULT RasterCollection::get__NewEnum(IUnknown** pVal) {
  if (!pVal) return E_POINTER;
  return server::com_call([&] {
    std::vector<ComPtr<IDispatch>> items;
    items.reserve(m_items.size());
    for (const ComPtr<RasterItem>& item : m_items) items.emplace_back(static_cast<IRasterItem*>(item.get()));
    IEnumVARIANT* enumerator = nullptr;
    HRESULT hr = ItemEnumerator::create(std::move(items), 0, &enumerator);
    if (SUCCEEDED(hr)) *pVal = enumerator;
    return hr;
  });
}

HRESULT RasterCollection::get_BackgroundColor(LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = m_backgroundColor;
  return S_OK;
}

HRESULT RasterCollection::put_BackgroundColor(LONG newVal) {
  m_backgroundColor = newVal;
  return S_OK;
}

// ---- the stack ----------------------------------------------------------------------------------

void RasterCollection::renumber(size_t from, size_t to) noexcept {
  for (size_t i = from; i <= to && i < m_items.size(); ++i) m_items[i]->set_index(static_cast<LONG>(i));
}

void RasterCollection::clear() noexcept {
  for (ComPtr<RasterItem>& item : m_items) item->attach(nullptr, 0);
  m_items.clear();
}

HRESULT RasterCollection::Add(LONG Index, IRasterItem** pVal) {
  if (!pVal) return E_POINTER;
  return server::com_call([&] {
    // The first free key counting from the current size: after a removal the numbers of the items
    // still there are skipped.
    Bstr key;
    for (size_t n = m_items.size();; ++n) {
      key = Bstr(msg::kKeyPrefix + zx::to_utf16(std::to_string(n)));
      const bool taken = std::any_of(m_items.begin(), m_items.end(),
                                     [&](const ComPtr<RasterItem>& item) { return item->key_equals(key.get()); });
      if (!taken || n >= 100000) break;
    }
    ComPtr<RasterItem> item;
    HRESULT hr = server::create_instance<RasterItem>(nullptr, IID_IRasterItem, item.put_void());
    if (FAILED(hr)) return hr;
    item->set_key(key.get());
    const size_t position = Index >= 0 && static_cast<size_t>(Index) < m_items.size() ? static_cast<size_t>(Index)
                                                                                         : m_items.size();
    m_items.insert(m_items.begin() + static_cast<ptrdiff_t>(position), item);
    item->attach(this, static_cast<LONG>(position));
    renumber(position + 1, m_items.size() - 1);
    *pVal = ComPtr<IRasterItem>(item.get()).detach();
    return S_OK;
  });
}

HRESULT RasterCollection::Remove(VARIANT Index) {
  return server::com_call([&] {
    size_t position = 0;
    HRESULT hr = find_reported(Index, &position);
    if (FAILED(hr)) return hr;
    m_items[position]->attach(nullptr, 0);
    m_items.erase(m_items.begin() + static_cast<ptrdiff_t>(position));
    renumber(position, m_items.size() - 1);
    return S_OK;
  });
}

HRESULT RasterCollection::Move(VARIANT Index, LONG NewIndex) {
  if (NewIndex < 0 || static_cast<size_t>(NewIndex) >= m_items.size()) return E_INVALIDARG;
  return server::com_call([&] {
    size_t from = 0;
    HRESULT hr = find_reported(Index, &from);
    if (FAILED(hr)) return hr;
    const size_t to = static_cast<size_t>(NewIndex);
    if (from < to)
      std::rotate(m_items.begin() + static_cast<ptrdiff_t>(from), m_items.begin() + static_cast<ptrdiff_t>(from) + 1,
                  m_items.begin() + static_cast<ptrdiff_t>(to) + 1);
    else if (to < from)
      std::rotate(m_items.begin() + static_cast<ptrdiff_t>(to), m_items.begin() + static_cast<ptrdiff_t>(from),
                  m_items.begin() + static_cast<ptrdiff_t>(from) + 1);
    renumber(std::min(from, to), std::max(from, to));
    return S_OK;
  });
}

// ---- Combine ------------------------------------------------------------------------------------

namespace {

// A width x height canvas holding colour in every pixel, alpha included (EmptyImage's fill).
Gdiplus::Status filled_canvas(LONG width, LONG height, LONG colour, std::unique_ptr<Gdiplus::Bitmap>* canvas) {
  canvas->reset(new Gdiplus::Bitmap(width, height, Gdiplus::PixelFormat32bppARGB));
  if (const Gdiplus::Status made = (*canvas)->GetLastStatus(); made != Gdiplus::Ok) return made;
  raster::BitmapLock lock(canvas->get(), Gdiplus::Rect(0, 0, width, height), Gdiplus::ImageLockModeWrite);
  if (!lock.locked()) return lock.status();
  if (!server::guarded_call(raster::kernels::fill_argb32, lock.view(), static_cast<uint32_t>(colour)))
    return Gdiplus::GenericError;
  return lock.unlock();
}

}  // namespace

HRESULT RasterCollection::Combine(IRasterObject** Result) {
  if (!Result) return E_INVALIDARG;
  if (m_items.empty()) return ReportError(CLSID_RasterCollection, msg::kCombineEmpty, GUID_NULL);
  return server::com_call([&] {
    // Read through the item's interface as a client would; an item without an image reads 0 x 0
    // here and fails below with the message that says so.
    RasterItem& background = *m_items[0].get();
    VARIANT_BOOL visible = 0;
    LONG width = 0, height = 0;
    FLOAT dpiX = 0, dpiY = 0;
    background.get_IsVisible(&visible);
    background.get_Height(&height);
    background.get_Width(&width);
    background.get_HorizontalResolution(&dpiX);
    background.get_VerticalResolution(&dpiY);

    std::unique_ptr<Gdiplus::Bitmap> canvas;
    if (!visible) {
      const Gdiplus::Status status = filled_canvas(width, height, m_backgroundColor, &canvas);
      if (status != Gdiplus::Ok) return report_gdiplus(status, msg::kCombineMethod, msg::kFillObjectName);
    } else {
      Gdiplus::Bitmap* bitmap = nullptr;
      HRESULT hr = background.inner_bitmap(&bitmap);
      if (FAILED(hr)) return hr;
      if (!bitmap) return report(msg::kCombineNoBackground, E_FAIL);
      Gdiplus::Bitmap* copy = nullptr;
      const Gdiplus::Status status = raster::copy_bitmap(bitmap, &copy);
      canvas.reset(copy);
      if (status != Gdiplus::Ok) return report_gdiplus(status, msg::kCombineMethod);
    }

    for (size_t i = 1; i < m_items.size(); ++i) {
      RasterItem& layer = *m_items[i].get();
      VARIANT_BOOL layerVisible = 0;
      layer.get_IsVisible(&layerVisible);
      if (!layerVisible) continue;
      CombineModes mode = cmAlphaBlend;
      BYTE opacity = 255;
      LONG x = 0, y = 0;
      layer.get_Mode(&mode);
      layer.get_opacity(&opacity);
      layer.get_OffsetX(&x);
      layer.get_OffsetY(&y);
      Gdiplus::Bitmap* bitmap = nullptr;
      HRESULT hr = layer.inner_bitmap(&bitmap);
      if (FAILED(hr)) return hr;
      if (!bitmap) continue;
      // A negative mode is as unknown as one above the last; it must not index the prefixes.
      if (mode < cmAlphaBlend || mode > cmDissolve) return report(msg::kUnsupportedMode, E_FAIL);
      Gdiplus::Bitmap* destination = canvas.get();
      const Gdiplus::Status status = raster::CombineBitmaps(bitmap, &destination, {opacity, x, y}, mode);
      if (status != Gdiplus::Ok)
        return report(msg::kCombineFailedPrefix[mode] +
                          server::GdiplusErrorMessage(status, msg::kObjectName, msg::kCombineMethod, 0),
                      E_FAIL);
    }

    ComPtr<IRasterObject> result;
    HRESULT hr = server::create_instance<raster::RasterObject>(nullptr, IID_IRasterObject, result.put_void());
    if (FAILED(hr)) return hr;
    ComPtr<IRasterObjectInternal> internal;
    hr = result.query(internal);
    if (FAILED(hr)) return hr;
    result->put_HorizontalResolution(dpiX);
    result->put_VerticalResolution(dpiY);
    result->put_OutputFileType(oftJPEG);
    internal->SetDataPointer(reinterpret_cast<LONG*>(canvas.release()));
    *Result = result.detach();
    return S_OK;
  });
}

}  // namespace zx::collection
