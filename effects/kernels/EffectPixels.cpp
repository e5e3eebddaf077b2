// Zentarix — MIT licence.
// The image seed of the random effects.
#include "EffectPixels.h"

namespace zx::effects::kernels {

uint64_t image_seed(ConstPixelView src) {
  uint64_t h = 0xCBF29CE484222325ull ^ (uint64_t(uint32_t(src.width)) << 32 | uint32_t(src.height));
  const int stepY = std::max(1, src.height / 64), stepX = std::max(1, src.width / 64);
  for (int y = 0; y < src.height; y += stepY) {
    const uint32_t* row = src.row(y);
    for (int x = 0; x < src.width; x += stepX) h = (h ^ row[x]) * 0x100000001B3ull;
  }
  return h;
}

}  // namespace zx::effects::kernels
