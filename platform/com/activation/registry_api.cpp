// Zentarix — MIT licence.
// The Reg* functions over the file-backed HKEY_CLASSES_ROOT subset, with Win32 status codes.
#include <mutex>
#include <new>
#include <set>

#include "activation_internal.h"
#include "registry_store.h"

// An open key: its path from HKEY_CLASSES_ROOT and the access it was opened with. Handles name
// keys by path, so a handle whose key another process deleted answers ERROR_KEY_DELETED.
struct HKEY__ {
  std::vector<std::u16string> path;
  REGSAM access;
};

namespace zx::registry {
namespace {

constexpr LSTATUS kOk = ERROR_SUCCESS;
constexpr LSTATUS status(DWORD e) { return static_cast<LSTATUS>(e); }
constexpr DWORD ERROR_BAD_PATHNAME = 161;

HKEY__ g_root{{}, KEY_ALL_ACCESS};

struct HandleTable {
  std::mutex lock;
  std::set<HKEY> live;
};
HandleTable& handles() {
  static HandleTable t;
  return t;
}

// The handle's state, or null when it is not an open key.
const HKEY__* lookup(HKEY h) {
  if (h == HKEY_CLASSES_ROOT) return &g_root;
  auto& t = handles();
  std::lock_guard guard(t.lock);
  return t.live.count(h) ? h : nullptr;
}

LSTATUS new_handle(std::vector<std::u16string> path, REGSAM access, PHKEY out) {
  auto* h = new (std::nothrow) HKEY__{std::move(path), access};
  if (!h) return status(ERROR_OUTOFMEMORY);
  auto& t = handles();
  std::lock_guard guard(t.lock);
  t.live.insert(h);
  *out = h;
  return kOk;
}

const Key* walk(const Key& root, const std::vector<std::u16string>& path, size_t count) {
  const Key* k = &root;
  for (size_t i = 0; i < count && k; ++i) k = k->find(path[i]);
  return k;
}
const Key* walk(const Key& root, const std::vector<std::u16string>& path) { return walk(root, path, path.size()); }
Key* walk_mut(Key& root, const std::vector<std::u16string>& path, size_t count) {
  return const_cast<Key*>(walk(root, path, count));
}

// The handle's key joined with a relative subkey path.
LSTATUS full_path(const HKEY__* h, LPCWSTR sub, std::vector<std::u16string>& out) {
  std::vector<std::u16string> parts;
  if (sub && !split_path(sub, parts)) return status(ERROR_BAD_PATHNAME);
  out = h->path;
  out.insert(out.end(), parts.begin(), parts.end());
  return kOk;
}

// Reads the tree and checks that the handle's own key still exists.
LSTATUS read_tree(const HKEY__* h, std::shared_ptr<const Key>& tree) {
  if (LSTATUS s = snapshot(tree)) return s;
  if (!walk(*tree, h->path)) return status(ERROR_KEY_DELETED);
  return kOk;
}

std::u16string_view value_name(LPCWSTR name) { return name ? std::u16string_view(name) : std::u16string_view(); }

}  // namespace
}  // namespace zx::registry

using namespace zx::registry;

STDAPI_(LSTATUS) RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM samDesired, void*,
                                 PHKEY phkResult, DWORD* lpdwDisposition) {
  if (!phkResult || !lpSubKey) return status(ERROR_INVALID_PARAMETER);
  const HKEY__* h = lookup(hKey);
  if (!h) return status(ERROR_INVALID_HANDLE);
  std::vector<std::u16string> path;
  if (LSTATUS s = full_path(h, lpSubKey, path)) return s;
  bool created = false;
  try {
    LSTATUS s = modify([&](Key& root, bool& changed) -> LSTATUS {
      Key* k = walk_mut(root, h->path, h->path.size());
      if (!k) return status(ERROR_KEY_DELETED);
      for (size_t i = h->path.size(); i < path.size(); ++i) {
        if (Key* next = k->find(path[i])) {
          k = next;
          continue;
        }
        if (!(h->access & KEY_CREATE_SUB_KEY)) return status(ERROR_ACCESS_DENIED);
        k = &k->child(path[i]);
        created = changed = true;
      }
      return kOk;
    });
    if (s) return s;
    if (lpdwDisposition) *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return new_handle(std::move(path), samDesired, phkResult);
  } catch (const std::bad_alloc&) {
    return status(ERROR_OUTOFMEMORY);
  }
}

STDAPI_(LSTATUS) RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  if (!phkResult) return status(ERROR_INVALID_PARAMETER);
  const HKEY__* h = lookup(hKey);
  if (!h) return status(ERROR_INVALID_HANDLE);
  try {
    std::vector<std::u16string> path;
    if (LSTATUS s = full_path(h, lpSubKey, path)) return s;
    std::shared_ptr<const Key> tree;
    if (LSTATUS s = read_tree(h, tree)) return s;
    if (!walk(*tree, path)) return status(ERROR_FILE_NOT_FOUND);
    return new_handle(std::move(path), samDesired, phkResult);
  } catch (const std::bad_alloc&) {
    return status(ERROR_OUTOFMEMORY);
  }
}

STDAPI_(LSTATUS) RegCloseKey(HKEY hKey) {
  if (hKey == HKEY_CLASSES_ROOT) return kOk;
  auto& t = handles();
  {
    std::lock_guard guard(t.lock);
    if (!t.live.erase(hKey)) return status(ERROR_INVALID_HANDLE);
  }
  delete hKey;
  return kOk;
}

STDAPI_(LSTATUS) RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                                DWORD cbData) {
  const HKEY__* h = lookup(hKey);
  if (!h) return status(ERROR_INVALID_HANDLE);
  if (!(h->access & KEY_SET_VALUE)) return status(ERROR_ACCESS_DENIED);
  // The class registry holds strings only; every value COM registration writes is one.
  if (dwType != REG_SZ) return status(ERROR_INVALID_PARAMETER);
  if (!lpData && cbData) return status(ERROR_NOACCESS);
  try {
    std::u16string data(cbData / sizeof(char16_t), u'\0');
    if (!data.empty()) std::memcpy(data.data(), lpData, data.size() * sizeof(char16_t));
    while (!data.empty() && data.back() == u'\0') data.pop_back();
    std::u16string_view name = value_name(lpValueName);
    return modify([&](Key& root, bool& changed) -> LSTATUS {
      Key* k = walk_mut(root, h->path, h->path.size());
      if (!k) return status(ERROR_KEY_DELETED);
      if (name.empty()) {
        changed = k->defaultValue != data;
        k->defaultValue = data;
      } else {
        Value v{std::u16string(name), data};
        auto& slot = k->values[fold(name)];
        changed = slot.name != v.name || slot.data != v.data;
        slot = std::move(v);
      }
      return kOk;
    });
  } catch (const std::bad_alloc&) {
    return status(ERROR_OUTOFMEMORY);
  }
}

STDAPI_(LSTATUS) RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                                  DWORD* lpcbData) {
  const HKEY__* h = lookup(hKey);
  if (!h) return status(ERROR_INVALID_HANDLE);
  if (lpReserved || (lpData && !lpcbData)) return status(ERROR_INVALID_PARAMETER);
  if (!(h->access & KEY_QUERY_VALUE)) return status(ERROR_ACCESS_DENIED);
  std::shared_ptr<const Key> tree;
  if (LSTATUS s = read_tree(h, tree)) return s;
  const Key* k = walk(*tree, h->path);
  std::u16string_view name = value_name(lpValueName);
  const std::u16string* data = nullptr;
  if (name.empty()) {
    if (k->defaultValue) data = &*k->defaultValue;
  } else if (auto it = k->values.find(fold(name)); it != k->values.end()) {
    data = &it->second.data;
  }
  if (!data) return status(ERROR_FILE_NOT_FOUND);
  DWORD needed = static_cast<DWORD>((data->size() + 1) * sizeof(char16_t));
  if (lpType) *lpType = REG_SZ;
  if (!lpData) {
    if (lpcbData) *lpcbData = needed;
    return kOk;
  }
  if (*lpcbData < needed) {
    *lpcbData = needed;
    return status(ERROR_MORE_DATA);
  }
  std::memcpy(lpData, data->c_str(), needed);
  *lpcbData = needed;
  return kOk;
}

STDAPI_(LSTATUS) RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  const HKEY__* h = lookup(hKey);
  if (!h) return status(ERROR_INVALID_HANDLE);
  if (!lpSubKey) return status(ERROR_INVALID_PARAMETER);
  try {
    std::vector<std::u16string> path;
    if (LSTATUS s = full_path(h, lpSubKey, path)) return s;
    if (path.empty()) return status(ERROR_ACCESS_DENIED);  // the root itself
    return modify([&](Key& root, bool& changed) -> LSTATUS {
      if (!walk(root, h->path)) return status(ERROR_KEY_DELETED);
      Key* parent = walk_mut(root, path, path.size() - 1);
      Key* k = parent ? parent->find(path.back()) : nullptr;
      if (!k) return status(ERROR_FILE_NOT_FOUND);
      // As on Windows: a key with subkeys is refused; RegDeleteTreeW removes whole branches.
      if (!k->subkeys.empty()) return status(ERROR_ACCESS_DENIED);
      parent->subkeys.erase(fold(path.back()));
      changed = true;
      return kOk;
    });
  } catch (const std::bad_alloc&) {
    return status(ERROR_OUTOFMEMORY);
  }
}

STDAPI_(LSTATUS) RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
  const HKEY__* h = lookup(hKey);
  if (!h) return status(ERROR_INVALID_HANDLE);
  try {
    std::vector<std::u16string> path;
    if (LSTATUS s = full_path(h, lpSubKey, path)) return s;
    return modify([&](Key& root, bool& changed) -> LSTATUS {
      if (!walk(root, h->path)) return status(ERROR_KEY_DELETED);
      if (!lpSubKey || path.size() == h->path.size()) {
        // No subkey named: the key's own values and subkeys go, the key stays.
        Key* k = walk_mut(root, path, path.size());
        changed = k->defaultValue || !k->values.empty() || !k->subkeys.empty();
        k->defaultValue.reset();
        k->values.clear();
        k->subkeys.clear();
        return kOk;
      }
      Key* parent = walk_mut(root, path, path.size() - 1);
      if (!parent || !parent->subkeys.erase(fold(path.back()))) return status(ERROR_FILE_NOT_FOUND);
      changed = true;
      return kOk;
    });
  } catch (const std::bad_alloc&) {
    return status(ERROR_OUTOFMEMORY);
  }
}

STDAPI_(LSTATUS) RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  const HKEY__* h = lookup(hKey);
  if (!h) return status(ERROR_INVALID_HANDLE);
  if (!(h->access & KEY_SET_VALUE)) return status(ERROR_ACCESS_DENIED);
  try {
    std::u16string_view name = value_name(lpValueName);
    return modify([&](Key& root, bool& changed) -> LSTATUS {
      Key* k = walk_mut(root, h->path, h->path.size());
      if (!k) return status(ERROR_KEY_DELETED);
      if (name.empty()) {
        if (!k->defaultValue) return status(ERROR_FILE_NOT_FOUND);
        k->defaultValue.reset();
      } else if (!k->values.erase(fold(name))) {
        return status(ERROR_FILE_NOT_FOUND);
      }
      changed = true;
      return kOk;
    });
  } catch (const std::bad_alloc&) {
    return status(ERROR_OUTOFMEMORY);
  }
}

STDAPI_(LSTATUS) RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD* lpcchName, DWORD* lpReserved,
                               LPWSTR lpClass, DWORD* lpcchClass, FILETIME* lpftLastWriteTime) {
  const HKEY__* h = lookup(hKey);
  if (!h) return status(ERROR_INVALID_HANDLE);
  if (!lpName || !lpcchName || lpReserved || (lpClass && !lpcchClass)) return status(ERROR_INVALID_PARAMETER);
  if (!(h->access & KEY_ENUMERATE_SUB_KEYS)) return status(ERROR_ACCESS_DENIED);
  std::shared_ptr<const Key> tree;
  if (LSTATUS s = read_tree(h, tree)) return s;
  const Key* k = walk(*tree, h->path);
  if (dwIndex >= k->subkeys.size()) return status(ERROR_NO_MORE_ITEMS);
  auto it = k->subkeys.begin();
  std::advance(it, dwIndex);
  const std::u16string& name = it->second->name;
  if (*lpcchName <= name.size()) return status(ERROR_MORE_DATA);
  std::memcpy(lpName, name.c_str(), (name.size() + 1) * sizeof(char16_t));
  *lpcchName = static_cast<DWORD>(name.size());
  if (lpClass) {
    if (*lpcchClass < 1) return status(ERROR_MORE_DATA);
    lpClass[0] = u'\0';
    *lpcchClass = 0;
  }
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return kOk;
}

STDAPI ZxRegBeginBatch() {
  try {
    const LSTATUS s = begin_batch();
    return s == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(s));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDAPI ZxRegEndBatch(BOOL fCommit) {
  try {
    const LSTATUS s = end_batch(fCommit != FALSE);
    if (s == static_cast<LSTATUS>(ERROR_INVALID_FUNCTION)) return E_UNEXPECTED;
    return s == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(s));
  } catch (const std::bad_alloc&) {
    // Only the outermost end allocates (the file's text); its locks are already released.
    return E_OUTOFMEMORY;
  }
}

STDAPI ZxRegSetScope(ZX_REGISTRY_SCOPE scope) {
  if (scope != ZX_REGISTRY_USER && scope != ZX_REGISTRY_MACHINE) return E_INVALIDARG;
  set_write_scope(scope == ZX_REGISTRY_MACHINE ? Scope::Machine : Scope::User);
  return S_OK;
}

STDAPI ZxRegGetScopeFile(ZX_REGISTRY_SCOPE scope, LPSTR buffer, DWORD cchBuffer) {
  if ((scope != ZX_REGISTRY_USER && scope != ZX_REGISTRY_MACHINE) || !buffer) return E_INVALIDARG;
  try {
    const std::string path = scope_file(scope == ZX_REGISTRY_MACHINE ? Scope::Machine : Scope::User);
    if (path.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    if (path.size() >= cchBuffer) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDAPI_(ULONG) ZxRegFileReplacementCount() { return static_cast<ULONG>(replacement_count()); }

// ---- helpers for the runtime's own callers --------------------------------------------------------
namespace zx::activation {
namespace {
const registry::Key* find_key(std::shared_ptr<const registry::Key>& tree, std::u16string_view path) {
  std::vector<std::u16string> parts;
  if (!registry::split_path(path, parts) || registry::snapshot(tree) != ERROR_SUCCESS) return nullptr;
  return registry::walk(*tree, parts);
}
}  // namespace

std::optional<std::u16string> read_default(std::u16string_view path) {
  std::shared_ptr<const registry::Key> tree;
  const registry::Key* k = find_key(tree, path);
  if (!k) return std::nullopt;
  return k->defaultValue;
}

std::optional<std::u16string> read_value(std::u16string_view path, std::u16string_view name) {
  std::shared_ptr<const registry::Key> tree;
  const registry::Key* k = find_key(tree, path);
  if (!k) return std::nullopt;
  auto it = k->values.find(registry::fold(name));
  if (it == k->values.end()) return std::nullopt;
  return it->second.data;
}

bool key_exists(std::u16string_view path) {
  std::shared_ptr<const registry::Key> tree;
  return find_key(tree, path) != nullptr;
}

std::vector<std::u16string> subkeys_of(std::u16string_view path) {
  std::shared_ptr<const registry::Key> tree;
  std::vector<std::u16string> names;
  if (const registry::Key* k = find_key(tree, path))
    for (const auto& [folded, sub] : k->subkeys) names.push_back(sub->name);
  return names;
}

LSTATUS write_key(std::u16string_view path, const std::u16string* defaultValue) {
  std::vector<std::u16string> parts;
  if (!registry::split_path(path, parts) || parts.empty()) return registry::status(ERROR_INVALID_PARAMETER);
  return registry::modify([&](registry::Key& root, bool& changed) -> LSTATUS {
    registry::Key* k = &root;
    for (const auto& p : parts) {
      if (!k->find(p)) changed = true;
      k = &k->child(p);
    }
    if (defaultValue && k->defaultValue != *defaultValue) {
      k->defaultValue = *defaultValue;
      changed = true;
    }
    return ERROR_SUCCESS;
  });
}

LSTATUS write_value(std::u16string_view path, std::u16string_view name, std::u16string_view value) {
  std::vector<std::u16string> parts;
  if (!registry::split_path(path, parts) || parts.empty()) return registry::status(ERROR_INVALID_PARAMETER);
  return registry::modify([&](registry::Key& root, bool& changed) -> LSTATUS {
    registry::Key* k = &root;
    for (const auto& p : parts) {
      if (!k->find(p)) changed = true;
      k = &k->child(p);
    }
    registry::Value v{std::u16string(name), std::u16string(value)};
    auto& slot = k->values[registry::fold(name)];
    if (slot.name != v.name || slot.data != v.data) {
      slot = std::move(v);
      changed = true;
    }
    return ERROR_SUCCESS;
  });
}

LSTATUS delete_tree(std::u16string_view path) {
  std::vector<std::u16string> parts;
  if (!registry::split_path(path, parts) || parts.empty()) return registry::status(ERROR_INVALID_PARAMETER);
  return registry::modify([&](registry::Key& root, bool& changed) -> LSTATUS {
    registry::Key* parent = registry::walk_mut(root, parts, parts.size() - 1);
    changed = parent && parent->subkeys.erase(registry::fold(parts.back())) > 0;
    return ERROR_SUCCESS;
  });
}

LSTATUS delete_key_if_empty(std::u16string_view path) {
  std::vector<std::u16string> parts;
  if (!registry::split_path(path, parts) || parts.empty()) return registry::status(ERROR_INVALID_PARAMETER);
  return registry::modify([&](registry::Key& root, bool& changed) -> LSTATUS {
    registry::Key* parent = registry::walk_mut(root, parts, parts.size() - 1);
    registry::Key* k = parent ? parent->find(parts.back()) : nullptr;
    if (k && k->subkeys.empty() && k->values.empty() && !k->defaultValue) {
      parent->subkeys.erase(registry::fold(parts.back()));
      changed = true;
    }
    return ERROR_SUCCESS;
  });
}

}  // namespace zx::activation
