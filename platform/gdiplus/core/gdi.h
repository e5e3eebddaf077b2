// Zentarix GDI+ layer — MIT licence.
// The GDI handle table shared by the GDI calls, the GDI+ bridges and OLE pictures.
#pragma once
#include <memory>
#include <mutex>
#include <vector>

#include "image.h"
#include "wingdi.h"

namespace zx::gdip {

// Every bitmap handle holds B, G, R, A bytes per pixel; a DIB section may keep its rows bottom-up or
// in 24 bits, in the layout its creator asked for.
struct GdiBitmap {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 32;  // 24 or 32
  ptrdiff_t stride = 0;
  bool bottomUp = false;
  bool dibSection = false;
  bool stock = false;
  PixelBlock bits;
  HDC selectedIn = 0;
  uint8_t* row(int y) const { return bits.get() + (bottomUp ? height - 1 - y : y) * stride; }
};

struct GdiPalette {
  std::vector<PALETTEENTRY> entries;
  // Built with the palette, so lookups never scan it. The searcher fills a cache as it answers,
  // and palettes are shared between threads: lookups take the palette's lock.
  std::unique_ptr<PaletteIndexer> index;
  std::mutex lock;
};

struct GdiDC {
  HBITMAP bitmap = 0;
  HPALETTE palette = 0;
};

std::shared_ptr<GdiBitmap> gdi_bitmap(HBITMAP h);
std::shared_ptr<GdiPalette> gdi_palette(HPALETTE h);
// A new 32-bpp top-down bitmap handle with zeroed pixels; 0 when it cannot be held.
HBITMAP gdi_create_bitmap(int width, int height);
// The bitmap selected into a memory DC (the stock 1x1 one until another is selected); null when the
// handle is not a DC. Graphics on a DC draw here.
std::shared_ptr<GdiBitmap> dc_bitmap(HDC hdc);

}  // namespace zx::gdip
