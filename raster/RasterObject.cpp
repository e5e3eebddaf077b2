// Zentarix — MIT licence.
// RasterObject: creation, state, pixels, resolutions, file types, Clone, the options store and the bitmap copy.
#include "RasterObject.h"

#include <winbase.h>

#include <memory>
#include <new>

#include "BitmapLock.h"
#include "ErrorReporting.h"
#include "RasterMessages.h"
#include "kernels/PixelCopy.h"

namespace zx::raster {
namespace msg = messages;
using server::GdiplusErrorMessage;
using server::ReportError;

namespace {

Variant bstr_variant(std::u16string_view text) {
  Variant v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = Bstr(text).detach();
  return v;
}

Variant key_variant(BSTR name) { return bstr_variant(name ? std::u16string_view(name, SysStringLen(name)) : u""); }

// Made through activation, as a client would make it, so that the manager enumerates the encoder
// category as registered now (foreign encoders included). Any failure fails the raster object's
// creation: without a manager it could never save.
HRESULT create_encoder_manager(ComPtr<IEncoderManager>& manager) noexcept {
  return CoCreateInstance(CLSID_EncoderManager, nullptr, CLSCTX_ALL, IID_IEncoderManager, manager.put_void());
}

}  // namespace

RasterObject::RasterObject() noexcept = default;

// Destruction order: the bitmap, then (in the base) the free-threaded marshaler, the manager, the
// store, and GDI+ last of all, because the bitmap and anything the manager or store still holds may
// need it. The base releases the marshaler after this body; nothing observable depends on its place.
RasterObject::~RasterObject() {
  replace_bitmap(nullptr);
  m_encoderManager.reset();
  m_encoderOptions.reset();
  if (m_gdiplusStarted) Gdiplus::GdiplusShutdown(m_gdiplusToken);
}

HRESULT RasterObject::FinalConstruct() {
  SetLastError(0);  // the message names only what the startup itself leaves, not an earlier error
  const Gdiplus::Status status = Gdiplus::GdiplusStartup(&m_gdiplusToken, &m_startupInput, nullptr);
  if (status != Gdiplus::Ok) {
    return report(GdiplusErrorMessage(status, msg::kObjectName, u"constructor", GetLastError()),
                  server::ZX_E_GDIPLUS_STARTUP);
  }
  m_gdiplusStarted = true;
  m_enableLZW = VARIANT_FALSE;
  m_bitmap = nullptr;
  m_outputFileType = oftJPEG;

  if (FAILED(create_encoder_manager(m_encoderManager))) return report(msg::kNoEncoderManager, E_FAIL);
  if (FAILED(CoCreateInstance(CLSID_Dictionary, nullptr, CLSCTX_ALL, IID_IDictionary, m_encoderOptions.put_void())) ||
      !m_encoderOptions) {
    return report(msg::kNoOptionsStore, E_FAIL);
  }
  return reset_options();
}

// ---- helpers ------------------------------------------------------------------------------------

void RasterObject::replace_bitmap(Gdiplus::Bitmap* bitmap) noexcept {
  delete m_bitmap;
  m_bitmap = bitmap;
}

HRESULT RasterObject::report(LPCOLESTR description, HRESULT hr) noexcept {
  return ReportError(CLSID_RasterObject, description, IID_IRasterObject, hr);
}
HRESULT RasterObject::report(const std::u16string& description, HRESULT hr) noexcept {
  return report(description.c_str(), hr);
}

HRESULT RasterObject::put_option(LPCOLESTR name, const VARIANT& value) noexcept {
  return server::com_call([&] {
    Variant key = bstr_variant(name);
    Variant item;
    HRESULT hr = VariantCopy(&item, &value);
    if (FAILED(hr)) return hr;
    return m_encoderOptions->put_Item(&key, &item);
  });
}

HRESULT RasterObject::reset_options() noexcept {
  return server::com_call([&] {
    // The compare mode can only be set on an empty store.
    HRESULT hr = m_encoderOptions->RemoveAll();
    if (SUCCEEDED(hr)) hr = m_encoderOptions->put_CompareMode(TextCompare);
    if (FAILED(hr)) return hr;
    return put_option(msg::kOptionOutputFileType, bstr_variant(msg::kOptionAuto));
  });
}

// ---- size and image -----------------------------------------------------------------------------

HRESULT RasterObject::get_Width(LONG* pVal) {
  // The image is tested before the pointer: a script asking an empty object gets the message.
  if (!m_bitmap) return report(msg::kNoImageWidth, E_FAIL);
  if (!pVal) return E_INVALIDARG;
  *pVal = static_cast<LONG>(m_bitmap->GetWidth());
  return S_OK;
}

HRESULT RasterObject::get_Height(LONG* pVal) {
  if (!m_bitmap) return report(msg::kNoImageHeight, E_FAIL);
  if (!pVal) return E_INVALIDARG;
  *pVal = static_cast<LONG>(m_bitmap->GetHeight());
  return S_OK;
}

HRESULT RasterObject::EmptyImage(LONG Width, LONG Height, LONG color) {
  if (Width < 1 || Height < 1) return report(msg::kBadImageSize, E_FAIL);
  return server::com_call([&] {
    replace_bitmap(nullptr);
    // A bitmap object that cannot even be allocated leaves the object without an image; the report
    // is GDI+'s out-of-memory message with E_OUTOFMEMORY.
    Gdiplus::Bitmap* bitmap = new (std::nothrow) Gdiplus::Bitmap(Width, Height, Gdiplus::PixelFormat32bppARGB);
    if (!bitmap) {
      return report(GdiplusErrorMessage(Gdiplus::OutOfMemory, msg::kObjectName, u"EmptyImage", 0), E_OUTOFMEMORY);
    }
    replace_bitmap(bitmap);
    // The creation's status is read before the resolutions: reading them from a bitmap that was not
    // made records a status of their own, and the report must name why creation failed.
    const Gdiplus::Status created = m_bitmap->GetLastStatus();
    m_horizontalResolution = m_bitmap->GetHorizontalResolution();
    m_verticalResolution = m_bitmap->GetVerticalResolution();
    if (created != Gdiplus::Ok) {
      return report(GdiplusErrorMessage(created, msg::kObjectName, u"EmptyImage", 0), E_FAIL);
    }

    // The value goes into every pixel as it is, alpha included: a lock in the bitmap's own format
    // writes straight into its memory, so no blending can happen.
    Gdiplus::Status status = Gdiplus::Ok;
    {
      BitmapLock lock(m_bitmap, Gdiplus::Rect(0, 0, Width, Height), Gdiplus::ImageLockModeWrite);
      status = lock.status();
      if (lock.locked()) {
        if (!server::guarded_call(kernels::fill_argb32, lock.view(), static_cast<uint32_t>(color)))
          status = Gdiplus::GenericError;
        const Gdiplus::Status unlocked = lock.unlock();
        if (status == Gdiplus::Ok) status = unlocked;
      }
    }
    if (status != Gdiplus::Ok) {
      return report(GdiplusErrorMessage(status, msg::kObjectName, u"EmptyImage", 0), E_FAIL);
    }
    return S_OK;
  });
}

// ---- resolutions --------------------------------------------------------------------------------

HRESULT RasterObject::get_HorizontalResolution(FLOAT* pVal) {
  if (!pVal) return E_INVALIDARG;
  *pVal = m_horizontalResolution;
  return S_OK;
}

HRESULT RasterObject::put_HorizontalResolution(FLOAT newVal) {
  m_horizontalResolution = newVal;
  VARIANT value;
  V_VT(&value) = VT_R4;
  V_R4(&value) = newVal;
  return put_option(msg::kOptionHorizontalResolution, value);
}

HRESULT RasterObject::get_VerticalResolution(FLOAT* pVal) {
  if (!pVal) return E_INVALIDARG;
  *pVal = m_verticalResolution;
  return S_OK;
}

HRESULT RasterObject::put_VerticalResolution(FLOAT newVal) {
  m_verticalResolution = newVal;
  VARIANT value;
  V_VT(&value) = VT_R4;
  V_R4(&value) = newVal;
  return put_option(msg::kOptionVerticalResolution, value);
}

// ---- pixels -------------------------------------------------------------------------------------

HRESULT RasterObject::get_Pixels(LONG X, LONG Y, LONG* pVal) {
  if (!pVal) return E_INVALIDARG;
  if (!m_bitmap) return report(msg::kNoPixels, E_FAIL);
  Gdiplus::Color colour;
  if (m_bitmap->GetPixel(X, Y, &colour) != Gdiplus::Ok) return report(msg::kGetPixelOutOfBounds, E_FAIL);
  *pVal = static_cast<LONG>(colour.GetValue());
  return S_OK;
}

HRESULT RasterObject::put_Pixels(LONG X, LONG Y, LONG newVal) {
  if (!m_bitmap) return report(msg::kNoPixels, E_FAIL);
  if (m_bitmap->SetPixel(X, Y, Gdiplus::Color(static_cast<Gdiplus::ARGB>(newVal))) != Gdiplus::Ok)
    return report(msg::kPutPixelOutOfBounds, E_FAIL);
  return S_OK;
}

// ---- file types and the GIF gate ----------------------------------------------------------------

HRESULT RasterObject::get_CurrentFileType(OutputFileTypes* pVal) {
  if (!pVal) return E_INVALIDARG;
  *pVal = m_currentFileType;
  return S_OK;
}

HRESULT RasterObject::get_OutputFileType(OutputFileTypes* pVal) {
  if (!pVal) return E_INVALIDARG;
  *pVal = m_outputFileType;
  return S_OK;
}

HRESULT RasterObject::put_OutputFileType(OutputFileTypes newVal) {
  if (newVal < 0 || newVal >= oftSupportedCount) return report(msg::kUnsupportedOutputType, E_INVALIDARG);
  m_outputFileType = newVal;
  VARIANT value;
  V_VT(&value) = VT_I4;
  V_I4(&value) = newVal;
  put_option(msg::kOptionOutputFileType, value);  // the property is set whatever the store says
  return S_OK;
}

HRESULT RasterObject::get_EnableLZW(VARIANT_BOOL* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = m_enableLZW;
  return S_OK;
}

HRESULT RasterObject::put_EnableLZW(VARIANT_BOOL newVal) {
  m_enableLZW = newVal;
  return S_OK;
}

// ---- Clone --------------------------------------------------------------------------------------

HRESULT RasterObject::Clone(IRasterObject** ClonedObject) {
  if (!ClonedObject) return E_INVALIDARG;
  if (!m_bitmap) return report(msg::kCloneNoImage, E_FAIL);
  return server::com_call([&] {
    ComPtr<IRasterObject> clone;
    HRESULT hr = server::create_instance<RasterObject>(nullptr, IID_IRasterObject, clone.put_void());
    if (FAILED(hr)) return report(msg::kCloneNoTarget, hr);

    // The message names the thread's last system error as the copy left it; cleared first, so that
    // a failure with no system cause reads as the GDI+ message, not an earlier call's error text.
    SetLastError(0);
    Gdiplus::Bitmap* copy = nullptr;
    const Gdiplus::Status status = copy_bitmap(m_bitmap, &copy);
    std::unique_ptr<Gdiplus::Bitmap> owned_copy(copy);
    if (status != Gdiplus::Ok) {
      return report(GdiplusErrorMessage(status, msg::kObjectName, u"Clone", GetLastError()), E_FAIL);
    }

    ComPtr<IRasterObjectInternal> internal;
    hr = clone.query(internal);
    if (FAILED(hr)) return hr;
    internal->SetDataPointer(reinterpret_cast<LONG*>(owned_copy.release()));
    clone->put_HorizontalResolution(m_horizontalResolution);
    clone->put_VerticalResolution(m_verticalResolution);
    clone->put_OutputFileType(m_outputFileType);
    return clone->QueryInterface(IID_IRasterObject, reinterpret_cast<void**>(ClonedObject));
  });
}

Gdiplus::Status copy_bitmap(Gdiplus::Bitmap* source, Gdiplus::Bitmap** target) {
  if (!source || !target) return Gdiplus::GenericError;
  delete *target;
  *target = nullptr;
  try {
    const INT width = static_cast<INT>(source->GetWidth());
    const INT height = static_cast<INT>(source->GetHeight());
    *target = new Gdiplus::Bitmap(width, height, Gdiplus::PixelFormat32bppARGB);
    // A bitmap that could not be made reports why, rather than failing later in the lock.
    if (const Gdiplus::Status made = (*target)->GetLastStatus(); made != Gdiplus::Ok) return made;

    // The source is read as 32 bpp ARGB (converted when it is held in another format) and the
    // copy's own memory is written directly, so the one pixel walk is ours and runs guarded.
    const Gdiplus::Rect rect(0, 0, width, height);
    BitmapLock from(source, rect, Gdiplus::ImageLockModeRead);
    if (!from.locked()) return from.status();
    BitmapLock to(*target, rect, Gdiplus::ImageLockModeWrite);
    if (!to.locked()) return to.status();
    if (!server::guarded_call(kernels::copy_argb32, from.view(), to.view())) return Gdiplus::InsufficientBuffer;
    if (const Gdiplus::Status s = to.unlock(); s != Gdiplus::Ok) return s;
    return from.unlock();
  } catch (const std::bad_alloc&) {
    return Gdiplus::OutOfMemory;
  }
}

// ---- IRasterObjectInternal ----------------------------------------------------------------------

HRESULT RasterObject::GetDataPointer(LONG** pResult) {
  if (!pResult) return E_POINTER;
  *pResult = reinterpret_cast<LONG*>(m_bitmap);
  return S_OK;
}

HRESULT RasterObject::SetDataPointer(LONG* pValue) {
  // The bitmap already held, handed back: deleting it would leave the object pointing at freed
  // memory, so it is kept as it is.
  if (reinterpret_cast<Gdiplus::Bitmap*>(pValue) != m_bitmap) replace_bitmap(reinterpret_cast<Gdiplus::Bitmap*>(pValue));
  return S_OK;
}

// ---- encoder options ----------------------------------------------------------------------------

HRESULT RasterObject::get_EncoderOptions(BSTR ParamName, VARIANT* pVal) {
  if (!pVal) return E_POINTER;
  return server::com_call([&] {
    Variant key = key_variant(ParamName);
    VARIANT_BOOL exists = VARIANT_FALSE;
    HRESULT hr = m_encoderOptions->Exists(&key, &exists);
    if (FAILED(hr)) return hr;
    if (!exists) return report(std::u16string(msg::kNoSuchParameter) + std::u16string(Bstr(ParamName).view()), E_INVALIDARG);
    Variant value;
    hr = m_encoderOptions->get_Item(&key, &value);
    if (SUCCEEDED(hr)) *pVal = value.detach();
    return hr;
  });
}

HRESULT RasterObject::put_EncoderOptions(BSTR ParamName, VARIANT newVal) {
  return server::com_call([&] {
    Variant key = key_variant(ParamName);
    VARIANT_BOOL exists = VARIANT_FALSE;
    HRESULT hr = m_encoderOptions->Exists(&key, &exists);
    if (FAILED(hr)) return hr;
    if (exists) {
      m_encoderOptions->put_Item(&key, &newVal);
      return S_OK;
    }
    if (FAILED(m_encoderOptions->Add(&key, &newVal))) {
      return report(std::u16string(msg::kCannotAddParameter) + std::u16string(Bstr(ParamName).view()), E_FAIL);
    }
    return S_OK;
  });
}

HRESULT RasterObject::ResetEncoderOptions() { return reset_options(); }

}  // namespace zx::raster
