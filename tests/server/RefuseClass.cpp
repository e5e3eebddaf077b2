// Zentarix — MIT licence.
// CoCreateInstance as the module sees it in tests that must stage a missing platform class: the
// test executable's definition comes before libzxcom's for every caller, the module's included.
#include <dlfcn.h>

#include "TestRegistry.h"

namespace {
CLSID g_refused = CLSID_NULL;
HRESULT g_refusal = S_OK;
}  // namespace

namespace zx::test {
void refuse_class(REFCLSID clsid, HRESULT hr) {
  g_refused = clsid;
  g_refusal = hr;
}
}  // namespace zx::test

STDAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN outer, DWORD context, REFIID riid, LPVOID* ppv) {
  if (g_refused != CLSID_NULL && rclsid == g_refused) {
    if (ppv) *ppv = nullptr;
    return g_refusal;
  }
  static const auto next = reinterpret_cast<decltype(&CoCreateInstance)>(dlsym(RTLD_NEXT, "CoCreateInstance"));
  return next(rclsid, outer, context, riid, ppv);
}
