// Zentarix GDI+ layer — MIT licence.
// Exact nearest palette entry by squared RGB distance, without a linear scan per colour.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace zx::gdip {

// The colour cube is cut into 16x16x16 cells; each cell keeps, built on first use, the entries that
// can be nearest to some colour inside it (an entry whose least distance to the cell exceeds the
// smallest greatest distance of any entry can never win). Lookups scan only those few candidates,
// in palette order, so ties go to the lowest index exactly as a full scan would. Thread-safe.
class NearestIndex {
 public:
  // entries: 0x00RRGGBB (alpha ignored).
  explicit NearestIndex(std::vector<uint32_t> rgb);
  uint32_t nearest(uint8_t r, uint8_t g, uint8_t b) const;
  size_t size() const { return m_rgb.size(); }

 private:
  static constexpr int kCells = 16;
  const std::vector<uint16_t>& cell(int index) const;
  std::vector<uint32_t> m_rgb;
  mutable std::unique_ptr<std::atomic<const std::vector<uint16_t>*>[]> m_cells;
  mutable std::vector<std::unique_ptr<std::vector<uint16_t>>> m_store;
  mutable std::mutex m_build;
};

}  // namespace zx::gdip
