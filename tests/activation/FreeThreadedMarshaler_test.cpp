// Zentarix — MIT licence.
// The free-threaded marshaler aggregated into an outer object, and its in-process marshalling.
#include <gtest/gtest.h>

#include "objbase.h"
#include "zx/com.h"

namespace {

// An object that aggregates the marshaler the way the library's classes do.
class Outer final : public IUnknown {
 public:
  Outer() { EXPECT_EQ(CoCreateFreeThreadedMarshaler(this, m_ftm.put()), S_OK); }
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (riid == IID_IMarshal) return m_ftm->QueryInterface(riid, ppv);
    *ppv = riid == IID_IUnknown ? this : nullptr;
    if (*ppv) AddRef();
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
  STDMETHOD_(ULONG, Release)() override { return --refs; }
  ULONG refs = 1;
  zx::ComPtr<IUnknown> m_ftm;
};

constexpr DWORD MSHCTX_INPROC = 3, MSHCTX_DIFFERENTMACHINE = 2;

TEST(FreeThreadedMarshaler, DelegatesItsIdentityAndMarshalsTheRawPointerInProcess) {
  Outer outer;
  zx::ComPtr<IMarshal> marshal;
  ASSERT_EQ(outer.QueryInterface(IID_IMarshal, marshal.put_void()), S_OK);
  EXPECT_EQ(outer.refs, 2u) << "the reference handed out counts on the outer object";
  zx::ComPtr<IUnknown> identity;
  ASSERT_EQ(marshal->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
  EXPECT_EQ(identity.get(), static_cast<IUnknown*>(&outer));
  identity.reset();
  CLSID cls{};
  ASSERT_EQ(marshal->GetUnmarshalClass(IID_IUnknown, &outer, MSHCTX_INPROC, nullptr, 0, &cls), S_OK);
  EXPECT_EQ(cls, CLSID_InProcFreeMarshaler);
  DWORD size = 0;
  ASSERT_EQ(marshal->GetMarshalSizeMax(IID_IUnknown, &outer, MSHCTX_INPROC, nullptr, 0, &size), S_OK);
  zx::ComPtr<IStream> stream;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  ASSERT_EQ(marshal->MarshalInterface(stream.get(), IID_IUnknown, &outer, MSHCTX_INPROC, nullptr, 0), S_OK);
  STATSTG st{};
  ASSERT_EQ(stream->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.cbSize.QuadPart, size);
  EXPECT_EQ(outer.refs, 3u) << "the marshalled data holds a reference";
  ASSERT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr), S_OK);
  IUnknown* back = nullptr;
  ASSERT_EQ(marshal->UnmarshalInterface(stream.get(), IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
  EXPECT_EQ(back, static_cast<IUnknown*>(&outer));
  back->Release();
  EXPECT_EQ(outer.refs, 2u);
  EXPECT_EQ(marshal->MarshalInterface(stream.get(), IID_IUnknown, &outer, MSHCTX_DIFFERENTMACHINE, nullptr, 0), E_NOTIMPL)
      << "another machine is beyond what an in-process pointer can serve";
  marshal.reset();
  EXPECT_EQ(outer.refs, 1u);
  IUnknown* none = nullptr;
  EXPECT_EQ(CoCreateFreeThreadedMarshaler(nullptr, nullptr), E_INVALIDARG);
  ASSERT_EQ(CoCreateFreeThreadedMarshaler(nullptr, &none), S_OK);
  EXPECT_EQ(none->Release(), 0u);
}

}  // namespace
