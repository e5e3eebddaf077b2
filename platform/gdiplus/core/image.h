// Zentarix GDI+ layer — MIT licence.
// The image object behind GpImage/GpBitmap: pixel storage, palette, lock state and source frames.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "../codecs/codec.h"
#include "gdiplus.h"
#include "pixel_convert.h"

namespace zx::gdip {

// Encoded bytes an image was decoded from (a file's or a stream's, read into memory), kept by images
// with more than one frame so another frame can be decoded later; shared between an image and its
// clones.
struct EncodedSource {
  virtual ~EncodedSource() = default;
  virtual std::span<const uint8_t> bytes() const = 0;
};

enum class ImageKind { Bitmap, Metafile };

// A multi-frame file being written on an image (GdipSaveAdd); defined in multiframe_save.cpp.
struct MultiFrameSave;
struct MultiFrameSaveFree {
  void operator()(MultiFrameSave* save) const noexcept;
};

// Pixel memory from the shared allocator, released with it.
struct PixelFree {
  void operator()(uint8_t* p) const noexcept;
};
using PixelBlock = std::unique_ptr<uint8_t, PixelFree>;

struct LockState {
  bool active = false;
  Gdiplus::Rect rect;
  UINT mode = 0;
  Gdiplus::PixelFormat format = 0;
  uint8_t* buffer = nullptr;  // what Scan0 pointed to
  ptrdiff_t stride = 0;
  bool direct = false;        // Scan0 is the bitmap's own memory
  PixelBlock temp;            // conversion buffer when not direct and not the caller's
};

// A metafile image carries a size and resolution but no pixels; a bitmap owns (or borrows, for
// GdipCreateBitmapFromScan0 with caller memory) its pixel rows.
struct ImageData {
  ImageKind kind = ImageKind::Bitmap;
  GUID rawFormat = Gdiplus::ImageFormatMemoryBMP;
  int width = 0;
  int height = 0;
  float dpiX = 96.0f;
  float dpiY = 96.0f;
  Gdiplus::PixelFormat format = Gdiplus::PixelFormat32bppARGB;
  uint8_t* scan0 = nullptr;
  ptrdiff_t stride = 0;
  PixelBlock pixels;  // empty when the memory is the caller's
  std::vector<Gdiplus::ARGB> palette;
  UINT paletteFlags = 0;
  // Built on the first write into an indexed format; dropped whenever the palette changes.
  mutable std::shared_ptr<const PaletteIndexer> paletteIndex;
  LockState lock;
  // Frames: the source bytes and what decoded them, so SelectActiveFrame can decode frame n.
  std::shared_ptr<const EncodedSource> source;
  const CodecEntry* codec = nullptr;
  bool useEmbeddedColorManagement = false;
  GUID frameDimension = Gdiplus::FrameDimensionPage;
  UINT frameCount = 1;
  UINT activeFrame = 0;
  // The decoder's progress after the active frame, so that the next frame continues from it.
  std::unique_ptr<DecoderState> decoderState;
  std::vector<PropertyData> properties;  // metadata items (GdipGetPropertyItem)
  std::unique_ptr<MultiFrameSave, MultiFrameSaveFree> multiFrameSave;  // the file opened by a save

  PixelView view() const { return PixelView{scan0, width, height, stride, format}; }
};

inline ImageData* impl(Gdiplus::GpImage* p) { return reinterpret_cast<ImageData*>(p); }
inline Gdiplus::GpImage* handle_of(ImageData* p) { return reinterpret_cast<Gdiplus::GpImage*>(p); }
inline Gdiplus::GpBitmap* bitmap_of(ImageData* p) { return reinterpret_cast<Gdiplus::GpBitmap*>(p); }

// Rows are 4-byte aligned, as in every GDI+ and DIB layout. Returns 0 when the row overflows.
ptrdiff_t stride_for(int width, Gdiplus::PixelFormat format);
bool is_supported_format(Gdiplus::PixelFormat format);

// Allocates zeroed pixels for a new bitmap; OutOfMemory before any allocation when the size cannot
// be held (the product overflows or exceeds what one block may hold). A copy that writes every
// byte at once may skip the zeroing: only a 32-bpp bitmap (rows without padding) may ask for that.
Gdiplus::Status allocate_pixels(ImageData& image, int width, int height, Gdiplus::PixelFormat format,
                                bool zeroed = true);
// A fresh in-memory bitmap (MemoryBMP, 96 dpi, zeroed unless asked otherwise as above). Null with
// *status set on failure.
std::unique_ptr<ImageData> make_bitmap(int width, int height, Gdiplus::PixelFormat format, Gdiplus::Status* status,
                                       bool zeroed = true);
// Whether a copy into this format writes every byte of its rows, so that it needs no zeroed memory.
inline bool copy_fills_rows(Gdiplus::PixelFormat format) { return Gdiplus::GetPixelFormatSize(format) == 32; }
// The default palette GDI+ gives new indexed bitmaps: black/white, the 16 VGA colours, halftone.
void set_default_palette(ImageData& image);
// The palette as the row kernels take it (the nearest-entry index built on demand).
PaletteRef palette_ref(const ImageData& image);
void set_palette(ImageData& image, std::vector<Gdiplus::ARGB> entries, UINT flags);
// The library's own 256-entry halftone palette (halftone.cpp).
const std::vector<Gdiplus::ARGB>& halftone_palette();
// Rows of pixels starting at column x of scan0, in one format with its palette.
struct Region {
  uint8_t* scan0;
  ptrdiff_t stride;
  int x;
  Gdiplus::PixelFormat format;
  PaletteRef palette;
};
// Converts width x height pixels. samePalette: both sides index the same palette, so indices are
// copied as they are (a colour lookup only for an index the target cannot hold).
void convert_region(const Region& src, const Region& dst, int width, int height, bool samePalette);
// Copies a rectangle of src (converted) into dst's pixels at (0,0); both unlocked, rect inside src.
Gdiplus::Status copy_converted(const ImageData& src, const Gdiplus::Rect& rect, ImageData& dst);

// Decodes the active frame of image.source into image (pixels, palette, size, format, dpi).
Gdiplus::Status decode_frame(ImageData& image, UINT frame);

// A regular file's whole content, read (not mapped). File errors as GDI+ reports them (with the
// thread's last Win32 error set); InvalidParameter for a file larger than maxBytes.
Gdiplus::Status read_file(const WCHAR* filename, std::shared_ptr<const EncodedSource>* out,
                          size_t maxBytes = SIZE_MAX);

}  // namespace zx::gdip
