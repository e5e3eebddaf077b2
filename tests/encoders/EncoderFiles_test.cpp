// Zentarix — MIT licence.
// EncoderBMP, EncoderPNG and EncoderJPEG: the files they write, read back by independent decoders.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "EncoderTestSupport.h"
#include "ImageReaders.h"

namespace zx::test {
namespace {

// Grey (129, 128, 128) has luminance 128; (128, 128, 128) computes to 127.99999999999999 and is 127.
constexpr uint32_t kLum128 = 0xFF818080u;
constexpr uint32_t kLum127 = 0xFF808080u;

std::u16string gdiplus_message(const char16_t* object, int status, const char16_t* statusText) {
  return std::u16string(u"GDI+ error occured in DoEncode method of the ") + object +
         u" object. If you get this error, please contact " + ZX_SUPPORT_ADDRESS_TEXT + u". Error message: " +
         statusText + u" GDI+ status code " + to_utf16(std::to_string(status).c_str());
}

// ---- BMP -------------------------------------------------------------------------------------------

TEST(EncoderBMP, WithoutOptionsWritesA24BitFileAtNinetySixDpiDroppingAlpha) {
  Image image = solid(5, 3, 0x80112233u);
  image.set(4, 2, 0xFFA0B0C0u);
  ComPtr<IDictionary> store = make_store();
  const Encoded e = encode(CLSID_EncoderBMP, store.get(), image);
  ASSERT_EQ(e.setOptions, S_OK);
  ASSERT_EQ(e.doEncode, S_OK);
  const DecodedImage d = read_bmp(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.width, 5);
  EXPECT_EQ(d.height, 3);
  EXPECT_EQ(d.bitsPerPixel, 24);
  EXPECT_EQ(d.at(0, 0), 0xFF112233u);  // colour kept, alpha dropped (no background given)
  EXPECT_EQ(d.at(4, 2), 0xFFA0B0C0u);
  EXPECT_NEAR(d.dpiX, 96.0, 0.05);
  EXPECT_NEAR(d.dpiY, 96.0, 0.05);
  // Reading the options added nothing to the store.
  EXPECT_EQ(store_count(store.get()), 0);
}

TEST(EncoderBMP, ThirtyTwoBitsKeepEveryChannel) {
  Image image = solid(2, 2, 0x7F102030u);
  image.set(1, 1, 0xFFFFFFFFu);
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"ColorDepth", 32);
  const Encoded e = encode(CLSID_EncoderBMP, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  const DecodedImage d = read_bmp(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.bitsPerPixel, 32);
  EXPECT_EQ(d.at(0, 0) & 0xFFFFFF, 0x102030u);
  EXPECT_EQ(d.at(1, 1) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(EncoderBMP, OneBitUsesBlackWhitePaletteAndThresholdOneTwentyEightByDefault) {
  Image image = solid(9, 2, kLum127);
  image.set(0, 0, kLum128);
  image.set(8, 1, kLum128);
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"ColorDepth", 1);
  const Encoded e = encode(CLSID_EncoderBMP, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  const DecodedImage d = read_bmp(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.bitsPerPixel, 1);
  ASSERT_EQ(d.palette.size(), 2u);
  EXPECT_EQ(d.palette[0], 0xFF000000u);
  EXPECT_EQ(d.palette[1], 0xFFFFFFFFu);
  EXPECT_EQ(d.indices[0], 1);       // luminance 128 >= 128: white
  EXPECT_EQ(d.indices[1], 0);       // 127: black
  EXPECT_EQ(d.indices[9 + 8], 1);   // last pixel of the second row, past the first byte
  EXPECT_EQ(d.indices[9 + 7], 0);
}

TEST(EncoderBMP, OneBitInvertedAndOrderedDitherFollowTheirOptions) {
  Image image = solid(4, 4, kLum128);
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"ColorDepth", 1);
  put_text(store.get(), u"DitherType", u"OrderedDither");
  put_text(store.get(), u"BinarizeMethod", u"ErrorDiffusion");  // DitherType wins
  Encoded e = encode(CLSID_EncoderBMP, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  DecodedImage d = read_bmp(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  // Matrix values <= 128 are white: (x mod 4) * 4 + (y mod 4) indexes 0 128 32 160 / 192 64 224 96 /
  // 48 176 16 144 / 240 112 208 80.
  const int white[4][4] = {{1, 1, 1, 0}, {0, 1, 0, 1}, {1, 0, 1, 0}, {0, 1, 0, 1}};  // [x][y]
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(d.indices[y * 4 + x], white[x][y]) << x << "," << y;

  put_bool(store.get(), u"IsInverted", true);
  e = encode(CLSID_EncoderBMP, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  d = read_bmp(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(d.indices[y * 4 + x], 1 - white[x][y]) << x << "," << y;
}

TEST(EncoderBMP, EightBitsKeepFewColoursExactlyInAnOctreePalette) {
  Image image = solid(6, 4, 0xFF0000FFu);
  image.set(1, 0, 0xFFFF0000u);
  image.set(2, 1, 0xFF00FF00u);
  image.set(3, 2, 0xFF123456u);
  image.set(5, 3, 0x00FEDCBAu);  // transparent: BMP marks nothing transparent
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"ColorDepth", 8);
  const Encoded e = encode(CLSID_EncoderBMP, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  const DecodedImage d = read_bmp(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.bitsPerPixel, 8);
  EXPECT_LE(d.palette.size(), 216u);  // PaletteColorsNumber defaults to 216 for BMP
  EXPECT_EQ(d.at(0, 0), 0xFF0000FFu);
  EXPECT_EQ(d.at(1, 0), 0xFFFF0000u);
  EXPECT_EQ(d.at(2, 1), 0xFF00FF00u);
  EXPECT_EQ(d.at(3, 2), 0xFF123456u);
  // The octree is built over black, the index looked up from the raw colour: the nearest of the
  // palette's colours to FEDCBA, which is none of the image's other colours exactly.
  std::set<uint8_t> used(d.indices.begin(), d.indices.end());
  EXPECT_LE(used.size(), 5u);
}

TEST(EncoderBMP, HalftonePaletteHasTwoHundredFiftySixEntries) {
  Image image = solid(4, 4, 0xFF336699u);
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"ColorDepth", 8);
  put_text(store.get(), u"PaletteType", u"halftone");
  const Encoded e = encode(CLSID_EncoderBMP, store.get(), image);
  ASSERT_EQ(e.setOptions, S_OK);
  ASSERT_EQ(e.doEncode, S_OK);
  const DecodedImage d = read_bmp(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.palette.size(), 256u);
  EXPECT_EQ(d.at(0, 0), 0xFF336699u);  // a colour of the 6 x 6 x 6 cube
}

TEST(EncoderBMP, ResolutionsComeFromTheStore) {
  Image image = solid(3, 3, 0xFF000000u);
  ComPtr<IDictionary> store = make_store();
  put_double(store.get(), u"HorizontalResolution", 300);
  put_text(store.get(), u"VerticalResolution", u"150");
  for (LONG depth : {1, 8, 24, 32}) {
    SCOPED_TRACE(depth);
    put_long(store.get(), u"ColorDepth", depth);
    const Encoded e = encode(CLSID_EncoderBMP, store.get(), image);
    ASSERT_EQ(e.doEncode, S_OK);
    const DecodedImage d = read_bmp(e.bytes);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.bitsPerPixel, depth);
    EXPECT_NEAR(d.dpiX, 300.0, 0.05);
    EXPECT_NEAR(d.dpiY, 150.0, 0.05);
  }
}

TEST(EncoderBMP, BackgroundFlattensBeforeTheConversionAndLeavesTheCallersPixels) {
  Image image = solid(4, 1, 0x00FFFFFFu);  // transparent white
  image.set(1, 0, 0x80FF0000u);            // half red
  image.set(2, 0, 0x01FFFFFFu);            // alpha 1 counts as transparent
  image.set(3, 0, 0xC0204060u);
  const std::vector<uint8_t> before = image.bgra;
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"BackgroundColor", -16777216);  // opaque black
  const Encoded e = encode(CLSID_EncoderBMP, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  EXPECT_EQ(image.bgra, before);
  const DecodedImage d = read_bmp(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.at(0, 0), 0xFF000000u);
  EXPECT_EQ(d.at(1, 0), 0xFF800000u);  // (127 * 0 + 255 * 128) / 255 = 128
  EXPECT_EQ(d.at(2, 0), 0xFF000000u);
  // 0xC0 = 192: (63 * 0 + c * 192) / 255 -> 0x20 -> 24, 0x40 -> 48, 0x60 -> 72.
  EXPECT_EQ(d.at(3, 0), 0xFF183048u);

  // Over white the same pixels give white where transparent.
  put_long(store.get(), u"BackgroundColor", -1);
  const Encoded w = encode(CLSID_EncoderBMP, store.get(), image);
  const DecodedImage dw = read_bmp(w.bytes);
  ASSERT_TRUE(dw.ok) << dw.error;
  EXPECT_EQ(dw.at(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(dw.at(1, 0), 0xFFFF7F7Fu);  // (127 * 255 + 0 * 128) / 255 = 127
}

// ---- PNG -------------------------------------------------------------------------------------------

TEST(EncoderPNG, WithoutOptionsWritesThirtyTwoBitsWithAlpha) {
  Image image = solid(3, 2, 0x80112233u);
  image.set(2, 1, 0x00000000u);
  ComPtr<IDictionary> store = make_store();
  const Encoded e = encode(CLSID_EncoderPNG, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  const DecodedImage d = read_png(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.bitsPerPixel, 32);
  EXPECT_FALSE(d.indexed);
  EXPECT_EQ(d.at(0, 0), 0x80112233u);
  EXPECT_EQ(d.at(2, 1) >> 24, 0u);
  EXPECT_NEAR(d.dpiX, 96.0, 0.05);
}

TEST(EncoderPNG, EightBitsMarkPaletteEntriesOfTransparentPixels) {
  Image image = solid(4, 2, 0xFF00FF00u);
  image.set(0, 0, 0x00FF0000u);  // transparent red: its entry becomes transparent
  image.set(1, 0, 0x01FF0000u);  // alpha 1: the same entry
  image.set(2, 0, 0xFF0000FFu);
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"ColorDepth", 8);
  put_double(store.get(), u"HorizontalResolution", 300);
  put_double(store.get(), u"VerticalResolution", 150);
  Encoded e = encode(CLSID_EncoderPNG, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  DecodedImage d = read_png(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_TRUE(d.indexed);
  EXPECT_EQ(d.bitsPerPixel, 8);
  EXPECT_NEAR(d.dpiX, 300.0, 0.05);
  EXPECT_NEAR(d.dpiY, 150.0, 0.05);
  // The octree sees the transparent pixels over black, while their index is looked up from the raw
  // red: the nearest entry is the (near) black the composite made, and it becomes transparent.
  EXPECT_EQ(d.at(0, 0) >> 24, 0u);
  EXPECT_LE(d.at(0, 0) & 0xFFFFFFu, 0x010000u);
  EXPECT_EQ(d.indices[0], d.indices[1]);
  EXPECT_EQ(d.at(2, 0), 0xFF0000FFu);
  EXPECT_EQ(d.at(3, 1), 0xFF00FF00u);
  const size_t transparent = std::count_if(d.palette.begin(), d.palette.end(), [](uint32_t c) { return c >> 24 == 0; });
  EXPECT_EQ(transparent, 1u);

  // IsTransparent False: no entry is transparent.
  put_bool(store.get(), u"IsTransparent", false);
  e = encode(CLSID_EncoderPNG, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  d = read_png(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.at(0, 0) >> 24, 0xFFu);
  EXPECT_TRUE(std::all_of(d.palette.begin(), d.palette.end(), [](uint32_t c) { return c >> 24 == 0xFF; }));
}

TEST(EncoderPNG, BlackBackgroundMakesTransparentPixelsBlackWithAlphaZero) {
  Image image = solid(3, 1, 0x00FFFFFFu);
  image.set(1, 0, 0x80FF0000u);
  image.set(2, 0, 0xFF0000FFu);
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"BackgroundColor", -16777216);
  const Encoded e = encode(CLSID_EncoderPNG, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  const DecodedImage d = read_png(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.at(0, 0), 0x00000000u);
  EXPECT_EQ(d.at(1, 0), 0xFF800000u);
  EXPECT_EQ(d.at(2, 0), 0xFF0000FFu);
}

TEST(EncoderPNG, OneBitFileHasTheTwoEntryPalette) {
  Image image = solid(3, 1, 0xFFFFFFFFu);
  image.set(0, 0, 0xFF000000u);
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"ColorDepth", 1);
  const Encoded e = encode(CLSID_EncoderPNG, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  const DecodedImage d = read_png(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_TRUE(d.indexed);
  EXPECT_EQ(d.bitsPerPixel, 1);
  ASSERT_EQ(d.palette.size(), 2u);
  EXPECT_EQ(d.palette[0], 0xFF000000u);
  EXPECT_EQ(d.palette[1], 0xFFFFFFFFu);
  EXPECT_EQ(d.indices, (std::vector<uint8_t>{0, 1, 1}));
}

// ---- JPEG ------------------------------------------------------------------------------------------

Image gradient(int w, int h) {
  Image image = solid(w, h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      image.set(x, y, 0xFF000000u | (x * 255 / (w - 1)) << 16 | (y * 255 / (h - 1)) << 8 | 0x40);
  return image;
}

int max_difference(const DecodedImage& d, const Image& image) {
  int worst = 0;
  for (int y = 0; y < d.height; ++y)
    for (int x = 0; x < d.width; ++x) {
      const uint8_t* p = &image.bgra[(static_cast<size_t>(y) * image.width + x) * 4];
      const uint32_t c = d.at(x, y);
      worst = std::max({worst, std::abs(static_cast<int>((c >> 16) & 0xFF) - p[2]),
                        std::abs(static_cast<int>((c >> 8) & 0xFF) - p[1]), std::abs(static_cast<int>(c & 0xFF) - p[0])});
    }
  return worst;
}

TEST(EncoderJPEG, QualityZeroAndHundredAreBothWrittenAndDiffer) {
  Image image = gradient(32, 24);
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"JPEGQuality", 100);
  const Encoded best = encode(CLSID_EncoderJPEG, store.get(), image);
  ASSERT_EQ(best.setOptions, S_OK);
  ASSERT_EQ(best.doEncode, S_OK);
  put_long(store.get(), u"JPEGQuality", 0);
  const Encoded worst = encode(CLSID_EncoderJPEG, store.get(), image);
  ASSERT_EQ(worst.setOptions, S_OK);
  ASSERT_EQ(worst.doEncode, S_OK);
  const DecodedImage b = read_jpeg(best.bytes), w = read_jpeg(worst.bytes);
  ASSERT_TRUE(b.ok) << b.error;
  ASSERT_TRUE(w.ok) << w.error;
  EXPECT_EQ(b.width, 32);
  EXPECT_EQ(b.height, 24);
  EXPECT_EQ(b.jpegColourComponents, 3);
  EXPECT_LE(max_difference(b, image), 6);
  EXPECT_GT(max_difference(w, image), max_difference(b, image));
  EXPECT_LT(worst.bytes.size(), best.bytes.size());
  EXPECT_NEAR(b.dpiX, 96, 0.5);
}

TEST(EncoderJPEG, FractionalQualityIsTruncatedAndOutOfRangeIsRefused) {
  Image image = gradient(16, 16);
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"JPEGQuality", 100);
  const Encoded hundred = encode(CLSID_EncoderJPEG, store.get(), image);
  put_double(store.get(), u"JPEGQuality", 100.9);
  const Encoded truncated = encode(CLSID_EncoderJPEG, store.get(), image);
  ASSERT_EQ(truncated.doEncode, S_OK);
  EXPECT_EQ(truncated.bytes, hundred.bytes);

  for (LONG bad : {101, -1}) {
    SCOPED_TRACE(bad);
    put_long(store.get(), u"JPEGQuality", bad);
    clear_error();
    const Encoded e = encode(CLSID_EncoderJPEG, store.get(), image);
    EXPECT_EQ(e.setOptions, E_INVALIDARG);
    const ErrorRecord error = take_error();
    ASSERT_TRUE(error.present);
    EXPECT_EQ(error.description, u"Cannot save to JPEG: JPEGQuality parameter has incorrect value!");
    EXPECT_EQ(error.source, u"Zentarix.EncoderJPEG.1");
    EXPECT_EQ(error.guid, IID_IEncoderJPEG);
  }
}

TEST(EncoderJPEG, ResolutionAndBackgroundAreApplied) {
  Image image = solid(8, 8, 0x00FFFFFFu);  // transparent white
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"HorizontalResolution", 300);
  put_long(store.get(), u"VerticalResolution", 150);
  put_long(store.get(), u"JPEGQuality", 100);
  Encoded e = encode(CLSID_EncoderJPEG, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  DecodedImage d = read_jpeg(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.dpiX, 300);
  EXPECT_EQ(d.dpiY, 150);
  EXPECT_GE(d.at(3, 3) & 0xFF, 0xFDu);  // alpha ignored: the white colour stays

  put_long(store.get(), u"BackgroundColor", 0xFF0000FF);  // opaque blue
  e = encode(CLSID_EncoderJPEG, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  d = read_jpeg(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  const uint32_t c = d.at(3, 3);
  EXPECT_LE((c >> 16) & 0xFF, 2u);
  EXPECT_GE(c & 0xFF, 0xFDu);
}

// ---- shared behaviour ------------------------------------------------------------------------------

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
  } encoders[] = {{&CLSID_EncoderJPEG, &IID_IEncoderJPEG, u"EncoderJPEG"},
                  {&CLSID_EncoderBMP, &IID_IEncoderBMP, u"EncoderBMP"},
                  {&CLSID_EncoderPNG, &IID_IEncoderPNG, u"EncoderPNG"},
                  {&CLSID_EncoderTIFF, &IID_IEncoderTIFF, u"EncoderTIFF"},
                  {&CLSID_EncoderGIF, &IID_IEncoderGIF, u"EncoderGIF"},
                  {&CLSID_EncoderSWF, &IID_IEncoderSWF, u"EncoderSWF"}};  // its JPEG branch
  Image image = solid(2, 2, 0xFF000000u);
  ComPtr<IDictionary> store = make_store();
  put_long(store.get(), u"EnableLZW", 1);  // past the LZW gates
  for (const auto& enc : encoders) {
    clear_error();
    const Encoded e = encode(*enc.clsid, store.get(), image, 0x21808);  // 24 bpp RGB
    EXPECT_EQ(e.doEncode, E_FAIL);
    EXPECT_TRUE(e.bytes.empty());
    const ErrorRecord error = take_error();
    ASSERT_TRUE(error.present);
    EXPECT_EQ(error.description, gdiplus_message(enc.object, 6, u"The method is not implemented in GDI+."));
    EXPECT_EQ(error.guid, *enc.iid);
    EXPECT_EQ(error.source, u"Zentarix." + std::u16string(enc.object) + u".1");
  }
  // Null pixels are an invalid parameter, a null stream a null pointer.
  ComPtr<IImageEncoder> encoder = create_encoder(CLSID_EncoderBMP);
  ASSERT_EQ(encoder->SetOptions(store.get()), S_OK);
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  EXPECT_EQ(encoder->DoEncode(nullptr, 2, 2, 0x26200A, stream.get()), E_FAIL);
  EXPECT_EQ(take_error().description, gdiplus_message(u"EncoderBMP", 2, u"Invalid parameter."));
  EXPECT_EQ(encoder->DoEncode(image.bgra.data(), 2, 2, 0x26200A, nullptr), E_POINTER);
  EXPECT_EQ(encoder->SetOptions(nullptr), E_INVALIDARG);
}

TEST(Encoders, WriteAtTheStreamsCurrentPosition) {
  Image image = solid(2, 2, 0xFF445566u);
  ComPtr<IDictionary> store = make_store();
  ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  ULONG written = 0;
  ASSERT_EQ(stream->Write("HEAD", 4, &written), S_OK);
  ComPtr<IImageEncoder> encoder = create_encoder(CLSID_EncoderBMP);
  ASSERT_EQ(encoder->SetOptions(store.get()), S_OK);
  ASSERT_EQ(encoder->DoEncode(image.bgra.data(), 2, 2, 0x26200A, stream.get()), S_OK);
  const std::vector<uint8_t> bytes = stream_bytes(stream.get());
  ASSERT_GT(bytes.size(), 4u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "HEAD");
  const DecodedImage d = read_bmp(std::vector<uint8_t>(bytes.begin() + 4, bytes.end()));
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.at(1, 1), 0xFF445566u);
}

}  // namespace
}  // namespace zx::test
