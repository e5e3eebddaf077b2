// Zentarix — MIT licence.
// TransformFlipAndRotate: quarter turns and mirror images, as the GDI+ rotate-flip values name them.
#pragma once
#include "TransformFrame.h"
#include "TransformMessages.h"

namespace zx::transforms {

class TransformFlipAndRotate : public TransformObject<TransformFlipAndRotate, ITransformFlipAndRotate> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformFlipAndRotate, IID_ITransformFlipAndRotate,
                                               u"TransformFlipAndRotate", messages::kDoFlipAndRotate};

  STDMETHOD(get_FlipType)(FlipAndRotateTypes* pVal) override { return read(pVal, m_type, E_INVALIDARG); }
  // Values outside 0..7 are refused with E_INVALIDARG and no error record.
  STDMETHOD(put_FlipType)(FlipAndRotateTypes newVal) override {
    if (newVal < fartNoRotateNoFlip || newVal > fartRotate90FlipY) return E_INVALIDARG;
    m_type = newVal;
    return S_OK;
  }
  STDMETHOD(Apply)(SAFEARRAY* InputArray, SAFEARRAY** OutputArray) override {
    return apply_arrays(messages::kFlipTo, messages::kFlipFrom, InputArray, OutputArray);
  }

  // One pass from the input into one new bitmap of the turned size. Failures (the bitmap cannot be
  // made or locked, or a machine fault while copying) give the GDI+ message built with the
  // thread's last Win32 error, E_FAIL.
  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result);

 private:
  // The class sets no type of its own; no change at all is what an unset transform should do.
  FlipAndRotateTypes m_type = fartNoRotateNoFlip;
};

}  // namespace zx::transforms
