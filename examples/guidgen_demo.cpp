// Zentarix — MIT licence.
// The smallest client: a GUID from "Zentarix.GUIDGen" through late binding, and a colour from the module's functions.
#include <windows.h>

#include <cstdio>

#include "zentarix.h"
#include "zx/com.h"

namespace {

int fail(const char* what, HRESULT hr) {
  std::fprintf(stderr, "guidgen_demo: %s failed (0x%08X)\n", what, static_cast<unsigned>(hr));
  return 1;
}

}  // namespace

int main() {
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (FAILED(hr)) return fail("CoInitializeEx", hr);

  // Late-bound, as a script would: ProgID -> CLSID -> object -> member name -> call.
  CLSID clsid;
  hr = CLSIDFromProgID(u"Zentarix.GUIDGen", &clsid);
  if (FAILED(hr)) return fail("CLSIDFromProgID(\"Zentarix.GUIDGen\") (is the module registered?)", hr);
  zx::ComPtr<IDispatch> generator;
  hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, generator.put_void());
  if (FAILED(hr)) return fail("CoCreateInstance", hr);
  OLECHAR name[] = u"Generate";
  LPOLESTR names[] = {name};
  DISPID dispid;
  hr = generator->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
  if (FAILED(hr)) return fail("GetIDsOfNames(\"Generate\")", hr);
  DISPPARAMS no_arguments = {nullptr, nullptr, 0, 0};
  zx::Variant guid;
  hr = generator->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &no_arguments, &guid, nullptr, nullptr);
  if (FAILED(hr) || guid.vt != VT_BSTR) return fail("Invoke(Generate)", hr);
  std::printf("Zentarix.GUIDGen.Generate() = %s\n",
              zx::to_utf8(std::u16string_view(guid.bstrVal, SysStringLen(guid.bstrVal))).c_str());
  generator.reset();

  // The module's colour functions are plain exports (no IDispatch): called directly.
  LONG red = 0, half_red = 0, colorref = 0;
  ColorFromARGB(255, 255, 0, 0, &red);
  SetAlpha(red, 128, &half_red);
  COLORREFFromColor(red, &colorref);
  std::printf("ColorFromARGB(255, 255, 0, 0) = %d (zxRed = %d)\n", red, zxRed);
  std::printf("SetAlpha(that, 128) = %d, COLORREFFromColor(that) = %d\n", half_red, colorref);

  CoUninitialize();
  return 0;
}
