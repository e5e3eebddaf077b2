// Zentarix GDI+ layer — MIT licence.
// The contract between the bitmap core and the codec adapters (one adapter file per library).
//
// Decoders read a whole encoded image from memory (a file is mapped, a stream is read from its
// current position) and write pixels straight into memory the core hands them, so no decoded image
// is copied a second time. Encoders read a locked view of a bitmap and append the encoded file to a
// byte vector; the core moves it to the stream or file. Each adapter registers itself at load time
// with ZX_REGISTER_CODEC, so the core never names a format.
#pragma once
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "gdiplustypes.h"
#include "zx/resource_limits.h"

namespace zx::gdip {

// A writable or readable view of pixels in one GDI+ pixel format.
struct PixelView {
  uint8_t* scan0 = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t stride = 0;
  Gdiplus::PixelFormat format = Gdiplus::PixelFormatUndefined;
  uint8_t* row(int y) const { return scan0 + y * stride; }
};

// One metadata item as the core keeps it (GDI+'s PropertyItem, owning its value bytes).
struct PropertyData {
  Gdiplus::PROPID id = 0;
  WORD type = 0;
  std::vector<uint8_t> value;
};

// What a decoder may keep between the decodes of one image's frames, so that decoding frame n + 1
// after frame n continues from there instead of starting again at frame 0 (a GIF frame is drawn over
// the canvas the frames before it left). Owned by the image; dropped when a decode fails.
struct DecoderState {
  virtual ~DecoderState() = default;
};

// The defaults of the process's resource limits, and the limits now (see zx/resource_limits.h).
inline constexpr ZX_GDIP_RESOURCE_LIMITS kDefaultResourceLimits = {
    .maxPixels = ULONGLONG{1} << 28,
    .maxInputBytes = ULONGLONG{1} << 30,
    .maxDecodedBytes = ULONGLONG{4} << 30,
    .maxFrames = 10000,
    .maxDirectories = 10000,
    .maxScans = 1000,
    .maxCodecAllocation = ULONGLONG{64} << 20,
};
ZX_GDIP_RESOURCE_LIMITS resource_limits();

// What the decoder learned besides the pixels.
struct DecodedInfo {
  GUID rawFormat = Gdiplus::ImageFormatUndefined;
  float dpiX = 96.0f;  // a file that stores no resolution reports the display resolution
  float dpiY = 96.0f;
  UINT frameCount = 1;                           // GIF frames, TIFF pages
  GUID frameDimension = Gdiplus::FrameDimensionPage;  // FrameDimensionTime for GIF
  // Metafiles (WMF, EMF) are images without pixels of their own: their decoder fills these in and
  // never calls DecodeSink::allocate; the core then holds a metafile image of this pixel size.
  int width = 0;
  int height = 0;
  // The image's metadata items, reported by the decode that starts from the beginning of the data
  // (a continued decode reports none: the image keeps those it has).
  std::vector<PropertyData> properties;
};

// Implemented by the core: gives the decoder the bitmap memory to decode into.
class DecodeSink {
 public:
  // Allocates the image once its size and format are known. Returns OutOfMemory, before anything
  // is allocated, when the size cannot be held; the view stays valid until decode returns.
  virtual Gdiplus::Status allocate(int width, int height, Gdiplus::PixelFormat format, PixelView* out) = 0;
  // For indexed formats: the palette, entries as ARGB.
  virtual Gdiplus::Status set_palette(const Gdiplus::ARGB* entries, UINT count, UINT flags) = 0;

 protected:
  ~DecodeSink() = default;
};

struct DecodeOptions {
  bool useEmbeddedColorManagement = true;  // apply an embedded ICC profile into sRGB
  UINT frameIndex = 0;                     // which GIF frame or TIFF page to decode
  // In and out: the codec's progress from this image's previous decode (empty the first time). A
  // codec that can continue from it does; it may leave new progress for the next frame.
  std::unique_ptr<DecoderState>* state = nullptr;
  // What this decode may allocate and do: a copy of the process's limits taken as it starts.
  ZX_GDIP_RESOURCE_LIMITS limits = kDefaultResourceLimits;
};

// The parameters of a save, already taken from an EncoderParameters block by the core.
struct EncodeOptions {
  long quality = 75;                    // EncoderQuality (JPEG), 0..100
  long compression = -1;                // EncoderCompression value (TIFF), -1 = the codec's default
  long colorDepth = 0;                  // EncoderColorDepth (TIFF), 0 = the bitmap's own
};

// The image to encode: pixels in one of the formats the codec declares, its palette and resolution.
struct EncodeImage {
  PixelView pixels;
  const Gdiplus::ColorPalette* palette = nullptr;  // indexed formats
  float dpiX = 96.0f;
  float dpiY = 96.0f;
  UINT delay = 0;  // animation frames: how long the frame shows, in hundredths of a second
};

// Writes a multi-frame file one frame at a time (GdipSaveAdd): each frame is encoded when it is
// added, so a long animation never holds more than one decoded frame. finish appends the whole file
// to out. After a failing add the writer must not be used again.
class FrameWriter {
 public:
  virtual ~FrameWriter() = default;
  virtual Gdiplus::Status add(const EncodeImage& frame, const EncodeOptions& options) = 0;
  virtual Gdiplus::Status finish(std::vector<uint8_t>& out) = 0;
};

using SniffFn = bool (*)(std::span<const uint8_t> head);
using DecodeFn = Gdiplus::Status (*)(std::span<const uint8_t> data, const DecodeOptions& options, DecodeSink& sink,
                                     DecodedInfo& info);
// Multi-frame encoders receive every frame at once.
using EncodeFn = Gdiplus::Status (*)(std::span<const EncodeImage> frames, const EncodeOptions& options,
                                     std::vector<uint8_t>& out);
// A new writer of a multi-frame file (null when memory runs out).
using FrameWriterFn = std::unique_ptr<FrameWriter> (*)();

struct CodecEntry {
  GUID formatId;         // raw format
  CLSID encoderClsid;    // the GDI+ encoder CLSID, or GUID_NULL for decode-only formats
  const WCHAR* name;     // "Built-in JPEG Codec", ...
  const WCHAR* mimeType; // "image/jpeg", ...
  const WCHAR* extensions;  // "*.JPG;*.JPEG;*.JPE;*.JFIF"
  SniffFn sniff;         // null: not decodable
  DecodeFn decode;       // null: recognised only (its raw format is reported, decoding fails)
  EncodeFn encode;       // null: no encoder
  FrameWriterFn frames = nullptr;  // multi-frame files: null when the format has none
  GUID frameDimension = Gdiplus::FrameDimensionPage;  // of those files (GIF: FrameDimensionTime)
};

// The registry lives in the core; adapters add themselves to it at load time. An entry may be
// registered in two halves (a decoder file and an encoder file for the same format): entries with
// the same formatId are merged.
void register_codec(const CodecEntry& entry);
const std::vector<CodecEntry>& codecs();

struct CodecRegistrar {
  explicit CodecRegistrar(const CodecEntry& entry) { register_codec(entry); }
};
#define ZX_REGISTER_CODEC(name, ...) static ::zx::gdip::CodecRegistrar zx_codec_registrar_##name{__VA_ARGS__}

}  // namespace zx::gdip
