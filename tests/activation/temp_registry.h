// Zentarix — MIT licence.
// Test fixture support: a private registry file for each test, named through ZENTARIX_REGISTRY.
#pragma once
#include <stdlib.h>
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
