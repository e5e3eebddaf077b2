// Zentarix — MIT licence.
// The drawing classes' fixed message texts (the system's own words, misspellings included).
#pragma once
#include <wtypes.h>

namespace zx::drawing::messages {

// DrawingTool properties.
inline constexpr OLECHAR kNothingPen[] = u"You should not assign Nothing to the DefaultPen property!";
inline constexpr OLECHAR kNothingTextInfo[] = u"You should not assign Nothing to the DefaultTextInfo property!";
inline constexpr OLECHAR kNothingBrush[] = u"You should not assign Nothing to the DefaultBrush property!";
inline constexpr OLECHAR kWrongDefaultBrush[] =
    u"Wrong Brush object! Make sure that you try to assign appropriate instanse of Zentarix's brush object!";

// Adding a primitive: the allocation failure of each kind.
inline constexpr OLECHAR kCannotAddEllipse[] = u"Cannot add ellipse! It is possible not enough memory.";
inline constexpr OLECHAR kCannotAddLine[] = u"Cannot add line! It is possible not enough memory.";
inline constexpr OLECHAR kCannotAddRectangle[] = u"Cannot add rectangle! It is possible not enough memory.";
inline constexpr OLECHAR kCannotAddBezier[] = u"Cannot add bezier spline! It is possible not enough memory.";
inline constexpr OLECHAR kCannotAddPolyline[] = u"Cannot add polyline! It is possible not enough memory.";
inline constexpr OLECHAR kCannotAddPolygon[] = u"Cannot add polygon! It is possible not enough memory.";
inline constexpr OLECHAR kCannotAddOpenedCurve[] = u"Cannot add opened curve! It is possible not enough memory.";
inline constexpr OLECHAR kCannotAddClosedCurve[] = u"Cannot add closed curve! It is possible not enough memory.";
inline constexpr OLECHAR kCannotAddArc[] = u"Cannot add arc! It is possible not enough memory.";
inline constexpr OLECHAR kCannotAddPie[] = u"Cannot add pie! It is possible not enough memory.";
inline constexpr OLECHAR kCannotAddText[] = u"Cannot add text! It is possible not enough memory.";

// Pens, brushes and text settings of a Set* call (the support address follows where noted).
inline constexpr OLECHAR kInvalidPen[] = u"Invalid pen object passed!";
inline constexpr OLECHAR kCannotConvertPen[] =
    u"Cannot convert IDrawingPen to GDI+ Pen! If you see this error, please contact ";
inline constexpr OLECHAR kCannotConvertDefaultPen[] =
    u"Cannot convert default IDrawingPen to GDI+ Pen! If you see this error, please contact ";
inline constexpr OLECHAR kWrongBrushPassed[] =
    u"Wrong brush object passed! You must use DrawingSolidBrush, DrawingTextureBrush and DrawingHatchBrush only!";
inline constexpr OLECHAR kSomethingWrongWithBrush[] =
    u"Something wrong with brush object! If you see this error, please contact ";
inline constexpr OLECHAR kWrongTextInfo[] = u"Wrong TextInfo object!";
inline constexpr OLECHAR kCannotUseFont[] =
    u"Cannot use this font! It is possible it is not TrueType font or its size is 0.";

// Point lists.
inline constexpr OLECHAR kWrongPointsArray[] = u"Wrong points array!";
inline constexpr OLECHAR kWrongArrayOfPoints[] = u"Wrong array of points!";
inline constexpr OLECHAR kNumbersOnly[] = u"Array must contain numbers only!";
inline constexpr OLECHAR kPointsParsing[] =
    u"Some error occured during SafeArray with points parsing! If you see this error, please contact ";
inline constexpr OLECHAR kAtLeastThreePoints[] = u"There are must be at least 3 points!";
inline constexpr OLECHAR kWrongFillingMode[] = u"Wrong filling mode! If you see this message, please contact ";

// Drawing on the targets.
inline constexpr OLECHAR kWrongUnit[] = u"Wrong unit!";
inline constexpr OLECHAR kCannotDrawImage[] =
    u"Cannot draw on the given image. Make sure that you try to use valid RasterObject!";
inline constexpr OLECHAR kCannotDrawHdc[] = u"Cannot draw on the given hDC. Make sure that you try to use valid handle!";
inline constexpr OLECHAR kCannotClearHdc[] = u"Cannot clear given hDC. Make sure that you try to use valid handle!";
// Our own wording: clearing the raster target failed.
inline constexpr OLECHAR kCannotClearImage[] =
    u"Cannot clear the given image. Make sure that you try to use valid RasterObject!";

// Apply.
inline constexpr OLECHAR kApplyTo[] = u"Cannot retrieve bitmap data to the drawing tool";
inline constexpr OLECHAR kApplyFrom[] = u"Cannot retrieve bitmap data from the drawing tool";
inline constexpr OLECHAR kApplyWrongTextInfo[] = u"Wrong TextInfo object! If you see this error, please contact ";
inline constexpr OLECHAR kApplyWrongPen[] = u"Wrong pen object! If you see this error, please contact ";
inline constexpr OLECHAR kTextureNotLoaded[] =
    u"Texture is not loaded to the brush! Load some image to the Texture property of the TextureBrush object!";
inline constexpr OLECHAR kApplyWrongBrush[] = u"Wrong brush object! If you see this error, please contact ";
inline constexpr OLECHAR kTextRendering[] =
    u"Error occured during text rendering! It is possible you try to use font which is not installed at the server.";

// Settings objects.
inline constexpr OLECHAR kScaleFactor[] = u"Scale factor must be strictly larger than 0!";
inline constexpr OLECHAR kCannotReadFontName[] =
    u"Cannot assign font name. It is possible not enough memory or font name is zero-length string!";
// Our own wording: kernings that are not a one-dimensional array of numbers.
inline constexpr OLECHAR kWrongKernings[] = u"Kernings must be a one-dimensional array of numbers!";
inline constexpr OLECHAR kCannotAssignFontName[] =
    u"Cannot assign to font name. It is possible not enough memory or new font name is zero-length string!";

// Worker names the GDI+ failure message is built with.
inline constexpr OLECHAR kDrawingTool[] = u"DrawingTool";
inline constexpr OLECHAR kTextInfo[] = u"TextInfo";
inline constexpr OLECHAR kConstructor[] = u"constructor";
inline constexpr OLECHAR kAddToRaster[] = u"AddPrimitive (RasterObject)";
inline constexpr OLECHAR kAddToHdc[] = u"AddPrimitive (HDC)";
inline constexpr OLECHAR kApply[] = u"Apply";
inline constexpr OLECHAR kMeasureWidth[] = u"MeasureTextWidth";
inline constexpr OLECHAR kMeasureHeight[] = u"MeasureTextHeight";

}  // namespace zx::drawing::messages
