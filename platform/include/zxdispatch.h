// Zentarix platform layer — MIT licence.
// Table-driven IDispatch: generated member tables plus one generic GetIDsOfNames/Invoke in libzxcom.
#pragma once
#include "oaidl.h"

// Parameter flags, as the IDL declares them. A [defaultvalue] parameter is optional as well.
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
  // The declared automation type: a base VARTYPE, | VT_ARRAY for SAFEARRAY(T), | VT_BYREF for a
  // pointer parameter ([out], [in,out] or [in] T*). Enumerations travel as VT_I4; interface pointers
  // as VT_DISPATCH (IDispatch-derived) or VT_UNKNOWN with `iid` naming the declared interface.
  VARTYPE vt;
  uint16_t flags;
  // Null unless ZX_PARAM_HASDEFAULT. Holds VT_I4, VT_R8 or VT_BSTR; Invoke coerces it to `vt` like
  // a passed argument. A VT_BSTR default points at a NUL-terminated literal that is NOT a real BSTR
  // (no length prefix): copy it with SysAllocString, never with VariantCopy.
  const VARIANT* defaultValue;
  const IID* iid;  // declared interface of an interface-pointer parameter, else null
};

// A generated thunk calls one vtable member of the interface with typed arguments.
// args[i] is parameter i in declared order (not DISPPARAMS order). The generic Invoke has already
// coerced each [in] value to the declared type and, for pointer parameters (VT_BYREF in the
// descriptor, [out, retval] included), made args[i] a VT_BYREF VARIANT whose `byref` points at the
// storage the callee reads and writes. args[] are borrowed views: the thunk frees nothing.
// The thunk returns the member's HRESULT.
using ZX_DISPATCH_THUNK = HRESULT (*)(IUnknown* pItf, VARIANT* args);

struct ZX_MEMBER_DESC {
  DISPID dispid;
  const OLECHAR* name;
  uint16_t invkind;
  uint16_t cParams;  // all parameters, [out, retval] included
  const ZX_PARAM_DESC* params;
  ZX_DISPATCH_THUNK thunk;
};

// One per dual interface; members of base interfaces come first (vtable order). A property's get
// and put are separate entries sharing one dispid and name.
struct ZX_DISPATCH_TABLE {
  const IID* iid;
  const OLECHAR* name;
  const ZX_MEMBER_DESC* members;
  UINT cMembers;
};

// Coclass descriptions generated from the IDL, for the server's class table and registration.
struct ZX_COCLASS_INTERFACE {
  const IID* iid;
  const OLECHAR* name;
  BOOL isDefault;
};
struct ZX_COCLASS_DESC {
  const CLSID* clsid;
  const OLECHAR* name;
  const OLECHAR* helpString;
  const ZX_COCLASS_INTERFACE* interfaces;
  UINT cInterfaces;
  BOOL noncreatable;
};

// A type library's named numbers (enumeration members and module constants), generated from the
// IDL, for hosts that give scripts the library's constants.
struct ZX_CONSTANT_DESC {
  const OLECHAR* name;
  LONG value;
};

// Builders for the constant default-value VARIANTs of the generated tables.
constexpr VARIANT ZxStaticDefaultI4(LONG v) {
  VARIANT r{};
  r.vt = VT_I4;
  r.lVal = v;
  return r;
}
constexpr VARIANT ZxStaticDefaultR8(DOUBLE v) {
  VARIANT r{};
  r.vt = VT_R8;
  r.dblVal = v;
  return r;
}
constexpr VARIANT ZxStaticDefaultNull(VARTYPE interfaceType) {  // VT_DISPATCH or VT_UNKNOWN, no object
  VARIANT r{};
  r.vt = interfaceType;
  r.punkVal = nullptr;
  return r;
}
constexpr VARIANT ZxStaticDefaultBstr(const OLECHAR* literal) {
  VARIANT r{};
  r.vt = VT_BSTR;
  r.bstrVal = const_cast<BSTR>(literal);  // read-only; see ZX_PARAM_DESC::defaultValue
  return r;
}

// The generic implementation every dual interface forwards to. `table` is
// &zx::dispatch_table_of<I>::value; pItf is the dual interface pointer itself (the thunks call
// through its vtable).
//
// GetIDsOfNames: rgszNames[0] is a member name, rgszNames[1..] argument names of that member, all
// compared without regard to case; rgDispId[1..] receive parameter positions (0-based, declared
// order), which Invoke accepts as named-argument ids. Unknown names get DISPID_UNKNOWN and the call
// answers DISP_E_UNKNOWNNAME.
//
// Invoke: see dispatch.cpp for the argument rules. Errors as IDispatch::Invoke reports them;
// *puArgErr receives the DISPPARAMS index of the argument at fault for DISP_E_TYPEMISMATCH,
// DISP_E_OVERFLOW, DISP_E_PARAMNOTFOUND and DISP_E_BADVARTYPE. When the member fails, Invoke answers
// DISP_E_EXCEPTION and fills *pExcepInfo (if given) from the thread's error record, scode = the
// member's HRESULT.
STDAPI ZxDispatchGetIDsOfNames(const ZX_DISPATCH_TABLE* table, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                               DISPID* rgDispId);
STDAPI ZxDispatchInvoke(const ZX_DISPATCH_TABLE* table, IUnknown* pItf, DISPID dispIdMember, LCID lcid, WORD wFlags,
                        DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
// No type information is provided: *pctinfo = 0 (E_POINTER for a null pointer).
STDAPI ZxDispatchGetTypeInfoCount(UINT* pctinfo);
// *ppTInfo = null; DISP_E_BADINDEX for iTInfo != 0, else TYPE_E_ELEMENTNOTFOUND.
STDAPI ZxDispatchGetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);

namespace zx {
// Specialised by the generated headers for every dual interface:
//   ZxDispatchInvoke(&zx::dispatch_table_of<IRasterObject>::value, ...)
template <class Interface>
struct dispatch_table_of;
}  // namespace zx
