// Zentarix — MIT licence.
// Neighbourhood effects over rings of padded rows, computed on interleaved bytes so loops vectorise.
#include "FilterKernels.h"

#include <vector>

#include "RowLoops.h"

namespace zx::effects::kernels {
namespace {

// A ring of the 2R + 1 rows around the current one, each computed once from its source row
// (clamped at the top and bottom) as y moves down by one: row(dy) is the computed row y + dy.
template <class T, int R>
class Ring {
 public:
  Ring(size_t length, int height) : m_length(length), m_height(height), m_rows(length * kRows) {}

  // Moves to row y, computing the rows that enter with make(source row, out).
  template <class Make>
  void move_to(int y, Make&& make) {
    for (int dy = (y == 0 ? -R : R); dy <= R; ++dy) make(std::clamp(y + dy, 0, m_height - 1), slot(y + dy));
    m_y = y;
  }
  const T* row(int dy) const { return m_rows.data() + (size_t(((m_y + dy) % kRows + kRows) % kRows)) * m_length; }

 private:
  static constexpr int kRows = 2 * R + 1;
  T* slot(int y) { return m_rows.data() + size_t((y % kRows + kRows) % kRows) * m_length; }
  size_t m_length;
  int m_height;
  std::vector<T> m_rows;
  int m_y = 0;
};

// A source row with R copies of its edge pixels on each side, as bytes from the first real pixel.
template <int R>
void pad_row(const uint32_t* s, int width, uint32_t* out) {
  std::fill_n(out, R, s[0]);
  std::copy(s, s + width, out + R);
  std::fill_n(out + R + width, R, s[width - 1]);
}

// dst keeps the source's alpha; the byte loops compute all four channels.
void restore_alpha(const uint32_t* s, uint32_t* d, int width) {
  for (int x = 0; x < width; ++x) d[x] = (d[x] & 0x00FFFFFFu) | (s[x] & 0xFF000000u);
}

// The Sobel magnitude over a window of 2R + 1 rows. Each source row's horizontal passes are
// computed once into a ring (derivative, then smoothing, n values each) the vertical pass reads.
template <int R, class Across, class Magnitude>
void sobel_argb32(Across across, Magnitude magnitude, ConstPixelView src, PixelView dst) {
  constexpr int kTaps = 2 * R + 1;
  const int n = src.width * 4;
  Ring<int16_t, R> passes(2 * size_t(n), src.height);
  std::vector<uint32_t> padded(size_t(src.width) + 2 * R);
  for (int y = 0; y < src.height; ++y) {
    passes.move_to(y, [&](int sy, int16_t* out) {
      pad_row<R>(src.row(sy), src.width, padded.data());
      across(reinterpret_cast<const uint8_t*>(padded.data() + R), n, out, out + n);
    });
    const int16_t* a[kTaps];
    const int16_t* l[kTaps];
    for (int k = 0; k < kTaps; ++k) a[k] = passes.row(k - R), l[k] = passes.row(k - R) + n;
    magnitude(a, l, n, dst.row_bytes(y));
    restore_alpha(src.row(y), dst.row(y), src.width);
  }
}

}  // namespace

void sharpen_argb32(int32_t strength, ConstPixelView src, PixelView dst) {
  const int n = src.width * 4;
  Ring<uint32_t, 1> lines(size_t(src.width) + 2, src.height);
  for (int y = 0; y < src.height; ++y) {
    lines.move_to(y, [&](int sy, uint32_t* out) { pad_row<1>(src.row(sy), src.width, out); });
    const auto bytes = [&](int dy) { return reinterpret_cast<const uint8_t*>(lines.row(dy) + 1); };
    const uint8_t *t = bytes(-1), *m = bytes(0), *b = bytes(1);
    loops::sharpen(t, m, b, n, strength, dst.row_bytes(y));
    restore_alpha(src.row(y), dst.row(y), src.width);
  }
}

void emboss_argb32(bool grey, ConstPixelView src, PixelView dst) {
  Ring<int16_t, 1> lumas(size_t(src.width) + 2, src.height);
  for (int y = 0; y < src.height; ++y) {
    lumas.move_to(y, [&](int sy, int16_t* out) { loops::luma_padded(src.row(sy), src.width, out); });
    loops::emboss(lumas.row(-1) + 1, lumas.row(0) + 1, lumas.row(1) + 1, src.row(y), src.width, grey, dst.row(y));
  }
}

void edge_detect_argb32(bool soft, ConstPixelView src, PixelView dst) {
  if (soft) return sobel_argb32<2>(loops::sobel5_across, loops::sobel5_magnitude, src, dst);
  sobel_argb32<1>(loops::sobel3_across, loops::sobel3_magnitude, src, dst);
}

void antialias_argb32(ConstPixelView src, PixelView dst) {
  // Per source row, once: the padded pixels, and the smallest and largest luma of each pixel's
  // three horizontal neighbours (a ring row holds the lows, then the highs). A pixel's spread is
  // then the extremes over three such rows.
  const int w = src.width;
  Ring<uint32_t, 1> lines(size_t(w) + 2, src.height);
  Ring<int16_t, 1> extremes(2 * size_t(w), src.height);
  std::vector<int16_t> lumas(size_t(w) + 2), weights(4 * size_t(w));
  for (int y = 0; y < src.height; ++y) {
    lines.move_to(y, [&](int sy, uint32_t* out) { pad_row<1>(src.row(sy), w, out); });
    extremes.move_to(y, [&](int sy, int16_t* out) {
      loops::luma_padded(src.row(sy), w, lumas.data());
      loops::extremes(lumas.data(), w, out, out + w);
    });
    const int16_t* lows[3] = {extremes.row(-1), extremes.row(0), extremes.row(1)};
    const int16_t* highs[3] = {lows[0] + w, lows[1] + w, lows[2] + w};
    loops::soften_weights(lows, highs, w, weights.data());
    const auto bytes = [&](int dy) { return reinterpret_cast<const uint8_t*>(lines.row(dy) + 1); };
    loops::soften(bytes(-1), bytes(0), bytes(1), weights.data(), 4 * w, dst.row_bytes(y));
  }
}

}  // namespace zx::effects::kernels
