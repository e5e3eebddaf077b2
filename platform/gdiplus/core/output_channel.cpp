// Zentarix GDI+ layer — MIT licence.
// Image attributes' output channels: bitmaps drawn as the grey image of one CMYK ink (lcms2).
#include "decoders/color_management.h"
#include "graphics.h"
#include "guard.h"

#include <vector>

using namespace Gdiplus;

namespace zx::gdip {
namespace {

// ICC profiles run to a few megabytes; a larger file is no profile worth reading into memory.
constexpr size_t kMaxProfileBytes = size_t{64} << 20;

// The separation through our default profile, built once and shared (it keeps no pixel cache).
const cms::ColorTransform* default_separation() {
  static const cms::ColorTransform separation = cms::srgb_to_cmyk({});
  return separation ? &separation : nullptr;
}

bool valid_type(ColorAdjustType type) { return type >= ColorAdjustTypeDefault && type < ColorAdjustTypeCount; }

}  // namespace

bool AttributesData::bitmap_channel(OutputChannel* out) const {
  const ColorAdjustType type = channel[ColorAdjustTypeBitmap] != ColorChannelFlagsLast ? ColorAdjustTypeBitmap
                                                                                        : ColorAdjustTypeDefault;
  if (channel[type] == ColorChannelFlagsLast) return false;
  out->ink = channel[type];
  const auto& profile = channelProfile[ColorAdjustTypeBitmap] ? channelProfile[ColorAdjustTypeBitmap]
                                                              : channelProfile[ColorAdjustTypeDefault];
  out->separation = profile.get();
  return true;
}

Status render_output_channel(uint8_t* pixels, int width, int height, ptrdiff_t stride, const OutputChannel& channel,
                             const resample::ColourMap* map) {
  const cms::ColorTransform* separation = channel.separation ? channel.separation : default_separation();
  if (!separation) return GenericError;
  std::vector<uint8_t> inks(size_t(width) * 4);
  const int ink = int(channel.ink);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = pixels + y * stride;
    if (map) {
      for (int x = 0; x < width; ++x) {
        uint8_t* p = row + size_t(x) * 4;
        const uint32_t c = map->apply(uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
        p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16), p[3] = uint8_t(c >> 24);
      }
    }
    separation->apply(row, inks.data(), size_t(width));
    for (int x = 0; x < width; ++x) {
      const uint8_t grey = uint8_t(255 - inks[size_t(x) * 4 + ink]);
      row[x * 4] = row[x * 4 + 1] = row[x * 4 + 2] = grey;
    }
  }
  return Ok;
}

}  // namespace zx::gdip

using namespace zx::gdip;

namespace Gdiplus::DllExports {

Status WINAPI GdipSetImageAttributesOutputChannel(GpImageAttributes* attributes, ColorAdjustType type, BOOL enableFlag,
                                                  ColorChannelFlags channelFlags) {
  if (!attributes || !valid_type(type)) return InvalidParameter;
  if (!enableFlag) {
    impl(attributes)->channel[type] = ColorChannelFlagsLast;
    return Ok;
  }
  if (channelFlags < ColorChannelFlagsC || channelFlags >= ColorChannelFlagsLast) return InvalidParameter;
  impl(attributes)->channel[type] = channelFlags;
  return Ok;
}

Status WINAPI GdipSetImageAttributesOutputChannelColorProfile(GpImageAttributes* attributes, ColorAdjustType type,
                                                              BOOL enableFlag, const WCHAR* colorProfileFilename) {
  return guarded([&] {
    if (!attributes || !valid_type(type)) return InvalidParameter;
    if (!enableFlag) {
      impl(attributes)->channelProfile[type].reset();
      return Ok;
    }
    if (!colorProfileFilename || !*colorProfileFilename) return InvalidParameter;
    std::shared_ptr<const EncodedSource> icc;
    if (const Status status = read_file(colorProfileFilename, &icc, kMaxProfileBytes); status != Ok) return status;
    if (icc->bytes().empty()) return InvalidParameter;  // an empty profile would select the default one
    auto separation = std::make_shared<cms::ColorTransform>(cms::srgb_to_cmyk(icc->bytes()));
    if (!*separation) return InvalidParameter;
    impl(attributes)->channelProfile[type] = std::move(separation);
    return Ok;
  });
}

}  // namespace Gdiplus::DllExports
