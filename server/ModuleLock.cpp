// Zentarix — MIT licence.
// The module's lock count: live objects plus LockServer locks.
#include <atomic>

#include "ComObject.h"

namespace zx::server {
namespace {
std::atomic<LONG> g_objects{0};
// Apart from the objects and never below zero: a client's extra LockServer(FALSE) must neither keep
// the module loaded for ever nor hide a live object.
std::atomic<LONG> g_server_locks{0};
}  // namespace

void lock_module() noexcept { ++g_objects; }
void unlock_module() noexcept { --g_objects; }
void lock_server(bool lock) noexcept {
  if (lock) {
    ++g_server_locks;
    return;
  }
  LONG held = g_server_locks.load();
  while (held > 0 && !g_server_locks.compare_exchange_weak(held, held - 1)) {
  }
}
LONG module_lock_count() noexcept { return g_objects + g_server_locks; }

}  // namespace zx::server
