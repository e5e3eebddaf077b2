// Zentarix — MIT licence.
// EncoderJPEG: the JPEG format's identity and backend behind the shared encoder wrapper.
#include "EncoderJPEG.h"

#include "EncoderObject.h"

namespace zx::encoding {
namespace {

namespace m = messages;

constexpr const OLECHAR* kNames[] = {u"JPEG", u"JPE", u"JPG"};

constexpr OptionRead kReads[] = {
    {Option::JPEGQuality, m::kJpegQuality},
    {Option::HorizontalResolution, m::kJpegHorizontalResolution},
    {Option::BackgroundColor, m::kJpegBackground},
    {Option::VerticalResolution, m::kJpegVerticalResolution},
};

void set_defaults(EncoderOptions& o) { o.jpegQuality = 75; }

// The 32 bpp working bitmap goes to the codec as it is; without a background its alpha is left to
// the codec, which ignores it.
HRESULT encode(const EncoderIdentity& who, const EncoderOptions& options, const EncodeRequest& request) {
  HRESULT hr = S_OK;
  std::unique_ptr<Gdiplus::Bitmap> working = prepare_working_bitmap(who, options, request, false, hr);
  if (!working) return hr;
  // A refused resolution is not reported by itself: the file then carries the bitmap's own.
  working->SetResolution(options.horizontalResolution, options.verticalResolution);

  const Gdiplus::Status saved = save_jpeg(*working, options.jpegQuality, request.output);
  if (saved != Gdiplus::Ok) return report_gdiplus_failure(who, saved);
  return S_OK;
}

constexpr EncoderFormat kFormat{{&CLSID_EncoderJPEG, &IID_IEncoderJPEG, u"EncoderJPEG"}, 0, kNames, &set_defaults,
                                kReads, &encode};

}  // namespace

HRESULT create_encoder_jpeg(IUnknown* outer, REFIID riid, void** ppv) noexcept {
  return server::create_instance<EncoderObject<IEncoderJPEG, &kFormat>>(outer, riid, ppv);
}

}  // namespace zx::encoding
