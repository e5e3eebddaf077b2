// Zentarix — MIT licence.
// Loads one image file into a RasterObject and exits: the process timed by bench/load_bench.sh.
// With --memory it also prints what the call added to the process's peak resident memory.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "zentarix.h"
#include "zx/com.h"

namespace {

// A field of /proc/self/status in kB (VmRSS: resident now, VmHWM: the peak since the last reset).
long status_kb(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
  return -1;
}

// Restarts the peak from the current resident size (Linux 4.0 and later).
void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace

int main(int argc, char** argv) {
  const bool memory = argc == 3 && std::strcmp(argv[1], "--memory") == 0;
  if (argc != 2 && !memory) {
    std::fprintf(stderr, "usage: load_file [--memory] <image file>\n");
    return 2;
  }
  const char* file = argv[argc - 1];
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  int status = 1;
  {
    CLSID clsid;
    zx::ComPtr<IRasterObject> raster;
    if (SUCCEEDED(CLSIDFromProgID(u"Zentarix.RasterObject", &clsid)) &&
        SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterObject, raster.put_void()))) {
      zx::Bstr name(zx::to_utf16(file));
      LONG width = 0, height = 0;
      reset_peak();
      const long before = status_kb("VmRSS:");
      const HRESULT hr = raster->LoadFile(name.get());
      const long peak = status_kb("VmHWM:");
      if (SUCCEEDED(hr) && SUCCEEDED(raster->get_Width(&width)) && SUCCEEDED(raster->get_Height(&height)) && width > 0) {
        status = 0;
        if (memory) {
          const double image_mb = 4.0 * width * height / (1 << 20), added_mb = (peak - before) / 1024.0;
          std::printf("peak over LoadFile: %.1f MB = %.2f x the 32 bpp image (%.1f MB)\n", added_mb,
                      added_mb / image_mb, image_mb);
        }
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
