// Zentarix — MIT licence.
// What every transform shares, through the public surface: both entry paths, settings and their
// checks, fault handling, result ownership, and the raster object's effect methods.

#include <cmath>
#include <functional>

#include "ExternalEffects.h"
#include "TestRegistry.h"
#include "TransformTestSupport.h"
#include "stub_effect.h"

namespace zx::test {
namespace {

const std::vector<uint32_t> kSixPixels = {0xFF102030u, 0xFF405060u, 0xFF708090u, 0xFFA0B0C0u, 0xFFD0E0F0u, 0xFF010203u};

template <class Itf>
HRESULT apply_vtable(IDispatch* transform, SAFEARRAY* input, SAFEARRAY** output) {
  return static_cast<Itf*>(transform)->Apply(input, output);
}

struct Class {
  const char16_t* name;
  const IID& iid;
  HRESULT (*apply)(IDispatch*, SAFEARRAY*, SAFEARRAY**);  // the dual Apply, or null
  const char16_t* source;  // the versioned ProgID error records carry
  LONG width, height;      // the result of the initial settings on a 3 x 2 image
  const char16_t* from;    // the dual Apply's from-message, or null when the class has none
};
const Class kClasses[] = {
    {u"TransformFlipAndRotate", IID_ITransformFlipAndRotate, apply_vtable<ITransformFlipAndRotate>, u"Zentarix.TransformFlipAndRotate.1", 3, 2, u"Cannot retrieve bitmap data from the flip Transform"},
    {u"TransformResize", IID_ITransformResize, apply_vtable<ITransformResize>, u"Zentarix.TransformResize.1", 100, 100, u"Cannot retrieve bitmap data from the resize Transform"},
    {u"TransformCrop", IID_ITransformCrop, apply_vtable<ITransformCrop>, u"Zentarix.TransformCrop.1", 1, 1, u"Cannot retrieve bitmap data from the crop Transform"},
    {u"TransformEqualize", IID_ITransformEqualize, apply_vtable<ITransformEqualize>, u"Zentarix.TransformEquali.1", 3, 2, u"Cannot retrieve bitmap data from the color equalize Transform"},
    {u"TransformRotate", IID_ITransformRotate, apply_vtable<ITransformRotate>, u"Zentarix.TransformRotate.1", 3, 2, u"Cannot retrieve bitmap data from the rotate transform"},
    {u"TransformTransparentize", IID_ITransformTransparentize, apply_vtable<ITransformTransparentize>, u"Zentarix.TransformTransparentize.1", 3, 2, nullptr},
    {u"TransformFastBlur", IID_ITransformFastBlur, nullptr, u"Zentarix.TransformFastBl.1", 3, 2, nullptr},
    {u"TransformGlow", IID_ITransformGlow, nullptr, u"Zentarix.TransformGlow.1", 3, 2, nullptr},
    {u"TransformShadow", IID_ITransformShadow, nullptr, u"Zentarix.TransformShadow.1", 3, 2, nullptr},
    {u"TransformNoiseRemove", IID_ITransformNoiseRemove, nullptr, u"Zentarix.TransformNoiseRemove.1", 3, 2, nullptr},
    {u"TransformErosion", IID_ITransformErosion, nullptr, u"Zentarix.TransformErosio.1", 3, 2, nullptr},
    {u"TransformExpand", IID_ITransformExpand, nullptr, u"Zentarix.TransformExpand.1", 3, 2, nullptr},
};

Variant array_argument(SAFEARRAY* array) {
  Variant v;
  V_VT(&v) = VT_ARRAY | VT_I4;
  SafeArrayCopy(array, &V_ARRAY(&v));
  return v;
}
Variant out_argument(SAFEARRAY** slot) {
  Variant v;
  V_VT(&v) = VT_BYREF | VT_ARRAY | VT_I4;
  V_ARRAYREF(&v) = slot;
  return v;
}

// Every class answers IGDIPlusTransform (Erosion and Expand too), creates its output (1, not -1),
// works on a raster object through ApplyTransform and, where it has one, through the late-bound
// dual Apply; a null OutputArray fails with the from-message after the transform ran.
TEST(TransformFrame, EveryClassThroughBothEntries) {
  for (const Class& c : kClasses) {
    SCOPED_TRACE(to_utf8(c.name));
    ComPtr<IDispatch> transform = make_transform(c.name);
    ComPtr<IGDIPlusTransform> fast;
    ASSERT_EQ(transform->QueryInterface(IID_IGDIPlusTransform, fast.put_void()), S_OK);
    VARIANT_BOOL inside = 0;
    EXPECT_EQ(fast->get_CreateOutputInsideTransform(&inside), S_OK);
    EXPECT_EQ(inside, 1);
    EXPECT_EQ(fast->get_CreateOutputInsideTransform(nullptr), E_POINTER);

    ComPtr<IRasterObject> raster = make_raster(3, 2, kSixPixels);
    ASSERT_EQ(raster->ApplyTransform(transform.get()), S_OK);
    LONG width = 0, height = 0;
    raster->get_Width(&width);
    raster->get_Height(&height);
    EXPECT_EQ(std::pair(width, height), std::pair(c.width, c.height));

    SafeArray input = pixel_array(3, 2, kSixPixels);
    SAFEARRAY* output = nullptr;
    const HRESULT applied = invoke(transform.get(), u"Apply", DISPATCH_METHOD, {array_argument(input.get()), out_argument(&output)});
    SafeArray owned(output);
    if (!c.apply) {
      EXPECT_EQ(applied, DISP_E_UNKNOWNNAME);
      continue;
    }
    ASSERT_EQ(applied, S_OK);
    int w = 0, h = 0;
    array_pixels(output, &w, &h);
    EXPECT_EQ(std::pair(LONG(w), LONG(h)), std::pair(c.width, c.height));
    clear_error();
    if (c.from)
      expect_report(c.apply(transform.get(), input.get(), nullptr), kTransformFailed, c.from, c.iid, c.source);
    else
      EXPECT_EQ(c.apply(transform.get(), input.get(), nullptr), E_POINTER);
  }
}

// Initial values as read through late binding; then the setters that check or reshape values.
TEST(TransformFrame, SettingsStartAsDocumentedAndSettersCheckTheirValues) {
  const struct {
    const char16_t* cls;
    const char16_t* property;
    double initial;
  } initial[] = {
      {u"TransformResize", u"NewWidth", 100}, {u"TransformResize", u"NewHeight", 100}, {u"TransformResize", u"Quality", 2},
      {u"TransformResize", u"BackgroundColor", -1}, {u"TransformFlipAndRotate", u"FlipType", 0},
      {u"TransformCrop", u"LeftUpperCornerX", 0}, {u"TransformCrop", u"Width", 1}, {u"TransformCrop", u"Height", 1},
      {u"TransformCrop", u"ResizeToTheOriginal", 0}, {u"TransformCrop", u"ResizeQuality", 2},
      {u"TransformCrop", u"BackgroundColor", -1}, {u"TransformRotate", u"Angle", 0},
      {u"TransformRotate", u"BackgroundColor", 16777215}, {u"TransformEqualize", u"AlphaMultiplier", 1},
      {u"TransformEqualize", u"RedAddend", 0}, {u"TransformTransparentize", u"TransparentColor", -1},
      {u"TransformTransparentize", u"Threshold", 50}, {u"TransformFastBlur", u"Radius", 2},
      {u"TransformGlow", u"color", -256}, {u"TransformGlow", u"Intensity", 10}, {u"TransformGlow", u"Radius", 2},
      {u"TransformShadow", u"color", -8355712}, {u"TransformShadow", u"OffsetX", 10}, {u"TransformShadow", u"OffsetY", 10},
      {u"TransformNoiseRemove", u"Precision", 1}, {u"TransformErosion", u"Strength", 1}, {u"TransformExpand", u"Strength", 1},
  };
  for (const auto& row : initial)
    EXPECT_EQ(get(make_transform(row.cls).get(), row.property), row.initial) << to_utf8(row.cls) << "." << to_utf8(row.property);

  ComPtr<IDispatch> resize = make_transform(u"TransformResize");
  clear_error();
  expect_report(put(resize.get(), u"NewWidth", value(LONG{0})), DISP_E_EXCEPTION, u"Width must be greater than 0!",
                IID_ITransformResize, u"Zentarix.TransformResize.1");
  auto* typed = static_cast<ITransformResize*>(resize.get());
  expect_report(typed->put_NewHeight(-1), E_FAIL, u"Height must be greater than 0!", IID_ITransformResize,
                u"Zentarix.TransformResize.1");
  EXPECT_EQ(get(resize.get(), u"NewWidth"), 100);
  EXPECT_EQ(get(resize.get(), u"NewHeight"), 100);

  auto* flip = static_cast<ITransformFlipAndRotate*>(make_transform(u"TransformFlipAndRotate").detach());
  EXPECT_EQ(flip->put_FlipType(fartRotate90FlipY), S_OK);
  EXPECT_EQ(flip->put_FlipType(FlipAndRotateTypes(8)), E_INVALIDARG);
  EXPECT_FALSE(take_error().present);
  FlipAndRotateTypes type = fartNoRotateNoFlip;
  EXPECT_EQ(flip->get_FlipType(&type), S_OK);
  EXPECT_EQ(type, fartRotate90FlipY);
  flip->Release();

  ComPtr<IDispatch> equalize = make_transform(u"TransformEqualize");
  put(equalize.get(), u"RedAddend", value(5.0));
  put(equalize.get(), u"GreenAddend", value(-3.0));
  EXPECT_EQ(get(equalize.get(), u"RedAddend"), 1.0);
  EXPECT_EQ(get(equalize.get(), u"GreenAddend"), -1.0);
  ComPtr<IDispatch> transparentize = make_transform(u"TransformTransparentize");
  put(transparentize.get(), u"TransparentColor", value(LONG{0x00123456}));
  EXPECT_EQ(get(transparentize.get(), u"TransparentColor"), double(int32_t(0xFF123456u)));
}

// Getters given a null pointer answer E_INVALIDARG for some properties, E_POINTER for the rest.
TEST(TransformFrame, NullGettersAnswerTheirOwnCode) {
  const struct {
    const char16_t* cls;
    HRESULT expected;
    std::function<HRESULT(IDispatch*)> call;
  } cases[] = {
      {u"TransformResize", E_INVALIDARG, [](IDispatch* d) { return static_cast<ITransformResize*>(d)->get_BackgroundColor(nullptr); }},
      {u"TransformResize", E_POINTER, [](IDispatch* d) { return static_cast<ITransformResize*>(d)->get_NewWidth(nullptr); }},
      {u"TransformCrop", E_INVALIDARG, [](IDispatch* d) { return static_cast<ITransformCrop*>(d)->get_BackgroundColor(nullptr); }},
      {u"TransformCrop", E_POINTER, [](IDispatch* d) { return static_cast<ITransformCrop*>(d)->get_Width(nullptr); }},
      {u"TransformRotate", E_INVALIDARG, [](IDispatch* d) { return static_cast<ITransformRotate*>(d)->get_Angle(nullptr); }},
      {u"TransformFlipAndRotate", E_INVALIDARG, [](IDispatch* d) { return static_cast<ITransformFlipAndRotate*>(d)->get_FlipType(nullptr); }},
      {u"TransformEqualize", E_POINTER, [](IDispatch* d) { return static_cast<ITransformEqualize*>(d)->get_RedAddend(nullptr); }},
      {u"TransformTransparentize", E_INVALIDARG, [](IDispatch* d) { return static_cast<ITransformTransparentize*>(d)->get_Threshold(nullptr); }},
      {u"TransformGlow", E_POINTER, [](IDispatch* d) { return static_cast<ITransformGlow*>(d)->get_Intensity(nullptr); }},
      {u"TransformExpand", E_POINTER, [](IDispatch* d) { return static_cast<ITransformExpand*>(d)->get_Strength(nullptr); }},
  };
  for (const auto& c : cases) EXPECT_EQ(c.call(make_transform(c.cls).get()), c.expected) << to_utf8(c.cls);
}

// A machine fault while a worker reads the input (a bitmap over memory made unreadable) ends the
// call with the class's own message, and leaves both bitmaps unlocked.
TEST(TransformFrame, MachineFaultInsideAKernelFailsTheCall) {
  const std::u16string blurred = u" transform. If you see this message, please contact " + support();
  auto gdiplus = [](const std::u16string& method, const std::u16string& object) {
    return gdiplus_message(method, object, u"Some unspecified GDI+ error. GDI+ status code 1");
  };
  const struct {
    const char16_t* cls;
    HRESULT hr;
    std::u16string message;
  } cases[] = {
      {u"TransformFastBlur", kTransformFailed, u"Some exception occured in the FastBlur" + blurred},
      {u"TransformGlow", kTransformFailed, u"Some exception occured in the Glow" + blurred},
      {u"TransformShadow", kTransformFailed, u"Some exception occured in the Shadow" + blurred},
      {u"TransformNoiseRemove", kTransformFailed, u"Some exception occured in the NoiseRemove" + blurred},
      {u"TransformErosion", kTransformFailed, u"Some exception occured in the Erosion" + blurred},
      {u"TransformExpand", kTransformFailed, u"Some exception occured in the Expand" + blurred},
      {u"TransformTransparentize", E_FAIL, u"Cannot proceed transparentizing the image! If you see this message, please contact " + support()},
      {u"TransformFlipAndRotate", E_FAIL, gdiplus(u"DoFlipAndRotate", u"TransformFlipAndRotate")},
      {u"TransformResize", kTransformFailed, gdiplus(u"Apply", u"TransformResize")},
  };
  GdiplusSession session;
  UnreadableBitmap input;
  ASSERT_TRUE(input.ok());
  for (const auto& c : cases) {
    SCOPED_TRACE(to_utf8(c.cls));
    ComPtr<IGDIPlusTransform> transform;
    ASSERT_EQ(make_transform(c.cls).query(transform), S_OK);
    const auto [hr, description] = apply_to_unreadable(transform.get(), input);
    EXPECT_EQ(hr, c.hr);
    EXPECT_EQ(to_utf8(description), to_utf8(c.message));
  }
}

// A failing ApplyMe may leave its result in the slot: ApplyTransform deletes it and keeps the image.
TEST(TransformFrame, ApplyTransformDeletesTheResultOfAFailingTransform) {
  static int deleted = 0;
  struct Counted : Gdiplus::Bitmap {
    Counted() : Gdiplus::Bitmap(2, 2, Gdiplus::PixelFormat32bppARGB) {}
    ~Counted() override { ++deleted; }
  };
  struct Failing : IGDIPlusTransform {
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
      *ppv = riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IGDIPlusTransform ? this : nullptr;
      return *ppv ? S_OK : E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return 2; }
    STDMETHOD_(ULONG, Release)() override { return 1; }
    STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
    STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
    STDMETHOD(ApplyMe)(LONG*, LONG** result) override {
      *reinterpret_cast<Gdiplus::Bitmap**>(result) = new Counted;
      return E_ABORT;
    }
    STDMETHOD(get_CreateOutputInsideTransform)(VARIANT_BOOL* value) override {
      *value = 1;
      return S_OK;
    }
  } failing;
  ComPtr<IRasterObject> raster = make_raster(3, 2, kSixPixels);
  EXPECT_EQ(raster->ApplyTransform(&failing), E_ABORT);
  EXPECT_EQ(deleted, 1);
  EXPECT_EQ(read_pixels(raster.get()), kSixPixels);
  // A real one: Crop fails to draw from a corner out of range after handing out its result; the
  // sanitizer build proves neither ApplyTransform nor the dual Apply leaks it.
  ComPtr<IDispatch> crop = make_transform(u"TransformCrop");
  put(crop.get(), u"LeftUpperCornerX", value(LONG{1 << 30}));
  const std::u16string refused = gdiplus_message(u"Apply", u"TransformCrop", u"Invalid parameter. GDI+ status code 2");
  expect_report(raster->ApplyTransform(crop.get()), kTransformFailed, refused, IID_ITransformCrop, u"Zentarix.TransformCrop.1");
  SafeArray input = pixel_array(3, 2, kSixPixels), output;
  expect_report(static_cast<ITransformCrop*>(crop.get())->Apply(input.get(), output.put()), kTransformFailed, refused,
                IID_ITransformCrop, u"Zentarix.TransformCrop.1");
  EXPECT_EQ(output.get(), nullptr);
}

// The effect methods set their transform up before applying it, so a refused size is the setter's
// report even without an image; an external effect that is not installed answers the activation
// failure without a record of its own.
TEST(EffectMethods, OwnTransformsAreSetUpFirstAndExternalOnesNeedTheirModule) {
  ComPtr<IRasterObject> empty = make_raster();
  clear_error();
  expect_report(empty->Resize(0, 10, rqtBilinearMode, -1), E_FAIL, u"Width must be greater than 0!",
                IID_ITransformResize, u"Zentarix.TransformResize.1");
  expect_report(empty->Resize(10, 10, rqtBilinearMode, -1), kTransformFailed,
                u"Cannot save image to file, because there is no any data. Create new image or load it first.");
  for (HRESULT hr : {empty->AutoLevel(), empty->Texturize(3, 1.5f), empty->PageCurl(1, 2, pcmRightBottomCurlDown, -52, -1)}) {
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(take_error().present);
  }
  // Addends arrive as fractions (255 -> 1.0, -255 -> -1.0), multipliers unchanged.
  const struct {
    LONG red_addend;
    FLOAT red_multiplier;
    uint32_t pixel;
  } equalize[] = {{255, 1.0f, 0xFFFF4080u}, {-255, 1.0f, 0xFF004080u}, {0, 0.5f, 0xFF644080u}};
  for (const auto& e : equalize) {
    ComPtr<IRasterObject> raster = make_raster(1, 1, {0xFFC84080u});
    ASSERT_EQ(raster->Equalize(e.red_addend, 0, 0, 0, e.red_multiplier, 1.0f, 1.0f, 1.0f), S_OK);
    EXPECT_EQ(read_pixels(raster.get())[0], e.pixel);
  }
}

// External effects call their setters by vtable entry in the table's order, with the values as
// received (a VARIANT_BOOL sign-extended), then hand the object to ApplyTransform, whose answer
// (here: the stand-in has no "Apply") is theirs.
TEST(EffectMethods, ExternalSettersAreCalledByEntryInOrder) {
  make_raster();
  for (const CLSID& clsid : {effects::ids::kSpray, effects::ids::kAddNoise})
    write_value(u"CLSID\\" + guid_text(clsid) + u"\\InprocServer32", to_utf16(ZX_STUB_EFFECT));
  ComPtr<IRasterObject> raster = make_raster(3, 2, kSixPixels);
  const struct {
    std::function<HRESULT()> call;
    std::vector<int32_t> calls;
  } cases[] = {
      {[&] { return raster->Spray(7, 3, 0x11223344); }, {11, 0x11223344, 9, 7, 13, 3}},
      {[&] { return raster->AddNoise(5, VARIANT_TRUE); }, {9, 5, 11, -1}},
  };
  for (const auto& c : cases) {
    zx_stub_effect_reset();
    clear_error();
    expect_report(c.call(), kTransformFailed, u"Cannot find Apply method among the members of the object, you passed");
    size_t count = 0;
    const int32_t* calls = zx_stub_effect_calls(&count);
    EXPECT_EQ(std::vector<int32_t>(calls, calls + count), c.calls);
  }
  EXPECT_EQ(read_pixels(raster.get()), kSixPixels);
}

}  // namespace
}  // namespace zx::test
