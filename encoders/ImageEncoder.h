// Zentarix — MIT licence.
// The internal encoder contract: IImageEncoder (encoding) and IEncoderNames (the names it answers to).
#pragma once
#include <objidl.h>
#include <scrrun.h>

// {8A4ED981-3311-461D-A043-6D8ED495A5AA}
inline constexpr IID IID_IImageEncoder = {0x8A4ED981, 0x3311, 0x461D, {0xA0, 0x43, 0x6D, 0x8E, 0xD4, 0x95, 0xA5, 0xAA}};
// {820A2437-F13A-42A2-9C71-D09B624DC472}
inline constexpr IID IID_IEncoderNames = {0x820A2437, 0xF13A, 0x42A2, {0x9C, 0x71, 0xD0, 0x9B, 0x62, 0x4D, 0xC4, 0x72}};

// Not in the type library: the saving side and foreign encoder modules share this header's layout.
// The saving side calls SetOptions and then DoEncode on a fresh object for every save.
struct IImageEncoder : IUnknown {
  // The encoder's ID (an OutputFileTypes value for the built-in ones). E_POINTER for null.
  STDMETHOD(GetEncoderID)(LONG* id) PURE;
  // Reads, converts and checks every option the encoder uses from the raster object's options
  // store (borrowed for the call). S_OK, or the first failure with error information; E_INVALIDARG
  // without it for a null store.
  STDMETHOD(SetOptions)(IDictionary* options) PURE;
  // Encodes width x height pixels (rows of width * 4 bytes, top row first, bytes B, G, R, A; the
  // buffer is borrowed and never written) and writes the file to `output` at its current position.
  // pixelFormat is the GDI+ code of the buffer (PixelFormat32bppARGB from the saving side).
  // E_POINTER for a null stream; null pixels or a size GDI+ refuses fail as the GDI+ status
  // InvalidParameter with error information, like every other GDI+ failure of the encoding (the
  // SWF encoder answers null pixels with E_POINTER alone).
  STDMETHOD(DoEncode)(BYTE* pixels, LONG width, LONG height, LONG pixelFormat, IStream* output) PURE;
  // Four IDispatch operations follow in the same table, as the contract's binary layout has them.
  // No caller uses them: they answer "no type information" and "no such member".
  STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) PURE;
  STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) PURE;
  STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) PURE;
  STDMETHOD(Invoke)(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                    VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) PURE;
};
ZX_DECLARE_UUID(IImageEncoder, IID_IImageEncoder);

// An enumerator of the encoder's names (file extensions without the dot), one name per call.
struct IEncoderNames : IUnknown {
  // Reserved slot: E_NOTIMPL.
  STDMETHOD(Reserved)(void* reserved) PURE;
  // count must be 1 (else E_INVALIDARG with error information); name receives a new BSTR the
  // caller frees; fetched (optional) receives 1. S_FALSE, touching nothing, after the last name.
  STDMETHOD(Next)(ULONG count, BSTR* name, ULONG* fetched) PURE;
  STDMETHOD(Skip)(ULONG count) PURE;
  STDMETHOD(Reset)() PURE;
};
ZX_DECLARE_UUID(IEncoderNames, IID_IEncoderNames);
