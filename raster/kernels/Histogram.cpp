// Zentarix — MIT licence.
// 256-bin histograms of 32 bpp ARGB pixels: lightness, intensity and the three colour channels.
#include "Histogram.h"

#include <algorithm>
#include <array>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZX_HAVE_X86 1
#endif

namespace zx::raster::kernels {
namespace {

double clamp_channel(double v) { return std::clamp(v, 0.0, 255.0); }

double lightness_of(uint32_t g, uint32_t r, uint32_t b) { return 0.59 * g + 0.3 * r + 0.11 * b; }
double intensity_of(uint32_t sum) { return sum * 0.3333333333333333; }

// The products of each channel, computed exactly as the per-pixel formula computes them, so a sum
// of table entries in the formula's order is the formula's value to the last bit.
struct LightnessTables {
  std::array<double, 256> g, r, b;
  LightnessTables() {
    for (uint32_t v = 0; v < 256; ++v) {
      g[v] = 0.59 * v;
      r[v] = 0.3 * v;
      b[v] = 0.11 * v;
    }
  }
};
struct IntensityTable {
  std::array<uint8_t, 766> bin;
  IntensityTable() {
    for (uint32_t s = 0; s < bin.size(); ++s) bin[s] = static_cast<uint8_t>(clamp_channel(intensity_of(s)));
  }
};

// Four interleaved partial counts keep consecutive equal bins from waiting on each other's stores.
template <class BinOf>
void count(ConstPixelView image, int32_t bins[256], BinOf bin_of) {
  int32_t partial[4][256] = {};
  for (int y = 0; y < image.height; ++y) {
    const uint32_t* row = image.row(y);
    int x = 0;
    for (; x + 4 <= image.width; x += 4) {
      ++partial[0][bin_of(row[x])];
      ++partial[1][bin_of(row[x + 1])];
      ++partial[2][bin_of(row[x + 2])];
      ++partial[3][bin_of(row[x + 3])];
    }
    for (; x < image.width; ++x) ++partial[0][bin_of(row[x])];
  }
  for (int i = 0; i < 256; ++i) bins[i] += partial[0][i] + partial[1][i] + partial[2][i] + partial[3][i];
}

#ifdef ZX_HAVE_X86
// Lightness of four pixels at a time: the same three products and two additions in the same order
// as the formula, in double precision, so every bin matches the scalar path exactly.
__attribute__((target("avx2"))) void count_lightness_avx2(ConstPixelView image, int32_t bins[256]) {
  int32_t partial[4][256] = {};
  const __m256d kg = _mm256_set1_pd(0.59), kr = _mm256_set1_pd(0.3), kb = _mm256_set1_pd(0.11);
  const __m256d lo = _mm256_setzero_pd(), hi = _mm256_set1_pd(255.0);
  const __m128i byte = _mm_set1_epi32(0xFF);
  alignas(16) int32_t index[4];
  for (int y = 0; y < image.height; ++y) {
    const uint32_t* row = image.row(y);
    int x = 0;
    for (; x + 4 <= image.width; x += 4) {
      const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
      const __m256d b = _mm256_cvtepi32_pd(_mm_and_si128(p, byte));
      const __m256d g = _mm256_cvtepi32_pd(_mm_and_si128(_mm_srli_epi32(p, 8), byte));
      const __m256d r = _mm256_cvtepi32_pd(_mm_and_si128(_mm_srli_epi32(p, 16), byte));
      __m256d v = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(kg, g), _mm256_mul_pd(kr, r)), _mm256_mul_pd(kb, b));
      v = _mm256_min_pd(_mm256_max_pd(v, lo), hi);
      _mm_store_si128(reinterpret_cast<__m128i*>(index), _mm256_cvttpd_epi32(v));
      ++partial[0][index[0]];
      ++partial[1][index[1]];
      ++partial[2][index[2]];
      ++partial[3][index[3]];
    }
    for (; x < image.width; ++x) ++partial[0][histogram_bin(HistogramKind::lightness, row[x])];
  }
  for (int i = 0; i < 256; ++i) bins[i] += partial[0][i] + partial[1][i] + partial[2][i] + partial[3][i];
}

bool cpu_has_avx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

}  // namespace

int histogram_bin(HistogramKind kind, uint32_t p) {
  switch (kind) {
    case HistogramKind::lightness:
      return static_cast<int>(clamp_channel(lightness_of(green_of(p), red_of(p), blue_of(p))));
    case HistogramKind::intensity:
      return static_cast<int>(clamp_channel(intensity_of(red_of(p) + green_of(p) + blue_of(p))));
    case HistogramKind::red:
      return static_cast<int>(red_of(p));
    case HistogramKind::green:
      return static_cast<int>(green_of(p));
    case HistogramKind::blue:
      return static_cast<int>(blue_of(p));
  }
  return 0;
}

bool histogram_argb32(ConstPixelView image, int kind, int32_t bins[256]) {
  switch (static_cast<HistogramKind>(kind)) {
    case HistogramKind::lightness: {
#ifdef ZX_HAVE_X86
      if (cpu_has_avx2()) {
        count_lightness_avx2(image, bins);
        return true;
      }
#endif
      static const LightnessTables t;
      count(image, bins, [&](uint32_t p) {
        const double v = t.g[green_of(p)] + t.r[red_of(p)] + t.b[blue_of(p)];
        return static_cast<int>(clamp_channel(v));
      });
      return true;
    }
    case HistogramKind::intensity: {
      static const IntensityTable t;
      count(image, bins, [&](uint32_t p) { return t.bin[red_of(p) + green_of(p) + blue_of(p)]; });
      return true;
    }
    case HistogramKind::red:
      count(image, bins, [](uint32_t p) { return red_of(p); });
      return true;
    case HistogramKind::green:
      count(image, bins, [](uint32_t p) { return green_of(p); });
      return true;
    case HistogramKind::blue:
      count(image, bins, [](uint32_t p) { return blue_of(p); });
      return true;
  }
  return false;
}

}  // namespace zx::raster::kernels
