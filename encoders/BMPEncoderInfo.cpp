// Zentarix — MIT licence.
// BMPEncoderInfo: BMP settings a client passes to a save instead of filling the options store.
#include "BMPEncoderInfo.h"

namespace zx::encoding {

HRESULT BMPEncoderInfo::get_ColorDepth(ColorDepths* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = m_colorDepth;
  return S_OK;
}

HRESULT BMPEncoderInfo::put_ColorDepth(ColorDepths newVal) {
  m_colorDepth = newVal;
  return S_OK;
}

}  // namespace zx::encoding
