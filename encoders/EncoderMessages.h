// Zentarix — MIT licence.
// The encoding subsystem's fixed message texts (the system's own words, misspellings included).
#pragma once
#include <wtypes.h>

namespace zx::encoding::messages {

// EncoderManager.
inline constexpr OLECHAR kNoEncodersInstalled[] = u"No encoders installed! If you see this message, contact ";
inline constexpr OLECHAR kCannotRetrieveName[] = u"Cannot retrieve encoder name.";
inline constexpr OLECHAR kEncoderNotFound[] = u"Encoder not found!";
inline constexpr OLECHAR kCannotFindEncoder[] =
    u"Cannot find specified encoder! It is possible you use Auto as OutputFileType and loaded file name has wrong "
    u"file extension. Try to specify OutputFileType explicitly or make sure that file name has correct extension. ";

// IEncoderNames.
inline constexpr OLECHAR kFetchOneName[] = u"Cannot fetch more than 1 encoder name!";

// Settings objects. The texts for a TIFF compression type or colour depth outside its enumeration
// are ours, in the style of the colour-space one.
inline constexpr OLECHAR kWrongSwfCompression[] = u"Wrong compression type! It must be either lossless (0) or JPEG (1)...";
inline constexpr OLECHAR kColorSpaceNotSupported[] = u"This color space is not supported!";
inline constexpr OLECHAR kCompressionNotSupported[] = u"This compression type is not supported!";
inline constexpr OLECHAR kColorDepthNotSupported[] = u"This color depth is not supported!";

// SetOptions failures of the BMP, JPEG and PNG encoders, one per option in reading order. The BMP
// BackgroundColor text is ours, in the style of the others.
inline constexpr OLECHAR kBmpBackgroundColor[] = u"Cannot save to BMP: BackgroundColor parameter has incorrect value!";
inline constexpr OLECHAR kBmpColorDepth[] = u"Cannot save to BMP: ColorDepth parameter has incorrect value!";
inline constexpr OLECHAR kBmpPaletteType[] = u"Cannot save to BMP: PaletteType parameter has incorrect value!";
inline constexpr OLECHAR kBmpPaletteColorsNumber[] = u"Cannot save to BMP: PaletteColorsNumber parameter has incorrect value!";
inline constexpr OLECHAR kBmpHorizontalResolution[] = u"Cannot save to BMP: HorizontalResolution parameter has incorrect value!";
inline constexpr OLECHAR kBmpVerticalResolution[] = u"Cannot save to BMP: VerticalResolution parameter has incorrect value!";
inline constexpr OLECHAR kBmpIsInverted[] = u"Cannot save to BMP: IsInverted parameter has incorrect value!";
inline constexpr OLECHAR kBmpBinarizeMethod[] = u"Cannot save to BMP: BinarizeMethod parameter has incorrect value!";
inline constexpr OLECHAR kBmpThreshold[] = u"Cannot save to BMP: Threshold parameter has incorrect value!";

inline constexpr OLECHAR kJpegQuality[] = u"Cannot save to JPEG: JPEGQuality parameter has incorrect value!";
inline constexpr OLECHAR kJpegHorizontalResolution[] = u"Cannot save to JPEG: HorizontalResolution parameter has incorrect value!";
inline constexpr OLECHAR kJpegBackground[] = u"Cannot save to JPEG: Background parameter has incorrect value!";
inline constexpr OLECHAR kJpegVerticalResolution[] = u"Cannot save to JPEG: VerticalResolution parameter has incorrect value!";

inline constexpr OLECHAR kPngColorDepth[] = u"Cannot save to PNG: ColorDepth parameter has incorrect value!";
inline constexpr OLECHAR kPngPaletteType[] = u"Cannot save to PNG: PaletteType parameter has incorrect value!";
inline constexpr OLECHAR kPngPaletteColorsNumber[] = u"Cannot save to PNG: PaletteColorsNumber parameter has incorrect value!";
inline constexpr OLECHAR kPngIsTransparent[] = u"Cannot save to PNG: IsTransparent parameter has incorrect value!";
inline constexpr OLECHAR kPngBackgroundColor[] = u"Cannot save to PNG: BackgroundColor parameter has incorrect value!";
inline constexpr OLECHAR kPngHorizontalResolution[] = u"Cannot save to PNG: HorizontalResolution parameter has incorrect value!";
inline constexpr OLECHAR kPngVerticalResolution[] = u"Cannot save to PNG: VerticalResolution parameter has incorrect value!";
inline constexpr OLECHAR kPngIsInverted[] = u"Cannot save to PNG: IsInverted parameter has incorrect value!";
inline constexpr OLECHAR kPngBinarizeMethod[] = u"Cannot save to PNG: BinarizeMethod parameter has incorrect value!";
inline constexpr OLECHAR kPngThreshold[] = u"Cannot save to PNG: Threshold parameter has incorrect value!";

inline constexpr OLECHAR kGifEnableLZW[] = u"Cannot save to GIF: EnableLZW parameter has incorrect value!";
inline constexpr OLECHAR kGifPaletteType[] = u"Cannot save to GIF: PaletteType parameter has incorrect value!";
inline constexpr OLECHAR kGifPaletteColorsNumber[] = u"Cannot save to GIF: PaletteColorsNumber parameter has incorrect value!";
inline constexpr OLECHAR kGifIsTransparent[] = u"Cannot save to GIF: IsTransparent parameter has incorrect value!";
inline constexpr OLECHAR kGifBackground[] = u"Cannot save to GIF: Background parameter has incorrect value!";
inline constexpr OLECHAR kGifHorizontalResolution[] = u"Cannot save to GIF: HorizontalResolution parameter has incorrect value!";
inline constexpr OLECHAR kGifVerticalResolution[] = u"Cannot save to GIF: VerticalResolution parameter has incorrect value!";
inline constexpr OLECHAR kGifDitherType[] = u"Cannot save to GIF: DitherType parameter has incorrect value!";

inline constexpr OLECHAR kSwfCompressionType[] = u"Cannot save to SWF: CompressionType parameter has incorrect value!";
inline constexpr OLECHAR kSwfJpegQuality[] = u"Cannot save to SWF: JPEGQuality parameter has incorrect value!";
inline constexpr OLECHAR kSwfBackground[] = u"Cannot save to SWF: Background parameter has incorrect value!";
inline constexpr OLECHAR kSwfHorizontalResolution[] = u"Cannot save to SWF: HorizontalResolution parameter has incorrect value!";
inline constexpr OLECHAR kSwfVerticalResolution[] = u"Cannot save to SWF: VerticalResolution parameter has incorrect value!";

// The TIFF EnableLZW text is ours, in the style of the others.
inline constexpr OLECHAR kTiffEnableLZW[] = u"Cannot save to TIFF: EnableLZW parameter has incorrect value!";
inline constexpr OLECHAR kTiffPaletteType[] = u"Cannot save to TIFF: PaletteType parameter has incorrect value!";
inline constexpr OLECHAR kTiffPaletteColorsNumber[] = u"Cannot save to TIFF: PaletteColorsNumber parameter has incorrect value!";
inline constexpr OLECHAR kTiffBackground[] = u"Cannot save to TIFF: Background parameter has incorrect value!";
inline constexpr OLECHAR kTiffColorDepth[] = u"Cannot save to TIFF: ColorDepth parameter has incorrect value!";
inline constexpr OLECHAR kTiffColorSpace[] = u"Cannot save to TIFF: ColorSpace parameter has incorrect value!";
inline constexpr OLECHAR kTiffCompressionType[] = u"Cannot save to TIFF: CompressionType parameter has incorrect value!";
inline constexpr OLECHAR kTiffICCProfileFilename[] = u"Cannot save to TIFF: ICCProfileFilename parameter has incorrect value!";
inline constexpr OLECHAR kTiffHorizontalResolution[] = u"Cannot save to TIFF: HorizontalResolution parameter has incorrect value!";
inline constexpr OLECHAR kTiffVerticalResolution[] = u"Cannot save to TIFF: VerticalResolution parameter has incorrect value!";
inline constexpr OLECHAR kTiffIsInverted[] = u"Cannot save to TIFF: IsInverted parameter has incorrect value!";
inline constexpr OLECHAR kTiffBinarizeMethod[] = u"Cannot save to TIFF: BinarizeMethod parameter has incorrect value!";
inline constexpr OLECHAR kTiffThreshold[] = u"Cannot save to TIFF: Threshold parameter has incorrect value!";

inline constexpr OLECHAR kWbmpHorizontalResolution[] = u"Cannot save to WBMP: HorizontalResolution parameter has incorrect value!";
inline constexpr OLECHAR kWbmpVerticalResolution[] = u"Cannot save to WBMP: VerticalResolution parameter has incorrect value!";
inline constexpr OLECHAR kWbmpIsInverted[] = u"Cannot save to WBMP: IsInverted parameter has incorrect value!";
inline constexpr OLECHAR kWbmpBinarizeMethod[] = u"Cannot save to WBMP: BinarizeMethod parameter has incorrect value!";
inline constexpr OLECHAR kWbmpThreshold[] = u"Cannot save to WBMP: Threshold parameter has incorrect value!";

// DoEncode failures of the GIF, TIFF and SWF encoders.
inline constexpr OLECHAR kGifLzwDisabled[] =
    u"Cannot save GIF. LZW support is disabled! If you have license from Unisys or don't care about it, you can "
    u"enable it via EnableLZW property of the RasterObject. For more questions, contact us at " ZX_SUPPORT_ADDRESS_TEXT;
inline constexpr OLECHAR kTiffLzwDisabled[] =
    u"Cannot save TIFF with LZW compression: LZW support is disabled! If you have license from Unisys or don't care "
    u"about it, you can enable it via EnableLZW property of the RasterObject. For more questions, contact us at "
    ZX_SUPPORT_ADDRESS_TEXT;
inline constexpr OLECHAR kCcitt3NeedsOneBit[] = u"Cannot use CCITT3 compression on images which has color depth > 1!";
inline constexpr OLECHAR kCcitt4NeedsOneBit[] = u"Cannot use CCITT4 compression on images which has color depth > 1!";
inline constexpr OLECHAR kRleNeedsOneBit[] = u"Cannot use RLE compression on images which has color depth > 1!";
inline constexpr OLECHAR kCmykCannotOpenProfile[] =
    u"Error during color space convertation. Cannot open ICC profile. It is possible such a profile does not exist or "
    u"you try to use non-ICC profile file as profile.";
inline constexpr OLECHAR kCmykCannotLock[] =
    u"Error during color space convertation. Cannot lock input bits. If you see this error, please contact "
    ZX_SUPPORT_ADDRESS_TEXT;
inline constexpr OLECHAR kCmykUnknownError[] =
    u"Error during color space convertation. Unknown error. If you see this error, please contact "
    ZX_SUPPORT_ADDRESS_TEXT;
inline constexpr OLECHAR kSwfPixelFormat[] = u"This pixel format is not supported by SWF encoder!";
inline constexpr OLECHAR kSwfLosslessException[] = u"Exception occured while encoding to SWF file (lossless)";

// The method name of encoding failures reported as GDI+ failure messages.
inline constexpr OLECHAR kDoEncode[] = u"DoEncode";

}  // namespace zx::encoding::messages
