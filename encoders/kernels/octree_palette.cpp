// Zentarix — MIT licence.
// Octree colour quantization (Gervautz-Purgathofer) with the reduction inside the pixel loop.
#include <array>
#include <new>

#include "colour_reduction.h"

namespace zx::encoding {

namespace {

constexpr int32_t kNone = -1;
constexpr unsigned kLevels = 9;  // root level 0 down to leaves at level 8

// Sums are 64-bit: a 32-bit sum overflows once about 16.8 million pixels of one bright channel
// meet in one node, which merges at the root would turn into a wrong colour.
struct Node {
  bool leaf = false;
  uint32_t count = 0;
  uint64_t r = 0, g = 0, b = 0;
  std::array<int32_t, 8> child{kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
  int32_t nextReducible = kNone;
};

class Octree {
 public:
  explicit Octree(unsigned colourBits) : m_bits(colourBits) {
    m_reducible.fill(kNone);
    m_root = make_node(0);
  }

  void add(uint8_t r, uint8_t g, uint8_t b) {
    int32_t node = m_root;
    for (unsigned level = 0;; ++level) {
      Node& n = m_nodes[size_t(node)];
      if (n.leaf) {
        n.count += 1;
        n.r += r;
        n.g += g;
        n.b += b;
        return;
      }
      const unsigned shift = 7 - level;
      const unsigned i = ((r >> shift) & 1u) * 4 + ((g >> shift) & 1u) * 2 + ((b >> shift) & 1u);
      int32_t c = n.child[i];
      if (c == kNone) {
        c = make_node(level + 1);  // may move m_nodes: re-index below
        m_nodes[size_t(node)].child[i] = c;
      }
      node = c;
    }
  }

  void reduce_to(unsigned maxColours) {
    while (m_leaves > maxColours) reduce_once();
  }

  void collect(std::vector<uint32_t>& out) const { collect(m_root, out); }

 private:
  int32_t make_node(unsigned level) {
    int32_t id;
    if (m_free != kNone) {
      id = m_free;
      m_free = m_nodes[size_t(id)].nextReducible;
      m_nodes[size_t(id)] = Node{};
    } else {
      id = int32_t(m_nodes.size());
      m_nodes.emplace_back();
    }
    Node& n = m_nodes[size_t(id)];
    if (level == m_bits) {
      n.leaf = true;
      ++m_leaves;
    } else {
      n.nextReducible = m_reducible[level];
      m_reducible[level] = id;
    }
    return id;
  }

  void reduce_once() {
    int level = int(m_bits) - 1;
    while (level > 0 && m_reducible[size_t(level)] == kNone) --level;
    const int32_t id = m_reducible[size_t(level)];
    if (id == kNone) return;  // a lone root leaf: nothing left to merge
    Node& n = m_nodes[size_t(id)];
    m_reducible[size_t(level)] = n.nextReducible;
    n.nextReducible = kNone;
    unsigned children = 0;
    for (int32_t& c : n.child) {
      if (c == kNone) continue;
      Node& k = m_nodes[size_t(c)];
      n.count += k.count;
      n.r += k.r;
      n.g += k.g;
      n.b += k.b;
      k.nextReducible = m_free;
      m_free = c;
      c = kNone;
      ++children;
    }
    n.leaf = true;
    m_leaves -= children - 1;
  }

  void collect(int32_t id, std::vector<uint32_t>& out) const {
    const Node& n = m_nodes[size_t(id)];
    if (n.leaf) {
      const uint64_t c = n.count ? n.count : 1;
      out.push_back(0xFF000000u | uint32_t(n.r / c) << 16 | uint32_t(n.g / c) << 8 | uint32_t(n.b / c));
      return;
    }
    for (int32_t c : n.child)
      if (c != kNone) collect(c, out);
  }

  unsigned m_bits;
  std::vector<Node> m_nodes;
  std::array<int32_t, kLevels> m_reducible{};
  int32_t m_root = kNone;
  int32_t m_free = kNone;
  unsigned m_leaves = 0;
};

// GDI+ composes a straight-alpha pixel over an opaque background with rounding to nearest.
inline uint8_t over_black(uint8_t c, uint8_t a) { return uint8_t((unsigned(c) * a + 127) / 255); }

}  // namespace

ReduceStatus octree_palette_argb32(ConstPixelView src, unsigned maxColours, unsigned colourBits,
                                   std::vector<uint32_t>& palette) {
  if (colourBits == 0 || colourBits > 8 || maxColours == 0) return ReduceStatus::GenericError;
  try {
    Octree tree(colourBits);
    for (int y = 0; y < src.height; ++y) {
      const uint8_t* p = src.row(y);
      for (int x = 0; x < src.width; ++x, p += 4) {
        const uint8_t a = p[3];
        if (a == 255)
          tree.add(p[2], p[1], p[0]);
        else
          tree.add(over_black(p[2], a), over_black(p[1], a), over_black(p[0], a));
        tree.reduce_to(maxColours);
      }
    }
    std::vector<uint32_t> out;
    tree.collect(out);
    palette.swap(out);
  } catch (const std::bad_alloc&) {
    return ReduceStatus::OutOfMemory;
  }
  return ReduceStatus::Ok;
}

}  // namespace zx::encoding
