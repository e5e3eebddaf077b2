// Zentarix — MIT licence.
// The effect methods: each makes a transform by its class, sets it up and hands it to ApplyTransform.
#include <bit>
#include <initializer_list>

#include "ExternalEffects.h"
#include "RasterObject.h"

namespace zx::raster {
namespace {

// In-process, handler, local and remote servers are all accepted.
constexpr DWORD kEffectContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
// The methods take addends in colour steps, the transform in fractions of full brightness: 1/255
// in single precision (0x3B808081), so 255 becomes exactly 1.0.
const FLOAT kStep = std::bit_cast<FLOAT>(0x3B808081u);

template <class Itf>
HRESULT create(REFCLSID clsid, ComPtr<Itf>& transform) {
  return CoCreateInstance(clsid, nullptr, kEffectContext, uuid_of<Itf>::value, transform.put_void());
}

}  // namespace

// The setters of an external effect are called by vtable entry through typed pointers, in the
// order of the shared table; their results are not examined.
HRESULT RasterObject::apply_external(int which, std::initializer_list<effects::EffectArgument> arguments) {
  const effects::ExternalEffect& effect = effects::kExternalEffects[which];
  ComPtr<IDispatch> transform;
  const HRESULT hr = CoCreateInstance(effect.clsid, nullptr, kEffectContext, effect.iid, transform.put_void());
  if (FAILED(hr)) return hr;
  using LongSetter = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, LONG);
  using FloatSetter = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, FLOAT);
  void* const* entries = *reinterpret_cast<void* const* const*>(transform.get());
  for (size_t i = 0; i < effect.count; ++i) {
    const effects::SetterCall& call = effect.setters[i];
    const effects::EffectArgument value = call.argument == effects::kConstant ? effects::EffectArgument(call.constant)
                                                               : arguments.begin()[call.argument];
    if (call.kind == effects::ArgumentKind::Float)
      reinterpret_cast<FloatSetter>(entries[call.entry])(transform.get(), value.real);
    else
      reinterpret_cast<LongSetter>(entries[call.entry])(transform.get(), value.whole);
  }
  return static_cast<IRasterObject*>(this)->ApplyTransform(transform.get());
}

HRESULT RasterObject::apply_own(IDispatch* transform) { return static_cast<IRasterObject*>(this)->ApplyTransform(transform); }

HRESULT RasterObject::FlipAndRotate(FlipAndRotateTypes Type) {
  ComPtr<ITransformFlipAndRotate> t;
  if (const HRESULT hr = create(CLSID_TransformFlipAndRotate, t); FAILED(hr)) return hr;
  t->put_FlipType(Type);
  return apply_own(t.get());
}

HRESULT RasterObject::Rotate(FLOAT Angle, LONG BackgroundColor) {
  ComPtr<ITransformRotate> t;
  if (const HRESULT hr = create(CLSID_TransformRotate, t); FAILED(hr)) return hr;
  t->put_Angle(Angle);
  t->put_BackgroundColor(BackgroundColor);
  return apply_own(t.get());
}

// The only effect whose setters can stop it: a refused size is returned before anything is applied.
HRESULT RasterObject::Resize(LONG NewWidth, LONG NewHeight, ResizeQualityTypes Quality, LONG BackgroundColor) {
  ComPtr<ITransformResize> t;
  HRESULT hr = create(CLSID_TransformResize, t);
  if (FAILED(hr)) return hr;
  if (FAILED(hr = t->put_NewWidth(NewWidth))) return hr;
  if (FAILED(hr = t->put_NewHeight(NewHeight))) return hr;
  t->put_Quality(Quality);
  t->put_BackgroundColor(BackgroundColor);
  return apply_own(t.get());
}

HRESULT RasterObject::Crop(LONG X, LONG Y, LONG Width, LONG Height, LONG BackgroundColor, VARIANT_BOOL WhetherToResize,
                           ResizeQualityTypes ResizeQuality) {
  ComPtr<ITransformCrop> t;
  if (const HRESULT hr = create(CLSID_TransformCrop, t); FAILED(hr)) return hr;
  t->put_LeftUpperCornerX(X);
  t->put_LeftUpperCornerY(Y);
  t->put_Width(Width);
  t->put_Height(Height);
  t->put_BackgroundColor(BackgroundColor);
  t->put_ResizeToTheOriginal(WhetherToResize);
  t->put_ResizeQuality(ResizeQuality);
  return apply_own(t.get());
}

HRESULT RasterObject::Transparentize(LONG TransparentColor, BYTE Threshold) {
  ComPtr<ITransformTransparentize> t;
  if (const HRESULT hr = create(CLSID_TransformTransparentize, t); FAILED(hr)) return hr;
  t->put_Threshold(Threshold);
  t->put_TransparentColor(TransparentColor);
  return apply_own(t.get());
}

HRESULT RasterObject::Equalize(LONG RedAddend, LONG GreenAddend, LONG BlueAddend, LONG AlphaAddend,
                               FLOAT RedMultiplier, FLOAT GreenMultiplier, FLOAT BlueMultiplier,
                               FLOAT AlphaMultiplier) {
  ComPtr<ITransformEqualize> t;
  if (const HRESULT hr = create(CLSID_TransformEqualize, t); FAILED(hr)) return hr;
  t->put_RedAddend(static_cast<FLOAT>(RedAddend) * kStep);
  t->put_GreenAddend(static_cast<FLOAT>(GreenAddend) * kStep);
  t->put_BlueAddend(static_cast<FLOAT>(BlueAddend) * kStep);
  t->put_AlphaAddend(static_cast<FLOAT>(AlphaAddend) * kStep);
  t->put_RedMultiplier(RedMultiplier);
  t->put_GreenMultiplier(GreenMultiplier);
  t->put_BlueMultiplier(BlueMultiplier);
  t->put_AlphaMultiplier(AlphaMultiplier);
  return apply_own(t.get());
}

HRESULT RasterObject::FastBlur(DOUBLE Radius) {
  ComPtr<ITransformFastBlur> t;
  if (const HRESULT hr = create(CLSID_TransformFastBlur, t); FAILED(hr)) return hr;
  t->put_Radius(Radius);
  return apply_own(t.get());
}

HRESULT RasterObject::Glow(DOUBLE Intensity, DOUBLE Radius, LONG color) {
  ComPtr<ITransformGlow> t;
  if (const HRESULT hr = create(CLSID_TransformGlow, t); FAILED(hr)) return hr;
  t->put_Radius(Radius);
  t->put_color(color);
  t->put_Intensity(Intensity);
  return apply_own(t.get());
}

HRESULT RasterObject::Shadow(LONG OffsetX, LONG OffsetY, DOUBLE Radius, LONG color) {
  ComPtr<ITransformShadow> t;
  if (const HRESULT hr = create(CLSID_TransformShadow, t); FAILED(hr)) return hr;
  t->put_Radius(Radius);
  t->put_color(color);
  t->put_OffsetX(OffsetX);
  t->put_OffsetY(OffsetY);
  return apply_own(t.get());
}

HRESULT RasterObject::RemoveNoise(LONG Precision) {
  ComPtr<ITransformNoiseRemove> t;
  if (const HRESULT hr = create(CLSID_TransformNoiseRemove, t); FAILED(hr)) return hr;
  t->put_Precision(Precision);
  return apply_own(t.get());
}

HRESULT RasterObject::Expand(LONG Strength) {
  ComPtr<ITransformExpand> t;
  if (const HRESULT hr = create(CLSID_TransformExpand, t); FAILED(hr)) return hr;
  t->put_Strength(Strength);
  return apply_own(t.get());
}

HRESULT RasterObject::Erosion(LONG Strength) {
  ComPtr<ITransformErosion> t;
  if (const HRESULT hr = create(CLSID_TransformErosion, t); FAILED(hr)) return hr;
  t->put_Strength(Strength);
  return apply_own(t.get());
}

// The external effects. A Boolean goes on as the VARIANT_BOOL received, sign-extended.
HRESULT RasterObject::AutoLevel() { return apply_external(effects::kAutoLevel, {}); }
HRESULT RasterObject::Antialiasing() { return apply_external(effects::kAntialiasing, {}); }
HRESULT RasterObject::Greyscale() { return apply_external(effects::kGreyscale, {}); }
HRESULT RasterObject::Waddle() { return apply_external(effects::kWaddle, {}); }
HRESULT RasterObject::Lightness(LONG Amount) { return apply_external(effects::kLightness, {Amount}); }
HRESULT RasterObject::Contrast(LONG Amount) { return apply_external(effects::kContrast, {Amount}); }
HRESULT RasterObject::AutoLightness() { return apply_external(effects::kAutoLightness, {}); }
HRESULT RasterObject::AutoContrast() { return apply_external(effects::kAutoContrast, {}); }
HRESULT RasterObject::AddNoise(LONG Amount, VARIANT_BOOL IsMonochrome) {
  return apply_external(effects::kAddNoise, {Amount, LONG{IsMonochrome}});
}
HRESULT RasterObject::Spray(LONG Amount, LONG FrameWidth, LONG BackgroundColor) {
  return apply_external(effects::kSpray, {Amount, FrameWidth, BackgroundColor});
}
HRESULT RasterObject::Mosaic(LONG CellWidth, LONG CellHeight) {
  return apply_external(effects::kMosaic, {CellWidth, CellHeight});
}
HRESULT RasterObject::Sinusize(LONG HorizontalAmplitude, LONG HorizontalWaveLength, LONG HorizontalStartPhase,
                               LONG VerticalAmplitude, LONG VerticalWaveLength, LONG VerticalStartPhase,
                               LONG BackgroundColor) {
  return apply_external(effects::kSinusize, {HorizontalAmplitude, HorizontalWaveLength, HorizontalStartPhase,
                                             VerticalAmplitude, VerticalWaveLength, VerticalStartPhase, BackgroundColor});
}
HRESULT RasterObject::Swirl(LONG Amount) { return apply_external(effects::kSwirl, {Amount}); }
HRESULT RasterObject::EllipseCrop(LONG X, LONG Y, LONG HorizontalRadius, LONG VerticalRadius, LONG BackgroundColor) {
  return apply_external(effects::kEllipseCrop, {X, Y, HorizontalRadius, VerticalRadius, BackgroundColor});
}
HRESULT RasterObject::Solarize(LONG ThresholdColor) { return apply_external(effects::kSolarize, {ThresholdColor}); }
HRESULT RasterObject::HSLColorize(LONG Hue, LONG Saturation, LONG Lightness) {
  return apply_external(effects::kHSLColorize, {Hue, Saturation, Lightness});
}
HRESULT RasterObject::Texturize(LONG Amount, FLOAT Shift) { return apply_external(effects::kTexturize, {Amount, Shift}); }
HRESULT RasterObject::Sharpen(LONG Strength) { return apply_external(effects::kSharpen, {Strength}); }
HRESULT RasterObject::Emboss(EmbossTypes Type) { return apply_external(effects::kEmboss, {LONG{Type}}); }
HRESULT RasterObject::EdgeDetect(EdgeDetectTypes Type) { return apply_external(effects::kEdgeDetect, {LONG{Type}}); }
HRESULT RasterObject::SwapChannels(LONG Red, LONG Green, LONG Blue, LONG alpha) {
  return apply_external(effects::kSwapChannels, {Red, Green, Blue, alpha});
}
HRESULT RasterObject::Buttonize(LONG Type, LONG FrameWidth, LONG FrameOpacity) {
  return apply_external(effects::kButtonize, {Type, FrameWidth, FrameOpacity});
}
HRESULT RasterObject::PageCurl(LONG Width, LONG Height, PageCurlModes CurlMode, LONG CurlColor, LONG BackgroundColor) {
  return apply_external(effects::kPageCurl, {Width, Height, LONG{CurlMode}, CurlColor, BackgroundColor});
}

}  // namespace zx::raster
