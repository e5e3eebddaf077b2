// Zentarix GDI+ layer — MIT licence.
// Vector drawing against expectations computed here: coverage of fills, the aliased one-pixel line,
// hatch tiles, dash runs, miters, arcs, splines, texture wrapping, untouched pixels and text metrics
// read from the font file itself.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include <gdiplus.h>

using namespace Gdiplus;

namespace {

constexpr ARGB kBlack = 0xFF000000, kWhite = 0xFFFFFFFF;

// A bitmap over pixels the test reads directly.
struct Canvas {
  int w, h;
  std::vector<uint32_t> px;
  std::unique_ptr<Bitmap> bitmap;
  std::unique_ptr<Graphics> g;
  Canvas(int width, int height, uint32_t fill = 0) : w(width), h(height), px(size_t(width) * height, fill) {
    bitmap = std::make_unique<Bitmap>(w, h, w * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(px.data()));
    g = std::make_unique<Graphics>(bitmap.get());
  }
  uint32_t at(int x, int y) const { return px[size_t(y) * w + x]; }
  std::vector<std::pair<int, int>> drawn(uint32_t background = 0) const {
    std::vector<std::pair<int, int>> out;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (at(x, y) != background) out.emplace_back(x, y);
    return out;
  }
};

double distance_to_segment(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double t = std::clamp(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(px - ax - t * dx, py - ay - t * dy);
}

TEST(VectorDrawing, AntialiasedRectangleCoversEdgeColumnsByHalf) {
  Canvas c(40, 40);
  c.g->SetSmoothingMode(SmoothingModeAntiAlias);
  SolidBrush black{Color(kBlack)};
  ASSERT_EQ(c.g->FillRectangle(&black, RectF(10, 10, 20, 20)), Ok);
  for (int y : {15, 20, 25}) {
    SCOPED_TRACE(y);
    EXPECT_EQ(c.at(9, y), 0u);
    EXPECT_EQ(c.at(31, y), 0u);
    EXPECT_NEAR(int(c.at(10, y) >> 24), 128, 3);
    EXPECT_NEAR(int(c.at(30, y) >> 24), 128, 3);
    for (int x = 11; x <= 29; ++x) EXPECT_EQ(c.at(x, y), kBlack) << x;
  }
  EXPECT_NEAR(int(c.at(10, 10) >> 24), 64, 3);  // a quarter at the corner
}

TEST(VectorDrawing, AliasedOnePixelLineStaysWithinHalfAPixelOnePixelPerColumn) {
  const struct { REAL x0, y0, x1, y1; } lines[] = {{2, 3, 57, 21}, {5, 50, 20, 5}, {3, 40, 60, 40}, {10, 10, 40, 40},
                                                   {60, 2, 4, 30}};
  for (const auto& l : lines) {
    SCOPED_TRACE(testing::Message() << l.x0 << "," << l.y0 << " - " << l.x1 << "," << l.y1);
    Canvas c(64, 64);
    Pen pen(Color(kBlack), 1);
    ASSERT_EQ(c.g->DrawLine(&pen, l.x0, l.y0, l.x1, l.y1), Ok);
    const auto pixels = c.drawn();
    const bool shallow = std::fabs(l.x1 - l.x0) >= std::fabs(l.y1 - l.y0);
    const int span = int(shallow ? std::fabs(l.x1 - l.x0) : std::fabs(l.y1 - l.y0)) + 1;
    std::vector<int> perLine(size_t(span), 0);
    for (auto [x, y] : pixels) {
      EXPECT_LE(distance_to_segment(x, y, l.x0, l.y0, l.x1, l.y1), 0.5 + 1e-9) << x << "," << y;
      EXPECT_EQ(c.at(x, y), kBlack);
      const int k = shallow ? x - int(std::min(l.x0, l.x1)) : y - int(std::min(l.y0, l.y1));
      ASSERT_TRUE(k >= 0 && k < span);
      ++perLine[size_t(k)];
    }
    for (int k = 0; k < span; ++k) EXPECT_EQ(perLine[size_t(k)], 1) << "column or row " << k;
  }
}

TEST(VectorDrawing, HatchStylesNamedByTheirPatternMatchTheirTilesOnTheDeviceGrid) {
  const struct {
    HatchStyle style;
    std::function<bool(int, int)> fore;
  } styles[] = {
      {HatchStyleHorizontal, [](int, int y) { return y % 8 == 0; }},
      {HatchStyleVertical, [](int x, int) { return x % 8 == 0; }},
      {HatchStyleForwardDiagonal, [](int x, int y) { return (x - y + 64) % 8 == 0; }},
      {HatchStyleBackwardDiagonal, [](int x, int y) { return (x + y) % 8 == 7; }},
      {HatchStyleCross, [](int x, int y) { return x % 8 == 0 || y % 8 == 0; }},
      {HatchStyleDiagonalCross, [](int x, int y) { return (x - y + 64) % 8 == 0 || (x + y) % 8 == 7; }},
      {HatchStyle50Percent, [](int x, int y) { return (x + y) % 2 == 0; }},
  };
  for (const auto& s : styles) {
    SCOPED_TRACE(int(s.style));
    Canvas c(24, 24);
    HatchBrush brush(s.style, Color(kBlack), Color(kWhite));
    // Away from the origin: the pattern follows the device grid, not the shape.
    ASSERT_EQ(c.g->FillRectangle(&brush, RectF(3, 5, 19, 17)), Ok);
    for (int y = 5; y < 22; ++y)
      for (int x = 3; x < 22; ++x) ASSERT_EQ(c.at(x, y), s.fore(x, y) ? kBlack : kWhite) << x << "," << y;
    EXPECT_EQ(c.at(2, 10), 0u);
    EXPECT_EQ(c.at(10, 22), 0u);
  }
}

TEST(VectorDrawing, DashedHairlineRunsFollowThePattern) {
  const struct {
    DashStyle style;
    std::vector<int> runs;  // on, off, on, off ...
  } styles[] = {{DashStyleDash, {3, 1}}, {DashStyleDot, {1, 1}}, {DashStyleDashDot, {3, 1, 1, 1}},
                {DashStyleDashDotDot, {3, 1, 1, 1, 1, 1}}};
  for (const auto& s : styles) {
    SCOPED_TRACE(int(s.style));
    Canvas c(64, 3);
    Pen pen(Color(kBlack), 1);
    pen.SetDashStyle(s.style);
    ASSERT_EQ(c.g->DrawLine(&pen, 0, 1, 63, 1), Ok);
    int x = 0;
    for (int repeat = 0; repeat < 4; ++repeat)
      for (size_t k = 0; k < s.runs.size(); ++k)
        for (int i = 0; i < s.runs[k]; ++i, ++x) ASSERT_EQ(c.at(x, 1), k % 2 == 0 ? kBlack : 0u) << x;
  }
}

TEST(VectorDrawing, LineCapsReachAsFarAsTheirShapes) {
  // A 10-pixel pen ending at (60, 20); probes (63, 23), (64, 16), (64, 20) and (69, 20) beyond the end.
  const struct {
    LineCap cap;
    bool a, b, c, d;
  } caps[] = {{LineCapFlat, 0, 0, 0, 0},         {LineCapSquare, 1, 1, 1, 0},       {LineCapRound, 1, 0, 1, 0},
              {LineCapTriangle, 0, 0, 1, 0},     {LineCapSquareAnchor, 1, 1, 1, 1}, {LineCapRoundAnchor, 1, 1, 1, 1},
              {LineCapDiamondAnchor, 1, 1, 1, 1}, {LineCapArrowAnchor, 0, 0, 0, 0}};
  for (const auto& c : caps) {
    SCOPED_TRACE(int(c.cap));
    Canvas canvas(90, 40);
    Pen pen(Color(kBlack), 10);
    pen.SetEndCap(c.cap);
    ASSERT_EQ(canvas.g->DrawLine(&pen, 20, 20, 60, 20), Ok);
    EXPECT_EQ(canvas.at(59, 20), kBlack);
    EXPECT_EQ(canvas.at(63, 23), c.a ? kBlack : 0u);
    EXPECT_EQ(canvas.at(64, 16), c.b ? kBlack : 0u);
    EXPECT_EQ(canvas.at(64, 20), c.c ? kBlack : 0u);
    EXPECT_EQ(canvas.at(69, 20), c.d ? kBlack : 0u);
    // The arrow's tip is the end point; its base, two widths back, is twice as wide as the pen.
    EXPECT_EQ(canvas.at(45, 27), c.cap == LineCapArrowAnchor ? kBlack : 0u);
  }
}

TEST(VectorDrawing, MiterCutsAtTheLimitWhereMiterClippedBevels) {
  const struct {
    LineJoin join;
    bool at10;  // (100, 40): 10 px beyond the vertex, inside the limit of 4 x 10 / 2
  } joins[] = {{LineJoinMiter, true}, {LineJoinMiterClipped, false}};
  for (const auto& j : joins) {
    SCOPED_TRACE(int(j.join));
    Canvas c(140, 80);
    Pen pen(Color(kBlack), 10);
    pen.SetLineJoin(j.join);
    pen.SetMiterLimit(4);
    const PointF points[] = {{10, 50}, {90, 40}, {10, 30}};  // the full miter would reach 40 px beyond
    ASSERT_EQ(c.g->DrawLines(&pen, points, 3), Ok);
    EXPECT_EQ(c.at(90, 40), kBlack);  // the bevel reaches 0.6 px beyond the vertex
    EXPECT_EQ(c.at(100, 40), j.at10 ? kBlack : 0u);
    EXPECT_EQ(c.at(115, 40), 0u);
  }
}

TEST(VectorDrawing, ArcAnglesAreGeometricDirectionsFromTheCentre) {
  Canvas c(210, 110);
  Pen pen(Color(kBlack), 1);
  ASSERT_EQ(c.g->DrawArc(&pen, RectF(0, 0, 200, 100), 0, 45), Ok);
  const double a = 45 * M_PI / 180, d = 1 / std::sqrt(std::pow(std::cos(a) / 100, 2) + std::pow(std::sin(a) / 50, 2));
  const double ex = 100 + d * std::cos(a), ey = 50 + d * std::sin(a);
  double nearest = 1e9;
  for (auto [x, y] : c.drawn()) {
    nearest = std::min(nearest, std::hypot(x - ex, y - ey));
    EXPECT_LE(std::atan2(y - 50.0, x - 100.0) * 180 / M_PI, 45 + 1.5) << x << "," << y;
  }
  EXPECT_LE(nearest, 1.0);
}

// A start angle of 1e30 degrees once lost every digit of the sweep: the arc shrank to a point.
TEST(VectorDrawing, HugeStartAnglesKeepTheirSweep) {
  for (const REAL start : {1e30f, -1e30f, 7.2e9f}) {
    GraphicsPath path;
    ASSERT_EQ(path.AddArc(RectF(0, 0, 200, 100), start, 90), Ok);
    const INT n = path.GetPointCount();
    ASSERT_TRUE(n == 4 || n == 7) << n;
    std::vector<PointF> p(n);
    ASSERT_EQ(path.GetPathPoints(p.data(), n), Ok);
    // A quarter turn's ends lie at least sqrt(50^2 + 50^2) apart on this ellipse.
    EXPECT_GE(std::hypot(p[n - 1].X - p[0].X, p[n - 1].Y - p[0].Y), 70.0) << start;
    for (INT i = 0; i < n; i += 3)  // the points on the curve; control points may stand outside
      EXPECT_NEAR(std::pow((p[i].X - 100) / 100, 2) + std::pow((p[i].Y - 50) / 50, 2), 1.0, 1e-3) << start;
  }
}

TEST(VectorDrawing, CardinalSplineControlPointsFollowTheTension) {
  const PointF p[] = {{0, 0}, {30, 60}, {90, 30}};
  for (REAL t : {0.0f, 0.5f, 1.0f}) {
    SCOPED_TRACE(t);
    GraphicsPath path;
    ASSERT_EQ(path.AddCurve(p, 3, t), Ok);
    ASSERT_EQ(path.GetPointCount(), 7);
    PointF got[7];
    BYTE types[7];
    path.GetPathPoints(got, 7);
    path.GetPathTypes(types, 7);
    auto near = [&](PointF a, PointF b, PointF c, double k) { return PointF(REAL(a.X + k * (b.X - c.X)), REAL(a.Y + k * (b.Y - c.Y))); };
    const PointF want[7] = {p[0], near(p[0], p[1], p[0], t / 3), near(p[1], p[0], p[2], t / 3), p[1],
                            near(p[1], p[2], p[0], t / 3), near(p[2], p[1], p[2], t / 3), p[2]};
    for (int i = 0; i < 7; ++i) {
      EXPECT_NEAR(got[i].X, want[i].X, 1e-4) << i;
      EXPECT_NEAR(got[i].Y, want[i].Y, 1e-4) << i;
      EXPECT_EQ(types[i], i == 0 ? PathPointTypeStart : PathPointTypeBezier);
    }
  }
}

TEST(VectorDrawing, TextureWrapModesRepeatMirrorOrClampTheImage) {
  const uint32_t texels[4] = {0xFF112233, 0xFF445566, 0xFF778899, 0xFFAABBCC};  // 2 x 2
  std::vector<uint32_t> copy(texels, texels + 4);
  Bitmap image(2, 2, 8, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(copy.data()));
  auto mirror = [](int v) { return v % 4 < 2 ? v % 4 : 3 - v % 4; };
  const struct {
    WrapMode mode;
    std::function<uint32_t(int, int)> want;
  } modes[] = {
      {WrapModeTile, [&](int x, int y) { return texels[(y % 2) * 2 + x % 2]; }},
      {WrapModeTileFlipX, [&](int x, int y) { return texels[(y % 2) * 2 + mirror(x)]; }},
      {WrapModeTileFlipY, [&](int x, int y) { return texels[mirror(y) * 2 + x % 2]; }},
      {WrapModeTileFlipXY, [&](int x, int y) { return texels[mirror(y) * 2 + mirror(x)]; }},
      {WrapModeClamp, [&](int x, int y) { return x < 2 && y < 2 ? texels[y * 2 + x] : 0x00ABCDEFu; }},
  };
  for (const auto& m : modes) {
    SCOPED_TRACE(int(m.mode));
    Canvas c(8, 4, 0x00ABCDEF);
    TextureBrush brush(&image, m.mode);
    ASSERT_EQ(c.g->FillRectangle(&brush, RectF(0, 0, 8, 4)), Ok);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 8; ++x) EXPECT_EQ(c.at(x, y), m.want(x, y)) << x << "," << y;
  }
}

TEST(VectorDrawing, OnlyCoveredPixelsChangeOnBitmapsOfAnySize) {
  Canvas c(60, 40, 0x00FF0000);  // transparent red keeps its colour bits where nothing is drawn
  c.g->SetSmoothingMode(SmoothingModeAntiAlias);
  SolidBrush brush(Color(0x800000FF));
  ASSERT_EQ(c.g->FillEllipse(&brush, RectF(10, 10, 20, 20)), Ok);
  EXPECT_EQ(c.at(20, 20), 0x800000FFu);
  for (auto [x, y] : c.drawn(0x00FF0000)) EXPECT_LE(std::hypot(x - 20.0, y - 20.0), 11.0) << x << "," << y;

  // Wider than cairo's 32767-pixel surfaces: drawn in tiles of the primitive's bounds.
  Canvas wide(40000, 2);
  Pen pen(Color(kBlack), 1);
  ASSERT_EQ(wide.g->DrawLine(&pen, 0, 0, 39999, 0), Ok);
  for (int x : {0, 4095, 4096, 32767, 32768, 39999}) EXPECT_EQ(wide.at(x, 0), kBlack) << x;
  EXPECT_EQ(wide.drawn().size(), 40000u);
}

// Liberation Sans as its file says: the sum of the glyphs' advances, and the line spacing.
struct FontFile {
  double advance = 0, lineSpacing = 0;
  FontFile(const char16_t* text, double size) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Liberation Sans"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8* file = nullptr;
    FcPatternGetString(match, FC_FILE, 0, &file);
    FT_Library library;
    FT_Face face;
    FT_Init_FreeType(&library);
    if (FT_New_Face(library, reinterpret_cast<const char*>(file), 0, &face) == 0) {
      const double scale = size / face->units_per_EM;
      for (const char16_t* p = text; *p; ++p) {
        FT_Load_Char(face, *p, FT_LOAD_NO_SCALE);
        advance += face->glyph->advance.x * scale;
      }
      const auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
      const auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
      lineSpacing = (os2->usWinAscent + os2->usWinDescent + hhea->Line_Gap) * scale;
      FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    FcPatternDestroy(match);
    FcPatternDestroy(pattern);
  }
};

TEST(VectorDrawing, FamiliesResolveThroughMetricAliasesOnly) {
  for (const char16_t* name : {u"Arial", u"Times New Roman", u"Courier New", u"Liberation Sans"}) {
    FontFamily family(name);
    EXPECT_EQ(family.GetLastStatus(), Ok) << std::u16string_view(name).size();
  }
  FontFamily missing(u"NoSuchFamily123");
  EXPECT_EQ(missing.GetLastStatus(), FontFamilyNotFound);
  FontFamily arial(u"Arial");
  EXPECT_EQ(arial.GetEmHeight(FontStyleRegular), 2048);
  EXPECT_EQ(arial.GetLineSpacing(FontStyleRegular), 2355);
}

TEST(VectorDrawing, ArialMeasuresAsLiberationSansAdvancesPlusPaddingAndLeavesInk) {
  const char16_t text[] = u"Hello, vector World";
  const double size = 40;
  const FontFile file(text, size);
  Canvas c(500, 80);
  Font font(u"Arial", REAL(size), FontStyleRegular, UnitPixel);
  ASSERT_EQ(font.GetLastStatus(), Ok);
  RectF box, typographic;
  ASSERT_EQ(c.g->MeasureString(text, -1, &font, PointF(5, 10), nullptr, &box), Ok);
  ASSERT_EQ(c.g->MeasureString(text, -1, &font, PointF(5, 10), StringFormat::GenericTypographic(), &typographic), Ok);
  EXPECT_NEAR(box.Width - 2 * size / 6, file.advance, file.advance * 0.02);
  EXPECT_NEAR(typographic.Width, file.advance, file.advance * 0.02);
  EXPECT_NEAR(box.Height, file.lineSpacing, 0.01);
  EXPECT_FLOAT_EQ(box.X, 5);
  EXPECT_FLOAT_EQ(box.Y, 10);
  // Vertical text turns the box a quarter: its sides swap, its top-left corner stays.
  RectF turned;
  StringFormat vertical(StringFormatFlagsDirectionVertical);
  ASSERT_EQ(c.g->MeasureString(text, -1, &font, PointF(5, 10), &vertical, &turned), Ok);
  EXPECT_FLOAT_EQ(turned.Width, box.Height);
  EXPECT_FLOAT_EQ(turned.Height, box.Width);
  EXPECT_FLOAT_EQ(turned.X, 5);

  SolidBrush black{Color(kBlack)};
  c.g->SetTextRenderingHint(TextRenderingHintAntiAlias);
  ASSERT_EQ(c.g->DrawString(text, -1, &font, PointF(5, 10), nullptr, &black), Ok);
  const auto ink = c.drawn();
  EXPECT_GT(ink.size(), 1000u);
  for (auto [x, y] : ink) {
    EXPECT_TRUE(x >= box.X && x <= box.X + box.Width && y >= box.Y && y <= box.Y + box.Height) << x << "," << y;
  }
  // Fonts were found, shaped and drawn without a thread of anyone's.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}), 1);
}

}  // namespace
