// Zentarix — MIT licence.
// EncoderGIF: the GIF format's identity and backend behind the shared encoder wrapper.
#include "EncoderGIF.h"

#include "EncoderObject.h"

namespace zx::encoding {
namespace {

namespace m = messages;

constexpr const OLECHAR* kNames[] = {u"GIF"};

constexpr OptionRead kReads[] = {
    {Option::EnableLZW, m::kGifEnableLZW},
    {Option::PaletteType, m::kGifPaletteType},
    {Option::PaletteColorsNumber, m::kGifPaletteColorsNumber},
    {Option::IsTransparent, m::kGifIsTransparent},
    {Option::BackgroundColor, m::kGifBackground},
    {Option::HorizontalResolution, m::kGifHorizontalResolution},
    {Option::VerticalResolution, m::kGifVerticalResolution},
    {Option::DitherType, m::kGifDitherType},
};

// EnableLZW has no default of its own here: the saving side always puts the raster object's
// property into the store, and an encoder driven without it refuses, as with the property off.
void set_defaults(EncoderOptions& o) {
  o.paletteType = 0;
  o.paletteColorsNumber = 216;
  o.isTransparent = 1;
  o.enableLZW = 0;
}

// Always 8 bpp through the palette conversion; its transparency comes only from the palette, whose
// entries chosen for pixels of alpha 0 or 1 become transparent when IsTransparent holds.
HRESULT encode(const EncoderIdentity& who, const EncoderOptions& options, const EncodeRequest& request) {
  if (options.enableLZW == 0) return server::ReportError(*who.clsid, m::kGifLzwDisabled, *who.iid, E_FAIL);
  EncoderOptions indexed = options;
  indexed.colorDepth = 8;
  return encode_through_depth_conversion(who, indexed, request,
                                         {u"image/gif", options.isTransparent != 0, nullptr, true});
}

constexpr EncoderFormat kFormat{{&CLSID_EncoderGIF, &IID_IEncoderGIF, u"EncoderGIF"}, 4, kNames, &set_defaults, kReads,
                                &encode};

}  // namespace

HRESULT create_encoder_gif(IUnknown* outer, REFIID riid, void** ppv) noexcept {
  return server::create_instance<EncoderObject<IEncoderGIF, &kFormat>>(outer, riid, ppv);
}

}  // namespace zx::encoding
