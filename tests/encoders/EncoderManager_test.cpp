// Zentarix — MIT licence.
// EncoderManager and IEncoderNames: lookups by name and ID, the name enumerator, foreign encoders.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "EncoderTestSupport.h"

namespace zx::test {
namespace {

constexpr CLSID kForeign = {0x5A1E0F00, 0x1B2C, 0x4D3E, {0x8F, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xC0}},
                kTakesId = {0xFA1E0F03, 0x1B2C, 0x4D3E, {0x8F, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xC3}},
                kTakesName = {0xFA1E0F04, 0x1B2C, 0x4D3E, {0x8F, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xC4}};

ComPtr<IEncoderManager> make_manager(HRESULT expected = S_OK) {
  ComPtr<IEncoderManager> manager;
  EXPECT_EQ(CoCreateInstance(CLSID_EncoderManager, nullptr, CLSCTX_ALL, IID_IEncoderManager, manager.put_void()),
            expected);
  return manager;
}

// What a lookup finds, by name or (for a number) by ID: the encoder's name, or "hr source: message"
// with the result left as it was ("kept").
std::string lookup(IEncoderManager* manager, const char16_t* key) {
  const std::pair<const CLSID*, const char*> known[] = {
      {&CLSID_EncoderJPEG, "JPEG"}, {&CLSID_EncoderBMP, "BMP"}, {&CLSID_EncoderPNG, "PNG"}, {&CLSID_EncoderTIFF, "TIFF"},
      {&CLSID_EncoderGIF, "GIF"},   {&CLSID_EncoderSWF, "SWF"}, {&CLSID_EncoderWBMP, "WBMP"}, {&kForeign, "foreign"},
      {&kTakesId, "ID taker"},      {&kTakesName, "name taker"}};
  GUID clsid = GUID_NULL;
  clear_error();
  Bstr name(key ? key : u"");
  const bool byId = key && *key >= u'0' && *key <= u'9';
  const HRESULT hr = byId ? manager->FindCLSIDByID(std::stol(to_utf8(key)), &clsid)
                          : manager->FindCLSIDByName(key ? name.get() : nullptr, &clsid);
  if (FAILED(hr)) {
    const ErrorRecord error = take_error();
    EXPECT_EQ(error.guid, IID_IEncoderManager);
    return std::to_string(hr) + (clsid == GUID_NULL ? " kept " : " ") + to_utf8(error.source) + ": " +
           to_utf8(error.description);
  }
  for (const auto& [id, text] : known)
    if (clsid == *id) return text;
  return "unknown";
}

const std::string kCannotFind =
    "-2147024809 kept Zentarix.EncoderManager.1: Cannot find specified encoder! It is possible you use Auto as "
    "OutputFileType and loaded file name has wrong file extension. Try to specify OutputFileType explicitly or make "
    "sure that file name has correct extension. ";
const std::string kNotFound = "-1 kept Zentarix.EncoderManager.1: Encoder not found!";

TEST(EncoderManager, FindsNamesInAnyLetterCaseAndIdsAndRefusesOthers) {
  ComPtr<IEncoderManager> manager = make_manager();
  ASSERT_TRUE(manager);
  const std::pair<const char16_t*, std::string> cases[] = {
      {u"jpg", "JPEG"}, {u"JPG", "JPEG"}, {u"Jpe", "JPEG"}, {u"jpeg", "JPEG"}, {u"bmp", "BMP"}, {u"Png", "PNG"},
      {u"TIF", "TIFF"}, {u"tiff", "TIFF"}, {u"gif", "GIF"}, {u"Swf", "SWF"}, {u"wbmp", "WBMP"},
      {u"0", "JPEG"}, {u"1", "BMP"}, {u"2", "PNG"}, {u"3", "TIFF"}, {u"4", "GIF"}, {u"5", "SWF"}, {u"6", "WBMP"},
      // The empty name (after a dot at the end of a file name) and a null BSTR are unknown too, and a
      // failed lookup adds nothing.
      {u"XYZ", kCannotFind}, {u"", kCannotFind}, {nullptr, kCannotFind}, {u"XYZ", kCannotFind}, {u"7", kNotFound},
  };
  for (const auto& [key, want] : cases) EXPECT_EQ(lookup(manager.get(), key), want) << (key ? to_utf8(key) : "null");
  Bstr jpg(u"jpg");
  EXPECT_EQ(manager->FindCLSIDByID(0, nullptr), E_POINTER);
  EXPECT_EQ(manager->FindCLSIDByName(jpg.get(), nullptr), E_POINTER);
  ComPtr<IDispatch> dispatch;
  EXPECT_EQ(manager->QueryInterface(IID_IDispatch, dispatch.put_void()), E_NOINTERFACE);
  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(manager.query(support), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IEncoderManager), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IEncoderNames), S_FALSE);
}

// ---- IEncoderNames -------------------------------------------------------------------------------

// Next(1) until it answers otherwise: "JPEG JPE JPG S_FALSE".
std::string names_left(IEncoderNames* names) {
  std::string out;
  for (;;) {
    BSTR name = reinterpret_cast<BSTR>(0x1);
    ULONG fetched = 77;
    const HRESULT hr = names->Next(1, &name, &fetched);
    if (hr != S_OK) return out + (hr == S_FALSE && name == reinterpret_cast<BSTR>(0x1) && fetched == 77 ? "S_FALSE" : "bad");
    out += to_utf8(Bstr::attach(name).view()) + (fetched == 1 ? " " : "? ");
  }
}

TEST(EncoderNames, GiveTheNamesInOrderOneAtATime) {
  ComPtr<IEncoderNames> names;
  ASSERT_EQ(create_encoder(CLSID_EncoderJPEG).query(names), S_OK);
  EXPECT_EQ(names_left(names.get()), "JPEG JPE JPG S_FALSE");
  EXPECT_EQ(names->Reset(), S_OK);
  EXPECT_EQ(names->Skip(1), S_OK);
  EXPECT_EQ(names_left(names.get()), "JPE JPG S_FALSE");
  EXPECT_EQ(names->Reset(), S_OK);
  BSTR name = nullptr;
  EXPECT_EQ(names->Next(1, &name, nullptr), S_OK);  // the fetched count is optional
  EXPECT_EQ(Bstr::attach(name).view(), u"JPEG");

  ASSERT_EQ(create_encoder(CLSID_EncoderBMP).query(names), S_OK);
  clear_error();
  name = nullptr;
  EXPECT_EQ(names->Next(2, &name, nullptr), E_INVALIDARG);
  EXPECT_EQ(name, nullptr);
  const ErrorRecord error = take_error();
  EXPECT_EQ(to_utf8(error.source) + ": " + to_utf8(error.description), "Zentarix.EncoderBMP.1: Cannot fetch more than 1 encoder name!");
  EXPECT_EQ(error.guid, IID_IEncoderNames);
  EXPECT_EQ(names->Next(1, nullptr, nullptr), E_POINTER);
  EXPECT_EQ(names->Reserved(nullptr), E_NOTIMPL);
  EXPECT_EQ(names_left(names.get()), "BMP S_FALSE");  // the refused calls did not move the position
}

// ---- foreign encoders ------------------------------------------------------------------------------

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

TEST(EncoderManager, ForeignEncoderInTheCategoryIsFoundAndDrivenLikeABuiltIn) {
  {
    RegisteredModule module(ZX_FOREIGN_ENCODER_0);
    ComPtr<IEncoderManager> manager = make_manager();
    ASSERT_TRUE(manager);
    EXPECT_EQ(lookup(manager.get(), u"zxf") + lookup(manager.get(), u"ZXFOREIGN") + lookup(manager.get(), u"42") +
                  lookup(manager.get(), u"jpg"),
              "foreignforeignforeignJPEG");  // the built-ins stay
    // It receives the store and writes to the stream.
    ComPtr<IDictionary> store = store_of("JPEGQuality=80");
    Image image = solid(1, 1, 0xFF000000u);
    const Encoded e = encode(kForeign, store.get(), image);
    EXPECT_EQ(e.doEncode, S_OK);
    EXPECT_EQ(std::string(e.bytes.begin(), e.bytes.end()), std::string("FOREIGN\x01", 8));
  }
  // A class in the category without the encoder contract is skipped.
  RegisteredModule module(ZX_FOREIGN_ENCODER_1);
  ComPtr<IEncoderManager> manager = make_manager();
  ASSERT_TRUE(manager);
  EXPECT_EQ(lookup(manager.get(), u"ZXF"), kCannotFind);
  EXPECT_EQ(lookup(manager.get(), u"42"), kNotFound);
  EXPECT_EQ(lookup(manager.get(), u"bmp"), "BMP");
}

// Two rules settle collisions: a name belongs to the last encoder enumerated with it, an ID to the
// first, and a name leads to its ID. So an encoder taking JPEG's ID 0 is never chosen, its own names
// leading to JPEG; one taking the name PNG under an ID of its own gets that name.
TEST(EncoderManager, ANameGoesToTheLaterEncoderAndAnIdToTheFirst) {
  const struct {
    const char* module;
    std::vector<const char16_t*> keys;
    std::string want;
  } cases[] = {{ZX_FOREIGN_ENCODER_3, {u"ZXC", u"0", u"jpg", u"png"}, "JPEG JPEG JPEG PNG "},
               {ZX_FOREIGN_ENCODER_4, {u"png", u"ZXD", u"43", u"2", u"jpg"}, "name taker name taker name taker PNG JPEG "}};
  for (const auto& c : cases) {
    RegisteredModule module(c.module);
    ComPtr<IEncoderManager> manager = make_manager();
    ASSERT_TRUE(manager);
    std::string found;
    for (const char16_t* key : c.keys) found += lookup(manager.get(), key) + " ";
    EXPECT_EQ(found, c.want) << c.module;
  }
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
