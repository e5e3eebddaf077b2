// Zentarix GDI+ layer — MIT licence.
// Checks and small helpers the encoder adapters share: accepted formats, palettes, resolution.
#pragma once
#include <cmath>
#include <cstdint>
#include <span>

#include "codec.h"

namespace zx::gdip::encoders {

// The single image a single-frame encoder writes (the first frame), with its size checked.
inline const EncodeImage* first_frame(std::span<const EncodeImage> frames) {
  if (frames.empty()) return nullptr;
  const EncodeImage& f = frames[0];
  if (f.pixels.scan0 == nullptr || f.pixels.width <= 0 || f.pixels.height <= 0) return nullptr;
  const long long minRow = (static_cast<long long>(f.pixels.width) * Gdiplus::GetPixelFormatSize(f.pixels.format) + 7) / 8;
  const long long stride = f.pixels.stride < 0 ? -static_cast<long long>(f.pixels.stride) : f.pixels.stride;
  if (stride < minRow) return nullptr;
  return &f;
}

// Palette entries usable for an indexed format: at most 2^bpp, and at least one. Zero when the
// image has no palette.
inline UINT usable_palette_count(const EncodeImage& img) {
  if (img.palette == nullptr || img.palette->Count == 0) return 0;
  const UINT limit = 1u << Gdiplus::GetPixelFormatSize(img.pixels.format);
  return img.palette->Count < limit ? img.palette->Count : limit;
}

// Resolution in pixels per metre, as BMP and PNG store it. Nonsense (non-finite, negative, huge)
// becomes 0, "unknown", rather than a wrapped integer.
inline uint32_t dpi_to_ppm(float dpi) {
  if (!std::isfinite(dpi) || dpi <= 0.0f) return 0;
  const double ppm = std::round(static_cast<double>(dpi) / 0.0254);
  return ppm > 2147483647.0 ? 0 : static_cast<uint32_t>(ppm);
}

// Every frame through a frame writer, then the whole file: how a multi-frame encoder serves the
// single call that hands it all its frames at once.
inline Gdiplus::Status write_frames(FrameWriter& writer, std::span<const EncodeImage> frames,
                                    const EncodeOptions& options, std::vector<uint8_t>& out) {
  if (frames.empty()) return Gdiplus::InvalidParameter;
  for (const EncodeImage& frame : frames)
    if (Gdiplus::Status st = writer.add(frame, options); st != Gdiplus::Ok) return st;
  return writer.finish(out);
}

}  // namespace zx::gdip::encoders
