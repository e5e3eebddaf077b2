// Zentarix — MIT licence.
// SWFEncoderInfo: SWF settings a client passes to a save instead of filling the options store.
#pragma once
#include "ComObject.h"
#include "zentarix.h"

namespace zx::encoding {

// The gets answer E_POINTER for a null pointer.
class SWFEncoderInfo : public server::ComObject<SWFEncoderInfo, ISWFEncoderInfo> {
 public:
  // swfctLossless (default) or swfctJPEG; any other value is refused with E_INVALIDARG and a
  // message, keeping the old value.
  STDMETHOD(get_CompressionType)(SWFCompressionTypes* pVal) override;
  STDMETHOD(put_CompressionType)(SWFCompressionTypes newVal) override;
  // Any colour value, default -1 (opaque white).
  STDMETHOD(get_BackgroundColor)(LONG* pVal) override;
  STDMETHOD(put_BackgroundColor)(LONG newVal) override;
  // Clamped to 0..100, default 75.
  STDMETHOD(get_JPEGQuality)(LONG* pVal) override;
  STDMETHOD(put_JPEGQuality)(LONG newVal) override;

 private:
  SWFCompressionTypes m_compression = swfctLossless;
  LONG m_background = -1;
  LONG m_quality = 75;
};

}  // namespace zx::encoding
