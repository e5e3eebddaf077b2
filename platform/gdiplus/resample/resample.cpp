// Zentarix GDI+ layer — MIT licence.
// The resampler: tap tables, the separable and the general drivers, in a vector and a scalar form.
#include "resample.h"

#include <algorithm>
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

// ---- pixels in premultiplied single precision: b*a, g*a, r*a, a (memory order) -----------------
// Two forms of the same arithmetic: GCC vectors (SSE) and a plain array. Both add and multiply
// channel by channel in the same order, so they give the same bits (the library is built without
// floating-point contraction).
typedef float f4 __attribute__((vector_size(16)));
typedef uint8_t u8x4 __attribute__((vector_size(4)));

struct VectorPixels {
  using Px = f4;
  static Px zero() { return f4{0, 0, 0, 0}; }
  static Px premultiplied(uint32_t argb) {
    u8x4 bytes;
    std::memcpy(&bytes, &argb, 4);
    const f4 p = __builtin_convertvector(bytes, f4);
    const f4 one = {1, 1, 1, 1};
    return p * __builtin_shufflevector(p, one, 3, 3, 3, 4);
  }
  static Px load(const float* p) {
    Px v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static void store(float* p, Px v) { std::memcpy(p, &v, sizeof v); }
  static void madd(Px& acc, float w, Px p) { acc = acc + p * w; }
};

struct ScalarPixels {
  struct Px {
    float v[4];
  };
  static Px zero() { return Px{{0, 0, 0, 0}}; }
  static Px premultiplied(uint32_t argb) {
    const float a = static_cast<float>(argb >> 24);
    Px p;
    for (int c = 0; c < 3; ++c) p.v[c] = static_cast<float>((argb >> (8 * c)) & 0xFF) * a;
    p.v[3] = a * 1.0f;
    return p;
  }
  static Px load(const float* p) {
    Px v;
    for (int c = 0; c < 4; ++c) v.v[c] = p[c];
    return v;
  }
  static void store(float* p, Px v) {
    for (int c = 0; c < 4; ++c) p[c] = v.v[c];
  }
  static void madd(Px& acc, float w, Px p) {
    for (int c = 0; c < 4; ++c) acc.v[c] = acc.v[c] + p.v[c] * w;
  }
};

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

// ---- the separable driver: rows filtered horizontally once each, then combined vertically -------------
template <class Ops>
void draw_separable(const Setup& s, const Affine& inv, Span cols, Span rows) {
  using Px = typename Ops::Px;
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
  const int c1 = across.highest >= 0 ? across.highest : -1;
  const int span = c1 - c0 + 1;
  std::vector<int32_t> local(across.index.size());
  for (size_t t = 0; t < local.size(); ++t) local[t] = across.index[t] == W ? span : across.index[t] - c0;
  std::vector<float> converted(static_cast<size_t>(span + 1) * 4);
  Ops::store(&converted[static_cast<size_t>(span) * 4], Ops::premultiplied(s.edge_straight));

  // Horizontally filtered rows, kept while later device rows still need them (least recently used
  // goes first); the edge row is a row of edge colour filtered the same way.
  const int width = cols.last - cols.first;
  const size_t row_floats = static_cast<size_t>(width) * 4;
  const int slots = down.max_count + 2;
  std::vector<float> cache(row_floats * static_cast<size_t>(slots));
  std::vector<int> slot_row(static_cast<size_t>(slots), -1);
  std::vector<uint64_t> slot_use(static_cast<size_t>(slots), 0);
  uint64_t clock = 0;

  auto filter_row = [&](int row, float* out) {
    if (row == H) {
      const Px edge = Ops::load(&converted[static_cast<size_t>(span) * 4]);
      for (int c = 0; c < span; ++c) Ops::store(&converted[static_cast<size_t>(c) * 4], edge);
    } else {
      for (int c = 0; c < span; ++c)
        Ops::store(&converted[static_cast<size_t>(c) * 4], Ops::premultiplied(s.sample(c0 + c, row)));
    }
    const float* in = converted.data();
    for (int i = 0; i < width; ++i) {
      Px acc = Ops::zero();
      for (int32_t t = across.start[static_cast<size_t>(i)]; t < across.start[static_cast<size_t>(i) + 1]; ++t)
        Ops::madd(acc, across.weight[static_cast<size_t>(t)], Ops::load(in + static_cast<size_t>(local[static_cast<size_t>(t)]) * 4));
      Ops::store(out + static_cast<size_t>(i) * 4, acc);
    }
  };
  auto row_slot = [&](int row, int32_t t0, int32_t t1) -> const float* {
    ++clock;
    int victim = -1;
    for (int k = 0; k < slots; ++k) {
      if (slot_row[static_cast<size_t>(k)] == row) {
        slot_use[static_cast<size_t>(k)] = clock;
        return &cache[row_floats * static_cast<size_t>(k)];
      }
    }
    // Evict the least recently used slot whose row this device row does not need.
    for (int k = 0; k < slots; ++k) {
      const int held = slot_row[static_cast<size_t>(k)];
      bool needed = false;
      for (int32_t t = t0; t < t1 && held >= 0; ++t) needed |= down.index[static_cast<size_t>(t)] == held;
      if (!needed && (victim < 0 || slot_use[static_cast<size_t>(k)] < slot_use[static_cast<size_t>(victim)])) victim = k;
    }
    float* out = &cache[row_floats * static_cast<size_t>(victim)];
    filter_row(row, out);
    slot_row[static_cast<size_t>(victim)] = row;
    slot_use[static_cast<size_t>(victim)] = clock;
    return out;
  };

  std::vector<const float*> sources(static_cast<size_t>(down.max_count));
  for (int j = rows.first; j < rows.last; ++j) {
    const size_t jj = static_cast<size_t>(j - rows.first);
    const int32_t t0 = down.start[jj], t1 = down.start[jj + 1];
    for (int32_t t = t0; t < t1; ++t) sources[static_cast<size_t>(t - t0)] = row_slot(down.index[static_cast<size_t>(t)], t0, t1);
    for (int i = 0; i < width; ++i) {
      Px acc = Ops::zero();
      for (int32_t t = t0; t < t1; ++t)
        Ops::madd(acc, down.weight[static_cast<size_t>(t)], Ops::load(sources[static_cast<size_t>(t - t0)] + static_cast<size_t>(i) * 4));
      float out[4];
      Ops::store(out, acc);
      s.put(cols.first + i, j, finish(out));
    }
  }
}

// ---- the general driver: any invertible affine mapping, pixel by pixel ----------------------------------
template <class Ops>
void draw_general(const Setup& s, const Affine& inv, const Affine& fwd) {
  using Px = typename Ops::Px;
  const DrawRequest& r = s.r;
  const int W = r.source.width, H = r.source.height;
  // The device box that holds the mapped source rectangle.
  double xs[4], ys[4];
  const double cu[4] = {r.sx, r.sx + r.sw, r.sx, r.sx + r.sw}, cv[4] = {r.sy, r.sy, r.sy + r.sh, r.sy + r.sh};
  for (int k = 0; k < 4; ++k) {
    xs[k] = fwd.m11 * cu[k] + fwd.m21 * cv[k] + fwd.dx - r.offset;
    ys[k] = fwd.m12 * cu[k] + fwd.m22 * cv[k] + fwd.dy - r.offset;
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
      Px acc = Ops::zero();
      for (size_t b = 0; b < down.index.size(); ++b) {
        Px line = Ops::zero();
        for (size_t a = 0; a < across.index.size(); ++a)
          Ops::madd(line, across.weight[a], Ops::premultiplied(s.sample(across.index[a], down.index[b])));
        Ops::madd(acc, down.weight[b], line);
      }
      float out[4];
      Ops::store(out, acc);
      s.put(i, j, finish(out));
    }
  }
}

template <class Ops>
void draw_with(const Setup& s, const Affine& inv) {
  const DrawRequest& r = s.r;
  const Affine& fwd = r.to_device;
  if (fwd.m12 != 0.0 || fwd.m21 != 0.0) return draw_general<Ops>(s, inv, fwd);
  const Span cols = covered(r.clip_x0, r.clip_x1, inv.m11, inv.dx, r.offset, r.sx, r.sw);
  const Span rows = covered(r.clip_y0, r.clip_y1, inv.m22, inv.dy, r.offset, r.sy, r.sh);
  if (cols.first >= cols.last || rows.first >= rows.last) return;
  // One to one with whole-pixel offsets: every device pixel sits exactly on a source pixel.
  const bool one_to_one = inv.m11 == 1.0 && inv.m22 == 1.0 && inv.dx == std::floor(inv.dx) && inv.dy == std::floor(inv.dy);
  if (r.filter == Filter::Nearest || one_to_one) return draw_nearest_axis(s, inv, cols, rows);
  draw_separable<Ops>(s, inv, cols, rows);
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
    v = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    out[j] = static_cast<uint32_t>(v * 255.0f + 0.5f);
  }
  return out[3] << 24 | out[0] << 16 | out[1] << 8 | out[2];
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
  if (path == Path::Reference)
    draw_with<ScalarPixels>(setup, inv);
  else
    draw_with<VectorPixels>(setup, inv);
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
