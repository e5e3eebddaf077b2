// Zentarix GDI+ layer — MIT licence.
// The composition kernel of vector drawing.
#include "compose.h"

#include <algorithm>
#include <cstring>

#include "pixel_convert.h"

namespace zx::gdip {
namespace {

// The brush's straight sample at full coverage.
uint32_t sample_at(const CoverageSource& s, int x, int y) {
  if (!s.layer) return s.solid;
  uint32_t p;
  std::memcpy(&p, s.layer + ptrdiff_t{y} * s.layer_stride + ptrdiff_t{x} * 4, 4);
  return unpremultiply(p);
}

uint32_t with_alpha(uint32_t argb, uint32_t alpha) { return (argb & 0x00FFFFFFu) | alpha << 24; }

// The target pixel as straight ARGB.
uint32_t straight_of(const uint8_t* pixel, resample::TargetFormat format) {
  uint32_t d;
  std::memcpy(&d, pixel, 4);
  switch (format) {
    case resample::TargetFormat::Pargb: return unpremultiply(d);
    case resample::TargetFormat::Rgb: return d | 0xFF000000u;
    default: return d;
  }
}

// sample and pixel blended in premultiplied alpha, weight c / 255 on the sample; straight result.
uint32_t blend(uint32_t sample, uint32_t pixel, uint32_t c) {
  const uint32_t s = premultiply(sample), d = premultiply(pixel);
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t v = (((s >> shift) & 0xFF) * c + ((d >> shift) & 0xFF) * (255 - c) + 127) / 255;
    out |= v << shift;
  }
  return unpremultiply(out);
}

void compose_raster_op(const resample::TargetView& target, int x0, int y0, const CoverageSource& s, const RasterOp& rop) {
  for (int y = 0; y < s.height; ++y) {
    const uint8_t* mask = s.mask + ptrdiff_t{y} * s.mask_stride;
    uint8_t* row = target.data + ptrdiff_t{y0 + y} * target.stride + ptrdiff_t{x0} * 4;
    for (int x = 0; x < s.width; ++x) {
      if (mask[x] < 128) continue;
      const uint32_t sample = sample_at(s, x, y);
      if ((sample >> 24) == 0) continue;  // a hatch's transparent background
      uint8_t* pixel = row + ptrdiff_t{x} * 4;
      const uint32_t d = straight_of(pixel, target.format);
      const uint32_t value = rop.sampleIsSource ? apply_raster_op(rop.code, rop.pattern, sample, d)
                                                : apply_raster_op(rop.code, sample, 0, d);
      resample::compose_pixel(pixel, value, resample::Compose::SourceCopy, target.format);
    }
  }
}

}  // namespace

uint32_t apply_raster_op(uint8_t code, uint32_t p, uint32_t s, uint32_t d) {
  uint32_t out = 0;
  for (int k = 0; k < 8; ++k)
    if ((code >> k) & 1) out |= ((k & 4) ? p : ~p) & ((k & 2) ? s : ~s) & ((k & 1) ? d : ~d);
  return (out & 0x00FFFFFFu) | 0xFF000000u;
}

void compose_coverage(const resample::TargetView& target, int x0, int y0, const CoverageSource& s,
                      resample::Compose mode, const RasterOp& rop) {
  if (rop.active) return compose_raster_op(target, x0, y0, s, rop);
  const bool copy = mode == resample::Compose::SourceCopy;
  const bool opaqueSolid = !s.layer && (s.solid >> 24) == 255 && target.format == resample::TargetFormat::Argb;
  for (int y = 0; y < s.height; ++y) {
    const uint8_t* mask = s.mask + ptrdiff_t{y} * s.mask_stride;
    uint8_t* row = target.data + ptrdiff_t{y0 + y} * target.stride + ptrdiff_t{x0} * 4;
    for (int x = 0; x < s.width; ++x) {
      const uint32_t c = mask[x];
      if (c == 0) continue;
      uint8_t* pixel = row + ptrdiff_t{x} * 4;
      if (c == 255 && opaqueSolid) {
        std::memcpy(pixel, &s.solid, 4);
        continue;
      }
      const uint32_t sample = sample_at(s, x, y);
      if (copy) {
        const uint32_t value = c == 255 ? sample : blend(sample, straight_of(pixel, target.format), c);
        resample::compose_pixel(pixel, value, resample::Compose::SourceCopy, target.format);
      } else {
        const uint32_t alpha = ((sample >> 24) * c + 127) / 255;
        resample::compose_pixel(pixel, with_alpha(sample, alpha), resample::Compose::SourceOver, target.format);
      }
    }
  }
}

}  // namespace zx::gdip
