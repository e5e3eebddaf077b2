// Zentarix — MIT licence.
// Effects shaped by geometry: mosaic cells, the elliptic crop, the button bevel and the page curl.
#pragma once
#include "EffectPixels.h"

namespace zx::effects::kernels {

// Cells of cellWidth x cellHeight from the top left (smaller at the right and bottom edges), each
// filled with its mean colour: colours weighted by alpha, alpha averaged, all rounded.
// cellWidth, cellHeight >= 1.
void mosaic_argb32(int32_t cellWidth, int32_t cellHeight, ConstPixelView src, PixelView dst);

// The ellipse centred on pixel (x, y) with radii rx, ry (> 0) keeps the image; the rest becomes
// the background. Pixels wholly inside are kept exactly and pixels wholly outside are exactly the
// background; pixels on the rim mix the two by their covered share (16 samples).
void ellipse_crop_argb32(int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t background, ConstPixelView src,
                         PixelView dst);

// A bevel frameWidth pixels wide (>= 0) along the border, dst being a copy of src: the top and left
// sides lighten towards white, the bottom and right darken towards black (type 1 and 3 the other
// way round, a sunken button), by opacity percent (0..100) on the top and bottom and three
// quarters of it on the sides; types 2 and 3 fade the bevel out inwards. Corners are split along
// their diagonals. Alpha kept.
void buttonize_argb32(int32_t type, int32_t frameWidth, int32_t opacity, ConstPixelView src, PixelView dst);

struct PageCurlSettings {
  int32_t width = 0, height = 0;  // the cut along the corner's horizontal and vertical edges, > 0
  int32_t mode = 5;               // PageCurlModes: corner (LeftTop, RightTop, RightBottom, LeftBottom) * 2 + down
  uint32_t curl_colour = 0xFFFFFFCCu;
  uint32_t background = 0xFFFFFFFFu;
};

// The corner beyond the line from `width` along its horizontal edge to `height` along its vertical
// edge leaves the page and shows the background. Curling down, it lies folded over the page, its
// back (the curl colour, shaded from the fold to the tip) mirrored across the fold line and casting
// a soft shadow. Curling up, it rolls into a tube along the fold line, the curl colour shaded like
// a cylinder, with a shadow on the page below it. Rims are antialiased (16 samples); dst is a copy
// of src and only the corner's neighbourhood changes.
void page_curl_argb32(const PageCurlSettings& settings, ConstPixelView src, PixelView dst);

}  // namespace zx::effects::kernels
