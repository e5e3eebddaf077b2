// Zentarix GDI+ layer — MIT licence.
// Font families through fontconfig, their faces (design metrics through FreeType, HarfBuzz and cairo
// faces), and the flat API of families, fonts, string formats and regions.
#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "guard.h"
#include "text.h"
#include "zx/com.h"

using namespace Gdiplus;

namespace zx::gdip {
namespace {

struct FcFree {
  void operator()(FcPattern* p) const noexcept { FcPatternDestroy(p); }
};
using FcPatternPtr = std::unique_ptr<FcPattern, FcFree>;

std::string folded(const char* s) {
  std::string out(s ? s : "");
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return out;
}

std::optional<std::string> lookup_family(const std::string& name) {
  FcPatternPtr pattern(FcPatternCreate());
  if (!pattern) throw std::bad_alloc();
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  FcPatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
  FcChar8* family = nullptr;
  if (!match || FcPatternGetString(match.get(), FC_FAMILY, 0, &family) != FcResultMatch) return std::nullopt;
  const std::string matched = reinterpret_cast<const char*>(family);
  if (folded(matched.c_str()) == folded(name.c_str())) return matched;
  // Which rule put the matched family into the request: an alias (strong or same binding) honours
  // the name, the generic fallback (weak) does not.
  FcValue value;
  FcValueBinding binding;
  for (int i = 0; FcPatternGetWithBinding(pattern.get(), FC_FAMILY, i, &value, &binding) == FcResultMatch; ++i) {
    if (value.type != FcTypeString) continue;
    if (folded(reinterpret_cast<const char*>(value.u.s)) != folded(matched.c_str())) continue;
    if (binding == FcValueBindingStrong || binding == FcValueBindingSame) return matched;
    return std::nullopt;
  }
  return std::nullopt;
}

// The face fontconfig renders the family with in that style (synthetic bold and slant included).
std::unique_ptr<FontFace> read_face(const std::string& family, INT style) {
  auto face = std::make_unique<FontFace>();
  FcPatternPtr pattern(FcPatternCreate());
  if (!pattern) throw std::bad_alloc();
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, (style & FontStyleBold) ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, (style & FontStyleItalic) ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  FcPatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
  FcPatternPtr render(match ? FcFontRenderPrepare(nullptr, pattern.get(), match.get()) : nullptr);
  FcChar8* file = nullptr;
  int index = 0;
  if (!render || FcPatternGetString(render.get(), FC_FILE, 0, &file) != FcResultMatch) return face;
  FcPatternGetInteger(render.get(), FC_INDEX, 0, &index);
  const char* path = reinterpret_cast<const char*>(file);

  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) != 0) return face;
  FT_Face ft = nullptr;
  if (FT_New_Face(library, path, index, &ft) == 0) {
    FontMetrics& m = face->metrics;
    m.emHeight = ft->units_per_EM;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(ft, FT_SFNT_HHEA));
    const int gap = hhea ? hhea->Line_Gap : 0;
    const int ascent = os2 ? os2->usWinAscent : ft->ascender;
    const int descent = os2 ? os2->usWinDescent : -ft->descender;
    m.ascent = static_cast<UINT16>(std::clamp(ascent, 0, 0xFFFF));
    m.descent = static_cast<UINT16>(std::clamp(descent, 0, 0xFFFF));
    m.lineSpacing = static_cast<UINT16>(std::clamp(ascent + descent + gap, 0, 0xFFFF));
    face->underlinePosition = ft->underline_position;
    face->underlineThickness = std::max<int>(ft->underline_thickness, 1);
    face->strikeoutPosition = os2 ? os2->yStrikeoutPosition : ascent / 3;
    face->strikeoutThickness = std::max<int>(os2 ? os2->yStrikeoutSize : face->underlineThickness, 1);
    FT_Done_Face(ft);
  }
  FT_Done_FreeType(library);

  hb_blob_t* blob = hb_blob_create_from_file_or_fail(path);
  if (blob) {
    face->shaping = hb_face_create(blob, static_cast<unsigned>(index));
    hb_face_make_immutable(face->shaping);
    hb_blob_destroy(blob);
  }
  face->drawing = cairo_ft_font_face_create_for_pattern(render.get());
  return face;
}

// fontconfig's configuration does not change while the process runs, so its answers are kept.
std::mutex g_cacheLock;
std::map<std::string, std::optional<std::string>> g_families;
std::map<std::pair<std::string, INT>, std::unique_ptr<FontFace>> g_faces;

}  // namespace

std::optional<std::string> resolve_family(const std::u16string& name) {
  const std::string key = to_utf8(name);
  std::lock_guard<std::mutex> lock(g_cacheLock);
  const auto found = g_families.find(key);
  if (found != g_families.end()) return found->second;
  std::optional<std::string> resolved = key.empty() ? std::nullopt : lookup_family(key);
  g_families.emplace(key, resolved);
  return resolved;
}

FontFace::~FontFace() {
  if (shaping) hb_face_destroy(shaping);
  if (drawing) cairo_font_face_destroy(drawing);
}

const FontFace& font_face(const std::string& family, INT style) {
  const auto key = std::make_pair(family, style & FontStyleBoldItalic);
  std::lock_guard<std::mutex> lock(g_cacheLock);
  auto found = g_faces.find(key);
  if (found == g_faces.end()) found = g_faces.emplace(key, read_face(family, key.second)).first;
  return *found->second;
}

double em_in_world(const FontData& font, const GraphicsData& g) {
  if (font.unit == UnitWorld) return font.size;
  const double page = unit_scale(g.pageUnit, g.dpiY) * g.pageScale;
  return font.size * unit_scale(font.unit, g.dpiY) / page;
}

}  // namespace zx::gdip

using namespace zx::gdip;

namespace Gdiplus::DllExports {
namespace {

StringFormatData& generic_format(bool typographic) {
  static StringFormatData defaults = [] {
    StringFormatData f;
    f.shared = true;
    return f;
  }();
  static StringFormatData typographicFormat = [] {
    StringFormatData f;
    f.shared = true;
    f.typographic = true;
    f.flags = StringFormatFlagsNoFitBlackBox | StringFormatFlagsLineLimit | StringFormatFlagsNoClip;
    return f;
  }();
  return typographic ? typographicFormat : defaults;
}

Status metric(const GpFontFamily* family, INT style, UINT16* out, UINT16 FontMetrics::*field) {
  return guarded([&] {
    if (!family || !out) return InvalidParameter;
    *out = family_metrics(impl(family)->resolved, style).*field;
    return Ok;
  });
}

bool valid_alignment(StringAlignment align) { return align >= StringAlignmentNear && align <= StringAlignmentFar; }

}  // namespace

Status WINAPI GdipCreateFontFamilyFromName(const WCHAR* name, GpFontCollection* collection, GpFontFamily** family) {
  return guarded([&] {
    if (!name || !family || collection) return InvalidParameter;
    std::optional<std::string> resolved = resolve_family(name);
    if (!resolved) return FontFamilyNotFound;
    *family = reinterpret_cast<GpFontFamily*>(new FontFamilyData{name, *resolved});
    return Ok;
  });
}

Status WINAPI GdipCloneFontFamily(GpFontFamily* family, GpFontFamily** clone) {
  return guarded([&] {
    if (!family || !clone) return InvalidParameter;
    *clone = reinterpret_cast<GpFontFamily*>(new FontFamilyData(*impl(family)));
    return Ok;
  });
}

Status WINAPI GdipDeleteFontFamily(GpFontFamily* family) {
  if (!family) return InvalidParameter;
  delete impl(family);
  return Ok;
}

Status WINAPI GdipGetFamilyName(const GpFontFamily* family, WCHAR name[LF_FACESIZE], LANGID) {
  if (!family || !name) return InvalidParameter;
  const std::u16string& text = impl(family)->name;
  const size_t n = std::min<size_t>(text.size(), LF_FACESIZE - 1);
  std::copy(text.begin(), text.begin() + static_cast<ptrdiff_t>(n), name);
  name[n] = 0;
  return Ok;
}

Status WINAPI GdipIsStyleAvailable(const GpFontFamily* family, INT, BOOL* isStyleAvailable) {
  if (!family || !isStyleAvailable) return InvalidParameter;
  *isStyleAvailable = TRUE;  // missing bold and italic faces are synthesised
  return Ok;
}

Status WINAPI GdipGetEmHeight(const GpFontFamily* family, INT style, UINT16* emHeight) {
  return metric(family, style, emHeight, &FontMetrics::emHeight);
}
Status WINAPI GdipGetCellAscent(const GpFontFamily* family, INT style, UINT16* cellAscent) {
  return metric(family, style, cellAscent, &FontMetrics::ascent);
}
Status WINAPI GdipGetCellDescent(const GpFontFamily* family, INT style, UINT16* cellDescent) {
  return metric(family, style, cellDescent, &FontMetrics::descent);
}
Status WINAPI GdipGetLineSpacing(const GpFontFamily* family, INT style, UINT16* lineSpacing) {
  return metric(family, style, lineSpacing, &FontMetrics::lineSpacing);
}

Status WINAPI GdipCreateFont(const GpFontFamily* family, REAL emSize, INT style, Unit unit, GpFont** font) {
  return guarded([&] {
    if (!family || !font || !(emSize > 0) || !std::isfinite(emSize)) return InvalidParameter;
    if (unit == UnitDisplay || unit < UnitWorld || unit > UnitMillimeter) return InvalidParameter;
    *font = reinterpret_cast<GpFont*>(new FontData{*impl(family), emSize, style, unit});
    return Ok;
  });
}

Status WINAPI GdipCloneFont(GpFont* font, GpFont** clone) {
  return guarded([&] {
    if (!font || !clone) return InvalidParameter;
    *clone = reinterpret_cast<GpFont*>(new FontData(*impl(font)));
    return Ok;
  });
}

Status WINAPI GdipDeleteFont(GpFont* font) {
  if (!font) return InvalidParameter;
  delete impl(font);
  return Ok;
}

Status WINAPI GdipGetFamily(GpFont* font, GpFontFamily** family) {
  return guarded([&] {
    if (!font || !family) return InvalidParameter;
    *family = reinterpret_cast<GpFontFamily*>(new FontFamilyData(impl(font)->family));
    return Ok;
  });
}

Status WINAPI GdipGetFontStyle(GpFont* font, INT* style) {
  if (!font || !style) return InvalidParameter;
  *style = impl(font)->style;
  return Ok;
}

Status WINAPI GdipGetFontSize(GpFont* font, REAL* size) {
  if (!font || !size) return InvalidParameter;
  *size = impl(font)->size;
  return Ok;
}

Status WINAPI GdipGetFontUnit(GpFont* font, Unit* unit) {
  if (!font || !unit) return InvalidParameter;
  *unit = impl(font)->unit;
  return Ok;
}

Status WINAPI GdipGetFontHeight(const GpFont* font, const GpGraphics* graphics, REAL* height) {
  return guarded([&] {
    if (!font || !height) return InvalidParameter;
    const GraphicsData plain;
    const GraphicsData& g = graphics ? *impl(const_cast<GpGraphics*>(graphics)) : plain;
    const FontData& f = *impl(font);
    const FontMetrics m = family_metrics(f.family.resolved, f.style);
    *height = static_cast<REAL>(em_in_world(f, g) * m.lineSpacing / m.emHeight);
    return Ok;
  });
}

Status WINAPI GdipCreateStringFormat(INT formatAttributes, LANGID, GpStringFormat** format) {
  return guarded([&] {
    if (!format) return InvalidParameter;
    auto data = std::make_unique<StringFormatData>();
    data->flags = formatAttributes;
    *format = reinterpret_cast<GpStringFormat*>(data.release());
    return Ok;
  });
}

Status WINAPI GdipStringFormatGetGenericDefault(GpStringFormat** format) {
  if (!format) return InvalidParameter;
  *format = reinterpret_cast<GpStringFormat*>(&generic_format(false));
  return Ok;
}

Status WINAPI GdipStringFormatGetGenericTypographic(GpStringFormat** format) {
  if (!format) return InvalidParameter;
  *format = reinterpret_cast<GpStringFormat*>(&generic_format(true));
  return Ok;
}

Status WINAPI GdipCloneStringFormat(const GpStringFormat* format, GpStringFormat** clone) {
  return guarded([&] {
    if (!format || !clone) return InvalidParameter;
    auto data = std::make_unique<StringFormatData>(*impl(format));
    data->shared = false;
    *clone = reinterpret_cast<GpStringFormat*>(data.release());
    return Ok;
  });
}

Status WINAPI GdipDeleteStringFormat(GpStringFormat* format) {
  if (!format) return InvalidParameter;
  if (!impl(format)->shared) delete impl(format);
  return Ok;
}

Status WINAPI GdipSetStringFormatFlags(GpStringFormat* format, INT flags) {
  if (!format) return InvalidParameter;
  impl(format)->flags = flags;
  return Ok;
}

Status WINAPI GdipGetStringFormatFlags(const GpStringFormat* format, INT* flags) {
  if (!format || !flags) return InvalidParameter;
  *flags = impl(format)->flags;
  return Ok;
}

Status WINAPI GdipSetStringFormatAlign(GpStringFormat* format, StringAlignment align) {
  if (!format || !valid_alignment(align)) return InvalidParameter;
  impl(format)->align = align;
  return Ok;
}

Status WINAPI GdipGetStringFormatAlign(const GpStringFormat* format, StringAlignment* align) {
  if (!format || !align) return InvalidParameter;
  *align = impl(format)->align;
  return Ok;
}

Status WINAPI GdipSetStringFormatLineAlign(GpStringFormat* format, StringAlignment align) {
  if (!format || !valid_alignment(align)) return InvalidParameter;
  impl(format)->lineAlign = align;
  return Ok;
}

Status WINAPI GdipGetStringFormatLineAlign(const GpStringFormat* format, StringAlignment* align) {
  if (!format || !align) return InvalidParameter;
  *align = impl(format)->lineAlign;
  return Ok;
}

Status WINAPI GdipSetStringFormatMeasurableCharacterRanges(GpStringFormat* format, INT rangeCount,
                                                           const CharacterRange* ranges) {
  return guarded([&] {
    if (!format || rangeCount < 0 || (rangeCount > 0 && !ranges)) return InvalidParameter;
    if (rangeCount > kMaxMeasurableCharacterRanges) return ValueOverflow;
    impl(format)->ranges.assign(ranges, ranges + rangeCount);
    return Ok;
  });
}

Status WINAPI GdipGetStringFormatMeasurableCharacterRangeCount(const GpStringFormat* format, INT* count) {
  if (!format || !count) return InvalidParameter;
  *count = static_cast<INT>(impl(format)->ranges.size());
  return Ok;
}

Status WINAPI GdipCreateRegion(GpRegion** region) {
  return guarded([&] {
    if (!region) return InvalidParameter;
    *region = reinterpret_cast<GpRegion*>(new RegionData);
    return Ok;
  });
}

Status WINAPI GdipDeleteRegion(GpRegion* region) {
  if (!region) return InvalidParameter;
  delete impl(region);
  return Ok;
}

Status WINAPI GdipGetRegionBounds(GpRegion* region, GpGraphics* graphics, RectF* rect) {
  if (!region || !graphics || !rect) return InvalidParameter;
  const RegionData& r = *impl(region);
  if (r.infinite) {
    *rect = RectF(-4194304.0f, -4194304.0f, 8388608.0f, 8388608.0f);
    return Ok;
  }
  if (r.rects.empty()) {
    *rect = RectF();
    return Ok;
  }
  REAL x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (const RectF& box : r.rects) {
    x0 = std::min(x0, box.X), y0 = std::min(y0, box.Y);
    x1 = std::max(x1, box.X + box.Width), y1 = std::max(y1, box.Y + box.Height);
  }
  *rect = RectF(x0, y0, x1 - x0, y1 - y0);
  return Ok;
}

}  // namespace Gdiplus::DllExports
