// Zentarix — MIT licence.
// Script values are VARIANTs: ownership helpers, the operators and the conversions the language defines.
#pragma once
#include <string>
#include <string_view>

#include "Ast.h"
#include "ScriptError.h"
#include "oleauto.h"

namespace zx::script {

// True for the types whose VARIANT owns something VariantClear must release.
inline bool owns_resources(VARTYPE vt) {
  return vt == VT_BSTR || vt == VT_DISPATCH || vt == VT_UNKNOWN || (vt & VT_ARRAY) != 0 || vt == VT_RECORD;
}
// VariantClear without the call for the plain numbers that dominate loops.
inline void clear_value(VARIANT& v) {
  if (owns_resources(v.vt))
    VariantClear(&v);
  else
    v.vt = VT_EMPTY;
}
// A variable slot may hold a by-reference alias of another (a ByRef parameter).
inline constexpr VARTYPE kAlias = VT_BYREF | VT_VARIANT;
inline VARIANT* target_of(VARIANT* v) { return v->vt == kAlias ? v->pvarVal : v; }
inline const VARIANT& deref(const VARIANT& v) { return v.vt == kAlias ? *v.pvarVal : v; }

// An owned temporary value, cleared when it goes.
struct Value : VARIANT {
  Value() { vt = VT_EMPTY; }
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  ~Value() { clear_value(*this); }
  void clear() { clear_value(*this); }
  VARIANT release() {
    VARIANT v = *this;
    vt = VT_EMPTY;
    return v;
  }
};

// dst (empty) receives a copy of src (references followed). Throws on failure.
void copy_value(VARIANT& dst, const VARIANT& src);
// dst (any) takes over src's value; src becomes empty.
inline void move_value(VARIANT& dst, VARIANT& src) {
  clear_value(dst);
  dst = src;
  src.vt = VT_EMPTY;
}

inline bool is_object(const VARIANT& v) { return v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN; }

// An object's default value (DISPID_VALUE read as a property) into out; error 438 when it has none,
// 91 for Nothing.
void default_value(const VARIANT& object, VARIANT& out);

// ---- operators: a and b are dereferenced, out is empty ----------------------------------------
void arithmetic(Op op, const VARIANT& a, const VARIANT& b, VARIANT& out);  // + - * / \ Mod ^
void concatenate(const VARIANT& a, const VARIANT& b, VARIANT& out);
void compare(Op op, const VARIANT& a, const VARIANT& b, VARIANT& out);    // = <> < > <= >=
void logical(Op op, const VARIANT& a, const VARIANT& b, VARIANT& out);    // And Or Xor Eqv Imp
void negate(const VARIANT& a, VARIANT& out);
void logical_not(const VARIANT& a, VARIANT& out);
// `a Is b`: both must be objects (or Nothing); identity of their IUnknown.
bool same_object(const VARIANT& a, const VARIANT& b);

// Three-way comparison of two texts, ordinal or without regard to case (vbTextCompare).
int compare_text(std::u16string_view a, std::u16string_view b, bool ignoreCase);

// ---- conversions (errors are the language's: 13, 6, 94) --------------------------------------
bool to_condition(const VARIANT& v);     // If/While: Null and Empty are False
int32_t to_long(const VARIANT& v);       // rounds half to even
double to_double(const VARIANT& v);
std::u16string to_text(const VARIANT& v);  // CStr: True/False, 15 significant digits, dates
void convert(const VARIANT& v, VARTYPE vt, VARIANT& out);  // CInt, CDbl, ... by VariantChangeType
inline std::u16string_view bstr_view(BSTR b) {
  return b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view();
}
void set_text(VARIANT& out, std::u16string_view text);  // out (empty) becomes a string
inline void set_long(VARIANT& out, int32_t v) {
  out.vt = VT_I4;
  out.lVal = v;
}
// A whole number as the first of Integer (when `integerAllowed`), Long and Double that holds it: the
// way integer results grow.
inline void set_whole(VARIANT& out, int64_t r, bool integerAllowed) {
  if (integerAllowed && r >= INT16_MIN && r <= INT16_MAX) {
    out.vt = VT_I2;
    out.iVal = static_cast<SHORT>(r);
  } else if (r >= INT32_MIN && r <= INT32_MAX) {
    out.vt = VT_I4;
    out.lVal = static_cast<LONG>(r);
  } else {
    out.vt = VT_R8;
    out.dblVal = static_cast<double>(r);
  }
}
inline void set_double(VARIANT& out, double v) {
  out.vt = VT_R8;
  out.dblVal = v;
}
inline void set_bool(VARIANT& out, bool v) {
  out.vt = VT_BOOL;
  out.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
}

// IsNumeric of a text: it reads as a number.
bool numeric_text(std::u16string_view text);

// The language's type names (TypeName) and numbers (VarType).
std::u16string type_name(const VARIANT& v);
int32_t var_type(const VARIANT& v);

}  // namespace zx::script
