// Zentarix — MIT licence.
// FloodFill and GetHistogram through their public surface.
#include "RasterTestSupport.h"
#include "TestRegistry.h"

namespace zx::test {
namespace {

constexpr uint32_t kGrey = 0xFF808080;
constexpr uint32_t kGreen = 0xFF00FF00;

ComPtr<IRasterObject> solid(int width, int height, uint32_t colour) {
  ComPtr<IRasterObject> raster = make_raster();
  EXPECT_EQ(raster->EmptyImage(width, height, static_cast<LONG>(colour)), S_OK);
  return raster;
}

TEST(RasterObjectFloodFill, DefaultsTurnAUniformImageIntoTheNewColour) {
  ComPtr<IRasterObject> raster = solid(7, 5, kGrey);
  ASSERT_EQ(raster->FloodFill(3, 2, kGreen, kGrey, ffmFillTillColor, 32, VARIANT_FALSE, VARIANT_TRUE), S_OK);
  EXPECT_EQ(read_pixels(raster.get()), std::vector<uint32_t>(35, kGreen));
}

TEST(RasterObjectFloodFill, ToleranceZeroInTillModeKeepsHalftonesButFillsPlain) {
  ComPtr<IRasterObject> halftone = make_raster(3, 1, {kGrey, 0xFF808081, 0xFF909090});
  ASSERT_EQ(halftone->FloodFill(0, 0, kGreen, kGrey, ffmFillTillColor, 0, VARIANT_FALSE, VARIANT_TRUE), S_OK);
  // 0 * 255 / 0 is not a number: the reached pixels keep their colour.
  EXPECT_EQ(read_pixels(halftone.get()), (std::vector<uint32_t>{kGrey, 0xFF808081, 0xFF909090}));

  ComPtr<IRasterObject> plain = make_raster(3, 1, {kGrey, 0xFF808081, 0xFF909090});
  ASSERT_EQ(plain->FloodFill(0, 0, kGreen, kGrey, ffmFillTillColor, 0, VARIANT_FALSE, VARIANT_FALSE), S_OK);
  // A blue difference of 1 has distance 3 / 9 = 0, so it counts as the target colour.
  EXPECT_EQ(read_pixels(plain.get()), (std::vector<uint32_t>{kGreen, kGreen, 0xFF909090}));
}

TEST(RasterObjectFloodFill, ToleranceZeroInUntilModeFillsAtFullStrengthUpToTheBorder) {
  constexpr uint32_t border = 0xFF000000;
  ComPtr<IRasterObject> raster = make_raster(5, 1, {0xFF101010, 0xFFFFFFFF, border, 0xFF202020, 0xFF303030});
  ASSERT_EQ(raster->FloodFill(0, 0, kGreen, border, ffmFillUntilColor, 0, VARIANT_FALSE, VARIANT_TRUE), S_OK);
  EXPECT_EQ(read_pixels(raster.get()), (std::vector<uint32_t>{kGreen, kGreen, border, 0xFF202020, 0xFF303030}));
}

TEST(RasterObjectFloodFill, HalftoneBlendsByDistance) {
  // Distance of a blue difference of 6 is 3 * 36 / 9 = 12; v = (10 - sqrt 12) * 255 / 10 = 166.66, a = 166.
  ComPtr<IRasterObject> raster = make_raster(2, 1, {0xFF808086, kGrey});
  ASSERT_EQ(raster->FloodFill(0, 0, 0xFF000000, kGrey, ffmFillTillColor, 10, VARIANT_FALSE, VARIANT_TRUE), S_OK);
  EXPECT_EQ(read_pixels(raster.get()), (std::vector<uint32_t>{0xFF2C2C2E, 0xFF000000}));
}

TEST(RasterObjectFloodFill, PreserveAlphaPutsTheOldAlphaBack) {
  ComPtr<IRasterObject> raster = make_raster(2, 1, {0x40808080, 0x90808080});
  ASSERT_EQ(raster->FloodFill(0, 0, kGreen, kGrey, ffmFillTillColor, 0, VARIANT_TRUE, VARIANT_FALSE), S_OK);
  EXPECT_EQ(read_pixels(raster.get()), (std::vector<uint32_t>{0x4000FF00, 0x9000FF00}));
}

TEST(RasterObjectFloodFill, SeedThatStopsStillStartsBesideIt) {
  constexpr uint32_t odd = 0xFFFF0000;
  ComPtr<IRasterObject> raster = make_raster(3, 3, {kGrey, kGrey, kGrey, kGrey, odd, kGrey, kGrey, kGrey, kGrey});
  ASSERT_EQ(raster->FloodFill(1, 1, kGreen, kGrey, ffmFillTillColor, 0, VARIANT_FALSE, VARIANT_FALSE), S_OK);
  EXPECT_EQ(read_pixels(raster.get()),
            (std::vector<uint32_t>{kGreen, kGreen, kGreen, kGreen, odd, kGreen, kGreen, kGreen, kGreen}));

  ComPtr<IRasterObject> row = make_raster(5, 1, {kGrey, kGrey, odd, kGrey, kGrey});
  ASSERT_EQ(row->FloodFill(2, 0, kGreen, kGrey, ffmFillTillColor, 0, VARIANT_FALSE, VARIANT_FALSE), S_OK);
  EXPECT_EQ(read_pixels(row.get()), (std::vector<uint32_t>{kGrey, kGrey, odd, kGreen, kGreen}));
}

TEST(RasterObjectFloodFill, ArgumentsAreCheckedInOrder) {
  ComPtr<IRasterObject> empty = make_raster();
  expect_report(empty->FloodFill(0, 0, 0, 0, static_cast<FloodFillModes>(7), 32, 0, -1), E_FAIL,
                u"Cannot apply flood fill because the image is not loaded!");
  ComPtr<IRasterObject> raster = solid(3, 2, kGrey);
  expect_report(raster->FloodFill(5, 0, 0, 0, static_cast<FloodFillModes>(2), 32, 0, -1), E_INVALIDARG,
                u"Wrong flood fill mode!");
  for (const auto& [x, y] : {std::pair{3, 0}, std::pair{-1, 0}, std::pair{0, 2}, std::pair{0, -1}}) {
    expect_report(raster->FloodFill(x, y, 0, kGrey, ffmFillTillColor, 32, 0, -1), E_INVALIDARG,
                  u"You try to apply flood fill out of bounds!");
  }
  EXPECT_EQ(read_pixels(raster.get()), std::vector<uint32_t>(6, kGrey));
}

std::vector<int32_t> histogram(IRasterObject* raster, HistogramTypes type) {
  SAFEARRAY* array = nullptr;
  EXPECT_EQ(raster->GetHistogram(type, &array), S_OK);
  SafeArray owned(array);
  EXPECT_EQ(SafeArrayGetDim(array), 1u);
  EXPECT_EQ(array->rgsabound[0].cElements, 256u);
  EXPECT_EQ(array->rgsabound[0].lLbound, 0);
  const auto* bins = static_cast<const int32_t*>(array->pvData);
  return std::vector<int32_t>(bins, bins + 256);
}

TEST(RasterObjectHistogram, GreysFallInTheirBinsExceptLightnessOfOne) {
  ComPtr<IRasterObject> raster =
      make_raster(5, 1, {0xFF010101, 0x00010101, 0xFF000000, 0xFFFFFFFF, 0xFF7F7F7F});
  std::vector<int32_t> intensity = histogram(raster.get(), htIntensity);
  EXPECT_EQ(intensity[1], 2);
  EXPECT_EQ(intensity[0], 1);
  EXPECT_EQ(intensity[255], 1);
  EXPECT_EQ(intensity[127], 1);

  std::vector<int32_t> lightness = histogram(raster.get(), htLightness);
  // 0.59 + 0.3 + 0.11 adds up to just below 1: (1, 1, 1) counts in bin 0, transparent or not.
  EXPECT_EQ(lightness[0], 3);
  EXPECT_EQ(lightness[1], 0);
  EXPECT_EQ(lightness[255], 1);
}

TEST(RasterObjectHistogram, ChannelsCountTheirByte) {
  ComPtr<IRasterObject> raster = make_raster(3, 1, {0xFF102030, 0xFF102031, 0x00FFFFFF});
  EXPECT_EQ(histogram(raster.get(), htRed)[0x10], 2);
  EXPECT_EQ(histogram(raster.get(), htGreen)[0x20], 2);
  std::vector<int32_t> blue = histogram(raster.get(), htBlue);
  EXPECT_EQ(blue[0x30], 1);
  EXPECT_EQ(blue[0x31], 1);
  EXPECT_EQ(blue[0xFF], 1);
}

TEST(RasterObjectHistogram, FailuresAreReported) {
  ComPtr<IRasterObject> raster = make_raster();
  EXPECT_EQ(raster->GetHistogram(htRed, nullptr), E_POINTER);
  SAFEARRAY* array = nullptr;
  expect_report(raster->GetHistogram(htRed, &array), E_FAIL,
                u"The image is not loaded! Cannot obtain histogram from empty image.");
  EXPECT_EQ(array, nullptr);

  ASSERT_EQ(raster->EmptyImage(2, 2, -1), S_OK);
  array = SafeArrayCreateVector(VT_I4, 0, 3);  // replaced (and destroyed) by the call
  expect_report(raster->GetHistogram(static_cast<HistogramTypes>(5), &array), E_INVALIDARG, u"Wrong histogram type!");
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(array->rgsabound[0].cElements, 256u);
  SafeArrayDestroy(array);
}

}  // namespace
}  // namespace zx::test
