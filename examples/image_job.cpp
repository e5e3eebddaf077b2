// Zentarix — MIT licence.
// The main job, late-bound like a script: load a photo, save it as PNG and as JPEG of quality 80, report the files.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "zx/com.h"

namespace {

// Clears what a failed Invoke left in the exception record.
struct ErrorRecord : EXCEPINFO {
  ErrorRecord() : EXCEPINFO{} {}
  ErrorRecord(const ErrorRecord&) = delete;
  ErrorRecord& operator=(const ErrorRecord&) = delete;
  ~ErrorRecord() {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
  }
};

int fail(const std::string& what, HRESULT hr, const EXCEPINFO* error = nullptr) {
  std::fprintf(stderr, "image_job: %s failed (0x%08X)", what.c_str(), static_cast<unsigned>(hr));
  if (error && error->bstrDescription)
    std::fprintf(stderr, ": %s",
                 zx::to_utf8(std::u16string_view(error->bstrDescription, SysStringLen(error->bstrDescription))).c_str());
  std::fprintf(stderr, "\n");
  return 1;
}

zx::Variant text(const std::string& s) {
  zx::Variant v;
  v.vt = VT_BSTR;
  v.bstrVal = zx::Bstr(zx::to_utf16(s)).detach();
  return v;
}

zx::Variant number(LONG n) {
  zx::Variant v;
  v.vt = VT_I4;
  v.lVal = n;
  return v;
}

// A script-like handle on one object: members are found by name and called through Invoke.
// Arguments are given in reading order; Invoke wants them last first.
class Script {
 public:
  explicit Script(zx::ComPtr<IDispatch> object) : m_object(std::move(object)) {}

  HRESULT call(const char16_t* member, WORD kind, std::initializer_list<const VARIANT*> arguments, zx::Variant* result,
               ErrorRecord* error) const {
    std::u16string name(member);
    LPOLESTR names[] = {name.data()};
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
    if (FAILED(hr)) return hr;
    VARIANT reversed[4];
    UINT count = 0;
    for (auto it = arguments.end(); it != arguments.begin();) reversed[count++] = **--it;  // borrowed, not copied
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS parameters = {reversed, nullptr, count, 0};
    if (kind == DISPATCH_PROPERTYPUT) {
      parameters.rgdispidNamedArgs = &putId;  // the value of a put is the named argument
      parameters.cNamedArgs = 1;
    }
    zx::Variant ignored;
    return m_object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters, result ? result : &ignored,
                            error, nullptr);
  }

 private:
  zx::ComPtr<IDispatch> m_object;
};

HRESULT new_raster(zx::ComPtr<IDispatch>& raster) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(u"Zentarix.RasterObject", &clsid);
  if (FAILED(hr)) return hr;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, raster.put_void());
}

// Reads a saved file back with a fresh object and prints its name, size and dimensions.
int report_file(const std::filesystem::path& path) {
  zx::ComPtr<IDispatch> object;
  HRESULT hr = new_raster(object);
  if (FAILED(hr)) return fail("CoCreateInstance", hr);
  const Script check(object);
  ErrorRecord error;
  const zx::Variant name = text(path.string());
  if (FAILED(hr = check.call(u"LoadFile", DISPATCH_METHOD, {&name}, nullptr, &error)))
    return fail("LoadFile(" + path.string() + ")", hr, &error);
  zx::Variant width, height;
  if (FAILED(hr = check.call(u"Width", DISPATCH_PROPERTYGET, {}, &width, &error))) return fail("Width", hr, &error);
  if (FAILED(hr = check.call(u"Height", DISPATCH_PROPERTYGET, {}, &height, &error))) return fail("Height", hr, &error);
  std::printf("  wrote %-28s %10llu bytes, reads back as %ld x %ld\n", path.filename().string().c_str(),
              static_cast<unsigned long long>(std::filesystem::file_size(path)), static_cast<long>(width.lVal),
              static_cast<long>(height.lVal));
  return 0;
}

int run(const std::string& input, const std::filesystem::path& folder) {
  zx::ComPtr<IDispatch> object;
  HRESULT hr = new_raster(object);
  if (FAILED(hr)) return fail("CLSIDFromProgID/CoCreateInstance (is the module registered?)", hr);
  const Script raster(object);
  ErrorRecord error;

  const zx::Variant inputName = text(input);
  if (FAILED(hr = raster.call(u"LoadFile", DISPATCH_METHOD, {&inputName}, nullptr, &error)))
    return fail("LoadFile", hr, &error);
  zx::Variant width, height;
  raster.call(u"Width", DISPATCH_PROPERTYGET, {}, &width, &error);
  raster.call(u"Height", DISPATCH_PROPERTYGET, {}, &height, &error);
  std::printf("loaded %s: %ld x %ld\n", std::filesystem::path(input).filename().string().c_str(),
              static_cast<long>(width.lVal), static_cast<long>(height.lVal));

  std::filesystem::create_directories(folder);
  const std::filesystem::path png = folder / "sample.png";
  const std::filesystem::path jpeg = folder / "sample-q80.jpg";
  // The output type follows each name's extension (automatic mode); the quality goes through the
  // options store, as a script writes  raster.EncoderOptions("JPEGQuality") = 80.
  const zx::Variant pngName = text(png.string());
  if (FAILED(hr = raster.call(u"SaveFile", DISPATCH_METHOD, {&pngName}, nullptr, &error)))
    return fail("SaveFile(" + png.string() + ")", hr, &error);
  const zx::Variant option = text("JPEGQuality");
  const zx::Variant quality = number(80);
  if (FAILED(hr = raster.call(u"EncoderOptions", DISPATCH_PROPERTYPUT, {&option, &quality}, nullptr, &error)))
    return fail("EncoderOptions(\"JPEGQuality\") = 80", hr, &error);
  const zx::Variant jpegName = text(jpeg.string());
  if (FAILED(hr = raster.call(u"SaveFile", DISPATCH_METHOD, {&jpegName}, nullptr, &error)))
    return fail("SaveFile(" + jpeg.string() + ")", hr, &error);

  int status = report_file(png);
  if (status == 0) status = report_file(jpeg);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: image_job <image file> <output folder>\n");
    return 2;
  }
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (FAILED(hr)) return fail("CoInitializeEx", hr);
  const int status = run(argv[1], argv[2]);
  CoUninitialize();
  return status;
}
