// Zentarix — MIT licence.
// The blur kernel: the step-by-step reference, the direct and the sliding integer paths, and the compositing rule.
#include "BlurKernel.h"
#include "zx/simd.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>


namespace zx::transforms::kernels {
namespace {

constexpr double kMaxRadius = double(1 << 20);
// Whole radii up to here take the direct integer path (the SIMD sums of 2r + 1 taps beat the
// sliding sums' fixed cost per pixel); every other radius slides. See bench/README.md.
constexpr int kDirectRadius = 24;

double sane_radius(double r) { return std::isnan(r) ? 0.0 : std::clamp(r, -kMaxRadius, kMaxRadius); }

// clamp(v) of the definition for a non-negative v (infinity included), then truncation.
uint32_t clamp_trunc(double v) { return v < 256.0 ? static_cast<uint32_t>(v) : 255u; }

uint32_t curve(uint32_t v) { return v <= 128 ? v * v / 128 : 255 - (255 - v) * (255 - v) / 127; }

// Sum of (r - |i|) + 1 over the integers i from floor(-r) to ceil(r), in that order.
double kernel_sum(double r) {
  double sum = 0.0;
  for (int64_t i = static_cast<int64_t>(std::floor(-r)); i <= static_cast<int64_t>(std::ceil(r)); ++i)
    sum += (r - std::fabs(static_cast<double>(i))) + 1.0;
  return sum;
}

// Exact x / n for x <= 65025 and n in 1..255: multiplication by ceil(2^32 / n).
struct Reciprocals {
  std::array<uint64_t, 256> m{};
  constexpr Reciprocals() {
    for (uint64_t n = 1; n < 256; ++n) m[n] = ((uint64_t{1} << 32) + n - 1) / n;
  }
};
constexpr Reciprocals kReciprocals;

struct Sums {
  double b = 0, g = 0, r = 0, a = 0;
};

// Pixel p of a line: bytes B, G, R, A.
inline const uint8_t* at(const uint8_t* line, ptrdiff_t step, int64_t i) { return line + i * step; }

// The weighted sums of one window of the definition: samples i in [lo, hi) with
// lo = max(0, floor(x - r - o)), hi = min(length, ceil(x + r + 1 - o)), weight (r - |i - x + o|) + 1
// where positive, accumulated in order.
Sums window(const uint8_t* line, ptrdiff_t step, int64_t length, int64_t x, double r, int64_t o) {
  const double xd = static_cast<double>(x), od = static_cast<double>(o);
  const int64_t lo = std::max<int64_t>(0, static_cast<int64_t>(std::floor(xd - r - od)));
  const int64_t hi = std::min<int64_t>(length, static_cast<int64_t>(std::ceil(xd + r + 1.0 - od)));
  Sums s;
  for (int64_t i = lo; i < hi; ++i) {
    const double w = (r - std::fabs(static_cast<double>(i - x + o))) + 1.0;
    if (!(w > 0.0)) continue;
    const uint8_t* p = at(line, step, i);
    s.b += static_cast<double>(p[0] * p[3]) * w;
    s.g += static_cast<double>(p[1] * p[3]) * w;
    s.r += static_cast<double>(p[2] * p[3]) * w;
    s.a += static_cast<double>(p[3]) * w;
  }
  return s;
}

// The pixel a window gives: colours by the reciprocal of SA, alpha by the kernel sum; 0 when SA is 0.
uint32_t normalise(const Sums& s, double wsum) {
  if (s.a == 0.0) return 0;
  const double q = 1.0 / s.a;
  return clamp_trunc(s.a / wsum) << 24 | clamp_trunc(s.r * q) << 16 | clamp_trunc(s.g * q) << 8 | clamp_trunc(s.b * q);
}

// The vertical result laid on the destination: the pixel itself, or the colour with the curve.
void lay(uint8_t* d, uint32_t p, const BlurSettings& s) {
  uint32_t a = p >> 24;
  if (s.colour) {
    a = static_cast<uint32_t>(static_cast<double>((*s.colour >> 24) * curve(a)) * (1.0 / 255.0));
    p = *s.colour;
  }
  if (a != 0) composite_pixel(d, p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF, a);
}

struct Prepared {
  double intensity, rx, ry;
  bool plain;
};
Prepared prepare(const BlurSettings& s) {
  Prepared p{s.intensity >= 1.0 ? s.intensity : 1.0, sane_radius(s.radius_x), sane_radius(s.radius_y), false};
  p.plain = !s.colour && p.rx <= 0.0 && p.ry <= 0.0;
  return p;
}

// ---- the whole-radius path ------------------------------------------------------------------------
// With whole radii every weight and every sum is a whole number below 2^31, so the sums can be
// formed in integers in any order and still equal the reference's double sums exactly; the
// normalisation then runs the reference's own double arithmetic, looked up per SA value.


// 1/SA and the alpha of each possible SA, computed once with the reference's expressions.
class Normaliser {
 public:
  Normaliser(double wsum, int32_t largest) : m_wsum(wsum) {
    if (largest > (1 << 20)) return;  // wide radii: computed per pixel instead
    m_reciprocal.assign(size_t(largest) + 1, 0.0);
    m_alpha.assign(size_t(largest) + 1, 0);
    for (int32_t sa = 1; sa <= largest; ++sa) {
      m_reciprocal[size_t(sa)] = 1.0 / double(sa);
      m_alpha[size_t(sa)] = static_cast<uint8_t>(clamp_trunc(double(sa) / wsum));
    }
  }
  // A row of sums into pixels.
  void row(const int32_t* sums, int n, uint32_t* out) const;
  uint32_t pixel(const int32_t* s) const {
    const int32_t sa = s[3];
    if (sa == 0) return 0;
    if (m_reciprocal.empty()) return normalise(Sums{double(s[0]), double(s[1]), double(s[2]), double(sa)}, m_wsum);
    const double q = m_reciprocal[size_t(sa)];
    return uint32_t{m_alpha[size_t(sa)]} << 24 | clamp_trunc(double(s[2]) * q) << 16 | clamp_trunc(double(s[1]) * q) << 8 |
           clamp_trunc(double(s[0]) * q);
  }

 private:
  double m_wsum;
  std::vector<double> m_reciprocal;
  std::vector<uint8_t> m_alpha;
};

// Whole-radius rows are summed in 32-bit lanes, two pixels (eight channels) per vector; the
// default clone splits each into two SSE halves, the AVX2 one keeps it whole.
typedef int32_t i8 __attribute__((vector_size(32)));
typedef uint8_t u8x8 __attribute__((vector_size(8)));
[[gnu::always_inline]] inline i8 load8(const int32_t* p) {
  i8 v;
  std::memcpy(&v, p, 32);
  return v;
}
[[gnu::always_inline]] inline void store8(int32_t* p, i8 v) { std::memcpy(p, &v, 32); }

// (B*A, G*A, R*A, A) of n pixels.
void premultiply_generic(const uint8_t* p, int n, int32_t* out) {
  for (int i = 0; i < 4 * n; i += 4) {
    const int32_t a = p[i + 3];
    out[i] = p[i] * a;
    out[i + 1] = p[i + 1] * a;
    out[i + 2] = p[i + 2] * a;
    out[i + 3] = a;
  }
}
__attribute__((target("avx2"))) void premultiply_avx2(const uint8_t* p, int n, int32_t* out) {
  const __m256i alpha_lane = _mm256_setr_epi32(0, 0, 0, -1, 0, 0, 0, -1);
  const __m256i one = _mm256_set1_epi32(1);
  int i = 0;
  for (; i + 2 <= n; i += 2) {
    const __m256i v = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 4 * i)));
    const __m256i a = _mm256_blendv_epi8(_mm256_shuffle_epi32(v, 0xFF), one, alpha_lane);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * i), _mm256_mullo_epi32(v, a));
  }
  premultiply_generic(p + 4 * i, n - i, out + 4 * i);
}
bool has_avx2() {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
}
void premultiply_pixels(const uint8_t* p, int n, int32_t* out) {
  has_avx2() ? premultiply_avx2(p, n, out) : premultiply_generic(p, n, out);
}

// Tent sums of one row at centres x - o, from its premultiplied samples with 2r zero samples on
// each side (so every window around a centre in [-r, W - 1 + r] stays in the buffer).
ZX_TARGET_CLONES void tent_across(const int32_t* padded, int width, int r, int64_t o,
                                                                  int32_t* sums) {
  const int32_t* base = padded + 8 * r;
  auto inside = [&](int64_t c) { return c >= -r && c <= width - 1 + r; };
  int x = 0;
  for (; x + 2 <= width; x += 2) {
    const int64_t c = x - o;
    if (!inside(c) || !inside(c + 1)) break;
    const int32_t* p = base + c * 4;
    i8 acc = load8(p) * (r + 1);
    for (int d = 1; d <= r; ++d) acc += (load8(p - 4 * d) + load8(p + 4 * d)) * (r + 1 - d);
    store8(sums + 4 * x, acc);
  }
  for (; x < width; ++x) {
    const int64_t c = x - o;
    for (int k = 0; k < 4; ++k) {
      int32_t acc = 0;
      if (inside(c)) {
        const int32_t* p = base + c * 4 + k;
        acc = (r + 1) * p[0];
        for (int d = 1; d <= r; ++d) acc += (r + 1 - d) * (p[-4 * d] + p[4 * d]);
      }
      sums[4 * x + k] = acc;
    }
  }
}

// out[i] = sum over the taps t of weight[t] * rows[t][i].
ZX_TARGET_CLONES void tent_down(const int32_t* const* rows, const int32_t* weight,
                                                                int taps, size_t n, int32_t* out) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    i8 acc = {};
    for (int t = 0; t < taps; ++t) acc += load8(rows[t] + i) * weight[t];
    store8(out + i, acc);
  }
  for (; i < n; ++i) {
    int32_t acc = 0;
    for (int t = 0; t < taps; ++t) acc += weight[t] * rows[t][i];
    out[i] = acc;
  }
}

// Normaliser::pixel over a row: colour sums times 1/SA, truncated; alpha from the table. SA = 0
// finds 1/SA = 0 and alpha 0 there, so it gives the pixel 0 without a branch.
void normalise_generic(const int32_t* sums, int n, const double* reciprocal, const uint8_t* alpha, uint32_t* out) {
  for (int x = 0; x < n; ++x, sums += 4) {
    const double q = reciprocal[sums[3]];
    out[x] = uint32_t{alpha[sums[3]]} << 24 | clamp_trunc(double(sums[2]) * q) << 16 |
             clamp_trunc(double(sums[1]) * q) << 8 | clamp_trunc(double(sums[0]) * q);
  }
}
__attribute__((target("avx2"))) void normalise_avx2(const int32_t* sums, int n, const double* reciprocal,
                                                    const uint8_t* alpha, uint32_t* out) {
  const __m128i limit = _mm_set1_epi32(255);
  for (int x = 0; x < n; ++x, sums += 4) {
    const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums));
    const __m256d scaled = _mm256_mul_pd(_mm256_cvtepi32_pd(s), _mm256_set1_pd(reciprocal[sums[3]]));
    const __m128i c = _mm_min_epi32(_mm256_cvttpd_epi32(scaled), limit);
    const __m128i bytes = _mm_packus_epi16(_mm_packus_epi32(c, c), c);
    out[x] = (uint32_t(_mm_cvtsi128_si32(bytes)) & 0x00FFFFFFu) | uint32_t{alpha[sums[3]]} << 24;
  }
}
void normalise_row(const int32_t* sums, int n, const double* reciprocal, const uint8_t* alpha, uint32_t* out) {
  has_avx2() ? normalise_avx2(sums, n, reciprocal, alpha, out) : normalise_generic(sums, n, reciprocal, alpha, out);
}

void Normaliser::row(const int32_t* sums, int n, uint32_t* out) const {
  if (!m_reciprocal.empty()) return normalise_row(sums, n, m_reciprocal.data(), m_alpha.data(), out);
  for (int x = 0; x < n; ++x) out[x] = pixel(sums + 4 * x);
}

void blur_whole(const BlurSettings& s, const Prepared& p, ConstPixelView src, PixelView dst) {
  const int W = src.width, H = src.height;
  const int rx = static_cast<int>(p.rx), ry = static_cast<int>(p.ry);
  const int32_t wx = (rx + 1) * (rx + 1), wy = (ry + 1) * (ry + 1);
  const Normaliser across(double(wx), 255 * wx);
  const Normaliser down(s.colour ? double(wy) / p.intensity : double(wy), 255 * wy);

  // The intermediate image is made row by row as the vertical windows first need it (they move
  // down one row per output row), and only the 2r + 1 rows a window spans are kept, already in
  // premultiplied form: the same values as a whole intermediate image, without its memory.
  std::vector<int32_t> padded(size_t(W + 4 * rx) * 4, 0), sums(size_t(W) * 4);
  std::vector<uint32_t> line(static_cast<size_t>(W));
  const int slots = 2 * ry + 1;
  std::vector<int32_t> ring(size_t(slots) * size_t(W) * 4);
  std::vector<int> held(size_t(slots), -1);
  auto intermediate_row = [&](int j) -> const int32_t* {
    int32_t* row = &ring[size_t(j % slots) * size_t(W) * 4];
    if (held[size_t(j % slots)] != j) {
      premultiply_pixels(src.row_bytes(j), W, padded.data() + 8 * rx);
      tent_across(padded.data(), W, rx, s.offset_x, sums.data());
      across.row(sums.data(), W, line.data());
      premultiply_pixels(reinterpret_cast<const uint8_t*>(line.data()), W, row);
      held[size_t(j % slots)] = j;
    }
    return row;
  };

  std::vector<const int32_t*> rows(static_cast<size_t>(slots));
  std::vector<int32_t> weights(static_cast<size_t>(slots));
  for (int y = 0; y < H; ++y) {
    const int64_t c = y - int64_t{s.offset_y};
    int taps = 0;
    for (int d = -ry; d <= ry; ++d) {
      if (c + d < 0 || c + d >= H) continue;
      rows[size_t(taps)] = intermediate_row(static_cast<int>(c + d));
      weights[size_t(taps++)] = ry + 1 - std::abs(d);
    }
    tent_down(rows.data(), weights.data(), taps, size_t(W) * 4, sums.data());
    down.row(sums.data(), W, line.data());
    uint8_t* out = dst.row_bytes(y);
    for (int x = 0; x < W; ++x) lay(out + size_t(x) * 4, line[size_t(x)], s);
  }
}


// ---- the sliding path -----------------------------------------------------------------------------
// Any radius, at a cost per pixel that does not depend on it. With n = floor(r) and f = r - n the
// weights (r + 1 - |d|) over |d| <= ceil(r) are the whole tent n + 1 - |d| over |d| <= n plus, when
// f > 0, f times the box |d| <= n + 1. Both are sums of whole numbers, formed exactly in integers
// and combined in double only at the end. The tent is a box convolved with a box, so it slides:
// moving the centre one sample adds the box to its right and drops the box to its left, and each
// box exchanges one sample at each end.
//
// No sum overflows 64 bits: a tent window holds at most 65025 x (n + 1)^2 with n <= 2^20, below
// 2^57, and the boxes less.

// (B*A, G*A, R*A, A) in 64-bit lanes, aligned as int64_t so vectors of them need no aligned allocation.
typedef int64_t v4 __attribute__((vector_size(32), aligned(8)));
// Everything that takes or returns a v4 is inlined into the clones: called across them, an
// out-of-line function would pass it by the other target's convention.
[[gnu::always_inline]] inline v4 premultiplied(const uint8_t* p) {
  const int64_t a = p[3];
  return v4{p[0] * a, p[1] * a, p[2] * a, a};
}
// Sample i of a line of pixels, zero outside it (or when there is no line).
[[gnu::always_inline]] inline v4 sample(const uint8_t* line, int64_t i, int64_t length) {
  return line && i >= 0 && i < length ? premultiplied(line + 4 * i) : v4{};
}

// One direction of the blur: its radius split as above, and the normalising kernel sum.
struct Axis {
  int64_t n;  // -1 for -1 < r < 0: no tent, only the centre's sample with the weight f = r + 1
  double f, wsum;
  Axis(double r, double divisor) : n(static_cast<int64_t>(std::floor(r))), f(r - std::floor(r)), wsum(kernel_sum(r) / divisor) {}

  // The pixel of a window, from its tent and the sample just left of the tent (which with the
  // running boxes makes the wider box). Whole radii pass their exact sums to the reference's
  // arithmetic; fractional ones round the exact sum of the two parts, where the reference rounds
  // every term.
  [[gnu::always_inline]] uint32_t pixel(v4 tent, v4 left, v4 right, v4 outer) const {
    if (f == 0.0) return normalise(Sums{double(tent[0]), double(tent[1]), double(tent[2]), double(tent[3])}, wsum);
    const v4 box = outer + left + right;
    return normalise(Sums{double(tent[0]) + f * double(box[0]), double(tent[1]) + f * double(box[1]),
                          double(tent[2]) + f * double(box[2]), double(tent[3]) + f * double(box[3])},
                     wsum);
  }
};

// The running sums of a line (zero outside it) at a centre c: the tent, and the boxes c - n .. c
// (left) and c + 1 .. c + n + 1 (right).
struct Running {
  v4 tent{}, left{}, right{};
  // Sample c + d of the window, -n <= d <= n + 1.
  [[gnu::always_inline]] void add(v4 v, int64_t d, int64_t n) {
    if (d <= n) tent += v * (n + 1 - (d < 0 ? -d : d));
    (d <= 0 ? left : right) += v;
  }
  // From c to c + 1, given the samples c + 1, c - n and c + n + 2.
  [[gnu::always_inline]] void step(v4 next, v4 leaving, v4 entering) {
    tent += right - left;
    left += next - leaving;
    right += entering - next;
  }
};

// The first and last sample of the window at c within a line of `length`.
std::pair<int64_t, int64_t> span(int64_t c, int64_t n, int64_t length) {
  return {std::max<int64_t>(0, c - n), std::min<int64_t>(length - 1, c + n + 1)};
}

// Each row of src into the intermediate image, centres x - offset_x.
ZX_TARGET_CLONES void slide_across(ConstPixelView src, const Axis& a, int64_t o, uint32_t* mid) {
  const int64_t W = src.width;
  for (int y = 0; y < src.height; ++y) {
    const uint8_t* line = src.row_bytes(y);
    Running run;
    int64_t c = -o;
    for (auto [i, last] = span(c, a.n, W); i <= last; ++i) run.add(sample(line, i, W), i - c, a.n);
    uint32_t* out = mid + size_t(y) * size_t(W);
    for (int64_t x = 0; x < W; ++x, ++c) {
      out[x] = a.pixel(run.tent, run.left, run.right, a.f == 0.0 ? v4{} : sample(line, c - a.n - 1, W));
      run.step(sample(line, c + 1, W), sample(line, c - a.n, W), sample(line, c + a.n + 2, W));
    }
  }
}

// Down the intermediate image in strips of columns, each column with its running sums, laying
// each output row on dst as it is made.
ZX_TARGET_CLONES void slide_down(const uint32_t* mid, int W, int H, const Axis& a, int64_t o, const BlurSettings& s,
                                 PixelView dst) {
  constexpr int kStrip = 512;
  std::vector<Running> runs(size_t(std::min(W, kStrip)));
  for (int x0 = 0; x0 < W; x0 += kStrip) {
    // Row i of the strip, or none outside the image (its samples are zero).
    auto row = [&](int64_t i) -> const uint8_t* {
      return i >= 0 && i < H ? reinterpret_cast<const uint8_t*>(mid + size_t(i) * size_t(W) + size_t(x0)) : nullptr;
    };
    const int n = std::min(kStrip, W - x0);
    std::fill(runs.begin(), runs.end(), Running{});
    int64_t c = -o;
    for (auto [i, last] = span(c, a.n, H); i <= last; ++i)
      for (int k = 0; k < n; ++k) runs[size_t(k)].add(sample(row(i), k, n), i - c, a.n);
    for (int y = 0; y < H; ++y, ++c) {
      const uint8_t *outer = a.f == 0.0 ? nullptr : row(c - a.n - 1), *next = row(c + 1), *leaving = row(c - a.n),
                    *entering = row(c + a.n + 2);
      uint8_t* out = dst.row_bytes(y) + size_t(x0) * 4;
      for (int k = 0; k < n; ++k) {
        Running& run = runs[size_t(k)];
        lay(out + size_t(k) * 4, a.pixel(run.tent, run.left, run.right, sample(outer, k, n)), s);
        run.step(sample(next, k, n), sample(leaving, k, n), sample(entering, k, n));
      }
    }
  }
}

void blur_sliding(const BlurSettings& s, const Prepared& p, ConstPixelView src, PixelView dst) {
  if (p.rx <= -1.0 || p.ry <= -1.0) return;  // every window is empty: nothing is laid
  const int W = src.width, H = src.height;
  const auto mid = std::make_unique_for_overwrite<uint32_t[]>(size_t(W) * size_t(H));  // every pixel is written
  slide_across(src, Axis(p.rx, 1.0), s.offset_x, mid.get());
  slide_down(mid.get(), W, H, Axis(p.ry, s.colour ? p.intensity : 1.0), s.offset_y, s, dst);
}

}  // namespace

void composite_pixel(uint8_t* d, uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
  if (a == 255) {  // n = 255, k = 0: the colour replaces the pixel exactly
    d[0] = static_cast<uint8_t>(b), d[1] = static_cast<uint8_t>(g), d[2] = static_cast<uint8_t>(r), d[3] = 255;
    return;
  }
  const uint32_t n = std::min(255u, d[3] + a), k = n - a;
  const uint64_t m = kReciprocals.m[n];
  d[0] = static_cast<uint8_t>(((b * a + d[0] * k) * m) >> 32);
  d[1] = static_cast<uint8_t>(((g * a + d[1] * k) * m) >> 32);
  d[2] = static_cast<uint8_t>(((r * a + d[2] * k) * m) >> 32);
  d[3] = static_cast<uint8_t>(n);
}

void composite_over(ConstPixelView src, PixelView dst) {
  for (int y = 0; y < src.height; ++y) {
    const uint8_t* s = src.row_bytes(y);
    uint8_t* d = dst.row_bytes(y);
    for (int x = 0; x < src.width; ++x, s += 4, d += 4)
      if (s[3] != 0) composite_pixel(d, s[0], s[1], s[2], s[3]);
  }
}

void blur_argb32_reference(const BlurSettings& s, ConstPixelView src, PixelView dst) {
  const Prepared p = prepare(s);
  if (p.plain) return composite_over(src, dst);
  const int W = src.width, H = src.height;
  std::vector<uint32_t> mid(static_cast<size_t>(W) * static_cast<size_t>(H));
  const double wsum_x = kernel_sum(p.rx);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      mid[static_cast<size_t>(y) * W + x] = normalise(window(src.row_bytes(y), 4, W, x, p.rx, s.offset_x), wsum_x);
  double wsum_y = kernel_sum(p.ry);
  if (s.colour) wsum_y /= p.intensity;
  const auto* mid_bytes = reinterpret_cast<const uint8_t*>(mid.data());
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const Sums sums = window(mid_bytes + size_t(x) * 4, ptrdiff_t(W) * 4, H, y, p.ry, s.offset_y);
      lay(dst.row_bytes(y) + size_t(x) * 4, normalise(sums, wsum_y), s);
    }
}

void blur_argb32(const BlurSettings& s, ConstPixelView src, PixelView dst) {
  const Prepared p = prepare(s);
  if (p.plain) return composite_over(src, dst);
  auto direct = [](double r) { return r >= 0.0 && r <= kDirectRadius && r == std::floor(r); };
  if (direct(p.rx) && direct(p.ry)) return blur_whole(s, p, src, dst);
  blur_sliding(s, p, src, dst);
}

void glow_argb32(const BlurSettings& settings, ConstPixelView src, PixelView dst) {
  blur_argb32(settings, src, dst);
  composite_over(src, dst);
}

}  // namespace zx::transforms::kernels
