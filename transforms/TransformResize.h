// Zentarix — MIT licence.
// TransformResize: the image scaled to NewWidth x NewHeight over the background colour.
#pragma once
#include "TransformFrame.h"
#include "TransformMessages.h"

namespace zx::transforms {

class TransformResize : public TransformObject<TransformResize, ITransformResize> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformResize, IID_ITransformResize, u"TransformResize",
                                               messages::kApply};

  // Sizes of 0 or less are refused ("... must be greater than 0!", E_FAIL) and the old value kept.
  STDMETHOD(get_NewWidth)(LONG* pVal) override { return read(pVal, m_newWidth); }
  STDMETHOD(put_NewWidth)(LONG newVal) override;
  STDMETHOD(get_NewHeight)(LONG* pVal) override { return read(pVal, m_newHeight); }
  STDMETHOD(put_NewHeight)(LONG newVal) override;
  STDMETHOD(get_Quality)(ResizeQualityTypes* pVal) override { return read(pVal, m_quality); }
  STDMETHOD(put_Quality)(ResizeQualityTypes newVal) override { return store(m_quality, newVal); }
  STDMETHOD(get_BackgroundColor)(LONG* pVal) override { return read(pVal, m_backgroundColor, E_INVALIDARG); }
  STDMETHOD(put_BackgroundColor)(LONG newVal) override { return store(m_backgroundColor, newVal); }
  STDMETHOD(Apply)(SAFEARRAY* InputArray, SAFEARRAY** OutputArray) override {
    return apply_arrays(messages::kResizeTo, messages::kResizeFrom, InputArray, OutputArray);
  }

  // A new NewWidth x NewHeight bitmap cleared with BackgroundColor | 0x01000000 (a transparent
  // background keeps alpha 1), the whole input drawn over it with the quality's interpolation,
  // pixel offset Half, into (-1, -1, NewWidth + 1, NewHeight + 1): the top and left edges sample
  // inside the image instead of blending with the transparent outside.
  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result);

 private:
  LONG m_newWidth = 100;
  LONG m_newHeight = 100;
  ResizeQualityTypes m_quality = rqtHighQualityBilinearMode;
  LONG m_backgroundColor = -1;
};

}  // namespace zx::transforms
