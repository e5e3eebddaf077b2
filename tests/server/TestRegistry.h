// Zentarix — MIT licence.
// Test support: a private registry file per test process, COM initialised, and registry readers.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace zx::test {

// The registry file this process uses (ZENTARIX_REGISTRY is set before any test runs).
const std::string& registry_file();
// The file's bytes ("" when it does not exist).
std::string registry_bytes();

bool key_exists(const std::u16string& path);
// A value under HKEY_CLASSES_ROOT\path; name null for the default value.
std::optional<std::u16string> read_value(const std::u16string& path, const OLECHAR* name = nullptr);
void write_value(const std::u16string& path, const std::u16string& value);
std::u16string guid_text(REFGUID guid);

// Makes CoCreateInstance of clsid fail with hr for every caller in the process (CLSID_NULL: none).
// Defined in RefuseClass.cpp, which a test executable links only when it needs this.
void refuse_class(REFCLSID clsid, HRESULT hr);

}  // namespace zx::test
