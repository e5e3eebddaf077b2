// Zentarix platform layer — MIT licence.
// Reference counting, QueryInterface and the table-driven IDispatch for small COM objects that are
// not aggregatable: the runtime's scripting objects and the script host's own objects.
#pragma once
#include <algorithm>
#include <atomic>
#include <new>
#include <utility>
#include <vector>

#include "../oaidl.h"
#include "../zxdispatch.h"
#include "com.h"

namespace zx {

// Derived names its interfaces in `void* find_interface(REFIID)` (no AddRef there); the object is
// deleted at its last Release.
template <class Derived, class... Interfaces>
class ObjectBase : public Interfaces... {
 public:
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = static_cast<Derived*>(this)->find_interface(riid);
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG left = --m_refs;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

  // Makes an object and hands out the interface asked for (the creation reference is dropped).
  template <class... Args>
  static HRESULT create(REFIID riid, void** ppv, Args&&... args) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    auto* obj = new (std::nothrow) Derived(std::forward<Args>(args)...);
    if (!obj) return E_OUTOFMEMORY;
    obj->AddRef();
    HRESULT hr = obj->QueryInterface(riid, ppv);
    obj->Release();
    return hr;
  }

 protected:
  ObjectBase() = default;
  ~ObjectBase() = default;

 private:
  std::atomic<ULONG> m_refs{0};
};

// The one boundary of the runtime's scripting objects: no exception leaves a method.
template <class F>
HRESULT boundary(F&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}



// A dual interface Itf whose IDispatch is the generic one over the IDL's member table, with
// ISupportErrorInfo for Itf. Derived may add interfaces through Others and find_interface.
template <class Derived, class Itf, class... Others>
class DispatchObject : public ObjectBase<Derived, Itf, ISupportErrorInfo, Others...> {
 public:
  void* find_interface(REFIID riid) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == zx::uuid_of<Itf>::value) return static_cast<Itf*>(this);
    if (riid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }
  STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) override { return ZxDispatchGetTypeInfoCount(pctinfo); }
  STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override {
    return ZxDispatchGetTypeInfo(iTInfo, lcid, ppTInfo);
  }
  STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return ZxDispatchGetIDsOfNames(&zx::dispatch_table_of<Itf>::value, rgszNames, cNames, lcid, rgDispId);
  }
  STDMETHOD(Invoke)(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                    VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return ZxDispatchInvoke(&zx::dispatch_table_of<Itf>::value, static_cast<Itf*>(this), dispIdMember, lcid, wFlags,
                            pDispParams, pVarResult, pExcepInfo, puArgErr);
  }
  STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) override {
    return riid == zx::uuid_of<Itf>::value ? S_OK : S_FALSE;
  }
};

// Walks a list of values fixed when the enumerator was made (a collection's _NewEnum).
class VariantEnumerator final : public ObjectBase<VariantEnumerator, IEnumVARIANT> {
 public:
  VariantEnumerator(std::vector<zx::Variant> items, size_t pos) : m_items(std::move(items)), m_pos(pos) {}
  void* find_interface(REFIID riid) {
    return riid == IID_IUnknown || riid == IID_IEnumVARIANT ? static_cast<IEnumVARIANT*>(this) : nullptr;
  }
  STDMETHOD(Next)(ULONG celt, VARIANT* rgVar, ULONG* pCeltFetched) override {
    if (!rgVar) return E_POINTER;
    ULONG n = 0;
    for (; n < celt && m_pos < m_items.size(); ++n, ++m_pos) {
      VariantInit(&rgVar[n]);
      if (HRESULT hr = VariantCopy(&rgVar[n], &m_items[m_pos]); FAILED(hr)) {
        for (ULONG i = 0; i < n; ++i) VariantClear(&rgVar[i]);
        return hr;
      }
    }
    if (pCeltFetched) *pCeltFetched = n;
    return n == celt ? S_OK : S_FALSE;
  }
  STDMETHOD(Skip)(ULONG celt) override {
    const size_t left = m_items.size() - m_pos;
    m_pos += std::min<size_t>(celt, left);
    return celt <= left ? S_OK : S_FALSE;
  }
  STDMETHOD(Reset)() override {
    m_pos = 0;
    return S_OK;
  }
  STDMETHOD(Clone)(IEnumVARIANT** ppEnum) override {
    return boundary([&] { return create(IID_IEnumVARIANT, reinterpret_cast<void**>(ppEnum), m_items, m_pos); });
  }

 private:
  std::vector<zx::Variant> m_items;
  size_t m_pos;
};

}  // namespace zx
