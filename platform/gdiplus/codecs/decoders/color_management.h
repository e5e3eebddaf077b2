// Zentarix GDI+ layer — MIT licence.
// Colour management for the codecs (lcms2): embedded ICC profiles into sRGB, CMYK into sRGB.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace zx::gdip::cms {

// One lcms2 transform, owned. Empty (false) when the profile could not be used; callers then keep
// the pixels as decoded, which is what a viewer without colour management shows.
class ColorTransform {
 public:
  ColorTransform() = default;
  ~ColorTransform();
  ColorTransform(ColorTransform&& other) noexcept : m_handle(other.m_handle) { other.m_handle = nullptr; }
  ColorTransform& operator=(ColorTransform&& other) noexcept;
  ColorTransform(const ColorTransform&) = delete;
  ColorTransform& operator=(const ColorTransform&) = delete;

  // Takes ownership of an lcms2 transform (cmsHTRANSFORM); null makes an empty object.
  explicit ColorTransform(void* handle) : m_handle(handle) {}

  explicit operator bool() const { return m_handle != nullptr; }
  // Converts `pixels` pixels; in and out may be the same buffer when the layouts have equal size.
  void apply(const void* in, void* out, size_t pixels) const;

 private:
  void* m_handle = nullptr;
};

// BGRA (8 bits, straight alpha copied unchanged) in the embedded RGB profile -> BGRA in sRGB.
// Empty for unreadable profiles and for profiles that are not RGB (a grey or CMYK profile cannot
// describe BGRA pixels).
ColorTransform rgb_profile_to_srgb(std::span<const uint8_t> icc);

// CMYK (8 bits per ink, 0 = no ink; `inverted`: 255 = no ink, as Adobe applications write JPEG) ->
// BGRA in sRGB, alpha left to the caller. An empty or unusable `icc` selects our default CMYK
// profile. Empty only when even the default profile cannot be built.
ColorTransform cmyk_to_srgb(std::span<const uint8_t> icc, bool inverted);

// The same for 16-bit inks (TIFF), native byte order.
ColorTransform cmyk16_to_srgb(std::span<const uint8_t> icc);

// sRGB BGRA (alpha not used) -> CMYK 8 (0 = no ink) through the CMYK profile `icc`, or our default
// CMYK profile when `icc` is empty. Empty when `icc` is given but is no CMYK ICC profile: a caller
// that names a profile means that one. The transform keeps no pixel cache, so one object may serve
// several threads at once.
ColorTransform srgb_to_cmyk(std::span<const uint8_t> icc);

// Our default CMYK profile as an lcms2 profile handle (cmsHPROFILE), built once on first use and
// kept for the life of the process. Never null unless lcms2 failed to build it.
void* default_cmyk_profile();

}  // namespace zx::gdip::cms
