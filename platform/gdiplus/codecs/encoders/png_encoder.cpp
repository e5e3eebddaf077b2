// Zentarix GDI+ layer — MIT licence.
// The PNG encoder (libpng): palette images with tRNS, RGB, RGBA, and pHYs from the resolution.
#include <png.h>

#include <csetjmp>
#include <new>

#include "encode_common.h"

namespace zx::gdip::encoders {
namespace {

using Gdiplus::Status;

// Everything libpng's callbacks and the setjmp frame touch. The frame that calls setjmp holds no
// object with a destructor, so a longjmp out of libpng skips nothing.
struct PngJob {
  const EncodeImage* img = nullptr;
  std::vector<uint8_t>* out = nullptr;
  png_color plte[256]{};
  png_byte trans[256]{};
  bool outOfMemory = false;
};

void png_append(png_structp png, png_bytep data, png_size_t length) {
  auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
  try {
    job->out->insert(job->out->end(), data, data + length);
    return;
  } catch (const std::bad_alloc&) {
    job->outOfMemory = true;
  }
  png_error(png, "out of memory");  // outside the catch block: the longjmp must not leave a handler
}
void png_flush_nothing(png_structp) {}
void png_on_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void png_on_warning(png_structp, png_const_charp) {}

// Colour type and bit depth for an input format, rows passed to libpng as they are. 0 = refused.
int png_color_type(Gdiplus::PixelFormat f, int* depth) {
  switch (f) {
    case Gdiplus::PixelFormat1bppIndexed: *depth = 1; return PNG_COLOR_TYPE_PALETTE;
    case Gdiplus::PixelFormat4bppIndexed: *depth = 4; return PNG_COLOR_TYPE_PALETTE;
    case Gdiplus::PixelFormat8bppIndexed: *depth = 8; return PNG_COLOR_TYPE_PALETTE;
    case Gdiplus::PixelFormat24bppRGB:
    case Gdiplus::PixelFormat32bppRGB: *depth = 8; return PNG_COLOR_TYPE_RGB;
    case Gdiplus::PixelFormat32bppARGB: *depth = 8; return PNG_COLOR_TYPE_RGB_ALPHA;
    default: *depth = 0; return -1;
  }
}

// Runs libpng. Returns false when libpng failed (its message is not ours to show).
bool run_libpng(PngJob* job, int colorType, int depth, png_uint_32 colours, int numTrans) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_on_error, png_on_warning);
  if (png == nullptr) {
    job->outOfMemory = true;
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    job->outOfMemory = true;
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  const PixelView& v = job->img->pixels;
  png_set_write_fn(png, job, png_append, png_flush_nothing);
  png_set_IHDR(png, info, png_uint_32(v.width), png_uint_32(v.height), depth, colorType, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(png, info, job->plte, int(colours));
    if (numTrans > 0) png_set_tRNS(png, info, job->trans, numTrans, nullptr);
  }
  const png_uint_32 ppmX = dpi_to_ppm(job->img->dpiX), ppmY = dpi_to_ppm(job->img->dpiY);
  if (ppmX != 0 && ppmY != 0) png_set_pHYs(png, info, ppmX, ppmY, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  // GDI+ rows are B, G, R[, A or unused]: let libpng reorder and drop the unused byte.
  if (colorType != PNG_COLOR_TYPE_PALETTE) png_set_bgr(png);
  if (v.format == Gdiplus::PixelFormat32bppRGB) png_set_filler(png, 0, PNG_FILLER_AFTER);
  for (int y = 0; y < v.height; ++y) png_write_row(png, v.row(y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

Status encode_png(std::span<const EncodeImage> frames, const EncodeOptions&, std::vector<uint8_t>& out) {
  const EncodeImage* img = first_frame(frames);
  if (img == nullptr) return Status::InvalidParameter;
  int depth = 0;
  const int colorType = png_color_type(img->pixels.format, &depth);
  if (colorType < 0) return Status::InvalidParameter;

  PngJob job;
  job.img = img;
  UINT colours = 0;
  int numTrans = 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    colours = usable_palette_count(*img);
    if (colours == 0) return Status::InvalidParameter;
    for (UINT i = 0; i < colours; ++i) {
      const Gdiplus::ARGB c = img->palette->Entries[i];
      job.plte[i] = png_color{png_byte(c >> 16), png_byte(c >> 8), png_byte(c)};
      job.trans[i] = png_byte(c >> 24);
      if (job.trans[i] != 0xFF) numTrans = int(i) + 1;  // tRNS stops after the last non-opaque entry
    }
  }
  std::vector<uint8_t> file;
  job.out = &file;
  if (!run_libpng(&job, colorType, depth, colours, numTrans))
    return job.outOfMemory ? Status::OutOfMemory : Status::GenericError;
  try {
    out.insert(out.end(), file.begin(), file.end());
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory;
  }
  return Status::Ok;
}

}  // namespace

ZX_REGISTER_CODEC(png_encoder, CodecEntry{Gdiplus::ImageFormatPNG,
                                          {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}},
                                          u"Built-in PNG Codec", u"image/png", u"*.PNG", nullptr, nullptr, encode_png});

}  // namespace zx::gdip::encoders
