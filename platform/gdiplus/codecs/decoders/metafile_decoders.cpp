// Zentarix GDI+ layer — MIT licence.
// Metafile recognisers (WMF, EMF): their raw formats and frame sizes, without pixels.
#include <cmath>

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

// EMF playback comes later. The size is worked out so the decode reports what it found (rclFrame,
// in 0.01 mm, at the reference device's resolution), but with no pixels to give it must fail:
// callers never receive an empty picture in its place.
Status decode_emf(std::span<const uint8_t> data, const DecodeOptions&, DecodeSink&, DecodedInfo& info) {
  info.rawFormat = Gdiplus::ImageFormatEMF;
  if (!sniff_emf(data) || data.size() < 88) return Gdiplus::GenericError;
  const uint8_t* p = data.data();
  auto i32 = [&](size_t at) { return static_cast<int32_t>(le32(p + at)); };
  const double frame_w = static_cast<double>(i32(32)) - i32(24), frame_h = static_cast<double>(i32(36)) - i32(28);
  const double dev_px_x = i32(72), dev_px_y = i32(76), dev_mm_x = i32(80), dev_mm_y = i32(84);
  if (dev_px_x > 0 && dev_px_y > 0 && dev_mm_x > 0 && dev_mm_y > 0) {
    info.dpiX = static_cast<float>(dev_px_x * 25.4 / dev_mm_x);
    info.dpiY = static_cast<float>(dev_px_y * 25.4 / dev_mm_y);
    info.width = static_cast<int>(std::lround(std::abs(frame_w) / 100.0 * dev_px_x / dev_mm_x));
    info.height = static_cast<int>(std::lround(std::abs(frame_h) / 100.0 * dev_px_y / dev_mm_y));
  }
  return Gdiplus::GenericError;
}

}  // namespace

ZX_REGISTER_CODEC(wmf_decoder, CodecEntry{Gdiplus::ImageFormatWMF, GUID_NULL, u"Built-in WMF Codec",
                                          u"image/x-wmf", u"*.WMF", sniff_wmf, decode_wmf, nullptr});
ZX_REGISTER_CODEC(emf_decoder, CodecEntry{Gdiplus::ImageFormatEMF, GUID_NULL, u"Built-in EMF Codec",
                                          u"image/x-emf", u"*.EMF", sniff_emf, decode_emf, nullptr});

}  // namespace zx::gdip::decoders
