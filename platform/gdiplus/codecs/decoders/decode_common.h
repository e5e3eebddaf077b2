// Zentarix GDI+ layer — MIT licence.
// Helpers shared by the decoder adapters: checked allocation, byte readers, resolution units.
#pragma once
#include <cstdint>
#include <cstring>
#include <span>

#include "../codec.h"

namespace zx::gdip::decoders {

// Every decoder produces 32bppARGB with straight alpha (opaque formats write 0xFF), so the core's
// conversion into its working bitmap is a plain copy.
inline constexpr Gdiplus::PixelFormat kDecodedFormat = Gdiplus::PixelFormat32bppARGB;

// True when width x height pixels fit the decode's pixel limit (and a 32bppARGB stride fits an int).
// A header may declare any size; asking this before anything of that size is allocated keeps a
// 1 kB "decompression bomb" from reserving gigabytes.
inline bool pixels_allowed(int64_t width, int64_t height, const ZX_GDIP_RESOURCE_LIMITS& limits) {
  if (width <= 0 || height <= 0 || width > 65535 * 4 || height > 65535 * 4) return false;
  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  return pixels <= limits.maxPixels && pixels * 4 <= uint64_t{INT32_MAX};
}

// Refuses empty images and those past the pixel limit, then lets the sink allocate.
inline Gdiplus::Status allocate_argb(DecodeSink& sink, int64_t width, int64_t height,
                                     const ZX_GDIP_RESOURCE_LIMITS& limits, PixelView* out) {
  if (width <= 0 || height <= 0) return Gdiplus::InvalidParameter;
  if (!pixels_allowed(width, height, limits)) return Gdiplus::OutOfMemory;
  Gdiplus::Status st = sink.allocate(static_cast<int>(width), static_cast<int>(height), kDecodedFormat, out);
  if (st != Gdiplus::Ok) return st;
  if (out->scan0 == nullptr || out->width != width || out->height != height) return Gdiplus::GenericError;
  return Gdiplus::Ok;
}

// Metric resolutions reach GDI+ callers as dots per inch, unrounded.
inline float dpi_from_pixels_per_metre(double ppm) { return static_cast<float>(ppm * 0.0254); }
inline float dpi_from_pixels_per_cm(double ppcm) { return static_cast<float>(ppcm * 2.54); }

inline uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
inline uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         static_cast<uint32_t>(p[3]);
}

inline bool starts_with(std::span<const uint8_t> data, const void* sig, size_t n) {
  return data.size() >= n && std::memcmp(data.data(), sig, n) == 0;
}

// Entry points shared between adapters: an icon holds a PNG or a headerless BMP (DIB).
Gdiplus::Status decode_png_pixels(std::span<const uint8_t> data, const DecodeOptions& options, DecodeSink& sink,
                                  DecodedInfo& info);
// Decodes a DIB (BITMAPINFOHEADER onwards). icon_mask: the height counts the colour and AND-mask
// bitmaps together and the AND mask supplies transparency where the colours carry no alpha.
// bits_at: where the pixels start, when not right after the colour table (a metafile record keeps
// them at an offset of their own).
Gdiplus::Status decode_dib_pixels(std::span<const uint8_t> dib, bool icon_mask, const DecodeOptions& options,
                                  DecodeSink& sink, DecodedInfo& info, size_t bits_at = 0);

}  // namespace zx::gdip::decoders
