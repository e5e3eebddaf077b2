// Zentarix — MIT licence.
// Scope guard for Gdiplus::Bitmap::LockBits / UnlockBits, and a view of the locked rows.
#pragma once
#include <gdiplus.h>

#include "kernels/PixelView.h"

namespace zx::raster {

// Locks on construction (status() tells whether it worked) and unlocks on destruction unless
// unlock() was called. Rows of a 32 bpp lock are read through view(). Not noexcept: locks are taken
// inside guarded code too (see ErrorReporting.h).
class BitmapLock {
 public:
  BitmapLock(Gdiplus::Bitmap* bitmap, const Gdiplus::Rect& rect, UINT flags,
             Gdiplus::PixelFormat format = Gdiplus::PixelFormat32bppARGB, void* userBuffer = nullptr, INT userStride = 0)
      : m_bitmap(bitmap) {
    if (flags & Gdiplus::ImageLockModeUserInputBuf) {
      m_data.Width = static_cast<UINT>(rect.Width);
      m_data.Height = static_cast<UINT>(rect.Height);
      m_data.Stride = userStride;
      m_data.PixelFormat = format;
      m_data.Scan0 = userBuffer;
    }
    m_status = m_bitmap->LockBits(&rect, flags, format, &m_data);
    m_locked = m_status == Gdiplus::Ok;
  }
  BitmapLock(const BitmapLock&) = delete;
  BitmapLock& operator=(const BitmapLock&) = delete;
  ~BitmapLock() { unlock(); }

  Gdiplus::Status status() const { return m_status; }
  bool locked() const { return m_locked; }
  const Gdiplus::BitmapData& data() const { return m_data; }
  kernels::PixelView view() const {
    return {static_cast<uint8_t*>(m_data.Scan0), static_cast<int>(m_data.Width), static_cast<int>(m_data.Height),
            m_data.Stride};
  }
  // Ok when nothing is locked any more.
  Gdiplus::Status unlock() {
    if (!m_locked) return Gdiplus::Ok;
    m_locked = false;
    return m_bitmap->UnlockBits(&m_data);
  }

 private:
  Gdiplus::Bitmap* m_bitmap;
  Gdiplus::BitmapData m_data{};
  Gdiplus::Status m_status = Gdiplus::GenericError;
  bool m_locked = false;
};

// The whole bitmap as a lock rectangle.
inline Gdiplus::Rect whole_rect(Gdiplus::Bitmap* bitmap) {
  return Gdiplus::Rect(0, 0, static_cast<INT>(bitmap->GetWidth()), static_cast<INT>(bitmap->GetHeight()));
}

}  // namespace zx::raster
