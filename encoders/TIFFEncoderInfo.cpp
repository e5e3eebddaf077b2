// Zentarix — MIT licence.
// TIFFEncoderInfo: TIFF settings a client passes to a save instead of filling the options store.
#include "TIFFEncoderInfo.h"

#include "EncoderMessages.h"
#include "ErrorReporting.h"

namespace zx::encoding {
namespace {

HRESULT refuse(const OLECHAR* message) {
  return server::ReportError(CLSID_TIFFEncoderInfo, message, IID_ITIFFEncoderInfo, E_INVALIDARG);
}

}  // namespace

HRESULT TIFFEncoderInfo::get_CompressionType(TIFFCompressionTypes* pVal) {
  if (!pVal) return E_INVALIDARG;
  *pVal = m_compression;
  return S_OK;
}

HRESULT TIFFEncoderInfo::put_CompressionType(TIFFCompressionTypes newVal) {
  if (newVal < 0 || newVal > 4) return refuse(messages::kCompressionNotSupported);
  m_compression = newVal;
  return S_OK;
}

HRESULT TIFFEncoderInfo::get_ColorDepth(ColorDepths* pVal) {
  if (!pVal) return E_INVALIDARG;
  *pVal = m_colorDepth;
  return S_OK;
}

HRESULT TIFFEncoderInfo::put_ColorDepth(ColorDepths newVal) {
  if (newVal < 0 || newVal > 4) return refuse(messages::kColorDepthNotSupported);
  m_colorDepth = newVal;
  return S_OK;
}

HRESULT TIFFEncoderInfo::get_ICCProfileFilename(BSTR* pVal) {
  if (!pVal) return E_INVALIDARG;
  return server::com_call([&] {
    Bstr copy(m_iccProfile);
    if (m_iccProfile.get() && !copy.get()) return E_OUTOFMEMORY;
    *pVal = copy.detach();
    return S_OK;
  });
}

HRESULT TIFFEncoderInfo::put_ICCProfileFilename(BSTR newVal) {
  return server::com_call([&] {
    Bstr copy(std::u16string_view(newVal ? newVal : u"", newVal ? SysStringLen(newVal) : 0));
    if (!copy.get()) return E_OUTOFMEMORY;
    m_iccProfile = std::move(copy);
    return S_OK;
  });
}

HRESULT TIFFEncoderInfo::get_ColorSpace(ColorSpaces* pVal) {
  if (!pVal) return E_INVALIDARG;
  *pVal = m_colorSpace;
  return S_OK;
}

HRESULT TIFFEncoderInfo::put_ColorSpace(ColorSpaces newVal) {
  if (newVal < 0 || newVal > 2) return refuse(messages::kColorSpaceNotSupported);
  m_colorSpace = newVal;
  return S_OK;
}

}  // namespace zx::encoding
