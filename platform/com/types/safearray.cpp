// Zentarix — MIT licence.
// SAFEARRAY: descriptors with the hidden type prefix, element access, copying and locking.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "types_internal.h"
#include "zx/pixel_memory.h"

// The descriptor is preceded by 16 hidden bytes, as on Windows: an IID for arrays of interfaces
// (FADF_HAVEIID), or the VARTYPE in the last 4 bytes (FADF_HAVEVARTYPE). Every descriptor this
// runtime makes carries the prefix, so one rule frees them all.
namespace {

constexpr size_t kPrefix = 16;
static_assert(kPrefix >= sizeof(IID));
static_assert(offsetof(SAFEARRAY, pvData) == 16 && offsetof(SAFEARRAY, rgsabound) == 24 && sizeof(SAFEARRAYBOUND) == 8, "SAFEARRAY descriptor layout");

unsigned char* prefix_of(SAFEARRAY* psa) { return reinterpret_cast<unsigned char*>(psa) - kPrefix; }

void set_hidden_vartype(SAFEARRAY* psa, VARTYPE vt) {
  const DWORD v = vt;
  std::memcpy(reinterpret_cast<unsigned char*>(psa) - sizeof(DWORD), &v, sizeof v);
}

DWORD hidden_vartype(SAFEARRAY* psa) {
  DWORD v;
  std::memcpy(&v, reinterpret_cast<unsigned char*>(psa) - sizeof(DWORD), sizeof v);
  return v;
}

size_t descriptor_size(UINT cDims) { return sizeof(SAFEARRAY) + (size_t{cDims} - 1) * sizeof(SAFEARRAYBOUND); }

// Element count, or SIZE_MAX when it does not fit.
size_t element_count(const SAFEARRAY* psa) {
  size_t n = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    const size_t c = psa->rgsabound[d].cElements;
    if (c != 0 && n > std::numeric_limits<size_t>::max() / c) return std::numeric_limits<size_t>::max();
    n *= c;
  }
  return n;
}

// rgIndices[k] belongs to the k-th bound the creator passed, which is descriptor bound cDims-1-k;
// the first index varies fastest in memory.
HRESULT offset_of(const SAFEARRAY* psa, const LONG* rgIndices, size_t* offset) {
  size_t linear = 0, stride = 1;
  for (USHORT k = 0; k < psa->cDims; ++k) {
    const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - 1 - k];
    const int64_t rel = int64_t{rgIndices[k]} - b.lLbound;
    if (rel < 0 || rel >= int64_t{b.cElements}) return DISP_E_BADINDEX;
    linear += static_cast<size_t>(rel) * stride;
    stride *= b.cElements;
  }
  *offset = linear * psa->cbElements;
  return S_OK;
}

void lock(SAFEARRAY* psa) { std::atomic_ref<ULONG>(psa->cLocks).fetch_add(1); }
void unlock(SAFEARRAY* psa) { std::atomic_ref<ULONG>(psa->cLocks).fetch_sub(1); }

// Releases what the elements own (strings, interfaces, VARIANT contents) and zeroes them.
void clear_elements(SAFEARRAY* psa) {
  if (!psa->pvData) return;
  const size_t n = element_count(psa);
  auto* p = static_cast<unsigned char*>(psa->pvData);
  if (psa->fFeatures & FADF_BSTR) {
    for (size_t i = 0; i < n; ++i) SysFreeString(reinterpret_cast<BSTR*>(p)[i]);
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    for (size_t i = 0; i < n; ++i)
      if (IUnknown* u = reinterpret_cast<IUnknown**>(p)[i]) u->Release();
  } else if (psa->fFeatures & FADF_VARIANT) {
    for (size_t i = 0; i < n; ++i) VariantClear(reinterpret_cast<VARIANT*>(p) + i);
  }
  if (n != std::numeric_limits<size_t>::max()) std::memset(p, 0, n * psa->cbElements);
}

// Copies one element from src to dst (both element slots), owning copies of strings, interfaces
// and VARIANTs. dst holds nothing that needs releasing.
HRESULT copy_element(USHORT features, ULONG cb, const void* src, void* dst) {
  if (features & FADF_BSTR) return zx::types::copy_bstr(*static_cast<const BSTR*>(src), static_cast<BSTR*>(dst));
  if (features & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* u = *static_cast<IUnknown* const*>(src);
    if (u) u->AddRef();
    *static_cast<IUnknown**>(dst) = u;
    return S_OK;
  }
  if (features & FADF_VARIANT) {
    VariantInit(static_cast<VARIANT*>(dst));
    return VariantCopy(static_cast<VARIANT*>(dst), static_cast<const VARIANT*>(src));
  }
  std::memcpy(dst, src, cb);
  return S_OK;
}

}  // namespace

namespace zx::types {

ULONG element_size(VARTYPE vt) noexcept {
  switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: return 8;
    case VT_BSTR: case VT_DISPATCH: case VT_UNKNOWN: case VT_INT_PTR: case VT_UINT_PTR:
      return sizeof(void*);
    case VT_DECIMAL: return sizeof(DECIMAL);
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
  }
}

}  // namespace zx::types

HRESULT SafeArrayAllocDescriptor(UINT cDims, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_POINTER;
  *ppsaOut = nullptr;
  if (cDims == 0 || cDims > 0xFFFF) return E_INVALIDARG;
  auto* block = static_cast<unsigned char*>(std::calloc(1, kPrefix + descriptor_size(cDims)));
  if (!block) return E_OUTOFMEMORY;
  auto* psa = reinterpret_cast<SAFEARRAY*>(block + kPrefix);
  psa->cDims = static_cast<USHORT>(cDims);
  *ppsaOut = psa;
  return S_OK;
}

// The descriptor records the element type only (the IID for interfaces); the flags that say what
// the elements own (FADF_BSTR, FADF_VARIANT, ...) belong to data, and SafeArrayCreate sets them.
// VT_EMPTY and VT_NULL are accepted, as Windows accepts them, with elements of no size.
HRESULT SafeArrayAllocDescriptorEx(VARTYPE vt, UINT cDims, SAFEARRAY** ppsaOut) {
  const ULONG cb = zx::types::element_size(vt);
  if (cb == 0 && vt != VT_EMPTY && vt != VT_NULL) return E_INVALIDARG;
  HRESULT hr = SafeArrayAllocDescriptor(cDims, ppsaOut);
  if (FAILED(hr)) return hr;
  SAFEARRAY* psa = *ppsaOut;
  psa->cbElements = cb;
  switch (vt) {
    case VT_DISPATCH:
      psa->fFeatures = FADF_HAVEIID;
      std::memcpy(prefix_of(psa), &IID_IDispatch, sizeof(IID));
      break;
    case VT_UNKNOWN:
      psa->fFeatures = FADF_HAVEIID;
      std::memcpy(prefix_of(psa), &IID_IUnknown, sizeof(IID));
      break;
    default:
      psa->fFeatures = FADF_HAVEVARTYPE;
      set_hidden_vartype(psa, vt);
      break;
  }
  return S_OK;
}

namespace {

USHORT element_kind(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR: return FADF_BSTR;
    case VT_UNKNOWN: return FADF_UNKNOWN;
    case VT_DISPATCH: return FADF_DISPATCH;
    case VT_VARIANT: return FADF_VARIANT;
    default: return 0;
  }
}

}  // namespace

HRESULT SafeArrayAllocData(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  const size_t n = element_count(psa);
  if (n == std::numeric_limits<size_t>::max() || (psa->cbElements && n > std::numeric_limits<size_t>::max() / psa->cbElements))
    return E_OUTOFMEMORY;
  // Pixel arrays of whole images travel in SAFEARRAYs, so the data comes from the pixel allocator.
  void* data = zx::pixel_alloc_zeroed(n * psa->cbElements);
  if (!data) return E_OUTOFMEMORY;
  psa->pvData = data;
  return S_OK;
}

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  if (!rgsabound || cDims == 0) return nullptr;
  if (zx::types::element_size(vt) == 0) return nullptr;
  SAFEARRAY* psa = nullptr;
  if (FAILED(SafeArrayAllocDescriptorEx(vt, cDims, &psa))) return nullptr;
  psa->fFeatures |= element_kind(vt);
  for (UINT i = 0; i < cDims; ++i) psa->rgsabound[cDims - 1 - i] = rgsabound[i];
  if (FAILED(SafeArrayAllocData(psa))) {
    SafeArrayDestroyDescriptor(psa);
    return nullptr;
  }
  return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound{cElements, lLbound};
  SAFEARRAY* psa = SafeArrayCreate(vt, 1, &bound);
  if (psa) psa->fFeatures |= FADF_CREATEVECTOR;
  return psa;
}

HRESULT SafeArrayDestroyData(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  clear_elements(psa);
  // Data the caller placed itself (static, embedded or automatic) is not ours to free.
  if (!(psa->fFeatures & (FADF_STATIC | FADF_EMBEDDED | FADF_AUTO))) {
    zx::pixel_free(psa->pvData);
    psa->pvData = nullptr;
  }
  return S_OK;
}

HRESULT SafeArrayDestroyDescriptor(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  std::free(prefix_of(psa));
  return S_OK;
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  HRESULT hr = SafeArrayDestroyData(psa);
  if (FAILED(hr)) return hr;
  return SafeArrayDestroyDescriptor(psa);
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks >= 0xFFFF) return E_UNEXPECTED;  // Windows caps the count at 65535
  lock(psa);
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  unlock(psa);
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  HRESULT hr = SafeArrayLock(psa);
  *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
  return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

UINT SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - nDim];
  *plUbound = static_cast<LONG>(int64_t{b.lLbound} + int64_t{b.cElements} - 1);
  return S_OK;
}

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, LONG* rgIndices, void** ppvData) {
  if (!psa || !rgIndices || !ppvData) return E_INVALIDARG;
  size_t offset;
  HRESULT hr = offset_of(psa, rgIndices, &offset);
  if (FAILED(hr)) return hr;
  *ppvData = static_cast<unsigned char*>(psa->pvData) + offset;
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (!psa || !rgIndices || !pv) return E_INVALIDARG;
  size_t offset;
  HRESULT hr = offset_of(psa, rgIndices, &offset);
  if (FAILED(hr)) return hr;
  lock(psa);
  hr = copy_element(psa->fFeatures, psa->cbElements, static_cast<unsigned char*>(psa->pvData) + offset, pv);
  unlock(psa);
  return hr;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (!psa || !rgIndices) return E_INVALIDARG;
  size_t offset;
  HRESULT hr = offset_of(psa, rgIndices, &offset);
  if (FAILED(hr)) return hr;
  // Strings and interfaces are passed by value (the BSTR or pointer itself); VARIANTs and plain
  // values by address. The slot's old contents are released once the new value is in hand.
  void* slot = static_cast<unsigned char*>(psa->pvData) + offset;
  lock(psa);
  if (psa->fFeatures & FADF_BSTR) {
    BSTR copy = nullptr;
    hr = zx::types::copy_bstr(static_cast<BSTR>(pv), &copy);
    if (SUCCEEDED(hr)) {
      SysFreeString(*static_cast<BSTR*>(slot));
      *static_cast<BSTR*>(slot) = copy;
    }
  } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    auto* u = static_cast<IUnknown*>(pv);
    if (u) u->AddRef();
    if (IUnknown* old = *static_cast<IUnknown**>(slot)) old->Release();
    *static_cast<IUnknown**>(slot) = u;
  } else if (psa->fFeatures & FADF_VARIANT) {
    hr = pv ? VariantCopy(static_cast<VARIANT*>(slot), static_cast<const VARIANT*>(pv)) : E_INVALIDARG;
  } else if (pv) {
    std::memcpy(slot, pv, psa->cbElements);
  } else {
    hr = E_INVALIDARG;
  }
  unlock(psa);
  return hr;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  if (!psa->pvData) return E_INVALIDARG;  // a descriptor alone is no array to copy
  SAFEARRAY* out = nullptr;
  HRESULT hr = SafeArrayAllocDescriptor(psa->cDims, &out);
  if (FAILED(hr)) return hr;
  std::memcpy(prefix_of(out), prefix_of(psa), kPrefix + descriptor_size(psa->cDims));
  // The copy owns fresh data of its own, whose size the caller may change.
  out->fFeatures &= ~(FADF_STATIC | FADF_EMBEDDED | FADF_AUTO | FADF_FIXEDSIZE);
  out->cLocks = 0;
  out->pvData = nullptr;
  hr = SafeArrayAllocData(out);
  if (FAILED(hr)) {
    SafeArrayDestroyDescriptor(out);
    return hr;
  }
  const size_t n = element_count(psa);
  auto* src = static_cast<const unsigned char*>(psa->pvData);
  auto* dst = static_cast<unsigned char*>(out->pvData);
  if (!(psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN | FADF_DISPATCH | FADF_VARIANT))) {
    std::memcpy(dst, src, n * psa->cbElements);
  } else {
    for (size_t i = 0; i < n && SUCCEEDED(hr); ++i)
      hr = copy_element(psa->fFeatures, psa->cbElements, src + i * psa->cbElements, dst + i * psa->cbElements);
    if (FAILED(hr)) {
      SafeArrayDestroy(out);  // the zeroed tail owns nothing, so clearing all of it is safe
      return hr;
    }
  }
  *ppsaOut = out;
  return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (!psa || !pvt) return E_INVALIDARG;
  if (psa->fFeatures & FADF_RECORD)
    *pvt = VT_RECORD;
  else if ((psa->fFeatures & (FADF_HAVEIID | FADF_DISPATCH)) == (FADF_HAVEIID | FADF_DISPATCH))
    *pvt = VT_DISPATCH;
  else if (psa->fFeatures & FADF_HAVEIID)
    *pvt = VT_UNKNOWN;
  else if (psa->fFeatures & FADF_HAVEVARTYPE)
    *pvt = static_cast<VARTYPE>(hidden_vartype(psa));
  else
    return E_INVALIDARG;
  return S_OK;
}
