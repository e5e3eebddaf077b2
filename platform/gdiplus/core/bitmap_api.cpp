// Zentarix GDI+ layer — MIT licence.
// Flat API of bitmaps in memory: startup, creation, properties, locks, pixels, palettes, clones.
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>

#include <zx/pixel_memory.h>

#include "guard.h"
#include "image.h"

using namespace Gdiplus;
using namespace zx::gdip;

namespace {
std::atomic<long> g_startups{0};
std::atomic<ULONG_PTR> g_nextToken{1};

bool rect_inside(const ImageData& image, const Rect& r) {
  return r.Width > 0 && r.Height > 0 && r.X >= 0 && r.Y >= 0 && int64_t{r.X} + r.Width <= image.width &&
         int64_t{r.Y} + r.Height <= image.height;
}
bool is_bitmap(const ImageData& image) { return image.kind == ImageKind::Bitmap; }
}  // namespace

namespace Gdiplus {

// The library starts no thread and holds no per-session state, so startup only counts; calls made
// outside a session work too.
Status WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output) {
  if (!token || !input) return InvalidParameter;
  if (input->GdiplusVersion != 1) return UnsupportedGdiplusVersion;
  if (input->SuppressBackgroundThread && !output) return InvalidParameter;
  if (output) {
    output->NotificationHook = nullptr;
    output->NotificationUnhook = nullptr;
  }
  ++g_startups;
  *token = g_nextToken++;
  return Ok;
}

void WINAPI GdiplusShutdown(ULONG_PTR token) {
  if (token == 0) return;
  long n = g_startups.load();
  while (n > 0 && !g_startups.compare_exchange_weak(n, n - 1)) {
  }
}

namespace DllExports {

Status WINAPI GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                                        GpBitmap** bitmap) {
  return guarded([&] {
    if (!bitmap) return InvalidParameter;
    if (width <= 0 || height <= 0 || !is_supported_format(format)) return InvalidParameter;
    Status status = Ok;
    std::unique_ptr<ImageData> image;
    if (scan0) {
      ptrdiff_t minimum = stride_for(width, format);
      if (stride % 4 != 0 || std::abs(int64_t{stride}) < minimum || minimum == 0) return InvalidParameter;
      image = std::make_unique<ImageData>();
      image->width = width;
      image->height = height;
      image->format = format;
      image->scan0 = scan0;
      image->stride = stride;
      set_default_palette(*image);
    } else {
      if (stride != 0 && stride % 4 != 0) return InvalidParameter;
      image = make_bitmap(width, height, format, &status);
      if (!image) return status;
    }
    *bitmap = bitmap_of(image.release());
    return Ok;
  });
}

Status WINAPI GdipDisposeImage(GpImage* image) {
  if (!image) return InvalidParameter;
  delete impl(image);
  return Ok;
}

Status WINAPI GdipGetImageType(GpImage* image, ImageType* type) {
  if (!image || !type) return InvalidParameter;
  *type = is_bitmap(*impl(image)) ? ImageTypeBitmap : ImageTypeMetafile;
  return Ok;
}
Status WINAPI GdipGetImageWidth(GpImage* image, UINT* width) {
  if (!image || !width) return InvalidParameter;
  *width = static_cast<UINT>(impl(image)->width);
  return Ok;
}
Status WINAPI GdipGetImageHeight(GpImage* image, UINT* height) {
  if (!image || !height) return InvalidParameter;
  *height = static_cast<UINT>(impl(image)->height);
  return Ok;
}
Status WINAPI GdipGetImagePixelFormat(GpImage* image, PixelFormat* format) {
  if (!image || !format) return InvalidParameter;
  *format = impl(image)->format;
  return Ok;
}
Status WINAPI GdipGetImageRawFormat(GpImage* image, GUID* format) {
  if (!image || !format) return InvalidParameter;
  *format = impl(image)->rawFormat;
  return Ok;
}
Status WINAPI GdipGetImageHorizontalResolution(GpImage* image, REAL* resolution) {
  if (!image || !resolution) return InvalidParameter;
  *resolution = impl(image)->dpiX;
  return Ok;
}
Status WINAPI GdipGetImageVerticalResolution(GpImage* image, REAL* resolution) {
  if (!image || !resolution) return InvalidParameter;
  *resolution = impl(image)->dpiY;
  return Ok;
}
Status WINAPI GdipBitmapSetResolution(GpBitmap* bitmap, REAL xdpi, REAL ydpi) {
  if (!bitmap || !(xdpi > 0) || !(ydpi > 0) || !std::isfinite(xdpi) || !std::isfinite(ydpi)) return InvalidParameter;
  ImageData& image = *impl(bitmap);
  image.dpiX = xdpi;
  image.dpiY = ydpi;
  return Ok;
}

// A palette block is the 8-byte header plus its entries, never smaller than sizeof(ColorPalette).
Status WINAPI GdipGetImagePaletteSize(GpImage* image, INT* size) {
  if (!image || !size) return InvalidParameter;
  size_t count = impl(image)->palette.size();
  *size = static_cast<INT>(offsetof(ColorPalette, Entries) + sizeof(ARGB) * (count ? count : 1));
  return Ok;
}
Status WINAPI GdipGetImagePalette(GpImage* image, ColorPalette* palette, INT size) {
  if (!image || !palette) return InvalidParameter;
  INT needed = 0;
  GdipGetImagePaletteSize(image, &needed);
  if (size < needed) return InvalidParameter;
  const ImageData& img = *impl(image);
  palette->Flags = img.paletteFlags;
  palette->Count = static_cast<UINT>(img.palette.size());
  if (!img.palette.empty()) std::memcpy(palette->Entries, img.palette.data(), img.palette.size() * sizeof(ARGB));
  return Ok;
}
Status WINAPI GdipSetImagePalette(GpImage* image, const ColorPalette* palette) {
  return guarded([&] {
    if (!image || !palette || palette->Count == 0 || palette->Count > 256) return InvalidParameter;
    ImageData& img = *impl(image);
    if (IsIndexedPixelFormat(img.format) && palette->Count > (1u << GetPixelFormatSize(img.format)))
      return InvalidParameter;
    set_palette(img, std::vector<ARGB>(palette->Entries, palette->Entries + palette->Count), palette->Flags);
    return Ok;
  });
}

// Locks. Indexed lock formats are offered only on indexed bitmaps (their palette gives the
// indices a meaning); asking an RGB bitmap for indices is InvalidParameter.
Status WINAPI GdipBitmapLockBits(GpBitmap* bitmap, const Rect* rect, UINT flags, PixelFormat format,
                                 BitmapData* data) {
  return guarded([&] {
    if (!bitmap || !data) return InvalidParameter;
    ImageData& image = *impl(bitmap);
    if (!is_bitmap(image)) return InvalidParameter;
    if (image.lock.active) return WrongState;
    if (!(flags & (ImageLockModeRead | ImageLockModeWrite)) || (flags & ~7u)) return InvalidParameter;
    if (!is_supported_format(format)) return InvalidParameter;
    if (IsIndexedPixelFormat(format) && !IsIndexedPixelFormat(image.format)) return InvalidParameter;
    Rect r = rect ? *rect : Rect(0, 0, image.width, image.height);
    if (!rect_inside(image, r)) return InvalidParameter;
    const bool user = (flags & ImageLockModeUserInputBuf) != 0;
    if (user && (!data->Scan0 || data->Stride == 0 || std::abs(int64_t{data->Stride}) < stride_for(r.Width, format)))
      return InvalidParameter;

    LockState lock;
    lock.rect = r;
    lock.mode = flags;
    lock.format = format;
    const UINT bits = GetPixelFormatSize(format);
    if (!user && format == image.format && (int64_t{r.X} * bits) % 8 == 0) {
      lock.direct = true;
      lock.buffer = image.scan0 + r.Y * image.stride + size_t(r.X) * bits / 8;
      lock.stride = image.stride;
    } else {
      if (user) {
        lock.buffer = static_cast<uint8_t*>(data->Scan0);
        lock.stride = data->Stride;
      } else {
        lock.stride = stride_for(r.Width, format);
        lock.temp.reset(static_cast<uint8_t*>(zx::pixel_alloc_zeroed(size_t(lock.stride) * size_t(r.Height))));
        if (!lock.temp) return OutOfMemory;
        lock.buffer = lock.temp.get();
      }
      if (flags & ImageLockModeRead) {
        Region from{image.scan0 + r.Y * image.stride, image.stride, r.X, image.format, palette_ref(image)};
        Region to{lock.buffer, lock.stride, 0, format, palette_ref(image)};
        convert_region(from, to, r.Width, r.Height, true);
      }
    }
    data->Width = static_cast<UINT>(r.Width);
    data->Height = static_cast<UINT>(r.Height);
    data->Stride = static_cast<INT>(lock.stride);
    data->PixelFormat = format;
    data->Scan0 = lock.buffer;
    data->Reserved = 0;
    lock.active = true;
    image.lock = std::move(lock);
    return Ok;
  });
}

// Write-back converts the locked buffer into the bitmap (indexed targets by nearest palette entry).
Status WINAPI GdipBitmapUnlockBits(GpBitmap* bitmap, BitmapData* data) {
  return guarded([&] {
    if (!bitmap || !data) return InvalidParameter;
    ImageData& image = *impl(bitmap);
    if (!image.lock.active) return WrongState;
    LockState& lock = image.lock;
    if ((lock.mode & ImageLockModeWrite) && !lock.direct) {
      const Rect& r = lock.rect;
      Region from{lock.buffer, lock.stride, 0, lock.format, palette_ref(image)};
      Region to{image.scan0 + r.Y * image.stride, image.stride, r.X, image.format, palette_ref(image)};
      convert_region(from, to, r.Width, r.Height, true);
    }
    image.lock = LockState{};
    return Ok;
  });
}

Status WINAPI GdipBitmapGetPixel(GpBitmap* bitmap, INT x, INT y, ARGB* color) {
  if (!bitmap || !color) return InvalidParameter;
  ImageData& image = *impl(bitmap);
  if (!is_bitmap(image) || x < 0 || y < 0 || x >= image.width || y >= image.height) return InvalidParameter;
  if (image.lock.active) return WrongState;
  read_argb(image.format, image.scan0 + y * image.stride, x, 1, palette_ref(image), color);
  return Ok;
}

Status WINAPI GdipBitmapSetPixel(GpBitmap* bitmap, INT x, INT y, ARGB color) {
  return guarded([&] {
    if (!bitmap) return InvalidParameter;
    ImageData& image = *impl(bitmap);
    if (!is_bitmap(image) || IsIndexedPixelFormat(image.format)) return InvalidParameter;
    if (x < 0 || y < 0 || x >= image.width || y >= image.height) return InvalidParameter;
    if (image.lock.active) return WrongState;
    write_argb(image.format, &color, image.scan0 + y * image.stride, x, 1, PaletteRef{});
    return Ok;
  });
}

Status WINAPI GdipCloneImage(GpImage* image, GpImage** cloneImage) {
  return guarded([&] {
    if (!image || !cloneImage) return InvalidParameter;
    const ImageData& src = *impl(image);
    if (src.lock.active) return WrongState;
    auto copy = std::make_unique<ImageData>();
    copy->kind = src.kind;
    copy->rawFormat = src.rawFormat;
    copy->width = src.width;
    copy->height = src.height;
    copy->dpiX = src.dpiX;
    copy->dpiY = src.dpiY;
    copy->format = src.format;
    copy->source = src.source;
    copy->codec = src.codec;
    copy->useEmbeddedColorManagement = src.useEmbeddedColorManagement;
    copy->frameDimension = src.frameDimension;
    copy->frameCount = src.frameCount;
    copy->activeFrame = src.activeFrame;
    copy->properties = src.properties;
    if (is_bitmap(src)) {
      Status status = allocate_pixels(*copy, src.width, src.height, src.format, !copy_fills_rows(src.format));
      if (status != Ok) return status;
      set_palette(*copy, src.palette, src.paletteFlags);
      copy_converted(src, Rect(0, 0, src.width, src.height), *copy);
    }
    *cloneImage = handle_of(copy.release());
    return Ok;
  });
}

// A rectangle that is empty or reaches outside the source is InvalidParameter (GDI+ answers such
// requests with OutOfMemory or InvalidParameter depending on the path; one clear code is kept here).
Status WINAPI GdipCloneBitmapAreaI(INT x, INT y, INT width, INT height, PixelFormat format, GpBitmap* srcBitmap,
                                   GpBitmap** dstBitmap) {
  return guarded([&] {
    if (!srcBitmap || !dstBitmap) return InvalidParameter;
    const ImageData& src = *impl(srcBitmap);
    if (!is_bitmap(src)) return InvalidParameter;
    Rect r(x, y, width, height);
    if (!rect_inside(src, r)) return InvalidParameter;
    if (format == PixelFormatDontCare) format = src.format;
    if (!is_supported_format(format)) return InvalidParameter;
    if (src.lock.active) return WrongState;
    Status status = Ok;
    auto copy = make_bitmap(width, height, format, &status, false);  // the copy writes every pixel
    if (!copy) return status;
    copy->dpiX = src.dpiX;
    copy->dpiY = src.dpiY;
    // An indexed copy keeps the source's palette when it fits, else the default one of its depth.
    if (IsIndexedPixelFormat(format) && !src.palette.empty() &&
        src.palette.size() <= (size_t{1} << GetPixelFormatSize(format)))
      set_palette(*copy, src.palette, src.paletteFlags);
    copy_converted(src, r, *copy);
    *dstBitmap = bitmap_of(copy.release());
    return Ok;
  });
}

Status WINAPI GdipCloneBitmapArea(REAL x, REAL y, REAL width, REAL height, PixelFormat format, GpBitmap* srcBitmap,
                                  GpBitmap** dstBitmap) {
  auto fits = [](REAL v) { return std::isfinite(v) && v > -1e9f && v < 1e9f; };
  if (!fits(x) || !fits(y) || !fits(width) || !fits(height)) return InvalidParameter;
  return GdipCloneBitmapAreaI(static_cast<INT>(std::lround(x)), static_cast<INT>(std::lround(y)),
                              static_cast<INT>(std::lround(width)), static_cast<INT>(std::lround(height)), format,
                              srcBitmap, dstBitmap);
}

// Rotation is clockwise and applied before the horizontal flip, as RotateFlipType names read.
Status WINAPI GdipImageRotateFlip(GpImage* image, RotateFlipType type) {
  return guarded([&] {
    if (!image || type < 0 || type > 7) return InvalidParameter;
    ImageData& img = *impl(image);
    if (!is_bitmap(img)) return NotImplemented;
    if (img.lock.active) return WrongState;
    if (type == RotateNoneFlipNone) return Ok;
    const int rotation = type & 3;
    const bool flip = type >= 4;
    const int W = img.width, H = img.height;
    const int nw = (rotation & 1) ? H : W, nh = (rotation & 1) ? W : H;
    ImageData out;
    Status status = allocate_pixels(out, nw, nh, img.format);
    if (status != Ok) return status;
    const UINT bits = GetPixelFormatSize(img.format);
    const size_t bytes = bits / 8;
    for (int y = 0; y < nh; ++y) {
      uint8_t* d = out.scan0 + y * out.stride;
      for (int x = 0; x < nw; ++x) {
        int xr = flip ? nw - 1 - x : x;
        int sx = 0, sy = 0;
        switch (rotation) {
          case 0: sx = xr, sy = y; break;
          case 1: sx = y, sy = H - 1 - xr; break;
          case 2: sx = W - 1 - xr, sy = H - 1 - y; break;
          default: sx = W - 1 - y, sy = xr; break;
        }
        const uint8_t* s = img.scan0 + sy * img.stride;
        if (bits >= 8)
          std::memcpy(d + x * bytes, s + sx * bytes, bytes);
        else
          write_index(img.format, d, x, read_index(img.format, s, sx));
      }
    }
    img.pixels = std::move(out.pixels);
    img.scan0 = out.scan0;
    img.stride = out.stride;
    img.width = nw;
    img.height = nh;
    if (rotation & 1) std::swap(img.dpiX, img.dpiY);
    return Ok;
  });
}

Status WINAPI GdipImageGetFrameDimensionsCount(GpImage* image, UINT* count) {
  if (!image || !count) return InvalidParameter;
  *count = 1;
  return Ok;
}
Status WINAPI GdipImageGetFrameDimensionsList(GpImage* image, GUID* dimensionIDs, UINT count) {
  if (!image || !dimensionIDs || count != 1) return InvalidParameter;
  dimensionIDs[0] = impl(image)->frameDimension;
  return Ok;
}
Status WINAPI GdipImageGetFrameCount(GpImage* image, const GUID* dimensionID, UINT* count) {
  if (!image || !dimensionID || !count) return InvalidParameter;
  if (*dimensionID != impl(image)->frameDimension) return InvalidParameter;
  *count = impl(image)->frameCount;
  return Ok;
}
Status WINAPI GdipImageSelectActiveFrame(GpImage* image, const GUID* dimensionID, UINT frameIndex) {
  return guarded([&] {
    if (!image || !dimensionID) return InvalidParameter;
    ImageData& img = *impl(image);
    if (*dimensionID != img.frameDimension || frameIndex >= img.frameCount) return InvalidParameter;
    if (img.lock.active) return WrongState;
    if (frameIndex == img.activeFrame) return Ok;
    if (!img.source || !img.codec) return InvalidParameter;
    return decode_frame(img, frameIndex);
  });
}

}  // namespace DllExports
}  // namespace Gdiplus
