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

// HKEY_CLASSES_ROOT is the merged view of two files, as Windows merges the machine's and the user's
// classes: the machine-wide file (ZX_MACHINE_REGISTRY_FILE, or $ZENTARIX_MACHINE_REGISTRY) and the
// per-user file ($XDG_DATA_HOME/zentarix/registry.txt, else ~/.local/share/zentarix/registry.txt;
// none without either variable). A key the user's file holds takes its values from there; subkeys
// of both appear. $ZENTARIX_REGISTRY names one file that replaces both. A file writable by anyone
// but its owner, or owned by neither this user nor root, is ignored (read as empty, never written).
enum class Scope { User = 0, Machine = 1 };
// The file of a scope: $ZENTARIX_REGISTRY when set, else the scope's own; empty when it has none.
std::string scope_file(Scope scope);
// Which file writes go to, for the whole process (the user's unless chosen otherwise).
void set_write_scope(Scope scope);
Scope write_scope();

// A consistent snapshot of the whole tree for reading. Inside a batch of this thread it is the
// batch's tree (the file being written, with the batch's own changes); otherwise the merged view of
// the files, each parsed again only when it was replaced or changed since the last look. Returns
// ERROR_SUCCESS, or ERROR_REGISTRY_CORRUPT / ERROR_CANTREAD with the snapshot unset.
LSTATUS snapshot(std::shared_ptr<const Key>& out);

// Applies a change to the file of the write scope under the registry's locks (the process's writer
// lock, then the advisory lock on "<file>.lock"): the file is re-read inside them, the change runs on that fresh tree, and if it
// returns ERROR_SUCCESS with changed set the tree is written to a temporary file beside the registry
// and renamed over it. Inside a batch of this thread the change runs on the batch's tree instead and
// nothing is written until the batch ends. A change that fails must leave the tree as it found it:
// inside a batch nothing else would undo it.
LSTATUS modify(const std::function<LSTATUS(Key& root, bool& changed)>& change);

// Batches gather many changes into one replacement of the file. begin_batch takes both locks and
// reads the file once; until the matching outermost end_batch every snapshot/modify of this thread
// works on that in-memory tree, while other threads and processes keep reading the file as it was
// and wait for the locks to write. Batches nest: an inner end_batch(false) undoes only the changes
// made since its begin_batch, and only the outermost end_batch(true) writes (once, and only if
// something changed). The batch keeps the file it began with even if the scope or the environment
// changes meanwhile.
// begin_batch and modify: ERROR_SUCCESS, ERROR_PATH_NOT_FOUND (the scope has no file),
// ERROR_CANTWRITE (no lock file), ERROR_ACCESS_DENIED (an ignored file), ERROR_REGISTRY_CORRUPT,
// ERROR_CANTREAD.
// end_batch: ERROR_SUCCESS, ERROR_INVALID_FUNCTION (no batch open on this thread), ERROR_CANTWRITE
// (the batch's changes are lost; the locks are released all the same).
LSTATUS begin_batch();
LSTATUS end_batch(bool commit);
bool in_batch();

// How many times this process has replaced the registry file (for tests).
unsigned long replacement_count();

}  // namespace zx::registry
