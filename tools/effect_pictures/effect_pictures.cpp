// Zentarix — MIT licence.
// Makes the before and after pictures of docs/effects.md: the sample photo, small, through each effect method.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "LateBound.h"

namespace {

using zx::Variant;
using zx::late::ErrorRecord;
using zx::late::number;
using zx::late::Script;
using zx::late::text;

int fail(const std::string& what, HRESULT hr, const EXCEPINFO* error = nullptr) {
  return zx::late::fail("effect_pictures", what, hr, error);
}

Variant real(float value) {
  Variant v;
  v.vt = VT_R4;
  v.fltVal = value;
  return v;
}

Variant truth(bool value) {
  Variant v;
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

struct Picture {
  const char16_t* method;
  std::vector<Variant> arguments;
};

// The arguments each picture is made with (docs/effects.md quotes them). Sizes follow the small
// picture: w x h.
std::vector<Picture> pictures(LONG w, LONG h) {
  std::vector<Picture> list;
  auto add = [&list](const char16_t* method, std::vector<Variant> arguments) {
    list.push_back({method, std::move(arguments)});
  };
  add(u"AutoLevel", {});
  add(u"Antialiasing", {});
  add(u"Greyscale", {});
  add(u"Waddle", {});
  add(u"Lightness", {number(30)});
  add(u"Contrast", {number(40)});
  add(u"AutoLightness", {});
  add(u"AutoContrast", {});
  add(u"AddNoise", {number(30), truth(false)});
  add(u"Spray", {number(3), number(12), number(-1)});
  add(u"Mosaic", {number(8), number(8)});
  add(u"Sinusize", {number(6), number(60), number(0), number(4), number(80), number(90), number(-1)});
  add(u"Swirl", {number(180)});
  add(u"EllipseCrop", {number(w / 2), number(h / 2), number(w * 9 / 20), number(h * 9 / 20), number(-1)});
  add(u"Solarize", {number(static_cast<LONG>(0xFF808080u))});
  add(u"HSLColorize", {number(30), number(40), number(0)});
  add(u"Texturize", {number(60), real(1.5f)});
  add(u"Sharpen", {number(32)});
  add(u"Emboss", {number(1)});
  add(u"EdgeDetect", {number(0)});
  add(u"SwapChannels", {number(2), number(1), number(0), number(3)});
  add(u"Buttonize", {number(0), number(10), number(70)});
  add(u"PageCurl", {number(w / 3), number(h / 2), number(5), number(-52), number(-1)});
  return list;
}

HRESULT save_jpeg(const Script& raster, const std::filesystem::path& file, ErrorRecord* error) {
  const Variant option = text("JPEGQuality"), quality = number(80), name = text(file.string());
  HRESULT hr = raster.call(u"EncoderOptions", DISPATCH_PROPERTYPUT, {&option, &quality}, nullptr, error);
  if (SUCCEEDED(hr)) hr = raster.call(u"SaveFile", DISPATCH_METHOD, {&name}, nullptr, error);
  return hr;
}

int run(const std::string& photo, const std::filesystem::path& folder, LONG width) {
  std::filesystem::create_directories(folder);
  zx::ComPtr<IDispatch> object;
  HRESULT hr = Script::create(u"Zentarix.RasterObject", object);
  if (FAILED(hr)) return fail("creating Zentarix.RasterObject (is the module registered?)", hr);
  const Script original(object);
  ErrorRecord error;
  const Variant photoName = text(photo);
  if (FAILED(hr = original.call(u"LoadFile", DISPATCH_METHOD, {&photoName}, nullptr, &error)))
    return fail("LoadFile", hr, &error);
  Variant fullWidth, fullHeight;
  original.call(u"Width", DISPATCH_PROPERTYGET, {}, &fullWidth, &error);
  original.call(u"Height", DISPATCH_PROPERTYGET, {}, &fullHeight, &error);
  const LONG height = static_cast<LONG>(int64_t{width} * fullHeight.lVal / fullWidth.lVal);
  const Variant w = number(width), h = number(height);
  if (FAILED(hr = original.call(u"Resize", DISPATCH_METHOD, {&w, &h}, nullptr, &error)))
    return fail("Resize", hr, &error);
  // The small picture is kept losslessly for the effects and as a JPEG for the page.
  const std::filesystem::path small = folder / "original.png";
  const Variant smallName = text(small.string());
  if (FAILED(hr = original.call(u"SaveFile", DISPATCH_METHOD, {&smallName}, nullptr, &error)))
    return fail("SaveFile", hr, &error);
  if (FAILED(hr = save_jpeg(original, folder / "Original.jpg", &error))) return fail("SaveFile", hr, &error);

  int status = 0;
  for (const Picture& picture : pictures(width, height)) {
    const std::string name = zx::to_utf8(picture.method);
    zx::ComPtr<IDispatch> copy;
    if (FAILED(hr = Script::create(u"Zentarix.RasterObject", copy))) return fail("creating a raster object", hr);
    const Script raster(copy);
    ErrorRecord failure;
    if (FAILED(hr = raster.call(u"LoadFile", DISPATCH_METHOD, {&smallName}, nullptr, &failure)))
      return fail("LoadFile", hr, &failure);
    std::vector<const VARIANT*> arguments;
    for (const Variant& a : picture.arguments) arguments.push_back(&a);
    hr = raster.call(picture.method, DISPATCH_METHOD, arguments, nullptr, &failure);
    if (FAILED(hr)) {
      status = fail(name, hr, &failure);
      continue;
    }
    if (FAILED(hr = save_jpeg(raster, folder / (name + ".jpg"), &failure))) return fail("SaveFile", hr, &failure);
    std::printf("  %s.jpg\n", name.c_str());
  }
  std::filesystem::remove(small);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: effect_pictures <photo> <output folder> <width in pixels>\n");
    return 2;
  }
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (FAILED(hr)) return fail("CoInitializeEx", hr);
  const int status = run(argv[1], argv[2], std::stol(argv[3]));
  CoUninitialize();
  return status;
}
