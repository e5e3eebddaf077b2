// Zentarix — MIT licence.
// The one base template every coclass is built on: IUnknown, aggregation, IDispatch, ISupportErrorInfo, creation.
#pragma once
#include <objbase.h>
#include <zxdispatch.h>

#include <atomic>
#include <mutex>
#include <new>
#include <type_traits>

#include "zx/com.h"

namespace zx::server {

// ---- module lock ---------------------------------------------------------------------------------
// The count of live objects plus LockServer locks; DllCanUnloadNow answers S_OK at zero. Cached
// class objects do not count, or the module could never be unloaded. lock_module/unlock_module count
// objects; lock_server counts LockServer calls on their own, an unlock without a lock doing nothing.
void lock_module() noexcept;
void unlock_module() noexcept;
void lock_server(bool lock) noexcept;
LONG module_lock_count() noexcept;

// ---- the boundary idiom ----------------------------------------------------------------------------
// Every COM method body runs inside com_call, so no exception crosses a vtable:
//   STDMETHOD(Foo)(LONG x) override {
//     return com_call([&] { ...; return S_OK; });                       // others -> E_FAIL
//     return com_call([&] { ... }, E_INVALIDARG);                      // others -> that code
//     return com_call([&] { ... }, [&] { return ReportError(...); });  // others -> a report
//   }
// std::bad_alloc always becomes E_OUTOFMEMORY; any other exception (SE_Exception from a guarded
// pixel loop included) becomes the fallback.
template <class Body, class Fallback>
HRESULT com_call(Body&& body, Fallback&& fallback) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    if constexpr (std::is_invocable_r_v<HRESULT, Fallback>) {
      try {
        return fallback();
      } catch (...) {
        return E_OUTOFMEMORY;  // only the report itself allocates
      }
    } else {
      return static_cast<HRESULT>(fallback);
    }
  }
}
template <class Body>
HRESULT com_call(Body&& body) noexcept {
  return com_call(static_cast<Body&&>(body), E_FAIL);
}

// ---- the base template -----------------------------------------------------------------------------
// class GUIDGen : public ComObject<GUIDGen, IGUIDGen> { ... };
// class TransformCrop : public ComObject<TransformCrop, ITransformCrop, IGDIPlusTransform> { ... };
//
// Main is the class's main (default) interface; Others are the further interfaces it answers. That
// list is the class's whole interface map: QueryInterface also answers IUnknown, IDispatch (the
// main interface's dispatch, when Main is dual), ISupportErrorInfo (S_OK for Main only) and IMarshal
// (forwarded to the aggregated free-threaded marshaler).
//
// Creation has two steps (see create_instance): the constructor, which cannot fail, and
// FinalConstruct(), which may fail with a reported error. A class defines `HRESULT FinalConstruct()`
// to get its own second step; the base's first creates the free-threaded marshaler.
//
// Aggregation: an object created with an outer unknown delegates IUnknown on all of its interfaces to
// the outer object and hands the creator a separate, non-delegating inner IUnknown (COM's rule).
template <class Derived, class Main, class... Others>
class ComObject : public Main, public Others..., public ISupportErrorInfo {
 public:
  using MainInterface = Main;

  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  // ---- IUnknown (delegating when aggregated) ----
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (m_outer) return m_outer->QueryInterface(riid, ppv);
    return internal_query_interface(riid, ppv);
  }
  STDMETHOD_(ULONG, AddRef)() override { return m_outer ? m_outer->AddRef() : internal_add_ref(); }
  STDMETHOD_(ULONG, Release)() override { return m_outer ? m_outer->Release() : internal_release(); }

  // ---- IDispatch over the generated member table of Main (only when Main is dual) ----
  // Type information is not provided on this platform; the generated tables stand in for it.
  STDMETHOD(GetTypeInfoCount)(UINT* pctinfo) { return ZxDispatchGetTypeInfoCount(pctinfo); }
  STDMETHOD(GetTypeInfo)(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) {
    return ZxDispatchGetTypeInfo(iTInfo, lcid, ppTInfo);
  }
  STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return ZxDispatchGetIDsOfNames(dispatch_table(), rgszNames, cNames, lcid, rgDispId);
  }
  STDMETHOD(Invoke)(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                    VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return ZxDispatchInvoke(dispatch_table(), static_cast<Main*>(this), dispIdMember, lcid, wFlags, pDispParams,
                            pVarResult, pExcepInfo, puArgErr);
  }

  // ---- ISupportErrorInfo ----
  STDMETHOD(InterfaceSupportsErrorInfo)(REFIID riid) override {
    return riid == uuid_of<Main>::value ? S_OK : S_FALSE;
  }

  // ---- what the class factory and the class itself use ----
  // The class's own second step; a class hides this with its own.
  HRESULT FinalConstruct() { return S_OK; }

  // A class whose main interface derives from another interface than IDispatch (IRasterItem from
  // IRasterObject) answers that one's IID too: it hides this with its own, returning the interface
  // pointer (not counted) for such an IID and null for any other.
  void* query_base_interface(REFIID) noexcept { return nullptr; }

  // The per-object critical section: `auto lock = this->lock();` (recursive, like a Win32 one).
  std::unique_lock<std::recursive_mutex> lock() { return std::unique_lock<std::recursive_mutex>(m_cs); }

  // The controlling unknown: the outer object when aggregated, else this object.
  IUnknown* controlling_unknown() noexcept {
    return m_outer ? m_outer : static_cast<IUnknown*>(static_cast<Main*>(this));
  }

  HRESULT internal_query_interface(REFIID riid, void** ppv) noexcept {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown) {
      *ppv = m_outer ? static_cast<IUnknown*>(&m_inner) : static_cast<IUnknown*>(static_cast<Main*>(this));
    } else if (riid == uuid_of<Main>::value) {
      *ppv = static_cast<Main*>(this);
    } else if (std::is_base_of_v<IDispatch, Main> && riid == IID_IDispatch) {
      *ppv = static_cast<Main*>(this);
    } else if (riid == IID_ISupportErrorInfo) {
      *ppv = static_cast<ISupportErrorInfo*>(this);
    } else if (riid == IID_IMarshal) {
      return m_marshaler ? m_marshaler->QueryInterface(riid, ppv) : E_NOINTERFACE;
    } else if (!((riid == uuid_of<Others>::value && (*ppv = static_cast<Others*>(this), true)) || ...)) {
      *ppv = static_cast<Derived*>(this)->query_base_interface(riid);
      if (!*ppv) return E_NOINTERFACE;
    }
    // Counted through the interface handed out, so that an aggregated object's interfaces hold
    // the outer object (only the inner unknown counts the inner object itself).
    static_cast<IUnknown*>(*ppv)->AddRef();
    return S_OK;
  }
  ULONG internal_add_ref() noexcept { return ++m_refs; }
  ULONG internal_release() noexcept {
    const ULONG refs = --m_refs;
    if (refs == 0) delete static_cast<Derived*>(this);
    return refs;
  }

  // Step 3 of creation, run by create_instance with the count held at one.
  HRESULT construct(IUnknown* outer) {
    m_outer = outer;
    HRESULT hr = CoCreateFreeThreadedMarshaler(controlling_unknown(), m_marshaler.put());
    if (FAILED(hr)) return hr;
    return static_cast<Derived*>(this)->FinalConstruct();
  }

 protected:
  ComObject() noexcept : m_inner(this) { lock_module(); }
  // Virtual so that a class may be derived from again; its slots follow Main's in the vtable, where
  // no client looks.
  virtual ~ComObject() {
    m_marshaler.reset();
    unlock_module();
  }

 private:
  static const ZX_DISPATCH_TABLE* dispatch_table() noexcept {
    return &zx::dispatch_table_of<Main>::value;
  }

  // The non-delegating IUnknown an outer object holds.
  struct InnerUnknown : IUnknown {
    explicit InnerUnknown(ComObject* self) noexcept : m_self(self) {}
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override { return m_self->internal_query_interface(riid, ppv); }
    STDMETHOD_(ULONG, AddRef)() override { return m_self->internal_add_ref(); }
    STDMETHOD_(ULONG, Release)() override { return m_self->internal_release(); }
    ComObject* m_self;
  };

  std::atomic<ULONG> m_refs{0};
  IUnknown* m_outer = nullptr;  // not counted: the outer object owns us
  InnerUnknown m_inner;
  ComPtr<IUnknown> m_marshaler;
  std::recursive_mutex m_cs;
};

// ---- creation --------------------------------------------------------------------------------------
// A class table row's instance creator: create_instance<GUIDGen>. Allocates (E_OUTOFMEMORY when that
// fails), constructs, runs the second step with the count held at one, then queries for riid; a
// failure in either of the last two destroys the object and is returned as it is (its error record,
// if it reported one, stays on the thread). An outer object may only ask for IUnknown.
using InstanceCreator = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

template <class T>
HRESULT create_instance(IUnknown* outer, REFIID riid, void** ppv) noexcept {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
  T* object = nullptr;
  try {
    object = new T();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  object->internal_add_ref();
  HRESULT hr = com_call([&] { return object->construct(outer); });
  if (SUCCEEDED(hr)) hr = object->internal_query_interface(riid, ppv);
  object->internal_release();  // destroys the object when either step failed
  return hr;
}

}  // namespace zx::server
