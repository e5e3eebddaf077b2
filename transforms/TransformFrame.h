// Zentarix — MIT licence.
// The frame every transform shares: IGDIPlusTransform, the dual Apply over pixel arrays, the pixel-kernel worker.
#pragma once
#include <gdiplus.h>
#include <winbase.h>

#include <memory>
#include <string>

#include "BitmapLock.h"
#include "ComObject.h"
#include "ErrorReporting.h"
#include "kernels/PixelKernels.h"
#include "zentarix.h"

namespace zx::transforms {

// Who reports: the class's CLSID and dual interface, its coclass name and the worker name that
// GDI+ failure messages carry.
struct TransformIdentity {
  const CLSID& clsid;
  const IID& iid;
  const OLECHAR* name;
  const OLECHAR* worker;
};

// The failure reports of a transform (ReportError with its CLSID and dual interface).
HRESULT report(const TransformIdentity& id, const std::u16string& text, HRESULT hr);
// The GDI+ failure message for the class and its worker (with a Win32 error code: the system's text).
HRESULT report_gdiplus(const TransformIdentity& id, Gdiplus::Status status, HRESULT hr, DWORD systemError = 0);
// A message that ends by naming the support address.
std::u16string with_support(const OLECHAR* text);

// Turns an input bitmap into a new result bitmap. The worker stores the result's address in
// *result as soon as it exists, so a failing worker may leave a bitmap there for its caller to
// delete; the input stays the caller's.
class WorkerRef {
 public:
  template <class F>
  WorkerRef(F& f) : m_self(&f), m_call([](void* self, Gdiplus::Bitmap* in, Gdiplus::Bitmap** out) {  // NOLINT
          return (*static_cast<F*>(self))(in, out);
        }) {}
  HRESULT operator()(Gdiplus::Bitmap* in, Gdiplus::Bitmap** out) const { return m_call(m_self, in, out); }

 private:
  void* m_self;
  HRESULT (*m_call)(void*, Gdiplus::Bitmap*, Gdiplus::Bitmap**);
};

// The dual Apply of Crop, Equalize, FlipAndRotate, Resize and Rotate: the input array becomes a
// temporary bitmap (failure: the to-message, 0xE0000205), the worker runs (its failure is
// returned as it is), the result becomes the output array (failure, or a null OutputArray: the
// from-message, 0xE0000205). Both bitmaps are deleted on every path, the result included when the
// worker failed.
HRESULT apply_through_arrays(const TransformIdentity& id, const OLECHAR* toMessage, const OLECHAR* fromMessage,
                             SAFEARRAY* input, SAFEARRAY** output, WorkerRef worker);

// How the result of run_pixel_kernel starts: as a copy of the input (the six transforms' kernels
// write only what they change), or unwritten, for a kernel that writes every pixel itself and
// would only pay for the copy.
enum class ResultStart { CopyOfInput, Unwritten };

// The worker of the six pixel-kernel transforms: a W x H 32 bpp ARGB result stored in *result at
// once; both bitmaps locked (a failed lock: the GDI+ message naming "DoTransform", 0xE0000205, the
// result staying in *result); the input copied into the result (unless kStart says otherwise);
// kernel(args..., input view, result view) run under the fault guard; both unlocked, input first. A
// machine fault or any exception in the copy or the kernel ends in exceptionText and the support
// address, 0xE0000205, with both bitmaps unlocked and the partly written result in *result.
template <ResultStart kStart = ResultStart::CopyOfInput, class Kernel, class... Args>
HRESULT run_pixel_kernel(const TransformIdentity& id, const OLECHAR* exceptionText, Gdiplus::Bitmap* input,
                         Gdiplus::Bitmap** result, Kernel kernel, const Args&... args) {
  const INT width = static_cast<INT>(input->GetWidth()), height = static_cast<INT>(input->GetHeight());
  *result = new Gdiplus::Bitmap(width, height, Gdiplus::PixelFormat32bppARGB);
  // A result that could not be made reports why (out of memory), not the lock that would follow.
  if (const Gdiplus::Status made = (*result)->GetLastStatus(); made != Gdiplus::Ok)
    return report_gdiplus(id, made, server::ZX_E_TRANSFORM_FAILED);
  const Gdiplus::Rect all(0, 0, width, height);
  raster::BitmapLock in(input, all, Gdiplus::ImageLockModeRead);
  if (!in.locked()) return report_gdiplus(id, in.status(), server::ZX_E_TRANSFORM_FAILED);
  raster::BitmapLock out(*result, all, Gdiplus::ImageLockModeWrite);
  if (!out.locked()) return report_gdiplus(id, out.status(), server::ZX_E_TRANSFORM_FAILED);
  bool completed = false;
  try {
    const kernels::ConstPixelView source = in.view();
    completed = (kStart == ResultStart::Unwritten || server::guarded_call(kernels::copy_argb32, source, out.view())) &&
                server::guarded_call(kernel, args..., source, out.view());
  } catch (...) {
    completed = false;
  }
  in.unlock();
  out.unlock();
  if (!completed) return report(id, with_support(exceptionText), server::ZX_E_TRANSFORM_FAILED);
  return S_OK;
}

// The base of every transform class: IGDIPlusTransform over the class's worker
// `HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result)`, and small helpers.
template <class Derived, class Dual>
class TransformObject : public server::ComObject<Derived, Dual, IGDIPlusTransform> {
 public:
  // The input is the caller's bitmap, read only; *ResultBitmap receives a new bitmap the caller
  // owns (also when the worker fails after making it).
  STDMETHOD(ApplyMe)(LONG* InputBitmap, LONG** ResultBitmap) override {
    if (!InputBitmap || !ResultBitmap) return E_POINTER;
    return server::com_call([&] {
      return derived().work(reinterpret_cast<Gdiplus::Bitmap*>(InputBitmap),
                            reinterpret_cast<Gdiplus::Bitmap**>(ResultBitmap));
    });
  }
  // Always 1 (the 16-bit value one, not VARIANT_TRUE): the transform makes its result.
  STDMETHOD(get_CreateOutputInsideTransform)(VARIANT_BOOL* Value) override {
    if (!Value) return E_POINTER;
    *Value = 1;
    return S_OK;
  }

 protected:
  Derived& derived() { return *static_cast<Derived*>(this); }
  // A getter: the value, or nullAnswer without an error record for a null pointer.
  template <class T>
  static HRESULT read(T* out, T value, HRESULT nullAnswer = E_POINTER) {
    if (!out) return nullAnswer;
    *out = value;
    return S_OK;
  }
  // A setter without checks: the value is stored as received.
  template <class T>
  static HRESULT store(T& field, T value) {
    field = value;
    return S_OK;
  }
  HRESULT apply_arrays(const OLECHAR* toMessage, const OLECHAR* fromMessage, SAFEARRAY* input, SAFEARRAY** output) {
    return server::com_call([&] {
      auto worker = [this](Gdiplus::Bitmap* in, Gdiplus::Bitmap** out) { return derived().work(in, out); };
      return apply_through_arrays(Derived::kIdentity, toMessage, fromMessage, input, output, WorkerRef(worker));
    });
  }
};

}  // namespace zx::transforms
