// Zentarix — MIT licence.
// The rank filter: square windows clipped to the image, ranks by premultiplied intensity.
#include "RankFilter.h"

#include <algorithm>
#include <vector>

namespace zx::transforms::kernels {
namespace {

uint64_t channel_key(uint32_t p, int c) {
  const uint32_t a = p >> 24;
  return c == 3 ? a : a * ((p >> (8 * c)) & 0xFF);
}

// For each i in [0, n), the index of the smallest (or largest) score in [i - r, i + r] clipped to
// [0, n), with a queue of candidates: each index enters and leaves once, so the cost does not
// depend on r. Scores must be distinct. `queue` holds n entries; no index enters twice, so it
// never wraps.
void sliding_extreme(const std::vector<uint64_t>& score, int r, bool largest, std::vector<uint32_t>& best,
                     std::vector<uint32_t>& queue) {
  const int n = static_cast<int>(score.size());
  size_t head = 0, tail = 0;
  int next = 0;
  for (int i = 0; i < n; ++i) {
    for (; next < n && next <= i + r; ++next) {
      while (tail > head && (largest ? score[queue[tail - 1]] < score[next] : score[queue[tail - 1]] > score[next])) --tail;
      queue[tail++] = static_cast<uint32_t>(next);
    }
    while (static_cast<int>(queue[head]) < i - r) ++head;
    best[i] = queue[head];
  }
}

// The minimum or maximum of a square window is the extreme of the row extremes, and ranking by
// (key, row, column) is ranking in window order, so two one-dimensional passes pick the same pixel
// as ranking the whole window; the work per pixel no longer grows with the radius.
void extreme_filter(int r, bool largest, int channels, ConstPixelView src, PixelView dst) {
  const int W = src.width, H = src.height;
  std::vector<uint32_t> column_of(size_t(W) * H);  // the row extreme's column, per channel pass
  std::vector<uint64_t> score;
  std::vector<uint32_t> best, queue(std::max(W, H));
  for (int c = 0; c < channels; ++c) {
    score.resize(W);
    best.resize(W);
    for (int y = 0; y < H; ++y) {
      const uint32_t* row = src.row(y);
      for (int x = 0; x < W; ++x) score[x] = channel_key(row[x], c) << 32 | uint32_t(x);
      sliding_extreme(score, r, largest, best, queue);
      std::copy(best.begin(), best.end(), column_of.begin() + ptrdiff_t(y) * W);
    }
    score.resize(H);
    best.resize(H);
    for (int x = 0; x < W; ++x) {
      for (int y = 0; y < H; ++y) score[y] = channel_key(src.row(y)[column_of[size_t(y) * W + x]], c) << 32 | uint32_t(y);
      sliding_extreme(score, r, largest, best, queue);
      for (int y = 0; y < H; ++y) {
        const uint32_t p = src.row(best[y])[column_of[size_t(best[y]) * W + x]];
        dst.row_bytes(y)[size_t(x) * 4 + c] = static_cast<uint8_t>(p >> (8 * c));
      }
    }
  }
}

}  // namespace

void rank_filter_argb32(int32_t radius, Rank rank, bool filter_alpha, ConstPixelView src, PixelView dst) {
  if (radius < 1) return composite_over(src, dst);
  const int W = src.width, H = src.height;
  const int r = std::min<int64_t>(radius, std::max(W, H));  // a window that covers the image covers it
  const int channels = filter_alpha ? 4 : 3;
  if (rank != Rank::Median) {
    // Alpha that is not filtered stays as dst's copy of the source.
    return extreme_filter(r, rank == Rank::Maximum, channels, src, dst);
  }
  const size_t side_x = static_cast<size_t>(std::min(2 * r + 1, W)), side_y = static_cast<size_t>(std::min(2 * r + 1, H));
  std::vector<uint32_t> window(side_x * side_y);
  std::vector<uint64_t> keys(window.size());
  for (int y = 0; y < H; ++y) {
    const int y0 = std::max(0, y - r), y1 = std::min(H - 1, y + r);
    for (int x = 0; x < W; ++x) {
      const int x0 = std::max(0, x - r), x1 = std::min(W - 1, x + r);
      size_t n = 0;
      for (int j = y0; j <= y1; ++j)
        for (int i = x0; i <= x1; ++i) window[n++] = src.row(j)[i];
      const size_t pick = n / 2;
      uint8_t* out = dst.row_bytes(y) + size_t(x) * 4;
      for (int c = 0; c < channels; ++c) {
        // key = (alpha * channel, or alpha) << 32 | window position: unique, so the pick is the
        // one a stable sort would put there.
        for (size_t k = 0; k < n; ++k) keys[k] = channel_key(window[k], c) << 32 | k;
        std::nth_element(keys.begin(), keys.begin() + static_cast<ptrdiff_t>(pick), keys.begin() + static_cast<ptrdiff_t>(n));
        out[c] = static_cast<uint8_t>(window[keys[pick] & 0xFFFFFFFFu] >> (8 * c));
      }
      if (!filter_alpha) out[3] = src.row_bytes(y)[size_t(x) * 4 + 3];
    }
  }
}

}  // namespace zx::transforms::kernels
