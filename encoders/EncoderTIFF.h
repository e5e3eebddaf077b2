// Zentarix — MIT licence.
// EncoderTIFF: the TIFF format's identity and backend behind the shared encoder wrapper.
#pragma once
#include <unknwn.h>

namespace zx::encoding {

// The class table's instance creator of EncoderTIFF.
HRESULT create_encoder_tiff(IUnknown* outer, REFIID riid, void** ppv) noexcept;

}  // namespace zx::encoding
