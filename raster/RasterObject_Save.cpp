// Zentarix — MIT licence.
// RasterObject saving: choosing the encoder, settings objects into options, files, streams and Response.
#include <asptlb.h>
#include <unistd.h>
#include <objbase.h>
#include <oleauto.h>
#include <winbase.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "BitmapLock.h"
#include "EncoderOptions.h"
#include "ErrorReporting.h"
#include "ImageEncoder.h"
#include "Messages.h"
#include "RasterMessages.h"
#include "RasterObject.h"
#include "kernels/PixelCopy.h"

namespace zx::raster {
namespace msg = messages;
using server::GdiplusErrorMessage;

namespace {

namespace fs = std::filesystem;

std::u16string_view text_of(BSTR s) { return s ? std::u16string_view(s, SysStringLen(s)) : std::u16string_view(); }

// Automatic mode: the "OutputFileType" entry is the text "Auto" in any letter case.
bool is_automatic(const VARIANT& entry) {
  return entry.vt == VT_BSTR && zx::equal_ignoring_case(text_of(entry.bstrVal), msg::kOptionAuto);
}

Variant text_variant(std::u16string_view text) {
  Variant v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = Bstr(text).detach();
  return v;
}

Variant long_variant(LONG value) {
  Variant v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}

// Add or replace, as the store's put_Item does.
HRESULT put_entry(IDictionary* store, const OLECHAR* name, Variant value) {
  Variant key = text_variant(name);
  return store->put_Item(&key, &value);
}

// ---- the Encoder argument: a settings object turned into options ----------------------------------
// Each transfer reads the object's properties and writes its entries in the fixed order; a value
// with no option equivalent ends it with E_INVALIDARG and no error record, keeping what was written
// before. `type` becomes the output type of the object's format only when the whole transfer worked.

HRESULT depth_entry(IDictionary* store, ColorDepths depth) {
  switch (depth) {
    case cd24bpp: return put_entry(store, msg::kOptionColorDepth, long_variant(24));
    case cd32bpp: return put_entry(store, msg::kOptionColorDepth, long_variant(32));
    default: return E_INVALIDARG;  // 1 and 8 bpp cannot be asked for through a settings object
  }
}

HRESULT transfer_tiff(ITIFFEncoderInfo* info, IDictionary* store, LONG& type) {
  TIFFCompressionTypes compression = tctLZW;
  ColorDepths depth = cd32bpp;
  ColorSpaces space = csRGB;
  HRESULT hr = info->get_CompressionType(&compression);
  if (SUCCEEDED(hr)) hr = info->get_ColorDepth(&depth);
  if (SUCCEEDED(hr)) hr = info->get_ColorSpace(&space);
  if (FAILED(hr)) return hr;
  Bstr profile;
  if (space != csRGB) {
    hr = info->get_ICCProfileFilename(profile.put());
    if (FAILED(hr)) return hr;
  }
  if (FAILED(hr = put_entry(store, msg::kOptionICCProfileFilename, text_variant(profile.view())))) return hr;
  if (FAILED(hr = depth_entry(store, depth))) return hr;
  const OLECHAR* compressionName = compression == tctNone ? u"None" : compression == tctLZW ? u"LZW" : nullptr;
  if (!compressionName) return E_INVALIDARG;
  if (FAILED(hr = put_entry(store, msg::kOptionCompressionType, text_variant(compressionName)))) return hr;
  const OLECHAR* spaceName = space == csRGB ? u"RGB" : space == csCMYK ? u"CMYK" : nullptr;
  if (!spaceName) return E_INVALIDARG;
  if (FAILED(hr = put_entry(store, msg::kOptionColorSpace, text_variant(spaceName)))) return hr;
  type = oftTIFF;
  return S_OK;
}

HRESULT transfer_jpeg(IJPEGEncoderInfo* info, IDictionary* store, LONG& type) {
  LONG quality = 0;
  HRESULT hr = info->get_Quality(&quality);
  if (FAILED(hr)) return hr;
  if (FAILED(hr = put_entry(store, msg::kOptionJPEGQuality, long_variant(quality)))) return hr;
  type = oftJPEG;
  return S_OK;
}

HRESULT transfer_bmp(IBMPEncoderInfo* info, IDictionary* store, LONG& type) {
  ColorDepths depth = cd32bpp;
  HRESULT hr = info->get_ColorDepth(&depth);
  if (FAILED(hr)) return hr;
  if (FAILED(hr = depth_entry(store, depth))) return hr;
  type = oftBMP;
  return S_OK;
}

HRESULT transfer_gif(IGIFEncoderInfo* info, IDictionary* store, LONG& type) {
  PaletteTypes palette = ptOctree;
  VARIANT_BOOL transparent = VARIANT_FALSE;
  HRESULT hr = info->get_PaletteType(&palette);
  if (SUCCEEDED(hr)) hr = info->get_IsTransparent(&transparent);
  if (FAILED(hr)) return hr;
  const OLECHAR* paletteName = palette == ptOctree ? u"Octree" : palette == ptHalftone ? u"Halftone" : nullptr;
  if (!paletteName) return E_INVALIDARG;
  if (FAILED(hr = put_entry(store, msg::kOptionPaletteType, text_variant(paletteName)))) return hr;
  Variant flag;
  V_VT(&flag) = VT_I2;
  V_I2(&flag) = transparent;
  if (FAILED(hr = put_entry(store, msg::kOptionIsTransparent, flag))) return hr;
  if (FAILED(hr = put_entry(store, msg::kOptionBackgroundColor, long_variant(-1)))) return hr;
  type = oftGIF;
  return S_OK;
}

HRESULT transfer_swf(ISWFEncoderInfo* info, IDictionary* store, LONG& type) {
  LONG background = -1;
  SWFCompressionTypes compression = swfctLossless;
  LONG quality = 0;
  HRESULT hr = info->get_BackgroundColor(&background);
  if (SUCCEEDED(hr)) hr = info->get_CompressionType(&compression);
  if (SUCCEEDED(hr)) hr = info->get_JPEGQuality(&quality);
  if (FAILED(hr)) return hr;
  const OLECHAR* compressionName =
      compression == swfctLossless ? u"Lossless" : compression == swfctJPEG ? u"JPEG" : nullptr;
  if (!compressionName) return E_INVALIDARG;
  if (FAILED(hr = put_entry(store, msg::kOptionCompressionType, text_variant(compressionName)))) return hr;
  if (FAILED(hr = put_entry(store, msg::kOptionBackgroundColor, long_variant(background)))) return hr;
  if (FAILED(hr = put_entry(store, msg::kOptionJPEGQuality, long_variant(quality)))) return hr;
  type = oftSWF;
  return S_OK;
}

// The first settings interface the object answers, in this order, decides; an object that answers
// none (or no object) changes nothing.
HRESULT transfer_encoder_settings(IDispatch* encoder, IDictionary* store, LONG& type) {
  if (!encoder) return S_OK;
  ComPtr<IDispatch> object(encoder);
  if (ComPtr<ITIFFEncoderInfo> tiff; SUCCEEDED(object.query(tiff))) return transfer_tiff(tiff.get(), store, type);
  if (ComPtr<IJPEGEncoderInfo> jpeg; SUCCEEDED(object.query(jpeg))) return transfer_jpeg(jpeg.get(), store, type);
  if (ComPtr<IBMPEncoderInfo> bmp; SUCCEEDED(object.query(bmp))) return transfer_bmp(bmp.get(), store, type);
  if (ComPtr<IGIFEncoderInfo> gif; SUCCEEDED(object.query(gif))) return transfer_gif(gif.get(), store, type);
  if (ComPtr<ISWFEncoderInfo> swf; SUCCEEDED(object.query(swf))) return transfer_swf(swf.get(), store, type);
  return S_OK;
}

// ---- the encoded bytes ------------------------------------------------------------------------------

// All bytes of a memory stream, read from its start. Stat, Seek and Read failures are returned.
HRESULT read_all(IStream* stream, std::vector<BYTE>& bytes) {
  STATSTG stat{};
  HRESULT hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  if (stat.cbSize.QuadPart > 0xFFFFFFFFull) return E_OUTOFMEMORY;  // one Read moves at most 4 GB
  const ULONG size = static_cast<ULONG>(stat.cbSize.QuadPart);
  LARGE_INTEGER start{};
  if (FAILED(hr = stream->Seek(start, STREAM_SEEK_SET, nullptr))) return hr;
  bytes.resize(size);
  ULONG read = 0;
  if (FAILED(hr = stream->Read(bytes.data(), size, &read))) return hr;
  return read == size ? S_OK : E_FAIL;
}

// The name as a message shows it: a NUL would end the message's text there, so it is spelled out.
std::u16string printable_name(std::u16string_view name) {
  std::u16string shown;
  for (char16_t c : name) {
    if (c == u'\0') shown += u"\\0";
    else shown += c;
  }
  return shown;
}

// ---- writing the file -------------------------------------------------------------------------------
// A file is written beside its target under a temporary name and renamed over it, so the name only
// ever holds the old file or the whole new one: a full disk or a failing write part-way leaves an
// existing file as it was. The replaced file's permission bits, owner and group carry over
// (ReplaceFileW). Three cases are written in place instead, where renaming would change more than
// the contents: a file with other names (hard links), which would lose them; a writable file in a
// folder the caller cannot write to, which could not be saved at all; and a target that is no
// regular file (a device, a pipe). An existing file is opened for writing first, so a file the
// caller may not write fails exactly as opening it fails, untouched. A symbolic link is followed,
// so the link stays and its target gets the new contents.

struct FileFailure {
  enum Kind { None, Create, Write } kind = None;
  DWORD systemError = 0;
};

DWORD win32_error_of(const std::error_code& ec) {
  return ec.category() == std::generic_category() || ec.category() == std::system_category()
             ? ZxWin32ErrorFromErrno(ec.value())
             : ERROR_INVALID_PARAMETER;
}

fs::path resolve_links(fs::path path) {
  std::error_code ec;
  for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(path, ec)); ++hops) {
    fs::path next = fs::read_symlink(path, ec);
    if (ec) break;
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path;
}

// ".zx" and eight hex digits beside the target: short and of fixed length, so that any name the
// file system allows for the target leaves room for it.
std::u16string temporary_name(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  uint64_t mix = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                 (static_cast<uint64_t>(counter++) << 40) ^ static_cast<uint64_t>(::getpid()) << 20;
  mix *= 0x9E3779B97F4A7C15ull;
  char name[12];
  std::snprintf(name, sizeof(name), ".zx%08x", static_cast<unsigned>(mix >> 32));
  return to_utf16((target.parent_path() / name).string());
}

FileFailure write_bytes(IStream* file, const std::vector<BYTE>& bytes) {
  return FAILED(zx::write_all(file, bytes.data(), static_cast<ULONG>(bytes.size()))) ? FileFailure{FileFailure::Write, 0}
                                                                                     : FileFailure{};
}

// Writes all bytes through a stream opened on `name` (created exclusively, or created / truncated
// when `replace`). The last error holds the system's code of a failed open.
FileFailure write_through_stream(const std::u16string& name, bool replace, const std::vector<BYTE>& bytes) {
  ComPtr<IStream> file;
  const DWORD mode = STGM_WRITE | STGM_SHARE_DENY_WRITE | (replace ? STGM_CREATE : 0);
  SetLastError(0);
  if (FAILED(SHCreateStreamOnFileEx(name.c_str(), mode, 0, TRUE, nullptr, file.put()))) {
    return {FileFailure::Create, GetLastError()};
  }
  return write_bytes(file.get(), bytes);
}

// The file's new contents from its start, the rest cut off.
FileFailure write_in_place(IStream* file, const std::vector<BYTE>& bytes) {
  if (const FileFailure failure = write_bytes(file, bytes); failure.kind != FileFailure::None) return failure;
  ULARGE_INTEGER end;
  end.QuadPart = bytes.size();
  return FAILED(file->SetSize(end)) ? FileFailure{FileFailure::Write, 0} : FileFailure{};
}

FileFailure write_file(std::u16string_view fileName, const std::vector<BYTE>& bytes) {
  // A name cut short by a NUL would write a file other than the one named (and chosen by type).
  if (fileName.empty() || fileName.find(u'\0') != std::u16string_view::npos) {
    return {FileFailure::Create, ERROR_INVALID_NAME};
  }
  const fs::path target = resolve_links(fs::path(to_utf8(fileName)));
  const std::u16string targetName = to_utf16(target.string());
  std::error_code ec;
  const fs::file_status existing = fs::status(target, ec);
  const bool exists = fs::exists(existing);
  if (exists && !fs::is_regular_file(existing) && !fs::is_directory(existing)) {
    return write_through_stream(targetName, true, bytes);
  }
  ComPtr<IStream> inPlace;
  if (fs::is_regular_file(existing)) {
    SetLastError(0);
    if (FAILED(SHCreateStreamOnFileEx(targetName.c_str(), STGM_WRITE | STGM_SHARE_DENY_WRITE, 0, FALSE, nullptr,
                                      inPlace.put()))) {
      return {FileFailure::Create, GetLastError()};
    }
    if (fs::hard_link_count(target, ec) > 1) return write_in_place(inPlace.get(), bytes);
  }

  std::u16string temp;
  FileFailure result{FileFailure::Create, ERROR_FILE_EXISTS};
  for (int attempt = 0; attempt < 16 && result.kind == FileFailure::Create && result.systemError == ERROR_FILE_EXISTS;
       ++attempt) {
    temp = temporary_name(target);
    result = write_through_stream(temp, false, bytes);
  }
  if (result.kind == FileFailure::Create) {
    if (inPlace && result.systemError == ERROR_ACCESS_DENIED) return write_in_place(inPlace.get(), bytes);
    return result;
  }
  inPlace.reset();
  if (result.kind == FileFailure::None) {
    if (exists) {
      if (!ReplaceFileW(targetName.c_str(), temp.c_str(), nullptr, 0, nullptr, nullptr))
        result = {FileFailure::Create, GetLastError()};
    } else {
      fs::rename(fs::path(to_utf8(temp)), target, ec);
      if (ec) result = {FileFailure::Create, win32_error_of(ec)};
    }
  }
  if (result.kind != FileFailure::None) fs::remove(fs::path(to_utf8(temp)), ec);
  return result;
}

}  // namespace

// ---- the common core ------------------------------------------------------------------------------

HRESULT RasterObject::SaveInternal(IStream* target, IDispatch* Encoder) {
  return server::com_call([&] {
    IDictionary* store = m_encoderOptions.get();
    Variant lzw;
    V_VT(&lzw) = VT_I2;
    V_I2(&lzw) = m_enableLZW;
    HRESULT hr = put_option(msg::kOptionEnableLZW, lzw);
    if (FAILED(hr)) return hr;

    Variant entry;
    if (FAILED(hr = encoding::read_store_item(store, msg::kOptionOutputFileType, entry))) return hr;
    CLSID clsid = GUID_NULL;
    if (entry.vt == VT_BSTR) {
      // A name chooses the encoder by itself: the Encoder argument is not looked at.
      Bstr name(text_of(entry.bstrVal));
      hr = m_encoderManager->FindCLSIDByName(name.get(), &clsid);
    } else {
      LONG type = 0;
      if (FAILED(hr = encoding::variant_to_long(entry, type))) return hr;
      if (FAILED(hr = transfer_encoder_settings(Encoder, store, type))) return hr;
      hr = m_encoderManager->FindCLSIDByID(type, &clsid);
    }
    if (FAILED(hr)) return hr;

    ComPtr<IImageEncoder> encoder;
    if (FAILED(hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IImageEncoder, encoder.put_void()))) return hr;

    BitmapLock lock(m_bitmap, whole_rect(m_bitmap), Gdiplus::ImageLockModeRead);
    if (!lock.locked()) {
      return report(GdiplusErrorMessage(lock.status(), msg::kObjectName, u"SaveInternal", 0), E_FAIL);
    }
    const Gdiplus::BitmapData& data = lock.data();
    const LONG width = static_cast<LONG>(data.Width);
    const LONG height = static_cast<LONG>(data.Height);
    // Encoders take rows exactly width * 4 bytes apart, top row first; any other layout is packed.
    BYTE* pixels = static_cast<BYTE*>(data.Scan0);
    std::vector<uint32_t> packed;
    if (data.Stride != static_cast<INT>(width) * 4) {
      packed.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
      if (!server::guarded_call(kernels::copy_view_to_linear, lock.view(), packed.data()))
        return report(GdiplusErrorMessage(Gdiplus::GenericError, msg::kObjectName, u"SaveInternal", 0), E_FAIL);
      pixels = reinterpret_cast<BYTE*>(packed.data());
    }

    hr = encoder->SetOptions(store);
    if (SUCCEEDED(hr)) hr = encoder->DoEncode(pixels, width, height, Gdiplus::PixelFormat32bppARGB, target);
    lock.unlock();  // a failing unlock stays recorded in the bitmap
    return hr;
  });
}

// ---- SaveFile -------------------------------------------------------------------------------------

HRESULT RasterObject::SaveFile(BSTR FileName, IDispatch* Encoder) {
  if (!m_bitmap) return report(msg::kSaveFileNoImage, server::ZX_E_SAVEFILE_NO_IMAGE);
  return server::com_call([&] {
    ComPtr<IStream> memory;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, memory.put());
    if (FAILED(hr)) return hr;

    const std::u16string_view fileName = text_of(FileName);
    Variant entry;
    if (FAILED(hr = encoding::read_store_item(m_encoderOptions.get(), msg::kOptionOutputFileType, entry))) return hr;
    const bool automatic = is_automatic(entry);
    if (automatic) {
      // The last dot of the whole path: a dot in a folder name counts when the file has none.
      const size_t dot = fileName.rfind(u'.');
      if (dot == std::u16string_view::npos) return report(msg::kNoExtension, E_INVALIDARG);
      if (FAILED(hr = put_option(msg::kOptionOutputFileType, text_variant(fileName.substr(dot + 1))))) return hr;
    }
    hr = SaveInternal(memory.get(), Encoder);
    if (automatic) put_option(msg::kOptionOutputFileType, text_variant(msg::kOptionAuto));
    if (FAILED(hr)) return hr;  // nothing touched on disk

    std::vector<BYTE> bytes;
    if (FAILED(hr = read_all(memory.get(), bytes))) return hr;
    memory.reset();
    const FileFailure failure = write_file(fileName, bytes);
    switch (failure.kind) {
      case FileFailure::None: return S_OK;
      case FileFailure::Create:
        return report(std::u16string(msg::kCannotSaveFile) + printable_name(fileName) + u". " +
                          GdiplusErrorMessage(Gdiplus::Win32Error, msg::kObjectName, u"SaveFile", failure.systemError),
                      E_INVALIDARG);
      case FileFailure::Write: return report(msg::kCannotWriteFile, E_FAIL);
    }
    return E_FAIL;
  });
}

// ---- SaveStream -----------------------------------------------------------------------------------

HRESULT RasterObject::SaveStream(IUnknown* OutputStream, IDispatch* Encoder) {
  if (!m_bitmap) return report(msg::kSaveStreamNoImage, server::ZX_E_SAVESTREAM_NO_IMAGE);
  if (!OutputStream) return E_INVALIDARG;
  return server::com_call([&] {
    ComPtr<IUnknown> output(OutputStream);
    ComPtr<IResponse> response;
    ComPtr<IStream> target;
    HRESULT hr = S_OK;
    if (SUCCEEDED(output.query(response)) && response) {
      if (FAILED(hr = CreateStreamOnHGlobal(nullptr, TRUE, target.put()))) return hr;
    } else if (FAILED(output.query(target)) || !target) {
      return report(msg::kNotStreamNorResponse, E_INVALIDARG);
    }

    Variant entry;
    if (FAILED(hr = encoding::read_store_item(m_encoderOptions.get(), msg::kOptionOutputFileType, entry))) return hr;
    // A stream has no name to take a type from: automatic mode means JPEG, chosen by number, so
    // here a settings object passed as Encoder does take effect.
    const bool automatic = is_automatic(entry);
    if (automatic && FAILED(hr = put_option(msg::kOptionOutputFileType, long_variant(oftJPEG)))) return hr;
    hr = SaveInternal(target.get(), Encoder);
    if (automatic) put_option(msg::kOptionOutputFileType, text_variant(msg::kOptionAuto));
    if (!response || FAILED(hr)) return hr;

    STATSTG stat{};
    if (FAILED(hr = target->Stat(&stat, STATFLAG_NONAME))) return hr;
    if (stat.cbSize.QuadPart > 0xFFFFFFFFull) return E_FAIL;
    const ULONG size = static_cast<ULONG>(stat.cbSize.QuadPart);
    SafeArray bytes(SafeArrayCreateVector(VT_UI1, 0, size));
    if (!bytes.get()) return E_FAIL;
    {
      SafeArrayAccess access(bytes.get(), hr);
      if (FAILED(hr)) return hr;
      LARGE_INTEGER start{};
      ULONG read = 0;
      hr = target->Seek(start, STREAM_SEEK_SET, nullptr);
      if (SUCCEEDED(hr)) hr = target->Read(access.data(), size, &read);
      if (SUCCEEDED(hr) && read != size) hr = E_FAIL;  // the encoded file came back short
      if (FAILED(hr)) {
        return report(std::u16string(msg::kCannotFillResponse) + server::messages::kSupportAddress + u".", hr);
      }
    }
    VARIANT data;
    VariantInit(&data);
    V_VT(&data) = VT_ARRAY | VT_UI1;
    V_ARRAY(&data) = bytes.get();  // still owned by `bytes`
    response->BinaryWrite(data);   // the host's answer is not ours to judge
    return S_OK;
  });
}

}  // namespace zx::raster
