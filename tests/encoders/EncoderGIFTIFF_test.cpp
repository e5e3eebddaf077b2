// Zentarix — MIT licence.
// EncoderGIF and EncoderTIFF: the LZW gate, the checks, and the files read back with giflib and libtiff.
#include <gtest/gtest.h>

#include <thread>

#include "EncoderTestSupport.h"
#include "ImageReaders.h"

namespace zx::test {
namespace {

const std::u16string kAppeal = u"you can enable it via EnableLZW property of the RasterObject. For more questions, contact us at ";

// The call failed with this record and wrote nothing.
void expect_refusal(const Encoded& e, HRESULT hr, const std::u16string& message, const char16_t* encoder) {
  EXPECT_EQ(e.doEncode, hr);
  EXPECT_TRUE(e.bytes.empty());
  const ErrorRecord error = take_error();
  ASSERT_TRUE(error.present);
  EXPECT_EQ(error.description, message);
  EXPECT_EQ(error.source, u"Zentarix." + std::u16string(encoder) + u".1");
}

TEST(EncoderGIF, WritesOnlyWithLZWEnabledGivenAsAnInteger) {
  Image image = solid(3, 2, 0xFF102030u);
  ComPtr<IDictionary> store = make_store();
  clear_error();
  expect_refusal(encode(CLSID_EncoderGIF, store.get(), image), E_FAIL,
                 u"Cannot save GIF. LZW support is disabled! If you have license from Unisys or don't care about it, " +
                     kAppeal + ZX_SUPPORT_ADDRESS_TEXT,
                 u"EncoderGIF");
  put_bool(store.get(), u"EnableLZW", true);
  EXPECT_EQ(encode(CLSID_EncoderGIF, store.get(), image).setOptions, E_INVALIDARG);
  EXPECT_EQ(take_error().description, u"Cannot save to GIF: EnableLZW parameter has incorrect value!");

  put_long(store.get(), u"EnableLZW", 1);
  const Encoded e = encode(CLSID_EncoderGIF, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  const DecodedImage d = read_gif(e.bytes);
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.width, 3);
  EXPECT_EQ(d.height, 2);
  EXPECT_EQ(d.at(2, 1), 0xFF102030u);
  EXPECT_EQ(d.transparentIndex, -1);  // nothing transparent in the image
}

TEST(EncoderGIF, PaletteOptionsTransparencyAndBackground) {
  Image image = solid(4, 2, 0xFF0000FFu);
  image.set(0, 0, 0x00FF0000u);  // transparent
  image.set(1, 0, 0x8000FF00u);  // half green
  const struct {
    const char16_t* palette;
    LONG colours;
    bool transparent;
    bool background;  // opaque black
    size_t table;
  } cases[] = {{u"Octree", 216, true, false, 256},  {u"Octree", 216, false, false, 256},
               {u"Halftone", 8, true, false, 256},  {u"Octree", 8, true, false, 8},
               {u"Octree", 216, true, true, 256}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << &c - cases);
    ComPtr<IDictionary> store = make_store();
    put_long(store.get(), u"EnableLZW", 1);
    put_text(store.get(), u"PaletteType", c.palette);
    put_long(store.get(), u"PaletteColorsNumber", c.colours);
    put_bool(store.get(), u"IsTransparent", c.transparent);
    if (c.background) put_long(store.get(), u"BackgroundColor", -16777216);
    const Encoded e = encode(CLSID_EncoderGIF, store.get(), image);
    ASSERT_EQ(e.doEncode, S_OK);
    const DecodedImage d = read_gif(e.bytes);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.palette.size(), c.table);
    EXPECT_EQ(d.transparentIndex >= 0, c.transparent);
    if (c.transparent) {
      EXPECT_EQ(d.indices[0], d.transparentIndex);
      EXPECT_NE(d.indices[1], d.transparentIndex);  // alpha 128 is not transparent
    }
    if (c.background) {
      EXPECT_EQ(d.at(1, 0), 0xFF008000u);  // blended over black
    }
  }
}

// ---- TIFF ----------------------------------------------------------------------------------------

const std::u16string kTiffLzw =
    u"Cannot save TIFF with LZW compression: LZW support is disabled! If you have license from Unisys or don't care "
    u"about it, " + kAppeal + ZX_SUPPORT_ADDRESS_TEXT;

TEST(EncoderTIFF, LZWNeedsTheGateInBothColourSpacesAndNoneWritesThirtyTwoBits) {
  Image image = solid(2, 1, 0x80102030u);
  for (const char16_t* space : {u"RGB", u"CMYK"}) {
    ComPtr<IDictionary> store = make_store();
    put_text(store.get(), u"ColorSpace", space);
    clear_error();
    expect_refusal(encode(CLSID_EncoderTIFF, store.get(), image), E_FAIL, kTiffLzw, u"EncoderTIFF");
  }
  ComPtr<IDictionary> store = make_store();
  put_text(store.get(), u"CompressionType", u"None");
  const Encoded e = encode(CLSID_EncoderTIFF, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  const TiffPage page = read_tiff(e.bytes);
  ASSERT_TRUE(page.ok);
  EXPECT_EQ(page.fields, (std::vector<uint16_t>{2, 4, 8, 1, 0, 2}));  // RGB(A), uncompressed, inch
  EXPECT_EQ(page.dpiX, 96.0f);
  EXPECT_EQ(page.rows, (std::vector<uint8_t>{0x10, 0x20, 0x30, 0x80, 0x10, 0x20, 0x30, 0x80}));
}

TEST(EncoderTIFF, FaxAndRunLengthCompressionNeedOneBit) {
  Image image = solid(10, 1, 0xFFFFFFFFu);
  image.set(1, 0, 0xFF000000u);
  const struct {
    const char16_t* compression;
    LONG depth;
    const char16_t* refusal;  // null: written
  } cases[] = {{u"CCITT3", 24, u"Cannot use CCITT3 compression on images which has color depth > 1!"},
               {u"CCITT4", 24, u"Cannot use CCITT4 compression on images which has color depth > 1!"},
               {u"RLE", 8, u"Cannot use RLE compression on images which has color depth > 1!"},
               {u"CCITT4", 1, nullptr}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << &c - cases);
    ComPtr<IDictionary> store = make_store();
    put_text(store.get(), u"CompressionType", c.compression);
    put_long(store.get(), u"ColorDepth", c.depth);
    clear_error();
    const Encoded e = encode(CLSID_EncoderTIFF, store.get(), image);
    if (c.refusal) {
      expect_refusal(e, E_FAIL, c.refusal, u"EncoderTIFF");
      continue;
    }
    ASSERT_EQ(e.doEncode, S_OK);
    const TiffPage page = read_tiff(e.bytes);
    ASSERT_TRUE(page.ok);
    EXPECT_EQ(page.fields, (std::vector<uint16_t>{1, 1, 1, 4, 0, 2}));  // black is zero, group 4 fax
    EXPECT_EQ(page.rows, (std::vector<uint8_t>{0xBF, 0xC0}));
  }
}

TEST(EncoderTIFF, CmykWithoutProfileIsUncompressedInkSetOneWhateverDepthAndCompressionSay) {
  Image image = solid(3, 1, 0xFFFFFFFFu);
  image.set(1, 0, 0xFF000000u);
  image.set(2, 0, 0x00FFFFFFu);  // transparent: never drawn, so full ink in every channel
  ComPtr<IDictionary> store = make_store();
  put_text(store.get(), u"ColorSpace", u"CMYK");
  put_long(store.get(), u"EnableLZW", 1);
  put_long(store.get(), u"ColorDepth", 8);
  put_long(store.get(), u"HorizontalResolution", 300);
  const Encoded e = encode(CLSID_EncoderTIFF, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  const TiffPage page = read_tiff(e.bytes);
  ASSERT_TRUE(page.ok);
  EXPECT_EQ(page.fields, (std::vector<uint16_t>{5, 4, 8, 1, 1, 0}));  // separated, InkSet CMYK, no unit
  EXPECT_EQ(page.dpiX, 300.0f);
  EXPECT_EQ(page.dpiY, 96.0f);
  ASSERT_EQ(page.rows.size(), 12u);
  EXPECT_EQ(std::vector<uint8_t>(page.rows.begin(), page.rows.begin() + 4), (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_GE(page.rows[7], 200);  // black ink for black
  EXPECT_EQ(std::vector<uint8_t>(page.rows.begin() + 8, page.rows.end()), (std::vector<uint8_t>{255, 255, 255, 255}));
}

TEST(EncoderTIFF, CmykProfileThatCannotBeOpenedIsRefusedWithMinusOne) {
  Image image = solid(2, 2, 0xFF336699u);
  for (const char16_t* profile : {u"/nonexistent/press.icc", u"" ZX_CORPUS_DIR "/png/pngsuite_basn0g08.png"}) {
    ComPtr<IDictionary> store = make_store();
    put_text(store.get(), u"ColorSpace", u"CMYK");
    put_text(store.get(), u"CompressionType", u"None");
    put_text(store.get(), u"ICCProfileFilename", profile);
    clear_error();
    expect_refusal(encode(CLSID_EncoderTIFF, store.get(), image), static_cast<HRESULT>(0xFFFFFFFF),
                   u"Error during color space convertation. Cannot open ICC profile. It is possible such a profile "
                   u"does not exist or you try to use non-ICC profile file as profile.",
                   u"EncoderTIFF");
  }
}

TEST(EncoderTIFF, TwoCmykSavesAtOnceBothWriteTheWholeFile) {
  Image image = solid(64, 48, 0xFF336699u);
  for (int x = 0; x < 64; ++x) image.set(x, x % 48, 0xFF000000u | x << 18);
  const auto save = [&] {
    ComPtr<IDictionary> store = make_store();
    put_text(store.get(), u"ColorSpace", u"CMYK");
    put_text(store.get(), u"CompressionType", u"None");
    return encode(CLSID_EncoderTIFF, store.get(), image);
  };
  const Encoded alone = save();
  EXPECT_EQ(read_tiff(alone.bytes).rows.size(), 64u * 48 * 4);
  Encoded together[2];
  std::thread other([&] { together[1] = save(); });
  together[0] = save();
  other.join();
  for (const Encoded& result : together) {
    EXPECT_EQ(result.doEncode, S_OK);
    EXPECT_EQ(result.bytes, alone.bytes);
  }
}

}  // namespace
}  // namespace zx::test
