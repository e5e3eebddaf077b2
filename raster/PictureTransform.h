// Zentarix — MIT licence.
// IPictureTransform: a transform interface from outside the library that ApplyTransform also accepts.
#pragma once
#include <oaidl.h>
#include <wingdi.h>

// Dual by shape: the seven IUnknown and IDispatch slots, then TransformPicture in the eighth. It is
// not in the type library. TransformPicture takes a GDI bitmap handle (borrowed for the call) and
// stores a new reference to a result object that answers IPicture (or leaves *result null).
struct IPictureTransform : IDispatch {
  STDMETHOD(TransformPicture)(HBITMAP input, IUnknown** result) PURE;
};
inline constexpr IID IID_IPictureTransform = {
    0xFDE9E248, 0x9152, 0x4EB7, {0xA0, 0x4B, 0xAF, 0x5C, 0x14, 0x7E, 0x12, 0x56}};
ZX_DECLARE_UUID(IPictureTransform, IID_IPictureTransform);
