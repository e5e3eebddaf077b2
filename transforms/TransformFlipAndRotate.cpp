// Zentarix — MIT licence.
// TransformFlipAndRotate: the one-pass worker.
#include "TransformFlipAndRotate.h"

namespace zx::transforms {

HRESULT TransformFlipAndRotate::work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result) {
  using namespace Gdiplus;
  const INT W = static_cast<INT>(input->GetWidth()), H = static_cast<INT>(input->GetHeight());
  const bool turned = (m_type & 1) != 0;
  // The message carries the thread's last Win32 error; one left by an earlier call would name a
  // cause that has nothing to do with this one.
  SetLastError(0);
  auto failed = [&](Status status) { return report_gdiplus(kIdentity, status, E_FAIL, GetLastError()); };
  auto turnedImage = std::make_unique<Bitmap>(turned ? H : W, turned ? W : H, PixelFormat32bppARGB);
  if (const Status made = turnedImage->GetLastStatus(); made != Ok) return failed(made);
  {
    raster::BitmapLock in(input, Rect(0, 0, W, H), ImageLockModeRead);
    if (!in.locked()) return failed(in.status());
    raster::BitmapLock out(turnedImage.get(), raster::whole_rect(turnedImage.get()), ImageLockModeWrite);
    if (!out.locked()) return failed(out.status());
    if (!server::guarded_call(kernels::flip_rotate_argb32, int(m_type), in.view(), out.view()))
      return failed(GenericError);
  }
  *result = turnedImage.release();
  return S_OK;
}

}  // namespace zx::transforms
