// Zentarix — MIT licence.
// Pieces the memory and file streams share inside libzxcom (not exported).
#pragma once
#include "objidl.h"

namespace zx::types {

// Answered only by this runtime's HGLOBAL streams, so GetHGlobalFromStream can recognise one.
// QueryInterface for it returns the object's own pointer WITHOUT a reference; it is never handed
// to a caller as an interface.
inline constexpr IID IID_ZxHGlobalStreamIdentity = {0x6a3e8b52, 0x1f0c, 0x4d7e, {0x9b, 0x21, 0x5c, 0x8e, 0x07, 0x44, 0xd3, 0x91}};

// IStream::CopyTo over Read and Write: up to cb bytes from source's position to target's.
HRESULT copy_stream(IStream* source, IStream* target, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                    ULARGE_INTEGER* pcbWritten);

}  // namespace zx::types
