// Zentarix — MIT licence.
// Bitmaps in any GDI+ pixel format and a call into a registered encoder, for the codec tests.
#pragma once
#include <cstring>
#include <vector>

#include "codec.h"

namespace zx::test {

// A bitmap in one pixel format with an optional palette; rows padded to 32 bits as GDI+ does.
struct TestImage {
  std::vector<uint8_t> bits;
  std::vector<uint8_t> paletteBlock;
  gdip::EncodeImage image;
  TestImage(int w, int h, Gdiplus::PixelFormat format, std::vector<uint32_t> palette = {}, float dpiX = 300,
            float dpiY = 150) {
    const ptrdiff_t stride = ptrdiff_t((size_t(w) * Gdiplus::GetPixelFormatSize(format) + 31) / 32 * 4);
    bits.assign(size_t(stride) * size_t(h), 0);
    image.pixels = gdip::PixelView{bits.data(), w, h, stride, format};
    image.dpiX = dpiX;
    image.dpiY = dpiY;
    if (!palette.empty()) {
      paletteBlock.assign(sizeof(Gdiplus::ColorPalette) + palette.size() * 4, 0);
      auto* p = reinterpret_cast<Gdiplus::ColorPalette*>(paletteBlock.data());
      p->Flags = 0;
      p->Count = UINT(palette.size());
      std::memcpy(p->Entries, palette.data(), palette.size() * 4);
      image.palette = p;
    }
  }
  uint8_t* row(int y) { return image.pixels.row(y); }
};

// The entry registered with this encoder CLSID (the adapters register at load time).
inline const gdip::CodecEntry* find_encoder(const CLSID& clsid) {
  for (const gdip::CodecEntry& e : gdip::codecs())
    if (std::memcmp(&e.encoderClsid, &clsid, sizeof(CLSID)) == 0) return &e;
  return nullptr;
}

inline Gdiplus::Status encode(const CLSID& clsid, const TestImage& img, std::vector<uint8_t>& out,
                              const gdip::EncodeOptions& options) {
  const gdip::CodecEntry* e = find_encoder(clsid);
  if (e == nullptr || e->encode == nullptr) return Gdiplus::Status::NotImplemented;
  return e->encode(std::span<const gdip::EncodeImage>(&img.image, 1), options, out);
}
inline Gdiplus::Status encode(const CLSID& clsid, const TestImage& img, std::vector<uint8_t>& out, long quality = 75) {
  gdip::EncodeOptions options;
  options.quality = quality;
  return encode(clsid, img, out, options);
}

}  // namespace zx::test
