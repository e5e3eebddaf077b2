// Zentarix — MIT licence.
// Pixel arrays: the two-dimensional VT_I4 SAFEARRAY of ARGB values every "Apply" method exchanges.
#pragma once
#include <gdiplus.h>

namespace zx::raster {

// Layout: SafeArrayCreate(VT_I4, 2, {height, 0}, {width, 0}), so the stored rgsabound[0].cElements is
// the width and rgsabound[1].cElements the height; the data block holds the rows top first, each
// leftmost pixel first, with no gap (pixel (x, y) is element y * width + x). Readers use this
// linear order only, never the index functions, and never read the lower bounds.

// Makes a new pixel array from any bitmap (converted to 32 bpp ARGB as it is read) into *array,
// destroying an array already there first. E_FAIL without a bitmap or when the array cannot be
// created (*array is then null); 0xE0000207 when the bitmap cannot be locked or a machine fault ends
// the copy; a failure of accessing the array data as it is. An array already stored in *array on a
// failure stays there for the caller to destroy. E_POINTER for a null array.
HRESULT BitmapToPixelArray(Gdiplus::Bitmap* bitmap, SAFEARRAY** array);

// Makes a new 32 bpp ARGB bitmap from a pixel array (read only) into *target, deleting the bitmap
// already there. E_FAIL without an array; E_INVALIDARG when the array does not have two dimensions
// or its elements are not 4 bytes (the target is then untouched); the failure of accessing the data
// as it is; 0xE0000206 when the bitmap cannot be made or written, or when a machine fault ends the
// reading of the array, its descriptor included (the target is then null). E_POINTER for a null target.
HRESULT PixelArrayToBitmap(SAFEARRAY* array, Gdiplus::Bitmap** target);

}  // namespace zx::raster
