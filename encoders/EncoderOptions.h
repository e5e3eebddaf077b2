// Zentarix — MIT licence.
// Encoder option fields, their converters and the readers that fill them from the options store.
#pragma once
#include <scrrun.h>

#include <cstdint>
#include <span>

#include "zx/com.h"

namespace zx::encoding {

// The option fields every encoder keeps. Each encoder starts from its own defaults (its format
// table) and SetOptions overwrites the fields of the options present in the store.
struct EncoderOptions {
  float horizontalResolution = 96.0f;  // dots per inch
  float verticalResolution = 96.0f;
  LONG colorDepth = 24;                // bits per pixel: 1, 8, 24 or 32
  LONG paletteType = 0;                // 0 octree, 1 halftone
  LONG paletteColorsNumber = 216;
  LONG backgroundColor = -1;           // ARGB colour value
  bool backgroundPresent = false;      // applied only when the store held it
  LONG isTransparent = 1;              // boolean, non-zero is true
  SHORT enableLZW = 0;                 // boolean, non-zero is true
  LONG jpegQuality = 75;               // 0..100
  LONG compressionType = 1;            // SWF: 0 lossless, 1 JPEG; TIFF: 0 none .. 4 RLE
  LONG colorSpace = 0;                 // 0 RGB, 1 CMYK
  Bstr iccProfileFilename{u""};
  uint8_t threshold = 128;
  LONG ditherType = 0;                 // 0 threshold, 1 ordered, 2 error diffusion
  LONG isInverted = 0;                 // boolean
};

// One option as a reader sees it: the store name(s), the converter and the check.
enum class Option {
  EnableLZW,
  BackgroundColor,
  ColorDepth,
  ColorSpace,
  CompressionTypeSWF,
  CompressionTypeTIFF,
  ICCProfileFilename,
  IsTransparent,
  JPEGQuality,
  PaletteColorsNumber,
  PaletteType,
  HorizontalResolution,
  VerticalResolution,
  Threshold,
  DitherType,  // "DitherType", else "BinarizeMethod"
  IsInverted,
};

// ---- converters: each writes `out` only on success; E_INVALIDARG for a refused value ----
// No by-reference VARIANT is accepted by any of them.

// 32-bit integer from VT_I1/I2/I4/INT, VT_UI1/UI2/UI4/UINT, VT_R4/R8 (truncated toward zero) and
// VT_BSTR (turned into VT_R8 by VariantChangeType with VARIANT_LOCALBOOL, then truncated). VT_BOOL
// and every other type are refused. A text that is no number and a value outside the 32-bit range
// (or NaN) are refused too: the platform would leave the result undefined there.
HRESULT variant_to_long(const VARIANT& v, LONG& out);
// The same, kept in 16 bits (the low half, as a cast keeps it).
HRESULT variant_to_short(const VARIANT& v, SHORT& out);
// Boolean as a 32-bit integer: the integer types above, VT_BOOL sign-extended (True is -1), and
// VT_BSTR through VariantChangeType to VT_BOOL.
HRESULT variant_to_bool(const VARIANT& v, LONG& out);
// 32-bit float from VT_I1/I2/I4/INT, VT_UI1/UI2/UI4/UINT (unsigned), VT_R4, VT_R8 (narrowed) and
// VT_BSTR (through VT_R8 as above).
HRESULT variant_to_float(const VARIANT& v, float& out);

// A value name and the number it stands for.
struct ValueName {
  const OLECHAR* name;
  LONG value;
};
// VT_BSTR only, compared without regard to case with the names; any other text is refused.
HRESULT parse_value_name(const VARIANT& v, std::span<const ValueName> names, LONG& out);
// VT_BSTR only; `out` receives a copy.
HRESULT variant_to_string(const VARIANT& v, Bstr& out);

// ---- the store ----
// The item stored under `name`, or VT_EMPTY when the store holds no such key. Looks before it
// reads: the dictionary's get_Item adds a missing key (with an empty item), and a save that merely
// looked for an option must not make it appear in the store. Returns the store's failure, if any.
HRESULT read_store_item(IDictionary* store, const OLECHAR* name, Variant& item);

// Reads one option into its field: an absent (or empty) item leaves the field as it was (Threshold
// becomes 128, BackgroundColor loses its presence flag) and answers the store's result; a present
// one is converted and checked (ColorDepth 1/8/24/32, JPEGQuality 0..100, PaletteColorsNumber
// 8..256, Threshold 0..255; the ColorDepth and JPEGQuality checks apply to the field even when the
// option is absent). E_INVALIDARG for a refused value; the field is then left unchanged.
HRESULT read_option(IDictionary* store, Option option, EncoderOptions& fields);

}  // namespace zx::encoding
