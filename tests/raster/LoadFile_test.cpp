// Zentarix — MIT licence.
// LoadFile through the public surface: what a load changes and keeps, the GIF gate, every way it fails.
// (The corpus is walked once, by the decoders' tests.)
#include <cmath>

#include "RasterTestSupport.h"
#include "TestRegistry.h"

namespace zx::test {
namespace {

// An object that already holds an image of its own, loaded from a file (CurrentFileType 1), so a
// test can tell what a later load keeps and what it changes.
ComPtr<IRasterObject> raster_with_bmp() {
  ComPtr<IRasterObject> raster = make_raster();
  EXPECT_EQ(load_file(raster.get(), write_scratch("tiny.bmp", tiny_bmp())), S_OK);
  return raster;
}

// "ok" or "hr: message", then the file type and the image size afterwards ("none" without one).
std::string after_load(IRasterObject* raster, const std::string& path) {
  clear_error();
  const HRESULT hr = load_file(raster, path);
  const ErrorRecord error = take_error();
  LONG w = 0, h = 0;
  const bool image = raster->get_Width(&w) == S_OK && raster->get_Height(&h) == S_OK;
  take_error();
  return (hr == S_OK ? std::string("ok") : std::to_string(hr) + ": " + to_utf8(error.description)) + " | type " +
         std::to_string(current_file_type(raster)) + " | " +
         (image ? std::to_string(w) + "x" + std::to_string(h) : std::string("none"));
}

TEST(LoadFile, FailuresNameTheFileAsWrittenAndLeaveNoImage) {
  write_scratch("three bytes.jpg", {0xFF, 0xD8, 0xFF});
  mkdir((scratch_dir() + "/sub").c_str(), 0755);
  const std::string fifo = scratch_dir() + "/pipe.gif";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string bmp = " | type " + std::to_string(oftBMP) + " | none", cannot = "-2147467259: Cannot load file ";
  const std::string cases[] = {
      scratch_dir() + "/./sub/../three bytes.jpg",  // not normalised, not made absolute
      scratch_dir() + "/no such file.gif",          // the gate lets an unreadable file through
      write_scratch("short.gif", {'G', 'I', 'F'}),   // fewer than four bytes: no signature to refuse
      fifo, scratch_dir(), "/dev/zero",              // anything but a regular file, without waiting on it
  };
  for (const std::string& path : cases) {
    ComPtr<IRasterObject> raster = raster_with_bmp();
    alarm(20);  // a load that waits on the FIFO ends the test instead of hanging it
    EXPECT_EQ(after_load(raster.get(), path), cannot + path + bmp);
    alarm(0);
  }
  ComPtr<IRasterObject> raster = raster_with_bmp();
  expect_report(raster->LoadFile(nullptr), E_FAIL, kCannotLoadFile);
  for (const char* file : {"wmf/lo-sdk_burger.wmf", "ico/wx_horse.ico"})
    EXPECT_EQ(after_load(raster_with_bmp().get(), corpus_path(file)),
              "-2147467259: Unknown file type. | type " + std::to_string(oftUnknown) + " | none");
}

TEST(LoadFile, GifGateReadsTheContentNotTheName) {
  const std::string named_png = corpus_path("edge/derived_gif_named.png");
  ComPtr<IRasterObject> raster = raster_with_bmp();
  EXPECT_EQ(after_load(raster.get(), named_png),
            "-2147467259: " + to_utf8(lzw_message()) + " | type " + std::to_string(oftBMP) + " | 2x1");
  EXPECT_EQ(held_pixels(raster.get()), (std::vector<uint32_t>{0xFF0000FF, 0xFFFF0000}));
  ASSERT_EQ(raster->put_EnableLZW(1), S_OK);  // any non-zero VARIANT_BOOL opens the gate
  EXPECT_EQ(after_load(raster.get(), named_png), "ok | type " + std::to_string(oftGIF) + " | 32x32");
}

TEST(LoadFile, SuccessChangesOnlyTheImageFileTypeAndResolutions) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);
  ASSERT_EQ(raster->put_HorizontalResolution(10), S_OK);
  ASSERT_EQ(raster->put_VerticalResolution(20), S_OK);
  ASSERT_EQ(raster->put_EnableLZW(7), S_OK);
  const std::string path = write_scratch("replaced.bmp", tiny_bmp());
  EXPECT_EQ(after_load(raster.get(), path), "ok | type " + std::to_string(oftBMP) + " | 2x1");
  // The resolutions the file gives (2835 pixels per metre, 72 dpi); the options keep the values the
  // properties wrote.
  FLOAT x = 0, y = 0;
  ASSERT_EQ(raster->get_HorizontalResolution(&x) | raster->get_VerticalResolution(&y), S_OK);
  EXPECT_NEAR(x, 72.0, 0.01);
  EXPECT_NEAR(y, 72.0, 0.01);
  const Variant h = option(raster.get(), u"HorizontalResolution"), type = option(raster.get(), u"OutputFileType");
  EXPECT_EQ(V_VT(&h) == VT_R4 ? V_R4(&h) : -1.0f, 10.0f);
  EXPECT_EQ(V_VT(&type) == VT_I4 ? V_I4(&type) : -1, oftPNG);
  OutputFileTypes output = oftUnknown;
  VARIANT_BOOL lzw = 0;
  EXPECT_EQ(raster->get_OutputFileType(&output) | raster->get_EnableLZW(&lzw), S_OK);
  EXPECT_EQ(output, oftPNG);
  EXPECT_EQ(lzw, 7);
  // The held bitmap is independent of the file: overwriting and removing it changes nothing.
  write_scratch("replaced.bmp", {0, 1, 2, 3});
  std::remove(path.c_str());
  EXPECT_EQ(held_pixels(raster.get()), (std::vector<uint32_t>{0xFF0000FF, 0xFFFF0000}));
}

TEST(LoadFile, ResolutionsAndAlphaComeFromTheFile) {
  ComPtr<IRasterObject> raster = make_raster();
  EXPECT_EQ(after_load(raster.get(), write_scratch("dpi.jpeg", jpeg_at_300_by_600_dpi())),
            "ok | type " + std::to_string(oftJPEG) + " | 150x103");
  FLOAT x = 0, y = 0;
  ASSERT_EQ(raster->get_HorizontalResolution(&x) | raster->get_VerticalResolution(&y), S_OK);
  EXPECT_EQ(x * 1000 + y, 300600.0f);
  for (uint32_t p : held_pixels(raster.get())) ASSERT_EQ(p >> 24, 0xFFu);

  // A PNG keeps its alpha exactly: GDI+'s own decode drawn over full transparency.
  const std::string path = corpus_path("png/pngsuite_basn6a08.png");
  EXPECT_EQ(after_load(raster.get(), path), "ok | type " + std::to_string(oftPNG) + " | 32x32");
  Gdiplus::Bitmap decoded(to_utf16(path).c_str(), TRUE);
  const std::vector<uint32_t> held = held_pixels(raster.get());
  EXPECT_EQ(held, drawn_over_transparency(argb_pixels(decoded)));
  EXPECT_GT(std::count_if(held.begin(), held.end(), [](uint32_t p) { return p >> 24 && p >> 24 != 0xFF; }), 500);
  EXPECT_GT(std::count(held.begin(), held.end(), 0u), 0);
}

}  // namespace
}  // namespace zx::test
