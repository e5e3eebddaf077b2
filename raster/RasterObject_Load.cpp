// Zentarix — MIT licence.
// RasterObject loading from files, streams and OLE pictures, and saving to an OLE picture.
#include <objbase.h>
#include <olectl.h>
#include <winbase.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "BitmapLock.h"
#include "ErrorReporting.h"
#include "Messages.h"
#include "RasterMessages.h"
#include "RasterObject.h"
#include "kernels/WorkingBitmap.h"

namespace zx::raster {
namespace msg = messages;
using server::GdiplusErrorMessage;

namespace {

// The raw formats a load accepts, tested in this order; any other one (WMF, icon, a bitmap made in
// memory) is not an image file this object reads.
struct FormatName {
  const GUID* rawFormat;
  OutputFileTypes fileType;
};
constexpr FormatName kLoadableFormats[] = {
    {&Gdiplus::ImageFormatJPEG, oftJPEG}, {&Gdiplus::ImageFormatBMP, oftBMP},   {&Gdiplus::ImageFormatPNG, oftPNG},
    {&Gdiplus::ImageFormatTIFF, oftTIFF}, {&Gdiplus::ImageFormatGIF, oftGIF},   {&Gdiplus::ImageFormatEMF, oftEMF},
    {&Gdiplus::ImageFormatEXIF, oftEXIF},
};

OutputFileTypes file_type_of(Gdiplus::Image& image) {
  GUID raw = GUID_NULL;
  if (image.GetRawFormat(&raw) != Gdiplus::Ok) return oftUnknown;
  for (const FormatName& f : kLoadableFormats)
    if (raw == *f.rawFormat) return f.fileType;
  return oftUnknown;
}

// True when the file starts with the GIF signature. A file that cannot be opened, or holds fewer
// than four bytes, is let through: the decoder then reports its own failure.
bool starts_with_gif_signature(BSTR fileName) {
  ComPtr<IStream> file;
  if (FAILED(SHCreateStreamOnFileEx(fileName ? fileName : u"", STGM_READ | STGM_SHARE_DENY_NONE, 0, FALSE, nullptr,
                                    file.put())) ||
      !file) {
    return false;
  }
  char head[4] = {};
  ULONG got = 0;
  if (FAILED(file->Read(head, sizeof(head), &got)) || got < sizeof(head)) return false;
  return std::memcmp(head, "GIF8", 4) == 0;
}

std::u16string_view text_of(BSTR s) { return s ? std::u16string_view(s, SysStringLen(s)) : std::u16string_view(); }

// The working bitmap of a decoded image: a 32 bpp ARGB bitmap of the same size holding what
// source-over drawing of the image onto full transparency gives (kernels/WorkingBitmap.h), so no
// file, stream or handle stays bound to the object's image.
//
// A decoded single-frame 32 bpp ARGB bitmap (every decoder's output) already owns its pixels and
// nothing else, so it becomes the working bitmap itself: the pass runs in place and the image never
// exists twice (the peak stays near one image instead of two). Anything else (a bitmap made from a
// handle is 32bppRGB; a multi-frame image keeps its encoded bytes for its other frames) is read
// through a 32 bpp ARGB lock into a fresh bitmap, which for any other format converts on the way.
// Either way it is one pass, no graphics context.
//
// A metafile has no pixels to lock; it is rendered at its pixel size once the GDI+ layer can draw
// one. Until then its lock is refused and the load fails with the GDI+ message like any other
// failed conversion.
bool adoptable(Gdiplus::Bitmap& decoded) {
  if (decoded.GetPixelFormat() != Gdiplus::PixelFormat32bppARGB) return false;
  GUID dimension = GUID_NULL;
  if (decoded.GetFrameDimensionsCount() != 1 || decoded.GetFrameDimensionsList(&dimension, 1) != Gdiplus::Ok)
    return false;
  return decoded.GetFrameCount(&dimension) == 1;
}

Gdiplus::Status convert_pixels(std::unique_ptr<Gdiplus::Bitmap>& decoded, std::unique_ptr<Gdiplus::Bitmap>* out) {
  const UINT width = decoded->GetWidth();
  const UINT height = decoded->GetHeight();
  if (const Gdiplus::Status status = decoded->GetLastStatus(); status != Gdiplus::Ok) return status;
  const Gdiplus::Rect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  if (adoptable(*decoded)) {
    BitmapLock pixels(decoded.get(), whole, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite);
    if (!pixels.locked()) return pixels.status();
    if (!server::guarded_call(kernels::compose_over_transparent_argb32, pixels.view(), pixels.view()))
      return Gdiplus::GenericError;  // a machine fault in the pass
    if (const Gdiplus::Status status = pixels.unlock(); status != Gdiplus::Ok) return status;
    *out = std::move(decoded);
    return Gdiplus::Ok;
  }

  auto working = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(width), static_cast<INT>(height),
                                                   Gdiplus::PixelFormat32bppARGB);
  if (const Gdiplus::Status status = working->GetLastStatus(); status != Gdiplus::Ok) return status;
  BitmapLock source(decoded.get(), whole, Gdiplus::ImageLockModeRead);
  if (!source.locked()) return source.status();
  BitmapLock target(working.get(), whole, Gdiplus::ImageLockModeWrite);
  if (!target.locked()) return target.status();
  if (!server::guarded_call(kernels::compose_over_transparent_argb32, source.view(), target.view()))
    return Gdiplus::GenericError;  // a machine fault in the pass
  if (const Gdiplus::Status status = target.unlock(); status != Gdiplus::Ok) return status;
  if (const Gdiplus::Status status = source.unlock(); status != Gdiplus::Ok) return status;
  *out = std::move(working);
  return Gdiplus::Ok;
}

// What a load ends with: the decoded image's resolutions and its working bitmap (none when the
// conversion failed: the new bitmap could not be allocated or the image could not be read).
struct WorkingBitmap {
  FLOAT horizontalResolution = 0;
  FLOAT verticalResolution = 0;
  std::unique_ptr<Gdiplus::Bitmap> bitmap;
  Gdiplus::Status status = Gdiplus::GenericError;
};

WorkingBitmap make_working_bitmap(std::unique_ptr<Gdiplus::Bitmap> decoded) {
  WorkingBitmap result;
  result.horizontalResolution = decoded->GetHorizontalResolution();
  result.verticalResolution = decoded->GetVerticalResolution();
  result.status = convert_pixels(decoded, &result.bitmap);
  return result;
}

// A conversion that fails leaves the object without an image and is reported as the GDI+ failure
// message for the loading method, without a system error code (no system call failed), E_FAIL.
std::u16string conversion_failure(Gdiplus::Status status, const OLECHAR* method) {
  return GdiplusErrorMessage(status, msg::kObjectName, method, 0);
}

// Owns a GDI bitmap handle until it is handed over.
class BitmapHandle {
 public:
  BitmapHandle() = default;
  BitmapHandle(const BitmapHandle&) = delete;
  BitmapHandle& operator=(const BitmapHandle&) = delete;
  ~BitmapHandle() {
    if (m_handle) DeleteObject(m_handle);
  }
  HBITMAP* put() noexcept { return &m_handle; }
  HBITMAP get() const noexcept { return m_handle; }
  HBITMAP release() noexcept { return std::exchange(m_handle, HBITMAP{}); }

 private:
  HBITMAP m_handle{};
};

}  // namespace

HRESULT RasterObject::LoadFile(BSTR FileName) {
  return server::com_call([&] {
    // Only a regular file is read: opening a FIFO waits for a writer and a device may never end, so
    // anything else fails like a file that cannot be decoded, before the gate opens it.
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(std::filesystem::status(to_utf8(text_of(FileName)), ignored))) {
      replace_bitmap(nullptr);
      return report(std::u16string(msg::kCannotLoadFile).append(text_of(FileName)), E_FAIL);
    }
    if (!m_enableLZW && starts_with_gif_signature(FileName)) {
      return report(std::u16string(msg::kGifLzwDisabled) + server::messages::kSupportAddress, E_FAIL);
    }
    replace_bitmap(nullptr);
    // A null BSTR is the empty name, as everywhere in Automation.
    auto decoded = std::make_unique<Gdiplus::Bitmap>(FileName ? FileName : u"", TRUE);
    if (decoded->GetLastStatus() != Gdiplus::Ok) {
      return report(std::u16string(msg::kCannotLoadFile).append(text_of(FileName)), E_FAIL);
    }
    m_currentFileType = file_type_of(*decoded);
    if (m_currentFileType == oftUnknown) return report(msg::kUnknownFileType, E_FAIL);
    return adopt_decoded(std::move(decoded), msg::kLoadFileMethodName);
  });
}

HRESULT RasterObject::adopt_decoded(std::unique_ptr<Gdiplus::Bitmap> decoded, const OLECHAR* methodName) {
  WorkingBitmap working = make_working_bitmap(std::move(decoded));
  m_horizontalResolution = working.horizontalResolution;
  m_verticalResolution = working.verticalResolution;
  replace_bitmap(working.bitmap.release());
  if (working.status != Gdiplus::Ok) return report(conversion_failure(working.status, methodName), E_FAIL);
  return S_OK;
}

HRESULT RasterObject::LoadStream(IUnknown* InputStream) {
  if (!InputStream) return E_INVALIDARG;
  return server::com_call([&] {
    ComPtr<IStream> stream;
    if (const HRESULT hr = InputStream->QueryInterface(IID_IStream, stream.put_void()); FAILED(hr)) {
      return report(msg::kNoStreamInterface, hr);
    }
    replace_bitmap(nullptr);
    // The message names the thread's last system error as the failing call left it. It is cleared
    // first so that a failure GDI+ gives no system code for (data no decoder knows) reads as the
    // GDI+ message instead of the text of an unrelated earlier error.
    SetLastError(0);
    auto decoded = std::make_unique<Gdiplus::Bitmap>(stream.get(), TRUE);
    if (const Gdiplus::Status status = decoded->GetLastStatus(); status != Gdiplus::Ok) {
      const DWORD systemError = GetLastError();
      return report(GdiplusErrorMessage(status, msg::kObjectName, msg::kLoadStreamMethodName, systemError), E_FAIL);
    }
    m_currentFileType = file_type_of(*decoded);
    if (m_currentFileType == oftUnknown) return report(msg::kUnknownFileType, E_FAIL);
    return adopt_decoded(std::move(decoded), msg::kLoadStreamMethodName);
  });
}

// A null Picture is a null pointer argument like any other: E_POINTER without error information,
// and the object keeps its image (there is nothing to query).
HRESULT RasterObject::LoadPicture(IPictureDisp* Picture) {
  if (!Picture) return E_POINTER;
  return server::com_call([&] {
    ComPtr<IPicture> picture;
    if (const HRESULT hr = Picture->QueryInterface(IID_IPicture, picture.put_void()); FAILED(hr)) return hr;
    // A picture without a bitmap handle (an icon or metafile picture, an empty one) answers a handle
    // that is no bitmap, and the bitmap below cannot be made.
    OLE_HANDLE handle = 0, palette = 0;
    if (FAILED(picture->get_Handle(&handle))) handle = 0;
    if (FAILED(picture->get_hPal(&palette))) palette = 0;
    std::unique_ptr<Gdiplus::Bitmap> decoded(
        Gdiplus::Bitmap::FromHBITMAP(static_cast<HBITMAP>(handle), static_cast<HPALETTE>(palette)));
    if (decoded->GetLastStatus() != Gdiplus::Ok) return report(msg::kNoPictureImage, server::ZX_E_GDIPLUS_STARTUP);
    m_currentFileType = oftBMP;
    replace_bitmap(nullptr);
    return adopt_decoded(std::move(decoded), msg::kLoadPictureMethodName);
  });
}

HRESULT RasterObject::SavePicture(IPictureDisp** Picture) {
  if (!Picture) return E_POINTER;
  if (!m_bitmap) return report(msg::kSavePictureNoImage, E_FAIL);
  return server::com_call([&] {
    // Partly transparent pixels are composed over opaque black; the status stays recorded in the
    // bitmap, as every failing call on it does.
    BitmapHandle handle;
    if (m_bitmap->GetHBITMAP(Gdiplus::Color(Gdiplus::Color::Black), handle.put()) != Gdiplus::Ok) {
      return report(std::u16string(msg::kNoImageHandle) + server::messages::kSupportAddress, E_FAIL);
    }
    PICTDESC description{};
    description.cbSizeofstruct = sizeof(PICTDESC);
    description.picType = PICTYPE_BITMAP;
    description.bmp.hbitmap = handle.get();
    description.bmp.hpal = 0;
    const HRESULT hr =
        OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(Picture));
    // The picture owns the handle from here on; a picture that could not be made leaves it to us.
    if (SUCCEEDED(hr)) handle.release();
    return hr;
  });
}

}  // namespace zx::raster
