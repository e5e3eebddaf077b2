// Zentarix — MIT licence.
// GUIDGen: makes new GUIDs as text for scripts.
#include "GUIDGen.h"

#include <rpc.h>

#include <memory>

namespace zx::server {
namespace {

struct RpcStringFree {
  void operator()(RPC_WSTR text) const noexcept { RpcStringFreeW(&text); }
};
using RpcString = std::unique_ptr<unsigned short, RpcStringFree>;

// RPC statuses are Win32 codes, all positive: anything but success (or the local-only warning)
// is a failure, and must not reach the caller as S_OK with no text.
HRESULT from_rpc_status(RPC_STATUS status) { return HRESULT_FROM_WIN32(static_cast<DWORD>(status)); }

}  // namespace

HRESULT GUIDGen::Generate(BSTR* pVal) {
  if (!pVal) return E_POINTER;
  return com_call([&] {
    UUID uuid;
    RPC_STATUS status = UuidCreate(&uuid);
    if (status != RPC_S_OK && status != RPC_S_UUID_LOCAL_ONLY) return from_rpc_status(status);
    RPC_WSTR raw = nullptr;
    status = UuidToStringW(&uuid, &raw);
    RpcString text(raw);
    if (status != RPC_S_OK || !text) return from_rpc_status(status != RPC_S_OK ? status : RPC_S_OUT_OF_MEMORY);
    *pVal = Bstr(reinterpret_cast<const OLECHAR*>(text.get())).detach();
    return S_OK;
  });
}

}  // namespace zx::server
