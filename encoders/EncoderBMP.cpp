// Zentarix — MIT licence.
// EncoderBMP: the BMP format's identity and backend behind the shared encoder wrapper.
#include "EncoderBMP.h"

#include "EncoderObject.h"

namespace zx::encoding {
namespace {

namespace m = messages;

constexpr const OLECHAR* kNames[] = {u"BMP"};

constexpr OptionRead kReads[] = {
    {Option::BackgroundColor, m::kBmpBackgroundColor},
    {Option::ColorDepth, m::kBmpColorDepth},
    {Option::PaletteType, m::kBmpPaletteType},
    {Option::PaletteColorsNumber, m::kBmpPaletteColorsNumber},
    {Option::HorizontalResolution, m::kBmpHorizontalResolution},
    {Option::VerticalResolution, m::kBmpVerticalResolution},
    {Option::IsInverted, m::kBmpIsInverted},
    {Option::DitherType, m::kBmpBinarizeMethod},
    {Option::Threshold, m::kBmpThreshold},
};

void set_defaults(EncoderOptions& o) {
  o.colorDepth = 24;
  o.paletteType = 0;
  o.paletteColorsNumber = 216;
}

// BMP has no transparency: the 8 bpp conversion never marks palette entries.
HRESULT encode(const EncoderIdentity& who, const EncoderOptions& options, const EncodeRequest& request) {
  return encode_through_depth_conversion(who, options, request, {u"image/bmp", false});
}

constexpr EncoderFormat kFormat{{&CLSID_EncoderBMP, &IID_IEncoderBMP, u"EncoderBMP"}, 1, kNames, &set_defaults, kReads,
                                &encode};

}  // namespace

HRESULT create_encoder_bmp(IUnknown* outer, REFIID riid, void** ppv) noexcept {
  return server::create_instance<EncoderObject<IEncoderBMP, &kFormat>>(outer, riid, ppv);
}

}  // namespace zx::encoding
