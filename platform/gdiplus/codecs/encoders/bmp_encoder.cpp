// Zentarix GDI+ layer — MIT licence.
// The BMP encoder: BITMAPINFOHEADER files, bottom-up, BI_RGB, at 1, 4, 8, 24 and 32 bpp.
#include <cstring>
#include <limits>
#include <new>

#include "encode_common.h"

namespace zx::gdip::encoders {
namespace {

using Gdiplus::Status;

inline void put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// Bits per pixel written for an input format; 0 for formats this writer does not take (the core
// converts those before saving). 32 bpp ARGB keeps its alpha byte in the fourth byte, as GDI+
// does, though BI_RGB readers treat it as unused.
int bmp_bits(Gdiplus::PixelFormat f) {
  switch (f) {
    case Gdiplus::PixelFormat1bppIndexed: return 1;
    case Gdiplus::PixelFormat4bppIndexed: return 4;
    case Gdiplus::PixelFormat8bppIndexed: return 8;
    case Gdiplus::PixelFormat24bppRGB: return 24;
    case Gdiplus::PixelFormat32bppRGB:
    case Gdiplus::PixelFormat32bppARGB: return 32;
    default: return 0;
  }
}

Status encode_bmp(std::span<const EncodeImage> frames, const EncodeOptions&, std::vector<uint8_t>& out) {
  const EncodeImage* img = first_frame(frames);
  if (img == nullptr) return Status::InvalidParameter;
  const PixelView& v = img->pixels;
  const int bits = bmp_bits(v.format);
  if (bits == 0) return Status::InvalidParameter;
  const bool indexed = bits <= 8;
  const UINT colours = indexed ? usable_palette_count(*img) : 0;
  if (indexed && colours == 0) return Status::InvalidParameter;  // an indexed BMP needs its colour table

  const uint64_t rowBytes = (uint64_t(v.width) * bits + 31) / 32 * 4;
  const uint64_t imageBytes = rowBytes * uint64_t(v.height);
  const uint64_t offBits = 14 + 40 + uint64_t(colours) * 4;
  const uint64_t fileBytes = offBits + imageBytes;
  if (fileBytes > std::numeric_limits<uint32_t>::max() || v.width > std::numeric_limits<int32_t>::max())
    return Status::ValueOverflow;

  std::vector<uint8_t> file;
  try {
    file.assign(size_t(fileBytes), 0);
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory;
  }
  uint8_t* h = file.data();
  h[0] = 'B';
  h[1] = 'M';
  put32(h + 2, uint32_t(fileBytes));
  put32(h + 10, uint32_t(offBits));
  uint8_t* ih = h + 14;
  put32(ih + 0, 40);
  put32(ih + 4, uint32_t(v.width));
  put32(ih + 8, uint32_t(v.height));  // positive: bottom-up rows
  put16(ih + 12, 1);
  put16(ih + 14, uint16_t(bits));
  put32(ih + 16, 0);  // BI_RGB
  put32(ih + 20, uint32_t(imageBytes));
  put32(ih + 24, dpi_to_ppm(img->dpiX));
  put32(ih + 28, dpi_to_ppm(img->dpiY));
  put32(ih + 32, colours);
  put32(ih + 36, colours);
  uint8_t* table = ih + 40;
  for (UINT i = 0; i < colours; ++i) {
    const Gdiplus::ARGB c = img->palette->Entries[i];
    table[4 * i + 0] = uint8_t(c);
    table[4 * i + 1] = uint8_t(c >> 8);
    table[4 * i + 2] = uint8_t(c >> 16);
    table[4 * i + 3] = 0;
  }
  // Source rows already hold the BMP byte order (B, G, R[, A]; packed indices MSB first); only the
  // row order flips and the padding stays zero.
  const size_t copy = (size_t(v.width) * size_t(bits) + 7) / 8;
  uint8_t* pixels = file.data() + offBits;
  for (int y = 0; y < v.height; ++y)
    std::memcpy(pixels + size_t(v.height - 1 - y) * rowBytes, v.row(y), copy);
  // Bits past the width in the last byte of a packed row are not pixels: keep them zero.
  if (bits < 8 && (size_t(v.width) * bits) % 8 != 0) {
    const uint8_t keep = uint8_t(0xFF << (8 - (size_t(v.width) * bits) % 8));
    for (int y = 0; y < v.height; ++y) pixels[size_t(y) * rowBytes + copy - 1] &= keep;
  }
  try {
    out.insert(out.end(), file.begin(), file.end());
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory;
  }
  return Status::Ok;
}

}  // namespace

ZX_REGISTER_CODEC(bmp_encoder, CodecEntry{Gdiplus::ImageFormatBMP,
                                          {0x557CF400, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}},
                                          u"Built-in BMP Codec", u"image/bmp", u"*.BMP;*.DIB;*.RLE", nullptr, nullptr,
                                          encode_bmp});

}  // namespace zx::gdip::encoders
