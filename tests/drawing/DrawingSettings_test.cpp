// Zentarix — MIT licence.
// The pen, brush and text settings: initial values, checks and messages, clones, and measuring.
#include <functional>

#include "DrawingTestSupport.h"

namespace zx::test {
namespace {

TEST(DrawingPen, StartsAsAThinBlackBevelledPenAndAClonesCopiesEveryProperty) {
  ComPtr<IDrawingPen> pen = make_drawing<IDrawingPen>(u"Pen");
  FLOAT width = 0, limit = 0;
  LONG color = 0;
  LineJoinTypes join = ljtMiter;
  pen->get_Width(&width);
  pen->get_color(&color);
  pen->get_LineJoinBehaviour(&join);
  pen->get_MiterLimit(&limit);
  EXPECT_EQ(width, 1.0f);
  EXPECT_EQ(color, -16777216);
  EXPECT_EQ(join, ljtBevel);
  EXPECT_EQ(limit, 10.0f);

  pen->put_Width(3.5f);
  pen->put_color(0x12345678);
  pen->put_DashType(dstDashDot);
  pen->put_StartCapType(lctArrowAnchor);
  pen->put_EndCapType(lctRound);
  pen->put_LineJoinBehaviour(ljtMiterClipped);
  pen->put_MiterLimit(2.5f);
  pen->put_DashCapType(dctTriangle);
  ComPtr<IDrawingPen> clone;
  ASSERT_EQ(pen->Clone(clone.put()), S_OK);
  ASSERT_NE(clone.get(), pen.get());
  for (IDrawingPen* p : {pen.get(), clone.get()}) {
    DashStyleTypes dash;
    LineCapTypes start, end;
    DashCapTypes dashCap;
    p->get_Width(&width), p->get_color(&color), p->get_DashType(&dash), p->get_StartCapType(&start);
    p->get_EndCapType(&end), p->get_LineJoinBehaviour(&join), p->get_MiterLimit(&limit), p->get_DashCapType(&dashCap);
    EXPECT_EQ(width, 3.5f);
    EXPECT_EQ(color, 0x12345678);
    EXPECT_EQ(dash, dstDashDot);
    EXPECT_EQ(start, lctArrowAnchor);
    EXPECT_EQ(end, lctRound);
    EXPECT_EQ(join, ljtMiterClipped);
    EXPECT_EQ(limit, 2.5f);
    EXPECT_EQ(dashCap, dctTriangle);
  }
  EXPECT_EQ(pen->Clone(nullptr), E_INVALIDARG);
}

TEST(DrawingSettings, EnumerationSettersRefuseValuesOutsideTheirEnumerationWithoutARecord) {
  const struct {
    const char16_t* progid;
    const char16_t* property;
    LONG last;  // the highest value accepted; last + 1 and -1 are refused
  } cases[] = {{u"Pen", u"DashType", 4},          {u"Pen", u"StartCapType", 8},     {u"Pen", u"EndCapType", 8},
               {u"Pen", u"LineJoinBehaviour", 3}, {u"Pen", u"DashCapType", 2},      {u"HatchBrush", u"HatchType", 52},
               {u"TextureBrush", u"WrapMode", 4}, {u"TextInfo", u"TextAlignment", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(to_utf8(std::u16string(c.progid) + u"." + c.property));
    ComPtr<IDispatch> object = make_transform(c.progid);
    EXPECT_EQ(put(object.get(), c.property, value(c.last)), S_OK);
    for (LONG refused : {c.last + 1, LONG{-1}}) {
      clear_error();
      EXCEPINFO error{};
      std::u16string name(c.property);
      LPOLESTR names[] = {name.data()};
      DISPID id = 0;
      ASSERT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0x400, &id), S_OK);
      Variant arg = value(refused);
      DISPID named = DISPID_PROPERTYPUT;
      DISPPARAMS params{&arg, &named, 1, 1};
      EXPECT_EQ(object->Invoke(id, IID_NULL, 0x400, DISPATCH_PROPERTYPUT, &params, nullptr, &error, nullptr),
                DISP_E_EXCEPTION);
      EXPECT_EQ(error.scode, E_INVALIDARG);
      EXPECT_EQ(error.bstrSource, nullptr);  // no error record
      SysFreeString(error.bstrDescription);
      EXPECT_EQ(get(object.get(), c.property), c.last);
    }
  }
}

TEST(DrawingTextureBrush, ScaleFactorMustBePositiveAndClonesShareTheTexture) {
  ComPtr<IDrawingTextureBrush> brush = make_drawing<IDrawingTextureBrush>(u"TextureBrush");
  for (FLOAT refused : {0.0f, -2.0f, std::nanf("")}) {
    expect_report(brush->put_ScaleFactor(refused), E_INVALIDARG, u"Scale factor must be strictly larger than 0!",
                  IID_IDrawingTextureBrush, u"Zentarix.TextureBrush.1");
  }
  EXPECT_EQ(brush->put_ScaleFactor(0.5f), S_OK);
  ComPtr<IRasterObject> texture = make_raster(2, 2, {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF});
  ASSERT_EQ(brush->put_Texture(texture.get()), S_OK);
  ComPtr<IDrawingTextureBrush> clone;
  ASSERT_EQ(brush->Clone(clone.put()), S_OK);
  ComPtr<IRasterObject> shared;
  ASSERT_EQ(clone->get_Texture(shared.put()), S_OK);
  EXPECT_EQ(shared.get(), texture.get());
  FLOAT scale = 0;
  clone->get_ScaleFactor(&scale);
  EXPECT_EQ(scale, 0.5f);
}

TEST(TextInfo, FontNameRefusesAnEmptyNameAndKeepsTheOldOne) {
  ComPtr<ITextInfo> info = make_drawing<ITextInfo>(u"TextInfo");
  const std::u16string refused =
      u"Cannot assign to font name. It is possible not enough memory or new font name is zero-length string!";
  Bstr empty(u"");
  expect_report(info->put_FontName(empty.get()), E_OUTOFMEMORY, refused, IID_ITextInfo, u"Zentarix.TextInfo.1");
  expect_report(info->put_FontName(nullptr), E_OUTOFMEMORY, refused, IID_ITextInfo, u"Zentarix.TextInfo.1");
  Bstr name;
  ASSERT_EQ(info->get_FontName(name.put()), S_OK);
  EXPECT_EQ(name.view(), u"Arial");
  EXPECT_EQ(info->get_FontName(nullptr), E_POINTER);
}

TEST(TextInfo, WidthAddsTrackingAndKerningsInThousandthsOfTheSizeHeightDoesNot) {
  ComPtr<ITextInfo> info = make_drawing<ITextInfo>(u"TextInfo");
  info->put_FontSize(30);
  Bstr text(u"AB");
  FLOAT plainWidth = 0, plainHeight = 0, width = 0, height = 0;
  ASSERT_EQ(info->MeasureTextWidth(text.get(), &plainWidth), S_OK);
  ASSERT_EQ(info->MeasureTextHeight(text.get(), &plainHeight), S_OK);
  EXPECT_GT(plainWidth, 30.0f);
  EXPECT_NEAR(plainHeight, 30 * 2355.0 / 2048, 1e-3);

  const struct {
    double tracking;
    std::vector<LONG> kernings;
    double extra;  // in font sizes
  } cases[] = {{100, {}, 0.2}, {0, {50}, 0.05}, {-20, {300, 100, 999}, 0.36}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extra);
    info->put_FontTracking(c.tracking);
    Variant kernings;
    V_VT(&kernings) = VT_ARRAY | VT_I4;
    V_ARRAY(&kernings) = SafeArrayCreateVector(VT_I4, 0, ULONG(c.kernings.size()));
    for (LONG i = 0; i < LONG(c.kernings.size()); ++i)
      SafeArrayPutElement(V_ARRAY(&kernings), &i, const_cast<LONG*>(&c.kernings[size_t(i)]));
    ASSERT_EQ(info->put_Kernings(kernings), S_OK);
    ASSERT_EQ(info->MeasureTextWidth(text.get(), &width), S_OK);
    ASSERT_EQ(info->MeasureTextHeight(text.get(), &height), S_OK);
    EXPECT_NEAR(width, plainWidth + c.extra * 30, 1e-3);
    EXPECT_EQ(height, plainHeight);
  }
  Variant words = points_nested({{text_value(u"a"), text_value(u"b")}});
  expect_report(info->put_Kernings(words), E_INVALIDARG, u"Kernings must be a one-dimensional array of numbers!",
                IID_ITextInfo, u"Zentarix.TextInfo.1");
}

TEST(TextInfo, UnknownFamiliesAndUnitsGiveTheGdiplusMessageWhilePointsMeasureLikePixels) {
  ComPtr<ITextInfo> info = make_drawing<ITextInfo>(u"TextInfo");
  Bstr text(u"Zentarix");
  FLOAT pixels = 0, points = 0;
  ASSERT_EQ(info->MeasureTextWidth(text.get(), &pixels), S_OK);
  info->put_Unit(dtuPoint);  // a 10-point font measured in points on a 96 dpi surface
  ASSERT_EQ(info->MeasureTextWidth(text.get(), &points), S_OK);
  EXPECT_NEAR(points, pixels, 1e-3);
  EXPECT_EQ(info->MeasureTextWidth(text.get(), nullptr), E_POINTER);

  const struct {
    const char16_t* family;
    LONG unit;
    const char16_t* status;
  } cases[] = {
      {u"NoSuchFamily123", dtuPixel, u"Specified font family is not installed on your computer. GDI+ status code 14"},
      {u"Arial", 7, u"Invalid parameter. GDI+ status code 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(to_utf8(c.family));
    Bstr family(c.family);
    info->put_FontName(family.get());
    info->put_Unit(DrawingToolUnits(c.unit));
    FLOAT sentinel = -7;
    expect_report(info->MeasureTextHeight(text.get(), &sentinel), E_FAIL,
                  gdiplus_message(u"MeasureTextHeight", u"TextInfo", c.status), IID_ITextInfo, u"Zentarix.TextInfo.1");
    EXPECT_EQ(sentinel, -7);
  }
}

}  // namespace
}  // namespace zx::test
