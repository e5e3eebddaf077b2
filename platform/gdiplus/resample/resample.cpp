// Zentarix GDI+ layer — MIT licence.
// The resampler: tap tables, the separable and the general drivers, in a vector and a scalar form.
#include "resample.h"
#include "zx/simd.h"

#include <algorithm>
#include <immintrin.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "pixel_convert.h"

namespace zx::resample {
namespace {

// Rotated and skewed draws stretch their kernels at most this much: each device pixel there
// gathers (kernel reach)^2 taps, so an unbounded reduction would cost without limit.
constexpr double kMaxGeneralReduction = 64.0;

// ---- row kernels in premultiplied single precision: b*a, g*a, r*a, a (memory order) ---------------
// Each comes in two forms, GCC vectors (with an AVX2 clone chosen at load time) and a plain scalar
// reference, that give the same bits: the library is built without floating-point contraction, and
// a weighted sum over taps is always formed as four partial sums, tap t going into partial t mod 4,
// combined as (p0 + p1) + (p2 + p3). The four chains also keep the adder busy.
typedef float f4 __attribute__((vector_size(16)));
typedef float f8 __attribute__((vector_size(32)));
typedef uint8_t u8x4 __attribute__((vector_size(4)));

constexpr float kZeros[4] = {0, 0, 0, 0};

// The helpers below pass 32-byte vectors by value; they are always inlined, so no call ever uses
// the target-dependent vector ABI GCC warns about (-Wno-psabi in CMakeLists.txt).

[[gnu::always_inline]] inline f8 pair(const float* a, const float* b) {
  f4 lo, hi;
  std::memcpy(&lo, a, 16);
  std::memcpy(&hi, b, 16);
  return __builtin_shufflevector(lo, hi, 0, 1, 2, 3, 4, 5, 6, 7);
}
[[gnu::always_inline]] inline f8 weights(float a, float b) { return f8{a, a, a, a, b, b, b, b}; }
[[gnu::always_inline]] inline f4 low(f8 v) { return __builtin_shufflevector(v, v, 0, 1, 2, 3); }
[[gnu::always_inline]] inline f4 high(f8 v) { return __builtin_shufflevector(v, v, 4, 5, 6, 7); }

void premultiply_row_generic(const uint32_t* src, int n, float* out) {
  const f4 one = {1, 1, 1, 1};
  for (int i = 0; i < n; ++i) {
    u8x4 bytes;
    std::memcpy(&bytes, src + i, 4);
    const f4 p = __builtin_convertvector(bytes, f4);
    const f4 v = p * __builtin_shufflevector(p, one, 3, 3, 3, 4);
    std::memcpy(out + 4 * i, &v, 16);
  }
}
__attribute__((target("avx2"))) void premultiply_row_avx2(const uint32_t* src, int n, float* out) {
  const __m256 one = _mm256_set1_ps(1.0f);
  int i = 0;
  for (; i + 2 <= n; i += 2) {
    const __m256 p = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src + i))));
    const __m256 alpha = _mm256_blend_ps(_mm256_shuffle_ps(p, p, 0xFF), one, 0x88);
    _mm256_storeu_ps(out + 4 * i, _mm256_mul_ps(p, alpha));
  }
  premultiply_row_generic(src + i, n - i, out + 4 * i);
}
void premultiply_row_fast(const uint32_t* src, int n, float* out) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  avx2 ? premultiply_row_avx2(src, n, out) : premultiply_row_generic(src, n, out);
}
void premultiply_row_reference(const uint32_t* src, int n, float* out) {
  for (int i = 0; i < n; ++i) {
    const float a = static_cast<float>(src[i] >> 24);
    for (int c = 0; c < 3; ++c) out[4 * i + c] = static_cast<float>((src[i] >> (8 * c)) & 0xFF) * a;
    out[4 * i + 3] = a * 1.0f;
  }
}

// out[i] = sum over the taps [start[i], start[i + 1]) of weight[t] * in[index[t]]; run[i] says the
// taps of output i are consecutive entries of in.
ZX_TARGET_CLONES void across_fast(const float* in, const int32_t* start,
                                                                   const int32_t* index, const uint8_t* run,
                                                                   const float* weight, int columns, float* out) {
  for (int i = 0; i < columns; ++i) {
    f8 a = {}, b = {};
    int t = start[i];
    const int end = start[i + 1];
    if (run[i]) {
      // Consecutive pixels (the usual case): whole pairs load at once.
      const float* p = in + 4 * index[t];
      for (; t + 4 <= end; t += 4, p += 16) {
        f8 x, y;
        std::memcpy(&x, p, 32);
        std::memcpy(&y, p + 8, 32);
        a = a + x * weights(weight[t], weight[t + 1]);
        b = b + y * weights(weight[t + 2], weight[t + 3]);
      }
    }
    for (; t + 4 <= end; t += 4) {
      a = a + pair(in + 4 * index[t], in + 4 * index[t + 1]) * weights(weight[t], weight[t + 1]);
      b = b + pair(in + 4 * index[t + 2], in + 4 * index[t + 3]) * weights(weight[t + 2], weight[t + 3]);
    }
    const int left = end - t;
    if (left >= 1)
      a = a + pair(in + 4 * index[t], left >= 2 ? in + 4 * index[t + 1] : kZeros) *
                  weights(weight[t], left >= 2 ? weight[t + 1] : 0.0f);
    if (left == 3) b = b + pair(in + 4 * index[t + 2], kZeros) * weights(weight[t + 2], 0.0f);
    const f4 sum = (low(a) + high(a)) + (low(b) + high(b));
    std::memcpy(out + 4 * i, &sum, 16);
  }
}
void across_reference(const float* in, const int32_t* start, const int32_t* index, const uint8_t*,
                      const float* weight, int columns, float* out) {
  for (int i = 0; i < columns; ++i) {
    float p[4][4] = {};
    for (int t = start[i]; t < start[i + 1]; ++t)
      for (int c = 0; c < 4; ++c) p[(t - start[i]) & 3][c] = p[(t - start[i]) & 3][c] + in[4 * index[t] + c] * weight[t];
    for (int c = 0; c < 4; ++c) out[4 * i + c] = (p[0][c] + p[1][c]) + (p[2][c] + p[3][c]);
  }
}

// out[i] = sum over the taps t of weight[t] * rows[t][i].
ZX_TARGET_CLONES void down_fast(const float* const* rows, const float* weight,
                                                                 int taps, int columns, float* out) {
  int i = 0;
  for (; i + 2 <= columns; i += 2) {
    f8 p[4] = {};
    for (int t = 0; t < taps; ++t) {
      f8 x;
      std::memcpy(&x, rows[t] + 4 * i, 32);
      p[t & 3] = p[t & 3] + x * weight[t];
    }
    const f8 sum = (p[0] + p[1]) + (p[2] + p[3]);
    std::memcpy(out + 4 * i, &sum, 32);
  }
  for (; i < columns; ++i) {
    f4 p[4] = {};
    for (int t = 0; t < taps; ++t) {
      f4 x;
      std::memcpy(&x, rows[t] + 4 * i, 16);
      p[t & 3] = p[t & 3] + x * weight[t];
    }
    const f4 sum = (p[0] + p[1]) + (p[2] + p[3]);
    std::memcpy(out + 4 * i, &sum, 16);
  }
}
void down_reference(const float* const* rows, const float* weight, int taps, int columns, float* out) {
  for (int i = 0; i < columns; ++i) {
    float p[4][4] = {};
    for (int t = 0; t < taps; ++t)
      for (int c = 0; c < 4; ++c) p[t & 3][c] = p[t & 3][c] + rows[t][4 * i + c] * weight[t];
    for (int c = 0; c < 4; ++c) out[4 * i + c] = (p[0][c] + p[1][c]) + (p[2][c] + p[3][c]);
  }
}

struct RowKernels {
  void (*premultiply_row)(const uint32_t*, int, float*);
  void (*across)(const float*, const int32_t*, const int32_t*, const uint8_t*, const float*, int, float*);
  void (*down)(const float* const*, const float*, int, int, float*);
};
constexpr RowKernels kFast{premultiply_row_fast, across_fast, down_fast};
constexpr RowKernels kReference{premultiply_row_reference, across_reference, down_reference};

// Premultiplied single precision back to straight ARGB: divide by alpha, clamp, round half up.
uint32_t finish(const float* p) {
  const float a = p[3];
  if (!(a > 0.0f)) return 0;
  const uint32_t alpha = static_cast<uint32_t>((a > 255.0f ? 255.0f : a) + 0.5f);
  if (alpha == 0) return 0;
  auto channel = [a](float premultiplied) {
    float c = premultiplied / a;
    c = c < 0.0f ? 0.0f : (c > 255.0f ? 255.0f : c);
    return static_cast<uint32_t>(c + 0.5f);
  };
  return alpha << 24 | channel(p[2]) << 16 | channel(p[1]) << 8 | channel(p[0]);
}

uint32_t premultiply_over_black_opaque(uint32_t argb) { return gdip::premultiply(argb) | 0xFF000000u; }

// One straight sample onto one target pixel.
void compose(uint8_t* pixel, uint32_t sample, Compose mode, TargetFormat format) {
  uint32_t d;
  std::memcpy(&d, pixel, 4);
  uint32_t out = 0;
  switch (format) {
    case TargetFormat::Argb:
      out = mode == Compose::SourceCopy ? sample : source_over(sample, d);
      break;
    case TargetFormat::Pargb: {
      const uint32_t s = gdip::premultiply(sample);
      if (mode == Compose::SourceCopy) {
        out = s;
        break;
      }
      const uint32_t keep = 255 - (sample >> 24);
      for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t v = ((s >> shift) & 0xFF) + (((d >> shift) & 0xFF) * keep + 127) / 255;
        out |= (v > 255 ? 255u : v) << shift;
      }
      break;
    }
    case TargetFormat::Rgb:
      out = mode == Compose::SourceCopy ? premultiply_over_black_opaque(sample)
                                        : (source_over(sample, d | 0xFF000000u) | 0xFF000000u);
      break;
  }
  std::memcpy(pixel, &out, 4);
}

// ---- kernels ----------------------------------------------------------------------------------------
double cubic(double d) {
  constexpr double a = -0.5;
  d = std::fabs(d);
  if (d < 1.0) return ((a + 2.0) * d - (a + 3.0)) * d * d + 1.0;
  if (d < 2.0) return ((a * d - 5.0 * a) * d + 8.0 * a) * d - 4.0 * a;
  return 0.0;
}
double reach_of(Filter filter, double f) { return filter == Filter::Bicubic ? 2.0 * f : f; }
double weight_of(Filter filter, double d, double f) {
  return filter == Filter::Bicubic ? cubic(d / f) : std::max(0.0, 1.0 - std::fabs(d) / f);
}

int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// An index of the tap grid onto the image: [0, n) inside, n for "the edge colour".
int map_index(int64_t k, int n, Edge edge, bool x_axis) {
  if (k >= 0 && k < n) return static_cast<int>(k);
  const bool mirror = edge == Edge::TileFlipXY || (x_axis ? edge == Edge::TileFlipX : edge == Edge::TileFlipY);
  switch (edge) {
    case Edge::Colour:
      return n;
    default: {
      if (!mirror) return static_cast<int>(k - floor_div(k, n) * n);
      const int64_t period = 2 * int64_t{n};
      const int64_t m = k - floor_div(k, period) * period;
      return static_cast<int>(m < n ? m : period - 1 - m);
    }
  }
}

// Taps of one axis for consecutive device indices, in compressed rows. The taps that fall on the
// edge colour are merged into one.
struct Taps {
  std::vector<int32_t> start{0};
  std::vector<int32_t> index;
  std::vector<float> weight;
  int lowest = std::numeric_limits<int>::max();  // smallest inside index used
  int highest = -1;                              // largest inside index used
  int max_count = 0;

  void add(double x, Filter filter, double f, int n, Edge edge, bool x_axis, std::vector<double>& scratch) {
    const double reach = reach_of(filter, f);
    const int64_t lo = static_cast<int64_t>(std::floor(x - reach)) + 1;
    const int64_t hi = static_cast<int64_t>(std::ceil(x + reach)) - 1;
    scratch.clear();
    double sum = 0.0;
    for (int64_t k = lo; k <= hi; ++k) {
      const double w = weight_of(filter, x - static_cast<double>(k), f);
      scratch.push_back(w);
      sum += w;
    }
    const size_t first = index.size();
    int outside = -1;
    for (int64_t k = lo; k <= hi; ++k) {
      const float w = sum != 0.0 ? static_cast<float>(scratch[static_cast<size_t>(k - lo)] / sum) : 0.0f;
      const int m = map_index(k, n, edge, x_axis);
      if (m == n) {
        if (outside >= 0) {
          weight[static_cast<size_t>(outside)] += w;
          continue;
        }
        outside = static_cast<int>(index.size());
      } else {
        lowest = std::min(lowest, m);
        highest = std::max(highest, m);
      }
      index.push_back(m);
      weight.push_back(w);
    }
    max_count = std::max(max_count, static_cast<int>(index.size() - first));
    start.push_back(static_cast<int32_t>(index.size()));
  }
  int count() const { return static_cast<int>(start.size()) - 1; }
};

// The covered range [first, last) of device indices along one axis of an axis-aligned draw:
// position(i) = a * (i + o) + b must lie in [s, s + len).
struct Span {
  int first = 0;
  int last = 0;
};
Span covered(int lo, int hi, double a, double b, double o, double s, double len) {
  Span span{hi, hi};
  for (int i = lo; i < hi; ++i) {
    const double u = a * (i + o) + b;
    if (u >= s && u < s + len) {
      if (span.first == hi) span.first = i;
      span.last = i + 1;
    }
  }
  if (span.first == hi) span.last = hi;
  return span;
}

uint32_t source_pixel(const SourceView& s, int x, int y) {
  uint32_t v;
  std::memcpy(&v, s.data + y * s.stride + static_cast<ptrdiff_t>(x) * 4, 4);
  return v;
}

struct Setup {
  const DrawRequest& r;
  uint32_t edge_straight;  // the edge colour after the colour matrix
  uint32_t sample(int x, int y) const {
    if (x >= r.source.width || y >= r.source.height) return edge_straight;
    const uint32_t v = source_pixel(r.source, x, y);
    return r.colour ? r.colour->apply(v) : v;
  }
  uint8_t* target_pixel(int x, int y) const {
    return r.target.data + y * r.target.stride + static_cast<ptrdiff_t>(x) * 4;
  }
  void put(int x, int y, uint32_t sample) const { compose(target_pixel(x, y), sample, r.compose, r.target.format); }
};

// ---- nearest neighbour, and every draw that maps pixels one to one ----------------------------------
void draw_nearest_axis(const Setup& s, const Affine& inv, Span cols, Span rows) {
  const DrawRequest& r = s.r;
  std::vector<int32_t> column(static_cast<size_t>(cols.last - cols.first));
  for (int i = cols.first; i < cols.last; ++i) {
    const double x = inv.m11 * (i + r.offset) + inv.dx - r.offset;
    column[static_cast<size_t>(i - cols.first)] =
        map_index(static_cast<int64_t>(std::floor(x + 0.5)), r.source.width, r.edge, true);
  }
  for (int j = rows.first; j < rows.last; ++j) {
    const double y = inv.m22 * (j + r.offset) + inv.dy - r.offset;
    const int row = map_index(static_cast<int64_t>(std::floor(y + 0.5)), r.source.height, r.edge, false);
    for (int i = cols.first; i < cols.last; ++i) {
      const int col = column[static_cast<size_t>(i - cols.first)];
      s.put(i, j, row == r.source.height ? s.edge_straight : s.sample(col, row));
    }
  }
}

// A source row (or a row of edge colour) in premultiplied form, columns [c0, c0 + n), and then one
// more entry holding the edge colour.
void premultiplied_row(const Setup& s, const RowKernels& k, int row, int c0, int n, std::vector<uint32_t>& straight,
                       float* out) {
  const DrawRequest& r = s.r;
  straight.resize(static_cast<size_t>(n) + 1);
  if (row == r.source.height) {
    std::fill(straight.begin(), straight.end(), s.edge_straight);
    k.premultiply_row(straight.data(), n + 1, out);
    return;
  }
  const auto* pixels = reinterpret_cast<const uint32_t*>(r.source.data + row * r.source.stride) + c0;
  if (r.colour) {
    for (int c = 0; c < n; ++c) straight[size_t(c)] = r.colour->apply(pixels[c]);
    pixels = straight.data();
  }
  k.premultiply_row(pixels, n, out);
  k.premultiply_row(&s.edge_straight, 1, out + 4 * static_cast<size_t>(n));
}

// ---- the separable driver: rows filtered horizontally once each, then combined vertically -------------
void draw_separable(const Setup& s, const RowKernels& k, const Affine& inv, Span cols, Span rows) {
  const DrawRequest& r = s.r;
  const int W = r.source.width, H = r.source.height;
  const double fx = r.prefilter ? std::max(1.0, std::fabs(inv.m11)) : 1.0;
  const double fy = r.prefilter ? std::max(1.0, std::fabs(inv.m22)) : 1.0;
  std::vector<double> scratch;
  Taps across, down;
  for (int i = cols.first; i < cols.last; ++i)
    across.add(inv.m11 * (i + r.offset) + inv.dx - r.offset, r.filter, fx, W, r.edge, true, scratch);
  for (int j = rows.first; j < rows.last; ++j)
    down.add(inv.m22 * (j + r.offset) + inv.dy - r.offset, r.filter, fy, H, r.edge, false, scratch);

  // Source columns [c0, c1] in premultiplied form, then one slot for the edge colour.
  const int c0 = across.highest >= 0 ? across.lowest : 0;
  const int span = across.highest >= 0 ? across.highest - c0 + 1 : 0;
  std::vector<int32_t> local(across.index.size());
  for (size_t t = 0; t < local.size(); ++t) local[t] = across.index[t] == W ? span : across.index[t] - c0;
  std::vector<uint8_t> run(static_cast<size_t>(across.count()), 1);
  for (int i = 0; i < across.count(); ++i)
    for (int32_t t = across.start[size_t(i)] + 1; t < across.start[size_t(i) + 1]; ++t)
      if (local[size_t(t)] != local[size_t(t) - 1] + 1) run[size_t(i)] = 0;
  std::vector<float> converted(static_cast<size_t>(span + 1) * 4);
  std::vector<uint32_t> straight;

  // Horizontally filtered rows, kept while later device rows still need them (the least recently
  // used goes first); the edge row is a row of edge colour filtered the same way.
  const int width = cols.last - cols.first;
  const size_t row_floats = static_cast<size_t>(width) * 4;
  const int slots = down.max_count + 2;
  std::vector<float> cache(row_floats * static_cast<size_t>(slots));
  std::vector<int> slot_row(static_cast<size_t>(slots), -1);
  std::vector<uint64_t> slot_use(static_cast<size_t>(slots), 0);
  uint64_t clock = 0;

  // needed_by[row] == device row + 1 while that device row is being formed.
  std::vector<int> needed_by(static_cast<size_t>(H) + 1, 0);
  auto row_slot = [&](int row, int device_row) -> const float* {
    ++clock;
    int victim = -1;
    for (int n = 0; n < slots; ++n) {
      if (slot_row[size_t(n)] == row) {
        slot_use[size_t(n)] = clock;
        return &cache[row_floats * size_t(n)];
      }
    }
    for (int n = 0; n < slots; ++n) {  // the least recently used slot this device row does not need
      const int held = slot_row[size_t(n)];
      const bool needed = held >= 0 && needed_by[size_t(held)] == device_row + 1;
      if (!needed && (victim < 0 || slot_use[size_t(n)] < slot_use[size_t(victim)])) victim = n;
    }
    float* out = &cache[row_floats * size_t(victim)];
    premultiplied_row(s, k, row, c0, span, straight, converted.data());
    k.across(converted.data(), across.start.data(), local.data(), run.data(), across.weight.data(), width, out);
    slot_row[size_t(victim)] = row;
    slot_use[size_t(victim)] = clock;
    return out;
  };

  std::vector<const float*> sources(static_cast<size_t>(down.max_count));
  std::vector<float> line(row_floats);
  for (int j = rows.first; j < rows.last; ++j) {
    const size_t jj = static_cast<size_t>(j - rows.first);
    const int32_t t0 = down.start[jj], t1 = down.start[jj + 1];
    for (int32_t t = t0; t < t1; ++t) needed_by[size_t(down.index[size_t(t)])] = j + 1;
    for (int32_t t = t0; t < t1; ++t) sources[size_t(t - t0)] = row_slot(down.index[size_t(t)], j);
    k.down(sources.data(), &down.weight[size_t(t0)], t1 - t0, width, line.data());
    for (int i = 0; i < width; ++i) s.put(cols.first + i, j, finish(&line[size_t(i) * 4]));
  }
}

// ---- the general driver: any invertible affine mapping, pixel by pixel ----------------------------------
void draw_general(const Setup& s, const RowKernels& k, const Affine& inv, const Affine& fwd) {
  const DrawRequest& r = s.r;
  const int W = r.source.width, H = r.source.height;
  // The device box that holds the mapped source rectangle.
  double xs[4], ys[4];
  const double cu[4] = {r.sx, r.sx + r.sw, r.sx, r.sx + r.sw}, cv[4] = {r.sy, r.sy, r.sy + r.sh, r.sy + r.sh};
  for (int n = 0; n < 4; ++n) {
    xs[n] = fwd.m11 * cu[n] + fwd.m21 * cv[n] + fwd.dx - r.offset;
    ys[n] = fwd.m12 * cu[n] + fwd.m22 * cv[n] + fwd.dy - r.offset;
  }
  auto clampi = [](double v, int lo, int hi) {
    return static_cast<int>(std::clamp(v, static_cast<double>(lo), static_cast<double>(hi)));
  };
  const int x0 = clampi(std::floor(*std::min_element(xs, xs + 4)) - 1, r.clip_x0, r.clip_x1);
  const int x1 = clampi(std::ceil(*std::max_element(xs, xs + 4)) + 2, r.clip_x0, r.clip_x1);
  const int y0 = clampi(std::floor(*std::min_element(ys, ys + 4)) - 1, r.clip_y0, r.clip_y1);
  const int y1 = clampi(std::ceil(*std::max_element(ys, ys + 4)) + 2, r.clip_y0, r.clip_y1);

  const double fx = r.prefilter ? std::clamp(std::hypot(inv.m11, inv.m21), 1.0, kMaxGeneralReduction) : 1.0;
  const double fy = r.prefilter ? std::clamp(std::hypot(inv.m12, inv.m22), 1.0, kMaxGeneralReduction) : 1.0;
  std::vector<double> scratch;
  std::vector<uint32_t> straight;
  std::vector<float> converted, lines;
  std::vector<const float*> line_of;
  std::vector<int32_t> identity;
  Taps across, down;
  for (int j = y0; j < y1; ++j) {
    for (int i = x0; i < x1; ++i) {
      const double X = i + r.offset, Y = j + r.offset;
      const double u = inv.m11 * X + inv.m21 * Y + inv.dx, v = inv.m12 * X + inv.m22 * Y + inv.dy;
      if (!(u >= r.sx && u < r.sx + r.sw && v >= r.sy && v < r.sy + r.sh)) continue;
      const double x = u - r.offset, y = v - r.offset;
      if (r.filter == Filter::Nearest) {
        const int col = map_index(static_cast<int64_t>(std::floor(x + 0.5)), W, r.edge, true);
        const int row = map_index(static_cast<int64_t>(std::floor(y + 0.5)), H, r.edge, false);
        s.put(i, j, s.sample(col, row));
        continue;
      }
      across = Taps{};
      down = Taps{};
      across.add(x, r.filter, fx, W, r.edge, true, scratch);
      down.add(y, r.filter, fy, H, r.edge, false, scratch);
      // Each tap row gathered in premultiplied form, filtered across, then the rows combined.
      const size_t nx = across.index.size(), ny = down.index.size();
      straight.resize(nx);
      converted.resize(nx * 4);
      lines.resize(ny * 4);
      line_of.resize(ny);
      identity.resize(nx);
      const int32_t start[2] = {0, static_cast<int32_t>(nx)};
      const uint8_t run = 1;
      for (size_t a = 0; a < nx; ++a) identity[a] = static_cast<int32_t>(a);
      for (size_t b = 0; b < ny; ++b) {
        for (size_t a = 0; a < nx; ++a) straight[a] = s.sample(across.index[a], down.index[b]);
        k.premultiply_row(straight.data(), static_cast<int>(nx), converted.data());
        k.across(converted.data(), start, identity.data(), &run, across.weight.data(), 1, &lines[b * 4]);
        line_of[b] = &lines[b * 4];
      }
      float out[4];
      k.down(line_of.data(), down.weight.data(), static_cast<int>(ny), 1, out);
      s.put(i, j, finish(out));
    }
  }
}

void draw_with(const Setup& s, const RowKernels& k, const Affine& inv) {
  const DrawRequest& r = s.r;
  const Affine& fwd = r.to_device;
  if (fwd.m12 != 0.0 || fwd.m21 != 0.0) return draw_general(s, k, inv, fwd);
  const Span cols = covered(r.clip_x0, r.clip_x1, inv.m11, inv.dx, r.offset, r.sx, r.sw);
  const Span rows = covered(r.clip_y0, r.clip_y1, inv.m22, inv.dy, r.offset, r.sy, r.sh);
  if (cols.first >= cols.last || rows.first >= rows.last) return;
  // One to one with whole-pixel offsets: every device pixel sits exactly on a source pixel.
  const bool one_to_one = inv.m11 == 1.0 && inv.m22 == 1.0 && inv.dx == std::floor(inv.dx) && inv.dy == std::floor(inv.dy);
  if (r.filter == Filter::Nearest || one_to_one) return draw_nearest_axis(s, inv, cols, rows);
  draw_separable(s, k, inv, cols, rows);
}

}  // namespace

Affine Affine::then(const Affine& n) const {
  return Affine{m11 * n.m11 + m12 * n.m21, m11 * n.m12 + m12 * n.m22, m21 * n.m11 + m22 * n.m21,
                m21 * n.m12 + m22 * n.m22, dx * n.m11 + dy * n.m21 + n.dx, dx * n.m12 + dy * n.m22 + n.dy};
}

bool Affine::invert(Affine* out) const {
  const double det = m11 * m22 - m12 * m21;
  if (det == 0.0 || !std::isfinite(det)) return false;
  const double i11 = m22 / det, i12 = -m12 / det, i21 = -m21 / det, i22 = m11 / det;
  *out = Affine{i11, i12, i21, i22, -(dx * i11 + dy * i21), -(dx * i12 + dy * i22)};
  return true;
}

uint32_t ColourMap::apply(uint32_t argb) const {
  const uint32_t b = argb & 0xFF, g = (argb >> 8) & 0xFF, r = (argb >> 16) & 0xFF;
  const bool gray = r == g && g == b;
  if (gray && skip_grays) return argb;
  const ColourMatrix& m = gray && alt_gray ? this->gray : matrix;
  const float in[5] = {r / 255.0f, g / 255.0f, b / 255.0f, (argb >> 24) / 255.0f, 1.0f};
  uint32_t out[4];
  for (int j = 0; j < 4; ++j) {
    float v = 0.0f;
    for (int i = 0; i < 5; ++i) v = v + in[i] * m.m[i][j];
    v = v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;  // NaN reads as 0
    out[j] = static_cast<uint32_t>(v * 255.0f + 0.5f);
  }
  return out[3] << 24 | out[0] << 16 | out[1] << 8 | out[2];
}

void compose_pixel(uint8_t* pixel, uint32_t sample, Compose mode, TargetFormat format) {
  compose(pixel, sample, mode, format);
}

uint32_t source_over(uint32_t src, uint32_t dst) {
  const uint32_t sa = src >> 24;
  if (sa == 0) return dst;
  const uint32_t da = dst >> 24;
  if (sa == 255 || da == 0) return src;
  const float kept = static_cast<float>(da * (255 - sa)) / 255.0f;
  const float alpha = static_cast<float>(sa) + kept;
  uint32_t out = static_cast<uint32_t>(alpha + 0.5f) << 24;
  for (int shift = 0; shift < 24; shift += 8) {
    const float c = (static_cast<float>(((src >> shift) & 0xFF) * sa) + static_cast<float>((dst >> shift) & 0xFF) * kept) / alpha;
    out |= std::min(255u, static_cast<uint32_t>(c + 0.5f)) << shift;
  }
  return out;
}

void draw(const DrawRequest& request, Path path) {
  const DrawRequest& r = request;
  if (!r.source.data || r.source.width <= 0 || r.source.height <= 0 || !(r.sw > 0) || !(r.sh > 0)) return;
  Affine inv;
  if (!r.to_device.invert(&inv)) return;
  const uint32_t edge = r.edge == Edge::Colour && r.colour ? r.colour->apply(r.edge_colour) : r.edge_colour;
  const Setup setup{r, edge};
  draw_with(setup, path == Path::Reference ? kReference : kFast, inv);
}

void fill(const TargetView& target, uint32_t argb) {
  const uint32_t value = target.format == TargetFormat::Argb    ? argb
                         : target.format == TargetFormat::Pargb ? gdip::premultiply(argb)
                                                                : premultiply_over_black_opaque(argb);
  for (int y = 0; y < target.height; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(target.data + y * target.stride);
    std::fill(row, row + target.width, value);
  }
}

}  // namespace zx::resample
