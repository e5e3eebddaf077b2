// Zentarix — MIT licence.
// Element access, ReDim (Preserve) and iteration over script and component arrays.
#include "Arrays.h"

#include <algorithm>
#include <cstring>

namespace zx::script {
namespace {

[[noreturn]] void out_of_range() { raise_error(kErrSubscript); }

SAFEARRAY* array_of(const VARIANT& v) {
  if (!(v.vt & VT_ARRAY)) raise_error(kErrTypeMismatch);
  return v.parray;
}

void* element_pointer(SAFEARRAY* psa, const LONG* indices, int count) {
  if (!psa || psa->cDims != count) out_of_range();
  if (count == 1) {  // the common case, without the general lookup
    const SAFEARRAYBOUND& b = psa->rgsabound[0];
    const int64_t i = static_cast<int64_t>(indices[0]) - b.lLbound;
    if (i < 0 || i >= static_cast<int64_t>(b.cElements)) out_of_range();
    return static_cast<char*>(psa->pvData) + i * psa->cbElements;
  }
  void* p = nullptr;
  if (FAILED(SafeArrayPtrOfIndex(psa, const_cast<LONG*>(indices), &p))) out_of_range();
  return p;
}

// A shallow VARIANT view of a typed element (not owned).
VARIANT view_of(VARTYPE vt, const void* p, ULONG size) {
  VARIANT v;
  VariantInit(&v);
  v.vt = vt;
  std::memcpy(&v.llVal, p, size);
  return v;
}

}  // namespace

void indices_of(const VARIANT* args, int count, Indices& out) {
  if (count > kMaxDimensions) out_of_range();
  for (int i = 0; i < count; ++i) out.v[i] = to_long(deref(args[i]));
  out.n = count;
}

VARIANT* variant_element(const VARIANT& array, const LONG* indices, int count) {
  SAFEARRAY* psa = array_of(array);
  void* p = element_pointer(psa, indices, count);
  return (array.vt & VT_TYPEMASK) == VT_VARIANT ? static_cast<VARIANT*>(p) : nullptr;
}

void read_element(const VARIANT& array, const LONG* indices, int count, VARIANT& out) {
  SAFEARRAY* psa = array_of(array);
  void* p = element_pointer(psa, indices, count);
  const VARTYPE vt = array.vt & VT_TYPEMASK;
  if (vt == VT_VARIANT) return copy_value(out, *static_cast<VARIANT*>(p));
  const VARIANT view = view_of(vt, p, psa->cbElements);
  copy_value(out, view);
}

void write_element(const VARIANT& array, const LONG* indices, int count, VARIANT& value) {
  SAFEARRAY* psa = array_of(array);
  void* p = element_pointer(psa, indices, count);
  const VARTYPE vt = array.vt & VT_TYPEMASK;
  if (vt == VT_VARIANT) {
    VARIANT* slot = static_cast<VARIANT*>(p);
    const VARIANT old = *slot;
    *slot = value;
    value.vt = VT_EMPTY;
    VARIANT gone = old;
    clear_value(gone);
    return;
  }
  Value converted;
  convert(value, vt, converted);
  VARIANT view = view_of(vt, p, psa->cbElements);
  clear_value(view);  // what the element held (a string or an object)
  std::memcpy(p, &converted.llVal, psa->cbElements);
  converted.vt = VT_EMPTY;  // the array owns it now
  clear_value(value);
}

SAFEARRAY* new_vector(LONG count) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(count));
  if (!psa) raise_error(kErrOutOfMemory);
  return psa;
}

void redim(VARIANT& variable, const std::vector<LONG>& upper, bool preserve) {
  const int dims = static_cast<int>(upper.size());
  if (dims > kMaxDimensions) out_of_range();
  if (is_locked(variable)) raise_error(kErrArrayLocked);
  SAFEARRAYBOUND bounds[kMaxDimensions];
  uint64_t total = 1;
  for (int d = 0; d < dims; ++d) {
    if (upper[d] < -1) out_of_range();
    bounds[d].lLbound = 0;
    bounds[d].cElements = static_cast<ULONG>(upper[d] + 1);
    total *= bounds[d].cElements;
    if (total > (uint64_t{1} << 28)) raise_error(kErrOutOfMemory);  // 4 GiB of VARIANTs and more
  }
  SAFEARRAY* old = (variable.vt & VT_ARRAY) ? variable.parray : nullptr;
  if (preserve && old) {
    if (old->cDims != dims || (variable.vt & VT_TYPEMASK) != VT_VARIANT) out_of_range();
    for (int d = 0; d < dims - 1; ++d) {  // only the last dimension may change
      LONG lo = 0, hi = 0;
      SafeArrayGetLBound(old, d + 1, &lo);
      SafeArrayGetUBound(old, d + 1, &hi);
      if (lo != 0 || hi != upper[d]) out_of_range();
    }
  }
  zx::SafeArray fresh(SafeArrayCreate(VT_VARIANT, static_cast<UINT>(dims), bounds));
  if (!fresh.get()) raise_error(kErrOutOfMemory);
  if (preserve && old && (variable.vt & VT_TYPEMASK) == VT_VARIANT) {
    // The last dimension varies slowest, so the kept elements are a prefix in memory order.
    const size_t keep = std::min<size_t>(element_count(old), static_cast<size_t>(total));
    auto* from = static_cast<VARIANT*>(old->pvData);
    auto* to = static_cast<VARIANT*>(fresh.get()->pvData);
    for (size_t i = 0; i < keep; ++i) {
      to[i] = from[i];
      from[i].vt = VT_EMPTY;
    }
  }
  VARIANT gone = variable;
  variable.vt = VT_ARRAY | VT_VARIANT;
  variable.parray = fresh.detach();
  clear_value(gone);
}

LONG array_bound(const VARIANT& array, int dim, bool upper) {
  SAFEARRAY* psa = array_of(array);
  if (!psa || dim < 1 || dim > psa->cDims) out_of_range();
  LONG v = 0;
  if (FAILED(upper ? SafeArrayGetUBound(psa, static_cast<UINT>(dim), &v) : SafeArrayGetLBound(psa, static_cast<UINT>(dim), &v)))
    out_of_range();
  return v;
}

size_t element_count(const SAFEARRAY* psa) {
  if (!psa) return 0;
  size_t n = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) n *= psa->rgsabound[d].cElements;
  return psa->cDims ? n : 0;
}

void element_at(const VARIANT& array, size_t i, VARIANT& out) {
  SAFEARRAY* psa = array.parray;
  const void* p = static_cast<const char*>(psa->pvData) + i * psa->cbElements;
  const VARTYPE vt = array.vt & VT_TYPEMASK;
  if (vt == VT_VARIANT) return copy_value(out, *static_cast<const VARIANT*>(p));
  copy_value(out, view_of(vt, p, psa->cbElements));
}

}  // namespace zx::script
