// Zentarix — MIT licence.
// Settings objects into GDI+ objects: pens, brushes, fonts and string formats, read through the
// settings' own interfaces at the moment of conversion.
#pragma once
#include <gdiplus.h>

#include <memory>
#include <vector>

#include "zentarix.h"

namespace zx::drawing {

// The GDI+ unit of a DrawingToolUnits value (Pixel, Point, Inch, Document, Millimeter); false for
// any other value.
bool gdiplus_unit(DrawingToolUnits unit, Gdiplus::Unit* out);

// Width, colour, miter limit, dash style, join, caps and dash cap as the pen holds them; false when
// a property cannot be read, is out of range, or GDI+ refuses the pen.
bool convert_pen(IDrawingPen* pen, std::unique_ptr<Gdiplus::Pen>* out);

enum class BrushResult { Made, WrongClass, NoTexture, Failed };
// A solid, hatch or texture brush (found by QueryInterface in that order). A texture brush copies
// the texture's current image, scaled by ScaleFactor and then rotated by RotateFactor.
BrushResult convert_brush(IUnknown* brush, std::unique_ptr<Gdiplus::Brush>* out);

// What a text info gives a text: font, string format, tracking and kernings (thousandths of the
// font size), the font size itself.
struct TextSettings {
  std::unique_ptr<Gdiplus::Font> font;
  std::unique_ptr<Gdiplus::StringFormat> format;
  Gdiplus::Unit unit = Gdiplus::UnitPixel;
  double size = 0;
  double tracking = 0;
  std::vector<double> kernings;  // element i is the i-th element counted from the lower bound
  // The space added after letter i, in the font's units.
  double spacing_after(size_t letter) const {
    return ((letter < kernings.size() ? kernings[letter] : 0.0) + tracking) * size * 0.001;
  }
};
// Ok, or the status of the first failure (InvalidParameter for a property out of range, the GDI+
// status of the family or font otherwise).
Gdiplus::Status convert_text(ITextInfo* info, TextSettings* out);

// The numbers of a kerning array (VT_ARRAY of numbers or VARIANTs holding numbers, possibly by
// reference): false when it is not one-dimensional or holds anything that is not a number.
bool kerning_values(const VARIANT& value, std::vector<double>* out, LONG* lowerBound = nullptr);

}  // namespace zx::drawing
