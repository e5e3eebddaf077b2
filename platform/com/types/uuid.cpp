// Zentarix — MIT licence.
// RPC UUID functions: the adapter over libuuid, turning its RFC 4122 bytes into a Windows GUID.
#include <uuid/uuid.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rpc.h"

namespace {

// libuuid's bytes are big-endian throughout; a GUID holds Data1..Data3 as host integers.
GUID guid_from_bytes(const uuid_t b) {
  GUID g;
  g.Data1 = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
  g.Data2 = static_cast<uint16_t>((b[4] << 8) | b[5]);
  g.Data3 = static_cast<uint16_t>((b[6] << 8) | b[7]);
  std::memcpy(g.Data4, b + 8, 8);
  return g;
}

constexpr size_t kUuidChars = 36;

void format_lower(const UUID& u, char* out) {
  std::snprintf(out, kUuidChars + 1, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", u.Data1, u.Data2, u.Data3,
                u.Data4[0], u.Data4[1], u.Data4[2], u.Data4[3], u.Data4[4], u.Data4[5], u.Data4[6], u.Data4[7]);
}

}  // namespace

RPC_STATUS UuidCreate(UUID* Uuid) {
  if (!Uuid) return static_cast<RPC_STATUS>(ERROR_INVALID_PARAMETER);
  uuid_t bytes;
  uuid_generate_random(bytes);
  *Uuid = guid_from_bytes(bytes);
  return RPC_S_OK;
}

RPC_STATUS UuidToStringA(const UUID* Uuid, RPC_CSTR* StringUuid) {
  if (!StringUuid) return static_cast<RPC_STATUS>(ERROR_INVALID_PARAMETER);
  *StringUuid = nullptr;
  auto* text = static_cast<char*>(std::malloc(kUuidChars + 1));
  if (!text) return RPC_S_OUT_OF_MEMORY;
  format_lower(Uuid ? *Uuid : GUID_NULL, text);  // a null UUID reads as the nil UUID, as Windows
  *StringUuid = reinterpret_cast<RPC_CSTR>(text);
  return RPC_S_OK;
}

RPC_STATUS UuidToStringW(const UUID* Uuid, RPC_WSTR* StringUuid) {
  if (!StringUuid) return static_cast<RPC_STATUS>(ERROR_INVALID_PARAMETER);
  *StringUuid = nullptr;
  char narrow[kUuidChars + 1];
  format_lower(Uuid ? *Uuid : GUID_NULL, narrow);
  auto* text = static_cast<unsigned short*>(std::malloc((kUuidChars + 1) * sizeof(unsigned short)));
  if (!text) return RPC_S_OUT_OF_MEMORY;
  for (size_t i = 0; i <= kUuidChars; ++i) text[i] = static_cast<unsigned char>(narrow[i]);
  *StringUuid = text;
  return RPC_S_OK;
}

RPC_STATUS UuidFromStringA(RPC_CSTR StringUuid, UUID* Uuid) {
  if (!Uuid) return static_cast<RPC_STATUS>(ERROR_INVALID_PARAMETER);
  if (!StringUuid) {
    *Uuid = GUID_NULL;
    return RPC_S_OK;
  }
  const char* text = reinterpret_cast<const char*>(StringUuid);
  if (std::strlen(text) != kUuidChars) return RPC_S_INVALID_STRING_UUID;
  uuid_t bytes;
  if (uuid_parse(text, bytes) != 0) return RPC_S_INVALID_STRING_UUID;
  *Uuid = guid_from_bytes(bytes);
  return RPC_S_OK;
}

RPC_STATUS RpcStringFreeA(RPC_CSTR* String) {
  if (!String) return static_cast<RPC_STATUS>(ERROR_INVALID_PARAMETER);
  std::free(*String);
  *String = nullptr;
  return RPC_S_OK;
}

RPC_STATUS RpcStringFreeW(RPC_WSTR* String) {
  if (!String) return static_cast<RPC_STATUS>(ERROR_INVALID_PARAMETER);
  std::free(*String);
  *String = nullptr;
  return RPC_S_OK;
}
