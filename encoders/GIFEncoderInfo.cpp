// Zentarix — MIT licence.
// GIFEncoderInfo: GIF settings a client passes to a save instead of filling the options store.
#include "GIFEncoderInfo.h"

namespace zx::encoding {

HRESULT GIFEncoderInfo::get_PaletteType(PaletteTypes* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = m_paletteType;
  return S_OK;
}

HRESULT GIFEncoderInfo::put_PaletteType(PaletteTypes newVal) {
  m_paletteType = newVal;
  return S_OK;
}

HRESULT GIFEncoderInfo::get_IsTransparent(VARIANT_BOOL* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = m_isTransparent;
  return S_OK;
}

HRESULT GIFEncoderInfo::put_IsTransparent(VARIANT_BOOL newVal) {
  m_isTransparent = newVal;
  return S_OK;
}

HRESULT GIFEncoderInfo::get_AntialiasingPreprocessOn(VARIANT_BOOL* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = m_antialiasing;
  return S_OK;
}

HRESULT GIFEncoderInfo::put_AntialiasingPreprocessOn(VARIANT_BOOL newVal) {
  m_antialiasing = newVal;
  return S_OK;
}

}  // namespace zx::encoding
