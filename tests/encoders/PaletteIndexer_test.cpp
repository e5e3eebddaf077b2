// Zentarix — MIT licence.
// The nearest-entry search agrees with a plain linear scan, ties included.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "zx/palette_indexer.h"

namespace {

int linear_nearest(const std::vector<uint32_t>& pal, int r, int g, int b) {
  int best = -1;
  long bestDist = 0;
  for (size_t i = 0; i < pal.size(); ++i) {
    const int dr = int((pal[i] >> 16) & 0xFF) - r, dg = int((pal[i] >> 8) & 0xFF) - g, db = int(pal[i] & 0xFF) - b;
    const long d = long(dr) * dr + long(dg) * dg + long(db) * db;
    if (best < 0 || d < bestDist) {
      best = int(i);
      bestDist = d;
    }
  }
  return best;
}

int count_mismatches(const std::vector<uint32_t>& pal, std::mt19937& rng, int queries) {
  zx::gdip::PaletteIndexer idx(pal);
  std::uniform_int_distribution<int> c(0, 255);
  int bad = 0;
  for (int q = 0; q < queries; ++q) {
    const int r = c(rng), g = c(rng), b = c(rng);
    if (idx.nearest(uint8_t(r), uint8_t(g), uint8_t(b)) != linear_nearest(pal, r, g, b)) ++bad;
  }
  return bad;
}

}  // namespace

TEST(PaletteIndexer, RandomPalettesMatchLinearScanExactly) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<uint32_t> any(0, 0xFFFFFFu);
  for (int size : {1, 2, 3, 16, 100, 216, 256}) {
    SCOPED_TRACE(size);
    std::vector<uint32_t> pal(size);
    for (auto& e : pal) e = 0xFF000000u | any(rng);
    EXPECT_EQ(count_mismatches(pal, rng, 40000), 0);
  }
}

TEST(PaletteIndexer, ClusteredPaletteWithDuplicatesMatchesLinearScan) {
  // Entries bunched in one corner, with repeats, make many ties and long candidate lists.
  std::mt19937 rng(7);
  std::uniform_int_distribution<uint32_t> small(0, 12);
  std::vector<uint32_t> pal;
  for (int i = 0; i < 200; ++i) pal.push_back(0xFF000000u | small(rng) << 16 | small(rng) << 8 | small(rng));
  pal.push_back(0xFFFFFFFFu);
  pal.push_back(0xFFFFFFFFu);
  EXPECT_EQ(count_mismatches(pal, rng, 40000), 0);
}

TEST(PaletteIndexer, EveryColourOfTheCubeAgreesOnAGreyRamp) {
  std::vector<uint32_t> pal;
  for (uint32_t v = 0; v < 256; v += 17) pal.push_back(0xFF000000u | v << 16 | v << 8 | v);
  zx::gdip::PaletteIndexer idx(pal);
  int bad = 0;
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; ++b)
        if (idx.nearest(uint8_t(r), uint8_t(g), uint8_t(b)) != linear_nearest(pal, r, g, b)) ++bad;
  EXPECT_EQ(bad, 0);
}

TEST(PaletteIndexer, TiesGoToTheLowestIndex) {
  // (10,0,0) is 10 from both black entries and from (20,0,0); the first black wins.
  const std::vector<uint32_t> pal = {0xFF140000u, 0xFF000000u, 0xFF000000u};
  zx::gdip::PaletteIndexer idx(pal);
  EXPECT_EQ(idx.nearest(10, 0, 0), 0);
  EXPECT_EQ(idx.nearest(9, 0, 0), 1);
  EXPECT_EQ(idx.nearest_argb(0x00000000u), 1);
}

TEST(PaletteIndexer, AlphaOfEntriesIsIgnoredAndEmptyPaletteAnswersMinusOne) {
  const std::vector<uint32_t> pal = {0x00FFFFFFu, 0x80000000u};
  zx::gdip::PaletteIndexer idx(pal);
  EXPECT_EQ(idx.nearest(250, 250, 250), 0);
  EXPECT_EQ(idx.nearest(5, 5, 5), 1);
  zx::gdip::PaletteIndexer none(std::span<const uint32_t>{});
  EXPECT_EQ(none.nearest(1, 2, 3), -1);
  EXPECT_EQ(none.size(), 0u);
}
