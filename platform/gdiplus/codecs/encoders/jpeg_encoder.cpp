// Zentarix GDI+ layer — MIT licence.
// The JPEG encoder (libjpeg-turbo through the libjpeg API, so the JFIF header carries the dpi).
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstddef>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <cstdlib>
#include <new>

// After our headers: jpeglib.h defines TRUE and FALSE as macros, which the Windows types declare
// as constants.
#include "encode_common.h"

#include <jpeglib.h>
#include <jerror.h>

namespace zx::gdip::encoders {
namespace {

using Gdiplus::Status;

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void jpeg_on_error(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1); }
void jpeg_on_message(j_common_ptr) {}

// State shared with the setjmp frame; plain data only, owned by the caller's frame.
struct JpegJob {
  jpeg_destination_mgr dest{};  // first member: see job_of
  const EncodeImage* img = nullptr;
  int quality = 75;
  uint8_t* rgbRow = nullptr;  // scratch row for indexed input, width * 3 bytes
  unsigned char* buffer = nullptr;  // malloc'd; always the live block, so it can be freed after a failure
  size_t capacity = 0;
  size_t size = 0;
};

// Our own memory destination: jpeg_mem_dest leaves its caller's pointer at a freed block when a
// failure follows a buffer growth, so the block could not be released safely.
constexpr size_t kJpegChunk = 64 * 1024;

// dest is JpegJob's first member, so the destination pointer is the job's address.
JpegJob* job_of(j_compress_ptr cinfo) { return reinterpret_cast<JpegJob*>(cinfo->dest); }

// libjpeg stores a byte before it checks for room, so there must always be a buffer to write to.
void grow(j_compress_ptr cinfo, JpegJob* job) {
  const size_t used = job->capacity;  // called only when the buffer is full (or still absent)
  const size_t grown = used < kJpegChunk ? kJpegChunk : used * 2;
  auto* bigger = static_cast<unsigned char*>(std::realloc(job->buffer, grown));
  if (bigger == nullptr) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 10);
  job->buffer = bigger;
  job->capacity = grown;
  job->dest.next_output_byte = bigger + used;
  job->dest.free_in_buffer = grown - used;
}
void dest_init(j_compress_ptr cinfo) { grow(cinfo, job_of(cinfo)); }
boolean dest_grow(j_compress_ptr cinfo) {
  grow(cinfo, job_of(cinfo));
  return TRUE;
}
void dest_term(j_compress_ptr cinfo) {
  JpegJob* job = job_of(cinfo);
  job->size = job->capacity - job->dest.free_in_buffer;
}

// Input colour space for formats libjpeg-turbo reads directly; JCS_RGB means "convert through the
// palette into the scratch row". GDI+ ignores alpha when writing JPEG, and so do we.
bool jpeg_input_space(Gdiplus::PixelFormat f, J_COLOR_SPACE* space, int* components) {
  switch (f) {
    case Gdiplus::PixelFormat32bppARGB:
    case Gdiplus::PixelFormat32bppRGB: *space = JCS_EXT_BGRX; *components = 4; return true;
    case Gdiplus::PixelFormat24bppRGB: *space = JCS_EXT_BGR; *components = 3; return true;
    case Gdiplus::PixelFormat1bppIndexed:
    case Gdiplus::PixelFormat4bppIndexed:
    case Gdiplus::PixelFormat8bppIndexed: *space = JCS_RGB; *components = 3; return true;
    default: return false;
  }
}

void expand_indexed_row(const EncodeImage& img, UINT colours, int y, uint8_t* rgb) {
  const PixelView& v = img.pixels;
  const int bits = int(Gdiplus::GetPixelFormatSize(v.format));
  const uint8_t* src = v.row(y);
  const unsigned mask = (1u << bits) - 1;
  for (int x = 0; x < v.width; ++x) {
    const size_t bit = size_t(x) * size_t(bits);
    const unsigned index = (src[bit / 8] >> (8 - bits - bit % 8)) & mask;
    // An index past the palette (a malformed bitmap) reads as black rather than past the table.
    const Gdiplus::ARGB c = index < colours ? img.palette->Entries[index] : 0xFF000000u;
    rgb[3 * x] = uint8_t(c >> 16);
    rgb[3 * x + 1] = uint8_t(c >> 8);
    rgb[3 * x + 2] = uint8_t(c);
  }
}

UINT16 jfif_density(float dpi) {
  if (!std::isfinite(dpi) || dpi < 1.0f) return 1;
  return UINT16(std::min(65535.0, std::round(double(dpi))));
}

// Runs libjpeg. No object with a destructor lives in this frame.
bool run_libjpeg(JpegJob* job, UINT colours, J_COLOR_SPACE space, int components) {
  jpeg_compress_struct cinfo{};
  JpegError err{};
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = jpeg_on_error;
  err.mgr.output_message = jpeg_on_message;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  job->dest.init_destination = dest_init;
  job->dest.empty_output_buffer = dest_grow;
  job->dest.term_destination = dest_term;
  cinfo.dest = &job->dest;
  const EncodeImage& img = *job->img;
  cinfo.image_width = JDIMENSION(img.pixels.width);
  cinfo.image_height = JDIMENSION(img.pixels.height);
  cinfo.input_components = components;
  cinfo.in_color_space = space;
  jpeg_set_defaults(&cinfo);  // 4:2:0, Huffman tables, JFIF header
  jpeg_set_quality(&cinfo, job->quality, TRUE);
  cinfo.write_JFIF_header = TRUE;
  cinfo.density_unit = 1;
  cinfo.X_density = jfif_density(img.dpiX);
  cinfo.Y_density = jfif_density(img.dpiY);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = int(cinfo.next_scanline);
    JSAMPROW row;
    if (space == JCS_RGB) {
      expand_indexed_row(img, colours, y, job->rgbRow);
      row = job->rgbRow;
    } else {
      row = img.pixels.row(y);
    }
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

Status encode_jpeg(std::span<const EncodeImage> frames, const EncodeOptions& options, std::vector<uint8_t>& out) {
  const EncodeImage* img = first_frame(frames);
  if (img == nullptr) return Status::InvalidParameter;
  if (options.quality < 0 || options.quality > 100) return Status::InvalidParameter;
  J_COLOR_SPACE space;
  int components = 0;
  if (!jpeg_input_space(img->pixels.format, &space, &components)) return Status::InvalidParameter;
  if (img->pixels.width > JPEG_MAX_DIMENSION || img->pixels.height > JPEG_MAX_DIMENSION) return Status::ValueOverflow;

  UINT colours = 0;
  std::vector<uint8_t> rgbRow;
  if (space == JCS_RGB) {
    colours = usable_palette_count(*img);
    if (colours == 0) return Status::InvalidParameter;
    try {
      rgbRow.resize(size_t(img->pixels.width) * 3);
    } catch (const std::bad_alloc&) {
      return Status::OutOfMemory;
    }
  }
  JpegJob job;
  job.img = img;
  job.quality = int(options.quality);  // libjpeg itself raises 0 to 1
  job.rgbRow = rgbRow.data();
  const bool ok = run_libjpeg(&job, colours, space, components);
  Status status = ok ? Status::Ok : Status::GenericError;
  if (ok) {
    try {
      out.insert(out.end(), job.buffer, job.buffer + job.size);
    } catch (const std::bad_alloc&) {
      status = Status::OutOfMemory;
    }
  }
  std::free(job.buffer);
  return status;
}

}  // namespace

ZX_REGISTER_CODEC(jpeg_encoder, CodecEntry{Gdiplus::ImageFormatJPEG,
                                           {0x557CF401, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}},
                                           u"Built-in JPEG Codec", u"image/jpeg", u"*.JPG;*.JPEG;*.JPE;*.JFIF", nullptr,
                                           nullptr, encode_jpeg});

}  // namespace zx::gdip::encoders
