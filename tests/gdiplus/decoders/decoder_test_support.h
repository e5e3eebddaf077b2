// Zentarix — MIT licence.
// Test helpers for the decoders: a plain-memory DecodeSink and decoding through the registry.
#pragma once
#include <codec.h>
#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
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

// Writes a decoded 32 bpp ARGB picture as a PNG (to look at what a test saw).
inline void write_png(const VectorSink& sink, const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, png_uint_32(sink.width), png_uint_32(sink.height), 8, PNG_COLOR_TYPE_RGBA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  for (int y = 0; y < sink.height; ++y) png_write_row(png, sink.pixels.data() + y * sink.stride);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

// An EMF written record by record: a header for a picture of width x height pixels on a 100 dpi
// reference device (1000 pixels on 254 mm), the records as given, and EMR_EOF.
class EmfWriter {
 public:
  EmfWriter(int width, int height, uint16_t handles = 8) {
    words({1, 88, 0, 0, width - 1, height - 1, 0, 0, int32_t(width * 25.4 + 0.5), int32_t(height * 25.4 + 0.5),
           0x464D4520, 0x10000, 0, 0, handles, 0, 0, 0, 1000, 1000, 254, 254});
  }
  // One record of 32-bit fields.
  EmfWriter& record(uint32_t type, std::initializer_list<int32_t> fields) {
    return record(type, std::vector<int32_t>(fields));
  }
  EmfWriter& record(uint32_t type, const std::vector<int32_t>& fields) {
    std::vector<uint8_t> body(fields.size() * 4);
    if (!body.empty()) std::memcpy(body.data(), fields.data(), body.size());
    return raw(type, body);
  }
  EmfWriter& raw(uint32_t type, const std::vector<uint8_t>& body) {
    words({int32_t(type), int32_t(8 + ((body.size() + 3) & ~size_t{3}))});
    m_bytes.insert(m_bytes.end(), body.begin(), body.end());
    m_bytes.resize((m_bytes.size() + 3) & ~size_t{3});
    ++m_records;
    return *this;
  }
  std::vector<uint8_t> bytes() {
    std::vector<uint8_t> out = m_bytes;
    const int32_t eof[] = {14, 20, 0, 16, 20}, size = int32_t(out.size() + 20), records = m_records + 1;
    out.insert(out.end(), reinterpret_cast<const uint8_t*>(eof), reinterpret_cast<const uint8_t*>(eof) + 20);
    std::memcpy(out.data() + 48, &size, 4);
    std::memcpy(out.data() + 52, &records, 4);
    return out;
  }

 private:
  void words(std::initializer_list<int32_t> values) {
    for (int32_t v : values) {
      const auto* p = reinterpret_cast<const uint8_t*>(&v);
      m_bytes.insert(m_bytes.end(), p, p + 4);
    }
  }
  std::vector<uint8_t> m_bytes;
  int32_t m_records = 1;
};

}  // namespace zx::gdip::test
