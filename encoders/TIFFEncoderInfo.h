// Zentarix — MIT licence.
// TIFFEncoderInfo: TIFF settings a client passes to a save instead of filling the options store.
#pragma once
#include "ComObject.h"
#include "zentarix.h"

namespace zx::encoding {

// The gets answer E_INVALIDARG for a null pointer. A refused put keeps the old value and reports
// E_INVALIDARG with a message. Values inside the accepted ranges but without an option equivalent
// (CCITT3, CCITT4, RLE, cd1bpp, cd8bpp, colour space 2) are stored and refused by the save.
class TIFFEncoderInfo : public server::ComObject<TIFFEncoderInfo, ITIFFEncoderInfo> {
 public:
  // 0..4, default tctLZW.
  STDMETHOD(get_CompressionType)(TIFFCompressionTypes* pVal) override;
  STDMETHOD(put_CompressionType)(TIFFCompressionTypes newVal) override;
  // 0..4, default cd32bpp.
  STDMETHOD(get_ColorDepth)(ColorDepths* pVal) override;
  STDMETHOD(put_ColorDepth)(ColorDepths newVal) override;
  // Any text, default empty; a null string stores the empty text. The get hands out a new copy.
  STDMETHOD(get_ICCProfileFilename)(BSTR* pVal) override;
  STDMETHOD(put_ICCProfileFilename)(BSTR newVal) override;
  // 0..2, default csRGB.
  STDMETHOD(get_ColorSpace)(ColorSpaces* pVal) override;
  STDMETHOD(put_ColorSpace)(ColorSpaces newVal) override;

 private:
  TIFFCompressionTypes m_compression = tctLZW;
  ColorDepths m_colorDepth = cd32bpp;
  Bstr m_iccProfile{u""};
  ColorSpaces m_colorSpace = csRGB;
};

}  // namespace zx::encoding
