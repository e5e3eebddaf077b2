// Zentarix GDI+ layer — MIT licence.
// Text through pango: laying out, measuring, measuring character ranges and drawing strings.
//
// pango shapes and places the glyphs of each line; the lines themselves are placed as GDI+ places
// them (gdiplusfont.h): line height, first baseline and padding come from the font's design
// metrics, not from pango's. Glyph positions are unhinted and unrounded, so what is measured is
// what is drawn at any scale. Layout runs in device-sized units (world units times the graphics'
// scale) to keep pango's integer units fine whatever the page unit.
#include <algorithm>
#include <cmath>

#include "canvas.h"
#include "guard.h"
#include "text.h"

// After the platform headers, whose TRUE and FALSE glib would otherwise take for its macros.
#include <pango/pangocairo.h>

using namespace Gdiplus;
using zx::resample::Affine;

namespace zx::gdip {
namespace {

struct GObjectFree {
  void operator()(gpointer p) const noexcept { g_object_unref(p); }
};
struct PangoFree {
  void operator()(PangoFontDescription* p) const noexcept { pango_font_description_free(p); }
  void operator()(PangoAttrList* p) const noexcept { pango_attr_list_unref(p); }
  void operator()(cairo_font_options_t* p) const noexcept { cairo_font_options_destroy(p); }
};

// UTF-8 text and the byte offset of every UTF-16 unit (the second unit of a pair shares the first's).
struct Utf8Text {
  std::string bytes;
  std::vector<int> offsets;
};

Utf8Text utf8_of(const WCHAR* s, int n) {
  Utf8Text t;
  t.offsets.reserve(static_cast<size_t>(n) + 1);
  for (int i = 0; i < n; ++i) {
    t.offsets.push_back(static_cast<int>(t.bytes.size()));
    uint32_t c = s[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      t.offsets.push_back(t.offsets.back());
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;  // an unpaired surrogate
    }
    char buffer[6];
    const int len = g_unichar_to_utf8(c, buffer);
    t.bytes.append(buffer, static_cast<size_t>(len));
  }
  t.offsets.push_back(static_cast<int>(t.bytes.size()));
  return t;
}

double factor(StringAlignment align) { return align == StringAlignmentCenter ? 0.5 : align == StringAlignmentFar ? 1 : 0; }

// An empty layout in the font at em_size layout units, unhinted and unrounded. placed: the glyphs
// will be put at positions of their own, so no ligature joins two characters.
std::unique_ptr<PangoLayout, GObjectFree> new_layout(const GraphicsData& g, const FontData& font, double em_size,
                                                     bool placed) {
  std::unique_ptr<PangoContext, GObjectFree> context(pango_font_map_create_context(pango_cairo_font_map_get_default()));
  std::unique_ptr<cairo_font_options_t, PangoFree> options(cairo_font_options_create());
  cairo_font_options_set_hint_style(options.get(), CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  const bool aliased =
      g.textHint == TextRenderingHintSingleBitPerPixel || g.textHint == TextRenderingHintSingleBitPerPixelGridFit;
  cairo_font_options_set_antialias(options.get(), aliased ? CAIRO_ANTIALIAS_NONE : CAIRO_ANTIALIAS_GRAY);
  pango_cairo_context_set_font_options(context.get(), options.get());
  pango_context_set_round_glyph_positions(context.get(), FALSE);

  std::unique_ptr<PangoLayout, GObjectFree> layout(pango_layout_new(context.get()));
  std::unique_ptr<PangoFontDescription, PangoFree> description(pango_font_description_new());
  pango_font_description_set_family(description.get(), font.family.resolved.c_str());
  pango_font_description_set_absolute_size(description.get(), em_size * PANGO_SCALE);
  pango_font_description_set_weight(description.get(), (font.style & FontStyleBold) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(description.get(), (font.style & FontStyleItalic) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_layout_set_font_description(layout.get(), description.get());
  std::unique_ptr<PangoAttrList, PangoFree> attributes(pango_attr_list_new());
  if (font.style & FontStyleUnderline) pango_attr_list_insert(attributes.get(), pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  if (font.style & FontStyleStrikeout) pango_attr_list_insert(attributes.get(), pango_attr_strikethrough_new(TRUE));
  if (placed) pango_attr_list_insert(attributes.get(), pango_attr_font_features_new("-liga,-clig,-dlig,-kern"));
  pango_layout_set_attributes(layout.get(), attributes.get());
  return layout;
}

// One glyph of a string laid out in a single line: its font, its offset from the origin of the
// UTF-16 unit that starts its cluster (layout units), and that unit.
struct PlacedGlyph {
  PangoFont* font;  // owned by the layout
  PangoGlyphInfo glyph;
  double dx, dy;
  int unit;
};

struct GlyphRun {
  std::unique_ptr<PangoLayout, GObjectFree> layout;
  std::vector<PlacedGlyph> glyphs;
  std::vector<double> advances;  // per UTF-16 unit, layout units
  double scale = 1;              // layout units per world unit
};

GlyphRun shape_run(const GraphicsData& g, const WCHAR* string, int length, const FontData& font) {
  GlyphRun run;
  const Affine toDevice = g.to_device();
  const double det = std::fabs(toDevice.m11 * toDevice.m22 - toDevice.m12 * toDevice.m21);
  run.scale = det > 0 && std::isfinite(det) ? std::sqrt(det) : 1.0;
  run.layout = new_layout(g, font, em_in_world(font, g) * run.scale, true);
  const Utf8Text text = utf8_of(string, length);
  pango_layout_set_single_paragraph_mode(run.layout.get(), TRUE);
  pango_layout_set_text(run.layout.get(), text.bytes.data(), static_cast<int>(text.bytes.size()));
  run.advances.assign(static_cast<size_t>(length), 0.0);
  const auto unit_at = [&](int byte) {
    const auto it = std::upper_bound(text.offsets.begin(), text.offsets.end() - 1, byte);
    return static_cast<int>(it - text.offsets.begin()) - 1;
  };
  std::unique_ptr<PangoLayoutIter, decltype(&pango_layout_iter_free)> iter(pango_layout_get_iter(run.layout.get()),
                                                                            pango_layout_iter_free);
  do {
    const PangoLayoutRun* r = pango_layout_iter_get_run_readonly(iter.get());
    if (!r) continue;
    double x = 0, clusterX = 0;
    int cluster = -1;
    for (int i = 0; i < r->glyphs->num_glyphs; ++i) {
      const PangoGlyphInfo& info = r->glyphs->glyphs[i];
      const int unit = std::clamp(unit_at(r->item->offset + r->glyphs->log_clusters[i]), 0, length - 1);
      if (unit != cluster) cluster = unit, clusterX = x;
      const double width = double(info.geometry.width) / PANGO_SCALE;
      run.advances[static_cast<size_t>(unit)] += width;
      run.glyphs.push_back({r->item->analysis.font, info, x - clusterX + double(info.geometry.x_offset) / PANGO_SCALE,
                            double(info.geometry.y_offset) / PANGO_SCALE, unit});
      x += width;
    }
  } while (pango_layout_iter_next_run(iter.get()));
  return run;
}

struct Line {
  PangoLayoutLine* line;
  double x;         // left end of the line's advance (local units)
  double baseline;  // local units
  double originX;   // pango's x of the line's logical start (pango units)
};

// A laid-out string. Local space is world space, turned a quarter for vertical text.
struct Layout {
  std::unique_ptr<PangoLayout, GObjectFree> layout;
  Utf8Text text;
  double scale = 1;  // layout units per local unit
  double lineHeight = 0;
  std::vector<Line> lines;
  RectF box;  // the measured box, local units
  Affine localToWorld;
};

Layout lay_out(const GraphicsData& g, const WCHAR* string, int length, const FontData& font, const RectF& rect,
               const StringFormatData& format) {
  Layout out;
  out.text = utf8_of(string, length);
  const Affine toDevice = g.to_device();
  const double det = std::fabs(toDevice.m11 * toDevice.m22 - toDevice.m12 * toDevice.m21);
  out.scale = det > 0 && std::isfinite(det) ? std::sqrt(det) : 1.0;
  const double s = out.scale;
  const double em = em_in_world(font, g);
  const FontMetrics m = family_metrics(font.family.resolved, font.style);
  out.lineHeight = em * m.lineSpacing / m.emHeight;
  const double ascent = em * m.ascent / m.emHeight;
  const double pad = format.typographic ? 0 : em / 6;
  const bool vertical = format.flags & StringFormatFlagsDirectionVertical;
  const bool point = rect.Width == 0 && rect.Height == 0;
  const RectF local = vertical ? RectF(0, 0, rect.Height, rect.Width) : rect;

  out.layout = new_layout(g, font, em * s, false);
  PangoLayout* layout = out.layout.get();
  if (local.Width > 0 && !(format.flags & StringFormatFlagsNoWrap)) {
    pango_layout_set_width(layout, static_cast<int>(std::max(0.0, local.Width - 2 * pad) * s * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
  }
  pango_layout_set_text(layout, out.text.bytes.data(), static_cast<int>(out.text.bytes.size()));

  // Each line's advance, trailing white space left out unless the format measures it.
  struct Measured {
    PangoLayoutLine* line;
    double width;  // local units
    int originX;
  };
  std::vector<Measured> measured;
  double content = 0;
  const int count = out.text.bytes.empty() ? 0 : pango_layout_get_line_count(layout);
  for (int i = 0; i < count; ++i) {
    PangoLayoutLine* line = pango_layout_get_line_readonly(layout, i);
    PangoRectangle logical;
    pango_layout_line_get_extents(line, nullptr, &logical);
    int end = line->start_index + line->length, width = logical.width;
    if (!(format.flags & StringFormatFlagsMeasureTrailingSpaces)) {
      const char* text = out.text.bytes.data();
      while (end > line->start_index) {
        const char* previous = g_utf8_find_prev_char(text + line->start_index, text + end);
        if (!previous || !g_unichar_isspace(g_utf8_get_char(previous))) break;
        end = static_cast<int>(previous - text);
      }
      if (end < line->start_index + line->length) {
        int x = 0;
        pango_layout_line_index_to_x(line, end, FALSE, &x);
        width = x - logical.x;
      }
    }
    measured.push_back({line, double(width) / PANGO_SCALE / s, logical.x});
    content = std::max(content, measured.back().width);
  }

  const double boxWidth = count ? content + 2 * pad : 0, boxHeight = count * out.lineHeight;
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
  for (int i = 0; i < count; ++i) {
    const Measured& l = measured[static_cast<size_t>(i)];
    out.lines.push_back({l.line, regionLeft + (region - l.width) * factor(format.align), top + i * out.lineHeight + ascent,
                         double(l.originX)});
  }
  out.box = RectF(REAL(left), REAL(top), REAL(boxWidth), REAL(boxHeight));
  if (vertical) {
    const double extent = point ? boxHeight : rect.Width;
    out.localToWorld = Affine{0, 1, -1, 0, rect.X + extent, rect.Y};
  }
  return out;
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

std::vector<double> text_advances(const GraphicsData& g, const WCHAR* string, int length, const FontData& font) {
  if (length <= 0) return {};
  GlyphRun run = shape_run(g, string, length, font);
  for (double& a : run.advances) a /= run.scale;
  return std::move(run.advances);
}

Status draw_glyphs(const GraphicsData& g, const WCHAR* string, int length, const FontData& font, const BrushData& brush,
                   const std::vector<PointD>& origins) {
  if (length <= 0 || origins.size() < static_cast<size_t>(length)) return length <= 0 ? Ok : InvalidParameter;
  const GlyphRun run = shape_run(g, string, length, font);
  const double reach = 2 * em_in_world(font, g);
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (int i = 0; i < length; ++i) {
    const PointD& p = origins[static_cast<size_t>(i)];
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return InvalidParameter;
    x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
  }
  const Affine toDevice = g.to_device();
  DeviceBox bounds{INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (const PointD& c : {PointD{x0 - reach, y0 - reach}, PointD{x1 + reach, y0 - reach}, PointD{x0 - reach, y1 + reach},
                          PointD{x1 + reach, y1 + reach}}) {
    const PointD d = apply(toDevice, c);
    bounds = {std::min(bounds.x0, d.x), std::min(bounds.y0, d.y), std::max(bounds.x1, d.x), std::max(bounds.y1, d.y)};
  }
  std::unique_ptr<PangoGlyphString, decltype(&pango_glyph_string_free)> one(pango_glyph_string_new(),
                                                                             pango_glyph_string_free);
  pango_glyph_string_set_size(one.get(), 1);
  one->log_clusters[0] = 0;
  return render_coverage(g, bounds, brush, [&](const CoverageTile& tile) {
    const Affine map =
        Affine{1 / run.scale, 0, 0, 1 / run.scale, 0, 0}.then(toDevice).then(tile.frame.device_to_tile());
    const cairo_matrix_t m = cairo_matrix_of(map);
    cairo_set_matrix(tile.cr, &m);
    for (const PlacedGlyph& glyph : run.glyphs) {
      const PointD& origin = origins[static_cast<size_t>(glyph.unit)];
      one->glyphs[0] = glyph.glyph;
      one->glyphs[0].geometry.x_offset = one->glyphs[0].geometry.y_offset = 0;
      cairo_move_to(tile.cr, origin.x * run.scale + glyph.dx, origin.y * run.scale + glyph.dy);
      pango_cairo_show_glyph_string(tile.cr, glyph.font, one.get());
    }
  });
}

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
    const Layout l = lay_out(g, string, n, *impl(font), *layoutRect, format_or_default(format));
    if (l.lines.empty()) return Ok;
    // Glyphs may reach beyond the measured box (italic overhangs, tall accents): one em of margin.
    const double margin = em_in_world(*impl(font), g);
    const RectF box = world_box(l, l.box.X - margin, l.box.Y - margin, l.box.Width + 2 * margin, l.box.Height + 2 * margin);
    const Affine toDevice = g.to_device();
    DeviceBox bounds{INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (const PointD& c : {PointD{box.X, box.Y}, PointD{box.X + box.Width, box.Y}, PointD{box.X, box.Y + box.Height},
                            PointD{box.X + box.Width, box.Y + box.Height}}) {
      const PointD d = apply(toDevice, c);
      bounds = {std::min(bounds.x0, d.x), std::min(bounds.y0, d.y), std::max(bounds.x1, d.x), std::max(bounds.y1, d.y)};
    }
    return render_coverage(g, bounds, *impl(brush), [&](const CoverageTile& tile) {
      const Affine map = Affine{1 / l.scale, 0, 0, 1 / l.scale, 0, 0}
                             .then(l.localToWorld)
                             .then(toDevice)
                             .then(tile.frame.device_to_tile());
      const cairo_matrix_t m = cairo_matrix_of(map);
      cairo_set_matrix(tile.cr, &m);
      for (const Line& line : l.lines) {
        cairo_move_to(tile.cr, line.x * l.scale - line.originX / PANGO_SCALE, line.baseline * l.scale);
        pango_cairo_show_layout_line(tile.cr, line.line);
      }
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
    const Layout l = lay_out(*impl(graphics), string, n, *impl(font), *layoutRect, format_or_default(format));
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
    const Layout l = lay_out(*impl(graphics), string, n, *impl(font), layoutRect, f);
    for (INT r = 0; r < regionCount; ++r) {
      std::vector<RectF> perLine(l.lines.size(), RectF(0, 0, -1, 0));
      const CharacterRange& range = f.ranges[static_cast<size_t>(r)];
      const int first = std::max(0, range.First), last = std::min(n, range.First + std::max(0, range.Length));
      for (int i = first; i < last; ++i) {
        const int index = l.text.offsets[static_cast<size_t>(i)];
        if (i > first && index == l.text.offsets[static_cast<size_t>(i - 1)]) continue;  // a pair's second unit
        PangoRectangle pos;
        pango_layout_index_to_pos(l.layout.get(), index, &pos);
        int lineNo = 0, xpos = 0;
        pango_layout_index_to_line_x(l.layout.get(), index, FALSE, &lineNo, &xpos);
        if (lineNo < 0 || lineNo >= static_cast<int>(l.lines.size())) continue;
        const Line& line = l.lines[static_cast<size_t>(lineNo)];
        double x = line.x + (pos.x - line.originX) / PANGO_SCALE / l.scale, w = double(pos.width) / PANGO_SCALE / l.scale;
        if (w < 0) x += w, w = -w;
        RectF& box = perLine[static_cast<size_t>(lineNo)];
        const double y = l.box.Y + lineNo * l.lineHeight;
        if (box.Width < 0) {
          box = RectF(REAL(x), REAL(y), REAL(w), REAL(l.lineHeight));
        } else {
          const double x0 = std::min<double>(box.X, x), x1 = std::max<double>(box.X + box.Width, x + w);
          box.X = REAL(x0), box.Width = REAL(x1 - x0);
        }
      }
      RegionData& region = *impl(regions[r]);
      region.infinite = false;
      region.rects.clear();
      for (const RectF& box : perLine)
        if (box.Width >= 0) region.rects.push_back(world_box(l, box.X, box.Y, box.Width, box.Height));
    }
    return Ok;
  });
}

}  // namespace Gdiplus::DllExports
