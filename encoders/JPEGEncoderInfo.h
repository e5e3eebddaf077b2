// Zentarix — MIT licence.
// JPEGEncoderInfo: JPEG settings a client passes to a save instead of filling the options store.
#pragma once
#include "ComObject.h"
#include "zentarix.h"

namespace zx::encoding {

class JPEGEncoderInfo : public server::ComObject<JPEGEncoderInfo, IJPEGEncoderInfo> {
 public:
  // Quality 0..100, default 75. The get answers E_INVALIDARG for a null pointer; the put clamps.
  STDMETHOD(get_Quality)(LONG* pVal) override;
  STDMETHOD(put_Quality)(LONG newVal) override;

 private:
  LONG m_quality = 75;
};

// Below 0 is 0, above 100 is 100 (the settings objects' quality rule).
inline LONG clamp_quality(LONG q) noexcept { return q < 0 ? 0 : q > 100 ? 100 : q; }

}  // namespace zx::encoding
