// Zentarix — MIT licence.
// The layer collection's fixed message texts (the system's own words, misspellings included).
#pragma once
#include <wtypes.h>

namespace zx::collection::messages {

// Object and method names the GDI+ failure message is built with. A failed background fill names
// "ObjectCollection", every other failure "RasterCollection".
inline constexpr OLECHAR kObjectName[] = u"RasterCollection";
inline constexpr OLECHAR kFillObjectName[] = u"ObjectCollection";
inline constexpr OLECHAR kCombineMethod[] = u"Combine";
inline constexpr OLECHAR kGetFramesCountMethod[] = u"GetFramesCount";
inline constexpr OLECHAR kLoadMethod[] = u"LoadMultiframeImage";
inline constexpr OLECHAR kSaveMethod[] = u"SaveMultiframeImage";

// Lookups and combining.
inline constexpr OLECHAR kItemAccess[] = u"Cannot get access to the item. Probably the index is out of bounds";
inline constexpr OLECHAR kCombineEmpty[] = u"Cannot combine: collection does not contain any items!";
inline constexpr OLECHAR kCombineNoBackground[] = u"Cannot combine! Background data is not loaded!";
inline constexpr OLECHAR kUnsupportedMode[] = u"Zentarix does not support such a mode!";
// Prefixes of a failed combine, indexed by CombineModes.
inline constexpr const OLECHAR* kCombineFailedPrefix[] = {
    u"Cannot combine (alpha blend): ",
    u"Cannot combine (XOR blend): ",
    u"Cannot combine (AND blend): ",
    u"Cannot combine (OR blend): ",
    u"Cannot combine (dissolve): ",
};

// Multi-frame files.
inline constexpr OLECHAR kNoPages[] = u"No pages are present here!";
inline constexpr OLECHAR kIndexOutOfFrames[] = u"Index is out of frames count";
inline constexpr OLECHAR kCannotReadTiff[] = u"Cannot read this TIFF";
inline constexpr OLECHAR kOnlyTiffAndGif[] = u"Only TIFF and GIF multiframe file formats are supported!";
inline constexpr OLECHAR kOnlyTiffEncoderInfo[] =
    u"You must pass only TIFFEncoderInfo object (or OutputFileTypes members)!";
inline constexpr OLECHAR kEncoderInfoType[] = u"You should pass OutputFileTypes members or TIFFEncoderInfo object!";
inline constexpr OLECHAR kNothingToSave[] = u"No data to save the multiframe image!";

// Keys of new items: this text followed by a number.
inline constexpr OLECHAR kKeyPrefix[] = u"RasterObject";

}  // namespace zx::collection::messages
