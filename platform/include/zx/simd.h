// Zentarix platform layer — MIT licence.
// Functions built for AVX2 and for any x86-64, one of them chosen when the library loads.
#pragma once

// The choice is an ifunc, resolved while the dynamic loader relocates the library. A fuzz build
// instruments everything for coverage and the sanitizers, whose runtime is not ready that early,
// so a resolver would crash the process before main: that build targets AVX2 throughout instead.
// The ThreadSanitizer build (tools/tsan.sh) instruments the resolver the same way and runs the
// plain version.
#if defined(ZX_FUZZ_BUILD) || defined(__SANITIZE_THREAD__)
#define ZX_TARGET_CLONES
#else
#define ZX_TARGET_CLONES __attribute__((target_clones("avx2", "default")))
#endif
