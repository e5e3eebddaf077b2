// Zentarix — MIT licence.
// RasterObject::DrawOnRaster: this image drawn onto another raster object's image in place.
#include "CombineBitmaps.h"
#include "ErrorReporting.h"
#include "RasterMessages.h"
#include "RasterObject.h"

namespace zx::raster {
namespace msg = messages;

HRESULT RasterObject::DrawOnRaster(IRasterObject* DestRaster, LONG X, LONG Y, CombineModes CombineMode,
                                   BYTE opacity) {
  // The two empty-image reports name no interface and no code of their own (so DISP_E_EXCEPTION).
  if (!m_bitmap) return server::ReportError(CLSID_RasterObject, msg::kDrawNoImage, GUID_NULL);
  // A missing destination is refused like a missing stream in saving: E_INVALIDARG, no record.
  if (!DestRaster) return E_INVALIDARG;
  return server::com_call([&] {
    ComPtr<IRasterObjectInternal> internal;
    HRESULT hr = DestRaster->QueryInterface(IID_IRasterObjectInternal, internal.put_void());
    if (FAILED(hr)) return hr;
    LONG* data = nullptr;
    hr = internal->GetDataPointer(&data);
    if (FAILED(hr)) return hr;
    Gdiplus::Bitmap* destination = reinterpret_cast<Gdiplus::Bitmap*>(data);
    if (!destination) return server::ReportError(CLSID_RasterObject, msg::kDrawDestinationEmpty, GUID_NULL);
    if (CombineMode < cmAlphaBlend || CombineMode > cmDissolve) return report(msg::kUnsupportedCombineMode, E_FAIL);

    const CombinePlacement placement{opacity, X, Y};
    const Gdiplus::Status status = CombineBitmaps(m_bitmap, &destination, placement, CombineMode);
    if (status == Gdiplus::Ok) return S_OK;
    return report(std::u16string(msg::kCombineFailedPrefix[CombineMode]) +
                      server::GdiplusErrorMessage(status, msg::kCollectionObjectName, msg::kCombineMethodName, 0),
                  E_FAIL);
  });
}

}  // namespace zx::raster
