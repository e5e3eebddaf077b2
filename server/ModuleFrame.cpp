// Zentarix — MIT licence.
// The module frame: the module's path, the standard class factory and its cache, class registration.
#include "ModuleFrame.h"

#include <comcat.h>
#include <dlfcn.h>
#include <winbase.h>

#include <climits>
#include <cstdlib>
#include <utility>

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

// ---- registration -------------------------------------------------------------------------------

// The registration script every class runs, with its placeholders filled from the class's row.
// One script serves every class because their layouts differ only in the row's values and the
// Programmable flag. The CLSID key is removed and rewritten whole before the script runs, so a
// stale subkey (a Programmable key the class no longer has) cannot survive a re-registration.
struct ScriptLine {
  const OLECHAR* key;         // under HKEY_CLASSES_ROOT
  const OLECHAR* value_name;  // null: the default value
  const OLECHAR* value;       // null: the key only
  bool programmable_only;
};
constexpr ScriptLine kClassScript[] = {
    {u"%PROGID%", nullptr, u"%DESCRIPTION%", false},
    {u"%PROGID%\\CLSID", nullptr, u"%CLSID%", false},
    {u"%VIPROGID%", nullptr, u"%DESCRIPTION%", false},
    {u"%VIPROGID%\\CLSID", nullptr, u"%CLSID%", false},
    {u"%VIPROGID%\\CurVer", nullptr, u"%PROGID%", false},
    {u"CLSID\\%CLSID%", nullptr, u"%DESCRIPTION%", false},
    {u"CLSID\\%CLSID%\\ProgID", nullptr, u"%PROGID%", false},
    {u"CLSID\\%CLSID%\\VersionIndependentProgID", nullptr, u"%VIPROGID%", false},
    {u"CLSID\\%CLSID%\\Programmable", nullptr, nullptr, true},
    {u"CLSID\\%CLSID%\\InprocServer32", nullptr, u"%MODULE%", false},
    {u"CLSID\\%CLSID%\\InprocServer32", u"ThreadingModel", u"Both", false},
    {u"CLSID\\%CLSID%\\TypeLib", nullptr, u"%LIBID%", false},
};
// What unregistration removes (whole trees). The "CLSID" key itself always stays.
constexpr const OLECHAR* kClassKeys[] = {u"%PROGID%", u"%VIPROGID%", u"CLSID\\%CLSID%"};
constexpr OLECHAR kImplementedCategories[] = u"\\Implemented Categories";

HRESULT from_status(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

std::u16string guid_text(REFGUID guid) {
  OLECHAR text[39];
  StringFromGUID2(guid, text, 39);
  return text;
}

class RegKey {
 public:
  RegKey() noexcept = default;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  ~RegKey() {
    if (m_key) RegCloseKey(m_key);
  }
  HKEY* put() noexcept { return &m_key; }
  HKEY get() const noexcept { return m_key; }

 private:
  HKEY m_key = nullptr;
};

// The row's values for the script's placeholders.
class Placeholders {
 public:
  Placeholders(const ClassEntry& row, const ZX_TYPELIB_DESC& typelib, const std::u16string& module)
      : m_values{{u"%PROGID%", row.progid},
                 {u"%VIPROGID%", row.vi_progid},
                 {u"%DESCRIPTION%", row.description},
                 {u"%CLSID%", guid_text(*row.registered_clsid)},
                 {u"%LIBID%", guid_text(typelib.libid ? *typelib.libid : GUID_NULL)},
                 {u"%MODULE%", module}} {}

  std::u16string expand(std::u16string_view text) const {
    std::u16string out(text);
    for (const auto& [name, value] : m_values) {
      for (size_t at = out.find(name); at != std::u16string::npos; at = out.find(name, at + value.size()))
        out.replace(at, name.size(), value);
    }
    return out;
  }

 private:
  std::pair<std::u16string_view, std::u16string> m_values[6];
};

HRESULT delete_tree(const std::u16string& key) {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  return status == ERROR_FILE_NOT_FOUND ? S_OK : from_status(status);
}

HRESULT write_line(const Placeholders& values, const ScriptLine& line) {
  RegKey key;
  const std::u16string path = values.expand(line.key);
  HRESULT hr = from_status(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_WRITE, nullptr, key.put(), nullptr));
  if (FAILED(hr) || !line.value) return hr;
  const std::u16string value = values.expand(line.value);
  return from_status(RegSetValueExW(key.get(), line.value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>((value.size() + 1) * sizeof(OLECHAR))));
}

HRESULT register_class(const Placeholders& values, const ClassEntry& row, ICatRegister* categories) {
  HRESULT hr = delete_tree(values.expand(u"CLSID\\%CLSID%"));
  for (const ScriptLine& line : kClassScript) {
    if (FAILED(hr)) return hr;
    if (line.programmable_only && !row.programmable) continue;
    hr = write_line(values, line);
  }
  if (FAILED(hr) || row.categories.empty()) return hr;
  if (!categories) return E_POINTER;
  return categories->RegisterClassImplCategories(*row.registered_clsid, static_cast<ULONG>(row.categories.size()),
                                                 const_cast<CATID*>(row.categories.data()));
}

// Removes "Implemented Categories" once the manager has taken the class's entries out of it.
HRESULT remove_empty_categories_key(const Placeholders& values) {
  const std::u16string path = values.expand(u"CLSID\\%CLSID%") + kImplementedCategories;
  {
    RegKey key;
    const LSTATUS status = RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put());
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    if (status != ERROR_SUCCESS) return from_status(status);
    OLECHAR name[64];
    DWORD length = 64;
    if (RegEnumKeyExW(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_NO_MORE_ITEMS)
      return S_OK;
  }
  return from_status(RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str()));
}

HRESULT unregister_class(const Placeholders& values, const ClassEntry& row, ICatRegister* categories) {
  HRESULT first = S_OK;
  auto note = [&first](HRESULT hr) {
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  };
  if (!row.categories.empty()) {
    if (categories) {
      note(categories->UnRegisterClassImplCategories(*row.registered_clsid, static_cast<ULONG>(row.categories.size()),
                                                     const_cast<CATID*>(row.categories.data())));
    }
    note(remove_empty_categories_key(values));
  }
  for (const OLECHAR* key : kClassKeys) note(delete_tree(values.expand(key)));
  return first;
}

// One registry batch around a whole registration, so that its several hundred key writes replace
// the registry file once instead of once each. The batch always ends with a commit, failure or not:
// classes registered before a failure stay registered, exactly as they would without the batch.
// When no batch can be opened (the registry cannot be locked or read) the registration runs
// without one and its first write reports the registry's own error.
class RegistryBatch {
 public:
  RegistryBatch() noexcept : m_open(SUCCEEDED(ZxRegBeginBatch())) {}
  RegistryBatch(const RegistryBatch&) = delete;
  RegistryBatch& operator=(const RegistryBatch&) = delete;
  ~RegistryBatch() { (void)end(); }
  // Writes the batch; the registration's result stands unless the write itself failed.
  HRESULT end(HRESULT result) noexcept {
    const HRESULT written = end();
    return FAILED(result) ? result : written;
  }

 private:
  HRESULT end() noexcept { return std::exchange(m_open, false) ? ZxRegEndBatch(TRUE) : S_OK; }
  bool m_open;
};

}  // namespace

std::u16string module_path() {
  Dl_info info = {};
  if (!dladdr(reinterpret_cast<void*>(&module_path), &info) || !info.dli_fname) return {};
  char resolved[PATH_MAX];
  const char* path = realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
  return zx::to_utf16(path);
}

HRESULT ClassObjects::of(const ClassEntry& row, IClassFactory** factory) noexcept {
  const size_t index = static_cast<size_t>(&row - m_table.data());
  std::lock_guard<std::mutex> guard(m_lock);
  IClassFactory*& cached = m_objects[index];
  if (!cached) {
    cached = new (std::nothrow) ClassFactory(row.create);
    if (!cached) return E_OUTOFMEMORY;
  }
  cached->AddRef();
  *factory = cached;
  return S_OK;
}

HRESULT ClassObjects::get(REFCLSID rclsid, REFIID riid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (const ClassEntry& row : m_table) {
    if (!row.create || *row.clsid != rclsid) continue;
    ComPtr<IClassFactory> factory;
    const HRESULT hr = of(row, factory.put());
    if (FAILED(hr)) return hr;
    return factory->QueryInterface(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

void ClassObjects::release_all() noexcept {
  std::lock_guard<std::mutex> guard(m_lock);
  for (IClassFactory*& factory : m_objects) {
    if (factory) std::exchange(factory, nullptr)->Release();
  }
}

HRESULT register_classes(std::span<const ClassEntry> table, const ZX_TYPELIB_DESC& typelib, ICatRegister* categories) {
  const std::u16string module = module_path();
  for (const ClassEntry& row : table) {
    const HRESULT hr = register_class(Placeholders(row, typelib, module), row, categories);
    if (FAILED(hr)) return hr;
  }
  return ZxRegisterTypeLib(&typelib, module.c_str(), nullptr);
}

HRESULT unregister_classes(std::span<const ClassEntry> table, const ZX_TYPELIB_DESC& typelib,
                           ICatRegister* categories) {
  const std::u16string module = module_path();
  HRESULT first = S_OK;
  for (const ClassEntry& row : table) {
    const HRESULT hr = unregister_class(Placeholders(row, typelib, module), row, categories);
    if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  }
  const HRESULT hr = ZxUnRegisterTypeLib(&typelib);
  if (FAILED(hr) && SUCCEEDED(first)) first = hr;
  return SUCCEEDED(first) ? S_OK : first;
}

HRESULT registration_call(HRESULT (*work)()) noexcept {
  return com_call(
      [work] {
        RegistryBatch batch;
        return batch.end(work());
      },
      E_UNEXPECTED);
}

}  // namespace zx::server
