// Zentarix — MIT licence.
// The effect classes' contract: setters at the entries the raster object calls, getters and named
// properties beside them, Apply at its entry, and machine faults ending the call.
#include "EffectTestSupport.h"
#include "TestRegistry.h"

namespace zx::test {
namespace {

using effects::kExternalEffects;

// Each class's properties in vtable order (every Auto form shares its class's row).
struct Layout {
  int effect;
  std::vector<const char16_t*> properties;
};
const Layout kLayouts[] = {
    {effects::kAutoLevel, {}},
    {effects::kAntialiasing, {}},
    {effects::kGreyscale, {}},
    {effects::kWaddle, {}},
    {effects::kLightness, {u"Amount", u"Automatic"}},
    {effects::kContrast, {u"Amount", u"Automatic"}},
    {effects::kAddNoise, {u"Amount", u"IsMonochrome"}},
    {effects::kSpray, {u"Amount", u"BackgroundColor", u"FrameWidth"}},
    {effects::kMosaic, {u"CellHeight", u"CellWidth"}},
    {effects::kSinusize, {u"HorizontalAmplitude", u"VerticalAmplitude", u"HorizontalWaveLength", u"VerticalWaveLength",
                          u"HorizontalStartPhase", u"VerticalStartPhase", u"BackgroundColor"}},
    {effects::kSwirl, {u"Amount"}},
    {effects::kEllipseCrop, {u"VerticalRadius", u"HorizontalRadius", u"BackgroundColor", u"X", u"Y"}},
    {effects::kSolarize, {u"ThresholdColor"}},
    {effects::kHSLColorize, {u"Hue", u"Saturation", u"Lightness"}},
    {effects::kTexturize, {u"Amount", u"Shift"}},
    {effects::kSharpen, {u"Strength"}},
    {effects::kEmboss, {u"Type"}},
    {effects::kEdgeDetect, {u"Type"}},
    {effects::kSwapChannels, {u"Red", u"Green", u"Blue", u"alpha"}},
    {effects::kButtonize, {u"FrameOpacity", u"FrameWidth", u"Type"}},
    {effects::kPageCurl, {u"Width", u"Height", u"BackgroundColor", u"CurlColor", u"CurlMode"}},
};

const Layout& layout_of(int effect) {
  return *std::find_if(std::begin(kLayouts), std::end(kLayouts), [effect](const Layout& l) { return l.effect == effect; });
}

// PageCurl has its properties from entry 7 and Apply after them; every other class has Apply at 7.
int first_put(int effect) { return effect == effects::kPageCurl ? 8 : 9; }
int apply_entry(const Layout& layout) {
  return layout.effect == effects::kPageCurl ? 7 + 2 * int(layout.properties.size()) : 7;
}

ComPtr<IDispatch> create(int effect) {
  ComPtr<IDispatch> object;
  EXPECT_EQ(CoCreateInstance(kExternalEffects[effect].clsid, nullptr, CLSCTX_INPROC_SERVER, kExternalEffects[effect].iid,
                             object.put_void()),
            S_OK);
  return object;
}

template <class Function>
Function entry(IDispatch* object, int number) {
  return reinterpret_cast<Function>((*reinterpret_cast<void* const* const*>(object))[number]);
}

// Values put by entry, as the raster object puts them, read back by the getter one entry before
// and by name through IDispatch; Texturize's Shift is a FLOAT.
TEST(EffectContract, SettersAtTheirEntriesReadBackThroughGettersAndDispatch) {
  register_effects();
  for (const Layout& layout : kLayouts) {
    ComPtr<IDispatch> object = create(layout.effect);
    ASSERT_TRUE(object);
    for (size_t i = 0; i < layout.properties.size(); ++i) {
      SCOPED_TRACE(to_utf8(layout.properties[i]));
      const int put = first_put(layout.effect) + 2 * int(i);
      Variant named;
      if (layout.effect == effects::kTexturize && i == 1) {
        EXPECT_EQ(entry<HRESULT (*)(IDispatch*, FLOAT)>(object.get(), put)(object.get(), 2.75f), S_OK);
        FLOAT back = 0;
        EXPECT_EQ(entry<HRESULT (*)(IDispatch*, FLOAT*)>(object.get(), put - 1)(object.get(), &back), S_OK);
        EXPECT_EQ(back, 2.75f);
        EXPECT_EQ(get(object.get(), layout.properties[i]), 2.75);
        continue;
      }
      const LONG v = -70000 - 13 * LONG(put);  // refused by every check: setters store anything
      EXPECT_EQ(entry<HRESULT (*)(IDispatch*, LONG)>(object.get(), put)(object.get(), v), S_OK);
      LONG back = 0;
      EXPECT_EQ(entry<HRESULT (*)(IDispatch*, LONG*)>(object.get(), put - 1)(object.get(), &back), S_OK);
      EXPECT_EQ(back, v);
      EXPECT_EQ(get(object.get(), layout.properties[i]), v);
      EXPECT_EQ(entry<HRESULT (*)(IDispatch*, LONG*)>(object.get(), put - 1)(object.get(), nullptr), E_POINTER);
    }
  }
}

// Apply takes and gives pixel arrays, at its entry and by name; a null output is the effect's
// from-message after the work, a refused setting the class's own report.
TEST(EffectContract, ApplyOverPixelArraysAtItsEntryAndByName) {
  register_effects();
  using ApplyAt = HRESULT (*)(IDispatch*, SAFEARRAY*, SAFEARRAY**);
  const std::vector<uint32_t> input = {0xFF102030u, 0x80C08040u};
  for (int effect : {effects::kGreyscale, effects::kPageCurl}) {
    ComPtr<IDispatch> object = create(effect);
    SafeArray in = pixel_array(2, 1, input), out;
    ASSERT_EQ(entry<ApplyAt>(object.get(), apply_entry(layout_of(effect)))(object.get(), in.get(), out.put()), S_OK);
    EXPECT_EQ(array_pixels(out.get()).size(), 2u);
  }
  ComPtr<IDispatch> grey = by_progid(u"ZentarixEffects.Greyscale");
  SafeArray in = pixel_array(2, 1, input);
  Variant array, byRef;
  V_VT(&array) = VT_ARRAY | VT_I4;
  V_ARRAY(&array) = pixel_array(2, 1, input).detach();
  SAFEARRAY* produced = nullptr;
  V_VT(&byRef) = VT_BYREF | VT_ARRAY | VT_I4;
  V_ARRAYREF(&byRef) = &produced;
  ASSERT_EQ(invoke(grey.get(), u"Apply", DISPATCH_METHOD, {array, byRef}), S_OK);
  SafeArray owned(produced);
  EXPECT_EQ(array_pixels(owned.get()), (std::vector<uint32_t>{0xFF1D1D1Du, 0x808C8C8Cu}));
  clear_error();
  expect_report(entry<ApplyAt>(grey.get(), 7)(grey.get(), in.get(), nullptr), kTransformFailed,
                u"Cannot retrieve bitmap data from the Greyscale effect", kExternalEffects[effects::kGreyscale].iid,
                u"ZentarixEffects.Greyscale.1");
  ComPtr<IDispatch> crop = create(effects::kEllipseCrop);  // radii not set
  SafeArray none;
  expect_report(entry<ApplyAt>(crop.get(), 7)(crop.get(), in.get(), none.put()), E_INVALIDARG,
                u"HorizontalRadius must be greater than 0!", kExternalEffects[effects::kEllipseCrop].iid,
                u"ZentarixEffects.EllipseCrop.1");
  EXPECT_EQ(none.get(), nullptr);
}

// A machine fault while an effect reads its input (a bitmap over memory made unreadable) ends the
// call with the effect's own message and 0xE0000205, and leaves both bitmaps unlocked.
TEST(EffectContract, MachineFaultInsideAnEffectFailsTheCall) {
  register_effects();
  GdiplusSession session;
  UnreadableBitmap input;
  ASSERT_TRUE(input.ok());
  for (const Layout& layout : kLayouts) {
    ComPtr<IDispatch> object = create(layout.effect);
    LPOLESTR progid = nullptr;
    ASSERT_EQ(ProgIDFromCLSID(kExternalEffects[layout.effect].clsid, &progid), S_OK);
    const std::u16string source(progid), name = source.substr(16, source.size() - 18);  // ZentarixEffects.<name>.1
    CoTaskMemFree(progid);
    SCOPED_TRACE(to_utf8(name));
    if (layout.effect == effects::kEllipseCrop)
      for (int put : {9, 11}) entry<HRESULT (*)(IDispatch*, LONG)>(object.get(), put)(object.get(), 5);
    ComPtr<IGDIPlusTransform> transform;
    ASSERT_EQ(object.query(transform), S_OK);
    const auto [hr, description] = apply_to_unreadable(transform.get(), input);
    EXPECT_EQ(hr, kTransformFailed);
    EXPECT_EQ(to_utf8(description),
              to_utf8(u"Some exception occurred in the " + name + u" effect. If you see this message, please contact " +
                      support()));
  }
}

}  // namespace
}  // namespace zx::test
