// Zentarix platform layer — MIT licence.
// RPC runtime UUID functions over libuuid, with the Windows GUID byte order.
#pragma once
#include "wtypes.h"

using UUID = GUID;
using RPC_STATUS = LONG;
using RPC_CSTR = unsigned char*;
using RPC_WSTR = unsigned short*;
constexpr RPC_STATUS RPC_S_OK = 0;
constexpr RPC_STATUS RPC_S_OUT_OF_MEMORY = 14;
constexpr RPC_STATUS RPC_S_UUID_LOCAL_ONLY = 1824;
constexpr RPC_STATUS RPC_S_UUID_NO_ADDRESS = 1739;
constexpr RPC_STATUS RPC_S_INVALID_STRING_UUID = 1705;

static_assert(sizeof(UUID) == 16, "UUID is a GUID");

// A random (version 4) UUID; Data1..Data3 hold libuuid's big-endian fields as host integers.
STDAPI_(RPC_STATUS) UuidCreate(UUID* Uuid);
// 36 lower-case characters, 8-4-4-4-12, no braces; freed with RpcStringFreeA/W.
STDAPI_(RPC_STATUS) UuidToStringA(const UUID* Uuid, RPC_CSTR* StringUuid);
STDAPI_(RPC_STATUS) UuidToStringW(const UUID* Uuid, RPC_WSTR* StringUuid);
STDAPI_(RPC_STATUS) UuidFromStringA(RPC_CSTR StringUuid, UUID* Uuid);
STDAPI_(RPC_STATUS) RpcStringFreeA(RPC_CSTR* String);
STDAPI_(RPC_STATUS) RpcStringFreeW(RPC_WSTR* String);
