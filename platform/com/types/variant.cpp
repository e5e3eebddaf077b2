// Zentarix — MIT licence.
// VARIANT lifetime: initialise, clear, copy and copy through references.
#include "types_internal.h"

namespace zx::types {

HRESULT copy_bstr(BSTR src, BSTR* out) noexcept {
  *out = nullptr;
  if (!src) return S_OK;
  *out = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(src), SysStringByteLen(src));
  return *out ? S_OK : E_OUTOFMEMORY;
}

bool is_valid_variant_type(VARTYPE vt) noexcept {
  if (vt & ~(VT_TYPEMASK | VT_ARRAY | VT_BYREF)) return false;
  const VARTYPE base = vt & VT_TYPEMASK;
  const bool byref = (vt & VT_BYREF) != 0;
  const bool array = (vt & VT_ARRAY) != 0;
  switch (base) {
    case VT_EMPTY:
    case VT_NULL:
      return !byref && !array;
    case VT_VARIANT:
      return byref || array;
    case VT_I1: case VT_I2: case VT_I4: case VT_I8:
    case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8:
    case VT_INT: case VT_UINT: case VT_R4: case VT_R8:
    case VT_CY: case VT_DATE: case VT_BSTR: case VT_DISPATCH:
    case VT_ERROR: case VT_BOOL: case VT_UNKNOWN: case VT_DECIMAL:
      return true;
    default:
      return false;
  }
}

}  // namespace zx::types

using zx::types::is_valid_variant_type;

void VariantInit(VARIANTARG* pvarg) {
  if (!pvarg) return;
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  const VARTYPE vt = pvarg->vt;
  if (!is_valid_variant_type(vt)) return DISP_E_BADVARTYPE;
  if (!(vt & VT_BYREF)) {
    if (vt & VT_ARRAY) {
      if (pvarg->parray) {
        // A locked array stays where it is, and so does the VARIANT that owns it.
        HRESULT hr = SafeArrayDestroy(pvarg->parray);
        if (FAILED(hr)) return hr;
      }
    } else if (vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
      if (pvarg->punkVal) pvarg->punkVal->Release();
    }
  }
  VariantInit(pvarg);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  const VARTYPE vt = pvargSrc->vt;
  if (!is_valid_variant_type(vt)) return DISP_E_BADVARTYPE;
  HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) return hr;

  // Built in a local so that a failed copy leaves the destination VT_EMPTY, never half-owned.
  VARIANT out = *pvargSrc;
  if (!(vt & VT_BYREF)) {
    if (vt & VT_ARRAY) {
      out.parray = nullptr;
      if (pvargSrc->parray) hr = SafeArrayCopy(pvargSrc->parray, &out.parray);
    } else if (vt == VT_BSTR) {
      hr = zx::types::copy_bstr(pvargSrc->bstrVal, &out.bstrVal);
    } else if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
      if (out.punkVal) out.punkVal->AddRef();
    }
  }
  if (FAILED(hr)) return hr;
  *pvargDest = out;
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
  if (!pvarDest || !pvargSrc) return E_INVALIDARG;
  const VARTYPE vt = pvargSrc->vt;
  if (!(vt & VT_BYREF)) return VariantCopy(pvarDest, pvargSrc);
  if (!is_valid_variant_type(vt)) return DISP_E_BADVARTYPE;
  if (!pvargSrc->byref) return E_INVALIDARG;

  const VARTYPE base = vt & ~VT_BYREF;
  VARIANT value;
  VariantInit(&value);
  if (base == VT_VARIANT) {
    const VARIANT* inner = pvargSrc->pvarVal;
    // A reference to a reference to a VARIANT is refused as Windows refuses it.
    if (inner->vt == (VT_VARIANT | VT_BYREF)) return E_INVALIDARG;
    HRESULT hr = VariantCopyInd(&value, inner);
    if (FAILED(hr)) return hr;
  } else {
    // A shallow image of the referenced value, then a deep copy of that image.
    VARIANT shallow;
    VariantInit(&shallow);
    shallow.vt = base;
    if (base & VT_ARRAY) {
      shallow.parray = *pvargSrc->pparray;
    } else {
      switch (base) {
        case VT_I1: case VT_UI1: shallow.bVal = *pvargSrc->pbVal; break;
        case VT_I2: case VT_UI2: case VT_BOOL: shallow.iVal = *pvargSrc->piVal; break;
        case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR:
          shallow.lVal = *pvargSrc->plVal;
          break;
        case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE:
          shallow.llVal = *pvargSrc->pllVal;
          break;
        case VT_BSTR: shallow.bstrVal = *pvargSrc->pbstrVal; break;
        case VT_DISPATCH: case VT_UNKNOWN: shallow.punkVal = *pvargSrc->ppunkVal; break;
        case VT_DECIMAL: {
          const DECIMAL d = *pvargSrc->pdecVal;
          shallow.decVal = d;
          shallow.vt = VT_DECIMAL;
          break;
        }
        default:
          return DISP_E_BADVARTYPE;
      }
    }
    HRESULT hr = VariantCopy(&value, &shallow);  // shallow owns nothing, so it is not cleared
    if (FAILED(hr)) return hr;
  }
  // The source may be the destination itself (in-place dereference), so the old contents of the
  // destination are released only now that the new value is complete.
  if (pvarDest != pvargSrc) {
    HRESULT hr = VariantClear(pvarDest);
    if (FAILED(hr)) {
      VariantClear(&value);
      return hr;
    }
  }
  *pvarDest = value;
  return S_OK;
}
