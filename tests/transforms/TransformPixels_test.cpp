// Zentarix — MIT licence.
// The transforms' pixels through the public surface: geometry, colour, blur, rank filters, and
// drawing on a device context.
#include <olectl.h>
#include <wingdi.h>

#include <cmath>
#include <functional>

#include "TransformTestSupport.h"

namespace zx::test {
namespace {

constexpr uint32_t a = 0xFF0000A1, b = 0xFF0000B2, c = 0xFF0000C3, d = 0xFF0000D4, e = 0xFF0000E5, f = 0xFF0000F6;
const std::vector<uint32_t> kAtoF = {a, b, c, d, e, f};  // 3 x 2: a b c / d e f
constexpr uint32_t kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;

struct Size {
  LONG w, h;
  bool operator==(const Size&) const = default;
};
Size size_of(IRasterObject* raster) {
  Size s{};
  raster->get_Width(&s.w);
  raster->get_Height(&s.h);
  return s;
}

TEST(GeometricTransforms, ResizeCropAndFlips) {
  // A transparent image over background 0 keeps alpha 1; the initial background is opaque white.
  for (auto [background, pixel] : {std::pair{0L, 0x01000000u}, std::pair{-1L, kWhite}}) {
    ComPtr<IRasterObject> raster = make_raster(4, 4, std::vector<uint32_t>(16, 0));
    ASSERT_EQ(raster->Resize(2, 3, rqtHighQualityBicubicMode, background), S_OK);
    EXPECT_EQ(read_pixels(raster.get()), std::vector<uint32_t>(6, pixel));
  }
  ComPtr<IRasterObject> raster = make_raster(3, 2, kAtoF);
  expect_report(raster->Crop(0, 0, 0, 1, -1, VARIANT_FALSE, rqtBilinearMode), kTransformFailed,
                u"Cannot make crop. Possible wrong Width or Height properties (less or equal 0) or not enough memory.",
                IID_ITransformCrop, u"Zentarix.TransformCrop.1");
  for (LONG width : {1, 0, -4}) {  // scaled back to the input's size, whatever the rectangle
    ComPtr<IRasterObject> scaled = make_raster(3, 2, kAtoF);
    ASSERT_EQ(scaled->Crop(1, 0, width, 1, -1, VARIANT_TRUE, rqtBicubicMode), S_OK);
    EXPECT_EQ(size_of(scaled.get()), (Size{3, 2}));
  }
  ASSERT_EQ(raster->Crop(1, 0, 2, 2, -1, VARIANT_FALSE, rqtBicubicMode), S_OK);
  EXPECT_EQ(read_pixels(raster.get()), (std::vector<uint32_t>{b, c, e, f}));

  // All eight flips of  a b c / d e f.
  const std::vector<uint32_t> flipped[8] = {{a, b, c, d, e, f}, {d, a, e, b, f, c}, {f, e, d, c, b, a},
                                            {c, f, b, e, a, d}, {c, b, a, f, e, d}, {a, d, b, e, c, f},
                                            {d, e, f, a, b, c}, {f, c, e, b, d, a}};
  for (int type = 0; type < 8; ++type) {
    ComPtr<IRasterObject> turned = make_raster(3, 2, kAtoF);
    ASSERT_EQ(turned->FlipAndRotate(FlipAndRotateTypes(type)), S_OK);
    EXPECT_EQ(size_of(turned.get()), (type & 1 ? Size{2, 3} : Size{3, 2})) << type;
    EXPECT_EQ(read_pixels(turned.get()), flipped[type]) << type;
  }
}

// Canvas sizes from the whole degrees; the corners the image leaves are the background exactly.
TEST(GeometricTransforms, RotateCanvasAndBackground) {
  const struct {
    float angle;
    LONG w, h;
    Size canvas;
  } cases[] = {{90, 6, 4, {4, 6}},     {45, 100, 100, {140, 140}}, {-90, 6, 4, {4, 6}}, {270, 6, 4, {4, 6}},
               {0, 6, 4, {6, 4}},      {360, 6, 4, {6, 4}},        {30.7f, 6, 4, {7, 6}}, {30, 6, 4, {7, 6}}};
  std::vector<uint32_t> at30, at30_7;
  for (const auto& r : cases) {
    ComPtr<IRasterObject> raster = make_raster(r.w, r.h, std::vector<uint32_t>(size_t(r.w * r.h), 0xFF808080u));
    ComPtr<IDispatch> rotate = make_transform(u"TransformRotate");
    put(rotate.get(), u"Angle", value(double(r.angle)));
    ASSERT_EQ(raster->ApplyTransform(rotate.get()), S_OK);
    EXPECT_EQ(size_of(raster.get()), r.canvas) << r.angle;
    if (r.angle == 45) {
      LONG corner = 0;
      raster->get_Pixels(0, 0, &corner);
      EXPECT_EQ(uint32_t(corner), 0x00FFFFFFu);
      raster = make_raster(r.w, r.h, std::vector<uint32_t>(size_t(r.w * r.h), 0xFF808080u));
      ASSERT_EQ(raster->Rotate(45, LONG(0xFF0000FF)), S_OK);
      raster->get_Pixels(139, 139, &corner);
      EXPECT_EQ(uint32_t(corner), 0xFF0000FFu);
    }
    if (r.angle == 30) at30 = read_pixels(raster.get());
    if (r.angle == 30.7f) at30_7 = read_pixels(raster.get());
  }
  EXPECT_NE(at30, at30_7);  // sized for 30 degrees, drawn at 30.7
}

TEST(ColourTransforms, EqualizeAndTransparentize) {
  ComPtr<IRasterObject> raster = make_raster(3, 2, kAtoF);
  ASSERT_EQ(raster->ApplyTransform(make_transform(u"TransformEqualize").get()), S_OK);
  EXPECT_EQ(read_pixels(raster.get()), kAtoF);
  ASSERT_EQ(raster->Equalize(0, 0, 0, 0, 1, 1, 1, 0), S_OK);
  EXPECT_EQ(read_pixels(raster.get()), std::vector<uint32_t>(6, 0));
  // Distance d below the threshold 50 sets alpha d * 255 / 50, replacing it; d = 50 keeps alpha.
  raster = make_raster(4, 1, {kWhite, 0xFFFAFAFA, 0x80CDCDCD, 0x80FFFFFF});
  ASSERT_EQ(raster->Transparentize(-1, 50), S_OK);
  EXPECT_EQ(read_pixels(raster.get()), (std::vector<uint32_t>{0x00FFFFFF, 0x19FAFAFA, 0x80CDCDCD, 0x00FFFFFF}));
  SafeArray line(SafeArrayCreateVector(VT_I4, 0, 4)), output;
  EXPECT_EQ(static_cast<ITransformTransparentize*>(make_transform(u"TransformTransparentize").get())
                ->Apply(line.get(), output.put()),
            E_INVALIDARG);
}

// An opaque pixel in a transparent 9 x 9 image blurred with the tent r + 1 - |d|: each pass
// spreads alpha by trunc(alpha * w / wsum), wsum 9 for r = 2, 12.5 for 2.5, 2.5 for 0.5.
TEST(BlurTransforms, FastBlurWeights) {
  for (double r : {2.0, 2.5, 0.5}) {
    std::vector<uint32_t> image(81, 0);
    image[40] = 0xFF336699u;
    ComPtr<IRasterObject> raster = make_raster(9, 9, image);
    ASSERT_EQ(raster->FastBlur(r), S_OK);
    double wsum = 0;
    for (int i = int(std::floor(-r)); i <= int(std::ceil(r)); ++i) wsum += r - std::abs(i) + 1;
    auto w = [r](int d) { return std::max(0.0, r - std::abs(d) + 1); };
    const std::vector<uint32_t> out = read_pixels(raster.get());
    for (int y = 0; y < 9; ++y)
      for (int x = 0; x < 9; ++x) {
        const int across = int(255 * w(x - 4) / wsum);
        const uint32_t alpha = x == 4 && y == 4 ? 255u : uint32_t(across * w(y - 4) / wsum);
        EXPECT_EQ(out[size_t(y * 9 + x)] >> 24, alpha) << "r " << r << " at " << x << "," << y;
      }
  }
}

// Radius 0 composites the image over itself (alpha doubles, colours stay); opaque images keep
// alpha 255; Glow gives back an opaque image, lays nothing on a transparent one, and with a
// negative radius only doubles alphas; a Shadow beyond the image lays nothing either.
TEST(BlurTransforms, CompositingRules) {
  const std::vector<uint32_t> partial = {0x64102030u, 0xC8405060u, kWhite};
  const std::vector<uint32_t> doubled = {0xC8102030u, 0xFF405060u, kWhite};
  const struct {
    std::vector<uint32_t> in;
    std::function<HRESULT(IRasterObject*)> effect;
    std::vector<uint32_t> out;  // empty: all alpha 255
  } cases[] = {
      {partial, [](IRasterObject* r) { return r->FastBlur(0); }, doubled},
      {kAtoF, [](IRasterObject* r) { return r->FastBlur(2); }, {}},
      {kAtoF, [](IRasterObject* r) { return r->Glow(10, 2, -256); }, kAtoF},
      {std::vector<uint32_t>(3, 0), [](IRasterObject* r) { return r->Glow(10, 2, -256); }, std::vector<uint32_t>(3, 0)},
      {partial, [](IRasterObject* r) { return r->Glow(10, -1, -256); }, doubled},
      {partial, [](IRasterObject* r) { return r->Shadow(3 + 2, 0, 2, -8355712); }, doubled},
  };
  for (const auto& t : cases) {
    ComPtr<IRasterObject> raster = make_raster(3, int(t.in.size()) / 3, t.in);
    ASSERT_EQ(t.effect(raster.get()), S_OK);
    const std::vector<uint32_t> out = read_pixels(raster.get());
    if (!t.out.empty())
      EXPECT_EQ(out, t.out);
    else
      for (uint32_t p : out) EXPECT_EQ(p >> 24, 255u);
  }
}

TEST(RankTransforms, MedianMinimumMaximum) {
  // The corner's window holds 4 pixels; the median is the one at index 2 (the upper median).
  std::vector<uint32_t> grey(9, 0xFF0A0A0A);
  grey[1] = 0xFF282828, grey[3] = 0xFF141414, grey[4] = 0xFF1E1E1E, grey[8] = 0x4D505050;
  ComPtr<IRasterObject> raster = make_raster(3, 3, grey);
  ASSERT_EQ(raster->RemoveNoise(1), S_OK);
  const std::vector<uint32_t> median = read_pixels(raster.get());
  EXPECT_EQ(median[0], 0xFF1E1E1Eu);
  EXPECT_EQ(median[8] >> 24, 0x4Du);  // NoiseRemove keeps each pixel's own alpha
  // One black pixel on white: Expand grows it to its clipped 3 x 3 window, Erosion and
  // NoiseRemove remove it.
  for (int at : {12, 0, 2}) {
    const int expanded = at == 12 ? 9 : (at == 0 ? 4 : 6);
    const struct {
      std::function<HRESULT(IRasterObject*)> effect;
      long black;
    } cases[] = {{[](IRasterObject* r) { return r->Expand(1); }, expanded},
                 {[](IRasterObject* r) { return r->Erosion(1); }, 0},
                 {[](IRasterObject* r) { return r->RemoveNoise(1); }, 0}};
    for (const auto& t : cases) {
      std::vector<uint32_t> image(25, kWhite);
      image[size_t(at)] = kBlack;
      ComPtr<IRasterObject> spot = make_raster(5, 5, image);
      ASSERT_EQ(t.effect(spot.get()), S_OK);
      const std::vector<uint32_t> out = read_pixels(spot.get());
      EXPECT_EQ(std::count(out.begin(), out.end(), kBlack), t.black) << at;
      EXPECT_EQ(std::count(out.begin(), out.end(), kWhite), 25 - t.black) << at;
    }
  }
}

// DrawOnHDC and IPicture::Render into a memory DC, read back with GetPixel.
TEST(DeviceContexts, DrawOnHdcAndPictureRender) {
  ComPtr<IRasterObject> raster = make_raster(2, 1, {0xFFFF0000u, 0xFF0000FFu});
  // A fresh 4 x 2 memory DC per drawing; its second row read back.
  auto drawn = [](const std::function<HRESULT(HDC)>& draw) {
    HDC dc = CreateCompatibleDC(0);
    HBITMAP target = CreateCompatibleBitmap(dc, 4, 2);
    SelectObject(dc, target);
    EXPECT_EQ(draw(dc), S_OK);
    std::vector<COLORREF> row;
    for (int x = 0; x < 4; ++x) row.push_back(GetPixel(dc, x, 1));
    DeleteDC(dc);
    DeleteObject(target);
    return row;
  };
  auto on_hdc = [&](ResizeQualityTypes quality) {
    return drawn([&](HDC dc) { return raster->DrawOnHDC(LONG(dc), 0, 0, 4, 2, quality); });
  };
  const std::vector<COLORREF> nearest = {RGB(255, 0, 0), RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 0, 255)};
  EXPECT_EQ(on_hdc(rqtNearestNeighborMode), nearest);
  const std::vector<COLORREF> bilinear = on_hdc(rqtBilinearMode);
  EXPECT_NE(bilinear, nearest);
  EXPECT_EQ(on_hdc(ResizeQualityTypes(9)), bilinear);  // any other value: Default, which is Bilinear

  ComPtr<IPictureDisp> disp;
  ASSERT_EQ(raster->SavePicture(disp.put()), S_OK);
  ComPtr<IPicture> picture;
  ASSERT_EQ(disp.query(picture), S_OK);
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture->get_Width(&width);
  picture->get_Height(&height);
  EXPECT_EQ(drawn([&](HDC dc) { return picture->Render(dc, 0, 0, 4, 2, 0, height, width, -height, nullptr); }), nearest);

  expect_report(raster->DrawOnHDC(0, 0, 0, 4, 2, rqtBilinearMode), E_FAIL, u"Cannot draw on given DC!");
  expect_report(make_raster()->DrawOnHDC(0, 0, 0, 4, 2, rqtBilinearMode), E_FAIL, u"Cannot draw empty image on DC!");
}

}  // namespace
}  // namespace zx::test
