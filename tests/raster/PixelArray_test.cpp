// Zentarix — MIT licence.
// BitmapToPixelArray and PixelArrayToBitmap: layout, round trips and refusals.
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ErrorReporting.h"
#include "PixelArray.h"
#include "zx/com.h"

namespace zx::raster {
namespace {

class PixelArrayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Gdiplus::GdiplusStartupInput input;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&m_token, &input, nullptr), Gdiplus::Ok);
  }
  void TearDown() override { Gdiplus::GdiplusShutdown(m_token); }

  static std::unique_ptr<Gdiplus::Bitmap> bitmap(int width, int height, const std::vector<uint32_t>& pixels,
                                                 Gdiplus::PixelFormat format = Gdiplus::PixelFormat32bppARGB) {
    auto b = std::make_unique<Gdiplus::Bitmap>(width, height, format);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) b->SetPixel(x, y, Gdiplus::Color(pixels[static_cast<size_t>(y) * width + x]));
    return b;
  }
  static std::vector<uint32_t> pixels_of(Gdiplus::Bitmap* b) {
    std::vector<uint32_t> out;
    for (UINT y = 0; y < b->GetHeight(); ++y)
      for (UINT x = 0; x < b->GetWidth(); ++x) {
        Gdiplus::Color c;
        b->GetPixel(static_cast<INT>(x), static_cast<INT>(y), &c);
        out.push_back(c.GetValue());
      }
    return out;
  }

 private:
  ULONG_PTR m_token = 0;
};

TEST_F(PixelArrayTest, ThreeByTwoRoundTripKeepsLinearOrderAndAlpha) {
  const std::vector<uint32_t> pixels = {0xFF000001, 0x00000002, 0x80FFFFFF, 0x01020304, 0xFFFFFFFF, 0x7F7F7F7F};
  auto source = bitmap(3, 2, pixels);
  SafeArray array;
  ASSERT_EQ(BitmapToPixelArray(source.get(), array.put()), S_OK);
  ASSERT_EQ(array.get()->cDims, 2);
  EXPECT_EQ(array.get()->cbElements, 4u);
  EXPECT_EQ(array.get()->rgsabound[0].cElements, 3u);
  EXPECT_EQ(array.get()->rgsabound[1].cElements, 2u);
  VARTYPE vt = VT_EMPTY;
  EXPECT_EQ(SafeArrayGetVartype(array.get(), &vt), S_OK);
  EXPECT_EQ(vt, VT_I4);
  const auto* data = static_cast<const uint32_t*>(array.get()->pvData);
  EXPECT_EQ(std::vector<uint32_t>(data, data + 6), pixels);

  Gdiplus::Bitmap* back = nullptr;
  ASSERT_EQ(PixelArrayToBitmap(array.get(), &back), S_OK);
  std::unique_ptr<Gdiplus::Bitmap> owned(back);
  EXPECT_EQ(back->GetWidth(), 3u);
  EXPECT_EQ(back->GetHeight(), 2u);
  EXPECT_EQ(back->GetPixelFormat(), Gdiplus::PixelFormat32bppARGB);
  EXPECT_EQ(pixels_of(back), pixels);
}

TEST_F(PixelArrayTest, OneByOneRoundTripAndReplacementOfHeldObjects) {
  auto source = bitmap(1, 1, {0x12345678});
  SafeArray array;
  SAFEARRAYBOUND bound{5, 0};
  ASSERT_EQ(BitmapToPixelArray(source.get(), array.put()), S_OK);
  SAFEARRAY* raw = SafeArrayCreate(VT_I4, 1, &bound);
  ASSERT_EQ(BitmapToPixelArray(source.get(), &raw), S_OK);  // destroys the array it was given
  SafeArray second(raw);
  EXPECT_EQ(second.get()->cDims, 2);

  Gdiplus::Bitmap* target = new Gdiplus::Bitmap(4, 4, Gdiplus::PixelFormat32bppARGB);  // deleted by the call
  ASSERT_EQ(PixelArrayToBitmap(array.get(), &target), S_OK);
  std::unique_ptr<Gdiplus::Bitmap> owned(target);
  EXPECT_EQ(pixels_of(target), std::vector<uint32_t>{0x12345678});
}

TEST_F(PixelArrayTest, OtherFormatsAreConvertedOnTheWayOut) {
  auto source = bitmap(2, 1, {0xFF102030, 0xFFFFFFFF}, Gdiplus::PixelFormat24bppRGB);
  SafeArray array;
  ASSERT_EQ(BitmapToPixelArray(source.get(), array.put()), S_OK);
  const auto* data = static_cast<const uint32_t*>(array.get()->pvData);
  EXPECT_EQ(data[0], 0xFF102030u);
  EXPECT_EQ(data[1], 0xFFFFFFFFu);
}

TEST_F(PixelArrayTest, WrongShapesAreRefusedAndLeaveTheTarget) {
  auto held = bitmap(1, 1, {0xFFABCDEF});
  Gdiplus::Bitmap* target = held.get();

  SafeArray vector(SafeArrayCreateVector(VT_I4, 0, 4));
  EXPECT_EQ(PixelArrayToBitmap(vector.get(), &target), E_INVALIDARG);
  EXPECT_EQ(target, held.get());

  // Elements of another size would be read past the end of the array.
  SAFEARRAYBOUND bytes[2] = {{2, 0}, {2, 0}};
  SafeArray narrow(SafeArrayCreate(VT_UI1, 2, bytes));
  EXPECT_EQ(PixelArrayToBitmap(narrow.get(), &target), E_INVALIDARG);
  EXPECT_EQ(target, held.get());
  EXPECT_EQ(pixels_of(held.get()), std::vector<uint32_t>{0xFFABCDEF});

  EXPECT_EQ(PixelArrayToBitmap(nullptr, &target), E_FAIL);
  SafeArray out;
  EXPECT_EQ(BitmapToPixelArray(nullptr, out.put()), E_FAIL);
  EXPECT_EQ(out.get(), nullptr);
}

TEST_F(PixelArrayTest, ZeroSizedArrayLeavesTheTargetEmpty) {
  SAFEARRAYBOUND bounds[2] = {{0, 0}, {3, 0}};
  SafeArray empty(SafeArrayCreate(VT_I4, 2, bounds));
  ASSERT_NE(empty.get(), nullptr);
  Gdiplus::Bitmap* target = new Gdiplus::Bitmap(1, 1, Gdiplus::PixelFormat32bppARGB);
  EXPECT_EQ(PixelArrayToBitmap(empty.get(), &target), server::ZX_E_ARRAY_TO_BITMAP);
  EXPECT_EQ(target, nullptr);
}

}  // namespace
}  // namespace zx::raster
