// Zentarix GDI+ layer — MIT licence.
// The image resampler behind DrawImage: how device pixels sample a source image, and how they land.
#pragma once
#include <cstddef>
#include <cstdint>

namespace zx::resample {

// ---- The definition ------------------------------------------------------------------------------
// Coordinates. A source image covers its pixel grid; `offset` o is 0.5 for PixelOffsetModeHalf and
// HighQuality, 0 for None, HighSpeed and Default. Pixel k of either grid (source or device) has its
// centre at coordinate k + o. Device pixel (i, j) is drawn when its centre (i + o, j + o), mapped
// back through the affine transform to source coordinates (u, v), lies in the source rectangle
// [sx, sx + sw) x [sy, sy + sh); it then samples the source at the index position (u - o, v - o),
// where source pixel k sits at position k. A 1:1 mapping with integer offsets therefore puts every
// device pixel exactly on one source pixel in both modes, and such a draw copies the pixels as they
// are (through the colour matrix when one is set) without filtering.
//
// Filters, per axis, at position x with reduction factor f (source pixels per device pixel along
// that axis of the source, at least 1):
//   Nearest:   the pixel floor(x + 0.5).
//   Bilinear:  tent(d) = 1 - |d| over the taps k with |x - k| < 1 (no prefilter).
//   Bicubic:   Keys' cubic with a = -0.5 over |x - k| < 2 (no prefilter).
//   The high-quality modes prefilter on reduction: the kernel is stretched by f, so HighQualityBilinear
//   uses tent(d / f) over |d| < f and HighQualityBicubic cubic(d / f) over |d| < 2f. On enlargement
//   (f = 1) they equal the plain modes.
// The weights of the taps (inside the image or not) are divided by their sum. A tap outside the
// image takes the edge colour (transparent unless the image attributes give a clamp colour) or, in
// the tile modes, the pixel the tiling puts there.
//
// Filtering runs in premultiplied alpha (colour x alpha, alpha, in single precision), so transparent
// pixels lend no colour; the result is turned back into straight ARGB by dividing by its alpha,
// clamping to 0..255 and rounding half up. A result whose alpha rounds to 0 is the pixel 0. A colour
// matrix applies to each straight source pixel (components 0..1, clamped, rounded back to 0..255)
// before it is filtered. Nearest-neighbour samples are copied as they are stored.
//
// Compositing, in straight ARGB per pixel: SourceCopy stores the sample; SourceOver leaves the
// target where the sample's alpha is 0, stores the sample where its alpha is 255 or the target's is
// 0, and otherwise stores out_a = sa + da (255 - sa) / 255 and out_c = (sc sa + dc da (255 - sa) /
// 255) / out_a (single precision, rounded half up). Canvas pixels the image does not cover are never
// read or written, so they never pass through premultiplied storage.

enum class Filter { Nearest, Bilinear, Bicubic };
enum class Edge { Colour, Tile, TileFlipX, TileFlipY, TileFlipXY };
enum class Compose { SourceOver, SourceCopy };
// How a target stores its pixels: straight ARGB, premultiplied ARGB, or opaque RGB (a 32-bit RGB
// bitmap or a device context: read as opaque, written with alpha 255; SourceCopy stores the sample
// composed over black).
enum class TargetFormat { Argb, Pargb, Rgb };
// Which implementation runs: the vectorised one, or the plain scalar reference it is tested against.
enum class Path { Fast, Reference };

// Straight ARGB pixels, bytes B, G, R, A.
struct SourceView {
  const uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t stride = 0;
};
struct TargetView {
  uint8_t* data = nullptr;  // row 0; stride may be negative (bottom-up device bitmaps)
  int width = 0;
  int height = 0;
  ptrdiff_t stride = 0;
  TargetFormat format = TargetFormat::Argb;
};

// x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy.
struct Affine {
  double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;
  Affine then(const Affine& next) const;  // this mapping followed by next
  bool invert(Affine* inverse) const;     // false when singular
};

// A 5 x 5 colour matrix in the row-vector convention; gray pixels (r = g = b) may be skipped or take
// their own matrix.
struct ColourMatrix {
  float m[5][5];
};
struct ColourMap {
  ColourMatrix matrix;
  ColourMatrix gray;
  bool skip_grays = false;
  bool alt_gray = false;
  uint32_t apply(uint32_t argb) const;
};

struct DrawRequest {
  SourceView source;
  double sx = 0, sy = 0, sw = 0, sh = 0;  // source rectangle, sw and sh > 0
  Affine to_device;                      // source coordinates -> device coordinates
  double offset = 0.5;
  Filter filter = Filter::Bilinear;
  bool prefilter = false;
  Edge edge = Edge::Colour;
  uint32_t edge_colour = 0;  // straight ARGB, for Edge::Colour
  const ColourMap* colour = nullptr;
  Compose compose = Compose::SourceOver;
  TargetView target;
  int clip_x0 = 0, clip_y0 = 0, clip_x1 = 0, clip_y1 = 0;  // device rectangle that may be written
};

// Draws as defined above. Allocates only bookkeeping proportional to the device span and the
// filter's reach; throws std::bad_alloc when that cannot be had. It runs under fault guards, so it
// (and all it calls) must stay free to throw.
void draw(const DrawRequest& request, Path path = Path::Fast);

// Stores one value in every pixel of the target as its format stores it.
void fill(const TargetView& target, uint32_t argb);

// The straight ARGB result of SourceOver for one pixel (exposed for the reference tests).
uint32_t source_over(uint32_t src, uint32_t dst);

// One straight ARGB sample composed onto one target pixel as `draw` composes it (vector drawing
// composes its coverage through this too, so both kinds of drawing land alike).
void compose_pixel(uint8_t* pixel, uint32_t sample, Compose mode, TargetFormat format);

}  // namespace zx::resample
