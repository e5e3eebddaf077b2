// Zentarix — MIT licence.
// The module's type library descriptor, generated from idl/zentarix.idl.
#include "Registration.h"
#include "zentarix.h"

namespace zx::server {

const ZX_TYPELIB_DESC& type_library() noexcept { return zentarix_typelib; }

}  // namespace zx::server
