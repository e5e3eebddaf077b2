// Zentarix GDI+ layer — MIT licence.
// The GDI+ subset: the flat C API exported by libzxgdiplus and the inline Gdiplus wrapper classes.
//
// As with the SDK, the flat functions are the binary interface (extern "C", in
// Gdiplus::DllExports) and the classes are header-only wrappers over them. Every wrapper object
// records its last FAILING status: a failing call stores it, GetLastStatus() returns it and resets it
// to Ok, and a later success does not clear it.
#pragma once
#include <objidl.h>

#include "gdiplustypes.h"
#include "wingdi.h"

namespace Gdiplus {

using DebugEventProc = void(WINAPI*)(int level, char* message);
using NotificationHookProc = Status(WINAPI*)(ULONG_PTR* token);
using NotificationUnhookProc = void(WINAPI*)(ULONG_PTR token);

struct GdiplusStartupInput {
  uint32_t GdiplusVersion;
  DebugEventProc DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
  GdiplusStartupInput(DebugEventProc debugEventCallback = nullptr, BOOL suppressBackgroundThread = FALSE,
                      BOOL suppressExternalCodecs = FALSE)
      : GdiplusVersion(1),
        DebugEventCallback(debugEventCallback),
        SuppressBackgroundThread(suppressBackgroundThread),
        SuppressExternalCodecs(suppressExternalCodecs) {}
};
struct GdiplusStartupOutput {
  NotificationHookProc NotificationHook;
  NotificationUnhookProc NotificationUnhook;
};

enum ImageType : int32_t { ImageTypeUnknown = 0, ImageTypeBitmap = 1, ImageTypeMetafile = 2 };

enum ImageCodecFlags : DWORD {
  ImageCodecFlagsEncoder = 0x00000001,
  ImageCodecFlagsDecoder = 0x00000002,
  ImageCodecFlagsSupportBitmap = 0x00000004,
  ImageCodecFlagsSupportVector = 0x00000008,
  ImageCodecFlagsSeekableEncode = 0x00000010,
  ImageCodecFlagsBlockingDecode = 0x00000020,
  ImageCodecFlagsBuiltin = 0x00010000,
  ImageCodecFlagsSystem = 0x00020000,
  ImageCodecFlagsUser = 0x00040000
};

// A colour as GDI+ holds it: ARGB, not premultiplied.
class Color {
 public:
  enum : ARGB { AlphaShift = 24, RedShift = 16, GreenShift = 8, BlueShift = 0 };
  enum : ARGB { Black = 0xFF000000, White = 0xFFFFFFFF, Transparent = 0x00FFFFFF };
  Color() : m_argb(Black) {}
  Color(BYTE r, BYTE g, BYTE b) : m_argb(MakeARGB(255, r, g, b)) {}
  Color(BYTE a, BYTE r, BYTE g, BYTE b) : m_argb(MakeARGB(a, r, g, b)) {}
  Color(ARGB argb) : m_argb(argb) {}  // NOLINT: implicit as in the SDK
  BYTE GetAlpha() const { return static_cast<BYTE>(m_argb >> AlphaShift); }
  BYTE GetA() const { return GetAlpha(); }
  BYTE GetRed() const { return static_cast<BYTE>(m_argb >> RedShift); }
  BYTE GetR() const { return GetRed(); }
  BYTE GetGreen() const { return static_cast<BYTE>(m_argb >> GreenShift); }
  BYTE GetG() const { return GetGreen(); }
  BYTE GetBlue() const { return static_cast<BYTE>(m_argb >> BlueShift); }
  BYTE GetB() const { return GetBlue(); }
  ARGB GetValue() const { return m_argb; }
  void SetValue(ARGB argb) { m_argb = argb; }
  COLORREF ToCOLORREF() const { return RGB(GetRed(), GetGreen(), GetBlue()); }
  void SetFromCOLORREF(COLORREF rgb) { m_argb = MakeARGB(255, GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)); }
  static ARGB MakeARGB(BYTE a, BYTE r, BYTE g, BYTE b) {
    return (ARGB{a} << AlphaShift) | (ARGB{r} << RedShift) | (ARGB{g} << GreenShift) | (ARGB{b} << BlueShift);
  }

 protected:
  ARGB m_argb;
};

// Opaque handles of the flat API. A GpBitmap is a GpImage.
class GpImage {};
class GpBitmap : public GpImage {};

extern "C" {
// Counted: every successful startup needs one shutdown with its token. The library starts no thread,
// so the output hooks are set to null whatever SuppressBackgroundThread says. Version must be 1.
ZX_API Status WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
ZX_API void WINAPI GdiplusShutdown(ULONG_PTR token);
}

namespace DllExports {
extern "C" {
// --- creation and disposal ---
// scan0 null: the library allocates zeroed (fully transparent) pixels and computes the stride;
// otherwise the bitmap uses the caller's rows in place (stride a multiple of 4) and never frees them.
ZX_API Status WINAPI GdipCreateBitmapFromScan0(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0,
                                                GpBitmap** bitmap);
// Decoding: FileNotFound / AccessDenied / Win32Error (with SetLastError) for file errors,
// UnknownImageFormat when no codec recognises the data, OutOfMemory when the pixels cannot be held.
ZX_API Status WINAPI GdipCreateBitmapFromFile(const WCHAR* filename, GpBitmap** bitmap);
ZX_API Status WINAPI GdipCreateBitmapFromFileICM(const WCHAR* filename, GpBitmap** bitmap);
// Reads from the stream's current position to its end; the stream is not sought first.
ZX_API Status WINAPI GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap);
ZX_API Status WINAPI GdipCreateBitmapFromStreamICM(IStream* stream, GpBitmap** bitmap);
ZX_API Status WINAPI GdipLoadImageFromFile(const WCHAR* filename, GpImage** image);
ZX_API Status WINAPI GdipLoadImageFromFileICM(const WCHAR* filename, GpImage** image);
ZX_API Status WINAPI GdipLoadImageFromStream(IStream* stream, GpImage** image);
ZX_API Status WINAPI GdipLoadImageFromStreamICM(IStream* stream, GpImage** image);
ZX_API Status WINAPI GdipDisposeImage(GpImage* image);
ZX_API Status WINAPI GdipCloneImage(GpImage* image, GpImage** cloneImage);
// Out-of-bounds or empty rectangles give InvalidParameter.
ZX_API Status WINAPI GdipCloneBitmapArea(REAL x, REAL y, REAL width, REAL height, PixelFormat format,
                                          GpBitmap* srcBitmap, GpBitmap** dstBitmap);
ZX_API Status WINAPI GdipCloneBitmapAreaI(INT x, INT y, INT width, INT height, PixelFormat format,
                                           GpBitmap* srcBitmap, GpBitmap** dstBitmap);

// --- properties ---
ZX_API Status WINAPI GdipGetImageType(GpImage* image, ImageType* type);
ZX_API Status WINAPI GdipGetImageWidth(GpImage* image, UINT* width);
ZX_API Status WINAPI GdipGetImageHeight(GpImage* image, UINT* height);
ZX_API Status WINAPI GdipGetImagePixelFormat(GpImage* image, PixelFormat* format);
ZX_API Status WINAPI GdipGetImageRawFormat(GpImage* image, GUID* format);
ZX_API Status WINAPI GdipGetImageHorizontalResolution(GpImage* image, REAL* resolution);
ZX_API Status WINAPI GdipGetImageVerticalResolution(GpImage* image, REAL* resolution);
// Resolutions must be positive.
ZX_API Status WINAPI GdipBitmapSetResolution(GpBitmap* bitmap, REAL xdpi, REAL ydpi);
ZX_API Status WINAPI GdipGetImagePaletteSize(GpImage* image, INT* size);
ZX_API Status WINAPI GdipGetImagePalette(GpImage* image, ColorPalette* palette, INT size);
ZX_API Status WINAPI GdipSetImagePalette(GpImage* image, const ColorPalette* palette);

// --- pixels ---
// One lock at a time: a second lock is refused with WrongState. A lock in the bitmap's own format
// (without UserInputBuf) hands out the bitmap's memory; any other format is converted on lock
// (Read) and back on unlock (Write).
ZX_API Status WINAPI GdipBitmapLockBits(GpBitmap* bitmap, const Rect* rect, UINT flags, PixelFormat format,
                                         BitmapData* lockedData);
ZX_API Status WINAPI GdipBitmapUnlockBits(GpBitmap* bitmap, BitmapData* lockedData);
// Out of bounds: InvalidParameter. SetPixel on an indexed bitmap: InvalidParameter.
ZX_API Status WINAPI GdipBitmapGetPixel(GpBitmap* bitmap, INT x, INT y, ARGB* color);
ZX_API Status WINAPI GdipBitmapSetPixel(GpBitmap* bitmap, INT x, INT y, ARGB color);
ZX_API Status WINAPI GdipImageRotateFlip(GpImage* image, RotateFlipType rfType);

// --- frames ---
ZX_API Status WINAPI GdipImageGetFrameDimensionsCount(GpImage* image, UINT* count);
ZX_API Status WINAPI GdipImageGetFrameDimensionsList(GpImage* image, GUID* dimensionIDs, UINT count);
ZX_API Status WINAPI GdipImageGetFrameCount(GpImage* image, const GUID* dimensionID, UINT* count);
ZX_API Status WINAPI GdipImageSelectActiveFrame(GpImage* image, const GUID* dimensionID, UINT frameIndex);

// --- property items ---
// An image's metadata items (a decoded GIF's frame delays, loop count, palette...). The size of an
// item is sizeof(PropertyItem) plus its value bytes; GdipGetPropertyItem writes the header and the
// value into one caller block of that size (InsufficientBuffer when it is shorter). Unknown ids:
// PropertyNotFound. GdipSetPropertyItem adds the item or replaces the one with its id (value copied).
ZX_API Status WINAPI GdipGetPropertyCount(GpImage* image, UINT* numOfProperty);
ZX_API Status WINAPI GdipGetPropertyIdList(GpImage* image, UINT numOfProperty, PROPID* list);
ZX_API Status WINAPI GdipGetPropertyItemSize(GpImage* image, PROPID propId, UINT* size);
ZX_API Status WINAPI GdipGetPropertyItem(GpImage* image, PROPID propId, UINT propSize, PropertyItem* buffer);
ZX_API Status WINAPI GdipSetPropertyItem(GpImage* image, const PropertyItem* item);
ZX_API Status WINAPI GdipRemovePropertyItem(GpImage* image, PROPID propId);

// --- GDI bridges ---
// Partly transparent pixels are composed over background (ARGB; its alpha is ignored).
ZX_API Status WINAPI GdipCreateHBITMAPFromBitmap(GpBitmap* bitmap, HBITMAP* hbmReturn, ARGB background);
// The result is 32bppRGB with every pixel opaque; hpal (may be 0) colours palette-based handles.
ZX_API Status WINAPI GdipCreateBitmapFromHBITMAP(HBITMAP hbm, HPALETTE hpal, GpBitmap** bitmap);
// Our own 256-entry halftone palette: see halftone.cpp.
ZX_API HPALETTE WINAPI GdipCreateHalftonePalette();

// --- codecs ---
// The arrays are written into one caller block of the size *Size returns (strings included).
ZX_API Status WINAPI GdipGetImageEncodersSize(UINT* numEncoders, UINT* size);
ZX_API Status WINAPI GdipGetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders);
ZX_API Status WINAPI GdipGetImageDecodersSize(UINT* numDecoders, UINT* size);
ZX_API Status WINAPI GdipGetImageDecoders(UINT numDecoders, UINT size, ImageCodecInfo* decoders);
// Saves through the encoder with that CLSID. Parameters read: EncoderQuality, EncoderCompression,
// EncoderColorDepth (Long values). A file is written whole or not at all. The encoder sees the
// bitmap in place when its format is 1/4/8 bpp indexed, 24bppRGB, 32bppRGB or 32bppARGB, else a
// 32bppARGB copy.
ZX_API Status WINAPI GdipSaveImageToFile(GpImage* image, const WCHAR* filename, const CLSID* clsidEncoder,
                                          const EncoderParameters* encoderParams);
ZX_API Status WINAPI GdipSaveImageToStream(GpImage* image, IStream* stream, const CLSID* clsidEncoder,
                                            const EncoderParameters* encoderParams);
// Multi-frame files (GIF, TIFF). A save whose EncoderSaveFlag is EncoderValueMultiFrame opens a
// file on the image instead of writing it: the image is its first frame, and a file target must be
// creatable then (its errors are reported by that save). Each frame is encoded when it is added:
// GdipSaveAddImage adds newImage (its active frame), GdipSaveAdd the image's own active frame, each
// with the save flag naming the format's frame dimension (FrameDimensionTime for GIF, Page for
// TIFF) and its own Compression and ColorDepth parameters. GdipSaveAdd with EncoderValueFlush
// writes the whole file (or the stream) and closes it. A GIF frame carries the delay of its
// FrameDelay property; any frame that is not indexed is reduced to the halftone palette, a
// fully transparent pixel becoming the transparent index. Without an open file: WrongState. Any
// failing SaveAdd or SaveAddImage abandons the file: nothing is written and the image holds no file
// any more. A file never flushed is never written. The save flag of a format without multi-frame
// files (JPEG, PNG, BMP) is ignored.
ZX_API Status WINAPI GdipSaveAdd(GpImage* image, const EncoderParameters* encoderParams);
ZX_API Status WINAPI GdipSaveAddImage(GpImage* image, GpImage* newImage, const EncoderParameters* encoderParams);
}
}  // namespace DllExports

// ---------------------------------------------------------------------------------------------
// Wrapper classes (inline, as the SDK's).

class Image {
 public:
  Image(const WCHAR* filename, BOOL useEmbeddedColorManagement = FALSE) : m_native(nullptr), m_lastResult(Ok) {
    SetStatus(useEmbeddedColorManagement ? DllExports::GdipLoadImageFromFileICM(filename, &m_native)
                                         : DllExports::GdipLoadImageFromFile(filename, &m_native));
  }
  Image(IStream* stream, BOOL useEmbeddedColorManagement = FALSE) : m_native(nullptr), m_lastResult(Ok) {
    SetStatus(useEmbeddedColorManagement ? DllExports::GdipLoadImageFromStreamICM(stream, &m_native)
                                         : DllExports::GdipLoadImageFromStream(stream, &m_native));
  }
  static Image* FromFile(const WCHAR* filename, BOOL useEmbeddedColorManagement = FALSE) {
    return new Image(filename, useEmbeddedColorManagement);
  }
  static Image* FromStream(IStream* stream, BOOL useEmbeddedColorManagement = FALSE) {
    return new Image(stream, useEmbeddedColorManagement);
  }
  virtual ~Image() { DllExports::GdipDisposeImage(m_native); }
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  virtual Image* Clone() {
    GpImage* clone = nullptr;
    SetStatus(DllExports::GdipCloneImage(m_native, &clone));
    return new Image(clone, m_lastResult);
  }
  Status Save(const WCHAR* filename, const CLSID* clsidEncoder, const EncoderParameters* params = nullptr) {
    return SetStatus(DllExports::GdipSaveImageToFile(m_native, filename, clsidEncoder, params));
  }
  Status Save(IStream* stream, const CLSID* clsidEncoder, const EncoderParameters* params = nullptr) {
    return SetStatus(DllExports::GdipSaveImageToStream(m_native, stream, clsidEncoder, params));
  }
  ImageType GetType() const {
    ImageType type = ImageTypeUnknown;
    SetStatus(DllExports::GdipGetImageType(m_native, &type));
    return type;
  }
  UINT GetWidth() {
    UINT w = 0;
    SetStatus(DllExports::GdipGetImageWidth(m_native, &w));
    return w;
  }
  UINT GetHeight() {
    UINT h = 0;
    SetStatus(DllExports::GdipGetImageHeight(m_native, &h));
    return h;
  }
  REAL GetHorizontalResolution() {
    REAL r = 0;
    SetStatus(DllExports::GdipGetImageHorizontalResolution(m_native, &r));
    return r;
  }
  REAL GetVerticalResolution() {
    REAL r = 0;
    SetStatus(DllExports::GdipGetImageVerticalResolution(m_native, &r));
    return r;
  }
  PixelFormat GetPixelFormat() {
    PixelFormat f = PixelFormatUndefined;
    SetStatus(DllExports::GdipGetImagePixelFormat(m_native, &f));
    return f;
  }
  Status GetRawFormat(GUID* format) { return SetStatus(DllExports::GdipGetImageRawFormat(m_native, format)); }
  INT GetPaletteSize() {
    INT size = 0;
    SetStatus(DllExports::GdipGetImagePaletteSize(m_native, &size));
    return size;
  }
  Status GetPalette(ColorPalette* palette, INT size) {
    return SetStatus(DllExports::GdipGetImagePalette(m_native, palette, size));
  }
  Status SetPalette(const ColorPalette* palette) { return SetStatus(DllExports::GdipSetImagePalette(m_native, palette)); }
  Status RotateFlip(RotateFlipType type) { return SetStatus(DllExports::GdipImageRotateFlip(m_native, type)); }
  UINT GetFrameDimensionsCount() {
    UINT count = 0;
    SetStatus(DllExports::GdipImageGetFrameDimensionsCount(m_native, &count));
    return count;
  }
  Status GetFrameDimensionsList(GUID* ids, UINT count) {
    return SetStatus(DllExports::GdipImageGetFrameDimensionsList(m_native, ids, count));
  }
  UINT GetFrameCount(const GUID* dimensionID) {
    UINT count = 0;
    SetStatus(DllExports::GdipImageGetFrameCount(m_native, dimensionID, &count));
    return count;
  }
  Status SelectActiveFrame(const GUID* dimensionID, UINT frameIndex) {
    return SetStatus(DllExports::GdipImageSelectActiveFrame(m_native, dimensionID, frameIndex));
  }
  Status SaveAdd(const EncoderParameters* params) { return SetStatus(DllExports::GdipSaveAdd(m_native, params)); }
  Status SaveAdd(Image* newImage, const EncoderParameters* params) {
    if (!newImage) return SetStatus(InvalidParameter);
    return SetStatus(DllExports::GdipSaveAddImage(m_native, newImage->m_native, params));
  }
  UINT GetPropertyCount() {
    UINT count = 0;
    SetStatus(DllExports::GdipGetPropertyCount(m_native, &count));
    return count;
  }
  Status GetPropertyIdList(UINT count, PROPID* list) {
    return SetStatus(DllExports::GdipGetPropertyIdList(m_native, count, list));
  }
  UINT GetPropertyItemSize(PROPID id) {
    UINT size = 0;
    SetStatus(DllExports::GdipGetPropertyItemSize(m_native, id, &size));
    return size;
  }
  Status GetPropertyItem(PROPID id, UINT size, PropertyItem* buffer) {
    return SetStatus(DllExports::GdipGetPropertyItem(m_native, id, size, buffer));
  }
  Status SetPropertyItem(const PropertyItem* item) { return SetStatus(DllExports::GdipSetPropertyItem(m_native, item)); }
  Status RemovePropertyItem(PROPID id) { return SetStatus(DllExports::GdipRemovePropertyItem(m_native, id)); }
  Status GetLastStatus() const {
    Status last = m_lastResult;
    m_lastResult = Ok;
    return last;
  }

 protected:
  Image() : m_native(nullptr), m_lastResult(Ok) {}
  Image(GpImage* native, Status status) : m_native(native), m_lastResult(status) {}
  void SetNativeImage(GpImage* native) { m_native = native; }
  Status SetStatus(Status status) const {
    if (status != Ok) m_lastResult = status;
    return status;
  }

  GpImage* m_native;
  mutable Status m_lastResult;
  friend class Graphics;
};

class Bitmap : public Image {
 public:
  Bitmap(const WCHAR* filename, BOOL useEmbeddedColorManagement = FALSE) {
    GpBitmap* bitmap = nullptr;
    SetStatus(useEmbeddedColorManagement ? DllExports::GdipCreateBitmapFromFileICM(filename, &bitmap)
                                         : DllExports::GdipCreateBitmapFromFile(filename, &bitmap));
    SetNativeImage(bitmap);
  }
  Bitmap(IStream* stream, BOOL useEmbeddedColorManagement = FALSE) {
    GpBitmap* bitmap = nullptr;
    SetStatus(useEmbeddedColorManagement ? DllExports::GdipCreateBitmapFromStreamICM(stream, &bitmap)
                                         : DllExports::GdipCreateBitmapFromStream(stream, &bitmap));
    SetNativeImage(bitmap);
  }
  Bitmap(INT width, INT height, INT stride, PixelFormat format, BYTE* scan0) {
    GpBitmap* bitmap = nullptr;
    SetStatus(DllExports::GdipCreateBitmapFromScan0(width, height, stride, format, scan0, &bitmap));
    SetNativeImage(bitmap);
  }
  Bitmap(INT width, INT height, PixelFormat format = PixelFormat32bppARGB) {
    GpBitmap* bitmap = nullptr;
    SetStatus(DllExports::GdipCreateBitmapFromScan0(width, height, 0, format, nullptr, &bitmap));
    SetNativeImage(bitmap);
  }
  static Bitmap* FromFile(const WCHAR* filename, BOOL useEmbeddedColorManagement = FALSE) {
    return new Bitmap(filename, useEmbeddedColorManagement);
  }
  static Bitmap* FromStream(IStream* stream, BOOL useEmbeddedColorManagement = FALSE) {
    return new Bitmap(stream, useEmbeddedColorManagement);
  }
  // GDI handles are 32-bit integers here, so a Bitmap(HBITMAP, HPALETTE) constructor would be taken
  // for Bitmap(width, height): bitmaps from handles are made only through FromHBITMAP.
  static Bitmap* FromHBITMAP(HBITMAP hbm, HPALETTE hpal) {
    GpBitmap* bitmap = nullptr;
    Status status = DllExports::GdipCreateBitmapFromHBITMAP(hbm, hpal, &bitmap);
    return new Bitmap(bitmap, status);
  }

  Bitmap* Clone(const Rect& rect, PixelFormat format) {
    return Clone(rect.X, rect.Y, rect.Width, rect.Height, format);
  }
  Bitmap* Clone(INT x, INT y, INT width, INT height, PixelFormat format) {
    GpBitmap* clone = nullptr;
    SetStatus(DllExports::GdipCloneBitmapAreaI(x, y, width, height, format, native(), &clone));
    return new Bitmap(clone, m_lastResult);
  }
  Bitmap* Clone(const RectF& rect, PixelFormat format) {
    return Clone(rect.X, rect.Y, rect.Width, rect.Height, format);
  }
  Bitmap* Clone(REAL x, REAL y, REAL width, REAL height, PixelFormat format) {
    GpBitmap* clone = nullptr;
    SetStatus(DllExports::GdipCloneBitmapArea(x, y, width, height, format, native(), &clone));
    return new Bitmap(clone, m_lastResult);
  }
  Image* Clone() override {
    GpImage* clone = nullptr;
    SetStatus(DllExports::GdipCloneImage(m_native, &clone));
    return new Bitmap(static_cast<GpBitmap*>(clone), m_lastResult);
  }
  Status LockBits(const Rect* rect, UINT flags, PixelFormat format, BitmapData* lockedData) {
    return SetStatus(DllExports::GdipBitmapLockBits(native(), rect, flags, format, lockedData));
  }
  Status UnlockBits(BitmapData* lockedData) { return SetStatus(DllExports::GdipBitmapUnlockBits(native(), lockedData)); }
  Status GetPixel(INT x, INT y, Color* color) {
    ARGB argb = 0;
    Status status = SetStatus(DllExports::GdipBitmapGetPixel(native(), x, y, &argb));
    if (status == Ok) color->SetValue(argb);
    return status;
  }
  Status SetPixel(INT x, INT y, const Color& color) {
    return SetStatus(DllExports::GdipBitmapSetPixel(native(), x, y, color.GetValue()));
  }
  Status SetResolution(REAL xdpi, REAL ydpi) {
    return SetStatus(DllExports::GdipBitmapSetResolution(native(), xdpi, ydpi));
  }
  Status GetHBITMAP(const Color& background, HBITMAP* hbmReturn) {
    return SetStatus(DllExports::GdipCreateHBITMAPFromBitmap(native(), hbmReturn, background.GetValue()));
  }
  static HPALETTE GetHalftonePalette() { return DllExports::GdipCreateHalftonePalette(); }

 protected:
  Bitmap(GpBitmap* native, Status status) : Image(native, status) {}
  GpBitmap* native() const { return static_cast<GpBitmap*>(m_native); }
};

}  // namespace Gdiplus

#include "gdiplusgraphics.h"
