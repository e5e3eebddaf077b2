// Zentarix — MIT licence.
// CombineBitmaps: draws one bitmap onto another in place in one of the five combine modes.
#include "CombineBitmaps.h"

#include "BitmapLock.h"
#include "ErrorReporting.h"
#include "kernels/CombineKernels.h"

namespace zx::raster {
namespace {

// Per thread, so that concurrent combines on different threads do not disturb each other's
// selection; reseeded at every call.
thread_local kernels::DissolveGenerator t_dissolve;

// The one dispatch on the mode. False for a mode outside the enumeration.
bool run_kernel(CombineModes mode, kernels::ConstPixelView src, kernels::PixelView dst, uint8_t opacity) {
  switch (mode) {
    case cmAlphaBlend:
      kernels::combine_alpha_argb32(src, dst, opacity);
      return true;
    case cmXORBlend:
      kernels::combine_xor_argb32(src, dst, opacity);
      return true;
    case cmANDBlend:
      kernels::combine_and_argb32(src, dst, opacity);
      return true;
    case cmORBlend:
      kernels::combine_or_argb32(src, dst, opacity);
      return true;
    case cmDissolve:
      t_dissolve.state = 17;
      kernels::combine_dissolve_argb32(src, dst, opacity, t_dissolve);
      return true;
  }
  return false;
}

}  // namespace

ClippedPlacement ClipPlacement(int ws, int hs, int wd, int hd, int32_t X, int32_t Y) {
  const kernels::ClippedRects r = kernels::clip_placement(ws, hs, wd, hd, X, Y);
  return {r.sx, r.sy, r.dx, r.dy, r.w, r.h};
}

Gdiplus::Status CombineBitmaps(Gdiplus::Bitmap* source, Gdiplus::Bitmap** destination,
                               const CombinePlacement& placement, CombineModes mode) {
  if (!source || !destination || !*destination) return Gdiplus::GenericError;
  if (mode < cmAlphaBlend || mode > cmDissolve) return Gdiplus::GenericError;
  Gdiplus::Bitmap* dest = *destination;
  const ClippedPlacement clip =
      ClipPlacement(static_cast<int>(source->GetWidth()), static_cast<int>(source->GetHeight()),
                    static_cast<int>(dest->GetWidth()), static_cast<int>(dest->GetHeight()), placement.X, placement.Y);
  if (clip.w == 0 || clip.h == 0) return Gdiplus::Ok;

  BitmapLock src_lock(source, Gdiplus::Rect(clip.sx, clip.sy, clip.w, clip.h), Gdiplus::ImageLockModeRead);
  if (!src_lock.locked()) return src_lock.status();
  // The destination is read as well as written: with Read the lock also serves a destination held in
  // another format (a 32 bpp RGB result of a picture transform), whose write-only lock would start
  // from a blank buffer.
  BitmapLock dst_lock(dest, Gdiplus::Rect(clip.dx, clip.dy, clip.w, clip.h),
                      Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite);
  if (!dst_lock.locked()) return dst_lock.status();

  // False for a fault as for a mode the dispatch does not know.
  const bool done = server::guarded_call(run_kernel, mode, src_lock.view(), dst_lock.view(), placement.opacity);
  const Gdiplus::Status result = done ? Gdiplus::Ok : Gdiplus::GenericError;
  const Gdiplus::Status src_unlock = src_lock.unlock();
  const Gdiplus::Status dst_unlock = dst_lock.unlock();
  if (result != Gdiplus::Ok) return result;
  return src_unlock != Gdiplus::Ok ? src_unlock : dst_unlock;
}

}  // namespace zx::raster
