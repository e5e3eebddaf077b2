// Zentarix — MIT licence.
// Test support: a private registry file per test process, COM initialised, and registry readers.
#include "TestRegistry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace zx::test {
namespace {

class ServerEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    std::remove(registry_file().c_str());
    setenv("ZENTARIX_REGISTRY", registry_file().c_str(), 1);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  }
  void TearDown() override {
    CoUninitialize();
    std::remove(registry_file().c_str());
    std::remove((registry_file() + ".lock").c_str());  // the writers' advisory lock file outlives them
  }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

struct Key {
  HKEY h = nullptr;
  ~Key() {
    if (h) RegCloseKey(h);
  }
};

}  // namespace

const std::string& registry_file() {
  static const std::string path = std::string(ZX_BINARY_DIR) + "/server-test-" + std::to_string(getpid()) + ".reg";
  return path;
}

std::string registry_bytes() {
  std::ifstream in(registry_file(), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool key_exists(const std::u16string& path) {
  Key key;
  return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key.h) == ERROR_SUCCESS;
}

std::optional<std::u16string> read_value(const std::u16string& path, const OLECHAR* name) {
  Key key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key.h) != ERROR_SUCCESS) return std::nullopt;
  OLECHAR data[1024];
  DWORD bytes = sizeof(data);
  DWORD type = 0;
  if (RegQueryValueExW(key.h, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  std::u16string value(data, bytes / sizeof(OLECHAR));
  while (!value.empty() && value.back() == u'\0') value.pop_back();
  return value;
}

void write_value(const std::u16string& path, const std::u16string& value) {
  Key key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key.h, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key.h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>((value.size() + 1) * sizeof(OLECHAR))),
            ERROR_SUCCESS);
}

std::u16string guid_text(REFGUID guid) {
  OLECHAR text[39];
  StringFromGUID2(guid, text, 39);
  return text;
}

}  // namespace zx::test
