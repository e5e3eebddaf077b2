// Zentarix — MIT licence.
// The one IDispatch implementation: GetIDsOfNames and Invoke driven by the generated member tables.
#include <cstring>
#include <memory>
#include <new>

#include "zx/com.h"
#include "zxdispatch.h"

namespace {

constexpr char16_t fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// Names are ASCII identifiers; folding ASCII letters is what "without regard to case" needs here.
bool same_name(const OLECHAR* a, const OLECHAR* b) {
  if (!a || !b) return false;
  for (; *a && *b; ++a, ++b)
    if (fold(*a) != fold(*b)) return false;
  return *a == *b;
}

bool is_interface_type(VARTYPE base) { return base == VT_DISPATCH || base == VT_UNKNOWN; }

// Bytes of the VARIANT payload a by-reference pointer of this type addresses.
size_t payload_size(VARTYPE base) {
  if (base & VT_ARRAY) return sizeof(SAFEARRAY*);
  switch (base) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: return 8;
    case VT_BSTR: return sizeof(BSTR);
    case VT_DISPATCH: case VT_UNKNOWN: return sizeof(IUnknown*);
    default: return 0;
  }
}

// The types a table may declare (VT_CLSID marks a GUID parameter, which no automation caller can pass).
bool is_automation_type(VARTYPE base) {
  if (base & VT_ARRAY) return (base & ~VT_ARRAY) == VT_I4 || (base & ~VT_ARRAY) == VT_VARIANT;
  return base == VT_VARIANT || payload_size(base) != 0;
}

// Makes `v` the zero value of `base` (VT_EMPTY for VARIANT); v must hold nothing.
void set_zero(VARIANT& v, VARTYPE base) {
  VariantInit(&v);
  if (base == VT_VARIANT) return;
  v.vt = base;
  v.llVal = 0;
}

// Where a by-reference view of `owned` points.
void* storage_of(VARIANT& owned, VARTYPE base) {
  if (base == VT_VARIANT) return &owned;
  return &owned.llVal;
}

// A host's marker for an argument it did not pass.
bool is_missing(const VARIANT& v) { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

// A VT_ARRAY|VT_VARIANT array (what script hosts build) converted element by element to VT_I4.
HRESULT convert_variant_array_to_i4(SAFEARRAY* src, VARIANT& dst) {
  const UINT dims = SafeArrayGetDim(src);
  if (dims == 0) return DISP_E_TYPEMISMATCH;
  std::unique_ptr<SAFEARRAYBOUND[]> bounds(new SAFEARRAYBOUND[dims]);
  size_t count = 1;
  for (UINT d = 0; d < dims; ++d) {
    LONG lo = 0, hi = 0;
    HRESULT hr = SafeArrayGetLBound(src, d + 1, &lo);
    if (SUCCEEDED(hr)) hr = SafeArrayGetUBound(src, d + 1, &hi);
    if (FAILED(hr)) return hr;
    bounds[d].lLbound = lo;
    bounds[d].cElements = static_cast<ULONG>(static_cast<int64_t>(hi) - lo + 1);
    count *= bounds[d].cElements;
  }
  zx::SafeArray out(SafeArrayCreate(VT_I4, dims, bounds.get()));
  if (!out.get()) return E_OUTOFMEMORY;
  HRESULT hr = S_OK;
  {
    zx::SafeArrayAccess from(src, hr);
    if (FAILED(hr)) return hr;
    zx::SafeArrayAccess to(out.get(), hr);
    if (FAILED(hr)) return hr;
    const VARIANT* in = static_cast<const VARIANT*>(from.data());
    LONG* values = static_cast<LONG*>(to.data());
    for (size_t k = 0; k < count; ++k) {
      zx::Variant element;
      hr = VariantChangeType(&element, &in[k], 0, VT_I4);
      if (FAILED(hr)) return hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH;
      values[k] = element.lVal;
    }
  }
  dst.vt = VT_ARRAY | VT_I4;
  dst.parray = out.detach();
  return S_OK;
}

// Coerces a (non-reference) value to the declared type into `dst`, which holds nothing.
HRESULT coerce(const VARIANT& src, VARTYPE base, const IID* iid, VARIANT& dst) {
  if (base == VT_VARIANT) return VariantCopy(&dst, &src);
  if (is_interface_type(base)) {
    if (src.vt == VT_EMPTY || src.vt == VT_NULL || ((src.vt == VT_DISPATCH || src.vt == VT_UNKNOWN) && !src.punkVal)) {
      set_zero(dst, base);
      return S_OK;
    }
    if (src.vt != VT_DISPATCH && src.vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
    const IID& want = iid ? *iid : (base == VT_DISPATCH ? IID_IDispatch : IID_IUnknown);
    void* p = nullptr;
    if (FAILED(src.punkVal->QueryInterface(want, &p)) || !p) return DISP_E_TYPEMISMATCH;
    dst.vt = base;
    dst.punkVal = static_cast<IUnknown*>(p);
    return S_OK;
  }
  if (base & VT_ARRAY) {
    if (src.vt == base) {
      dst.vt = base;
      return src.parray ? SafeArrayCopy(src.parray, &dst.parray) : (dst.parray = nullptr, S_OK);
    }
    if (base == (VT_ARRAY | VT_I4) && src.vt == (VT_ARRAY | VT_VARIANT) && src.parray)
      return convert_variant_array_to_i4(src.parray, dst);
    return DISP_E_TYPEMISMATCH;
  }
  return VariantChangeType(&dst, &src, 0, base);
}

// The value an argument carries, with references followed: a VT_BYREF|VT_VARIANT wrapper yields the
// VARIANT it points at, VT_BYREF|T a borrowed shallow VT_T view in `shallow` (never cleared).
HRESULT dereference(const VARIANT& arg, VARIANT& shallow, const VARIANT*& out) {
  if (!(arg.vt & VT_BYREF)) {
    out = &arg;
    return S_OK;
  }
  if (!arg.byref) return DISP_E_TYPEMISMATCH;
  if (arg.vt == (VT_BYREF | VT_VARIANT)) {
    const VARIANT& inner = *arg.pvarVal;
    if (inner.vt == (VT_BYREF | VT_VARIANT)) return DISP_E_TYPEMISMATCH;  // no chains of wrappers
    return dereference(inner, shallow, out);
  }
  const VARTYPE base = arg.vt & ~VT_BYREF;
  const size_t size = payload_size(base);
  if (size == 0) return DISP_E_TYPEMISMATCH;
  VariantInit(&shallow);
  shallow.vt = base;
  std::memcpy(&shallow.llVal, arg.byref, size);
  out = &shallow;
  return S_OK;
}

// One parameter's state for the duration of a call.
struct Slot {
  zx::Variant owned;        // the coerced value or the storage a reference points at
  VARIANT view{};           // what the thunk sees (borrowed)
  int argIndex = -1;        // DISPPARAMS index, -1 when not passed
  VARIANT* backVariant = nullptr;  // write the result back into this host VARIANT
  void* backTyped = nullptr;       // or into this host storage of the declared type
};

// Coercion failures are reported against the argument; only running out of memory is not.
HRESULT coercion_failure(HRESULT hr) {
  return (hr == DISP_E_OVERFLOW || hr == E_OUTOFMEMORY) ? hr : DISP_E_TYPEMISMATCH;
}

// Puts the owned value into the host's by-reference storage, releasing what the host held there.
void write_back(Slot& s, VARTYPE base) {
  if (s.backVariant) {
    VariantClear(s.backVariant);
    *s.backVariant = s.owned.detach();
    return;
  }
  if (!s.backTyped) return;
  if (base == VT_VARIANT) {
    VARIANT* target = static_cast<VARIANT*>(s.backTyped);
    VariantClear(target);
    *target = s.owned.detach();
    return;
  }
  const size_t size = payload_size(base);
  VARIANT old;
  set_zero(old, base);
  std::memcpy(&old.llVal, s.backTyped, size);
  VariantClear(&old);
  VARIANT fresh = s.owned.detach();
  std::memcpy(s.backTyped, &fresh.llVal, size);
}

const ZX_MEMBER_DESC* select_member(const ZX_DISPATCH_TABLE* table, DISPID id, WORD wFlags) {
  const ZX_MEMBER_DESC* byKind[9] = {};
  for (UINT i = 0; i < table->cMembers; ++i) {
    const ZX_MEMBER_DESC& m = table->members[i];
    if (m.dispid == id && m.invkind < 9 && !byKind[m.invkind]) byKind[m.invkind] = &m;
  }
  // A put-family flag decides alone; otherwise a method is preferred to a property get, so that
  // METHOD|PROPERTYGET (what script hosts send for `x = obj.Name(...)`) finds either.
  if (wFlags & DISPATCH_PROPERTYPUTREF && byKind[ZX_INVOKE_PROPERTYPUTREF]) return byKind[ZX_INVOKE_PROPERTYPUTREF];
  if (wFlags & DISPATCH_PROPERTYPUT) return byKind[ZX_INVOKE_PROPERTYPUT];
  // `Set obj.Prop = value` in a script sends PROPERTYPUTREF; a property declared with a plain put
  // (the type library declares object-valued properties that way) takes it as that put, as script
  // hosts expect. The other direction stays refused: a plain put never reaches a putref-only member.
  if (wFlags & DISPATCH_PROPERTYPUTREF) return byKind[ZX_INVOKE_PROPERTYPUT];
  if (wFlags & DISPATCH_METHOD && byKind[ZX_INVOKE_FUNC]) return byKind[ZX_INVOKE_FUNC];
  if (wFlags & DISPATCH_PROPERTYGET && byKind[ZX_INVOKE_PROPERTYGET]) return byKind[ZX_INVOKE_PROPERTYGET];
  return nullptr;
}

void fill_excepinfo(EXCEPINFO* ei, HRESULT hr) {
  std::memset(ei, 0, sizeof *ei);
  ei->scode = hr;
  zx::ComPtr<IErrorInfo> record;
  if (GetErrorInfo(0, record.put()) == S_OK && record) {
    record->GetSource(&ei->bstrSource);
    record->GetDescription(&ei->bstrDescription);
    record->GetHelpFile(&ei->bstrHelpFile);
    record->GetHelpContext(&ei->dwHelpContext);
  }
  if (!ei->bstrDescription) ei->bstrDescription = SysAllocString(u"");
}

HRESULT invoke(const ZX_DISPATCH_TABLE* table, IUnknown* pItf, DISPID id, WORD wFlags, DISPPARAMS* dp,
               VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (!table || !pItf || !dp) return E_INVALIDARG;
  const UINT cArgs = dp->cArgs, cNamed = dp->cNamedArgs;
  if ((cArgs && !dp->rgvarg) || cNamed > cArgs || (cNamed && !dp->rgdispidNamedArgs)) return E_INVALIDARG;

  const ZX_MEMBER_DESC* m = select_member(table, id, wFlags);
  if (!m) return DISP_E_MEMBERNOTFOUND;
  auto fail_at = [&](HRESULT hr, UINT index) {
    if (puArgErr) *puArgErr = index;
    return hr;
  };

  const int n = m->cParams;
  const bool isPut = (m->invkind & (ZX_INVOKE_PROPERTYPUT | ZX_INVOKE_PROPERTYPUTREF)) != 0;
  const int retval = (n > 0 && (m->params[n - 1].flags & ZX_PARAM_RETVAL)) ? n - 1 : -1;
  const int callable = retval >= 0 ? n - 1 : n;
  const int valueParam = isPut ? callable - 1 : -1;
  const int positionalParams = isPut ? callable - 1 : callable;
  if (isPut && callable < 1) return DISP_E_MEMBERNOTFOUND;  // a put without a value parameter

  std::unique_ptr<Slot[]> slots(new Slot[n > 0 ? n : 1]);

  // A put without its value is missing a required argument, as IDispatch::Invoke reports it; this
  // is decided before the count, since the value is the one argument every put needs.
  if (isPut) {
    bool haveValue = false;
    for (UINT k = 0; k < cNamed; ++k) haveValue = haveValue || dp->rgdispidNamedArgs[k] == DISPID_PROPERTYPUT;
    if (!haveValue) return DISP_E_PARAMNOTOPTIONAL;
  }
  // Positional arguments, last first in rgvarg.
  const UINT positional = cArgs - cNamed;
  if (positional > static_cast<UINT>(positionalParams)) return DISP_E_BADPARAMCOUNT;
  for (UINT j = 0; j < positional; ++j) {
    const UINT index = cArgs - 1 - j;
    slots[j].argIndex = static_cast<int>(index);
  }

  // Named arguments: DISPID_PROPERTYPUT carries a put's value; others name parameter positions not
  // already given positionally.
  bool haveValue = false;
  for (UINT k = 0; k < cNamed; ++k) {
    const DISPID named = dp->rgdispidNamedArgs[k];
    if (named == DISPID_PROPERTYPUT) {
      if (!isPut || haveValue) return fail_at(DISP_E_PARAMNOTFOUND, k);
      slots[valueParam].argIndex = static_cast<int>(k);
      haveValue = true;
      continue;
    }
    if (named < 0 || named >= positionalParams || slots[named].argIndex >= 0) return fail_at(DISP_E_PARAMNOTFOUND, k);
    slots[named].argIndex = static_cast<int>(k);
  }
  for (int i = 0; i < n; ++i) {
    const ZX_PARAM_DESC& p = m->params[i];
    Slot& s = slots[i];
    const bool byref = (p.vt & VT_BYREF) != 0;
    const VARTYPE base = p.vt & ~VT_BYREF;
    if (!is_automation_type(base)) return s.argIndex >= 0 ? fail_at(DISP_E_BADVARTYPE, s.argIndex) : DISP_E_BADVARTYPE;
    const VARIANT* arg = s.argIndex >= 0 ? &dp->rgvarg[s.argIndex] : nullptr;

    // VT_ERROR/DISP_E_PARAMNOTFOUND is a host's "not passed", except as the value of a required VARIANT.
    const bool missing = !arg || (is_missing(*arg) && ((p.flags & ZX_PARAM_OPTIONAL) || base != VT_VARIANT));
    if (i == retval || missing) {
      if (i == retval) {
        set_zero(s.owned, base);
      } else if (p.flags & ZX_PARAM_HASDEFAULT) {
        const VARIANT& d = *p.defaultValue;
        zx::Variant literal;
        const VARIANT* from = &d;
        if (d.vt == VT_BSTR) {
          literal.vt = VT_BSTR;
          literal.bstrVal = SysAllocString(d.bstrVal);
          if (!literal.bstrVal) return E_OUTOFMEMORY;
          from = &literal;
        }
        HRESULT hr = coerce(*from, base, p.iid, *s.owned.put());
        if (FAILED(hr)) return hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH;
      } else if (p.flags & ZX_PARAM_OPTIONAL) {
        if (base == VT_VARIANT) {
          s.owned.vt = VT_ERROR;
          s.owned.scode = DISP_E_PARAMNOTFOUND;
        } else {
          set_zero(s.owned, base);
        }
      } else {
        return DISP_E_PARAMNOTOPTIONAL;
      }
      if (byref) {
        s.view.vt = p.vt;
        s.view.byref = storage_of(s.owned, base);
      } else {
        s.view = s.owned;
      }
      continue;
    }

    const UINT argIndex = static_cast<UINT>(s.argIndex);
    if (byref) {
      // Hosts pass references as VT_BYREF|<declared type> or wrapped as VT_BYREF|VT_VARIANT; a value
      // passed by value (an expression) is accepted and its result dropped. The callee always works
      // on our own copy, which replaces the host's value after a successful call.
      if (arg->vt == p.vt && arg->byref) {
        s.backTyped = arg->byref;
      } else if (arg->vt == (VT_BYREF | VT_VARIANT) && arg->pvarVal) {
        s.backVariant = arg->pvarVal;
      } else if (arg->vt & VT_BYREF) {
        return fail_at(DISP_E_TYPEMISMATCH, argIndex);
      }
      if (p.flags & ZX_PARAM_IN) {
        VARIANT shallow;
        const VARIANT* value = nullptr;
        HRESULT hr = dereference(*arg, shallow, value);
        if (SUCCEEDED(hr)) hr = coerce(*value, base, p.iid, *s.owned.put());
        if (FAILED(hr)) return fail_at(coercion_failure(hr), argIndex);
      } else {
        set_zero(s.owned, base);
      }
      s.view.vt = p.vt;
      s.view.byref = storage_of(s.owned, base);
      continue;
    }

    VARIANT shallow;
    const VARIANT* value = nullptr;
    HRESULT hr = dereference(*arg, shallow, value);
    if (FAILED(hr)) return fail_at(hr, argIndex);
    if (base == VT_VARIANT || ((base & VT_ARRAY) && value->vt == base)) {
      // The callee borrows an [in] VARIANT or an [in] array of the declared type (pixel arrays are
      // large): nothing is copied.
      s.view = *value;
      continue;
    }
    hr = coerce(*value, base, p.iid, *s.owned.put());
    if (FAILED(hr)) return fail_at(coercion_failure(hr), argIndex);
    s.view = s.owned;
  }

  std::unique_ptr<VARIANT[]> views(new VARIANT[n > 0 ? n : 1]);
  for (int i = 0; i < n; ++i) views[i] = slots[i].view;
  // A record left by an earlier call must not be reported as this member's.
  SetErrorInfo(0, nullptr);
  const HRESULT hr = m->thunk(pItf, views.get());
  if (FAILED(hr)) {
    if (pExcepInfo) fill_excepinfo(pExcepInfo, hr);
    return DISP_E_EXCEPTION;
  }
  for (int i = 0; i < n; ++i)
    if (i != retval) write_back(slots[i], m->params[i].vt & ~VT_BYREF);
  if (pVarResult) {
    VariantInit(pVarResult);
    if (retval >= 0) *pVarResult = slots[retval].owned.detach();
  }
  return S_OK;
}

}  // namespace

STDAPI ZxDispatchGetIDsOfNames(const ZX_DISPATCH_TABLE* table, LPOLESTR* rgszNames, UINT cNames, LCID,
                               DISPID* rgDispId) {
  if (!table || !rgszNames || !rgDispId || cNames == 0) return E_INVALIDARG;
  for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
  const OLECHAR* member = rgszNames[0];
  bool found = false;
  for (UINT k = 0; k < table->cMembers; ++k) {
    if (same_name(table->members[k].name, member)) {
      rgDispId[0] = table->members[k].dispid;
      found = true;
      break;
    }
  }
  if (!found) return DISP_E_UNKNOWNNAME;
  // Argument names: looked up in every entry of that name (a property's get and put).
  HRESULT hr = S_OK;
  for (UINT i = 1; i < cNames; ++i) {
    for (UINT k = 0; k < table->cMembers && rgDispId[i] == DISPID_UNKNOWN; ++k) {
      const ZX_MEMBER_DESC& m = table->members[k];
      if (!same_name(m.name, member)) continue;
      for (UINT p = 0; p < m.cParams; ++p) {
        if (same_name(m.params[p].name, rgszNames[i])) {
          rgDispId[i] = static_cast<DISPID>(p);
          break;
        }
      }
    }
    if (rgDispId[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

STDAPI ZxDispatchInvoke(const ZX_DISPATCH_TABLE* table, IUnknown* pItf, DISPID dispIdMember, LCID, WORD wFlags,
                        DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  try {
    return invoke(table, pItf, dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

STDAPI ZxDispatchGetTypeInfoCount(UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

STDAPI ZxDispatchGetTypeInfo(UINT iTInfo, LCID, ITypeInfo** ppTInfo) {
  if (!ppTInfo) return E_POINTER;
  *ppTInfo = nullptr;
  return iTInfo != 0 ? DISP_E_BADINDEX : TYPE_E_ELEMENTNOTFOUND;
}
