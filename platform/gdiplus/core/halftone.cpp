// Zentarix GDI+ layer — MIT licence.
// The library's own halftone palette, given to new 8-bpp bitmaps and by GdipCreateHalftonePalette.
#include "image.h"

namespace zx::gdip {

// 256 entries, all opaque, in this order:
//   0-15    the 16 VGA colours (black, dark red, dark green, olive, navy, purple, teal, silver, grey,
//           red, lime, yellow, blue, fuchsia, aqua, white);
//   16-231  the 6x6x6 cube of {0, 51, 102, 153, 204, 255}, red slowest and blue fastest;
//   232-255 24 extra greys 6, 16, ..., 236, chosen to repeat none of the greys above.
const std::vector<Gdiplus::ARGB>& halftone_palette() {
  static const std::vector<Gdiplus::ARGB> table = [] {
    std::vector<Gdiplus::ARGB> t = {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080,
                                    0xFF008080, 0xFFC0C0C0, 0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00,
                                    0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
    for (uint32_t r = 0; r < 6; ++r)
      for (uint32_t g = 0; g < 6; ++g)
        for (uint32_t b = 0; b < 6; ++b) t.push_back(0xFF000000u | (r * 51) << 16 | (g * 51) << 8 | (b * 51));
    for (uint32_t k = 0; k < 24; ++k) {
      uint32_t v = 6 + 10 * k;
      t.push_back(0xFF000000u | v << 16 | v << 8 | v);
    }
    return t;
  }();
  return table;
}

}  // namespace zx::gdip
