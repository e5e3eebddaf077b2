// Zentarix — MIT licence.
// The free-threaded marshaler: an aggregatable IMarshal that hands the raw pointer across apartments.
#include <new>

#include "activation_internal.h"

namespace zx::activation {
namespace {

constexpr DWORD MSHCTX_INPROC = 3;
constexpr DWORD MSHCTX_CROSSCTX = 4;
constexpr DWORD MSHLFLAGS_NORMAL = 0;
constexpr DWORD MSHLFLAGS_TABLEWEAK = 2;

// What MarshalInterface writes: the flags and the interface pointer. Only meaningful inside the
// process that wrote it; the library never marshals to another process.
struct MarshalRecord {
  DWORD flags;
  DWORD reserved;
  uint64_t pointer;
};

HRESULT read_record(IStream* stm, MarshalRecord& rec) {
  if (!stm) return E_INVALIDARG;
  ULONG read = 0;
  HRESULT hr = stm->Read(&rec, sizeof rec, &read);
  if (FAILED(hr)) return hr;
  return read == sizeof rec ? S_OK : STG_E_READFAULT;
}

class FreeThreadedMarshaler final : public IMarshal {
 public:
  explicit FreeThreadedMarshaler(IUnknown* outer) : m_inner(this), m_outer(outer ? outer : &m_inner) {}

  // IMarshal: IUnknown goes to the controlling unknown (the outer object when aggregated).
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override { return m_outer->QueryInterface(riid, ppv); }
  STDMETHOD_(ULONG, AddRef)() override { return m_outer->AddRef(); }
  STDMETHOD_(ULONG, Release)() override { return m_outer->Release(); }

  STDMETHOD(GetUnmarshalClass)(REFIID, void*, DWORD dwDestContext, void*, DWORD, CLSID* pCid) override {
    if (!pCid) return E_POINTER;
    if (!in_process(dwDestContext)) return E_NOTIMPL;
    *pCid = CLSID_InProcFreeMarshaler;
    return S_OK;
  }
  STDMETHOD(GetMarshalSizeMax)(REFIID, void*, DWORD dwDestContext, void*, DWORD, DWORD* pSize) override {
    if (!pSize) return E_POINTER;
    if (!in_process(dwDestContext)) return E_NOTIMPL;
    *pSize = sizeof(MarshalRecord);
    return S_OK;
  }
  STDMETHOD(MarshalInterface)(IStream* pStm, REFIID riid, void* pv, DWORD dwDestContext, void*,
                              DWORD mshlflags) override {
    if (!pStm || !pv) return E_INVALIDARG;
    if (!in_process(dwDestContext)) return E_NOTIMPL;
    IUnknown* itf = nullptr;
    HRESULT hr = static_cast<IUnknown*>(pv)->QueryInterface(riid, reinterpret_cast<void**>(&itf));
    if (FAILED(hr)) return hr;
    // The reference taken here belongs to the marshalled data (a weak table entry keeps none).
    MarshalRecord rec{mshlflags, 0, reinterpret_cast<uintptr_t>(itf)};
    hr = pStm->Write(&rec, sizeof rec, nullptr);
    if (FAILED(hr) || mshlflags == MSHLFLAGS_TABLEWEAK) itf->Release();
    return hr;
  }
  STDMETHOD(UnmarshalInterface)(IStream* pStm, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    MarshalRecord rec{};
    if (HRESULT hr = read_record(pStm, rec); FAILED(hr)) return hr;
    auto* itf = reinterpret_cast<IUnknown*>(static_cast<uintptr_t>(rec.pointer));
    if (!itf) return E_UNEXPECTED;
    HRESULT hr = itf->QueryInterface(riid, ppv);
    // Normal marshalling is one-shot: the data's reference is consumed by unmarshalling it.
    if (rec.flags == MSHLFLAGS_NORMAL) itf->Release();
    return hr;
  }
  STDMETHOD(ReleaseMarshalData)(IStream* pStm) override {
    MarshalRecord rec{};
    if (HRESULT hr = read_record(pStm, rec); FAILED(hr)) return hr;
    auto* itf = reinterpret_cast<IUnknown*>(static_cast<uintptr_t>(rec.pointer));
    if (itf && rec.flags != MSHLFLAGS_TABLEWEAK) itf->Release();
    return S_OK;
  }
  STDMETHOD(DisconnectObject)(DWORD) override { return S_OK; }

  IUnknown* inner() { return &m_inner; }

 private:
  static bool in_process(DWORD ctx) { return ctx == MSHCTX_INPROC || ctx == MSHCTX_CROSSCTX; }

  // The non-delegating unknown: the identity the outer object holds and releases.
  class Inner final : public IUnknown {
   public:
    explicit Inner(FreeThreadedMarshaler* owner) : m_owner(owner) {}
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
      if (!ppv) return E_POINTER;
      if (riid == IID_IUnknown) {
        *ppv = static_cast<IUnknown*>(this);
      } else if (riid == IID_IMarshal) {
        *ppv = static_cast<IMarshal*>(owner());
      } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
      }
      static_cast<IUnknown*>(*ppv)->AddRef();
      return S_OK;
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
    STDMETHOD_(ULONG, Release)() override {
      ULONG left = --m_refs;
      if (left == 0) delete owner();
      return left;
    }

   private:
    FreeThreadedMarshaler* owner() { return m_owner; }
    FreeThreadedMarshaler* m_owner;
    std::atomic<ULONG> m_refs{1};
  };

  Inner m_inner;
  IUnknown* m_outer;
};

}  // namespace
}  // namespace zx::activation

STDAPI CoCreateFreeThreadedMarshaler(IUnknown* punkOuter, IUnknown** ppunkMarshal) {
  if (!ppunkMarshal) return E_INVALIDARG;
  *ppunkMarshal = nullptr;
  auto* ftm = new (std::nothrow) zx::activation::FreeThreadedMarshaler(punkOuter);
  if (!ftm) return E_OUTOFMEMORY;
  *ppunkMarshal = ftm->inner();  // created with one reference, handed to the caller
  return S_OK;
}
