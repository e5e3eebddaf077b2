// Zentarix — MIT licence.
// The five settings objects, late-bound as scripts use them: defaults, clamps and refusals.
#include <gtest/gtest.h>

#include "EncoderTestSupport.h"

namespace zx::test {
namespace {

// Runs "Name" (get) and "Name=value" (put) steps on a new object through IDispatch: each get gives
// its value as text, each put "ok", each failure "!source: message".
std::string run(const char16_t* progId, std::string_view steps) {
  CLSID clsid = GUID_NULL;
  ComPtr<IDispatch> object;
  if (CLSIDFromProgID(progId, &clsid) != S_OK ||
      CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, object.put_void()) != S_OK)
    return "not created";
  std::string out;
  while (!steps.empty()) {
    const std::string step(steps.substr(0, steps.find(' ')));
    steps.remove_prefix(std::min(step.size() + 1, steps.size()));
    const size_t eq = step.find('=');
    std::u16string name = to_utf16(step.substr(0, eq));
    LPOLESTR names[] = {name.data()};
    DISPID id = 0;
    if (object->GetIDsOfNames(IID_NULL, names, 1, 0, &id) != S_OK) return out + "no " + step;
    Variant arg, result;
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS none{}, one{&arg, &put, 1, 1};
    if (eq != std::string::npos) {
      const std::string value = step.substr(eq + 1);
      char* end = nullptr;
      arg.vt = VT_I4;
      arg.lVal = std::strtol(value.c_str(), &end, 10);
      if (*end) {
        arg.vt = VT_BSTR;
        arg.bstrVal = SysAllocString(to_utf16(value).c_str());
      }
    }
    clear_error();
    const HRESULT hr = eq == std::string::npos
                           ? object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr)
                           : object->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &one, nullptr, nullptr, nullptr);
    if (FAILED(hr)) {
      const ErrorRecord error = take_error();
      out += "!" + to_utf8(error.source) + ": " + to_utf8(error.description) + " ";
    } else if (eq != std::string::npos) {
      out += "ok ";
    } else {
      EXPECT_EQ(VariantChangeType(&result, &result, 0, VT_BSTR), S_OK);
      out += "'" + to_utf8(Bstr(result.bstrVal).view()) + "' ";
    }
  }
  return out;
}

TEST(EncoderInfo, SettingsStartAtTheirDefaultsAndAreClampedOrRefused) {
  const struct {
    const char16_t* progId;
    const char* steps;
    const char* want;
  } cases[] = {
      {u"Zentarix.JPEGEncoderInfo", "Quality Quality=150 Quality Quality=-5 Quality Quality=42 Quality",
       "'75' ok '100' ok '0' ok '42' "},
      {u"Zentarix.BMPEncoderInfo", "ColorDepth ColorDepth=9 ColorDepth", "'1' ok '9' "},
      {u"Zentarix.GIFEncoderInfo", "PaletteType IsTransparent AntialiasingPreprocessOn PaletteType=2 IsTransparent=-1 PaletteType IsTransparent",
       "'0' '0' '0' ok ok '2' '-1' "},
      {u"Zentarix.SWFEncoderInfo", "CompressionType BackgroundColor JPEGQuality CompressionType=1 CompressionType=2 CompressionType "
       "JPEGQuality=101 JPEGQuality BackgroundColor=305419896 BackgroundColor",
       "'0' '-1' '75' ok !Zentarix.SWFEncoderInfo.1: Wrong compression type! It must be either lossless (0) or JPEG (1)... "
       "'1' ok '100' ok '305419896' "},
      {u"Zentarix.TIFFEncoderInfo", "CompressionType ColorDepth ColorSpace ICCProfileFilename ColorSpace=3 ColorSpace=2 "
       "ColorSpace CompressionType=4 CompressionType=5 CompressionType ColorDepth=-1 ColorDepth=4 "
       "ICCProfileFilename=/profiles/press.icc ICCProfileFilename",
       "'1' '1' '0' '' !Zentarix.TIFFEncoderInfo.1: This color space is not supported! ok '2' ok "
       "!Zentarix.TIFFEncoderInfo.1: This compression type is not supported! '4' "
       "!Zentarix.TIFFEncoderInfo.1: This color depth is not supported! ok ok '/profiles/press.icc' "},
  };
  for (const auto& c : cases) EXPECT_EQ(run(c.progId, c.steps), c.want) << to_utf8(c.progId);
}

TEST(EncoderInfo, OutPointersAreCheckedAndTheProfileNameIsANewCopyEachTime) {
  CLSID clsid = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(u"Zentarix.TIFFEncoderInfo", &clsid), S_OK);
  ComPtr<ITIFFEncoderInfo> info;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_ITIFFEncoderInfo, info.put_void()), S_OK);
  Bstr profile(u"/profiles/press.icc");
  EXPECT_EQ(info->put_ICCProfileFilename(profile.get()), S_OK);
  BSTR first = nullptr, second = nullptr;
  EXPECT_EQ(info->get_ICCProfileFilename(&first), S_OK);
  EXPECT_EQ(info->get_ICCProfileFilename(&second), S_OK);
  EXPECT_NE(first, second);
  Bstr::attach(first), Bstr::attach(second);
  EXPECT_EQ(info->put_ICCProfileFilename(nullptr), S_OK);
  EXPECT_EQ(info->get_ICCProfileFilename(&first), S_OK);
  EXPECT_EQ(Bstr::attach(first).view(), u"");
  EXPECT_EQ(info->get_ICCProfileFilename(nullptr), E_INVALIDARG);
  EXPECT_EQ(info->get_ColorSpace(nullptr), E_INVALIDARG);
}

}  // namespace
}  // namespace zx::test
