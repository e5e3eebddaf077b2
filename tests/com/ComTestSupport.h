// Zentarix — MIT licence.
// Shared by the runtime's tests: VARIANT makers, a printable form of a VARIANT, a counting object.
#pragma once
#include <gtest/gtest.h>

#include <atomic>
#include <charconv>
#include <cstring>
#include <string>

#include "windows.h"
#include "zx/com.h"

namespace zxtest {

inline zx::Variant scalar(VARTYPE vt, int64_t bits) {
  zx::Variant x;
  x.vt = vt;
  x.llVal = bits;  // the low bytes hold the narrower types' values
  return x;
}
inline zx::Variant i4(LONG v) { return scalar(VT_I4, v); }
inline zx::Variant r8(double v) {
  zx::Variant x;
  x.vt = VT_R8;
  x.dblVal = v;
  return x;
}
inline zx::Variant r4(float v) {
  zx::Variant x;
  x.vt = VT_R4;
  x.fltVal = v;
  return x;
}
inline zx::Variant str(const char16_t* s) {
  zx::Variant x;
  x.vt = VT_BSTR;
  x.bstrVal = s ? SysAllocString(s) : nullptr;
  return x;
}
inline zx::Variant boolean(bool b) { return scalar(VT_BOOL, b ? VARIANT_TRUE : VARIANT_FALSE); }

inline std::string utf8(std::u16string_view s) { return zx::to_utf8(s); }

// "I4 42", "BSTR 'text'", "R8 0.5", "BOOL -1", "ARRAY|UI1 1 2 3", "EMPTY": one string to compare.
inline std::string show(const VARIANT& v) {
  static const char* const names[] = {"EMPTY", "NULL", "I2",       "I4",    "R4",      "R8",  "CY",  "DATE",
                                      "BSTR",  "DISPATCH", "ERROR", "BOOL", "VARIANT", "UNKNOWN", "DECIMAL", "15",
                                      "I1",    "UI1",  "UI2",      "UI4",   "I8",      "UI8", "INT", "UINT"};
  const VARTYPE base = v.vt & VT_TYPEMASK;
  std::string out = (v.vt & VT_BYREF ? "BYREF|" : "") + std::string(v.vt & VT_ARRAY ? "ARRAY|" : "") +
                    (base < std::size(names) ? names[base] : std::to_string(base));
  if (v.vt & VT_ARRAY) {
    if (v.parray && base == VT_UI1)
      for (ULONG i = 0; i < v.parray->rgsabound[0].cElements; ++i)
        out += " " + std::to_string(static_cast<const BYTE*>(v.parray->pvData)[i]);
    return out;
  }
  if (v.vt & VT_BYREF) return out;
  char number[32];
  switch (v.vt) {
    case VT_I1: return out + " " + std::to_string(v.cVal);
    case VT_UI1: return out + " " + std::to_string(v.bVal);
    case VT_I2: case VT_BOOL: return out + " " + std::to_string(v.iVal);
    case VT_UI2: return out + " " + std::to_string(v.uiVal);
    case VT_I4: case VT_INT: case VT_ERROR: return out + " " + std::to_string(v.lVal);
    case VT_UI4: case VT_UINT: return out + " " + std::to_string(v.ulVal);
    case VT_I8: return out + " " + std::to_string(v.llVal);
    case VT_UI8: return out + " " + std::to_string(v.ullVal);
    case VT_R4: return out + " " + std::string(number, std::to_chars(number, number + 32, v.fltVal).ptr);
    case VT_R8: case VT_DATE: return out + " " + std::string(number, std::to_chars(number, number + 32, v.dblVal).ptr);
    case VT_BSTR:
      return v.bstrVal ? out + " '" + utf8(std::u16string_view(v.bstrVal, SysStringLen(v.bstrVal))) + "'" : out + " null";
    default: return out;
  }
}

// Counts AddRef/Release so that ownership can be proved balanced; answers IUnknown only.
struct CountingUnknown : IUnknown {
  std::atomic<ULONG> refs{1};
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IUnknown ? this : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

}  // namespace zxtest
