// Zentarix — MIT licence.
// The flood fill kernel: colour distance, recolouring rules and the reached area.
#include "kernels/FloodFill.h"

#include <gtest/gtest.h>

#include <cmath>
#include <queue>
#include <random>
#include <vector>

namespace zx::raster::kernels {
namespace {

TEST(ColourDistance, WeightsDependOnTheMeanRed) {
  EXPECT_EQ(colour_distance(0xFF000001, 0xFF000000), 0u);  // 3 / 9
  EXPECT_EQ(colour_distance(0xFF640000, 0xFF000000), 2222u);  // rmean 50: 2 * 100^2 / 9
  EXPECT_EQ(colour_distance(0xFFC80000, 0xFF640000), 3333u);  // rmean 150: 3 * 100^2 / 9
  EXPECT_EQ(colour_distance(0xFF000000, 0xFF640000), 2222u);  // order does not matter
  EXPECT_EQ(colour_distance(0xFF800000, 0xFF800000), 0u);
  EXPECT_EQ(colour_distance(0x00000A00, 0xFF000000), 44u);   // alpha ignored: 4 * 100 / 9
  EXPECT_EQ(colour_distance(0xFFFFFFFF, 0xFF000000), 65025u);  // rmean 127: (2 + 4 + 3) * 255^2 / 9
}

TEST(FloodFillRecolour, HalftoneEdgeCases) {
  FloodFillParams till;
  till.new_colour = 0xFF00FF00;
  till.tolerance = 0;
  EXPECT_EQ(flood_fill_recolour(0xFF808080, 0, till), 0xFF808080u);  // NaN weight: kept
  till.halftones = false;
  EXPECT_EQ(flood_fill_recolour(0xFF808080, 0, till), 0xFF00FF00u);

  FloodFillParams until = till;
  until.halftones = true;
  until.mode = FillMode::until_colour;
  EXPECT_EQ(flood_fill_recolour(0xFF808080, 5, until), 0xFF00FF00u);  // +inf weight: full strength

  until.tolerance = 10;  // s = 15 (d = 225): v = 5 * 255 / 10 = 127.5 -> 127
  EXPECT_EQ(flood_fill_recolour(0x00000000, 225, until), 0x7F007F00u);
  until.preserve_alpha = true;
  EXPECT_EQ(flood_fill_recolour(0x00000000, 225, until), 0x00007F00u);
}

// The reached area of a plain fill with a fillable seed: the 4-connected area of fillable pixels
// around the seed, plus the diagonal step the scanline takes at each end of a run, where the pixels
// above and below the stopping column are examined too.
std::vector<bool> component(const std::vector<uint32_t>& img, int w, int h, int sx, int sy, uint32_t target) {
  std::vector<bool> in(img.size(), false);
  std::queue<std::pair<int, int>> todo;
  todo.emplace(sx, sy);
  in[sy * w + sx] = true;
  while (!todo.empty()) {
    auto [x, y] = todo.front();
    todo.pop();
    const int dx[] = {1, -1, 0, 0}, dy[] = {0, 0, 1, -1};
    auto reach = [&](int nx, int ny) {
      if (nx < 0 || ny < 0 || nx >= w || ny >= h || in[ny * w + nx] || img[ny * w + nx] != target) return;
      in[ny * w + nx] = true;
      todo.emplace(nx, ny);
    };
    for (int k = 0; k < 4; ++k) reach(x + dx[k], y + dy[k]);
    for (int side : {-1, 1}) {
      const int nx = x + side;
      if (nx < 0 || nx >= w || img[y * w + nx] == target) continue;
      reach(nx, y - 1);
      reach(nx, y + 1);
    }
  }
  return in;
}

TEST(FloodFillArea, ReachesTheConnectedAreaAndStepsDiagonallyAtRunEnds) {
  std::mt19937 rng(99);
  constexpr uint32_t target = 0xFF808080, wall = 0xFF000000, paint = 0xFF00FF00;
  for (int round = 0; round < 40; ++round) {
    const int w = 1 + static_cast<int>(rng() % 40), h = 1 + static_cast<int>(rng() % 30);
    std::vector<uint32_t> img(static_cast<size_t>(w) * h);
    for (auto& p : img) p = rng() % 100 < 35 ? wall : target;
    const int sx = static_cast<int>(rng() % w), sy = static_cast<int>(rng() % h);
    img[static_cast<size_t>(sy) * w + sx] = target;
    const std::vector<bool> expected = component(img, w, h, sx, sy, target);

    FloodFillParams params;
    params.x = sx;
    params.y = sy;
    params.new_colour = paint;
    params.target_colour = target;
    params.tolerance = 0;
    params.halftones = false;
    std::vector<uint32_t> filled = img;
    flood_fill_argb32({reinterpret_cast<uint8_t*>(filled.data()), w, h, ptrdiff_t{w} * 4}, params);
    for (size_t i = 0; i < img.size(); ++i)
      ASSERT_EQ(filled[i], expected[i] ? paint : img[i]) << "round " << round << " pixel " << i;
  }
}

TEST(FloodFillArea, UntilModeStopsAtTheBorderColour) {
  // A ring of border colour keeps the outside untouched.
  constexpr uint32_t o = 0xFF202020, b = 0xFFFF0000, i = 0xFF303030;
  std::vector<uint32_t> img = {o, o, o, o, o,  //
                               o, b, b, b, o,  //
                               o, b, i, b, o,  //
                               o, b, b, b, o};
  FloodFillParams params;
  params.x = 2;
  params.y = 2;
  params.new_colour = 0xFFFFFFFF;
  params.target_colour = b;
  params.mode = FillMode::until_colour;
  params.tolerance = 0;
  flood_fill_argb32({reinterpret_cast<uint8_t*>(img.data()), 5, 4, 20}, params);
  EXPECT_EQ(img[12], 0xFFFFFFFFu);
  EXPECT_EQ(img[0], o);
  EXPECT_EQ(img[6], b);
}

}  // namespace
}  // namespace zx::raster::kernels
