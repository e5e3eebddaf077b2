// Zentarix GDI+ layer — MIT licence.
// The one boundary idiom of the flat API: no exception leaves a Gdip function.
#pragma once
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

}  // namespace zx::gdip
