// Zentarix — MIT licence.
// The raster object's fixed message texts (the system's own words, misspellings included).
#pragma once
#include <wtypes.h>

namespace zx::raster::messages {

// Object and method names the GDI+ failure message is built with.
inline constexpr OLECHAR kObjectName[] = u"RasterObject";
inline constexpr OLECHAR kCollectionObjectName[] = u"RasterCollection";

// Creation.
inline constexpr OLECHAR kNoEncoderManager[] = u"Cannot create Encoder Manager";
inline constexpr OLECHAR kNoOptionsStore[] = u"Cannot create Encoder Options dictionary";

// State and pixels.
inline constexpr OLECHAR kBadImageSize[] = u"Width and Height must be > 0.";
inline constexpr OLECHAR kNoImageWidth[] =
    u"Cannot get image width, because there is no any data. Create new image or load it first.";
inline constexpr OLECHAR kNoImageHeight[] =
    u"Cannot get image height, because there is no any data. Create new image or load it first.";
inline constexpr OLECHAR kNoPixels[] = u"Cannot get access to the pixels: no data loaded";
inline constexpr OLECHAR kGetPixelOutOfBounds[] =
    u"Cannot get pixel at this coordinates. It possible they are out of bounds!";
inline constexpr OLECHAR kPutPixelOutOfBounds[] =
    u"Cannot put pixel at this coordinates. It possible they are out of bounds!";
inline constexpr OLECHAR kUnsupportedOutputType[] = u"This output file type is unsupported!";
inline constexpr OLECHAR kCloneNoImage[] = u"Cannot clone the object: there is no raster any data to be cloned!";
inline constexpr OLECHAR kCloneNoTarget[] = u"Cannot clone the object: target object cannot be created!";

// Options store.
inline constexpr OLECHAR kOptionOutputFileType[] = u"OutputFileType";
inline constexpr OLECHAR kOptionHorizontalResolution[] = u"HorizontalResolution";
inline constexpr OLECHAR kOptionVerticalResolution[] = u"VerticalResolution";
inline constexpr OLECHAR kOptionAuto[] = u"Auto";
inline constexpr OLECHAR kNoSuchParameter[] = u"Cannot find parameter ";
inline constexpr OLECHAR kCannotAddParameter[] = u"Cannot add the parameter ";

// Saving. Option names the saving side writes into the store.
inline constexpr OLECHAR kOptionEnableLZW[] = u"EnableLZW";
inline constexpr OLECHAR kOptionColorDepth[] = u"ColorDepth";
inline constexpr OLECHAR kOptionICCProfileFilename[] = u"ICCProfileFilename";
inline constexpr OLECHAR kOptionCompressionType[] = u"CompressionType";
inline constexpr OLECHAR kOptionColorSpace[] = u"ColorSpace";
inline constexpr OLECHAR kOptionJPEGQuality[] = u"JPEGQuality";
inline constexpr OLECHAR kOptionPaletteType[] = u"PaletteType";
inline constexpr OLECHAR kOptionIsTransparent[] = u"IsTransparent";
inline constexpr OLECHAR kOptionBackgroundColor[] = u"BackgroundColor";
inline constexpr OLECHAR kSaveFileNoImage[] =
    u"Cannot save image to file, because there is no any data. Create new image or load it first.";
inline constexpr OLECHAR kSaveStreamNoImage[] =
    u"Cannot save image to the stream, because there is no any data. Create new image or load it first.";
inline constexpr OLECHAR kNoExtension[] = u"Cannot determine output file type automatically: no extension is presented!";
inline constexpr OLECHAR kCannotSaveFile[] = u"Cannot save file ";
inline constexpr OLECHAR kCannotWriteFile[] = u"Cannot write data to file!";
inline constexpr OLECHAR kNotStreamNorResponse[] = u"The object is not neither Stream nor Response!";
inline constexpr OLECHAR kCannotFillResponse[] = u"Cannot fill response stream. If you see this message, please let us know at ";

// Transforms. The no-image text is shared with saving to a file.
inline constexpr OLECHAR kTransformNoImage[] =
    u"Cannot save image to file, because there is no any data. Create new image or load it first.";
inline constexpr OLECHAR kTransformNull[] = u"Cannot use the transform: NULL reference.";
inline constexpr OLECHAR kNoApplyMethod[] = u"Cannot find Apply method among the members of the object, you passed";
inline constexpr OLECHAR kSupportPrefix[] = u"If you see that error message, please contact ";
inline constexpr OLECHAR kBitmapToArraySuffix[] = u". Some error occured during bitmap->array conversion";
inline constexpr OLECHAR kArrayToBitmapSuffix[] = u". Some error occured during array->bitmap conversion";
inline constexpr OLECHAR kNoOutputArraySuffix[] = u". Output array didn't passed!";
inline constexpr OLECHAR kNoResultPicture[] =
    u"Cannot obtain result of transformation. If you see this error message, please contact ";

// Combining.
inline constexpr OLECHAR kDrawNoImage[] = u"Cannot draw on raster. No image is loaded!";
inline constexpr OLECHAR kDrawDestinationEmpty[] = u"Destination raster is empty!";
inline constexpr OLECHAR kUnsupportedCombineMode[] = u"Zentarix does not support such a mode!";
// Prefixes of a failed combine, indexed by CombineModes.
inline constexpr const OLECHAR* kCombineFailedPrefix[] = {
    u"Cannot draw on raster (alpha blend): ",
    u"Cannot draw on raster (XOR): ",
    u"Cannot draw on raster (AND): ",
    u"Cannot draw on raster (OR): ",
    u"Cannot draw on raster (dissolve): ",
};
inline constexpr OLECHAR kCombineMethodName[] = u"Combine";

// Flood fill, histogram and drawing on a device context.
inline constexpr OLECHAR kFloodFillNoImage[] = u"Cannot apply flood fill because the image is not loaded!";
inline constexpr OLECHAR kFloodFillBadMode[] = u"Wrong flood fill mode!";
inline constexpr OLECHAR kFloodFillOutOfBounds[] = u"You try to apply flood fill out of bounds!";
inline constexpr OLECHAR kHistogramNoImage[] = u"The image is not loaded! Cannot obtain histogram from empty image.";
inline constexpr OLECHAR kHistogramNoArray[] = u"Cannot allocate array to hold histogram values!";
inline constexpr OLECHAR kHistogramBadType[] = u"Wrong histogram type!";
inline constexpr OLECHAR kDrawOnHdcNoImage[] = u"Cannot draw empty image on DC!";
inline constexpr OLECHAR kCannotDrawOnDc[] = u"Cannot draw on given DC!";

// Loading, and saving to an OLE picture.
inline constexpr OLECHAR kGifLzwDisabled[] =
    u"Cannot read GIF file: LZW support is disabled! If you have license from Unisys or don't care about it, "
    u"you can enable it via EnableLZW property of the RasterObject. For more questions, contact us at ";
inline constexpr OLECHAR kCannotLoadFile[] = u"Cannot load file ";
inline constexpr OLECHAR kUnknownFileType[] = u"Unknown file type.";
inline constexpr OLECHAR kNoStreamInterface[] = u"Cannot query IStream interface. ";
inline constexpr OLECHAR kNoPictureImage[] = u"Cannot get image from IPictureDisp";
inline constexpr OLECHAR kSavePictureNoImage[] = u"Cannot save the image to Picture, because it is not loaded!";
inline constexpr OLECHAR kNoImageHandle[] = u"Cannot get handle to the image. If you see this message, please contact ";
inline constexpr OLECHAR kLoadFileMethodName[] = u"LoadFile";
inline constexpr OLECHAR kLoadStreamMethodName[] = u"LoadStream";
inline constexpr OLECHAR kLoadPictureMethodName[] = u"LoadPicture";

}  // namespace zx::raster::messages
