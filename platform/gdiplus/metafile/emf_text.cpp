// Zentarix GDI+ layer — MIT licence.
// Text records: ExtTextOut (wide and ANSI), PolyTextOut and SmallTextOut with GDI's alignment,
// advances, escapement, background and clipping.
#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>
#include <utility>

#include "emf_player.h"
#include "shapes.h"

using namespace Gdiplus;

namespace zx::gdip::emf {
namespace {

enum : uint32_t { ETO_OPAQUE = 2, ETO_CLIPPED = 4, ETO_GLYPH_INDEX = 0x10, ETO_NO_RECT = 0x100, ETO_SMALL_CHARS = 0x200,
                  ETO_PDY = 0x2000 };
enum { TA_UPDATECP = 1, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8, TA_BASELINE = 24 };

// Windows-1252's characters 0x80-0x9F; the rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// A RECTL's corners (left, top, right, bottom at `at`) as a Rect. Corners from a file may be any
// pair of integers: an extent past int's range is held at its edge rather than overflowing.
Rect rect_at(const Bytes& r, size_t at) {
  const auto extent = [](int32_t from, int32_t to) {
    return static_cast<int>(std::clamp<int64_t>(int64_t{to} - from, INT_MIN, INT_MAX));
  };
  const int32_t left = r.i32(at), top = r.i32(at + 4);
  return Rect(left, top, extent(left, r.i32(at + 8)), extent(top, r.i32(at + 12)));
}

// A face this system has, standing in for the one asked for when fontconfig knows no alias for it.
std::optional<std::string> family_for(const FontObject& f) {
  if (std::optional<std::string> found = resolve_family(f.face)) return found;
  const bool fixed = (f.pitchFamily & 3) == 1 || (f.pitchFamily & 0xF0) == 0x30 /* FF_MODERN */;
  const bool roman = (f.pitchFamily & 0xF0) == 0x10 /* FF_ROMAN */;
  return resolve_family(fixed ? u"Courier New" : roman ? u"Times New Roman" : u"Arial");
}

}  // namespace

std::u16string from_cp1252(const uint8_t* bytes, size_t count) {
  std::u16string out(count, u'\0');
  for (size_t i = 0; i < count; ++i)
    out[i] = bytes[i] >= 0x80 && bytes[i] < 0xA0 ? kCp1252High[bytes[i] - 0x80] : char16_t(bytes[i]);
  return out;
}

bool Player::text_record(uint32_t type, const Bytes& r) {
  switch (type) {
    case EMR_EXTTEXTOUTW:
    case EMR_EXTTEXTOUTA: text_out(r, 36, type == EMR_EXTTEXTOUTW, r.i32(24)); return true;
    case EMR_POLYTEXTOUTW:
    case EMR_POLYTEXTOUTA: {
      const uint32_t count = r.u32(36);
      r.need(40, count, 40);
      for (uint32_t i = 0; i < count; ++i) text_out(r, 40 + size_t{i} * 40, type == EMR_POLYTEXTOUTW, r.i32(24));
      return true;
    }
    case EMR_SMALLTEXTOUT: {
      const uint32_t n = r.u32(16), options = r.u32(20);
      Rect rect;
      size_t at = 36;
      if (!(options & ETO_NO_RECT)) {
        rect = rect_at(r, 36);
        at += 16;
      }
      std::u16string text;
      if (options & ETO_SMALL_CHARS) {
        r.need(at, n, 1);
        text = from_cp1252(r.data() + at, n);
      } else {
        r.need(at, n, 2);
        for (uint32_t i = 0; i < n; ++i) text.push_back(char16_t(r.u16(at + 2 * size_t{i})));
      }
      draw_text(text, nullptr, {double(r.i32(8)), double(r.i32(12))}, options & ~ETO_NO_RECT & ~ETO_SMALL_CHARS,
                options & ETO_NO_RECT ? nullptr : &rect, r.i32(24));
      return true;
    }
    default: return false;
  }
}

void Player::text_out(const Bytes& r, size_t at, bool wide, int graphicsMode) {
  const PointD reference{double(r.i32(at)), double(r.i32(at + 4))};
  const uint32_t n = r.u32(at + 8), offString = r.u32(at + 12), options = r.u32(at + 16), offDx = r.u32(at + 36);
  const Rect rect = rect_at(r, at + 20);
  std::u16string text;
  if (wide) {
    r.need(offString, n, 2);
    for (uint32_t i = 0; i < n; ++i) text.push_back(char16_t(r.u16(offString + 2 * size_t{i})));
  } else {
    r.need(offString, n, 1);
    text = from_cp1252(r.data() + offString, n);
  }
  std::vector<double> dx;
  if (offDx != 0 && n > 0) {
    const uint64_t count = uint64_t{n} * ((options & ETO_PDY) ? 2 : 1);
    r.need(offDx, count, 4);
    for (uint64_t i = 0; i < count; ++i) dx.push_back(r.i32(offDx + 4 * size_t(i)));
  }
  draw_text(text, dx.empty() ? nullptr : &dx, reference, options, (options & (ETO_OPAQUE | ETO_CLIPPED)) ? &rect : nullptr,
            graphicsMode);
}

void Player::draw_text(const std::u16string& text, const std::vector<double>* dx, PointD reference, uint32_t options,
                       const Rect* rect, int) {
  if (!m_dc.font) return;
  const FontObject& f = std::get<FontObject>(*m_dc.font);
  const Affine m = to_device();
  if (rect && (options & ETO_OPAQUE)) {  // the rectangle takes the background colour first
    BrushObject back;
    back.colour = m_dc.bkColor;
    const int saved = std::exchange(m_dc.rop2, 13);
    fill_with(rectangle_path(RectF(REAL(rect->X), REAL(rect->Y), REAL(rect->Width), REAL(rect->Height))), back, m,
              FillModeAlternate);
    m_dc.rop2 = saved;
  }
  if (text.empty() || (options & ETO_GLYPH_INDEX)) return;  // glyph numbers of a font this system lacks
  const std::optional<std::string> family = family_for(f);
  if (!family) return;

  // Text space: x along the baseline, y down the glyphs, in logical units, on the device as the
  // transform stretches each axis, turned by the escapement and never mirrored.
  const double sx = std::hypot(m.m11, m.m12), sy = std::hypot(m.m21, m.m22);
  if (!(sx > 0) || !(sy > 0) || !std::isfinite(sx * sy)) return;
  const double angle = std::atan2(m.m12, m.m11) - f.escapement / 10.0 * std::numbers::pi / 180.0;
  const double c = std::cos(angle), s = std::sin(angle);
  const bool current = m_dc.textAlign & TA_UPDATECP;
  const PointD origin = apply(m, current ? m_dc.current : reference);
  const Affine textSpace{sx * c, sx * s, -sy * s, sy * c, origin.x, origin.y};

  FontData font;
  font.family = FontFamilyData{f.face, *family};
  font.unit = UnitWorld;
  font.style = (f.weight >= 600 ? FontStyleBold : 0) | (f.italic ? FontStyleItalic : 0);
  const FontMetrics metrics = family_metrics(*family, font.style);
  const double cell = double(metrics.ascent) + metrics.descent;
  // Negative heights are the em, positive ones the cell (ascent and descent together).
  const double em = f.height < 0   ? -double(f.height)
                    : f.height > 0 ? double(f.height) * metrics.emHeight / (cell > 0 ? cell : metrics.emHeight)
                                   : 16 / sy;
  // Past this many device pixels cairo fails to scale the face, and the failure sticks to the face
  // the whole process shares: such text is not drawn.
  if (!(em * std::max(sx, sy) <= 16384)) return;
  font.size = REAL(em);
  const double ascent = em * metrics.ascent / metrics.emHeight, descent = em * metrics.descent / metrics.emHeight;

  GraphicsData g = gdi_graphics(textSpace, false);
  if (f.quality >= 4 && f.quality <= 6) g.textHint = TextRenderingHintAntiAlias;  // ANTIALIASED, CLEARTYPE
  if (rect && (options & ETO_CLIPPED)) {
    const PathData box = rectangle_path(RectF(REAL(rect->X), REAL(rect->Y), REAL(rect->Width), REAL(rect->Height)));
    g.clip = combine_clip(g.clip, clip_shape(box, m), CombineModeIntersect);
  }
  const int n = static_cast<int>(text.size());
  std::vector<double> advance(static_cast<size_t>(n)), rise(static_cast<size_t>(n));
  if (dx) {
    const bool pairs = options & ETO_PDY;
    for (int i = 0; i < n; ++i) {
      advance[size_t(i)] = (*dx)[size_t(pairs ? 2 * i : i)];
      if (pairs) rise[size_t(i)] = -(*dx)[size_t(2 * i + 1)];
    }
  } else {
    advance = text_advances(g, text.data(), n, font);
  }
  double total = 0, totalRise = 0;
  for (int i = 0; i < n; ++i) total += advance[size_t(i)], totalRise += rise[size_t(i)];
  const int align = m_dc.textAlign;
  const double x0 = (align & TA_CENTER) == TA_CENTER ? -total / 2 : (align & TA_CENTER) == TA_RIGHT ? -total : 0;
  const double baseline = (align & TA_BASELINE) == TA_BASELINE ? 0 : (align & TA_BASELINE) == TA_BOTTOM ? -descent : ascent;
  std::vector<PointD> origins(static_cast<size_t>(n));
  double x = x0, y = baseline;
  for (int i = 0; i < n; ++i) origins[size_t(i)] = {x, y}, x += advance[size_t(i)], y += rise[size_t(i)];

  const PathData cellBox = rectangle_path(RectF(REAL(std::min(x0, x0 + total)), REAL(baseline - ascent),
                                                REAL(std::fabs(total)), REAL(ascent + descent)));
  DeviceBox bounds{INFINITY, INFINITY, -INFINITY, -INFINITY};
  for (const PointF& p : cellBox.points) {
    const PointD d = apply(textSpace, {p.X, p.Y});
    bounds = {std::min(bounds.x0, d.x), std::min(bounds.y0, d.y), std::max(bounds.x1, d.x), std::max(bounds.y1, d.y)};
  }
  charge(bounds);
  if (m_dc.bkMode == 2 /* OPAQUE */ && !(rect && (options & ETO_OPAQUE))) {
    BrushData back;
    back.colour = colour(m_dc.bkColor);
    fill_path(g, cellBox, back, FillModeAlternate);
  }
  BrushData ink;
  ink.colour = colour(m_dc.textColor);
  draw_glyphs(g, text.data(), n, font, ink, origins);
  // Underline and strike-out as GDI draws them: bars the width of the advances.
  const double bar = std::max(em / 14, 1 / sy);
  if (f.underline) fill_path(g, rectangle_path(RectF(REAL(x0), REAL(baseline + em / 9), REAL(total), REAL(bar))), ink, FillModeAlternate);
  if (f.strike) fill_path(g, rectangle_path(RectF(REAL(x0), REAL(baseline - em / 4), REAL(total), REAL(bar))), ink, FillModeAlternate);
  if (current) {  // the pen moves by the advances, from where the text was aligned
    const double moved = (align & TA_CENTER) == TA_CENTER ? 0 : (align & TA_CENTER) == TA_RIGHT ? -total : total;
    Affine back;
    if (m.invert(&back)) m_dc.current = apply(back, apply(textSpace, {moved, totalRise}));
  }
}

}  // namespace zx::gdip::emf
