// Zentarix — MIT licence.
// Test support for the effects: the effects module registered beside the main one, images, late-bound calls.
#pragma once
#include <dlfcn.h>

#include <functional>
#include <initializer_list>
#include <string>

#include "ExternalEffects.h"
#include "RasterTestSupport.h"
#include "TransformTestSupport.h"

namespace zx::test {

// The effects module's own registration entry (the test links only the main module, whose
// DllRegisterServer has the same name).
inline HRESULT effects_module(const char* entry) {
  void* module = dlopen(ZX_EFFECTS_MODULE, RTLD_NOW | RTLD_LOCAL);
  if (!module) return E_FAIL;
  const auto call = reinterpret_cast<HRESULT (*)()>(dlsym(module, entry));
  const HRESULT hr = call ? call() : E_FAIL;
  dlclose(module);
  return hr;
}
inline void register_effects() {
  make_raster();  // the main module first
  ASSERT_EQ(effects_module("DllRegisterServer"), S_OK);
}

// An object made by ProgID, as a script makes it.
inline ComPtr<IDispatch> by_progid(const char16_t* progid) {
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID(progid, &clsid), S_OK) << to_utf8(progid);
  ComPtr<IDispatch> object;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void()), S_OK);
  return object;
}

// Pixels with their size, rows top first.
struct Image {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline Image image_of(IRasterObject* raster) {
  Gdiplus::Bitmap* bitmap = held_bitmap(raster);
  if (!bitmap) return {};
  return {static_cast<int>(bitmap->GetWidth()), static_cast<int>(bitmap->GetHeight()), argb_pixels(*bitmap)};
}

// A raster holding a photo loaded from the corpus (480 x 360 pixels).
inline ComPtr<IRasterObject> load_photo() {
  ComPtr<IRasterObject> raster = make_raster();
  Bstr name(to_utf16(ZX_CORPUS_DIR "/jpeg/pillow_flower.jpg"));
  EXPECT_EQ(raster->LoadFile(name.get()), S_OK);
  return raster;
}

// A raster of width x height made by colour(x, y).
inline ComPtr<IRasterObject> make_image(int width, int height, const std::function<uint32_t(int, int)>& colour) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels.push_back(colour(x, y));
  return make_raster(width, height, pixels);
}

// A method of the raster object called by name, as a script calls it: the result is what the
// script sees as the error number (the exception's code when Invoke reports one).
inline HRESULT call_method(IRasterObject* raster, const std::u16string& name, std::vector<Variant> arguments) {
  EXCEPINFO error{};
  const HRESULT hr = invoke(raster, name, DISPATCH_METHOD, std::move(arguments), nullptr, &error);
  SysFreeString(error.bstrSource);
  SysFreeString(error.bstrDescription);
  SysFreeString(error.bstrHelpFile);
  return hr == DISP_E_EXCEPTION ? error.scode : hr;
}

inline Variant flag(bool value) {
  Variant v;
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}
inline Variant single(float value) {
  Variant v;
  V_VT(&v) = VT_R4;
  V_R4(&v) = value;
  return v;
}

// Channels of a colour value, by number: 0 red, 1 green, 2 blue, 3 alpha.
inline int channel(uint32_t c, int which) {
  constexpr int kShift[4] = {16, 8, 0, 24};
  return static_cast<int>((c >> kShift[which]) & 0xFF);
}

}  // namespace zx::test
