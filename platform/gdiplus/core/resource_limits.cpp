// Zentarix GDI+ layer — MIT licence.
// The process's resource limits on decoding, read once by each decode as it starts.
#include "zx/resource_limits.h"

#include <mutex>

#include "codec.h"

using namespace Gdiplus;

namespace zx::gdip {
namespace {

struct Current {
  std::mutex lock;
  ZX_GDIP_RESOURCE_LIMITS limits = kDefaultResourceLimits;
};
Current& current() {
  static Current c;
  return c;
}

bool complete(const ZX_GDIP_RESOURCE_LIMITS& l) {
  return l.maxPixels && l.maxInputBytes && l.maxDecodedBytes && l.maxFrames && l.maxDirectories && l.maxScans &&
         l.maxCodecAllocation;
}

}  // namespace

ZX_GDIP_RESOURCE_LIMITS resource_limits() {
  Current& c = current();
  std::lock_guard guard(c.lock);
  return c.limits;
}

}  // namespace zx::gdip

Status WINAPI ZxGdipSetResourceLimits(const ZX_GDIP_RESOURCE_LIMITS* limits) {
  if (!limits || !zx::gdip::complete(*limits)) return InvalidParameter;
  auto& c = zx::gdip::current();
  std::lock_guard guard(c.lock);
  c.limits = *limits;
  return Ok;
}

Status WINAPI ZxGdipGetResourceLimits(ZX_GDIP_RESOURCE_LIMITS* limits) {
  if (!limits) return InvalidParameter;
  *limits = zx::gdip::resource_limits();
  return Ok;
}

Status WINAPI ZxGdipGetDefaultResourceLimits(ZX_GDIP_RESOURCE_LIMITS* limits) {
  if (!limits) return InvalidParameter;
  *limits = zx::gdip::kDefaultResourceLimits;
  return Ok;
}
