// Zentarix platform layer — MIT licence.
// The pixel allocator: mmap with MADV_HUGEPAGE for large blocks, a bounded cache of freed ones.
#include "zx/pixel_memory.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <new>
#include <utility>

namespace zx {
namespace {

// Every block starts with this header, padded to the alignment, so free needs no size argument.
constexpr size_t kAlign = 64;
constexpr size_t kHugePage = size_t{2} << 20;
constexpr uint32_t kMagicHeap = 0x5A58484Bu;  // "ZXHK"
constexpr uint32_t kMagicMap = 0x5A584D50u;   // "ZXMP"

struct alignas(kAlign) Header {
  size_t usable;   // bytes the caller may use
  size_t mapped;   // bytes of the mapping (map blocks), 0 for heap blocks
  uint32_t magic;
};
static_assert(sizeof(Header) == kAlign);

// The cache holds at most this many blocks and this many bytes; a block is reused for a request
// no larger than itself and not smaller than half of it, so a cached 80 MB block is not spent on a
// 1 MB request.
constexpr size_t kCacheSlots = 6;
constexpr size_t kCacheBytes = size_t{512} << 20;

struct Cache {
  std::mutex lock;
  Header* slots[kCacheSlots] = {};
  size_t bytes = 0;
};
Cache& cache() {
  static Cache* c = new Cache;  // never destroyed: blocks may be freed during static destruction
  return *c;
}

size_t round_up(size_t n, size_t a) { return (n + a - 1) / a * a; }

Header* take_cached(size_t usable) {
  Cache& c = cache();
  std::lock_guard<std::mutex> g(c.lock);
  int best = -1;
  for (size_t i = 0; i < kCacheSlots; ++i) {
    Header* h = c.slots[i];
    if (h && h->usable >= usable && h->usable / 2 <= usable &&
        (best < 0 || h->usable < c.slots[best]->usable))
      best = static_cast<int>(i);
  }
  if (best < 0) return nullptr;
  Header* h = c.slots[best];
  c.slots[best] = nullptr;
  c.bytes -= h->mapped;
  return h;
}

void unmap(Header* h) { munmap(h, h->mapped); }

void put_cached(Header* h) {
  Cache& c = cache();
  Header* evicted = nullptr;
  {
    std::lock_guard<std::mutex> g(c.lock);
    if (h->mapped <= kCacheBytes) {
      // Make room: evict the oldest-looking (first) slots until the block fits the byte budget.
      for (size_t i = 0; i < kCacheSlots && c.bytes + h->mapped > kCacheBytes; ++i) {
        if (c.slots[i]) {
          c.bytes -= c.slots[i]->mapped;
          Header* victim = c.slots[i];
          c.slots[i] = nullptr;
          unmap(victim);
        }
      }
      for (size_t i = 0; i < kCacheSlots; ++i) {
        if (!c.slots[i]) {
          c.slots[i] = h;
          c.bytes += h->mapped;
          return;
        }
      }
      // All slots full: replace the smallest, which is the least costly to fault in again.
      size_t smallest = 0;
      for (size_t i = 1; i < kCacheSlots; ++i)
        if (c.slots[i]->mapped < c.slots[smallest]->mapped) smallest = i;
      evicted = c.slots[smallest];
      c.bytes -= evicted->mapped;
      c.slots[smallest] = h;
      c.bytes += h->mapped;
    } else {
      evicted = h;
    }
  }
  if (evicted) unmap(evicted);
}

// The large blocks handed out and not yet freed, by start address, so that code about to give pixel
// memory to a C library can tell our memory (which no one unmaps under it) from a caller's.
struct LiveBlocks {
  std::mutex lock;
  std::map<uintptr_t, size_t> blocks;  // start of the usable bytes -> usable size
};
LiveBlocks& live() {
  static LiveBlocks* l = new LiveBlocks;  // never destroyed, like the cache
  return *l;
}

// A block that cannot be recorded is only ever treated as someone else's memory (copied).
void* handed_out(Header* h) {
  LiveBlocks& l = live();
  std::lock_guard<std::mutex> g(l.lock);
  try {
    l.blocks[reinterpret_cast<uintptr_t>(h + 1)] = h->usable;
  } catch (const std::bad_alloc&) {
  }
  return h + 1;
}

void taken_back(Header* h) {
  LiveBlocks& l = live();
  std::lock_guard<std::mutex> g(l.lock);
  l.blocks.erase(reinterpret_cast<uintptr_t>(h + 1));
}

thread_local PixelMemoryCounters t_counters;

void* allocate(size_t bytes, bool zero) {
  ++t_counters.requests;
  t_counters.largestRequest = std::max(t_counters.largestRequest, bytes);
  if (bytes > (SIZE_MAX / 2)) return nullptr;
  if (bytes < kLargeBlock) {
    void* p = std::aligned_alloc(kAlign, round_up(sizeof(Header) + bytes, kAlign));
    if (!p) return nullptr;
    auto* h = static_cast<Header*>(p);
    h->usable = bytes;
    h->mapped = 0;
    h->magic = kMagicHeap;
    if (zero) std::memset(h + 1, 0, bytes);
    return h + 1;
  }
  if (Header* h = take_cached(bytes)) {
    if (zero) std::memset(h + 1, 0, bytes);
    return handed_out(h);
  }
  size_t mapped = round_up(sizeof(Header) + bytes, kHugePage);
  void* p = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  madvise(p, mapped, MADV_HUGEPAGE);
  auto* h = static_cast<Header*>(p);
  h->usable = mapped - sizeof(Header);
  h->mapped = mapped;
  h->magic = kMagicMap;
  return handed_out(h);  // fresh anonymous mappings are already zero
}

}  // namespace

PixelMemoryCounters pixel_memory_counters() noexcept { return t_counters; }
void pixel_memory_reset_counters() noexcept { t_counters = {}; }

void* pixel_alloc(size_t bytes) noexcept { return allocate(bytes, false); }
void* pixel_alloc_zeroed(size_t bytes) noexcept { return allocate(bytes, true); }

void pixel_free(void* block) noexcept {
  if (!block) return;
  Header* h = static_cast<Header*>(block) - 1;
  if (h->magic == kMagicHeap) {
    h->magic = 0;
    std::free(h);
  } else if (h->magic == kMagicMap) {
    taken_back(h);
    put_cached(h);
  } else {
    std::abort();  // not a pixel block: freeing it would corrupt memory
  }
}

size_t pixel_block_size(const void* block) noexcept {
  return block ? (static_cast<const Header*>(block) - 1)->usable : 0;
}

bool pixel_memory_holds(const void* start, size_t bytes) noexcept {
  const auto at = reinterpret_cast<uintptr_t>(start);
  LiveBlocks& l = live();
  std::lock_guard<std::mutex> g(l.lock);
  auto next = l.blocks.upper_bound(at);
  if (next == l.blocks.begin()) return false;
  const auto& [block, usable] = *std::prev(next);
  return at - block <= usable && bytes <= usable - (at - block);
}

void pixel_cache_trim() noexcept {
  Cache& c = cache();
  Header* victims[kCacheSlots] = {};
  {
    std::lock_guard<std::mutex> g(c.lock);
    for (size_t i = 0; i < kCacheSlots; ++i) victims[i] = std::exchange(c.slots[i], nullptr);
    c.bytes = 0;
  }
  for (Header* h : victims)
    if (h) unmap(h);
}

}  // namespace zx
