// Zentarix — MIT licence.
// Independent readers for the files the encoders write: a small BMP parser, libpng, libjpeg-turbo,
// giflib and libtiff.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zx::test {

// What a file says about itself, decoded without the library under test.
struct DecodedImage {
  bool ok = false;
  std::string error;
  int width = 0, height = 0;
  int bitsPerPixel = 0;                 // per pixel as stored (PNG: bit depth x channels)
  bool indexed = false;
  std::vector<uint32_t> palette;        // 0xAARRGGBB; alpha from tRNS for PNG, 0xFF otherwise
  std::vector<uint32_t> pixels;         // 0xAARRGGBB per pixel, top row first (indices resolved)
  std::vector<uint8_t> indices;         // palette images: the index of every pixel
  double dpiX = 0, dpiY = 0;            // from pels per metre, pHYs or JFIF density
  int jpegColourComponents = 0;
  int transparentIndex = -1;            // GIF: the graphics control block's transparent colour
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

DecodedImage read_bmp(const std::vector<uint8_t>& bytes);
DecodedImage read_png(const std::vector<uint8_t>& bytes);
DecodedImage read_jpeg(const std::vector<uint8_t>& bytes);
// GIF: the global colour table as the palette, the first image's indices and colours.
DecodedImage read_gif(const std::vector<uint8_t>& bytes);

// A TIFF page: its fields, in the order Photometric, SamplesPerPixel, BitsPerSample, Compression,
// InkSet, ResolutionUnit (0 when absent), and its decoded scanlines back to back.
struct TiffPage {
  bool ok = false;
  std::vector<uint16_t> fields;
  float dpiX = 0, dpiY = 0;
  std::vector<uint8_t> rows;
  std::vector<uint16_t> colourMap;  // palette pages: the first four red, green and blue entries
};
TiffPage read_tiff(const std::vector<uint8_t>& bytes);

// One line to compare whole: "3x2 24bpp 300x150dpi px ff0a0b0c ...", with "pal ..." for indexed
// images (only its size, "pal 6", when the entries' order is the reducer's business) and "tr N" for
// a GIF's transparent index, whose pixels show as "clear"; dpi rounded to whole numbers.
std::string describe(const DecodedImage& d, bool entries = true);
// "fields 2 4 8 5 0 2 300x150dpi rows 0a0b0c..." (rows in hex).
std::string describe(const TiffPage& page);

}  // namespace zx::test
