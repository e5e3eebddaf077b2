// Zentarix — MIT licence.
// EncoderBMP: the BMP format's identity and backend behind the shared encoder wrapper.
#pragma once
#include <unknwn.h>

namespace zx::encoding {

// The class table's instance creator of EncoderBMP.
HRESULT create_encoder_bmp(IUnknown* outer, REFIID riid, void** ppv) noexcept;

}  // namespace zx::encoding
