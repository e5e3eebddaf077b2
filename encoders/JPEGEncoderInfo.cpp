// Zentarix — MIT licence.
// JPEGEncoderInfo: JPEG settings a client passes to a save instead of filling the options store.
#include "JPEGEncoderInfo.h"

namespace zx::encoding {

HRESULT JPEGEncoderInfo::get_Quality(LONG* pVal) {
  if (!pVal) return E_INVALIDARG;
  *pVal = m_quality;
  return S_OK;
}

HRESULT JPEGEncoderInfo::put_Quality(LONG newVal) {
  m_quality = clamp_quality(newVal);
  return S_OK;
}

}  // namespace zx::encoding
