// Zentarix GDI+ layer — MIT licence.
// The objects behind GpFontFamily, GpFont, GpStringFormat and GpRegion, and the font lookups.
#pragma once
#include <cairo.h>
#include <hb.h>

#include <optional>
#include <string>
#include <vector>

#include "vector_data.h"

namespace zx::gdip {

// A font file's design metrics, in font units.
struct FontMetrics {
  UINT16 emHeight = 2048;
  UINT16 ascent = 0;
  UINT16 descent = 0;
  UINT16 lineSpacing = 0;
};

// A resolved family's face in one style (bold and italic bits), loaded once for the process: its
// design metrics, the lines it draws under and through text (font units, up from the baseline),
// the HarfBuzz face text is shaped with and the cairo face its glyphs are drawn with. Both faces
// are immutable and shared between threads.
struct FontFace {
  FontMetrics metrics;
  int underlinePosition = 0, underlineThickness = 0;
  int strikeoutPosition = 0, strikeoutThickness = 0;
  hb_face_t* shaping = nullptr;
  cairo_font_face_t* drawing = nullptr;
  FontFace() = default;
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;
  ~FontFace();
};

// fontconfig's answer for a family name: the family it resolves to, or nothing when it would only
// fall back to a generic family (see gdiplusfont.h). Answers are cached for the process.
std::optional<std::string> resolve_family(const std::u16string& name);
const FontFace& font_face(const std::string& family, INT style);
inline FontMetrics family_metrics(const std::string& family, INT style) { return font_face(family, style).metrics; }

struct FontFamilyData {
  std::u16string name;   // as asked for
  std::string resolved;  // as fontconfig knows it
};
inline FontFamilyData* impl(Gdiplus::GpFontFamily* p) { return reinterpret_cast<FontFamilyData*>(p); }
inline const FontFamilyData* impl(const Gdiplus::GpFontFamily* p) {
  return reinterpret_cast<const FontFamilyData*>(p);
}

struct FontData {
  FontFamilyData family;
  Gdiplus::REAL size = 0;
  INT style = 0;
  Gdiplus::Unit unit = Gdiplus::UnitPoint;
};
inline const FontData* impl(const Gdiplus::GpFont* p) { return reinterpret_cast<const FontData*>(p); }
inline FontData* impl(Gdiplus::GpFont* p) { return reinterpret_cast<FontData*>(p); }

struct StringFormatData {
  INT flags = 0;
  Gdiplus::StringAlignment align = Gdiplus::StringAlignmentNear;
  Gdiplus::StringAlignment lineAlign = Gdiplus::StringAlignmentNear;
  bool typographic = false;  // no padding
  bool shared = false;       // one of the two generic formats: never deleted
  std::vector<Gdiplus::CharacterRange> ranges;
};
inline const StringFormatData* impl(const Gdiplus::GpStringFormat* p) {
  return reinterpret_cast<const StringFormatData*>(p);
}
inline StringFormatData* impl(Gdiplus::GpStringFormat* p) { return reinterpret_cast<StringFormatData*>(p); }

// A new region is infinite, as in GDI+; measuring makes it a union of rectangles.
struct RegionData {
  bool infinite = true;
  std::vector<Gdiplus::RectF> rects;
};
inline RegionData* impl(Gdiplus::GpRegion* p) { return reinterpret_cast<RegionData*>(p); }

// The font's em size in the world units of a graphics (page unit, page scale and resolution).
double em_in_world(const FontData& font, const GraphicsData& graphics);

// Positioned text (what GdipDrawDriverString and metafile text records draw): the advance of each
// UTF-16 unit in world units, the whole cluster's on the unit that starts it (0 on the rest), and
// the glyphs of each cluster drawn with the origin of its first unit at origins[unit] (world units,
// on the baseline). No ligature joins two units, so every unit can be placed on its own.
std::vector<double> text_advances(const GraphicsData& graphics, const WCHAR* string, int length, const FontData& font);
Gdiplus::Status draw_glyphs(const GraphicsData& graphics, const WCHAR* string, int length, const FontData& font,
                            const BrushData& brush, const std::vector<PointD>& origins);

}  // namespace zx::gdip
