// Zentarix — MIT licence.
// The frame's reports and the dual Apply over pixel arrays.
#include "TransformFrame.h"

#include "Messages.h"
#include "PixelArray.h"

namespace zx::transforms {

HRESULT report(const TransformIdentity& id, const std::u16string& text, HRESULT hr) {
  return server::ReportError(id.clsid, text, id.iid, hr);
}

HRESULT report_gdiplus(const TransformIdentity& id, Gdiplus::Status status, HRESULT hr, DWORD systemError) {
  return report(id, server::GdiplusErrorMessage(status, id.name, id.worker, systemError), hr);
}

std::u16string with_support(const OLECHAR* text) { return std::u16string(text) + server::messages::kSupportAddress; }

HRESULT apply_through_arrays(const TransformIdentity& id, const OLECHAR* toMessage, const OLECHAR* fromMessage,
                             SAFEARRAY* input, SAFEARRAY** output, WorkerRef worker) {
  Gdiplus::Bitmap* made = nullptr;
  const HRESULT converted = raster::PixelArrayToBitmap(input, &made);
  const std::unique_ptr<Gdiplus::Bitmap> source(made);
  if (FAILED(converted) || !source) return report(id, toMessage, server::ZX_E_TRANSFORM_FAILED);

  Gdiplus::Bitmap* produced = nullptr;
  const HRESULT hr = worker(source.get(), &produced);
  // A worker may also draw on the input itself and hand that back as its result.
  const std::unique_ptr<Gdiplus::Bitmap> owned(produced != source.get() ? produced : nullptr);
  Gdiplus::Bitmap* const result = produced == source.get() ? source.get() : owned.get();
  if (FAILED(hr)) return hr;
  if (!output || !result || FAILED(raster::BitmapToPixelArray(result, output)))
    return report(id, fromMessage, server::ZX_E_TRANSFORM_FAILED);
  return S_OK;
}

}  // namespace zx::transforms
