// Zentarix — MIT licence.
// GIFEncoderInfo: GIF settings a client passes to a save instead of filling the options store.
#pragma once
#include "ComObject.h"
#include "zentarix.h"

namespace zx::encoding {

// Every value is stored as given; the gets answer E_POINTER for a null pointer.
// AntialiasingPreprocessOn is kept for clients that set it but never reaches an encoder.
class GIFEncoderInfo : public server::ComObject<GIFEncoderInfo, IGIFEncoderInfo> {
 public:
  STDMETHOD(get_PaletteType)(PaletteTypes* pVal) override;
  STDMETHOD(put_PaletteType)(PaletteTypes newVal) override;
  STDMETHOD(get_IsTransparent)(VARIANT_BOOL* pVal) override;
  STDMETHOD(put_IsTransparent)(VARIANT_BOOL newVal) override;
  STDMETHOD(get_AntialiasingPreprocessOn)(VARIANT_BOOL* pVal) override;
  STDMETHOD(put_AntialiasingPreprocessOn)(VARIANT_BOOL newVal) override;

 private:
  PaletteTypes m_paletteType = ptOctree;
  VARIANT_BOOL m_isTransparent = VARIANT_FALSE;
  VARIANT_BOOL m_antialiasing = VARIANT_FALSE;
};

}  // namespace zx::encoding
