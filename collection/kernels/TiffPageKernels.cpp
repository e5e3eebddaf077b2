// Zentarix — MIT licence.
// Pixels of a TIFF page as libtiff's RGBA reader delivers them, turned into the 32 bpp ARGB layout.
#include "TiffPageKernels.h"

namespace zx::collection::kernels {

void straighten_rgba_to_argb32(raster::kernels::PixelView image) {
  for (int y = 0; y < image.height; ++y) {
    uint8_t* p = image.row_bytes(y);
    for (int x = 0; x < image.width; ++x, p += 4) {
      const uint32_t r = p[0], g = p[1], b = p[2], a = p[3];
      if (a == 255) {
        p[0] = static_cast<uint8_t>(b);
        p[2] = static_cast<uint8_t>(r);
        continue;
      }
      if (a == 0) {
        p[0] = p[1] = p[2] = 0;
        continue;
      }
      const auto straight = [a](uint32_t c) {
        const uint32_t v = (c * 255 + a / 2) / a;
        return static_cast<uint8_t>(v > 255 ? 255 : v);
      };
      p[0] = straight(b);
      p[1] = straight(g);
      p[2] = straight(r);
    }
  }
}

}  // namespace zx::collection::kernels
