// Zentarix — MIT licence.
// The decode limits every fuzz target runs under. The defaults let a 64 kB input declare a quarter
// of a gigapixel, and decoding that under the sanitizers takes seconds: a campaign would spend its
// time filling huge canvases instead of trying inputs. Smaller limits keep every run quick; what
// the limits themselves refuse is the tests' business, and the checks that refuse a file run the
// same at any limit.
#pragma once
#include <cstdlib>

#include "zx/resource_limits.h"

namespace zx::fuzz {

inline constexpr ZX_GDIP_RESOURCE_LIMITS kFuzzLimits = {
    .maxPixels = ULONGLONG{1} << 20,          // 1024 x 1024
    .maxInputBytes = ULONGLONG{1} << 20,      // inputs are capped far below (tools/fuzz.sh -max_len)
    .maxDecodedBytes = ULONGLONG{64} << 20,
    .maxFrames = 256,
    .maxDirectories = 256,
    .maxScans = 64,
    .maxCodecAllocation = ULONGLONG{16} << 20,
};

// Sets kFuzzLimits for the process, once.
inline void use_fuzz_limits() {
  static const bool set = ZxGdipSetResourceLimits(&kFuzzLimits) == Gdiplus::Ok;
  if (!set) std::abort();
}

}  // namespace zx::fuzz
