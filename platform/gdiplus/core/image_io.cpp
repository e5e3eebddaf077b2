// Zentarix GDI+ layer — MIT licence.
// Decoding files and streams through the codec registry, re-decoding frames, and saving.
// The platform headers come first: <fcntl.h> defines LOCK_WRITE and friends as macros, which
// would break objidl.h's LOCKTYPE enumeration if seen before it.
#include <winbase.h>
#include <zx/com.h>
#include <zx/pixel_memory.h>

#include "encode.h"
#include "guard.h"
#include "image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

using namespace Gdiplus;

namespace zx::gdip {
namespace {

class HeldBytes final : public EncodedSource {
 public:
  explicit HeldBytes(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
  std::span<const uint8_t> bytes() const override { return m_bytes; }

 private:
  std::vector<uint8_t> m_bytes;
};

// A file's bytes in pixel memory: large files get huge pages and need no zeroing before the read.
class FileBytes final : public EncodedSource {
 public:
  FileBytes(PixelBlock block, size_t size) : m_block(std::move(block)), m_size(size) {}
  std::span<const uint8_t> bytes() const override { return {m_block.get(), m_size}; }

 private:
  PixelBlock m_block;
  size_t m_size;
};

// File errors become the GDI+ status and the thread's last Win32 error, as GDI+ reports them.
Status file_error(int err) {
  SetLastError(ZxWin32ErrorFromErrno(err));
  switch (err) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG: return FileNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return AccessDenied;
    default: return Win32Error;
  }
}

}  // namespace

// The whole file, read into memory: a mapping would fault (SIGBUS) when another process truncates
// the file while it is decoded or later, when a clone decodes another frame. Only a regular file is
// read, and it is opened without blocking, so a FIFO or a device is refused instead of waited on.
Status read_file(const WCHAR* filename, std::shared_ptr<const EncodedSource>* out, size_t maxBytes) {
  if (!filename) return InvalidParameter;
  std::string path = zx::to_utf8(filename);
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return file_error(errno);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) return file_error(errno);
  if (!S_ISREG(st.st_mode)) return file_error(S_ISDIR(st.st_mode) ? EISDIR : EACCES);
  // A file that shrinks meanwhile gives fewer bytes (and a decoding failure); growth is not read.
  const size_t size = size_t(st.st_size);
  if (size > maxBytes) return InvalidParameter;
  PixelBlock block(static_cast<uint8_t*>(zx::pixel_alloc(std::max<size_t>(size, 1))));
  if (!block) return OutOfMemory;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, block.get() + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return file_error(errno);
    if (n == 0) break;
    done += size_t(n);
  }
  *out = std::make_shared<FileBytes>(std::move(block), done);
  return Ok;
}

namespace {

// From the stream's current position to its end; the stream is not sought before reading.
// A stream that never ends fails once it has given more than `maxBytes`.
Status read_stream(IStream* stream, std::shared_ptr<const EncodedSource>* out, ULONGLONG maxBytes) {
  if (!stream) return InvalidParameter;
  std::vector<uint8_t> bytes;
  constexpr ULONG kChunk = 1 << 16;
  for (;;) {
    size_t at = bytes.size();
    bytes.resize(at + kChunk);
    ULONG got = 0;
    HRESULT hr = stream->Read(bytes.data() + at, kChunk, &got);
    bytes.resize(at + got);
    if (FAILED(hr)) return Win32Error;
    if (got == 0 || hr == S_FALSE) break;
    if (bytes.size() > maxBytes) return OutOfMemory;
  }
  *out = std::make_shared<HeldBytes>(std::move(bytes));
  return Ok;
}

class Sink final : public DecodeSink {
 public:
  explicit Sink(ImageData& image) : m_image(image) {}
  Status allocate(int width, int height, PixelFormat format, PixelView* out) override {
    if (!out || m_allocated || width <= 0 || height <= 0 || !is_supported_format(format)) return InvalidParameter;
    Status status = allocate_pixels(m_image, width, height, format);
    if (status != Ok) return status;
    m_allocated = true;
    *out = m_image.view();
    return Ok;
  }
  Status set_palette(const ARGB* entries, UINT count, UINT flags) override {
    if (!entries || count == 0 || count > 256) return InvalidParameter;
    zx::gdip::set_palette(m_image, std::vector<ARGB>(entries, entries + count), flags);
    m_palette = true;
    return Ok;
  }
  bool allocated() const { return m_allocated; }
  bool palette() const { return m_palette; }

 private:
  ImageData& m_image;
  bool m_allocated = false;
  bool m_palette = false;
};

const CodecEntry* sniff(std::span<const uint8_t> bytes) {
  for (const CodecEntry& e : codecs())
    if (e.sniff && e.sniff(bytes)) return &e;
  return nullptr;
}

// Decodes one frame into a fresh image; `into` takes it over only when the decode succeeded. The
// decoder continues from into's progress when it can; the image's metadata and an open multi-frame
// save stay with it.
Status decode_into(ImageData& into, const std::shared_ptr<const EncodedSource>& source, const CodecEntry& codec,
                   bool icm, UINT frame) {
  if (!codec.decode) return UnknownImageFormat;
  ImageData fresh;
  Sink sink(fresh);
  DecodedInfo info;
  DecodeOptions options;
  options.useEmbeddedColorManagement = icm;
  options.frameIndex = frame;
  options.state = &into.decoderState;
  options.limits = resource_limits();
  Status status = codec.decode(source->bytes(), options, sink, info);
  if (status != Ok) {
    into.decoderState.reset();
    return status;
  }
  if (sink.allocated()) {
    fresh.kind = ImageKind::Bitmap;
    if (!sink.palette()) set_default_palette(fresh);
  } else if (info.width > 0 && info.height > 0) {
    fresh.kind = ImageKind::Metafile;  // a metafile: a size but no pixels of its own
    fresh.width = info.width;
    fresh.height = info.height;
    fresh.format = PixelFormat32bppRGB;
  } else {
    into.decoderState.reset();
    return GenericError;
  }
  fresh.rawFormat = info.rawFormat == ImageFormatUndefined ? codec.formatId : info.rawFormat;
  fresh.dpiX = info.dpiX > 0 ? info.dpiX : 96.0f;
  fresh.dpiY = info.dpiY > 0 ? info.dpiY : 96.0f;
  fresh.frameCount = info.frameCount ? info.frameCount : 1;
  fresh.frameDimension = info.frameDimension;
  fresh.activeFrame = frame;
  // Only an image with more frames (for SelectActiveFrame) or a metafile (drawn from its records)
  // keeps its encoded bytes; a single decoded frame owes nothing to its file or stream.
  if (fresh.frameCount > 1 || fresh.kind == ImageKind::Metafile) fresh.source = source;
  fresh.codec = &codec;
  fresh.useEmbeddedColorManagement = icm;
  fresh.decoderState = fresh.source ? std::move(into.decoderState) : nullptr;
  fresh.properties = info.properties.empty() ? std::move(into.properties) : std::move(info.properties);
  fresh.multiFrameSave = std::move(into.multiFrameSave);
  into = std::move(fresh);
  return Ok;
}

Status load(const std::shared_ptr<const EncodedSource>& source, bool icm, ImageData** out) {
  const CodecEntry* codec = sniff(source->bytes());
  if (!codec) return UnknownImageFormat;
  auto image = std::make_unique<ImageData>();
  Status status = decode_into(*image, source, *codec, icm, 0);
  if (status != Ok) return status;
  *out = image.release();
  return Ok;
}

}  // namespace

Status decode_embedded_bitmap(std::span<const uint8_t> bytes, std::unique_ptr<ImageData>* out) {
  const CodecEntry* codec = sniff(bytes);
  if (!codec || codec->formatId == ImageFormatEMF || codec->formatId == ImageFormatWMF) return UnknownImageFormat;
  auto source = std::make_shared<HeldBytes>(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  auto image = std::make_unique<ImageData>();
  if (const Status status = decode_into(*image, source, *codec, true, 0); status != Ok) return status;
  if (image->kind != ImageKind::Bitmap) return UnknownImageFormat;
  image->source.reset();
  if (image->format != PixelFormat32bppARGB) {
    Status status = Ok;
    std::unique_ptr<ImageData> argb = make_bitmap(image->width, image->height, PixelFormat32bppARGB, &status);
    if (!argb) return status;
    if ((status = copy_converted(*image, Rect(0, 0, image->width, image->height), *argb)) != Ok) return status;
    image = std::move(argb);
  }
  *out = std::move(image);
  return Ok;
}

namespace {

Status load_file(const WCHAR* filename, bool icm, ImageData** out) {
  if (!out) return InvalidParameter;
  std::shared_ptr<const EncodedSource> source;
  Status status = read_file(filename, &source, std::min<ULONGLONG>(resource_limits().maxInputBytes, SIZE_MAX));
  return status != Ok ? status : load(source, icm, out);
}

Status load_stream(IStream* stream, bool icm, ImageData** out) {
  if (!out) return InvalidParameter;
  std::shared_ptr<const EncodedSource> source;
  Status status = read_stream(stream, &source, resource_limits().maxInputBytes);
  return status != Ok ? status : load(source, icm, out);
}

Status read_long(const EncoderParameter& p, long* out) {
  if (p.NumberOfValues < 1 || !p.Value) return InvalidParameter;
  if (p.Type == EncoderParameterValueTypeLong) {
    *out = static_cast<long>(*static_cast<const ULONG*>(p.Value));
  } else if (p.Type == EncoderParameterValueTypeShort) {
    *out = *static_cast<const uint16_t*>(p.Value);
  } else if (p.Type == EncoderParameterValueTypeByte) {
    *out = *static_cast<const uint8_t*>(p.Value);
  } else {
    return InvalidParameter;
  }
  return Ok;
}

// Encoders receive one of the formats every adapter understands: 1, 4 and 8 bpp indexed (with the
// palette), 24bppRGB, 32bppRGB and 32bppARGB, handed over in place. Any other format (PARGB, the
// 16-bpp ones) is converted to a 32bppARGB copy first.
bool encoder_format(PixelFormat format) {
  switch (format) {
    case PixelFormat1bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed:
    case PixelFormat24bppRGB:
    case PixelFormat32bppRGB:
    case PixelFormat32bppARGB: return true;
    default: return false;
  }
}

// GIF holds palettes only. A bitmap in another format is reduced to the halftone palette by nearest
// colour, without dither; entry 16 (the cube's black, a duplicate of entry 0, so never the nearest
// entry of an opaque colour) is made transparent and takes the fully transparent pixels. When the
// frame has none, the entry goes back to opaque black and the file declares no transparency.
constexpr size_t kGifTransparentEntry = 16;

const std::vector<ARGB>& gif_reduction_palette() {
  static const std::vector<ARGB> palette = [] {
    std::vector<ARGB> p = halftone_palette();
    p[kGifTransparentEntry] = 0x00000000u;
    return p;
  }();
  return palette;
}

Status reduce_for_gif(const ImageData& source, std::unique_ptr<ImageData>* out) {
  Status status = Ok;
  auto reduced = make_bitmap(source.width, source.height, PixelFormat8bppIndexed, &status);
  if (!reduced) return status;
  set_palette(*reduced, gif_reduction_palette(), 0);
  // The nearest-colour cells fill as frames are reduced, so one search per thread serves them all.
  thread_local const auto index = std::make_shared<const PaletteIndexer>(std::span<const uint32_t>(gif_reduction_palette()));
  reduced->paletteIndex = index;
  copy_converted(source, Rect(0, 0, source.width, source.height), *reduced);
  bool transparent = false;
  for (int y = 0; y < reduced->height && !transparent; ++y) {
    const uint8_t* row = reduced->scan0 + y * reduced->stride;
    transparent = std::memchr(row, int(kGifTransparentEntry), size_t(reduced->width)) != nullptr;
  }
  if (!transparent) {
    reduced->palette[kGifTransparentEntry] = 0xFF000000u;
    reduced->paletteIndex.reset();
  }
  *out = std::move(reduced);
  return Ok;
}

// The delay of the active frame from the FrameDelay property (one Long per frame, or one for all).
UINT frame_delay(const ImageData& image) {
  for (const PropertyData& p : image.properties) {
    if (p.id != PropertyTagFrameDelay || p.type != PropertyTagTypeLong || p.value.size() < 4) continue;
    const size_t count = p.value.size() / 4;
    const size_t at = (image.activeFrame < count ? image.activeFrame : 0) * 4;
    uint32_t delay = 0;
    std::memcpy(&delay, p.value.data() + at, 4);
    return delay;
  }
  return 0;
}

Status encode(GpImage* handle, const CLSID* clsid, const EncoderParameters* params, std::vector<uint8_t>* out) {
  if (!handle || !clsid) return InvalidParameter;
  const CodecEntry* codec = find_encoder(clsid);
  if (!codec) return UnknownImageFormat;
  EncodeOptions options;
  Status status = encode_options(params, &options);
  if (status != Ok) return status;
  PreparedFrame frame;
  status = prepare_frame(*impl(handle), *codec, &frame);
  if (status != Ok) return status;
  return codec->encode(std::span<const EncodeImage>(&frame.image, 1), options, *out);
}

}  // namespace

const CodecEntry* find_encoder(const CLSID* clsid) {
  if (!clsid) return nullptr;
  for (const CodecEntry& e : codecs())
    if (e.encode && e.encoderClsid == *clsid) return &e;
  return nullptr;
}

Status encode_options(const EncoderParameters* params, EncodeOptions* options) {
  if (!params) return Ok;
  for (UINT i = 0; i < params->Count; ++i) {
    const EncoderParameter& p = params->Parameter[i];
    long* target = p.Guid == EncoderQuality       ? &options->quality
                   : p.Guid == EncoderCompression ? &options->compression
                   : p.Guid == EncoderColorDepth  ? &options->colorDepth
                                                  : nullptr;
    if (!target) continue;
    Status status = read_long(p, target);
    if (status != Ok) return status;
  }
  if (options->quality < 0 || options->quality > 100) return InvalidParameter;
  return Ok;
}

bool save_flag(const EncoderParameters* params, long* value) {
  if (!params) return false;
  for (UINT i = 0; i < params->Count; ++i)
    if (params->Parameter[i].Guid == EncoderSaveFlag) return read_long(params->Parameter[i], value) == Ok;
  return false;
}

Status prepare_frame(const ImageData& image, const CodecEntry& codec, PreparedFrame* out) {
  if (image.kind != ImageKind::Bitmap) return NotImplemented;
  if (image.lock.active) return WrongState;
  const bool gif = codec.formatId == ImageFormatGIF;
  if (gif && !IsIndexedPixelFormat(image.format)) {
    Status status = reduce_for_gif(image, &out->converted);
    if (status != Ok) return status;
  } else if (!encoder_format(image.format)) {
    Status status = Ok;
    out->converted = make_bitmap(image.width, image.height, PixelFormat32bppARGB, &status, false);
    if (!out->converted) return status;
    copy_converted(image, Rect(0, 0, image.width, image.height), *out->converted);
  }
  const ImageData& encoded = out->converted ? *out->converted : image;
  out->paletteBlock.assign(offsetof(ColorPalette, Entries) + sizeof(ARGB) * std::max<size_t>(1, encoded.palette.size()), 0);
  auto* palette = reinterpret_cast<ColorPalette*>(out->paletteBlock.data());
  palette->Flags = encoded.paletteFlags;
  palette->Count = static_cast<UINT>(encoded.palette.size());
  if (!encoded.palette.empty()) std::memcpy(palette->Entries, encoded.palette.data(), encoded.palette.size() * sizeof(ARGB));
  out->image.pixels = encoded.view();
  out->image.palette = encoded.palette.empty() ? nullptr : palette;
  out->image.dpiX = image.dpiX;
  out->image.dpiY = image.dpiY;
  out->image.delay = frame_delay(image);
  return Ok;
}

TempFile::~TempFile() {
  if (m_fd >= 0) {
    ::close(m_fd);
    ::unlink(m_temp.c_str());
  }
}

Status TempFile::open(const WCHAR* filename) {
  if (!filename || m_fd >= 0) return InvalidParameter;
  m_path = zx::to_utf8(filename);
  m_temp = m_path + ".zxtmp-" + std::to_string(::getpid());
  m_fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return m_fd < 0 ? file_error(errno) : Ok;
}

Status TempFile::commit(const std::vector<uint8_t>& bytes) {
  if (m_fd < 0) return WrongState;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return file_error(n < 0 ? errno : ENOSPC);
    done += size_t(n);
  }
  const int fd = m_fd;
  m_fd = -1;
  if (::close(fd) != 0 || ::rename(m_temp.c_str(), m_path.c_str()) != 0) {
    int err = errno;
    ::unlink(m_temp.c_str());
    return file_error(err);
  }
  return Ok;
}

Status write_file(const WCHAR* filename, const std::vector<uint8_t>& bytes) {
  TempFile file;
  Status status = file.open(filename);
  return status != Ok ? status : file.commit(bytes);
}

Status write_stream(IStream* stream, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ULONG chunk = static_cast<ULONG>(std::min<size_t>(bytes.size() - done, 1u << 30));
    ULONG written = 0;
    if (FAILED(stream->Write(bytes.data() + done, chunk, &written)) || written == 0) return Win32Error;
    done += written;
  }
  return Ok;
}

Status decode_frame(ImageData& image, UINT frame) {
  if (!image.source || !image.codec) return InvalidParameter;
  auto source = image.source;
  return decode_into(image, source, *image.codec, image.useEmbeddedColorManagement, frame);
}

}  // namespace zx::gdip

namespace Gdiplus::DllExports {
using namespace zx::gdip;

template <class Out>
static Status hand_out(Status status, ImageData* image, Out** out) {
  if (status == Ok) *out = reinterpret_cast<Out*>(image);
  return status;
}

#define ZX_LOAD(call, Out, out)          \
  return guarded([&] {                   \
    ImageData* image = nullptr;              \
    Status status = call;                \
    return hand_out(status, image, out); \
  })

Status WINAPI GdipCreateBitmapFromFile(const WCHAR* f, GpBitmap** b) { ZX_LOAD(load_file(f, false, &image), GpBitmap, b); }
Status WINAPI GdipCreateBitmapFromFileICM(const WCHAR* f, GpBitmap** b) { ZX_LOAD(load_file(f, true, &image), GpBitmap, b); }
Status WINAPI GdipCreateBitmapFromStream(IStream* s, GpBitmap** b) { ZX_LOAD(load_stream(s, false, &image), GpBitmap, b); }
Status WINAPI GdipCreateBitmapFromStreamICM(IStream* s, GpBitmap** b) { ZX_LOAD(load_stream(s, true, &image), GpBitmap, b); }
Status WINAPI GdipLoadImageFromFile(const WCHAR* f, GpImage** i) { ZX_LOAD(load_file(f, false, &image), GpImage, i); }
Status WINAPI GdipLoadImageFromFileICM(const WCHAR* f, GpImage** i) { ZX_LOAD(load_file(f, true, &image), GpImage, i); }
Status WINAPI GdipLoadImageFromStream(IStream* s, GpImage** i) { ZX_LOAD(load_stream(s, false, &image), GpImage, i); }
Status WINAPI GdipLoadImageFromStreamICM(IStream* s, GpImage** i) { ZX_LOAD(load_stream(s, true, &image), GpImage, i); }
#undef ZX_LOAD

Status WINAPI GdipSaveImageToFile(GpImage* image, const WCHAR* filename, const CLSID* clsidEncoder,
                                  const EncoderParameters* encoderParams) {
  return guarded([&] {
    if (!filename) return InvalidParameter;
    if (opens_multiframe(image, clsidEncoder, encoderParams))
      return begin_multiframe(*impl(image), *find_encoder(clsidEncoder), encoderParams, filename, nullptr);
    std::vector<uint8_t> bytes;
    Status status = encode(image, clsidEncoder, encoderParams, &bytes);
    return status != Ok ? status : write_file(filename, bytes);
  });
}

Status WINAPI GdipSaveImageToStream(GpImage* image, IStream* stream, const CLSID* clsidEncoder,
                                    const EncoderParameters* encoderParams) {
  return guarded([&] {
    if (!stream) return InvalidParameter;
    if (opens_multiframe(image, clsidEncoder, encoderParams))
      return begin_multiframe(*impl(image), *find_encoder(clsidEncoder), encoderParams, nullptr, stream);
    std::vector<uint8_t> bytes;
    Status status = encode(image, clsidEncoder, encoderParams, &bytes);
    return status != Ok ? status : write_stream(stream, bytes);
  });
}

}  // namespace Gdiplus::DllExports
