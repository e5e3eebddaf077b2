// Zentarix — MIT licence.
// The BMP reader alone, into plain memory: the decoder as an icon's DIB and as a whole file.
#include <codec.h>

#include "FuzzLimits.h"
#include "FuzzSupport.h"

namespace {

using namespace zx::gdip;

class HeapSink final : public DecodeSink {
 public:
  Gdiplus::Status allocate(int width, int height, Gdiplus::PixelFormat format, PixelView* out) override {
    if (format != Gdiplus::PixelFormat32bppARGB || width <= 0 || height <= 0) return Gdiplus::InvalidParameter;
    m_pixels.assign(size_t(width) * size_t(height), 0);
    *out = PixelView{reinterpret_cast<uint8_t*>(m_pixels.data()), width, height, ptrdiff_t(width) * 4, format};
    return Gdiplus::Ok;
  }
  Gdiplus::Status set_palette(const Gdiplus::ARGB*, UINT, UINT) override { return Gdiplus::Ok; }

 private:
  std::vector<uint32_t> m_pixels;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  if (bytes.size() >= 2) bytes[0] = 'B', bytes[1] = 'M';
  for (const CodecEntry& codec : codecs()) {
    if (codec.formatId != Gdiplus::ImageFormatBMP || !codec.decode) continue;
    HeapSink sink;
    DecodedInfo info;
    DecodeOptions options;
    options.limits = zx::fuzz::kFuzzLimits;
    codec.decode(bytes, options, sink, info);
  }
  return 0;
}
