// Zentarix — MIT licence.
// Loads an image file into "Zentarix.RasterObject" through late binding and prints what the object reads from it.
#include <cstdio>
#include <string>

#include "LateBound.h"

namespace {

int fail(const char* what, HRESULT hr, const EXCEPINFO* error = nullptr) {
  return zx::late::fail("load_demo", what, hr, error);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: load_demo <image file>\n");
    return 2;
  }
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (FAILED(hr)) return fail("CoInitializeEx", hr);
  int status = 0;
  {
    zx::ComPtr<IDispatch> object;
    hr = zx::late::Script::create(u"Zentarix.RasterObject", object);
    if (FAILED(hr)) return fail("CLSIDFromProgID/CoCreateInstance (is the module registered?)", hr);
    const zx::late::Script raster(object);

    const zx::Variant file_name = zx::late::text(argv[1]);
    zx::late::ErrorRecord error;
    hr = raster.call(u"LoadFile", DISPATCH_METHOD, {&file_name}, nullptr, &error);
    if (FAILED(hr)) {
      status = fail("LoadFile", hr, &error);
    } else {
      std::printf("LoadFile(\"%s\")\n", argv[1]);
      // Properties read as a script reads them, each converted to text the way a script prints it.
      for (const char16_t* property :
           {u"Width", u"Height", u"HorizontalResolution", u"VerticalResolution", u"CurrentFileType"}) {
        zx::Variant value, text;
        zx::late::ErrorRecord property_error;
        hr = raster.call(property, DISPATCH_PROPERTYGET, {}, &value, &property_error);
        if (SUCCEEDED(hr)) hr = VariantChangeType(&text, &value, 0, VT_BSTR);
        if (FAILED(hr)) {
          status = fail(zx::to_utf8(property).c_str(), hr, &property_error);
          break;
        }
        std::printf("  %-20s = %s\n", zx::to_utf8(property).c_str(),
                    zx::to_utf8(std::u16string_view(text.bstrVal, SysStringLen(text.bstrVal))).c_str());
      }
    }
  }
  CoUninitialize();
  return status;
}
