// Zentarix — MIT licence.
// Test support for the raster object: activation by ProgID, error records, pixel helpers.
#pragma once
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zentarix.h"
#include "zx/com.h"

STDAPI DllRegisterServer();

namespace zx::test {

inline constexpr OLECHAR kRasterSource[] = u"Zentarix.RasterObject.1";

// The module registered once per process (in the private registry TestRegistry sets up), then a
// raster object made the way a script makes it: by ProgID through the registry.
inline ComPtr<IRasterObject> make_raster() {
  static const HRESULT registered = DllRegisterServer();
  EXPECT_EQ(registered, S_OK);
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID(u"Zentarix.RasterObject", &clsid), S_OK);
  ComPtr<IRasterObject> raster;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterObject, raster.put_void()), S_OK);
  return raster;
}

// A raster holding width x height pixels given row by row.
inline ComPtr<IRasterObject> make_raster(int width, int height, const std::vector<uint32_t>& pixels) {
  ComPtr<IRasterObject> raster = make_raster();
  EXPECT_EQ(raster->EmptyImage(width, height, 0), S_OK);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      EXPECT_EQ(raster->put_Pixels(x, y, static_cast<LONG>(pixels[static_cast<size_t>(y) * width + x])), S_OK);
  return raster;
}

inline std::vector<uint32_t> read_pixels(IRasterObject* raster) {
  LONG width = 0, height = 0;
  EXPECT_EQ(raster->get_Width(&width), S_OK);
  EXPECT_EQ(raster->get_Height(&height), S_OK);
  std::vector<uint32_t> pixels;
  for (LONG y = 0; y < height; ++y)
    for (LONG x = 0; x < width; ++x) {
      LONG value = 0;
      EXPECT_EQ(raster->get_Pixels(x, y, &value), S_OK);
      pixels.push_back(static_cast<uint32_t>(value));
    }
  return pixels;
}

struct ErrorRecord {
  bool present = false;
  GUID guid = GUID_NULL;
  std::u16string source;
  std::u16string description;
};

// Takes the calling thread's error record (clearing it).
inline ErrorRecord take_error() {
  ErrorRecord record;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return record;
  record.present = true;
  info->GetGUID(&record.guid);
  Bstr source, description;
  info->GetSource(source.put());
  info->GetDescription(description.put());
  record.source = std::u16string(source.view());
  record.description = std::u16string(description.view());
  return record;
}

inline void clear_error() { SetErrorInfo(0, nullptr); }

// The result and the record of a failure reported by the raster object.
inline void expect_report(HRESULT hr, HRESULT expected, const std::u16string& description,
                          const GUID& iid = IID_IRasterObject, const OLECHAR* source = kRasterSource) {
  EXPECT_EQ(hr, expected);
  const ErrorRecord record = take_error();
  EXPECT_TRUE(record.present);
  EXPECT_EQ(record.guid, iid);
  EXPECT_EQ(to_utf8(record.source), to_utf8(source));
  EXPECT_EQ(to_utf8(record.description), to_utf8(description));
}

inline std::u16string support() { return ZX_SUPPORT_ADDRESS_TEXT; }

// The GDI+ failure message (without a system error code) for a method of an object.
inline std::u16string gdiplus_message(const std::u16string& method, const std::u16string& object,
                                      const std::u16string& status_text) {
  return u"GDI+ error occured in " + method + u" method of the " + object +
         u" object. If you get this error, please contact " + support() + u". Error message: " + status_text;
}

// The options store entry, or VT_ERROR with the failure.
inline Variant option(IRasterObject* raster, const OLECHAR* name) {
  Variant value;
  Bstr key(name);
  const HRESULT hr = raster->get_EncoderOptions(key.get(), &value);
  if (FAILED(hr)) {
    V_VT(&value) = VT_ERROR;
    V_ERROR(&value) = hr;
  }
  return value;
}

// GDI+ started for tests that make bitmaps themselves.
class GdiplusSession {
 public:
  GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
  }
  ~GdiplusSession() { Gdiplus::GdiplusShutdown(m_token); }

 private:
  ULONG_PTR m_token = 0;
};

}  // namespace zx::test
