// Zentarix platform layer — MIT licence.
// The file-backed HKEY_CLASSES_ROOT tree: parsing, writing, locking and the process-wide snapshot.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "winreg.h"

namespace zx::registry {

// Windows compares key and value names without regard to case but keeps the case they were
// created with; the fold is the key of the maps, the stored name is what enumeration returns.
std::u16string fold(std::u16string_view s);

struct Value {
  std::u16string name;  // case as written
  std::u16string data;
};

struct Key {
  std::u16string name;
  std::optional<std::u16string> defaultValue;
  std::map<std::u16string, Value> values;                  // by folded name
  std::map<std::u16string, std::unique_ptr<Key>> subkeys;  // by folded name: enumeration order

  Key* find(std::u16string_view child) const;
  Key& child(std::u16string_view name);  // finds or creates
  std::unique_ptr<Key> clone() const;
};

// Splits "A\B\C" into its parts; returns false for an empty part ("A\\B", leading backslash).
bool split_path(std::u16string_view path, std::vector<std::u16string>& parts);

// The tree's text form (UTF-8): one "[path]" section per key, "@=" for the default value,
// "\"name\"=" for named values, strings in double quotes with \\ \" \n \r escaped.
std::string serialise(const Key& root);
// Returns false (and leaves root untouched) when the text is not in that form.
bool parse(std::string_view text, Key& root, std::string& error);

// The registry file: $ZENTARIX_REGISTRY, else $XDG_DATA_HOME/zentarix/registry.txt, else
// ~/.local/share/zentarix/registry.txt.
std::string file_path();

// A consistent snapshot of the whole tree for reading. Re-reads the file only when it changed.
// Returns ERROR_SUCCESS, or ERROR_REGISTRY_CORRUPT / ERROR_CANTREAD with the snapshot unset.
LSTATUS snapshot(std::shared_ptr<const Key>& out);

// Applies a change under the registry's advisory lock: the file is re-read inside the lock, the
// change runs on that fresh tree, and if it returns ERROR_SUCCESS with changed set the tree is
// written to a temporary file beside the registry and renamed over it.
LSTATUS modify(const std::function<LSTATUS(Key& root, bool& changed)>& change);

}  // namespace zx::registry
