// Zentarix — MIT licence.
// The five combine kernels (alpha, XOR, AND, OR, dissolve) and the placement clipping they share.
#include "CombineKernels.h"

#include <algorithm>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZX_HAVE_X86 1
#endif

namespace zx::raster::kernels {
namespace {

// The alpha factor's constant in double precision; the logical modes use the same fraction rounded
// to single precision first, which keeps their factor just below 1 at full strength.
constexpr double kAlphaFactor = 1.0 / 65025.0;
constexpr double kLogicalFactor = static_cast<double>(1.0f / 65025.0f);

// d + trunc((t - d) * f); the result stays between d and t because 0 <= f <= 1.
inline uint8_t step_towards(uint8_t d, int t, double f) {
  return static_cast<uint8_t>(d + static_cast<int>((t - d) * f));
}

template <class Op>
void combine_logical(ConstPixelView src, PixelView dst, uint8_t opacity, Op op) {
  for (int y = 0; y < dst.height; ++y) {
    const uint8_t* s = src.row_bytes(y);
    uint8_t* d = dst.row_bytes(y);
    for (int x = 0; x < dst.width; ++x, s += 4, d += 4) {
      const double f = static_cast<double>(s[3] * opacity) * kLogicalFactor;
      for (int c = 0; c < 4; ++c) d[c] = step_towards(d[c], op(s[c], d[c]), f);
    }
  }
}

#ifdef ZX_HAVE_X86
// Four pixels per step in double precision, bit-for-bit the reference: the same products, the same
// truncation (cvttpd), integer adds.
__attribute__((target("avx2"))) void combine_alpha_argb32_avx2(ConstPixelView src, PixelView dst,
                                                                uint8_t opacity) {
  const __m128i o4 = _mm_set1_epi32(opacity);
  const __m256d k = _mm256_set1_pd(kAlphaFactor);
  const __m256i pick = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  for (int y = 0; y < dst.height; ++y) {
    const uint32_t* s = src.row(y);
    uint32_t* d = dst.row(y);
    int x = 0;
    for (; x + 4 <= dst.width; x += 4) {
      const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + x));
      const __m128i ao = _mm_mullo_epi32(_mm_srli_epi32(sv, 24), o4);
      if (_mm_testz_si128(ao, ao)) continue;  // every factor 0: nothing changes
      const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + x));
      const __m256d f = _mm256_mul_pd(_mm256_cvtepi32_pd(ao), k);
      const __m256i s01 = _mm256_cvtepu8_epi32(sv);
      const __m256i s23 = _mm256_cvtepu8_epi32(_mm_srli_si128(sv, 8));
      const __m256i d01 = _mm256_cvtepu8_epi32(dv);
      const __m256i d23 = _mm256_cvtepu8_epi32(_mm_srli_si128(dv, 8));
      const __m256i x01 = _mm256_sub_epi32(s01, d01);
      const __m256i x23 = _mm256_sub_epi32(s23, d23);
      const __m128i t0 = _mm256_cvttpd_epi32(
          _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(x01)), _mm256_permute4x64_pd(f, 0x00)));
      const __m128i t1 = _mm256_cvttpd_epi32(
          _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(x01, 1)), _mm256_permute4x64_pd(f, 0x55)));
      const __m128i t2 = _mm256_cvttpd_epi32(
          _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(x23)), _mm256_permute4x64_pd(f, 0xAA)));
      const __m128i t3 = _mm256_cvttpd_epi32(
          _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(x23, 1)), _mm256_permute4x64_pd(f, 0xFF)));
      const __m256i r01 = _mm256_add_epi32(d01, _mm256_set_m128i(t1, t0));
      const __m256i r23 = _mm256_add_epi32(d23, _mm256_set_m128i(t3, t2));
      // Lane 0 holds pixels 0 and 2, lane 1 pixels 1 and 3 after the packs; pick restores the order.
      const __m256i w = _mm256_packus_epi32(r01, r23);
      const __m256i b = _mm256_packus_epi16(w, w);
      const __m256i ordered = _mm256_permutevar8x32_epi32(b, pick);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + x), _mm256_castsi256_si128(ordered));
    }
    if (x < dst.width) {
      ConstPixelView s_tail(reinterpret_cast<const uint8_t*>(s + x), dst.width - x, 1, src.stride);
      PixelView d_tail{reinterpret_cast<uint8_t*>(d + x), dst.width - x, 1, dst.stride};
      combine_alpha_argb32_reference(s_tail, d_tail, opacity);
    }
  }
}

bool cpu_has_avx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

}  // namespace

ClippedRects clip_placement(int ws, int hs, int wd, int hd, int32_t x, int32_t y) {
  // 64-bit intermediates: -X of INT32_MIN and the size differences must not overflow.
  const int64_t X = x, Y = y;
  ClippedRects r;
  r.sx = static_cast<int>(X <= 0 ? std::min<int64_t>(-X, ws) : 0);
  r.sy = static_cast<int>(Y <= 0 ? std::min<int64_t>(-Y, hs) : 0);
  r.dx = static_cast<int>(X >= 0 ? std::min<int64_t>(X, wd) : 0);
  r.dy = static_cast<int>(Y >= 0 ? std::min<int64_t>(Y, hd) : 0);
  r.w = std::max(0, std::min(ws - r.sx, wd - r.dx));
  r.h = std::max(0, std::min(hs - r.sy, hd - r.dy));
  return r;
}

void combine_alpha_argb32_reference(ConstPixelView src, PixelView dst, uint8_t opacity) {
  for (int y = 0; y < dst.height; ++y) {
    const uint8_t* s = src.row_bytes(y);
    uint8_t* d = dst.row_bytes(y);
    for (int x = 0; x < dst.width; ++x, s += 4, d += 4) {
      const double f = static_cast<double>(s[3] * opacity) * kAlphaFactor;
      for (int c = 0; c < 4; ++c) d[c] = step_towards(d[c], s[c], f);
    }
  }
}

bool combine_alpha_argb32_is_vectorised() {
#ifdef ZX_HAVE_X86
  return cpu_has_avx2();
#else
  return false;
#endif
}

void combine_alpha_argb32(ConstPixelView src, PixelView dst, uint8_t opacity) {
#ifdef ZX_HAVE_X86
  if (cpu_has_avx2()) return combine_alpha_argb32_avx2(src, dst, opacity);
#endif
  combine_alpha_argb32_reference(src, dst, opacity);
}

void combine_and_argb32(ConstPixelView src, PixelView dst, uint8_t opacity) {
  combine_logical(src, dst, opacity, [](int s, int d) { return s & d; });
}
void combine_xor_argb32(ConstPixelView src, PixelView dst, uint8_t opacity) {
  combine_logical(src, dst, opacity, [](int s, int d) { return s ^ d; });
}
void combine_or_argb32(ConstPixelView src, PixelView dst, uint8_t opacity) {
  combine_logical(src, dst, opacity, [](int s, int d) { return s | d; });
}

void combine_dissolve_argb32(ConstPixelView src, PixelView dst, uint8_t opacity, DissolveGenerator& gen) {
  const double p = opacity * (1.0 / 255.0);
  for (int y = 0; y < dst.height; ++y) {
    const uint8_t* s = src.row_bytes(y);
    uint8_t* d = dst.row_bytes(y);
    for (int x = 0; x < dst.width; ++x, s += 4, d += 4) {
      const double r = gen.next() * (1.0 / 32767.0);
      if (!(p > r)) continue;
      const int a = s[3];
      for (int c = 0; c < 4; ++c) d[c] = static_cast<uint8_t>((s[c] * a + d[c] * (255 - a)) / 255);
    }
  }
}

}  // namespace zx::raster::kernels
