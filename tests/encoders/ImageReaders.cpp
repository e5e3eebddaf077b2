// Zentarix — MIT licence.
// Independent readers for the files the encoders write: a small BMP parser, libpng, libjpeg-turbo,
// giflib and libtiff.
#include "ImageReaders.h"

#include <png.h>
#include <setjmp.h>
#include <stdio.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>
#include <sstream>

#include <gif_lib.h>
#include <tiffio.hxx>
// clang-format off
#include <jpeglib.h>
// clang-format on

namespace zx::test {
namespace {

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

DecodedImage fail(const char* why) {
  DecodedImage d;
  d.error = why;
  return d;
}

}  // namespace

DecodedImage read_bmp(const std::vector<uint8_t>& b) {
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return fail("not a BMP");
  DecodedImage d;
  const uint32_t offBits = le32(b, 10), headerSize = le32(b, 14);
  d.width = static_cast<int32_t>(le32(b, 18));
  const int32_t h = static_cast<int32_t>(le32(b, 22));
  d.height = h < 0 ? -h : h;
  d.bitsPerPixel = le16(b, 28);
  const uint32_t compression = le32(b, 30);
  d.dpiX = le32(b, 38) * 0.0254;
  d.dpiY = le32(b, 42) * 0.0254;
  uint32_t colours = le32(b, 46);
  if (compression != 0 && compression != 3) return fail("compressed BMP");
  d.indexed = d.bitsPerPixel <= 8;
  if (d.indexed) {
    if (colours == 0) colours = 1u << d.bitsPerPixel;
    const size_t at = 14 + headerSize;
    if (at + colours * 4 > b.size()) return fail("palette past the end");
    for (uint32_t i = 0; i < colours; ++i)
      d.palette.push_back(0xFF000000u | b[at + i * 4 + 2] << 16 | b[at + i * 4 + 1] << 8 | b[at + i * 4]);
  }
  const size_t stride = ((static_cast<size_t>(d.width) * d.bitsPerPixel + 31) / 32) * 4;
  if (offBits + stride * d.height > b.size()) return fail("pixels past the end");
  for (int y = 0; y < d.height; ++y) {
    const int fileRow = h > 0 ? d.height - 1 - y : y;
    const uint8_t* row = &b[offBits + stride * fileRow];
    for (int x = 0; x < d.width; ++x) {
      switch (d.bitsPerPixel) {
        case 1: {
          const uint8_t index = (row[x / 8] >> (7 - x % 8)) & 1;
          d.indices.push_back(index);
          d.pixels.push_back(d.palette.at(index));
          break;
        }
        case 8:
          d.indices.push_back(row[x]);
          d.pixels.push_back(d.palette.at(row[x]));
          break;
        case 24:
          d.pixels.push_back(0xFF000000u | row[x * 3 + 2] << 16 | row[x * 3 + 1] << 8 | row[x * 3]);
          break;
        case 32:
          d.pixels.push_back(static_cast<uint32_t>(row[x * 4 + 3]) << 24 | row[x * 4 + 2] << 16 | row[x * 4 + 1] << 8 |
                             row[x * 4]);
          break;
        default: return fail("unexpected depth");
      }
    }
  }
  d.ok = true;
  return d;
}

DecodedImage read_png(const std::vector<uint8_t>& bytes) {
  DecodedImage d;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  struct Source {
    const std::vector<uint8_t>* bytes;
    size_t at;
  } source{&bytes, 0};
  std::vector<std::vector<uint8_t>> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return fail("libpng refused the file");
  }
  png_set_read_fn(png, &source, [](png_structp p, png_bytep out, size_t n) {
    auto* s = static_cast<Source*>(png_get_io_ptr(p));
    if (s->at + n > s->bytes->size()) png_error(p, "short");
    std::memcpy(out, s->bytes->data() + s->at, n);
    s->at += n;
  });
  png_read_info(png, info);
  d.width = static_cast<int>(png_get_image_width(png, info));
  d.height = static_cast<int>(png_get_image_height(png, info));
  const int colourType = png_get_color_type(png, info);
  const int bitDepth = png_get_bit_depth(png, info);
  d.bitsPerPixel = bitDepth * png_get_channels(png, info);
  d.indexed = colourType == PNG_COLOR_TYPE_PALETTE;
  png_uint_32 resX = 0, resY = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &resX, &resY, &unit) && unit == PNG_RESOLUTION_METER) {
    d.dpiX = resX * 0.0254;
    d.dpiY = resY * 0.0254;
  }
  if (d.indexed) {
    png_colorp entries = nullptr;
    int count = 0;
    png_get_PLTE(png, info, &entries, &count);
    png_bytep alpha = nullptr;
    int alphaCount = 0;
    png_color_16p unused = nullptr;
    png_get_tRNS(png, info, &alpha, &alphaCount, &unused);
    for (int i = 0; i < count; ++i)
      d.palette.push_back(static_cast<uint32_t>(i < alphaCount ? alpha[i] : 255) << 24 | entries[i].red << 16 |
                          entries[i].green << 8 | entries[i].blue);
    if (bitDepth < 8) png_set_packing(png);
  }
  png_read_update_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info);
  rows.assign(d.height, std::vector<uint8_t>(rowBytes));
  std::vector<png_bytep> pointers;
  for (auto& r : rows) pointers.push_back(r.data());
  png_read_image(png, pointers.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  for (int y = 0; y < d.height; ++y) {
    const uint8_t* r = rows[y].data();
    for (int x = 0; x < d.width; ++x) {
      if (d.indexed) {
        d.indices.push_back(r[x]);
        d.pixels.push_back(d.palette.at(r[x]));
      } else if (colourType == PNG_COLOR_TYPE_RGB_ALPHA && bitDepth == 8) {
        d.pixels.push_back(static_cast<uint32_t>(r[x * 4 + 3]) << 24 | r[x * 4] << 16 | r[x * 4 + 1] << 8 | r[x * 4 + 2]);
      } else if (colourType == PNG_COLOR_TYPE_RGB && bitDepth == 8) {
        d.pixels.push_back(0xFF000000u | r[x * 3] << 16 | r[x * 3 + 1] << 8 | r[x * 3 + 2]);
      } else {
        return fail("unexpected PNG layout");
      }
    }
  }
  d.ok = true;
  return d;
}

namespace {
struct JpegError {
  jpeg_error_mgr mgr;
  jmp_buf jump;
};
}  // namespace

DecodedImage read_jpeg(const std::vector<uint8_t>& bytes) {
  DecodedImage d;
  jpeg_decompress_struct cinfo{};
  JpegError error{};
  cinfo.err = jpeg_std_error(&error.mgr);
  error.mgr.error_exit = [](j_common_ptr c) { longjmp(reinterpret_cast<JpegError*>(c->err)->jump, 1); };
  std::vector<uint8_t> row;
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return fail("libjpeg refused the file");
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  d.jpegColourComponents = cinfo.num_components;
  if (cinfo.saw_JFIF_marker && cinfo.density_unit == 1) {
    d.dpiX = cinfo.X_density;
    d.dpiY = cinfo.Y_density;
  }
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  d.width = static_cast<int>(cinfo.output_width);
  d.height = static_cast<int>(cinfo.output_height);
  d.bitsPerPixel = 8 * cinfo.num_components;
  row.resize(static_cast<size_t>(d.width) * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW r = row.data();
    jpeg_read_scanlines(&cinfo, &r, 1);
    for (int x = 0; x < d.width; ++x) d.pixels.push_back(0xFF000000u | row[x * 3] << 16 | row[x * 3 + 1] << 8 | row[x * 3 + 2]);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  d.ok = true;
  return d;
}

DecodedImage read_gif(const std::vector<uint8_t>& bytes) {
  std::span<const uint8_t> input(bytes);
  int error = 0;
  GifFileType* gif = DGifOpen(&input, [](GifFileType* g, GifByteType* to, int n) {
    auto* left = static_cast<std::span<const uint8_t>*>(g->UserData);
    const size_t take = std::min(size_t(n), left->size());
    std::memcpy(to, left->data(), take);
    *left = left->subspan(take);
    return int(take);
  }, &error);
  if (!gif) return fail("not a GIF");
  DecodedImage d;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount >= 1 && gif->SColorMap) {
    d.ok = true;
    d.indexed = true;
    d.bitsPerPixel = gif->SColorMap->BitsPerPixel;
    d.width = gif->SWidth;
    d.height = gif->SHeight;
    for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
      const GifColorType c = gif->SColorMap->Colors[i];
      d.palette.push_back(0xFF000000u | c.Red << 16 | c.Green << 8 | c.Blue);
    }
    GraphicsControlBlock gcb{};
    if (DGifSavedExtensionToGCB(gif, 0, &gcb) == GIF_OK) d.transparentIndex = gcb.TransparentColor;
    const SavedImage& image = gif->SavedImages[0];
    d.indices.assign(image.RasterBits, image.RasterBits + size_t(d.width) * size_t(d.height));
    for (uint8_t index : d.indices) d.pixels.push_back(index < d.palette.size() ? d.palette[index] : 0);
  } else {
    d.error = "unreadable GIF";
  }
  DGifCloseFile(gif, &error);
  return d;
}

TiffPage read_tiff(const std::vector<uint8_t>& bytes) {
  TiffPage page;
  std::istringstream stream(std::string(bytes.begin(), bytes.end()));
  TIFFSetWarningHandler(nullptr);
  TIFF* tiff = TIFFStreamOpen("written", static_cast<std::istream*>(&stream));
  if (!tiff) return page;
  for (ttag_t tag : {TIFFTAG_PHOTOMETRIC, TIFFTAG_SAMPLESPERPIXEL, TIFFTAG_BITSPERSAMPLE, TIFFTAG_COMPRESSION,
                     TIFFTAG_INKSET, TIFFTAG_RESOLUTIONUNIT}) {
    uint16_t value = 0;
    TIFFGetField(tiff, tag, &value);
    page.fields.push_back(value);
  }
  TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &page.dpiX);
  TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &page.dpiY);
  uint32_t height = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  const size_t line = size_t(TIFFScanlineSize(tiff));
  page.rows.resize(line * height);
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  uint16_t bits = 0;
  TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  if (page.fields[0] == PHOTOMETRIC_PALETTE && TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue))
    for (const uint16_t* channel : {red, green, blue})
      page.colourMap.insert(page.colourMap.end(), channel, channel + std::min(1 << bits, 4));
  page.ok = true;
  for (uint32_t y = 0; y < height && page.ok; ++y)
    page.ok = TIFFReadScanline(tiff, page.rows.data() + line * y, y, 0) == 1;
  TIFFClose(tiff);
  return page;
}

namespace {
std::string hex(uint32_t v, int digits) {
  char text[12];
  std::snprintf(text, sizeof text, "%0*x", digits, v);
  return text;
}
}  // namespace

std::string describe(const DecodedImage& d, bool entries) {
  if (!d.ok) return "unreadable: " + d.error;
  std::string out = std::to_string(d.width) + "x" + std::to_string(d.height) + " " + std::to_string(d.bitsPerPixel) +
                    "bpp " + std::to_string(std::lround(d.dpiX)) + "x" + std::to_string(std::lround(d.dpiY)) + "dpi";
  if (d.transparentIndex >= 0) out += " tr " + std::to_string(d.transparentIndex);
  if (d.indexed) {
    out += " pal";
    if (!entries) out += " " + std::to_string(d.palette.size());
    for (uint32_t c : entries ? d.palette : std::vector<uint32_t>{}) out += " " + hex(c, 8);
  }
  out += " px";
  for (size_t i = 0; i < d.pixels.size(); ++i)
    out += d.transparentIndex >= 0 && d.indices[i] == d.transparentIndex ? " clear" : " " + hex(d.pixels[i], 8);
  return out;
}

std::string describe(const TiffPage& page) {
  if (!page.ok) return "unreadable";
  std::string out = "fields";
  for (uint16_t f : page.fields) out += " " + std::to_string(f);
  out += " " + std::to_string(std::lround(page.dpiX)) + "x" + std::to_string(std::lround(page.dpiY)) + "dpi rows ";
  for (uint8_t b : page.rows) out += hex(b, 2);
  if (!page.colourMap.empty()) out += " map";
  for (uint16_t c : page.colourMap) out += " " + hex(c, 4);
  return out;
}

}  // namespace zx::test
