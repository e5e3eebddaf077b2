// Zentarix — MIT licence.
// The base template and the error helper, through a test class's vtable and IDispatch.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <functional>

#include "ComObject.h"
#include "ErrorReporting.h"
#include "TestRegistry.h"
#include "server_test.h"

namespace {

using zx::Bstr;
using zx::ComPtr;
using zx::server::ComObject;
using zx::server::com_call;
using zx::server::create_instance;
using zx::server::ReportError;

constexpr OLECHAR kProbeProgId[] = u"Zentarix.FrameProbe.1";
constexpr OLECHAR kFillFailed[] = u"Cannot fill the rows of the probe.";
constexpr OLECHAR kCannotStart[] = u"The probe cannot start.";

// A page nothing may touch: a pixel pointer gone wrong.
uint32_t* forbidden_page() {
  static void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return static_cast<uint32_t*>(page);
}

class FrameProbe : public ComObject<FrameProbe, IFrameProbe, IFrameSide> {
 public:
  static inline HRESULT s_construct_result = S_OK;
  static inline int s_live = 0;

  FrameProbe() { ++s_live; }
  ~FrameProbe() { --s_live; }

  HRESULT FinalConstruct() {
    if (FAILED(s_construct_result)) return ReportError(CLSID_FrameProbe, kCannotStart, IID_IFrameProbe, s_construct_result);
    return S_OK;
  }

  STDMETHOD(Fail)(BSTR description, LONG code) override {
    return ReportError(CLSID_FrameProbe, description, IID_IFrameProbe, code);
  }
  STDMETHOD(get_Name)(BSTR* pVal) override {
    if (!pVal) return E_POINTER;
    return com_call([&] {
      *pVal = Bstr(u"probe").detach();
      return S_OK;
    });
  }
  // Rows beyond the probe's own two run into memory the process may not touch.
  STDMETHOD(FillRows)(LONG rows, LONG* filled) override {
    if (!filled) return E_POINTER;
    return com_call(
        [&] {
          zx::server::GuardedPixels guard;
          uint32_t* volatile pixels = rows > 2 ? forbidden_page() : m_rows;
          for (LONG y = 0; y < rows; ++y) pixels[y] = 0xFF00FF00u;
          *filled = rows;
          return S_OK;
        },
        [&] { return ReportError(CLSID_FrameProbe, kFillFailed, IID_IFrameProbe, zx::server::ZX_E_TRANSFORM_FAILED); });
  }
  STDMETHOD(Twice)(LONG v, LONG* r) override {
    if (!r) return E_POINTER;
    *r = 2 * v;
    return S_OK;
  }

 private:
  uint32_t m_rows[2] = {};
};

// An outer object that counts its references and hands unknown interfaces to its inner object.
struct CountingOuter : IUnknown {
  ULONG refs = 1;
  IUnknown* inner = nullptr;
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs; }
  STDMETHOD_(ULONG, Release)() override { return --refs; }
};

// The thread's error record as "source|guid-is-probe|description|help file|help context", taken
// (GetErrorInfo clears it); "none" when there is none.
std::string take_error_record() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return "none";
  Bstr source, description, help_file;
  GUID guid = GUID_NULL;
  DWORD help_context = 99;
  info->GetGUID(&guid);
  info->GetSource(source.put());
  info->GetDescription(description.put());
  info->GetHelpFile(help_file.put());
  info->GetHelpContext(&help_context);
  const char* iid = guid == IID_IFrameProbe ? "probe" : guid == IID_IFrameSide ? "side" : "other";
  return zx::to_utf8(source.view()) + "|" + iid + "|" + zx::to_utf8(description.view()) + "|" +
         zx::to_utf8(help_file.view()) + "|" + std::to_string(help_context);
}

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zx::test::write_value(u"CLSID\\" + zx::test::guid_text(CLSID_FrameProbe) + u"\\ProgID", kProbeProgId);
    FrameProbe::s_construct_result = S_OK;
    SetErrorInfo(0, nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(FrameProbe::s_live, 0) << "every probe is released by the end of a test";
    EXPECT_EQ(zx::server::module_lock_count(), 0);
  }

  ComPtr<IFrameProbe> make_probe() {
    ComPtr<IFrameProbe> probe;
    EXPECT_EQ(create_instance<FrameProbe>(nullptr, IID_IFrameProbe, probe.put_void()), S_OK);
    return probe;
  }
};

// A failing call leaves a record with the class's registered ProgID (none when unregistered), the
// interface and the text; no code means DISP_E_EXCEPTION; a null out pointer leaves the record alone.
TEST_F(FrameTest, FailingCallsLeaveTheirRecordAndNullOutPointersLeaveTheRecordAlone) {
  auto probe = make_probe();
  const CLSID unregistered = {0x3E0F7A10, 0x6B52, 0x4C1D, {0x8A, 0x9E, 0x2F, 0x4B, 0x5C, 0x6D, 0x7E, 0x7F}};
  const struct {
    std::function<HRESULT()> call;
    HRESULT hr;
    const char* record;
  } rows[] = {
      {[&] { return probe->Fail(Bstr(u"Width is not available: no image.").get(), E_FAIL); }, E_FAIL,
       "Zentarix.FrameProbe.1|probe|Width is not available: no image.||0"},
      {[&] { return probe->Fail(Bstr(u"no code").get(), 0); }, DISP_E_EXCEPTION, "Zentarix.FrameProbe.1|probe|no code||0"},
      {[&] { return ReportError(unregistered, u"orphan", IID_IFrameSide, E_INVALIDARG); }, E_INVALIDARG,
       "|side|orphan||0"},
      {[&] { return probe->get_Name(nullptr); }, E_POINTER, "none"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(row.call(), row.hr);
    EXPECT_EQ(take_error_record(), row.record);
  }
  EXPECT_EQ(probe->Fail(Bstr(u"earlier failure").get(), E_FAIL), E_FAIL);
  EXPECT_EQ(probe->get_Name(nullptr), E_POINTER);
  EXPECT_EQ(take_error_record(), "Zentarix.FrameProbe.1|probe|earlier failure||0") << "still the thread's";
}

TEST_F(FrameTest, FailureThroughIDispatchFillsExcepInfoAndDispatchNeedsNullRiid) {
  auto probe = make_probe();
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(probe.query(dispatch), S_OK);
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"FAIL")};
  DISPID dispid = 0;
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_IFrameProbe, names, 1, 0, &dispid), DISP_E_UNKNOWNINTERFACE);
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid), S_OK);
  EXPECT_EQ(dispid, 1);
  Bstr description(u"Quality must be between 0 and 100.");
  VARIANT args[2];  // reverse order: code, then description
  args[0].vt = VT_I4;
  args[0].lVal = E_INVALIDARG;
  args[1].vt = VT_BSTR;
  args[1].bstrVal = description.get();
  DISPPARAMS params = {args, nullptr, 2, 0};
  EXCEPINFO excep = {};
  UINT arg_err = 0;
  EXPECT_EQ(dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, &excep, &arg_err),
            DISP_E_EXCEPTION);
  Bstr source = Bstr::attach(excep.bstrSource), text = Bstr::attach(excep.bstrDescription);
  Bstr help = Bstr::attach(excep.bstrHelpFile);
  EXPECT_EQ(zx::to_utf8(source.view()) + "|" + zx::to_utf8(text.view()) + "|" + std::to_string(excep.dwHelpContext),
            "Zentarix.FrameProbe.1|Quality must be between 0 and 100.|0");
  EXPECT_EQ(excep.scode, E_INVALIDARG);
  UINT count = 7;
  EXPECT_EQ(probe->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
}

TEST_F(FrameTest, AccessViolationInGuardedPixelLoopEndsTheCallWithItsFailure) {
  auto probe = make_probe();
  for (int attempt = 0; attempt < 3; ++attempt) {
    LONG filled = -5;
    EXPECT_EQ(probe->FillRows(64, &filled), zx::server::ZX_E_TRANSFORM_FAILED);
    EXPECT_EQ(filled, -5) << "a failing call writes nothing";
    EXPECT_EQ(take_error_record(), "Zentarix.FrameProbe.1|probe|Cannot fill the rows of the probe.||0");
  }
  LONG filled = 0;
  EXPECT_EQ(probe->FillRows(2, &filled), S_OK);
  EXPECT_EQ(filled, 2);
  EXPECT_EQ(ZxFaultGuardDepth(), 0);
}

TEST_F(FrameTest, InterfaceMapAnswersDeclaredInterfacesAndFreeThreadedMarshaler) {
  auto probe = make_probe();
  ComPtr<IFrameSide> side;
  ASSERT_EQ(probe.query(side), S_OK);
  LONG twice = 0;
  EXPECT_EQ(side->Twice(21, &twice), S_OK);
  EXPECT_EQ(twice, 42);
  ComPtr<IUnknown> a, b;
  ASSERT_EQ(probe.query(a), S_OK);
  ASSERT_EQ(side.query(b), S_OK);
  EXPECT_EQ(a.get(), b.get()) << "one identity";

  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(probe.query(support), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IFrameProbe), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IFrameSide), S_FALSE);

  ComPtr<IMarshal> marshal;
  ASSERT_EQ(probe.query(marshal), S_OK);
  CLSID unmarshaler = GUID_NULL;
  constexpr DWORD kInProcess = 3;  // MSHCTX_INPROC
  EXPECT_EQ(marshal->GetUnmarshalClass(IID_IFrameProbe, probe.get(), kInProcess, nullptr, 0, &unmarshaler), S_OK);
  EXPECT_EQ(unmarshaler, CLSID_InProcFreeMarshaler);
  ComPtr<IUnknown> via_marshal;
  ASSERT_EQ(marshal.query(via_marshal), S_OK);
  EXPECT_EQ(via_marshal.get(), a.get()) << "the marshaler answers for the object's identity";

  void* sentinel = reinterpret_cast<void*>(0x1);
  const IID unknown = {0x12345678, 0, 0, {1, 2, 3, 4, 5, 6, 7, 8}};
  EXPECT_EQ(probe->QueryInterface(unknown, &sentinel), E_NOINTERFACE);
  EXPECT_EQ(sentinel, nullptr);
  auto second = make_probe();
  EXPECT_EQ(zx::server::module_lock_count(), 2) << "live objects hold the module";
  second.reset();
  EXPECT_EQ(zx::server::module_lock_count(), 1);
}

// A failing second step, a foreign interface, a null out pointer and aggregation asking for more than
// IUnknown: creation fails, the half-made object is destroyed and the out pointer is null.
TEST_F(FrameTest, FailedCreationDestroysTheObject) {
  CountingOuter outer;
  const struct {
    HRESULT construct;
    IUnknown* outer;
    IID iid;
    HRESULT hr;
    const char* record;
  } rows[] = {
      {E_OUTOFMEMORY, nullptr, IID_IFrameProbe, E_OUTOFMEMORY, "Zentarix.FrameProbe.1|probe|The probe cannot start.||0"},
      {S_OK, nullptr, IID_IClassFactory, E_NOINTERFACE, "none"},
      {S_OK, &outer, IID_IFrameProbe, CLASS_E_NOAGGREGATION, "none"},
  };
  for (const auto& row : rows) {
    FrameProbe::s_construct_result = row.construct;
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(create_instance<FrameProbe>(row.outer, row.iid, &out), row.hr);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(FrameProbe::s_live, 0);
    EXPECT_EQ(take_error_record(), row.record);
  }
  EXPECT_EQ(create_instance<FrameProbe>(nullptr, IID_IFrameProbe, nullptr), E_POINTER);
  EXPECT_EQ(outer.refs, 1u);
}

TEST_F(FrameTest, AggregatedObjectDelegatesToOuterAndKeepsItsOwnInnerUnknown) {
  CountingOuter outer;
  ComPtr<IUnknown> inner;
  ASSERT_EQ(create_instance<FrameProbe>(&outer, IID_IUnknown, inner.put_void()), S_OK);
  outer.inner = inner.get();
  EXPECT_EQ(outer.refs, 1u) << "creation leaves the outer object's count alone";

  IFrameProbe* probe = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_IFrameProbe, reinterpret_cast<void**>(&probe)), S_OK);
  EXPECT_EQ(outer.refs, 2u) << "the interface's reference belongs to the outer object";
  IUnknown* identity = nullptr;
  ASSERT_EQ(probe->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, &outer);
  identity->Release();
  probe->Release();
  EXPECT_EQ(outer.refs, 1u);

  IUnknown* same_inner = nullptr;
  ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&same_inner)), S_OK);
  EXPECT_EQ(same_inner, inner.get()) << "the inner unknown does not delegate";
  same_inner->Release();

  ComPtr<IMarshal> marshal;
  ASSERT_EQ(inner->QueryInterface(IID_IMarshal, marshal.put_void()), S_OK);
  ComPtr<IUnknown> via_marshal;
  ASSERT_EQ(marshal.query(via_marshal), S_OK);
  EXPECT_EQ(via_marshal.get(), &outer) << "the marshaler was aggregated with the outer object";
  marshal.reset();
  via_marshal.reset();
  outer.inner = nullptr;
  inner.reset();
  EXPECT_EQ(outer.refs, 1u);
}

}  // namespace
