// Zentarix — MIT licence.
// Numbers out of script arrays: point lists of DrawingTool and kerning arrays of TextInfo.
#pragma once
#include <gdiplus.h>

#include <vector>

namespace zx::drawing {

// A VARIANT's value through any chain of VARIANT references (null when a reference is null).
const VARIANT* dereferenced(const VARIANT* value);
// The array a VARIANT holds, directly or by reference (null when it holds none); *type its elements'.
SAFEARRAY* array_of(const VARIANT* value, VARTYPE* type);

// The number an element holds: arrays of 1-, 2- and 4-byte integers, 4- and 8-byte floats, or
// VARIANTs holding (through references) integers of 1, 2, 4 bytes, machine integers or floats.
// False for anything else (strings, booleans, empty elements included).
bool element_number(SAFEARRAY* array, VARTYPE type, LONG* indices, double* out);

enum class PointsResult { Parsed, NotPointArray, WrongShape, NotNumber };
// The accepted shapes: N x 2 (element (i, 0) is X, (i, 1) Y, N at least 1), or one dimension of
// VARIANTs each holding a one-dimensional array of exactly two numbers. Arrays of integers or of
// VARIANTs (not of floats: those come as VARIANTs), directly or by reference. Reads a client's
// memory: run it under the fault guard.
PointsResult parse_points(const VARIANT& points, std::vector<Gdiplus::PointF>* out);

}  // namespace zx::drawing
