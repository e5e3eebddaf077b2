// Zentarix — MIT licence.
// Task memory and GUID text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in both directions.
#include <cstdlib>

#include "objbase.h"

// CLSIDFromString also accepts a ProgID on Windows. The registry and ProgID lookup belong to
// activation, which lives in this same library and defines CLSIDFromProgID; declaring it weak here
// keeps this file linkable on its own (a library built without activation answers
// CO_E_CLASSSTRING for every non-GUID text).
#pragma weak CLSIDFromProgID

namespace {

constexpr int kGuidChars = 38;  // without the NUL

int hex_value(OLECHAR c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads `digits` hex digits at s[pos]; false on any non-hex character.
bool read_hex(const OLECHAR* s, int pos, int digits, uint64_t* out) {
  uint64_t v = 0;
  for (int i = 0; i < digits; ++i) {
    const int h = hex_value(s[pos + i]);
    if (h < 0) return false;
    v = (v << 4) | static_cast<uint64_t>(h);
  }
  *out = v;
  return true;
}

// The braced form only, exactly 38 characters.
bool parse_braced_guid(const OLECHAR* s, GUID* out) {
  for (int i = 0; i < kGuidChars; ++i)
    if (!s[i]) return false;
  if (s[kGuidChars] != 0) return false;
  if (s[0] != u'{' || s[9] != u'-' || s[14] != u'-' || s[19] != u'-' || s[24] != u'-' || s[37] != u'}') return false;
  uint64_t v;
  GUID g;
  if (!read_hex(s, 1, 8, &v)) return false;
  g.Data1 = static_cast<uint32_t>(v);
  if (!read_hex(s, 10, 4, &v)) return false;
  g.Data2 = static_cast<uint16_t>(v);
  if (!read_hex(s, 15, 4, &v)) return false;
  g.Data3 = static_cast<uint16_t>(v);
  static constexpr int kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!read_hex(s, kByteAt[i], 2, &v)) return false;
    g.Data4[i] = static_cast<uint8_t>(v);
  }
  *out = g;
  return true;
}

void format_guid(REFGUID g, OLECHAR* out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  int p = 0;
  auto put = [&](uint64_t v, int digits) {
    for (int i = digits - 1; i >= 0; --i) out[p++] = static_cast<OLECHAR>(kHex[(v >> (4 * i)) & 0xF]);
  };
  out[p++] = u'{';
  put(g.Data1, 8);
  out[p++] = u'-';
  put(g.Data2, 4);
  out[p++] = u'-';
  put(g.Data3, 4);
  out[p++] = u'-';
  put(g.Data4[0], 2);
  put(g.Data4[1], 2);
  out[p++] = u'-';
  for (int i = 2; i < 8; ++i) put(g.Data4[i], 2);
  out[p++] = u'}';
  out[p] = 0;
}

HRESULT string_from_guid(REFGUID g, LPOLESTR* out) {
  if (!out) return E_INVALIDARG;
  *out = static_cast<LPOLESTR>(CoTaskMemAlloc((kGuidChars + 1) * sizeof(OLECHAR)));
  if (!*out) return E_OUTOFMEMORY;
  format_guid(g, *out);
  return S_OK;
}

}  // namespace

LPVOID CoTaskMemAlloc(SIZE_T cb) { return std::malloc(cb ? cb : 1); }
LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb) { return std::realloc(pv, cb ? cb : 1); }
void CoTaskMemFree(LPVOID pv) { std::free(pv); }

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (!lpsz || cchMax < kGuidChars + 1) return 0;
  format_guid(rguid, lpsz);
  return kGuidChars + 1;
}

HRESULT StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) { return string_from_guid(rclsid, lplpsz); }
HRESULT StringFromIID(REFIID riid, LPOLESTR* lplpsz) { return string_from_guid(riid, lplpsz); }

HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (!pclsid) return E_INVALIDARG;
  if (!lpsz || !*lpsz) {  // as Windows: no text names CLSID_NULL
    *pclsid = CLSID_NULL;
    return S_OK;
  }
  if (parse_braced_guid(lpsz, pclsid)) return S_OK;
  if (lpsz[0] != u'{' && &CLSIDFromProgID != nullptr) {
    CLSID found;
    if (SUCCEEDED(CLSIDFromProgID(lpsz, &found))) {
      *pclsid = found;
      return S_OK;
    }
  }
  return CO_E_CLASSSTRING;
}

HRESULT IIDFromString(LPCOLESTR lpsz, IID* lpiid) {
  if (!lpiid) return E_INVALIDARG;
  if (!lpsz) {
    *lpiid = IID_NULL;
    return S_OK;
  }
  return parse_braced_guid(lpsz, lpiid) ? S_OK : E_INVALIDARG;
}
