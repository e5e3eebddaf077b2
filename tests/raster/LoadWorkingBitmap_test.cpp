// Zentarix — MIT licence.
// The working-bitmap kernel: decoded pixels as drawn over full transparency, both paths.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "kernels/WorkingBitmap.h"

namespace zx::raster::kernels {
namespace {

using Kernel = void (*)(ConstPixelView, PixelView);

struct Path {
  const char* name;
  Kernel kernel;
};
const Path kPaths[] = {{"entry", compose_over_transparent_argb32},
                       {"reference", compose_over_transparent_argb32_reference}};

// Rows of `width` pixels with `pad` extra pixels per row, so strides differ from width * 4.
struct Image {
  int width, height, pad;
  std::vector<uint32_t> px;
  Image(int w, int h, int p, uint32_t fill) : width(w), height(h), pad(p), px(static_cast<size_t>((w + p) * h), fill) {}
  ptrdiff_t stride() const { return static_cast<ptrdiff_t>(width + pad) * 4; }
  PixelView view() { return {reinterpret_cast<uint8_t*>(px.data()), width, height, stride()}; }
  uint32_t& at(int x, int y) { return px[static_cast<size_t>(y * (width + pad) + x)]; }
};

// GDI+'s source-over onto 0x00000000 with straight alpha, written out from the blending equations:
// out alpha = a + 0 * (1 - a) = a, out colour = (c * a + 0) / out alpha = c, undefined (transparent
// black) when out alpha is 0.
uint32_t expected(uint32_t c) { return (c >> 24) == 0 ? 0u : c; }

TEST(WorkingBitmap, AlphaZeroBecomesTransparentBlackAndEveryOtherPixelIsKeptExactly) {
  for (const Path& path : kPaths) {
    SCOPED_TRACE(path.name);
    // Every alpha value with colours that a premultiply round trip would alter.
    Image src(256, 3, 0, 0), dst(256, 3, 0, 0xDEADBEEF);
    const uint32_t colours[] = {0x00FFFFFF, 0x00808080, 0x00017F03};
    for (int y = 0; y < 3; ++y)
      for (uint32_t a = 0; a < 256; ++a) src.at(static_cast<int>(a), y) = a << 24 | colours[y];
    path.kernel(src.view(), dst.view());
    for (int y = 0; y < 3; ++y)
      for (int a = 0; a < 256; ++a) ASSERT_EQ(dst.at(a, y), expected(src.at(a, y))) << "alpha " << a << " row " << y;
    EXPECT_EQ(dst.at(0, 0), 0u);
    EXPECT_EQ(dst.at(2, 1), 0x02808080u);  // premultiplied and back it would read 0x027F7F7F
    EXPECT_EQ(dst.at(255, 2), 0xFF017F03u);
  }
}

TEST(WorkingBitmap, PathsAgreeOnEveryWidthAndLeaveRowPaddingAlone) {
  std::mt19937 random(7);
  for (int width = 0; width <= 13; ++width) {
    for (int pad : {0, 1, 3}) {
      Image src(width, 4, pad, 0), a(width, 4, pad, 0xA5A5A5A5), b(width, 4, pad, 0xA5A5A5A5);
      for (uint32_t& p : src.px) {
        p = random();
        if (random() % 3 == 0) p &= 0x00FFFFFF;  // plenty of fully transparent pixels
      }
      compose_over_transparent_argb32(src.view(), a.view());
      compose_over_transparent_argb32_reference(src.view(), b.view());
      ASSERT_EQ(a.px, b.px) << "width " << width << " pad " << pad;
      for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < width; ++x) ASSERT_EQ(a.at(x, y), expected(src.at(x, y)));
        for (int x = width; x < width + pad; ++x) ASSERT_EQ(a.at(x, y), 0xA5A5A5A5u) << "padding written";
      }
    }
  }
}

TEST(WorkingBitmap, WorksInPlace) {
  for (const Path& path : kPaths) {
    SCOPED_TRACE(path.name);
    Image img(5, 2, 1, 0);
    const uint32_t values[] = {0x00112233, 0xFF112233, 0x01000000, 0x00FFFFFF, 0x80FFFFFF};
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 5; ++x) img.at(x, y) = values[(x + y) % 5];
    path.kernel(img.view(), img.view());
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(img.at(x, y), expected(values[(x + y) % 5]));
  }
}

}  // namespace
}  // namespace zx::raster::kernels
