// Zentarix — MIT licence.
// Transform workers on a 20-megapixel image (the benchmark photo's size), each against a memcpy of it.
#include <gdiplus.h>

#include <memory>
#include <random>

#include "BenchTiming.h"
#include "zentarix.h"
#include "zx/com.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);

namespace {

constexpr int kWidth = 6028;  // Kleiber_by_Lukas_Baubkus.jpg, 20.4 MP
constexpr int kHeight = 3391;
constexpr size_t kBytes = size_t{kWidth} * kHeight * 4;

// An opaque photo-like image: smooth gradients with noise, made once.
Gdiplus::Bitmap* photo() {
  static std::unique_ptr<Gdiplus::Bitmap> bitmap = [] {
    auto b = std::make_unique<Gdiplus::Bitmap>(kWidth, kHeight, Gdiplus::PixelFormat32bppARGB);
    Gdiplus::BitmapData data;
    Gdiplus::Rect all(0, 0, kWidth, kHeight);
    b->LockBits(&all, Gdiplus::ImageLockModeWrite, Gdiplus::PixelFormat32bppARGB, &data);
    std::mt19937 rng(7);
    for (int y = 0; y < kHeight; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(data.Scan0) + ptrdiff_t(y) * data.Stride);
      for (int x = 0; x < kWidth; ++x)
        row[x] = 0xFF000000u | ((x * 255 / kWidth) << 16) | ((y * 255 / kHeight) << 8) | (rng() & 0x3F);
    }
    b->UnlockBits(&data);
    return b;
  }();
  return bitmap.get();
}

// A transform made by its class object, as the module hands it out, with its settings applied.
template <class Itf>
zx::ComPtr<Itf> make(REFCLSID clsid) {
  zx::ComPtr<IClassFactory> factory;
  zx::ComPtr<Itf> transform;
  if (SUCCEEDED(DllGetClassObject(clsid, IID_IClassFactory, factory.put_void())))
    factory->CreateInstance(nullptr, zx::uuid_of<Itf>::value, transform.put_void());
  return transform;
}

template <class Itf>
void run(benchmark::State& state, Itf* transform) {
  zx::ComPtr<IGDIPlusTransform> worker;
  if (!transform || FAILED(transform->QueryInterface(IID_IGDIPlusTransform, worker.put_void())))
    return state.SkipWithError("transform not available");
  Gdiplus::Bitmap* input = photo();
  zx::bench::timed(state, kBytes, [&] {
    Gdiplus::Bitmap* result = nullptr;
    if (FAILED(worker->ApplyMe(reinterpret_cast<LONG*>(input), reinterpret_cast<LONG**>(&result))))
      state.SkipWithError("transform failed");
    delete result;
  });
}

void BM_Memcpy(benchmark::State& state) {
  zx::bench::Block from(kBytes), to(kBytes);
  zx::bench::timed(state, kBytes, [&] { std::memcpy(to.p, from.p, kBytes); });
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

// To 200 x 150 at the initial (default) quality, HighQualityBilinear.
void BM_Resize200x150(benchmark::State& state) {
  auto resize = make<ITransformResize>(CLSID_TransformResize);
  if (resize) resize->put_NewWidth(200), resize->put_NewHeight(150);
  run(state, resize.get());
}
BENCHMARK(BM_Resize200x150)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FastBlur2(benchmark::State& state) { run(state, make<ITransformFastBlur>(CLSID_TransformFastBlur).get()); }
BENCHMARK(BM_FastBlur2)->Unit(benchmark::kMillisecond)->UseRealTime();

// FastBlur at other radii, given in tenths: the direct path's limit (24), the sliding path just
// above it (9), and a wide whole and fractional radius, whose work should not grow with it.
void BM_FastBlur(benchmark::State& state) {
  auto blur = make<ITransformFastBlur>(CLSID_TransformFastBlur);
  if (blur) blur->put_Radius(double(state.range(0)) / 10.0);
  run(state, blur.get());
}
BENCHMARK(BM_FastBlur)->Arg(240)->Arg(250)->Arg(1000)->Arg(1005)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FlipAndRotate90(benchmark::State& state) {
  auto flip = make<ITransformFlipAndRotate>(CLSID_TransformFlipAndRotate);
  if (flip) flip->put_FlipType(fartRotate90NoFlip);
  run(state, flip.get());
}
BENCHMARK(BM_FlipAndRotate90)->Unit(benchmark::kMillisecond)->UseRealTime();

// The rank filters at a small and a large radius: Erosion's work does not depend on it, the
// median's grows with the window's side, not its area.
void BM_NoiseRemove(benchmark::State& state) {
  auto median = make<ITransformNoiseRemove>(CLSID_TransformNoiseRemove);
  if (median) median->put_Precision(static_cast<long>(state.range(0)));
  run(state, median.get());
}
BENCHMARK(BM_NoiseRemove)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Erosion(benchmark::State& state) {
  auto erosion = make<ITransformErosion>(CLSID_TransformErosion);
  if (erosion) erosion->put_Strength(static_cast<long>(state.range(0)));
  run(state, erosion.get());
}
BENCHMARK(BM_Erosion)->Arg(1)->Arg(16)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) { return zx::bench::main_with_gdiplus(argc, argv); }
