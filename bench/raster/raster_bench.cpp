// Zentarix — MIT licence.
// Raster benchmarks: combine modes, flood fill, histogram and pixel arrays on 12 MP, against memcpy.
#include <benchmark/benchmark.h>
#include <gdiplus.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "BenchTiming.h"
#include "BitmapLock.h"
#include "CombineBitmaps.h"
#include "PixelArray.h"
#include "kernels/CombineKernels.h"
#include "kernels/FloodFill.h"
#include "kernels/Histogram.h"
#include "zx/com.h"
#include "zx/pixel_memory.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr size_t kBytes = size_t{kWidth} * kHeight * 4;

using zx::bench::Block;

template <class Body>
void timed(benchmark::State& state, Body&& body) {
  zx::bench::timed(state, kBytes, body);
}

std::unique_ptr<Gdiplus::Bitmap> random_bitmap(uint32_t seed) {
  auto bitmap = std::make_unique<Gdiplus::Bitmap>(kWidth, kHeight, Gdiplus::PixelFormat32bppARGB);
  zx::raster::BitmapLock lock(bitmap.get(), Gdiplus::Rect(0, 0, kWidth, kHeight), Gdiplus::ImageLockModeWrite);
  std::mt19937 rng(seed);
  const auto view = lock.view();
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) view.row(y)[x] = rng();
  return bitmap;
}

void BM_Memcpy(benchmark::State& state) {
  Block from(kBytes), to(kBytes);
  timed(state, [&] { std::memcpy(to.p, from.p, kBytes); });
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Combine(benchmark::State& state) {
  const auto mode = static_cast<CombineModes>(state.range(0));
  auto source = random_bitmap(1);
  auto dest = random_bitmap(2);
  Gdiplus::Bitmap* d = dest.get();
  const zx::raster::CombinePlacement placement{200, 0, 0};
  timed(state, [&] {
    if (zx::raster::CombineBitmaps(source.get(), &d, placement, mode) != Gdiplus::Ok) state.SkipWithError("combine failed");
  });
}
BENCHMARK(BM_Combine)->Arg(cmAlphaBlend)->Arg(cmXORBlend)->Arg(cmANDBlend)->Arg(cmORBlend)->Arg(cmDissolve)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CombineAlphaReference(benchmark::State& state) {
  Block src(kBytes), dst(kBytes);
  std::mt19937 rng(3);
  for (size_t i = 0; i < kBytes; ++i) src.p[i] = static_cast<uint8_t>(rng());
  const zx::raster::kernels::PixelView d{dst.p, kWidth, kHeight, kWidth * 4};
  const zx::raster::kernels::ConstPixelView s(src.p, kWidth, kHeight, kWidth * 4);
  timed(state, [&] { zx::raster::kernels::combine_alpha_argb32_reference(s, d, 200); });
}
BENCHMARK(BM_CombineAlphaReference)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FloodFillUniform(benchmark::State& state) {
  Block image(kBytes);
  const zx::raster::kernels::PixelView view{image.p, kWidth, kHeight, kWidth * 4};
  uint32_t colours[2] = {0xFF808080, 0xFF00FF00};
  for (int y = 0; y < kHeight; ++y) std::fill_n(view.row(y), kWidth, colours[0]);
  int turn = 0;
  timed(state, [&] {
    zx::raster::kernels::FloodFillParams params;
    params.x = kWidth / 2;
    params.y = kHeight / 2;
    params.target_colour = colours[turn];
    params.new_colour = colours[turn ^ 1];
    zx::raster::kernels::flood_fill_argb32(view, params);
    turn ^= 1;
  });
}
BENCHMARK(BM_FloodFillUniform)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Histogram(benchmark::State& state) {
  auto bitmap = random_bitmap(4);
  timed(state, [&] {
    zx::raster::BitmapLock lock(bitmap.get(), Gdiplus::Rect(0, 0, kWidth, kHeight), Gdiplus::ImageLockModeRead);
    int32_t bins[256] = {};
    zx::raster::kernels::histogram_argb32(lock.view(), static_cast<int>(state.range(0)), bins);
    benchmark::DoNotOptimize(bins);
  });
}
BENCHMARK(BM_Histogram)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BitmapToPixelArray(benchmark::State& state) {
  auto bitmap = random_bitmap(5);
  timed(state, [&] {
    zx::SafeArray array;
    if (FAILED(zx::raster::BitmapToPixelArray(bitmap.get(), array.put()))) state.SkipWithError("conversion failed");
  });
}
BENCHMARK(BM_BitmapToPixelArray)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PixelArrayToBitmap(benchmark::State& state) {
  auto bitmap = random_bitmap(6);
  zx::SafeArray array;
  zx::raster::BitmapToPixelArray(bitmap.get(), array.put());
  Gdiplus::Bitmap* target = nullptr;
  timed(state, [&] {
    if (FAILED(zx::raster::PixelArrayToBitmap(array.get(), &target))) state.SkipWithError("conversion failed");
  });
  delete target;
}
BENCHMARK(BM_PixelArrayToBitmap)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return zx::bench::main_with_gdiplus(argc, argv); }
