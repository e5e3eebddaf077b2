// Zentarix platform layer — MIT licence.
// IUnknown and IClassFactory: the COM binary interface (vtable first, slots in declaration order).
#pragma once
#include "wtypes.h"

// Interfaces are plain structs of pure virtual functions with no virtual destructor, so that the
// Itanium C++ ABI lays them out exactly as COM vtables: one pointer to a table of slots in
// declaration order, the three IUnknown slots first.
#define ZX_INTERFACE struct
#define STDMETHOD(name) virtual HRESULT STDMETHODCALLTYPE name
#define STDMETHOD_(type, name) virtual type STDMETHODCALLTYPE name
#define PURE = 0

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
  STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) PURE;
  STDMETHOD_(ULONG, AddRef)() PURE;
  STDMETHOD_(ULONG, Release)() PURE;

  template <class Q>
  HRESULT QueryInterface(Q** pp) {
    return QueryInterface(zx::uuid_of<Q>::value, reinterpret_cast<void**>(pp));
  }
};
using LPUNKNOWN = IUnknown*;
ZX_DECLARE_UUID(IUnknown, IID_IUnknown);

struct IClassFactory : IUnknown {
  STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) PURE;
  STDMETHOD(LockServer)(BOOL fLock) PURE;
};
ZX_DECLARE_UUID(IClassFactory, IID_IClassFactory);
