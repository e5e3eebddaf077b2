// Zentarix — MIT licence.
// The transforms' fixed message texts (the system's own words, misspellings included).
#pragma once
#include <wtypes.h>

namespace zx::transforms::messages {

// Array conversions of the dual Apply: to the transform, and back from it.
inline constexpr OLECHAR kCropTo[] = u"Cannot retrieve bitmap data to the crop Transform";
inline constexpr OLECHAR kCropFrom[] = u"Cannot retrieve bitmap data from the crop Transform";
inline constexpr OLECHAR kEqualizeTo[] = u"Cannot retrieve bitmap data to the color equalize Transform";
inline constexpr OLECHAR kEqualizeFrom[] = u"Cannot retrieve bitmap data from the color equalize Transform";
inline constexpr OLECHAR kFlipTo[] = u"Cannot retrieve bitmap data to the flip Transform";
inline constexpr OLECHAR kFlipFrom[] = u"Cannot retrieve bitmap data from the flip Transform";
inline constexpr OLECHAR kResizeTo[] = u"Cannot retrieve bitmap data to the resize Transform";
inline constexpr OLECHAR kResizeFrom[] = u"Cannot retrieve bitmap data from the resize Transform";
inline constexpr OLECHAR kRotateTo[] = u"Cannot retrieve bitmap data to the rotate transform";
// Rotate's own wording of the way back mirrors its way there.
inline constexpr OLECHAR kRotateFrom[] = u"Cannot retrieve bitmap data from the rotate transform";

// A machine fault or an exception inside a pixel kernel; the support address follows.
inline constexpr OLECHAR kFastBlurException[] =
    u"Some exception occured in the FastBlur transform. If you see this message, please contact ";
inline constexpr OLECHAR kGlowException[] =
    u"Some exception occured in the Glow transform. If you see this message, please contact ";
inline constexpr OLECHAR kShadowException[] =
    u"Some exception occured in the Shadow transform. If you see this message, please contact ";
inline constexpr OLECHAR kNoiseRemoveException[] =
    u"Some exception occured in the NoiseRemove transform. If you see this message, please contact ";
inline constexpr OLECHAR kErosionException[] =
    u"Some exception occured in the Erosion transform. If you see this message, please contact ";
inline constexpr OLECHAR kExpandException[] =
    u"Some exception occured in the Expand transform. If you see this message, please contact ";
inline constexpr OLECHAR kTransparentizeException[] =
    u"Cannot proceed transparentizing the image! If you see this message, please contact ";
inline constexpr OLECHAR kTransparentizeArrayException[] =
    u"Some exception in TransformTransparentize.Apply occured. If you see this message, please contact ";

// Settings and geometry.
inline constexpr OLECHAR kWidthNotPositive[] = u"Width must be greater than 0!";
inline constexpr OLECHAR kHeightNotPositive[] = u"Height must be greater than 0!";
inline constexpr OLECHAR kCannotMakeCrop[] =
    u"Cannot make crop. Possible wrong Width or Height properties (less or equal 0) or not enough memory.";

// Worker names the GDI+ failure message is built with.
inline constexpr OLECHAR kApply[] = u"Apply";
inline constexpr OLECHAR kApplyMe[] = u"ApplyMe";
inline constexpr OLECHAR kDoTransform[] = u"DoTransform";
inline constexpr OLECHAR kDoFlipAndRotate[] = u"DoFlipAndRotate";

}  // namespace zx::transforms::messages
