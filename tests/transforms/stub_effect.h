// Zentarix — MIT licence.
// A stand-in for an external effect class: it records the setter entries and values it is called with.
#pragma once
#include <cstddef>
#include <cstdint>

extern "C" {
// The calls since the last reset: entry, value, entry, value, ...
__attribute__((visibility("default"))) const int32_t* zx_stub_effect_calls(size_t* count);
__attribute__((visibility("default"))) void zx_stub_effect_reset();
}
