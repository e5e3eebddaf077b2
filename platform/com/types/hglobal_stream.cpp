// Zentarix — MIT licence.
// CreateStreamOnHGlobal: a growable memory IStream over an HGLOBAL, with clones sharing the buffer.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "objbase.h"
#include "stream_internal.h"
#include "winbase.h"

namespace {

// The buffer every clone shares: the HGLOBAL (its size is the stream's size) and who frees it.
struct SharedGlobal {
  HGLOBAL handle = nullptr;
  bool deleteOnRelease = false;
  std::atomic<ULONG> refs{1};

  void add_ref() { ++refs; }
  void release() {
    if (--refs == 0) {
      if (deleteOnRelease) GlobalFree(handle);
      delete this;
    }
  }
  SIZE_T size() const { return GlobalSize(handle); }
  // The block's address is only stable while nothing reallocates it; each call asks afresh.
  unsigned char* data() const {
    auto* p = static_cast<unsigned char*>(GlobalLock(handle));
    GlobalUnlock(handle);
    return p;
  }
  bool resize(SIZE_T n) {
    const SIZE_T old = size();
    if (n == old) return true;
    HGLOBAL moved = GlobalReAlloc(handle, n, GMEM_MOVEABLE);
    if (!moved) return false;
    handle = moved;  // only a fixed block (which callers should not give us) changes its handle
    if (n > old) std::memset(data() + old, 0, n - old);  // growth reads as zeros, as a gap must
    return true;
  }
};

class HGlobalStream final : public IStream {
 public:
  HGlobalStream(SharedGlobal* shared, ULONGLONG position) : m_shared(shared), m_pos(position) { shared->add_ref(); }
  ~HGlobalStream() { m_shared->release(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
      *ppv = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    if (riid == zx::types::IID_ZxHGlobalStreamIdentity) {  // no reference: see stream_internal.h
      *ppv = this;
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --m_refs;
    if (n == 0) delete this;
    return n;
  }

  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override {
    if (pcbRead) *pcbRead = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    const SIZE_T size = m_shared->size();
    ULONG n = 0;
    if (m_pos < size) n = static_cast<ULONG>(std::min<ULONGLONG>(cb, size - m_pos));
    if (n) std::memcpy(pv, m_shared->data() + m_pos, n);
    m_pos += n;
    if (pcbRead) *pcbRead = n;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    if (pcbWritten) *pcbWritten = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    if (cb == 0) return S_OK;
    const ULONGLONG end = m_pos + cb;
    if (end > m_shared->size() && !m_shared->resize(end)) return E_OUTOFMEMORY;
    std::memmove(m_shared->data() + m_pos, pv, cb);  // the source may be this very buffer
    m_pos = end;
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPos) override {
    LONGLONG base;
    switch (origin) {
      case STREAM_SEEK_SET: base = 0; break;
      case STREAM_SEEK_CUR: base = static_cast<LONGLONG>(m_pos); break;
      case STREAM_SEEK_END: base = static_cast<LONGLONG>(m_shared->size()); break;
      default: return STG_E_INVALIDFUNCTION;
    }
    LONGLONG target;
    if (__builtin_add_overflow(base, move.QuadPart, &target) || target < 0) return STG_E_INVALIDFUNCTION;
    // Past the end is allowed; a later write there fills the gap with zeros.
    m_pos = static_cast<ULONGLONG>(target);
    if (newPos) newPos->QuadPart = m_pos;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER newSize) override {
    if (newSize.QuadPart > SIZE_MAX / 2) return STG_E_MEDIUMFULL;
    return m_shared->resize(newSize.QuadPart) ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                   ULARGE_INTEGER* pcbWritten) override {
    return zx::types::copy_stream(this, target, cb, pcbRead, pcbWritten);
  }

  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }  // memory has nothing to flush
  HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }

  HRESULT STDMETHODCALLTYPE Stat(STATSTG* st, DWORD) override {
    if (!st) return STG_E_INVALIDPOINTER;
    *st = STATSTG{};
    st->type = STGTY_STREAM;
    st->cbSize.QuadPart = m_shared->size();
    st->grfMode = STGM_READWRITE;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override {
    if (!ppstm) return STG_E_INVALIDPOINTER;
    *ppstm = new (std::nothrow) HGlobalStream(m_shared, m_pos);
    return *ppstm ? S_OK : E_OUTOFMEMORY;
  }

  HGLOBAL handle() const { return m_shared->handle; }

 private:
  std::atomic<ULONG> m_refs{1};
  SharedGlobal* m_shared;
  ULONGLONG m_pos;
};

}  // namespace

namespace zx::types {

HRESULT copy_stream(IStream* source, IStream* target, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                    ULARGE_INTEGER* pcbWritten) {
  if (pcbRead) pcbRead->QuadPart = 0;
  if (pcbWritten) pcbWritten->QuadPart = 0;
  if (!target) return STG_E_INVALIDPOINTER;
  // Bounded chunks through a private buffer, so the target may share the source's memory.
  std::vector<unsigned char> chunk;
  try {
    chunk.resize(static_cast<size_t>(std::min<ULONGLONG>(cb.QuadPart, 64 * 1024)));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  ULONGLONG left = cb.QuadPart, read = 0, written = 0;
  HRESULT hr = S_OK;
  while (left > 0) {
    ULONG got = 0;
    hr = source->Read(chunk.data(), static_cast<ULONG>(std::min<ULONGLONG>(left, chunk.size())), &got);
    if (FAILED(hr) || got == 0) break;
    read += got;
    left -= got;
    ULONG put = 0;
    hr = target->Write(chunk.data(), got, &put);
    written += put;
    if (FAILED(hr)) break;
    if (put < got) {
      hr = STG_E_MEDIUMFULL;
      break;
    }
  }
  if (pcbRead) pcbRead->QuadPart = read;
  if (pcbWritten) pcbWritten->QuadPart = written;
  return FAILED(hr) ? hr : S_OK;
}

}  // namespace zx::types

HRESULT CreateStreamOnHGlobal(HGLOBAL hGlobal, BOOL fDeleteOnRelease, LPSTREAM* ppstm) {
  if (!ppstm) return E_INVALIDARG;
  *ppstm = nullptr;
  auto* shared = new (std::nothrow) SharedGlobal();
  if (!shared) return E_OUTOFMEMORY;
  shared->handle = hGlobal ? hGlobal : GlobalAlloc(GMEM_MOVEABLE, 0);
  shared->deleteOnRelease = fDeleteOnRelease != FALSE;
  if (!shared->handle) {
    delete shared;
    return E_OUTOFMEMORY;
  }
  auto* stream = new (std::nothrow) HGlobalStream(shared, 0);
  if (!stream) {
    if (!hGlobal) GlobalFree(shared->handle);
    delete shared;
    return E_OUTOFMEMORY;
  }
  shared->release();  // the stream holds the only reference now
  *ppstm = stream;
  return S_OK;
}

HRESULT GetHGlobalFromStream(LPSTREAM pstm, HGLOBAL* phglobal) {
  if (!pstm || !phglobal) return E_INVALIDARG;
  *phglobal = nullptr;
  void* self = nullptr;
  if (FAILED(pstm->QueryInterface(zx::types::IID_ZxHGlobalStreamIdentity, &self)) || !self) return E_INVALIDARG;
  *phglobal = static_cast<HGlobalStream*>(self)->handle();
  return S_OK;
}
