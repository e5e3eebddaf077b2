// Zentarix — MIT licence.
// Mosaic cells, the elliptic crop, the button bevel and the page curl.
#include "ShapeKernels.h"

#include <cmath>
#include <vector>

namespace zx::effects::kernels {
namespace {

// Sums of one cell: alpha, and each colour weighted by alpha.
struct CellSums {
  uint64_t a = 0, b = 0, g = 0, r = 0;
  void add(uint32_t p) {
    const uint64_t alpha = alpha_of(p);
    a += alpha;
    b += alpha * blue_of(p);
    g += alpha * green_of(p);
    r += alpha * red_of(p);
  }
  uint32_t mean(uint64_t pixels) const {
    if (!a) return 0;
    return argb(uint32_t((a + pixels / 2) / pixels), uint32_t((r + a / 2) / a), uint32_t((g + a / 2) / a),
                uint32_t((b + a / 2) / a));
  }
};

// The mix of two colours with `part` sixteenths of the first, weighted by alpha; exact at 0 and 16.
uint32_t mix16(uint32_t first, uint32_t second, uint32_t part) {
  CellSums sums;
  for (uint32_t i = 0; i < 16; ++i) sums.add(i < part ? first : second);
  return sums.mean(16);
}

// A colour's channels scaled by f (clamped), alpha kept.
uint32_t scaled(uint32_t c, double f) {
  auto channel = [f](uint32_t v) { return uint32_t(clamp_channel(int(std::lround(v * f)))); };
  return (c & 0xFF000000u) | channel(red_of(c)) << 16 | channel(green_of(c)) << 8 | channel(blue_of(c));
}

// Sub-sample offsets of a 4 x 4 grid inside a pixel.
constexpr double kSub[4] = {-0.375, -0.125, 0.125, 0.375};

}  // namespace

void mosaic_argb32(int32_t cellWidth, int32_t cellHeight, ConstPixelView src, PixelView dst) {
  const int cw = std::min(cellWidth, src.width), ch = std::min(cellHeight, src.height);
  const int columns = (src.width + cw - 1) / cw;
  std::vector<CellSums> cells(static_cast<size_t>(columns));
  std::vector<uint32_t> colours(static_cast<size_t>(columns));
  for (int y0 = 0; y0 < src.height; y0 += ch) {
    const int y1 = std::min(src.height, y0 + ch);
    std::fill(cells.begin(), cells.end(), CellSums());
    for (int y = y0; y < y1; ++y) {
      const uint32_t* s = src.row(y);
      for (int c = 0, x0 = 0; c < columns; ++c, x0 += cw)
        for (int x = x0, x1 = std::min(src.width, x0 + cw); x < x1; ++x) cells[c].add(s[x]);
    }
    for (int c = 0; c < columns; ++c)
      colours[c] = cells[c].mean(uint64_t(std::min(cw, src.width - c * cw)) * uint64_t(y1 - y0));
    for (int y = y0; y < y1; ++y) {
      uint32_t* d = dst.row(y);
      for (int c = 0, x0 = 0; c < columns; ++c, x0 += cw)
        std::fill(d + x0, d + std::min(src.width, x0 + cw), colours[c]);
    }
  }
}

void ellipse_crop_argb32(int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t background, ConstPixelView src,
                         PixelView dst) {
  const double cx = x, cy = y, hx = rx, hy = ry;
  // Half the ellipse's width at vertical distance t from the centre (negative beyond its reach).
  auto half_width = [&](double t) { return t >= hy ? -1.0 : hx * std::sqrt(1 - (t / hy) * (t / hy)); };
  auto inside = [&](double px, double py) {
    return ((px - cx) / hx) * ((px - cx) / hx) + ((py - cy) / hy) * ((py - cy) / hy) <= 1;
  };
  for (int row = 0; row < src.height; ++row) {
    const uint32_t* s = src.row(row);
    uint32_t* d = dst.row(row);
    const double dy = std::abs(row - cy);
    // Over the row's height [row - 1/2, row + 1/2] the ellipse is narrowest farthest from the centre
    // and widest nearest to it: pixels within the narrowest span are wholly inside, pixels beyond
    // the widest wholly outside.
    const double narrow = half_width(dy + 0.5), wide = half_width(std::max(0.0, dy - 0.5));
    const double inFrom = narrow < 0 ? 1e18 : std::ceil(cx - narrow + 0.5),
                 inTo = narrow < 0 ? -1e18 : std::floor(cx + narrow - 0.5);
    const double outBefore = wide < 0 ? 1e18 : cx - wide - 0.5, outAfter = wide < 0 ? -1e18 : cx + wide + 0.5;
    for (int col = 0; col < src.width; ++col) {
      if (col >= inFrom && col <= inTo) {
        d[col] = s[col];
      } else if (col < outBefore || col > outAfter) {
        d[col] = background;
      } else {
        uint32_t covered = 0;
        for (double oy : kSub)
          for (double ox : kSub) covered += inside(col + ox, row + oy);
        d[col] = mix16(s[col], background, covered);
      }
    }
  }
}

void buttonize_argb32(int32_t type, int32_t frameWidth, int32_t opacity, ConstPixelView src, PixelView dst) {
  if (frameWidth <= 0) return;
  const bool sunken = type == 1 || type == 3, soft = type >= 2;
  const int frame = frameWidth;
  auto bevel = [&](int x, int y) {
    // Distances to the top, left, bottom and right edges; the nearest side wins, ties in that order
    // (so corners split along their diagonals).
    const int distance[4] = {y, x, src.height - 1 - y, src.width - 1 - x};
    const int side = int(std::min_element(distance, distance + 4) - distance), nearest = distance[side];
    if (nearest >= frame) return;
    const bool lit = (side < 2) != sunken;
    const double strength = side % 2 ? 0.75 : 1.0;
    const double fade = soft ? 1.0 - double(nearest) / frame : 1.0;
    const int k = int(std::lround(opacity / 100.0 * strength * fade * 256));
    const uint32_t p = src.row(y)[x];
    const int target = lit ? 255 : 0;
    auto towards = [&](uint32_t v) { return uint32_t(int(v) + (((target - int(v)) * k) >> 8)); };
    dst.row(y)[x] = (p & 0xFF000000u) | towards(red_of(p)) << 16 | towards(green_of(p)) << 8 | towards(blue_of(p));
  };
  for (int y = 0; y < src.height; ++y) {
    if (y < frame || y >= src.height - frame) {
      for (int x = 0; x < src.width; ++x) bevel(x, y);
      continue;
    }
    for (int x = 0; x < std::min(frame, src.width); ++x) bevel(x, y);
    for (int x = std::max(frame, src.width - frame); x < src.width; ++x) bevel(x, y);
  }
}

void page_curl_argb32(const PageCurlSettings& settings, ConstPixelView src, PixelView dst) {
  const int corner = (settings.mode >> 1) & 3;  // 0 left top, 1 right top, 2 right bottom, 3 left bottom
  const bool right = corner == 1 || corner == 2, bottom = corner >= 2, down = settings.mode & 1;
  const double cw = settings.width, ch = settings.height, length = std::hypot(cw, ch);
  const double depth = cw * ch / length;              // from the fold line to the corner
  const double nu = -ch / length, nv = -cw / length;  // unit normal towards the corner
  const double tube = std::max(1.0, depth / 6);       // the tube's radius
  const double shadow = std::max(2.0, depth / 10);    // how far shadows reach
  enum Kind { kPage, kBackground, kCurl };
  struct Point {
    Kind kind;
    double shade;   // page: darkening 0..1; curl: brightness
    double margin;  // distance to the nearest border between kinds
  };
  // What lies at (u, v), measured from the corner along its edges.
  auto at = [&](double u, double v) -> Point {
    const double s = (1 - u / cw - v / ch) * depth;  // > 0 beyond the fold line
    if (down) {
      if (s > 0) return {kBackground, 0, s};
      // The mirror across the fold line: on the flap when it falls on the cut corner. Mirroring
      // keeps distances, so the flap's edges are |qu| and |qv| away.
      const double qu = u - 2 * s * nu, qv = v - 2 * s * nv;
      if (qu >= 0 && qv >= 0) return {kCurl, 0.82 + 0.18 * (-s / depth), std::min({-s, qu, qv})};
      const double outside = std::max(-qu, -qv);
      return {kPage, outside < shadow ? 0.4 * (1 - outside / shadow) : 0, std::min({-s, std::abs(qu), std::abs(qv)})};
    }
    if (s > 2 * tube) return {kBackground, 0, s - 2 * tube};
    if (s > 0) {
      const double t = (s - tube) / tube, z = std::sqrt(std::max(0.0, 1 - t * t));
      return {kCurl, 0.45 + 0.55 * z + 0.35 * std::exp(-((t + 0.35) / 0.2) * ((t + 0.35) / 0.2)),
              std::min(s, 2 * tube - s)};
    }
    return {kPage, -s < shadow ? 0.35 * (1 + s / shadow) : 0, -s};
  };
  auto colour = [&](const Point& p, uint32_t page) {
    switch (p.kind) {
      case kPage:
        return p.shade > 0 ? scaled(page, 1 - p.shade) : page;
      case kBackground:
        return settings.background;
      case kCurl:
        break;
    }
    return scaled(settings.curl_colour, p.shade);
  };
  // Only the corner's neighbourhood can change: the cut, its mirror image and the shadows.
  const double reachU = 2 * cw + shadow + 2, reachV = 2 * ch + shadow + 2;
  const int columns = int(std::min<double>(src.width, reachU)), rows = int(std::min<double>(src.height, reachV));
  for (int j = 0; j < rows; ++j) {
    const int y = bottom ? src.height - 1 - j : j;
    const uint32_t* s = src.row(y);
    uint32_t* d = dst.row(y);
    for (int i = 0; i < columns; ++i) {
      const int x = right ? src.width - 1 - i : i;
      const double u = i + 0.5, v = j + 0.5;
      // A pixel whose centre lies farther than half its diagonal from every border is one kind.
      const Point centre = at(u, v);
      if (centre.margin > 0.71) {
        d[x] = colour(centre, s[x]);
        continue;
      }
      CellSums sums;
      for (double ov : kSub)
        for (double ou : kSub) sums.add(colour(at(u + ou, v + ov), s[x]));
      d[x] = sums.mean(16);
    }
  }
}

}  // namespace zx::effects::kernels
