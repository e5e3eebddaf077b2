// Zentarix — MIT licence.
// The shared steps of DoEncode: working bitmap, flattening, depth conversion, codec, resolution, hand-over.
#pragma once
#include <gdiplus.h>

#include <memory>

#include "EncoderOptions.h"

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

// The whole DoEncode of the encoders that convert the depth before a platform codec writes the
// file (BMP, PNG): working bitmap, flattening when the background is present, depth conversion
// (a failure returns E_INVALIDARG without error information), codec by `mime`, resolution, save
// without parameters into request.output.
HRESULT encode_through_depth_conversion(const EncoderIdentity& who, const EncoderOptions& options,
                                        const EncodeRequest& request, const OLECHAR* mime, bool transparent);

}  // namespace zx::encoding
