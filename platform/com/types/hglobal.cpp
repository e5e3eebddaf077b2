// Zentarix — MIT licence.
// HGLOBAL memory: fixed blocks (the handle is the pointer) and moveable blocks behind a handle.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

#include "objbase.h"
#include "winbase.h"

namespace {

// A moveable block: GlobalLock answers `data`, which may move on GlobalReAlloc while unlocked.
struct Moveable {
  void* data = nullptr;
  SIZE_T size = 0;
  std::atomic<DWORD> locks{0};
};

// A fixed block carries its size in front of the pointer the caller receives.
struct alignas(16) FixedHeader {
  SIZE_T size;
};

// Moveable handles are told from fixed pointers by this set, so a fixed pointer is never read
// as a handle and a stale handle is refused rather than followed.
std::mutex g_mutex;
std::unordered_set<const void*>& moveables() {
  static std::unordered_set<const void*> set;
  return set;
}

Moveable* as_moveable(HGLOBAL h) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return moveables().count(h) ? static_cast<Moveable*>(h) : nullptr;
}

FixedHeader* header_of(HGLOBAL h) { return static_cast<FixedHeader*>(h) - 1; }

}  // namespace

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  if (uFlags & ~(GMEM_MOVEABLE | GMEM_ZEROINIT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const bool zero = (uFlags & GMEM_ZEROINIT) != 0;
  if (uFlags & GMEM_MOVEABLE) {
    auto* m = new (std::nothrow) Moveable();
    if (!m) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    m->data = zero ? std::calloc(1, dwBytes ? dwBytes : 1) : std::malloc(dwBytes ? dwBytes : 1);
    if (!m->data) {
      delete m;
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    m->size = dwBytes;
    try {
      std::lock_guard<std::mutex> lock(g_mutex);
      moveables().insert(m);
    } catch (const std::bad_alloc&) {
      std::free(m->data);
      delete m;
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    return m;
  }
  if (dwBytes > SIZE_MAX - sizeof(FixedHeader)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  void* block = zero ? std::calloc(1, sizeof(FixedHeader) + dwBytes) : std::malloc(sizeof(FixedHeader) + dwBytes);
  if (!block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto* h = static_cast<FixedHeader*>(block);
  h->size = dwBytes;
  return h + 1;
}

// A moveable block keeps its handle; a fixed block may move, and its new address is returned.
HGLOBAL GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags) {
  if (!hMem) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const bool zero = (uFlags & GMEM_ZEROINIT) != 0;
  if (Moveable* m = as_moveable(hMem)) {
    void* data = std::realloc(m->data, dwBytes ? dwBytes : 1);
    if (!data) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    if (zero && dwBytes > m->size) std::memset(static_cast<char*>(data) + m->size, 0, dwBytes - m->size);
    m->data = data;
    m->size = dwBytes;
    return m;
  }
  FixedHeader* h = header_of(hMem);
  const SIZE_T old = h->size;
  auto* moved = static_cast<FixedHeader*>(std::realloc(h, sizeof(FixedHeader) + dwBytes));
  if (!moved) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (zero && dwBytes > old) std::memset(reinterpret_cast<char*>(moved + 1) + old, 0, dwBytes - old);
  moved->size = dwBytes;
  return moved + 1;
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
  if (!hMem) return nullptr;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (moveables().erase(hMem)) {
      auto* m = static_cast<Moveable*>(hMem);
      std::free(m->data);
      delete m;
      return nullptr;
    }
  }
  std::free(header_of(hMem));
  return nullptr;
}

LPVOID GlobalLock(HGLOBAL hMem) {
  if (!hMem) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (Moveable* m = as_moveable(hMem)) {
    m->locks.fetch_add(1);
    return m->data;
  }
  return hMem;
}

BOOL GlobalUnlock(HGLOBAL hMem) {
  Moveable* m = as_moveable(hMem);
  if (!m) return FALSE;  // fixed blocks are never locked
  DWORD n = m->locks.load();
  while (n > 0 && !m->locks.compare_exchange_weak(n, n - 1)) {
  }
  if (n == 0) {
    SetLastError(ERROR_NOT_LOCKED);
    return FALSE;
  }
  if (n == 1) {
    SetLastError(ERROR_SUCCESS);
    return FALSE;
  }
  return TRUE;
}

SIZE_T GlobalSize(HGLOBAL hMem) {
  if (!hMem) return 0;
  if (Moveable* m = as_moveable(hMem)) return m->size;
  return header_of(hMem)->size;
}
