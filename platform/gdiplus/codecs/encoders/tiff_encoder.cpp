// Zentarix GDI+ layer — MIT licence.
// The TIFF encoder (libtiff client I/O into memory): bilevel, palette, RGB and RGBA pages, one or many.
#include <algorithm>
#include <cstring>
#include <new>

#include "encode_common.h"

#include <tiffio.h>

namespace zx::gdip::encoders {
namespace {

using Gdiplus::Status;

// The file being written, seekable, as libtiff's client I/O sees it.
struct MemFile {
  std::vector<uint8_t>* data;
  toff_t pos = 0;
  bool outOfMemory = false;
};

tmsize_t mem_read(thandle_t h, void* buf, tmsize_t size) {
  auto* f = static_cast<MemFile*>(h);
  if (size < 0 || f->pos >= f->data->size()) return 0;
  const size_t n = std::min<size_t>(size_t(size), f->data->size() - size_t(f->pos));
  std::memcpy(buf, f->data->data() + f->pos, n);
  f->pos += n;
  return tmsize_t(n);
}
tmsize_t mem_write(thandle_t h, void* buf, tmsize_t size) {
  auto* f = static_cast<MemFile*>(h);
  if (size < 0) return -1;
  try {
    const size_t end = size_t(f->pos) + size_t(size);
    if (end > f->data->size()) f->data->resize(end);
  } catch (const std::bad_alloc&) {
    f->outOfMemory = true;
    return -1;
  }
  std::memcpy(f->data->data() + f->pos, buf, size_t(size));
  f->pos += toff_t(size);
  return size;
}
toff_t mem_seek(thandle_t h, toff_t off, int whence) {
  auto* f = static_cast<MemFile*>(h);
  const auto base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? int64_t(f->pos) : int64_t(f->data->size());
  const int64_t to = base + int64_t(off);
  if (to < 0) return toff_t(-1);
  f->pos = toff_t(to);  // seeking past the end is allowed; a later write fills the gap
  return f->pos;
}
int mem_close(thandle_t) { return 0; }
toff_t mem_size(thandle_t h) { return static_cast<MemFile*>(h)->data->size(); }
int mem_map(thandle_t, void**, toff_t*) { return 0; }
void mem_unmap(thandle_t, void*, toff_t) {}
// libtiff's messages are not ours to print; the status says what failed.
int quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffHandle {
  TIFF* tif = nullptr;
  ~TiffHandle() {
    if (tif != nullptr) TIFFClose(tif);
  }
};
struct OptionsHandle {
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  ~OptionsHandle() {
    if (opts != nullptr) TIFFOpenOptionsFree(opts);
  }
};

// How a page is laid out: libtiff tags plus which row conversion feeds it.
enum class RowKind { Packed, Rgb, Rgba };
struct Layout {
  uint16_t photometric = PHOTOMETRIC_RGB;
  uint16_t bitsPerSample = 8;
  uint16_t samples = 3;
  RowKind kind = RowKind::Rgb;
};

// 0 when the requested depth cannot be written from this bitmap. The core converts the bitmap to
// the requested depth before saving; here 24 may still be asked of a 32 bpp bitmap (alpha dropped).
bool choose_layout(const EncodeImage& img, long depth, UINT colours, Layout* out) {
  const Gdiplus::PixelFormat f = img.pixels.format;
  const int bits = int(Gdiplus::GetPixelFormatSize(f));
  if (Gdiplus::IsIndexedPixelFormat(f) && (bits == 1 || bits == 4 || bits == 8)) {
    if ((depth != 0 && depth != bits) || colours == 0) return false;
    out->kind = RowKind::Packed;
    out->bitsPerSample = uint16_t(bits);
    out->samples = 1;
    out->photometric = PHOTOMETRIC_PALETTE;
    // A black-and-white palette is written as a plain bilevel page, which every reader (and fax
    // coding) understands; any other two colours keep their colour map.
    if (bits == 1 && colours == 2) {
      const Gdiplus::ARGB a = img.palette->Entries[0] & 0xFFFFFF, b = img.palette->Entries[1] & 0xFFFFFF;
      if (a == 0 && b == 0xFFFFFF) out->photometric = PHOTOMETRIC_MINISBLACK;
      if (a == 0xFFFFFF && b == 0) out->photometric = PHOTOMETRIC_MINISWHITE;
    }
    return true;
  }
  const bool hasAlpha = f == Gdiplus::PixelFormat32bppARGB;
  if (f != Gdiplus::PixelFormat24bppRGB && f != Gdiplus::PixelFormat32bppRGB && !hasAlpha) return false;
  if (depth == 24 || (depth == 0 && !hasAlpha)) {
    out->kind = RowKind::Rgb;
    out->samples = 3;
  } else if (depth == 32 || depth == 0) {
    out->kind = RowKind::Rgba;
    out->samples = 4;
  } else {
    return false;
  }
  out->photometric = PHOTOMETRIC_RGB;
  out->bitsPerSample = 8;
  return true;
}

// GDI+ rows are B, G, R[, A or unused]; TIFF wants R, G, B[, A]. 24 and 32 bpp RGB have no alpha,
// so their alpha sample is opaque.
void convert_row(const PixelView& v, int y, RowKind kind, uint8_t* dst) {
  const uint8_t* s = v.row(y);
  const int step = v.format == Gdiplus::PixelFormat24bppRGB ? 3 : 4;
  const bool alpha = v.format == Gdiplus::PixelFormat32bppARGB;
  for (int x = 0; x < v.width; ++x, s += step) {
    *dst++ = s[2];
    *dst++ = s[1];
    *dst++ = s[0];
    if (kind == RowKind::Rgba) *dst++ = alpha ? s[3] : 0xFF;
  }
}

uint16_t tiff_compression(long value, const Layout& layout, bool* ok) {
  *ok = true;
  // Fax coding knows only black and white; PackBits is offered for bilevel pages as GDI+ does.
  const bool bilevel = layout.bitsPerSample == 1 && layout.samples == 1;
  const bool blackAndWhite = bilevel && layout.photometric != PHOTOMETRIC_PALETTE;
  switch (value) {
    case -1:
    case Gdiplus::EncoderValueCompressionLZW: return COMPRESSION_LZW;
    case Gdiplus::EncoderValueCompressionNone: return COMPRESSION_NONE;
    case Gdiplus::EncoderValueCompressionCCITT3: *ok = blackAndWhite; return COMPRESSION_CCITTFAX3;
    case Gdiplus::EncoderValueCompressionCCITT4: *ok = blackAndWhite; return COMPRESSION_CCITTFAX4;
    case Gdiplus::EncoderValueCompressionRle: *ok = bilevel; return COMPRESSION_PACKBITS;
    default: *ok = false; return COMPRESSION_NONE;
  }
}

// Writes pages one after another into a TIFF held in memory; each page is a directory of its own,
// in its own layout and compression. The pages of a multi-page file are marked as pages of one
// document (SubfileType page).
class TiffWriter final : public FrameWriter {
 public:
  explicit TiffWriter(bool multiPage) : m_multiPage(multiPage) {}
  Status add(const EncodeImage& frame, const EncodeOptions& options) override;
  Status finish(std::vector<uint8_t>& out) override;

 private:
  Status failure() const { return m_mem.outOfMemory ? Status::OutOfMemory : Status::GenericError; }

  bool m_multiPage;
  std::vector<uint8_t> m_file;
  MemFile m_mem{&m_file};
  OptionsHandle m_opts;
  TiffHandle m_tiff;
};

Status TiffWriter::add(const EncodeImage& frame, const EncodeOptions& options) {
  const EncodeImage* img = first_frame(std::span<const EncodeImage>(&frame, 1));
  if (img == nullptr) return Status::InvalidParameter;
  const PixelView& v = img->pixels;
  const UINT colours = Gdiplus::IsIndexedPixelFormat(v.format) ? usable_palette_count(*img) : 0;
  Layout layout;
  if (!choose_layout(*img, options.colorDepth, colours, &layout)) return Status::InvalidParameter;
  bool compressionOk = false;
  const uint16_t compression = tiff_compression(options.compression, layout, &compressionOk);
  if (!compressionOk) return Status::InvalidParameter;

  try {
    if (m_tiff.tif == nullptr) {
      if (m_opts.opts == nullptr) return Status::OutOfMemory;
      TIFFOpenOptionsSetErrorHandlerExtR(m_opts.opts, quiet, nullptr);
      TIFFOpenOptionsSetWarningHandlerExtR(m_opts.opts, quiet, nullptr);
      m_tiff.tif = TIFFClientOpenExt("memory", "w", &m_mem, mem_read, mem_write, mem_seek, mem_close, mem_size, mem_map,
                                     mem_unmap, m_opts.opts);
      if (m_tiff.tif == nullptr) return failure();
    }
    TIFF* t = m_tiff.tif;
    if (m_multiPage) TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(v.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(v.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, layout.samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    if (layout.kind == RowKind::Rgba) {
      const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};  // straight alpha, as GDI+ holds it
      TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    if (compression == COMPRESSION_CCITTFAX3) TIFFSetField(t, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_2DENCODING);
    const float dpiX = img->dpiX > 0 ? img->dpiX : 96.0f, dpiY = img->dpiY > 0 ? img->dpiY : 96.0f;
    TIFFSetField(t, TIFFTAG_XRESOLUTION, dpiX);
    TIFFSetField(t, TIFFTAG_YRESOLUTION, dpiY);
    TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    if (layout.photometric == PHOTOMETRIC_PALETTE) {
      const size_t n = size_t(1) << layout.bitsPerSample;
      std::vector<uint16_t> r(n, 0), g(n, 0), b(n, 0);
      for (size_t i = 0; i < colours; ++i) {
        const Gdiplus::ARGB c = img->palette->Entries[i];
        r[i] = uint16_t(((c >> 16) & 0xFF) * 257);
        g[i] = uint16_t(((c >> 8) & 0xFF) * 257);
        b[i] = uint16_t((c & 0xFF) * 257);
      }
      TIFFSetField(t, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
    }
    std::vector<uint8_t> row(size_t(v.width) * 4 + 8);
    const size_t packedBytes = (size_t(v.width) * layout.bitsPerSample + 7) / 8;
    for (int y = 0; y < v.height; ++y) {
      if (layout.kind == RowKind::Packed)
        std::memcpy(row.data(), v.row(y), packedBytes);  // libtiff may modify the row it is given
      else
        convert_row(v, y, layout.kind, row.data());
      if (TIFFWriteScanline(t, row.data(), uint32_t(y), 0) != 1) return failure();
    }
    if (!TIFFWriteDirectory(t)) return failure();
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory;
  }
  return Status::Ok;
}

Status TiffWriter::finish(std::vector<uint8_t>& out) {
  if (m_tiff.tif == nullptr) return Status::InvalidParameter;
  TIFFClose(m_tiff.tif);
  m_tiff.tif = nullptr;
  if (m_mem.outOfMemory) return Status::OutOfMemory;
  try {
    out.insert(out.end(), m_file.begin(), m_file.end());
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory;
  }
  return Status::Ok;
}

Status encode_tiff(std::span<const EncodeImage> frames, const EncodeOptions& options, std::vector<uint8_t>& out) {
  TiffWriter writer(frames.size() > 1);
  return write_frames(writer, frames, options, out);
}

std::unique_ptr<FrameWriter> make_tiff_pages() { return std::unique_ptr<FrameWriter>(new (std::nothrow) TiffWriter(true)); }

}  // namespace

ZX_REGISTER_CODEC(tiff_encoder, CodecEntry{Gdiplus::ImageFormatTIFF,
                                           {0x557CF405, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}},
                                           u"Built-in TIFF Codec", u"image/tiff", u"*.TIF;*.TIFF", nullptr, nullptr,
                                           encode_tiff, make_tiff_pages, Gdiplus::FrameDimensionPage});

}  // namespace zx::gdip::encoders
