// Zentarix — MIT licence.
// Pixel arrays: the two-dimensional VT_I4 SAFEARRAY of ARGB values every "Apply" method exchanges.
#include "PixelArray.h"

#include <memory>
#include <new>

#include "BitmapLock.h"
#include "ErrorReporting.h"
#include "kernels/PixelCopy.h"

namespace zx::raster {

using server::ZX_E_ARRAY_TO_BITMAP;
using server::ZX_E_BITMAP_TO_ARRAY;

HRESULT BitmapToPixelArray(Gdiplus::Bitmap* bitmap, SAFEARRAY** array) {
  if (!bitmap) return E_FAIL;
  if (!array) return E_POINTER;
  const INT width = static_cast<INT>(bitmap->GetWidth());
  const INT height = static_cast<INT>(bitmap->GetHeight());
  BitmapLock lock(bitmap, Gdiplus::Rect(0, 0, width, height), Gdiplus::ImageLockModeRead);
  if (!lock.locked()) return ZX_E_BITMAP_TO_ARRAY;

  if (*array) {
    SafeArrayDestroy(*array);
    *array = nullptr;
  }
  SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(height), 0}, {static_cast<ULONG>(width), 0}};
  *array = SafeArrayCreate(VT_I4, 2, bounds);
  if (!*array) return E_FAIL;

  HRESULT hr = S_OK;
  SafeArrayAccess access(*array, hr);
  if (FAILED(hr)) return hr;
  if (!server::guarded_call(kernels::copy_view_to_linear, lock.view(), static_cast<uint32_t*>(access.data())))
    return ZX_E_BITMAP_TO_ARRAY;
  hr = access.unaccess();
  if (FAILED(hr)) return hr;
  if (lock.unlock() != Gdiplus::Ok) return ZX_E_BITMAP_TO_ARRAY;
  return S_OK;
}

namespace {

// Everything that reads the caller's array, run under the fault guard: its descriptor, the access
// to its data and the copy into a new bitmap of our own. The array may be any memory a client
// passed, so a fault while reading it ends the conversion instead of the process.
HRESULT bitmap_from_array(SAFEARRAY* array, std::unique_ptr<Gdiplus::Bitmap>& made) {
  if (array->cDims != 2) return E_INVALIDARG;
  // The linear copy reads width * height 4-byte elements: an array of smaller elements would be
  // read past its end, so it is refused like an array of the wrong shape.
  if (array->cbElements != 4) return E_INVALIDARG;
  const ULONG width = array->rgsabound[0].cElements;
  const ULONG height = array->rgsabound[1].cElements;

  HRESULT hr = S_OK;
  SafeArrayAccess access(array, hr);
  if (FAILED(hr)) return hr;
  try {
    made.reset(new Gdiplus::Bitmap(static_cast<INT>(width), static_cast<INT>(height), Gdiplus::PixelFormat32bppARGB));
  } catch (const std::bad_alloc&) {
    return ZX_E_ARRAY_TO_BITMAP;
  }
  if (made->GetLastStatus() != Gdiplus::Ok) return ZX_E_ARRAY_TO_BITMAP;
  // A lock in the bitmap's own format hands out its memory, so the elements go straight into it.
  BitmapLock lock(made.get(), whole_rect(made.get()), Gdiplus::ImageLockModeWrite);
  if (!lock.locked()) return ZX_E_ARRAY_TO_BITMAP;
  kernels::copy_linear_to_view(static_cast<const uint32_t*>(access.data()), lock.view());
  if (lock.unlock() != Gdiplus::Ok) return ZX_E_ARRAY_TO_BITMAP;
  return access.unaccess();
}

}  // namespace

HRESULT PixelArrayToBitmap(SAFEARRAY* array, Gdiplus::Bitmap** target) {
  if (!array) return E_FAIL;
  if (!target) return E_POINTER;
  std::unique_ptr<Gdiplus::Bitmap> made;
  const HRESULT hr = server::guarded_call(bitmap_from_array, array, made).value_or(ZX_E_ARRAY_TO_BITMAP);
  // A refused shape or a failed access leaves the target as it was; any later failure leaves it empty.
  if (hr == E_INVALIDARG || (FAILED(hr) && hr != ZX_E_ARRAY_TO_BITMAP)) return hr;
  delete *target;
  *target = SUCCEEDED(hr) ? made.release() : nullptr;
  return hr;
}

}  // namespace zx::raster
