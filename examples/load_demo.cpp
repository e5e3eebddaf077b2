// Zentarix — MIT licence.
// Loads an image file into "Zentarix.RasterObject" through late binding and prints what the object reads from it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "zx/com.h"

namespace {

int fail(const char* what, HRESULT hr, const EXCEPINFO* error = nullptr) {
  std::fprintf(stderr, "load_demo: %s failed (0x%08X)", what, static_cast<unsigned>(hr));
  if (error && error->bstrDescription) {
    const std::u16string_view description(error->bstrDescription, SysStringLen(error->bstrDescription));
    std::fprintf(stderr, ": %s", zx::to_utf8(description).c_str());
  }
  std::fprintf(stderr, "\n");
  return 1;
}

// One member called by name, as a script host does: GetIDsOfNames, then Invoke.
HRESULT call(IDispatch* object, const char16_t* member, WORD kind, VARIANT* arguments, UINT count, zx::Variant* result,
             EXCEPINFO* error) {
  std::u16string name(member);
  LPOLESTR names[] = {name.data()};
  DISPID dispid = DISPID_UNKNOWN;
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
  if (FAILED(hr)) return hr;
  DISPPARAMS parameters = {arguments, nullptr, count, 0};
  return object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters, result, error, nullptr);
}

// Clears what a failed Invoke left in the exception record.
struct ErrorRecord : EXCEPINFO {
  ErrorRecord() : EXCEPINFO{} {}
  ~ErrorRecord() {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
  }
};

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
    CLSID clsid;
    hr = CLSIDFromProgID(u"Zentarix.RasterObject", &clsid);
    if (FAILED(hr)) return fail("CLSIDFromProgID(\"Zentarix.RasterObject\") (is the module registered?)", hr);
    zx::ComPtr<IDispatch> raster;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, raster.put_void());
    if (FAILED(hr)) return fail("CoCreateInstance", hr);

    zx::Variant file_name;
    file_name.vt = VT_BSTR;
    file_name.bstrVal = zx::Bstr(zx::to_utf16(argv[1])).detach();
    zx::Variant nothing;
    ErrorRecord error;
    hr = call(raster.get(), u"LoadFile", DISPATCH_METHOD, &file_name, 1, &nothing, &error);
    if (FAILED(hr)) {
      status = fail("LoadFile", hr, &error);
    } else {
      std::printf("LoadFile(\"%s\")\n", argv[1]);
      // Properties read as a script reads them, each converted to text the way a script prints it.
      for (const char16_t* property :
           {u"Width", u"Height", u"HorizontalResolution", u"VerticalResolution", u"CurrentFileType"}) {
        zx::Variant value, text;
        ErrorRecord property_error;
        hr = call(raster.get(), property, DISPATCH_PROPERTYGET, nullptr, 0, &value, &property_error);
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
