// Zentarix GDI+ layer — MIT licence.
// Nearest-palette-entry search over lazily built 32 x 32 x 32 cell candidate lists.
#include "zx/palette_indexer.h"

#include <algorithm>
#include <limits>

namespace zx::gdip {

namespace {

constexpr int kCellShift = 3;  // 8 colour values per cell side
constexpr int kCellSide = 1 << kCellShift;
constexpr int kCellsPerAxis = 256 / kCellSide;

// Squared distance from c to the nearest and the farthest point of [lo, lo + side - 1].
inline int32_t axis_min(int32_t c, int32_t lo) {
  const int32_t hi = lo + kCellSide - 1;
  const int32_t d = c < lo ? lo - c : (c > hi ? c - hi : 0);
  return d * d;
}
inline int32_t axis_max(int32_t c, int32_t lo) {
  const int32_t hi = lo + kCellSide - 1;
  const int32_t d = std::max(c - lo, hi - c);
  return d * d;
}

}  // namespace

PaletteIndexer::PaletteIndexer(std::span<const uint32_t> entries) {
  const size_t n = std::min<size_t>(entries.size(), 0xFFFF);
  m_r.resize(n);
  m_g.resize(n);
  m_b.resize(n);
  for (size_t i = 0; i < n; ++i) {
    m_r[i] = (entries[i] >> 16) & 0xFF;
    m_g[i] = (entries[i] >> 8) & 0xFF;
    m_b[i] = entries[i] & 0xFF;
  }
  if (n != 0) m_cells.resize(size_t(kCellsPerAxis) * kCellsPerAxis * kCellsPerAxis);
}

void PaletteIndexer::build_cell(size_t cell) const {
  const int32_t r0 = int32_t(cell >> (2 * 5)) << kCellShift;
  const int32_t g0 = int32_t((cell >> 5) & 31) << kCellShift;
  const int32_t b0 = int32_t(cell & 31) << kCellShift;
  const size_t n = m_r.size();

  // Any colour in the cell is at most `bound` away from some entry, so an entry that cannot come
  // closer than `bound` to any point of the cell never wins. Equality must stay in: a tie at the
  // bound may be the lowest-index answer.
  int32_t bound = std::numeric_limits<int32_t>::max();
  for (size_t i = 0; i < n; ++i) {
    const int32_t far = axis_max(m_r[i], r0) + axis_max(m_g[i], g0) + axis_max(m_b[i], b0);
    bound = std::min(bound, far);
  }
  Cell& c = m_cells[cell];
  c.offset = uint32_t(m_pool.size());
  for (size_t i = 0; i < n; ++i) {
    const int32_t near = axis_min(m_r[i], r0) + axis_min(m_g[i], g0) + axis_min(m_b[i], b0);
    if (near <= bound) m_pool.push_back(Candidate{near, uint16_t(i), uint8_t(m_r[i]), uint8_t(m_g[i]), uint8_t(m_b[i])});
  }
  c.count = uint32_t(m_pool.size()) - c.offset;
  // Stable: equal distances stay in index order.
  std::stable_sort(m_pool.begin() + c.offset, m_pool.end(),
                   [](const Candidate& a, const Candidate& b) { return a.nearDist < b.nearDist; });
}

int PaletteIndexer::nearest(uint8_t r, uint8_t g, uint8_t b) const {
  if (m_r.empty()) return -1;
  const uint32_t key = uint32_t(r) << 16 | uint32_t(g) << 8 | b;
  if (key == m_lastKey) return m_lastIndex;
  const size_t cell = (size_t(r >> kCellShift) << 10) | (size_t(g >> kCellShift) << 5) | size_t(b >> kCellShift);
  if (m_cells[cell].offset == kUnbuilt) build_cell(cell);
  const Cell& c = m_cells[cell];
  const Candidate* cand = m_pool.data() + c.offset;
  int best = cand[0].index;
  int32_t bestDist = std::numeric_limits<int32_t>::max();
  for (uint32_t k = 0; k < c.count; ++k) {
    const Candidate& e = cand[k];
    if (e.nearDist > bestDist) break;  // neither this nor any later candidate can beat or tie
    const int32_t dr = int32_t(e.r) - r, dg = int32_t(e.g) - g, db = int32_t(e.b) - b;
    const int32_t d = dr * dr + dg * dg + db * db;
    if (d < bestDist || (d == bestDist && e.index < best)) {
      bestDist = d;
      best = e.index;
    }
  }
  m_lastKey = key;
  m_lastIndex = best;
  return best;
}

}  // namespace zx::gdip
