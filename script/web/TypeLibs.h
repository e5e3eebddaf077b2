// Zentarix — MIT licence.
// The type libraries a page can name in METADATA, and their constants given to its engine.
#pragma once
#include "AspPage.h"
#include "Engine.h"

namespace zx::script::web {

// Adds the constants of the library `ref` names (by UUID, NAME or FILE) to the engine. False when
// it names no library this host knows: the component's own is the one pages use.
bool add_typelib_constants(const TypeLibReference& ref, Engine& engine);

}  // namespace zx::script::web
