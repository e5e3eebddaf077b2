// Zentarix — MIT licence.
// RasterObject state through its public surface: images, pixels, resolutions, file types, Clone, options.
#include <cmath>

#include "RasterTestSupport.h"
#include "TestRegistry.h"

namespace zx::test {
namespace {

// "3x2 out 0 cur -1 lzw 0 dpi 96x96 opt 'Auto'": the size (or "none"), both file types, EnableLZW,
// the resolutions and the store's OutputFileType entry.
std::string state(IRasterObject* raster) {
  LONG w = 0, h = 0;
  OutputFileTypes out = oftUnknown, cur = oftUnknown;
  VARIANT_BOOL lzw = 0;
  FLOAT x = 0, y = 0;
  const bool image = raster->get_Width(&w) == S_OK && raster->get_Height(&h) == S_OK;
  take_error();
  EXPECT_EQ(raster->get_OutputFileType(&out) | raster->get_CurrentFileType(&cur) | raster->get_EnableLZW(&lzw) |
                raster->get_HorizontalResolution(&x) | raster->get_VerticalResolution(&y),
            S_OK);
  const Variant mode = option(raster, u"OutputFileType");
  take_error();
  char text[160];
  std::snprintf(text, sizeof text, "%s out %d cur %d lzw %d dpi %gx%g opt %s",
                image ? (std::to_string(w) + "x" + std::to_string(h)).c_str() : "none", int(out), int(cur), int(lzw), double(x), double(y),
                V_VT(&mode) == VT_BSTR ? ("'" + to_utf8(V_BSTR(&mode)) + "'").c_str()
                : V_VT(&mode) == VT_I4 ? std::to_string(V_I4(&mode)).c_str()
                                       : "-");
  return text;
}

TEST(RasterObjectState, PropertiesStartAutomaticAndKeepTheirValues) {
  ComPtr<IRasterObject> raster = make_raster();
  EXPECT_EQ(state(raster.get()), "none out 0 cur -1 lzw 0 dpi 0x0 opt 'Auto'");
  LONG width = 123;
  expect_report(raster->get_Width(&width), E_FAIL,
                u"Cannot get image width, because there is no any data. Create new image or load it first.");
  EXPECT_EQ(width, 123);
  expect_report(raster->get_Width(nullptr), E_FAIL,  // the image is tested before the pointer
                u"Cannot get image width, because there is no any data. Create new image or load it first.");
  // Resolutions are stored unchecked as single precision; the output type is bounded and stored as a
  // number; EnableLZW keeps any value.
  ASSERT_EQ(raster->put_VerticalResolution(-5.5f), S_OK);
  ASSERT_EQ(raster->put_HorizontalResolution(NAN), S_OK);
  ASSERT_EQ(raster->put_OutputFileType(oftPNG), S_OK);
  expect_report(raster->put_OutputFileType(static_cast<OutputFileTypes>(7)), E_INVALIDARG, u"This output file type is unsupported!");
  expect_report(raster->put_OutputFileType(oftUnknown), E_INVALIDARG, u"This output file type is unsupported!");
  ASSERT_EQ(raster->put_EnableLZW(5), S_OK);
  EXPECT_EQ(state(raster.get()), "none out 2 cur -1 lzw 5 dpi nanx-5.5 opt 2");
  ASSERT_EQ(raster->put_OutputFileType(oftWBMP), S_OK);
  const Variant v = option(raster.get(), u"VERTICALRESOLUTION");
  EXPECT_EQ(V_VT(&v) == VT_R4 ? V_R4(&v) : 0, -5.5f);
  EXPECT_EQ(state(raster.get()), "none out 6 cur -1 lzw 5 dpi nanx-5.5 opt 6");
  // EmptyImage takes the display resolution but leaves the option.
  ASSERT_EQ(raster->put_HorizontalResolution(300.0f), S_OK);
  ASSERT_EQ(raster->EmptyImage(3, 2, -1), S_OK);
  EXPECT_EQ(state(raster.get()), "3x2 out 6 cur -1 lzw 5 dpi 96x96 opt 6");
  const Variant h = option(raster.get(), u"HorizontalResolution");
  EXPECT_EQ(V_VT(&h) == VT_R4 ? V_R4(&h) : 0, 300.0f);
  const std::pair<HRESULT, HRESULT> nulls[] = {
      {raster->get_Width(nullptr), E_INVALIDARG},           {raster->get_Height(nullptr), E_INVALIDARG},
      {raster->get_VerticalResolution(nullptr), E_INVALIDARG}, {raster->get_OutputFileType(nullptr), E_INVALIDARG},
      {raster->get_CurrentFileType(nullptr), E_INVALIDARG},  {raster->get_EnableLZW(nullptr), E_POINTER},
      {raster->get_Pixels(0, 0, nullptr), E_INVALIDARG}};
  for (const auto& [got, want] : nulls) EXPECT_EQ(got, want) << &want - &nulls[0].second;
}

TEST(RasterObjectState, EmptyImageAndPixels) {
  ComPtr<IRasterObject> raster = make_raster();
  LONG pixel = 7;
  expect_report(raster->get_Pixels(0, 0, &pixel), E_FAIL, u"Cannot get access to the pixels: no data loaded");
  expect_report(raster->put_Pixels(0, 0, 1), E_FAIL, u"Cannot get access to the pixels: no data loaded");
  // A transparent fill is stored unblended; argument errors keep the old image.
  ASSERT_EQ(raster->EmptyImage(3, 2, 0x00FF0000), S_OK);
  EXPECT_EQ(read_pixels(raster.get()), std::vector<uint32_t>(6, 0x00FF0000u));
  for (const auto& [w, h] : {std::pair{0, 10}, {10, 0}, {10, -1}, {-1, 10}})
    expect_report(raster->EmptyImage(w, h, -1), E_FAIL, u"Width and Height must be > 0.");
  expect_report(raster->get_Pixels(3, 0, &pixel), E_FAIL,
                u"Cannot get pixel at this coordinates. It possible they are out of bounds!");
  EXPECT_EQ(pixel, 7);
  expect_report(raster->put_Pixels(-1, 0, 0), E_FAIL,
                u"Cannot put pixel at this coordinates. It possible they are out of bounds!");
  ASSERT_EQ(raster->put_Pixels(1, 1, 0x12345678), S_OK);
  EXPECT_EQ(read_pixels(raster.get()),
            (std::vector<uint32_t>{0x00FF0000u, 0x00FF0000u, 0x00FF0000u, 0x00FF0000u, 0x12345678u, 0x00FF0000u}));

  // A size no memory can hold: the report names the cause, and the failed image measures 0 x 0.
  expect_report(raster->EmptyImage(100000, 100000, -1), E_FAIL,
                gdiplus_message(u"EmptyImage", u"RasterObject", u"Out of memory or GDI+ constructor error. GDI+ status code 3"));
  EXPECT_EQ(state(raster.get()).substr(0, 4), "0x0 ");

  // Without a colour, through IDispatch as scripts call it: opaque white.
  OLECHAR name[] = u"emptyimage";
  LPOLESTR names[] = {name};
  DISPID dispid = 0;
  ASSERT_EQ(raster->GetIDsOfNames(IID_NULL, names, 1, 0x400, &dispid), S_OK);
  VARIANT args[2];
  V_VT(&args[0]) = V_VT(&args[1]) = VT_I4;
  V_I4(&args[0]) = 2;  // Height (last argument first)
  V_I4(&args[1]) = 3;
  DISPPARAMS params{args, nullptr, 2, 0};
  ASSERT_EQ(raster->Invoke(dispid, IID_NULL, 0x400, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(read_pixels(raster.get()), std::vector<uint32_t>(6, 0xFFFFFFFFu));
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
  ASSERT_TRUE(clone && clone.get() != raster.get());
  EXPECT_EQ(read_pixels(clone.get()), read_pixels(raster.get()));
  EXPECT_EQ(state(clone.get()), "2x2 out 2 cur -1 lzw 0 dpi 72x150 opt 2");
  const Variant missing = option(clone.get(), u"JPEGQuality");
  EXPECT_EQ(V_VT(&missing), VT_ERROR);
  take_error();
  ASSERT_EQ(clone->put_Pixels(0, 0, 0), S_OK);  // the clone's pixels are its own
  EXPECT_EQ(read_pixels(raster.get())[0], 0xFF010203u);
  // The output type is stored as a number even in automatic mode.
  ComPtr<IRasterObject> automatic = make_raster(1, 1, {0}), copy;
  ASSERT_EQ(automatic->Clone(copy.put()), S_OK);
  EXPECT_EQ(state(copy.get()), "1x1 out 0 cur -1 lzw 0 dpi 96x96 opt 0");

  EXPECT_EQ(make_raster()->Clone(nullptr), E_INVALIDARG);
  IRasterObject* sentinel = reinterpret_cast<IRasterObject*>(0x1234);
  expect_report(make_raster()->Clone(&sentinel), E_FAIL, u"Cannot clone the object: there is no raster any data to be cloned!");
  EXPECT_EQ(sentinel, reinterpret_cast<IRasterObject*>(0x1234));
}

TEST(RasterObjectOptions, NamesMatchInAnyCaseAndResetEmptiesTheStoreButKeepsTheFields) {
  ComPtr<IRasterObject> raster = make_raster();
  Variant fifty;
  V_VT(&fifty) = VT_I4;
  V_I4(&fifty) = 50;
  ASSERT_EQ(raster->put_EncoderOptions(Bstr(u"jpegquality").get(), fifty), S_OK);
  const Variant read = option(raster.get(), u"JPEGQuality");
  EXPECT_EQ(V_VT(&read) == VT_I4 ? V_I4(&read) : 0, 50);
  Variant value;
  expect_report(raster->get_EncoderOptions(Bstr(u"NoSuchThing").get(), &value), E_INVALIDARG, u"Cannot find parameter NoSuchThing");
  EXPECT_EQ(V_VT(&value), VT_EMPTY);
  EXPECT_EQ(raster->get_EncoderOptions(Bstr(u"JPEGQuality").get(), nullptr), E_POINTER);
  ASSERT_EQ(raster->put_HorizontalResolution(300.0f), S_OK);
  ASSERT_EQ(raster->put_OutputFileType(oftBMP), S_OK);
  ASSERT_EQ(raster->ResetEncoderOptions(), S_OK);
  expect_report(raster->get_EncoderOptions(Bstr(u"HorizontalResolution").get(), &value), E_INVALIDARG,
                u"Cannot find parameter HorizontalResolution");
  EXPECT_EQ(state(raster.get()), "none out 1 cur -1 lzw 0 dpi 300x0 opt 'Auto'");
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
  EXPECT_EQ(state(raster.get()), "5x1 out 0 cur -1 lzw 0 dpi 200x96 opt 'Auto'");
  EXPECT_EQ(internal->SetDataPointer(nullptr), S_OK);
  EXPECT_EQ(state(raster.get()).substr(0, 5), "none ");
}

}  // namespace
}  // namespace zx::test
