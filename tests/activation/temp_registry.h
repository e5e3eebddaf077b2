// Zentarix — MIT licence.
// Test fixture support: a private registry file for each test, named through ZENTARIX_REGISTRY, or a
// private pair of machine-wide and per-user files.
#pragma once
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "winreg.h"

namespace zx::test {

class TempRegistry {
 public:
  TempRegistry() {
    char pattern[] = "/tmp/zx-registry-XXXXXX";
    m_dir = ::mkdtemp(pattern);
    m_file = m_dir + "/sub/registry.txt";  // a missing folder: the registry creates it
    ::setenv("ZENTARIX_REGISTRY", m_file.c_str(), 1);
  }
  TempRegistry(const TempRegistry&) = delete;
  TempRegistry& operator=(const TempRegistry&) = delete;
  ~TempRegistry() {
    ::unsetenv("ZENTARIX_REGISTRY");
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
  const std::string& file() const { return m_file; }
  const std::string& dir() const { return m_dir; }
  std::string text() const {
    std::ifstream in(m_file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  // The file without its comment line: the keys, sorted, each "\n[path]" with its values.
  std::string keys() const {
    const std::string t = text();
    return t.substr(std::min(t.size(), t.find('\n') + 1));
  }

 private:
  std::string m_dir, m_file;
};

// The two files of the merged view in a private folder: the machine-wide one through
// ZENTARIX_MACHINE_REGISTRY, the per-user one through XDG_DATA_HOME (HOME is left alone: the
// variable that names a folder wins). Writes go to the user's file until a test chooses otherwise.
class ScopedRegistries {
 public:
  ScopedRegistries() {
    char pattern[] = "/tmp/zx-scopes-XXXXXX";
    m_dir = ::mkdtemp(pattern);
    m_machine = m_dir + "/machine/registry.txt";
    m_user = m_dir + "/user/zentarix/registry.txt";
    ::unsetenv("ZENTARIX_REGISTRY");
    ::setenv("ZENTARIX_MACHINE_REGISTRY", m_machine.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (m_dir + "/user").c_str(), 1);
  }
  ScopedRegistries(const ScopedRegistries&) = delete;
  ScopedRegistries& operator=(const ScopedRegistries&) = delete;
  ~ScopedRegistries() {
    ZxRegSetScope(ZX_REGISTRY_USER);
    ::unsetenv("ZENTARIX_MACHINE_REGISTRY");
    ::unsetenv("XDG_DATA_HOME");
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
  const std::string& machine() const { return m_machine; }
  const std::string& user() const { return m_user; }

 private:
  std::string m_dir, m_machine, m_user;
};

// A whole file's text, or "<missing>".
inline std::string file_text(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return "<missing>";
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Puts a registry file in place the way writers do (a new file renamed over the old one).
inline void put_file(const std::string& file, const std::string& text, mode_t mode = 0644) {
  std::filesystem::create_directories(std::filesystem::path(file).parent_path());
  const std::string temp = file + ".new";
  { std::ofstream(temp, std::ios::binary | std::ios::trunc) << text; }
  ::chmod(temp.c_str(), mode);
  std::filesystem::rename(temp, file);
}

// The default value of HKCR\path, or "<missing>".
inline std::u16string read_default(const char16_t* path, const char16_t* name = nullptr) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return u"<missing>";
  char16_t buf[512];
  DWORD cb = sizeof buf;
  LSTATUS s = RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &cb);
  RegCloseKey(key);
  return s == ERROR_SUCCESS ? std::u16string(buf) : u"<missing>";
}

inline bool key_exists(const char16_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// The number of direct subkeys of an HKCR key (0 when it does not exist).
inline DWORD count_subkeys(const char16_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  DWORD count = 0;
  char16_t name[256];
  for (DWORD cch = 256; RegEnumKeyExW(key, count, name, &cch, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       cch = 256)
    ++count;
  RegCloseKey(key);
  return count;
}

inline LSTATUS write_default(const char16_t* path, std::u16string_view value, const char16_t* name = nullptr) {
  HKEY key = nullptr;
  if (LSTATUS s = RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
    return s;
  LSTATUS s = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(std::u16string(value).c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
  RegCloseKey(key);
  return s;
}

}  // namespace zx::test
