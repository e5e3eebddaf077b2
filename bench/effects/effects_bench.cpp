// Zentarix — MIT licence.
// ApplyMe of every effect on the benchmark photo (20.4 MP, preloaded), each against a memcpy of it.
#include <gdiplus.h>

#include <memory>
#include <string>
#include <vector>

#include "BenchTiming.h"
#include "ExternalEffects.h"
#include "zentarix.h"
#include "zx/com.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);

namespace {

using zx::effects::EffectArgument;
using zx::effects::kExternalEffects;

// The photo decoded once into a 32 bpp ARGB bitmap the effects read.
Gdiplus::Bitmap* photo() {
  static std::unique_ptr<Gdiplus::Bitmap> bitmap = [] {
    Gdiplus::Bitmap decoded(zx::to_utf16(ZX_BENCH_PHOTO).c_str());
    const INT w = static_cast<INT>(decoded.GetWidth()), h = static_cast<INT>(decoded.GetHeight());
    auto b = std::make_unique<Gdiplus::Bitmap>(w, h, Gdiplus::PixelFormat32bppARGB);
    Gdiplus::Rect all(0, 0, w, h);
    Gdiplus::BitmapData from, to;
    if (decoded.LockBits(&all, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppARGB, &from) == Gdiplus::Ok &&
        b->LockBits(&all, Gdiplus::ImageLockModeWrite, Gdiplus::PixelFormat32bppARGB, &to) == Gdiplus::Ok) {
      for (INT y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(to.Scan0) + ptrdiff_t(y) * to.Stride,
                    static_cast<const uint8_t*>(from.Scan0) + ptrdiff_t(y) * from.Stride, size_t(w) * 4);
      decoded.UnlockBits(&from);
      b->UnlockBits(&to);
    }
    return b;
  }();
  return bitmap.get();
}

size_t photo_bytes() { return size_t{photo()->GetWidth()} * photo()->GetHeight() * 4; }

// The effect made by the module's class object and set up as the raster object sets it up: its
// setters called by entry, in the shared table's order.
zx::ComPtr<IGDIPlusTransform> make(int which, const std::vector<EffectArgument>& arguments) {
  const auto& effect = kExternalEffects[which];
  zx::ComPtr<IClassFactory> factory;
  zx::ComPtr<IDispatch> object;
  zx::ComPtr<IGDIPlusTransform> worker;
  if (FAILED(DllGetClassObject(effect.clsid, IID_IClassFactory, factory.put_void())) ||
      FAILED(factory->CreateInstance(nullptr, effect.iid, object.put_void())))
    return worker;
  void* const* entries = *reinterpret_cast<void* const* const*>(object.get());
  for (size_t i = 0; i < effect.count; ++i) {
    const auto& call = effect.setters[i];
    const EffectArgument value =
        call.argument == zx::effects::kConstant ? EffectArgument(call.constant) : arguments[size_t(call.argument)];
    if (call.kind == zx::effects::ArgumentKind::Float)
      reinterpret_cast<HRESULT (*)(IDispatch*, FLOAT)>(entries[call.entry])(object.get(), value.real);
    else
      reinterpret_cast<HRESULT (*)(IDispatch*, LONG)>(entries[call.entry])(object.get(), value.whole);
  }
  object.query(worker);
  return worker;
}

void run(benchmark::State& state, int which, std::vector<EffectArgument> arguments) {
  zx::ComPtr<IGDIPlusTransform> worker = make(which, arguments);
  if (!worker) return state.SkipWithError("effect not available");
  Gdiplus::Bitmap* input = photo();
  zx::bench::timed(state, photo_bytes(), [&] {
    Gdiplus::Bitmap* result = nullptr;
    if (FAILED(worker->ApplyMe(reinterpret_cast<LONG*>(input), reinterpret_cast<LONG**>(&result))))
      state.SkipWithError("effect failed");
    delete result;
  });
}

void BM_Memcpy(benchmark::State& state) {
  zx::bench::Block from(photo_bytes()), to(photo_bytes());
  zx::bench::timed(state, photo_bytes(), [&] { std::memcpy(to.p, from.p, photo_bytes()); });
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond)->UseRealTime();

// The arguments of each case: what docs/effects.md shows, scaled to the photo where they are sizes.
#define ZX_EFFECT_CASE(Name, ...)                                                              \
  void BM_##Name(benchmark::State& state) { run(state, zx::effects::k##Name, {__VA_ARGS__}); } \
  BENCHMARK(BM_##Name)->Unit(benchmark::kMillisecond)->UseRealTime()

ZX_EFFECT_CASE(AutoLevel);
ZX_EFFECT_CASE(Antialiasing);
ZX_EFFECT_CASE(Greyscale);
ZX_EFFECT_CASE(Waddle);
ZX_EFFECT_CASE(Lightness, 30);
ZX_EFFECT_CASE(Contrast, 40);
ZX_EFFECT_CASE(AutoLightness);
ZX_EFFECT_CASE(AutoContrast);
ZX_EFFECT_CASE(AddNoise, 30, 0);
ZX_EFFECT_CASE(Spray, 10, 300, -1);
ZX_EFFECT_CASE(Mosaic, 100, 100);
ZX_EFFECT_CASE(Sinusize, 150, 1500, 0, 100, 2000, 90, -1);
ZX_EFFECT_CASE(Swirl, 180);
ZX_EFFECT_CASE(EllipseCrop, 3014, 1695, 2712, 1525, -1);
ZX_EFFECT_CASE(Solarize, -8355712);
ZX_EFFECT_CASE(HSLColorize, 30, 40, 0);
ZX_EFFECT_CASE(Texturize, 60, 1.5f);
ZX_EFFECT_CASE(Sharpen, 32);
ZX_EFFECT_CASE(Emboss, 1);
ZX_EFFECT_CASE(EdgeDetect, 0);
ZX_EFFECT_CASE(SwapChannels, 2, 1, 0, 3);
ZX_EFFECT_CASE(Buttonize, 0, 250, 70);
ZX_EFFECT_CASE(PageCurl, 2009, 1695, 5, -52, -1);

}  // namespace

int main(int argc, char** argv) { return zx::bench::main_with_gdiplus(argc, argv); }
