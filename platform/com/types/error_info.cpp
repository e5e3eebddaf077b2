// Zentarix — MIT licence.
// Error records: the object CreateErrorInfo makes, and the per-thread slot Set/GetErrorInfo use.
#include <atomic>
#include <new>

#include "zx/com.h"

namespace {

// One object answers both ICreateErrorInfo (the writer's view) and IErrorInfo (the reader's), so a
// record can be filled and then handed to SetErrorInfo after a QueryInterface.
class ErrorRecord final : public ICreateErrorInfo, public IErrorInfo {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ICreateErrorInfo)
      *ppv = static_cast<ICreateErrorInfo*>(this);
    else if (riid == IID_IErrorInfo)
      *ppv = static_cast<IErrorInfo*>(this);
    else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
  }

  HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) override {
    m_guid = rguid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR sz) override { return assign(m_source, sz); }
  HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR sz) override { return assign(m_description, sz); }
  HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR sz) override { return assign(m_helpFile, sz); }
  HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD ctx) override {
    m_helpContext = ctx;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetGUID(GUID* p) override {
    if (!p) return E_INVALIDARG;
    *p = m_guid;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetSource(BSTR* p) override { return give(m_source, p); }
  HRESULT STDMETHODCALLTYPE GetDescription(BSTR* p) override { return give(m_description, p); }
  HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* p) override { return give(m_helpFile, p); }
  HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* p) override {
    if (!p) return E_INVALIDARG;
    *p = m_helpContext;
    return S_OK;
  }

 private:
  static HRESULT assign(zx::Bstr& field, LPOLESTR sz) noexcept {
    BSTR fresh = nullptr;
    if (sz && !(fresh = SysAllocString(sz))) return E_OUTOFMEMORY;
    field = zx::Bstr::attach(fresh);
    return S_OK;
  }
  static HRESULT give(const zx::Bstr& field, BSTR* p) noexcept {
    if (!p) return E_INVALIDARG;
    *p = nullptr;
    if (!field.get()) return S_OK;
    *p = SysAllocStringLen(field.get(), field.length());
    return *p ? S_OK : E_OUTOFMEMORY;
  }

  std::atomic<ULONG> m_refs{1};
  GUID m_guid = GUID_NULL;
  zx::Bstr m_source, m_description, m_helpFile;
  DWORD m_helpContext = 0;
};

// The thread's current record; released when the thread ends.
thread_local zx::ComPtr<IErrorInfo> t_errorInfo;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  *pperrinfo = new (std::nothrow) ErrorRecord();
  return *pperrinfo ? S_OK : E_OUTOFMEMORY;
}

HRESULT SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
  if (dwReserved != 0) return E_INVALIDARG;
  t_errorInfo = zx::ComPtr<IErrorInfo>(perrinfo);
  return S_OK;
}

HRESULT GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  *pperrinfo = nullptr;
  if (dwReserved != 0) return E_INVALIDARG;
  // Reading hands the record over: the thread's slot is empty afterwards.
  *pperrinfo = t_errorInfo.detach();
  return *pperrinfo ? S_OK : S_FALSE;
}
