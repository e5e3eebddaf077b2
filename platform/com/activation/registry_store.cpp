// Zentarix — MIT licence.
// The class registry's file: a readable .reg-like text, replaced atomically under an advisory lock.
#include "registry_store.h"

// The platform headers come before the system ones: <sys/file.h> defines LOCK_WRITE as a macro,
// which would break the LOCKTYPE enumeration of objidl.h.
#include "zx/com.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cwctype>
#include <mutex>
#include <utility>

namespace zx::registry {
namespace {

constexpr std::string_view kHeader = "; Zentarix class registry (HKEY_CLASSES_ROOT), UTF-8. Keys are sections.\n";

void append_quoted(std::string& out, std::u16string_view s) {
  out += '"';
  for (char c : zx::to_utf8(s)) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  out += '"';
}

void serialise_key(const Key& key, const std::string& path, std::string& out) {
  out += '\n';
  out += '[';
  out += path;
  out += "]\n";
  if (key.defaultValue) {
    out += '@';
    out += '=';
    append_quoted(out, *key.defaultValue);
    out += '\n';
  }
  for (const auto& [folded, value] : key.values) {
    append_quoted(out, value.name);
    out += '=';
    append_quoted(out, value.data);
    out += '\n';
  }
  for (const auto& [folded, sub] : key.subkeys)
    serialise_key(*sub, path.empty() ? zx::to_utf8(sub->name) : path + '\\' + zx::to_utf8(sub->name), out);
}

// Reads a quoted string starting at text[pos] == '"'; pos ends after the closing quote.
bool read_quoted(std::string_view text, size_t& pos, std::u16string& out) {
  if (pos >= text.size() || text[pos] != '"') return false;
  std::string raw;
  for (++pos; pos < text.size(); ++pos) {
    char c = text[pos];
    if (c == '"') {
      ++pos;
      out = zx::to_utf16(raw);
      return true;
    }
    if (c == '\\') {
      if (++pos >= text.size()) return false;
      switch (text[pos]) {
        case '\\': raw += '\\'; break;
        case '"': raw += '"'; break;
        case 'n': raw += '\n'; break;
        case 'r': raw += '\r'; break;
        default: return false;
      }
    } else {
      raw += c;
    }
  }
  return false;
}

LSTATUS read_fd(int fd, std::string& text) {
  text.clear();
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return static_cast<LSTATUS>(ERROR_CANTREAD);
    }
    if (n == 0) return ERROR_SUCCESS;
    text.append(buf, static_cast<size_t>(n));
  }
}

// Creates every missing folder of a file's path.
void make_parent_dirs(const std::string& file) {
  for (size_t p = file.find('/', 1); p != std::string::npos; p = file.find('/', p + 1))
    ::mkdir(file.substr(0, p).c_str(), 0755);
}

bool write_all(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

class Fd {
 public:
  explicit Fd(int fd = -1) noexcept : m_fd(fd) {}
  Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) reset(std::exchange(other.m_fd, -1));
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }
  int get() const noexcept { return m_fd; }
  void reset(int fd = -1) noexcept {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
  }

 private:
  int m_fd;
};

// Whether two stats describe the same file in the same state.
bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// Whether a registry file may be believed. It decides which libraries get loaded, so a file that
// anyone but its owner could change, or whose owner is neither this user nor root, is ignored: a
// planted or world-writable file must not make another user's process load a library of its choice.
bool trusted(const struct stat& st) {
  return (st.st_uid == 0 || st.st_uid == ::geteuid()) && !(st.st_mode & (S_IWGRP | S_IWOTH));
}

// The last tree parsed from one registry file and the file it came from. Writers never change the
// file in place, they rename a new one over it, so a new device/inode pair means new content. The
// cache keeps the file it read open: that inode number cannot be recycled for a replacement while
// it is held, so a replacement written within the same clock tick and with the same size is still
// seen. Size and times catch the rest (a hand edit in place, a chmod or chown).
struct FileCache {
  std::string path;
  bool valid = false;
  bool absent = false;   // there was no file: an empty registry
  bool trusted = true;   // false: the file is ignored (its tree is empty) and refuses writes
  Fd pin;
  struct stat st {};
  std::shared_ptr<const Key> tree;
};
// One slot per file of the merged view; the single file named by ZENTARIX_REGISTRY uses the user's.
enum Slot { kUserSlot = 0, kMachineSlot = 1 };
struct Caches {
  std::mutex lock;
  FileCache slots[2];
};
Caches& caches() {
  static Caches c;
  return c;
}

const std::shared_ptr<const Key>& empty_tree() {
  static const std::shared_ptr<const Key> empty = std::make_shared<const Key>();
  return empty;
}

// The tree of the file at path as it is now, from the cache when the file has not changed.
// mode receives the file's permission bits (0644 when there is no file); isTrusted whether the file
// may be believed (an ignored file reads as an empty tree).
LSTATUS current_tree(const std::string& path, int slot, std::shared_ptr<const Key>& out, mode_t& mode,
                     bool& isTrusted) {
  Caches& all = caches();
  std::lock_guard guard(all.lock);
  FileCache& c = all.slots[slot];
  if (c.path != path) {
    c.valid = false;
    c.pin.reset();
    c.path = path;
  }
  mode = 0644;
  isTrusted = true;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) return static_cast<LSTATUS>(ERROR_CANTREAD);
    if (!(c.valid && c.absent)) {
      c.tree = empty_tree();
      c.pin.reset();
      c.absent = true;
      c.trusted = true;
      c.valid = true;
    }
    out = c.tree;
    return ERROR_SUCCESS;
  }
  if (c.valid && !c.absent && same_file(st, c.st)) {
    mode = c.st.st_mode & 07777;
    isTrusted = c.trusted;
    out = c.tree;
    return ERROR_SUCCESS;
  }
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    // Replaced or removed between the stat and the open: an absent file is an empty registry, a
    // replaced one is read on the next look; either way this look must not guess.
    if (errno == ENOENT) {
      out = empty_tree();
      return ERROR_SUCCESS;
    }
    return static_cast<LSTATUS>(ERROR_CANTREAD);
  }
  // The signature is the open file's own: a replacement after the open does not change what is read.
  if (::fstat(fd.get(), &st) != 0) return static_cast<LSTATUS>(ERROR_CANTREAD);
  std::shared_ptr<const Key> tree = empty_tree();
  const bool believed = trusted(st);
  if (believed) {
    std::string text;
    if (LSTATUS s = read_fd(fd.get(), text)) return s;
    auto parsed = std::make_shared<Key>();
    std::string error;
    if (!parse(text, *parsed, error)) return static_cast<LSTATUS>(ERROR_REGISTRY_CORRUPT);
    tree = std::move(parsed);
  }
  c.tree = tree;
  c.st = st;
  c.pin = std::move(fd);
  c.absent = false;
  c.trusted = believed;
  c.valid = true;
  mode = st.st_mode & 07777;
  isTrusted = believed;
  out = std::move(tree);
  return ERROR_SUCCESS;
}

bool is_empty(const Key& k) { return !k.defaultValue && k.values.empty() && k.subkeys.empty(); }

// Lays the user's tree over a copy of the machine's: a key the user's file holds takes its values
// from there (as HKEY_CURRENT_USER's classes hide HKEY_LOCAL_MACHINE's), subkeys of both are kept.
void overlay(Key& into, const Key& user) {
  into.defaultValue = user.defaultValue;
  into.values = user.values;
  for (const auto& [folded, sub] : user.subkeys) {
    auto& slot = into.subkeys[folded];
    if (slot)
      overlay(*slot, *sub);
    else
      slot = sub->clone();
  }
}

// The merged view of the two files, remembered for as long as neither file changes.
std::shared_ptr<const Key> merged_view(const std::shared_ptr<const Key>& machine,
                                       const std::shared_ptr<const Key>& user) {
  if (is_empty(*user)) return machine;
  if (is_empty(*machine)) return user;
  static std::mutex lock;
  static std::shared_ptr<const Key> lastMachine, lastUser, lastMerged;
  std::lock_guard guard(lock);
  if (machine != lastMachine || user != lastUser) {
    std::shared_ptr<Key> merged(machine->clone());
    overlay(*merged, *user);
    lastMachine = machine;
    lastUser = user;
    lastMerged = std::move(merged);
  }
  return lastMerged;
}

// Where writes go: the file of the chosen scope (or the one named by ZENTARIX_REGISTRY).
struct Target {
  std::string path;
  int slot = kUserSlot;
};

std::atomic<int> g_scope{static_cast<int>(Scope::User)};

std::string override_file() {
  const char* env = ::secure_getenv("ZENTARIX_REGISTRY");
  return env && *env ? env : std::string();
}

LSTATUS write_target(Target& out) {
  const Scope scope = write_scope();
  out.path = scope_file(scope);
  out.slot = scope == Scope::Machine && override_file().empty() ? kMachineSlot : kUserSlot;
  return out.path.empty() ? static_cast<LSTATUS>(ERROR_PATH_NOT_FOUND) : ERROR_SUCCESS;
}

std::atomic<unsigned long> g_replacements{0};

// Writes tree as the new registry file (temporary file + rename) and makes it the cached tree, so
// that the writer's next read needs neither a read nor a parse.
LSTATUS replace_file(const Target& target, std::shared_ptr<const Key> tree, mode_t mode) {
  const std::string& path = target.path;
  static std::atomic<unsigned> counter{0};
  std::string text = serialise(*tree);
  std::string temp = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
  Fd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (out.get() < 0) return static_cast<LSTATUS>(ERROR_CANTWRITE);
  // No fsync: the rename already guarantees that readers see the old file or the new one, never
  // a mix, and a disk flush per write would make registering a server take seconds.
  bool ok = write_all(out.get(), text) && ::fchmod(out.get(), mode) == 0;
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return static_cast<LSTATUS>(ERROR_CANTWRITE);
  }
  ++g_replacements;
  // The stat comes after the rename, which may touch the file's change time.
  struct stat st {};
  if (::fstat(out.get(), &st) == 0) {
    Caches& all = caches();
    std::lock_guard guard(all.lock);
    FileCache& c = all.slots[target.slot];
    c.path = path;
    c.tree = std::move(tree);
    c.st = st;
    c.pin = std::move(out);
    c.absent = false;
    c.trusted = true;
    c.valid = true;
  }
  return ERROR_SUCCESS;
}

// Takes the advisory lock on "<path>.lock"; it is released when lockFd closes. flock locks belong
// to the open file, so two threads of one process exclude each other too.
LSTATUS lock_file(const std::string& path, Fd& lockFd) {
  make_parent_dirs(path);
  lockFd.reset(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (lockFd.get() < 0) return static_cast<LSTATUS>(ERROR_CANTWRITE);
  while (::flock(lockFd.get(), LOCK_EX) != 0)
    if (errno != EINTR) return static_cast<LSTATUS>(ERROR_LOCK_VIOLATION);
  return ERROR_SUCCESS;
}

// The process's writer lock. Always taken before the file lock, by single writes and by batches,
// so that threads queue here rather than on the file.
std::mutex& writer_lock() {
  static std::mutex m;
  return m;
}

// A thread's open batch. Destroying it (the thread ends inside a batch) discards the changes and
// releases both locks.
struct Batch {
  unsigned depth = 0;
  Target target;
  mode_t mode = 0644;
  std::unique_lock<std::mutex> writer;
  Fd lock;
  std::shared_ptr<Key> tree;
  bool changed = false;
  // One per inner level: the tree and the changed flag as they were at its begin.
  std::vector<std::pair<std::unique_ptr<Key>, bool>> savepoints;

  void release() noexcept {
    depth = 0;
    tree.reset();
    savepoints.clear();
    changed = false;
    lock.reset();
    if (writer.owns_lock()) writer.unlock();
  }
};
thread_local Batch t_batch;

}  // namespace

std::u16string fold(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out) {
    if (c < 0x80) {
      if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    } else if (c < 0xD800 || c > 0xDFFF) {
      auto up = std::towupper(static_cast<wint_t>(c));
      if (up < 0x10000) c = static_cast<char16_t>(up);
    }
  }
  return out;
}

Key* Key::find(std::u16string_view childName) const {
  auto it = subkeys.find(fold(childName));
  return it == subkeys.end() ? nullptr : it->second.get();
}

Key& Key::child(std::u16string_view childName) {
  auto& slot = subkeys[fold(childName)];
  if (!slot) {
    slot = std::make_unique<Key>();
    slot->name = std::u16string(childName);
  }
  return *slot;
}

std::unique_ptr<Key> Key::clone() const {
  auto k = std::make_unique<Key>();
  k->name = name;
  k->defaultValue = defaultValue;
  k->values = values;
  for (const auto& [folded, sub] : subkeys) k->subkeys.emplace(folded, sub->clone());
  return k;
}

bool split_path(std::u16string_view path, std::vector<std::u16string>& parts) {
  parts.clear();
  if (path.empty()) return true;
  // A trailing backslash is tolerated (as Windows does); empty inner parts are not.
  if (path.back() == u'\\') path.remove_suffix(1);
  size_t start = 0;
  for (;;) {
    size_t end = path.find(u'\\', start);
    std::u16string_view part = path.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start);
    if (part.empty() || part.find_first_of(u"\r\n") != std::u16string_view::npos) return false;
    parts.emplace_back(part);
    if (end == std::u16string_view::npos) return true;
    start = end + 1;
  }
}

std::string serialise(const Key& root) {
  std::string out(kHeader);
  if (root.defaultValue || !root.values.empty()) {
    Key top;
    top.defaultValue = root.defaultValue;
    top.values = root.values;
    serialise_key(top, "", out);
  }
  for (const auto& [folded, sub] : root.subkeys) serialise_key(*sub, zx::to_utf8(sub->name), out);
  return out;
}

bool parse(std::string_view text, Key& root, std::string& error) {
  Key fresh;
  Key* current = nullptr;
  size_t lineNo = 0;
  std::vector<std::u16string> parts;
  while (!text.empty()) {
    size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == ';') continue;
    auto fail = [&](const char* what) {
      error = "line " + std::to_string(lineNo) + ": " + what;
      return false;
    };
    if (line[0] == '[') {
      if (line.back() != ']') return fail("a section must end in ']'");
      if (!split_path(zx::to_utf16(line.substr(1, line.size() - 2)), parts)) return fail("empty key name");
      current = &fresh;
      for (const auto& p : parts) current = &current->child(p);
      continue;
    }
    if (!current) return fail("a value outside any section");
    size_t pos = 0;
    std::u16string name, data;
    bool isDefault = line[0] == '@';
    if (isDefault) {
      pos = 1;
    } else if (!read_quoted(line, pos, name)) {
      return fail("a value name must be a quoted string or @");
    }
    if (pos >= line.size() || line[pos] != '=') return fail("expected '=' after the value name");
    ++pos;
    if (!read_quoted(line, pos, data) || pos != line.size()) return fail("a value must be one quoted string");
    if (isDefault)
      current->defaultValue = std::move(data);
    else
      current->values[fold(name)] = Value{name, std::move(data)};
  }
  root = std::move(fresh);
  return true;
}

std::string machine_file() {
  // The machine-wide file moves only for tests and staged installs; a set-user-ID process keeps it.
  const char* env = ::secure_getenv("ZENTARIX_MACHINE_REGISTRY");
  return env && *env ? env : ZX_MACHINE_REGISTRY_FILE;
}

std::string user_file() {
  std::string base;
  if (const char* xdg = ::secure_getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
    base = xdg;
  } else if (const char* home = ::secure_getenv("HOME"); home && *home == '/') {
    base = std::string(home) + "/.local/share";
  } else {
    // No per-user file without a home: a shared fallback (a folder under /tmp, say) is a place any
    // local user could plant a registry, and daemons and web-server children often run without HOME.
    return {};
  }
  return base + "/zentarix/registry.txt";
}

std::string scope_file(Scope scope) {
  if (std::string one = override_file(); !one.empty()) return one;
  return scope == Scope::Machine ? machine_file() : user_file();
}

void set_write_scope(Scope scope) { g_scope.store(static_cast<int>(scope)); }
Scope write_scope() { return static_cast<Scope>(g_scope.load()); }

LSTATUS snapshot(std::shared_ptr<const Key>& out) {
  if (t_batch.depth) {
    out = t_batch.tree;
    return ERROR_SUCCESS;
  }
  mode_t mode;
  bool believed;
  if (std::string one = override_file(); !one.empty()) return current_tree(one, kUserSlot, out, mode, believed);
  std::shared_ptr<const Key> machine, user = empty_tree();
  if (LSTATUS s = current_tree(machine_file(), kMachineSlot, machine, mode, believed)) return s;
  if (std::string mine = user_file(); !mine.empty())
    if (LSTATUS s = current_tree(mine, kUserSlot, user, mode, believed)) return s;
  out = merged_view(machine, user);
  return ERROR_SUCCESS;
}

namespace {
// Takes both write locks on the target file and reads it afresh inside them: another process may
// have written since this one last looked, and its changes must survive ours. The cached tree is
// shared with readers, so the caller changes a copy. An ignored file is not written over: its
// owner is told (ERROR_ACCESS_DENIED) rather than having its contents silently dropped.
LSTATUS lock_and_read(Target& target, std::unique_lock<std::mutex>& writer, Fd& lockFd, std::shared_ptr<Key>& tree,
                      mode_t& mode) {
  if (LSTATUS s = write_target(target)) return s;
  writer = std::unique_lock(writer_lock());
  if (LSTATUS s = lock_file(target.path, lockFd)) return s;
  std::shared_ptr<const Key> current;
  bool believed;
  if (LSTATUS s = current_tree(target.path, target.slot, current, mode, believed)) return s;
  if (!believed) return static_cast<LSTATUS>(ERROR_ACCESS_DENIED);
  tree.reset(current->clone().release());
  return ERROR_SUCCESS;
}
}  // namespace

LSTATUS modify(const std::function<LSTATUS(Key& root, bool& changed)>& change) {
  if (Batch& b = t_batch; b.depth) {
    bool changed = false;
    if (LSTATUS s = change(*b.tree, changed)) return s;
    b.changed = b.changed || changed;
    return ERROR_SUCCESS;
  }
  Target target;
  std::unique_lock<std::mutex> writer;
  Fd lockFd;
  std::shared_ptr<Key> root;
  mode_t mode;
  if (LSTATUS s = lock_and_read(target, writer, lockFd, root, mode)) return s;
  bool changed = false;
  if (LSTATUS s = change(*root, changed)) return s;
  if (!changed) return ERROR_SUCCESS;
  return replace_file(target, std::move(root), mode);
}

LSTATUS begin_batch() {
  Batch& b = t_batch;
  if (b.depth) {
    b.savepoints.emplace_back(b.tree->clone(), b.changed);
    ++b.depth;
    return ERROR_SUCCESS;
  }
  Target target;
  std::unique_lock<std::mutex> writer;
  Fd lockFd;
  std::shared_ptr<Key> tree;
  mode_t mode;
  if (LSTATUS s = lock_and_read(target, writer, lockFd, tree, mode)) return s;
  b.tree = std::move(tree);
  b.target = std::move(target);
  b.mode = mode;
  b.changed = false;
  b.lock = std::move(lockFd);
  b.writer = std::move(writer);
  b.depth = 1;
  return ERROR_SUCCESS;
}

LSTATUS end_batch(bool commit) {
  Batch& b = t_batch;
  if (!b.depth) return static_cast<LSTATUS>(ERROR_INVALID_FUNCTION);
  if (b.depth > 1) {
    auto saved = std::move(b.savepoints.back());
    b.savepoints.pop_back();
    --b.depth;
    if (!commit) {
      *b.tree = std::move(*saved.first);
      b.changed = saved.second;
    }
    return ERROR_SUCCESS;
  }
  // The locks go on every path out, the file lock before the writer lock (release() order).
  struct Release {
    Batch& b;
    ~Release() { b.release(); }
  } release{b};
  if (!commit || !b.changed) return ERROR_SUCCESS;
  return replace_file(b.target, std::move(b.tree), b.mode);
}

bool in_batch() { return t_batch.depth != 0; }

unsigned long replacement_count() { return g_replacements.load(); }

}  // namespace zx::registry
