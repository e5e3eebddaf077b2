// Zentarix — MIT licence.
// Test helpers for the decoders: a plain-memory DecodeSink and decoding through the registry.
#pragma once
#include <codec.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zx::gdip::test {

class VectorSink final : public DecodeSink {
 public:
  Gdiplus::Status allocate(int width, int height, Gdiplus::PixelFormat format, PixelView* out) override {
    ++allocations;
    const uint64_t bytes = uint64_t(width) * uint64_t(height) * (Gdiplus::GetPixelFormatSize(format) / 8);
    if (width <= 0 || height <= 0 || bytes > (uint64_t{1} << 30)) return Gdiplus::OutOfMemory;
    this->width = width;
    this->height = height;
    this->format = format;
    stride = static_cast<ptrdiff_t>(width) * (Gdiplus::GetPixelFormatSize(format) / 8);
    // A sentinel fill shows rows a decoder forgot to write.
    pixels.assign(static_cast<size_t>(bytes), 0xA5);
    *out = PixelView{pixels.data(), width, height, stride, format};
    return Gdiplus::Ok;
  }
  Gdiplus::Status set_palette(const Gdiplus::ARGB* entries, UINT count, UINT) override {
    palette.assign(entries, entries + count);
    return Gdiplus::Ok;
  }
  uint32_t at(int x, int y) const {
    uint32_t v;
    std::memcpy(&v, pixels.data() + y * stride + 4 * x, 4);
    return v;
  }
  bool any_translucent() const {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if ((at(x, y) >> 24) != 0xFF) return true;
    return false;
  }

  std::vector<uint8_t> pixels;
  std::vector<Gdiplus::ARGB> palette;
  int width = 0, height = 0, allocations = 0;
  ptrdiff_t stride = 0;
  Gdiplus::PixelFormat format = Gdiplus::PixelFormatUndefined;
};

inline std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string corpus(const std::string& relative) { return std::string(ZX_CORPUS_DIR) + "/" + relative; }

// The registry entry whose signature matches, or null.
inline const CodecEntry* codec_for(std::span<const uint8_t> data) {
  for (const CodecEntry& e : codecs())
    if (e.sniff && e.sniff(data)) return &e;
  return nullptr;
}

struct DecodeResult {
  Gdiplus::Status status = Gdiplus::GenericError;
  DecodedInfo info;
  VectorSink sink;
};

inline void decode_into(std::span<const uint8_t> data, DecodeResult& r, bool color_management = true, UINT frame = 0) {
  const CodecEntry* codec = codec_for(data);
  ASSERT_NE(codec, nullptr) << "no decoder recognises the data";
  ASSERT_NE(codec->decode, nullptr);
  DecodeOptions options;
  options.useEmbeddedColorManagement = color_management;
  options.frameIndex = frame;
  r.status = codec->decode(data, options, r.sink, r.info);
}

inline bool same_guid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

}  // namespace zx::gdip::test
