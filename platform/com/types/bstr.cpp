// Zentarix — MIT licence.
// BSTR: UTF-16 text behind a 4-byte byte-length prefix, always followed by a 16-bit NUL.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "oleauto.h"

namespace {

// A block holds the prefix, the payload and NUL bytes up to and including a whole OLECHAR after the
// payload's last (possibly half-filled) character: the payload of a byte-length string may be odd,
// and the string read as OLECHARs must still end in a wide NUL. `keep` bytes come from src, the rest
// of the payload is zero.
BSTR allocate_bytes(const void* src, UINT bytes, UINT keep) noexcept {
  if (bytes > 0x7FFFFFF0u) return nullptr;  // the prefix must stay a positive 32-bit count
  const size_t tail = (bytes % 2 ? 1 : 0) + sizeof(OLECHAR);
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(DWORD) + size_t{bytes} + tail));
  if (!block) return nullptr;
  const DWORD len = bytes;
  std::memcpy(block, &len, sizeof len);
  unsigned char* payload = block + sizeof(DWORD);
  if (!src) keep = 0;
  if (keep) std::memcpy(payload, src, keep);
  std::memset(payload + keep, 0, bytes - keep + tail);
  return reinterpret_cast<BSTR>(payload);
}
BSTR allocate_bytes(const void* src, UINT bytes) noexcept { return allocate_bytes(src, bytes, bytes); }

unsigned char* block_of(BSTR s) noexcept { return reinterpret_cast<unsigned char*>(s) - sizeof(DWORD); }

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
  if (!psz) return nullptr;
  size_t n = 0;
  while (psz[n]) ++n;
  if (n > 0x3FFFFFF0u) return nullptr;
  return allocate_bytes(psz, static_cast<UINT>(n * sizeof(OLECHAR)));
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  if (ui > 0x3FFFFFF0u) return nullptr;
  return allocate_bytes(strIn, ui * static_cast<UINT>(sizeof(OLECHAR)));
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) { return allocate_bytes(psz, len); }

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
  if (!pbstr) return FALSE;
  if (len > 0x3FFFFFF0u) return FALSE;
  // psz may point into *pbstr itself, so the new string is built before the old one goes; then only
  // what the old string holds from psz on is read, and the rest of the new one is zero.
  UINT keep = len;
  const BSTR old = *pbstr;
  if (psz && old && psz >= old && psz <= old + SysStringLen(old))
    keep = std::min<UINT>(len, static_cast<UINT>(old + SysStringLen(old) - psz));
  BSTR fresh = allocate_bytes(psz, len * static_cast<UINT>(sizeof(OLECHAR)), keep * static_cast<UINT>(sizeof(OLECHAR)));
  if (!fresh) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
  if (!pbstr) return FALSE;
  BSTR fresh = SysAllocString(psz);
  if (psz && !fresh) return FALSE;
  SysFreeString(*pbstr);
  *pbstr = fresh;
  return TRUE;
}

void SysFreeString(BSTR bstrString) {
  if (bstrString) std::free(block_of(bstrString));
}

UINT SysStringByteLen(BSTR bstr) {
  if (!bstr) return 0;
  DWORD len;
  std::memcpy(&len, block_of(bstr), sizeof len);
  return len;
}

UINT SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }
