// Zentarix — MIT licence.
// Test support for the raster object: activation by ProgID, error records, pixels, the held bitmap,
// files written, the corpus manifest.
#pragma once
#include <gdiplus.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
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


// ---- loading ---------------------------------------------------------------------------------------


inline constexpr OLECHAR kUnknownFileType[] = u"Unknown file type.";
inline constexpr OLECHAR kCannotLoadFile[] = u"Cannot load file ";
inline std::u16string lzw_message() {
  return u"Cannot read GIF file: LZW support is disabled! If you have license from Unisys or don't care about it, "
         u"you can enable it via EnableLZW property of the RasterObject. For more questions, contact us at " +
         support();
}

inline std::string corpus_path(const std::string& file) { return std::string(ZX_CORPUS_DIR) + "/" + file; }

// One row of the corpus manifest (tests/corpus/MANIFEST.tsv).
struct ManifestRow {
  std::string file, format, expected, width, height, dpi, frames, alpha;
};

inline std::vector<ManifestRow> read_manifest() {
  std::ifstream in(corpus_path("MANIFEST.tsv"));
  std::vector<ManifestRow> rows;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) f.push_back(cell);
    if (f.size() < 10) continue;
    rows.push_back({f[0], f[2], f[3], f[4], f[5], f[7], f[8], f[9]});
  }
  return rows;
}

inline std::vector<uint8_t> read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Corpus files given a non-square resolution of 300 x 600 dpi, made here because the corpus has none:
// a JPEG (150 x 103) with its JFIF density rewritten, and an RGBA PNG (32 x 32) given a pHYs chunk.
inline std::vector<uint8_t> jpeg_at_300_by_600_dpi() {
  std::vector<uint8_t> b = read_bytes(corpus_path("jpeg/go_video-001.jpeg"));
  const uint8_t density[] = {1, 300 >> 8, 300 & 0xFF, 600 >> 8, 600 & 0xFF};  // units = inch, X, Y
  std::copy(std::begin(density), std::end(density), b.begin() + 13);        // after "JFIF\0" and version
  return b;
}
inline std::vector<uint8_t> png_at_300_by_600_dpi() {
  std::vector<uint8_t> b = read_bytes(corpus_path("png/pngsuite_basn6a08.png"));
  std::vector<uint8_t> chunk = {0, 0, 0, 9, 'p', 'H', 'Y', 's', 0, 0, 46, 35, 0, 0, 92, 70, 1};  // 11811, 23622 px/m
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 4; i < chunk.size(); ++i) {
    crc ^= chunk[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  crc = ~crc;
  chunk.insert(chunk.end(), {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
  b.insert(b.begin() + 33, chunk.begin(), chunk.end());  // right after the signature and IHDR
  return b;
}

// A folder of this test process's own under the build tree, for files the tests write.
inline const std::string& scratch_dir() {
  static const std::string dir = [] {
    std::string d = std::string(ZX_BINARY_DIR) + "/load-test-" + std::to_string(getpid());
    mkdir(d.c_str(), 0755);
    return d;
  }();
  return dir;
}

// Removes the scratch folder when the test program ends.
class ScratchCleanup : public ::testing::Environment {
 public:
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(scratch_dir(), ignored);
  }
};
inline ::testing::Environment* const g_scratch_cleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

inline std::string write_scratch(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = scratch_dir() + "/" + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
  return path;
}

// A 2 x 1 bottom-up 24-bit BMP at 2835 px/m (72 dpi): blue, then red.
inline std::vector<uint8_t> tiny_bmp() {
  std::vector<uint8_t> b = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
                            40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 8, 0, 0, 0,
                            0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                            0xFF, 0, 0, 0, 0, 0xFF, 0, 0};  // B G R per pixel, row padded to 8 bytes
  return b;
}

inline HRESULT load_file(IRasterObject* raster, const std::string& path) {
  Bstr name(to_utf16(path));
  return raster->LoadFile(name.get());
}

inline void enable_lzw(IRasterObject* raster, bool on) {
  ASSERT_EQ(raster->put_EnableLZW(on ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
}

inline OutputFileTypes current_file_type(IRasterObject* raster) {
  OutputFileTypes type = static_cast<OutputFileTypes>(-99);
  EXPECT_EQ(raster->get_CurrentFileType(&type), S_OK);
  return type;
}

// True when the object holds no image (Width answers the no-image report, which is consumed).
inline bool has_no_image(IRasterObject* raster) {
  LONG width = 0;
  const HRESULT hr = raster->get_Width(&width);
  take_error();
  return hr == E_FAIL;
}

inline Gdiplus::Bitmap* held_bitmap(IRasterObject* raster) {
  ComPtr<IRasterObjectInternal> internal;
  EXPECT_EQ(raster->QueryInterface(IID_IRasterObjectInternal, internal.put_void()), S_OK);
  LONG* pointer = nullptr;
  if (internal) {
    EXPECT_EQ(internal->GetDataPointer(&pointer), S_OK);
  }
  return reinterpret_cast<Gdiplus::Bitmap*>(pointer);
}

// Every pixel of a bitmap as ARGB values, rows top first, read through a 32 bpp ARGB lock.
inline std::vector<uint32_t> argb_pixels(Gdiplus::Bitmap& bitmap) {
  const Gdiplus::Rect whole(0, 0, static_cast<INT>(bitmap.GetWidth()), static_cast<INT>(bitmap.GetHeight()));
  Gdiplus::BitmapData data{};
  std::vector<uint32_t> pixels;
  if (bitmap.LockBits(&whole, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppARGB, &data) != Gdiplus::Ok) {
    ADD_FAILURE() << "cannot lock the bitmap";
    return pixels;
  }
  pixels.reserve(static_cast<size_t>(whole.Width) * whole.Height);
  for (UINT y = 0; y < data.Height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(data.Scan0) + y * data.Stride);
    pixels.insert(pixels.end(), row, row + data.Width);
  }
  bitmap.UnlockBits(&data);
  return pixels;
}

// The held image: it must be a 32 bpp ARGB bitmap of its own.
inline std::vector<uint32_t> held_pixels(IRasterObject* raster) {
  Gdiplus::Bitmap* bitmap = held_bitmap(raster);
  if (!bitmap) {
    ADD_FAILURE() << "no image held";
    return {};
  }
  EXPECT_EQ(bitmap->GetPixelFormat(), Gdiplus::PixelFormat32bppARGB);
  return argb_pixels(*bitmap);
}

// What the working bitmap must hold for a decoded image: source-over onto full transparency with
// straight alpha, written out from the blending equations (alpha 0 -> transparent black, every
// other pixel unchanged).
inline std::vector<uint32_t> drawn_over_transparency(std::vector<uint32_t> pixels) {
  for (uint32_t& p : pixels)
    if ((p >> 24) == 0) p = 0;
  return pixels;
}


// ---- saving ----------------------------------------------------------------------------------------


using Bytes = std::vector<uint8_t>;

inline Bytes file_bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A folder of its own per test, removed afterwards with everything in it.
class TempFolder {
 public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_path = std::filesystem::temp_directory_path() /
             ("zx-save-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
  // Names of the entries directly in the folder (leftover temporary files show up here).
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(m_path)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path m_path;
};

inline Bstr bstr_path(const std::filesystem::path& path) { return Bstr(to_utf16(path.string())); }

// A failure's result and record, for any reporting class.
inline void expect_record(HRESULT hr, HRESULT expected, const std::u16string& source, const GUID& iid,
                          const std::u16string& description) {
  expect_report(hr, expected, description, iid, source.c_str());
}

inline constexpr OLECHAR kUnknownEncoder[] =
    u"Cannot find specified encoder! It is possible you use Auto as OutputFileType and loaded file name has wrong "
    u"file extension. Try to specify OutputFileType explicitly or make sure that file name has correct extension. ";

// A small image with distinct opaque colours (and one half-transparent pixel when asked).
inline ComPtr<IRasterObject> sample_raster(bool withAlpha = false) {
  std::vector<uint32_t> pixels = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0xFF808080};
  if (withAlpha) pixels[5] = 0x80102030;
  return make_raster(3, 2, pixels);
}

}  // namespace zx::test
