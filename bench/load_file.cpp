// Zentarix — MIT licence.
// Loads one image file into a RasterObject and exits: the process timed by bench/load_bench.sh.
#include <windows.h>

#include <cstdio>

#include "zentarix.h"
#include "zx/com.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: load_file <image file>\n");
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  int status = 1;
  {
    CLSID clsid;
    zx::ComPtr<IRasterObject> raster;
    if (SUCCEEDED(CLSIDFromProgID(u"Zentarix.RasterObject", &clsid)) &&
        SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterObject, raster.put_void()))) {
      zx::Bstr name(zx::to_utf16(argv[1]));
      LONG width = 0;
      const HRESULT hr = raster->LoadFile(name.get());
      if (SUCCEEDED(hr) && SUCCEEDED(raster->get_Width(&width)) && width > 0) {
        status = 0;
      } else {
        std::fprintf(stderr, "load_file: LoadFile failed (0x%08X)\n", static_cast<unsigned>(hr));
      }
    } else {
      std::fprintf(stderr, "load_file: cannot create Zentarix.RasterObject (is the module registered?)\n");
    }
  }
  CoUninitialize();
  return status;
}
