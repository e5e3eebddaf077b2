// Zentarix — MIT licence.
// Colour effects: greyscale, lightness, contrast, the automatic stretches, solarize, colourise, channel swaps.
#pragma once
#include <array>

#include "EffectPixels.h"

namespace zx::effects::kernels {

using ChannelTable = std::array<uint8_t, 256>;

// One table per colour channel; alpha is copied.
struct ChannelTables {
  ChannelTable blue, green, red;
};

// dst = src with each colour channel passed through its table.
void map_channels_argb32(const ChannelTables& tables, ConstPixelView src, PixelView dst);

// v + (255 - v) * f for f >= 0, v * (1 + f) below, rounded: f = 1 is white, -1 black, 0 no change.
ChannelTable lightness_table(double fraction);
// (v - 127.5) * k + 127.5, rounded and clamped, with k = 100 / (100 - amount) for amount >= 0 and
// (100 + amount) / 100 below: 0 changes nothing, -100 is flat grey, 100 leaves two levels.
ChannelTable contrast_table(double amount);
// low -> 0 and high -> 255 linearly, rounded and clamped; no change when high <= low.
ChannelTable stretch_table(int low, int high);

// Counts of each colour channel's values over the pixels that are not fully transparent.
struct ChannelHistograms {
  std::array<uint64_t, 256> blue{}, green{}, red{};
  uint64_t pixels = 0;
};
ChannelHistograms channel_histograms_argb32(ConstPixelView src);
// The darkest and lightest values once half a percent of the counted values is set aside at each end
// (so that a few stray pixels do not decide the stretch): the smallest v with more than `clip`
// counts at or below it, the largest with more than `clip` at or above.
int histogram_low(const std::array<uint64_t, 256>& counts, uint64_t clip);
int histogram_high(const std::array<uint64_t, 256>& counts, uint64_t clip);
uint64_t histogram_clip(uint64_t values);

// R = G = B = the pixel's luma; alpha kept.
void greyscale_argb32(ConstPixelView src, PixelView dst);
// Lightness by amount (-100..100), or with automatic by the fraction that brings the mean luma of
// the visible pixels to the middle (128), at most half the way to black or white.
void lightness_argb32(int32_t amount, bool automatic, ConstPixelView src, PixelView dst);
// Contrast by amount (-100..100), or with automatic one stretch shared by the three channels: the
// darkest channel value to 0 and the lightest to 255, so the colours keep their balance.
void contrast_argb32(int32_t amount, bool automatic, ConstPixelView src, PixelView dst);
// Each channel stretched on its own from its darkest to its lightest value.
void auto_level_argb32(ConstPixelView src, PixelView dst);
// Each colour channel value above that channel's value in the threshold colour becomes 255 - v.
void solarize_argb32(uint32_t threshold, ConstPixelView src, PixelView dst);
// Every pixel takes the hue (degrees, 0..360) and saturation (percent, 0..100); its luma, raised or
// lowered by lightness percent (-100..100) towards white or black, becomes the HSL lightness.
void hsl_colorize_argb32(int32_t hue, int32_t saturation, int32_t lightness, ConstPixelView src, PixelView dst);
// Output red, green, blue and alpha each copied from the channel named (0 red, 1 green, 2 blue,
// 3 alpha), each name in 0..3.
void swap_channels_argb32(const std::array<int32_t, 4>& sources, ConstPixelView src, PixelView dst);

}  // namespace zx::effects::kernels
