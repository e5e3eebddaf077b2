// Zentarix — MIT licence.
// EncoderManager and IEncoderNames: lookups by name and ID, the name enumerator, foreign encoders.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "EncoderTestSupport.h"

namespace zx::test {
namespace {

constexpr char16_t kCannotFind[] =
    u"Cannot find specified encoder! It is possible you use Auto as OutputFileType and loaded file name has wrong "
    u"file extension. Try to specify OutputFileType explicitly or make sure that file name has correct extension. ";

ComPtr<IEncoderManager> make_manager(HRESULT expected = S_OK) {
  ComPtr<IEncoderManager> manager;
  EXPECT_EQ(CoCreateInstance(CLSID_EncoderManager, nullptr, CLSCTX_ALL, IID_IEncoderManager, manager.put_void()),
            expected);
  return manager;
}

GUID find_by_name(IEncoderManager* manager, const char16_t* name, HRESULT expected = S_OK) {
  GUID clsid = GUID_NULL;
  Bstr text(name);
  EXPECT_EQ(manager->FindCLSIDByName(text.get(), &clsid), expected) << to_utf8(name);
  return clsid;
}

TEST(EncoderManager, NamesMatchInAnyLetterCase) {
  ComPtr<IEncoderManager> manager = make_manager();
  ASSERT_TRUE(manager);
  EXPECT_EQ(find_by_name(manager.get(), u"jpg"), CLSID_EncoderJPEG);
  EXPECT_EQ(find_by_name(manager.get(), u"JPG"), CLSID_EncoderJPEG);
  EXPECT_EQ(find_by_name(manager.get(), u"Jpe"), CLSID_EncoderJPEG);
  EXPECT_EQ(find_by_name(manager.get(), u"jpeg"), CLSID_EncoderJPEG);
  EXPECT_EQ(find_by_name(manager.get(), u"bmp"), CLSID_EncoderBMP);
  EXPECT_EQ(find_by_name(manager.get(), u"Png"), CLSID_EncoderPNG);
  EXPECT_EQ(find_by_name(manager.get(), u"TIF"), CLSID_EncoderTIFF);
  EXPECT_EQ(find_by_name(manager.get(), u"tiff"), CLSID_EncoderTIFF);
  EXPECT_EQ(find_by_name(manager.get(), u"gif"), CLSID_EncoderGIF);
  EXPECT_EQ(find_by_name(manager.get(), u"Swf"), CLSID_EncoderSWF);
  EXPECT_EQ(find_by_name(manager.get(), u"wbmp"), CLSID_EncoderWBMP);
}

TEST(EncoderManager, UnknownNameFailsWithTheMessageAndLeavesTheResult) {
  ComPtr<IEncoderManager> manager = make_manager();
  ASSERT_TRUE(manager);
  clear_error();
  GUID clsid = CLSID_EncoderBMP;  // sentinel
  Bstr name(u"XYZ");
  EXPECT_EQ(manager->FindCLSIDByName(name.get(), &clsid), E_INVALIDARG);
  EXPECT_EQ(clsid, CLSID_EncoderBMP);
  const ErrorRecord error = take_error();
  ASSERT_TRUE(error.present);
  EXPECT_EQ(error.description, kCannotFind);
  EXPECT_EQ(error.source, u"Zentarix.EncoderManager.1");
  EXPECT_EQ(error.guid, IID_IEncoderManager);
  // The empty name (after a dot at the end of a file name) and a null BSTR are unknown too.
  EXPECT_EQ(manager->FindCLSIDByName(nullptr, &clsid), E_INVALIDARG);
  Bstr empty(u"");
  EXPECT_EQ(manager->FindCLSIDByName(empty.get(), &clsid), E_INVALIDARG);
  // A failed lookup adds nothing: the name is still unknown and a known one still found.
  find_by_name(manager.get(), u"XYZ", E_INVALIDARG);
  EXPECT_EQ(find_by_name(manager.get(), u"PNG"), CLSID_EncoderPNG);
}

TEST(EncoderManager, FindsByIdAndRefusesAnUnknownIdWithAllBitsSet) {
  ComPtr<IEncoderManager> manager = make_manager();
  ASSERT_TRUE(manager);
  GUID clsid = GUID_NULL;
  const CLSID* const byId[] = {&CLSID_EncoderJPEG, &CLSID_EncoderBMP, &CLSID_EncoderPNG, &CLSID_EncoderTIFF,
                               &CLSID_EncoderGIF,  &CLSID_EncoderSWF, &CLSID_EncoderWBMP};
  for (LONG id = 0; id < 7; ++id) {
    EXPECT_EQ(manager->FindCLSIDByID(id, &clsid), S_OK);
    EXPECT_EQ(clsid, *byId[id]) << id;
  }

  clear_error();
  clsid = CLSID_EncoderGIF;
  EXPECT_EQ(manager->FindCLSIDByID(7, &clsid), static_cast<HRESULT>(0xFFFFFFFF));
  EXPECT_EQ(clsid, CLSID_EncoderGIF);
  const ErrorRecord error = take_error();
  ASSERT_TRUE(error.present);
  EXPECT_EQ(error.description, u"Encoder not found!");
  EXPECT_EQ(error.source, u"Zentarix.EncoderManager.1");
  EXPECT_EQ(error.guid, IID_IEncoderManager);

  EXPECT_EQ(manager->FindCLSIDByID(0, nullptr), E_POINTER);
  Bstr jpg(u"jpg");
  EXPECT_EQ(manager->FindCLSIDByName(jpg.get(), nullptr), E_POINTER);
}

TEST(EncoderManager, IsNotDispatchableAndNamesItsInterfaceForErrors) {
  ComPtr<IEncoderManager> manager = make_manager();
  ASSERT_TRUE(manager);
  ComPtr<IDispatch> dispatch;
  EXPECT_EQ(manager->QueryInterface(IID_IDispatch, dispatch.put_void()), E_NOINTERFACE);
  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(manager.query(support), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IEncoderManager), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IEncoderNames), S_FALSE);
}

// ---- IEncoderNames -------------------------------------------------------------------------------

std::u16string next_name(IEncoderNames* names, HRESULT expected = S_OK) {
  BSTR name = nullptr;
  ULONG fetched = 0;
  EXPECT_EQ(names->Next(1, &name, &fetched), expected);
  Bstr owned = Bstr::attach(name);
  if (expected == S_OK) {
    EXPECT_EQ(fetched, 1u);
  }
  return std::u16string(owned.view());
}

TEST(EncoderNames, JpegGivesItsThreeNamesInOrderThenFalseAndResetRestarts) {
  ComPtr<IImageEncoder> encoder = create_encoder(CLSID_EncoderJPEG);
  ASSERT_TRUE(encoder);
  ComPtr<IEncoderNames> names;
  ASSERT_EQ(encoder.query(names), S_OK);
  EXPECT_EQ(next_name(names.get()), u"JPEG");
  EXPECT_EQ(next_name(names.get()), u"JPE");
  EXPECT_EQ(next_name(names.get()), u"JPG");
  BSTR untouched = reinterpret_cast<BSTR>(0x1);
  ULONG fetched = 77;
  EXPECT_EQ(names->Next(1, &untouched, &fetched), S_FALSE);
  EXPECT_EQ(untouched, reinterpret_cast<BSTR>(0x1));
  EXPECT_EQ(fetched, 77u);
  EXPECT_EQ(names->Reset(), S_OK);
  EXPECT_EQ(next_name(names.get()), u"JPEG");
  EXPECT_EQ(names->Skip(1), S_OK);
  EXPECT_EQ(next_name(names.get()), u"JPG");
  // The fetched count is optional.
  EXPECT_EQ(names->Reset(), S_OK);
  BSTR name = nullptr;
  EXPECT_EQ(names->Next(1, &name, nullptr), S_OK);
  EXPECT_EQ(Bstr::attach(name).view(), u"JPEG");
}

TEST(EncoderNames, CountOtherThanOneIsRefusedWithTheMessage) {
  ComPtr<IImageEncoder> encoder = create_encoder(CLSID_EncoderBMP);
  ASSERT_TRUE(encoder);
  ComPtr<IEncoderNames> names;
  ASSERT_EQ(encoder.query(names), S_OK);
  clear_error();
  BSTR name = nullptr;
  EXPECT_EQ(names->Next(2, &name, nullptr), E_INVALIDARG);
  EXPECT_EQ(name, nullptr);
  const ErrorRecord error = take_error();
  ASSERT_TRUE(error.present);
  EXPECT_EQ(error.description, u"Cannot fetch more than 1 encoder name!");
  EXPECT_EQ(error.source, u"Zentarix.EncoderBMP.1");
  EXPECT_EQ(error.guid, IID_IEncoderNames);
  EXPECT_EQ(names->Next(1, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(names->Reserved(nullptr), E_NOTIMPL);
  // The refused calls did not move the position.
  EXPECT_EQ(next_name(names.get()), u"BMP");
  next_name(names.get(), S_FALSE);
}

// ---- foreign encoders ------------------------------------------------------------------------------

constexpr CLSID kForeign = {0x5A1E0F00, 0x1B2C, 0x4D3E, {0x8F, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xC0}};

// Registers a foreign module for the scope, as zxregsvr would, and unregisters it afterwards.
class RegisteredModule {
 public:
  explicit RegisteredModule(const char* path) : m_module(dlopen(path, RTLD_NOW)) {
    EXPECT_NE(m_module, nullptr) << dlerror();
    if (m_module) {
      EXPECT_EQ(call("DllRegisterServer"), S_OK);
    }
  }
  RegisteredModule(const RegisteredModule&) = delete;
  RegisteredModule& operator=(const RegisteredModule&) = delete;
  ~RegisteredModule() {
    if (!m_module) return;
    EXPECT_EQ(call("DllUnregisterServer"), S_OK);
    dlclose(m_module);
  }

 private:
  HRESULT call(const char* name) {
    auto entry = reinterpret_cast<HRESULT (*)()>(dlsym(m_module, name));
    return entry ? entry() : E_FAIL;
  }
  void* m_module;
};

TEST(EncoderManager, ForeignEncoderInTheCategoryIsFoundByItsNamesAndId) {
  RegisteredModule module(ZX_FOREIGN_ENCODER_0);
  ComPtr<IEncoderManager> manager = make_manager();
  ASSERT_TRUE(manager);
  EXPECT_EQ(find_by_name(manager.get(), u"zxf"), kForeign);
  EXPECT_EQ(find_by_name(manager.get(), u"ZXFOREIGN"), kForeign);
  GUID clsid = GUID_NULL;
  EXPECT_EQ(manager->FindCLSIDByID(42, &clsid), S_OK);
  EXPECT_EQ(clsid, kForeign);
  EXPECT_EQ(find_by_name(manager.get(), u"jpg"), CLSID_EncoderJPEG);  // the built-ins stay

  // It is driven like a built-in encoder: it receives the store and writes to the stream.
  ComPtr<IImageEncoder> encoder = create_encoder(clsid);
  ASSERT_TRUE(encoder);
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"JPEGQuality", 80);
  Image image = solid(1, 1, 0xFF000000u);
  const Encoded e = encode(clsid, store.get(), image);
  EXPECT_EQ(e.doEncode, S_OK);
  EXPECT_EQ(std::string(e.bytes.begin(), e.bytes.end()), std::string("FOREIGN\x01", 8));
}

TEST(EncoderManager, ClassWithoutTheEncoderContractIsSkipped) {
  RegisteredModule module(ZX_FOREIGN_ENCODER_1);
  ComPtr<IEncoderManager> manager = make_manager();
  ASSERT_TRUE(manager);
  find_by_name(manager.get(), u"ZXF", E_INVALIDARG);
  GUID clsid = GUID_NULL;
  EXPECT_EQ(manager->FindCLSIDByID(42, &clsid), static_cast<HRESULT>(0xFFFFFFFF));
  EXPECT_EQ(find_by_name(manager.get(), u"bmp"), CLSID_EncoderBMP);
}

TEST(EncoderManager, EncoderWithoutNamesFailsTheCreation) {
  RegisteredModule module(ZX_FOREIGN_ENCODER_2);
  clear_error();
  ComPtr<IEncoderManager> manager = make_manager(E_INVALIDARG);
  EXPECT_FALSE(manager);
  const ErrorRecord error = take_error();
  ASSERT_TRUE(error.present);
  EXPECT_EQ(error.description, u"Cannot retrieve encoder name.");
  EXPECT_EQ(error.source, u"Zentarix.EncoderManager.1");
  EXPECT_EQ(error.guid, IID_IEncoderNames);
}

}  // namespace
}  // namespace zx::test
