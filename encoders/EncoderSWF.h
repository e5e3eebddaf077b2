// Zentarix — MIT licence.
// EncoderSWF: the SWF format's identity and backend behind the shared encoder wrapper.
#pragma once
#include <unknwn.h>

namespace zx::encoding {

// The class table's instance creator of EncoderSWF.
HRESULT create_encoder_swf(IUnknown* outer, REFIID riid, void** ppv) noexcept;

}  // namespace zx::encoding
