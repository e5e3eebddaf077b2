// Zentarix — MIT licence.
// The pixels of a loaded image's working bitmap: the decoded pixels as drawn over full transparency.
#include "WorkingBitmap.h"

#include <cstring>

namespace zx::raster::kernels {
namespace {

// Four pixels at a time in a generic vector type: the compiler lowers it to the target's SIMD
// registers (SSE2 at least on x86-64) without any intrinsics. Unaligned rows are read and written
// through memcpy, which compiles to unaligned vector moves.
using Lanes = uint32_t __attribute__((vector_size(16)));
constexpr int kLanes = 4;

inline uint32_t compose_pixel(uint32_t c) { return (c >> 24) != 0 ? c : 0u; }

// In place, lanes that do not change are not written back: a decoded photo is opaque, so the pass
// over it only reads (an image's worth of memory traffic saved on every load).
template <bool InPlace>
void compose_row(const uint32_t* s, uint32_t* d, int width) {
  int x = 0;
  const Lanes alpha_zero = {0x01000000u, 0x01000000u, 0x01000000u, 0x01000000u};
  for (; x + kLanes <= width; x += kLanes) {
    Lanes c;
    std::memcpy(&c, s + x, sizeof(c));
    // All ones in the lanes whose alpha is non-zero (c >= 0x01000000), zero elsewhere.
    const Lanes keep = reinterpret_cast<Lanes>(c >= alpha_zero);
    if constexpr (InPlace) {
      const Lanes lost = c & ~keep;
      if ((lost[0] | lost[1] | lost[2] | lost[3]) == 0) continue;
    }
    c &= keep;
    std::memcpy(d + x, &c, sizeof(c));
  }
  for (; x < width; ++x) d[x] = compose_pixel(s[x]);
}

}  // namespace

void compose_over_transparent_argb32_reference(ConstPixelView src, PixelView dst) {
  for (int y = 0; y < src.height; ++y) {
    const uint32_t* s = src.row(y);
    uint32_t* d = dst.row(y);
    for (int x = 0; x < src.width; ++x) d[x] = compose_pixel(s[x]);
  }
}

void compose_over_transparent_argb32(ConstPixelView src, PixelView dst) {
  if (src.data == dst.data) {
    for (int y = 0; y < src.height; ++y) compose_row<true>(src.row(y), dst.row(y), src.width);
  } else {
    for (int y = 0; y < src.height; ++y) compose_row<false>(src.row(y), dst.row(y), src.width);
  }
}

}  // namespace zx::raster::kernels
