// Zentarix GDI+ layer — MIT licence.
// The icon decoder: the first entry of an .ico file, a DIB with its AND mask or a PNG.
#include <algorithm>

#include "decode_common.h"

namespace zx::gdip::decoders {
namespace {

using Gdiplus::Status;

bool sniff_icon(std::span<const uint8_t> head) {
  return head.size() >= 6 && le16(head.data()) == 0 && le16(head.data() + 2) == 1 && le16(head.data() + 4) > 0;
}

// GDI+ shows an icon file's first entry, whatever sizes the others have.
Status decode_icon(std::span<const uint8_t> data, const DecodeOptions& options, DecodeSink& sink, DecodedInfo& info) {
  info.rawFormat = Gdiplus::ImageFormatIcon;
  if (!sniff_icon(data)) return Gdiplus::GenericError;
  const uint16_t count = le16(data.data() + 4);
  if (data.size() < 6 + 16 * size_t{count}) return Gdiplus::GenericError;
  info.frameCount = count;
  const uint8_t* entry = data.data() + 6;
  const size_t size = le32(entry + 8), offset = le32(entry + 12);
  if (offset >= data.size() || size == 0) return Gdiplus::GenericError;
  const std::span<const uint8_t> image = data.subspan(offset, std::min(size, data.size() - offset));
  static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G'};
  if (starts_with(image, kPng, sizeof kPng)) return decode_png_pixels(image, options, sink, info);
  return decode_dib_pixels(image, true, options, sink, info);
}

}  // namespace

ZX_REGISTER_CODEC(icon_decoder, CodecEntry{Gdiplus::ImageFormatIcon, GUID_NULL, u"Built-in ICO Codec",
                                           u"image/x-icon", u"*.ICO", sniff_icon, decode_icon, nullptr});

}  // namespace zx::gdip::decoders
