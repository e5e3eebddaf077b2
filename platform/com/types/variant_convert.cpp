// Zentarix — MIT licence.
// VariantChangeType(Ex): conversions between the automation types, by value and through references.
#include <cmath>
#include <cstring>

#include "date_text.h"
#include "number_text.h"
#include "types_internal.h"
#include "zx/com.h"

// Locale: this runtime knows one locale, en-US (GetUserDefaultLCID answers 0x0409), so every lcid
// reads and writes numbers the en-US way ("." decimal point, "," thousands) and the localised
// boolean names VARIANT_LOCALBOOL adds are the English ones. A DATE is its day count among the numbers
// and en-US date text among the strings (date_text.h). CY and DECIMAL take no part in conversions
// (nothing in this system produces them): converting to or from them answers DISP_E_BADVARTYPE,
// while copying one of them unchanged works as for any type.

using zx::types::Number;

namespace {

// An object's value may itself be an object; a chain longer than this is taken as a cycle.
constexpr int kMaxValueDepth = 8;

struct IntRange {
  bool isSigned;
  int64_t min;
  uint64_t max;
};

bool integer_range(VARTYPE vt, IntRange* r) {
  switch (vt) {
    case VT_I1: *r = {true, INT8_MIN, INT8_MAX}; return true;
    case VT_UI1: *r = {false, 0, UINT8_MAX}; return true;
    case VT_I2: *r = {true, INT16_MIN, INT16_MAX}; return true;
    case VT_UI2: *r = {false, 0, UINT16_MAX}; return true;
    case VT_I4: case VT_INT: *r = {true, INT32_MIN, INT32_MAX}; return true;
    case VT_UI4: case VT_UINT: *r = {false, 0, UINT32_MAX}; return true;
    case VT_I8: *r = {true, INT64_MIN, INT64_MAX}; return true;
    case VT_UI8: *r = {false, 0, UINT64_MAX}; return true;
    default: return false;
  }
}

bool takes_part(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY: case VT_NULL: case VT_I1: case VT_I2: case VT_I4: case VT_I8:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8: case VT_INT: case VT_UINT:
    case VT_R4: case VT_R8: case VT_BOOL: case VT_BSTR: case VT_ERROR:
    case VT_DISPATCH: case VT_UNKNOWN: case VT_DATE:
      return true;
    default:
      return false;
  }
}

// Rounds half to even, as the automation conversions do (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double round_half_even(double d) {
  double f = std::floor(d);
  const double diff = d - f;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(f, 2.0) != 0)) f += 1;
  return f;
}

void write_integer(VARIANT* out, VARTYPE vt, int64_t s, uint64_t u) {
  out->vt = vt;
  switch (vt) {
    case VT_I1: out->cVal = static_cast<CHAR>(s); break;
    case VT_UI1: out->bVal = static_cast<BYTE>(u); break;
    case VT_I2: out->iVal = static_cast<SHORT>(s); break;
    case VT_UI2: out->uiVal = static_cast<USHORT>(u); break;
    case VT_I4: out->lVal = static_cast<LONG>(s); break;
    case VT_INT: out->intVal = static_cast<INT>(s); break;
    case VT_UI4: out->ulVal = static_cast<ULONG>(u); break;
    case VT_UINT: out->uintVal = static_cast<UINT>(u); break;
    case VT_I8: out->llVal = s; break;
    case VT_UI8: out->ullVal = u; break;
    default: break;
  }
}

HRESULT store_integer(const Number& n, VARTYPE vt, VARIANT* out) {
  IntRange r{};
  integer_range(vt, &r);
  int64_t s = 0;
  uint64_t u = 0;
  switch (n.kind) {
    case Number::Kind::Signed:
      if (r.isSigned) {
        if (n.i < r.min || (n.i > 0 && static_cast<uint64_t>(n.i) > r.max)) return DISP_E_OVERFLOW;
        s = n.i;
      } else {
        if (n.i < 0 || static_cast<uint64_t>(n.i) > r.max) return DISP_E_OVERFLOW;
        u = static_cast<uint64_t>(n.i);
      }
      break;
    case Number::Kind::Unsigned:
      if (n.u > r.max) return DISP_E_OVERFLOW;
      s = static_cast<int64_t>(n.u);
      u = n.u;
      break;
    case Number::Kind::Real: {
      if (std::isnan(n.d)) return DISP_E_OVERFLOW;
      const double v = round_half_even(n.d);
      if (r.isSigned) {
        if (v < -9223372036854775808.0 || v >= 9223372036854775808.0) return DISP_E_OVERFLOW;
        s = static_cast<int64_t>(v);
        if (s < r.min || (s > 0 && static_cast<uint64_t>(s) > r.max)) return DISP_E_OVERFLOW;
      } else {
        if (v < 0 || v >= 18446744073709551616.0) return DISP_E_OVERFLOW;
        u = static_cast<uint64_t>(v);
        if (u > r.max) return DISP_E_OVERFLOW;
      }
      break;
    }
  }
  write_integer(out, vt, s, u);
  return S_OK;
}

HRESULT store_number(const Number& n, VARTYPE vt, VARIANT* out) {
  switch (vt) {
    case VT_BOOL:
      out->vt = VT_BOOL;
      out->boolVal = n.is_zero() ? VARIANT_FALSE : VARIANT_TRUE;
      return S_OK;
    case VT_R8:
      out->vt = VT_R8;
      out->dblVal = n.as_double();
      return S_OK;
    case VT_DATE: {
      const double d = n.as_double();
      if (!(d >= zx::types::kMinDate && d <= zx::types::kMaxDate)) return DISP_E_OVERFLOW;
      out->vt = VT_DATE;
      out->date = d;
      return S_OK;
    }
    case VT_R4: {
      const double d = n.as_double();
      if (std::isfinite(d) && std::fabs(d) > 3.402823466e+38) return DISP_E_OVERFLOW;
      if (std::isinf(d)) return DISP_E_OVERFLOW;
      out->vt = VT_R4;
      out->fltVal = static_cast<float>(d);
      return S_OK;
    }
    default:
      return store_integer(n, vt, out);
  }
}

// The numeric value of a scalar that is already a number or a boolean (VARIANT_TRUE is -1).
bool number_of(const VARIANT& v, Number* n) {
  switch (v.vt) {
    case VT_EMPTY: *n = Number::of_signed(0); return true;
    case VT_I1: *n = Number::of_signed(v.cVal); return true;
    case VT_UI1: *n = Number::of_unsigned(v.bVal); return true;
    case VT_I2: *n = Number::of_signed(v.iVal); return true;
    case VT_UI2: *n = Number::of_unsigned(v.uiVal); return true;
    case VT_I4: *n = Number::of_signed(v.lVal); return true;
    case VT_INT: *n = Number::of_signed(v.intVal); return true;
    case VT_UI4: *n = Number::of_unsigned(v.ulVal); return true;
    case VT_UINT: *n = Number::of_unsigned(v.uintVal); return true;
    case VT_I8: *n = Number::of_signed(v.llVal); return true;
    case VT_UI8: *n = Number::of_unsigned(v.ullVal); return true;
    case VT_R4: *n = Number::of_real(v.fltVal); return true;
    case VT_R8: *n = Number::of_real(v.dblVal); return true;
    case VT_DATE: *n = Number::of_real(v.date); return true;
    case VT_BOOL: *n = Number::of_signed(v.boolVal); return true;  // a 16-bit integer, as Windows reads it
    default: return false;
  }
}

HRESULT make_bstr(const std::u16string& s, VARIANT* out) {
  BSTR b = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  if (!b) return E_OUTOFMEMORY;
  out->vt = VT_BSTR;
  out->bstrVal = b;
  return S_OK;
}

HRESULT to_bstr(const VARIANT& v, USHORT flags, VARIANT* out) {
  std::u16string text;
  switch (v.vt) {
    case VT_EMPTY: break;
    case VT_BOOL:
      if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))
        text = v.boolVal ? u"True" : u"False";
      else
        text = zx::types::format_signed(v.boolVal);
      break;
    case VT_R8:
      if (!zx::types::format_real(v.dblVal, 15, &text)) return DISP_E_OVERFLOW;
      break;
    case VT_R4:
      if (!zx::types::format_real(v.fltVal, 7, &text)) return DISP_E_OVERFLOW;
      break;
    case VT_DATE:
      if (!zx::types::format_date(v.date, &text)) return DISP_E_OVERFLOW;
      break;
    default: {
      Number n;
      if (!number_of(v, &n)) return DISP_E_TYPEMISMATCH;
      text = n.kind == Number::Kind::Unsigned ? zx::types::format_unsigned(n.u) : zx::types::format_signed(n.i);
      break;
    }
  }
  return make_bstr(text, out);
}

// Byte arrays and strings exchange their bytes, as BstrFromVector / VectorFromBstr do.
HRESULT convert_array(const VARIANT& src, VARTYPE vt, VARIANT* out) {
  if (src.vt == (VT_ARRAY | VT_UI1) && vt == VT_BSTR) {
    SAFEARRAY* psa = src.parray;
    if (!psa || psa->cDims != 1) return DISP_E_TYPEMISMATCH;
    BSTR b = SysAllocStringByteLen(static_cast<LPCSTR>(psa->pvData), psa->rgsabound[0].cElements);
    if (!b) return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    out->bstrVal = b;
    return S_OK;
  }
  if (src.vt == VT_BSTR && vt == (VT_ARRAY | VT_UI1)) {
    const UINT bytes = SysStringByteLen(src.bstrVal);
    SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, bytes);
    if (!psa) return E_OUTOFMEMORY;
    if (bytes) std::memcpy(psa->pvData, src.bstrVal, bytes);
    out->vt = VT_ARRAY | VT_UI1;
    out->parray = psa;
    return S_OK;
  }
  return DISP_E_TYPEMISMATCH;
}

// Asks an object for its value: the DISPID_VALUE property, read as a property only and without
// exception information. A value that cannot be read is a type mismatch, whatever the object said.
HRESULT value_of_object(IDispatch* obj, VARIANT* value) {
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  const HRESULT hr =
      obj->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value, nullptr, nullptr);
  return FAILED(hr) ? DISP_E_TYPEMISMATCH : hr;
}

HRESULT convert(const VARIANT& src, USHORT flags, VARTYPE vt, int depth, VARIANT* out);

HRESULT convert_object(const VARIANT& src, USHORT flags, VARTYPE vt, int depth, VARIANT* out) {
  if (vt == VT_UNKNOWN) {  // from VT_DISPATCH: the same object through its IUnknown slots
    out->vt = VT_UNKNOWN;
    out->punkVal = src.punkVal;
    if (out->punkVal) out->punkVal->AddRef();
    return S_OK;
  }
  zx::ComPtr<IDispatch> obj;
  if (src.vt == VT_UNKNOWN) {
    // An IUnknown reaches IDispatch by QueryInterface but has no value: only VT_DISPATCH converts
    // through the value member, and nothing of the object is called for a scalar.
    if (vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
    if (src.punkVal && FAILED(src.punkVal->QueryInterface(IID_IDispatch, obj.put_void())))
      return DISP_E_TYPEMISMATCH;
  } else {
    obj = zx::ComPtr<IDispatch>(src.pdispVal);
  }
  if (vt == VT_DISPATCH) {
    out->vt = VT_DISPATCH;
    out->pdispVal = obj.detach();
    return S_OK;
  }
  if (!obj || (flags & VARIANT_NOVALUEPROP) || depth >= kMaxValueDepth) return DISP_E_TYPEMISMATCH;
  zx::Variant value;
  HRESULT hr = value_of_object(obj.get(), &value);
  if (FAILED(hr)) return hr;
  zx::Variant plain;
  hr = VariantCopyInd(&plain, &value);
  if (FAILED(hr)) return hr;
  return convert(plain, flags, vt, depth + 1, out);
}

// src holds no reference (VT_BYREF already followed); out is VT_EMPTY and receives the result.
HRESULT convert(const VARIANT& src, USHORT flags, VARTYPE vt, int depth, VARIANT* out) {
  const VARTYPE from = src.vt;
  if (from == vt) return VariantCopy(out, &src);
  if (vt == VT_EMPTY) {
    // Everything but a null, an error value and an array may be emptied.
    if (from == VT_NULL || from == VT_ERROR || (from & VT_ARRAY)) return DISP_E_TYPEMISMATCH;
    return S_OK;
  }
  if ((from & VT_ARRAY) || (vt & VT_ARRAY)) return convert_array(src, vt, out);
  if (!takes_part(from) || !takes_part(vt)) return DISP_E_BADVARTYPE;

  if (from == VT_NULL) return DISP_E_TYPEMISMATCH;
  if (from == VT_DISPATCH || from == VT_UNKNOWN) return convert_object(src, flags, vt, depth, out);
  // An SCODE trades with nothing but itself: a "missing argument" marker must not turn into a number.
  if (vt == VT_ERROR || from == VT_ERROR) return DISP_E_TYPEMISMATCH;
  if (vt == VT_NULL) {  // any scalar may become a null
    out->vt = VT_NULL;
    return S_OK;
  }
  if (vt == VT_DISPATCH || vt == VT_UNKNOWN) return DISP_E_TYPEMISMATCH;  // Empty included: no object
  if (vt == VT_BSTR) return to_bstr(src, flags, out);

  IntRange target{}, source{};
  if (integer_range(vt, &target) && (from == VT_BOOL || integer_range(from, &source))) {
    // A VT_BOOL is a 16-bit integer, and integers of one size trade their bits between the signed
    // and the unsigned type (VT_I1 -1 is VT_UI1 255, VARIANT_TRUE any unsigned type's maximum):
    // sign-extended and cut to the target's width, with no range check.
    if (from == VT_BOOL || zx::types::element_size(from) == zx::types::element_size(vt)) {
      Number n;
      number_of(src, &n);
      const int64_t bits = n.kind == Number::Kind::Unsigned ? static_cast<int64_t>(n.u) : n.i;
      write_integer(out, vt, bits, static_cast<uint64_t>(bits));
      return S_OK;
    }
  }

  Number n;
  if (from == VT_BSTR) {
    const std::u16string_view text = src.bstrVal ? std::u16string_view(src.bstrVal, SysStringLen(src.bstrVal))
                                                  : std::u16string_view();
    // "True" and "False" are boolean names, not numbers: they convert to VT_BOOL only.
    if (vt == VT_BOOL) {
      const int named = zx::types::parse_bool_name(text);
      if (named >= 0) {
        out->vt = VT_BOOL;
        out->boolVal = named ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
      }
    }
    if (vt == VT_DATE) {  // date text only: a plain number is no date
      double date = 0;
      if (!zx::types::parse_date(text, &date)) return DISP_E_TYPEMISMATCH;
      out->vt = VT_DATE;
      out->date = date;
      return S_OK;
    }
    if (!zx::types::parse_number(text, &n)) return DISP_E_TYPEMISMATCH;
  } else if (!number_of(src, &n)) {
    return DISP_E_TYPEMISMATCH;
  }
  return store_number(n, vt, out);
}

}  // namespace

HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid, USHORT wFlags, VARTYPE vt) {
  (void)lcid;  // one locale: see the note at the top of this file
  if (!pvargDest || !pvarSrc) return E_INVALIDARG;
  // A VARIANT is no type a value changes into, and a reference to a VARIANT must lead to one.
  if (vt == VT_VARIANT) return DISP_E_TYPEMISMATCH;
  if (pvarSrc->vt == (VT_BYREF | VT_VARIANT) && !pvarSrc->pvarVal) return DISP_E_TYPEMISMATCH;
  if (!zx::types::is_valid_variant_type(pvarSrc->vt)) return DISP_E_BADVARTYPE;
  if ((vt & VT_BYREF) || !zx::types::is_valid_variant_type(vt)) return DISP_E_BADVARTYPE;
  try {
    // The source is resolved first (references followed, VT_VARIANT references included) and the
    // result built aside, so dest may be src and a failure leaves dest as it was.
    zx::Variant value;
    HRESULT hr = VariantCopyInd(&value, pvarSrc);
    if (FAILED(hr)) return hr;
    zx::Variant result;
    hr = convert(value, wFlags, vt, 0, &result);
    if (FAILED(hr)) return hr;
    hr = VariantClear(pvargDest);
    if (FAILED(hr)) return hr;
    *pvargDest = result.detach();
    return S_OK;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
  return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}
