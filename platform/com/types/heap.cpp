// Zentarix — MIT licence.
// Private heaps: every block is tracked by its heap, which enforces its maximum and frees all on destroy.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

#include "winbase.h"

namespace {

constexpr uint64_t kHeapMagic = 0x5A58484541505F31ull;  // identifies a live heap handle

// Each block is linked into its heap, so HeapDestroy can free what callers never freed, and
// carries the size asked for (HeapSize) and its owner (a block handed to the wrong heap is refused).
struct alignas(16) BlockHeader {
  struct Heap* owner;
  BlockHeader* prev;
  BlockHeader* next;
  SIZE_T size;
};

struct Heap {
  uint64_t magic = kHeapMagic;
  std::mutex mutex;
  SIZE_T maximum = 0;  // 0: growable
  SIZE_T used = 0;     // bytes held by live blocks, headers included
  BlockHeader* blocks = nullptr;
};

Heap* heap_of(HANDLE h) {
  auto* heap = static_cast<Heap*>(h);
  return heap && heap->magic == kHeapMagic ? heap : nullptr;
}

BlockHeader* header_of(Heap* heap, LPCVOID p) {
  auto* b = const_cast<BlockHeader*>(static_cast<const BlockHeader*>(p) - 1);
  return b->owner == heap ? b : nullptr;
}

bool fits(const Heap* heap, SIZE_T add) {
  return heap->maximum == 0 || (add <= heap->maximum && heap->used <= heap->maximum - add);
}

void link(Heap* heap, BlockHeader* b) {
  b->prev = nullptr;
  b->next = heap->blocks;
  if (heap->blocks) heap->blocks->prev = b;
  heap->blocks = b;
}

void unlink(Heap* heap, BlockHeader* b) {
  if (b->prev) b->prev->next = b->next;
  else heap->blocks = b->next;
  if (b->next) b->next->prev = b->prev;
}

LPVOID fail() {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

}  // namespace

HANDLE HeapCreate(DWORD flOptions, SIZE_T dwInitialSize, SIZE_T dwMaximumSize) {
  (void)flOptions;
  if (dwMaximumSize != 0 && dwInitialSize > dwMaximumSize) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* heap = new (std::nothrow) Heap();
  if (!heap) return fail();
  heap->maximum = dwMaximumSize;
  return heap;
}

BOOL HeapDestroy(HANDLE hHeap) {
  Heap* heap = heap_of(hHeap);
  if (!heap) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  for (BlockHeader* b = heap->blocks; b;) {
    BlockHeader* next = b->next;
    std::free(b);
    b = next;
  }
  heap->magic = 0;
  delete heap;
  return TRUE;
}

LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
  Heap* heap = heap_of(hHeap);
  if (!heap) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (dwBytes > SIZE_MAX / 2) return fail();
  const SIZE_T total = sizeof(BlockHeader) + dwBytes;
  std::lock_guard<std::mutex> lock(heap->mutex);
  if (!fits(heap, total)) return fail();
  auto* b = static_cast<BlockHeader*>((dwFlags & HEAP_ZERO_MEMORY) ? std::calloc(1, total) : std::malloc(total));
  if (!b) return fail();
  b->owner = heap;
  b->size = dwBytes;
  link(heap, b);
  heap->used += total;
  return b + 1;
}

LPVOID HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes) {
  Heap* heap = heap_of(hHeap);
  if (!heap || !lpMem) {
    SetLastError(heap ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (dwBytes > SIZE_MAX / 2) return fail();
  std::lock_guard<std::mutex> lock(heap->mutex);
  BlockHeader* b = header_of(heap, lpMem);
  if (!b) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const SIZE_T old = b->size;
  if (dwBytes > old && !fits(heap, dwBytes - old)) return fail();
  if (dwFlags & HEAP_REALLOC_IN_PLACE_ONLY) {
    // Shrinking always stays in place; growing in place is not something malloc can promise.
    if (dwBytes > old) return fail();
    heap->used -= old - dwBytes;
    b->size = dwBytes;
    return lpMem;
  }
  unlink(heap, b);
  auto* moved = static_cast<BlockHeader*>(std::realloc(b, sizeof(BlockHeader) + dwBytes));
  if (!moved) {
    link(heap, b);
    return fail();
  }
  link(heap, moved);
  if ((dwFlags & HEAP_ZERO_MEMORY) && dwBytes > old) std::memset(reinterpret_cast<char*>(moved + 1) + old, 0, dwBytes - old);
  heap->used = heap->used - old + dwBytes;
  moved->size = dwBytes;
  return moved + 1;
}

BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) {
  (void)dwFlags;
  Heap* heap = heap_of(hHeap);
  if (!heap) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!lpMem) return TRUE;
  std::lock_guard<std::mutex> lock(heap->mutex);
  BlockHeader* b = header_of(heap, lpMem);
  if (!b) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  unlink(heap, b);
  heap->used -= sizeof(BlockHeader) + b->size;
  b->owner = nullptr;
  std::free(b);
  return TRUE;
}

SIZE_T HeapSize(HANDLE hHeap, DWORD dwFlags, LPCVOID lpMem) {
  (void)dwFlags;
  Heap* heap = heap_of(hHeap);
  if (!heap || !lpMem) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<SIZE_T>(-1);
  }
  std::lock_guard<std::mutex> lock(heap->mutex);
  BlockHeader* b = header_of(heap, lpMem);
  if (!b) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<SIZE_T>(-1);
  }
  return b->size;
}
