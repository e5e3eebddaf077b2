// Zentarix GDI+ layer — MIT licence.
// Text: font families found through fontconfig, fonts, string formats and the regions that measured
// character ranges come back in; flat API and wrappers.
//
// Included by gdiplusgraphics.h. Families:
// - A name resolves when fontconfig has that family or maps it to another by a strong or same
//   binding (its metric-compatible aliases: "Arial" is Liberation Sans, "Times New Roman" Liberation
//   Serif, "Courier New" Liberation Mono). A name fontconfig matches only through its generic
//   fallback is FontFamilyNotFound, as GDI+ answers for a family that is not installed.
// - Design metrics (EmHeight, CellAscent, CellDescent, LineSpacing) are the font file's: the units
//   per em, the Windows ascent and descent, and their sum plus the horizontal line gap.
// Layout, as GDI+ lays out a string with a default format:
// - a line is LineSpacing x size / EmHeight high; the first baseline lies CellAscent x size / EmHeight
//   below the top of the layout rectangle;
// - each line is padded by 1/6 em at both ends (no padding with the typographic format), and the
//   measured box is the widest line's advance plus that padding, by the lines' height; trailing
//   spaces count only with StringFormatFlagsMeasureTrailingSpaces;
// - a rectangle of zero width and height is a point: Near puts the box's left edge there, Center its
//   middle, Far its right edge; with a width, lines wrap at word breaks inside it;
// - DirectionVertical turns the laid-out box a quarter turn clockwise, its top-left corner staying
//   at the origin: measured width and height swap.
#pragma once

namespace Gdiplus {

class Graphics;

enum FontStyle : int32_t {
  FontStyleRegular = 0,
  FontStyleBold = 1,
  FontStyleItalic = 2,
  FontStyleBoldItalic = 3,
  FontStyleUnderline = 4,
  FontStyleStrikeout = 8
};

enum StringAlignment : int32_t { StringAlignmentNear = 0, StringAlignmentCenter = 1, StringAlignmentFar = 2 };

enum StringFormatFlags : int32_t {
  StringFormatFlagsDirectionRightToLeft = 0x0001,
  StringFormatFlagsDirectionVertical = 0x0002,
  StringFormatFlagsNoFitBlackBox = 0x0004,
  StringFormatFlagsDisplayFormatControl = 0x0020,
  StringFormatFlagsNoFontFallback = 0x0400,
  StringFormatFlagsMeasureTrailingSpaces = 0x0800,
  StringFormatFlagsNoWrap = 0x1000,
  StringFormatFlagsLineLimit = 0x2000,
  StringFormatFlagsNoClip = 0x4000
};

enum TextRenderingHint : int32_t {
  TextRenderingHintSystemDefault = 0,
  TextRenderingHintSingleBitPerPixelGridFit = 1,
  TextRenderingHintSingleBitPerPixel = 2,
  TextRenderingHintAntiAliasGridFit = 3,
  TextRenderingHintAntiAlias = 4,
  TextRenderingHintClearTypeGridFit = 5
};

// The most ranges one string format measures at a time.
constexpr INT kMaxMeasurableCharacterRanges = 32;
constexpr INT LF_FACESIZE = 32;

struct CharacterRange {
  INT First = 0, Length = 0;
  CharacterRange() = default;
  CharacterRange(INT first, INT length) : First(first), Length(length) {}
};

class GpFontFamily {};
class GpFontCollection {};
class GpFont {};
class GpStringFormat {};
class GpRegion {};

namespace DllExports {
extern "C" {
// collection must be null (the installed fonts). FontFamilyNotFound as described above.
ZX_API Status WINAPI GdipCreateFontFamilyFromName(const WCHAR* name, GpFontCollection* collection,
                                                   GpFontFamily** family);
ZX_API Status WINAPI GdipCloneFontFamily(GpFontFamily* family, GpFontFamily** clone);
ZX_API Status WINAPI GdipDeleteFontFamily(GpFontFamily* family);
// The name the family was asked for, cut to LF_FACESIZE - 1 characters.
ZX_API Status WINAPI GdipGetFamilyName(const GpFontFamily* family, WCHAR name[LF_FACESIZE], LANGID language);
ZX_API Status WINAPI GdipIsStyleAvailable(const GpFontFamily* family, INT style, BOOL* isStyleAvailable);
ZX_API Status WINAPI GdipGetEmHeight(const GpFontFamily* family, INT style, UINT16* emHeight);
ZX_API Status WINAPI GdipGetCellAscent(const GpFontFamily* family, INT style, UINT16* cellAscent);
ZX_API Status WINAPI GdipGetCellDescent(const GpFontFamily* family, INT style, UINT16* cellDescent);
ZX_API Status WINAPI GdipGetLineSpacing(const GpFontFamily* family, INT style, UINT16* lineSpacing);

// emSize > 0; unit: World, Pixel, Point, Inch, Document or Millimeter (Display is InvalidParameter).
// Sizes in Pixel and the physical units keep their size on the device whatever the page unit;
// World sizes follow the page transform.
ZX_API Status WINAPI GdipCreateFont(const GpFontFamily* family, REAL emSize, INT style, Unit unit, GpFont** font);
ZX_API Status WINAPI GdipCloneFont(GpFont* font, GpFont** clone);
ZX_API Status WINAPI GdipDeleteFont(GpFont* font);
ZX_API Status WINAPI GdipGetFamily(GpFont* font, GpFontFamily** family);
ZX_API Status WINAPI GdipGetFontStyle(GpFont* font, INT* style);
ZX_API Status WINAPI GdipGetFontSize(GpFont* font, REAL* size);
ZX_API Status WINAPI GdipGetFontUnit(GpFont* font, Unit* unit);
// The line spacing in the graphics' page units (graphics null: pixels at 96 dpi).
ZX_API Status WINAPI GdipGetFontHeight(const GpFont* font, const GpGraphics* graphics, REAL* height);

ZX_API Status WINAPI GdipCreateStringFormat(INT formatAttributes, LANGID language, GpStringFormat** format);
// Two shared objects: GdipDeleteStringFormat leaves them alone. The typographic one has no padding
// and the flags NoFitBlackBox | LineLimit | NoClip.
ZX_API Status WINAPI GdipStringFormatGetGenericDefault(GpStringFormat** format);
ZX_API Status WINAPI GdipStringFormatGetGenericTypographic(GpStringFormat** format);
ZX_API Status WINAPI GdipCloneStringFormat(const GpStringFormat* format, GpStringFormat** clone);
ZX_API Status WINAPI GdipDeleteStringFormat(GpStringFormat* format);
ZX_API Status WINAPI GdipSetStringFormatFlags(GpStringFormat* format, INT flags);
ZX_API Status WINAPI GdipGetStringFormatFlags(const GpStringFormat* format, INT* flags);
ZX_API Status WINAPI GdipSetStringFormatAlign(GpStringFormat* format, StringAlignment align);
ZX_API Status WINAPI GdipGetStringFormatAlign(const GpStringFormat* format, StringAlignment* align);
ZX_API Status WINAPI GdipSetStringFormatLineAlign(GpStringFormat* format, StringAlignment align);
ZX_API Status WINAPI GdipGetStringFormatLineAlign(const GpStringFormat* format, StringAlignment* align);
// More than kMaxMeasurableCharacterRanges ranges: ValueOverflow.
ZX_API Status WINAPI GdipSetStringFormatMeasurableCharacterRanges(GpStringFormat* format, INT rangeCount,
                                                                   const CharacterRange* ranges);
ZX_API Status WINAPI GdipGetStringFormatMeasurableCharacterRangeCount(const GpStringFormat* format, INT* count);

// A region as measuring returns it: a union of rectangles in world units.
ZX_API Status WINAPI GdipCreateRegion(GpRegion** region);
ZX_API Status WINAPI GdipDeleteRegion(GpRegion* region);
ZX_API Status WINAPI GdipGetRegionBounds(GpRegion* region, GpGraphics* graphics, RectF* rect);
}
}  // namespace DllExports

class FontFamily : public LastStatus {
 public:
  FontFamily() = default;
  explicit FontFamily(const WCHAR* name, const void* collection = nullptr) {
    SetStatus(collection ? InvalidParameter : DllExports::GdipCreateFontFamilyFromName(name, nullptr, &m_native));
  }
  ~FontFamily() {
    if (m_native) DllExports::GdipDeleteFontFamily(m_native);
  }
  FontFamily(const FontFamily&) = delete;
  FontFamily& operator=(const FontFamily&) = delete;
  FontFamily* Clone() const {
    GpFontFamily* clone = nullptr;
    Status status = DllExports::GdipCloneFontFamily(m_native, &clone);
    return new FontFamily(clone, status);
  }
  BOOL IsAvailable() const { return m_native != nullptr; }
  Status GetFamilyName(WCHAR name[LF_FACESIZE], LANGID language = 0) const {
    return SetStatus(DllExports::GdipGetFamilyName(m_native, name, language));
  }
  BOOL IsStyleAvailable(INT style) const {
    BOOL available = FALSE;
    SetStatus(DllExports::GdipIsStyleAvailable(m_native, style, &available));
    return available;
  }
  UINT16 GetEmHeight(INT style) const { return metric(DllExports::GdipGetEmHeight, style); }
  UINT16 GetCellAscent(INT style) const { return metric(DllExports::GdipGetCellAscent, style); }
  UINT16 GetCellDescent(INT style) const { return metric(DllExports::GdipGetCellDescent, style); }
  UINT16 GetLineSpacing(INT style) const { return metric(DllExports::GdipGetLineSpacing, style); }

 private:
  FontFamily(GpFontFamily* native, Status status) : LastStatus(status), m_native(native) {}
  UINT16 metric(Status(WINAPI* get)(const GpFontFamily*, INT, UINT16*), INT style) const {
    UINT16 value = 0;
    SetStatus(get(m_native, style, &value));
    return value;
  }
  GpFontFamily* m_native = nullptr;
  friend class Font;
};

class Font : public LastStatus {
 public:
  Font(const FontFamily* family, REAL emSize, INT style = FontStyleRegular, Unit unit = UnitPoint) {
    SetStatus(DllExports::GdipCreateFont(family ? family->m_native : nullptr, emSize, style, unit, &m_native));
  }
  Font(const WCHAR* familyName, REAL emSize, INT style = FontStyleRegular, Unit unit = UnitPoint) {
    GpFontFamily* family = nullptr;
    Status status = DllExports::GdipCreateFontFamilyFromName(familyName, nullptr, &family);
    if (status == Ok) status = DllExports::GdipCreateFont(family, emSize, style, unit, &m_native);
    if (family) DllExports::GdipDeleteFontFamily(family);
    SetStatus(status);
  }
  ~Font() {
    if (m_native) DllExports::GdipDeleteFont(m_native);
  }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  Font* Clone() const {
    GpFont* clone = nullptr;
    Status status = DllExports::GdipCloneFont(m_native, &clone);
    return new Font(clone, status);
  }
  BOOL IsAvailable() const { return m_native != nullptr; }
  INT GetStyle() const {
    INT style = 0;
    SetStatus(DllExports::GdipGetFontStyle(m_native, &style));
    return style;
  }
  REAL GetSize() const {
    REAL size = 0;
    SetStatus(DllExports::GdipGetFontSize(m_native, &size));
    return size;
  }
  Unit GetUnit() const {
    Unit unit = UnitPoint;
    SetStatus(DllExports::GdipGetFontUnit(m_native, &unit));
    return unit;
  }
  Status GetFamily(FontFamily* family) const {
    if (!family) return SetStatus(InvalidParameter);
    GpFontFamily* native = nullptr;
    Status status = SetStatus(DllExports::GdipGetFamily(m_native, &native));
    if (status == Ok) {
      if (family->m_native) DllExports::GdipDeleteFontFamily(family->m_native);
      family->m_native = native;
    }
    return status;
  }

 private:
  Font(GpFont* native, Status status) : LastStatus(status), m_native(native) {}
  GpFont* m_native = nullptr;
  friend class Graphics;
};

class StringFormat : public LastStatus {
 public:
  explicit StringFormat(INT formatFlags = 0, LANGID language = 0) {
    SetStatus(DllExports::GdipCreateStringFormat(formatFlags, language, &m_native));
  }
  StringFormat(const StringFormat* format) {  // NOLINT: as the SDK spells the copy
    SetStatus(DllExports::GdipCloneStringFormat(format ? format->m_native : nullptr, &m_native));
  }
  ~StringFormat() { DllExports::GdipDeleteStringFormat(m_native); }
  StringFormat(const StringFormat&) = delete;
  StringFormat& operator=(const StringFormat&) = delete;
  // The shared generic formats (never deleted through these wrappers' owners).
  static const StringFormat* GenericDefault() {
    static StringFormat format(DllExports::GdipStringFormatGetGenericDefault);
    return &format;
  }
  static const StringFormat* GenericTypographic() {
    static StringFormat format(DllExports::GdipStringFormatGetGenericTypographic);
    return &format;
  }
  StringFormat* Clone() const { return new StringFormat(this); }
  Status SetFormatFlags(INT flags) { return SetStatus(DllExports::GdipSetStringFormatFlags(m_native, flags)); }
  INT GetFormatFlags() const {
    INT flags = 0;
    SetStatus(DllExports::GdipGetStringFormatFlags(m_native, &flags));
    return flags;
  }
  Status SetAlignment(StringAlignment align) { return SetStatus(DllExports::GdipSetStringFormatAlign(m_native, align)); }
  StringAlignment GetAlignment() const {
    StringAlignment align = StringAlignmentNear;
    SetStatus(DllExports::GdipGetStringFormatAlign(m_native, &align));
    return align;
  }
  Status SetLineAlignment(StringAlignment align) {
    return SetStatus(DllExports::GdipSetStringFormatLineAlign(m_native, align));
  }
  StringAlignment GetLineAlignment() const {
    StringAlignment align = StringAlignmentNear;
    SetStatus(DllExports::GdipGetStringFormatLineAlign(m_native, &align));
    return align;
  }
  Status SetMeasurableCharacterRanges(INT count, const CharacterRange* ranges) {
    return SetStatus(DllExports::GdipSetStringFormatMeasurableCharacterRanges(m_native, count, ranges));
  }
  INT GetMeasurableCharacterRangeCount() const {
    INT count = 0;
    SetStatus(DllExports::GdipGetStringFormatMeasurableCharacterRangeCount(m_native, &count));
    return count;
  }

 private:
  explicit StringFormat(Status(WINAPI* shared)(GpStringFormat**)) { SetStatus(shared(&m_native)); }
  GpStringFormat* m_native = nullptr;
  friend class Graphics;
};

class Region : public LastStatus {
 public:
  Region() { SetStatus(DllExports::GdipCreateRegion(&m_native)); }
  ~Region() { DllExports::GdipDeleteRegion(m_native); }
  Region(const Region&) = delete;
  Region& operator=(const Region&) = delete;
  Status GetBounds(RectF* rect, const Graphics* graphics) const;

 private:
  GpRegion* m_native = nullptr;
  friend class Graphics;
};

}  // namespace Gdiplus
