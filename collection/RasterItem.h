// Zentarix — MIT licence.
// RasterItem: one layer of a RasterCollection, its own raster object plus key, visibility, opacity, mode and offset.
#pragma once
#include <gdiplus.h>

#include "ComObject.h"
#include "zentarix.h"

namespace zx::collection {

class RasterCollection;

// Every IRasterObject member, in vtable order, handed to the item's inner raster object unchanged
// (so an effect called on an item changes the item's own image). An item whose inner raster object
// was replaced by nothing answers E_FAIL, as Combine does for it.
#define ZX_RASTER_OBJECT_MEMBERS(ZX_FORWARD) \
  ZX_FORWARD(LoadFile, (BSTR FileName), (FileName)) \
  ZX_FORWARD(SaveFile, (BSTR FileName, IDispatch* Encoder), (FileName, Encoder)) \
  ZX_FORWARD(LoadStream, (IUnknown* InputStream), (InputStream)) \
  ZX_FORWARD(SaveStream, (IUnknown* OutputStream, IDispatch* Encoder), (OutputStream, Encoder)) \
  ZX_FORWARD(get_OutputFileType, (OutputFileTypes* pVal), (pVal)) \
  ZX_FORWARD(put_OutputFileType, (OutputFileTypes newVal), (newVal)) \
  ZX_FORWARD(get_Width, (LONG* pVal), (pVal)) \
  ZX_FORWARD(get_Height, (LONG* pVal), (pVal)) \
  ZX_FORWARD(EmptyImage, (LONG Width, LONG Height, LONG color), (Width, Height, color)) \
  ZX_FORWARD(get_HorizontalResolution, (FLOAT* pVal), (pVal)) \
  ZX_FORWARD(put_HorizontalResolution, (FLOAT newVal), (newVal)) \
  ZX_FORWARD(get_VerticalResolution, (FLOAT* pVal), (pVal)) \
  ZX_FORWARD(put_VerticalResolution, (FLOAT newVal), (newVal)) \
  ZX_FORWARD(Clone, (IRasterObject** ClonedObject), (ClonedObject)) \
  ZX_FORWARD(get_Pixels, (LONG X, LONG Y, LONG* pVal), (X, Y, pVal)) \
  ZX_FORWARD(put_Pixels, (LONG X, LONG Y, LONG newVal), (X, Y, newVal)) \
  ZX_FORWARD(get_CurrentFileType, (OutputFileTypes* pVal), (pVal)) \
  ZX_FORWARD(SavePicture, (IPictureDisp** Picture), (Picture)) \
  ZX_FORWARD(LoadPicture, (IPictureDisp* Picture), (Picture)) \
  ZX_FORWARD(FlipAndRotate, (FlipAndRotateTypes Type), (Type)) \
  ZX_FORWARD(Rotate, (FLOAT Angle, LONG BackgroundColor), (Angle, BackgroundColor)) \
  ZX_FORWARD(Resize, (LONG NewWidth, LONG NewHeight, ResizeQualityTypes Quality, LONG BackgroundColor), (NewWidth, NewHeight, Quality, BackgroundColor)) \
  ZX_FORWARD(Crop, (LONG X, LONG Y, LONG Width, LONG Height, LONG BackgroundColor, VARIANT_BOOL WhetherToResize, ResizeQualityTypes ResizeQuality), (X, Y, Width, Height, BackgroundColor, WhetherToResize, ResizeQuality)) \
  ZX_FORWARD(Transparentize, (LONG TransparentColor, BYTE Threshold), (TransparentColor, Threshold)) \
  ZX_FORWARD(Equalize, (LONG RedAddend, LONG GreenAddend, LONG BlueAddend, LONG AlphaAddend, FLOAT RedMultiplier, FLOAT GreenMultiplier, FLOAT BlueMultiplier, FLOAT AlphaMultiplier), (RedAddend, GreenAddend, BlueAddend, AlphaAddend, RedMultiplier, GreenMultiplier, BlueMultiplier, AlphaMultiplier)) \
  ZX_FORWARD(AutoLevel, (), ()) \
  ZX_FORWARD(ApplyTransform, (IDispatch* Transform), (Transform)) \
  ZX_FORWARD(Antialiasing, (), ()) \
  ZX_FORWARD(Greyscale, (), ()) \
  ZX_FORWARD(Waddle, (), ()) \
  ZX_FORWARD(Lightness, (LONG Amount), (Amount)) \
  ZX_FORWARD(Contrast, (LONG Amount), (Amount)) \
  ZX_FORWARD(AutoLightness, (), ()) \
  ZX_FORWARD(AutoContrast, (), ()) \
  ZX_FORWARD(AddNoise, (LONG Amount, VARIANT_BOOL IsMonochrome), (Amount, IsMonochrome)) \
  ZX_FORWARD(Spray, (LONG Amount, LONG FrameWidth, LONG BackgroundColor), (Amount, FrameWidth, BackgroundColor)) \
  ZX_FORWARD(Mosaic, (LONG CellWidth, LONG CellHeight), (CellWidth, CellHeight)) \
  ZX_FORWARD(Sinusize, (LONG HorizontalAmplitude, LONG HorizontalWaveLength, LONG HorizontalStartPhase, LONG VerticalAmplitude, LONG VerticalWaveLength, LONG VerticalStartPhase, LONG BackgroundColor), (HorizontalAmplitude, HorizontalWaveLength, HorizontalStartPhase, VerticalAmplitude, VerticalWaveLength, VerticalStartPhase, BackgroundColor)) \
  ZX_FORWARD(Swirl, (LONG Amount), (Amount)) \
  ZX_FORWARD(EllipseCrop, (LONG X, LONG Y, LONG HorizontalRadius, LONG VerticalRadius, LONG BackgroundColor), (X, Y, HorizontalRadius, VerticalRadius, BackgroundColor)) \
  ZX_FORWARD(Solarize, (LONG ThresholdColor), (ThresholdColor)) \
  ZX_FORWARD(HSLColorize, (LONG Hue, LONG Saturation, LONG Lightness), (Hue, Saturation, Lightness)) \
  ZX_FORWARD(Texturize, (LONG Amount, FLOAT Shift), (Amount, Shift)) \
  ZX_FORWARD(Sharpen, (LONG Strength), (Strength)) \
  ZX_FORWARD(Emboss, (EmbossTypes Type), (Type)) \
  ZX_FORWARD(EdgeDetect, (EdgeDetectTypes Type), (Type)) \
  ZX_FORWARD(SwapChannels, (LONG Red, LONG Green, LONG Blue, LONG alpha), (Red, Green, Blue, alpha)) \
  ZX_FORWARD(Buttonize, (LONG Type, LONG FrameWidth, LONG FrameOpacity), (Type, FrameWidth, FrameOpacity)) \
  ZX_FORWARD(FastBlur, (DOUBLE Radius), (Radius)) \
  ZX_FORWARD(Glow, (DOUBLE Intensity, DOUBLE Radius, LONG color), (Intensity, Radius, color)) \
  ZX_FORWARD(Shadow, (LONG OffsetX, LONG OffsetY, DOUBLE Radius, LONG color), (OffsetX, OffsetY, Radius, color)) \
  ZX_FORWARD(RemoveNoise, (LONG Precision), (Precision)) \
  ZX_FORWARD(Expand, (LONG Strength), (Strength)) \
  ZX_FORWARD(Erosion, (LONG Strength), (Strength)) \
  ZX_FORWARD(PageCurl, (LONG Width, LONG Height, PageCurlModes CurlMode, LONG CurlColor, LONG BackgroundColor), (Width, Height, CurlMode, CurlColor, BackgroundColor)) \
  ZX_FORWARD(get_EncoderOptions, (BSTR ParamName, VARIANT* pVal), (ParamName, pVal)) \
  ZX_FORWARD(put_EncoderOptions, (BSTR ParamName, VARIANT newVal), (ParamName, newVal)) \
  ZX_FORWARD(ResetEncoderOptions, (), ()) \
  ZX_FORWARD(DrawOnHDC, (LONG hDC, LONG TopX, LONG TopY, LONG Width, LONG Height, ResizeQualityTypes ResizeQuality), (hDC, TopX, TopY, Width, Height, ResizeQuality)) \
  ZX_FORWARD(GetHistogram, (HistogramTypes HistogramType, SAFEARRAY** Histogram), (HistogramType, Histogram)) \
  ZX_FORWARD(FloodFill, (LONG X, LONG Y, LONG NewColor, LONG TargetColor, FloodFillModes FloodFillMode, BYTE Tolerance, VARIANT_BOOL PreserveAlpha, VARIANT_BOOL ProcessHalftones), (X, Y, NewColor, TargetColor, FloodFillMode, Tolerance, PreserveAlpha, ProcessHalftones)) \
  ZX_FORWARD(get_EnableLZW, (VARIANT_BOOL* pVal), (pVal)) \
  ZX_FORWARD(put_EnableLZW, (VARIANT_BOOL newVal), (newVal)) \
  ZX_FORWARD(DrawOnRaster, (IRasterObject* DestRaster, LONG X, LONG Y, CombineModes CombineMode, BYTE opacity), (DestRaster, X, Y, CombineMode, opacity))


class RasterItem : public server::ComObject<RasterItem, IRasterItem> {
 public:
  RasterItem() noexcept;
  ~RasterItem() override;

  // Second creation step: GDI+ and the inner raster object, made by activation (CLSCTX_INPROC_SERVER);
  // a failure of either fails the item's creation with its HRESULT.
  HRESULT FinalConstruct();
  // An IRasterItem is an IRasterObject: that IID is answered with the same interface.
  void* query_base_interface(REFIID riid) noexcept;

#define ZX_FORWARD(name, params, args) \
  STDMETHOD(name) params override { return m_inner ? m_inner->name args : E_FAIL; }
  ZX_RASTER_OBJECT_MEMBERS(ZX_FORWARD)
#undef ZX_FORWARD

  // ---- IRasterItem ----
  // A copy of the key, or null with S_OK when there is none; E_POINTER for a null pointer.
  STDMETHOD(get_Key)(BSTR* pVal) override;
  // In a collection, a key that any item's lookup finds (this item's own key included, or a
  // number that names a position) is refused with the collection error (IRasterItem) and
  // 0xA0000039, the key unchanged. Otherwise a copy is stored; null clears it.
  STDMETHOD(put_Key)(BSTR newVal) override;
  // The position the item was given in its collection (0 outside one); E_POINTER for a null pointer.
  STDMETHOD(get_Index)(LONG* pVal) override;
  // Plain fields, stored without checks (an invalid Mode is refused by Combine only); a getter given
  // a null pointer answers E_INVALIDARG.
  STDMETHOD(get_IsVisible)(VARIANT_BOOL* pVal) override;
  STDMETHOD(put_IsVisible)(VARIANT_BOOL newVal) override;
  STDMETHOD(get_opacity)(BYTE* pVal) override;
  STDMETHOD(put_opacity)(BYTE newVal) override;
  STDMETHOD(get_Mode)(CombineModes* pVal) override;
  STDMETHOD(put_Mode)(CombineModes newVal) override;
  STDMETHOD(get_OffsetY)(LONG* pVal) override;
  STDMETHOD(put_OffsetY)(LONG newVal) override;
  STDMETHOD(get_OffsetX)(LONG* pVal) override;
  STDMETHOD(put_OffsetX)(LONG newVal) override;
  // The inner raster object with a new reference (E_INVALIDARG for a null pointer); put releases
  // the current one and holds the new one.
  STDMETHOD(get_RasterObject)(IRasterObject** pVal) override;
  STDMETHOD(put_RasterObject)(IRasterObject* newVal) override;

  // ---- what the collection uses ----
  // The parent is a plain back-reference: the collection holds its items, not the other way round.
  void attach(RasterCollection* parent, LONG index) noexcept {
    m_parent = parent;
    m_index = index;
  }
  void set_index(LONG index) noexcept { m_index = index; }
  // Sets the key without the uniqueness check (the collection chose a free one).
  void set_key(BSTR key) { m_key = Bstr(key); }
  // The key compared as the collection's lookups compare it (null reads as empty).
  bool key_equals(const BSTR key) const noexcept;
  IRasterObject* inner() const noexcept { return m_inner.get(); }
  // The bitmap the inner raster object holds (null when it holds none), through
  // IRasterObjectInternal. E_FAIL without a report when the item has no inner raster object.
  HRESULT inner_bitmap(Gdiplus::Bitmap** bitmap) const;

 private:
  ULONG_PTR m_gdiplusToken = 0;
  bool m_gdiplusStarted = false;
  // Fields in the order of the class's data model.
  RasterCollection* m_parent = nullptr;
  LONG m_index = 0;
  Bstr m_key;
  VARIANT_BOOL m_isVisible = 1;  // the integer 1, not VARIANT_TRUE
  BYTE m_opacity = 255;
  CombineModes m_mode = cmAlphaBlend;
  ComPtr<IRasterObject> m_inner;
  LONG m_offsetX = 0;
  LONG m_offsetY = 0;
};

}  // namespace zx::collection
