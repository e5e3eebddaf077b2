// Zentarix GDI+ layer — MIT licence.
// Exact nearest palette entry by squared RGB distance, without a linear scan per colour.
#include "nearest_index.h"

#include <algorithm>
#include <limits>

namespace zx::gdip {
namespace {
int channel(uint32_t rgb, int shift) { return static_cast<int>((rgb >> shift) & 0xFF); }
int dist2(uint32_t rgb, int r, int g, int b) {
  int dr = channel(rgb, 16) - r, dg = channel(rgb, 8) - g, db = channel(rgb, 0) - b;
  return dr * dr + dg * dg + db * db;
}
}  // namespace

NearestIndex::NearestIndex(std::vector<uint32_t> rgb)
    : m_rgb(std::move(rgb)), m_cells(new std::atomic<const std::vector<uint16_t>*>[kCells * kCells * kCells]) {
  for (int i = 0; i < kCells * kCells * kCells; ++i) m_cells[i].store(nullptr, std::memory_order_relaxed);
}

const std::vector<uint16_t>& NearestIndex::cell(int index) const {
  if (const auto* built = m_cells[index].load(std::memory_order_acquire)) return *built;
  std::lock_guard guard(m_build);
  if (const auto* built = m_cells[index].load(std::memory_order_relaxed)) return *built;
  constexpr int span = 256 / kCells;
  const int lo[3] = {(index / (kCells * kCells)) * span, ((index / kCells) % kCells) * span, (index % kCells) * span};
  auto axis = [&](uint32_t rgb, int k, int shift, bool far) {
    int v = channel(rgb, shift), a = lo[k], b = lo[k] + span - 1;
    int d = far ? std::max(v - a, b - v) : (v < a ? a - v : v > b ? v - b : 0);
    return d * d;
  };
  int bestFar = std::numeric_limits<int>::max();
  for (uint32_t e : m_rgb) bestFar = std::min(bestFar, axis(e, 0, 16, true) + axis(e, 1, 8, true) + axis(e, 2, 0, true));
  auto list = std::make_unique<std::vector<uint16_t>>();
  for (size_t i = 0; i < m_rgb.size(); ++i) {
    uint32_t e = m_rgb[i];
    if (axis(e, 0, 16, false) + axis(e, 1, 8, false) + axis(e, 2, 0, false) <= bestFar)
      list->push_back(static_cast<uint16_t>(i));
  }
  const auto* published = list.get();
  m_store.push_back(std::move(list));
  m_cells[index].store(published, std::memory_order_release);
  return *published;
}

uint32_t NearestIndex::nearest(uint8_t r, uint8_t g, uint8_t b) const {
  if (m_rgb.empty()) return 0;
  constexpr int shift = 4;  // 256 / kCells == 16
  const auto& candidates = cell(((r >> shift) * kCells + (g >> shift)) * kCells + (b >> shift));
  uint32_t best = candidates.front();
  int bestD = std::numeric_limits<int>::max();
  for (uint16_t i : candidates) {
    int d = dist2(m_rgb[i], r, g, b);
    if (d < bestD) {
      bestD = d;
      best = i;
    }
  }
  return best;
}

}  // namespace zx::gdip
