// Zentarix — MIT licence.
// What registration needs besides the class table: the type library's descriptor.
#pragma once
#include <winreg.h>

namespace zx::server {

// The module's type library, as generated from its IDL (registered under HKCR\TypeLib\{LIBID}\1.0).
const ZX_TYPELIB_DESC& type_library() noexcept;

}  // namespace zx::server
