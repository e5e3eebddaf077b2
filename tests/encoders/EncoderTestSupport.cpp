// Zentarix — MIT licence.
// Test support for the encoder classes: a registered module, options stores, error records, streams.
#include "EncoderTestSupport.h"

#include <gtest/gtest.h>
#include <oleauto.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>

STDAPI DllRegisterServer();

namespace zx::test {
namespace {

class EncoderEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    std::remove(registry_file().c_str());
    setenv("ZENTARIX_REGISTRY", registry_file().c_str(), 1);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_EQ(DllRegisterServer(), S_OK);
  }
  void TearDown() override {
    CoUninitialize();
    std::remove(registry_file().c_str());
    std::remove((registry_file() + ".lock").c_str());  // the writers' advisory lock file outlives them
  }
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new EncoderEnvironment);

Variant key_of(const char16_t* name) {
  Variant key;
  key.vt = VT_BSTR;
  key.bstrVal = SysAllocString(name);
  return key;
}

}  // namespace

const std::string& registry_file() {
  static const std::string path = std::string(ZX_BINARY_DIR) + "/encoders-test-" + std::to_string(getpid()) + ".reg";
  return path;
}

ComPtr<IDictionary> make_store() {
  ComPtr<IDictionary> store;
  EXPECT_EQ(CoCreateInstance(CLSID_Dictionary, nullptr, CLSCTX_ALL, IID_IDictionary, store.put_void()), S_OK);
  if (store) {
    EXPECT_EQ(store->put_CompareMode(TextCompare), S_OK);
  }
  return store;
}

void put_option(IDictionary* store, const char16_t* name, const VARIANT& value) {
  Variant key = key_of(name);
  VARIANT item = value;  // put_Item copies it
  ASSERT_EQ(store->put_Item(&key, &item), S_OK);
}

void put_long(IDictionary* store, const char16_t* name, LONG value) {
  VARIANT v{};
  v.vt = VT_I4;
  v.lVal = value;
  put_option(store, name, v);
}

void put_double(IDictionary* store, const char16_t* name, double value) {
  VARIANT v{};
  v.vt = VT_R8;
  v.dblVal = value;
  put_option(store, name, v);
}

void put_text(IDictionary* store, const char16_t* name, const char16_t* value) {
  Variant v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(value);
  put_option(store, name, v);
}

void put_bool(IDictionary* store, const char16_t* name, bool value) {
  VARIANT v{};
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  put_option(store, name, v);
}

bool store_has(IDictionary* store, const char16_t* name) {
  Variant key = key_of(name);
  VARIANT_BOOL exists = VARIANT_FALSE;
  EXPECT_EQ(store->Exists(&key, &exists), S_OK);
  return exists != VARIANT_FALSE;
}

ComPtr<IDictionary> store_of(std::string_view options) {
  ComPtr<IDictionary> store = make_store();
  while (!options.empty()) {
    const size_t end = std::min(options.find(' '), options.size()), eq = options.find('=');
    const std::u16string name = to_utf16(std::string(options.substr(0, eq)).c_str());
    const std::string value(options.substr(eq + 1, end - eq - 1));
    options.remove_prefix(std::min(end + 1, options.size()));
    char* rest = nullptr;
    const long whole = std::strtol(value.c_str(), &rest, 0);
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
      put_text(store.get(), name.c_str(), to_utf16(value.substr(1, value.size() - 2).c_str()).c_str());
    } else if (value == "true" || value == "false") {
      put_bool(store.get(), name.c_str(), value == "true");
    } else if (!value.empty() && *rest == 0) {
      put_long(store.get(), name.c_str(), LONG(whole));
    } else if (std::strtod(value.c_str(), &rest), !value.empty() && *rest == 0) {
      put_double(store.get(), name.c_str(), std::strtod(value.c_str(), nullptr));
    } else {
      put_text(store.get(), name.c_str(), to_utf16(value.c_str()).c_str());
    }
  }
  return store;
}

LONG store_count(IDictionary* store) {
  LONG count = -1;
  EXPECT_EQ(store->get_Count(&count), S_OK);
  return count;
}

ErrorRecord take_error() {
  ErrorRecord record;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return record;
  record.present = true;
  Bstr text;
  if (SUCCEEDED(info->GetDescription(text.put())) && text.get()) record.description = std::u16string(text.view());
  Bstr source;
  if (SUCCEEDED(info->GetSource(source.put())) && source.get()) record.source = std::u16string(source.view());
  info->GetGUID(&record.guid);
  return record;
}

void clear_error() { SetErrorInfo(0, nullptr); }

ComPtr<IImageEncoder> create_encoder(REFCLSID clsid) {
  ComPtr<IImageEncoder> encoder;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IImageEncoder, encoder.put_void()), S_OK);
  return encoder;
}

void Image::set(int x, int y, uint32_t argb) {
  uint8_t* p = &bgra[(static_cast<size_t>(y) * width + x) * 4];
  p[0] = argb & 0xFF;
  p[1] = (argb >> 8) & 0xFF;
  p[2] = (argb >> 16) & 0xFF;
  p[3] = argb >> 24;
}

Image solid(int width, int height, uint32_t argb) {
  Image image{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 4)};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.set(x, y, argb);
  return image;
}

std::vector<uint8_t> stream_bytes(IStream* stream) {
  STATSTG stat{};
  EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  LARGE_INTEGER zero{};
  EXPECT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
  std::vector<uint8_t> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
  ULONG read = 0;
  if (!bytes.empty()) {
    EXPECT_EQ(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read), S_OK);
  }
  bytes.resize(read);
  return bytes;
}

Encoded encode(REFCLSID clsid, IDictionary* store, Image& image, LONG pixelFormat) {
  Encoded result;
  ComPtr<IImageEncoder> encoder = create_encoder(clsid);
  if (!encoder) return result;
  result.setOptions = encoder->SetOptions(store);
  if (FAILED(result.setOptions)) return result;
  ComPtr<IStream> stream;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  result.doEncode = encoder->DoEncode(image.bgra.data(), image.width, image.height, pixelFormat, stream.get());
  result.bytes = stream_bytes(stream.get());
  return result;
}

}  // namespace zx::test
