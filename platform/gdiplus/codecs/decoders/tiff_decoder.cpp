// Zentarix GDI+ layer — MIT licence.
// The TIFF decoder (libtiff over the memory span): one page, exact straight alpha, CMYK via lcms2.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "color_management.h"
#include "decode_common.h"

namespace zx::gdip::decoders {
namespace {

using Gdiplus::Status;

// The span as a read-only file for libtiff; libtiff's messages are collected here, never printed.
struct TiffSource {
  const uint8_t* data;
  toff_t size;
  toff_t pos;
  std::string messages;
};

tmsize_t tiff_read(thandle_t h, void* out, tmsize_t n) {
  auto* s = static_cast<TiffSource*>(h);
  if (n <= 0 || s->pos >= s->size) return 0;
  const toff_t count = std::min<toff_t>(static_cast<toff_t>(n), s->size - s->pos);
  std::memcpy(out, s->data + s->pos, count);
  s->pos += count;
  return static_cast<tmsize_t>(count);
}
tmsize_t tiff_write(thandle_t, void*, tmsize_t) { return 0; }
toff_t tiff_seek(thandle_t h, toff_t off, int whence) {
  auto* s = static_cast<TiffSource*>(h);
  toff_t base = whence == SEEK_CUR ? s->pos : whence == SEEK_END ? s->size : 0;
  s->pos = base + off;
  return s->pos;
}
int tiff_close(thandle_t) { return 0; }
toff_t tiff_size(thandle_t h) { return static_cast<TiffSource*>(h)->size; }
int tiff_map(thandle_t h, void** base, toff_t* size) {
  auto* s = static_cast<TiffSource*>(h);
  *base = const_cast<uint8_t*>(s->data);  // read-only mode: libtiff never writes through the map
  *size = s->size;
  return 1;
}
void tiff_unmap(thandle_t, void*, toff_t) {}

int tiff_collect(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto* s = static_cast<TiffSource*>(user);
  char text[512];
  std::vsnprintf(text, sizeof text, fmt, ap);
  if (s->messages.size() < 4096) s->messages.append(module ? module : "").append(": ").append(text).append("\n");
  return 1;  // handled: libtiff's global handlers (stderr) stay quiet
}

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
struct OptionsFree {
  void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};

inline uint8_t to8(uint16_t v) { return static_cast<uint8_t>((v * 255u + 32767u) / 65535u); }
inline uint8_t unpremultiply(uint8_t c, uint8_t a) {
  return a == 0 ? 0 : static_cast<uint8_t>(std::min(255u, (c * 255u + a / 2u) / a));
}

enum class Layout { Rgb, Grey, Palette, Cmyk, Other };

struct Page {
  uint32_t width = 0, height = 0;
  uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = PLANARCONFIG_CONTIG;
  uint16_t sample_format = SAMPLEFORMAT_UINT;
  bool alpha = false, associated = false;
  Layout layout = Layout::Other;
};

Layout classify(TIFF* tif, Page& p) {
  if (p.planar != PLANARCONFIG_CONTIG || p.sample_format != SAMPLEFORMAT_UINT) return Layout::Other;
  uint16_t extra_count = 0;
  uint16_t* extra = nullptr;
  if (TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extra_count, &extra) && extra_count > 0 && extra) {
    p.alpha = extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA;
    p.associated = extra[0] == EXTRASAMPLE_ASSOCALPHA;
  }
  const uint16_t colour_samples = static_cast<uint16_t>(p.spp - extra_count);
  switch (p.photometric) {
    case PHOTOMETRIC_YCBCR: {
      uint16_t compression = COMPRESSION_NONE;
      TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
      if (compression != COMPRESSION_JPEG || p.bps != 8) return Layout::Other;
      // libjpeg converts to RGB for us; the scanline size follows the pseudo-tag.
      TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
      return colour_samples == 3 ? Layout::Rgb : Layout::Other;
    }
    case PHOTOMETRIC_RGB:
      return colour_samples == 3 && (p.bps == 8 || p.bps == 16) ? Layout::Rgb : Layout::Other;
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
      return colour_samples == 1 && (p.bps <= 8 || p.bps == 16) && (p.bps & (p.bps - 1)) == 0 ? Layout::Grey
                                                                                              : Layout::Other;
    case PHOTOMETRIC_PALETTE:
      return colour_samples == 1 && p.bps <= 8 && (p.bps & (p.bps - 1)) == 0 ? Layout::Palette : Layout::Other;
    case PHOTOMETRIC_SEPARATED: {
      uint16_t inkset = INKSET_CMYK;
      TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkset);
      return inkset == INKSET_CMYK && colour_samples == 4 && (p.bps == 8 || p.bps == 16) ? Layout::Cmyk
                                                                                        : Layout::Other;
    }
    default:
      return Layout::Other;
  }
}

// The page's samples as contiguous rows of TIFFScanlineSize bytes. A strip or tile that fails
// after earlier ones decoded leaves zero rows behind (the part that decodes is kept).
bool read_raw(TIFF* tif, const Page& p, size_t row_bytes, std::vector<uint8_t>& raw) {
  raw.assign(row_bytes * p.height, 0);
  if (TIFFIsTiled(tif)) {
    uint32_t tw = 0, th = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &th);
    const tmsize_t tile_size = TIFFTileSize(tif);
    const tmsize_t tile_row = TIFFTileRowSize(tif);
    if (tw == 0 || th == 0 || tile_size <= 0 || tile_row <= 0) return false;
    std::vector<uint8_t> tile(static_cast<size_t>(tile_size));
    const size_t bits_per_pixel = size_t{p.bps} * p.spp;
    bool any = false;
    for (uint32_t y = 0; y < p.height; y += th) {
      for (uint32_t x = 0; x < p.width; x += tw) {
        if (TIFFReadEncodedTile(tif, TIFFComputeTile(tif, x, y, 0, 0), tile.data(), tile_size) < 0) return any;
        any = true;
        const size_t x_bytes = x * bits_per_pixel / 8;
        const size_t copy = std::min<size_t>(static_cast<size_t>(tile_row), row_bytes - x_bytes);
        for (uint32_t r = 0; r < th && y + r < p.height; ++r)
          std::memcpy(raw.data() + (y + r) * row_bytes + x_bytes, tile.data() + r * static_cast<size_t>(tile_row), copy);
      }
    }
    return true;
  }
  uint32_t rows_per_strip = p.height;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows_per_strip);
  rows_per_strip = std::clamp<uint32_t>(rows_per_strip, 1, p.height);
  const uint32_t strips = TIFFNumberOfStrips(tif);
  for (uint32_t s = 0; s < strips; ++s) {
    const size_t first = static_cast<size_t>(s) * rows_per_strip;
    if (first >= p.height) break;
    const size_t room = (p.height - first) * row_bytes;
    const size_t want = std::min<size_t>(room, static_cast<size_t>(rows_per_strip) * row_bytes);
    if (TIFFReadEncodedStrip(tif, s, raw.data() + first * row_bytes, static_cast<tmsize_t>(want)) < 0) return s > 0;
  }
  return true;
}

void convert_rows(TIFF* tif, const Page& p, const std::vector<uint8_t>& raw, size_t row_bytes, const PixelView& view,
                  std::span<const uint8_t> icc) {
  uint16_t *map_r = nullptr, *map_g = nullptr, *map_b = nullptr;
  if (p.layout == Layout::Palette) TIFFGetField(tif, TIFFTAG_COLORMAP, &map_r, &map_g, &map_b);
  cms::ColorTransform cmyk;
  std::vector<uint8_t> inks;
  if (p.layout == Layout::Cmyk) {
    cmyk = p.bps == 8 ? cms::cmyk_to_srgb(icc, false) : cms::cmyk16_to_srgb(icc);
    inks.resize(static_cast<size_t>(p.width) * 4 * (p.bps / 8));
  }
  const unsigned max = (1u << std::min<uint16_t>(p.bps, 8)) - 1;
  for (uint32_t y = 0; y < p.height; ++y) {
    const uint8_t* s8 = raw.data() + y * row_bytes;
    const auto* s16 = reinterpret_cast<const uint16_t*>(s8);
    uint8_t* d = view.row(static_cast<int>(y));
    if (p.layout == Layout::Cmyk) {
      for (uint32_t x = 0; x < p.width; ++x)
        std::memcpy(inks.data() + x * 4 * (p.bps / 8), s8 + size_t{x} * p.spp * (p.bps / 8), 4 * (p.bps / 8));
      cmyk.apply(inks.data(), d, p.width);
    }
    for (uint32_t x = 0; x < p.width; ++x) {
      const size_t i = size_t{x} * p.spp;  // first sample of the pixel
      auto sample = [&](size_t k) -> uint8_t { return p.bps == 16 ? to8(s16[i + k]) : s8[i + k]; };
      uint8_t b = 0, g = 0, r = 0, a = 0xFF;
      switch (p.layout) {
        case Layout::Rgb:
          r = sample(0), g = sample(1), b = sample(2);
          if (p.alpha) a = sample(3);
          break;
        case Layout::Grey:
        case Layout::Palette: {
          unsigned v;
          if (p.bps == 16) v = to8(s16[i]);
          else if (p.bps == 8) v = s8[i];
          else v = (s8[x * p.bps / 8] >> (8 - p.bps - x * p.bps % 8)) & max;  // alpha needs bps 8/16
          if (p.layout == Layout::Palette) {
            r = map_r ? to8(map_r[v]) : 0, g = map_g ? to8(map_g[v]) : 0, b = map_b ? to8(map_b[v]) : 0;
          } else {
            if (p.bps < 8) v = v * 255 / max;
            if (p.photometric == PHOTOMETRIC_MINISWHITE) v = 255 - v;
            r = g = b = static_cast<uint8_t>(v);
            if (p.alpha && p.bps >= 8) a = sample(1);
          }
          break;
        }
        case Layout::Cmyk:
          b = d[4 * x], g = d[4 * x + 1], r = d[4 * x + 2];
          if (p.alpha) a = sample(4);
          break;
        case Layout::Other:
          break;
      }
      if (p.alpha && p.associated) r = unpremultiply(r, a), g = unpremultiply(g, a), b = unpremultiply(b, a);
      d[4 * x] = b, d[4 * x + 1] = g, d[4 * x + 2] = r, d[4 * x + 3] = a;
    }
  }
}

// Photometric interpretations we do not convert ourselves (YCbCr without JPEG, CIELab, planar data,
// floats, ...) go through libtiff's RGBA reader, whose output is premultiplied.
bool read_rgba_fallback(TIFF* tif, const Page& p, const PixelView& view) {
  std::vector<uint32_t> raster(static_cast<size_t>(p.width) * p.height);
  if (!TIFFReadRGBAImageOriented(tif, p.width, p.height, raster.data(), ORIENTATION_TOPLEFT, 0)) return false;
  for (uint32_t y = 0; y < p.height; ++y) {
    uint8_t* d = view.row(static_cast<int>(y));
    for (uint32_t x = 0; x < p.width; ++x) {
      const uint32_t px = raster[size_t{y} * p.width + x];
      const uint8_t a = static_cast<uint8_t>(TIFFGetA(px));
      d[4 * x] = unpremultiply(static_cast<uint8_t>(TIFFGetB(px)), a);
      d[4 * x + 1] = unpremultiply(static_cast<uint8_t>(TIFFGetG(px)), a);
      d[4 * x + 2] = unpremultiply(static_cast<uint8_t>(TIFFGetR(px)), a);
      d[4 * x + 3] = a;
    }
  }
  return true;
}

// The number of directories, walking at most `most` + 1 of them: a file that chains a million
// (libtiff itself only refuses loops) is refused without reading them all.
tdir_t count_directories(TIFF* tif, UINT most) {
  tdir_t n = 0;
  if (!TIFFSetDirectory(tif, 0)) return 0;
  do {
    ++n;
  } while (n <= most && TIFFReadDirectory(tif));
  return n;
}

bool sniff_tiff(std::span<const uint8_t> head) {
  static constexpr uint8_t kLittle[] = {'I', 'I', 42, 0}, kBig[] = {'M', 'M', 0, 42};
  static constexpr uint8_t kBigLittle[] = {'I', 'I', 43, 0}, kBigBig[] = {'M', 'M', 0, 43};  // BigTIFF
  return starts_with(head, kLittle, 4) || starts_with(head, kBig, 4) || starts_with(head, kBigLittle, 4) ||
         starts_with(head, kBigBig, 4);
}

Status decode_tiff(std::span<const uint8_t> data, const DecodeOptions& options, DecodeSink& sink, DecodedInfo& info) {
  info.rawFormat = Gdiplus::ImageFormatTIFF;
  info.frameDimension = Gdiplus::FrameDimensionPage;
  TiffSource source{data.data(), data.size(), 0, {}};
  std::unique_ptr<TIFFOpenOptions, OptionsFree> opts{TIFFOpenOptionsAlloc()};
  if (!opts) return Gdiplus::OutOfMemory;
  TIFFOpenOptionsSetErrorHandlerExtR(opts.get(), tiff_collect, &source);
  TIFFOpenOptionsSetWarningHandlerExtR(opts.get(), tiff_collect, &source);
  TIFFOpenOptionsSetMaxSingleMemAlloc(
      opts.get(), static_cast<tmsize_t>(std::min<ULONGLONG>(options.limits.maxCodecAllocation, INT64_MAX)));
  std::unique_ptr<TIFF, TiffCloser> tiff{TIFFClientOpenExt("memory", "r", &source, tiff_read, tiff_write, tiff_seek,
                                                           tiff_close, tiff_size, tiff_map, tiff_unmap, opts.get())};
  if (!tiff) return Gdiplus::GenericError;
  TIFF* tif = tiff.get();
  const tdir_t pages = count_directories(tif, options.limits.maxDirectories);
  if (pages == 0) return Gdiplus::GenericError;
  if (pages > options.limits.maxDirectories) return Gdiplus::OutOfMemory;
  if (options.frameIndex >= pages) return Gdiplus::InvalidParameter;
  if (!TIFFSetDirectory(tif, static_cast<tdir_t>(options.frameIndex))) return Gdiplus::GenericError;
  info.frameCount = pages;

  Page p;
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.height))
    return Gdiplus::GenericError;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &p.bps);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p.spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &p.planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &p.sample_format);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &p.photometric)) p.photometric = p.spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISWHITE;
  p.layout = classify(tif, p);

  float res_x = 0, res_y = 0;
  uint16_t unit = RESUNIT_INCH;
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &res_x) && res_x > 0) {
    if (!TIFFGetField(tif, TIFFTAG_YRESOLUTION, &res_y) || res_y <= 0) res_y = res_x;
    if (unit == RESUNIT_INCH) info.dpiX = res_x, info.dpiY = res_y;
    else if (unit == RESUNIT_CENTIMETER) info.dpiX = dpi_from_pixels_per_cm(res_x), info.dpiY = dpi_from_pixels_per_cm(res_y);
    // RESUNIT_NONE: an aspect ratio only, so the display default stands.
  }

  uint32_t icc_size = 0;
  void* icc_data = nullptr;
  std::span<const uint8_t> icc;
  if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &icc_size, &icc_data) && icc_data && icc_size > 0)
    icc = {static_cast<const uint8_t*>(icc_data), icc_size};

  PixelView view;
  if (Status st = allocate_argb(sink, p.width, p.height, options.limits, &view); st != Gdiplus::Ok) return st;
  if (p.layout == Layout::Other) {
    if (!read_rgba_fallback(tif, p, view)) return Gdiplus::GenericError;
  } else {
    const tmsize_t row_bytes = TIFFScanlineSize(tif);
    if (row_bytes <= 0) return Gdiplus::GenericError;
    if (static_cast<uint64_t>(row_bytes) * p.height > options.limits.maxDecodedBytes) return Gdiplus::OutOfMemory;
    if (static_cast<uint64_t>(row_bytes) * 8 < uint64_t{p.width} * p.spp * p.bps) return Gdiplus::GenericError;
    std::vector<uint8_t> raw;
    if (!read_raw(tif, p, static_cast<size_t>(row_bytes), raw)) return Gdiplus::GenericError;
    convert_rows(tif, p, raw, static_cast<size_t>(row_bytes), view, icc);
  }
  // An RGB page's own profile; CMYK pages used theirs above whatever the option says, since inks
  // mean nothing without one.
  if (options.useEmbeddedColorManagement && !icc.empty() && p.layout != Layout::Cmyk) {
    if (cms::ColorTransform t = cms::rgb_profile_to_srgb(icc)) {
      for (int y = 0; y < view.height; ++y) t.apply(view.row(y), view.row(y), static_cast<size_t>(view.width));
    }
  }
  return Gdiplus::Ok;
}

}  // namespace

ZX_REGISTER_CODEC(tiff_decoder, CodecEntry{Gdiplus::ImageFormatTIFF, GUID_NULL, u"Built-in TIFF Codec", u"image/tiff",
                                           u"*.TIF;*.TIFF", sniff_tiff, decode_tiff, nullptr});

}  // namespace zx::gdip::decoders
