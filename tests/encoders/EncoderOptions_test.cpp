// Zentarix — MIT licence.
// Option converters and readers, and SetOptions' order and messages on the built-in encoders.
#include <gtest/gtest.h>
#include <oleauto.h>

#include "EncoderOptions.h"
#include "EncoderTestSupport.h"

namespace zx::test {
namespace {

using encoding::EncoderOptions;
using encoding::Option;
using encoding::read_option;

VARIANT v_i4(LONG x) {
  VARIANT v{};
  v.vt = VT_I4;
  v.lVal = x;
  return v;
}
VARIANT v_r8(double x) {
  VARIANT v{};
  v.vt = VT_R8;
  v.dblVal = x;
  return v;
}
VARIANT v_bool(bool x) {
  VARIANT v{};
  v.vt = VT_BOOL;
  v.boolVal = x ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}
struct Text : Variant {
  explicit Text(const char16_t* s) {
    vt = VT_BSTR;
    bstrVal = SysAllocString(s);
  }
};

TEST(OptionConverters, IntegerAcceptsNumbersAndNumericTextButNotBooleans) {
  LONG out = 7;
  EXPECT_EQ(encoding::variant_to_long(v_i4(-5), out), S_OK);
  EXPECT_EQ(out, -5);
  EXPECT_EQ(encoding::variant_to_long(v_r8(100.9), out), S_OK);
  EXPECT_EQ(out, 100);
  EXPECT_EQ(encoding::variant_to_long(v_r8(-2.7), out), S_OK);
  EXPECT_EQ(out, -2);  // toward zero
  EXPECT_EQ(encoding::variant_to_long(Text(u"24"), out), S_OK);
  EXPECT_EQ(out, 24);
  EXPECT_EQ(encoding::variant_to_long(Text(u" 12.75"), out), S_OK);
  EXPECT_EQ(out, 12);
  VARIANT ui1{};
  ui1.vt = VT_UI1;
  ui1.bVal = 200;
  EXPECT_EQ(encoding::variant_to_long(ui1, out), S_OK);
  EXPECT_EQ(out, 200);
  VARIANT i1{};
  i1.vt = VT_I1;
  i1.cVal = -3;
  EXPECT_EQ(encoding::variant_to_long(i1, out), S_OK);
  EXPECT_EQ(out, -3);

  out = 41;
  EXPECT_EQ(encoding::variant_to_long(v_bool(true), out), E_INVALIDARG);
  EXPECT_EQ(encoding::variant_to_long(Text(u"twenty"), out), E_INVALIDARG);
  EXPECT_EQ(encoding::variant_to_long(v_r8(3e10), out), E_INVALIDARG);
  VARIANT empty{};
  EXPECT_EQ(encoding::variant_to_long(empty, out), E_INVALIDARG);
  LONG target = 5;
  VARIANT byref{};
  byref.vt = VT_I4 | VT_BYREF;
  byref.plVal = &target;
  EXPECT_EQ(encoding::variant_to_long(byref, out), E_INVALIDARG);
  EXPECT_EQ(out, 41);  // refusals write nothing

  SHORT lzw = 3;
  EXPECT_EQ(encoding::variant_to_short(v_bool(true), lzw), E_INVALIDARG);
  EXPECT_EQ(encoding::variant_to_short(v_i4(1), lzw), S_OK);
  EXPECT_EQ(lzw, 1);
}

TEST(OptionConverters, BooleanFloatTextAndString) {
  LONG flag = 0;
  EXPECT_EQ(encoding::variant_to_bool(v_bool(true), flag), S_OK);
  EXPECT_EQ(flag, -1);
  EXPECT_EQ(encoding::variant_to_bool(Text(u"False"), flag), S_OK);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(encoding::variant_to_bool(Text(u"True"), flag), S_OK);
  EXPECT_EQ(flag, -1);
  EXPECT_EQ(encoding::variant_to_bool(v_i4(2), flag), S_OK);
  EXPECT_EQ(flag, 2);

  float f = 0;
  EXPECT_EQ(encoding::variant_to_float(Text(u"300.5"), f), S_OK);
  EXPECT_FLOAT_EQ(f, 300.5f);
  VARIANT i1{};
  i1.vt = VT_I1;
  i1.cVal = static_cast<CHAR>(0xC8);
  EXPECT_EQ(encoding::variant_to_float(i1, f), S_OK);
  EXPECT_EQ(f, 200.0f);  // read unsigned, as the integer reading's own type list is not
  VARIANT ui4{};
  ui4.vt = VT_UI4;
  ui4.ulVal = 0xFFFFFFFFu;
  EXPECT_EQ(encoding::variant_to_float(ui4, f), S_OK);
  EXPECT_FLOAT_EQ(f, 4294967295.0f);  // read unsigned
  EXPECT_EQ(encoding::variant_to_float(v_bool(true), f), E_INVALIDARG);

  const encoding::ValueName names[] = {{u"Octree", 0}, {u"Halftone", 1}};
  LONG value = 9;
  EXPECT_EQ(encoding::parse_value_name(Text(u"hALFtONE"), names, value), S_OK);
  EXPECT_EQ(value, 1);
  EXPECT_EQ(encoding::parse_value_name(Text(u"Dither"), names, value), E_INVALIDARG);
  EXPECT_EQ(encoding::parse_value_name(v_i4(0), names, value), E_INVALIDARG);
  EXPECT_EQ(value, 1);

  Bstr s(u"old");
  EXPECT_EQ(encoding::variant_to_string(Text(u"profile.icc"), s), S_OK);
  EXPECT_EQ(s.view(), u"profile.icc");
  EXPECT_EQ(encoding::variant_to_string(v_i4(1), s), E_INVALIDARG);
  EXPECT_EQ(s.view(), u"profile.icc");
}

class OptionReaders : public ::testing::Test {
 protected:
  ComPtr<IDictionary> store = make_store();
  EncoderOptions fields;
};

TEST_F(OptionReaders, ColorDepthAcceptsOnlyTheFourDepths) {
  put_option(store.get(), u"ColorDepth", v_i4(16));
  EXPECT_EQ(read_option(store.get(), Option::ColorDepth, fields), E_INVALIDARG);
  EXPECT_EQ(fields.colorDepth, 24);
  put_option(store.get(), u"ColorDepth", Text(u"24"));
  fields.colorDepth = 8;
  EXPECT_EQ(read_option(store.get(), Option::ColorDepth, fields), S_OK);
  EXPECT_EQ(fields.colorDepth, 24);
  put_option(store.get(), u"ColorDepth", v_bool(true));
  EXPECT_EQ(read_option(store.get(), Option::ColorDepth, fields), E_INVALIDARG);
  put_option(store.get(), u"colordepth", v_r8(1.5));  // the store ignores letter case
  EXPECT_EQ(read_option(store.get(), Option::ColorDepth, fields), S_OK);
  EXPECT_EQ(fields.colorDepth, 1);
}

TEST_F(OptionReaders, QualityPaletteCountAndThresholdRanges) {
  put_option(store.get(), u"JPEGQuality", v_r8(100.9));
  EXPECT_EQ(read_option(store.get(), Option::JPEGQuality, fields), S_OK);
  EXPECT_EQ(fields.jpegQuality, 100);
  for (LONG bad : {101, -1}) {
    put_option(store.get(), u"JPEGQuality", v_i4(bad));
    EXPECT_EQ(read_option(store.get(), Option::JPEGQuality, fields), E_INVALIDARG);
    EXPECT_EQ(fields.jpegQuality, 100);
  }
  put_option(store.get(), u"PaletteColorsNumber", v_i4(7));
  EXPECT_EQ(read_option(store.get(), Option::PaletteColorsNumber, fields), E_INVALIDARG);
  put_option(store.get(), u"PaletteColorsNumber", v_i4(257));
  EXPECT_EQ(read_option(store.get(), Option::PaletteColorsNumber, fields), E_INVALIDARG);
  put_option(store.get(), u"PaletteColorsNumber", v_i4(8));
  EXPECT_EQ(read_option(store.get(), Option::PaletteColorsNumber, fields), S_OK);
  EXPECT_EQ(fields.paletteColorsNumber, 8);

  put_option(store.get(), u"Threshold", v_i4(256));
  EXPECT_EQ(read_option(store.get(), Option::Threshold, fields), E_INVALIDARG);
  put_option(store.get(), u"Threshold", v_i4(255));
  EXPECT_EQ(read_option(store.get(), Option::Threshold, fields), S_OK);
  EXPECT_EQ(fields.threshold, 255);
  ComPtr<IDictionary> empty = make_store();
  fields.threshold = 7;
  EXPECT_EQ(read_option(empty.get(), Option::Threshold, fields), S_OK);
  EXPECT_EQ(fields.threshold, 128);
}

TEST_F(OptionReaders, DitherTypeWinsOverBinarizeMethod) {
  put_option(store.get(), u"BinarizeMethod", Text(u"ErrorDiffusion"));
  EXPECT_EQ(read_option(store.get(), Option::DitherType, fields), S_OK);
  EXPECT_EQ(fields.ditherType, 2);
  put_option(store.get(), u"DitherType", Text(u"dither"));
  EXPECT_EQ(read_option(store.get(), Option::DitherType, fields), S_OK);
  EXPECT_EQ(fields.ditherType, 1);
  put_option(store.get(), u"DitherType", Text(u"None"));
  EXPECT_EQ(read_option(store.get(), Option::DitherType, fields), S_OK);
  EXPECT_EQ(fields.ditherType, 0);
  put_option(store.get(), u"DitherType", v_i4(1));  // names only
  EXPECT_EQ(read_option(store.get(), Option::DitherType, fields), E_INVALIDARG);
}

TEST_F(OptionReaders, PaletteTypeColourSpaceAndCompressionNames) {
  put_option(store.get(), u"PaletteType", Text(u"halftone"));
  EXPECT_EQ(read_option(store.get(), Option::PaletteType, fields), S_OK);
  EXPECT_EQ(fields.paletteType, 1);
  put_option(store.get(), u"PaletteType", Text(u"Dither"));
  EXPECT_EQ(read_option(store.get(), Option::PaletteType, fields), E_INVALIDARG);
  EXPECT_EQ(fields.paletteType, 1);
  put_option(store.get(), u"ColorSpace", Text(u"cmyk"));
  EXPECT_EQ(read_option(store.get(), Option::ColorSpace, fields), S_OK);
  EXPECT_EQ(fields.colorSpace, 1);
  put_option(store.get(), u"CompressionType", Text(u"CCITT4"));
  EXPECT_EQ(read_option(store.get(), Option::CompressionTypeTIFF, fields), S_OK);
  EXPECT_EQ(fields.compressionType, 3);
  EXPECT_EQ(read_option(store.get(), Option::CompressionTypeSWF, fields), E_INVALIDARG);
  put_option(store.get(), u"CompressionType", Text(u"Lossless"));
  EXPECT_EQ(read_option(store.get(), Option::CompressionTypeSWF, fields), S_OK);
  EXPECT_EQ(fields.compressionType, 0);
}

TEST_F(OptionReaders, BackgroundCarriesAPresenceFlagAndAbsentOptionsAreNotAdded) {
  put_option(store.get(), u"BackgroundColor", v_i4(-16777216));
  EXPECT_EQ(read_option(store.get(), Option::BackgroundColor, fields), S_OK);
  EXPECT_TRUE(fields.backgroundPresent);
  EXPECT_EQ(fields.backgroundColor, -16777216);

  ComPtr<IDictionary> empty = make_store();
  for (Option o : {Option::EnableLZW, Option::BackgroundColor, Option::ColorDepth, Option::ColorSpace,
                   Option::CompressionTypeSWF, Option::CompressionTypeTIFF, Option::ICCProfileFilename,
                   Option::IsTransparent, Option::JPEGQuality, Option::PaletteColorsNumber, Option::PaletteType,
                   Option::HorizontalResolution, Option::VerticalResolution, Option::Threshold, Option::DitherType,
                   Option::IsInverted})
    EXPECT_EQ(read_option(empty.get(), o, fields), S_OK);
  EXPECT_FALSE(fields.backgroundPresent);
  EXPECT_EQ(fields.backgroundColor, -16777216);  // the field keeps its value
  EXPECT_EQ(store_count(empty.get()), 0);
  // A key holding an empty item counts as absent.
  VARIANT nothing{};
  put_option(empty.get(), u"HorizontalResolution", nothing);
  fields.horizontalResolution = 72;
  EXPECT_EQ(read_option(empty.get(), Option::HorizontalResolution, fields), S_OK);
  EXPECT_FLOAT_EQ(fields.horizontalResolution, 72);
}

// ---- SetOptions through the encoders ---------------------------------------------------------------

void expect_set_options_failure(REFCLSID clsid, IDictionary* store, const char16_t* message, REFIID iid,
                                const char16_t* source) {
  ComPtr<IImageEncoder> encoder = create_encoder(clsid);
  ASSERT_TRUE(encoder);
  clear_error();
  EXPECT_EQ(encoder->SetOptions(store), E_INVALIDARG);
  const ErrorRecord error = take_error();
  ASSERT_TRUE(error.present);
  EXPECT_EQ(error.description, message);
  EXPECT_EQ(error.guid, iid);
  EXPECT_EQ(error.source, source);
}

TEST(SetOptions, BmpReportsTheFirstRefusedOptionInItsOrder) {
  ComPtr<IDictionary> store = make_store();
  put_option(store.get(), u"Threshold", v_i4(256));
  put_option(store.get(), u"ColorDepth", v_i4(16));
  expect_set_options_failure(CLSID_EncoderBMP, store.get(), u"Cannot save to BMP: ColorDepth parameter has incorrect value!",
                             IID_IEncoderBMP, u"Zentarix.EncoderBMP.1");
  put_option(store.get(), u"ColorDepth", v_i4(8));
  expect_set_options_failure(CLSID_EncoderBMP, store.get(), u"Cannot save to BMP: Threshold parameter has incorrect value!",
                             IID_IEncoderBMP, u"Zentarix.EncoderBMP.1");
  put_option(store.get(), u"BackgroundColor", Text(u"red"));
  expect_set_options_failure(CLSID_EncoderBMP, store.get(),
                             u"Cannot save to BMP: BackgroundColor parameter has incorrect value!", IID_IEncoderBMP,
                             u"Zentarix.EncoderBMP.1");
}

TEST(SetOptions, PngAndJpegMessages) {
  ComPtr<IDictionary> store = make_store();
  put_option(store.get(), u"DitherType", Text(u"Floyd"));
  expect_set_options_failure(CLSID_EncoderPNG, store.get(), u"Cannot save to PNG: BinarizeMethod parameter has incorrect value!",
                             IID_IEncoderPNG, u"Zentarix.EncoderPNG.1");
  put_option(store.get(), u"PaletteType", Text(u"Dither"));
  expect_set_options_failure(CLSID_EncoderPNG, store.get(), u"Cannot save to PNG: PaletteType parameter has incorrect value!",
                             IID_IEncoderPNG, u"Zentarix.EncoderPNG.1");
  // JPEG reads none of those.
  ComPtr<IImageEncoder> jpeg = create_encoder(CLSID_EncoderJPEG);
  EXPECT_EQ(jpeg->SetOptions(store.get()), S_OK);
  put_option(store.get(), u"VerticalResolution", v_bool(true));
  expect_set_options_failure(CLSID_EncoderJPEG, store.get(),
                             u"Cannot save to JPEG: VerticalResolution parameter has incorrect value!", IID_IEncoderJPEG,
                             u"Zentarix.EncoderJPEG.1");
  put_option(store.get(), u"BackgroundColor", v_bool(true));
  expect_set_options_failure(CLSID_EncoderJPEG, store.get(), u"Cannot save to JPEG: Background parameter has incorrect value!",
                             IID_IEncoderJPEG, u"Zentarix.EncoderJPEG.1");
}

TEST(SetOptions, AnOptionASaveOnlyLookedForStaysAbsent) {
  ComPtr<IDictionary> store = make_store();
  put_option(store.get(), u"OutputFileType", Text(u"Auto"));
  for (const CLSID* clsid : {&CLSID_EncoderBMP, &CLSID_EncoderPNG, &CLSID_EncoderJPEG}) {
    ComPtr<IImageEncoder> encoder = create_encoder(*clsid);
    ASSERT_EQ(encoder->SetOptions(store.get()), S_OK);
  }
  EXPECT_EQ(store_count(store.get()), 1);
  EXPECT_FALSE(store_has(store.get(), u"Threshold"));
  EXPECT_FALSE(store_has(store.get(), u"BinarizeMethod"));
}

}  // namespace
}  // namespace zx::test
