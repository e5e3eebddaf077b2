// Zentarix — MIT licence.
// EncoderWBMP: the WBMP format's identity and backend behind the shared encoder wrapper.
#pragma once
#include <unknwn.h>

namespace zx::encoding {

// The class table's instance creator of EncoderWBMP.
HRESULT create_encoder_wbmp(IUnknown* outer, REFIID riid, void** ppv) noexcept;

}  // namespace zx::encoding
