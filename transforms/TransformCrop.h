// Zentarix — MIT licence.
// TransformCrop: a rectangle of the image, optionally scaled back to the image's size.
#pragma once
#include "TransformFrame.h"
#include "TransformMessages.h"

namespace zx::transforms {

class TransformCrop : public TransformObject<TransformCrop, ITransformCrop> {
 public:
  static constexpr TransformIdentity kIdentity{CLSID_TransformCrop, IID_ITransformCrop, u"TransformCrop",
                                               messages::kApply};

  // No setter checks; the worker reads the values as stored.
  STDMETHOD(get_LeftUpperCornerX)(LONG* pVal) override { return read(pVal, m_x); }
  STDMETHOD(put_LeftUpperCornerX)(LONG newVal) override { return store(m_x, newVal); }
  STDMETHOD(get_LeftUpperCornerY)(LONG* pVal) override { return read(pVal, m_y); }
  STDMETHOD(put_LeftUpperCornerY)(LONG newVal) override { return store(m_y, newVal); }
  STDMETHOD(get_Width)(LONG* pVal) override { return read(pVal, m_width); }
  STDMETHOD(put_Width)(LONG newVal) override { return store(m_width, newVal); }
  STDMETHOD(get_Height)(LONG* pVal) override { return read(pVal, m_height); }
  STDMETHOD(put_Height)(LONG newVal) override { return store(m_height, newVal); }
  // Any non-zero value counts as true.
  STDMETHOD(get_ResizeToTheOriginal)(VARIANT_BOOL* pVal) override { return read(pVal, m_resizeToOriginal); }
  STDMETHOD(put_ResizeToTheOriginal)(VARIANT_BOOL newVal) override { return store(m_resizeToOriginal, newVal); }
  STDMETHOD(get_ResizeQuality)(ResizeQualityTypes* pVal) override { return read(pVal, m_quality); }
  STDMETHOD(put_ResizeQuality)(ResizeQualityTypes newVal) override { return store(m_quality, newVal); }
  STDMETHOD(get_BackgroundColor)(LONG* pVal) override { return read(pVal, m_backgroundColor, E_INVALIDARG); }
  STDMETHOD(put_BackgroundColor)(LONG newVal) override { return store(m_backgroundColor, newVal); }
  STDMETHOD(Apply)(SAFEARRAY* InputArray, SAFEARRAY** OutputArray) override {
    return apply_arrays(messages::kCropTo, messages::kCropFrom, InputArray, OutputArray);
  }

  // The source rectangle (X, Y, max(Width, 0), max(Height, 0)), not clamped to the image, drawn
  // into a bitmap of its own size or, with ResizeToTheOriginal, of the input's size, over
  // BackgroundColor | 0x01000000. A bitmap that cannot be made gives "Cannot make crop. ...".
  HRESULT work(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result);

 private:
  LONG m_x = 0;
  LONG m_y = 0;
  LONG m_width = 1;
  LONG m_height = 1;
  VARIANT_BOOL m_resizeToOriginal = VARIANT_FALSE;
  ResizeQualityTypes m_quality = rqtHighQualityBilinearMode;
  LONG m_backgroundColor = -1;
};

}  // namespace zx::transforms
