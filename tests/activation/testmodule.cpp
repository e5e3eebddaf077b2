// Zentarix — MIT licence.
// A minimal in-process server: one class, a counted lifetime, and self-registration.
#include <dlfcn.h>

#include <atomic>
#include <cstdlib>

#include "comcat.h"
#include "objbase.h"
#include "testmodule.h"
#include "winreg.h"
#include "zx/com.h"

namespace {

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

class Widget final : public ITestWidget {
 public:
  Widget() { ++g_objects; }
  ~Widget() { --g_objects; }
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ITestWidget) {
      *ppv = static_cast<ITestWidget*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG left = --m_refs;
    if (!left) delete this;
    return left;
  }
  STDMETHOD(GetAnswer)(LONG* value) override {
    if (!value) return E_POINTER;
    *value = 42;
    return S_OK;
  }

 private:
  std::atomic<ULONG> m_refs{0};
};

class Factory final : public IClassFactory {
 public:
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // A handed-out factory keeps the module loaded, as a live object does.
  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++g_locks); }
  STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--g_locks); }
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* w = new Widget();
    w->AddRef();
    HRESULT hr = w->QueryInterface(riid, ppv);
    w->Release();
    return hr;
  }
  STDMETHOD(LockServer)(BOOL lock) override {
    lock ? ++g_locks : --g_locks;
    return S_OK;
  }
};
Factory g_factory;

std::u16string module_path() {
  Dl_info info{};
  dladdr(reinterpret_cast<void*>(&g_factory), &info);
  return zx::to_utf16(info.dli_fname ? info.dli_fname : "");
}

bool set_default(const char16_t* path, const std::u16string& value) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)) return false;
  LSTATUS s = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * 2));
  if (!s && path == std::u16string_view(u"CLSID\\{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}\\InprocServer32"))
    s = RegSetValueExW(key, u"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(u"Both"), 10);
  RegCloseKey(key);
  return s == ERROR_SUCCESS;
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (rclsid != CLSID_TestWidget) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  if (std::getenv(ZX_TESTMODULE_REFUSE_ENV)) {
    zx::ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.put()))) {
      create->SetDescription(const_cast<LPOLESTR>(ZX_TESTMODULE_REFUSAL));
      zx::ComPtr<IErrorInfo> info;
      if (SUCCEEDED(create.query(info))) SetErrorInfo(0, info.get());
    }
    return E_ACCESSDENIED;
  }
  const char16_t* clsidKey = u"CLSID\\{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}";
  bool ok = set_default(clsidKey, u"TestWidget Class") &&
            set_default(u"CLSID\\{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}\\InprocServer32", module_path()) &&
            set_default(u"CLSID\\{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}\\ProgID", u"ZxTest.Widget.1") &&
            set_default(u"CLSID\\{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}\\VersionIndependentProgID", u"ZxTest.Widget") &&
            set_default(u"ZxTest.Widget.1\\CLSID", u"{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}") &&
            set_default(u"ZxTest.Widget\\CLSID", u"{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}") &&
            set_default(u"ZxTest.Widget\\CurVer", u"ZxTest.Widget.1");
  if (!ok) return SELFREG_E_CLASS;
  zx::ComPtr<ICatRegister> cats;
  HRESULT hr = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_ALL, IID_ICatRegister, cats.put_void());
  if (FAILED(hr)) return hr;
  CATEGORYINFO info{};
  info.catid = CATID_TestWidgets;
  info.lcid = 0x409;
  std::char_traits<char16_t>::copy(info.szDescription, u"Test widgets", 13);
  if (FAILED(hr = cats->RegisterCategories(1, &info))) return hr;
  CATID catid = CATID_TestWidgets;
  return cats->RegisterClassImplCategories(CLSID_TestWidget, 1, &catid);
}

STDAPI DllUnregisterServer() {
  zx::ComPtr<ICatRegister> cats;
  HRESULT hr = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_ALL, IID_ICatRegister, cats.put_void());
  if (FAILED(hr)) return hr;
  CATID catid = CATID_TestWidgets;
  if (FAILED(hr = cats->UnRegisterClassImplCategories(CLSID_TestWidget, 1, &catid))) return hr;
  for (const char16_t* key : {u"CLSID\\{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}", u"ZxTest.Widget.1", u"ZxTest.Widget"}) {
    LSTATUS s = RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
    if (s != ERROR_SUCCESS && s != static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND)) return HRESULT_FROM_WIN32(s);
  }
  return S_OK;
}
