// Zentarix — MIT licence.
// EncoderGIF: the GIF format's identity and backend behind the shared encoder wrapper.
#pragma once
#include <unknwn.h>

namespace zx::encoding {

// The class table's instance creator of EncoderGIF.
HRESULT create_encoder_gif(IUnknown* outer, REFIID riid, void** ppv) noexcept;

}  // namespace zx::encoding
