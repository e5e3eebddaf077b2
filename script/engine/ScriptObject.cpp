// Zentarix — MIT licence.
// Script class instances: Class_Terminate at the last release, and IDispatch for callers outside.
#include "ScriptObject.h"

#include <atomic>

#include "Interpreter.h"
#include "zxdispatch.h"

namespace zx::script {
namespace {

// Every ScriptObject shares one vtable; the first word of any COM interface pointer is its vtable,
// so comparing it tells our objects from all others without calling into them.
std::atomic<const void*> g_vtable{nullptr};

const void* vtable_of(const void* object) { return *static_cast<const void* const*>(object); }

}  // namespace

ScriptObject::ScriptObject(Interpreter* interp, const ClassDef* cls) : m_interp(interp), m_cls(cls) {
  g_vtable.store(vtable_of(static_cast<IDispatch*>(this)));
  m_fields.resize(static_cast<size_t>(cls->fieldCount));
  for (auto& f : m_fields) f.vt = VT_EMPTY;
  m_interp->m_objects.insert(this);
}

ScriptObject::~ScriptObject() {
  if (m_interp) m_interp->m_objects.erase(this);
  for (auto& f : m_fields) {
    VARIANT old = f;
    f.vt = VT_EMPTY;
    clear_value(old);
  }
}

ScriptObject* ScriptObject::from(IUnknown* unknown) {
  if (!unknown || vtable_of(unknown) != g_vtable.load()) return nullptr;
  return static_cast<ScriptObject*>(static_cast<IDispatch*>(unknown));
}

const ClassDef* ScriptObject::class_of(IUnknown* unknown) {
  const ScriptObject* o = from(unknown);
  return o ? o->m_cls : nullptr;
}

HRESULT ScriptObject::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch) {
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG ScriptObject::Release() {
  const ULONG left = --m_refs;
  if (left) return left;
  if (m_interp && m_cls->terminate) {
    m_refs = 1;  // alive while its Class_Terminate runs
    m_interp->terminate(this);
    if (--m_refs) return m_refs;  // the terminator kept a reference to it
  }
  delete this;
  return 0;
}

HRESULT ScriptObject::GetTypeInfoCount(UINT* pctinfo) { return ZxDispatchGetTypeInfoCount(pctinfo); }

HRESULT ScriptObject::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) {
  return ZxDispatchGetTypeInfo(iTInfo, lcid, ppTInfo);
}

HRESULT ScriptObject::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID, DISPID* rgDispId) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (!rgszNames || !rgDispId || cNames == 0) return E_INVALIDARG;
  try {
    for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
    auto it = m_cls->memberIndex.find(fold_name(rgszNames[0]));
    if (it == m_cls->memberIndex.end() || !m_cls->members[it->second].isPublic) return DISP_E_UNKNOWNNAME;
    rgDispId[0] = it->second + 1;
    return cNames == 1 ? S_OK : DISP_E_UNKNOWNNAME;  // script procedures take no named arguments
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ScriptObject::Invoke(DISPID dispIdMember, REFIID riid, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                             VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT*) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (!pDispParams) return E_INVALIDARG;
  if (!m_interp) return E_UNEXPECTED;
  const int index = dispIdMember == DISPID_VALUE ? m_cls->defaultMember : dispIdMember - 1;
  if (index < 0 || index >= static_cast<int>(m_cls->members.size()) || !m_cls->members[index].isPublic)
    return DISP_E_MEMBERNOTFOUND;
  const bool put = (wFlags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  const UINT named = pDispParams->cNamedArgs;
  if (named > (put ? 1u : 0u)) return DISP_E_NONAMEDARGS;
  if (put && (named != 1 || pDispParams->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)) return DISP_E_PARAMNOTOPTIONAL;
  try {
    // Script order, by reference where the caller passed a VT_BYREF|VT_VARIANT; values are copied.
    const int argc = static_cast<int>(pDispParams->cArgs - named);
    std::vector<VARIANT> args(static_cast<size_t>(argc));
    struct Clear {
      std::vector<VARIANT>& v;
      ~Clear() {
        for (auto& a : v)
          if (a.vt != kAlias) clear_value(a);
      }
    } clear{args};
    for (int i = 0; i < argc; ++i) {
      const VARIANT& from = pDispParams->rgvarg[pDispParams->cArgs - 1 - i];
      args[i].vt = VT_EMPTY;
      if (from.vt == kAlias)
        args[i] = from;
      else
        copy_value(args[i], from);
    }
    Value value;
    if (put) copy_value(value, pDispParams->rgvarg[0]);
    Value result;
    m_interp->call_member(this, index, wFlags, args.data(), argc, put ? &value : nullptr, &result);
    if (pVarResult) {
      VariantInit(pVarResult);
      *pVarResult = result.release();
    }
    return S_OK;
  } catch (const ScriptError& e) {
    if (pExcepInfo) {
      *pExcepInfo = EXCEPINFO{};
      pExcepInfo->scode = e.hresult();
      pExcepInfo->bstrSource = SysAllocStringLen(e.source.data(), static_cast<UINT>(e.source.size()));
      pExcepInfo->bstrDescription = SysAllocStringLen(e.description.data(), static_cast<UINT>(e.description.size()));
    }
    return DISP_E_EXCEPTION;
  } catch (const StopRequest& stop) {
    m_interp->defer_stop(stop);
    if (pExcepInfo) {
      *pExcepInfo = EXCEPINFO{};
      pExcepInfo->scode = E_ABORT;
    }
    return DISP_E_EXCEPTION;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace zx::script
