// Zentarix platform layer — MIT licence.
// The runtime's scripting objects: the shared object base and their run-time error reports.
#pragma once
#include "zx/object.h"

namespace zx::activation {

using zx::boundary;
using zx::DispatchObject;
using zx::ObjectBase;
using zx::VariantEnumerator;

// Records a Visual Basic run-time error (an 0x800Axxxx HRESULT) for the caller, and so for EXCEPINFO,
// with the language's text for it, and returns hr. Codes without a text are returned unrecorded.
HRESULT report_runtime_error(HRESULT hr, const OLECHAR* source, REFIID iid);

}  // namespace zx::activation
