// Zentarix — MIT licence.
// GUID text in the registry's braced form, and CoTaskMem copies of registry strings.
#include "activation_internal.h"

namespace zx::activation {

std::u16string guid_text(const GUID& g) {
  OLECHAR text[39];
  StringFromGUID2(g, text, 39);
  return std::u16string(text, 38);
}

std::optional<GUID> parse_guid(std::u16string_view t) {
  // IIDFromString takes the braced form only (CLSIDFromString would also take a ProgID).
  std::u16string text(t);
  GUID g{};
  if (FAILED(IIDFromString(text.c_str(), &g))) return std::nullopt;
  return g;
}

HRESULT task_mem_string(std::u16string_view s, LPOLESTR* out) {
  auto* p = static_cast<LPOLESTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(OLECHAR)));
  if (!p) return E_OUTOFMEMORY;
  std::memcpy(p, s.data(), s.size() * sizeof(OLECHAR));
  p[s.size()] = u'\0';
  *out = p;
  return S_OK;
}

}  // namespace zx::activation
