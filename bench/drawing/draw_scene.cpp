// Zentarix — MIT licence.
// The drawing benchmark's scene on 1920 x 1080: 100 rectangles, 100 circles, 100 lines, 20 stars and
// 30 text lines, antialiased. `draw_scene out.png` draws it through "Zentarix.DrawingTool" and saves
// a PNG (the process draw_bench.sh times); `draw_scene --mvg FONTFILE` prints the same scene as
// GraphicsMagick's MVG, the committed scene.mvg.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "zentarix.h"
#include "zx/com.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr double kFontSize = 24, kStrokeWidth = 2, kLineWidth = 3;

// A small fixed generator, so that both renderers get the same numbers on every machine.
struct Random {
  uint32_t state = 20261206;
  uint32_t next() { return state = state * 1664525u + 1013904223u; }
  int in(int lo, int hi) { return lo + int(next() >> 8) % (hi - lo + 1); }
  uint32_t colour() { return 0xFF000000u | (next() >> 8); }
};

struct Shape {
  int x, y, a, b;  // rectangle: corner and size; circle: centre and radius; line: two ends
  uint32_t fill, stroke;
};
struct Star {
  std::vector<std::pair<int, int>> points;
  uint32_t fill, stroke;
};
struct Scene {
  std::vector<Shape> rectangles, circles, lines;
  std::vector<Star> stars;
  std::vector<std::pair<int, int>> texts;  // top-left of each line
};

Scene make_scene() {
  Random r;
  Scene s;
  for (int i = 0; i < 100; ++i) s.rectangles.push_back({r.in(0, 1800), r.in(0, 980), r.in(10, 200), r.in(10, 150), r.colour(), r.colour()});
  for (int i = 0; i < 100; ++i) s.circles.push_back({r.in(0, 1920), r.in(0, 1080), r.in(5, 80), 0, r.colour(), r.colour()});
  for (int i = 0; i < 100; ++i) s.lines.push_back({r.in(0, 1920), r.in(0, 1080), r.in(0, 1920), r.in(0, 1080), 0, r.colour()});
  for (int i = 0; i < 20; ++i) {
    const int cx = r.in(60, 1860), cy = r.in(60, 1020), radius = r.in(20, 60), turn = r.in(0, 71);
    Star star{{}, r.colour(), r.colour()};
    for (int k = 0; k < 10; ++k) {
      const double angle = (turn + k * 36) * M_PI / 180, reach = k % 2 ? radius * 0.4 : radius;
      star.points.emplace_back(int(std::lround(cx + reach * std::cos(angle))), int(std::lround(cy + reach * std::sin(angle))));
    }
    s.stars.push_back(star);
  }
  for (int i = 0; i < 30; ++i) s.texts.emplace_back(r.in(0, 1500), r.in(0, 1040));
  return s;
}

std::string text_of(size_t i) { return "Zentarix draws text line " + std::to_string(i + 1); }

void print_mvg(const Scene& s, const char* font) {
  auto rgb = [](uint32_t c) {
    char b[8];
    std::snprintf(b, sizeof b, "#%06X", c & 0xFFFFFF);
    return std::string(b);
  };
  std::printf("stroke-antialias 1\ntext-antialias 1\nstroke-width %g\n", kStrokeWidth);
  for (const Shape& q : s.rectangles)
    std::printf("fill '%s' stroke '%s' rectangle %d,%d %d,%d\n", rgb(q.fill).c_str(), rgb(q.stroke).c_str(), q.x, q.y,
                q.x + q.a, q.y + q.b);
  for (const Shape& q : s.circles)
    std::printf("fill '%s' stroke '%s' circle %d,%d %d,%d\n", rgb(q.fill).c_str(), rgb(q.stroke).c_str(), q.x, q.y,
                q.x + q.a, q.y);
  std::printf("fill none stroke-width %g\n", kLineWidth);
  for (const Shape& q : s.lines) std::printf("stroke '%s' line %d,%d %d,%d\n", rgb(q.stroke).c_str(), q.x, q.y, q.a, q.b);
  std::printf("stroke-width %g\n", kStrokeWidth);
  for (const Star& star : s.stars) {
    std::printf("fill '%s' stroke '%s' polygon", rgb(star.fill).c_str(), rgb(star.stroke).c_str());
    for (auto [x, y] : star.points) std::printf(" %d,%d", x, y);
    std::printf("\n");
  }
  // MVG places text by its baseline: the top plus the font's ascent (0.905 em for Liberation Sans).
  std::printf("stroke none fill black font '%s' font-size %g\n", font, kFontSize);
  for (size_t i = 0; i < s.texts.size(); ++i)
    std::printf("text %d,%d '%s'\n", s.texts[i].first, int(std::lround(s.texts[i].second + 0.905 * kFontSize)),
                text_of(i).c_str());
}

HRESULT make(const char16_t* progid, REFIID iid, void** out) {
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(progid, &clsid);
  return FAILED(hr) ? hr : CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, out);
}

zx::Variant points_of(const std::vector<std::pair<int, int>>& points) {
  SAFEARRAYBOUND bounds[2] = {{ULONG(points.size()), 0}, {2, 0}};
  zx::Variant v;
  v.vt = VT_ARRAY | VT_I4;
  v.parray = SafeArrayCreate(VT_I4, 2, bounds);
  for (LONG i = 0; i < LONG(points.size()); ++i)
    for (LONG j = 0; j < 2; ++j) {
      LONG at[2] = {i, j}, value = j ? points[size_t(i)].second : points[size_t(i)].first;
      SafeArrayPutElement(v.parray, at, &value);
    }
  return v;
}

HRESULT draw(const Scene& s, const char* output) {
  zx::ComPtr<IRasterObject> raster;
  zx::ComPtr<IDrawingTool> tool;
  zx::ComPtr<IDrawingPen> stroke, line;
  zx::ComPtr<IDrawingSolidBrush> fill;
  zx::ComPtr<ITextInfo> font;
  HRESULT hr;
  if (FAILED(hr = make(u"Zentarix.RasterObject", IID_IRasterObject, raster.put_void())) ||
      FAILED(hr = make(u"Zentarix.DrawingTool", IID_IDrawingTool, tool.put_void())) ||
      FAILED(hr = make(u"Zentarix.Pen", IID_IDrawingPen, stroke.put_void())) ||
      FAILED(hr = make(u"Zentarix.Pen", IID_IDrawingPen, line.put_void())) ||
      FAILED(hr = make(u"Zentarix.SolidBrush", IID_IDrawingSolidBrush, fill.put_void())) ||
      FAILED(hr = make(u"Zentarix.TextInfo", IID_ITextInfo, font.put_void())))
    return hr;
  if (FAILED(hr = raster->EmptyImage(kWidth, kHeight, -1)) || FAILED(hr = tool->put_RasterObject(raster.get())))
    return hr;
  stroke->put_Width(float(kStrokeWidth));
  line->put_Width(float(kLineWidth));
  font->put_FontSize(float(kFontSize));
  for (const Shape& q : s.rectangles) {
    fill->put_color(LONG(q.fill));
    stroke->put_color(LONG(q.stroke));
    if (FAILED(hr = tool->SetRectangle(float(q.x), float(q.y), float(q.a), float(q.b), 0, -1, stroke.get(), fill.get()))) return hr;
  }
  for (const Shape& q : s.circles) {
    fill->put_color(LONG(q.fill));
    stroke->put_color(LONG(q.stroke));
    if (FAILED(hr = tool->SetEllipseViaRadius(float(q.x), float(q.y), float(q.a), float(q.a), 0, -1, stroke.get(), fill.get()))) return hr;
  }
  for (const Shape& q : s.lines) {
    line->put_color(LONG(q.stroke));
    if (FAILED(hr = tool->SetLine(float(q.x), float(q.y), float(q.a), float(q.b), line.get()))) return hr;
  }
  for (const Star& star : s.stars) {
    fill->put_color(LONG(star.fill));
    stroke->put_color(LONG(star.stroke));
    if (FAILED(hr = tool->SetPolygon(points_of(star.points), -1, fmAlternate, stroke.get(), fill.get()))) return hr;
  }
  fill->put_color(LONG(0xFF000000));
  for (size_t i = 0; i < s.texts.size(); ++i) {
    zx::Bstr text(zx::to_utf16(text_of(i)));
    if (FAILED(hr = tool->SetText(text.get(), float(s.texts[i].first), float(s.texts[i].second), 0, font.get(), fill.get()))) return hr;
  }
  if (FAILED(hr = raster->put_OutputFileType(oftPNG))) return hr;
  return raster->SaveFile(zx::Bstr(zx::to_utf16(output)).get(), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--mvg") == 0) {
    print_mvg(make_scene(), argv[2]);
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: draw_scene <output.png> | draw_scene --mvg <font file>\n");
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  const HRESULT hr = draw(make_scene(), argv[1]);
  CoUninitialize();
  if (FAILED(hr)) std::fprintf(stderr, "draw_scene: failed (0x%08X)\n", unsigned(hr));
  return FAILED(hr) ? 1 : 0;
}
