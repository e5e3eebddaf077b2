// Zentarix platform layer — MIT licence.
// The scripting runtime's dictionary (Scripting.Dictionary), provided by libzxcom.
#pragma once
#include "objidl.h"

inline constexpr CLSID CLSID_Dictionary = {0xEE09B103, 0x97E0, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};
inline constexpr IID IID_IDictionary = {0x42C642C1, 0x97E1, 0x11CF, {0x97, 0x8F, 0x00, 0xA0, 0x24, 0x63, 0xE0, 0x6F}};

enum CompareMethod : int32_t { BinaryCompare = 0, TextCompare = 1, DatabaseCompare = 2 };

// Error codes the dictionary returns (Visual Basic run-time errors as HRESULTs).
constexpr HRESULT CTL_E_ILLEGALFUNCTIONCALL = ZX_HR(0x800A0005);  // CompareMode set on a non-empty dictionary
constexpr HRESULT CTL_E_ELEMENT_EXISTS = ZX_HR(0x800A01C9);       // Add of a key that exists
constexpr HRESULT CTL_E_ELEMENT_NOT_FOUND = ZX_HR(0x800A802B);    // Remove / Key of a missing key

struct IDictionary : IDispatch {
  STDMETHOD(putref_Item)(VARIANT* Key, VARIANT* pRetItem) PURE;
  STDMETHOD(put_Item)(VARIANT* Key, VARIANT* pRetItem) PURE;
  STDMETHOD(get_Item)(VARIANT* Key, VARIANT* pRetItem) PURE;
  STDMETHOD(Add)(VARIANT* Key, VARIANT* Item) PURE;
  STDMETHOD(get_Count)(LONG* pCount) PURE;
  STDMETHOD(Exists)(VARIANT* Key, VARIANT_BOOL* pExists) PURE;
  STDMETHOD(Items)(VARIANT* pItemsArray) PURE;
  STDMETHOD(put_Key)(VARIANT* Key, VARIANT* rhs) PURE;
  STDMETHOD(Keys)(VARIANT* pKeysArray) PURE;
  STDMETHOD(Remove)(VARIANT* Key) PURE;
  STDMETHOD(RemoveAll)() PURE;
  STDMETHOD(put_CompareMode)(CompareMethod pcomp) PURE;
  STDMETHOD(get_CompareMode)(CompareMethod* pcomp) PURE;
  STDMETHOD(_NewEnum)(IUnknown** ppunk) PURE;
  STDMETHOD(get_HashVal)(VARIANT* Key, VARIANT* HashVal) PURE;
};
ZX_DECLARE_UUID(IDictionary, IID_IDictionary);
