// Zentarix — MIT licence.
// The module's start and stop, its lock count, its class objects, and DllGetClassObject / DllCanUnloadNow.
#include "Module.h"

#include <dlfcn.h>

#include <array>
#include <climits>
#include <cstdlib>

#include "TextHeap.h"

namespace zx::server {
namespace {

// The standard class factory over a row's instance creator. Its own references do not lock the
// module (the cache holds one for the module's life); LockServer does.
class ClassFactory final : public IClassFactory {
 public:
  explicit ClassFactory(InstanceCreator create) noexcept : m_create(create) {}

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
  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) override { return m_create(outer, riid, ppv); }
  STDMETHOD(LockServer)(BOOL lock) override {
    lock_server(lock != FALSE);
    return S_OK;
  }

 private:
  std::atomic<ULONG> m_refs{1};
  InstanceCreator m_create;
};

// One cached class object per row, guarded by the creation lock.
std::mutex g_creation_lock;
std::array<IClassFactory*, 35> g_class_objects{};

void module_start() noexcept;
void module_stop() noexcept;

__attribute__((constructor)) void on_load() { module_start(); }
__attribute__((destructor)) void on_unload() { module_stop(); }

void module_start() noexcept {
  // The text heap may be absent; what needs it then fails with E_OUTOFMEMORY. Loading succeeds.
  start_text_heap();
}

void module_stop() noexcept {
  {
    std::lock_guard<std::mutex> guard(g_creation_lock);
    for (IClassFactory*& factory : g_class_objects) {
      if (factory) std::exchange(factory, nullptr)->Release();
    }
  }
  stop_text_heap();
}

}  // namespace

std::u16string module_path() {
  Dl_info info = {};
  if (!dladdr(reinterpret_cast<void*>(&on_load), &info) || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  const char* path = realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
  return zx::to_utf16(path);
}

HRESULT class_object(const ClassEntry& row, IClassFactory** factory) noexcept {
  const auto table = class_table();
  static_assert(std::tuple_size_v<decltype(g_class_objects)> == 35);
  const size_t index = static_cast<size_t>(&row - table.data());
  std::lock_guard<std::mutex> guard(g_creation_lock);
  IClassFactory*& cached = g_class_objects[index];
  if (!cached) {
    cached = new (std::nothrow) ClassFactory(row.create);
    if (!cached) return E_OUTOFMEMORY;
  }
  cached->AddRef();
  *factory = cached;
  return S_OK;
}

}  // namespace zx::server

using namespace zx::server;

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (const ClassEntry& row : class_table()) {
    if (!row.create || *row.clsid != rclsid) continue;
    zx::ComPtr<IClassFactory> factory;
    HRESULT hr = class_object(row, factory.put());
    if (FAILED(hr)) return hr;
    return factory->QueryInterface(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return module_lock_count() == 0 ? S_OK : S_FALSE; }
