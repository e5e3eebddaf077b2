// Zentarix — MIT licence.
// Loads one image file into a RasterObject, saves it in one of the benchmarked ways and exits: the process save_bench.sh times.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "zentarix.h"
#include "zx/com.h"

namespace {

HRESULT put_option(IRasterObject* raster, const char16_t* name, LONG value) {
  zx::Bstr key(name);
  zx::Variant v;
  v.vt = VT_I4;
  v.lVal = value;
  return raster->put_EncoderOptions(key.get(), v);
}

HRESULT put_option(IRasterObject* raster, const char16_t* name, const char16_t* value) {
  zx::Bstr key(name);
  zx::Variant v;
  v.vt = VT_BSTR;
  v.bstrVal = zx::Bstr(value).detach();
  return raster->put_EncoderOptions(key.get(), v);
}

// The options of each benchmarked output, set the way a client sets them.
HRESULT choose(IRasterObject* raster, const std::string& kind) {
  HRESULT hr = E_INVALIDARG;
  if (kind == "jpeg80") {
    hr = raster->put_OutputFileType(oftJPEG);
    if (SUCCEEDED(hr)) hr = put_option(raster, u"JPEGQuality", 80);
  } else if (kind == "bmp1") {  // 1 bpp by a plain threshold at 128
    hr = raster->put_OutputFileType(oftBMP);
    if (SUCCEEDED(hr)) hr = put_option(raster, u"ColorDepth", 1);
    if (SUCCEEDED(hr)) hr = put_option(raster, u"BinarizeMethod", u"Threshold");
  } else if (kind == "png8" || kind == "png256" || kind == "gif256") {  // octree palette, no dithering
    const bool gif = kind == "gif256";
    hr = raster->put_OutputFileType(gif ? oftGIF : oftPNG);
    if (SUCCEEDED(hr)) hr = gif ? raster->put_EnableLZW(VARIANT_TRUE) : put_option(raster, u"ColorDepth", 8);
    if (SUCCEEDED(hr)) hr = put_option(raster, u"PaletteType", u"Octree");
    if (SUCCEEDED(hr)) hr = put_option(raster, u"PaletteColorsNumber", kind == "png8" ? 216 : 256);
    if (SUCCEEDED(hr)) hr = put_option(raster, u"DitherType", u"None");
  } else if (kind == "tiffg4") {  // 1 bpp by a plain threshold at 128, fax group 4
    hr = raster->put_OutputFileType(oftTIFF);
    if (SUCCEEDED(hr)) hr = put_option(raster, u"ColorDepth", 1);
    if (SUCCEEDED(hr)) hr = put_option(raster, u"CompressionType", u"CCITT4");
    if (SUCCEEDED(hr)) hr = put_option(raster, u"BinarizeMethod", u"Threshold");
  }
  return hr;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: save_file <image file> <output file> jpeg80|bmp1|png8|png256|gif256|tiffg4\n");
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  int status = 1;
  {
    CLSID clsid;
    zx::ComPtr<IRasterObject> raster;
    if (SUCCEEDED(CLSIDFromProgID(u"Zentarix.RasterObject", &clsid)) &&
        SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterObject, raster.put_void()))) {
      zx::Bstr input(zx::to_utf16(argv[1]));
      zx::Bstr output(zx::to_utf16(argv[2]));
      const char* step = "LoadFile";
      HRESULT hr = raster->LoadFile(input.get());
      if (SUCCEEDED(hr)) {
        step = "options";
        hr = choose(raster.get(), argv[3]);
      }
      if (SUCCEEDED(hr)) {
        step = "SaveFile";
        hr = raster->SaveFile(output.get(), nullptr);
      }
      if (SUCCEEDED(hr)) {
        status = 0;
      } else {
        std::fprintf(stderr, "save_file: %s failed (0x%08X)\n", step, static_cast<unsigned>(hr));
      }
    } else {
      std::fprintf(stderr, "save_file: cannot create Zentarix.RasterObject (is the module registered?)\n");
    }
  }
  CoUninitialize();
  return status;
}
