// Zentarix — MIT licence.
// 32 bpp ARGB to 8 bpp indices: palette choice and nearest-entry mapping with three dither modes.
#include <algorithm>
#include <new>

#include "colour_reduction.h"
#include "zx/palette_indexer.h"

namespace zx::encoding {

namespace {

inline uint8_t clamp8(int v) { return uint8_t(std::clamp(v, 0, 255)); }

}  // namespace

unsigned indexed_colour_count(long requested, PaletteType type) {
  if (requested > 256 || type == PaletteType::Halftone) return 256;
  if (requested < 2) return 2;
  return unsigned(requested);
}

ReduceStatus map_to_palette_argb32(ConstPixelView src, PixelView dst, std::span<uint32_t> palette,
                                   size_t searchCount, DitherMode mode, bool transparent) {
  if (src.width != dst.width || src.height != dst.height || src.width < 0 || src.height < 0)
    return ReduceStatus::InvalidParameter;
  if (mode != DitherMode::Threshold && mode != DitherMode::Ordered && mode != DitherMode::ErrorDiffusion)
    return ReduceStatus::InvalidParameter;
  searchCount = std::min(searchCount, palette.size());
  if (searchCount == 0 || searchCount > 256) return ReduceStatus::GenericError;

  try {
    const zx::gdip::PaletteIndexer indexer(palette.first(searchCount));
    // Three error channels per column (r, g, b), current and next row, one spare column.
    std::vector<int> current, next;
    if (mode == DitherMode::ErrorDiffusion) {
      current.assign((size_t(src.width) + 1) * 3, 0);
      next.assign((size_t(src.width) + 1) * 3, 0);
    }
    const int w = src.width;
    for (int y = 0; y < src.height; ++y) {
      const uint8_t* s = src.row(y);
      uint8_t* d = dst.row(y);
      for (int x = 0; x < w; ++x, s += 4) {
        int index;
        switch (mode) {
          case DitherMode::Threshold:
            index = indexer.nearest(s[2], s[1], s[0]);
            break;
          case DitherMode::Ordered: {
            const int offset = ordered_value(x, y) / 4 - 32;
            index = indexer.nearest(clamp8(s[2] + offset), clamp8(s[1] + offset), clamp8(s[0] + offset));
            break;
          }
          default: {  // ErrorDiffusion
            int* cur = &current[size_t(x) * 3];
            const int vr = s[2] + cur[0], vg = s[1] + cur[1], vb = s[0] + cur[2];
            index = indexer.nearest(clamp8(vr), clamp8(vg), clamp8(vb));
            const uint32_t e = palette[size_t(index)];
            // The error is taken from the unclamped value, so it can carry beyond 0..255.
            const int err[3] = {vr - int((e >> 16) & 0xFF), vg - int((e >> 8) & 0xFF), vb - int(e & 0xFF)};
            for (int c = 0; c < 3; ++c) {
              next[size_t(x) * 3 + size_t(c)] += (5 * err[c]) / 16;
              if (x > 0) next[size_t(x - 1) * 3 + size_t(c)] += (3 * err[c]) / 16;
              if (x + 1 < w) {
                current[size_t(x + 1) * 3 + size_t(c)] += (7 * err[c]) / 16;
                next[size_t(x + 1) * 3 + size_t(c)] += err[c] / 16;
              }
            }
            break;
          }
        }
        d[x] = uint8_t(index);
        if (transparent && s[3] < 2) palette[size_t(index)] &= 0x00FFFFFFu;
      }
      if (mode == DitherMode::ErrorDiffusion) {
        current.swap(next);
        std::fill(next.begin(), next.end(), 0);
      }
    }
  } catch (const std::bad_alloc&) {
    return ReduceStatus::OutOfMemory;
  }
  return ReduceStatus::Ok;
}

ReduceStatus convert_to_indexed_argb32(ConstPixelView src, PixelView dst, long colours, DitherMode mode,
                                       bool transparent, PaletteType type, std::span<const uint32_t> halftone,
                                       std::vector<uint32_t>& palette, uint32_t& flags) {
  if (mode != DitherMode::Threshold && mode != DitherMode::Ordered && mode != DitherMode::ErrorDiffusion)
    return ReduceStatus::InvalidParameter;
  const unsigned n = indexed_colour_count(colours, type);
  uint32_t newFlags = transparent ? 1u : 0u;
  try {
    std::vector<uint32_t> made;
    switch (type) {
      case PaletteType::Octree: {
        const ReduceStatus st = octree_palette_argb32(src, n, 8, made);
        if (st == ReduceStatus::OutOfMemory) return st;
        break;  // no palette (an empty image) is reported below as an unreadable palette
      }
      case PaletteType::Halftone:
        made.assign(halftone.begin(), halftone.end());
        newFlags |= 4u;
        break;
      default:
        return ReduceStatus::InvalidParameter;
    }
    if (made.empty()) return ReduceStatus::GenericError;
    // Entries the palette source did not fill stay opaque black; the mapping never picks them.
    std::vector<uint32_t> record(n, 0xFF000000u);
    const size_t used = std::min<size_t>(made.size(), n);
    for (size_t i = 0; i < used; ++i) record[i] = 0xFF000000u | (made[i] & 0x00FFFFFFu);
    const ReduceStatus st = map_to_palette_argb32(src, dst, record, used, mode, transparent);
    if (st != ReduceStatus::Ok) return st;
    palette.swap(record);
    flags = newFlags;
  } catch (const std::bad_alloc&) {
    return ReduceStatus::OutOfMemory;
  }
  return ReduceStatus::Ok;
}

}  // namespace zx::encoding
