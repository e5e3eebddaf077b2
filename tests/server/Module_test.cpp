// Zentarix — MIT licence.
// The module through its exports: activation, caching, unloading and the registry it writes.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <comcat.h>
#include <limits.h>
#include <stdlib.h>

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

TEST_F(ModuleTest, RasterItemResolvesByProgIdButHasNoClassObject) {
  CLSID clsid = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(u"Zentarix.RasterItem", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_RasterItem);
  void* factory = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(DllGetClassObject(CLSID_RasterItem, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
  ComPtr<IUnknown> item;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, item.put_void()),
            CLASS_E_CLASSNOTAVAILABLE);
}

TEST(ModuleActivation, UnknownClassIsNotAvailableAndNullOutPointerIsRefused) {
  const CLSID stranger = {0x01234567, 0x89AB, 0xCDEF, {1, 2, 3, 4, 5, 6, 7, 8}};
  void* factory = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(DllGetClassObject(stranger, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(DllGetClassObject(GUID_NULL, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(DllGetClassObject(CLSID_GUIDGen, IID_IClassFactory, nullptr), E_POINTER);
}

TEST_F(ModuleTest, ClassObjectIsMadeOnceAndCached) {
  ComPtr<IClassFactory> first, second;
  ASSERT_EQ(DllGetClassObject(CLSID_GUIDGen, IID_IClassFactory, first.put_void()), S_OK);
  ASSERT_EQ(DllGetClassObject(CLSID_GUIDGen, IID_IUnknown, second.put_void()), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(first.get()), static_cast<IUnknown*>(second.get()));
  first.reset();
  second.reset();
  ASSERT_EQ(DllGetClassObject(CLSID_GUIDGen, IID_IClassFactory, first.put_void()), S_OK);
  ComPtr<IClassFactory> third;
  ASSERT_EQ(CoGetClassObject(CLSID_GUIDGen, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, third.put_void()), S_OK);
  EXPECT_EQ(first.get(), third.get()) << "activation through the registry finds the same cached factory";
}

TEST(ModuleActivation, CanUnloadOnlyWithoutLiveObjectsOrServerLocks) {
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(DllGetClassObject(CLSID_GUIDGen, IID_IClassFactory, factory.put_void()), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_OK) << "the cached class object does not lock the module";

  ComPtr<IGUIDGen> a, b;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IGUIDGen, a.put_void()), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IGUIDGen, b.put_void()), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  a.reset();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "one object is still alive";
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  b.reset();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE) << "a server lock is held";
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);

  // Unlocks without locks are ignored: they neither pin the module nor hide a live object.
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IGUIDGen, a.put_void()), S_OK);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
}

TEST(ModuleActivation, ExportsNoTestSeams) {
  EXPECT_EQ(dlsym(RTLD_DEFAULT, "ZxServerFailCategoryManagerForTesting"), nullptr);
}

TEST_F(ModuleTest, ClassKeysFollowTheRegistrationLayoutWithProgIdsAsRegistered) {
  const std::u16string clsid = guid_text(CLSID_GUIDGen);
  EXPECT_EQ(read_value(u"Zentarix.GUIDGen.1"), u"GUIDGen Class");
  EXPECT_EQ(read_value(u"Zentarix.GUIDGen.1\\CLSID"), clsid);
  EXPECT_EQ(read_value(u"Zentarix.GUIDGen"), u"GUIDGen Class");
  EXPECT_EQ(read_value(u"Zentarix.GUIDGen\\CLSID"), clsid);
  EXPECT_EQ(read_value(u"Zentarix.GUIDGen\\CurVer"), u"Zentarix.GUIDGen.1");
  const std::u16string key = clsid_key(CLSID_GUIDGen);
  EXPECT_EQ(read_value(key), u"GUIDGen Class");
  EXPECT_EQ(read_value(key + u"\\ProgID"), u"Zentarix.GUIDGen.1");
  EXPECT_EQ(read_value(key + u"\\VersionIndependentProgID"), u"Zentarix.GUIDGen");
  EXPECT_TRUE(key_exists(key + u"\\Programmable"));
  EXPECT_EQ(read_value(key + u"\\InprocServer32"), module_file());
  EXPECT_EQ(read_value(key + u"\\InprocServer32", u"ThreadingModel"), u"Both");
  EXPECT_EQ(read_value(key + u"\\TypeLib"), guid_text(LIBID_Zentarix));
  EXPECT_TRUE(key_exists(u"TypeLib\\" + guid_text(LIBID_Zentarix) + u"\\1.0"));

  // Cut-short ProgIDs and short descriptions are registered as they are.
  EXPECT_EQ(read_value(u"Zentarix.TransformEquali.1\\CLSID"), guid_text(CLSID_TransformEqualize));
  EXPECT_EQ(read_value(u"Zentarix.TransformEqualize\\CurVer"), u"Zentarix.TransformEquali.1");
  EXPECT_EQ(read_value(u"Zentarix.TransformFastBl.1\\CLSID"), guid_text(CLSID_TransformFastBlur));
  EXPECT_EQ(read_value(u"Zentarix.TransformErosio.1\\CLSID"), guid_text(CLSID_TransformErosion));
  EXPECT_EQ(read_value(u"Zentarix.Pen\\CurVer"), u"Zentarix.Pen.1");
  EXPECT_EQ(read_value(u"Zentarix.Pen.1"), u"DrawingPen Class");
  EXPECT_EQ(read_value(u"Zentarix.SolidBrush.1"), u"SolidBrush Class");
  EXPECT_EQ(read_value(clsid_key(CLSID_DrawingTextureBrush) + u"\\ProgID"), u"Zentarix.TextureBrush.1");
  EXPECT_EQ(read_value(clsid_key(CLSID_RasterItem) + u"\\ProgID"), u"Zentarix.RasterItem.1");
}

TEST_F(ModuleTest, OnlyTheSevenEncodersImplementTheCategoryAndTheyAndTheManagerAreNotProgrammable) {
  const std::u16string category = u"\\Implemented Categories\\" + guid_text(kEncoderCategory);
  int classes = 0;
  for (UINT i = 0; i < zentarix_coclass_count; ++i) {
    const CLSID& clsid = *zentarix_coclasses[i].clsid;
    const std::u16string key = clsid_key(clsid);
    SCOPED_TRACE(zx::to_utf8(zentarix_coclasses[i].name));
    ASSERT_TRUE(key_exists(key));
    ++classes;
    EXPECT_EQ(key_exists(key + category), is_encoder(clsid));
    const bool programmable = !is_encoder(clsid) && clsid != CLSID_EncoderManager;
    EXPECT_EQ(key_exists(key + u"\\Programmable"), programmable);
  }
  EXPECT_EQ(classes, 35);

  ComPtr<ICatInformation> info;
  ASSERT_EQ(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_ALL, IID_ICatInformation,
                             info.put_void()),
            S_OK);
  ComPtr<IEnumGUID> found;
  ASSERT_EQ(info->EnumClassesOfCategories(1, &kEncoderCategory, 0, nullptr, found.put()), S_OK);
  GUID clsid;
  ULONG fetched = 0;
  int encoders = 0;
  while (found->Next(1, &clsid, &fetched) == S_OK && fetched == 1) {
    EXPECT_TRUE(is_encoder(clsid)) << zx::to_utf8(guid_text(clsid));
    ++encoders;
  }
  EXPECT_EQ(encoders, 7);
  LPWSTR description = nullptr;
  ASSERT_EQ(info->GetCategoryDesc(kEncoderCategory, LOCALE_USER_DEFAULT, &description), S_OK);
  EXPECT_EQ(std::u16string(description), u"Image Encoders for Zentarix");
  CoTaskMemFree(description);
}

TEST_F(ModuleTest, RegisteringAgainLeavesTheSameKeysAndRewritesClassKeysWhole) {
  const std::string once = zx::test::registry_bytes();
  ASSERT_FALSE(once.empty());
  const std::u16string stale = clsid_key(CLSID_EncoderPNG) + u"\\Programmable";
  zx::test::write_value(stale, u"");
  ASSERT_TRUE(key_exists(stale));
  ASSERT_EQ(DllRegisterServer(), S_OK);
  EXPECT_FALSE(key_exists(stale)) << "the class key was removed before it was written again";
  EXPECT_EQ(zx::test::registry_bytes(), once);
}

TEST_F(ModuleTest, UnregisteringRemovesTheClassesAndKeepsTheCategory) {
  zx::test::write_value(u"CLSID\\{00000000-1111-2222-3333-444444444444}", u"someone else");
  ASSERT_EQ(DllUnregisterServer(), S_OK);
  EXPECT_FALSE(key_exists(u"Zentarix.GUIDGen.1"));
  EXPECT_FALSE(key_exists(u"Zentarix.GUIDGen"));
  EXPECT_FALSE(key_exists(clsid_key(CLSID_GUIDGen)));
  EXPECT_FALSE(key_exists(clsid_key(CLSID_EncoderJPEG)));
  EXPECT_FALSE(key_exists(clsid_key(CLSID_RasterItem)));
  EXPECT_FALSE(key_exists(u"TypeLib\\" + guid_text(LIBID_Zentarix)));
  EXPECT_TRUE(key_exists(u"CLSID\\{00000000-1111-2222-3333-444444444444}")) << "the CLSID key itself stays";

  ComPtr<ICatInformation> info;
  ASSERT_EQ(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_ALL, IID_ICatInformation,
                             info.put_void()),
            S_OK);
  LPWSTR description = nullptr;
  ASSERT_EQ(info->GetCategoryDesc(kEncoderCategory, LOCALE_USER_DEFAULT, &description), S_OK);
  EXPECT_EQ(std::u16string(description), u"Image Encoders for Zentarix");
  CoTaskMemFree(description);
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
  ComPtr<ICatInformation> info;
  ASSERT_EQ(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_ALL, IID_ICatInformation,
                             info.put_void()),
            S_OK);
  LPWSTR category = nullptr;
  EXPECT_NE(info->GetCategoryDesc(kEncoderCategory, LOCALE_USER_DEFAULT, &category), S_OK);
  CoTaskMemFree(category);
}

// ---- GUIDGen and the colour functions ---------------------------------------------------------------

ComPtr<IDispatch> create_by_progid(const OLECHAR* progid) {
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID(progid, &clsid), S_OK);
  ComPtr<IDispatch> object;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, object.put_void()), S_OK);
  return object;
}

std::u16string generate_late_bound(IDispatch* generator) {
  OLECHAR name[] = u"generate";
  LPOLESTR names[] = {name};
  DISPID dispid = 0;
  EXPECT_EQ(generator->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid), S_OK);
  EXPECT_EQ(dispid, 1);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  zx::Variant result;
  EXPECT_EQ(generator->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(result.vt, VT_BSTR);
  return result.vt == VT_BSTR ? std::u16string(result.bstrVal, SysStringLen(result.bstrVal)) : u"";
}

TEST_F(ModuleTest, GuidGenMakesDifferentGuidTextsAndRefusesNullOutPointerWithoutRecord) {
  auto generator = create_by_progid(u"Zentarix.GUIDGen");
  ASSERT_TRUE(generator);
  const std::u16string first = generate_late_bound(generator.get());
  const std::u16string second = generate_late_bound(generator.get());
  EXPECT_NE(first, second);
  for (const std::u16string& text : {first, second}) {
    ASSERT_EQ(text.size(), 36u) << zx::to_utf8(text);
    for (size_t i = 0; i < text.size(); ++i) {
      if (i == 8 || i == 13 || i == 18 || i == 23) {
        EXPECT_EQ(text[i], u'-');
      } else {
        EXPECT_TRUE((text[i] >= u'0' && text[i] <= u'9') || (text[i] >= u'a' && text[i] <= u'f')) << i;
      }
    }
    GUID parsed;
    EXPECT_EQ(CLSIDFromString((u"{" + text + u"}").c_str(), &parsed), S_OK);
  }

  auto versioned = create_by_progid(u"Zentarix.GUIDGen.1");
  ComPtr<IGUIDGen> early;
  ASSERT_EQ(versioned.query(early), S_OK);
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(early->Generate(nullptr), E_POINTER);
  ComPtr<IErrorInfo> record;
  EXPECT_EQ(GetErrorInfo(0, record.put()), S_FALSE);
  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(early.query(support), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IGUIDGen), S_OK);
}

TEST(ColorFunctions, BuildAndTakeApartColourValues) {
  LONG color = 0;
  EXPECT_EQ(ColorFromARGB(255, 255, 0, 0, &color), S_OK);
  EXPECT_EQ(color, zxRed);
  EXPECT_EQ(color, -65536);
  EXPECT_EQ(ColorFromARGB(255, 255, 255, 255, &color), S_OK);
  EXPECT_EQ(color, -1);
  EXPECT_EQ(ColorFromCOLORREF(0x000000FF, 255, &color), S_OK);
  EXPECT_EQ(color, zxRed);
  EXPECT_EQ(ColorFromCOLORREF(0x00ED9564, 255, &color), S_OK);
  EXPECT_EQ(color, zxCornFlowerBlue);
  LONG colorref = 0;
  EXPECT_EQ(COLORREFFromColor(zxRed, &colorref), S_OK);
  EXPECT_EQ(colorref, 255);
  EXPECT_EQ(COLORREFFromColor(zxCornFlowerBlue, &colorref), S_OK);
  EXPECT_EQ(colorref, 0x00ED9564);
  EXPECT_EQ(SetAlpha(zxWhite, 0, &color), S_OK);
  EXPECT_EQ(color, 16777215);
  BYTE part = 1;
  EXPECT_EQ(GetAlpha(color, &part), S_OK);
  EXPECT_EQ(part, 0);
  EXPECT_EQ(GetRed(zxCornFlowerBlue, &part), S_OK);
  EXPECT_EQ(part, 0x64);
  EXPECT_EQ(GetGreen(zxCornFlowerBlue, &part), S_OK);
  EXPECT_EQ(part, 0x95);
  EXPECT_EQ(GetBlue(zxCornFlowerBlue, &part), S_OK);
  EXPECT_EQ(part, 0xED);
  EXPECT_EQ(GetAlpha(zxCornFlowerBlue, &part), S_OK);
  EXPECT_EQ(part, 0xFF);
}

TEST(ColorFunctions, TopByteOfColorrefIsIgnoredAndNullOutPointersAreRefused) {
  LONG color = 0;
  EXPECT_EQ(ColorFromCOLORREF(static_cast<LONG>(0x80000005), 128, &color), S_OK);
  EXPECT_EQ(color, static_cast<LONG>(0x80050000));
  EXPECT_EQ(ColorFromARGB(1, 2, 3, 4, nullptr), E_POINTER);
  EXPECT_EQ(GetRed(zxRed, nullptr), E_POINTER);
}

}  // namespace
