// Zentarix — MIT licence.
// TransformTransparentize: pixels near one colour made transparent, with a soft ramp.
#pragma once
#include "TransformFrame.h"
#include "TransformMessages.h"

namespace zx::transforms {

class TransformTransparentize : public TransformObject<TransformTransparentize, ITransformTransparentize> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformTransparentize, IID_ITransformTransparentize,
                                               u"TransformTransparentize", messages::kApplyMe};

  // Only red, green and blue are kept; the colour reads back with alpha 0xFF.
  STDMETHOD(get_TransparentColor)(LONG* pVal) override {
    return read(pVal, static_cast<LONG>(m_colour | 0xFF000000u), E_INVALIDARG);
  }
  STDMETHOD(put_TransparentColor)(LONG newVal) override {
    m_colour = static_cast<uint32_t>(newVal) & 0x00FFFFFFu;
    return S_OK;
  }
  STDMETHOD(get_Threshold)(BYTE* pVal) override { return read(pVal, m_threshold, E_INVALIDARG); }
  STDMETHOD(put_Threshold)(BYTE newVal) override { return store(m_threshold, newVal); }
  // Works on the arrays directly: E_POINTER for null pointers, E_INVALIDARG for an input that is
  // not a two-dimensional array of 4-byte elements; the output is a new array of the input's
  // dimensions (one already in *OutputArray is destroyed). A fault inside fails with its message.
  STDMETHOD(Apply)(SAFEARRAY* InputArray, SAFEARRAY** OutputArray) override;

  // The kernel from the input into a buffer that becomes a new bitmap. Lock failures give the GDI+
  // message with the thread's last Win32 error, E_FAIL; a fault the class's message, E_FAIL.
  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result);

 private:
  uint32_t m_colour = 0x00FFFFFF;
  BYTE m_threshold = 50;
};

}  // namespace zx::transforms
