// Zentarix — MIT licence.
// A client built against the installed package: loads a photo and saves a JPEG thumbnail of it at
// most 320 pixels wide or high, through the raster object's own interface (early binding, the
// vtable the type library describes).
#include <windows.h>

#include <cstdio>
#include <string>

#include "zentarix.h"
#include "zx/com.h"

namespace {

// Prints what failed with the component's own message, from the thread's error record.
int fail(const char* what, HRESULT hr) {
  std::string message;
  zx::ComPtr<IErrorInfo> info;
  zx::Bstr text;
  if (GetErrorInfo(0, info.put()) == S_OK && info && SUCCEEDED(info->GetDescription(text.put())) && text.get())
    message = zx::to_utf8(text.view());
  std::fprintf(stderr, "thumbnail: %s failed (0x%08X) %s\n", what, static_cast<unsigned>(hr), message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: thumbnail PHOTO THUMBNAIL.jpg\n");
    return 2;
  }
  if (HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED); FAILED(hr)) return fail("CoInitializeEx", hr);
  {
    zx::ComPtr<IRasterObject> image;
    HRESULT hr = CoCreateInstance(CLSID_RasterObject, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterObject, image.put_void());
    if (FAILED(hr)) return fail("creating Zentarix.RasterObject (is the module registered?)", hr);
    if (hr = image->LoadFile(zx::Bstr(zx::to_utf16(argv[1])).get()); FAILED(hr)) return fail("LoadFile", hr);
    LONG width = 0, height = 0;
    image->get_Width(&width);
    image->get_Height(&height);
    const double scale = 320.0 / (width > height ? width : height);
    const LONG newWidth = width * scale > 1 ? static_cast<LONG>(width * scale + 0.5) : 1;
    const LONG newHeight = height * scale > 1 ? static_cast<LONG>(height * scale + 0.5) : 1;
    if (hr = image->Resize(newWidth, newHeight, rqtHighQualityBicubicMode, -1); FAILED(hr)) return fail("Resize", hr);

    zx::Variant quality;
    quality.vt = VT_I4;
    quality.lVal = 80;
    image->put_EncoderOptions(zx::Bstr(u"JPEGQuality").get(), quality);
    image->put_OutputFileType(oftJPEG);
    if (hr = image->SaveFile(zx::Bstr(zx::to_utf16(argv[2])).get(), nullptr); FAILED(hr)) return fail("SaveFile", hr);
    std::printf("%s: %d x %d, thumbnail %d x %d saved as %s\n", argv[1], static_cast<int>(width),
                static_cast<int>(height), static_cast<int>(newWidth), static_cast<int>(newHeight), argv[2]);
  }
  CoUninitialize();
  return 0;
}
