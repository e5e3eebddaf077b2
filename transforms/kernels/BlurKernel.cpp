// Zentarix — MIT licence.
// The blur kernel: the step-by-step reference and the exact whole-radius path, and the compositing rule.
#include "BlurKernel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace zx::transforms::kernels {
namespace {

constexpr double kMaxRadius = double(1 << 20);
constexpr int kMaxWholeRadius = 64;  // whole-radius sums stay below 2^31 up to here

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
// Premultiplied samples (B*A, G*A, R*A, A) of one line, with 2r zero samples on each side, so every
// window around a centre in [-r, length - 1 + r] reads inside the buffer; missing samples weigh nothing.
void premultiply_line(const uint8_t* line, ptrdiff_t step, int length, int r, std::vector<int32_t>& out) {
  out.assign(static_cast<size_t>(length + 4 * r) * 4, 0);
  int32_t* o = out.data() + static_cast<size_t>(2 * r) * 4;
  for (int i = 0; i < length; ++i, o += 4) {
    const uint8_t* p = line + i * step;
    o[0] = p[0] * p[3];
    o[1] = p[1] * p[3];
    o[2] = p[2] * p[3];
    o[3] = p[3];
  }
}

// Tent sums of a padded line at centres x - o for x in [0, length): four channels per output.
void tent_line(const std::vector<int32_t>& padded, int length, int r, int64_t o, int32_t* sums) {
  const int32_t* base = padded.data() + static_cast<size_t>(2 * r) * 4;
  for (int x = 0; x < length; ++x, sums += 4) {
    const int64_t c = x - o;
    if (c < -r || c > length - 1 + r) {
      sums[0] = sums[1] = sums[2] = sums[3] = 0;
      continue;
    }
    const int32_t* p = base + c * 4;
    int32_t s0 = (r + 1) * p[0], s1 = (r + 1) * p[1], s2 = (r + 1) * p[2], s3 = (r + 1) * p[3];
    for (int d = 1; d <= r; ++d) {
      const int32_t w = r + 1 - d;
      const int32_t* a = p - 4 * d;
      const int32_t* b = p + 4 * d;
      s0 += w * (a[0] + b[0]);
      s1 += w * (a[1] + b[1]);
      s2 += w * (a[2] + b[2]);
      s3 += w * (a[3] + b[3]);
    }
    sums[0] = s0, sums[1] = s1, sums[2] = s2, sums[3] = s3;
  }
}

uint32_t normalise_whole(const int32_t* s, double wsum) {
  return normalise(Sums{double(s[0]), double(s[1]), double(s[2]), double(s[3])}, wsum);
}

void blur_whole(const BlurSettings& s, const Prepared& p, ConstPixelView src, PixelView dst) {
  const int W = src.width, H = src.height;
  const int rx = static_cast<int>(p.rx), ry = static_cast<int>(p.ry);
  const double wsum_x = double(rx + 1) * double(rx + 1);
  const double wsum_y = s.colour ? double(ry + 1) * double(ry + 1) / p.intensity : double(ry + 1) * double(ry + 1);
  std::vector<uint32_t> mid(static_cast<size_t>(W) * static_cast<size_t>(H));
  std::vector<int32_t> padded;
  std::vector<int32_t> sums(static_cast<size_t>(std::max(W, H)) * 4);
  for (int y = 0; y < H; ++y) {
    premultiply_line(src.row_bytes(y), 4, W, rx, padded);
    tent_line(padded, W, rx, s.offset_x, sums.data());
    uint32_t* out = &mid[static_cast<size_t>(y) * W];
    for (int x = 0; x < W; ++x) out[x] = normalise_whole(&sums[size_t(x) * 4], wsum_x);
  }
  const auto* mid_bytes = reinterpret_cast<const uint8_t*>(mid.data());
  for (int x = 0; x < W; ++x) {
    premultiply_line(mid_bytes + size_t(x) * 4, ptrdiff_t(W) * 4, H, ry, padded);
    tent_line(padded, H, ry, s.offset_y, sums.data());
    for (int y = 0; y < H; ++y) lay(dst.row_bytes(y) + size_t(x) * 4, normalise_whole(&sums[size_t(y) * 4], wsum_y), s);
  }
}

}  // namespace

void composite_pixel(uint8_t* d, uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
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
  auto whole = [](double r) { return r >= 0.0 && r <= kMaxWholeRadius && r == std::floor(r); };
  if (!p.plain && whole(p.rx) && whole(p.ry)) return blur_whole(s, p, src, dst);
  blur_argb32_reference(s, src, dst);
}

void glow_argb32(const BlurSettings& settings, ConstPixelView src, PixelView dst) {
  blur_argb32(settings, src, dst);
  composite_over(src, dst);
}

}  // namespace zx::transforms::kernels
