// Zentarix — MIT licence.
// Module-wide state: start and stop with the process, the class object cache, the module's file path.
#pragma once
#include <string>

#include "ClassTable.h"

namespace zx::server {

// The module's full file path (what InprocServer32 names), UTF-16.
std::u16string module_path();

// The class object of a row, made on first request under the module's creation lock and cached
// for the module's life. E_OUTOFMEMORY when it cannot be made.
HRESULT class_object(const ClassEntry& row, IClassFactory** factory) noexcept;

}  // namespace zx::server
