// Zentarix — MIT licence.
// The operators' type rules: Integer grows to Long then Double, Null spreads, strings meet numbers.
#include "Values.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <cwctype>

#include "ScriptObject.h"

namespace zx::script {
namespace {

// Where an operand stands among the numeric types; the larger rank wins a binary operation.
enum Rank : int { kByte = 1, kInteger = 2, kLong = 3, kSingle = 4, kDouble = 5, kDate = 6 };

struct Num {
  Rank rank;
  bool isBool = false;
  bool integral = true;
  int64_t i = 0;
  double d = 0;
  double value() const { return integral ? static_cast<double>(i) : d; }
};

[[noreturn]] void mismatch() { raise_error(kErrTypeMismatch); }

void check(HRESULT hr) {
  if (SUCCEEDED(hr)) return;
  if (hr == E_OUTOFMEMORY) raise_error(kErrOutOfMemory);
  if (hr == DISP_E_OVERFLOW) raise_error(kErrOverflow);
  raise_error(kErrTypeMismatch);
}

// A numeric reading of a scalar (objects already replaced by their values). Strings are read as
// numbers (Double); text that is no number is a type mismatch.
Num numeric(const VARIANT& v) {
  Num n{kInteger};
  switch (v.vt) {
    case VT_EMPTY: return n;
    case VT_BOOL: n.isBool = true; n.i = v.boolVal ? -1 : 0; return n;
    case VT_UI1: n.rank = kByte; n.i = v.bVal; return n;
    case VT_I2: n.i = v.iVal; return n;
    case VT_I4: case VT_INT: n.rank = kLong; n.i = v.lVal; return n;
    case VT_I1: n.i = v.cVal; return n;
    case VT_UI2: n.rank = kLong; n.i = v.uiVal; return n;
    case VT_UI4: case VT_UINT: n.rank = kLong; n.i = v.ulVal; if (n.i > INT32_MAX) { n.rank = kDouble; n.integral = false; n.d = static_cast<double>(n.i); } return n;
    case VT_I8: case VT_UI8: n.rank = kDouble; n.integral = false; n.d = v.vt == VT_I8 ? static_cast<double>(v.llVal) : static_cast<double>(v.ullVal); return n;
    case VT_R4: n.rank = kSingle; n.integral = false; n.d = v.fltVal; return n;
    case VT_R8: n.rank = kDouble; n.integral = false; n.d = v.dblVal; return n;
    case VT_DATE: n.rank = kDate; n.integral = false; n.d = v.date; return n;
    case VT_BSTR: {
      Value r;
      if (FAILED(VariantChangeType(&r, &v, 0, VT_R8))) mismatch();
      n.rank = kDouble;
      n.integral = false;
      n.d = r.dblVal;
      return n;
    }
    default: mismatch();
  }
}

// Objects stand for their default values in every operator.
const VARIANT& plain(const VARIANT& v, Value& holder) {
  if (!is_object(v)) return v;
  default_value(v, holder);
  return holder;
}

void store_integer(int64_t r, Rank rank, VARIANT& out) {
  if (rank == kByte && r >= 0 && r <= 255) {
    out.vt = VT_UI1;
    out.bVal = static_cast<BYTE>(r);
    return;
  }
  set_whole(out, r, rank <= kInteger);
}

void store_real(double r, Rank rank, VARIANT& out) {
  if (!std::isfinite(r)) raise_error(kErrOverflow);
  if (rank == kDate) {
    if (!(r >= -657434.0 && r < 2958466.0)) raise_error(kErrOverflow);
    out.vt = VT_DATE;
    out.date = r;
  } else if (rank == kSingle && std::fabs(r) <= FLT_MAX) {
    out.vt = VT_R4;
    out.fltVal = static_cast<float>(r);
  } else {
    out.vt = VT_R8;
    out.dblVal = r;
  }
}

// The 32-bit integer an operand of \, Mod and the bit operators becomes (half to even).
int64_t whole(const Num& n) {
  if (n.integral) return n.i;
  double r = std::nearbyint(n.d);  // the default rounding mode rounds half to even
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) raise_error(kErrOverflow);
  return static_cast<int64_t>(r);
}

}  // namespace

void copy_value(VARIANT& dst, const VARIANT& src) {
  const VARIANT& s = deref(src);
  const bool reference = (s.vt & VT_BYREF) != 0;  // a component's VT_BYREF|T argument: its value
  if (!owns_resources(s.vt) && !reference) {
    dst = s;
    return;
  }
  VariantInit(&dst);
  const HRESULT hr = reference ? VariantCopyInd(&dst, &s) : VariantCopy(&dst, &s);
  if (FAILED(hr)) raise_error(hr == E_OUTOFMEMORY ? kErrOutOfMemory : kErrTypeMismatch);
}

void default_value(const VARIANT& object, VARIANT& out) {
  if (!object.punkVal) raise_error(kErrObjectNotSet);
  zx::ComPtr<IDispatch> disp;
  if (object.vt == VT_DISPATCH)
    disp = object.pdispVal;
  else if (FAILED(object.punkVal->QueryInterface(IID_IDispatch, disp.put_void())))
    raise_error(kErrNoSuchMember);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXCEPINFO info{};
  Value result;
  HRESULT hr = disp->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, &info, nullptr);
  if (FAILED(hr)) raise_call_error(hr == DISP_E_MEMBERNOTFOUND ? DISP_E_MEMBERNOTFOUND : hr, &info, {});
  if (is_object(deref(result))) {  // a default that is itself an object stands for its own default
    Value inner;
    copy_value(inner, result);
    default_value(inner, out);
    return;
  }
  copy_value(out, result);
}

void arithmetic(Op op, const VARIANT& a0, const VARIANT& b0, VARIANT& out) {
  Value ha, hb;
  const VARIANT& a = plain(a0, ha);
  const VARIANT& b = plain(b0, hb);
  if (a.vt == VT_NULL || b.vt == VT_NULL) {
    out.vt = VT_NULL;
    return;
  }
  if (op == Op::Add) {
    // + joins two strings, and a string with Empty is that string.
    if (a.vt == VT_BSTR && b.vt == VT_BSTR) return concatenate(a, b, out);
    if (a.vt == VT_BSTR && b.vt == VT_EMPTY) return copy_value(out, a);
    if (b.vt == VT_BSTR && a.vt == VT_EMPTY) return copy_value(out, b);
  }
  const Num x = numeric(a), y = numeric(b);
  Rank rank = std::max(x.rank, y.rank);
  if ((x.rank == kSingle && y.rank == kLong) || (x.rank == kLong && y.rank == kSingle)) rank = kDouble;
  if (a.vt == VT_BSTR || b.vt == VT_BSTR) rank = std::max(rank, kDouble);

  switch (op) {
    case Op::Add: case Op::Sub: case Op::Mul: {
      if (rank == kDate && op == Op::Sub && x.rank == kDate && y.rank == kDate) rank = kDouble;
      if (rank == kDate && op == Op::Mul) rank = kDouble;
      if (rank <= kLong) {
        const int64_t r = op == Op::Add ? x.i + y.i : op == Op::Sub ? x.i - y.i : x.i * y.i;
        return store_integer(r, rank, out);
      }
      const double r = op == Op::Add ? x.value() + y.value() : op == Op::Sub ? x.value() - y.value() : x.value() * y.value();
      return store_real(r, rank, out);
    }
    case Op::Div: {
      const double d = y.value();
      if (d == 0) raise_error(x.value() == 0 ? kErrOverflow : kErrDivisionByZero);
      const bool single = (x.rank == kSingle || y.rank == kSingle) && rank == kSingle;
      return store_real(x.value() / d, single ? kSingle : kDouble, out);
    }
    case Op::IntDiv: case Op::Mod: {
      const int64_t p = whole(x), q = whole(y);
      if (q == 0) raise_error(kErrDivisionByZero);
      const int64_t r = op == Op::IntDiv ? p / q : p % q;
      Rank r2 = (x.rank == kByte && y.rank == kByte) ? kByte : (rank <= kInteger ? kInteger : kLong);
      return store_integer(r, r2, out);
    }
    case Op::Pow: {
      const double base = x.value(), exponent = y.value();
      if (base < 0 && exponent != std::floor(exponent)) raise_error(kErrIllegalCall);
      if (base == 0 && exponent < 0) raise_error(kErrDivisionByZero);
      return store_real(std::pow(base, exponent), kDouble, out);
    }
    default: mismatch();
  }
}

void concatenate(const VARIANT& a0, const VARIANT& b0, VARIANT& out) {
  Value ha, hb;
  const VARIANT& a = plain(a0, ha);
  const VARIANT& b = plain(b0, hb);
  if (a.vt == VT_NULL && b.vt == VT_NULL) {
    out.vt = VT_NULL;
    return;
  }
  if (a.vt == VT_BSTR && b.vt == VT_BSTR) {
    const UINT la = SysStringLen(a.bstrVal), lb = SysStringLen(b.bstrVal);
    BSTR s = SysAllocStringLen(nullptr, la + lb);
    if (!s) raise_error(kErrOutOfMemory);
    if (la) std::memcpy(s, a.bstrVal, la * sizeof(OLECHAR));
    if (lb) std::memcpy(s + la, b.bstrVal, lb * sizeof(OLECHAR));
    out.vt = VT_BSTR;
    out.bstrVal = s;
    return;
  }
  const std::u16string left = a.vt == VT_NULL ? std::u16string() : to_text(a);
  const std::u16string right = b.vt == VT_NULL ? std::u16string() : to_text(b);
  set_text(out, left + right);
}

int compare_text(std::u16string_view a, std::u16string_view b, bool ignoreCase) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    char16_t x = a[i], y = b[i];
    if (ignoreCase && x != y) {
      x = static_cast<char16_t>(std::towlower(x));
      y = static_cast<char16_t>(std::towlower(y));
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

void compare(Op op, const VARIANT& a0, const VARIANT& b0, VARIANT& out) {
  Value ha, hb;
  const VARIANT& a = plain(a0, ha);
  const VARIANT& b = plain(b0, hb);
  if (a.vt == VT_NULL || b.vt == VT_NULL) {
    out.vt = VT_NULL;
    return;
  }
  int c;
  const bool as = a.vt == VT_BSTR, bs = b.vt == VT_BSTR;
  if (as && bs) {
    c = compare_text(bstr_view(a.bstrVal), bstr_view(b.bstrVal), false);
  } else if (as || bs) {
    // A string meets Empty as "", and any number is less than any string.
    const VARIANT& other = as ? b : a;
    if (other.vt == VT_EMPTY)
      c = as ? (SysStringLen(a.bstrVal) ? 1 : 0) : (SysStringLen(b.bstrVal) ? -1 : 0);
    else if ((other.vt & VT_ARRAY) || other.vt == VT_ERROR)
      mismatch();
    else
      c = as ? 1 : -1;
  } else {
    const Num x = numeric(a), y = numeric(b);
    if (x.integral && y.integral)
      c = x.i < y.i ? -1 : x.i > y.i ? 1 : 0;
    else
      c = x.value() < y.value() ? -1 : x.value() > y.value() ? 1 : 0;
  }
  bool r = false;
  switch (op) {
    case Op::Eq: r = c == 0; break;
    case Op::Ne: r = c != 0; break;
    case Op::Lt: r = c < 0; break;
    case Op::Gt: r = c > 0; break;
    case Op::Le: r = c <= 0; break;
    case Op::Ge: r = c >= 0; break;
    default: mismatch();
  }
  set_bool(out, r);
}

void logical(Op op, const VARIANT& a0, const VARIANT& b0, VARIANT& out) {
  Value ha, hb;
  const VARIANT& a = plain(a0, ha);
  const VARIANT& b = plain(b0, hb);
  const bool an = a.vt == VT_NULL, bn = b.vt == VT_NULL;
  if (an || bn) {
    // Null is unknown: the result is known only where the other side decides it.
    const VARIANT& other = an ? b : a;
    const bool otherNull = an && bn;
    int64_t v = 0;
    if (!otherNull) v = whole(numeric(other));
    if (!otherNull && op == Op::And && v == 0) return copy_value(out, other);
    if (!otherNull && op == Op::Or && v == -1) return copy_value(out, other);
    if (!otherNull && op == Op::Imp && ((an && v == -1) || (bn && v == 0))) {
      if (other.vt == VT_BOOL) return set_bool(out, true);
      return store_integer(-1, kInteger, out);
    }
    out.vt = VT_NULL;
    return;
  }
  const Num x = numeric(a), y = numeric(b);
  const int64_t p = whole(x), q = whole(y);
  int64_t r = 0;
  switch (op) {
    case Op::And: r = p & q; break;
    case Op::Or: r = p | q; break;
    case Op::Xor: r = p ^ q; break;
    case Op::Eqv: r = ~(p ^ q); break;
    case Op::Imp: r = ~p | q; break;
    default: mismatch();
  }
  if (a.vt == VT_BOOL && b.vt == VT_BOOL) return set_bool(out, r != 0);
  Rank rank = std::max(x.rank, y.rank);
  if (rank > kLong) rank = kLong;
  if (rank == kByte && !(x.rank == kByte && y.rank == kByte)) rank = kInteger;
  if (rank == kByte) r &= 0xFF;
  else if (rank == kInteger) r = static_cast<int16_t>(r);
  else r = static_cast<int32_t>(r);
  store_integer(r, rank, out);
}

void negate(const VARIANT& a0, VARIANT& out) {
  Value ha;
  const VARIANT& a = plain(a0, ha);
  if (a.vt == VT_NULL) {
    out.vt = VT_NULL;
    return;
  }
  const Num x = numeric(a);
  if (x.integral) return store_integer(-x.i, x.rank == kByte ? kInteger : x.rank, out);
  store_real(-x.d, a.vt == VT_BSTR ? kDouble : x.rank, out);
}

void logical_not(const VARIANT& a0, VARIANT& out) {
  Value ha;
  const VARIANT& a = plain(a0, ha);
  if (a.vt == VT_NULL) {
    out.vt = VT_NULL;
    return;
  }
  if (a.vt == VT_BOOL) return set_bool(out, !a.boolVal);
  if (a.vt == VT_BSTR) {  // "True" and "False" are booleans here too
    Value b;
    if (SUCCEEDED(VariantChangeType(&b, &a, 0, VT_BOOL)) && !numeric_text(bstr_view(a.bstrVal))) return set_bool(out, !b.boolVal);
  }
  const Num x = numeric(a);
  const int64_t v = ~whole(x);
  if (x.rank == kByte) return store_integer(v & 0xFF, kByte, out);
  store_integer(v, x.rank <= kInteger ? kInteger : kLong, out);
}

bool same_object(const VARIANT& a0, const VARIANT& b0) {
  const VARIANT& a = deref(a0);
  const VARIANT& b = deref(b0);
  if (!is_object(a) || !is_object(b)) raise_error(kErrObjectRequired);
  if (!a.punkVal || !b.punkVal) return a.punkVal == b.punkVal;
  zx::ComPtr<IUnknown> x, y;
  a.punkVal->QueryInterface(IID_IUnknown, x.put_void());
  b.punkVal->QueryInterface(IID_IUnknown, y.put_void());
  return x.get() == y.get();
}

bool to_condition(const VARIANT& v0) {
  const VARIANT& v = deref(v0);
  switch (v.vt) {
    case VT_BOOL: return v.boolVal != 0;
    case VT_EMPTY: case VT_NULL: return false;
    case VT_I2: return v.iVal != 0;
    case VT_I4: return v.lVal != 0;
    case VT_R8: return v.dblVal != 0;
    case VT_DISPATCH: case VT_UNKNOWN: {
      Value value;
      default_value(v, value);
      return to_condition(value);
    }
    default: {
      if (v.vt & VT_ARRAY) mismatch();
      Value b;
      check(VariantChangeType(&b, &v, 0, VT_BOOL));
      return b.boolVal != 0;
    }
  }
}

void convert(const VARIANT& v0, VARTYPE vt, VARIANT& out) {
  const VARIANT& v = deref(v0);
  if (v.vt == VT_NULL && vt != VT_BSTR) raise_error(kErrInvalidNull);
  if (v.vt == VT_NULL) raise_error(kErrInvalidNull);
  if ((v.vt & VT_ARRAY) || v.vt == VT_ERROR) mismatch();
  Value holder;
  const VARIANT& src = plain(v, holder);
  VariantInit(&out);
  check(VariantChangeType(&out, &src, VARIANT_ALPHABOOL, vt));
}

int32_t to_long(const VARIANT& v0) {
  const VARIANT& v = deref(v0);
  if (v.vt == VT_I4) return v.lVal;
  if (v.vt == VT_I2) return v.iVal;
  Value r;
  convert(v, VT_I4, r);
  return r.lVal;
}

double to_double(const VARIANT& v0) {
  const VARIANT& v = deref(v0);
  if (v.vt == VT_R8) return v.dblVal;
  if (v.vt == VT_I4) return v.lVal;
  if (v.vt == VT_I2) return v.iVal;
  Value r;
  convert(v, VT_R8, r);
  return r.dblVal;
}

std::u16string to_text(const VARIANT& v0) {
  const VARIANT& v = deref(v0);
  if (v.vt == VT_BSTR) return std::u16string(bstr_view(v.bstrVal));
  if (v.vt == VT_EMPTY) return {};
  Value r;
  convert(v, VT_BSTR, r);
  return std::u16string(bstr_view(r.bstrVal));
}

void set_text(VARIANT& out, std::u16string_view text) {
  BSTR s = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!s) raise_error(kErrOutOfMemory);
  out.vt = VT_BSTR;
  out.bstrVal = s;
}

std::u16string type_name(const VARIANT& v0) {
  const VARIANT& v = deref(v0);
  if (v.vt & VT_ARRAY) {  // an array is named by its elements' type: Variant(), Long(), Byte()
    if ((v.vt & VT_TYPEMASK) == VT_VARIANT) return u"Variant()";
    VARIANT element;
    VariantInit(&element);
    element.vt = v.vt & VT_TYPEMASK;
    return type_name(element) + u"()";
  }
  switch (v.vt) {
    case VT_EMPTY: return u"Empty";
    case VT_NULL: return u"Null";
    case VT_I2: return u"Integer";
    case VT_I4: case VT_INT: return u"Long";
    case VT_R4: return u"Single";
    case VT_R8: return u"Double";
    case VT_CY: return u"Currency";
    case VT_DATE: return u"Date";
    case VT_BSTR: return u"String";
    case VT_BOOL: return u"Boolean";
    case VT_UI1: return u"Byte";
    case VT_ERROR: return u"Error";
    case VT_DECIMAL: return u"Decimal";
    case VT_DISPATCH: case VT_UNKNOWN: {
      if (!v.punkVal) return u"Nothing";
      if (const ClassDef* cls = ScriptObject::class_of(v.punkVal)) return cls->name;
      return u"Object";
    }
    default: return u"Unknown";
  }
}

int32_t var_type(const VARIANT& v0) {
  const VARIANT& v = deref(v0);
  if (v.vt == VT_UNKNOWN && v.punkVal == nullptr) return VT_DISPATCH;
  return v.vt & ~VT_BYREF;
}

bool numeric_text(std::u16string_view text) {
  Value s, r;
  set_text(s, text);
  return SUCCEEDED(VariantChangeType(&r, &s, 0, VT_R8));
}

}  // namespace zx::script
