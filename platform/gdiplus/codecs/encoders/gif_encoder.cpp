// Zentarix GDI+ layer — MIT licence.
// The GIF encoder (giflib): one LZW image with the palette as the global colour table.
#include <algorithm>
#include <new>

#include "encode_common.h"

#include <gif_lib.h>

namespace zx::gdip::encoders {
namespace {

using Gdiplus::Status;

struct GifSink {
  std::vector<uint8_t>* out;
  bool outOfMemory = false;
};

int gif_append(GifFileType* gif, const GifByteType* data, int length) {
  auto* sink = static_cast<GifSink*>(gif->UserData);
  try {
    sink->out->insert(sink->out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    sink->outOfMemory = true;
    return 0;  // giflib turns a short write into a failed call
  }
  return length;
}

// Closes the file on every path; giflib frees its own state in EGifCloseFile.
struct GifHandle {
  GifFileType* gif = nullptr;
  ~GifHandle() {
    if (gif != nullptr) EGifCloseFile(gif, nullptr);
  }
  bool close() {
    int error = 0;
    const int rc = EGifCloseFile(gif, &error);
    gif = nullptr;
    return rc == GIF_OK;
  }
};

struct MapHandle {
  ColorMapObject* map = nullptr;
  ~MapHandle() { GifFreeMapObject(map); }
};

Status encode_gif(std::span<const EncodeImage> frames, const EncodeOptions&, std::vector<uint8_t>& out) {
  const EncodeImage* img = first_frame(frames);
  if (img == nullptr) return Status::InvalidParameter;
  const PixelView& v = img->pixels;
  const int bits = int(Gdiplus::GetPixelFormatSize(v.format));
  if (!Gdiplus::IsIndexedPixelFormat(v.format) || (bits != 1 && bits != 4 && bits != 8))
    return Status::InvalidParameter;  // the core reduces other formats to a palette first
  if (v.width > 0xFFFF || v.height > 0xFFFF) return Status::ValueOverflow;
  const UINT colours = usable_palette_count(*img);
  if (colours == 0) return Status::InvalidParameter;

  try {
    // Indices unpacked to one byte each; the colour table must cover every index used and have a
    // power-of-two size, so it is padded with black.
    std::vector<GifByteType> indices(size_t(v.width) * size_t(v.height));
    unsigned maxIndex = 0;
    const unsigned mask = (1u << bits) - 1;
    for (int y = 0; y < v.height; ++y) {
      const uint8_t* src = v.row(y);
      GifByteType* dst = &indices[size_t(y) * size_t(v.width)];
      for (int x = 0; x < v.width; ++x) {
        const size_t bit = size_t(x) * size_t(bits);
        dst[x] = GifByteType((src[bit / 8] >> (8 - bits - bit % 8)) & mask);
        maxIndex = std::max<unsigned>(maxIndex, dst[x]);
      }
    }
    int tableBits = 1;
    while ((1u << tableBits) < std::max<unsigned>(colours, maxIndex + 1)) ++tableBits;

    MapHandle map;
    map.map = GifMakeMapObject(1 << tableBits, nullptr);
    if (map.map == nullptr) return Status::OutOfMemory;
    int transparent = -1;
    for (int i = 0; i < (1 << tableBits); ++i) {
      const Gdiplus::ARGB c = UINT(i) < colours ? img->palette->Entries[i] : 0xFF000000u;
      map.map->Colors[i] = GifColorType{GifByteType(c >> 16), GifByteType(c >> 8), GifByteType(c)};
      // Several entries may be transparent; GIF marks one, and the first is the one we keep.
      if (UINT(i) < colours && (c >> 24) == 0 && transparent < 0) transparent = i;
    }

    std::vector<uint8_t> file;
    GifSink sink{&file};
    int error = 0;
    GifHandle gif;
    gif.gif = EGifOpen(&sink, gif_append, &error);
    if (gif.gif == nullptr) return Status::OutOfMemory;
    EGifSetGifVersion(gif.gif, transparent >= 0);
    // GIF keeps no resolution (its aspect byte is left 0, square pixels).
    if (EGifPutScreenDesc(gif.gif, v.width, v.height, tableBits, 0, map.map) != GIF_OK)
      return sink.outOfMemory ? Status::OutOfMemory : Status::GenericError;
    if (transparent >= 0) {
      GraphicsControlBlock gcb{};
      gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
      gcb.DelayTime = 0;
      gcb.TransparentColor = transparent;
      GifByteType ext[4];
      const size_t len = EGifGCBToExtension(&gcb, ext);
      if (EGifPutExtension(gif.gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext) != GIF_OK)
        return sink.outOfMemory ? Status::OutOfMemory : Status::GenericError;
    }
    if (EGifPutImageDesc(gif.gif, 0, 0, v.width, v.height, false, nullptr) != GIF_OK)
      return sink.outOfMemory ? Status::OutOfMemory : Status::GenericError;
    for (int y = 0; y < v.height; ++y)
      if (EGifPutLine(gif.gif, &indices[size_t(y) * size_t(v.width)], v.width) != GIF_OK)
        return sink.outOfMemory ? Status::OutOfMemory : Status::GenericError;
    if (!gif.close()) return sink.outOfMemory ? Status::OutOfMemory : Status::GenericError;
    out.insert(out.end(), file.begin(), file.end());
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory;
  }
  return Status::Ok;
}

}  // namespace

ZX_REGISTER_CODEC(gif_encoder, CodecEntry{Gdiplus::ImageFormatGIF,
                                          {0x557CF402, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}},
                                          u"Built-in GIF Codec", u"image/gif", u"*.GIF", nullptr, nullptr, encode_gif});

}  // namespace zx::gdip::encoders
