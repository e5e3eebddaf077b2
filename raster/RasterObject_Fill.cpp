// Zentarix — MIT licence.
// RasterObject::FloodFill and GetHistogram: in-place fill and 256-bin counts over the held bitmap.
#include <cstring>
#include <new>

#include "BitmapLock.h"
#include "ErrorReporting.h"
#include "RasterMessages.h"
#include "RasterObject.h"
#include "ResizeQuality.h"
#include "kernels/FloodFill.h"
#include "kernels/Histogram.h"

namespace zx::raster {
namespace msg = messages;
using server::GdiplusErrorMessage;

HRESULT RasterObject::FloodFill(LONG X, LONG Y, LONG NewColor, LONG TargetColor, FloodFillModes FloodFillMode,
                                BYTE Tolerance, VARIANT_BOOL PreserveAlpha, VARIANT_BOOL ProcessHalftones) {
  if (!m_bitmap) return report(msg::kFloodFillNoImage, E_FAIL);
  if (FloodFillMode != ffmFillUntilColor && FloodFillMode != ffmFillTillColor)
    return report(msg::kFloodFillBadMode, E_INVALIDARG);
  const LONG width = static_cast<LONG>(m_bitmap->GetWidth());
  const LONG height = static_cast<LONG>(m_bitmap->GetHeight());
  if (X < 0 || X >= width || Y < 0 || Y >= height) return report(msg::kFloodFillOutOfBounds, E_INVALIDARG);

  return server::com_call([&] {
    auto gdiplus_failure = [&](Gdiplus::Status status, HRESULT hr = E_FAIL) {
      return report(GdiplusErrorMessage(status, msg::kObjectName, u"FloodFill", 0), hr);
    };
    // Read as well as Write: the fill reads the pixels it recolours, and a bitmap held in another
    // format would otherwise be locked as a blank buffer.
    BitmapLock lock(m_bitmap, Gdiplus::Rect(0, 0, width, height),
                    Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite);
    if (!lock.locked()) return gdiplus_failure(lock.status());

    kernels::FloodFillParams params;
    params.x = X;
    params.y = Y;
    params.new_colour = static_cast<uint32_t>(NewColor);
    params.target_colour = static_cast<uint32_t>(TargetColor);
    params.mode = FloodFillMode == ffmFillUntilColor ? kernels::FillMode::until_colour : kernels::FillMode::till_colour;
    params.tolerance = Tolerance;
    params.preserve_alpha = PreserveAlpha != VARIANT_FALSE;
    params.halftones = ProcessHalftones != VARIANT_FALSE;

    Gdiplus::Status status = Gdiplus::Ok;
    bool out_of_memory = false;
    try {
      if (!server::guarded_call(kernels::flood_fill_argb32, lock.view(), params)) status = Gdiplus::GenericError;
    } catch (const std::bad_alloc&) {
      out_of_memory = true;  // the fill's own work list
    }
    const Gdiplus::Status unlocked = lock.unlock();
    if (out_of_memory) return gdiplus_failure(Gdiplus::OutOfMemory, E_OUTOFMEMORY);
    if (status == Gdiplus::Ok) status = unlocked;
    if (status != Gdiplus::Ok) return gdiplus_failure(status);
    return S_OK;
  });
}

HRESULT RasterObject::GetHistogram(HistogramTypes HistogramType, SAFEARRAY** Histogram) {
  if (!Histogram) return E_POINTER;
  if (!m_bitmap) return report(msg::kHistogramNoImage, E_FAIL);
  return server::com_call([&] {
    if (*Histogram) {
      const HRESULT hr = SafeArrayDestroy(*Histogram);
      if (FAILED(hr)) return hr;
      *Histogram = nullptr;
    }
    *Histogram = SafeArrayCreateVector(VT_I4, 0, 256);
    if (!*Histogram) return report(msg::kHistogramNoArray, E_OUTOFMEMORY);

    HRESULT hr = S_OK;
    SafeArrayAccess access(*Histogram, hr);
    if (FAILED(hr)) return hr;
    int32_t* bins = static_cast<int32_t*>(access.data());
    std::memset(bins, 0, 256 * sizeof(int32_t));

    BitmapLock lock(m_bitmap, whole_rect(m_bitmap), Gdiplus::ImageLockModeRead);
    // The lock's result decides nothing in the original order of things; an image that cannot be
    // read is reported as GDI+'s failure rather than counted from a buffer that is not there.
    if (!lock.locked()) return report(GdiplusErrorMessage(lock.status(), msg::kObjectName, u"GetHistogram", 0), E_FAIL);

    // The kind is checked here, where the method's steps put the check, so that a false from the
    // guarded walk can only mean a fault.
    if (HistogramType < htLightness || HistogramType > htBlue) return report(msg::kHistogramBadType, E_INVALIDARG);
    const bool counted = server::guarded_call(kernels::histogram_argb32, lock.view(), HistogramType, bins);
    lock.unlock();
    if (!counted) return report(GdiplusErrorMessage(Gdiplus::GenericError, msg::kObjectName, u"GetHistogram", 0), E_FAIL);
    return access.unaccess();
  });
}

HRESULT RasterObject::DrawOnHDC(LONG hDC, LONG TopX, LONG TopY, LONG Width, LONG Height,
                                ResizeQualityTypes ResizeQuality) {
  if (!m_bitmap) return report(msg::kDrawOnHdcNoImage, E_FAIL);
  return server::com_call([&] {
    Gdiplus::Graphics surface(static_cast<HDC>(hDC));
    if (surface.GetLastStatus() != Gdiplus::Ok) return report(msg::kCannotDrawOnDc, E_FAIL);
    surface.SetInterpolationMode(transforms::interpolation_for(ResizeQuality));
    surface.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    const Gdiplus::Status drawn = surface.DrawImage(
        m_bitmap, Gdiplus::RectF(Gdiplus::REAL(TopX), Gdiplus::REAL(TopY), Gdiplus::REAL(Width), Gdiplus::REAL(Height)),
        0, 0, Gdiplus::REAL(m_bitmap->GetWidth()), Gdiplus::REAL(m_bitmap->GetHeight()), Gdiplus::UnitPixel);
    if (drawn != Gdiplus::Ok) return report(GdiplusErrorMessage(drawn, msg::kObjectName, u"DrawOnHDC", 0), E_FAIL);
    return S_OK;
  });
}

}  // namespace zx::raster
