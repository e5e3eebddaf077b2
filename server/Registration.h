// Zentarix — MIT licence.
// What registration needs besides the class table: the type library's descriptor, and a test hook.
#pragma once
#include <winreg.h>

namespace zx::server {

// The module's type library, as generated from its IDL (registered under HKCR\TypeLib\{LIBID}\1.0).
const ZX_TYPELIB_DESC& type_library() noexcept;

}  // namespace zx::server

// Makes DllRegisterServer / DllUnregisterServer see the component category manager fail with hr
// (S_OK restores it). The platform's manager is always there, so its absence cannot be staged otherwise.
STDAPI_(void) ZxServerFailCategoryManagerForTesting(HRESULT hr);
