// Zentarix — MIT licence.
// Loads an image, applies one benchmarked effect, saves it as JPEG quality 80 and exits: the process
// transform_bench.sh times. Prints the process's peak resident memory and the image's pixel count.
#include <sys/resource.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "zentarix.h"
#include "zx/com.h"

namespace {

HRESULT effect(IRasterObject* raster, const std::string& kind) {
  if (kind == "resize") return raster->Resize(200, 150, rqtHighQualityBilinearMode, -1);  // the default quality
  if (kind == "flip90") return raster->FlipAndRotate(fartRotate90NoFlip);
  if (kind == "blur2") return raster->FastBlur(2.0);
  return E_INVALIDARG;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (std::strcmp(argv[3], "resize") && std::strcmp(argv[3], "flip90") && std::strcmp(argv[3], "blur2"))) {
    std::fprintf(stderr, "usage: transform_file <image file> <output.jpg> resize|flip90|blur2\n");
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  int status = 1;
  LONG width = 0, height = 0;
  {
    CLSID clsid;
    zx::ComPtr<IRasterObject> raster;
    if (SUCCEEDED(CLSIDFromProgID(u"Zentarix.RasterObject", &clsid)) &&
        SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterObject, raster.put_void()))) {
      const char* step = "LoadFile";
      HRESULT hr = raster->LoadFile(zx::Bstr(zx::to_utf16(argv[1])).get());
      if (SUCCEEDED(hr)) {
        raster->get_Width(&width);
        raster->get_Height(&height);
        step = argv[3];
        hr = effect(raster.get(), argv[3]);
      }
      if (SUCCEEDED(hr)) {
        step = "SaveFile";
        zx::Variant quality;
        quality.vt = VT_I4;
        quality.lVal = 80;
        hr = raster->put_OutputFileType(oftJPEG);
        if (SUCCEEDED(hr)) hr = raster->put_EncoderOptions(zx::Bstr(u"JPEGQuality").get(), quality);
        if (SUCCEEDED(hr)) hr = raster->SaveFile(zx::Bstr(zx::to_utf16(argv[2])).get(), nullptr);
      }
      if (SUCCEEDED(hr))
        status = 0;
      else
        std::fprintf(stderr, "transform_file: %s failed (0x%08X)\n", step, static_cast<unsigned>(hr));
    }
  }
  CoUninitialize();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("peak_kb=%ld pixels=%ld\n", usage.ru_maxrss, long(width) * height);
  return status;
}
