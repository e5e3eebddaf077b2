// Zentarix — MIT licence.
// The component's type library as pages name it: its LIBID, its name, or its module's file.
#include "TypeLibs.h"

#include <algorithm>
#include <filesystem>

#include "objbase.h"
#include "zentarix.h"

namespace zx::script::web {
namespace {

std::string lowered(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
  return s;
}

bool names_component(const TypeLibReference& ref) {
  if (!ref.uuid.empty()) {
    OLECHAR text[40];
    StringFromGUID2(LIBID_Zentarix, text, 40);
    std::string libid = lowered(zx::to_utf8(text));
    std::string uuid = ref.uuid;
    if (uuid.front() != '{') uuid = "{" + uuid + "}";
    return uuid == libid;
  }
  if (!ref.name.empty()) return lowered(ref.name) == "zentarix";
  // "C:\Program Files\Zentarix\Zentarix.dll" or "/usr/lib/.../libzentarix.so": the module's stem.
  std::string file = ref.file;
  std::replace(file.begin(), file.end(), '\\', '/');
  const std::string stem = lowered(std::filesystem::path(file).stem().string());
  return stem == "zentarix" || stem == "libzentarix";
}

}  // namespace

bool add_typelib_constants(const TypeLibReference& ref, Engine& engine) {
  if (!names_component(ref)) return false;
  for (UINT i = 0; i < zentarix_constant_count; ++i) engine.add_constant(zentarix_constants[i].name, zentarix_constants[i].value);
  return true;
}

}  // namespace zx::script::web
