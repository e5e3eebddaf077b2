// Zentarix — MIT licence.
// The rank filter: square windows clipped to the image, ranks by premultiplied intensity.
#include "RankFilter.h"

#include <algorithm>
#include <vector>

namespace zx::transforms::kernels {

void rank_filter_argb32(int32_t radius, Rank rank, bool filter_alpha, ConstPixelView src, PixelView dst) {
  if (radius < 1) return composite_over(src, dst);
  const int W = src.width, H = src.height;
  const int r = std::min<int64_t>(radius, std::max(W, H));  // a window that covers the image covers it
  const size_t side_x = static_cast<size_t>(std::min(2 * r + 1, W)), side_y = static_cast<size_t>(std::min(2 * r + 1, H));
  std::vector<uint32_t> window(side_x * side_y);
  std::vector<uint64_t> keys(window.size());
  const int channels = filter_alpha ? 4 : 3;
  for (int y = 0; y < H; ++y) {
    const int y0 = std::max(0, y - r), y1 = std::min(H - 1, y + r);
    for (int x = 0; x < W; ++x) {
      const int x0 = std::max(0, x - r), x1 = std::min(W - 1, x + r);
      size_t n = 0;
      for (int j = y0; j <= y1; ++j)
        for (int i = x0; i <= x1; ++i) window[n++] = src.row(j)[i];
      const size_t pick = rank == Rank::Median ? n / 2 : (rank == Rank::Minimum ? 0 : n - 1);
      uint8_t* out = dst.row_bytes(y) + size_t(x) * 4;
      for (int c = 0; c < channels; ++c) {
        // key = (alpha * channel, or alpha) << 32 | window position: unique, so the pick is the
        // one a stable sort would put there.
        for (size_t k = 0; k < n; ++k) {
          const uint32_t p = window[k], a = p >> 24;
          const uint64_t key = c == 3 ? a : a * ((p >> (8 * c)) & 0xFF);
          keys[k] = key << 32 | k;
        }
        std::nth_element(keys.begin(), keys.begin() + static_cast<ptrdiff_t>(pick), keys.begin() + static_cast<ptrdiff_t>(n));
        out[c] = static_cast<uint8_t>(window[keys[pick] & 0xFFFFFFFFu] >> (8 * c));
      }
      if (!filter_alpha) out[3] = src.row_bytes(y)[size_t(x) * 4 + 3];
    }
  }
}

}  // namespace zx::transforms::kernels
