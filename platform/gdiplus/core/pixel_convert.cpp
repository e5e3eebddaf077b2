// Zentarix GDI+ layer — MIT licence.
// Row kernels between the GDI+ pixel formats, through straight (non-premultiplied) ARGB.
#include "pixel_convert.h"

#include <cstring>

namespace zx::gdip {
using namespace Gdiplus;

namespace {
uint32_t expand5(uint32_t v) { return (v << 3) | (v >> 2); }
uint32_t expand6(uint32_t v) { return (v << 2) | (v >> 4); }
uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }
}  // namespace

uint32_t read_index(PixelFormat format, const uint8_t* row, int x) {
  switch (format) {
    case PixelFormat1bppIndexed: return (row[x >> 3] >> (7 - (x & 7))) & 1;  // most significant bit first
    case PixelFormat4bppIndexed: return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    case PixelFormat8bppIndexed: return row[x];
    default: return 0;
  }
}

void write_index(PixelFormat format, uint8_t* row, int x, uint32_t index) {
  switch (format) {
    case PixelFormat1bppIndexed: {
      uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      row[x >> 3] = (index & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
      break;
    }
    case PixelFormat4bppIndexed: {
      uint8_t& b = row[x >> 1];
      b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (index & 0x0F)) : static_cast<uint8_t>((b & 0x0F) | (index << 4));
      break;
    }
    case PixelFormat8bppIndexed: row[x] = static_cast<uint8_t>(index); break;
    default: break;
  }
}

void read_argb(PixelFormat format, const uint8_t* row, int x0, int n, const PaletteRef& palette, uint32_t* out) {
  switch (format) {
    case PixelFormat32bppARGB: std::memcpy(out, row + x0 * 4, size_t(n) * 4); return;
    case PixelFormat32bppPARGB: {
      const uint8_t* p = row + x0 * 4;
      for (int i = 0; i < n; ++i, p += 4) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        out[i] = unpremultiply(v);
      }
      return;
    }
    case PixelFormat32bppRGB: {
      const uint8_t* p = row + x0 * 4;
      for (int i = 0; i < n; ++i, p += 4) out[i] = argb(255, p[2], p[1], p[0]);
      return;
    }
    case PixelFormat24bppRGB: {
      const uint8_t* p = row + x0 * 3;
      for (int i = 0; i < n; ++i, p += 3) out[i] = argb(255, p[2], p[1], p[0]);
      return;
    }
    case PixelFormat16bppRGB555:
    case PixelFormat16bppRGB565:
    case PixelFormat16bppARGB1555: {
      const uint8_t* p = row + x0 * 2;
      for (int i = 0; i < n; ++i, p += 2) {
        uint32_t v = p[0] | (uint32_t{p[1]} << 8);
        if (format == PixelFormat16bppRGB565)
          out[i] = argb(255, expand5(v >> 11), expand6((v >> 5) & 0x3F), expand5(v & 0x1F));
        else
          out[i] = argb(format == PixelFormat16bppARGB1555 ? ((v & 0x8000) ? 255 : 0) : 255, expand5((v >> 10) & 0x1F),
                        expand5((v >> 5) & 0x1F), expand5(v & 0x1F));
      }
      return;
    }
    case PixelFormat1bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed:
      for (int i = 0; i < n; ++i) {
        uint32_t index = read_index(format, row, x0 + i);
        out[i] = index < palette.entries.size() ? palette.entries[index] : 0xFF000000u;
      }
      return;
    default: std::memset(out, 0, size_t(n) * 4); return;
  }
}

void write_argb(PixelFormat format, const uint32_t* in, uint8_t* row, int x0, int n, const PaletteRef& palette) {
  switch (format) {
    case PixelFormat32bppARGB: std::memcpy(row + x0 * 4, in, size_t(n) * 4); return;
    case PixelFormat32bppPARGB: {
      uint8_t* p = row + x0 * 4;
      for (int i = 0; i < n; ++i, p += 4) {
        uint32_t v = premultiply(in[i]);
        std::memcpy(p, &v, 4);
      }
      return;
    }
    case PixelFormat32bppRGB: {
      uint8_t* p = row + x0 * 4;
      for (int i = 0; i < n; ++i, p += 4) {
        uint32_t v = in[i] | 0xFF000000u;  // the unused byte reads back as opaque
        std::memcpy(p, &v, 4);
      }
      return;
    }
    case PixelFormat24bppRGB: {
      uint8_t* p = row + x0 * 3;
      for (int i = 0; i < n; ++i, p += 3) {
        p[0] = static_cast<uint8_t>(in[i]);
        p[1] = static_cast<uint8_t>(in[i] >> 8);
        p[2] = static_cast<uint8_t>(in[i] >> 16);
      }
      return;
    }
    case PixelFormat16bppRGB555:
    case PixelFormat16bppRGB565:
    case PixelFormat16bppARGB1555: {
      uint8_t* p = row + x0 * 2;
      for (int i = 0; i < n; ++i, p += 2) {
        uint32_t a = in[i] >> 24, r = (in[i] >> 16) & 0xFF, g = (in[i] >> 8) & 0xFF, b = in[i] & 0xFF;
        uint32_t v = format == PixelFormat16bppRGB565 ? ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                                                      : ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        if (format == PixelFormat16bppARGB1555 && a >= 128) v |= 0x8000;
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
      }
      return;
    }
    case PixelFormat1bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed:
      for (int i = 0; i < n; ++i) {
        uint32_t c = in[i];
        uint32_t index = 0;
        if ((c >> 24) == 0 && palette.transparentEntry >= 0)
          index = static_cast<uint32_t>(palette.transparentEntry);
        else if (palette.index && palette.index->size() != 0)
          index = static_cast<uint32_t>(palette.index->nearest_argb(c));
        write_index(format, row, x0 + i, index);
      }
      return;
    default: return;
  }
}

}  // namespace zx::gdip
