// Zentarix — MIT licence.
// The free-threaded marshaler aggregated into an outer object, and its in-process marshalling.
#include <gtest/gtest.h>

#include <vector>

#include "objbase.h"
#include "zx/com.h"

namespace {

// A memory stream with just what marshalling needs.
class BufferStream final : public IStream {
 public:
  STDMETHOD(QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
  STDMETHOD_(ULONG, AddRef)() override { return 1; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(Read)(void* pv, ULONG cb, ULONG* pcbRead) override {
    ULONG n = std::min<ULONG>(cb, static_cast<ULONG>(m_data.size() - m_pos));
    std::memcpy(pv, m_data.data() + m_pos, n);
    m_pos += n;
    if (pcbRead) *pcbRead = n;
    return S_OK;
  }
  STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* pcbWritten) override {
    auto* p = static_cast<const uint8_t*>(pv);
    m_data.insert(m_data.end(), p, p + cb);
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
  }
  STDMETHOD(Seek)(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHOD(SetSize)(ULARGE_INTEGER) override { return E_NOTIMPL; }
  STDMETHOD(CopyTo)(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHOD(Commit)(DWORD) override { return E_NOTIMPL; }
  STDMETHOD(Revert)() override { return E_NOTIMPL; }
  STDMETHOD(LockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHOD(UnlockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHOD(Stat)(STATSTG*, DWORD) override { return E_NOTIMPL; }
  STDMETHOD(Clone)(IStream**) override { return E_NOTIMPL; }
  size_t size() const { return m_data.size(); }
  void rewind() { m_pos = 0; }

 private:
  std::vector<uint8_t> m_data;
  size_t m_pos = 0;
};

// An object that aggregates the marshaler the way the library's classes do.
class Outer final : public IUnknown {
 public:
  Outer() { EXPECT_EQ(CoCreateFreeThreadedMarshaler(this, m_ftm.put()), S_OK); }
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    if (riid == IID_IMarshal) return m_ftm->QueryInterface(riid, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
  STDMETHOD_(ULONG, Release)() override { return --refs; }
  ULONG refs = 1;
  zx::ComPtr<IUnknown> m_ftm;
};

constexpr DWORD MSHCTX_INPROC = 3;
constexpr DWORD MSHCTX_DIFFERENTMACHINE = 2;

TEST(FreeThreadedMarshaler, DelegatesItsIdentityToTheOuterObject) {
  Outer outer;
  zx::ComPtr<IMarshal> marshal;
  ASSERT_EQ(outer.QueryInterface(IID_IMarshal, marshal.put_void()), S_OK);
  EXPECT_EQ(outer.refs, 2u);  // the reference handed out counts on the outer object
  zx::ComPtr<IUnknown> identity;
  ASSERT_EQ(marshal->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
  EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer));
  identity.reset();
  marshal.reset();
  EXPECT_EQ(outer.refs, 1u);
  IUnknown* none = nullptr;
  EXPECT_EQ(CoCreateFreeThreadedMarshaler(nullptr, nullptr), E_INVALIDARG);
  ASSERT_EQ(CoCreateFreeThreadedMarshaler(nullptr, &none), S_OK);
  EXPECT_EQ(none->Release(), 0u);
}

TEST(FreeThreadedMarshaler, MarshalsTheRawPointerInProcess) {
  Outer outer;
  zx::ComPtr<IMarshal> marshal;
  ASSERT_EQ(outer.QueryInterface(IID_IMarshal, marshal.put_void()), S_OK);
  CLSID cls{};
  ASSERT_EQ(marshal->GetUnmarshalClass(IID_IUnknown, &outer, MSHCTX_INPROC, nullptr, 0, &cls), S_OK);
  EXPECT_EQ(cls, CLSID_InProcFreeMarshaler);
  DWORD size = 0;
  ASSERT_EQ(marshal->GetMarshalSizeMax(IID_IUnknown, &outer, MSHCTX_INPROC, nullptr, 0, &size), S_OK);

  BufferStream stream;
  ULONG before = outer.refs;
  ASSERT_EQ(marshal->MarshalInterface(&stream, IID_IUnknown, &outer, MSHCTX_INPROC, nullptr, 0), S_OK);
  EXPECT_EQ(stream.size(), size);
  EXPECT_EQ(outer.refs, before + 1);  // the marshalled data holds a reference
  stream.rewind();
  IUnknown* back = nullptr;
  ASSERT_EQ(marshal->UnmarshalInterface(&stream, IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
  EXPECT_EQ(back, static_cast<IUnknown*>(&outer));
  back->Release();
  EXPECT_EQ(outer.refs, before);

  // Another machine is beyond what an in-process pointer can serve.
  EXPECT_EQ(marshal->MarshalInterface(&stream, IID_IUnknown, &outer, MSHCTX_DIFFERENTMACHINE, nullptr, 0), E_NOTIMPL);
}

}  // namespace
