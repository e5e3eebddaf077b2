// Zentarix GDI+ layer — MIT licence.
// Metafile decoders: WMF recognised with its frame size (no pixels), EMF played into a bitmap.
#include <cmath>

#include "../../metafile/playback.h"
#include "decode_common.h"

namespace zx::gdip::decoders {
namespace {

using Gdiplus::Status;

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;

bool sniff_wmf(std::span<const uint8_t> head) {
  if (head.size() >= 22 && le32(head.data()) == kPlaceableKey) return true;
  // A plain METAHEADER: type 1 (memory) or 2 (disk), header size 9 words, version 1.0 or 3.0.
  if (head.size() < 18) return false;
  const uint16_t type = le16(head.data()), words = le16(head.data() + 2), version = le16(head.data() + 4);
  return (type == 1 || type == 2) && words == 9 && (version == 0x0100 || version == 0x0300);
}

// A placeable file states its bounding box in logical units and how many of those make an inch,
// so the frame is reported at that resolution (its physical size is kept). A plain WMF states no
// size; its first SetWindowExt record gives the extent in logical units, at the display resolution.
Status decode_wmf(std::span<const uint8_t> data, const DecodeOptions&, DecodeSink&, DecodedInfo& info) {
  info.rawFormat = Gdiplus::ImageFormatWMF;
  if (!sniff_wmf(data)) return Gdiplus::GenericError;
  const uint8_t* p = data.data();
  if (le32(p) == kPlaceableKey) {
    const auto left = static_cast<int16_t>(le16(p + 6)), top = static_cast<int16_t>(le16(p + 8));
    const auto right = static_cast<int16_t>(le16(p + 10)), bottom = static_cast<int16_t>(le16(p + 12));
    const uint16_t inch = le16(p + 14);
    info.width = std::abs(right - left);
    info.height = std::abs(bottom - top);
    if (inch > 0) info.dpiX = info.dpiY = inch;
    return Gdiplus::Ok;
  }
  const size_t header_bytes = size_t{le16(p + 2)} * 2;
  for (size_t at = header_bytes; at + 6 <= data.size();) {
    const uint32_t words = le32(p + at);
    const uint16_t function = le16(p + at + 4);
    if (words < 3 || function == 0) break;  // malformed, or the end-of-file record
    if (function == 0x020C /* META_SETWINDOWEXT */ && at + 10 <= data.size()) {
      info.height = std::abs(static_cast<int16_t>(le16(p + at + 6)));
      info.width = std::abs(static_cast<int16_t>(le16(p + at + 8)));
      break;
    }
    if (words > (data.size() - at) / 2) break;
    at += size_t{words} * 2;
  }
  return Gdiplus::Ok;
}

bool sniff_emf(std::span<const uint8_t> head) {
  return head.size() >= 44 && le32(head.data()) == 1 && std::memcmp(head.data() + 40, " EMF", 4) == 0;
}

// The picture is the frame (rclFrame, 0.01 mm) at the reference device's resolution, drawn by
// playing the records into a 32 bpp ARGB bitmap whose pixels start transparent.
Status decode_emf(std::span<const uint8_t> data, const DecodeOptions& options, DecodeSink& sink, DecodedInfo& info) {
  info.rawFormat = Gdiplus::ImageFormatEMF;
  MetafileSize size;
  if (!sniff_emf(data) || !read_emf_size(data, &size)) return Gdiplus::GenericError;
  if (size.width > kMaxMetafileSide || size.height > kMaxMetafileSide) return Gdiplus::OutOfMemory;
  info.dpiX = size.dpiX;
  info.dpiY = size.dpiY;
  PixelView view;
  if (const Status status = allocate_argb(sink, size.width, size.height, options.limits, &view); status != Gdiplus::Ok) return status;
  for (int y = 0; y < view.height; ++y) std::memset(view.row(y), 0, size_t(view.width) * 4);
  return play_emf(data, view);
}

}  // namespace

ZX_REGISTER_CODEC(wmf_decoder, CodecEntry{Gdiplus::ImageFormatWMF, GUID_NULL, u"Built-in WMF Codec",
                                          u"image/x-wmf", u"*.WMF", sniff_wmf, decode_wmf, nullptr});
ZX_REGISTER_CODEC(emf_decoder, CodecEntry{Gdiplus::ImageFormatEMF, GUID_NULL, u"Built-in EMF Codec",
                                          u"image/x-emf", u"*.EMF", sniff_emf, decode_emf, nullptr});

}  // namespace zx::gdip::decoders
