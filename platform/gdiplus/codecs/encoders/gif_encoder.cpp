// Zentarix GDI+ layer — MIT licence.
// The GIF encoder (giflib): a still image, or an animation written frame by frame.
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

// Writes GIF images one after another into memory. A still image is written as it always was:
// GIF87a unless it has a transparent index, with a control block only then. An animation is GIF89a
// with the NETSCAPE2.0 block (loop forever) and a control block on every frame carrying its delay,
// its transparent index and the disposal "restore to background", so that each frame shows itself
// alone and never the frames before it through its transparent pixels. Every frame is drawn at the
// top-left corner; the logical screen is as large as the largest frame.
class GifWriter final : public FrameWriter {
 public:
  explicit GifWriter(bool animation) : m_animation(animation) {}
  Status add(const EncodeImage& frame, const EncodeOptions& options) override;
  Status finish(std::vector<uint8_t>& out) override;

 private:
  Status failure() const { return m_sink.outOfMemory ? Status::OutOfMemory : Status::GenericError; }
  Status open(int width, int height, int tableBits, const ColorMapObject* map, bool gif89);

  bool m_animation;
  std::vector<uint8_t> m_file;
  GifSink m_sink{&m_file};
  GifHandle m_gif;
  std::vector<GifColorType> m_global;  // the global colour table, which later frames may share
  int m_width = 0, m_height = 0;
};

Status GifWriter::open(int width, int height, int tableBits, const ColorMapObject* map, bool gif89) {
  int error = 0;
  m_gif.gif = EGifOpen(&m_sink, gif_append, &error);
  if (m_gif.gif == nullptr) return Status::OutOfMemory;
  EGifSetGifVersion(m_gif.gif, gif89);
  // GIF keeps no resolution (its aspect byte is left 0, square pixels).
  if (EGifPutScreenDesc(m_gif.gif, width, height, tableBits, 0, map) != GIF_OK) return failure();
  m_global.assign(map->Colors, map->Colors + map->ColorCount);
  if (!m_animation) return Status::Ok;
  static const GifByteType kLoopForever[3] = {1, 0, 0};
  if (EGifPutExtensionLeader(m_gif.gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
      EGifPutExtensionBlock(m_gif.gif, 11, "NETSCAPE2.0") != GIF_OK ||
      EGifPutExtensionBlock(m_gif.gif, 3, kLoopForever) != GIF_OK || EGifPutExtensionTrailer(m_gif.gif) != GIF_OK)
    return failure();
  return Status::Ok;
}

Status GifWriter::add(const EncodeImage& frame, const EncodeOptions&) {
  const EncodeImage* img = first_frame(std::span<const EncodeImage>(&frame, 1));
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

    const bool first = m_gif.gif == nullptr;
    if (first) {
      if (Status st = open(v.width, v.height, tableBits, map.map, m_animation || transparent >= 0); st != Status::Ok)
        return st;
    }
    const bool sameTable =
        size_t(map.map->ColorCount) == m_global.size() &&
        std::equal(m_global.begin(), m_global.end(), map.map->Colors, [](const GifColorType& a, const GifColorType& b) {
          return a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue;
        });
    if (m_animation || transparent >= 0) {
      GraphicsControlBlock gcb{};
      gcb.DisposalMode = m_animation ? DISPOSE_BACKGROUND : DISPOSAL_UNSPECIFIED;
      gcb.DelayTime = m_animation ? int(std::min<UINT>(img->delay, 0xFFFF)) : 0;
      gcb.TransparentColor = transparent;
      GifByteType ext[4];
      const size_t len = EGifGCBToExtension(&gcb, ext);
      if (EGifPutExtension(m_gif.gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext) != GIF_OK) return failure();
    }
    if (EGifPutImageDesc(m_gif.gif, 0, 0, v.width, v.height, false, sameTable ? nullptr : map.map) != GIF_OK)
      return failure();
    for (int y = 0; y < v.height; ++y)
      if (EGifPutLine(m_gif.gif, &indices[size_t(y) * size_t(v.width)], v.width) != GIF_OK) return failure();
    m_width = std::max(m_width, v.width);
    m_height = std::max(m_height, v.height);
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory;
  }
  return Status::Ok;
}

Status GifWriter::finish(std::vector<uint8_t>& out) {
  if (m_gif.gif == nullptr) return Status::InvalidParameter;
  if (!m_gif.close()) return failure();
  // The screen was declared with the first frame's size; a larger later frame widens it.
  m_file[6] = uint8_t(m_width);
  m_file[7] = uint8_t(m_width >> 8);
  m_file[8] = uint8_t(m_height);
  m_file[9] = uint8_t(m_height >> 8);
  try {
    out.insert(out.end(), m_file.begin(), m_file.end());
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory;
  }
  return Status::Ok;
}

Status encode_gif(std::span<const EncodeImage> frames, const EncodeOptions& options, std::vector<uint8_t>& out) {
  GifWriter writer(frames.size() > 1);
  return write_frames(writer, frames, options, out);
}

std::unique_ptr<FrameWriter> make_gif_frames() { return std::unique_ptr<FrameWriter>(new (std::nothrow) GifWriter(true)); }

}  // namespace

ZX_REGISTER_CODEC(gif_encoder, CodecEntry{Gdiplus::ImageFormatGIF,
                                          {0x557CF402, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}},
                                          u"Built-in GIF Codec", u"image/gif", u"*.GIF", nullptr, nullptr, encode_gif,
                                          make_gif_frames, Gdiplus::FrameDimensionTime});

}  // namespace zx::gdip::encoders
