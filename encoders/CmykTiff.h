// Zentarix — MIT licence.
// The uncompressed CMYK TIFF of the TIFF encoder, written by libtiff into memory.
#pragma once
#include <cstdint>
#include <vector>

#include "colour_reduction.h"

namespace zx::encoding {

// Writes `cmyk` (4 bytes per pixel: cyan, magenta, yellow, black, 255 = full ink) as a separated
// TIFF: 4 samples of 8 bits, contiguous, top-left orientation, no compression, one row per strip,
// InkSet CMYK, the resolutions as given and no ResolutionUnit (the format's default, inch).
// False when libtiff fails (`file` is then left empty); throws std::bad_alloc.
bool write_cmyk_tiff(ConstPixelView cmyk, float dpiX, float dpiY, std::vector<uint8_t>& file);

}  // namespace zx::encoding
