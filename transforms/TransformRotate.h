// Zentarix — MIT licence.
// TransformRotate: the image turned by any angle into a canvas that holds it.
#pragma once
#include "TransformFrame.h"
#include "TransformMessages.h"

namespace zx::transforms {

class TransformRotate : public TransformObject<TransformRotate, ITransformRotate> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformRotate, IID_ITransformRotate, u"TransformRotate",
                                               messages::kApply};

  STDMETHOD(get_Angle)(FLOAT* pVal) override { return read(pVal, m_angle, E_INVALIDARG); }
  STDMETHOD(put_Angle)(FLOAT newVal) override { return store(m_angle, newVal); }
  STDMETHOD(get_BackgroundColor)(LONG* pVal) override { return read(pVal, m_backgroundColor, E_INVALIDARG); }
  STDMETHOD(put_BackgroundColor)(LONG newVal) override { return store(m_backgroundColor, newVal); }
  STDMETHOD(Apply)(SAFEARRAY* InputArray, SAFEARRAY** OutputArray) override {
    return apply_arrays(messages::kRotateTo, messages::kRotateFrom, InputArray, OutputArray);
  }

  // The canvas is sized for the whole degrees of Angle (its quadrant and the remainder t below 90,
  // with cos t and sin t as a GDI+ matrix holds them, every product truncated) and filled with
  // BackgroundColor exactly; the image is drawn at the exact Angle with SourceCopy, samples beyond
  // its edge taking BackgroundColor. A non-finite Angle is refused by the matrix (InvalidParameter).
  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result);

 private:
  FLOAT m_angle = 0.0f;
  LONG m_backgroundColor = 0x00FFFFFF;
};

}  // namespace zx::transforms
