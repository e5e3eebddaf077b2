// Zentarix GDI+ layer — MIT licence.
// The boundary idioms of the flat API: no exception leaves a Gdip function, no fault ends the process.
#pragma once
#include <zx/fault.h>

#include <new>

#include "gdiplus.h"

namespace zx::gdip {

template <class F>
Gdiplus::Status guarded(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return Gdiplus::OutOfMemory;
  } catch (...) {
    return Gdiplus::GenericError;
  }
}

// Runs pixel loops over memory callers hand in (a bitmap made over their rows, a DC's bits) with
// machine faults turned into GenericError. The thread's own translator is put back afterwards, so
// a caller that guards its own pixel code keeps its translation. Hazard: nothing body calls may be
// noexcept, or a translated fault cannot unwind out of it.
class FaultScope {
 public:
  FaultScope();
  ~FaultScope();
  FaultScope(const FaultScope&) = delete;
  FaultScope& operator=(const FaultScope&) = delete;

 private:
  _se_translator_function m_previous;
  zx::FaultGuard m_guard;
};
struct PixelFault {};

template <class F>
Gdiplus::Status fault_guarded(F&& body) {
  try {
    FaultScope scope;
    return body();
  } catch (const PixelFault&) {
    return Gdiplus::GenericError;
  }
}

}  // namespace zx::gdip
