// Zentarix platform layer — MIT licence.
// Table-driven IDispatch: generated member tables plus one generic GetIDsOfNames/Invoke in libzxcom.
#pragma once
#include "oaidl.h"

// Parameter flags, as the IDL declares them.
constexpr uint16_t ZX_PARAM_IN = 0x01;
constexpr uint16_t ZX_PARAM_OUT = 0x02;
constexpr uint16_t ZX_PARAM_RETVAL = 0x04;
constexpr uint16_t ZX_PARAM_OPTIONAL = 0x08;
constexpr uint16_t ZX_PARAM_HASDEFAULT = 0x10;

// Member kinds (the INVOKEKIND values).
constexpr uint16_t ZX_INVOKE_FUNC = 0x1;
constexpr uint16_t ZX_INVOKE_PROPERTYGET = 0x2;
constexpr uint16_t ZX_INVOKE_PROPERTYPUT = 0x4;
constexpr uint16_t ZX_INVOKE_PROPERTYPUTREF = 0x8;

struct ZX_PARAM_DESC {
  const OLECHAR* name;
  // The declared type: a base VARTYPE, | VT_ARRAY for SAFEARRAY(T), | VT_BYREF for a pointer
  // parameter ([out], [in,out] or [in] T*). VT_USERDEFINED is used for enumerations (passed as I4).
  VARTYPE vt;
  uint16_t flags;
  const VARIANT* defaultValue;  // null unless ZX_PARAM_HASDEFAULT
};

// A generated thunk calls one vtable member of the interface with typed arguments.
// args[i] is parameter i in declared order (not DISPPARAMS order); the generic Invoke has already
// coerced each [in] value to the declared type and, for pointer parameters, made args[i] a VT_BYREF
// VARIANT pointing at the storage the callee writes. The thunk returns the member's HRESULT.
using ZX_DISPATCH_THUNK = HRESULT (*)(IUnknown* pItf, VARIANT* args);

struct ZX_MEMBER_DESC {
  DISPID dispid;
  const OLECHAR* name;
  uint16_t invkind;
  uint16_t cParams;  // all parameters, [out, retval] included
  const ZX_PARAM_DESC* params;
  ZX_DISPATCH_THUNK thunk;
};

struct ZX_DISPATCH_TABLE {
  const IID* iid;
  const OLECHAR* name;
  const ZX_MEMBER_DESC* members;
  UINT cMembers;
};

// The generic implementation every dual interface forwards to. pItf is the dual interface pointer
// itself (the thunks call through its vtable). Invoke fills EXCEPINFO from the thread's error record
// when the member fails.
STDAPI ZxDispatchGetIDsOfNames(const ZX_DISPATCH_TABLE* table, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                               DISPID* rgDispId);
STDAPI ZxDispatchInvoke(const ZX_DISPATCH_TABLE* table, IUnknown* pItf, DISPID dispIdMember, LCID lcid, WORD wFlags,
                        DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);

namespace zx {
// Specialised by the generated headers: dispatch_table_of<IRasterObject>::value, ...
template <class Interface>
struct dispatch_table_of;
}  // namespace zx
