// Zentarix — MIT licence.
// BMPEncoderInfo: BMP settings a client passes to a save instead of filling the options store.
#pragma once
#include "ComObject.h"
#include "zentarix.h"

namespace zx::encoding {

class BMPEncoderInfo : public server::ComObject<BMPEncoderInfo, IBMPEncoderInfo> {
 public:
  // Any value is stored as given (default cd32bpp); the save refuses depths without an option
  // equivalent. The get answers E_POINTER for a null pointer.
  STDMETHOD(get_ColorDepth)(ColorDepths* pVal) override;
  STDMETHOD(put_ColorDepth)(ColorDepths newVal) override;

 private:
  ColorDepths m_colorDepth = cd32bpp;
};

}  // namespace zx::encoding
