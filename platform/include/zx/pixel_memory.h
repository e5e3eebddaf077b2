// Zentarix platform layer — MIT licence.
// One allocator for bitmap pixels and pixel arrays: huge pages and a bounded cache for large blocks.
#pragma once
#include <cstddef>

#include "../wtypes.h"

namespace zx {

// Memory for pixels. Blocks of at least kLargeBlock bytes are mapped with transparent huge pages
// requested, and when freed are kept in a small bounded cache for reuse: the first touch of fresh
// pages costs about 3 ms per MB on these machines, more than any kernel that runs over them, so a
// host that processes image after image should not pay it every time. Smaller blocks come from the
// C heap. Blocks are 64-byte aligned. Thread-safe. pixel_alloc returns null when memory is exhausted.
ZX_API void* pixel_alloc(size_t bytes) noexcept;
// Same, with the block's bytes set to zero (cached blocks are cleared, fresh mappings already are).
ZX_API void* pixel_alloc_zeroed(size_t bytes) noexcept;
ZX_API void pixel_free(void* block) noexcept;
// The usable size of a block from pixel_alloc.
ZX_API size_t pixel_block_size(const void* block) noexcept;
// True when the `bytes` bytes at `start` lie inside one large block (kLargeBlock or more) handed
// out here and not yet freed: memory that is ours, which no caller can unmap or protect under us.
// Memory that is not (a caller's rows, a small block) is copied before a C library reads it,
// because a fault inside such a library cannot be turned into a failed call.
ZX_API bool pixel_memory_holds(const void* start, size_t bytes) noexcept;
// What the calling thread has asked of pixel_alloc since its last reset, granted or not: proof for
// tests and hosts that a refused decode asked for nothing of the size its header declared.
struct PixelMemoryCounters {
  size_t requests = 0;
  size_t largestRequest = 0;  // bytes
};
ZX_API PixelMemoryCounters pixel_memory_counters() noexcept;
ZX_API void pixel_memory_reset_counters() noexcept;
// Releases every cached block to the system (tests, and hosts that want their memory back).
ZX_API void pixel_cache_trim() noexcept;

inline constexpr size_t kLargeBlock = size_t{1} << 20;

}  // namespace zx
