// Zentarix — MIT licence.
// Neighbourhood effects over a ring of padded rows, computed on interleaved bytes so loops vectorise.
#include "FilterKernels.h"

#include <cstdlib>
#include <vector>

namespace zx::effects::kernels {
namespace {

// The rows around the current one, each padded with R copies of its edge pixels on both sides:
// row(dy) for dy in -R..R is row clamp(y + dy), indexable from -R to width - 1 + R. Rows are
// loaded once each as y moves down by one.
template <int R>
class RowRing {
 public:
  explicit RowRing(ConstPixelView src) : m_src(src), m_stride(size_t(src.width) + 2 * R), m_rows(m_stride * kRows) {}

  void move_to(int y) {
    for (int dy = (y == 0 ? -R : R); dy <= R; ++dy) load(y + dy);
    m_y = y;
  }
  const uint32_t* row(int dy) const { return m_rows.data() + slot(m_y + dy) * m_stride + R; }
  const uint8_t* bytes(int dy) const { return reinterpret_cast<const uint8_t*>(row(dy)); }

 private:
  static constexpr int kRows = 2 * R + 1;
  static size_t slot(int y) { return size_t(((y % kRows) + kRows) % kRows); }
  void load(int y) {
    const uint32_t* s = m_src.row(std::clamp(y, 0, m_src.height - 1));
    uint32_t* d = m_rows.data() + slot(y) * m_stride;
    for (int i = 0; i < R; ++i) d[i] = s[0], d[R + m_src.width + i] = s[m_src.width - 1];
    std::copy(s, s + m_src.width, d + R);
  }

  ConstPixelView m_src;
  size_t m_stride;
  std::vector<uint32_t> m_rows;
  int m_y = 0;
};

// The luma of a padded row, padding included.
void luma_row(const uint32_t* row, int from, int to, int16_t* out) {
  for (int x = from; x < to; ++x) out[x] = int16_t(luma(row[x]));
}

// dst keeps the source's alpha; the byte loops above it compute all four channels.
void restore_alpha(const uint32_t* s, uint32_t* d, int width) {
  for (int x = 0; x < width; ++x) d[x] = (d[x] & 0x00FFFFFFu) | (s[x] & 0xFF000000u);
}

uint8_t clamp_byte(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

}  // namespace

void sharpen_argb32(int32_t strength, ConstPixelView src, PixelView dst) {
  RowRing<1> rows(src);
  const int n = src.width * 4;
  for (int y = 0; y < src.height; ++y) {
    rows.move_to(y);
    const uint8_t *t = rows.bytes(-1), *m = rows.bytes(0), *b = rows.bytes(1);
    uint8_t* d = dst.row_bytes(y);
    for (int i = 0; i < n; ++i) {
      const int blur = t[i - 4] + 2 * t[i] + t[i + 4] + 2 * (m[i - 4] + 2 * m[i] + m[i + 4]) + b[i - 4] + 2 * b[i] + b[i + 4];
      d[i] = clamp_byte(m[i] + ((strength * (16 * m[i] - blur)) >> 8));
    }
    restore_alpha(src.row(y), dst.row(y), src.width);
  }
}

void emboss_argb32(bool grey, ConstPixelView src, PixelView dst) {
  RowRing<1> rows(src);
  std::vector<int16_t> lumas(size_t(src.width + 2) * 3);
  auto luma_of = [&](int dy) { return lumas.data() + size_t((dy + 1)) * (src.width + 2) + 1; };
  for (int y = 0; y < src.height; ++y) {
    rows.move_to(y);
    for (int dy = -1; dy <= 1; ++dy) luma_row(rows.row(dy), -1, src.width + 1, luma_of(dy));
    const int16_t *t = luma_of(-1), *m = luma_of(0), *b = luma_of(1);
    const uint32_t* s = src.row(y);
    uint32_t* d = dst.row(y);
    for (int x = 0; x < src.width; ++x) {
      const int e = m[x + 1] + b[x] + b[x + 1] - t[x - 1] - t[x] - m[x - 1];
      const uint32_t p = s[x];
      d[x] = grey ? (p & 0xFF000000u) | uint32_t(clamp_byte(128 + e)) * 0x010101u
                  : (p & 0xFF000000u) | uint32_t(clamp_byte(int(red_of(p)) + e)) << 16 |
                        uint32_t(clamp_byte(int(green_of(p)) + e)) << 8 | clamp_byte(int(blue_of(p)) + e);
    }
  }
}

namespace {

// The Sobel magnitude with smoothing taps `smooth` and derivative taps `derive`, both 2R + 1 long.
// Each source row's horizontal passes are computed once, into a ring the vertical passes read.
template <int R>
void sobel_argb32(const int (&smooth)[2 * R + 1], const int (&derive)[2 * R + 1], int divisor, ConstPixelView src,
                  PixelView dst) {
  constexpr int kTaps = 2 * R + 1;
  const int n = src.width * 4;
  std::vector<int32_t> across(size_t(kTaps) * n), along(size_t(kTaps) * n);
  std::vector<uint32_t> padded(size_t(src.width) + 2 * R);
  auto slot = [](int sy) { return size_t(((sy % kTaps) + kTaps) % kTaps); };
  auto horizontal = [&](int sy) {
    const uint32_t* s = src.row(std::clamp(sy, 0, src.height - 1));
    std::fill_n(padded.begin(), R, s[0]);
    std::copy(s, s + src.width, padded.begin() + R);
    std::fill_n(padded.begin() + R + src.width, R, s[src.width - 1]);
    const uint8_t* r = reinterpret_cast<const uint8_t*>(padded.data() + R);
    int32_t *a = across.data() + slot(sy) * n, *l = along.data() + slot(sy) * n;
    for (int i = 0; i < n; ++i) {
      int sa = 0, sl = 0;
      for (int j = 0; j < kTaps; ++j) {
        sa += derive[j] * r[i + 4 * (j - R)];
        sl += smooth[j] * r[i + 4 * (j - R)];
      }
      a[i] = sa;
      l[i] = sl;
    }
  };
  for (int y = 0; y < src.height; ++y) {
    for (int sy = (y == 0 ? -R : y + R); sy <= y + R; ++sy) horizontal(sy);
    const int32_t* a[kTaps];
    const int32_t* l[kTaps];
    for (int k = 0; k < kTaps; ++k) a[k] = across.data() + slot(y + k - R) * n, l[k] = along.data() + slot(y + k - R) * n;
    uint8_t* d = dst.row_bytes(y);
    for (int i = 0; i < n; ++i) {
      int gx = 0, gy = 0;
      for (int k = 0; k < kTaps; ++k) {
        gx += smooth[k] * a[k][i];
        gy += derive[k] * l[k][i];
      }
      d[i] = clamp_byte((std::abs(gx) + std::abs(gy)) / divisor);
    }
    restore_alpha(src.row(y), dst.row(y), src.width);
  }
}

}  // namespace

void edge_detect_argb32(bool soft, ConstPixelView src, PixelView dst) {
  constexpr int kSmooth3[3] = {1, 2, 1}, kDerive3[3] = {-1, 0, 1};
  constexpr int kSmooth5[5] = {1, 4, 6, 4, 1}, kDerive5[5] = {-1, -2, 0, 2, 1};
  if (soft) return sobel_argb32<2>(kSmooth5, kDerive5, 12, src, dst);
  sobel_argb32<1>(kSmooth3, kDerive3, 2, src, dst);
}

void antialias_argb32(ConstPixelView src, PixelView dst) {
  RowRing<1> rows(src);
  const int n = src.width * 4;
  std::vector<int16_t> lumas(size_t(src.width + 2) * 3);
  std::vector<int32_t> weight(size_t(src.width));
  auto luma_of = [&](int dy) { return lumas.data() + size_t((dy + 1)) * (src.width + 2) + 1; };
  for (int y = 0; y < src.height; ++y) {
    rows.move_to(y);
    for (int dy = -1; dy <= 1; ++dy) luma_row(rows.row(dy), -1, src.width + 1, luma_of(dy));
    for (int x = 0; x < src.width; ++x) {
      int lo = 255, hi = 0;
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int v = luma_of(dy)[x + dx];
          lo = std::min(lo, v);
          hi = std::max(hi, v);
        }
      weight[x] = std::clamp((hi - lo - 24) * 256 / 72, 0, 256);
    }
    const uint8_t *t = rows.bytes(-1), *m = rows.bytes(0), *b = rows.bytes(1);
    uint8_t* d = dst.row_bytes(y);
    for (int i = 0; i < n; ++i) {
      const int blur = t[i - 4] + 2 * t[i] + t[i + 4] + 2 * (m[i - 4] + 2 * m[i] + m[i + 4]) + b[i - 4] + 2 * b[i] + b[i + 4];
      // In 1/4096: the blur's sixteenths times the weight's 256ths.
      d[i] = clamp_byte(m[i] + (((blur - 16 * m[i]) * weight[i >> 2]) >> 12));
    }
  }
}

}  // namespace zx::effects::kernels
