// Zentarix — MIT licence.
// LoadFile through the public surface: every corpus file as its manifest says, the GIF gate, failures.
#include <cmath>
#include <sstream>

#include "LoadTestSupport.h"
#include "TestRegistry.h"

namespace zx::test {
namespace {

bool starts_with(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// The file type a load reports for the format found in the file's bytes; -2 for none.
int file_type_for(const std::string& format) {
  static const std::pair<const char*, int> kTypes[] = {
      {"JPEG", oftJPEG}, {"BMP", oftBMP}, {"PNG", oftPNG}, {"TIFF", oftTIFF}, {"GIF", oftGIF}};
  for (const auto& [name, type] : kTypes)
    if (format == name) return type;
  return -2;
}

// "300x600 (JFIF ...)" -> {300, 600}; "none ..." -> the 96 dpi GDI+ reports without a stored one.
std::pair<float, float> manifest_dpi(const std::string& cell) {
  float x = 96, y = 96;
  if (!starts_with(cell, "none") && std::sscanf(cell.c_str(), "%fx%f", &x, &y) != 2) x = y = -1;
  return {x, y};
}

enum class Expect { Loads, Rejected, FailsToDecode, FailsOrPartial, Unknown };

Expect expectation(const ManifestRow& row) {
  if (starts_with(row.expected, "load OK") || starts_with(row.expected, "treated as")) return Expect::Loads;
  if (starts_with(row.expected, "reject")) return Expect::Rejected;
  if (row.expected.find("partial image") != std::string::npos) return Expect::FailsOrPartial;
  if (starts_with(row.expected, "fail")) return Expect::FailsToDecode;
  return Expect::Unknown;
}

// An object that already holds an image of its own, loaded from a file (CurrentFileType 1), so a
// test can tell what a later load keeps and what it changes.
ComPtr<IRasterObject> raster_with_bmp() {
  ComPtr<IRasterObject> raster = make_raster();
  EXPECT_EQ(load_file(raster.get(), write_scratch("tiny.bmp", tiny_bmp())), S_OK);
  EXPECT_EQ(current_file_type(raster.get()), oftBMP);
  return raster;
}

void expect_size(IRasterObject* raster, LONG width, LONG height) {
  LONG w = 0, h = 0;
  EXPECT_EQ(raster->get_Width(&w), S_OK);
  EXPECT_EQ(raster->get_Height(&h), S_OK);
  EXPECT_EQ(w, width);
  EXPECT_EQ(h, height);
}

std::pair<float, float> resolutions(IRasterObject* raster) {
  FLOAT x = -1, y = -1;
  EXPECT_EQ(raster->get_HorizontalResolution(&x), S_OK);
  EXPECT_EQ(raster->get_VerticalResolution(&y), S_OK);
  return {x, y};
}

// The held pixels are GDI+'s own decode of the file drawn over full transparency.
void expect_pixels_of_decode(IRasterObject* raster, const std::string& path) {
  Gdiplus::Bitmap decoded(to_utf16(path).c_str(), TRUE);
  ASSERT_EQ(decoded.GetLastStatus(), Gdiplus::Ok);
  const std::vector<uint32_t> held = held_pixels(raster);
  const std::vector<uint32_t> expected = drawn_over_transparency(argb_pixels(decoded));
  ASSERT_EQ(held.size(), expected.size());
  size_t differing = 0;
  for (size_t i = 0; i < held.size(); ++i) differing += held[i] != expected[i];
  EXPECT_EQ(differing, 0u) << "pixels differ from the decode";
}

void check_row(const ManifestRow& row) {
  SCOPED_TRACE(row.file);
  const std::string path = corpus_path(row.file);
  const bool gif = row.format == "GIF";
  ComPtr<IRasterObject> raster = raster_with_bmp();

  if (gif) {
    // Refused by its first bytes while LZW is off: the image and file type loaded before stay.
    expect_report(load_file(raster.get(), path), E_FAIL, lzw_message());
    EXPECT_EQ(current_file_type(raster.get()), oftBMP);
    expect_size(raster.get(), 2, 1);
    enable_lzw(raster.get(), true);
  }
  const HRESULT hr = load_file(raster.get(), path);
  switch (expectation(row)) {
    case Expect::Loads: {
      ASSERT_EQ(hr, S_OK);
      EXPECT_EQ(current_file_type(raster.get()), file_type_for(row.format));
      expect_size(raster.get(), std::stoi(row.width), std::stoi(row.height));
      const auto [dpi_x, dpi_y] = manifest_dpi(row.dpi);
      const auto [x, y] = resolutions(raster.get());
      EXPECT_NEAR(x, dpi_x, 0.01);
      EXPECT_NEAR(y, dpi_y, 0.01);
      expect_pixels_of_decode(raster.get(), path);
      if (starts_with(row.alpha, "no")) {
        for (uint32_t p : held_pixels(raster.get())) ASSERT_EQ(p >> 24, 0xFFu) << "a pixel is not opaque";
      }
      break;
    }
    case Expect::Rejected:
      expect_report(hr, E_FAIL, kUnknownFileType);
      EXPECT_EQ(current_file_type(raster.get()), oftUnknown);
      EXPECT_TRUE(has_no_image(raster.get()));
      break;
    case Expect::FailsOrPartial:
      if (hr == S_OK) {  // the part that decodes, at the declared size
        EXPECT_EQ(current_file_type(raster.get()), file_type_for(row.format));
        expect_size(raster.get(), std::stoi(row.width), std::stoi(row.height));
        break;
      }
      [[fallthrough]];
    case Expect::FailsToDecode:
      expect_report(hr, E_FAIL, kCannotLoadFile + to_utf16(path));
      EXPECT_EQ(current_file_type(raster.get()), oftBMP);
      EXPECT_TRUE(has_no_image(raster.get()));
      break;
    case Expect::Unknown: ADD_FAILURE() << "unrecognised expectation: " << row.expected; break;
  }
}

TEST(LoadFile, EveryCorpusFileLoadsOrFailsAsItsManifestSays) {
  const std::vector<ManifestRow> rows = read_manifest();
  ASSERT_GT(rows.size(), 50u);
  for (const ManifestRow& row : rows) {
    if (row.format == "EMF") continue;  // metafile playback is not built yet
    check_row(row);
  }
}

TEST(LoadFile, GifGateReadsTheContentNotTheName) {
  const std::string named_png = corpus_path("edge/derived_gif_named.png");
  ComPtr<IRasterObject> raster = raster_with_bmp();
  expect_report(load_file(raster.get(), named_png), E_FAIL, lzw_message());
  expect_size(raster.get(), 2, 1);
  EXPECT_EQ(held_pixels(raster.get()), (std::vector<uint32_t>{0xFF0000FF, 0xFFFF0000}));

  // Any non-zero VARIANT_BOOL opens the gate.
  ASSERT_EQ(raster->put_EnableLZW(1), S_OK);
  ASSERT_EQ(load_file(raster.get(), named_png), S_OK);
  EXPECT_EQ(current_file_type(raster.get()), oftGIF);
  expect_size(raster.get(), 32, 32);
}

TEST(LoadFile, SuccessChangesOnlyTheImageFileTypeAndResolutions) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);
  ASSERT_EQ(raster->put_HorizontalResolution(10), S_OK);
  ASSERT_EQ(raster->put_VerticalResolution(20), S_OK);
  ASSERT_EQ(raster->put_EnableLZW(7), S_OK);
  Variant quality;
  V_VT(&quality) = VT_I4;
  V_I4(&quality) = 55;
  Bstr key(u"JPEGQuality");
  ASSERT_EQ(raster->put_EncoderOptions(key.get(), quality), S_OK);

  const std::string path = write_scratch("tiny.bmp", tiny_bmp());
  ASSERT_EQ(load_file(raster.get(), path), S_OK);
  EXPECT_EQ(current_file_type(raster.get()), oftBMP);
  // The resolutions GDI+ reads from the file (2835 pixels per metre, 72 dpi).
  Gdiplus::Bitmap decoded(to_utf16(path).c_str(), TRUE);
  const auto [x, y] = resolutions(raster.get());
  EXPECT_EQ(x, decoded.GetHorizontalResolution());
  EXPECT_EQ(y, decoded.GetVerticalResolution());
  EXPECT_NEAR(x, 72.0, 0.01);
  EXPECT_EQ(held_pixels(raster.get()), (std::vector<uint32_t>{0xFF0000FF, 0xFFFF0000}));

  OutputFileTypes output = oftUnknown;
  EXPECT_EQ(raster->get_OutputFileType(&output), S_OK);
  EXPECT_EQ(output, oftPNG);
  VARIANT_BOOL lzw = 0;
  EXPECT_EQ(raster->get_EnableLZW(&lzw), S_OK);
  EXPECT_EQ(lzw, 7);
  // The options keep the values the properties wrote, not the file's.
  Variant h = option(raster.get(), u"HorizontalResolution");
  ASSERT_EQ(V_VT(&h), VT_R4);
  EXPECT_EQ(V_R4(&h), 10.0f);
  Variant v = option(raster.get(), u"VerticalResolution");
  ASSERT_EQ(V_VT(&v), VT_R4);
  EXPECT_EQ(V_R4(&v), 20.0f);
  Variant q = option(raster.get(), u"JPEGQuality");
  ASSERT_EQ(V_VT(&q), VT_I4);
  EXPECT_EQ(V_I4(&q), 55);
  Variant type = option(raster.get(), u"OutputFileType");
  ASSERT_EQ(V_VT(&type), VT_I4);
  EXPECT_EQ(V_I4(&type), oftPNG);
}

TEST(LoadFile, ThreeByteFileFailsWithTheNameExactlyAsWritten) {
  write_scratch("three bytes.jpg", {0xFF, 0xD8, 0xFF});
  // Not normalised, not made absolute: the text the caller passed.
  const std::string as_written = scratch_dir() + "/./sub/../three bytes.jpg";
  mkdir((scratch_dir() + "/sub").c_str(), 0755);
  ComPtr<IRasterObject> raster = raster_with_bmp();
  expect_report(load_file(raster.get(), as_written), E_FAIL, kCannotLoadFile + to_utf16(as_written));
  EXPECT_TRUE(has_no_image(raster.get()));
  EXPECT_EQ(current_file_type(raster.get()), oftBMP);
}

TEST(LoadFile, MissingFileAndEmptyNameFailToDecode) {
  ComPtr<IRasterObject> raster = raster_with_bmp();
  const std::string missing = scratch_dir() + "/no such file.gif";
  // The gate lets an unreadable file through; the decoder names the failure.
  expect_report(load_file(raster.get(), missing), E_FAIL, kCannotLoadFile + to_utf16(missing));
  EXPECT_TRUE(has_no_image(raster.get()));
  expect_report(raster->LoadFile(nullptr), E_FAIL, kCannotLoadFile);
  EXPECT_EQ(current_file_type(raster.get()), oftBMP);
}

TEST(LoadFile, AnythingButARegularFileFailsWithoutWaitingOnIt) {
  const std::string fifo = scratch_dir() + "/pipe.gif";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& name : {fifo, scratch_dir(), std::string("/dev/zero")}) {
    SCOPED_TRACE(name);
    ComPtr<IRasterObject> raster = raster_with_bmp();
    alarm(20);  // a load that waits on the FIFO ends the test instead of hanging it
    expect_report(load_file(raster.get(), name), E_FAIL, kCannotLoadFile + to_utf16(name));
    alarm(0);
    EXPECT_TRUE(has_no_image(raster.get()));
  }
}

TEST(LoadFile, ShortGifSignatureIsNotRefusedByTheGate) {
  // "GIF" alone is fewer than four bytes: the gate reads no signature and the decoder fails.
  const std::string path = write_scratch("short.gif", {'G', 'I', 'F'});
  ComPtr<IRasterObject> raster = raster_with_bmp();
  expect_report(load_file(raster.get(), path), E_FAIL, kCannotLoadFile + to_utf16(path));
}

TEST(LoadFile, MetafilesAndIconsAreUnknownFileTypesAndLeaveNoImage) {
  for (const char* file : {"wmf/lo-sdk_burger.wmf", "ico/wx_horse.ico"}) {
    SCOPED_TRACE(file);
    ComPtr<IRasterObject> raster = raster_with_bmp();
    expect_report(load_file(raster.get(), corpus_path(file)), E_FAIL, kUnknownFileType);
    EXPECT_EQ(current_file_type(raster.get()), oftUnknown);
    EXPECT_TRUE(has_no_image(raster.get()));
  }
}

TEST(LoadFile, JpegAt300DpiReadsItsResolutionAndIsOpaque) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(load_file(raster.get(), write_scratch("dpi.jpeg", jpeg_at_300_by_600_dpi())), S_OK);
  EXPECT_EQ(current_file_type(raster.get()), oftJPEG);
  expect_size(raster.get(), 150, 103);
  const auto [x, y] = resolutions(raster.get());
  EXPECT_EQ(x, 300.0f);
  EXPECT_EQ(y, 600.0f);
  for (uint32_t p : held_pixels(raster.get())) ASSERT_EQ(p >> 24, 0xFFu);
}

TEST(LoadFile, PngKeepsItsAlphaExactly) {
  ComPtr<IRasterObject> raster = make_raster();
  const std::string path = corpus_path("png/pngsuite_basn6a08.png");
  ASSERT_EQ(load_file(raster.get(), path), S_OK);
  EXPECT_EQ(current_file_type(raster.get()), oftPNG);
  const std::vector<uint32_t> pixels = held_pixels(raster.get());
  size_t translucent = 0, transparent = 0;
  for (uint32_t p : pixels) {
    translucent += (p >> 24) != 0 && (p >> 24) != 0xFF;
    if ((p >> 24) == 0) {
      ++transparent;
      EXPECT_EQ(p, 0u);
    }
  }
  EXPECT_GT(translucent, 500u);
  EXPECT_GT(transparent, 0u);
  expect_pixels_of_decode(raster.get(), path);
}

TEST(LoadFile, HeldBitmapIsIndependentOfTheFile) {
  const std::string path = write_scratch("replaced.bmp", tiny_bmp());
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(load_file(raster.get(), path), S_OK);
  // Overwriting and removing the file changes nothing in the image.
  write_scratch("replaced.bmp", {0, 1, 2, 3});
  std::remove(path.c_str());
  EXPECT_EQ(held_pixels(raster.get()), (std::vector<uint32_t>{0xFF0000FF, 0xFFFF0000}));
  LONG pixel = 0;
  EXPECT_EQ(raster->get_Pixels(1, 0, &pixel), S_OK);
  EXPECT_EQ(static_cast<uint32_t>(pixel), 0xFFFF0000u);
}

}  // namespace
}  // namespace zx::test
