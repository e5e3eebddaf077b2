// Zentarix — MIT licence.
// TransformTransparentize: the bitmap worker and the array path.
#include "TransformTransparentize.h"

#include <vector>

namespace zx::transforms {

HRESULT TransformTransparentize::work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
  using namespace Gdiplus;
  const INT W = static_cast<INT>(input->GetWidth()), H = static_cast<INT>(input->GetHeight());
  auto output = std::make_unique<Bitmap>(W, H, PixelFormat32bppARGB);
  std::vector<uint8_t> buffer;
  try {
    buffer.resize(size_t(W) * size_t(H) * 4);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  SetLastError(0);  // the lock messages carry the last Win32 error of this call only
  bool completed = false;
  {
    raster::BitmapLock in(input, Rect(0, 0, W, H), ImageLockModeRead);
    if (!in.locked()) return report_gdiplus(kIdentity, in.status(), E_FAIL, GetLastError());
    raster::BitmapLock out(output.get(), Rect(0, 0, W, H), ImageLockModeWrite | ImageLockModeUserInputBuf,
                           PixelFormat32bppARGB, buffer.data(), W * 4);
    if (!out.locked()) return report_gdiplus(kIdentity, out.status(), E_FAIL, GetLastError());
    const kernels::PixelView target{buffer.data(), W, H, ptrdiff_t(W) * 4};
    try {
      completed = server::guarded_call(kernels::transparentize_argb32, m_colour, m_threshold, in.view(), target);
    } catch (...) {
      completed = false;
    }
  }
  if (!completed) return report(kIdentity, with_support(messages::kTransparentizeException), E_FAIL);
  *result = output.release();
  return S_OK;
}

HRESULT TransformTransparentize::Apply(SAFEARRAY* InputArray, SAFEARRAY** OutputArray) {
  if (!InputArray || !OutputArray) return E_POINTER;
  if (SafeArrayGetDim(InputArray) != 2 || SafeArrayGetElemsize(InputArray) != 4) return E_INVALIDARG;
  return server::com_call([&] {
    const ULONG width = InputArray->rgsabound[0].cElements, height = InputArray->rgsabound[1].cElements;
    HRESULT hr = S_OK;
    SafeArrayAccess in(InputArray, hr);
    if (FAILED(hr)) return hr;
    if (*OutputArray) {
      SafeArrayDestroy(*OutputArray);
      *OutputArray = nullptr;
    }
    SAFEARRAYBOUND bounds[2] = {{height, 0}, {width, 0}};
    *OutputArray = SafeArrayCreate(VT_I4, 2, bounds);
    if (!*OutputArray) return E_FAIL;
    SafeArrayAccess out(*OutputArray, hr);
    if (FAILED(hr)) return hr;
    const kernels::ConstPixelView source{static_cast<const uint8_t*>(in.data()), int(width), int(height), ptrdiff_t(width) * 4};
    const kernels::PixelView target{static_cast<uint8_t*>(out.data()), int(width), int(height), ptrdiff_t(width) * 4};
    bool completed = false;
    try {
      completed = server::guarded_call(kernels::transparentize_argb32, m_colour, m_threshold, source, target);
    } catch (...) {
      completed = false;
    }
    in.unaccess();
    const HRESULT released = out.unaccess();
    if (!completed) return report(kIdentity, with_support(messages::kTransparentizeArrayException), E_FAIL);
    return released;
  });
}

}  // namespace zx::transforms
