// Zentarix — MIT licence.
// COM initialisation, class activation through the registry, the module table and ProgID lookup.
#include <dlfcn.h>
#include <sys/stat.h>

#include <iterator>
#include <memory>
#include <mutex>

#include "activation_internal.h"
#include "comcat.h"
#include "object_base.h"
#include "zx/com.h"

namespace zx::activation {
namespace {

// ---- COM initialisation -------------------------------------------------------------------------
struct ThreadInit {
  ULONG count = 0;
  bool multithreaded = false;
};
thread_local ThreadInit t_init;
// Threads that never initialised COM still activate objects while some thread of the process holds
// the multithreaded apartment open (the implicit MTA of Windows).
std::atomic<long> g_mtaThreads{0};

bool may_activate() { return t_init.count > 0 || g_mtaThreads.load() > 0; }

// ---- the runtime's own classes --------------------------------------------------------------------
const BuiltinClass kBuiltins[] = {
    {&CLSID_StdComponentCategoriesMgr, nullptr, &create_category_manager},
    {&kDictionaryClsid, u"Scripting.Dictionary", &create_dictionary},
    {&kFileSystemClsid, u"Scripting.FileSystemObject", &create_file_system},
};

// One static class factory per built-in class; it holds no state, so its counts are constant.
class BuiltinFactory final : public IClassFactory {
 public:
  constexpr explicit BuiltinFactory(const BuiltinClass* cls) : m_cls(cls) {}
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    try {
      return m_cls->create(outer, riid, ppv);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }
  STDMETHOD(LockServer)(BOOL) override { return S_OK; }

 private:
  const BuiltinClass* m_cls;
};
BuiltinFactory g_builtinFactories[] = {BuiltinFactory(&kBuiltins[0]), BuiltinFactory(&kBuiltins[1]),
                                       BuiltinFactory(&kBuiltins[2])};
static_assert(std::size(g_builtinFactories) == std::size(kBuiltins));

// ---- the module table -----------------------------------------------------------------------------
using DllGetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, LPVOID*);
using DllCanUnloadNowFn = HRESULT (*)();

struct LoadedModule {
  std::string path;
  void* handle;
  DllGetClassObjectFn getClassObject;
  DllCanUnloadNowFn canUnloadNow;  // null: the module stays loaded for the life of the process
  int busy;  // calls into DllGetClassObject in progress: the module must not be unloaded under them
};

struct ModuleTable {
  std::mutex lock;
  std::vector<std::shared_ptr<LoadedModule>> modules;
};
ModuleTable& module_table() {
  static ModuleTable t;
  return t;
}

// Loads (or finds) the module and marks it busy; the caller calls release_module when done.
HRESULT acquire_module(const std::string& path, std::shared_ptr<LoadedModule>& out) {
  ModuleTable& t = module_table();
  std::lock_guard guard(t.lock);
  for (const auto& m : t.modules)
    if (m->path == path) {
      ++m->busy;
      out = m;
      return S_OK;
    }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return CO_E_DLLNOTFOUND;
  void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) return CO_E_ERRORINDLL;
  auto get = reinterpret_cast<DllGetClassObjectFn>(::dlsym(h, "DllGetClassObject"));
  if (!get) {
    ::dlclose(h);
    return CO_E_ERRORINDLL;
  }
  auto canUnload = reinterpret_cast<DllCanUnloadNowFn>(::dlsym(h, "DllCanUnloadNow"));
  out = std::make_shared<LoadedModule>(LoadedModule{path, h, get, canUnload, 1});
  t.modules.push_back(out);
  return S_OK;
}

void release_module(LoadedModule& m) {
  ModuleTable& t = module_table();
  std::lock_guard guard(t.lock);
  --m.busy;
}

std::u16string clsid_key(REFCLSID clsid) { return u"CLSID\\" + guid_text(clsid); }

// The CLSID a ProgID key names, following CurVer from a version-independent ProgID.
std::optional<GUID> clsid_of_progid(std::u16string_view progId) {
  std::u16string key(progId);
  for (int hops = 0; hops < 8; ++hops) {
    if (auto curVer = read_default(key + u"\\CurVer"); curVer && !curVer->empty() && *curVer != key) {
      if (key_exists(*curVer + u"\\CLSID")) {
        key = *curVer;
        continue;
      }
    }
    break;
  }
  if (auto text = read_default(key + u"\\CLSID")) return parse_guid(*text);
  return std::nullopt;
}

}  // namespace

const BuiltinClass* find_builtin(REFCLSID clsid) {
  for (const auto& c : kBuiltins)
    if (*c.clsid == clsid) return &c;
  return nullptr;
}

const BuiltinClass* find_builtin_progid(std::u16string_view progId) {
  std::u16string folded(progId);
  for (auto& c : folded)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  for (const auto& c : kBuiltins) {
    if (!c.progId) continue;
    std::u16string name(c.progId);
    for (auto& ch : name)
      if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - 32);
    if (name == folded) return &c;
  }
  return nullptr;
}

}  // namespace zx::activation

using namespace zx::activation;

STDAPI CoInitializeEx(LPVOID, DWORD dwCoInit) {
  bool multithreaded = !(dwCoInit & COINIT_APARTMENTTHREADED);
  if (t_init.count > 0) {
    if (t_init.multithreaded != multithreaded) return RPC_E_CHANGED_MODE;
    ++t_init.count;
    return S_FALSE;
  }
  t_init.count = 1;
  t_init.multithreaded = multithreaded;
  if (multithreaded) ++g_mtaThreads;
  return S_OK;
}

STDAPI CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

STDAPI_(void) CoUninitialize() {
  if (t_init.count == 0) return;
  if (--t_init.count == 0 && t_init.multithreaded) --g_mtaThreads;
}

STDAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_INVALIDARG;
  *ppv = nullptr;
  if (!may_activate()) return CO_E_NOTINITIALIZED;
  // Only in-process servers exist here; a request that excludes them finds no server.
  if (!(dwClsContext & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER))) return REGDB_E_CLASSNOTREG;
  try {
    if (const BuiltinClass* b = find_builtin(rclsid))
      return g_builtinFactories[b - kBuiltins].QueryInterface(riid, ppv);
    auto path = read_default(clsid_key(rclsid) + u"\\InprocServer32");
    if (!path || path->empty()) return REGDB_E_CLASSNOTREG;
    std::shared_ptr<LoadedModule> module;
    if (HRESULT hr = acquire_module(zx::to_utf8(*path), module); FAILED(hr)) return hr;
    // The table lock is not held across the call: the module may itself activate other classes.
    HRESULT hr = module->getClassObject(rclsid, riid, ppv);
    release_module(*module);
    return hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDAPI CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  zx::ComPtr<IClassFactory> factory;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, factory.put_void());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(pUnkOuter, riid, ppv);
}

STDAPI_(void) CoFreeUnusedLibraries() {
  ModuleTable& t = module_table();
  std::lock_guard guard(t.lock);
  std::erase_if(t.modules, [](const std::shared_ptr<LoadedModule>& m) {
    if (m->busy || !m->canUnloadNow || m->canUnloadNow() != S_OK) return false;
    ::dlclose(m->handle);
    return true;
  });
}

STDAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (!lpszProgID || !lpclsid) return E_INVALIDARG;
  try {
    std::u16string_view progId(lpszProgID);
    if (const BuiltinClass* b = find_builtin_progid(progId)) {
      *lpclsid = *b->clsid;
      return S_OK;
    }
    if (!progId.empty() && progId.find(u'\\') == std::u16string_view::npos)
      if (auto clsid = clsid_of_progid(progId)) {
        *lpclsid = *clsid;
        return S_OK;
      }
    *lpclsid = CLSID_NULL;
    return CO_E_CLASSSTRING;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  if (!lplpszProgID) return E_INVALIDARG;
  *lplpszProgID = nullptr;
  try {
    if (const BuiltinClass* b = find_builtin(clsid)) {
      if (!b->progId) return REGDB_E_CLASSNOTREG;
      return task_mem_string(b->progId, lplpszProgID);
    }
    auto progId = read_default(clsid_key(clsid) + u"\\ProgID");
    if (!progId || progId->empty()) return REGDB_E_CLASSNOTREG;
    return task_mem_string(*progId, lplpszProgID);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}
