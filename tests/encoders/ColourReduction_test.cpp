// Zentarix — MIT licence.
// Binarization, octree palette and palette mapping against hand-derived and independently computed results.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <random>
#include <set>
#include <vector>

#include "colour_reduction.h"

using namespace zx::encoding;

namespace {

struct Image {
  int w, h;
  std::vector<uint8_t> bgra;
  Image(int width, int height, uint32_t argb = 0xFF000000u) : w(width), h(height), bgra(size_t(width) * height * 4) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) set(x, y, argb);
  }
  void set(int x, int y, uint32_t argb) {
    uint8_t* p = &bgra[(size_t(y) * w + x) * 4];
    p[0] = uint8_t(argb);
    p[1] = uint8_t(argb >> 8);
    p[2] = uint8_t(argb >> 16);
    p[3] = uint8_t(argb >> 24);
  }
  ConstPixelView view() const { return {bgra.data(), w, h, ptrdiff_t(w) * 4}; }
};

struct Bilevel {
  int w, h;
  size_t stride;
  std::vector<uint8_t> bits;
  Bilevel(int width, int height, int align = 32)
      : w(width), h(height), stride(bilevel_row_bytes(width, align)), bits(stride * height, 0x5A) {}
  PixelView view() { return {bits.data(), w, h, ptrdiff_t(stride)}; }
  bool bit(int x, int y) const { return (bits[y * stride + x / 8] >> (7 - x % 8)) & 1; }
  int count_set() const {
    int n = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) n += bit(x, y);
    return n;
  }
};

struct Indexed {
  int w, h;
  std::vector<uint8_t> idx;
  Indexed(int width, int height) : w(width), h(height), idx(size_t(width) * height, 0xEE) {}
  PixelView view() { return {idx.data(), w, h, ptrdiff_t(w)}; }
  uint8_t at(int x, int y) const { return idx[size_t(y) * w + x]; }
};

}  // namespace

TEST(Luminance, TruncatesTheDoubleSum) {
  EXPECT_EQ(luminance(128, 128, 128), 127);  // 127.99999999999999
  EXPECT_EQ(luminance(129, 128, 128), 128);  // 128.299
  EXPECT_EQ(luminance(255, 255, 255), 255);
  EXPECT_EQ(luminance(254, 255, 255), 254);
  EXPECT_EQ(luminance(0, 0, 255), 29);  // 29.07
}

// The bilevel rows a binarization writes, in hex ("5a..." where nothing was written; the buffer
// starts filled with 0x5A), or "refused".
std::string binarized(const Image& img, int threshold, DitherMode mode, bool inverted, int align = 32) {
  Bilevel out(img.w, img.h, align);
  if (binarize_argb32(img.view(), out.view(), uint8_t(threshold), mode, inverted) != ReduceStatus::Ok) return "refused";
  std::string text;
  char hex[3];
  for (uint8_t b : out.bits) text += (std::snprintf(hex, sizeof hex, "%02x", b), hex);
  return text;
}

Image row(std::vector<uint32_t> argb) {
  Image img(int(argb.size()), 1);
  for (size_t x = 0; x < argb.size(); ++x) img.set(int(x), 0, argb[x]);
  return img;
}

TEST(Binarize, ThresholdsInversionAlignmentAndTheOrderedMatrix) {
  EXPECT_EQ(bilevel_row_bytes(1, 32) * 1000 + bilevel_row_bytes(33, 32) * 100 + bilevel_row_bytes(9, 8) * 10 +
                bilevel_row_bytes(8, 8),
            4821u);
  Image withClear(5, 2, 0xFF000000u);
  withClear.set(2, 1, 0x00123456u);
  const Image grey128(4, 4, 0xFF818080u), grey127(4, 4, 0xFF808080u);  // luminance 128 and 127
  const std::pair<std::string, std::string> cases[] = {
      {binarized(withClear, 0, DitherMode::Threshold, false), "f8000000f8000000"},  // padding zero
      {binarized(row({0xFFFFFFFFu, 0xFFFEFFFFu, 0xFFFFFFFFu}), 255, DitherMode::Threshold, false), "a0000000"},
      {binarized(Image(32, 1, 0xFFFFFFFFu), 128, DitherMode::Threshold, true), "00000000"},
      {binarized(Image(3, 1), 128, DitherMode::Threshold, true), "ffffffff"},  // padding stays filled
      {binarized(Image(9, 2, 0xFFFFFFFFu), 128, DitherMode::Threshold, false, 8), "ff80ff80"},
      // Cells whose matrix value is at most the luminance are white; 127 loses the cell with 128.
      {binarized(grey128, 0, DitherMode::Ordered, false), "a0000000d0000000a000000050000000"},
      {binarized(grey127, 0, DitherMode::Ordered, false), "a000000050000000a000000050000000"},
      {binarized(Image(4, 1), 128, DitherMode(3), false), "refused"},
  };
  for (const auto& [got, want] : cases) EXPECT_EQ(got, want) << &want - &cases[0].second;
}

namespace {

// A plain restatement of Floyd-Steinberg over a full error plane, with truncation written as
// std::trunc on doubles, to check the kernel's two-row bookkeeping.
int reference_diffusion_whites(int w, int h, int lum, int threshold) {
  std::vector<std::vector<int>> err(h + 1, std::vector<int>(w, 0));
  int whites = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int v = std::clamp(lum + err[y][x], 0, 255);
      const bool white = v >= threshold;
      whites += white;
      const int e = v - (white ? 255 : 0);
      auto part = [&](int k) { return int(std::trunc(k * e / 16.0)); };
      err[y + 1][x] += part(5);
      if (x > 0) err[y + 1][x - 1] += part(3);
      if (x + 1 < w) {
        err[y][x + 1] += part(7);
        err[y + 1][x + 1] += part(1);
      }
    }
  return whites;
}

}  // namespace

TEST(Binarize, ErrorDiffusionMatchesAPlainRestatement) {
  ASSERT_EQ(luminance(65, 64, 64), 64);
  Image img(16, 16, 0xFF414040u);
  Bilevel out(16, 16);
  ASSERT_EQ(binarize_argb32(img.view(), out.view(), 128, DitherMode::ErrorDiffusion, false), ReduceStatus::Ok);
  EXPECT_EQ(out.count_set(), reference_diffusion_whites(16, 16, 64, 128));
  EXPECT_NEAR(out.count_set(), 64, 8);
  // The first row never gathers enough error to reach 128: 64, 92, 104, 109, ... all black.
  for (int x = 0; x < 4; ++x) EXPECT_FALSE(out.bit(x, 0));
}

TEST(OctreePalette, FewerColoursThanTheMaximumAreKeptExactly) {
  const std::vector<uint32_t> colours = {0xFF102030u, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFF7F7F80u};
  Image img(10, 10, colours[0]);
  for (int i = 0; i < 100; ++i) img.set(i % 10, i / 10, colours[size_t(i * 7 % 5)]);
  std::vector<uint32_t> pal;
  ASSERT_EQ(octree_palette_argb32(img.view(), 8, 8, pal), ReduceStatus::Ok);
  EXPECT_EQ(std::set<uint32_t>(pal.begin(), pal.end()), std::set<uint32_t>(colours.begin(), colours.end()));
  EXPECT_EQ(pal.size(), 5u);
}

TEST(OctreePalette, ReducesTheNewestDeepestNodeAndAveragesByIntegerDivision) {
  // (0,0,0) and (1,1,1) share a level-7 node; so do (255,255,255) and (254,254,254). The fourth
  // leaf forces one merge: the head of level 7 is the node made last, the white one.
  Image img(4, 1);
  img.set(0, 0, 0xFF000000u);
  img.set(1, 0, 0xFF010101u);
  img.set(2, 0, 0xFFFFFFFFu);
  img.set(3, 0, 0xFFFEFEFEu);
  std::vector<uint32_t> pal;
  ASSERT_EQ(octree_palette_argb32(img.view(), 3, 8, pal), ReduceStatus::Ok);
  EXPECT_EQ(pal, (std::vector<uint32_t>{0xFF000000u, 0xFF010101u, 0xFFFEFEFEu}));  // 509 / 2 = 254
}

TEST(OctreePalette, ReadsTheImageCompositedOverBlack) {
  Image img(2, 1);
  img.set(0, 0, 0x80FF0000u);  // half-transparent red over black
  img.set(1, 0, 0x0000FF00u);  // invisible green is black
  std::vector<uint32_t> pal;
  ASSERT_EQ(octree_palette_argb32(img.view(), 16, 8, pal), ReduceStatus::Ok);
  EXPECT_EQ(pal, (std::vector<uint32_t>{0xFF000000u, 0xFF800000u}));
}

TEST(OctreePalette, MoreThanEightColourBitsGivesNoPalette) {
  Image img(1, 1);
  std::vector<uint32_t> pal = {1, 2};
  EXPECT_EQ(octree_palette_argb32(img.view(), 16, 9, pal), ReduceStatus::GenericError);
  EXPECT_EQ(pal.size(), 2u);
}

TEST(ConvertToIndexed, ColourCountRule) {
  EXPECT_EQ(indexed_colour_count(300, PaletteType::Octree), 256u);
  EXPECT_EQ(indexed_colour_count(1, PaletteType::Octree), 2u);
  EXPECT_EQ(indexed_colour_count(-5, PaletteType::Octree), 2u);
  EXPECT_EQ(indexed_colour_count(16, PaletteType::Octree), 16u);
  EXPECT_EQ(indexed_colour_count(2, PaletteType::Halftone), 256u);
}

TEST(ConvertToIndexed, ThreeHundredColoursGiveA256EntryPaletteAndOneColourTwo) {
  Image img(30, 10);
  for (int i = 0; i < 300; ++i) img.set(i % 30, i / 30, 0xFF000000u | uint32_t(i * 55001 % 0xFFFFFF));
  Indexed out(30, 10);
  std::vector<uint32_t> pal;
  uint32_t flags = 99;
  ASSERT_EQ(convert_to_indexed_argb32(img.view(), out.view(), 300, DitherMode::Threshold, false, PaletteType::Octree,
                                      {}, pal, flags),
            ReduceStatus::Ok);
  EXPECT_EQ(pal.size(), 256u);
  EXPECT_EQ(flags, 0u);

  Image one(3, 3, 0xFF336699u);
  Indexed o(3, 3);
  ASSERT_EQ(convert_to_indexed_argb32(one.view(), o.view(), 1, DitherMode::Threshold, false, PaletteType::Octree, {},
                                      pal, flags),
            ReduceStatus::Ok);
  ASSERT_EQ(pal.size(), 2u);
  EXPECT_EQ(pal[0], 0xFF336699u);
  EXPECT_EQ(pal[1], 0xFF000000u);  // past the octree's single leaf
  EXPECT_TRUE(std::all_of(o.idx.begin(), o.idx.end(), [](uint8_t i) { return i == 0; }));
}

TEST(ConvertToIndexed, FewColoursMapBackExactly) {
  Image img(4, 2, 0xFF0000FFu);
  img.set(1, 0, 0xFFFF0000u);
  img.set(3, 1, 0xFF00FF00u);
  Indexed out(4, 2);
  std::vector<uint32_t> pal;
  uint32_t flags = 0;
  ASSERT_EQ(convert_to_indexed_argb32(img.view(), out.view(), 256, DitherMode::ErrorDiffusion, false,
                                      PaletteType::Octree, {}, pal, flags),
            ReduceStatus::Ok);
  EXPECT_EQ(pal.size(), 256u);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      const uint8_t* p = &img.bgra[(size_t(y) * 4 + x) * 4];
      const uint32_t want = 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      EXPECT_EQ(pal[out.at(x, y)], want) << x << "," << y;
    }
}

TEST(ConvertToIndexed, TransparentPixelsClearTheirEntrysAlphaAndLookUpRawColour) {
  Image img(3, 1, 0xFF0000FFu);
  img.set(1, 0, 0x00FF0000u);  // invisible red: the octree sees black, the lookup sees red
  img.set(2, 0, 0x01000000u);
  Indexed out(3, 1);
  std::vector<uint32_t> pal;
  uint32_t flags = 0;
  ASSERT_EQ(convert_to_indexed_argb32(img.view(), out.view(), 4, DitherMode::Threshold, true, PaletteType::Octree,
                                      {}, pal, flags),
            ReduceStatus::Ok);
  EXPECT_EQ(flags, 1u);
  ASSERT_EQ(pal.size(), 4u);
  // Octree leaves in path order: black (0), blue (1); entries 2 and 3 unused.
  EXPECT_EQ(pal[0], 0x00000000u);  // chosen by alpha-1 black and by the red (nearer black than blue)
  EXPECT_EQ(pal[1], 0xFF0000FFu);
  EXPECT_EQ(out.idx, (std::vector<uint8_t>{1, 0, 0}));
}

TEST(ConvertToIndexed, HalftoneUsesTheGivenTableAndFlags) {
  std::vector<uint32_t> table(256);
  for (uint32_t i = 0; i < 256; ++i) table[i] = 0xFF000000u | i << 16 | i << 8 | i;
  Image img(2, 1, 0xFF404040u);
  img.set(1, 0, 0xFF0A0A0Au);
  Indexed out(2, 1);
  std::vector<uint32_t> pal;
  uint32_t flags = 0;
  ASSERT_EQ(convert_to_indexed_argb32(img.view(), out.view(), 8, DitherMode::Threshold, false, PaletteType::Halftone,
                                      table, pal, flags),
            ReduceStatus::Ok);
  EXPECT_EQ(flags, 4u);
  EXPECT_EQ(pal, table);
  EXPECT_EQ(out.idx, (std::vector<uint8_t>{0x40, 0x0A}));
  EXPECT_EQ(convert_to_indexed_argb32(img.view(), out.view(), 8, DitherMode::Threshold, false, PaletteType(2), table,
                                      pal, flags),
            ReduceStatus::InvalidParameter);
}

TEST(MapToPalette, OrderedOffsetsRunFromMinus32To28AndClamp) {
  std::vector<uint32_t> greys(256);
  for (uint32_t i = 0; i < 256; ++i) greys[i] = 0xFF000000u | i << 16 | i << 8 | i;
  Image img(4, 2, 0xFF646464u);  // 100
  img.set(3, 1, 0xFFFAFAFAu);     // 250 at matrix value (3,1) = 112: 250 + 28 - 32
  img.set(2, 1, 0xFF0A0A0Au);     // 10 at (2,1) = 176: 10 + 44 - 32
  img.set(0, 0, 0xFF0A0A0Au);     // 10 at (0,0) = 0: clamps to 0
  Indexed out(4, 2);
  ASSERT_EQ(map_to_palette_argb32(img.view(), out.view(), greys, 256, DitherMode::Ordered, false), ReduceStatus::Ok);
  EXPECT_EQ(out.at(0, 0), 0);
  EXPECT_EQ(out.at(1, 0), 100 + 48 - 32);  // matrix 192
  EXPECT_EQ(out.at(0, 1), 100 + 32 - 32);  // matrix 128
  EXPECT_EQ(out.at(2, 1), 22);
  EXPECT_EQ(out.at(3, 1), 246);
  Image bright(4, 1, 0xFFFAFAFAu);
  Indexed b(4, 1);
  ASSERT_EQ(map_to_palette_argb32(bright.view(), b.view(), greys, 256, DitherMode::Ordered, false), ReduceStatus::Ok);
  EXPECT_EQ(b.at(3, 0), 255);  // 250 + 60 - 32 clamps
}

namespace {

// Three-channel Floyd-Steinberg written over a full error plane with a linear nearest search.
std::vector<uint8_t> reference_palette_diffusion(const Image& img, const std::vector<uint32_t>& pal) {
  std::vector<std::vector<std::array<int, 3>>> err(img.h + 1, std::vector<std::array<int, 3>>(img.w, {0, 0, 0}));
  std::vector<uint8_t> out;
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) {
      const uint8_t* p = &img.bgra[(size_t(y) * img.w + x) * 4];
      const int v[3] = {p[2] + err[y][x][0], p[1] + err[y][x][1], p[0] + err[y][x][2]};
      int best = 0;
      long bestD = -1;
      for (size_t i = 0; i < pal.size(); ++i) {
        long d = 0;
        for (int c = 0; c < 3; ++c) {
          const int pc = int(pal[i] >> (16 - 8 * c)) & 0xFF;
          const int dc = std::clamp(v[c], 0, 255) - pc;
          d += long(dc) * dc;
        }
        if (bestD < 0 || d < bestD) bestD = d, best = int(i);
      }
      out.push_back(uint8_t(best));
      for (int c = 0; c < 3; ++c) {
        const int e = v[c] - (int(pal[size_t(best)] >> (16 - 8 * c)) & 0xFF);
        err[y + 1][x][c] += int(std::trunc(5 * e / 16.0));
        if (x > 0) err[y + 1][x - 1][c] += int(std::trunc(3 * e / 16.0));
        if (x + 1 < img.w) {
          err[y][x + 1][c] += int(std::trunc(7 * e / 16.0));
          err[y + 1][x + 1][c] += int(std::trunc(e / 16.0));
        }
      }
    }
  return out;
}

}  // namespace

TEST(MapToPalette, ErrorDiffusionMatchesAPlainRestatement) {
  std::mt19937 rng(3);
  std::uniform_int_distribution<uint32_t> any(0, 0xFFFFFF);
  std::vector<uint32_t> pal(12);
  for (auto& e : pal) e = 0xFF000000u | any(rng);
  pal[0] = 0xFF000000u;
  pal[1] = 0xFFFFFFFFu;
  Image img(37, 23);
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) img.set(x, y, 0xFF000000u | any(rng));
  Indexed out(37, 23);
  std::vector<uint32_t> work = pal;
  ASSERT_EQ(map_to_palette_argb32(img.view(), out.view(), work, work.size(), DitherMode::ErrorDiffusion, false),
            ReduceStatus::Ok);
  EXPECT_EQ(out.idx, reference_palette_diffusion(img, pal));
  EXPECT_EQ(work, pal);
}
