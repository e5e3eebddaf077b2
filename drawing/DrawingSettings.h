// Zentarix — MIT licence.
// What the pen, brush and text settings classes share: property reads and stores, and cloning.
#pragma once
#include "ComObject.h"
#include "ErrorReporting.h"
#include "zentarix.h"

namespace zx::drawing {

// A getter: the value, or nullAnswer without an error record for a null pointer.
template <class T>
HRESULT read(T* out, T value, HRESULT nullAnswer = E_INVALIDARG) {
  if (!out) return nullAnswer;
  *out = value;
  return S_OK;
}

template <class T>
HRESULT store(T& field, T value) {
  field = value;
  return S_OK;
}

// An enumeration setter: values below 0 and from the enumeration's count on are refused with
// E_INVALIDARG and no error record, the field keeping its value.
template <class E>
HRESULT store_enum(E& field, E value, int count) {
  if (static_cast<int>(value) < 0 || static_cast<int>(value) >= count) return E_INVALIDARG;
  field = value;
  return S_OK;
}

// Clone's first step: a new object of the class, through its own interface. E_INVALIDARG without
// an out-pointer; a failed creation returns its HRESULT.
template <class T, class I>
HRESULT new_object(I** out, ComPtr<I>* made) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  return server::create_instance<T>(nullptr, uuid_of<I>::value, made->put_void());
}

}  // namespace zx::drawing
