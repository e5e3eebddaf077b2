// Zentarix — MIT licence.
// The module's lock count: live objects plus LockServer locks.
#include <atomic>

#include "ComObject.h"

namespace zx::server {
namespace {
std::atomic<LONG> g_lock_count{0};
}  // namespace

void lock_module() noexcept { ++g_lock_count; }
void unlock_module() noexcept { --g_lock_count; }
LONG module_lock_count() noexcept { return g_lock_count; }

}  // namespace zx::server
