// Zentarix — MIT licence.
// EncoderJPEG: the JPEG format's identity and backend behind the shared encoder wrapper.
#pragma once
#include <unknwn.h>

namespace zx::encoding {

// The class table's instance creator of EncoderJPEG.
HRESULT create_encoder_jpeg(IUnknown* outer, REFIID riid, void** ppv) noexcept;

}  // namespace zx::encoding
