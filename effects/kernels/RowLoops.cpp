// Zentarix — MIT licence.
// The innermost row loops, vectorised (AVX2 where the processor has it); see the hazard in RowLoops.h.
#include "RowLoops.h"
#include "zx/simd.h"

namespace zx::effects::kernels::loops {
namespace {

#define ZX_ROW_LOOP ZX_TARGET_CLONES

inline uint8_t clamp_byte(int v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

inline int binomial(const uint8_t* t, const uint8_t* m, const uint8_t* b, int i) {
  return t[i - 4] + 2 * t[i] + t[i + 4] + 2 * (m[i - 4] + 2 * m[i] + m[i + 4]) + b[i - 4] + 2 * b[i] + b[i + 4];
}

inline int magnitude(int gx, int gy) { return (gx < 0 ? -gx : gx) + (gy < 0 ? -gy : gy); }

}  // namespace

ZX_ROW_LOOP void sharpen(const uint8_t* t, const uint8_t* m, const uint8_t* b, int n, int strength, uint8_t* d) {
  for (int i = 0; i < n; ++i) d[i] = clamp_byte(m[i] + ((strength * (16 * m[i] - binomial(t, m, b, i))) >> 8));
}

ZX_ROW_LOOP void soften(const uint8_t* t, const uint8_t* m, const uint8_t* b, const int16_t* weight, int n,
                        uint8_t* d) {
  for (int i = 0; i < n; ++i) d[i] = clamp_byte(m[i] + (((binomial(t, m, b, i) - 16 * m[i]) * weight[i]) >> 12));
}

ZX_ROW_LOOP void sobel3_across(const uint8_t* r, int n, int16_t* across, int16_t* along) {
  for (int i = 0; i < n; ++i) {
    across[i] = int16_t(r[i + 4] - r[i - 4]);
    along[i] = int16_t(r[i - 4] + 2 * r[i] + r[i + 4]);
  }
}

ZX_ROW_LOOP void sobel5_across(const uint8_t* r, int n, int16_t* across, int16_t* along) {
  for (int i = 0; i < n; ++i) {
    across[i] = int16_t(2 * (r[i + 4] - r[i - 4]) + r[i + 8] - r[i - 8]);
    along[i] = int16_t(r[i - 8] + 4 * (r[i - 4] + r[i + 4]) + 6 * r[i] + r[i + 8]);
  }
}

ZX_ROW_LOOP void sobel3_magnitude(const int16_t* const a[3], const int16_t* const l[3], int n, uint8_t* d) {
  const int16_t *a0 = a[0], *a1 = a[1], *a2 = a[2], *l0 = l[0], *l2 = l[2];
  for (int i = 0; i < n; ++i) d[i] = clamp_byte(magnitude(a0[i] + 2 * a1[i] + a2[i], l2[i] - l0[i]) / 2);
}

ZX_ROW_LOOP void sobel5_magnitude(const int16_t* const a[5], const int16_t* const l[5], int n, uint8_t* d) {
  const int16_t *a0 = a[0], *a1 = a[1], *a2 = a[2], *a3 = a[3], *a4 = a[4];
  const int16_t *l0 = l[0], *l1 = l[1], *l3 = l[3], *l4 = l[4];
  for (int i = 0; i < n; ++i) {
    const int gx = a0[i] + 4 * (a1[i] + a3[i]) + 6 * a2[i] + a4[i];
    const int gy = 2 * (l3[i] - l1[i]) + l4[i] - l0[i];
    d[i] = clamp_byte(magnitude(gx, gy) / 12);
  }
}

namespace {
inline int16_t luma_of(uint32_t p) {
  return int16_t((19595 * ((p >> 16) & 0xFF) + 38470 * ((p >> 8) & 0xFF) + 7471 * (p & 0xFF) + 32768) >> 16);
}
inline int16_t smaller(int16_t a, int16_t b) { return a < b ? a : b; }
inline int16_t larger(int16_t a, int16_t b) { return a > b ? a : b; }
inline uint32_t plus(uint32_t p, int e) {
  return (p & 0xFF000000u) | uint32_t(clamp_byte(int((p >> 16) & 0xFF) + e)) << 16 |
         uint32_t(clamp_byte(int((p >> 8) & 0xFF) + e)) << 8 | clamp_byte(int(p & 0xFF) + e);
}
}  // namespace

ZX_ROW_LOOP void luma_padded(const uint32_t* s, int width, int16_t* out) {
  out[0] = luma_of(s[0]);
  for (int x = 0; x < width; ++x) out[x + 1] = luma_of(s[x]);
  out[width + 1] = luma_of(s[width - 1]);
}

ZX_ROW_LOOP void extremes(const int16_t* padded, int width, int16_t* lows, int16_t* highs) {
  for (int x = 0; x < width; ++x) {
    lows[x] = smaller(smaller(padded[x], padded[x + 1]), padded[x + 2]);
    highs[x] = larger(larger(padded[x], padded[x + 1]), padded[x + 2]);
  }
}

ZX_ROW_LOOP void soften_weights(const int16_t* const lows[3], const int16_t* const highs[3], int width,
                                int16_t* weight) {
  const int16_t *l0 = lows[0], *l1 = lows[1], *l2 = lows[2], *h0 = highs[0], *h1 = highs[1], *h2 = highs[2];
  for (int x = 0; x < width; ++x) {
    const int spread = larger(larger(h0[x], h1[x]), h2[x]) - smaller(smaller(l0[x], l1[x]), l2[x]);
    const int w = (spread - 24) * 256 / 72;
    const int16_t k = int16_t(w < 0 ? 0 : w > 256 ? 256 : w);
    weight[4 * x] = weight[4 * x + 1] = weight[4 * x + 2] = weight[4 * x + 3] = k;
  }
}

ZX_ROW_LOOP void emboss(const int16_t* t, const int16_t* m, const int16_t* b, const uint32_t* s, int width, bool grey,
                        uint32_t* d) {
  auto relief = [&](int x) { return m[x + 1] + b[x] + b[x + 1] - t[x - 1] - t[x] - m[x - 1]; };
  if (grey) {
    for (int x = 0; x < width; ++x) d[x] = (s[x] & 0xFF000000u) | uint32_t(clamp_byte(128 + relief(x))) * 0x010101u;
  } else {
    for (int x = 0; x < width; ++x) d[x] = plus(s[x], relief(x));
  }
}

ZX_ROW_LOOP void add_offsets(const uint32_t* s, const int16_t* o, int width, uint32_t* d) {
  for (int x = 0; x < width; ++x) d[x] = plus(s[x], o[x]);
}

ZX_ROW_LOOP void greyscale(const uint32_t* s, int width, uint32_t* d) {
  for (int x = 0; x < width; ++x) d[x] = (s[x] & 0xFF000000u) | uint32_t(luma_of(s[x])) * 0x010101u;
}

}  // namespace zx::effects::kernels::loops
