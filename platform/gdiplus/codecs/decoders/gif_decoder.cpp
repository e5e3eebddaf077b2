// Zentarix GDI+ layer — MIT licence.
// The GIF decoder (giflib): one frame composited as a viewer shows it, the frame count and the
// animation's property items; the next frame continues from the previous one's canvas.
#include <gif_lib.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "decode_common.h"

namespace zx::gdip::decoders {
namespace {

using Gdiplus::Status;

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

int gif_read_memory(GifFileType* gif, GifByteType* out, int length) {
  auto* r = static_cast<MemoryReader*>(gif->UserData);
  const size_t n = std::min(static_cast<size_t>(std::max(length, 0)), r->size - r->pos);
  std::memcpy(out, r->data + r->pos, n);
  r->pos += n;
  return static_cast<int>(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

// Reads one frame's rows (w indices each) and hands each to draw(y, row) as it arrives, in file
// order (interlaced frames in their four passes). Nothing the size of the frame is allocated: a
// small file may declare huge frames whose data ends at once, and each must cost what it holds.
// Returns the rows read; fewer than h when the data ends early.
template <class Draw>
int64_t read_frame_rows(GifFileType* gif, int w, int h, bool interlaced, std::vector<uint8_t>& row, Draw draw) {
  row.resize(static_cast<size_t>(w));
  static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  int64_t rows = 0;
  for (int pass = interlaced ? 0 : 3; pass < 4; ++pass)
    for (int y = interlaced ? kStart[pass] : 0; y < h; y += interlaced ? kStep[pass] : 1) {
      if (DGifGetLine(gif, row.data(), w) != GIF_OK) return rows;
      draw(y, row.data());
      ++rows;
    }
  return rows;
}

bool skip_frame_data(GifFileType* gif) {
  int code_size = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(gif, &code_size, &block) != GIF_OK) return false;
  while (block) {
    if (DGifGetCodeNext(gif, &block) != GIF_OK) return false;
  }
  return true;
}

bool sniff_gif(std::span<const uint8_t> head) { return starts_with(head, "GIF87a", 6) || starts_with(head, "GIF89a", 6); }

constexpr GraphicsControlBlock kNoControl{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};

// Where a decode stopped: the canvas as the next frame finds it (the decoded frame disposed of) and
// the offset of the record that follows that frame's data. Decoding frame n + 1 continues from here,
// so reading every frame of an animation in order costs one pass over the file, not n.
struct GifProgress final : DecoderState {
  size_t offset = 0;
  UINT nextFrame = 0;
  UINT frameCount = 0;
  int64_t screenW = 0, screenH = 0;
  std::vector<uint32_t> canvas;
};

// What a pass from the start collects for the image's property items.
struct GifMetadata {
  std::vector<uint32_t> delays;  // per frame, hundredths of a second
  int loopCount = -1;            // from the NETSCAPE2.0 block, when there is one
  int firstTransparent = -1;
};

template <class T>
PropertyData property(Gdiplus::PROPID id, WORD type, const std::vector<T>& values) {
  PropertyData p{id, type, std::vector<uint8_t>(values.size() * sizeof(T))};
  if (!values.empty()) std::memcpy(p.value.data(), values.data(), p.value.size());
  return p;
}

void report_properties(const GifFileType* g, const GifMetadata& meta, DecodedInfo& info) {
  info.properties.push_back(property(Gdiplus::PropertyTagFrameDelay, Gdiplus::PropertyTagTypeLong, meta.delays));
  if (meta.loopCount >= 0)
    info.properties.push_back(property(Gdiplus::PropertyTagLoopCount, Gdiplus::PropertyTagTypeShort,
                                       std::vector<uint16_t>{uint16_t(meta.loopCount)}));
  if (const ColorMapObject* map = g->SColorMap) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < map->ColorCount; ++i) rgb.insert(rgb.end(), {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
    info.properties.push_back(property(Gdiplus::PropertyTagGlobalPalette, Gdiplus::PropertyTagTypeByte, rgb));
    info.properties.push_back(property(Gdiplus::PropertyTagIndexBackground, Gdiplus::PropertyTagTypeByte,
                                       std::vector<uint8_t>{uint8_t(g->SBackGroundColor)}));
  }
  if (meta.firstTransparent >= 0)
    info.properties.push_back(property(Gdiplus::PropertyTagIndexTransparent, Gdiplus::PropertyTagTypeByte,
                                       std::vector<uint8_t>{uint8_t(meta.firstTransparent)}));
}

// Reads an extension; updates the control block and the loop count. False when the data breaks.
bool read_extension(GifFileType* g, GraphicsControlBlock& gcb, GifMetadata& meta) {
  int code = 0;
  GifByteType* ext = nullptr;
  if (DGifGetExtension(g, &code, &ext) != GIF_OK) return false;
  if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) DGifExtensionToGCB(ext[0], ext + 1, &gcb);
  const bool loopBlock = code == APPLICATION_EXT_FUNC_CODE && ext && ext[0] == 11 &&
                         (std::memcmp(ext + 1, "NETSCAPE2.0", 11) == 0 || std::memcmp(ext + 1, "ANIMEXTS1.0", 11) == 0);
  while (ext) {
    if (DGifGetExtensionNext(g, &ext) != GIF_OK) return false;
    if (loopBlock && ext && ext[0] >= 3 && ext[1] == 1) meta.loopCount = ext[2] | ext[3] << 8;
  }
  return true;
}

Status decode_gif(std::span<const uint8_t> data, const DecodeOptions& options, DecodeSink& sink, DecodedInfo& info) {
  info.rawFormat = Gdiplus::ImageFormatGIF;
  info.frameDimension = Gdiplus::FrameDimensionTime;
  MemoryReader reader{data.data(), data.size(), 0};
  int error = 0;
  GifHandle gif{DGifOpen(&reader, gif_read_memory, &error)};
  if (!gif) return Gdiplus::GenericError;
  GifFileType* g = gif.get();

  // Continue from the previous decode when it stopped just before the wanted frame; otherwise read
  // from the start, which also counts the frames and collects the metadata.
  std::unique_ptr<GifProgress> progress;
  if (options.state && *options.state && options.frameIndex > 0) {
    auto* previous = dynamic_cast<GifProgress*>(options.state->get());
    if (previous && previous->nextFrame == options.frameIndex && previous->offset <= data.size()) {
      progress.reset(previous);
      options.state->release();
    }
  }
  if (options.state) options.state->reset();
  const bool fromStart = !progress;
  if (fromStart) progress = std::make_unique<GifProgress>();

  // The canvas is the logical screen, transparent where no frame has drawn (as viewers show it).
  std::vector<uint32_t> canvas = std::move(progress->canvas);
  std::vector<uint32_t> saved;  // the canvas before a "restore to previous" frame
  std::vector<uint8_t> indices;  // one row
  int64_t screen_w = fromStart ? g->SWidth : progress->screenW, screen_h = fromStart ? g->SHeight : progress->screenH;
  GraphicsControlBlock gcb = kNoControl;
  GifMetadata meta;
  UINT frames = fromStart ? 0 : progress->nextFrame;
  if (!fromStart) reader.pos = progress->offset;
  bool target_drawn = false;
  uint64_t decoded = 0;  // canvas bytes this decode may write or copy

  for (bool done = false; !done;) {
    GifRecordType record;
    if (DGifGetRecordType(g, &record) != GIF_OK) break;  // truncated: count what we have
    switch (record) {
      case EXTENSION_RECORD_TYPE:
        if (!read_extension(g, gcb, meta)) done = true;
        break;
      case IMAGE_DESC_RECORD_TYPE: {
        if (DGifGetImageDesc(g) != GIF_OK) {
          done = true;
          break;
        }
        const GifImageDesc& d = g->Image;
        if (frames == 0 && gcb.TransparentColor != NO_TRANSPARENT_COLOR) meta.firstTransparent = gcb.TransparentColor;
        if (target_drawn) {  // counting the frames after the wanted one
          if (frames >= options.limits.maxFrames) return Gdiplus::OutOfMemory;
          if (!skip_frame_data(g)) {
            done = true;
            break;
          }
          meta.delays.push_back(uint32_t(std::max(gcb.DelayTime, 0)));
          ++frames;
          gcb = kNoControl;
          break;
        }
        if (frames == 0) {
          if (screen_w <= 0 || screen_h <= 0) {
            screen_w = static_cast<int64_t>(d.Left) + d.Width;
            screen_h = static_cast<int64_t>(d.Top) + d.Height;
          }
          if (screen_w <= 0 || screen_h <= 0) return Gdiplus::GenericError;
          if (!pixels_allowed(screen_w, screen_h, options.limits)) return Gdiplus::OutOfMemory;
          canvas.assign(static_cast<size_t>(screen_w) * static_cast<size_t>(screen_h), 0);
        }
        const int w = std::max(d.Width, 0), h = std::max(d.Height, 0);
        if (w > 0 && h > 0 && !pixels_allowed(w, h, options.limits)) return Gdiplus::OutOfMemory;
        // Work, not only memory: thousands of full-screen frames each cost a pass, so before a frame
        // is read its rows, its disposal's clearing and the canvas a "restore to previous" frame
        // copies are counted against the decoded bytes.
        decoded += 2 * uint64_t(w) * uint64_t(h) + (gcb.DisposalMode == DISPOSE_PREVIOUS ? canvas.size() * 4 : 0);
        if (frames >= options.limits.maxFrames || decoded > options.limits.maxDecodedBytes) return Gdiplus::OutOfMemory;
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : g->SColorMap;
        const int disposal = gcb.DisposalMode;
        if (disposal == DISPOSE_PREVIOUS) saved = canvas;
        const int64_t rows = read_frame_rows(g, w, h, d.Interlace, indices, [&](int y, const uint8_t* row) {
          const int64_t cy = static_cast<int64_t>(d.Top) + y;
          if (cy < 0 || cy >= screen_h) return;
          for (int x = 0; x < w; ++x) {
            const int64_t cx = static_cast<int64_t>(d.Left) + x;
            if (cx < 0 || cx >= screen_w) continue;
            const int index = row[x];
            if (index == gcb.TransparentColor) continue;
            uint32_t px = 0xFF000000u;
            if (map && index < map->ColorCount) {
              const GifColorType& c = map->Colors[index];
              px |= uint32_t{c.Red} << 16 | uint32_t{c.Green} << 8 | c.Blue;
            }
            canvas[static_cast<size_t>(cy * screen_w + cx)] = px;
          }
        });
        const bool complete = rows == h;
        if (!complete && frames < options.frameIndex) {
          done = true;  // an earlier frame is broken: the wanted one is never reached
          break;
        }
        meta.delays.push_back(uint32_t(std::max(gcb.DelayTime, 0)));
        // A frame cut short still shows the rows that arrived, as viewers show a partial download.
        if (frames == options.frameIndex) {
          target_drawn = true;
          PixelView view;
          if (Status st = allocate_argb(sink, screen_w, screen_h, options.limits, &view); st != Gdiplus::Ok) return st;
          for (int y = 0; y < view.height; ++y)
            std::memcpy(view.row(y), canvas.data() + static_cast<size_t>(y) * view.width,
                        static_cast<size_t>(view.width) * 4);
          progress->offset = reader.pos;
          progress->nextFrame = frames + 1;
        }
        if (disposal == DISPOSE_BACKGROUND) {
          // GIF89a's "restore to background": viewers clear the frame's area to transparent.
          for (int64_t y = std::max<int64_t>(d.Top, 0); y < std::min<int64_t>(int64_t{d.Top} + h, screen_h); ++y)
            for (int64_t x = std::max<int64_t>(d.Left, 0); x < std::min<int64_t>(int64_t{d.Left} + w, screen_w); ++x)
              canvas[static_cast<size_t>(y * screen_w + x)] = 0;
        } else if (disposal == DISPOSE_PREVIOUS) {
          canvas.swap(saved);
        }
        ++frames;
        if (!complete) {
          done = true;
          progress.reset();  // nothing follows a broken frame
        } else if (target_drawn && !fromStart) {
          done = true;  // the count is known: nothing more to read
        }
        gcb = kNoControl;
        break;
      }
      case TERMINATE_RECORD_TYPE:
      default:
        done = true;
        break;
    }
  }
  if (!target_drawn) return Gdiplus::GenericError;
  info.frameCount = fromStart ? frames : progress ? progress->frameCount : frames;
  if (fromStart) report_properties(g, meta, info);
  if (progress && options.state && progress->nextFrame < info.frameCount) {
    progress->frameCount = info.frameCount;
    progress->screenW = screen_w;
    progress->screenH = screen_h;
    progress->canvas = std::move(canvas);
    *options.state = std::move(progress);
  }
  return Gdiplus::Ok;
}

}  // namespace

ZX_REGISTER_CODEC(gif_decoder, CodecEntry{Gdiplus::ImageFormatGIF, GUID_NULL, u"Built-in GIF Codec", u"image/gif",
                                          u"*.GIF", sniff_gif, decode_gif, nullptr});

}  // namespace zx::gdip::decoders
