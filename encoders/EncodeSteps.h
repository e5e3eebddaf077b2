// Zentarix — MIT licence.
// The shared steps of DoEncode: working bitmap, flattening, depth conversion, codec, resolution, hand-over.
#pragma once
#include <gdiplus.h>

#include <memory>
#include <span>
#include <vector>

#include "EncoderOptions.h"
#include "colour_reduction.h"

namespace zx::encoding {

// Who reports: the encoder class, its type-library interface and its object name in GDI+ failure
// messages ("EncoderBMP").
struct EncoderIdentity {
  const CLSID* clsid;
  const IID* iid;
  const OLECHAR* objectName;
};

// What DoEncode was given.
struct EncodeRequest {
  BYTE* pixels;
  LONG width;
  LONG height;
  LONG pixelFormat;
  IStream* output;  // never null here
};

// Locks the whole bitmap in one format on construction, unlocks on destruction.
class BitmapLock {
 public:
  BitmapLock(Gdiplus::Bitmap& bitmap, UINT mode, Gdiplus::PixelFormat format) : m_bitmap(bitmap) {
    const Gdiplus::Rect rect(0, 0, static_cast<INT>(bitmap.GetWidth()), static_cast<INT>(bitmap.GetHeight()));
    m_status = bitmap.LockBits(&rect, mode, format, &m_data);
  }
  BitmapLock(const BitmapLock&) = delete;
  BitmapLock& operator=(const BitmapLock&) = delete;
  ~BitmapLock() {
    if (m_status == Gdiplus::Ok) m_bitmap.UnlockBits(&m_data);
  }
  Gdiplus::Status status() const { return m_status; }
  ConstPixelView source() const {
    return {static_cast<const uint8_t*>(m_data.Scan0), static_cast<int>(m_data.Width), static_cast<int>(m_data.Height),
            m_data.Stride};
  }
  PixelView target() const {
    return {static_cast<uint8_t*>(m_data.Scan0), static_cast<int>(m_data.Width), static_cast<int>(m_data.Height),
            m_data.Stride};
  }

 private:
  Gdiplus::Bitmap& m_bitmap;
  Gdiplus::BitmapData m_data{};
  Gdiplus::Status m_status = Gdiplus::GenericError;
};

// The GDI+ failure message for the encoder and "DoEncode", with E_FAIL.
HRESULT report_gdiplus_failure(const EncoderIdentity& who, Gdiplus::Status status);

// A bitmap over the caller's pixels (rows of width * 4 bytes). When `writable`, or when the rows are
// not memory of our own pixel allocator (zx::pixel_memory_holds), the pixels are copied into a
// bitmap of its own; otherwise the bitmap reads the caller's rows in place, which gives the same
// bytes to every step that only reads. A format other than 32 bpp ARGB is refused with
// NotImplemented; null pixels or a size GDI+ refuses with InvalidParameter.
std::unique_ptr<Gdiplus::Bitmap> make_working_bitmap(BYTE* pixels, LONG width, LONG height, LONG pixelFormat,
                                                     bool writable, Gdiplus::Status& status);

// Flattens the bitmap over the colour (see flatten_over_background_argb32). A bitmap that cannot be
// locked is left as it was: the flattening reports nothing of its own.
void flatten_background(Gdiplus::Bitmap& bitmap, LONG background);

// The depth conversion by options.colorDepth: 1 (binarization with threshold, dither type and
// inversion), 8 (palette conversion with palette type, colour count, dither type and `transparent`),
// 24 (24 bpp RGB copy) or 32 (32 bpp ARGB copy; the source itself is handed back when `may_reuse`,
// as nothing writes to it afterwards but the resolution). Any other depth: InvalidParameter.
std::unique_ptr<Gdiplus::Bitmap> convert_depth(std::unique_ptr<Gdiplus::Bitmap>& source, const EncoderOptions& options,
                                               bool transparent, bool may_reuse, Gdiplus::Status& status);

// The CLSID of the first platform image encoder whose MIME type equals `mime` exactly; CLSID_NULL
// when there is none (saving then fails with the codec's status).
CLSID find_codec(const OLECHAR* mime);

// Copies the whole memory stream to `output` at output's current position: size from Stat, seek
// the memory stream to its start, then read and write (zx::write_all: partial writes are
// continued). Returns the first failing result.
HRESULT hand_over_stream(IStream* memory, IStream* output);

// Saves the bitmap with the platform's JPEG codec at the quality (0..100) into `stream`.
Gdiplus::Status save_jpeg(Gdiplus::Bitmap& bitmap, LONG quality, IStream* stream);

// The whole content of a memory stream (size from Stat, read from its start).
HRESULT read_whole_stream(IStream* memory, std::vector<uint8_t>& bytes);

// Writes all of `bytes` to `output` at its current position (zx::write_all, in pieces a ULONG
// counts). Returns the first failing result.
HRESULT write_whole(IStream* output, std::span<const uint8_t> bytes);

// How a converted bitmap goes to a platform codec.
struct CodecSave {
  const OLECHAR* mime;
  bool transparent;  // the 8 bpp conversion marks the entries of (nearly) transparent pixels
  const Gdiplus::EncoderParameters* parameters = nullptr;
  // A failed depth conversion: a GDI+ failure message (GIF), or a bare E_INVALIDARG (the others).
  bool reportConversionFailure = false;
};

// The working bitmap of the request, flattened over the background when that is present (a copy
// of the caller's rows then, else the rows read in place unless `writable`). Null once the failure
// is reported (a GDI+ failure message) and its result stored in `hr`.
std::unique_ptr<Gdiplus::Bitmap> prepare_working_bitmap(const EncoderIdentity& who, const EncoderOptions& options,
                                                        const EncodeRequest& request, bool writable, HRESULT& hr);

// The tail every depth-converting encoder shares: depth conversion of `working` (by
// options.colorDepth), codec by MIME type, resolution, save with the parameters into `output`.
HRESULT save_converted(const EncoderIdentity& who, const EncoderOptions& options,
                       std::unique_ptr<Gdiplus::Bitmap> working, const CodecSave& save, IStream* output);

// The whole DoEncode of BMP, PNG and GIF: prepare_working_bitmap, then save_converted.
HRESULT encode_through_depth_conversion(const EncoderIdentity& who, const EncoderOptions& options,
                                        const EncodeRequest& request, const CodecSave& save);

}  // namespace zx::encoding
