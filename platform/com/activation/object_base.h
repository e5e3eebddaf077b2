// Zentarix platform layer — MIT licence.
// Reference counting and QueryInterface for the runtime's own (non-aggregatable) objects.
#pragma once
#include <atomic>
#include <new>
#include <utility>

#include "unknwn.h"

namespace zx::activation {

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

}  // namespace zx::activation
