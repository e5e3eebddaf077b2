// Zentarix — MIT licence.
// EncoderPNG: the PNG format's identity and backend behind the shared encoder wrapper.
#pragma once
#include <unknwn.h>

namespace zx::encoding {

// The class table's instance creator of EncoderPNG.
HRESULT create_encoder_png(IUnknown* outer, REFIID riid, void** ppv) noexcept;

}  // namespace zx::encoding
