// Zentarix — MIT licence.
// The shared steps of DoEncode: working bitmap, flattening, depth conversion, codec, resolution, hand-over.
#include "EncodeSteps.h"

#include <objbase.h>

#include <climits>
#include <cstring>
#include <vector>

#include <zx/pixel_memory.h>

#include "EncoderKernels.h"
#include "EncoderMessages.h"
#include "ErrorReporting.h"
#include "colour_reduction.h"

namespace zx::encoding {
namespace {

using Gdiplus::Bitmap;
using Gdiplus::Status;

// A GDI palette handle, deleted on scope exit.
struct PaletteHandle {
  HPALETTE h;
  ~PaletteHandle() {
    if (h) DeleteObject(h);
  }
};

// The platform's halftone palette as 0xFFRRGGBB entries (empty when it cannot be had).
std::vector<uint32_t> halftone_entries() {
  PaletteHandle palette{Gdiplus::DllExports::GdipCreateHalftonePalette()};
  if (!palette.h) return {};
  PALETTEENTRY entries[256];
  const UINT n = GetPaletteEntries(palette.h, 0, 256, entries);
  std::vector<uint32_t> argb;
  argb.reserve(n);
  for (UINT i = 0; i < n && i < 256; ++i)
    argb.push_back(0xFF000000u | entries[i].peRed << 16 | entries[i].peGreen << 8 | entries[i].peBlue);
  return argb;
}

Status set_palette(Bitmap& bitmap, uint32_t flags, const uint32_t* entries, size_t count) {
  std::vector<uint8_t> block(sizeof(Gdiplus::ColorPalette) + count * sizeof(Gdiplus::ARGB));
  auto* palette = reinterpret_cast<Gdiplus::ColorPalette*>(block.data());
  palette->Flags = flags;
  palette->Count = static_cast<UINT>(count);
  std::memcpy(palette->Entries, entries, count * sizeof(Gdiplus::ARGB));
  return bitmap.SetPalette(palette);
}

std::unique_ptr<Bitmap> new_bitmap(INT width, INT height, Gdiplus::PixelFormat format, Status& status) {
  auto bitmap = std::make_unique<Bitmap>(width, height, format);
  status = bitmap->GetLastStatus();
  if (status != Gdiplus::Ok) return nullptr;
  return bitmap;
}

std::unique_ptr<Bitmap> binarize(Bitmap& source, const EncoderOptions& o, Status& status) {
  const INT w = static_cast<INT>(source.GetWidth()), h = static_cast<INT>(source.GetHeight());
  auto result = new_bitmap(w, h, Gdiplus::PixelFormat1bppIndexed, status);
  if (!result) return nullptr;
  {
    BitmapLock in(source, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppARGB);
    if ((status = in.status()) != Gdiplus::Ok) return nullptr;
    BitmapLock out(*result, Gdiplus::ImageLockModeWrite, Gdiplus::PixelFormat1bppIndexed);
    if ((status = out.status()) != Gdiplus::Ok) return nullptr;
    status = static_cast<Status>(binarize_argb32(in.source(), out.target(), o.threshold,
                                                 static_cast<DitherMode>(o.ditherType), o.isInverted != 0));
    if (status != Gdiplus::Ok) return nullptr;
  }
  const uint32_t blackWhite[2] = {0xFF000000u, 0xFFFFFFFFu};
  if ((status = set_palette(*result, 0, blackWhite, 2)) != Gdiplus::Ok) return nullptr;
  return result;
}

std::unique_ptr<Bitmap> to_indexed(Bitmap& source, const EncoderOptions& o, bool transparent, Status& status) {
  const INT w = static_cast<INT>(source.GetWidth()), h = static_cast<INT>(source.GetHeight());
  auto result = new_bitmap(w, h, Gdiplus::PixelFormat8bppIndexed, status);
  if (!result) return nullptr;
  std::vector<uint32_t> halftone;
  if (o.paletteType == static_cast<LONG>(PaletteType::Halftone)) halftone = halftone_entries();
  std::vector<uint32_t> palette;
  uint32_t flags = 0;
  {
    BitmapLock in(source, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppARGB);
    if ((status = in.status()) != Gdiplus::Ok) return nullptr;
    BitmapLock out(*result, Gdiplus::ImageLockModeWrite, Gdiplus::PixelFormat8bppIndexed);
    if ((status = out.status()) != Gdiplus::Ok) return nullptr;
    status = static_cast<Status>(convert_to_indexed_argb32(in.source(), out.target(), o.paletteColorsNumber,
                                                           static_cast<DitherMode>(o.ditherType), transparent,
                                                           static_cast<PaletteType>(o.paletteType), halftone, palette,
                                                           flags));
    if (status != Gdiplus::Ok) return nullptr;
  }
  if ((status = set_palette(*result, flags, palette.data(), palette.size())) != Gdiplus::Ok) return nullptr;
  return result;
}

std::unique_ptr<Bitmap> copy_as(Bitmap& source, Gdiplus::PixelFormat format, Status& status) {
  const INT w = static_cast<INT>(source.GetWidth()), h = static_cast<INT>(source.GetHeight());
  std::unique_ptr<Bitmap> copy(source.Clone(0, 0, w, h, format));
  status = copy->GetLastStatus();
  if (status != Gdiplus::Ok) return nullptr;
  return copy;
}

}  // namespace

HRESULT report_gdiplus_failure(const EncoderIdentity& who, Status status) {
  return server::ReportError(*who.clsid, server::GdiplusErrorMessage(status, who.objectName, messages::kDoEncode, 0),
                             *who.iid, E_FAIL);
}

std::unique_ptr<Bitmap> make_working_bitmap(BYTE* pixels, LONG width, LONG height, LONG pixelFormat, bool writable,
                                            Status& status) {
  if (static_cast<Gdiplus::PixelFormat>(pixelFormat) != Gdiplus::PixelFormat32bppARGB) {
    status = Gdiplus::NotImplemented;
    return nullptr;
  }
  if (!pixels || width <= 0 || height <= 0 || width > INT32_MAX / 4) {
    status = Gdiplus::InvalidParameter;
    return nullptr;
  }
  const INT stride = static_cast<INT>(width) * 4;
  // Rows read in place go to codec libraries, where a fault cannot be turned into a failed call:
  // only our own pixel memory is read in place, anything else is copied here, under the guard.
  if (!writable && zx::pixel_memory_holds(pixels, static_cast<size_t>(stride) * static_cast<size_t>(height))) {
    auto inPlace = std::make_unique<Bitmap>(width, height, stride, Gdiplus::PixelFormat32bppARGB, pixels);
    status = inPlace->GetLastStatus();
    return status == Gdiplus::Ok ? std::move(inPlace) : nullptr;
  }
  auto bitmap = new_bitmap(width, height, Gdiplus::PixelFormat32bppARGB, status);
  if (!bitmap) return nullptr;
  BitmapLock lock(*bitmap, Gdiplus::ImageLockModeWrite, Gdiplus::PixelFormat32bppARGB);
  if ((status = lock.status()) != Gdiplus::Ok) return nullptr;
  copy_rows_argb32(pixels, lock.target());
  return bitmap;
}

void flatten_background(Bitmap& bitmap, LONG background) {
  BitmapLock lock(bitmap, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, Gdiplus::PixelFormat32bppARGB);
  if (lock.status() != Gdiplus::Ok) return;
  flatten_over_background_argb32(lock.target(), static_cast<uint32_t>(background));
}

std::unique_ptr<Bitmap> convert_depth(std::unique_ptr<Bitmap>& source, const EncoderOptions& options, bool transparent,
                                      bool may_reuse, Status& status) {
  switch (options.colorDepth) {
    case 1: return binarize(*source, options, status);
    case 8: return to_indexed(*source, options, transparent, status);
    case 24: return copy_as(*source, Gdiplus::PixelFormat24bppRGB, status);
    case 32:
      if (may_reuse) {
        status = Gdiplus::Ok;
        return std::move(source);
      }
      return copy_as(*source, Gdiplus::PixelFormat32bppARGB, status);
    default: status = Gdiplus::InvalidParameter; return nullptr;
  }
}

CLSID find_codec(const OLECHAR* mime) {
  UINT count = 0, size = 0;
  if (Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || count == 0) return CLSID_NULL;
  std::vector<uint8_t> block(size);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(block.data());
  if (Gdiplus::DllExports::GdipGetImageEncoders(count, size, codecs) != Gdiplus::Ok) return CLSID_NULL;
  const std::u16string_view wanted(mime);
  for (UINT i = 0; i < count; ++i)
    if (codecs[i].MimeType && wanted == codecs[i].MimeType) return codecs[i].Clsid;
  return CLSID_NULL;
}

HRESULT hand_over_stream(IStream* memory, IStream* output) {
  STATSTG stat{};
  HRESULT hr = memory->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  LARGE_INTEGER zero{};
  if (FAILED(hr = memory->Seek(zero, STREAM_SEEK_SET, nullptr))) return hr;
  std::vector<BYTE> chunk(static_cast<size_t>(std::min<ULONGLONG>(stat.cbSize.QuadPart, 1u << 20)));
  ULONGLONG left = stat.cbSize.QuadPart;
  while (left > 0) {
    const ULONG want = static_cast<ULONG>(std::min<ULONGLONG>(left, chunk.size()));
    ULONG got = 0;
    if (FAILED(hr = memory->Read(chunk.data(), want, &got))) return hr;
    if (got != want) return STG_E_READFAULT;
    if (FAILED(hr = zx::write_all(output, chunk.data(), got))) return hr;
    left -= got;
  }
  return S_OK;
}

std::unique_ptr<Bitmap> prepare_working_bitmap(const EncoderIdentity& who, const EncoderOptions& options,
                                               const EncodeRequest& request, bool writable, HRESULT& hr) {
  Status status = Gdiplus::Ok;
  // Only flattening writes to the working bitmap; without it the caller's rows are read in place.
  const bool flatten = options.backgroundPresent;
  std::unique_ptr<Bitmap> working = make_working_bitmap(request.pixels, request.width, request.height,
                                                        request.pixelFormat, writable || flatten, status);
  if (!working) {
    hr = report_gdiplus_failure(who, status);
    return nullptr;
  }
  if (flatten) flatten_background(*working, options.backgroundColor);
  return working;
}

HRESULT save_converted(const EncoderIdentity& who, const EncoderOptions& options, std::unique_ptr<Bitmap> working,
                       const CodecSave& save, IStream* output) {
  // A 32 bpp result is the working bitmap itself: the resolution is a property of the bitmap
  // object, not of the rows, so even the caller's rows read in place stay untouched.
  Status status = Gdiplus::Ok;
  std::unique_ptr<Bitmap> converted = convert_depth(working, options, save.transparent, true, status);
  if (!converted) return save.reportConversionFailure ? report_gdiplus_failure(who, status) : E_INVALIDARG;
  working.reset();

  const CLSID codec = find_codec(save.mime);
  if ((status = converted->SetResolution(options.horizontalResolution, options.verticalResolution)) != Gdiplus::Ok)
    return report_gdiplus_failure(who, status);
  if ((status = converted->Save(output, &codec, save.parameters)) != Gdiplus::Ok)
    return report_gdiplus_failure(who, status);
  return S_OK;
}

Status save_jpeg(Bitmap& bitmap, LONG quality, IStream* stream) {
  const CLSID codec = find_codec(u"image/jpeg");
  Gdiplus::EncoderParameters parameters{};
  parameters.Count = 1;
  parameters.Parameter[0].Guid = Gdiplus::EncoderQuality;
  parameters.Parameter[0].NumberOfValues = 1;
  parameters.Parameter[0].Type = Gdiplus::EncoderParameterValueTypeLong;
  parameters.Parameter[0].Value = &quality;
  return bitmap.Save(stream, &codec, &parameters);
}

HRESULT read_whole_stream(IStream* memory, std::vector<uint8_t>& bytes) {
  STATSTG stat{};
  HRESULT hr = memory->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  LARGE_INTEGER zero{};
  if (FAILED(hr = memory->Seek(zero, STREAM_SEEK_SET, nullptr))) return hr;
  if (stat.cbSize.QuadPart > ULONG_MAX) return E_OUTOFMEMORY;
  bytes.resize(static_cast<size_t>(stat.cbSize.QuadPart));
  ULONG got = 0;
  if (FAILED(hr = memory->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got))) return hr;
  return got == bytes.size() ? S_OK : STG_E_READFAULT;
}

HRESULT write_whole(IStream* output, std::span<const uint8_t> bytes) {
  for (size_t at = 0; at < bytes.size();) {
    const ULONG piece = static_cast<ULONG>(std::min<size_t>(bytes.size() - at, 1u << 30));
    if (const HRESULT hr = zx::write_all(output, bytes.data() + at, piece); FAILED(hr)) return hr;
    at += piece;
  }
  return S_OK;
}

HRESULT encode_through_depth_conversion(const EncoderIdentity& who, const EncoderOptions& options,
                                        const EncodeRequest& request, const CodecSave& save) {
  HRESULT hr = S_OK;
  std::unique_ptr<Bitmap> working = prepare_working_bitmap(who, options, request, false, hr);
  if (!working) return hr;
  return save_converted(who, options, std::move(working), save, request.output);
}

}  // namespace zx::encoding
