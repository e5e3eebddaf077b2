// Zentarix — MIT licence.
// Loads every frame of a multi-frame file as the layers of a RasterCollection and saves them as an
// animated GIF (or a multi-page TIFF for a .tif output): the process collection_bench.sh times.
// Prints the number of layers and the process's peak resident memory.
#include <sys/resource.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "zentarix.h"
#include "zx/com.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: collection_file <input> <output.gif|output.tif>\n");
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  int status = 1;
  LONG layers = 0;
  {
    CLSID clsid;
    zx::ComPtr<IRasterCollection> collection;
    if (SUCCEEDED(CLSIDFromProgID(u"Zentarix.RasterCollection", &clsid)) &&
        SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterCollection, collection.put_void()))) {
      const std::string output = argv[2];
      const bool tiff = output.size() > 4 && output.compare(output.size() - 4, 4, ".tif") == 0;
      const char* step = "LoadMultiframeImage";
      HRESULT hr = collection->LoadMultiframeImage(zx::Bstr(zx::to_utf16(argv[1])).get(), VARIANT_TRUE, -1);
      if (SUCCEEDED(hr)) {
        collection->get_Count(&layers);
        step = "SaveMultiframeImage";
        zx::Variant format;
        format.vt = VT_I4;
        format.lVal = tiff ? oftTIFF : oftGIF;
        hr = collection->SaveMultiframeImage(zx::Bstr(zx::to_utf16(output)).get(), format, VARIANT_TRUE);
      }
      if (SUCCEEDED(hr))
        status = 0;
      else
        std::fprintf(stderr, "collection_file: %s failed (0x%08X)\n", step, static_cast<unsigned>(hr));
    }
  }
  CoUninitialize();
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("layers=%ld peak_kb=%ld\n", long(layers), usage.ru_maxrss);
  return status;
}
