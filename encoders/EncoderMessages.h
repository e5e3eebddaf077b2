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

// The method name of encoding failures reported as GDI+ failure messages.
inline constexpr OLECHAR kDoEncode[] = u"DoEncode";

}  // namespace zx::encoding::messages
