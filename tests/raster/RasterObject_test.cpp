// Zentarix — MIT licence.
// RasterObject state through its public surface: images, pixels, resolutions, file types, Clone, options.
#include <cmath>

#include "RasterTestSupport.h"
#include "TestRegistry.h"

namespace zx::test {
namespace {

constexpr OLECHAR kNoImageWidth[] =
    u"Cannot get image width, because there is no any data. Create new image or load it first.";
constexpr OLECHAR kBadSize[] = u"Width and Height must be > 0.";
constexpr OLECHAR kNoPixels[] = u"Cannot get access to the pixels: no data loaded";

std::u16string text_of(const VARIANT& v) { return V_VT(&v) == VT_BSTR ? std::u16string(V_BSTR(&v)) : u"<not text>"; }

TEST(RasterObjectState, NewObjectHasNoImageAndStartsInAutomaticMode) {
  ComPtr<IRasterObject> raster = make_raster();
  LONG width = 123;
  expect_report(raster->get_Width(&width), E_FAIL, kNoImageWidth);
  EXPECT_EQ(width, 123);
  LONG height = 0;
  EXPECT_EQ(raster->get_Height(&height), E_FAIL);
  take_error();

  OutputFileTypes type = oftGIF;
  EXPECT_EQ(raster->get_OutputFileType(&type), S_OK);
  EXPECT_EQ(type, oftJPEG);
  EXPECT_EQ(raster->get_CurrentFileType(&type), S_OK);
  EXPECT_EQ(type, oftUnknown);
  VARIANT_BOOL lzw = VARIANT_TRUE;
  EXPECT_EQ(raster->get_EnableLZW(&lzw), S_OK);
  EXPECT_EQ(lzw, VARIANT_FALSE);
  FLOAT dpi = 1.0f;
  EXPECT_EQ(raster->get_HorizontalResolution(&dpi), S_OK);
  EXPECT_EQ(dpi, 0.0f);

  Variant mode = option(raster.get(), u"outputfiletype");
  ASSERT_EQ(V_VT(&mode), VT_BSTR);
  EXPECT_EQ(to_utf8(text_of(mode)), "Auto");
}

TEST(RasterObjectState, SizeGettersTestTheImageBeforeThePointer) {
  ComPtr<IRasterObject> raster = make_raster();
  expect_report(raster->get_Width(nullptr), E_FAIL, kNoImageWidth);
  EXPECT_EQ(raster->get_Height(nullptr), E_FAIL);
  take_error();
  ASSERT_EQ(raster->EmptyImage(3, 2, -1), S_OK);
  EXPECT_EQ(raster->get_Width(nullptr), E_INVALIDARG);
  EXPECT_EQ(raster->get_Height(nullptr), E_INVALIDARG);
}

TEST(RasterObjectState, EmptyImageArgumentErrorsKeepTheOldImageAndAnImpossibleSizeIsOutOfMemory) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->EmptyImage(3, 2, static_cast<LONG>(0xFF112233)), S_OK);
  expect_report(raster->EmptyImage(0, 10, -1), E_FAIL, kBadSize);
  expect_report(raster->EmptyImage(10, -1, -1), E_FAIL, kBadSize);
  LONG width = 0, height = 0, pixel = 0;
  EXPECT_EQ(raster->get_Width(&width), S_OK);
  EXPECT_EQ(raster->get_Height(&height), S_OK);
  EXPECT_EQ(width, 3);
  EXPECT_EQ(height, 2);
  EXPECT_EQ(raster->get_Pixels(2, 1, &pixel), S_OK);
  EXPECT_EQ(static_cast<uint32_t>(pixel), 0xFF112233u);

  // A size no memory can hold: the report names the cause, and the failed image measures 0 x 0.
  expect_report(raster->EmptyImage(100000, 100000, -1), E_FAIL,
                gdiplus_message(u"EmptyImage", u"RasterObject",
                                u"Out of memory or GDI+ constructor error. GDI+ status code 3"));
  EXPECT_EQ(raster->get_Width(&width), S_OK);
  EXPECT_EQ(raster->get_Height(&height), S_OK);
  EXPECT_EQ(width, 0);
  EXPECT_EQ(height, 0);
}

TEST(RasterObjectState, EmptyImageWithoutColourIsOpaqueWhiteThroughDispatch) {
  ComPtr<IRasterObject> raster = make_raster();
  OLECHAR name[] = u"emptyimage";
  LPOLESTR names[] = {name};
  DISPID dispid = 0;
  ASSERT_EQ(raster->GetIDsOfNames(IID_NULL, names, 1, 0x400, &dispid), S_OK);
  EXPECT_EQ(dispid, 9);
  VARIANT args[2];
  V_VT(&args[0]) = VT_I4;  // Height (last argument first)
  V_I4(&args[0]) = 2;
  V_VT(&args[1]) = VT_I4;  // Width
  V_I4(&args[1]) = 3;
  DISPPARAMS params{args, nullptr, 2, 0};
  ASSERT_EQ(raster->Invoke(dispid, IID_NULL, 0x400, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
  LONG pixel = 0;
  EXPECT_EQ(raster->get_Pixels(2, 1, &pixel), S_OK);
  EXPECT_EQ(pixel, -1);
}

TEST(RasterObjectState, TransparentFillIsStoredUnblended) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->EmptyImage(3, 2, 0x00FF0000), S_OK);
  EXPECT_EQ(read_pixels(raster.get()), std::vector<uint32_t>(6, 0x00FF0000u));
}

TEST(RasterObjectState, EmptyImageTakesTheDisplayResolutionButLeavesTheOption) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->put_HorizontalResolution(300.0f), S_OK);
  Variant stored = option(raster.get(), u"HorizontalResolution");
  ASSERT_EQ(V_VT(&stored), VT_R4);
  EXPECT_EQ(V_R4(&stored), 300.0f);

  ASSERT_EQ(raster->EmptyImage(4, 4, -1), S_OK);
  FLOAT h = 0, v = 0;
  EXPECT_EQ(raster->get_HorizontalResolution(&h), S_OK);
  EXPECT_EQ(raster->get_VerticalResolution(&v), S_OK);
  EXPECT_EQ(h, 96.0f);
  EXPECT_EQ(v, 96.0f);
  stored = option(raster.get(), u"HorizontalResolution");
  ASSERT_EQ(V_VT(&stored), VT_R4);
  EXPECT_EQ(V_R4(&stored), 300.0f);
}

TEST(RasterObjectState, ResolutionsAreStoredUncheckedAsSinglePrecision) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->put_VerticalResolution(-5.5f), S_OK);
  ASSERT_EQ(raster->put_HorizontalResolution(NAN), S_OK);
  FLOAT v = 0, h = 0;
  EXPECT_EQ(raster->get_VerticalResolution(&v), S_OK);
  EXPECT_EQ(v, -5.5f);
  EXPECT_EQ(raster->get_HorizontalResolution(&h), S_OK);
  EXPECT_TRUE(std::isnan(h));
  Variant stored = option(raster.get(), u"VERTICALRESOLUTION");
  ASSERT_EQ(V_VT(&stored), VT_R4);
  EXPECT_EQ(V_R4(&stored), -5.5f);
  EXPECT_EQ(raster->get_VerticalResolution(nullptr), E_INVALIDARG);
}

TEST(RasterObjectState, PixelsReportTheirBoundsAndNoImage) {
  ComPtr<IRasterObject> raster = make_raster();
  LONG pixel = 7;
  expect_report(raster->get_Pixels(0, 0, &pixel), E_FAIL, kNoPixels);
  expect_report(raster->put_Pixels(0, 0, 1), E_FAIL, kNoPixels);
  EXPECT_EQ(raster->get_Pixels(0, 0, nullptr), E_INVALIDARG);

  ASSERT_EQ(raster->EmptyImage(3, 2, -1), S_OK);
  expect_report(raster->get_Pixels(3, 0, &pixel), E_FAIL,
                u"Cannot get pixel at this coordinates. It possible they are out of bounds!");
  EXPECT_EQ(pixel, 7);
  expect_report(raster->put_Pixels(-1, 0, 0), E_FAIL,
                u"Cannot put pixel at this coordinates. It possible they are out of bounds!");
  ASSERT_EQ(raster->put_Pixels(1, 1, 0x12345678), S_OK);
  EXPECT_EQ(raster->get_Pixels(1, 1, &pixel), S_OK);
  EXPECT_EQ(pixel, 0x12345678);
}

TEST(RasterObjectState, OutputFileTypeIsBoundedAndWrittenAsANumber) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);
  expect_report(raster->put_OutputFileType(static_cast<OutputFileTypes>(7)), E_INVALIDARG,
                u"This output file type is unsupported!");
  expect_report(raster->put_OutputFileType(oftUnknown), E_INVALIDARG, u"This output file type is unsupported!");
  OutputFileTypes type = oftJPEG;
  EXPECT_EQ(raster->get_OutputFileType(&type), S_OK);
  EXPECT_EQ(type, oftPNG);
  EXPECT_EQ(raster->put_OutputFileType(oftWBMP), S_OK);
  EXPECT_EQ(raster->get_OutputFileType(&type), S_OK);
  EXPECT_EQ(type, oftWBMP);
  Variant stored = option(raster.get(), u"OutputFileType");
  ASSERT_EQ(V_VT(&stored), VT_I4);
  EXPECT_EQ(V_I4(&stored), 6);
  EXPECT_EQ(raster->get_OutputFileType(nullptr), E_INVALIDARG);
  EXPECT_EQ(raster->get_CurrentFileType(nullptr), E_INVALIDARG);
}

TEST(RasterObjectState, EnableLZWKeepsTheValueAndRefusesANullPointerWithEPointer) {
  ComPtr<IRasterObject> raster = make_raster();
  EXPECT_EQ(raster->get_EnableLZW(nullptr), E_POINTER);
  ASSERT_EQ(raster->put_EnableLZW(5), S_OK);
  VARIANT_BOOL value = 0;
  EXPECT_EQ(raster->get_EnableLZW(&value), S_OK);
  EXPECT_EQ(value, 5);
}

TEST(RasterObjectClone, CopiesPixelsResolutionsAndOutputTypeOnly) {
  ComPtr<IRasterObject> raster = make_raster(2, 2, {0xFF010203, 0x00FFFFFF, 0x80402010, 0xFFFFFFFF});
  ASSERT_EQ(raster->put_HorizontalResolution(72.0f), S_OK);
  ASSERT_EQ(raster->put_VerticalResolution(150.0f), S_OK);
  ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);
  ASSERT_EQ(raster->put_EnableLZW(VARIANT_TRUE), S_OK);
  Variant quality;
  V_VT(&quality) = VT_I4;
  V_I4(&quality) = 40;
  ASSERT_EQ(raster->put_EncoderOptions(Bstr(u"JPEGQuality").get(), quality), S_OK);

  ComPtr<IRasterObject> clone;
  ASSERT_EQ(raster->Clone(clone.put()), S_OK);
  ASSERT_TRUE(clone);
  EXPECT_NE(clone.get(), raster.get());
  EXPECT_EQ(read_pixels(clone.get()), read_pixels(raster.get()));
  FLOAT h = 0, v = 0;
  EXPECT_EQ(clone->get_HorizontalResolution(&h), S_OK);
  EXPECT_EQ(clone->get_VerticalResolution(&v), S_OK);
  EXPECT_EQ(h, 72.0f);
  EXPECT_EQ(v, 150.0f);
  OutputFileTypes type = oftJPEG;
  EXPECT_EQ(clone->get_OutputFileType(&type), S_OK);
  EXPECT_EQ(type, oftPNG);
  EXPECT_EQ(clone->get_CurrentFileType(&type), S_OK);
  EXPECT_EQ(type, oftUnknown);
  VARIANT_BOOL lzw = VARIANT_TRUE;
  EXPECT_EQ(clone->get_EnableLZW(&lzw), S_OK);
  EXPECT_EQ(lzw, VARIANT_FALSE);
  Variant missing = option(clone.get(), u"JPEGQuality");
  EXPECT_EQ(V_VT(&missing), VT_ERROR);
  take_error();

  // The clone's pixels are its own.
  ASSERT_EQ(clone->put_Pixels(0, 0, 0), S_OK);
  LONG original = 0;
  EXPECT_EQ(raster->get_Pixels(0, 0, &original), S_OK);
  EXPECT_EQ(static_cast<uint32_t>(original), 0xFF010203u);
}

TEST(RasterObjectClone, StoresTheOutputTypeAsANumberEvenInAutomaticMode) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->EmptyImage(1, 1, -1), S_OK);
  ComPtr<IRasterObject> clone;
  ASSERT_EQ(raster->Clone(clone.put()), S_OK);
  Variant stored = option(clone.get(), u"OutputFileType");
  ASSERT_EQ(V_VT(&stored), VT_I4);
  EXPECT_EQ(V_I4(&stored), 0);
  Variant source = option(raster.get(), u"OutputFileType");
  EXPECT_EQ(V_VT(&source), VT_BSTR);
}

TEST(RasterObjectClone, RefusesANullPointerAndAnEmptyObject) {
  ComPtr<IRasterObject> raster = make_raster();
  EXPECT_EQ(raster->Clone(nullptr), E_INVALIDARG);
  IRasterObject* sentinel = reinterpret_cast<IRasterObject*>(0x1234);
  expect_report(raster->Clone(&sentinel), E_FAIL,
                u"Cannot clone the object: there is no raster any data to be cloned!");
  EXPECT_EQ(sentinel, reinterpret_cast<IRasterObject*>(0x1234));
}

TEST(RasterObjectOptions, NamesMatchInAnyCaseAndMissingOnesAreReported) {
  ComPtr<IRasterObject> raster = make_raster();
  Variant fifty;
  V_VT(&fifty) = VT_I4;
  V_I4(&fifty) = 50;
  ASSERT_EQ(raster->put_EncoderOptions(Bstr(u"jpegquality").get(), fifty), S_OK);
  Variant read = option(raster.get(), u"JPEGQuality");
  ASSERT_EQ(V_VT(&read), VT_I4);
  EXPECT_EQ(V_I4(&read), 50);

  Variant value;
  expect_report(raster->get_EncoderOptions(Bstr(u"NoSuchThing").get(), &value), E_INVALIDARG,
                u"Cannot find parameter NoSuchThing");
  EXPECT_EQ(V_VT(&value), VT_EMPTY);
  EXPECT_EQ(raster->get_EncoderOptions(Bstr(u"JPEGQuality").get(), nullptr), E_POINTER);
}

TEST(RasterObjectOptions, ResetEmptiesTheStoreButKeepsTheFields) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->put_HorizontalResolution(300.0f), S_OK);
  ASSERT_EQ(raster->put_OutputFileType(oftBMP), S_OK);
  ASSERT_EQ(raster->ResetEncoderOptions(), S_OK);
  Variant value;
  expect_report(raster->get_EncoderOptions(Bstr(u"HorizontalResolution").get(), &value), E_INVALIDARG,
                u"Cannot find parameter HorizontalResolution");
  FLOAT h = 0;
  EXPECT_EQ(raster->get_HorizontalResolution(&h), S_OK);
  EXPECT_EQ(h, 300.0f);
  OutputFileTypes type = oftJPEG;
  EXPECT_EQ(raster->get_OutputFileType(&type), S_OK);
  EXPECT_EQ(type, oftBMP);
  Variant mode = option(raster.get(), u"OutputFileType");
  EXPECT_EQ(to_utf8(text_of(mode)), "Auto");
}

TEST(RasterObjectInternal, LendsTheBitmapAndTakesANewOneOver) {
  ComPtr<IRasterObject> raster = make_raster();
  ComPtr<IRasterObjectInternal> internal;
  ASSERT_EQ(raster.query(internal), S_OK);
  LONG* data = reinterpret_cast<LONG*>(0x1);
  EXPECT_EQ(internal->GetDataPointer(&data), S_OK);
  EXPECT_EQ(data, nullptr);

  ASSERT_EQ(raster->EmptyImage(2, 3, -1), S_OK);
  ASSERT_EQ(raster->put_HorizontalResolution(200.0f), S_OK);
  EXPECT_EQ(internal->GetDataPointer(&data), S_OK);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(reinterpret_cast<Gdiplus::Bitmap*>(data)->GetWidth(), 2u);

  auto* replacement = new Gdiplus::Bitmap(5, 1, Gdiplus::PixelFormat32bppARGB);
  EXPECT_EQ(internal->SetDataPointer(reinterpret_cast<LONG*>(replacement)), S_OK);
  EXPECT_EQ(internal->SetDataPointer(reinterpret_cast<LONG*>(replacement)), S_OK);  // the held one: kept
  LONG width = 0;
  EXPECT_EQ(raster->get_Width(&width), S_OK);
  EXPECT_EQ(width, 5);
  FLOAT h = 0;
  EXPECT_EQ(raster->get_HorizontalResolution(&h), S_OK);
  EXPECT_EQ(h, 200.0f);

  EXPECT_EQ(internal->SetDataPointer(nullptr), S_OK);
  EXPECT_EQ(raster->get_Width(&width), E_FAIL);
  take_error();
}

}  // namespace
}  // namespace zx::test
