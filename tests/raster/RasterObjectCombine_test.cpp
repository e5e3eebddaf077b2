// Zentarix — MIT licence.
// DrawOnRaster through its public surface: placement, the five modes, and its reports.
#include "RasterTestSupport.h"
#include "TestRegistry.h"
#include "kernels/CombineKernels.h"

namespace zx::test {
namespace {

// A 10 x 1 source whose pixel x holds the value x in blue, opaque.
ComPtr<IRasterObject> ramp(int width) {
  std::vector<uint32_t> pixels;
  for (int x = 0; x < width; ++x) pixels.push_back(0xFF000000u | static_cast<uint32_t>(x + 1));
  return make_raster(width, 1, pixels);
}

ComPtr<IRasterObject> solid(int width, int height, uint32_t colour) {
  ComPtr<IRasterObject> raster = make_raster();
  EXPECT_EQ(raster->EmptyImage(width, height, static_cast<LONG>(colour)), S_OK);
  return raster;
}

TEST(RasterObjectCombine, NegativeOffsetClipsTheSourceStart) {
  ComPtr<IRasterObject> source = ramp(10);
  ComPtr<IRasterObject> dest = solid(20, 1, 0xFF000000);
  ASSERT_EQ(source->DrawOnRaster(dest.get(), -5, 0, cmAlphaBlend, 255), S_OK);
  const std::vector<uint32_t> pixels = read_pixels(dest.get());
  for (int x = 0; x < 20; ++x) {
    SCOPED_TRACE(x);
    EXPECT_EQ(pixels[x], x < 5 ? 0xFF000000u | static_cast<uint32_t>(x + 6) : 0xFF000000u);
  }
}

TEST(RasterObjectCombine, PlacementsWithoutOverlapChangeNothing) {
  ComPtr<IRasterObject> source = ramp(10);
  ComPtr<IRasterObject> dest = solid(20, 2, 0xFF00FF00);
  for (const auto& [x, y] : {std::pair{20, 0}, std::pair{-10, 0}, std::pair{0, 2}, std::pair{0, -1}, std::pair{INT32_MIN, INT32_MAX}}) {
    SCOPED_TRACE(x);
    EXPECT_EQ(source->DrawOnRaster(dest.get(), x, y, cmAlphaBlend, 255), S_OK);
  }
  EXPECT_EQ(read_pixels(dest.get()), std::vector<uint32_t>(40, 0xFF00FF00));
}

TEST(RasterObjectCombine, AlphaBlendOpacityBounds) {
  ComPtr<IRasterObject> source = make_raster(2, 1, {0xFF102030, 0x00FFFFFF});
  ComPtr<IRasterObject> dest = solid(2, 1, 0x80808080);
  ASSERT_EQ(source->DrawOnRaster(dest.get(), 0, 0, cmAlphaBlend, 0), S_OK);
  EXPECT_EQ(read_pixels(dest.get()), std::vector<uint32_t>(2, 0x80808080));
  ASSERT_EQ(source->DrawOnRaster(dest.get(), 0, 0, cmAlphaBlend, 255), S_OK);
  EXPECT_EQ(read_pixels(dest.get()), (std::vector<uint32_t>{0xFF102030, 0x80808080}));
}

// A destination held in another format (a picture transform's 32 bpp RGB result) is blended over
// its own pixels, not over a blank lock buffer.
TEST(RasterObjectCombine, ADestinationInAnotherFormatIsReadBeforeItIsWritten) {
  GdiplusSession gdiplus;
  ComPtr<IRasterObject> source = make_raster(1, 1, {0x80FF0000});
  ComPtr<IRasterObject> dest = make_raster();
  ComPtr<IRasterObjectInternal> internal;
  ASSERT_EQ(dest->QueryInterface(IID_IRasterObjectInternal, internal.put_void()), S_OK);
  auto* rgb = new Gdiplus::Bitmap(1, 1, Gdiplus::PixelFormat32bppRGB);  // the object takes it
  ASSERT_EQ(rgb->SetPixel(0, 0, Gdiplus::Color(0xFF0000FF)), Gdiplus::Ok);
  ASSERT_EQ(internal->SetDataPointer(reinterpret_cast<LONG*>(rgb)), S_OK);
  ASSERT_EQ(source->DrawOnRaster(dest.get(), 0, 0, cmAlphaBlend, 255), S_OK);
  EXPECT_EQ(read_pixels(dest.get()), std::vector<uint32_t>{0xFF80007F});
}

TEST(RasterObjectCombine, OrOfWhiteOnBlackStopsOneShort) {
  ComPtr<IRasterObject> source = solid(2, 2, 0xFFFFFFFF);
  ComPtr<IRasterObject> dest = solid(2, 2, 0xFF000000);
  ASSERT_EQ(source->DrawOnRaster(dest.get(), 0, 0, cmORBlend, 255), S_OK);
  EXPECT_EQ(read_pixels(dest.get()), std::vector<uint32_t>(4, 0xFFFEFEFE));
}

TEST(RasterObjectCombine, XorOfEqualBytesLeavesOne) {
  ComPtr<IRasterObject> source = solid(1, 1, 0xFFC80100);
  ComPtr<IRasterObject> dest = solid(1, 1, 0xFFC80100);
  ASSERT_EQ(source->DrawOnRaster(dest.get(), 0, 0, cmXORBlend, 255), S_OK);
  EXPECT_EQ(read_pixels(dest.get()), std::vector<uint32_t>{0x01010100});
}

TEST(RasterObjectCombine, AndOfOpaqueSource) {
  ComPtr<IRasterObject> source = solid(1, 1, 0xFFF0F00F);
  ComPtr<IRasterObject> dest = solid(1, 1, 0xFF3C0FFF);
  ASSERT_EQ(source->DrawOnRaster(dest.get(), 0, 0, cmANDBlend, 255), S_OK);
  // t = 0xFF, 0x30, 0x00, 0x0F against d = 0xFF, 0x3C, 0x0F, 0xFF: one step short of t where t != d.
  EXPECT_EQ(read_pixels(dest.get()), std::vector<uint32_t>{0xFF310110});
}

TEST(RasterObjectCombine, DissolveSelectsTheSamePixelsEveryCall) {
  ComPtr<IRasterObject> source = solid(16, 8, 0xFFFF0000);
  ComPtr<IRasterObject> first = solid(20, 10, 0xFF0000FF);
  ComPtr<IRasterObject> second = solid(20, 10, 0xFF0000FF);
  ASSERT_EQ(source->DrawOnRaster(first.get(), 2, 1, cmDissolve, 100), S_OK);
  ASSERT_EQ(source->DrawOnRaster(second.get(), 2, 1, cmDissolve, 100), S_OK);
  const std::vector<uint32_t> pixels = read_pixels(first.get());
  EXPECT_EQ(pixels, read_pixels(second.get()));

  // The selection follows the generator seeded with 17, one draw per pixel of the overlap.
  raster::kernels::DissolveGenerator gen;
  int selected = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool inside = x >= 2 && x < 18 && y >= 1 && y < 9;
      const bool expect_red = inside && 100 * (1.0 / 255.0) > gen.next() * (1.0 / 32767.0);
      selected += expect_red;
      EXPECT_EQ(pixels[static_cast<size_t>(y) * 20 + x], expect_red ? 0xFFFF0000u : 0xFF0000FFu) << x << "," << y;
    }
  EXPECT_GT(selected, 0);
  EXPECT_LT(selected, 128);
}

TEST(RasterObjectCombine, DissolveAtZeroOpacityChangesNothing) {
  ComPtr<IRasterObject> source = solid(4, 4, 0xFFFF0000);
  ComPtr<IRasterObject> dest = solid(4, 4, 0xFF0000FF);
  ASSERT_EQ(source->DrawOnRaster(dest.get(), 0, 0, cmDissolve, 0), S_OK);
  EXPECT_EQ(read_pixels(dest.get()), std::vector<uint32_t>(16, 0xFF0000FF));
}

TEST(RasterObjectCombine, EmptyImagesAreReportedWithoutInterface) {
  ComPtr<IRasterObject> empty = make_raster();
  ComPtr<IRasterObject> full = solid(2, 2, -1);
  expect_report(empty->DrawOnRaster(full.get(), 0, 0, cmAlphaBlend, 255), DISP_E_EXCEPTION,
                u"Cannot draw on raster. No image is loaded!", GUID_NULL);
  // The mode is looked at only after the destination.
  expect_report(full->DrawOnRaster(empty.get(), 0, 0, static_cast<CombineModes>(5), 255), DISP_E_EXCEPTION,
                u"Destination raster is empty!", GUID_NULL);
  EXPECT_EQ(full->DrawOnRaster(nullptr, 0, 0, cmAlphaBlend, 255), E_INVALIDARG);
}

TEST(RasterObjectCombine, UnknownModeIsRefusedAndLeavesTheDestination) {
  ComPtr<IRasterObject> source = solid(2, 2, 0xFFFFFFFF);
  ComPtr<IRasterObject> dest = solid(2, 2, 0xFF000000);
  expect_report(source->DrawOnRaster(dest.get(), 0, 0, static_cast<CombineModes>(5), 255), E_FAIL,
                u"Zentarix does not support such a mode!");
  expect_report(source->DrawOnRaster(dest.get(), 0, 0, static_cast<CombineModes>(-1), 255), E_FAIL,
                u"Zentarix does not support such a mode!");
  EXPECT_EQ(read_pixels(dest.get()), std::vector<uint32_t>(4, 0xFF000000));
}

TEST(RasterObjectCombine, DrawingOntoItselfFailsOnTheSecondLock) {
  ComPtr<IRasterObject> raster = solid(2, 2, 0xFF123456);
  expect_report(raster->DrawOnRaster(raster.get(), 0, 0, cmXORBlend, 255), E_FAIL,
                u"Cannot draw on raster (XOR): " +
                    gdiplus_message(u"Combine", u"RasterCollection",
                                    u"GDI+ object is in an invalid state. GDI+ status code 8"));
  EXPECT_EQ(read_pixels(raster.get()), std::vector<uint32_t>(4, 0xFF123456));
}

}  // namespace
}  // namespace zx::test
