// Zentarix GDI+ layer — MIT licence.
// Pixel storage of images: allocation, palettes and converted rectangle copies.
#include "image.h"

#include <climits>
#include <cstring>

#include <zx/pixel_memory.h>

namespace zx::gdip {
using namespace Gdiplus;

void PixelFree::operator()(uint8_t* p) const noexcept { zx::pixel_free(p); }

bool is_supported_format(PixelFormat format) {
  switch (format) {
    case PixelFormat1bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed:
    case PixelFormat16bppRGB555:
    case PixelFormat16bppRGB565:
    case PixelFormat16bppARGB1555:
    case PixelFormat24bppRGB:
    case PixelFormat32bppRGB:
    case PixelFormat32bppARGB:
    case PixelFormat32bppPARGB: return true;
    default: return false;
  }
}

ptrdiff_t stride_for(int width, PixelFormat format) {
  int64_t bits = int64_t{width} * GetPixelFormatSize(format);
  int64_t stride = ((bits + 31) / 32) * 4;
  return stride > INT_MAX ? 0 : static_cast<ptrdiff_t>(stride);
}

// A bitmap is held in one block whose size a 32-bit Stride times the height can address; anything
// larger is refused up front, so a header declaring 64250 x 64250 pixels fails with OutOfMemory
// without the library trying to map 16 GB.
Status allocate_pixels(ImageData& image, int width, int height, PixelFormat format, bool zeroed) {
  ptrdiff_t stride = stride_for(width, format);
  if (stride == 0 || int64_t{stride} * height > INT_MAX) return OutOfMemory;
  const size_t bytes = size_t(stride) * size_t(height);
  auto* block = static_cast<uint8_t*>(zeroed ? zx::pixel_alloc_zeroed(bytes) : zx::pixel_alloc(bytes));
  if (!block) return OutOfMemory;
  image.pixels.reset(block);
  image.scan0 = block;
  image.stride = stride;
  image.width = width;
  image.height = height;
  image.format = format;
  return Ok;
}

void set_default_palette(ImageData& image) {
  switch (image.format) {
    case PixelFormat1bppIndexed: set_palette(image, {0xFF000000, 0xFFFFFFFF}, PaletteFlagsGrayScale); break;
    case PixelFormat4bppIndexed: {
      const auto& h = halftone_palette();
      set_palette(image, std::vector<ARGB>(h.begin(), h.begin() + 16), 0);
      break;
    }
    case PixelFormat8bppIndexed: set_palette(image, halftone_palette(), PaletteFlagsHalftone); break;
    default: set_palette(image, {}, 0); break;
  }
}

std::unique_ptr<ImageData> make_bitmap(int width, int height, PixelFormat format, Status* status, bool zeroed) {
  if (width <= 0 || height <= 0 || !is_supported_format(format)) {
    *status = InvalidParameter;
    return nullptr;
  }
  auto image = std::make_unique<ImageData>();
  *status = allocate_pixels(*image, width, height, format, zeroed || !copy_fills_rows(format));
  if (*status != Ok) return nullptr;
  set_default_palette(*image);
  return image;
}

void set_palette(ImageData& image, std::vector<ARGB> entries, UINT flags) {
  image.palette = std::move(entries);
  image.paletteFlags = flags;
  image.paletteIndex.reset();
}

PaletteRef palette_ref(const ImageData& image) {
  PaletteRef ref;
  ref.entries = image.palette;
  if (IsIndexedPixelFormat(image.format) && !image.palette.empty()) {
    if (!image.paletteIndex) {
      image.paletteIndex = std::make_shared<const PaletteIndexer>(std::span<const uint32_t>(image.palette));
    }
    ref.index = image.paletteIndex.get();
    for (size_t i = 0; i < image.palette.size(); ++i)
      if ((image.palette[i] >> 24) == 0) {
        ref.transparentEntry = static_cast<int>(i);
        break;
      }
  }
  return ref;
}

void convert_region(const Region& src, const Region& dst, int width, int height, bool samePalette) {
  const bool sameFormat = src.format == dst.format;
  const UINT bits = GetPixelFormatSize(src.format);
  const bool byteAligned = bits >= 8 || ((src.x * bits) % 8 == 0 && (dst.x * bits) % 8 == 0 && (width * bits) % 8 == 0);
  std::vector<uint32_t> row(static_cast<size_t>(width));
  const uint32_t dstLimit = IsIndexedPixelFormat(dst.format) ? 1u << GetPixelFormatSize(dst.format) : 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* s = src.scan0 + y * src.stride;
    uint8_t* d = dst.scan0 + y * dst.stride;
    if (sameFormat && byteAligned && (samePalette || !IsIndexedPixelFormat(src.format))) {
      std::memcpy(d + size_t(dst.x) * bits / 8, s + size_t(src.x) * bits / 8, size_t(width) * bits / 8);
    } else if (IsIndexedPixelFormat(src.format) && IsIndexedPixelFormat(dst.format) && samePalette) {
      for (int x = 0; x < width; ++x) {
        uint32_t index = read_index(src.format, s, src.x + x);
        if (index < dstLimit) {
          write_index(dst.format, d, dst.x + x, index);
        } else {
          uint32_t c = index < src.palette.entries.size() ? src.palette.entries[index] : 0xFF000000u;
          write_argb(dst.format, &c, d, dst.x + x, 1, dst.palette);
        }
      }
    } else {
      read_argb(src.format, s, src.x, width, src.palette, row.data());
      write_argb(dst.format, row.data(), d, dst.x, width, dst.palette);
    }
  }
}

Status copy_converted(const ImageData& src, const Rect& rect, ImageData& dst) {
  Region from{src.scan0 + rect.Y * src.stride, src.stride, rect.X, src.format, palette_ref(src)};
  Region to{dst.scan0, dst.stride, 0, dst.format, palette_ref(dst)};
  convert_region(from, to, rect.Width, rect.Height, src.palette == dst.palette);
  return Ok;
}

}  // namespace zx::gdip
