// Zentarix — MIT licence.
// The server frame's fixed message texts (the system's own words, misspellings included).
#pragma once
#include <wtypes.h>

namespace zx::server::messages {

// GDI+ failure message pieces, around the method name, object name, support address and status text.
inline constexpr OLECHAR kGdiplusErrorPrefix[] = u"GDI+ error occured in ";
inline constexpr OLECHAR kGdiplusErrorMethod[] = u" method of the ";
inline constexpr OLECHAR kGdiplusErrorObject[] = u" object. If you get this error, please contact ";
inline constexpr OLECHAR kGdiplusErrorStatus[] = u". Error message: ";
inline constexpr OLECHAR kSupportAddress[] = ZX_SUPPORT_ADDRESS_TEXT;

// One sentence per GDI+ status, indexed by the status; kGdiplusStatusUnknown for any other.
inline constexpr const OLECHAR* kGdiplusStatusTexts[] = {
    u"Success! Gdi+ status is Ok. GDI+ status code 0",
    u"Some unspecified GDI+ error. GDI+ status code 1",
    u"Invalid parameter. GDI+ status code 2",
    u"Out of memory or GDI+ constructor error. GDI+ status code 3",
    u"Some GDI+ object you want to process is used in another thread. GDI+ status code 4",
    u"Buffer is too short to hold the data. GDI+ status code 5",
    u"The method is not implemented in GDI+. GDI+ status code 6",
    u"Some Win32 API error is occured. GDI+ status code 7",
    u"GDI+ object is in an invalid state. GDI+ status code 8",
    u"Method is aborted. GDI+ status code 9",
    u"Specified file not found. GDI+ status code 10",
    u"Numeric overflow during some arithmetic operations made by GDI+ method. GDI+ status code 11",
    u"Access denied. GDI+ status code 12",
    u"Required image format is not supported. GDI+ status code 13",
    u"Specified font family is not installed on your computer. GDI+ status code 14",
    u"Specified font style is not available for the specified font family. GDI+ status code 15",
    u"Specified font is not TrueType font thus it cannot be used with GDI+. GDI+ status code 16",
    u"GDI+ version you use is incompatible with the version with which our software was compiled. GDI+ status code 17",
    u"GDI+ is not initialized. GDI+ status code 18",
    u"Specified property does not exist in the image. GDI+ status code 19",
    u"Specified property is not supported by the format of the image. GDI+ status code 20",
};
inline constexpr OLECHAR kGdiplusStatusUnknown[] = u"GDI+ error which is not provided during coding this software.";

// The collection's one error text (ANSI: it goes through the printf-style formatter).
inline constexpr char kCollectionError[] = "Error in the collection occured (it is possible wrong index)";

// Registration without the component category manager.
inline constexpr OLECHAR kNoCategoryManager[] =
    u"Cannot create Component Categories Manager! Execute \"regsvr32 comcat.dll\" can try again.";

}  // namespace zx::server::messages
