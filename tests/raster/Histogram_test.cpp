// Zentarix — MIT licence.
// The histogram kernel: bins of each kind, the exact double sums, and the table-driven fast path.
#include "kernels/Histogram.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace zx::raster::kernels {
namespace {

uint32_t grey(uint32_t k) { return 0xFF000000u | k << 16 | k << 8 | k; }

TEST(HistogramBin, LightnessOfSomeGreysFallsOneBinLow) {
  EXPECT_EQ(histogram_bin(HistogramKind::lightness, grey(0)), 0);
  EXPECT_EQ(histogram_bin(HistogramKind::lightness, grey(1)), 0);
  EXPECT_EQ(histogram_bin(HistogramKind::lightness, grey(2)), 1);
  EXPECT_EQ(histogram_bin(HistogramKind::lightness, grey(3)), 3);
  EXPECT_EQ(histogram_bin(HistogramKind::lightness, grey(128)), 127);
  EXPECT_EQ(histogram_bin(HistogramKind::lightness, grey(127)), 127);
  EXPECT_EQ(histogram_bin(HistogramKind::lightness, grey(255)), 255);
  // 0.59 * 200 (green) + 0.3 * 10 (red) + 0.11 * 0 = 121.
  EXPECT_EQ(histogram_bin(HistogramKind::lightness, 0xFF0AC800), 121);
}

TEST(HistogramBin, IntensityOfEveryGreyIsItsOwnBin) {
  for (uint32_t k = 0; k < 256; ++k) EXPECT_EQ(histogram_bin(HistogramKind::intensity, grey(k)), static_cast<int>(k));
  EXPECT_EQ(histogram_bin(HistogramKind::intensity, 0xFF010000), 0);  // 1/3
  EXPECT_EQ(histogram_bin(HistogramKind::intensity, 0x00FFFF00), 170);  // 510/3, alpha ignored
}

TEST(HistogramCount, TablesAgreeWithTheFormulaOnRandomPixels) {
  std::mt19937 rng(7);
  std::vector<uint32_t> pixels(1003);
  for (auto& p : pixels) p = rng();
  for (int kind = 0; kind < 5; ++kind) {
    SCOPED_TRACE(kind);
    int32_t bins[256] = {};
    ASSERT_TRUE(histogram_argb32({reinterpret_cast<const uint8_t*>(pixels.data()), 17, 59, 17 * 4}, kind, bins));
    int32_t expected[256] = {};
    for (uint32_t p : pixels) ++expected[histogram_bin(static_cast<HistogramKind>(kind), p)];
    for (int i = 0; i < 256; ++i) ASSERT_EQ(bins[i], expected[i]) << "bin " << i;
  }
}

TEST(HistogramCount, StrideGapsAreNotCountedAndUnknownKindsTouchNothing) {
  std::vector<uint32_t> rows = {grey(5), grey(6), grey(200), grey(7), grey(8), grey(200)};
  int32_t bins[256] = {};
  ASSERT_TRUE(histogram_argb32({reinterpret_cast<const uint8_t*>(rows.data()), 2, 2, 12}, 2, bins));
  EXPECT_EQ(bins[5] + bins[6] + bins[7] + bins[8], 4);
  EXPECT_EQ(bins[200], 0);

  int32_t untouched[256];
  for (int32_t& b : untouched) b = 9;
  EXPECT_FALSE(histogram_argb32({reinterpret_cast<const uint8_t*>(rows.data()), 2, 2, 12}, 5, untouched));
  EXPECT_FALSE(histogram_argb32({reinterpret_cast<const uint8_t*>(rows.data()), 2, 2, 12}, -1, untouched));
  for (int32_t b : untouched) ASSERT_EQ(b, 9);
}

}  // namespace
}  // namespace zx::raster::kernels
