// Zentarix — MIT licence.
// The language's built-in functions and constants, found by name when a script is compiled.
#pragma once
#include <cstdint>
#include <string_view>

#include "oleauto.h"

namespace zx::script {

class Interpreter;

// args[i] are the values passed (references followed; an omitted argument is VT_ERROR with
// DISP_E_PARAMNOTFOUND); out is empty and receives the result. Errors are thrown as ScriptError.
using BuiltinFn = void (*)(Interpreter& in, const VARIANT* const* args, int count, VARIANT& out);

struct Builtin {
  const char16_t* name;
  int8_t minArgs;
  int8_t maxArgs;  // -1: any number (Array)
  BuiltinFn fn;
};

// A built-in function by its folded (lower-case) name, or null.
const Builtin* find_builtin(std::u16string_view folded);
// A built-in constant (vbCrLf, vbTextCompare, ...) by its folded name: true and *out set.
bool find_constant(std::u16string_view folded, VARIANT* out);

// Whether argument i was passed (present and not omitted).
inline bool has_arg(const VARIANT* const* args, int count, int i) {
  return i < count && !(args[i]->vt == VT_ERROR && args[i]->scode == DISP_E_PARAMNOTFOUND);
}

// The tables of each family of functions, joined by find_builtin.
struct BuiltinTable {
  const Builtin* entries;
  size_t count;
};
BuiltinTable string_builtins();
BuiltinTable number_builtins();
BuiltinTable date_builtins();
BuiltinTable misc_builtins();

}  // namespace zx::script
