// Zentarix — MIT licence.
// Tests of a value's kind, arrays, objects, and the lookup of built-in functions and constants.
#include <unordered_map>

#include "Arrays.h"
#include "objbase.h"
#include "BuiltinSupport.h"
#include "ScriptObject.h"

namespace zx::script {
namespace {

using namespace builtins;

void IsEmpty(Interpreter&, Args a, int, VARIANT& out) { set_bool(out, a[0]->vt == VT_EMPTY); }
void IsNull(Interpreter&, Args a, int, VARIANT& out) { set_bool(out, a[0]->vt == VT_NULL); }
void IsObject(Interpreter&, Args a, int, VARIANT& out) { set_bool(out, is_object(*a[0])); }
void IsArray(Interpreter&, Args a, int, VARIANT& out) { set_bool(out, (a[0]->vt & VT_ARRAY) != 0); }
void TypeName(Interpreter&, Args a, int, VARIANT& out) { set_text(out, type_name(*a[0])); }
void VarType(Interpreter&, Args a, int, VARIANT& out) { set_integer(out, var_type(*a[0])); }

template <bool Upper>
void bound(Interpreter&, Args a, int n, VARIANT& out) {
  set_long(out, array_bound(*a[0], has_arg(a, n, 1) ? whole(*a[1]) : 1, Upper));
}

void Array(Interpreter&, Args a, int n, VARIANT& out) {
  zx::SafeArray array(new_vector(n));
  auto* items = static_cast<VARIANT*>(array.get()->pvData);
  for (int i = 0; i < n; ++i) copy_value(items[i], *a[i]);
  out.vt = VT_ARRAY | VT_VARIANT;
  out.parray = array.detach();
}

// CreateObject(ProgID): an in-process class, late-bound through IDispatch.
void CreateObject(Interpreter&, Args a, int, VARIANT& out) {
  const std::u16string progId = text(*a[0]);
  CLSID clsid;
  zx::ComPtr<IDispatch> object;
  if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void())) || !object)
    raise_error(kErrCannotCreate, progId);
  out.vt = VT_DISPATCH;
  out.pdispVal = object.detach();
}

constexpr Builtin kMisc[] = {
    {u"isempty", 1, 1, IsEmpty},   {u"isnull", 1, 1, IsNull},       {u"isobject", 1, 1, IsObject},
    {u"isarray", 1, 1, IsArray},   {u"typename", 1, 1, TypeName},   {u"vartype", 1, 1, VarType},
    {u"ubound", 1, 2, bound<true>}, {u"lbound", 1, 2, bound<false>}, {u"array", 0, -1, Array},
    {u"createobject", 1, 2, CreateObject},
};

struct Constant {
  const char16_t* name;
  VARTYPE vt;
  int32_t number;
  const char16_t* text;
};

// The language's own constants (none of any component: scripts declare those themselves).
constexpr Constant kConstants[] = {
    {u"vbcrlf", VT_BSTR, 0, u"\r\n"},
    {u"vbcr", VT_BSTR, 0, u"\r"},
    {u"vblf", VT_BSTR, 0, u"\n"},
    // The platform's line break: a line feed here.
    {u"vbnewline", VT_BSTR, 0, u"\n"},
    {u"vbtab", VT_BSTR, 0, u"\t"},
    {u"vbnullstring", VT_BSTR, 0, u""},
    {u"vbnullchar", VT_BSTR, 0, nullptr},
    {u"vbformfeed", VT_BSTR, 0, u"\f"},
    {u"vbverticaltab", VT_BSTR, 0, u"\v"},
    {u"vbbinarycompare", VT_I2, 0, nullptr},
    {u"vbtextcompare", VT_I2, 1, nullptr},
    {u"vbdatabasecompare", VT_I2, 2, nullptr},
    {u"vbobjecterror", VT_I4, static_cast<int32_t>(0x80040000u), nullptr},
    {u"vbempty", VT_I2, 0, nullptr},
    {u"vbnull", VT_I2, 1, nullptr},
    {u"vbinteger", VT_I2, 2, nullptr},
    {u"vblong", VT_I2, 3, nullptr},
    {u"vbsingle", VT_I2, 4, nullptr},
    {u"vbdouble", VT_I2, 5, nullptr},
    {u"vbcurrency", VT_I2, 6, nullptr},
    {u"vbdate", VT_I2, 7, nullptr},
    {u"vbstring", VT_I2, 8, nullptr},
    {u"vbobject", VT_I2, 9, nullptr},
    {u"vberror", VT_I2, 10, nullptr},
    {u"vbboolean", VT_I2, 11, nullptr},
    {u"vbvariant", VT_I2, 12, nullptr},
    {u"vbdataobject", VT_I2, 13, nullptr},
    {u"vbdecimal", VT_I2, 14, nullptr},
    {u"vbbyte", VT_I2, 17, nullptr},
    {u"vbarray", VT_I2, 8192, nullptr},
    {u"vbtrue", VT_I2, -1, nullptr},
    {u"vbfalse", VT_I2, 0, nullptr},
    {u"vbusedefault", VT_I2, -2, nullptr},
    {u"vbgeneraldate", VT_I2, 0, nullptr},
    {u"vblongdate", VT_I2, 1, nullptr},
    {u"vbshortdate", VT_I2, 2, nullptr},
    {u"vblongtime", VT_I2, 3, nullptr},
    {u"vbshorttime", VT_I2, 4, nullptr},
    {u"vbsunday", VT_I2, 1, nullptr},
    {u"vbmonday", VT_I2, 2, nullptr},
    {u"vbtuesday", VT_I2, 3, nullptr},
    {u"vbwednesday", VT_I2, 4, nullptr},
    {u"vbthursday", VT_I2, 5, nullptr},
    {u"vbfriday", VT_I2, 6, nullptr},
    {u"vbsaturday", VT_I2, 7, nullptr},
    {u"vbblack", VT_I4, 0x000000, nullptr},
    {u"vbred", VT_I4, 0x0000FF, nullptr},
    {u"vbgreen", VT_I4, 0x00FF00, nullptr},
    {u"vbyellow", VT_I4, 0x00FFFF, nullptr},
    {u"vbblue", VT_I4, 0xFF0000, nullptr},
    {u"vbmagenta", VT_I4, 0xFF00FF, nullptr},
    {u"vbcyan", VT_I4, 0xFFFF00, nullptr},
    {u"vbwhite", VT_I4, 0xFFFFFF, nullptr},
    {u"vbokonly", VT_I2, 0, nullptr},
    {u"vbok", VT_I2, 1, nullptr},
};

}  // namespace

BuiltinTable misc_builtins() { return {kMisc, std::size(kMisc)}; }

const Builtin* find_builtin(std::u16string_view folded) {
  static const std::unordered_map<std::u16string_view, const Builtin*> index = [] {
    std::unordered_map<std::u16string_view, const Builtin*> m;
    for (BuiltinTable t : {string_builtins(), number_builtins(), date_builtins(), misc_builtins()})
      for (size_t i = 0; i < t.count; ++i) m.emplace(t.entries[i].name, &t.entries[i]);
    return m;
  }();
  auto it = index.find(folded);
  return it == index.end() ? nullptr : it->second;
}

bool find_constant(std::u16string_view folded, VARIANT* out) {
  for (const auto& c : kConstants) {
    if (folded != c.name) continue;
    VariantClear(out);
    out->vt = c.vt;
    if (c.vt == VT_BSTR)
      out->bstrVal = c.text ? SysAllocString(c.text) : SysAllocStringLen(u"\0", 1);
    else if (c.vt == VT_I2)
      out->iVal = static_cast<SHORT>(c.number);
    else
      out->lVal = c.number;
    return true;
  }
  return false;
}

}  // namespace zx::script
