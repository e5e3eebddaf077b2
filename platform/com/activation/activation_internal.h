// Zentarix platform layer — MIT licence.
// Internals shared by the registry, activation, category and dictionary sources of libzxcom.
#pragma once
#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "objbase.h"
#include "winreg.h"

namespace zx::activation {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case, as Windows writes GUIDs into the registry.
std::u16string guid_text(const GUID& g);
// Accepts the braced form only, any case; anything else gives nullopt.
std::optional<GUID> parse_guid(std::u16string_view text);

// Registry helpers over HKEY_CLASSES_ROOT for the platform's own callers. Paths use backslashes.
std::optional<std::u16string> read_default(std::u16string_view path);
std::optional<std::u16string> read_value(std::u16string_view path, std::u16string_view name);
bool key_exists(std::u16string_view path);
LSTATUS write_key(std::u16string_view path, const std::u16string* defaultValue);
LSTATUS write_value(std::u16string_view path, std::u16string_view name, std::u16string_view value);
LSTATUS delete_tree(std::u16string_view path);  // a missing key is no error
LSTATUS delete_key_if_empty(std::u16string_view path);
// Subkey names of a key in enumeration order; empty when the key does not exist.
std::vector<std::u16string> subkeys_of(std::u16string_view path);

// A win32 registry status as an HRESULT the way COM callers see it.
inline HRESULT hresult_from_status(LSTATUS s) { return HRESULT_FROM_WIN32(static_cast<DWORD>(s)); }

// Copies text into a CoTaskMem string (E_OUTOFMEMORY when that fails).
HRESULT task_mem_string(std::u16string_view s, LPOLESTR* out);

// The runtime's own classes (activatable without registration).
struct BuiltinClass {
  const CLSID* clsid;
  const OLECHAR* progId;  // null when the class has none
  HRESULT (*create)(IUnknown* outer, REFIID riid, void** ppv);
};
const BuiltinClass* find_builtin(REFCLSID clsid);
const BuiltinClass* find_builtin_progid(std::u16string_view progId);

HRESULT create_category_manager(IUnknown* outer, REFIID riid, void** ppv);
HRESULT create_dictionary(IUnknown* outer, REFIID riid, void** ppv);
extern const CLSID kDictionaryClsid;
HRESULT create_file_system(IUnknown* outer, REFIID riid, void** ppv);
extern const CLSID kFileSystemClsid;

}  // namespace zx::activation
