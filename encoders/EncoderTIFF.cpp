// Zentarix — MIT licence.
// EncoderTIFF: RGB through the platform codec at a chosen depth and compression, or CMYK separated
// through image attributes' output channels and written by libtiff.
#include "EncoderTIFF.h"

#include <vector>

#include "CmykTiff.h"
#include "EncoderKernels.h"
#include "EncoderObject.h"

namespace zx::encoding {
namespace {

namespace m = messages;
using Gdiplus::Bitmap;
using Gdiplus::Status;

constexpr const OLECHAR* kNames[] = {u"TIFF", u"TIF"};

constexpr OptionRead kReads[] = {
    {Option::EnableLZW, m::kTiffEnableLZW},
    {Option::PaletteType, m::kTiffPaletteType},
    {Option::PaletteColorsNumber, m::kTiffPaletteColorsNumber},
    {Option::BackgroundColor, m::kTiffBackground},
    {Option::ColorDepth, m::kTiffColorDepth},
    {Option::ColorSpace, m::kTiffColorSpace},
    {Option::CompressionTypeTIFF, m::kTiffCompressionType},
    {Option::ICCProfileFilename, m::kTiffICCProfileFilename},
    {Option::HorizontalResolution, m::kTiffHorizontalResolution},
    {Option::VerticalResolution, m::kTiffVerticalResolution},
    {Option::IsInverted, m::kTiffIsInverted},
    {Option::DitherType, m::kTiffBinarizeMethod},
    {Option::Threshold, m::kTiffThreshold},
};

void set_defaults(EncoderOptions& o) {
  o.enableLZW = 0;
  o.compressionType = 1;  // LZW
  o.colorDepth = 32;
  o.colorSpace = 0;       // RGB
  o.paletteType = 0;
  o.paletteColorsNumber = 216;
}

// CompressionType: the codec's value, and the refusal of a depth other than 1 (null: any depth).
struct Compression {
  Gdiplus::EncoderValue codecValue;
  const OLECHAR* onlyOneBit;
};
constexpr Compression kCompressions[] = {
    {Gdiplus::EncoderValueCompressionNone, nullptr},
    {Gdiplus::EncoderValueCompressionLZW, nullptr},
    {Gdiplus::EncoderValueCompressionCCITT3, m::kCcitt3NeedsOneBit},
    {Gdiplus::EncoderValueCompressionCCITT4, m::kCcitt4NeedsOneBit},
    {Gdiplus::EncoderValueCompressionRle, m::kRleNeedsOneBit},
};
constexpr LONG kLZW = 1;

HRESULT encode_rgb(const EncoderIdentity& who, const EncoderOptions& options, std::unique_ptr<Bitmap> working,
                   IStream* output) {
  if (options.compressionType < 0 || options.compressionType >= LONG(std::size(kCompressions))) return E_INVALIDARG;
  const Compression& compression = kCompressions[options.compressionType];
  if (compression.onlyOneBit && options.colorDepth != 1)
    return server::ReportError(*who.clsid, compression.onlyOneBit, *who.iid, E_FAIL);

  LONG codecValue = compression.codecValue, depth = options.colorDepth;
  std::vector<uint8_t> block(sizeof(Gdiplus::EncoderParameters) + sizeof(Gdiplus::EncoderParameter));
  auto* parameters = reinterpret_cast<Gdiplus::EncoderParameters*>(block.data());
  parameters->Count = 2;
  parameters->Parameter[0] = {Gdiplus::EncoderCompression, 1, Gdiplus::EncoderParameterValueTypeLong, &codecValue};
  parameters->Parameter[1] = {Gdiplus::EncoderColorDepth, 1, Gdiplus::EncoderParameterValueTypeLong, &depth};
  // 8 bpp TIFF palettes mark no entry transparent.
  return save_converted(who, options, std::move(working), {u"image/tiff", false, parameters}, output);
}

// ---- CMYK ----------------------------------------------------------------------------------------

// Results of the separation besides S_OK and the HRESULTs of its failures.
constexpr HRESULT kCannotOpenProfile = -1;
constexpr HRESULT kCannotLockResult = -3;
constexpr HRESULT kCannotLockDrawing = -6;

// The separation: `working` drawn once per ink, cyan to black, through image attributes whose
// output channel selects the ink (the platform renders it as grey, 255 - ink) onto one drawing
// bitmap that is not cleared between inks, so a transparent pixel, which SourceOver never draws,
// reads as full ink in all four. Byte k of each pixel of `result` is ink k.
HRESULT separate_cmyk(Bitmap& working, const Bstr& profile, std::unique_ptr<Bitmap>& result) {
  const INT width = INT(working.GetWidth()), height = INT(working.GetHeight());
  auto cmyk = std::make_unique<Bitmap>(width, height, Gdiplus::PixelFormat32bppARGB);
  if (cmyk->GetLastStatus() != Gdiplus::Ok) return E_FAIL;
  Bitmap drawing(width, height, Gdiplus::PixelFormat32bppARGB);
  if (drawing.GetLastStatus() != Gdiplus::Ok) return E_OUTOFMEMORY;
  Gdiplus::Graphics graphics(&drawing);
  Gdiplus::ImageAttributes attributes;
  if (graphics.GetLastStatus() != Gdiplus::Ok || attributes.GetLastStatus() != Gdiplus::Ok) return E_OUTOFMEMORY;
  if (profile.length() != 0 && attributes.SetOutputChannelColorProfile(profile.get()) != Gdiplus::Ok)
    return kCannotOpenProfile;

  std::unique_ptr<BitmapLock> out;
  for (int ink = 0; ink < 4; ++ink) {
    if (attributes.SetOutputChannel(static_cast<Gdiplus::ColorChannelFlags>(ink)) != Gdiplus::Ok) return E_FAIL;
    if (graphics.DrawImage(&working, Gdiplus::Rect(0, 0, width, height), 0, 0, width, height, Gdiplus::UnitPixel,
                           &attributes) != Gdiplus::Ok)
      return E_FAIL;
    if (!out) {
      out = std::make_unique<BitmapLock>(*cmyk, Gdiplus::ImageLockModeWrite, Gdiplus::PixelFormat32bppARGB);
      if (out->status() != Gdiplus::Ok) return kCannotLockResult;
    }
    BitmapLock grey(drawing, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppARGB);
    if (grey.status() != Gdiplus::Ok) return kCannotLockDrawing;
    take_ink_argb32(grey.source(), out->target(), ink);
  }
  out.reset();
  result = std::move(cmyk);
  return S_OK;
}

HRESULT report_separation_failure(const EncoderIdentity& who, HRESULT result) {
  const OLECHAR* message = result == kCannotOpenProfile  ? m::kCmykCannotOpenProfile
                           : result == kCannotLockResult ? m::kCmykCannotLock
                                                         : m::kCmykUnknownError;
  return server::ReportError(*who.clsid, message, *who.iid, result);
}

// Whatever CompressionType and ColorDepth say, the file is uncompressed CMYK at 8 bits per ink.
HRESULT encode_cmyk(const EncoderIdentity& who, const EncoderOptions& options, Bitmap& working, IStream* output) {
  // The profile name goes to the platform as it is: the ANSI round trip of a narrow-character
  // platform has nothing to lose where file names are UTF-8.
  std::unique_ptr<Bitmap> cmyk;
  const HRESULT separated = separate_cmyk(working, options.iccProfileFilename, cmyk);
  if (FAILED(separated)) return report_separation_failure(who, separated);

  Status status = cmyk->SetResolution(options.horizontalResolution, options.verticalResolution);
  if (status != Gdiplus::Ok) return report_gdiplus_failure(who, status);
  std::vector<uint8_t> file;
  {
    BitmapLock rows(*cmyk, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppARGB);
    if ((status = rows.status()) != Gdiplus::Ok) return report_gdiplus_failure(who, status);
    if (!write_cmyk_tiff(rows.source(), cmyk->GetHorizontalResolution(), cmyk->GetVerticalResolution(), file))
      return report_gdiplus_failure(who, Gdiplus::GenericError);
  }
  return write_whole(output, file);
}

HRESULT encode(const EncoderIdentity& who, const EncoderOptions& options, const EncodeRequest& request) {
  if (options.enableLZW == 0 && options.compressionType == kLZW)
    return server::ReportError(*who.clsid, m::kTiffLzwDisabled, *who.iid, E_FAIL);
  HRESULT hr = S_OK;
  std::unique_ptr<Bitmap> working = prepare_working_bitmap(who, options, request, false, hr);
  if (!working) return hr;
  switch (options.colorSpace) {
    case 0: return encode_rgb(who, options, std::move(working), request.output);
    case 1: return encode_cmyk(who, options, *working, request.output);
    default: return E_INVALIDARG;
  }
}

constexpr EncoderFormat kFormat{{&CLSID_EncoderTIFF, &IID_IEncoderTIFF, u"EncoderTIFF"}, 3, kNames, &set_defaults,
                                kReads, &encode};

}  // namespace

HRESULT create_encoder_tiff(IUnknown* outer, REFIID riid, void** ppv) noexcept {
  return server::create_instance<EncoderObject<IEncoderTIFF, &kFormat>>(outer, riid, ppv);
}

}  // namespace zx::encoding
