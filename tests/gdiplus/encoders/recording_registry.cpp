// Zentarix — MIT licence.
// Stands in for the bitmap core's codec registry: records what the adapters register at load time.
#include "codec.h"

namespace zx::gdip {
namespace {
std::vector<CodecEntry>& recorded() {
  static std::vector<CodecEntry> entries;
  return entries;
}
}  // namespace
void register_codec(const CodecEntry& entry) { recorded().push_back(entry); }
const std::vector<CodecEntry>& codecs() { return recorded(); }
}  // namespace zx::gdip
