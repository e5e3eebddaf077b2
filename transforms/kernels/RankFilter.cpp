// Zentarix — MIT licence.
// The rank filter: square windows clipped to the image, ranked by premultiplied intensity. No
// window is ever sorted: the extremes are two running one-dimensional passes and the median a
// sliding histogram, so a large radius costs little (extremes) or grows linearly (median).
#include "RankFilter.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace zx::transforms::kernels {
namespace {

// The order pixels rank in, for one colour channel: by alpha x channel, then by the channel's
// value. Pixels that tie in both give the same output channel, so the rank a window holds at an
// index is a single value and no order among pixels is needed. The 65536 (alpha, channel) pairs
// fall on 65281 positions: every pair with a zero product and a given channel shares one.
struct RankOrder {
  std::array<uint16_t, 65536> position;  // [alpha << 8 | channel]
  std::array<uint8_t, 65536> channel;    // the channel at a position
};

const RankOrder& rank_order() {
  static const std::unique_ptr<RankOrder> order = [] {
    auto made = std::make_unique<RankOrder>();
    std::vector<uint32_t> ranked(65536);  // alpha x channel << 8 | channel: the order itself
    for (uint32_t a = 0; a < 256; ++a)
      for (uint32_t c = 0; c < 256; ++c) ranked[a << 8 | c] = (a * c) << 8 | c;
    std::vector<uint32_t> distinct = ranked;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    for (size_t pair = 0; pair < ranked.size(); ++pair) {
      const auto at = std::lower_bound(distinct.begin(), distinct.end(), ranked[pair]) - distinct.begin();
      made->position[pair] = static_cast<uint16_t>(at);
      made->channel[size_t(at)] = static_cast<uint8_t>(pair & 0xFF);
    }
    return made;
  }();
  return *order;
}

// A pixel's alpha and channel c as one index (alpha twice for c == 3).
inline uint32_t pair_of(uint32_t p, int c) { return (p >> 24) << 8 | ((p >> (8 * c)) & 0xFF); }

// A pixel's position in channel c's order; alpha (c == 3) ranks by itself.
inline uint16_t position_of(const RankOrder& order, uint32_t p, int c) {
  return c == 3 ? static_cast<uint16_t>(p >> 24) : order.position[pair_of(p, c)];
}

inline uint8_t channel_at(const RankOrder& order, uint32_t position, int c) {
  return c == 3 ? static_cast<uint8_t>(position) : order.channel[position];
}

// For each i in [0, n), the smallest (or largest) of in[i - r .. i + r] clipped to [0, n), with a
// queue of candidate indices (`queue` holds n): each index enters and leaves once, so the cost
// does not depend on r.
template <bool Largest>
void sliding_extreme(const uint16_t* in, int n, int r, uint16_t* out, uint32_t* queue) {
  size_t head = 0, tail = 0;
  int next = 0;
  for (int i = 0; i < n; ++i) {
    for (; next < n && next <= i + r; ++next) {
      while (tail > head && (Largest ? in[queue[tail - 1]] <= in[next] : in[queue[tail - 1]] >= in[next])) --tail;
      queue[tail++] = static_cast<uint32_t>(next);
    }
    while (static_cast<int>(queue[head]) < i - r) ++head;
    out[i] = in[queue[head]];
  }
}

// The extreme of a square window is the extreme of its rows' extremes.
template <bool Largest>
void extreme_filter(int r, int channels, ConstPixelView src, PixelView dst) {
  const RankOrder& order = rank_order();
  const int W = src.width, H = src.height;
  std::vector<uint16_t> row_extremes(size_t(W) * H), line(std::max(W, H)), extremes(std::max(W, H));
  std::vector<uint32_t> queue(std::max(W, H));
  for (int c = 0; c < channels; ++c) {
    for (int y = 0; y < H; ++y) {
      const uint32_t* row = src.row(y);
      for (int x = 0; x < W; ++x) line[x] = position_of(order, row[x], c);
      sliding_extreme<Largest>(line.data(), W, r, row_extremes.data() + size_t(y) * W, queue.data());
    }
    for (int x = 0; x < W; ++x) {
      for (int y = 0; y < H; ++y) line[y] = row_extremes[size_t(y) * W + x];
      sliding_extreme<Largest>(line.data(), H, r, extremes.data(), queue.data());
      for (int y = 0; y < H; ++y) dst.row_bytes(y)[size_t(x) * 4 + c] = channel_at(order, extremes[y], c);
    }
  }
}

// One channel's ranks as the image uses them: each (alpha, channel) pair maps to its rank among
// the positions that occur, so the median's histogram holds only values the image has (256 at
// most for an opaque image) and its walks from one median to the next are short.
struct UsedRanks {
  std::vector<uint16_t> of_pair;  // [alpha << 8 | channel byte] -> rank among the used positions
  std::vector<uint8_t> channel;   // rank -> the channel's value
};

UsedRanks used_ranks(const RankOrder& order, int c, ConstPixelView src) {
  auto position = [&](uint32_t pair) { return c == 3 ? pair >> 8 : order.position[pair]; };
  std::vector<uint8_t> used(65536);
  for (int y = 0; y < src.height; ++y)  // in memory order, whichever way the median sweeps
    for (int x = 0; x < src.width; ++x) used[position(pair_of(src.row(y)[x], c))] = 1;
  std::vector<uint16_t> rank(65536);
  UsedRanks ranks{std::vector<uint16_t>(65536), {}};
  for (uint32_t p = 0; p < 65536; ++p)
    if (used[p]) rank[p] = static_cast<uint16_t>(ranks.channel.size()), ranks.channel.push_back(channel_at(order, p, c));
  for (uint32_t pair = 0; pair < 65536; ++pair) ranks.of_pair[pair] = rank[position(pair)];
  return ranks;
}

// A histogram of the window's ranks, fine (one count a rank) and coarse (one a block of 256), with
// the median found by walking from the last one: neighbouring windows have close medians, so the
// walk is short, and blocks are skipped whole.
class SlidingMedian {
 public:
  explicit SlidingMedian(size_t ranks) : fine_(ranks + 1), coarse_(ranks / 256 + 1) {}

  // Without branches: on noisy pixels whether v lies below the median is a coin toss.
  void add(uint32_t v) {
    ++fine_[v], ++coarse_[v >> 8];
    below_ += v < current_;
  }
  void remove(uint32_t v) {
    --fine_[v], --coarse_[v >> 8];
    below_ -= v < current_;
  }

  // The rank at index `pick` of the window's sorted ranks (pick < the window's count).
  uint32_t at(uint32_t pick) {
    while (below_ > pick) {  // down: the pick lies before the current rank
      if ((current_ & 0xFF) == 0 && below_ - coarse_[(current_ >> 8) - 1] > pick) {
        below_ -= coarse_[(current_ >> 8) - 1];
        current_ -= 256;
      } else {
        below_ -= fine_[--current_];
      }
    }
    while (below_ + fine_[current_] <= pick) {  // up: the pick lies past the current rank
      if ((current_ & 0xFF) == 0 && below_ + coarse_[current_ >> 8] <= pick) {
        below_ += coarse_[current_ >> 8];
        current_ += 256;
      } else {
        below_ += fine_[current_++];
      }
    }
    return current_;
  }

 private:
  std::vector<uint32_t> fine_, coarse_;
  uint32_t current_ = 0;  // the last median's rank
  uint32_t below_ = 0;    // how many of the window's ranks lie below current_
};

// Huang's sliding median, serpentine: the window moves one step at a time along the image's longer
// side (Transposed: down the columns), so a step exchanges a strip of the shorter side and a
// pixel's cost is at most twice the window's short side, however large the radius.
template <bool Transposed>
void median_filter(int r, int channels, ConstPixelView src, PixelView dst) {
  const RankOrder& order = rank_order();
  const int w = Transposed ? src.height : src.width, h = Transposed ? src.width : src.height;
  auto pixel = [&](int x, int y) { return Transposed ? src.row(x)[y] : src.row(y)[x]; };
  auto output = [&](int x, int y) -> uint8_t* {
    return Transposed ? dst.row_bytes(x) + size_t(y) * 4 : dst.row_bytes(y) + size_t(x) * 4;
  };
  // The channels share one sweep: each pixel read feeds every channel's histogram.
  std::vector<UsedRanks> ranks;
  std::vector<SlidingMedian> windows;
  for (int c = 0; c < channels; ++c) {
    ranks.push_back(used_ranks(order, c, src));
    windows.emplace_back(ranks.back().channel.size());
  }
  auto strip = [&](bool adding, int x0, int x1, int y0, int y1) {
    x0 = std::max(x0, 0), x1 = std::min(x1, w - 1), y0 = std::max(y0, 0), y1 = std::min(y1, h - 1);
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) {
        const uint32_t p = pixel(x, y);
        for (int c = 0; c < channels; ++c)
          if (adding)
            windows[c].add(ranks[c].of_pair[pair_of(p, c)]);
          else
            windows[c].remove(ranks[c].of_pair[pair_of(p, c)]);
      }
  };
  strip(true, 0, r, 0, r);
  int x = 0;
  for (int y = 0; y < h; ++y) {
    if (y > 0) {  // down one row, at the column the last row ended
      strip(false, x - r, x + r, y - r - 1, y - r - 1);
      strip(true, x - r, x + r, y + r, y + r);
    }
    const int step = y % 2 == 0 ? 1 : -1;
    for (int i = 0; i < w; ++i) {
      if (i > 0) {
        strip(false, step > 0 ? x - r : x + r, step > 0 ? x - r : x + r, y - r, y + r);
        x += step;
        strip(true, step > 0 ? x + r : x - r, step > 0 ? x + r : x - r, y - r, y + r);
      }
      const uint32_t n = uint32_t(std::min(x + r, w - 1) - std::max(x - r, 0) + 1) *
                         uint32_t(std::min(y + r, h - 1) - std::max(y - r, 0) + 1);
      uint8_t* out = output(x, y);
      for (int c = 0; c < channels; ++c) out[c] = ranks[c].channel[windows[c].at(n / 2)];
    }
  }
}

}  // namespace

void rank_filter_argb32(int32_t radius, Rank rank, bool filter_alpha, ConstPixelView src, PixelView dst) {
  if (radius < 1) return composite_over(src, dst);
  const int W = src.width, H = src.height;
  const int r = std::min<int64_t>(radius, std::max(W, H));  // a window that covers the image covers it
  // Alpha that is not filtered stays as dst's copy of the source.
  const int channels = filter_alpha ? 4 : 3;
  switch (rank) {
    case Rank::Minimum: return extreme_filter<false>(r, channels, src, dst);
    case Rank::Maximum: return extreme_filter<true>(r, channels, src, dst);
    case Rank::Median: return H > W ? median_filter<true>(r, channels, src, dst) : median_filter<false>(r, channels, src, dst);
  }
}

}  // namespace zx::transforms::kernels
