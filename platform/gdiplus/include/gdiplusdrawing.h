// Zentarix GDI+ layer — MIT licence.
// Vector drawing on a Graphics: lines, curves, shapes, paths and text with pens and brushes.
//
// Included by gdiplusgraphics.h, before the Graphics wrapper. How primitives become pixels:
// - Coordinates are world units: the world transform, then the page unit and scale, give device
//   pixels. With PixelOffsetMode None, Default or HighSpeed the centre of device pixel (i, j) lies at
//   (i, j); with Half or HighQuality at (i + 0.5, j + 0.5).
// - Antialiased (SmoothingMode AntiAlias, HighQuality, AntiAlias8x8) a pixel takes the share of its
//   area the shape covers; aliased, it is drawn when its centre lies inside the shape. An aliased
//   pen one device pixel wide or thinner draws one pixel per column of a shallow line (per row of a
//   steep one), at the pixel whose centre is nearest the ideal line.
// - A primitive is composed onto the surface in straight ARGB (SourceOver: out_a = sa + da (1 - sa),
//   colour weighted likewise; SourceCopy: the sample replaces the pixel, blended with it by coverage
//   at antialiased edges). Only pixels the primitive covers are read or written: every other pixel
//   keeps its exact value, transparent colours included.
// - Bitmaps of any size are drawn on: a primitive is rendered in tiles of its own clipped bounds.
// - Text follows TextRenderingHint: SingleBitPerPixel(GridFit) aliased, everything else antialiased.
#pragma once

namespace Gdiplus {

enum SmoothingMode : int32_t {
  SmoothingModeInvalid = -1,
  SmoothingModeDefault = 0,
  SmoothingModeHighSpeed = 1,
  SmoothingModeHighQuality = 2,
  SmoothingModeNone = 3,
  SmoothingModeAntiAlias = 4,
  SmoothingModeAntiAlias8x4 = SmoothingModeAntiAlias,
  SmoothingModeAntiAlias8x8 = 5
};

enum FlushIntention : int32_t { FlushIntentionFlush = 0, FlushIntentionSync = 1 };

enum DriverStringOptions : int32_t {
  DriverStringOptionsCmapLookup = 1,
  DriverStringOptionsVertical = 2,
  DriverStringOptionsRealizedAdvance = 4,
  DriverStringOptionsLimitSubpixel = 8
};

}  // namespace Gdiplus

#include "gdiplusbrush.h"
#include "gdipluspen.h"
#include "gdipluspath.h"
#include "gdiplusfont.h"

namespace Gdiplus::DllExports {
extern "C" {
// --- state ---
ZX_API Status WINAPI GdipSetSmoothingMode(GpGraphics* graphics, SmoothingMode mode);
ZX_API Status WINAPI GdipGetSmoothingMode(GpGraphics* graphics, SmoothingMode* mode);
ZX_API Status WINAPI GdipSetTextRenderingHint(GpGraphics* graphics, TextRenderingHint hint);
ZX_API Status WINAPI GdipGetTextRenderingHint(GpGraphics* graphics, TextRenderingHint* hint);
// Where hatch patterns start, in device pixels.
ZX_API Status WINAPI GdipSetRenderingOrigin(GpGraphics* graphics, INT x, INT y);
ZX_API Status WINAPI GdipGetRenderingOrigin(GpGraphics* graphics, INT* x, INT* y);
// Drawing completes within each call, so flushing has nothing left to do.
ZX_API Status WINAPI GdipFlush(GpGraphics* graphics, FlushIntention intention);

// --- clipping ---
// The clip is a set of device pixels (null: all), fixed when it is set: later changes of the world
// transform do not move it. A pixel belongs to a shape when its centre lies inside the shape, so
// clip edges are never antialiased. Every drawing call, Clear included, writes only clipped pixels.
ZX_API Status WINAPI GdipSetClipRect(GpGraphics* graphics, REAL x, REAL y, REAL width, REAL height,
                                     CombineMode combineMode);
ZX_API Status WINAPI GdipSetClipPath(GpGraphics* graphics, GpPath* path, CombineMode combineMode);
ZX_API Status WINAPI GdipResetClip(GpGraphics* graphics);
// Moves the clip by the world vector (dx, dy), rounded to whole device pixels.
ZX_API Status WINAPI GdipTranslateClip(GpGraphics* graphics, REAL dx, REAL dy);
ZX_API Status WINAPI GdipIsClipEmpty(GpGraphics* graphics, BOOL* result);

// --- outlines ---
ZX_API Status WINAPI GdipDrawLine(GpGraphics* graphics, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2);
ZX_API Status WINAPI GdipDrawLines(GpGraphics* graphics, GpPen* pen, const PointF* points, INT count);
ZX_API Status WINAPI GdipDrawArc(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height,
                                 REAL startAngle, REAL sweepAngle);
ZX_API Status WINAPI GdipDrawBezier(GpGraphics* graphics, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2, REAL x3,
                                    REAL y3, REAL x4, REAL y4);
ZX_API Status WINAPI GdipDrawBeziers(GpGraphics* graphics, GpPen* pen, const PointF* points, INT count);
ZX_API Status WINAPI GdipDrawRectangle(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height);
ZX_API Status WINAPI GdipDrawEllipse(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height);
ZX_API Status WINAPI GdipDrawPie(GpGraphics* graphics, GpPen* pen, REAL x, REAL y, REAL width, REAL height,
                                 REAL startAngle, REAL sweepAngle);
ZX_API Status WINAPI GdipDrawPolygon(GpGraphics* graphics, GpPen* pen, const PointF* points, INT count);
ZX_API Status WINAPI GdipDrawCurve2(GpGraphics* graphics, GpPen* pen, const PointF* points, INT count, REAL tension);
ZX_API Status WINAPI GdipDrawClosedCurve2(GpGraphics* graphics, GpPen* pen, const PointF* points, INT count,
                                          REAL tension);
ZX_API Status WINAPI GdipDrawPath(GpGraphics* graphics, GpPen* pen, GpPath* path);

// --- fills ---
ZX_API Status WINAPI GdipFillRectangle(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height);
ZX_API Status WINAPI GdipFillEllipse(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height);
ZX_API Status WINAPI GdipFillPie(GpGraphics* graphics, GpBrush* brush, REAL x, REAL y, REAL width, REAL height,
                                 REAL startAngle, REAL sweepAngle);
ZX_API Status WINAPI GdipFillPolygon(GpGraphics* graphics, GpBrush* brush, const PointF* points, INT count,
                                     FillMode fillMode);
ZX_API Status WINAPI GdipFillClosedCurve2(GpGraphics* graphics, GpBrush* brush, const PointF* points, INT count,
                                          REAL tension, FillMode fillMode);
ZX_API Status WINAPI GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path);

// --- text --- (length -1: up to the terminating zero)
ZX_API Status WINAPI GdipDrawString(GpGraphics* graphics, const WCHAR* string, INT length, const GpFont* font,
                                    const RectF* layoutRect, const GpStringFormat* format, const GpBrush* brush);
ZX_API Status WINAPI GdipMeasureString(GpGraphics* graphics, const WCHAR* string, INT length, const GpFont* font,
                                       const RectF* layoutRect, const GpStringFormat* format, RectF* boundingBox,
                                       INT* codepointsFitted, INT* linesFilled);
// Each character (UTF-16 unit; a surrogate pair is one) drawn with its origin on the baseline at its
// own position, in world units; with RealizedAdvance only the first position counts and the others
// follow the font's advances. Ligatures are not formed. matrix (optional) applies to the text before
// the world transform. Without CmapLookup the text would be glyph indices of the font, which are not
// portable between font files: NotImplemented.
ZX_API Status WINAPI GdipDrawDriverString(GpGraphics* graphics, const UINT16* text, INT length, const GpFont* font,
                                          const GpBrush* brush, const PointF* positions, INT flags,
                                          const GpMatrix* matrix);
// One region per measurable range of the format (regionCount must equal their count): the union of
// the boxes of the range's characters, each as high as its line.
ZX_API Status WINAPI GdipMeasureCharacterRanges(GpGraphics* graphics, const WCHAR* string, INT length,
                                                const GpFont* font, const RectF& layoutRect,
                                                const GpStringFormat* format, INT regionCount, GpRegion** regions);
}
}  // namespace Gdiplus::DllExports
