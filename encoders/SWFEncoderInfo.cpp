// Zentarix — MIT licence.
// SWFEncoderInfo: SWF settings a client passes to a save instead of filling the options store.
#include "SWFEncoderInfo.h"

#include "EncoderMessages.h"
#include "ErrorReporting.h"
#include "JPEGEncoderInfo.h"

namespace zx::encoding {

HRESULT SWFEncoderInfo::get_CompressionType(SWFCompressionTypes* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = m_compression;
  return S_OK;
}

HRESULT SWFEncoderInfo::put_CompressionType(SWFCompressionTypes newVal) {
  if (newVal != swfctLossless && newVal != swfctJPEG)
    return server::ReportError(CLSID_SWFEncoderInfo, messages::kWrongSwfCompression, IID_ISWFEncoderInfo, E_INVALIDARG);
  m_compression = newVal;
  return S_OK;
}

HRESULT SWFEncoderInfo::get_BackgroundColor(LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = m_background;
  return S_OK;
}

HRESULT SWFEncoderInfo::put_BackgroundColor(LONG newVal) {
  m_background = newVal;
  return S_OK;
}

HRESULT SWFEncoderInfo::get_JPEGQuality(LONG* pVal) {
  if (!pVal) return E_POINTER;
  *pVal = m_quality;
  return S_OK;
}

HRESULT SWFEncoderInfo::put_JPEGQuality(LONG newVal) {
  m_quality = clamp_quality(newVal);
  return S_OK;
}

}  // namespace zx::encoding
