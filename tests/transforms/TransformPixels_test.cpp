// Zentarix — MIT licence.
// The transforms' pixels through the public surface.
#include "TransformTestSupport.h"

namespace zx::test {
namespace {
}  // namespace
}  // namespace zx::test
