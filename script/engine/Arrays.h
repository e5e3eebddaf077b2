// Zentarix — MIT licence.
// Script arrays: SAFEARRAYs of VARIANTs made by scripts, and the typed arrays components hand back.
#pragma once
#include <cstdint>
#include <vector>

#include "Values.h"

namespace zx::script {

// Up to this many dimensions are addressed (the automation limit is far above what scripts use).
constexpr int kMaxDimensions = 60;

// An index list: one whole number per dimension.
struct Indices {
  LONG v[kMaxDimensions];
  int n = 0;
};
// Indices from argument values (rounded half to even); error 9 for too many.
void indices_of(const VARIANT* args, int count, Indices& out);

// The element an index list names in an array VARIANT: a pointer for arrays of VARIANTs (null
// for other element types). Error 9 when the count or a value is out of range.
VARIANT* variant_element(const VARIANT& array, const LONG* indices, int count);
// Reads any array's element into out (empty).
void read_element(const VARIANT& array, const LONG* indices, int count, VARIANT& out);
// Writes value (consumed) into any array's element, converted to the element type.
void write_element(const VARIANT& array, const LONG* indices, int count, VARIANT& value);

// A new one-dimensional array of VARIANTs, indices 0..count-1, all Empty. Throws on failure.
SAFEARRAY* new_vector(LONG count);
// ReDim: a new array with the given upper bounds (lower bounds 0); with `preserve`, the old
// elements are moved over (only the last dimension may change, as the language allows).
void redim(VARIANT& variable, const std::vector<LONG>& upper, bool preserve);
// Bounds of dimension `dim` (1-based); error 9 when there is none.
LONG array_bound(const VARIANT& array, int dim, bool upper);
// Elements in memory order (the first dimension varies fastest), for For Each.
size_t element_count(const SAFEARRAY* psa);
void element_at(const VARIANT& array, size_t i, VARIANT& out);

// Keeps an array from being resized or freed while a reference to its element or an iteration
// over it is alive ("This array is fixed or temporarily locked").
class ArrayLock {
 public:
  ArrayLock() = default;
  explicit ArrayLock(SAFEARRAY* psa) : m_psa(psa) {
    if (m_psa) SafeArrayLock(m_psa);
  }
  ArrayLock(ArrayLock&& o) noexcept : m_psa(o.m_psa) { o.m_psa = nullptr; }
  ArrayLock(const ArrayLock&) = delete;
  ArrayLock& operator=(const ArrayLock&) = delete;
  ~ArrayLock() {
    if (m_psa) SafeArrayUnlock(m_psa);
  }

 private:
  SAFEARRAY* m_psa = nullptr;
};

inline bool is_locked(const VARIANT& v) { return (v.vt & VT_ARRAY) && v.parray && v.parray->cLocks > 0; }

}  // namespace zx::script
