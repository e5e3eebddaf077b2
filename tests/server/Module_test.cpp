// Zentarix — MIT licence.
// The module through its exports: activation, caching, unloading and the registry it writes.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <comcat.h>
#include <limits.h>
#include <stdlib.h>

#include <functional>
#include <string>

#include "TestRegistry.h"
#include "zentarix.h"
#include "zx/com.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
STDAPI DllCanUnloadNow();
STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();

namespace {

using zx::Bstr;
using zx::ComPtr;
using zx::test::guid_text;
using zx::test::key_exists;
using zx::test::read_value;

constexpr CATID kEncoderCategory = {0xFDCDC031, 0xCDD1, 0x4C61, {0xBE, 0x20, 0x86, 0x6C, 0x36, 0x7B, 0x1A, 0x0D}};
const CLSID* const kEncoders[] = {&CLSID_EncoderJPEG, &CLSID_EncoderBMP, &CLSID_EncoderPNG, &CLSID_EncoderTIFF,
                                  &CLSID_EncoderGIF,  &CLSID_EncoderSWF, &CLSID_EncoderWBMP};

std::u16string clsid_key(REFCLSID clsid) { return u"CLSID\\" + guid_text(clsid); }

bool is_encoder(REFCLSID clsid) {
  for (const CLSID* e : kEncoders)
    if (*e == clsid) return true;
  return false;
}

std::u16string module_file() {
  char resolved[PATH_MAX];
  const std::string lib = std::string(ZX_BINARY_DIR) + "/lib/libzentarix.so";
  return zx::to_utf16(realpath(lib.c_str(), resolved) ? resolved : lib.c_str());
}

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zx::test::refuse_class(CLSID_NULL, S_OK);
    ASSERT_EQ(DllRegisterServer(), S_OK);
  }
};

ComPtr<ICatInformation> categories() {
  ComPtr<ICatInformation> info;
  EXPECT_EQ(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_ALL, IID_ICatInformation,
                             info.put_void()), S_OK);
  return info;
}

std::u16string category_description() {
  LPWSTR description = nullptr;
  if (categories()->GetCategoryDesc(kEncoderCategory, LOCALE_USER_DEFAULT, &description) != S_OK) return u"<none>";
  std::u16string text = description;
  CoTaskMemFree(description);
  return text;
}

// Class objects, creation and its failures: the item has a ProgID but no class object, strangers and
// null out pointers are refused, aggregation beyond IUnknown and foreign interfaces fail without leaving an object.
TEST_F(ModuleTest, ClassObjectsAreCachedAndCreationFailuresLeaveNothing) {
  const CLSID stranger = {0x01234567, 0x89AB, 0xCDEF, {1, 2, 3, 4, 5, 6, 7, 8}};
  CLSID item = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(u"Zentarix.RasterItem", &item), S_OK);
  EXPECT_EQ(item, CLSID_RasterItem);
  for (const CLSID* clsid : std::initializer_list<const CLSID*>{&item, &stranger, &GUID_NULL}) {
    void* factory = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(DllGetClassObject(*clsid, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
  }
  ComPtr<IUnknown> none;
  EXPECT_EQ(CoCreateInstance(item, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, none.put_void()),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(DllGetClassObject(CLSID_GUIDGen, IID_IClassFactory, nullptr), E_POINTER);

  ComPtr<IClassFactory> first, second, third;
  ASSERT_EQ(DllGetClassObject(CLSID_GUIDGen, IID_IClassFactory, first.put_void()), S_OK);
  ASSERT_EQ(DllGetClassObject(CLSID_GUIDGen, IID_IUnknown, second.put_void()), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(first.get()), static_cast<IUnknown*>(second.get()));
  ASSERT_EQ(CoGetClassObject(CLSID_GUIDGen, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, third.put_void()), S_OK);
  EXPECT_EQ(first.get(), third.get()) << "activation through the registry finds the same cached factory";

  for (const CLSID* clsid : std::initializer_list<const CLSID*>{&CLSID_GUIDGen, &CLSID_RasterObject, &CLSID_EncoderManager}) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(DllGetClassObject(*clsid, IID_IClassFactory, factory.put_void()), S_OK);
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->CreateInstance(first.get(), IID_IDispatch, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
  }
  EXPECT_EQ(DllCanUnloadNow(), S_OK) << "failed creations leave no object behind";
  EXPECT_EQ(dlsym(RTLD_DEFAULT, "ZxServerFailCategoryManagerForTesting"), nullptr) << "no test seams exported";
}

TEST(ModuleActivation, CanUnloadOnlyWithoutLiveObjectsOrServerLocks) {
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(DllGetClassObject(CLSID_GUIDGen, IID_IClassFactory, factory.put_void()), S_OK);
  ComPtr<IGUIDGen> a, b;
  // Each step, then whether the module may unload after it: the cached class object does not lock it,
  // and unlocks without locks neither pin the module nor hide a live object.
  const std::pair<std::function<void()>, HRESULT> steps[] = {
      {[] {}, S_OK},
      {[&] { factory->CreateInstance(nullptr, IID_IGUIDGen, a.put_void()); }, S_FALSE},
      {[&] { factory->CreateInstance(nullptr, IID_IGUIDGen, b.put_void()); }, S_FALSE},
      {[&] { a.reset(); }, S_FALSE},
      {[&] { factory->LockServer(TRUE); }, S_FALSE},
      {[&] { b.reset(); }, S_FALSE},
      {[&] { factory->LockServer(FALSE); }, S_OK},
      {[&] { factory->LockServer(FALSE); }, S_OK},
      {[&] { factory->CreateInstance(nullptr, IID_IGUIDGen, a.put_void()); }, S_FALSE},
      {[&] { factory->LockServer(FALSE); }, S_FALSE},
  };
  int n = 0;
  for (const auto& [step, expected] : steps) {
    step();
    EXPECT_EQ(DllCanUnloadNow(), expected) << "after step " << n++;
  }
}

TEST_F(ModuleTest, ClassKeysFollowTheRegistrationLayoutWithProgIdsAsRegistered) {
  const std::u16string guidgen = clsid_key(CLSID_GUIDGen), clsid = guid_text(CLSID_GUIDGen);
  const std::pair<std::u16string, std::optional<std::u16string>> values[] = {
      {u"Zentarix.GUIDGen.1", u"GUIDGen Class"}, {u"Zentarix.GUIDGen.1\\CLSID", clsid},
      {u"Zentarix.GUIDGen", u"GUIDGen Class"}, {u"Zentarix.GUIDGen\\CLSID", clsid},
      {u"Zentarix.GUIDGen\\CurVer", u"Zentarix.GUIDGen.1"}, {guidgen, u"GUIDGen Class"},
      {guidgen + u"\\ProgID", u"Zentarix.GUIDGen.1"}, {guidgen + u"\\VersionIndependentProgID", u"Zentarix.GUIDGen"},
      {guidgen + u"\\InprocServer32", module_file()},
      {guidgen + u"\\TypeLib", guid_text(LIBID_Zentarix)},
      // cut-short ProgIDs and short descriptions are registered as they are
      {u"Zentarix.TransformEquali.1\\CLSID", guid_text(CLSID_TransformEqualize)},
      {u"Zentarix.TransformEqualize\\CurVer", u"Zentarix.TransformEquali.1"},
      {u"Zentarix.TransformFastBl.1\\CLSID", guid_text(CLSID_TransformFastBlur)},
      {u"Zentarix.TransformErosio.1\\CLSID", guid_text(CLSID_TransformErosion)},
      {u"Zentarix.Pen\\CurVer", u"Zentarix.Pen.1"}, {u"Zentarix.Pen.1", u"DrawingPen Class"},
      {u"Zentarix.SolidBrush.1", u"SolidBrush Class"},
      {clsid_key(CLSID_DrawingTextureBrush) + u"\\ProgID", u"Zentarix.TextureBrush.1"},
      {clsid_key(CLSID_RasterItem) + u"\\ProgID", u"Zentarix.RasterItem.1"},
  };
  for (const auto& [key, value] : values) EXPECT_EQ(read_value(key).value_or(u"<missing>"), value) << zx::to_utf8(key);
  EXPECT_EQ(read_value(guidgen + u"\\InprocServer32", u"ThreadingModel"), u"Both");
  EXPECT_TRUE(key_exists(u"TypeLib\\" + guid_text(LIBID_Zentarix) + u"\\1.0"));
  EXPECT_TRUE(key_exists(guidgen + u"\\Programmable"));
}

TEST_F(ModuleTest, OnlyTheSevenEncodersImplementTheCategoryAndTheyAndTheManagerAreNotProgrammable) {
  const std::u16string category = u"\\Implemented Categories\\" + guid_text(kEncoderCategory);
  ASSERT_EQ(zentarix_coclass_count, 35u);
  for (UINT i = 0; i < zentarix_coclass_count; ++i) {
    const CLSID& clsid = *zentarix_coclasses[i].clsid;
    const std::u16string key = clsid_key(clsid);
    SCOPED_TRACE(zx::to_utf8(zentarix_coclasses[i].name));
    ASSERT_TRUE(key_exists(key));
    EXPECT_EQ(key_exists(key + category), is_encoder(clsid));
    EXPECT_EQ(key_exists(key + u"\\Programmable"), !is_encoder(clsid) && clsid != CLSID_EncoderManager);
  }
  ComPtr<IEnumGUID> found;
  ASSERT_EQ(categories()->EnumClassesOfCategories(1, &kEncoderCategory, 0, nullptr, found.put()), S_OK);
  GUID clsid;
  int encoders = 0;
  for (ULONG fetched = 0; found->Next(1, &clsid, &fetched) == S_OK && fetched == 1; ++encoders)
    EXPECT_TRUE(is_encoder(clsid)) << zx::to_utf8(guid_text(clsid));
  EXPECT_EQ(encoders, 7);
  EXPECT_EQ(category_description(), u"Image Encoders for Zentarix");
}

TEST_F(ModuleTest, RegisteringAgainRewritesClassKeysWholeAndUnregisteringKeepsOthersAndTheCategory) {
  const std::string once = zx::test::registry_bytes();
  ASSERT_FALSE(once.empty());
  const std::u16string stale = clsid_key(CLSID_EncoderPNG) + u"\\Programmable";
  zx::test::write_value(stale, u"");
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_EQ(zx::test::registry_bytes(), once) << "the class key was removed before it was written again";

  zx::test::write_value(u"CLSID\\{00000000-1111-2222-3333-444444444444}", u"someone else");
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  for (const std::u16string& gone : {std::u16string(u"Zentarix.GUIDGen.1"), std::u16string(u"Zentarix.GUIDGen"),
                                     clsid_key(CLSID_GUIDGen), clsid_key(CLSID_EncoderJPEG),
                                     clsid_key(CLSID_RasterItem), u"TypeLib\\" + guid_text(LIBID_Zentarix)})
    EXPECT_FALSE(key_exists(gone)) << zx::to_utf8(gone);
  EXPECT_TRUE(key_exists(u"CLSID\\{00000000-1111-2222-3333-444444444444}")) << "the CLSID key itself stays";
  EXPECT_EQ(category_description(), u"Image Encoders for Zentarix");
}

TEST(ModuleRegistration, WithoutCategoryManagerNothingIsWrittenAndTheFailureIsReported) {
  zx::test::refuse_class(CLSID_StdComponentCategoriesMgr, REGDB_E_CLASSNOTREG);
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(DllRegisterServer(), DISP_E_EXCEPTION);
  zx::test::refuse_class(CLSID_NULL, S_OK);

  ComPtr<IErrorInfo> record;
  ASSERT_EQ(GetErrorInfo(0, record.put()), S_OK);
  Bstr description, source;
  GUID guid = IID_IUnknown;
  record->GetDescription(description.put());
  record->GetSource(source.put());
  record->GetGUID(&guid);
  EXPECT_EQ(description.view(),
            u"Cannot create Component Categories Manager! Execute \"regsvr32 comcat.dll\" can try again.");
  EXPECT_EQ(guid, GUID_NULL);
  LPOLESTR manager = nullptr;
  const std::u16string expected_source =
      SUCCEEDED(ProgIDFromCLSID(CLSID_StdComponentCategoriesMgr, &manager)) && manager ? manager : u"";
  CoTaskMemFree(manager);
  EXPECT_EQ(source.view(), expected_source);
  EXPECT_FALSE(key_exists(u"Zentarix.GUIDGen"));
  EXPECT_FALSE(key_exists(clsid_key(CLSID_GUIDGen)));
  EXPECT_EQ(category_description(), u"<none>");
}

// ---- GUIDGen and the colour functions ---------------------------------------------------------------

TEST_F(ModuleTest, GuidGenMakesDifferentGuidTextsAndRefusesNullOutPointerWithoutRecord) {
  CLSID clsid = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(u"Zentarix.GUIDGen", &clsid), S_OK);
  ComPtr<IDispatch> generator;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, generator.put_void()), S_OK);
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"generate")};
  DISPID dispid = 0;
  ASSERT_EQ(generator->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid), S_OK);
  EXPECT_EQ(dispid, 1);
  std::u16string texts[2];
  for (std::u16string& text : texts) {
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    zx::Variant result;
    ASSERT_EQ(generator->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
              S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    text = result.bstrVal;
    std::u16string shape = text;  // digits and lower-case letters become x
    for (char16_t& c : shape)
      if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')) c = u'x';
    EXPECT_EQ(zx::to_utf8(shape), "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx") << zx::to_utf8(text);
    GUID parsed;
    EXPECT_EQ(CLSIDFromString((u"{" + text + u"}").c_str(), &parsed), S_OK);
  }
  EXPECT_NE(texts[0], texts[1]);

  ComPtr<IGUIDGen> early;
  ASSERT_EQ(generator.query(early), S_OK);
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(early->Generate(nullptr), E_POINTER);
  ComPtr<IErrorInfo> record;
  EXPECT_EQ(GetErrorInfo(0, record.put()), S_FALSE);
  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(early.query(support), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IGUIDGen), S_OK);
}

TEST(ColorFunctions, BuildAndTakeApartColourValues) {
  auto hex = [](LONG v) {
    char text[16];
    snprintf(text, sizeof text, "%08X", static_cast<unsigned>(v));
    return std::string(text);
  };
  LONG c = 0;
  BYTE a = 0, r = 0, g = 0, b = 0;
  const struct {
    HRESULT hr;
    LONG value;
    const char* expected;
  } built[] = {
      {ColorFromARGB(255, 255, 0, 0, &c), c, "FFFF0000"},
      {ColorFromARGB(255, 255, 255, 255, &c), c, "FFFFFFFF"},
      {ColorFromARGB(0x12, 0x34, 0x56, 0x78, &c), c, "12345678"},
      {ColorFromCOLORREF(0x000000FF, 255, &c), c, "FFFF0000"},
      {ColorFromCOLORREF(0x00ED9564, 255, &c), c, "FF6495ED"},
      {ColorFromCOLORREF(static_cast<LONG>(0x80000005), 128, &c), c, "80050000"},  // COLORREF's top byte ignored
      {COLORREFFromColor(zxCornFlowerBlue, &c), c, "00ED9564"},
      {COLORREFFromColor(zxRed, &c), c, "000000FF"},
      {SetAlpha(zxWhite, 0, &c), c, "00FFFFFF"},
      {GetAlpha(0x12345678, &a) | GetRed(0x12345678, &r) | GetGreen(0x12345678, &g) | GetBlue(0x12345678, &b),
       a << 24 | r << 16 | g << 8 | b, "12345678"},
  };
  for (const auto& row : built) EXPECT_EQ(hex(row.hr) + " " + hex(row.value), "00000000 " + std::string(row.expected));
  EXPECT_EQ(zxCornFlowerBlue, static_cast<LONG>(0xFF6495ED));
  EXPECT_EQ(ColorFromARGB(1, 2, 3, 4, nullptr), E_POINTER);
  EXPECT_EQ(GetRed(zxRed, nullptr), E_POINTER);
}

}  // namespace
