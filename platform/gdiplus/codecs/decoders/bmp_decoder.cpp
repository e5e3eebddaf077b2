// Zentarix GDI+ layer — MIT licence.
// The BMP decoder (our own reader): Windows and OS/2 headers, 1-32 bpp, RLE4/RLE8, bit-field masks.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "decode_common.h"

namespace zx::gdip::decoders {
namespace {

using Gdiplus::Status;

constexpr uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6;

struct DibHeader {
  size_t size = 0;  // bytes of the info header
  int64_t width = 0;
  int64_t height = 0;  // rows of the image (an icon's doubled height already halved)
  bool top_down = false;
  int bpp = 0;
  uint32_t compression = kBiRgb;
  std::array<uint32_t, 4> masks{};  // R, G, B, A
  uint32_t colors_used = 0;
  int palette_entry = 4;  // bytes per palette entry: 3 in OS/2 1.x headers
  int32_t ppm_x = 0, ppm_y = 0;
  size_t masks_after_header = 0;  // BITMAPINFOHEADER keeps its bit-field masks after the header
};

bool parse_dib_header(std::span<const uint8_t> dib, bool icon_mask, DibHeader* h) {
  if (dib.size() < 12) return false;
  const uint8_t* p = dib.data();
  h->size = le32(p);
  if (h->size == 12) {  // OS/2 1.x BITMAPCOREHEADER
    h->width = le16(p + 4);
    h->height = le16(p + 6);
    h->bpp = le16(p + 10);
    h->palette_entry = 3;
  } else if (h->size >= 16 && h->size <= dib.size() && (h->size == 16 || h->size >= 40)) {
    h->width = static_cast<int32_t>(le32(p + 4));
    const int32_t height = static_cast<int32_t>(le32(p + 8));
    if (height == INT32_MIN) return false;
    h->top_down = height < 0;
    h->height = height < 0 ? -static_cast<int64_t>(height) : height;
    h->bpp = le16(p + 14);
    if (h->size >= 40) {
      h->compression = le32(p + 16);
      h->ppm_x = static_cast<int32_t>(le32(p + 24));
      h->ppm_y = static_cast<int32_t>(le32(p + 28));
      h->colors_used = le32(p + 32);
    }
    if (h->size == 64 && (h->compression == 3 || h->compression == 4)) return false;  // OS/2 Huffman, RLE24
    if (h->compression == kBiBitfields || h->compression == kBiAlphaBitfields) {
      const size_t mask_count = h->compression == kBiAlphaBitfields ? 4 : 3;
      const uint8_t* m = nullptr;
      if (h->size >= 52) {
        m = p + 40;
        // BITMAPV3/V4/V5 headers carry an alpha mask too.
        if (h->size >= 56) h->masks[3] = le32(p + 52);
      } else if (h->size == 40) {
        if (dib.size() < 40 + 4 * mask_count) return false;
        m = p + 40;
        h->masks_after_header = 4 * mask_count;
        if (mask_count == 4) h->masks[3] = le32(p + 52);
      } else {
        return false;
      }
      for (size_t i = 0; i < 3; ++i) h->masks[i] = le32(m + 4 * i);
    }
  } else {
    return false;
  }
  if (icon_mask) h->height /= 2;
  if (h->width <= 0 || h->height <= 0) return false;
  switch (h->bpp) {
    case 1: case 4: case 8:
      return h->compression == kBiRgb || (h->compression == kBiRle8 && h->bpp == 8) ||
             (h->compression == kBiRle4 && h->bpp == 4);
    case 16: case 32:
      if (h->compression == kBiRgb) {
        h->masks = h->bpp == 16 ? std::array<uint32_t, 4>{0x7C00, 0x03E0, 0x001F, 0}
                                : std::array<uint32_t, 4>{0xFF0000, 0x00FF00, 0x0000FF, 0};
        return true;
      }
      return h->compression == kBiBitfields || h->compression == kBiAlphaBitfields;
    case 24:
      return h->compression == kBiRgb;
    default:
      return false;
  }
}

// One channel of a bit-field pixel, scaled to 8 bits.
struct MaskChannel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  explicit MaskChannel(uint32_t m) : mask(m) {
    if (m) {
      shift = std::countr_zero(m);
      max = m >> shift;
    }
  }
  uint8_t operator()(uint32_t v, uint8_t absent) const {
    if (!max) return absent;
    return static_cast<uint8_t>((((v & mask) >> shift) * 255u + max / 2) / max);
  }
};

void decode_rle(std::span<const uint8_t> src, const DibHeader& h, const std::vector<uint32_t>& palette,
                const PixelView& view) {
  auto put = [&](int64_t x, int64_t row, uint32_t index) {
    if (x < 0 || x >= h.width || row < 0 || row >= h.height) return;
    const int y = static_cast<int>(h.top_down ? row : h.height - 1 - row);
    reinterpret_cast<uint32_t*>(view.row(y))[x] = index < palette.size() ? palette[index] : 0xFF000000u;
  };
  const bool rle4 = h.compression == kBiRle4;
  int64_t x = 0, row = 0;
  size_t i = 0;
  while (i + 1 < src.size() && row < h.height) {
    const uint8_t count = src[i], value = src[i + 1];
    i += 2;
    if (count > 0) {  // a run
      for (int k = 0; k < count; ++k, ++x) put(x, row, rle4 ? ((k & 1) ? (value & 0x0F) : (value >> 4)) : value);
    } else if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta: skipped pixels keep the background
      if (i + 1 >= src.size()) break;
      x += src[i];
      row += src[i + 1];
      i += 2;
    } else {  // absolute run of `value` pixels, padded to a 16-bit boundary
      const size_t bytes = rle4 ? (value + 1u) / 2u : value;
      for (int k = 0; k < value && i + (rle4 ? k / 2 : k) < src.size(); ++k, ++x) {
        const uint8_t b = src[i + (rle4 ? k / 2 : k)];
        put(x, row, rle4 ? ((k & 1) ? (b & 0x0F) : (b >> 4)) : b);
      }
      i += (bytes + 1) & ~size_t{1};
    }
  }
}

// `file`: the whole buffer; `dib_at`: where the info header starts; `bits_at`: where the file
// header says the pixels start (0: right after the palette, as in an icon).
Status decode_dib_at(std::span<const uint8_t> file, size_t dib_at, size_t bits_at, bool icon_mask,
                     const ZX_GDIP_RESOURCE_LIMITS& limits, DecodeSink& sink,
                     DecodedInfo& info) {
  DibHeader h;
  if (dib_at > file.size() || !parse_dib_header(file.subspan(dib_at), icon_mask, &h)) return Gdiplus::GenericError;
  if (h.width > 65535 || h.height > 65535) return Gdiplus::OutOfMemory;  // more than GDI+ bitmaps can hold

  // Palette: as many entries as declared and present; missing entries read as black.
  const size_t palette_at = dib_at + h.size + h.masks_after_header;
  std::vector<uint32_t> palette;
  if (h.bpp <= 8) {
    size_t count = h.colors_used ? std::min<size_t>(h.colors_used, 256) : size_t{1} << h.bpp;
    const size_t room = palette_at < file.size() ? (file.size() - palette_at) / h.palette_entry : 0;
    palette.assign(count, 0xFF000000u);
    count = std::min(count, room);
    for (size_t k = 0; k < count; ++k) {
      const uint8_t* e = file.data() + palette_at + k * h.palette_entry;
      palette[k] = 0xFF000000u | uint32_t{e[2]} << 16 | uint32_t{e[1]} << 8 | e[0];
    }
  }
  const size_t palette_end = palette_at + palette.size() * h.palette_entry;
  const size_t pixels_at = (bits_at >= dib_at + h.size && bits_at < file.size()) ? bits_at : palette_end;
  if (pixels_at >= file.size()) return Gdiplus::GenericError;
  const std::span<const uint8_t> bits = file.subspan(pixels_at);

  const size_t stride = ((static_cast<size_t>(h.width) * h.bpp + 31) / 32) * 4;
  const bool rle = h.compression == kBiRle8 || h.compression == kBiRle4;
  // The last row may lack its padding; anything shorter is a truncated file.
  const size_t needed = (static_cast<size_t>(h.height) - 1) * stride + (static_cast<size_t>(h.width) * h.bpp + 7) / 8;
  if (!rle && bits.size() < needed) return Gdiplus::GenericError;

  // Pixels per metre are whole numbers that rarely land on a whole dpi (72 dpi is stored as 2834
  // or 2835); GDI+ reports BMP resolutions rounded to whole dots per inch, and so do we.
  if (h.ppm_x > 0 && h.ppm_y > 0) {
    info.dpiX = std::round(dpi_from_pixels_per_metre(h.ppm_x));
    info.dpiY = std::round(dpi_from_pixels_per_metre(h.ppm_y));
  }
  PixelView view;
  if (Status st = allocate_argb(sink, h.width, h.height, limits, &view); st != Gdiplus::Ok) return st;

  if (rle) {
    const uint32_t background = palette.empty() ? 0xFF000000u : palette[0];
    for (int y = 0; y < view.height; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(view.row(y));
      std::fill(row, row + view.width, background);
    }
    decode_rle(bits, h, palette, view);
  } else {
    const MaskChannel r(h.masks[0]), g(h.masks[1]), b(h.masks[2]), a(h.masks[3]);
    for (int64_t src_row = 0; src_row < h.height; ++src_row) {
      const uint8_t* s = bits.data() + src_row * stride;
      const int y = static_cast<int>(h.top_down ? src_row : h.height - 1 - src_row);
      auto* d = reinterpret_cast<uint32_t*>(view.row(y));
      for (int64_t x = 0; x < h.width; ++x) {
        uint32_t px;
        switch (h.bpp) {
          case 1: case 4: case 8: {
            const size_t bit = static_cast<size_t>(x) * h.bpp;
            const uint32_t index = (s[bit / 8] >> (8 - h.bpp - bit % 8)) & ((1u << h.bpp) - 1);
            px = index < palette.size() ? palette[index] : 0xFF000000u;
            break;
          }
          case 24:
            px = 0xFF000000u | uint32_t{s[3 * x + 2]} << 16 | uint32_t{s[3 * x + 1]} << 8 | s[3 * x];
            break;
          default: {
            const uint32_t v = h.bpp == 16 ? le16(s + 2 * x) : le32(s + 4 * x);
            px = uint32_t{a(v, 0xFF)} << 24 | uint32_t{r(v, 0)} << 16 | uint32_t{g(v, 0)} << 8 | b(v, 0);
            break;
          }
        }
        d[x] = px;
      }
    }
  }

  if (icon_mask) {
    // 32-bit icons carry their own alpha in the fourth byte; the others take it from the AND mask.
    bool own_alpha = false;
    if (h.bpp == 32) {
      for (int64_t src_row = 0; src_row < h.height && !own_alpha; ++src_row) {
        const uint8_t* s = bits.data() + src_row * stride;
        for (int64_t x = 0; x < h.width && !own_alpha; ++x) own_alpha = s[4 * x + 3] != 0;
      }
    }
    for (int64_t src_row = 0; src_row < h.height; ++src_row) {
      const uint8_t* s = bits.data() + src_row * stride;
      const int y = static_cast<int>(h.top_down ? src_row : h.height - 1 - src_row);
      auto* d = reinterpret_cast<uint32_t*>(view.row(y));
      for (int64_t x = 0; x < h.width; ++x) {
        if (own_alpha) d[x] = (d[x] & 0x00FFFFFFu) | uint32_t{s[4 * x + 3]} << 24;
      }
    }
    if (!own_alpha) {
      const size_t mask_stride = ((static_cast<size_t>(h.width) + 31) / 32) * 4;
      const size_t mask_at = static_cast<size_t>(h.height) * stride;
      for (int64_t src_row = 0; src_row < h.height; ++src_row) {
        const size_t at = mask_at + src_row * mask_stride;
        if (at + mask_stride > bits.size()) break;  // no mask: the icon stays opaque
        const uint8_t* m = bits.data() + at;
        const int y = static_cast<int>(h.top_down ? src_row : h.height - 1 - src_row);
        auto* d = reinterpret_cast<uint32_t*>(view.row(y));
        for (int64_t x = 0; x < h.width; ++x)
          if (m[x / 8] & (0x80 >> (x % 8))) d[x] = 0;
      }
    }
  }
  return Gdiplus::Ok;
}

bool sniff_bmp(std::span<const uint8_t> head) { return starts_with(head, "BM", 2); }

Status decode_bmp(std::span<const uint8_t> data, const DecodeOptions& options, DecodeSink& sink, DecodedInfo& info) {
  info.rawFormat = Gdiplus::ImageFormatBMP;
  if (data.size() < 14 + 12 || !sniff_bmp(data)) return Gdiplus::GenericError;
  return decode_dib_at(data, 14, le32(data.data() + 10), false, options.limits, sink, info);
}

}  // namespace

Status decode_dib_pixels(std::span<const uint8_t> dib, bool icon_mask, const DecodeOptions& options, DecodeSink& sink,
                         DecodedInfo& info, size_t bits_at) {
  return decode_dib_at(dib, 0, bits_at, icon_mask, options.limits, sink, info);
}

ZX_REGISTER_CODEC(bmp_decoder, CodecEntry{Gdiplus::ImageFormatBMP, GUID_NULL, u"Built-in BMP Codec", u"image/bmp",
                                          u"*.BMP;*.DIB;*.RLE", sniff_bmp, decode_bmp, nullptr});

}  // namespace zx::gdip::decoders
