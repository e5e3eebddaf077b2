// Zentarix — MIT licence.
// The main job, late-bound like a script: load a photo, save it as PNG and as JPEG of quality 80, report the files.
#include <cstdio>
#include <filesystem>
#include <string>

#include "LateBound.h"

namespace {

using zx::late::ErrorRecord;
using zx::late::number;
using zx::late::Script;
using zx::late::text;

int fail(const std::string& what, HRESULT hr, const EXCEPINFO* error = nullptr) {
  return zx::late::fail("image_job", what, hr, error);
}

HRESULT new_raster(zx::ComPtr<IDispatch>& raster) { return Script::create(u"Zentarix.RasterObject", raster); }

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
