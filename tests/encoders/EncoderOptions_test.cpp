// Zentarix — MIT licence.
// Option converters and readers, and SetOptions' order and messages on the built-in encoders.
#include <gtest/gtest.h>

#include "EncoderOptions.h"
#include "EncoderTestSupport.h"

namespace zx::test {
namespace {

using encoding::EncoderOptions;
using encoding::Option;

Variant var(VARTYPE vt, int64_t bits) {
  Variant v;
  v.vt = vt;
  v.llVal = bits;
  return v;
}
Variant r8(double x) {
  Variant v;
  v.vt = VT_R8;
  v.dblVal = x;
  return v;
}
Variant text(const char16_t* s) {
  Variant v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(s);
  return v;
}

// "0 -5": the converter's result (0 for S_OK) and the target afterwards, which starts at 41.
template <class T, class F>
std::string convert(F converter, const VARIANT& v) {
  T out = T(41);
  const HRESULT hr = converter(v, out);
  return std::to_string(hr == S_OK ? 0 : hr == E_INVALIDARG ? 1 : hr) + " " + std::to_string(out);
}

TEST(OptionConverters, AcceptTheirTypesAndRefusalsWriteNothing) {
  LONG target = 5;
  Variant byref = var(VT_I4 | VT_BYREF, 0);
  byref.plVal = &target;
  const auto toLong = [](const VARIANT& v) { return convert<LONG>(encoding::variant_to_long, v); };
  const auto toBool = [](const VARIANT& v) { return convert<LONG>(encoding::variant_to_bool, v); };
  const auto toFloat = [](const VARIANT& v) { return convert<float>(encoding::variant_to_float, v); };
  const auto toShort = [](const VARIANT& v) { return convert<SHORT>(encoding::variant_to_short, v); };
  const std::pair<std::string, std::string> cases[] = {
      {toLong(var(VT_I4, -5)), "0 -5"}, {toLong(r8(100.9)), "0 100"}, {toLong(r8(-2.7)), "0 -2"},  // toward zero
      {toLong(text(u"24")), "0 24"}, {toLong(text(u" 12.75")), "0 12"}, {toLong(var(VT_UI1, 200)), "0 200"},
      {toLong(var(VT_I1, 0xFD)), "0 -3"}, {toLong(var(VT_BOOL, -1)), "1 41"}, {toLong(text(u"twenty")), "1 41"},
      {toLong(r8(3e10)), "1 41"}, {toLong(var(VT_EMPTY, 0)), "1 41"}, {toLong(byref), "1 41"},
      {toShort(var(VT_BOOL, -1)), "1 41"}, {toShort(var(VT_I4, 1)), "0 1"},
      {toBool(var(VT_BOOL, -1)), "0 -1"}, {toBool(text(u"False")), "0 0"}, {toBool(text(u"True")), "0 -1"},
      {toBool(var(VT_I4, 2)), "0 2"},
      {toFloat(text(u"300.5")), "0 300.500000"}, {toFloat(var(VT_I1, 0xC8)), "0 200.000000"},  // read unsigned
      {toFloat(var(VT_UI4, 0xFFFFFFFF)), "0 4294967296.000000"}, {toFloat(var(VT_BOOL, -1)), "1 41.000000"},
  };
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want) << &want - &cases[0].second;

  const encoding::ValueName names[] = {{u"Octree", 0}, {u"Halftone", 1}};
  const auto name = [&](const VARIANT& v) {
    return convert<LONG>([&](const VARIANT& in, LONG& out) { return encoding::parse_value_name(in, names, out); }, v);
  };
  EXPECT_EQ(name(text(u"hALFtONE")) + ", " + name(text(u"Dither")) + ", " + name(var(VT_I4, 0)), "0 1, 1 41, 1 41");
  Bstr s(u"old");
  EXPECT_EQ(encoding::variant_to_string(text(u"profile.icc"), s), S_OK);
  EXPECT_EQ(encoding::variant_to_string(var(VT_I4, 1), s), E_INVALIDARG);
  EXPECT_EQ(s.view(), u"profile.icc");
}

// "0 24": the reader's result and the field it fills, from a fresh set of fields.
std::string read(std::string_view options, Option option) {
  ComPtr<IDictionary> store = store_of(options);
  EncoderOptions f;
  f.colorDepth = 7;
  f.threshold = 7;
  const HRESULT hr = encoding::read_option(store.get(), option, f);
  std::string value;
  switch (option) {
    case Option::ColorDepth: value = std::to_string(f.colorDepth); break;
    case Option::JPEGQuality: value = std::to_string(f.jpegQuality); break;
    case Option::PaletteColorsNumber: value = std::to_string(f.paletteColorsNumber); break;
    case Option::Threshold: value = std::to_string(f.threshold); break;
    case Option::DitherType: value = std::to_string(f.ditherType); break;
    case Option::PaletteType: value = std::to_string(f.paletteType); break;
    case Option::ColorSpace: value = std::to_string(f.colorSpace); break;
    case Option::CompressionTypeSWF: case Option::CompressionTypeTIFF: value = std::to_string(f.compressionType); break;
    case Option::BackgroundColor: value = std::to_string(f.backgroundPresent) + " " + std::to_string(f.backgroundColor); break;
    case Option::HorizontalResolution: value = std::to_string(int(f.horizontalResolution)); break;
    default: value = "?";
  }
  return std::to_string(hr == S_OK ? 0 : hr == E_INVALIDARG ? 1 : hr) + " " + value;
}

TEST(OptionReaders, CheckRangesAndNamesAndLeaveAbsentOptionsAlone) {
  const struct {
    const char* options;
    Option option;
    const char* want;
  } cases[] = {
      {"ColorDepth=16", Option::ColorDepth, "1 7"}, {"ColorDepth='24'", Option::ColorDepth, "0 24"},
      {"ColorDepth=true", Option::ColorDepth, "1 7"}, {"colordepth=1.5", Option::ColorDepth, "0 1"},
      {"ColorDepth=24", Option::ColorDepth, "0 24"}, {"JPEGQuality=100.9", Option::JPEGQuality, "0 100"},
      {"JPEGQuality=101", Option::JPEGQuality, "1 75"}, {"JPEGQuality=-1", Option::JPEGQuality, "1 75"},
      {"PaletteColorsNumber=7", Option::PaletteColorsNumber, "1 216"},
      {"PaletteColorsNumber=257", Option::PaletteColorsNumber, "1 216"},
      {"PaletteColorsNumber=8", Option::PaletteColorsNumber, "0 8"},
      {"Threshold=256", Option::Threshold, "1 7"}, {"Threshold=255", Option::Threshold, "0 255"},
      {"", Option::Threshold, "0 128"},
      // DitherType wins over BinarizeMethod, and takes names only.
      {"BinarizeMethod=ErrorDiffusion", Option::DitherType, "0 2"},
      {"BinarizeMethod=ErrorDiffusion DitherType=dither", Option::DitherType, "0 1"},
      {"DitherType=None", Option::DitherType, "0 0"}, {"DitherType=1", Option::DitherType, "1 0"},
      {"PaletteType=halftone", Option::PaletteType, "0 1"}, {"PaletteType=Dither", Option::PaletteType, "1 0"},
      {"ColorSpace=cmyk", Option::ColorSpace, "0 1"}, {"CompressionType=CCITT4", Option::CompressionTypeTIFF, "0 3"},
      {"CompressionType=CCITT4", Option::CompressionTypeSWF, "1 1"},
      {"CompressionType=Lossless", Option::CompressionTypeSWF, "0 0"},
      {"BackgroundColor=-16777216", Option::BackgroundColor, "0 1 -16777216"},
      {"", Option::BackgroundColor, "0 0 -1"}, {"", Option::HorizontalResolution, "0 96"},
  };
  for (const auto& c : cases) EXPECT_EQ(read(c.options, c.option), c.want) << c.options;

  // No reader adds what it looks for; a key holding an empty item counts as absent.
  ComPtr<IDictionary> empty = make_store();
  EncoderOptions fields;
  for (int o = 0; o <= int(Option::IsInverted); ++o) EXPECT_EQ(encoding::read_option(empty.get(), Option(o), fields), S_OK);
  EXPECT_EQ(store_count(empty.get()), 0);
  put_option(empty.get(), u"HorizontalResolution", Variant());
  fields.horizontalResolution = 72;
  EXPECT_EQ(encoding::read_option(empty.get(), Option::HorizontalResolution, fields), S_OK);
  EXPECT_EQ(fields.horizontalResolution, 72);
}

TEST(SetOptions, ReportsTheFirstRefusedOptionInTheEncodersOrder) {
  const struct {
    const CLSID& encoder;
    const char* options;
    const char* want;  // empty: accepted
  } cases[] = {
      {CLSID_EncoderBMP, "Threshold=256 ColorDepth=16", "Zentarix.EncoderBMP.1: Cannot save to BMP: ColorDepth parameter has incorrect value!"},
      {CLSID_EncoderBMP, "Threshold=256 ColorDepth=8", "Zentarix.EncoderBMP.1: Cannot save to BMP: Threshold parameter has incorrect value!"},
      {CLSID_EncoderBMP, "BackgroundColor=red", "Zentarix.EncoderBMP.1: Cannot save to BMP: BackgroundColor parameter has incorrect value!"},
      {CLSID_EncoderPNG, "DitherType=Floyd", "Zentarix.EncoderPNG.1: Cannot save to PNG: BinarizeMethod parameter has incorrect value!"},
      {CLSID_EncoderPNG, "PaletteType=Dither", "Zentarix.EncoderPNG.1: Cannot save to PNG: PaletteType parameter has incorrect value!"},
      {CLSID_EncoderJPEG, "DitherType=Floyd PaletteType=Dither", ""},  // JPEG reads neither
      {CLSID_EncoderJPEG, "VerticalResolution=true", "Zentarix.EncoderJPEG.1: Cannot save to JPEG: VerticalResolution parameter has incorrect value!"},
      {CLSID_EncoderJPEG, "BackgroundColor=true", "Zentarix.EncoderJPEG.1: Cannot save to JPEG: Background parameter has incorrect value!"},
  };
  for (const auto& c : cases) {
    ComPtr<IDictionary> store = store_of(c.options);
    clear_error();
    const HRESULT hr = create_encoder(c.encoder)->SetOptions(store.get());
    const ErrorRecord error = take_error();
    EXPECT_EQ(*c.want ? E_INVALIDARG : S_OK, hr) << c.options;
    EXPECT_EQ(to_utf8(error.source) + (error.present ? ": " : "") + to_utf8(error.description), c.want);
  }
  // An option a save only looked for stays absent.
  ComPtr<IDictionary> store = store_of("OutputFileType=Auto");
  for (const CLSID* clsid : {&CLSID_EncoderBMP, &CLSID_EncoderPNG, &CLSID_EncoderJPEG})
    ASSERT_EQ(create_encoder(*clsid)->SetOptions(store.get()), S_OK);
  EXPECT_EQ(store_count(store.get()), 1);
}

}  // namespace
}  // namespace zx::test
