// Zentarix — MIT licence.
// The encoder classes' files, read back by independent decoders and compared whole, and their
// refusals with the record they leave.
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

#include "EncoderTestSupport.h"
#include "ImageReaders.h"

namespace zx::test {
namespace {

// Grey (129, 128, 128) has luminance 128; (128, 128, 128) computes to 127.99999999999999 and is 127.
constexpr uint32_t L128 = 0xFF818080u, L127 = 0xFF808080u, W = 0xFFFFFFFFu, K = 0xFF000000u;

Image pixels(std::vector<uint32_t> argb, int width = 0) {
  Image image = solid(width ? width : int(argb.size()), width ? int(argb.size()) / width : 1, 0);
  for (size_t i = 0; i < argb.size(); ++i) image.set(int(i) % image.width, int(i) / image.width, argb[i]);
  return image;
}

std::string hex(uint32_t v) {
  char text[12];
  std::snprintf(text, sizeof text, "%08x", v);
  return text;
}

// The file a save writes, described by its reader; or "hr source: message" when it is refused.
std::string saved(REFCLSID clsid, std::string_view options, Image image, bool entries = true) {
  ComPtr<IDictionary> store = store_of(options);
  clear_error();
  const Encoded e = encode(clsid, store.get(), image);
  if (e.setOptions != S_OK || e.doEncode != S_OK) {
    const ErrorRecord error = take_error();
    return hex(uint32_t(FAILED(e.setOptions) ? e.setOptions : e.doEncode)) + (e.bytes.empty() ? " " : " (written) ") +
           to_utf8(error.source) + ": " + to_utf8(error.description);
  }
  if (clsid == CLSID_EncoderTIFF) return describe(read_tiff(e.bytes));
  return describe(clsid == CLSID_EncoderBMP ? read_bmp(e.bytes) : clsid == CLSID_EncoderPNG ? read_png(e.bytes)
                                                                                              : read_gif(e.bytes),
                  entries);
}

const std::string kAppeal = "If you have license from Unisys or don't care about it, you can enable it via EnableLZW "
                            "property of the RasterObject. For more questions, contact us at " +
                            to_utf8(ZX_SUPPORT_ADDRESS_TEXT);

TEST(EncoderFiles, OptionsShapeTheFileExactly) {
  const std::vector<uint32_t> dither(16, L128), flatten = {0x00FFFFFFu, 0x80FF0000u, 0x01FFFFFFu, 0xC0204060u};
  const std::string none = "80004005 Zentarix.EncoderTIFF.1: Cannot use ", deep = " compression on images which has color depth > 1!";
  const struct Case {
    const CLSID& encoder;
    const char* options;
    Image image;
    std::string want;
    bool entries = true;
  } cases[] = {
      // BMP: 24 bits at 96 dpi by default, alpha dropped without a background.
      {CLSID_EncoderBMP, "", pixels({0x80112233u, 0xFFA0B0C0u}), "2x1 24bpp 96x96dpi px ff112233 ffa0b0c0"},
      {CLSID_EncoderBMP, "ColorDepth=32", pixels({0x7F102030u, W}), "2x1 32bpp 96x96dpi px 7f102030 ffffffff"},
      {CLSID_EncoderBMP, "ColorDepth=1", pixels({L128, L127, L127, L127, L127, L127, L127, L127, L128}),
       "9x1 1bpp 96x96dpi pal ff000000 ffffffff px ffffffff ff000000 ff000000 ff000000 ff000000 ff000000 ff000000 "
       "ff000000 ffffffff"},
      // The ordered matrix whitens cells up to 128; DitherType wins over BinarizeMethod.
      {CLSID_EncoderBMP, "ColorDepth=1 DitherType=OrderedDither BinarizeMethod=ErrorDiffusion", pixels(dither, 4),
       "4x4 1bpp 96x96dpi pal ff000000 ffffffff px ffffffff ff000000 ffffffff ff000000 ffffffff ffffffff ff000000 "
       "ffffffff ffffffff ff000000 ffffffff ff000000 ff000000 ffffffff ff000000 ffffffff"},
      {CLSID_EncoderBMP, "ColorDepth=1 DitherType=OrderedDither IsInverted=true", pixels(dither, 4),
       "4x4 1bpp 96x96dpi pal ff000000 ffffffff px ff000000 ffffffff ff000000 ffffffff ff000000 ff000000 ffffffff "
       "ff000000 ff000000 ffffffff ff000000 ffffffff ffffffff ff000000 ffffffff ff000000"},
      {CLSID_EncoderBMP, "ColorDepth=8", pixels({0xFF0000FFu, 0xFFFF0000u, 0xFF00FF00u, 0xFF123456u}),
       "4x1 8bpp 96x96dpi pal 216 px ff0000ff ffff0000 ff00ff00 ff123456", false},
      {CLSID_EncoderBMP, "ColorDepth=8 PaletteType=halftone", pixels({0xFF336699u}), "1x1 8bpp 96x96dpi pal 256 px ff336699",
       false},
      {CLSID_EncoderBMP, "ColorDepth=1 HorizontalResolution=300.0 VerticalResolution='150'", pixels({K}),
       "1x1 1bpp 300x150dpi pal ff000000 ffffffff px ff000000"},
      {CLSID_EncoderBMP, "ColorDepth=8 HorizontalResolution=300.0 VerticalResolution='150'", pixels({K}),
       "1x1 8bpp 300x150dpi pal 216 px ff000000", false},
      {CLSID_EncoderBMP, "ColorDepth=32 HorizontalResolution=300.0 VerticalResolution='150'", pixels({K}),
       "1x1 32bpp 300x150dpi px ff000000"},
      // A background flattens before the conversion; alpha 1 counts as transparent.
      {CLSID_EncoderBMP, "BackgroundColor=-16777216", pixels(flatten), "4x1 24bpp 96x96dpi px ff000000 ff800000 ff000000 ff183048"},
      {CLSID_EncoderBMP, "BackgroundColor=-1", pixels(flatten), "4x1 24bpp 96x96dpi px ffffffff ffff7f7f ffffffff ff576f87"},
      // PNG: 32 bits with alpha by default; palette entries of transparent pixels become transparent.
      {CLSID_EncoderPNG, "", pixels({0x80112233u, 0}), "2x1 32bpp 96x96dpi px 80112233 00000000"},
      {CLSID_EncoderPNG, "ColorDepth=8 HorizontalResolution=300 VerticalResolution=150",
       pixels({0x00FF0000u, 0x01FF0000u, 0xFF0000FFu, 0xFF00FF00u}), "4x1 8bpp 300x150dpi pal 256 px 00010000 00010000 ff0000ff ff00ff00",
       false},
      {CLSID_EncoderPNG, "ColorDepth=8 IsTransparent=false", pixels({0x00FF0000u, 0x01FF0000u, 0xFF0000FFu, 0xFF00FF00u}),
       "4x1 8bpp 96x96dpi pal 256 px ff010000 ff010000 ff0000ff ff00ff00", false},
      {CLSID_EncoderPNG, "BackgroundColor=-16777216", pixels({0x00FFFFFFu, 0x80FF0000u, 0xFF0000FFu}),
       "3x1 32bpp 96x96dpi px 00000000 ff800000 ff0000ff"},
      {CLSID_EncoderPNG, "ColorDepth=1", pixels({K, W, W}), "3x1 1bpp 96x96dpi pal ff000000 ffffffff px ff000000 ffffffff ffffffff"},
      // GIF: written only with LZW enabled, given as a number.
      {CLSID_EncoderGIF, "", pixels({0xFF102030u}), "80004005 Zentarix.EncoderGIF.1: Cannot save GIF. LZW support is disabled! " + kAppeal},
      {CLSID_EncoderGIF, "EnableLZW=true", pixels({0xFF102030u}),
       "80070057 Zentarix.EncoderGIF.1: Cannot save to GIF: EnableLZW parameter has incorrect value!"},
      {CLSID_EncoderGIF, "EnableLZW=1", pixels({0xFF102030u, 0xFF102030u}), "2x1 8bpp 0x0dpi pal 256 px ff102030 ff102030", false},
      {CLSID_EncoderGIF, "EnableLZW=1 PaletteType=Octree PaletteColorsNumber=8", pixels({0x00FF0000u, 0x8000FF00u, 0xFF0000FFu}),
       "3x1 3bpp 0x0dpi tr 0 pal 8 px clear ff008000 ff0000ff", false},
      {CLSID_EncoderGIF, "EnableLZW=1 IsTransparent=false", pixels({0x00FF0000u, 0x8000FF00u, 0xFF0000FFu}),
       "3x1 8bpp 0x0dpi pal 256 px ff000000 ff008000 ff0000ff", false},
      {CLSID_EncoderGIF, "EnableLZW=1 PaletteType=Halftone PaletteColorsNumber=8", pixels({0x00FF0000u, 0x8000FF00u, 0xFF0000FFu}),
       "3x1 8bpp 0x0dpi tr 9 pal 256 px clear ff00ff00 ff0000ff", false},
      {CLSID_EncoderGIF, "EnableLZW=1 BackgroundColor=-16777216", pixels({0x00FF0000u, 0x8000FF00u, 0xFF0000FFu}),
       "3x1 8bpp 0x0dpi tr 0 pal 256 px clear ff008000 ff0000ff", false},
      // TIFF fields: photometric, samples, bits, compression, ink set, resolution unit. LZW by default,
      // so refused without the gate in either colour space.
      {CLSID_EncoderTIFF, "", pixels({K}), "80004005 Zentarix.EncoderTIFF.1: Cannot save TIFF with LZW compression: LZW support is disabled! " + kAppeal},
      {CLSID_EncoderTIFF, "ColorSpace=CMYK", pixels({K}), "80004005 Zentarix.EncoderTIFF.1: Cannot save TIFF with LZW compression: LZW support is disabled! " + kAppeal},
      {CLSID_EncoderTIFF, "CompressionType=None", pixels({0x80102030u, 0x80102030u}), "fields 2 4 8 1 0 2 96x96dpi rows 1020308010203080"},
      {CLSID_EncoderTIFF, "CompressionType=CCITT3 ColorDepth=24", pixels({W}), none + "CCITT3" + deep},
      {CLSID_EncoderTIFF, "CompressionType=CCITT4 ColorDepth=24", pixels({W}), none + "CCITT4" + deep},
      {CLSID_EncoderTIFF, "CompressionType=RLE ColorDepth=8", pixels({W}), none + "RLE" + deep},
      {CLSID_EncoderTIFF, "CompressionType=CCITT4 ColorDepth=1", pixels({W, K, W, W, W, W, W, W, W, W}),
       "fields 1 1 1 4 0 2 96x96dpi rows bfc0"},
      // CMYK without a profile: uncompressed, InkSet CMYK and no unit whatever depth and compression
      // say; a transparent pixel is never drawn, so full ink.
      {CLSID_EncoderTIFF, "ColorSpace=CMYK EnableLZW=1 ColorDepth=8 HorizontalResolution=300", pixels({W, K, 0x00FFFFFFu}),
       "fields 5 4 8 1 1 0 300x96dpi rows 00000000b5b1afd9ffffffff"},
  };
  for (const Case& c : cases) EXPECT_EQ(saved(c.encoder, c.options, c.image, c.entries), c.want) << c.options;
}

TEST(EncoderFiles, BackgroundLeavesTheCallersPixelsAndReadingAddsNothingToTheStore) {
  Image image = pixels({0x00FFFFFFu, 0x80FF0000u});
  const std::vector<uint8_t> before = image.bgra;
  ComPtr<IDictionary> store = store_of("BackgroundColor=-16777216");
  ASSERT_EQ(encode(CLSID_EncoderBMP, store.get(), image).doEncode, S_OK);
  EXPECT_EQ(image.bgra, before);
  EXPECT_EQ(store_count(store.get()), 1);
}

TEST(EncoderFiles, CmykProfileThatCannotBeOpenedIsRefusedWithMinusOne) {
  for (const char* profile : {"/nonexistent/press.icc", ZX_CORPUS_DIR "/png/pngsuite_basn0g08.png"})
    EXPECT_EQ(saved(CLSID_EncoderTIFF, "ColorSpace=CMYK CompressionType=None ICCProfileFilename=" + std::string(profile),
                    pixels({K})),
              "ffffffff Zentarix.EncoderTIFF.1: Error during color space convertation. Cannot open ICC profile. It is "
              "possible such a profile does not exist or you try to use non-ICC profile file as profile.");
}

TEST(EncoderFiles, TwoCmykSavesAtOnceBothWriteTheWholeFile) {
  Image image = solid(64, 48, 0xFF336699u);
  for (int x = 0; x < 64; ++x) image.set(x, x % 48, 0xFF000000u | x << 18);
  const auto save = [&] {
    ComPtr<IDictionary> store = store_of("ColorSpace=CMYK CompressionType=None");
    return encode(CLSID_EncoderTIFF, store.get(), image);
  };
  const Encoded alone = save();
  EXPECT_EQ(read_tiff(alone.bytes).rows.size(), 64u * 48 * 4);
  Encoded together[2];
  std::thread other([&] { together[1] = save(); });
  together[0] = save();
  other.join();
  for (const Encoded& result : together) EXPECT_EQ(result.bytes, alone.bytes);
}

// ---- JPEG: lossy, so compared by difference ----------------------------------------------------------

int max_difference(const DecodedImage& d, const Image& image) {
  int worst = 0;
  for (int i = 0; i < d.width * d.height; ++i)
    for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(int(d.pixels[size_t(i)] >> (8 * c) & 0xFF) - image.bgra[size_t(i) * 4 + size_t(c)]));
  return worst;
}

TEST(EncoderJPEG, QualityResolutionAndBackgroundReachTheFile) {
  Image image = solid(32, 24, 0);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x) image.set(x, y, 0xFF000000u | (x * 255 / 31) << 16 | (y * 255 / 23) << 8 | 0x40);
  const auto jpeg = [&](const char* options, Image& img) {
    ComPtr<IDictionary> store = store_of(options);
    const Encoded e = encode(CLSID_EncoderJPEG, store.get(), img);
    EXPECT_EQ(e.doEncode, S_OK) << options;
    return e.bytes;
  };
  const std::vector<uint8_t> best = jpeg("JPEGQuality=100", image), worst = jpeg("JPEGQuality=0", image);
  const DecodedImage b = read_jpeg(best), w = read_jpeg(worst);
  EXPECT_EQ(describe(b).substr(0, 21), "32x24 24bpp 96x96dpi ");
  EXPECT_LE(max_difference(b, image), 6);
  EXPECT_GT(max_difference(w, image), max_difference(b, image));
  EXPECT_LT(worst.size(), best.size());
  EXPECT_EQ(jpeg("JPEGQuality=100.9", image), best);  // truncated
  for (const char* bad : {"JPEGQuality=101", "JPEGQuality=-1"})
    EXPECT_EQ(saved(CLSID_EncoderJPEG, bad, image),
              "80070057 Zentarix.EncoderJPEG.1: Cannot save to JPEG: JPEGQuality parameter has incorrect value!");

  Image clear = solid(8, 8, 0x00FFFFFFu);  // alpha ignored: white stays, unless a background is given
  const DecodedImage white = read_jpeg(jpeg("HorizontalResolution=300 VerticalResolution=150 JPEGQuality=100", clear));
  EXPECT_EQ(describe(white).substr(0, 20), "8x8 24bpp 300x150dpi");
  EXPECT_GE(white.at(3, 3) & 0xFF, 0xFDu);
  const uint32_t blue = read_jpeg(jpeg("BackgroundColor=0xFF0000FF JPEGQuality=100", clear)).at(3, 3);
  EXPECT_LE(blue >> 16 & 0xFF, 2u);
  EXPECT_GE(blue & 0xFF, 0xFDu);
}

// ---- what every encoder shares ---------------------------------------------------------------------

TEST(Encoders, ReportTheirIdsAndAnswerErrorInfoOnlyForTheirOwnInterface) {
  const struct {
    const CLSID* clsid;
    const IID* iid;
    LONG id;
  } encoders[] = {{&CLSID_EncoderJPEG, &IID_IEncoderJPEG, 0}, {&CLSID_EncoderBMP, &IID_IEncoderBMP, 1},
                  {&CLSID_EncoderPNG, &IID_IEncoderPNG, 2},   {&CLSID_EncoderTIFF, &IID_IEncoderTIFF, 3},
                  {&CLSID_EncoderGIF, &IID_IEncoderGIF, 4},   {&CLSID_EncoderSWF, &IID_IEncoderSWF, 5},
                  {&CLSID_EncoderWBMP, &IID_IEncoderWBMP, 6}};
  for (const auto& enc : encoders) {
    ComPtr<IImageEncoder> encoder = create_encoder(*enc.clsid);
    ASSERT_TRUE(encoder);
    LONG id = -5;
    EXPECT_EQ(encoder->GetEncoderID(&id), S_OK);
    EXPECT_EQ(id, enc.id);
    EXPECT_EQ(encoder->GetEncoderID(nullptr), E_POINTER);
    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(encoder.query(support), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(*enc.iid), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IImageEncoder), S_FALSE);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IEncoderNames), S_FALSE);
    ComPtr<IUnknown> main;
    EXPECT_EQ(encoder->QueryInterface(*enc.iid, main.put_void()), S_OK);
    ComPtr<IDispatch> dispatch;
    EXPECT_EQ(encoder->QueryInterface(IID_IDispatch, dispatch.put_void()), E_NOINTERFACE);
    // The dispatch slots of the contract find nothing.
    UINT count = 9;
    EXPECT_EQ(encoder->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 0u);
    OLECHAR name[] = u"DoEncode";
    LPOLESTR names[] = {name};
    DISPID dispid = 0;
    EXPECT_EQ(encoder->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(dispid, DISPID_UNKNOWN);
    DISPPARAMS none{};
    EXPECT_EQ(encoder->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
  }
}

TEST(Encoders, AnotherPixelFormatIsRefusedAsNotImplementedAndWritesNothing) {
  const struct {
    const CLSID* clsid;
    const IID* iid;
    const char16_t* object;
  } encoders[] = {{&CLSID_EncoderJPEG, &IID_IEncoderJPEG, u"EncoderJPEG"}, {&CLSID_EncoderBMP, &IID_IEncoderBMP, u"EncoderBMP"},
                  {&CLSID_EncoderPNG, &IID_IEncoderPNG, u"EncoderPNG"},    {&CLSID_EncoderTIFF, &IID_IEncoderTIFF, u"EncoderTIFF"},
                  {&CLSID_EncoderGIF, &IID_IEncoderGIF, u"EncoderGIF"},    {&CLSID_EncoderSWF, &IID_IEncoderSWF, u"EncoderSWF"}};
  const auto message = [](const char16_t* object, const char16_t* status) {
    return std::u16string(u"GDI+ error occured in DoEncode method of the ") + object +
           u" object. If you get this error, please contact " + ZX_SUPPORT_ADDRESS_TEXT + u". Error message: " + status;
  };
  Image image = solid(2, 2, 0xFF000000u);
  ComPtr<IDictionary> store = store_of("EnableLZW=1");  // past the LZW gates
  for (const auto& enc : encoders) {
    clear_error();
    const Encoded e = encode(*enc.clsid, store.get(), image, 0x21808);  // 24 bpp RGB
    EXPECT_EQ(e.doEncode, E_FAIL);
    EXPECT_TRUE(e.bytes.empty());
    const ErrorRecord error = take_error();
    EXPECT_EQ(error.description, message(enc.object, u"The method is not implemented in GDI+. GDI+ status code 6"));
    EXPECT_EQ(error.guid, *enc.iid);
    EXPECT_EQ(error.source, u"Zentarix." + std::u16string(enc.object) + u".1");
  }
  // Null pixels are an invalid parameter, a null stream a null pointer; the stream is written at its
  // current position.
  ComPtr<IImageEncoder> encoder = create_encoder(CLSID_EncoderBMP);
  ASSERT_EQ(encoder->SetOptions(store.get()), S_OK);
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  EXPECT_EQ(encoder->DoEncode(nullptr, 2, 2, 0x26200A, stream.get()), E_FAIL);
  EXPECT_EQ(take_error().description, message(u"EncoderBMP", u"Invalid parameter. GDI+ status code 2"));
  EXPECT_EQ(encoder->DoEncode(image.bgra.data(), 2, 2, 0x26200A, nullptr), E_POINTER);
  EXPECT_EQ(encoder->SetOptions(nullptr), E_INVALIDARG);
  ASSERT_EQ(stream->Write("HEAD", 4, nullptr), S_OK);
  ASSERT_EQ(encoder->DoEncode(image.bgra.data(), 2, 2, 0x26200A, stream.get()), S_OK);
  const std::vector<uint8_t> bytes = stream_bytes(stream.get());
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "HEAD");
  EXPECT_EQ(describe(read_bmp(std::vector<uint8_t>(bytes.begin() + 4, bytes.end()))),
            "2x2 24bpp 96x96dpi px ff000000 ff000000 ff000000 ff000000");
}

}  // namespace
}  // namespace zx::test
