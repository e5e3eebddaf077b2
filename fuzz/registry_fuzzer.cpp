// Zentarix — MIT licence.
// The registry file parser: whatever it accepts must write back to text that parses to the same.
#include <cstdlib>
#include <string>

#include "registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zx::registry;
  Key root;
  std::string error;
  if (!parse(std::string_view(reinterpret_cast<const char*>(data), size), root, error)) return 0;
  const std::string text = serialise(root);
  Key again;
  if (!parse(text, again, error) || serialise(again) != text) std::abort();  // a round trip loses nothing
  return 0;
}
