// Zentarix — MIT licence.
// GUID text in the registry's braced form, and CoTaskMem copies of registry strings.
#include "activation_internal.h"

namespace zx::activation {

std::u16string guid_text(const GUID& g) {
  static constexpr char16_t kHex[] = u"0123456789ABCDEF";
  std::u16string s;
  s.reserve(38);
  auto put = [&](uint64_t v, int digits) {
    for (int i = digits - 1; i >= 0; --i) s += kHex[(v >> (i * 4)) & 0xF];
  };
  s += u'{';
  put(g.Data1, 8);
  s += u'-';
  put(g.Data2, 4);
  s += u'-';
  put(g.Data3, 4);
  s += u'-';
  put(g.Data4[0], 2);
  put(g.Data4[1], 2);
  s += u'-';
  for (int i = 2; i < 8; ++i) put(g.Data4[i], 2);
  s += u'}';
  return s;
}

std::optional<GUID> parse_guid(std::u16string_view t) {
  if (t.size() != 38 || t[0] != u'{' || t[37] != u'}' || t[9] != u'-' || t[14] != u'-' || t[19] != u'-' ||
      t[24] != u'-')
    return std::nullopt;
  size_t pos = 1;
  bool ok = true;
  auto hex = [&](int digits) {
    uint64_t v = 0;
    for (int i = 0; i < digits; ++i, ++pos) {
      char16_t c = t[pos];
      int d = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10 : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
      if (d < 0) ok = false;
      v = (v << 4) | static_cast<uint64_t>(d < 0 ? 0 : d);
    }
    return v;
  };
  GUID g{};
  g.Data1 = static_cast<uint32_t>(hex(8));
  ++pos;
  g.Data2 = static_cast<uint16_t>(hex(4));
  ++pos;
  g.Data3 = static_cast<uint16_t>(hex(4));
  ++pos;
  g.Data4[0] = static_cast<uint8_t>(hex(2));
  g.Data4[1] = static_cast<uint8_t>(hex(2));
  ++pos;
  for (int i = 2; i < 8; ++i) g.Data4[i] = static_cast<uint8_t>(hex(2));
  if (!ok) return std::nullopt;
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
