// Zentarix — MIT licence.
// The fixed pieces of the effects' messages; EffectFrame.cpp puts each effect's name and settings in.
#pragma once
#include <wtypes.h>

namespace zx::effects::messages {

// "Cannot retrieve bitmap data to the Mosaic effect", "... from the Mosaic effect".
inline constexpr OLECHAR kArrayTo[] = u"Cannot retrieve bitmap data to the ";
inline constexpr OLECHAR kArrayFrom[] = u"Cannot retrieve bitmap data from the ";
inline constexpr OLECHAR kEffect[] = u" effect";
// A machine fault or an exception inside the effect's kernel; the support address follows.
inline constexpr OLECHAR kExceptionStart[] = u"Some exception occurred in the ";
inline constexpr OLECHAR kExceptionEnd[] = u" effect. If you see this message, please contact ";
// Refused settings: "Amount must be between -100 and 100!" and the like.
inline constexpr OLECHAR kBetween[] = u" must be between ";
inline constexpr OLECHAR kAnd[] = u" and ";
inline constexpr OLECHAR kAtLeast[] = u" must be at least ";
inline constexpr OLECHAR kPositive[] = u" must be greater than 0!";
inline constexpr OLECHAR kEnd[] = u"!";

}  // namespace zx::effects::messages
