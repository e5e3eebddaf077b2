// Zentarix GDI+ layer — MIT licence.
// The 8 x 8 patterns of the 53 hatch styles.
//
// Where the patterns come from: this table was drawn for this library from the style names alone;
// no other implementation's table was consulted. Each row below says how its pattern follows from
// the name. Where the name fixes the pattern (straight lines, their spacing and thickness, crosses,
// grids, checkers, percentages) it is taken as the name states it; where the name only describes a
// motif (confetti, zigzag, wave, bricks, weave, plaid, divot, shingle, trellis, sphere, diamonds) the
// pattern is our own drawing of that motif. Byte r is row r; bit 7 is the leftmost pixel. "Downward"
// diagonals fall to the right (as ForwardDiagonal, "\"), "upward" ones rise to the right ("/").
#include <array>

#include "vector_data.h"

namespace zx::gdip {
namespace {

using Pattern = std::array<uint8_t, 8>;

// PercentN: the pixels whose rank in the 8 x 8 ordered-dither (Bayer) matrix is below N% of 64,
// rounded to the nearest pixel: evenly spread dots, a checkerboard at 50 percent.
Pattern percent(int count) {
  Pattern rows{};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      // The Bayer rank interleaves the bits of x ^ y and y, the finest bits most significant (the
      // recursive construction M(2n) = [4M + 0, 4M + 2; 4M + 3, 4M + 1]).
      const int a = x ^ y, b = y;
      int rank = 0;
      for (int bit = 0; bit <= 2; ++bit) rank = rank * 4 + ((a >> bit) & 1) * 2 + ((b >> bit) & 1);
      if (rank < count) rows[static_cast<size_t>(y)] |= static_cast<uint8_t>(0x80 >> x);
    }
  return rows;
}

std::array<Pattern, Gdiplus::HatchStyleTotal> make_table() {
  return {{
      {0xFF, 0, 0, 0, 0, 0, 0, 0},                              // Horizontal: one line per 8 rows
      {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},         // Vertical: one line per 8 columns
      {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},         // ForwardDiagonal: x = y
      {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},         // BackwardDiagonal: x + y = 7
      {0xFF, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},         // Cross: Horizontal and Vertical
      {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},         // DiagonalCross: both diagonals
      percent(3),                                               // 05Percent
      percent(6),                                               // 10Percent
      percent(13),                                              // 20Percent
      percent(16),                                              // 25Percent
      percent(19),                                              // 30Percent
      percent(26),                                              // 40Percent
      percent(32),                                              // 50Percent
      percent(38),                                              // 60Percent
      percent(45),                                              // 70Percent
      percent(48),                                              // 75Percent
      percent(51),                                              // 80Percent
      percent(58),                                              // 90Percent
      {0x88, 0x44, 0x22, 0x11, 0x88, 0x44, 0x22, 0x11},         // LightDownwardDiagonal: "\" every 4
      {0x11, 0x22, 0x44, 0x88, 0x11, 0x22, 0x44, 0x88},         // LightUpwardDiagonal: "/" every 4
      {0xCC, 0x66, 0x33, 0x99, 0xCC, 0x66, 0x33, 0x99},         // DarkDownwardDiagonal: 2 wide, every 4
      {0x33, 0x66, 0xCC, 0x99, 0x33, 0x66, 0xCC, 0x99},         // DarkUpwardDiagonal: its mirror
      {0xE0, 0x70, 0x38, 0x1C, 0x0E, 0x07, 0x83, 0xC1},         // WideDownwardDiagonal: 3 wide, every 8
      {0x07, 0x0E, 0x1C, 0x38, 0x70, 0xE0, 0xC1, 0x83},         // WideUpwardDiagonal: its mirror
      {0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88, 0x88},         // LightVertical: every 4 columns
      {0xFF, 0, 0, 0, 0xFF, 0, 0, 0},                           // LightHorizontal: every 4 rows
      {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA},         // NarrowVertical: every 2 columns
      {0xFF, 0, 0xFF, 0, 0xFF, 0, 0xFF, 0},                     // NarrowHorizontal: every 2 rows
      {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC},         // DarkVertical: 2 wide, every 4
      {0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0},                     // DarkHorizontal: 2 high, every 4
      {0x88, 0x44, 0x22, 0x11, 0, 0, 0, 0},                     // DashedDownwardDiagonal: "\" dashes
      {0x11, 0x22, 0x44, 0x88, 0, 0, 0, 0},                     // DashedUpwardDiagonal: "/" dashes
      {0xF0, 0, 0, 0, 0x0F, 0, 0, 0},                           // DashedHorizontal: staggered dashes
      {0x80, 0x80, 0x80, 0x80, 0x08, 0x08, 0x08, 0x08},         // DashedVertical: staggered dashes
      {0x80, 0x04, 0x40, 0x02, 0x20, 0x01, 0x10, 0x08},         // SmallConfetti: scattered pixels
      {0xC0, 0xC0, 0x0C, 0x0C, 0x30, 0x30, 0x03, 0x03},         // LargeConfetti: scattered 2 x 2 blocks
      {0x81, 0x42, 0x24, 0x18, 0, 0, 0, 0},                     // ZigZag: V strokes joined side by side
      {0, 0x07, 0x88, 0x70, 0, 0, 0, 0},                        // Wave: one sine period per 8 columns
      {0x01, 0x02, 0x04, 0x08, 0x18, 0x24, 0x42, 0x81},         // DiagonalBrick: "/" courses, "\" joints
      {0xFF, 0x80, 0x80, 0x80, 0xFF, 0x08, 0x08, 0x08},         // HorizontalBrick: courses, offset joints
      {0x88, 0x54, 0x22, 0x45, 0x88, 0x14, 0x22, 0x51},         // Weave: strands passing over and under
      {0xAA, 0x55, 0xAA, 0x55, 0xF0, 0xF0, 0xF0, 0xF0},         // Plaid: a checked band and a solid band
      {0, 0x20, 0x10, 0x20, 0, 0x02, 0x01, 0x02},               // Divot: small staggered chevrons
      {0xAA, 0, 0x80, 0, 0x80, 0, 0x80, 0},                     // DottedGrid: a grid of dotted lines
      {0x80, 0, 0x22, 0, 0x08, 0, 0x22, 0},                     // DottedDiamond: dotted diagonal lattice
      {0x03, 0x84, 0x48, 0x30, 0x0C, 0x02, 0x01, 0x01},         // Shingle: overlapping curved tiles
      {0xFF, 0x66, 0xFF, 0x99, 0xFF, 0x66, 0xFF, 0x99},         // Trellis: a dense lattice
      {0x3C, 0x4E, 0x9F, 0xBF, 0xFF, 0xFF, 0x7E, 0x3C},         // Sphere: a disc lit from the upper left
      {0xFF, 0x88, 0x88, 0x88, 0xFF, 0x88, 0x88, 0x88},         // SmallGrid: a grid every 4 pixels
      {0xCC, 0xCC, 0x33, 0x33, 0xCC, 0xCC, 0x33, 0x33},         // SmallCheckerBoard: 2 x 2 checks
      {0xF0, 0xF0, 0xF0, 0xF0, 0x0F, 0x0F, 0x0F, 0x0F},         // LargeCheckerBoard: 4 x 4 checks
      {0x18, 0x24, 0x42, 0x81, 0x81, 0x42, 0x24, 0x18},         // OutlinedDiamond: diamond outlines
      {0x18, 0x3C, 0x7E, 0xFF, 0xFF, 0x7E, 0x3C, 0x18},         // SolidDiamond: filled diamonds
  }};
}

}  // namespace

const uint8_t* hatch_pattern(Gdiplus::HatchStyle style) {
  static const std::array<Pattern, Gdiplus::HatchStyleTotal> table = make_table();
  return table[static_cast<size_t>(style)].data();
}

}  // namespace zx::gdip
