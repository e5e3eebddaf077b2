// Zentarix — MIT licence.
// The five settings objects: defaults, clamps, refusals and null out-pointers.
#include <gtest/gtest.h>

#include "EncoderTestSupport.h"

namespace zx::test {
namespace {

template <class I>
ComPtr<I> create(const char16_t* progId) {
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
  ComPtr<I> object;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, zx::uuid_of<I>::value, object.put_void()), S_OK);
  return object;
}

void expect_error(const char16_t* message, REFIID iid, const char16_t* source) {
  const ErrorRecord error = take_error();
  ASSERT_TRUE(error.present);
  EXPECT_EQ(error.description, message);
  EXPECT_EQ(error.guid, iid);
  EXPECT_EQ(error.source, source);
}

TEST(JPEGEncoderInfo, QualityStartsAtSeventyFiveAndIsClamped) {
  ComPtr<IJPEGEncoderInfo> info = create<IJPEGEncoderInfo>(u"Zentarix.JPEGEncoderInfo");
  ASSERT_TRUE(info);
  LONG q = 0;
  EXPECT_EQ(info->get_Quality(&q), S_OK);
  EXPECT_EQ(q, 75);
  EXPECT_EQ(info->put_Quality(150), S_OK);
  EXPECT_EQ(info->get_Quality(&q), S_OK);
  EXPECT_EQ(q, 100);
  EXPECT_EQ(info->put_Quality(-5), S_OK);
  EXPECT_EQ(info->get_Quality(&q), S_OK);
  EXPECT_EQ(q, 0);
  EXPECT_EQ(info->get_Quality(nullptr), E_INVALIDARG);

  // Late-bound, as scripts set it.
  OLECHAR name[] = u"Quality";
  LPOLESTR names[] = {name};
  DISPID dispid = 0;
  ASSERT_EQ(info->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid), S_OK);
  VARIANT arg{};
  arg.vt = VT_I4;
  arg.lVal = 42;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&arg, &named, 1, 1};
  EXPECT_EQ(info->Invoke(dispid, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(info->get_Quality(&q), S_OK);
  EXPECT_EQ(q, 42);
}

TEST(BMPEncoderInfo, ColorDepthStartsAt32BitsAndStoresAnyValue) {
  ComPtr<IBMPEncoderInfo> info = create<IBMPEncoderInfo>(u"Zentarix.BMPEncoderInfo");
  ASSERT_TRUE(info);
  ColorDepths depth = cd24bpp;
  EXPECT_EQ(info->get_ColorDepth(&depth), S_OK);
  EXPECT_EQ(depth, cd32bpp);
  EXPECT_EQ(info->put_ColorDepth(static_cast<ColorDepths>(9)), S_OK);
  EXPECT_EQ(info->get_ColorDepth(&depth), S_OK);
  EXPECT_EQ(depth, 9);
  EXPECT_EQ(info->get_ColorDepth(nullptr), E_POINTER);
}

TEST(GIFEncoderInfo, DefaultsAndAnyValueStored) {
  ComPtr<IGIFEncoderInfo> info = create<IGIFEncoderInfo>(u"Zentarix.GIFEncoderInfo");
  ASSERT_TRUE(info);
  PaletteTypes type = ptDither;
  VARIANT_BOOL flag = VARIANT_TRUE;
  EXPECT_EQ(info->get_PaletteType(&type), S_OK);
  EXPECT_EQ(type, ptOctree);
  EXPECT_EQ(info->get_IsTransparent(&flag), S_OK);
  EXPECT_EQ(flag, VARIANT_FALSE);
  flag = VARIANT_TRUE;
  EXPECT_EQ(info->get_AntialiasingPreprocessOn(&flag), S_OK);
  EXPECT_EQ(flag, VARIANT_FALSE);
  EXPECT_EQ(info->put_PaletteType(ptDither), S_OK);
  EXPECT_EQ(info->get_PaletteType(&type), S_OK);
  EXPECT_EQ(type, ptDither);
  EXPECT_EQ(info->put_IsTransparent(VARIANT_TRUE), S_OK);
  EXPECT_EQ(info->get_IsTransparent(&flag), S_OK);
  EXPECT_EQ(flag, VARIANT_TRUE);
  EXPECT_EQ(info->get_PaletteType(nullptr), E_POINTER);
  EXPECT_EQ(info->get_IsTransparent(nullptr), E_POINTER);
  EXPECT_EQ(info->get_AntialiasingPreprocessOn(nullptr), E_POINTER);
}

TEST(SWFEncoderInfo, CompressionOutsideTheTwoIsRefusedAndQualityClamped) {
  ComPtr<ISWFEncoderInfo> info = create<ISWFEncoderInfo>(u"Zentarix.SWFEncoderInfo");
  ASSERT_TRUE(info);
  SWFCompressionTypes type = swfctJPEG;
  LONG value = 0;
  EXPECT_EQ(info->get_CompressionType(&type), S_OK);
  EXPECT_EQ(type, swfctLossless);
  EXPECT_EQ(info->get_BackgroundColor(&value), S_OK);
  EXPECT_EQ(value, -1);
  EXPECT_EQ(info->get_JPEGQuality(&value), S_OK);
  EXPECT_EQ(value, 75);

  EXPECT_EQ(info->put_CompressionType(swfctJPEG), S_OK);
  clear_error();
  EXPECT_EQ(info->put_CompressionType(static_cast<SWFCompressionTypes>(2)), E_INVALIDARG);
  expect_error(u"Wrong compression type! It must be either lossless (0) or JPEG (1)...", IID_ISWFEncoderInfo,
               u"Zentarix.SWFEncoderInfo.1");
  EXPECT_EQ(info->get_CompressionType(&type), S_OK);
  EXPECT_EQ(type, swfctJPEG);

  EXPECT_EQ(info->put_JPEGQuality(101), S_OK);
  EXPECT_EQ(info->get_JPEGQuality(&value), S_OK);
  EXPECT_EQ(value, 100);
  EXPECT_EQ(info->put_BackgroundColor(0x12345678), S_OK);
  EXPECT_EQ(info->get_BackgroundColor(&value), S_OK);
  EXPECT_EQ(value, 0x12345678);
  EXPECT_EQ(info->get_JPEGQuality(nullptr), E_POINTER);
  EXPECT_EQ(info->get_CompressionType(nullptr), E_POINTER);
}

TEST(TIFFEncoderInfo, RangesAreCheckedAndTheProfileNameIsCopied) {
  ComPtr<ITIFFEncoderInfo> info = create<ITIFFEncoderInfo>(u"Zentarix.TIFFEncoderInfo");
  ASSERT_TRUE(info);
  TIFFCompressionTypes compression = tctNone;
  ColorDepths depth = cd24bpp;
  ColorSpaces space = csCMYK;
  EXPECT_EQ(info->get_CompressionType(&compression), S_OK);
  EXPECT_EQ(compression, tctLZW);
  EXPECT_EQ(info->get_ColorDepth(&depth), S_OK);
  EXPECT_EQ(depth, cd32bpp);
  EXPECT_EQ(info->get_ColorSpace(&space), S_OK);
  EXPECT_EQ(space, csRGB);
  BSTR name = nullptr;
  EXPECT_EQ(info->get_ICCProfileFilename(&name), S_OK);
  EXPECT_EQ(Bstr::attach(name).view(), u"");

  clear_error();
  EXPECT_EQ(info->put_ColorSpace(static_cast<ColorSpaces>(3)), E_INVALIDARG);
  expect_error(u"This color space is not supported!", IID_ITIFFEncoderInfo, u"Zentarix.TIFFEncoderInfo.1");
  EXPECT_EQ(info->put_ColorSpace(static_cast<ColorSpaces>(2)), S_OK);  // stored; the save refuses it
  EXPECT_EQ(info->get_ColorSpace(&space), S_OK);
  EXPECT_EQ(space, 2);

  EXPECT_EQ(info->put_CompressionType(tctRLE), S_OK);
  EXPECT_EQ(info->put_CompressionType(static_cast<TIFFCompressionTypes>(5)), E_INVALIDARG);
  expect_error(u"This compression type is not supported!", IID_ITIFFEncoderInfo, u"Zentarix.TIFFEncoderInfo.1");
  EXPECT_EQ(info->get_CompressionType(&compression), S_OK);
  EXPECT_EQ(compression, tctRLE);
  EXPECT_EQ(info->put_ColorDepth(static_cast<ColorDepths>(-1)), E_INVALIDARG);
  expect_error(u"This color depth is not supported!", IID_ITIFFEncoderInfo, u"Zentarix.TIFFEncoderInfo.1");
  EXPECT_EQ(info->put_ColorDepth(static_cast<ColorDepths>(4)), S_OK);

  Bstr profile(u"/profiles/press.icc");
  EXPECT_EQ(info->put_ICCProfileFilename(profile.get()), S_OK);
  BSTR first = nullptr, second = nullptr;
  EXPECT_EQ(info->get_ICCProfileFilename(&first), S_OK);
  EXPECT_EQ(info->get_ICCProfileFilename(&second), S_OK);
  EXPECT_NE(first, second);  // a new copy each time
  EXPECT_EQ(Bstr::attach(first).view(), u"/profiles/press.icc");
  Bstr::attach(second);
  EXPECT_EQ(info->put_ICCProfileFilename(nullptr), S_OK);
  EXPECT_EQ(info->get_ICCProfileFilename(&name), S_OK);
  EXPECT_EQ(Bstr::attach(name).view(), u"");

  EXPECT_EQ(info->get_ICCProfileFilename(nullptr), E_INVALIDARG);
  EXPECT_EQ(info->get_ColorSpace(nullptr), E_INVALIDARG);
  EXPECT_EQ(info->get_ColorDepth(nullptr), E_INVALIDARG);
  EXPECT_EQ(info->get_CompressionType(nullptr), E_INVALIDARG);
}

}  // namespace
}  // namespace zx::test
