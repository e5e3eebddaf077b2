// Zentarix — MIT licence.
// EncoderWBMP: wireless bitmaps of type 0 (1 bpp, uncompressed), binarized and written by the encoder.
#include "EncoderWBMP.h"

#include <vector>

#include "EncoderObject.h"
#include "colour_reduction.h"

namespace zx::encoding {
namespace {

namespace m = messages;

constexpr const OLECHAR* kNames[] = {u"WBMP"};

// The resolutions are read and checked like everywhere else, though a WBMP file has no place for them.
constexpr OptionRead kReads[] = {
    {Option::HorizontalResolution, m::kWbmpHorizontalResolution},
    {Option::VerticalResolution, m::kWbmpVerticalResolution},
    {Option::IsInverted, m::kWbmpIsInverted},
    {Option::DitherType, m::kWbmpBinarizeMethod},
    {Option::Threshold, m::kWbmpThreshold},
};

void set_defaults(EncoderOptions& o) {
  o.threshold = 128;
  o.ditherType = 0;
  o.isInverted = 0;
}

// A multi-byte integer: 7-bit groups, most significant first, bit 7 set on all but the last.
void append_multibyte(std::vector<uint8_t>& out, uint32_t value) {
  int shift = 28;
  while (shift > 0 && (value >> shift) == 0) shift -= 7;
  for (; shift > 0; shift -= 7) out.push_back(uint8_t(0x80 | ((value >> shift) & 0x7F)));
  out.push_back(uint8_t(value & 0x7F));
}

// Alpha is not looked at: a transparent pixel is judged by its colour. The pixel format is not
// examined either (the saving side always hands 32 bpp ARGB rows).
HRESULT encode(const EncoderIdentity& who, const EncoderOptions& options, const EncodeRequest& request) {
  if (!request.pixels || request.width <= 0 || request.height <= 0)
    return report_gdiplus_failure(who, Gdiplus::InvalidParameter);
  const size_t rowBytes = bilevel_row_bytes(request.width, 8);
  std::vector<uint8_t> file;
  file.reserve(12 + rowBytes * size_t(request.height));
  file.push_back(0x00);  // type 0
  file.push_back(0x00);  // fixed header
  append_multibyte(file, uint32_t(request.width));
  append_multibyte(file, uint32_t(request.height));
  const size_t header = file.size();
  file.resize(header + rowBytes * size_t(request.height));

  const ConstPixelView source{request.pixels, request.width, request.height, ptrdiff_t{request.width} * 4};
  const PixelView rows{file.data() + header, request.width, request.height, ptrdiff_t(rowBytes)};
  const ReduceStatus status = binarize_argb32(source, rows, options.threshold, static_cast<DitherMode>(options.ditherType),
                                              options.isInverted != 0);
  if (status != ReduceStatus::Ok) return report_gdiplus_failure(who, static_cast<Gdiplus::Status>(status));
  return write_whole(request.output, file);
}

constexpr EncoderFormat kFormat{{&CLSID_EncoderWBMP, &IID_IEncoderWBMP, u"EncoderWBMP"}, 6, kNames, &set_defaults,
                                kReads, &encode};

}  // namespace

HRESULT create_encoder_wbmp(IUnknown* outer, REFIID riid, void** ppv) noexcept {
  return server::create_instance<EncoderObject<IEncoderWBMP, &kFormat>>(outer, riid, ppv);
}

}  // namespace zx::encoding
