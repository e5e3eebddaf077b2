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

HRESULT BitmapToPixelArray(Gdiplus::Bitmap* bitmap, SAFEARRAY** array) noexcept {
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
  try {
    server::GuardedPixels guard;
    kernels::copy_view_to_linear(lock.view(), static_cast<uint32_t*>(access.data()));
  } catch (...) {
    return ZX_E_BITMAP_TO_ARRAY;
  }
  hr = access.unaccess();
  if (FAILED(hr)) return hr;
  if (lock.unlock() != Gdiplus::Ok) return ZX_E_BITMAP_TO_ARRAY;
  return S_OK;
}

HRESULT PixelArrayToBitmap(SAFEARRAY* array, Gdiplus::Bitmap** target) noexcept {
  if (!array) return E_FAIL;
  if (!target) return E_POINTER;
  if (array->cDims != 2) return E_INVALIDARG;
  // The linear copy reads width * height 4-byte elements: an array of smaller elements would be
  // read past its end, so it is refused like an array of the wrong shape.
  if (array->cbElements != 4) return E_INVALIDARG;
  const ULONG width = array->rgsabound[0].cElements;
  const ULONG height = array->rgsabound[1].cElements;

  HRESULT hr = S_OK;
  SafeArrayAccess access(array, hr);
  if (FAILED(hr)) return hr;

  delete *target;
  *target = nullptr;
  std::unique_ptr<Gdiplus::Bitmap> bitmap;
  try {
    bitmap.reset(new Gdiplus::Bitmap(static_cast<INT>(width), static_cast<INT>(height), Gdiplus::PixelFormat32bppARGB));
  } catch (const std::bad_alloc&) {
    return ZX_E_ARRAY_TO_BITMAP;
  }
  if (bitmap->GetLastStatus() != Gdiplus::Ok) return ZX_E_ARRAY_TO_BITMAP;

  // A lock in the bitmap's own format hands out its memory, so the elements go straight into it.
  BitmapLock lock(bitmap.get(), Gdiplus::Rect(0, 0, static_cast<INT>(width), static_cast<INT>(height)),
                  Gdiplus::ImageLockModeWrite);
  if (!lock.locked()) return ZX_E_ARRAY_TO_BITMAP;
  try {
    server::GuardedPixels guard;
    kernels::copy_linear_to_view(static_cast<const uint32_t*>(access.data()), lock.view());
  } catch (...) {
    return ZX_E_ARRAY_TO_BITMAP;
  }
  if (lock.unlock() != Gdiplus::Ok) return ZX_E_ARRAY_TO_BITMAP;
  *target = bitmap.release();
  return access.unaccess();
}

}  // namespace zx::raster
