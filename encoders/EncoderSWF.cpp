// Zentarix — MIT licence.
// EncoderSWF: one-frame movies showing the image as a lossless or JPEG bitmap on a rectangle.
#include "EncoderSWF.h"

#include <zlib.h>

#include <new>
#include <vector>

#include "EncoderKernels.h"
#include "EncoderObject.h"
#include "SwfWriter.h"

namespace zx::encoding {
namespace {

namespace m = messages;

constexpr const OLECHAR* kNames[] = {u"SWF"};

constexpr OptionRead kReads[] = {
    {Option::CompressionTypeSWF, m::kSwfCompressionType},
    {Option::JPEGQuality, m::kSwfJpegQuality},
    {Option::BackgroundColor, m::kSwfBackground},
    {Option::HorizontalResolution, m::kSwfHorizontalResolution},
    {Option::VerticalResolution, m::kSwfVerticalResolution},
};

constexpr LONG kLossless = 0;
constexpr LONG kJpeg = 1;
constexpr int kFrameRate = 12;
constexpr int64_t kTwips = 20;  // per pixel
// The bitmap records hold their sides in 16 bits.
constexpr LONG kLongestSide = 65535;

// JPEG unless the options say otherwise (while SWFEncoderInfo starts at lossless); the background
// is always used, opaque white unless given.
void set_defaults(EncoderOptions& o) {
  o.compressionType = kJpeg;
  o.jpegQuality = 75;
  o.backgroundColor = -1;
}

HRESULT lossless_failure(const EncoderIdentity& who) {
  return server::ReportError(*who.clsid, m::kSwfLosslessException, *who.iid, E_FAIL);
}

// Premultiplied A, R, G, B pixels, compressed by zlib at level 9. No flattening, no resolution.
HRESULT lossless_character(const EncoderIdentity& who, const EncodeRequest& request, swf::Movie& movie,
                           swf::BitmapCharacter& out) {
  if (static_cast<Gdiplus::PixelFormat>(request.pixelFormat) != Gdiplus::PixelFormat32bppARGB)
    return server::ReportError(*who.clsid, m::kSwfPixelFormat, *who.iid, E_INVALIDARG);
  if (request.width <= 0 || request.height <= 0 || request.width > kLongestSide || request.height > kLongestSide)
    return lossless_failure(who);
  try {
    const size_t n = size_t(request.width) * size_t(request.height) * 4;
    std::vector<uint8_t> pixels(n);
    const ConstPixelView source{request.pixels, request.width, request.height, ptrdiff_t{request.width} * 4};
    // A fault while reading the caller's rows is this branch's failure like any other.
    if (!server::guarded_call(premultiply_swf_argb32, source, pixels.data())) return lossless_failure(who);
    uLongf packedSize = compressBound(uLong(n));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, pixels.data(), uLong(n), 9) != Z_OK) return lossless_failure(who);
    packed.resize(packedSize);
    out = swf::lossless_bitmap(movie, request.width, request.height, packed);
  } catch (const std::bad_alloc&) {
    return lossless_failure(who);
  }
  return S_OK;
}

// The platform's JPEG file of the working bitmap (alpha not flattened), at the options' resolution.
HRESULT jpeg_character(const EncoderIdentity& who, const EncoderOptions& options, const EncodeRequest& request,
                       swf::Movie& movie, swf::BitmapCharacter& out) {
  Gdiplus::Status status = Gdiplus::Ok;
  std::unique_ptr<Gdiplus::Bitmap> working =
      make_working_bitmap(request.pixels, request.width, request.height, request.pixelFormat, false, status);
  if (!working) return report_gdiplus_failure(who, status);
  if ((status = working->SetResolution(options.horizontalResolution, options.verticalResolution)) != Gdiplus::Ok)
    return report_gdiplus_failure(who, status);
  ComPtr<IStream> memory;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, memory.put());
  if (FAILED(hr)) return hr;
  if ((status = save_jpeg(*working, options.jpegQuality, memory.get())) != Gdiplus::Ok)
    return report_gdiplus_failure(who, status);
  working.reset();
  std::vector<uint8_t> jpeg;
  if (FAILED(hr = read_whole_stream(memory.get(), jpeg))) return hr;
  out = swf::jpeg_bitmap(movie, request.width, request.height, jpeg);
  return S_OK;
}

HRESULT encode(const EncoderIdentity& who, const EncoderOptions& options, const EncodeRequest& request) {
  if (options.compressionType != kLossless && options.compressionType != kJpeg)
    return server::ReportError(*who.clsid, m::kCompressionNotSupported, *who.iid, E_INVALIDARG);
  if (!request.pixels) return E_POINTER;
  swf::Movie movie(kFrameRate);
  swf::BitmapCharacter bitmap;
  const HRESULT made = options.compressionType == kLossless
                           ? lossless_character(who, request, movie, bitmap)
                           : jpeg_character(who, options, request, movie, bitmap);
  if (FAILED(made)) return made;

  const int64_t width = request.width * kTwips, height = request.height * kTwips;
  swf::Frame& frame = movie.frame(0);
  swf::BitmapRectangle rectangle({0, width, 0, height}, bitmap);
  rectangle.add_to(movie, frame);
  frame.push_back(swf::background_tag(static_cast<uint32_t>(options.backgroundColor)));
  movie.set_stage(width, height);
  return write_whole(request.output, movie.write());
}

constexpr EncoderFormat kFormat{{&CLSID_EncoderSWF, &IID_IEncoderSWF, u"EncoderSWF"}, 5, kNames, &set_defaults, kReads,
                                &encode};

}  // namespace

HRESULT create_encoder_swf(IUnknown* outer, REFIID riid, void** ppv) noexcept {
  return server::create_instance<EncoderObject<IEncoderSWF, &kFormat>>(outer, riid, ppv);
}

}  // namespace zx::encoding
