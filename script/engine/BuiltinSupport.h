// Zentarix — MIT licence.
// What the built-in functions share: reading their arguments the language's way.
#pragma once
#include <string>

#include "Builtins.h"
#include "Interpreter.h"
#include "Values.h"

namespace zx::script::builtins {

using Args = const VARIANT* const*;

inline bool is_null(const VARIANT& v) { return v.vt == VT_NULL; }
// A whole-number argument (half to even); Null is "Invalid use of Null".
inline int32_t whole(const VARIANT& v) { return to_long(v); }
inline std::u16string text(const VARIANT& v) {
  if (v.vt == VT_NULL) raise_error(kErrInvalidNull);
  return to_text(v);
}
// vbBinaryCompare (0) or vbTextCompare (1) from an optional argument.
inline bool text_compare(Args args, int count, int i) {
  if (!has_arg(args, count, i)) return false;
  const int32_t mode = whole(*args[i]);
  if (mode < 0) raise_error(kErrIllegalCall);
  return mode != 0;
}
inline void set_integer(VARIANT& out, int32_t v) {
  out.vt = VT_I2;
  out.iVal = static_cast<SHORT>(v);
}
[[noreturn]] inline void illegal() { raise_error(kErrIllegalCall); }

}  // namespace zx::script::builtins
