// Zentarix platform layer — MIT licence.
// COM runtime functions: initialisation, activation, GUID text, task memory, memory streams.
#pragma once
#include "oleauto.h"

enum COINIT : DWORD {
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_MULTITHREADED = 0x0,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8
};

STDAPI CoInitialize(LPVOID pvReserved);
STDAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
STDAPI_(void) CoUninitialize();
STDAPI CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv);
STDAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved, REFIID riid, LPVOID* ppv);
STDAPI_(void) CoFreeUnusedLibraries();
STDAPI CoCreateFreeThreadedMarshaler(IUnknown* punkOuter, IUnknown** ppunkMarshal);
STDAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
STDAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);

STDAPI_(LPVOID) CoTaskMemAlloc(SIZE_T cb);
STDAPI_(LPVOID) CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
STDAPI_(void) CoTaskMemFree(LPVOID pv);

// GUID text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case, 39 characters with the NUL.
STDAPI_(int) StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
STDAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
STDAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
// Braced text only (null or empty text gives GUID_NULL). CLSIDFromString also takes a ProgID,
// through CLSIDFromProgID; bad text is CO_E_CLASSSTRING. IIDFromString answers E_INVALIDARG.
STDAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
STDAPI IIDFromString(LPCOLESTR lpsz, IID* lpiid);

// HGLOBAL memory and streams over it.
constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
STDAPI_(HGLOBAL) GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
STDAPI_(HGLOBAL) GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags);
STDAPI_(HGLOBAL) GlobalFree(HGLOBAL hMem);
STDAPI_(LPVOID) GlobalLock(HGLOBAL hMem);
STDAPI_(BOOL) GlobalUnlock(HGLOBAL hMem);
STDAPI_(SIZE_T) GlobalSize(HGLOBAL hMem);
// A growable memory stream whose size is the block's size (null hGlobal: a new moveable block).
// Seeking past the end is allowed and a write there zero-fills the gap; Clone shares the block with
// an independent position; with fDeleteOnRelease the block is freed with the last stream.
STDAPI CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm);
STDAPI GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal);

// A stream over a file (the Shell's file stream). grfMode takes the STGM_ flags; dwAttributes is
// ignored; STGM_CREATE creates or truncates, otherwise fCreate creates a new file and fails when one
// exists, otherwise the file must exist. Open failures answer HRESULT_FROM_WIN32 of the Win32 code
// the errno maps to (0x80070002 for a missing file) and set the last error. Clone is E_NOTIMPL.
STDAPI SHCreateStreamOnFileEx(LPCWSTR pszFile, DWORD grfMode, DWORD dwAttributes, BOOL fCreate,
                              IStream* pstmTemplate, IStream** ppstm);
