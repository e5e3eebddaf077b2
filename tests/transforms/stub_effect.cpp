// Zentarix — MIT licence.
// A stand-in for an external effect class, served for any CLSID it is registered under. Vtable
// entries 7 to 29 are setters taking one LONG that record (entry, value); the object answers its
// effect interfaces but neither IGDIPlusTransform nor IPictureTransform, and has no "Apply".
#include <atomic>
#include <mutex>
#include <vector>

#include "objbase.h"
#include "oaidl.h"
#include "stub_effect.h"

namespace {

std::mutex g_lock;
std::vector<int32_t> g_calls;

void record(int entry, LONG value) {
  std::lock_guard guard(g_lock);
  g_calls.push_back(entry);
  g_calls.push_back(value);
}

// The interfaces of the effects the tests register this module for (Spray, AddNoise).
constexpr IID kSprayItf = {0xA991B0D6, 0xF613, 0x4A07, {0xA3, 0x85, 0x74, 0x7B, 0x80, 0x3E, 0xC8, 0xD2}};
constexpr IID kAddNoiseItf = {0xB804547B, 0x5EA6, 0x4686, {0x9C, 0x49, 0xEF, 0xEC, 0xAA, 0x46, 0x02, 0x20}};

#define ZX_SETTER(n) \
  STDMETHOD(entry##n)(LONG value) { \
    record(n, value); \
    return S_OK; \
  }

struct Effect : IDispatch {
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch && riid != kSprayItf && riid != kAddNoiseItf) return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG left = --refs;
    if (!left) delete this;
    return left;
  }
  STDMETHOD(GetTypeInfoCount)(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  ZX_SETTER(7) ZX_SETTER(8) ZX_SETTER(9) ZX_SETTER(10) ZX_SETTER(11) ZX_SETTER(12) ZX_SETTER(13) ZX_SETTER(14)
  ZX_SETTER(15) ZX_SETTER(16) ZX_SETTER(17) ZX_SETTER(18) ZX_SETTER(19) ZX_SETTER(20) ZX_SETTER(21)
  virtual ~Effect() = default;
  std::atomic<ULONG> refs{0};
};

struct Factory : IClassFactory {
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IUnknown || riid == IID_IClassFactory ? this : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* effect = new Effect;
    effect->AddRef();
    const HRESULT hr = effect->QueryInterface(riid, ppv);
    effect->Release();
    return hr;
  }
  STDMETHOD(LockServer)(BOOL) override { return S_OK; }
};

}  // namespace

extern "C" {
__attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID, REFIID riid, LPVOID* ppv) {
  static Factory factory;
  return factory.QueryInterface(riid, ppv);
}
__attribute__((visibility("default"))) HRESULT DllCanUnloadNow() { return S_FALSE; }

const int32_t* zx_stub_effect_calls(size_t* count) {
  std::lock_guard guard(g_lock);
  *count = g_calls.size();
  return g_calls.data();
}
void zx_stub_effect_reset() {
  std::lock_guard guard(g_lock);
  g_calls.clear();
}
}
