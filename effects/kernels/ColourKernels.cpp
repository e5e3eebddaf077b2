// Zentarix — MIT licence.
// Colour effects: per-channel tables, the automatic stretches, greyscale, colourise and channel swaps.
#include "ColourKernels.h"

#include <cmath>

#include "RowLoops.h"

namespace zx::effects::kernels {
namespace {

uint8_t round_channel(double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

ChannelTables same_tables(const ChannelTable& table) { return {table, table, table}; }

// The luma a lightness fraction f gives: towards white for f > 0, towards black below.
double lighten(double v, double f) { return f >= 0 ? v + (255.0 - v) * f : v * (1.0 + f); }

double hue_channel(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 0.5) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

// HSL (hue in turns, saturation and lightness in 0..1) to a packed opaque RGB value.
uint32_t hsl_to_rgb(double h, double s, double l) {
  const double q = l < 0.5 ? l * (1 + s) : l + s - l * s, p = 2 * l - q;
  return argb(0, round_channel(255 * hue_channel(p, q, h + 1.0 / 3)), round_channel(255 * hue_channel(p, q, h)),
              round_channel(255 * hue_channel(p, q, h - 1.0 / 3)));
}

}  // namespace

void map_channels_argb32(const ChannelTables& tables, ConstPixelView src, PixelView dst) {
  for (int y = 0; y < src.height; ++y) {
    const uint32_t* s = src.row(y);
    uint32_t* d = dst.row(y);
    for (int x = 0; x < src.width; ++x) {
      const uint32_t p = s[x];
      d[x] = (p & 0xFF000000u) | uint32_t(tables.red[red_of(p)]) << 16 | uint32_t(tables.green[green_of(p)]) << 8 |
             tables.blue[blue_of(p)];
    }
  }
}

ChannelTable lightness_table(double fraction) {
  ChannelTable t;
  for (int v = 0; v < 256; ++v) t[v] = round_channel(lighten(v, fraction));
  return t;
}

ChannelTable contrast_table(double amount) {
  ChannelTable t;
  for (int v = 0; v < 256; ++v) {
    if (amount >= 100) {
      t[v] = v >= 128 ? 255 : 0;
      continue;
    }
    const double k = amount >= 0 ? 100.0 / (100.0 - amount) : (100.0 + amount) / 100.0;
    t[v] = round_channel((v - 127.5) * k + 127.5);
  }
  return t;
}

ChannelTable stretch_table(int low, int high) {
  ChannelTable t;
  for (int v = 0; v < 256; ++v) t[v] = high <= low ? uint8_t(v) : round_channel((v - low) * 255.0 / (high - low));
  return t;
}

ChannelHistograms channel_histograms_argb32(ConstPixelView src) {
  ChannelHistograms h;
  for (int y = 0; y < src.height; ++y) {
    const uint32_t* s = src.row(y);
    for (int x = 0; x < src.width; ++x) {
      const uint32_t p = s[x];
      if (!alpha_of(p)) continue;
      ++h.blue[blue_of(p)];
      ++h.green[green_of(p)];
      ++h.red[red_of(p)];
      ++h.pixels;
    }
  }
  return h;
}

uint64_t histogram_clip(uint64_t values) { return values / 200; }

int histogram_low(const std::array<uint64_t, 256>& counts, uint64_t clip) {
  uint64_t seen = 0;
  for (int v = 0; v < 256; ++v)
    if ((seen += counts[v]) > clip) return v;
  return 0;
}

int histogram_high(const std::array<uint64_t, 256>& counts, uint64_t clip) {
  uint64_t seen = 0;
  for (int v = 255; v >= 0; --v)
    if ((seen += counts[v]) > clip) return v;
  return 255;
}

void greyscale_argb32(ConstPixelView src, PixelView dst) {
  for (int y = 0; y < src.height; ++y) loops::greyscale(src.row(y), src.width, dst.row(y));
}

void lightness_argb32(int32_t amount, bool automatic, ConstPixelView src, PixelView dst) {
  double fraction = amount / 100.0;
  if (automatic) {
    uint64_t sum = 0, pixels = 0;
    for (int y = 0; y < src.height; ++y) {
      const uint32_t* s = src.row(y);
      for (int x = 0; x < src.width; ++x) {
        if (!alpha_of(s[x])) continue;
        sum += luma(s[x]);
        ++pixels;
      }
    }
    const double mean = pixels ? double(sum) / double(pixels) : 128.0;
    fraction = std::clamp(mean < 128 ? (128 - mean) / (255 - mean) : 128 / mean - 1, -0.5, 0.5);
  }
  map_channels_argb32(same_tables(lightness_table(fraction)), src, dst);
}

void contrast_argb32(int32_t amount, bool automatic, ConstPixelView src, PixelView dst) {
  if (!automatic) return map_channels_argb32(same_tables(contrast_table(amount)), src, dst);
  const ChannelHistograms h = channel_histograms_argb32(src);
  std::array<uint64_t, 256> all{};
  for (int v = 0; v < 256; ++v) all[v] = h.blue[v] + h.green[v] + h.red[v];
  const uint64_t clip = histogram_clip(3 * h.pixels);
  map_channels_argb32(same_tables(stretch_table(histogram_low(all, clip), histogram_high(all, clip))), src, dst);
}

void auto_level_argb32(ConstPixelView src, PixelView dst) {
  const ChannelHistograms h = channel_histograms_argb32(src);
  const uint64_t clip = histogram_clip(h.pixels);
  auto stretch = [clip](const std::array<uint64_t, 256>& c) {
    return stretch_table(histogram_low(c, clip), histogram_high(c, clip));
  };
  map_channels_argb32({stretch(h.blue), stretch(h.green), stretch(h.red)}, src, dst);
}

void solarize_argb32(uint32_t threshold, ConstPixelView src, PixelView dst) {
  auto table = [](uint32_t t) {
    ChannelTable c;
    for (uint32_t v = 0; v < 256; ++v) c[v] = uint8_t(v > t ? 255 - v : v);
    return c;
  };
  map_channels_argb32({table(blue_of(threshold)), table(green_of(threshold)), table(red_of(threshold))}, src, dst);
}

void hsl_colorize_argb32(int32_t hue, int32_t saturation, int32_t lightness, ConstPixelView src, PixelView dst) {
  uint32_t colours[256];
  for (int v = 0; v < 256; ++v)
    colours[v] = hsl_to_rgb(hue / 360.0, saturation / 100.0, lighten(v, lightness / 100.0) / 255.0);
  for (int y = 0; y < src.height; ++y) {
    const uint32_t* s = src.row(y);
    uint32_t* d = dst.row(y);
    for (int x = 0; x < src.width; ++x) d[x] = (s[x] & 0xFF000000u) | colours[luma(s[x])];
  }
}

void swap_channels_argb32(const std::array<int32_t, 4>& sources, ConstPixelView src, PixelView dst) {
  // Where each channel sits in a colour value, by channel number (red, green, blue, alpha).
  constexpr uint32_t kShift[4] = {16, 8, 0, 24};
  const uint32_t fromRed = kShift[sources[0]], fromGreen = kShift[sources[1]], fromBlue = kShift[sources[2]],
                 fromAlpha = kShift[sources[3]];
  for (int y = 0; y < src.height; ++y) {
    const uint32_t* s = src.row(y);
    uint32_t* d = dst.row(y);
    for (int x = 0; x < src.width; ++x) {
      const uint32_t p = s[x];
      d[x] = ((p >> fromAlpha) & 0xFF) << 24 | ((p >> fromRed) & 0xFF) << 16 | ((p >> fromGreen) & 0xFF) << 8 |
             ((p >> fromBlue) & 0xFF);
    }
  }
}

}  // namespace zx::effects::kernels
