// Zentarix — MIT licence.
// Numbers out of script arrays.
#include "PointArrays.h"

#include <cmath>
#include <cstring>

namespace zx::drawing {
namespace {

bool integer_type(VARTYPE type) {
  return type == VT_I1 || type == VT_UI1 || type == VT_I2 || type == VT_UI2 || type == VT_I4 || type == VT_UI4;
}

// A plain number stored at item with the given type.
bool plain_number(const void* item, VARTYPE type, double* out) {
  switch (type) {
    case VT_I1: *out = *static_cast<const int8_t*>(item); return true;
    case VT_UI1: *out = *static_cast<const uint8_t*>(item); return true;
    case VT_I2: *out = *static_cast<const int16_t*>(item); return true;
    case VT_UI2: *out = *static_cast<const uint16_t*>(item); return true;
    case VT_I4: case VT_INT: *out = *static_cast<const int32_t*>(item); return true;
    case VT_UI4: case VT_UINT: *out = *static_cast<const uint32_t*>(item); return true;
    case VT_R4: *out = *static_cast<const float*>(item); return std::isfinite(*out);
    case VT_R8: *out = *static_cast<const double*>(item); return std::isfinite(*out);
    default: return false;
  }
}

bool variant_number(const VARIANT* v, double* out) {
  v = dereferenced(v);
  if (!v) return false;
  const VARTYPE type = V_VT(v) & ~VT_BYREF;
  if (!integer_type(type) && type != VT_INT && type != VT_UINT && type != VT_R4 && type != VT_R8) return false;
  return plain_number((V_VT(v) & VT_BYREF) ? V_BYREF(v) : static_cast<const void*>(&V_I4(v)), type, out);
}

bool point_of(SAFEARRAY* array, VARTYPE type, LONG* indices0, LONG* indices1, Gdiplus::PointF* out) {
  double x = 0, y = 0;
  if (!element_number(array, type, indices0, &x) || !element_number(array, type, indices1, &y)) return false;
  *out = Gdiplus::PointF(static_cast<Gdiplus::REAL>(x), static_cast<Gdiplus::REAL>(y));
  return true;
}

}  // namespace

const VARIANT* dereferenced(const VARIANT* v) {
  while (v && V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
  return v;
}

SAFEARRAY* array_of(const VARIANT* value, VARTYPE* type) {
  const VARIANT* v = dereferenced(value);
  if (!v || !(V_VT(v) & VT_ARRAY)) return nullptr;
  *type = V_VT(v) & VT_TYPEMASK;
  if (V_VT(v) & VT_BYREF) return V_ARRAYREF(v) ? *V_ARRAYREF(v) : nullptr;
  return V_ARRAY(v);
}

bool element_number(SAFEARRAY* array, VARTYPE type, LONG* indices, double* out) {
  void* item = nullptr;
  if (FAILED(SafeArrayPtrOfIndex(array, indices, &item))) return false;
  if (type == VT_VARIANT) return variant_number(static_cast<const VARIANT*>(item), out);
  return plain_number(item, type, out);
}

PointsResult parse_points(const VARIANT& points, std::vector<Gdiplus::PointF>* out) {
  VARTYPE type = VT_EMPTY;
  SAFEARRAY* array = array_of(&points, &type);
  if (!array || (!integer_type(type) && type != VT_VARIANT)) return PointsResult::NotPointArray;
  out->clear();
  const UINT dims = SafeArrayGetDim(array);
  if (dims == 2) {
    // rgsabound holds the dimensions last first: [0] is the X/Y dimension, [1] the points.
    const SAFEARRAYBOUND rows = array->rgsabound[1], columns = array->rgsabound[0];
    if (columns.cElements != 2 || rows.cElements < 1) return PointsResult::WrongShape;
    for (ULONG i = 0; i < rows.cElements; ++i) {
      LONG x[2] = {rows.lLbound + LONG(i), columns.lLbound}, y[2] = {rows.lLbound + LONG(i), columns.lLbound + 1};
      Gdiplus::PointF p;
      if (!point_of(array, type, x, y, &p)) return PointsResult::NotNumber;
      out->push_back(p);
    }
    return PointsResult::Parsed;
  }
  if (dims != 1 || type != VT_VARIANT || array->rgsabound[0].cElements < 1) return PointsResult::WrongShape;
  const SAFEARRAYBOUND bound = array->rgsabound[0];
  for (ULONG i = 0; i < bound.cElements; ++i) {
    LONG index = bound.lLbound + LONG(i);
    void* item = nullptr;
    if (FAILED(SafeArrayPtrOfIndex(array, &index, &item))) return PointsResult::WrongShape;
    VARTYPE innerType = VT_EMPTY;
    SAFEARRAY* inner = array_of(static_cast<const VARIANT*>(item), &innerType);
    if (!inner || SafeArrayGetDim(inner) != 1 || inner->rgsabound[0].cElements != 2) return PointsResult::WrongShape;
    if (!integer_type(innerType) && innerType != VT_VARIANT) return PointsResult::NotPointArray;
    LONG x = inner->rgsabound[0].lLbound, y = x + 1;
    Gdiplus::PointF p;
    if (!point_of(inner, innerType, &x, &y, &p)) return PointsResult::NotNumber;
    out->push_back(p);
  }
  return PointsResult::Parsed;
}

}  // namespace zx::drawing
