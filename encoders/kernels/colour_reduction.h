// Zentarix — MIT licence.
// Colour reduction kernels: 32 bpp ARGB to 1 bpp black and white, and to 8 bpp through a palette.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zx::encoding {

// Pixels in memory order B, G, R, A (GDI+ 32 bpp ARGB), read only.
struct ConstPixelView {
  const uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t stride = 0;
  const uint8_t* row(int y) const { return data + y * stride; }
};

// A destination: 1 bpp (packed, most significant bit first) or 8 bpp indices.
struct PixelView {
  uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t stride = 0;
  uint8_t* row(int y) const { return data + y * stride; }
};

// The numeric values are the GDI+ statuses the encoders hand on (Ok, GenericError,
// InvalidParameter, OutOfMemory), so the glue converts by value.
enum class ReduceStatus : int { Ok = 0, GenericError = 1, InvalidParameter = 2, OutOfMemory = 3 };

enum class DitherMode : int { Threshold = 0, Ordered = 1, ErrorDiffusion = 2 };
enum class PaletteType : int { Octree = 0, Halftone = 1 };

// 0.299 r + 0.587 g + 0.114 b in double, clamped to 0..255 and truncated. Grey 128 gives 127:
// the sum is 127.99999999999999 in double precision.
uint8_t luminance(uint8_t r, uint8_t g, uint8_t b);

// The 4 x 4 Bayer matrix times 16, indexed by (x mod 4) * 4 + (y mod 4): the column picks the row
// of the table.
extern const uint8_t kOrderedMatrix[16];
inline uint8_t ordered_value(int x, int y) { return kOrderedMatrix[(x & 3) * 4 + (y & 3)]; }

// Bytes per row of a 1 bpp image whose rows are padded to alignBits (32 for GDI+ bitmaps, 8 for
// WBMP).
size_t bilevel_row_bytes(int width, int alignBits);

// Writes src as 1 bpp into dst (same width and height; dst.stride from bilevel_row_bytes). Every
// byte of every destination row, padding included, is first set to 0x00 (or 0xFF when inverted).
// A "white" pixel then sets its bit (clears it when inverted), so palette {black, white} shows it
// white (black when inverted). Threshold: white when luminance >= threshold. Ordered: white when
// luminance >= the matrix value; threshold unused. ErrorDiffusion: Floyd-Steinberg with integer
// errors, white when the corrected value >= threshold.
// Returns InvalidParameter for another mode or mismatched views, OutOfMemory when the error rows
// cannot be allocated (dst then untouched).
ReduceStatus binarize_argb32(ConstPixelView src, PixelView dst, int threshold, DitherMode mode, bool inverted);

// Gervautz-Purgathofer octree palette of src composited over opaque black, rows top to bottom,
// reduced after every pixel while it has more than maxColours leaves. Entries are 0xFF000000 | rgb
// in depth-first leaf order. colourBits above 8 (or 0) gives no palette: returns GenericError.
// OutOfMemory when the tree cannot be grown.
ReduceStatus octree_palette_argb32(ConstPixelView src, unsigned maxColours, unsigned colourBits,
                                   std::vector<uint32_t>& palette);

// The palette size a conversion uses for a requested count: 256 for halftone or above 256, 2
// below 2.
unsigned indexed_colour_count(long requested, PaletteType type);

// Maps src to 8 bpp indices into `palette` (entries 0xAARRGGBB; the nearest colour is searched
// among the first `searchCount` entries only, the ones the palette source actually made). When
// `transparent`, an entry chosen for a pixel whose alpha is below 2 gets alpha 0 in `palette`.
// Colours are looked up from the raw pixel values, not composited.
ReduceStatus map_to_palette_argb32(ConstPixelView src, PixelView dst, std::span<uint32_t> palette,
                                   size_t searchCount, DitherMode mode, bool transparent);

// The whole palette conversion: count rule, palette (octree from the composited image, or the
// given 256-entry halftone palette), record of N entries (octree entries past its leaves are opaque
// black), flags (1 has alpha when transparent, +4 halftone), then the mapping. dst is 8 bpp, same
// size. Nothing in `palette`/`flags` is written on failure.
ReduceStatus convert_to_indexed_argb32(ConstPixelView src, PixelView dst, long colours, DitherMode mode,
                                       bool transparent, PaletteType type, std::span<const uint32_t> halftone,
                                       std::vector<uint32_t>& palette, uint32_t& flags);

}  // namespace zx::encoding
