// Zentarix — MIT licence.
// RasterObject: one 32 bpp ARGB image in memory, its resolutions, file types and encoder options store.
#pragma once
#include <gdiplus.h>
#include <scrrun.h>

#include <initializer_list>
#include <memory>

#include "ComObject.h"
#include "ExternalEffects.h"
#include "zentarix.h"

struct IPictureTransform;

namespace zx::raster {

// The class is split by behaviour over RasterObject*.cpp: state and options (RasterObject.cpp),
// transforms (_Transform), combining (_Combine), flood fill and histogram (_Fill), loading, saving
// and the effect methods in their own files. Every member follows the one boundary idiom of
// ComObject.h; failures are reported with ReportError naming CLSID_RasterObject and IID_IRasterObject
// unless a member's contract says otherwise.
class RasterObject : public server::ComObject<RasterObject, IRasterObject, IRasterObjectInternal> {
 public:
  RasterObject() noexcept;
  ~RasterObject() override;

  // Second creation step: GDI+, the encoder manager, the options store ("OutputFileType" = "Auto").
  HRESULT FinalConstruct();

  // ---- IRasterObject, in vtable order ----
  // Loading and saving: RasterObject_Load.cpp and RasterObject_Save.cpp. A failed load leaves no
  // image; a save encodes completely into memory before the target is touched.
  STDMETHOD(LoadFile)(BSTR FileName) override;
  STDMETHOD(SaveFile)(BSTR FileName, IDispatch* Encoder) override;
  STDMETHOD(LoadStream)(IUnknown* InputStream) override;
  STDMETHOD(SaveStream)(IUnknown* OutputStream, IDispatch* Encoder) override;
  // E_INVALIDARG for a null pointer; the field (0 until first put).
  STDMETHOD(get_OutputFileType)(OutputFileTypes* pVal) override;
  // 0..6, else E_INVALIDARG with a report and nothing changed; writes "OutputFileType" (VT_I4).
  STDMETHOD(put_OutputFileType)(OutputFileTypes newVal) override;
  // No image: E_FAIL report (tested before the pointer); null pointer: E_INVALIDARG.
  STDMETHOD(get_Width)(LONG* pVal) override;
  STDMETHOD(get_Height)(LONG* pVal) override;
  // Replaces the image with Width x Height pixels all holding `color` exactly (no blending).
  STDMETHOD(EmptyImage)(LONG Width, LONG Height, LONG color) override;
  STDMETHOD(get_HorizontalResolution)(FLOAT* pVal) override;
  // Stores the field and the "HorizontalResolution" option (VT_R4); no check of the value.
  STDMETHOD(put_HorizontalResolution)(FLOAT newVal) override;
  STDMETHOD(get_VerticalResolution)(FLOAT* pVal) override;
  STDMETHOD(put_VerticalResolution)(FLOAT newVal) override;
  // A new object with the same pixels, resolutions and output file type; the rest as new.
  STDMETHOD(Clone)(IRasterObject** ClonedObject) override;
  STDMETHOD(get_Pixels)(LONG X, LONG Y, LONG* pVal) override;
  STDMETHOD(put_Pixels)(LONG X, LONG Y, LONG newVal) override;
  // oftUnknown until an image is loaded from a file, stream or picture.
  STDMETHOD(get_CurrentFileType)(OutputFileTypes* pVal) override;
  STDMETHOD(SavePicture)(IPictureDisp** Picture) override;
  STDMETHOD(LoadPicture)(IPictureDisp* Picture) override;
  // Effect methods (RasterObject_Effects.cpp): each creates its transform by class (CLSCTX 0x17; a
  // failure is returned without an error record), calls its setters in a fixed order (their
  // results ignored, except Resize's size setters, whose failure is returned at once) and returns
  // ApplyTransform's result. The transform is released on every exit.
  STDMETHOD(FlipAndRotate)(FlipAndRotateTypes Type) override;
  STDMETHOD(Rotate)(FLOAT Angle, LONG BackgroundColor) override;
  STDMETHOD(Resize)(LONG NewWidth, LONG NewHeight, ResizeQualityTypes Quality, LONG BackgroundColor) override;
  STDMETHOD(Crop)(LONG X, LONG Y, LONG Width, LONG Height, LONG BackgroundColor, VARIANT_BOOL WhetherToResize,
                  ResizeQualityTypes ResizeQuality) override;
  STDMETHOD(Transparentize)(LONG TransparentColor, BYTE Threshold) override;
  STDMETHOD(Equalize)(LONG RedAddend, LONG GreenAddend, LONG BlueAddend, LONG AlphaAddend, FLOAT RedMultiplier,
                      FLOAT GreenMultiplier, FLOAT BlueMultiplier, FLOAT AlphaMultiplier) override;
  STDMETHOD(AutoLevel)() override;
  // Hands the bitmap to a transform: IGDIPlusTransform, then IPictureTransform, then late-bound
  // "Apply" with pixel arrays. The image is replaced only by a successful way.
  STDMETHOD(ApplyTransform)(IDispatch* Transform) override;
  STDMETHOD(Antialiasing)() override;
  STDMETHOD(Greyscale)() override;
  STDMETHOD(Waddle)() override;
  STDMETHOD(Lightness)(LONG Amount) override;
  STDMETHOD(Contrast)(LONG Amount) override;
  STDMETHOD(AutoLightness)() override;
  STDMETHOD(AutoContrast)() override;
  STDMETHOD(AddNoise)(LONG Amount, VARIANT_BOOL IsMonochrome) override;
  STDMETHOD(Spray)(LONG Amount, LONG FrameWidth, LONG BackgroundColor) override;
  STDMETHOD(Mosaic)(LONG CellWidth, LONG CellHeight) override;
  STDMETHOD(Sinusize)(LONG HorizontalAmplitude, LONG HorizontalWaveLength, LONG HorizontalStartPhase,
                      LONG VerticalAmplitude, LONG VerticalWaveLength, LONG VerticalStartPhase,
                      LONG BackgroundColor) override;
  STDMETHOD(Swirl)(LONG Amount) override;
  STDMETHOD(EllipseCrop)(LONG X, LONG Y, LONG HorizontalRadius, LONG VerticalRadius, LONG BackgroundColor) override;
  STDMETHOD(Solarize)(LONG ThresholdColor) override;
  STDMETHOD(HSLColorize)(LONG Hue, LONG Saturation, LONG Lightness) override;
  STDMETHOD(Texturize)(LONG Amount, FLOAT Shift) override;
  STDMETHOD(Sharpen)(LONG Strength) override;
  STDMETHOD(Emboss)(EmbossTypes Type) override;
  STDMETHOD(EdgeDetect)(EdgeDetectTypes Type) override;
  STDMETHOD(SwapChannels)(LONG Red, LONG Green, LONG Blue, LONG alpha) override;
  STDMETHOD(Buttonize)(LONG Type, LONG FrameWidth, LONG FrameOpacity) override;
  STDMETHOD(FastBlur)(DOUBLE Radius) override;
  STDMETHOD(Glow)(DOUBLE Intensity, DOUBLE Radius, LONG color) override;
  STDMETHOD(Shadow)(LONG OffsetX, LONG OffsetY, DOUBLE Radius, LONG color) override;
  STDMETHOD(RemoveNoise)(LONG Precision) override;
  STDMETHOD(Expand)(LONG Strength) override;
  STDMETHOD(Erosion)(LONG Strength) override;
  STDMETHOD(PageCurl)(LONG Width, LONG Height, PageCurlModes CurlMode, LONG CurlColor, LONG BackgroundColor) override;
  // The options store: names match in any letter case.
  STDMETHOD(get_EncoderOptions)(BSTR ParamName, VARIANT* pVal) override;
  STDMETHOD(put_EncoderOptions)(BSTR ParamName, VARIANT newVal) override;
  // Empties the store and puts "OutputFileType" = "Auto"; the fields keep their values.
  STDMETHOD(ResetEncoderOptions)() override;
  // Draws the whole image scaled into (TopX, TopY, Width, Height) of a memory DC, pixel offset Half,
  // SourceOver; "Cannot draw empty image on DC!" or "Cannot draw on given DC!" with E_FAIL.
  STDMETHOD(DrawOnHDC)(LONG hDC, LONG TopX, LONG TopY, LONG Width, LONG Height,
                       ResizeQualityTypes ResizeQuality) override;
  // A new 256-bin VT_I4 vector in *Histogram (an array already there is destroyed first).
  STDMETHOD(GetHistogram)(HistogramTypes HistogramType, SAFEARRAY** Histogram) override;
  // Scanline fill of the area connected to (X, Y), recoloured in place.
  STDMETHOD(FloodFill)(LONG X, LONG Y, LONG NewColor, LONG TargetColor, FloodFillModes FloodFillMode,
                       BYTE Tolerance, VARIANT_BOOL PreserveAlpha, VARIANT_BOOL ProcessHalftones) override;
  // E_POINTER (not E_INVALIDARG) for a null pointer.
  STDMETHOD(get_EnableLZW)(VARIANT_BOOL* pVal) override;
  STDMETHOD(put_EnableLZW)(VARIANT_BOOL newVal) override;
  // Draws this image onto DestRaster's (a raster object of this library) at (X, Y) in place.
  STDMETHOD(DrawOnRaster)(IRasterObject* DestRaster, LONG X, LONG Y, CombineModes CombineMode,
                          BYTE opacity) override;

  // ---- IRasterObjectInternal ----
  // Borrows the held Gdiplus::Bitmap* (null without an image); S_OK. E_POINTER for a null pointer.
  STDMETHOD(GetDataPointer)(LONG** pResult) override;
  // Deletes the held bitmap and takes ownership of the Gdiplus::Bitmap* given (null: no image); the
  // bitmap already held, given back, is kept.
  STDMETHOD(SetDataPointer)(LONG* pValue) override;

 private:
  // Replaces the held bitmap, deleting the old one (never the same object).
  void replace_bitmap(Gdiplus::Bitmap* bitmap) noexcept;
  // Reports a failure of this class: source CLSID_RasterObject, interface IID_IRasterObject.
  static HRESULT report(const std::u16string& description, HRESULT hr) noexcept;
  static HRESULT report(LPCOLESTR description, HRESULT hr) noexcept;
  // Puts name = value into the options store (add or replace); the store's result.
  HRESULT put_option(LPCOLESTR name, const VARIANT& value) noexcept;
  // Clears the options store and puts "OutputFileType" = "Auto".
  HRESULT reset_options() noexcept;
  // An effect's transform handed to our own ApplyTransform.
  HRESULT apply_own(IDispatch* transform);
  // An external effect of the shared table, its setters called by vtable entry.
  HRESULT apply_external(int which, std::initializer_list<effects::EffectArgument> arguments);
  // The three ways of ApplyTransform, tried in this order.
  HRESULT apply_gdiplus_transform(IGDIPlusTransform* transform);
  HRESULT apply_picture_transform(IPictureTransform* transform);
  HRESULT apply_dispatch_transform(IDispatch* transform);
  // The common core of SaveFile and SaveStream, defined with them.
  HRESULT SaveInternal(IStream* target, IDispatch* Encoder);
  // The last step of every load: turns a decoded image into the working bitmap that becomes the
  // object's image (the decoded bitmap itself, converted in place, when it can be), with its
  // resolutions; a failed conversion leaves no image and is reported for methodName. Defined with
  // the loads.
  HRESULT adopt_decoded(std::unique_ptr<Gdiplus::Bitmap> decoded, const OLECHAR* methodName);

  // Fields, in the order of the class's data model.
  Gdiplus::GdiplusStartupInput m_startupInput;
  ULONG_PTR m_gdiplusToken = 0;
  bool m_gdiplusStarted = false;
  Gdiplus::Bitmap* m_bitmap = nullptr;  // owned
  OutputFileTypes m_currentFileType = oftUnknown;
  OutputFileTypes m_outputFileType = oftJPEG;
  FLOAT m_horizontalResolution = 0.0f;
  FLOAT m_verticalResolution = 0.0f;
  VARIANT_BOOL m_enableLZW = VARIANT_FALSE;
  ComPtr<IEncoderManager> m_encoderManager;
  ComPtr<IDictionary> m_encoderOptions;
};

// Copies any bitmap into a new 32 bpp ARGB one held in *target (whose old bitmap is deleted).
// Returns a GDI+ status: GenericError (1) without a source or target slot, the status of a failed
// lock or unlock, InsufficientBuffer (5) after a machine fault. Used by Clone and the collection.
Gdiplus::Status copy_bitmap(Gdiplus::Bitmap* source, Gdiplus::Bitmap** target);

}  // namespace zx::raster
