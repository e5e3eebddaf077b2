// Zentarix — MIT licence.
// Encoder option converters and readers: the one place option values are turned into fields.
#include "EncoderOptions.h"

#include <oleauto.h>

#include <cmath>

namespace zx::encoding {
namespace {

// Truncates toward zero; values a 32-bit integer cannot hold (and NaN) are refused rather than
// left to the undefined conversion.
HRESULT truncate_double(double d, LONG& out) {
  if (!(d > -2147483649.0 && d < 2147483648.0)) return E_INVALIDARG;
  out = static_cast<LONG>(std::trunc(d));
  return S_OK;
}

HRESULT bstr_to_double(const VARIANT& v, double& out) {
  Variant number;
  if (FAILED(VariantChangeType(&number, &v, VARIANT_LOCALBOOL, VT_R8))) return E_INVALIDARG;
  out = number.dblVal;
  return S_OK;
}

// The integer types every numeric converter accepts, widened. False for any other type.
bool integer_value(const VARIANT& v, int64_t& out) {
  switch (v.vt) {
    case VT_I1: out = v.cVal; return true;
    case VT_I2: out = v.iVal; return true;
    case VT_I4: out = v.lVal; return true;
    case VT_INT: out = v.intVal; return true;
    case VT_UI1: out = v.bVal; return true;
    case VT_UI2: out = v.uiVal; return true;
    case VT_UI4: out = v.ulVal; return true;
    case VT_UINT: out = v.uintVal; return true;
    default: return false;
  }
}

constexpr ValueName kColorSpaceNames[] = {{u"RGB", 0}, {u"CMYK", 1}};
constexpr ValueName kSwfCompressionNames[] = {{u"Lossless", 0}, {u"JPEG", 1}};
constexpr ValueName kTiffCompressionNames[] = {{u"None", 0}, {u"LZW", 1}, {u"CCITT3", 2}, {u"CCITT4", 3}, {u"RLE", 4}};
constexpr ValueName kPaletteTypeNames[] = {{u"Octree", 0}, {u"Halftone", 1}};
constexpr ValueName kDitherTypeNames[] = {
    {u"Threshold", 0}, {u"None", 0}, {u"Dither", 1}, {u"OrderedDither", 1}, {u"ErrorDiffusion", 2}};

// Reads the item; S_FALSE (with hr set to the store's result) when it is absent or empty.
HRESULT present_item(IDictionary* store, const OLECHAR* name, Variant& item, HRESULT& hr) {
  hr = read_store_item(store, name, item);
  if (FAILED(hr)) return hr;
  return item.vt == VT_EMPTY ? S_FALSE : S_OK;
}

template <class Convert>
HRESULT read_with(IDictionary* store, const OLECHAR* name, Convert&& convert) {
  Variant item;
  HRESULT storeResult = S_OK;
  const HRESULT hr = present_item(store, name, item, storeResult);
  if (hr != S_OK) return storeResult;
  return convert(static_cast<const VARIANT&>(item));
}

HRESULT read_long_checked(IDictionary* store, const OLECHAR* name, LONG& field, LONG low, LONG high) {
  return read_with(store, name, [&](const VARIANT& v) {
    LONG value = 0;
    if (FAILED(variant_to_long(v, value)) || value < low || value > high) return E_INVALIDARG;
    field = value;
    return S_OK;
  });
}

HRESULT read_names(IDictionary* store, const OLECHAR* name, std::span<const ValueName> names, LONG& field) {
  return read_with(store, name, [&](const VARIANT& v) { return parse_value_name(v, names, field); });
}

HRESULT read_bool(IDictionary* store, const OLECHAR* name, LONG& field) {
  return read_with(store, name, [&](const VARIANT& v) { return variant_to_bool(v, field); });
}

HRESULT read_float(IDictionary* store, const OLECHAR* name, float& field) {
  return read_with(store, name, [&](const VARIANT& v) { return variant_to_float(v, field); });
}

}  // namespace

HRESULT variant_to_long(const VARIANT& v, LONG& out) {
  int64_t whole = 0;
  if (integer_value(v, whole)) {
    out = static_cast<LONG>(whole);  // VT_UI4/VT_UINT wrap, as the platform's cast does
    return S_OK;
  }
  switch (v.vt) {
    case VT_R4: return truncate_double(v.fltVal, out);
    case VT_R8: return truncate_double(v.dblVal, out);
    case VT_BSTR: {
      double d = 0;
      if (FAILED(bstr_to_double(v, d))) return E_INVALIDARG;
      return truncate_double(d, out);
    }
    default: return E_INVALIDARG;
  }
}

HRESULT variant_to_short(const VARIANT& v, SHORT& out) {
  LONG value = 0;
  const HRESULT hr = variant_to_long(v, value);
  if (SUCCEEDED(hr)) out = static_cast<SHORT>(value);
  return hr;
}

HRESULT variant_to_bool(const VARIANT& v, LONG& out) {
  if (v.vt == VT_BOOL) {
    out = v.boolVal;  // sign-extended: True is -1
    return S_OK;
  }
  if (v.vt == VT_BSTR) {
    Variant flag;
    if (FAILED(VariantChangeType(&flag, &v, VARIANT_LOCALBOOL, VT_BOOL))) return E_INVALIDARG;
    out = flag.boolVal;
    return S_OK;
  }
  return variant_to_long(v, out);
}

HRESULT variant_to_float(const VARIANT& v, float& out) {
  // The float reading takes VT_I1 as unsigned, as it takes the other small types (200 dpi given
  // as the byte 0xC8 is 200, not -56).
  if (v.vt == VT_I1) {
    out = static_cast<float>(static_cast<unsigned char>(v.cVal));
    return S_OK;
  }
  int64_t whole = 0;
  if (integer_value(v, whole)) {
    out = static_cast<float>(whole);
    return S_OK;
  }
  switch (v.vt) {
    case VT_R4: out = v.fltVal; return S_OK;
    case VT_R8: out = static_cast<float>(v.dblVal); return S_OK;
    case VT_BSTR: {
      double d = 0;
      if (FAILED(bstr_to_double(v, d))) return E_INVALIDARG;
      out = static_cast<float>(d);
      return S_OK;
    }
    default: return E_INVALIDARG;
  }
}

HRESULT parse_value_name(const VARIANT& v, std::span<const ValueName> names, LONG& out) {
  if (v.vt != VT_BSTR) return E_INVALIDARG;
  const std::u16string_view text = v.bstrVal ? std::u16string_view(v.bstrVal, SysStringLen(v.bstrVal)) : u"";
  for (const ValueName& n : names) {
    if (zx::equal_ignoring_case(text, n.name)) {
      out = n.value;
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT variant_to_string(const VARIANT& v, Bstr& out) {
  if (v.vt != VT_BSTR) return E_INVALIDARG;
  Bstr copy(std::u16string_view(v.bstrVal ? v.bstrVal : u"", v.bstrVal ? SysStringLen(v.bstrVal) : 0));
  if (!copy.get()) return E_OUTOFMEMORY;
  out = std::move(copy);
  return S_OK;
}

HRESULT read_store_item(IDictionary* store, const OLECHAR* name, Variant& item) {
  item.clear();
  Variant key;
  key.vt = VT_BSTR;
  key.bstrVal = SysAllocString(name);
  if (!key.bstrVal) return E_OUTOFMEMORY;
  VARIANT_BOOL exists = VARIANT_FALSE;
  HRESULT hr = store->Exists(&key, &exists);
  if (FAILED(hr) || !exists) return hr;
  return store->get_Item(&key, item.put());
}

HRESULT read_option(IDictionary* store, Option option, EncoderOptions& f) {
  switch (option) {
    case Option::EnableLZW:
      return read_with(store, u"EnableLZW", [&](const VARIANT& v) { return variant_to_short(v, f.enableLZW); });
    case Option::BackgroundColor: {
      Variant item;
      HRESULT storeResult = S_OK;
      const HRESULT hr = present_item(store, u"BackgroundColor", item, storeResult);
      if (hr != S_OK) {
        f.backgroundPresent = false;
        return storeResult;
      }
      const HRESULT converted = variant_to_long(item, f.backgroundColor);
      if (SUCCEEDED(converted)) f.backgroundPresent = true;
      return converted;
    }
    case Option::ColorDepth: {
      LONG depth = f.colorDepth;
      const HRESULT hr = read_with(store, u"ColorDepth", [&](const VARIANT& v) { return variant_to_long(v, depth); });
      if (FAILED(hr)) return hr;
      if (depth != 1 && depth != 8 && depth != 24 && depth != 32) return E_INVALIDARG;
      f.colorDepth = depth;
      return hr;
    }
    case Option::ColorSpace: return read_names(store, u"ColorSpace", kColorSpaceNames, f.colorSpace);
    case Option::CompressionTypeSWF: return read_names(store, u"CompressionType", kSwfCompressionNames, f.compressionType);
    case Option::CompressionTypeTIFF:
      return read_names(store, u"CompressionType", kTiffCompressionNames, f.compressionType);
    case Option::ICCProfileFilename:
      return read_with(store, u"ICCProfileFilename",
                       [&](const VARIANT& v) { return variant_to_string(v, f.iccProfileFilename); });
    case Option::IsTransparent: return read_bool(store, u"IsTransparent", f.isTransparent);
    case Option::JPEGQuality: {
      const HRESULT hr = read_long_checked(store, u"JPEGQuality", f.jpegQuality, 0, 100);
      if (SUCCEEDED(hr) && (f.jpegQuality < 0 || f.jpegQuality > 100)) return E_INVALIDARG;
      return hr;
    }
    case Option::PaletteColorsNumber: return read_long_checked(store, u"PaletteColorsNumber", f.paletteColorsNumber, 8, 256);
    case Option::PaletteType: return read_names(store, u"PaletteType", kPaletteTypeNames, f.paletteType);
    case Option::HorizontalResolution: return read_float(store, u"HorizontalResolution", f.horizontalResolution);
    case Option::VerticalResolution: return read_float(store, u"VerticalResolution", f.verticalResolution);
    case Option::Threshold: {
      Variant item;
      HRESULT storeResult = S_OK;
      const HRESULT hr = present_item(store, u"Threshold", item, storeResult);
      if (hr != S_OK) {
        f.threshold = 128;
        return storeResult;
      }
      LONG value = 0;
      if (FAILED(variant_to_long(item, value)) || value < 0 || value > 255) return E_INVALIDARG;
      f.threshold = static_cast<uint8_t>(value);
      return S_OK;
    }
    case Option::DitherType: {
      Variant item;
      HRESULT storeResult = S_OK;
      HRESULT hr = present_item(store, u"DitherType", item, storeResult);
      if (FAILED(hr)) return hr;
      if (hr == S_FALSE) return read_names(store, u"BinarizeMethod", kDitherTypeNames, f.ditherType);
      return parse_value_name(item, kDitherTypeNames, f.ditherType);
    }
    case Option::IsInverted: return read_bool(store, u"IsInverted", f.isInverted);
  }
  return E_INVALIDARG;
}

}  // namespace zx::encoding
