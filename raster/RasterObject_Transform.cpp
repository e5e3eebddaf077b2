// Zentarix — MIT licence.
// RasterObject::ApplyTransform: the bitmap handed to a transform by bitmap, by picture or by pixel array.
#include <memory>
#include <new>

#include "ErrorReporting.h"
#include "Messages.h"
#include "PictureTransform.h"
#include "PixelArray.h"
#include "RasterMessages.h"
#include "RasterObject.h"

namespace zx::raster {
namespace msg = messages;
using server::ZX_E_TRANSFORM_FAILED;

namespace {

constexpr LCID kLocaleUserDefault = 0x400;

// A GDI object handle this call made or took over; deleted on every exit.
class GdiObject {
 public:
  GdiObject() = default;
  explicit GdiObject(HGDIOBJ h) noexcept : m_h(h) {}
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  ~GdiObject() { reset(); }
  void reset() noexcept {
    if (m_h) DeleteObject(m_h);
    m_h = 0;
  }
  HGDIOBJ get() const noexcept { return m_h; }
  HGDIOBJ* put() noexcept {
    reset();
    return &m_h;
  }

 private:
  HGDIOBJ m_h = 0;
};

std::u16string support_message(const OLECHAR* suffix) {
  return std::u16string(msg::kSupportPrefix) + server::messages::kSupportAddress + suffix;
}

}  // namespace

HRESULT RasterObject::ApplyTransform(IDispatch* Transform) {
  if (!m_bitmap) return report(msg::kTransformNoImage, ZX_E_TRANSFORM_FAILED);
  if (!Transform) return report(msg::kTransformNull, E_INVALIDARG);
  return server::com_call([&] {
    ComPtr<IGDIPlusTransform> fast;
    if (SUCCEEDED(Transform->QueryInterface(IID_IGDIPlusTransform, fast.put_void())) && fast)
      return apply_gdiplus_transform(fast.get());
    ComPtr<IPictureTransform> picture;
    if (SUCCEEDED(Transform->QueryInterface(IID_IPictureTransform, picture.put_void())) && picture)
      return apply_picture_transform(picture.get());
    return apply_dispatch_transform(Transform);
  });
}

// The bitmap object itself crosses: no copies, in-process only.
HRESULT RasterObject::apply_gdiplus_transform(IGDIPlusTransform* transform) {
  VARIANT_BOOL inside = VARIANT_FALSE;
  transform->get_CreateOutputInsideTransform(&inside);  // a failing answer leaves "we allocate"
  Gdiplus::Bitmap* input = m_bitmap;
  if (!inside) {
    // The transform draws into a bitmap of the input's size that we made (null if it could not be).
    std::unique_ptr<Gdiplus::Bitmap> result(
        new (std::nothrow) Gdiplus::Bitmap(static_cast<INT>(input->GetWidth()), static_cast<INT>(input->GetHeight()),
                                           Gdiplus::PixelFormat32bppARGB));
    const HRESULT hr = transform->ApplyMe(reinterpret_cast<LONG*>(input), reinterpret_cast<LONG**>(result.get()));
    if (FAILED(hr)) return hr;
    replace_bitmap(result.release());
    return S_OK;
  }
  Gdiplus::Bitmap* result = nullptr;
  const HRESULT hr = transform->ApplyMe(reinterpret_cast<LONG*>(input), reinterpret_cast<LONG**>(&result));
  // A failing transform may leave the bitmap it made in the slot; it is ours to delete. A transform
  // that hands the input back must not make us delete the bitmap we keep.
  std::unique_ptr<Gdiplus::Bitmap> made(result != input ? result : nullptr);
  if (FAILED(hr)) return hr;
  if (result != input) replace_bitmap(made.release());
  return S_OK;
}

// A GDI bitmap handle in (composed over opaque black), a picture out; the result has no alpha.
HRESULT RasterObject::apply_picture_transform(IPictureTransform* transform) {
  GdiObject input;
  HBITMAP handle = 0;
  if (const Gdiplus::Status status = m_bitmap->GetHBITMAP(Gdiplus::Color(0xFF000000), &handle);
      status != Gdiplus::Ok) {
    // Not a case the protocol names: without a handle there is nothing to hand over.
    return report(server::GdiplusErrorMessage(status, msg::kObjectName, u"ApplyTransform", 0), E_FAIL);
  }
  *input.put() = handle;

  ComPtr<IUnknown> result;
  const HRESULT hr = transform->TransformPicture(handle, result.put());
  if (FAILED(hr)) return hr;
  input.reset();
  if (!result) return report(std::u16string(msg::kNoResultPicture) + server::messages::kSupportAddress, hr);

  ComPtr<IPicture> picture;
  if (const HRESULT qi = result.query(picture); FAILED(qi)) return qi;
  OLE_HANDLE bitmap_handle = 0;
  OLE_HANDLE palette_handle = 0;
  picture->get_Handle(&bitmap_handle);
  picture->get_hPal(&palette_handle);
  // Both handles are ours from here on.
  GdiObject owned_bitmap(bitmap_handle);
  GdiObject owned_palette(palette_handle);
  std::unique_ptr<Gdiplus::Bitmap> made(Gdiplus::Bitmap::FromHBITMAP(bitmap_handle, palette_handle));
  // A handle that gives no bitmap keeps the current image rather than leaving the object empty.
  if (const Gdiplus::Status status = made->GetLastStatus(); status != Gdiplus::Ok)
    return report(server::GdiplusErrorMessage(status, msg::kObjectName, u"ApplyTransform", 0), E_FAIL);
  replace_bitmap(made.release());
  return S_OK;
}

// Late-bound "Apply" with pixel arrays: two full copies, for transforms written in any language.
HRESULT RasterObject::apply_dispatch_transform(IDispatch* transform) {
  SafeArray input;
  HRESULT hr = BitmapToPixelArray(m_bitmap, input.put());
  if (FAILED(hr)) return report(support_message(msg::kBitmapToArraySuffix), hr);

  // The lookup is the transform's own code: a machine fault or any exception inside it is
  // E_INVALIDARG, like a name the object refuses to look up.
  DISPID dispid = DISPID_UNKNOWN;
  OLECHAR name[] = u"Apply";
  LPOLESTR names[] = {name};
  try {
    hr = server::guarded_call(&IDispatch::GetIDsOfNames, transform, IID_NULL, names, 1u, kLocaleUserDefault, &dispid)
             .value_or(E_INVALIDARG);
  } catch (...) {
    hr = E_INVALIDARG;
  }
  if (hr == DISP_E_UNKNOWNNAME) return report(msg::kNoApplyMethod, ZX_E_TRANSFORM_FAILED);
  if (FAILED(hr)) return hr;

  // DISPPARAMS order is last argument first: the method sees InputArray, then OutputArray.
  SAFEARRAY* output_raw = nullptr;
  VARIANT args[2];
  V_VT(&args[0]) = VT_BYREF | VT_ARRAY | VT_I4;
  V_ARRAYREF(&args[0]) = &output_raw;
  V_VT(&args[1]) = VT_ARRAY | VT_I4;
  V_ARRAY(&args[1]) = input.get();
  DISPPARAMS params{args, nullptr, 2, 0};
  hr = transform->Invoke(dispid, IID_NULL, kLocaleUserDefault, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
  SafeArray output(output_raw);
  if (FAILED(hr)) return hr;
  if (!output.get()) return report(support_message(msg::kNoOutputArraySuffix), hr);

  hr = PixelArrayToBitmap(output.get(), &m_bitmap);
  if (FAILED(hr)) return report(support_message(msg::kArrayToBitmapSuffix), hr);
  return S_OK;
}

}  // namespace zx::raster
