// Zentarix — MIT licence.
// Helpers shared by the OLE Automation value types inside libzxcom (not exported).
#pragma once
#include "oleauto.h"

namespace zx::types {

// The size of one element of a VARTYPE in a SAFEARRAY, or 0 for a type that cannot be an element.
ULONG element_size(VARTYPE vt) noexcept;

// True when vt (flags included) names a VARIANT content this runtime can hold, clear and copy.
bool is_valid_variant_type(VARTYPE vt) noexcept;

// A copy of a BSTR that keeps its exact byte length (odd lengths and embedded NULs included).
// *out is null for a null source. Returns E_OUTOFMEMORY when allocation fails.
HRESULT copy_bstr(BSTR src, BSTR* out) noexcept;

}  // namespace zx::types
