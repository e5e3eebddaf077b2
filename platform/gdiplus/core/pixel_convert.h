// Zentarix GDI+ layer — MIT licence.
// Row kernels between the GDI+ pixel formats, through straight (non-premultiplied) ARGB.
#pragma once
#include <cstdint>
#include <span>

#include "gdiplustypes.h"
#include "zx/palette_indexer.h"

namespace zx::gdip {

// ARGB <-> PARGB as GDI+ rounds: premultiply (c*a + 127) / 255, unpremultiply (c*255 + a/2) / a.
inline uint32_t premultiply(uint32_t argb) {
  uint32_t a = argb >> 24;
  if (a == 255) return argb;
  if (a == 0) return 0;
  auto ch = [&](int s) { return (((argb >> s) & 0xFF) * a + 127) / 255 << s; };
  return (a << 24) | ch(16) | ch(8) | ch(0);
}
inline uint32_t unpremultiply(uint32_t pargb) {
  uint32_t a = pargb >> 24;
  if (a == 255) return pargb;
  if (a == 0) return 0;
  auto ch = [&](int s) {
    uint32_t v = (((pargb >> s) & 0xFF) * 255 + a / 2) / a;
    return (v > 255 ? 255u : v) << s;
  };
  return (a << 24) | ch(16) | ch(8) | ch(0);
}

// Where indexed pixels come from and go to. `index` may be null when the target is not indexed.
struct PaletteRef {
  std::span<const Gdiplus::ARGB> entries;
  const PaletteIndexer* index = nullptr;
  int transparentEntry = -1;  // first fully transparent entry, or -1
};

// Reads n pixels starting at column x0 of a row as straight ARGB. Indices past the palette read as
// opaque black.
void read_argb(Gdiplus::PixelFormat format, const uint8_t* row, int x0, int n, const PaletteRef& palette,
               uint32_t* out);
// Writes n straight ARGB pixels at column x0. Indexed targets take the nearest palette entry by RGB
// (a fully transparent pixel takes the palette's first transparent entry when it has one).
void write_argb(Gdiplus::PixelFormat format, const uint32_t* in, uint8_t* row, int x0, int n,
                const PaletteRef& palette);
// Palette indices of an indexed row, read and written without colour lookup.
uint32_t read_index(Gdiplus::PixelFormat format, const uint8_t* row, int x);
void write_index(Gdiplus::PixelFormat format, uint8_t* row, int x, uint32_t index);

}  // namespace zx::gdip
