// Zentarix — MIT licence.
// Test support for the encoder classes: a registered module, options stores, error records, streams.
#pragma once
#include <objbase.h>
#include <scrrun.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ImageEncoder.h"
#include "zentarix.h"
#include "zx/com.h"

namespace zx::test {

// The registry file of this process (set before any test runs; libzentarix is registered in it).
const std::string& registry_file();

// A new Scripting.Dictionary in text-compare mode, as the raster object keeps its options store.
ComPtr<IDictionary> make_store();
void put_option(IDictionary* store, const char16_t* name, const VARIANT& value);
void put_long(IDictionary* store, const char16_t* name, LONG value);
void put_double(IDictionary* store, const char16_t* name, double value);
void put_text(IDictionary* store, const char16_t* name, const char16_t* value);
void put_bool(IDictionary* store, const char16_t* name, bool value);
bool store_has(IDictionary* store, const char16_t* name);
// A store from "Name=value ..." pairs: whole numbers as VT_I4, numbers with a point as VT_R8,
// true and false as VT_BOOL, anything else (or anything in single quotes) as text.
ComPtr<IDictionary> store_of(std::string_view options);
LONG store_count(IDictionary* store);

// The thread's error record, taken (and so cleared).
struct ErrorRecord {
  bool present = false;
  std::u16string description, source;
  GUID guid = GUID_NULL;
};
ErrorRecord take_error();
void clear_error();

ComPtr<IImageEncoder> create_encoder(REFCLSID clsid);

// A 32 bpp ARGB image in memory order B, G, R, A.
struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> bgra;
  void set(int x, int y, uint32_t argb);
};
Image solid(int width, int height, uint32_t argb);

// SetOptions(store) then DoEncode into a memory stream; the stream's bytes, and both results.
struct Encoded {
  HRESULT setOptions = E_FAIL;
  HRESULT doEncode = E_FAIL;
  std::vector<uint8_t> bytes;
};
Encoded encode(REFCLSID clsid, IDictionary* store, Image& image, LONG pixelFormat = 0x26200A);

// Every byte of a stream, from its start.
std::vector<uint8_t> stream_bytes(IStream* stream);

}  // namespace zx::test
