// Zentarix GDI+ layer — MIT licence.
// Text through HarfBuzz and cairo: laying out, measuring, measuring character ranges and drawing,
// and drawing positioned text (each character at a place of its own, as metafiles record text).
//
// HarfBuzz shapes each paragraph with the font's own advances, without kerning or ligatures, as
// GDI+ lays text out; lines are broken at spaces and placed as GDI+ places them (gdiplusfont.h):
// line height, first baseline and padding come from the font's design metrics. Nothing is hinted
// or rounded, so what is measured is what is drawn at any scale; layout runs in device-sized units
// (world units times the graphics' scale). cairo draws the glyphs into the coverage mask. (pango
// would lay out as well, but its font map starts a thread of its own, and the library starts none.)
// Characters the face has no glyph for are drawn as its missing-glyph box: there is no fallback.
#include <cairo-ft.h>

#include <algorithm>
#include <cmath>

#include "canvas.h"
#include "guard.h"
#include "text.h"

using namespace Gdiplus;
using zx::resample::Affine;

namespace zx::gdip {
namespace {

struct HbFree {
  void operator()(hb_buffer_t* p) const noexcept { hb_buffer_destroy(p); }
  void operator()(hb_font_t* p) const noexcept { hb_font_destroy(p); }
};

// A glyph with its pen position along its paragraph, in font units (y up).
struct Glyph {
  unsigned index;
  double x, y;
  uint32_t cluster;  // the UTF-16 index of its first character
};

struct Line {
  int first, end;         // characters [first, end)
  double left;            // font units: where the line's first character starts in its paragraph
  double width;           // local units, trailing white space left out unless measured
  double x, baseline;     // local units: left end of the advance, baseline
  size_t glyph0, glyph1;  // glyphs [glyph0, glyph1)
};

// A laid-out string. Local space is world space, turned a quarter for vertical text.
struct Layout {
  const FontFace* face = nullptr;
  std::vector<Glyph> glyphs;
  std::vector<double> charLeft, charRight;  // font units, per UTF-16 unit
  double scale = 1;                         // layout units per local unit
  double unit = 0;                          // local units per font unit
  double em = 0, lineHeight = 0;
  bool underline = false, strikeout = false;
  std::vector<Line> lines;
  RectF box;  // the measured box, local units
  Affine localToWorld;
};

double factor(StringAlignment align) { return align == StringAlignmentCenter ? 0.5 : align == StringAlignmentFar ? 1 : 0; }

bool is_break(WCHAR c) { return c == u'\n' || c == u'\r' || c == 0x2028 || c == 0x2029; }
bool is_space(WCHAR c) { return c == u' ' || c == u'\t' || c == 0x3000 || c == 0x00A0; }

// Shapes characters [from, to) of the string; glyphs and character boxes are added to the layout.
void shape(Layout& l, hb_font_t* font, const WCHAR* text, int length, int from, int to) {
  static const hb_feature_t kFeatures[] = {{HB_TAG('k', 'e', 'r', 'n'), 0, 0, ~0u},
                                           {HB_TAG('l', 'i', 'g', 'a'), 0, 0, ~0u},
                                           {HB_TAG('c', 'l', 'i', 'g'), 0, 0, ~0u}};
  std::unique_ptr<hb_buffer_t, HbFree> buffer(hb_buffer_create());
  hb_buffer_add_utf16(buffer.get(), reinterpret_cast<const uint16_t*>(text), length, unsigned(from), to - from);
  hb_buffer_guess_segment_properties(buffer.get());
  hb_shape(font, buffer.get(), kFeatures, 3);
  unsigned count = 0;
  const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer.get(), &count);
  const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer.get(), &count);
  double pen = 0;
  for (unsigned i = 0; i < count; ++i) {
    const uint32_t c = info[i].cluster;
    l.glyphs.push_back({info[i].codepoint, pen + pos[i].x_offset, double(pos[i].y_offset), c});
    if (c < l.charLeft.size()) {
      l.charLeft[c] = std::min(l.charLeft[c], pen);
      l.charRight[c] = std::max(l.charRight[c], pen + pos[i].x_advance);
    }
    pen += pos[i].x_advance;
  }
  // Characters inside a cluster (the second half of a pair, marks) share its box.
  for (int c = from; c < to; ++c)
    if (l.charLeft[size_t(c)] > l.charRight[size_t(c)]) {
      l.charLeft[size_t(c)] = c > from ? l.charLeft[size_t(c) - 1] : 0;
      l.charRight[size_t(c)] = c > from ? l.charRight[size_t(c) - 1] : 0;
    }
}

Status lay_out(const GraphicsData& g, const WCHAR* text, int length, const FontData& font, const RectF& rect,
               const StringFormatData& format, Layout* out) {
  Layout& l = *out;
  l.face = &font_face(font.family.resolved, font.style);
  if (!l.face->shaping || !l.face->drawing) return GenericError;
  const Affine toDevice = g.to_device();
  const double det = std::fabs(toDevice.m11 * toDevice.m22 - toDevice.m12 * toDevice.m21);
  l.scale = det > 0 && std::isfinite(det) ? std::sqrt(det) : 1.0;
  l.em = em_in_world(font, g);
  const FontMetrics& m = l.face->metrics;
  l.unit = l.em / m.emHeight;
  l.lineHeight = m.lineSpacing * l.unit;
  l.underline = font.style & FontStyleUnderline;
  l.strikeout = font.style & FontStyleStrikeout;
  const double ascent = m.ascent * l.unit, pad = format.typographic ? 0 : l.em / 6;
  const bool vertical = format.flags & StringFormatFlagsDirectionVertical;
  const bool point = rect.Width == 0 && rect.Height == 0;
  const RectF local = vertical ? RectF(0, 0, rect.Height, rect.Width) : rect;
  const double wrapAt = local.Width > 0 && !(format.flags & StringFormatFlagsNoWrap)
                            ? std::max(0.0, local.Width - 2 * pad) / l.unit
                            : INFINITY;

  std::unique_ptr<hb_font_t, HbFree> hb(hb_font_create(l.face->shaping));
  hb_font_set_scale(hb.get(), m.emHeight, m.emHeight);
  l.charLeft.assign(size_t(length), INFINITY);
  l.charRight.assign(size_t(length), -INFINITY);
  // Paragraphs end at line breaks ("\r\n" is one); lines wrap at the last space that fits, or
  // between characters when a word alone is too wide.
  for (int start = 0; length > 0 && start <= length;) {
    int end = start;
    while (end < length && !is_break(text[end])) ++end;
    const size_t glyph0 = l.glyphs.size();
    shape(l, hb.get(), text, length, start, end);
    for (int first = start; first < end || first == start;) {
      const double left = first < end ? l.charLeft[size_t(first)] : 0;
      int stop = first, lastSpace = -1;
      while (stop < end && (stop == first || l.charRight[size_t(stop)] - left <= wrapAt + 1e-9)) {
        if (is_space(text[stop])) lastSpace = stop + 1;
        ++stop;
      }
      if (stop < end && lastSpace > first) stop = lastSpace;
      int content = stop;
      if (!(format.flags & StringFormatFlagsMeasureTrailingSpaces))
        while (content > first && is_space(text[content - 1])) --content;
      double right = left;
      for (int c = first; c < content; ++c) right = std::max(right, l.charRight[size_t(c)]);
      Line line{first, stop, left, (right - left) * l.unit, 0, 0, glyph0, glyph0};
      for (size_t i = glyph0; i < l.glyphs.size(); ++i)
        if (int(l.glyphs[i].cluster) >= first && int(l.glyphs[i].cluster) < stop) {
          if (line.glyph1 == glyph0) line.glyph0 = i;
          line.glyph1 = i + 1;
        }
      l.lines.push_back(line);
      if (stop == end) break;
      first = stop;
    }
    start = end + (end + 1 < length && text[end] == u'\r' && text[end + 1] == u'\n' ? 2 : 1);
  }

  double content = 0;
  for (const Line& line : l.lines) content = std::max(content, line.width);
  const double boxWidth = l.lines.empty() ? 0 : content + 2 * pad, boxHeight = double(l.lines.size()) * l.lineHeight;
  double left, top, regionLeft, region;
  if (point) {
    left = local.X - boxWidth * factor(format.align);
    top = local.Y - boxHeight * factor(format.lineAlign);
    regionLeft = left + pad;
    region = content;
  } else {
    left = local.X + (local.Width - boxWidth) * factor(format.align);
    top = local.Y + (local.Height > 0 ? (local.Height - boxHeight) * factor(format.lineAlign) : 0);
    regionLeft = local.X + pad;
    region = local.Width - 2 * pad;
  }
  for (size_t i = 0; i < l.lines.size(); ++i) {
    Line& line = l.lines[i];
    line.x = regionLeft + (region - line.width) * factor(format.align);
    line.baseline = top + double(i) * l.lineHeight + ascent;
  }
  l.box = RectF(REAL(left), REAL(top), REAL(boxWidth), REAL(boxHeight));
  if (vertical) {
    const double extent = point ? boxHeight : rect.Width;
    l.localToWorld = Affine{0, 1, -1, 0, rect.X + extent, rect.Y};
  }
  return Ok;
}

// The axis-aligned bounds of a local rectangle in world units.
RectF world_box(const Layout& l, double x, double y, double w, double h) {
  const PointD corners[4] = {{x, y}, {x + w, y}, {x, y + h}, {x + w, y + h}};
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (const PointD& c : corners) {
    const PointD p = apply(l.localToWorld, c);
    x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
  }
  return RectF(REAL(x0), REAL(y0), REAL(x1 - x0), REAL(y1 - y0));
}

// Glyphs, underlines and strike-outs in layout units (local units times the layout scale).
void paint_text(const CoverageTile& tile, const Layout& l, bool aliased) {
  cairo_t* cr = tile.cr;
  const double s = l.scale;
  cairo_set_font_face(cr, l.face->drawing);
  cairo_set_font_size(cr, l.em * s);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options, aliased ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_GRAY);
  cairo_set_font_options(cr, options);
  cairo_font_options_destroy(options);
  std::vector<cairo_glyph_t> glyphs;
  for (const Line& line : l.lines) {
    glyphs.clear();
    for (size_t i = line.glyph0; i < line.glyph1; ++i) {
      const Glyph& g = l.glyphs[i];
      glyphs.push_back({g.index, (line.x + (g.x - line.left) * l.unit) * s, (line.baseline - g.y * l.unit) * s});
    }
    cairo_show_glyphs(cr, glyphs.data(), int(glyphs.size()));
    const auto rule = [&](int position, int thickness) {
      cairo_rectangle(cr, line.x * s, (line.baseline - position * l.unit) * s, line.width * s, thickness * l.unit * s);
      cairo_fill(cr);
    };
    if (l.underline) rule(l.face->underlinePosition + l.face->underlineThickness / 2, l.face->underlineThickness);
    if (l.strikeout) rule(l.face->strikeoutPosition, l.face->strikeoutThickness);
  }
}

// A string shaped as one run for positioned drawing: glyphs, and which UTF-16 units start a cluster.
struct PlacedRun {
  Layout l;
  std::vector<bool> starts;
};

Status shape_placed(const GraphicsData& g, const WCHAR* string, int length, const FontData& font, PlacedRun* out) {
  Layout& l = out->l;
  l.face = &font_face(font.family.resolved, font.style);
  if (!l.face->shaping || !l.face->drawing) return GenericError;
  l.em = em_in_world(font, g);
  l.unit = l.em / l.face->metrics.emHeight;
  const Affine toDevice = g.to_device();
  const double det = std::fabs(toDevice.m11 * toDevice.m22 - toDevice.m12 * toDevice.m21);
  l.scale = det > 0 && std::isfinite(det) ? std::sqrt(det) : 1.0;
  std::unique_ptr<hb_font_t, HbFree> hb(hb_font_create(l.face->shaping));
  hb_font_set_scale(hb.get(), l.face->metrics.emHeight, l.face->metrics.emHeight);
  l.charLeft.assign(size_t(length), INFINITY);
  l.charRight.assign(size_t(length), -INFINITY);
  shape(l, hb.get(), string, length, 0, length);
  out->starts.assign(size_t(length), false);
  for (const Glyph& glyph : l.glyphs)
    if (glyph.cluster < size_t(length)) out->starts[glyph.cluster] = true;
  return Ok;
}

}  // namespace

std::vector<double> text_advances(const GraphicsData& g, const WCHAR* string, int length, const FontData& font) {
  std::vector<double> advances(size_t(std::max(length, 0)), 0.0);
  PlacedRun run;
  if (length <= 0 || shape_placed(g, string, length, font, &run) != Ok) return advances;
  for (size_t c = 0; c < advances.size(); ++c)
    if (run.starts[c]) advances[c] = (run.l.charRight[c] - run.l.charLeft[c]) * run.l.unit;
  return advances;
}

Status draw_glyphs(const GraphicsData& g, const WCHAR* string, int length, const FontData& font, const BrushData& brush,
                   const std::vector<PointD>& origins) {
  if (length <= 0) return Ok;
  if (origins.size() < size_t(length)) return InvalidParameter;
  PlacedRun run;
  if (const Status status = shape_placed(g, string, length, font, &run); status != Ok) return status;
  const Layout& l = run.l;
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (int i = 0; i < length; ++i) {
    const PointD& p = origins[size_t(i)];
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return InvalidParameter;
    x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
  }
  // Glyphs reach at most a couple of ems from their origins.
  const double reach = 2 * l.em;
  const Affine toDevice = g.to_device();
  DeviceBox bounds{INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (const PointD& c : {PointD{x0 - reach, y0 - reach}, PointD{x1 + reach, y0 - reach}, PointD{x0 - reach, y1 + reach},
                          PointD{x1 + reach, y1 + reach}}) {
    const PointD d = apply(toDevice, c);
    bounds = {std::min(bounds.x0, d.x), std::min(bounds.y0, d.y), std::max(bounds.x1, d.x), std::max(bounds.y1, d.y)};
  }
  const bool aliased =
      g.textHint == TextRenderingHintSingleBitPerPixel || g.textHint == TextRenderingHintSingleBitPerPixelGridFit;
  // Each glyph keeps its offset from the start of its cluster, placed at that cluster's origin.
  std::vector<cairo_glyph_t> glyphs;
  for (const Glyph& glyph : l.glyphs) {
    const size_t c = std::min<size_t>(glyph.cluster, size_t(length) - 1);
    const double start = std::isfinite(l.charLeft[c]) ? l.charLeft[c] : 0;
    glyphs.push_back({glyph.index, (origins[c].x + (glyph.x - start) * l.unit) * l.scale,
                      (origins[c].y - glyph.y * l.unit) * l.scale});
  }
  return render_coverage(g, bounds, brush, [&](const CoverageTile& tile) {
    const Affine map = Affine{1 / l.scale, 0, 0, 1 / l.scale, 0, 0}.then(toDevice).then(tile.frame.device_to_tile());
    const cairo_matrix_t m = cairo_matrix_of(map);
    cairo_set_matrix(tile.cr, &m);
    cairo_set_font_face(tile.cr, l.face->drawing);
    cairo_set_font_size(tile.cr, l.em * l.scale);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, aliased ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_GRAY);
    cairo_set_font_options(tile.cr, options);
    cairo_font_options_destroy(options);
    cairo_show_glyphs(tile.cr, glyphs.data(), int(glyphs.size()));
  });
}

namespace {

int text_length(const WCHAR* string, INT length) {
  if (length >= 0) return length;
  int n = 0;
  while (string[n]) ++n;
  return n;
}

const StringFormatData& format_or_default(const GpStringFormat* format) {
  static const StringFormatData plain;
  return format ? *impl(format) : plain;
}

}  // namespace

}  // namespace zx::gdip

using namespace zx::gdip;

namespace Gdiplus::DllExports {

Status WINAPI GdipDrawString(GpGraphics* graphics, const WCHAR* string, INT length, const GpFont* font,
                             const RectF* layoutRect, const GpStringFormat* format, const GpBrush* brush) {
  return guarded([&] {
    if (!graphics || !string || !font || !layoutRect || !brush) return InvalidParameter;
    const int n = text_length(string, length);
    if (n == 0) return Ok;
    const GraphicsData& g = *impl(graphics);
    Layout l;
    if (const Status status = lay_out(g, string, n, *impl(font), *layoutRect, format_or_default(format), &l);
        status != Ok)
      return status;
    if (l.lines.empty()) return Ok;
    // Glyphs may reach beyond the measured box (italic overhangs, tall accents): one em of margin.
    const double margin = l.em;
    const RectF box = world_box(l, l.box.X - margin, l.box.Y - margin, l.box.Width + 2 * margin, l.box.Height + 2 * margin);
    const Affine toDevice = g.to_device();
    DeviceBox bounds{INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (const PointD& c : {PointD{box.X, box.Y}, PointD{box.X + box.Width, box.Y}, PointD{box.X, box.Y + box.Height},
                            PointD{box.X + box.Width, box.Y + box.Height}}) {
      const PointD d = apply(toDevice, c);
      bounds = {std::min(bounds.x0, d.x), std::min(bounds.y0, d.y), std::max(bounds.x1, d.x), std::max(bounds.y1, d.y)};
    }
    const bool aliased =
        g.textHint == TextRenderingHintSingleBitPerPixel || g.textHint == TextRenderingHintSingleBitPerPixelGridFit;
    return render_coverage(g, bounds, *impl(brush), [&](const CoverageTile& tile) {
      const Affine map =
          Affine{1 / l.scale, 0, 0, 1 / l.scale, 0, 0}.then(l.localToWorld).then(toDevice).then(tile.frame.device_to_tile());
      const cairo_matrix_t m = cairo_matrix_of(map);
      cairo_set_matrix(tile.cr, &m);
      paint_text(tile, l, aliased);
    });
  });
}

Status WINAPI GdipDrawDriverString(GpGraphics* graphics, const UINT16* text, INT length, const GpFont* font,
                                   const GpBrush* brush, const PointF* positions, INT flags, const GpMatrix* matrix) {
  return guarded([&] {
    if (!graphics || !text || !font || !brush || !positions) return InvalidParameter;
    if (!(flags & DriverStringOptionsCmapLookup)) return NotImplemented;
    const WCHAR* string = reinterpret_cast<const WCHAR*>(text);
    const int n = text_length(string, length);
    if (n == 0) return Ok;
    GraphicsData g = *impl(graphics);
    if (matrix) g.world.combine(impl(matrix)->affine(), MatrixOrderPrepend);
    std::vector<PointD> origins(static_cast<size_t>(n));
    if (flags & DriverStringOptionsRealizedAdvance) {
      const std::vector<double> advances = text_advances(g, string, n, *impl(font));
      double x = positions[0].X;
      for (int i = 0; i < n; ++i) origins[static_cast<size_t>(i)] = {x, positions[0].Y}, x += advances[static_cast<size_t>(i)];
    } else {
      for (int i = 0; i < n; ++i) origins[static_cast<size_t>(i)] = {positions[i].X, positions[i].Y};
    }
    return draw_glyphs(g, string, n, *impl(font), *impl(brush), origins);
  });
}

Status WINAPI GdipMeasureString(GpGraphics* graphics, const WCHAR* string, INT length, const GpFont* font,
                                const RectF* layoutRect, const GpStringFormat* format, RectF* boundingBox,
                                INT* codepointsFitted, INT* linesFilled) {
  return guarded([&] {
    if (!graphics || !string || !font || !layoutRect || !boundingBox) return InvalidParameter;
    const int n = text_length(string, length);
    Layout l;
    if (const Status status = lay_out(*impl(graphics), string, n, *impl(font), *layoutRect, format_or_default(format), &l);
        status != Ok)
      return status;
    *boundingBox = world_box(l, l.box.X, l.box.Y, l.box.Width, l.box.Height);
    if (codepointsFitted) *codepointsFitted = n;
    if (linesFilled) *linesFilled = static_cast<INT>(l.lines.size());
    return Ok;
  });
}

Status WINAPI GdipMeasureCharacterRanges(GpGraphics* graphics, const WCHAR* string, INT length, const GpFont* font,
                                         const RectF& layoutRect, const GpStringFormat* format, INT regionCount,
                                         GpRegion** regions) {
  return guarded([&] {
    if (!graphics || !string || !font || !format || !regions) return InvalidParameter;
    const StringFormatData& f = *impl(format);
    if (regionCount != static_cast<INT>(f.ranges.size())) return InvalidParameter;
    for (INT i = 0; i < regionCount; ++i)
      if (!regions[i]) return InvalidParameter;
    const int n = text_length(string, length);
    Layout l;
    if (const Status status = lay_out(*impl(graphics), string, n, *impl(font), layoutRect, f, &l); status != Ok)
      return status;
    for (INT r = 0; r < regionCount; ++r) {
      const CharacterRange& range = f.ranges[static_cast<size_t>(r)];
      const int first = std::max(0, range.First), last = std::min(n, range.First + std::max(0, range.Length));
      RegionData& region = *impl(regions[r]);
      region.infinite = false;
      region.rects.clear();
      // One rectangle per line the range reaches: its characters' advances, as high as the line.
      for (size_t k = 0; k < l.lines.size(); ++k) {
        const Line& line = l.lines[k];
        double x0 = INFINITY, x1 = -INFINITY;
        for (int c = std::max(first, line.first); c < std::min(last, line.end); ++c) {
          x0 = std::min(x0, l.charLeft[size_t(c)]);
          x1 = std::max(x1, l.charRight[size_t(c)]);
        }
        if (x0 > x1) continue;
        const double y = l.box.Y + double(k) * l.lineHeight;
        region.rects.push_back(world_box(l, line.x + (x0 - line.left) * l.unit, y, (x1 - x0) * l.unit, l.lineHeight));
      }
    }
    return Ok;
  });
}

}  // namespace Gdiplus::DllExports
