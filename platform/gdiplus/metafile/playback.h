// Zentarix GDI+ layer — MIT licence.
// Playing an enhanced metafile (EMF, EMF+ and dual files) into a 32 bpp ARGB bitmap.
#pragma once
#include <span>

#include "../codecs/codec.h"

namespace zx::gdip {

// What the header says about the picture: its pixel size (the frame at the reference device's
// resolution, at most one past kMaxSide) and that resolution. false: the header is broken or the
// frame empty.
struct MetafileSize {
  int width = 0, height = 0;
  float dpiX = 96, dpiY = 96;
};
// cairo's limit on a surface side, and so the largest metafile drawn.
inline constexpr int kMaxMetafileSide = 32767;
bool read_emf_size(std::span<const uint8_t> data, MetafileSize* out);

// Draws the records onto target (32bppARGB, the size read_emf_size gave), whose pixels start
// transparent. The frame fills the target. Playback of well-formed files is complete; a record that
// reaches past the file, or names an object that does not exist, ends playback with what was drawn,
// and unknown records are skipped. Returns Ok, or OutOfMemory when memory ran out.
Gdiplus::Status play_emf(std::span<const uint8_t> data, const PixelView& target);

}  // namespace zx::gdip
