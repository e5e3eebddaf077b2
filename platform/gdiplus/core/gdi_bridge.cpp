// Zentarix GDI+ layer — MIT licence.
// Bridges between GDI+ bitmaps and GDI handles, and the halftone palette handle.
#include <cstring>

#include "gdi.h"
#include "guard.h"

using namespace Gdiplus;
using namespace zx::gdip;

namespace Gdiplus::DllExports {

// The handle is a 32-bpp top-down bitmap. Each pixel is composed over the background,
// c = (c*a + bg*(255-a)) / 255 per channel (integer division), and stored opaque.
Status WINAPI GdipCreateHBITMAPFromBitmap(GpBitmap* bitmap, HBITMAP* hbmReturn, ARGB background) {
  return guarded([&] {
    if (!bitmap || !hbmReturn) return InvalidParameter;
    const ImageData& image = *impl(bitmap);
    if (image.kind != ImageKind::Bitmap) return InvalidParameter;
    if (image.lock.active) return WrongState;
    HBITMAP h = gdi_create_bitmap(image.width, image.height);
    auto bm = gdi_bitmap(h);
    if (!bm) return OutOfMemory;
    const uint32_t bg[3] = {background & 0xFF, (background >> 8) & 0xFF, (background >> 16) & 0xFF};
    std::vector<uint32_t> row(static_cast<size_t>(image.width));
    PaletteRef palette = palette_ref(image);
    for (int y = 0; y < image.height; ++y) {
      read_argb(image.format, image.scan0 + y * image.stride, 0, image.width, palette, row.data());
      uint8_t* d = bm->row(y);
      for (int x = 0; x < image.width; ++x, d += 4) {
        uint32_t c = row[x], a = c >> 24;
        for (int k = 0; k < 3; ++k) d[k] = static_cast<uint8_t>((((c >> (8 * k)) & 0xFF) * a + bg[k] * (255 - a)) / 255);
        d[3] = 255;
      }
    }
    *hbmReturn = h;
    return Ok;
  });
}

// Our bitmap handles are never palette-based, so the palette handle is only checked: 0 or a live
// palette. The result is 32bppRGB, every pixel opaque, 96 dpi, raw format MemoryBMP.
Status WINAPI GdipCreateBitmapFromHBITMAP(HBITMAP hbm, HPALETTE hpal, GpBitmap** bitmap) {
  return guarded([&] {
    if (!bitmap) return InvalidParameter;
    auto bm = gdi_bitmap(hbm);
    if (!bm || (hpal && !gdi_palette(hpal))) return InvalidParameter;
    Status status = Ok;
    auto image = make_bitmap(bm->width, bm->height, PixelFormat32bppRGB, &status);
    if (!image) return status;
    for (int y = 0; y < bm->height; ++y) {
      const uint8_t* s = bm->row(y);
      uint8_t* d = image->scan0 + y * image->stride;
      for (int x = 0; x < bm->width; ++x, d += 4, s += bm->bitsPerPixel / 8) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = 255;
      }
    }
    *bitmap = bitmap_of(image.release());
    return Ok;
  });
}

HPALETTE WINAPI GdipCreateHalftonePalette() {
  const auto& table = halftone_palette();
  std::vector<uint8_t> block(sizeof(LOGPALETTE) + (table.size() - 1) * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(block.data());
  log->palVersion = 0x300;
  log->palNumEntries = static_cast<WORD>(table.size());
  for (size_t i = 0; i < table.size(); ++i)
    log->palPalEntry[i] = PALETTEENTRY{static_cast<BYTE>(table[i] >> 16), static_cast<BYTE>(table[i] >> 8),
                                       static_cast<BYTE>(table[i]), 0};
  return CreatePalette(log);
}

}  // namespace Gdiplus::DllExports
