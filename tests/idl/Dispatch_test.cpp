// Zentarix — MIT licence.
// The generic IDispatch end to end: a C++ object behind the generated dispatch_test tables.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "../com/ComTestSupport.h"
#include "dispatch_test.h"
#include "zx/com.h"

namespace {

constexpr HRESULT kRecordedFailure = static_cast<HRESULT>(0xE0000201u);

std::u16string str(BSTR b) { return b ? std::u16string(b, SysStringLen(b)) : std::u16string(); }

// Counts references so that tests can prove Invoke releases what it takes.
class Helper final : public IHelper {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IHelper) {
      *ppv = static_cast<IHelper*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE Twice(LONG v, LONG* r) override { *r = 2 * v; return S_OK; }
  std::atomic<ULONG> refs{1};
};

// The test object: every member records or echoes what arrived, through the vtable the thunks call.
class Tester final : public ITesterEx {
 public:
  // IUnknown (stack object; the count only proves balance)
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ITester || riid == IID_ITesterEx) {
      *ppv = static_cast<ITesterEx*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  // IDispatch: the generic implementation over the ITesterEx table.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* p) override { return ZxDispatchGetTypeInfoCount(p); }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** pp) override {
    return ZxDispatchGetTypeInfo(i, lcid, pp);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT c, LCID lcid, DISPID* ids) override {
    return ZxDispatchGetIDsOfNames(&zx::dispatch_table_of<ITesterEx>::value, names, c, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* dp, VARIANT* result,
                                   EXCEPINFO* ei, UINT* argErr) override {
    return ZxDispatchInvoke(&zx::dispatch_table_of<ITesterEx>::value, static_cast<ITesterEx*>(this), id, lcid, flags,
                            dp, result, ei, argErr);
  }
  // ITester
  HRESULT STDMETHODCALLTYPE Defaults(LONG a, LONG b, BSTR s, DOUBLE d, ShapeKinds k, SHORT sh, BSTR* result) override {
    std::string text = std::to_string(a) + "|" + std::to_string(b) + "|" + zx::to_utf8(str(s)) + "|" +
                       std::to_string(d).substr(0, 4) + "|" + std::to_string(k) + "|" + std::to_string(sh);
    *result = SysAllocString(zx::to_utf16(text).c_str());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OptionalVariant(VARIANT v, LONG* vt) override {
    *vt = v.vt;
    lastScode = v.vt == VT_ERROR ? v.scode : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Width(LONG* value) override { *value = width; return S_OK; }
  HRESULT STDMETHODCALLTYPE put_Width(LONG value) override { width = value; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Pixels(LONG x, LONG y, LONG* color) override {
    auto it = pixels.find({x, y});
    *color = it == pixels.end() ? 0 : it->second;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Pixels(LONG x, LONG y, LONG color) override {
    pixels[{x, y}] = color;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SumArray(SAFEARRAY* values, SAFEARRAY** doubled, LONG* sum) override {
    if (!values || SafeArrayGetDim(values) != 1) return E_INVALIDARG;
    LONG lo = 0, hi = -1;
    SafeArrayGetLBound(values, 1, &lo);
    SafeArrayGetUBound(values, 1, &hi);
    zx::SafeArray out(SafeArrayCreateVector(VT_I4, 0, static_cast<ULONG>(hi - lo + 1)));
    HRESULT hr = S_OK;
    zx::SafeArrayAccess in(values, hr);
    if (FAILED(hr)) return hr;
    zx::SafeArrayAccess o(out.get(), hr);
    if (FAILED(hr)) return hr;
    *sum = 0;
    for (LONG i = 0; i <= hi - lo; ++i) {
      *sum += static_cast<LONG*>(in.data())[i];
      static_cast<LONG*>(o.data())[i] = 2 * static_cast<LONG*>(in.data())[i];
    }
    o.unaccess();
    *doubled = out.detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Bump(LONG* counter, LONG by) override { *counter += by; return S_OK; }
  HRESULT STDMETHODCALLTYPE FailWithRecord(BSTR why) override {
    zx::ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put()))) return E_OUTOFMEMORY;
    create->SetSource(const_cast<LPOLESTR>(u"Test.Tester.1"));
    create->SetDescription(why);
    zx::ComPtr<IErrorInfo> info;
    create.query(info);
    SetErrorInfo(0, info.get());
    return kRecordedFailure;
  }
  HRESULT STDMETHODCALLTYPE FailPlain() override { return E_FAIL; }
  HRESULT STDMETHODCALLTYPE get_Value(LONG* v) override { *v = 42; return S_OK; }
  HRESULT STDMETHODCALLTYPE Flags(VARIANT_BOOL on, BYTE b, FLOAT f, VARIANT* echo) override {
    echo->vt = VT_R8;
    echo->dblVal = (on == VARIANT_TRUE ? 1000.0 : 0.0) + b + f;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Connect(IHelper* helper, IDispatch* other, LONG* r) override {
    if (!helper) return E_POINTER;
    helper->Twice(21, r);
    if (other) *r += 1000;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE putref_Peer(IDispatch* p) override { peer = p; return S_OK; }
  HRESULT STDMETHODCALLTYPE get_Peer(IDispatch** p) override { return peer.copy_to(p); }
  HRESULT STDMETHODCALLTYPE Negative(ShapeKinds* k) override { *k = skAll; return S_OK; }
  HRESULT STDMETHODCALLTYPE Lookup(BSTR key, BSTR* found, VARIANT* any, VARIANT_BOOL* ok) override {
    if (str(key) != u"x") {
      *ok = VARIANT_FALSE;
      return S_OK;
    }
    *found = SysAllocString(u"found-x");
    any->vt = VT_I4;
    any->lVal = 7;
    *ok = VARIANT_TRUE;
    return S_OK;
  }
  // ITesterEx
  HRESULT STDMETHODCALLTYPE Extra(LONG* r) override { *r = 99; return S_OK; }

  std::atomic<ULONG> refs{1};
  LONG width = 0;
  SCODE lastScode = 0;
  std::map<std::pair<LONG, LONG>, LONG> pixels;
  zx::ComPtr<IDispatch> peer;
};


// One argument as a host passes it: a value, positional unless it carries a name (a dispid).
struct Arg {
  zx::Variant value;
  DISPID name = DISPID_UNKNOWN;
};
Arg V(LONG v) { return {zxtest::i4(v)}; }
Arg V(double v) { return {zxtest::r8(v)}; }
Arg V(const char16_t* v) { return {zxtest::str(v)}; }
Arg V(const VARIANT& v) {  // a reference to the caller's storage, an array or an object
  Arg a;
  EXPECT_EQ(VariantCopy(&a.value, &v), S_OK);
  return a;
}
Arg missing() { return {zxtest::scalar(VT_ERROR, DISP_E_PARAMNOTFOUND)}; }
Arg named(DISPID id, Arg a) { return {a.value, id}; }
Arg put(Arg a) { return named(DISPID_PROPERTYPUT, std::move(a)); }
VARIANT ref(VARTYPE vt, void* target) {
  VARIANT r;
  r.vt = VT_BYREF | vt;
  r.byref = target;
  return r;
}

const char* hr_name(HRESULT hr) {
  switch (hr) {
    case S_OK: return "S_OK";
    case DISP_E_PARAMNOTFOUND: return "PARAMNOTFOUND";
    case DISP_E_TYPEMISMATCH: return "TYPEMISMATCH";
    case DISP_E_OVERFLOW: return "OVERFLOW";
    case DISP_E_BADPARAMCOUNT: return "BADPARAMCOUNT";
    case DISP_E_PARAMNOTOPTIONAL: return "PARAMNOTOPTIONAL";
    case DISP_E_MEMBERNOTFOUND: return "MEMBERNOTFOUND";
    case DISP_E_EXCEPTION: return "EXCEPTION";
    default: return "other";
  }
}

constexpr WORD kGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET, kPut = DISPATCH_PROPERTYPUT, kCall = DISPATCH_METHOD;

class DispatchTest : public ::testing::Test {
 protected:
  // Invokes with arguments in source order (named ones first in rgvarg, positional ones last-first) and
  // answers "HRESULT [argErr] result": the argument index only when Invoke set it.
  std::string call(DISPID id, WORD flags, std::vector<Arg> args = {}) {
    std::vector<VARIANT> rg;
    std::vector<DISPID> names;
    for (const Arg& a : args)
      if (a.name != DISPID_UNKNOWN) rg.push_back(a.value), names.push_back(a.name);
    for (auto it = args.rbegin(); it != args.rend(); ++it)
      if (it->name == DISPID_UNKNOWN) rg.push_back(it->value);
    DISPPARAMS dp{rg.empty() ? nullptr : rg.data(), names.empty() ? nullptr : names.data(),
                  static_cast<UINT>(rg.size()), static_cast<UINT>(names.size())};
    UINT argErr = 0xFFFF;
    clear_excepinfo();
    zx::Variant r;
    const HRESULT hr = tester.Invoke(id, IID_NULL, 0, flags, &dp, &r, &excep, &argErr);
    std::string out = hr_name(hr);
    if (argErr != 0xFFFF) out += " [" + std::to_string(argErr) + "]";
    return r.vt == VT_EMPTY ? out : out + " " + zxtest::show(r);
  }
  void clear_excepinfo() {
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    excep = EXCEPINFO{};
  }
  void TearDown() override {
    clear_excepinfo();
    tester.peer.reset();
    EXPECT_EQ(tester.refs, 1u);
  }

  Tester tester;
  EXCEPINFO excep{};
};

TEST_F(DispatchTest, NamesResolveWithoutRegardToCaseAndArgumentNamesGivePositions) {
  auto ids = [&](std::vector<const char16_t*> names) {
    std::vector<DISPID> out(names.size(), 7);
    const HRESULT hr = tester.GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(names.data()),
                                            static_cast<UINT>(names.size()), 0, out.data());
    std::string text = hr == S_OK ? "ok" : "unknown";
    for (DISPID id : out) text += " " + std::to_string(id);
    return text;
  };
  EXPECT_EQ(ids({u"defaults"}), "ok 1");
  EXPECT_EQ(ids({u"PIXELS"}), "ok 4");
  EXPECT_EQ(ids({u"Extra"}), "ok 20");  // own member of the derived interface
  EXPECT_EQ(ids({u"negative"}), "ok -5");
  EXPECT_EQ(ids({u"FLAGS"}), "ok 1610743808");
  EXPECT_EQ(ids({u"Defaults", u"K", u"s"}), "ok 1 4 2");
  EXPECT_EQ(ids({u"Defaults", u"K", u"s", u"nope"}), "unknown 1 4 2 -1");
  EXPECT_EQ(ids({u"Missing", u"a"}), "unknown -1 -1");
}

// Each row runs on the same object in order, so that puts are seen by the gets after them.
TEST_F(DispatchTest, ArgumentsAreMatchedCoercedAndRefusedAsDeclared) {
  const struct Row {
    DISPID id;
    WORD flags;
    std::vector<Arg> args;
    const char* expected;
  } rows[] = {
      // Defaults(a, [b=-7], [s="dflt"], [d=2.5], [k=skCircle], [sh=16]); a missing marker counts as not passed
      {1, kGet, {V(5)}, "S_OK BSTR '5|-7|dflt|2.50|17|16'"},
      {1, kGet, {V(5), missing(), V(u"given")}, "S_OK BSTR '5|-7|given|2.50|17|16'"},
      {1, kGet, {V(u"8"), V(1), V(u"s"), V(3), V(16), V(3.0)}, "S_OK BSTR '8|1|s|3.00|16|3'"},
      {1, kGet, {V(1), named(4, V(skSquare)), named(3, V(0))}, "S_OK BSTR '1|-7|dflt|0.00|16|16'"},
      {1, kGet, {named(0, V(9)), named(5, V(-2))}, "S_OK BSTR '9|-7|dflt|2.50|17|-2'"},
      // a position that does not exist, a position given twice, coercion failures: rgvarg's index
      {1, kGet, {V(1), named(6, V(1))}, "PARAMNOTFOUND [0]"},
      {1, kGet, {V(1), V(2), named(3, V(1)), named(1, V(1))}, "PARAMNOTFOUND [1]"},
      {1, kGet, {V(u"5"), V(u"abc"), V(u"s")}, "TYPEMISMATCH [1]"},
      {1, kGet, {V(u"zz"), V(1)}, "TYPEMISMATCH [1]"},
      {1, kGet, {V(1), V(1), V(u""), V(1.0), V(1), V(100000)}, "OVERFLOW [0]"},
      {1, kGet, {}, "PARAMNOTOPTIONAL"},
      {1, kGet, {V(1), V(1), V(u""), V(1.0), V(1), V(1), V(1)}, "BADPARAMCOUNT"},
      // an optional VARIANT without a default arrives as VT_ERROR (10)
      {2, kGet, {}, "S_OK I4 10"},
      {2, kGet, {V(u"x")}, "S_OK I4 8"},
      // properties: the value is the named DISPID_PROPERTYPUT argument
      {3, kPut, {put(V(640))}, "S_OK"},
      {3, kGet, {}, "S_OK I4 640"},
      {3, kPut, {V(5)}, "PARAMNOTOPTIONAL"},
      {3, kPut, {put(V(u"wide"))}, "TYPEMISMATCH [0]"},
      {3, kGet, {V(1)}, "BADPARAMCOUNT"},
      {3, DISPATCH_PROPERTYPUTREF, {put(V(7))}, "S_OK"},  // a script's `Set obj.Width = ...`
      {3, kGet, {}, "S_OK I4 7"},
      {0, kPut, {put(V(1))}, "MEMBERNOTFOUND"},
      {3, kCall, {}, "MEMBERNOTFOUND"},
      {77, kGet, {}, "MEMBERNOTFOUND"},
      {0, kGet, {}, "S_OK I4 42"},
      {0, DISPATCH_PROPERTYGET, {}, "S_OK I4 42"},
      {20, kGet, {}, "S_OK I4 99"},  // a method of the derived table
      {-5, kGet, {}, "S_OK I4 48"},  // an enumeration travels as I4
      // Pixels(x, y): parameterised put and get
      {4, kPut, {V(3), V(4), put(V(0xFF00FF))}, "S_OK"},
      {4, kGet, {V(3), V(4)}, "S_OK I4 16711935"},
      {4, kPut, {V(1), V(2), V(3), put(V(1))}, "BADPARAMCOUNT"},
      {4, kPut, {V(1), put(V(1))}, "PARAMNOTOPTIONAL"},
      {4, kGet, {V(1), V(2)}, "S_OK I4 0"},
      {8, kCall, {V(1)}, "BADPARAMCOUNT"},
      // Flags(bool -1, byte 3.6 -> 4, float "0.25")
      {0x60020000, kGet, {V(-1), V(3.6), V(u"0.25")}, "S_OK R8 1004.25"},
      {0x60020000, kGet, {V(0), V(300), V(0)}, "OVERFLOW [1]"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    EXPECT_EQ(call(row.id, row.flags, row.args), row.expected);
  }
  EXPECT_EQ(tester.lastScode, 0);
  call(2, kGet);
  EXPECT_EQ(tester.lastScode, DISP_E_PARAMNOTFOUND);
}

TEST_F(DispatchTest, ReferencesAreReadThroughAndOutArgumentsWrittenBack) {
  LONG counter = 10;
  SHORT small = 1;
  zx::Variant var = zxtest::str(u"41");
  EXPECT_EQ(call(6, kCall, {V(ref(VT_I4, &counter)), V(5)}), "S_OK");  // Bump(&counter, 5)
  EXPECT_EQ(counter, 15);
  EXPECT_EQ(call(6, kCall, {V(ref(VT_VARIANT, &var))}), "S_OK");  // a script variable takes the declared type
  EXPECT_EQ(zxtest::show(var), "I4 42");
  EXPECT_EQ(call(6, kCall, {V(3)}), "S_OK");  // by value: used, the result dropped
  EXPECT_EQ(call(6, kCall, {V(ref(VT_I2, &small)), V(1)}), "TYPEMISMATCH [1]");
  EXPECT_EQ(small, 1);
  // An [in] argument passed by reference is read through the reference, never written back.
  zx::Variant twelve = zxtest::str(u"12");
  EXPECT_EQ(call(3, kPut, {put(V(ref(VT_VARIANT, &twelve)))}), "S_OK");
  EXPECT_EQ(tester.width, 12);
  EXPECT_EQ(call(2, kGet, {V(ref(VT_VARIANT, &twelve))}), "S_OK I4 8");
  EXPECT_EQ(zxtest::show(twelve), "BSTR '12'");
  LONG value = 33;
  EXPECT_EQ(call(1, kGet, {V(ref(VT_I4, &value))}), "S_OK BSTR '33|-7|dflt|2.50|17|16'");
  // Out parameters replace what the host held (ASan proves the old values freed).
  BSTR found = SysAllocString(u"old text");
  zx::Variant any = zxtest::str(u"old variant");
  EXPECT_EQ(call(11, kGet, {V(u"x"), V(ref(VT_BSTR, &found)), V(ref(VT_VARIANT, &any))}), "S_OK BOOL -1");
  EXPECT_EQ(str(found) + u" " + zx::to_utf16(zxtest::show(any)), u"found-x I4 7");
  SysFreeString(found);
}

TEST_F(DispatchTest, SafeArraysGoInAndComeOut) {
  auto array = [](VARTYPE vt, std::vector<zx::Variant> items) {
    zx::Variant v;
    v.vt = VT_ARRAY | vt;
    v.parray = SafeArrayCreateVector(vt, 0, static_cast<ULONG>(items.size()));
    for (LONG i = 0; i < static_cast<LONG>(items.size()); ++i) {
      zx::Variant& e = items[i];
      void* element = vt == VT_VARIANT ? static_cast<void*>(&e) : vt == VT_BSTR ? static_cast<void*>(e.bstrVal) : &e.lVal;
      EXPECT_EQ(SafeArrayPutElement(v.parray, &i, element), S_OK);
    }
    return v;
  };
  auto element = [](SAFEARRAY* a, LONG i) {
    LONG v = -1;
    SafeArrayGetElement(a, &i, &v);
    return v;
  };
  SAFEARRAY* doubled = nullptr;
  EXPECT_EQ(call(5, kGet, {V(array(VT_I4, {zxtest::i4(1), zxtest::i4(2), zxtest::i4(40)})),
                           V(ref(VT_ARRAY | VT_I4, &doubled))}), "S_OK I4 43");
  zx::SafeArray owned(doubled);
  EXPECT_EQ(element(doubled, 2), 80);
  // A script array (VT_ARRAY|VT_VARIANT) is converted; the out array lands in a wrapped VARIANT.
  zx::Variant holder;
  EXPECT_EQ(call(5, kGet, {V(array(VT_VARIANT, {zxtest::str(u"5"), zxtest::str(u"6")})), V(ref(VT_VARIANT, &holder))}),
            "S_OK I4 11");
  ASSERT_EQ(holder.vt, VT_ARRAY | VT_I4);
  EXPECT_EQ(element(holder.parray, 1), 12);
  // Strings that are no numbers: a type mismatch at the array's rgvarg index.
  EXPECT_EQ(call(5, kGet, {V(array(VT_BSTR, {zxtest::str(u"seven")})), V(ref(VT_VARIANT, &holder))}),
            "TYPEMISMATCH [1]");
}

TEST_F(DispatchTest, InterfaceArgumentsAreQueriedForTheDeclaredInterface) {
  Helper helper;
  VARIANT unk{}, disp{};
  unk.vt = VT_UNKNOWN;
  unk.punkVal = &helper;
  disp.vt = VT_DISPATCH;
  disp.pdispVal = &tester;
  EXPECT_EQ(call(9, kGet, {V(unk)}), "S_OK I4 42");  // Connect(helper): the optional IDispatch is null
  EXPECT_EQ(call(9, kGet, {V(unk), V(disp)}), "S_OK I4 1042");
  EXPECT_EQ(call(9, kGet, {V(disp), V(unk)}), "TYPEMISMATCH [1]");  // the tester answers no IHelper
  EXPECT_EQ(helper.refs, 1u);
  EXPECT_EQ(call(10, DISPATCH_PROPERTYPUTREF, {put(V(disp))}), "S_OK");
  EXPECT_EQ(call(10, kPut, {put(V(disp))}), "MEMBERNOTFOUND");
  zx::Variant r;
  DISPPARAMS none{};
  ASSERT_EQ(tester.Invoke(10, IID_NULL, 0, kGet, &none, &r, nullptr, nullptr), S_OK);
  EXPECT_EQ(r.pdispVal, static_cast<IDispatch*>(&tester));
}

TEST_F(DispatchTest, FailuresFillExcepinfoFromThisCallsErrorRecordOnly) {
  EXPECT_EQ(call(7, kCall, {V(u"Nothing to save")}), "EXCEPTION");
  EXPECT_EQ(excep.scode, kRecordedFailure);
  EXPECT_EQ(zx::to_utf8(str(excep.bstrSource) + u": " + str(excep.bstrDescription)), "Test.Tester.1: Nothing to save");
  zx::ComPtr<IErrorInfo> left;
  EXPECT_EQ(GetErrorInfo(0, left.put()), S_FALSE) << "the record was handed over";
  // A record left over from earlier work is not this call's: the description stays empty.
  zx::ComPtr<ICreateErrorInfo> create;
  ASSERT_EQ(CreateErrorInfo(create.put()), S_OK);
  create->SetDescription(const_cast<LPOLESTR>(u"stale"));
  zx::ComPtr<IErrorInfo> stale;
  create.query(stale);
  SetErrorInfo(0, stale.get());
  EXPECT_EQ(call(8, kCall), "EXCEPTION");
  EXPECT_EQ(excep.scode, E_FAIL);
  EXPECT_EQ(excep.wCode + (excep.bstrSource != nullptr), 0);
  ASSERT_NE(excep.bstrDescription, nullptr);
  EXPECT_EQ(SysStringLen(excep.bstrDescription), 0u);
  // A null EXCEPINFO is accepted.
  DISPPARAMS none{};
  EXPECT_EQ(tester.Invoke(7, IID_NULL, 0, kCall, &none, nullptr, nullptr, nullptr), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(tester.Invoke(8, IID_NULL, 0, kCall, &none, nullptr, nullptr, nullptr), DISP_E_EXCEPTION);
}

TEST_F(DispatchTest, NoTypeInformationIsOffered) {
  UINT count = 7;
  EXPECT_EQ(tester.GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(&count);
  EXPECT_EQ(tester.GetTypeInfo(0, 0, &info), TYPE_E_ELEMENTNOTFOUND);
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(tester.GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
  EXPECT_EQ(tester.GetTypeInfoCount(nullptr), E_POINTER);
}

}  // namespace
