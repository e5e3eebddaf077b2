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
};
TiffPage read_tiff(const std::vector<uint8_t>& bytes);

}  // namespace zx::test
