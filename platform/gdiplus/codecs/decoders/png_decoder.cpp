// Zentarix GDI+ layer — MIT licence.
// The PNG decoder: libpng expands every colour type and depth to straight 32bppARGB rows.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <vector>

#include "color_management.h"
#include "decode_common.h"

namespace zx::gdip::decoders {
namespace {

using Gdiplus::Status;

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

void png_read_memory(png_structp png, png_bytep out, size_t length) {
  auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (r->size - r->pos < length) png_error(png, "unexpected end of data");
  std::memcpy(out, r->data + r->pos, length);
  r->pos += length;
}
// libpng longjmps to png_jmpbuf after the error callback returns; we only keep it quiet.
void png_quiet(png_structp, png_const_charp) {}

// Owns the libpng read structures; the setjmp phases below take it by pointer.
struct PngJob {
  png_structp png = nullptr;
  png_infop info = nullptr;
  MemoryReader reader{};

  PngJob() = default;
  PngJob(const PngJob&) = delete;
  PngJob& operator=(const PngJob&) = delete;
  ~PngJob() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

bool png_header_phase(PngJob* job) {
  if (setjmp(png_jmpbuf(job->png))) return false;
  png_set_read_fn(job->png, &job->reader, png_read_memory);
  png_read_info(job->png, job->info);
  return true;
}

// Sets the expansions into B, G, R, A bytes and decodes every pass into `rows`.
bool png_pixels_phase(PngJob* job, png_bytepp rows, png_uint_32 width, double file_gamma) {
  if (setjmp(png_jmpbuf(job->png))) return false;
  png_structp png = job->png;
  png_infop info = job->info;
  const int color_type = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  if (color_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (color_type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (trns) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_scale_16(png);  // rounds (v * 255 / 65535), unlike png_set_strip_16
  if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  png_set_bgr(png);
  if (!(color_type & PNG_COLOR_MASK_ALPHA) && !trns) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
  if (file_gamma > 0) png_set_gamma(png, PNG_DEFAULT_sRGB, file_gamma);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4) return false;
  png_read_image(png, rows);
  return true;
}

bool png_end_phase(PngJob* job) {
  if (setjmp(png_jmpbuf(job->png))) return false;
  png_read_end(job->png, nullptr);
  return true;
}

bool sniff_png(std::span<const uint8_t> head) {
  static constexpr uint8_t kSig[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return starts_with(head, kSig, sizeof kSig);
}

Status decode_png(std::span<const uint8_t> data, const DecodeOptions& options, DecodeSink& sink, DecodedInfo& info) {
  info.rawFormat = Gdiplus::ImageFormatPNG;
  return decode_png_pixels(data, options, sink, info);
}

}  // namespace

Status decode_png_pixels(std::span<const uint8_t> data, const DecodeOptions& options, DecodeSink& sink,
                         DecodedInfo& info) {
  if (!sniff_png(data)) return Gdiplus::GenericError;
  PngJob job;
  job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_quiet, png_quiet);
  if (!job.png) return Gdiplus::OutOfMemory;
  job.info = png_create_info_struct(job.png);
  if (!job.info) return Gdiplus::OutOfMemory;
  job.reader = MemoryReader{data.data(), data.size(), 0};
  // An ancillary chunk (a profile, text) may inflate far beyond its stored size: each allocation
  // libpng makes for one is capped, and so is the number of chunks it keeps.
  png_set_chunk_malloc_max(job.png, static_cast<png_alloc_size_t>(std::min<ULONGLONG>(
                                        options.limits.maxCodecAllocation, PNG_SIZE_MAX)));
  png_set_chunk_cache_max(job.png, 1000);
  if (!png_header_phase(&job)) return Gdiplus::GenericError;
  png_structp png = job.png;
  png_infop pinfo = job.info;

  png_uint_32 res_x = 0, res_y = 0;
  int unit = 0;
  if (png_get_pHYs(png, pinfo, &res_x, &res_y, &unit) && unit == PNG_RESOLUTION_METER && res_x > 0 && res_y > 0) {
    info.dpiX = dpi_from_pixels_per_metre(res_x);
    info.dpiY = dpi_from_pixels_per_metre(res_y);
  }

  // Colour: an iCCP profile is applied with lcms2 after decoding; an sRGB chunk needs nothing. A
  // bare gAMA is honoured as libpng honours it, re-encoding the samples for an sRGB display
  // (gamma 2.2); libpng leaves a file already at 1/2.2 untouched, and alpha is never changed.
  std::vector<uint8_t> icc;
  double file_gamma = 0;
  if (options.useEmbeddedColorManagement) {
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(png, pinfo, &name, &compression, &profile, &length) && profile && length > 0) {
      icc.assign(profile, profile + length);
    } else if (!png_get_valid(png, pinfo, PNG_INFO_sRGB)) {
      double g = 0;
      if (png_get_gAMA(png, pinfo, &g) && g > 0) file_gamma = g;
    }
  }

  const png_uint_32 width = png_get_image_width(png, pinfo);
  const png_uint_32 height = png_get_image_height(png, pinfo);
  PixelView view;
  if (Status st = allocate_argb(sink, width, height, options.limits, &view); st != Gdiplus::Ok) return st;
  std::vector<png_bytep> rows(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = view.row(static_cast<int>(y));
  // Broken image data fails the decode: an interlaced image cannot be cut at a row.
  if (!png_pixels_phase(&job, rows.data(), width, file_gamma)) return Gdiplus::GenericError;
  png_end_phase(&job);  // chunks after the image data cannot change the pixels; a bad tail is ignored

  if (!icc.empty()) {
    if (cms::ColorTransform t = cms::rgb_profile_to_srgb(icc)) {
      for (int y = 0; y < view.height; ++y) t.apply(view.row(y), view.row(y), static_cast<size_t>(view.width));
    }
  }
  return Gdiplus::Ok;
}

ZX_REGISTER_CODEC(png_decoder, CodecEntry{Gdiplus::ImageFormatPNG, GUID_NULL, u"Built-in PNG Codec", u"image/png",
                                          u"*.PNG", sniff_png, decode_png, nullptr});

}  // namespace zx::gdip::decoders
