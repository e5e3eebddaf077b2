// Zentarix — MIT licence.
// What every COM server module of ours shares: its file path, its cached class objects, its registration.
#pragma once
#include <comcat.h>
#include <winreg.h>

#include <mutex>
#include <span>
#include <string>

#include "ClassTable.h"

namespace zx::server {

// The full file path (what InprocServer32 names), UTF-16, of the module that links this library:
// each module holds its own copy of this code, so the answer is always the caller's own file.
std::u16string module_path();

// One module's class objects, made on first request under one creation lock and cached for the
// module's life. The cache's references do not count towards DllCanUnloadNow, or the module could
// never be unloaded; LockServer counts. The module gives one slot per row and releases the objects
// when it stops (release_all): the cache has nothing to destroy of its own, so no order of static
// destruction at unload can leave a module stop working on a destroyed cache.
class ClassObjects {
 public:
  ClassObjects(std::span<const ClassEntry> table, std::span<IClassFactory*> slots) noexcept
      : m_table(table), m_objects(slots.first(table.size())) {}
  ClassObjects(const ClassObjects&) = delete;
  ClassObjects& operator=(const ClassObjects&) = delete;

  // DllGetClassObject: the class object of the row with that CLSID and a creator, asked for riid;
  // CLASS_E_CLASSNOTAVAILABLE when no such row exists, E_POINTER for a null ppv.
  HRESULT get(REFCLSID rclsid, REFIID riid, void** ppv) noexcept;
  // The cached class object of one row of the table. E_OUTOFMEMORY when it cannot be made.
  HRESULT of(const ClassEntry& row, IClassFactory** factory) noexcept;
  // Releases every cached object (module stop).
  void release_all() noexcept;

 private:
  std::span<const ClassEntry> m_table;
  std::span<IClassFactory*> m_objects;
  std::mutex m_lock;
};

// Writes the keys of every row (the script of ProgID, CLSID, InprocServer32 naming this module,
// ThreadingModel, TypeLib and, for programmable classes, Programmable), each row's implemented
// categories through the manager (null is allowed when no row names a category), then registers
// the type library. The first failure ends it.
HRESULT register_classes(std::span<const ClassEntry> table, const ZX_TYPELIB_DESC& typelib, ICatRegister* categories);
// Removes what register_classes wrote, trying everything; the first failure is returned.
HRESULT unregister_classes(std::span<const ClassEntry> table, const ZX_TYPELIB_DESC& typelib, ICatRegister* categories);

// DllRegisterServer / DllUnregisterServer around work: one registry batch (the registry file is
// replaced once, classes written before a failure stay), no exception escapes (E_UNEXPECTED).
HRESULT registration_call(HRESULT (*work)()) noexcept;

}  // namespace zx::server
