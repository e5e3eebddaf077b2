// Zentarix — MIT licence.
// BSTR: UTF-16 text behind a 4-byte byte-length prefix, always followed by a 16-bit NUL.
#include <cstdlib>
#include <cstring>

#include "oleauto.h"

namespace {

// A block holds the prefix, the payload and two NUL bytes; the payload of a byte-length string may
// be odd, so the terminator is written as bytes and not as an OLECHAR.
BSTR allocate_bytes(const void* src, UINT bytes) noexcept {
  if (bytes > 0x7FFFFFF0u) return nullptr;  // the prefix must stay a positive 32-bit count
  auto* block = static_cast<unsigned char*>(std::malloc(sizeof(DWORD) + size_t{bytes} + sizeof(OLECHAR)));
  if (!block) return nullptr;
  const DWORD len = bytes;
  std::memcpy(block, &len, sizeof len);
  unsigned char* payload = block + sizeof(DWORD);
  if (src)
    std::memcpy(payload, src, bytes);
  else
    std::memset(payload, 0, bytes);
  payload[bytes] = 0;
  payload[bytes + 1] = 0;
  return reinterpret_cast<BSTR>(payload);
}

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
  // psz may point into *pbstr itself, so the new string is built before the old one goes.
  BSTR fresh = SysAllocStringLen(psz, len);
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
