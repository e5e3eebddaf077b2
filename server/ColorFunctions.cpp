// Zentarix — MIT licence.
// The module's colour functions: building colour values and taking them apart.
// The type library's module Zentarix declares them (generated header); they are exported with C
// linkage from this module. Colour values are signed 32-bit ARGB (alpha in bits 24-31); a COLORREF
// is 0x00BBGGRR. Each returns S_OK with its result in the last argument, or E_POINTER when that
// pointer is null.
#include "zentarix.h"

namespace {

constexpr LONG from_bits(uint32_t bits) { return static_cast<LONG>(bits); }
constexpr uint32_t bits_of(LONG value) { return static_cast<uint32_t>(value); }
constexpr BYTE byte_at(LONG value, int shift) { return static_cast<BYTE>(bits_of(value) >> shift); }

template <class T>
HRESULT put(T* out, T value) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

}  // namespace

STDAPI ColorFromARGB(BYTE a, BYTE r, BYTE g, BYTE b, LONG* color) {
  return put(color, from_bits(uint32_t{a} << 24 | uint32_t{r} << 16 | uint32_t{g} << 8 | b));
}

// Only bits 0-23 of colorref are read: a system-colour index in the top byte (as some controls pass)
// names no colour of its own here, so it is ignored rather than guessed at.
STDAPI ColorFromCOLORREF(LONG colorref, BYTE opacity, LONG* color) {
  return ColorFromARGB(opacity, byte_at(colorref, 0), byte_at(colorref, 8), byte_at(colorref, 16), color);
}

STDAPI COLORREFFromColor(LONG color, LONG* colorref) {
  return put(colorref, from_bits(uint32_t{byte_at(color, 16)} | uint32_t{byte_at(color, 8)} << 8 |
                                 uint32_t{byte_at(color, 0)} << 16));
}

STDAPI SetAlpha(LONG color, BYTE alpha, LONG* modifiedColor) {
  return put(modifiedColor, from_bits((bits_of(color) & 0x00FFFFFFu) | uint32_t{alpha} << 24));
}

STDAPI GetRed(LONG color, BYTE* r) { return put(r, byte_at(color, 16)); }
STDAPI GetGreen(LONG color, BYTE* g) { return put(g, byte_at(color, 8)); }
STDAPI GetBlue(LONG color, BYTE* b) { return put(b, byte_at(color, 0)); }
STDAPI GetAlpha(LONG color, BYTE* a) { return put(a, byte_at(color, 24)); }
