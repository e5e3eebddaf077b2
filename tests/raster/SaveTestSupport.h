// Zentarix — MIT licence.
// Test support for saving: independent read-back with libpng and libjpeg, files, and error records of any source.
#pragma once
// The platform's headers come before libjpeg's, which defines TRUE and FALSE as macros.
#include "RasterTestSupport.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zx::test {

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
  EXPECT_EQ(hr, expected);
  const ErrorRecord record = take_error();
  EXPECT_TRUE(record.present);
  EXPECT_EQ(record.guid, iid);
  EXPECT_EQ(to_utf8(record.source), to_utf8(source));
  EXPECT_EQ(to_utf8(record.description), to_utf8(description));
}

inline constexpr OLECHAR kUnknownEncoder[] =
    u"Cannot find specified encoder! It is possible you use Auto as OutputFileType and loaded file name has wrong "
    u"file extension. Try to specify OutputFileType explicitly or make sure that file name has correct extension. ";

// ---- PNG through libpng ----------------------------------------------------------------------------
struct PngFile {
  bool ok = false;
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = -1;
  bool hasPhys = false;
  png_uint_32 ppmX = 0, ppmY = 0;
  int physUnit = -1;
  std::vector<uint32_t> argb;  // straight ARGB, row by row
};

namespace detail {
struct PngSource {
  const Bytes* bytes;
  size_t at;
};
inline void png_read_bytes(png_structp png, png_bytep out, png_size_t n) {
  auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
  if (src->at + n > src->bytes->size()) png_error(png, "short");
  std::memcpy(out, src->bytes->data() + src->at, n);
  src->at += n;
}
// Header and pHYs only; no object with a destructor lives in this frame (libpng longjmps).
inline bool png_header(const Bytes* bytes, PngFile* out) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  PngSource source{bytes, 0};
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &source, png_read_bytes);
  png_read_info(png, info);
  out->width = png_get_image_width(png, info);
  out->height = png_get_image_height(png, info);
  out->bitDepth = png_get_bit_depth(png, info);
  out->colorType = png_get_color_type(png, info);
  out->hasPhys = png_get_pHYs(png, info, &out->ppmX, &out->ppmY, &out->physUnit) != 0;
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}
}  // namespace detail

inline PngFile read_png(const Bytes& bytes) {
  PngFile file;
  if (!detail::png_header(&bytes, &file)) return file;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return file;
  image.format = PNG_FORMAT_BGRA;  // little-endian uint32 ARGB
  file.argb.resize(size_t(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, file.argb.data(), 0, nullptr)) return file;
  file.ok = true;
  return file;
}

// ---- JPEG through libjpeg ----------------------------------------------------------------------------
struct JpegFile {
  bool ok = false;
  JDIMENSION width = 0, height = 0;
  int components = 0;
  int densityUnit = -1;
  unsigned xDensity = 0, yDensity = 0;
};

namespace detail {
struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};
inline void jpeg_fail(j_common_ptr cinfo) { longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
// Decodes the whole image (so a cut file fails); no object with a destructor lives in this frame.
inline bool jpeg_decode(const Bytes* bytes, JpegFile* out) {
  jpeg_decompress_struct cinfo{};
  JpegError error{};
  cinfo.err = jpeg_std_error(&error.mgr);
  error.mgr.error_exit = jpeg_fail;
  JSAMPLE* row = nullptr;
  if (setjmp(error.jump)) {
    std::free(row);
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes->data(), static_cast<unsigned long>(bytes->size()));
  jpeg_read_header(&cinfo, TRUE);
  out->densityUnit = cinfo.density_unit;
  out->xDensity = cinfo.X_density;
  out->yDensity = cinfo.Y_density;
  jpeg_start_decompress(&cinfo);
  out->width = cinfo.output_width;
  out->height = cinfo.output_height;
  out->components = cinfo.output_components;
  row = static_cast<JSAMPLE*>(std::malloc(size_t(cinfo.output_width) * cinfo.output_components));
  while (cinfo.output_scanline < cinfo.output_height) jpeg_read_scanlines(&cinfo, &row, 1);
  jpeg_finish_decompress(&cinfo);
  std::free(row);
  jpeg_destroy_decompress(&cinfo);
  return true;
}
}  // namespace detail

inline JpegFile read_jpeg(const Bytes& bytes) {
  JpegFile file;
  if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return file;
  file.ok = detail::jpeg_decode(&bytes, &file);
  return file;
}

// A small image with distinct opaque colours (and one half-transparent pixel when asked).
inline ComPtr<IRasterObject> sample_raster(bool withAlpha = false) {
  std::vector<uint32_t> pixels = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000, 0xFF808080};
  if (withAlpha) pixels[5] = 0x80102030;
  return make_raster(3, 2, pixels);
}

}  // namespace zx::test
