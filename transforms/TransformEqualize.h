// Zentarix — MIT licence.
// TransformEqualize: each channel multiplied and shifted through a GDI+ colour matrix.
#pragma once
#include "TransformFrame.h"
#include "TransformMessages.h"

namespace zx::transforms {

class TransformEqualize : public TransformObject<TransformEqualize, ITransformEqualize> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformEqualize, IID_ITransformEqualize, u"TransformEqualize",
                                               messages::kApply};
  enum Channel { kRed, kGreen, kBlue, kAlpha };

  STDMETHOD(get_RedMultiplier)(FLOAT* pVal) override { return read(pVal, m_multiplier[kRed]); }
  STDMETHOD(put_RedMultiplier)(FLOAT newVal) override { return multiplier(kRed, newVal); }
  STDMETHOD(get_GreenMultiplier)(FLOAT* pVal) override { return read(pVal, m_multiplier[kGreen]); }
  STDMETHOD(put_GreenMultiplier)(FLOAT newVal) override { return multiplier(kGreen, newVal); }
  STDMETHOD(get_BlueMultiplier)(FLOAT* pVal) override { return read(pVal, m_multiplier[kBlue]); }
  STDMETHOD(put_BlueMultiplier)(FLOAT newVal) override { return multiplier(kBlue, newVal); }
  STDMETHOD(get_AlphaMultiplier)(FLOAT* pVal) override { return read(pVal, m_multiplier[kAlpha]); }
  STDMETHOD(put_AlphaMultiplier)(FLOAT newVal) override { return multiplier(kAlpha, newVal); }
  // Addends are fractions of full intensity, clamped to [-1, 1] as they are stored.
  STDMETHOD(get_RedAddend)(FLOAT* pVal) override { return read(pVal, m_addend[kRed]); }
  STDMETHOD(put_RedAddend)(FLOAT newVal) override { return addend(kRed, newVal); }
  STDMETHOD(get_GreenAddend)(FLOAT* pVal) override { return read(pVal, m_addend[kGreen]); }
  STDMETHOD(put_GreenAddend)(FLOAT newVal) override { return addend(kGreen, newVal); }
  STDMETHOD(get_BlueAddend)(FLOAT* pVal) override { return read(pVal, m_addend[kBlue]); }
  STDMETHOD(put_BlueAddend)(FLOAT newVal) override { return addend(kBlue, newVal); }
  STDMETHOD(get_AlphaAddend)(FLOAT* pVal) override { return read(pVal, m_addend[kAlpha]); }
  STDMETHOD(put_AlphaAddend)(FLOAT newVal) override { return addend(kAlpha, newVal); }
  STDMETHOD(Apply)(SAFEARRAY* InputArray, SAFEARRAY** OutputArray) override {
    return apply_arrays(messages::kEqualizeTo, messages::kEqualizeFrom, InputArray, OutputArray);
  }

  // The input drawn 1:1 onto a transparent W x H bitmap through the matrix c * multiplier + addend
  // (clamped to [0, 1]); the bitmap is handed out even when the draw fails.
  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result);

 private:
  HRESULT multiplier(Channel c, FLOAT value) {
    m_multiplier[c] = value;
    return S_OK;
  }
  HRESULT addend(Channel c, FLOAT value) {
    m_addend[c] = value > 1.0f ? 1.0f : (value < -1.0f ? -1.0f : value);
    return S_OK;
  }
  FLOAT m_multiplier[4] = {1.0f, 1.0f, 1.0f, 1.0f};
  FLOAT m_addend[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

}  // namespace zx::transforms
