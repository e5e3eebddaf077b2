// Zentarix — MIT licence.
// EncoderPNG: the PNG format's identity and backend behind the shared encoder wrapper.
#include "EncoderPNG.h"

#include "EncoderObject.h"

namespace zx::encoding {
namespace {

namespace m = messages;

constexpr const OLECHAR* kNames[] = {u"PNG"};

constexpr OptionRead kReads[] = {
    {Option::ColorDepth, m::kPngColorDepth},
    {Option::PaletteType, m::kPngPaletteType},
    {Option::PaletteColorsNumber, m::kPngPaletteColorsNumber},
    {Option::IsTransparent, m::kPngIsTransparent},
    {Option::BackgroundColor, m::kPngBackgroundColor},
    {Option::HorizontalResolution, m::kPngHorizontalResolution},
    {Option::VerticalResolution, m::kPngVerticalResolution},
    {Option::IsInverted, m::kPngIsInverted},
    {Option::DitherType, m::kPngBinarizeMethod},
    {Option::Threshold, m::kPngThreshold},
};

void set_defaults(EncoderOptions& o) {
  o.colorDepth = 32;
  o.paletteType = 0;
  o.paletteColorsNumber = 256;
  o.isTransparent = 1;
}

// In 8 bpp the palette entries of (nearly) transparent pixels become transparent when
// IsTransparent holds.
HRESULT encode(const EncoderIdentity& who, const EncoderOptions& options, const EncodeRequest& request) {
  return encode_through_depth_conversion(who, options, request, {u"image/png", options.isTransparent != 0});
}

constexpr EncoderFormat kFormat{{&CLSID_EncoderPNG, &IID_IEncoderPNG, u"EncoderPNG"}, 2, kNames, &set_defaults, kReads,
                                &encode};

}  // namespace

HRESULT create_encoder_png(IUnknown* outer, REFIID riid, void** ppv) noexcept {
  return server::create_instance<EncoderObject<IEncoderPNG, &kFormat>>(outer, riid, ppv);
}

}  // namespace zx::encoding
