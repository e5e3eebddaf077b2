// Zentarix GDI+ layer — MIT licence.
// Exact nearest-palette-entry search, fast enough to map whole images through a palette.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include <wtypes.h>

namespace zx::gdip {

// Answers "which palette entry is nearest to this colour" by squared RGB distance, exactly as a
// linear scan would (ties go to the lowest index), without scanning the palette per pixel.
//
// The RGB cube is cut into 32 x 32 x 32 cells of 8 x 8 x 8 colours. The first query that lands in
// a cell computes that cell's candidate list: every entry whose nearest possible distance to the
// cell is not beyond the smallest farthest distance of any entry. The true nearest entry is always
// among them. Each list is sorted by that nearest possible distance, so a lookup stops as soon as
// no remaining candidate can beat (or tie with) the best found so far.
//
// Queries fill the cache, so an instance must not be shared between threads without a lock.
class ZX_API PaletteIndexer {
 public:
  // entries: ARGB values (alpha is ignored); at most 65535 entries are honoured.
  explicit PaletteIndexer(std::span<const uint32_t> entries);

  // The index of the nearest entry, or -1 when the palette is empty.
  int nearest(uint8_t r, uint8_t g, uint8_t b) const;
  int nearest_argb(uint32_t argb) const { return nearest(uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb)); }

  size_t size() const { return m_r.size(); }

 private:
  static constexpr uint32_t kUnbuilt = 0xFFFFFFFFu;
  struct Cell {
    uint32_t offset = kUnbuilt;  // into m_pool
    uint32_t count = 0;
  };
  // A candidate carries its colour so a lookup touches one contiguous run of memory.
  struct Candidate {
    int32_t nearDist;  // least squared distance from the entry to any colour of the cell
    uint16_t index;
    uint8_t r, g, b;
  };
  void build_cell(size_t cell) const;

  std::vector<int32_t> m_r, m_g, m_b;
  mutable std::vector<Cell> m_cells;
  mutable std::vector<Candidate> m_pool;
  mutable uint32_t m_lastKey = 0xFFFFFFFFu;  // the previous query, repeated often in real images
  mutable int m_lastIndex = -1;
};

}  // namespace zx::gdip
