// Zentarix — MIT licence.
// DrawingTool through its public surface: properties, argument checks and messages, point lists,
// arcs from vectors, tracking, units, the three targets, faults, and a sample sheet to look at.
#include <sys/mman.h>

#include <algorithm>
#include <functional>

#include "DrawingTestSupport.h"

namespace zx::test {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;

void expect_tool_report(HRESULT hr, HRESULT expected, const std::u16string& text) {
  expect_report(hr, expected, text, IID_IDrawingTool, kToolSource);
}

// Columns holding any pixel other than white, as runs [first, last].
std::vector<std::pair<int, int>> ink_runs(const std::vector<uint32_t>& px, int width, int height) {
  std::vector<std::pair<int, int>> runs;
  for (int x = 0; x < width; ++x) {
    bool ink = false;
    for (int y = 0; y < height && !ink; ++y) ink = px[size_t(y) * width + x] != kWhite;
    if (!ink) continue;
    if (!runs.empty() && runs.back().second == x - 1) runs.back().second = x;
    else runs.emplace_back(x, x);
  }
  return runs;
}

TEST(DrawingTool, PropertiesRefuseNothingAndForeignBrushes) {
  ComPtr<IDrawingTool> tool = make_drawing<IDrawingTool>(u"DrawingTool");
  VARIANT_BOOL antialiasing = 0;
  tool->get_AntialiasingOn(&antialiasing);
  EXPECT_EQ(antialiasing, 1);
  expect_tool_report(tool->put_DefaultPen(nullptr), E_INVALIDARG,
                     u"You should not assign Nothing to the DefaultPen property!");
  expect_tool_report(tool->put_DefaultTextInfo(nullptr), E_INVALIDARG,
                     u"You should not assign Nothing to the DefaultTextInfo property!");
  expect_tool_report(tool->put_DefaultBrush(nullptr), E_INVALIDARG,
                     u"You should not assign Nothing to the DefaultBrush property!");
  expect_tool_report(tool->put_DefaultBrush(make_transform(u"TextInfo").get()), E_INVALIDARG,
                     u"Wrong Brush object! Make sure that you try to assign appropriate instanse of Zentarix's brush object!");
  ComPtr<IDispatch> hatch = make_transform(u"HatchBrush"), brush;
  EXPECT_EQ(tool->put_DefaultBrush(hatch.get()), S_OK);
  tool->get_DefaultBrush(brush.put());
  EXPECT_EQ(brush.get(), hatch.get());
  // The default text info takes the tool's unit when it is read.
  tool->put_Unit(dtuInch);
  ComPtr<ITextInfo> info;
  ASSERT_EQ(tool->get_DefaultTextInfo(info.put()), S_OK);
  DrawingToolUnits unit = dtuPixel;
  info->get_Unit(&unit);
  EXPECT_EQ(unit, dtuInch);
}

TEST(DrawingTool, SettingsObjectsOfTheWrongKindAreNamed) {
  ToolOnRaster t(10, 10);
  ComPtr<IDispatch> pen = make_transform(u"Pen"), info = make_transform(u"TextInfo");
  ComPtr<ITextInfo> missing = make_drawing<ITextInfo>(u"TextInfo");
  Bstr family(u"NoSuchFamily123"), text(u"x");
  missing->put_FontName(family.get());
  ComPtr<IDispatch> emptyTexture = make_transform(u"TextureBrush");
  const struct {
    std::function<HRESULT(IDrawingTool*)> call;
    HRESULT hr;
    std::u16string text;
  } cases[] = {
      {[&](IDrawingTool* d) { return d->SetLine(0, 0, 5, 5, info.get()); }, E_NOINTERFACE, u"Invalid pen object passed!"},
      {[&](IDrawingTool* d) { return d->SetRectangle(1, 1, 5, 5, 0, 0, nullptr, pen.get()); }, E_INVALIDARG,
       u"Wrong brush object passed! You must use DrawingSolidBrush, DrawingTextureBrush and DrawingHatchBrush only!"},
      {[&](IDrawingTool* d) { return d->SetRectangle(1, 1, 5, 5, 0, -1, nullptr, emptyTexture.get()); }, E_INVALIDARG,
       u"Something wrong with brush object! If you see this error, please contact " + support()},
      {[&](IDrawingTool* d) { return d->SetText(text.get(), 0, 0, 0, pen.get(), nullptr); }, E_NOINTERFACE,
       u"Wrong TextInfo object!"},
      {[&](IDrawingTool* d) { return d->SetText(text.get(), 0, 0, 0, missing.get(), nullptr); }, E_FAIL,
       u"Cannot use this font! It is possible it is not TrueType font or its size is 0."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(to_utf8(c.text));
    expect_tool_report(c.call(t.tool.get()), c.hr, c.text);
  }
  EXPECT_EQ(t.pixels(), std::vector<uint32_t>(100, kWhite));
  // Apply converts the defaults first: a texture brush without texture stops it.
  t.tool->put_DefaultBrush(emptyTexture.get());
  SafeArray output;
  expect_tool_report(t.tool->Apply(pixel_array(1, 1, {0}).get(), output.put()), E_INVALIDARG,
                     u"Texture is not loaded to the brush! Load some image to the Texture property of the TextureBrush object!");
}

TEST(DrawingTool, ShapesWithoutSizeAreRefusedWithoutARecordAndDrawNothing) {
  ToolOnRaster t(20, 20);
  const std::function<HRESULT(IDrawingTool*)> calls[] = {
      [](IDrawingTool* d) { return d->SetEllipseViaRect(1, 1, 0, 5, 0, -1, nullptr, nullptr); },
      [](IDrawingTool* d) { return d->SetEllipseViaRadius(9, 9, 4, 0, 0, -1, nullptr, nullptr); },
      [](IDrawingTool* d) { return d->SetRectangle(1, 1, 5, -3, 0, -1, nullptr, nullptr); },
      [](IDrawingTool* d) { return d->SetArcViaRectAndAngles(1, 1, 0, 5, 0, 90, nullptr); },
      [](IDrawingTool* d) { return d->SetPieViaRectAndVectors(1, 1, 5, std::nanf(""), 9, 9, 2, 2, -1, nullptr, nullptr); },
  };
  for (const auto& call : calls) {
    clear_error();
    EXPECT_EQ(call(t.tool.get()), E_INVALIDARG);
    EXPECT_FALSE(take_error().present);
  }
  EXPECT_EQ(t.pixels(), std::vector<uint32_t>(400, kWhite));
}

TEST(DrawingTool, PointListsInEitherShapeDrawAlikeAndBadListsAreNamed) {
  const std::vector<std::pair<LONG, LONG>> points = {{2, 3}, {30, 25}, {5, 28}};
  ToolOnRaster grid(32, 32), nested(32, 32);
  ASSERT_EQ(grid.tool->SetPolyline(points_grid(points), nullptr), S_OK);
  ASSERT_EQ(nested.tool->SetPolyline(points_nested({{value(2.0), value(LONG{3})}, {value(30.0), value(25.0)},
                                                    {value(LONG{5}), value(28.0)}}),
                                     nullptr),
            S_OK);
  EXPECT_EQ(grid.pixels(), nested.pixels());
  EXPECT_NE(grid.pixels(), std::vector<uint32_t>(32 * 32, kWhite));

  const std::u16string parsing =
      u"Some error occured during SafeArray with points parsing! If you see this error, please contact " + support();
  Variant notArray = value(LONG{5}), byReference;
  V_VT(&byReference) = VT_BYREF | VT_VARIANT;
  Variant inner = points_grid(points);
  V_VARIANTREF(&byReference) = &inner;
  const struct {
    Variant list;
    bool polyline;
    HRESULT hr;
    std::u16string text;
  } cases[] = {
      {notArray, true, E_INVALIDARG, u"Wrong points array!"},
      {points_grid(points, VT_R8), true, E_INVALIDARG, u"Wrong points array!"},
      {points_grid({}), false, E_INVALIDARG, u"Wrong array of points!"},
      {points_nested({{value(1.0), value(2.0)}, {value(3.0), text_value(u"x")}}), true, HRESULT(0xE000020A),
       u"Array must contain numbers only!"},
      {points_nested({{value(1.0), text_value(u"4")}, {value(3.0), value(4.0)}, {value(5.0), value(1.0)}}), false,
       HRESULT(0xE000020A), parsing},
      {points_grid({{1, 1}, {2, 2}}), false, E_INVALIDARG, u"There are must be at least 3 points!"},
      {byReference, false, S_OK, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(to_utf8(c.text));
    clear_error();
    const HRESULT hr = c.polyline ? grid.tool->SetPolyline(c.list, nullptr)
                                  : grid.tool->SetOpenedCurve(c.list, 0.5f, nullptr);
    if (c.hr == S_OK) EXPECT_EQ(hr, S_OK);
    else expect_tool_report(hr, c.hr, c.text);
  }
  expect_tool_report(grid.tool->SetPolygon(points_grid(points), 0, FillModes(2), nullptr, nullptr), E_FAIL,
                     u"Wrong filling mode! If you see this message, please contact " + support());
}

TEST(DrawingTool, ArcsFromVectorsTakeTheDirectionsSeenFromTheCentre) {
  const struct {
    float x, y, x1, y1, x2, y2, start, sweep;
  } cases[] = {{0, 0, 100, 50, 50, 100, 0, 90},
               {-70, -70, 30, -20, -20, 30, 0, 90},  // a centre left of and above the origin
               {0, 0, 50, 40, 100, 50, 270, 90}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.start);
    ToolOnRaster fromVectors(120, 120), fromAngles(120, 120);
    ASSERT_EQ(fromVectors.tool->SetPieViaRectAndVectors(c.x, c.y, 100, 100, c.x1, c.y1, c.x2, c.y2, -1, nullptr, nullptr), S_OK);
    ASSERT_EQ(fromAngles.tool->SetPieViaRectAndAngles(c.x, c.y, 100, 100, c.start, c.sweep, -1, nullptr, nullptr), S_OK);
    EXPECT_EQ(fromVectors.pixels(), fromAngles.pixels());
  }
}

TEST(DrawingTool, TrackingMovesEachLetterATenthOfTheSizeFurther) {
  ComPtr<ITextInfo> info = make_drawing<ITextInfo>(u"TextInfo");
  info->put_FontSize(40);
  Bstr text(u"llll");
  std::vector<std::pair<int, int>> runs[2];
  for (int tracked = 0; tracked < 2; ++tracked) {
    ToolOnRaster t(160, 60);
    info->put_FontTracking(tracked ? 100 : 0);
    ASSERT_EQ(t.tool->SetText(text.get(), 10, 5, 0, info.get(), nullptr), S_OK);
    runs[tracked] = ink_runs(t.pixels(), 160, 60);
  }
  ASSERT_EQ(runs[0].size(), 4u);
  ASSERT_EQ(runs[1].size(), 4u);
  for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(runs[1][i].first - runs[0][i].first, 4.0 * i, 1.0) << i;
}

TEST(DrawingTool, AnInvalidUnitFailsOnlyWhenThereIsATarget) {
  ComPtr<IDrawingTool> alone = make_drawing<IDrawingTool>(u"DrawingTool");
  alone->put_Unit(DrawingToolUnits(7));
  EXPECT_EQ(alone->SetLine(0, 0, 5, 5, nullptr), S_OK);
  ToolOnRaster t(10, 10);
  t.tool->put_Unit(DrawingToolUnits(7));
  expect_tool_report(t.tool->SetLine(0, 0, 5, 5, nullptr), 0xE0000205, u"Wrong unit!");
  EXPECT_EQ(t.pixels(), std::vector<uint32_t>(100, kWhite));
}

TEST(DrawingTool, ApplyDrawsTheListAsTheRasterTargetGotItAndNothingAfterClear) {
  ToolOnRaster t(40, 30, 0xFF336699);
  ComPtr<IDrawingSolidBrush> red = make_drawing<IDrawingSolidBrush>(u"SolidBrush");
  red->put_color(static_cast<LONG>(0xC0FF0000));
  ASSERT_EQ(t.tool->SetEllipseViaRect(5, 4, 25, 18, 30, -1, nullptr, red.get()), S_OK);
  Bstr text(u"Zx");
  ASSERT_EQ(t.tool->SetText(text.get(), 2, 2, 0, nullptr, nullptr), S_OK);
  const std::vector<uint32_t> input(40 * 30, 0xFF336699);
  SafeArray output;
  ASSERT_EQ(t.tool->Apply(pixel_array(40, 30, input).get(), output.put()), S_OK);
  EXPECT_EQ(array_pixels(output.get()), t.pixels());
  EXPECT_NE(t.pixels(), input);

  // The tool is a transform too: the raster object hands its image to Apply.
  ComPtr<IRasterObject> other = make_raster(40, 30, input);
  ComPtr<IDispatch> transform;
  t.tool.query(transform);
  ASSERT_EQ(other->ApplyTransform(transform.get()), S_OK);
  EXPECT_EQ(read_pixels(other.get()), t.pixels());

  ASSERT_EQ(t.tool->Clear(-1), S_OK);
  EXPECT_EQ(t.pixels(), std::vector<uint32_t>(40 * 30, kWhite));
  ASSERT_EQ(t.tool->Apply(pixel_array(40, 30, input).get(), output.put()), S_OK);
  EXPECT_EQ(array_pixels(output.get()), input);
}

TEST(DrawingTool, DrawsOnAMemoryDeviceContextAndNamesABadHandle) {
  const HDC dc = CreateCompatibleDC(0);
  const HBITMAP bitmap = CreateCompatibleBitmap(dc, 20, 20);
  SelectObject(dc, bitmap);
  ComPtr<IDrawingTool> tool = make_drawing<IDrawingTool>(u"DrawingTool");
  tool->put_hDC(static_cast<LONG>(dc));
  ASSERT_EQ(tool->Clear(-1), S_OK);
  ComPtr<IDrawingSolidBrush> red = make_drawing<IDrawingSolidBrush>(u"SolidBrush");
  red->put_color(static_cast<LONG>(0xFFFF0000));
  ASSERT_EQ(tool->SetRectangle(4, 4, 10, 10, 0, -1, nullptr, red.get()), S_OK);
  EXPECT_EQ(GetPixel(dc, 8, 8), RGB(255, 0, 0));
  EXPECT_EQ(GetPixel(dc, 4, 8), RGB(0, 0, 0));  // the default pen's outline
  ASSERT_EQ(tool->Clear(static_cast<LONG>(0xFF0000FF)), S_OK);
  EXPECT_EQ(GetPixel(dc, 8, 8), RGB(0, 0, 255));
  tool->put_hDC(0);
  DeleteDC(dc);
  DeleteObject(bitmap);

  tool->put_hDC(0x7FFF0001);
  expect_tool_report(tool->SetLine(0, 0, 5, 5, nullptr), E_FAIL,
                     gdiplus_message(u"AddPrimitive (HDC)", u"DrawingTool", u"Invalid parameter. GDI+ status code 2"));
  expect_tool_report(tool->Clear(-1), E_FAIL, u"Cannot clear given hDC. Make sure that you try to use valid handle!");
}

TEST(DrawingTool, UnreadableArraysEndTheCallWithTheirMessage) {
  const size_t bytes = 4096;
  void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(memory, MAP_FAILED);
  Variant list = points_grid({{1, 2}, {3, 4}, {5, 6}});
  SAFEARRAY* array = V_ARRAY(&list);
  void* own = array->pvData;
  array->pvData = memory;
  mprotect(memory, bytes, PROT_NONE);
  ComPtr<IDrawingTool> tool = make_drawing<IDrawingTool>(u"DrawingTool");
  expect_tool_report(tool->SetPolyline(list, nullptr), 0xE000020A,
                     u"Some error occured during SafeArray with points parsing! If you see this error, please contact " +
                         support());
  ComPtr<ITextInfo> info = make_drawing<ITextInfo>(u"TextInfo");
  array->rgsabound[0].cElements = 1;  // a one-dimensional view of the same memory
  array->cDims = 1;
  expect_report(info->put_Kernings(list), E_INVALIDARG, u"Kernings must be a one-dimensional array of numbers!",
                IID_ITextInfo, u"Zentarix.TextInfo.1");
  array->cDims = 2;
  array->rgsabound[0].cElements = 2;
  array->pvData = own;
  munmap(memory, bytes);
}

// Every primitive, pen style, brush and a text line on one sheet, written for a person to look at
// (drawing-sample-sheet.png in the build tree). Each cell must have received ink.
TEST(DrawingTool, SampleSheetShowsEveryPrimitivePenAndBrush) {
  const int cell = 120, columns = 6, rows = 5;
  ToolOnRaster t(cell * columns, cell * rows);
  ComPtr<IDrawingPen> pen = make_drawing<IDrawingPen>(u"Pen");
  pen->put_Width(4);
  pen->put_color(static_cast<LONG>(0xFF1F4E79));
  ComPtr<IDrawingHatchBrush> hatch = make_drawing<IDrawingHatchBrush>(u"HatchBrush");
  hatch->put_HatchColor(static_cast<LONG>(0xFF2E7D32));
  hatch->put_BackgroundColor(static_cast<LONG>(0xFFE8F5E9));
  ComPtr<IDrawingTextureBrush> texture = make_drawing<IDrawingTextureBrush>(u"TextureBrush");
  texture->put_Texture(make_raster(2, 2, {0xFFFF9800, 0xFF3F51B5, 0xFF3F51B5, 0xFFFF9800}).get());
  texture->put_ScaleFactor(6);
  texture->put_RotateFactor(30);
  ComPtr<IDrawingSolidBrush> solid = make_drawing<IDrawingSolidBrush>(u"SolidBrush");
  solid->put_color(static_cast<LONG>(0xA0E53935));
  ComPtr<ITextInfo> font = make_drawing<ITextInfo>(u"TextInfo");
  font->put_FontSize(22);
  font->put_IsBold(-1);
  IDrawingTool* d = t.tool.get();
  auto at = [&](int i) { return std::pair<float, float>(float(i % columns * cell), float(i / columns * cell)); };
  const std::function<HRESULT(float, float)> primitives[] = {
      [&](float x, float y) { return d->SetEllipseViaRect(x + 10, y + 25, 100, 70, 20, -1, pen.get(), solid.get()); },
      [&](float x, float y) { return d->SetEllipseViaRadius(x + 60, y + 60, 45, 30, 0, -1, pen.get(), hatch.get()); },
      [&](float x, float y) { return d->SetLine(x + 10, y + 10, x + 110, y + 110, pen.get()); },
      [&](float x, float y) { return d->SetRectangle(x + 20, y + 20, 80, 80, 15, -1, pen.get(), texture.get()); },
      [&](float x, float y) { return d->SetBezierSpline(x + 10, y + 100, x + 30, y, x + 90, y + 120, x + 110, y + 20, pen.get()); },
      [&](float x, float y) {
        return d->SetPolyline(points_grid({{LONG(x) + 10, LONG(y) + 100}, {LONG(x) + 50, LONG(y) + 20}, {LONG(x) + 110, LONG(y) + 90}}), pen.get());
      },
      [&](float x, float y) {
        return d->SetPolygon(points_grid({{LONG(x) + 60, LONG(y) + 5}, {LONG(x) + 85, LONG(y) + 110}, {LONG(x) + 5, LONG(y) + 40},
                                          {LONG(x) + 115, LONG(y) + 40}, {LONG(x) + 35, LONG(y) + 110}}),
                             -1, fmAlternate, pen.get(), solid.get());
      },
      [&](float x, float y) {
        return d->SetOpenedCurve(points_grid({{LONG(x) + 10, LONG(y) + 60}, {LONG(x) + 40, LONG(y) + 15}, {LONG(x) + 80, LONG(y) + 105}, {LONG(x) + 110, LONG(y) + 60}}), 0.5f, pen.get());
      },
      [&](float x, float y) {
        return d->SetClosedCurve(points_grid({{LONG(x) + 60, LONG(y) + 10}, {LONG(x) + 110, LONG(y) + 60}, {LONG(x) + 60, LONG(y) + 110}, {LONG(x) + 10, LONG(y) + 60}}), 0.8f, -1, fmWinding, pen.get(), hatch.get());
      },
      [&](float x, float y) { return d->SetArcViaRectAndVectors(x + 10, y + 20, 100, 80, x + 110, y + 60, x + 10, y + 40, pen.get()); },
      [&](float x, float y) { return d->SetArcViaRectAndAngles(x + 10, y + 20, 100, 80, 45, 270, pen.get()); },
      [&](float x, float y) { return d->SetPieViaRectAndAngles(x + 10, y + 10, 100, 100, -60, 300, -1, pen.get(), solid.get()); },
  };
  int i = 0;
  for (const auto& primitive : primitives) {
    const auto [x, y] = at(i++);
    ASSERT_EQ(primitive(x, y), S_OK) << i;
  }
  // Pen styles: the five dashes, each with its own caps and joins.
  for (LONG style = 0; style < 5; ++style) {
    const auto [x, y] = at(i++);
    ComPtr<IDrawingPen> styled;
    pen->Clone(styled.put());
    styled->put_DashType(DashStyleTypes(style));
    styled->put_StartCapType(LineCapTypes(style + 4));
    styled->put_EndCapType(LineCapTypes(style % 4));
    styled->put_DashCapType(DashCapTypes(style % 3));
    styled->put_LineJoinBehaviour(LineJoinTypes(style % 4));
    ASSERT_EQ(d->SetPolyline(points_grid({{LONG(x) + 15, LONG(y) + 100}, {LONG(x) + 60, LONG(y) + 20}, {LONG(x) + 105, LONG(y) + 100}}), styled.get()), S_OK);
  }
  // Hatch styles, a sample of them in one cell each.
  for (LONG style : {0, 5, 12, 36, 40, 52}) {
    const auto [x, y] = at(i++);
    hatch->put_HatchType(HatchTypes(style));
    ASSERT_EQ(d->SetRectangle(x + 10, y + 10, 100, 100, 0, -1, nullptr, hatch.get()), S_OK);
  }
  Bstr line(u"Zentarix draws text: Arial 22 bold");
  ASSERT_EQ(d->SetText(line.get(), 10, float(cell * 4 + 40), 0, font.get(), nullptr), S_OK);

  const std::vector<uint32_t> px = t.pixels();
  for (int k = 0; k < i; ++k) {
    const auto [x, y] = at(k);
    int ink = 0;
    for (int yy = int(y); yy < int(y) + cell; ++yy)
      for (int xx = int(x); xx < int(x) + cell; ++xx) ink += px[size_t(yy) * t.width + xx] != kWhite;
    EXPECT_GT(ink, 150) << "cell " << k;
  }
  Bstr file(to_utf16(std::string(ZX_BINARY_DIR) + "/drawing-sample-sheet.png"));
  EXPECT_EQ(t.raster->SaveFile(file.get(), nullptr), S_OK);
}

}  // namespace
}  // namespace zx::test
