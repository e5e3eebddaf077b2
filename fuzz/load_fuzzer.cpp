// Zentarix — MIT licence.
// One decoder through RasterObject.LoadStream and every frame through GDI+: the input's first bytes
// are made the format's signature, so every run reaches the decoder the target is named for.
#include <gdiplus.h>

#include "FuzzLimits.h"
#include "FuzzSupport.h"

namespace {

struct Patch {
  size_t at;
  std::string_view bytes;
};
// ZX_FUZZ_FORMAT picks the decoder: 0 JPEG, 1 PNG, 2 BMP, 3 GIF, 4 TIFF, 5 icon, 6 WMF, 7 EMF.
constexpr Patch kSignatures[][2] = {
    {{0, "\xFF\xD8\xFF"}, {}},
    {{0, "\x89PNG\r\n\x1A\n"}, {}},
    {{0, "BM"}, {}},
    {{0, "GIF89a"}, {}},
    {{0, "II*\0"}, {}},
    {{0, std::string_view("\0\0\1\0", 4)}, {}},
    {{0, "\xD7\xCD\xC6\x9A"}, {}},
    {{0, std::string_view("\1\0\0\0", 4)}, {40, " EMF"}},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  for (const Patch& p : kSignatures[ZX_FUZZ_FORMAT])
    if (!p.bytes.empty() && bytes.size() >= p.at + p.bytes.size()) std::copy(p.bytes.begin(), p.bytes.end(), bytes.begin() + p.at);

  using namespace zx;
  fuzz::use_fuzz_limits();
  ComPtr<IRasterObject> raster = fuzz::make<IRasterObject>(CLSID_RasterObject);
  ComPtr<IStream> stream = fuzz::memory_stream(bytes);
  if (raster->LoadStream(stream.get()) == S_OK) {
    LONG w = 0, h = 0, pixel = 0;
    raster->get_Width(&w);
    raster->get_Height(&h);
    raster->get_Pixels(w - 1, h - 1, &pixel);
  }

  Gdiplus::GpImage* image = nullptr;
  ComPtr<IStream> again = fuzz::memory_stream(bytes);
  if (Gdiplus::DllExports::GdipLoadImageFromStream(again.get(), &image) != Gdiplus::Ok) return 0;
  for (const GUID* dimension : {&Gdiplus::FrameDimensionTime, &Gdiplus::FrameDimensionPage}) {
    UINT frames = 0;
    Gdiplus::DllExports::GdipImageGetFrameCount(image, dimension, &frames);
    for (UINT i = 1; i < std::min(frames, 8u); ++i) Gdiplus::DllExports::GdipImageSelectActiveFrame(image, dimension, i);
  }
  Gdiplus::DllExports::GdipDisposeImage(image);
  return 0;
}
