// Zentarix — MIT licence.
// The module's start and stop, its class objects, and DllGetClassObject / DllCanUnloadNow.
#include <array>

#include "ModuleFrame.h"
#include "TextHeap.h"

namespace zx::server {
namespace {

ClassObjects& class_objects() {
  static std::array<IClassFactory*, 35> slots{};
  static ClassObjects objects(class_table(), slots);
  return objects;
}

void module_start() noexcept;
void module_stop() noexcept;

__attribute__((constructor)) void on_load() { module_start(); }
__attribute__((destructor)) void on_unload() { module_stop(); }

void module_start() noexcept {
  // The text heap may be absent; what needs it then fails with E_OUTOFMEMORY. Loading succeeds.
  start_text_heap();
}

void module_stop() noexcept {
  class_objects().release_all();
  stop_text_heap();
}

}  // namespace
}  // namespace zx::server

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return zx::server::class_objects().get(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return zx::server::module_lock_count() == 0 ? S_OK : S_FALSE; }
