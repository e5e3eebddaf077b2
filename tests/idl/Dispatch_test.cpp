// Zentarix — MIT licence.
// The generic IDispatch end to end: a C++ object behind the generated dispatch_test tables.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <utility>
#include <vector>

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
  HRESULT STDMETHODCALLTYPE Twice(LONG v, LONG* r) override {
    *r = 2 * v;
    return S_OK;
  }
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
  HRESULT STDMETHODCALLTYPE get_Width(LONG* value) override {
    *value = width;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Width(LONG value) override {
    width = value;
    return S_OK;
  }
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
  HRESULT STDMETHODCALLTYPE Bump(LONG* counter, LONG by) override {
    *counter += by;
    return S_OK;
  }
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
  HRESULT STDMETHODCALLTYPE get_Value(LONG* v) override {
    *v = 42;
    return S_OK;
  }
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
  HRESULT STDMETHODCALLTYPE putref_Peer(IDispatch* p) override {
    peer = p;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Peer(IDispatch** p) override { return peer.copy_to(p); }
  HRESULT STDMETHODCALLTYPE Negative(ShapeKinds* k) override {
    *k = skAll;
    return S_OK;
  }
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
  HRESULT STDMETHODCALLTYPE Extra(LONG* r) override {
    *r = 99;
    return S_OK;
  }

  std::atomic<ULONG> refs{1};
  LONG width = 0;
  SCODE lastScode = 0;
  std::map<std::pair<LONG, LONG>, LONG> pixels;
  zx::ComPtr<IDispatch> peer;
};

VARIANT i4(LONG v) {
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_I4;
  r.lVal = v;
  return r;
}

// Arguments in source order; Call() reverses them into DISPPARAMS order and owns them.
class Args {
 public:
  Args& add(LONG v) { return push(i4(v)); }
  Args& add(double v) {
    zx::Variant x;
    x.vt = VT_R8;
    x.dblVal = v;
    return push(x.detach());
  }
  Args& add(const char16_t* s) {
    zx::Variant x;
    x.vt = VT_BSTR;
    x.bstrVal = SysAllocString(s);
    return push(x.detach());
  }
  static VARIANT bstr(const char16_t* s) {
    VARIANT x;
    VariantInit(&x);
    x.vt = VT_BSTR;
    x.bstrVal = SysAllocString(s);
    return x;
  }
  Args& missing() {
    zx::Variant x;
    x.vt = VT_ERROR;
    x.scode = DISP_E_PARAMNOTFOUND;
    return push(x.detach());
  }
  Args& raw(VARIANT v) { return push(v); }
  Args& named(DISPID id, VARIANT v) {
    m_named.emplace_back(id, v);
    return *this;
  }
  ~Args() {
    for (auto& v : m_pos) VariantClear(&v);
    for (auto& n : m_named) VariantClear(&n.second);
  }
  // rgvarg: named arguments first (in order), then positional ones last-first.
  DISPPARAMS params() {
    m_all.clear();
    m_ids.clear();
    for (auto& n : m_named) {
      m_all.push_back(n.second);
      m_ids.push_back(n.first);
    }
    for (auto it = m_pos.rbegin(); it != m_pos.rend(); ++it) m_all.push_back(*it);
    return DISPPARAMS{m_all.empty() ? nullptr : m_all.data(), m_ids.empty() ? nullptr : m_ids.data(),
                      static_cast<UINT>(m_all.size()), static_cast<UINT>(m_ids.size())};
  }
 private:
  Args& push(VARIANT v) {
    m_pos.push_back(v);
    return *this;
  }
  std::vector<VARIANT> m_pos;
  std::vector<std::pair<DISPID, VARIANT>> m_named;
  std::vector<VARIANT> m_all;
  std::vector<DISPID> m_ids;
};

class DispatchTest : public ::testing::Test {
 protected:
  HRESULT call(DISPID id, WORD flags, Args& args, VARIANT* result = nullptr) {
    DISPPARAMS dp = args.params();
    argErr = 0xFFFFu;
    clear_excepinfo();
    return tester.Invoke(id, IID_NULL, 0, flags, &dp, result, &excep, &argErr);
  }
  HRESULT call(DISPID id, WORD flags, Args&& args, VARIANT* result = nullptr) { return call(id, flags, args, result); }
  void clear_excepinfo() {
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    excep = EXCEPINFO{};
  }
  void TearDown() override {
    clear_excepinfo();
    EXPECT_EQ(tester.refs, 1u);
  }
  DISPID id_of(const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    EXPECT_EQ(tester.GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    return id;
  }

  Tester tester;
  EXCEPINFO excep{};
  UINT argErr = 0;
};

constexpr WORD kGet = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

TEST_F(DispatchTest, NamesResolveWithoutRegardToCaseAndArgumentNamesGivePositions) {
  EXPECT_EQ(id_of(u"defaults"), 1);
  EXPECT_EQ(id_of(u"PIXELS"), 4);
  EXPECT_EQ(id_of(u"Extra"), 20);  // own member of the derived interface
  EXPECT_EQ(id_of(u"negative"), -5);
  EXPECT_EQ(id_of(u"FLAGS"), 0x60020000);

  LPOLESTR names[] = {const_cast<LPOLESTR>(u"Defaults"), const_cast<LPOLESTR>(u"K"),
                      const_cast<LPOLESTR>(u"s"), const_cast<LPOLESTR>(u"nope")};
  DISPID ids[4] = {7, 7, 7, 7};
  EXPECT_EQ(tester.GetIDsOfNames(IID_NULL, names, 4, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], 1);
  EXPECT_EQ(ids[1], 4);
  EXPECT_EQ(ids[2], 2);
  EXPECT_EQ(ids[3], DISPID_UNKNOWN);

  LPOLESTR unknown[] = {const_cast<LPOLESTR>(u"Missing"), const_cast<LPOLESTR>(u"a")};
  EXPECT_EQ(tester.GetIDsOfNames(IID_NULL, unknown, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[0], DISPID_UNKNOWN);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
}

TEST_F(DispatchTest, MissingOptionalArgumentsTakeTheirDefaults) {
  zx::Variant r;
  ASSERT_EQ(call(1, kGet, Args().add(5), &r), S_OK);
  ASSERT_EQ(r.vt, VT_BSTR);
  EXPECT_EQ(str(r.bstrVal), u"5|-7|dflt|2.50|17|16");
  // A host's "missing" marker in the middle counts as not passed.
  ASSERT_EQ(call(1, kGet, Args().add(5).missing().add(u"given"), r.put()), S_OK);
  EXPECT_EQ(str(r.bstrVal), u"5|-7|given|2.50|17|16");
  // Arguments are coerced to the declared types: "8" -> long, 3 -> double, 16 -> ShapeKinds, 3.0 -> short.
  ASSERT_EQ(call(1, kGet, Args().add(u"8").add(1).add(u"s").add(3).add(16).add(3.0), r.put()), S_OK);
  EXPECT_EQ(str(r.bstrVal), u"8|1|s|3.00|16|3");
}

TEST_F(DispatchTest, NamedArgumentsFillTheirPositions) {
  zx::Variant r;
  // Defaults(1, k:=skSquare, d:=0.5)
  ASSERT_EQ(call(1, kGet, Args().add(1).named(4, i4(skSquare)).named(3, i4(0)), &r), S_OK);
  EXPECT_EQ(str(r.bstrVal), u"1|-7|dflt|0.00|16|16");
  // Only named, including the first parameter.
  ASSERT_EQ(call(1, kGet, Args().named(0, i4(9)).named(5, i4(-2)), r.put()), S_OK);
  EXPECT_EQ(str(r.bstrVal), u"9|-7|dflt|2.50|17|-2");
  // A position that does not exist, and a position given twice, name the offending argument.
  EXPECT_EQ(call(1, kGet, Args().add(1).named(6, i4(1))), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(argErr, 0u);
  EXPECT_EQ(call(1, kGet, Args().add(1).add(2).named(3, i4(1)).named(1, i4(1))), DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(argErr, 1u);
}

TEST_F(DispatchTest, OptionalVariantWithoutDefaultArrivesAsParamNotFound) {
  zx::Variant r;
  ASSERT_EQ(call(2, kGet, Args(), &r), S_OK);
  EXPECT_EQ(r.vt, VT_I4);
  EXPECT_EQ(r.lVal, VT_ERROR);
  EXPECT_EQ(tester.lastScode, DISP_E_PARAMNOTFOUND);
  ASSERT_EQ(call(2, kGet, Args().add(u"x"), r.put()), S_OK);
  EXPECT_EQ(r.lVal, VT_BSTR);
}

TEST_F(DispatchTest, PropertyPutTakesItsValueAsTheNamedPropertyPutArgument) {
  ASSERT_EQ(call(3, DISPATCH_PROPERTYPUT, Args().named(DISPID_PROPERTYPUT, i4(640))), S_OK);
  EXPECT_EQ(tester.width, 640);
  zx::Variant r;
  ASSERT_EQ(call(3, kGet, Args(), &r), S_OK);
  EXPECT_EQ(r.vt, VT_I4);
  EXPECT_EQ(r.lVal, 640);
  // Without the named value the put is missing its required argument.
  EXPECT_EQ(call(3, DISPATCH_PROPERTYPUT, Args().add(5)), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(tester.width, 640);
  // Value is read-only; Width is no method; 77 is no member.
  EXPECT_EQ(call(0, DISPATCH_PROPERTYPUT, Args().named(DISPID_PROPERTYPUT, i4(1))), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(call(3, DISPATCH_METHOD, Args()), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(call(77, kGet, Args()), DISP_E_MEMBERNOTFOUND);
}

TEST_F(DispatchTest, MethodAndPropertyGetTogetherReachEitherKind) {
  zx::Variant r;
  ASSERT_EQ(call(0, kGet, Args(), &r), S_OK);  // a property get
  EXPECT_EQ(r.lVal, 42);
  ASSERT_EQ(call(0, DISPATCH_PROPERTYGET, Args(), r.put()), S_OK);
  EXPECT_EQ(r.lVal, 42);
  ASSERT_EQ(call(20, kGet, Args(), r.put()), S_OK);  // a method, inherited table
  EXPECT_EQ(r.lVal, 99);
  ASSERT_EQ(call(-5, kGet, Args(), r.put()), S_OK);  // an enumeration result travels as I4
  EXPECT_EQ(r.vt, VT_I4);
  EXPECT_EQ(r.lVal, skAll);
  // A null result pointer is accepted.
  EXPECT_EQ(call(20, kGet, Args(), nullptr), S_OK);
}

TEST_F(DispatchTest, ParameterisedPropertyPutAndGet) {
  // Pixels(3, 4) = &HFF00FF
  ASSERT_EQ(call(4, DISPATCH_PROPERTYPUT, Args().add(3).add(4).named(DISPID_PROPERTYPUT, i4(0xFF00FF))), S_OK);
  EXPECT_EQ((tester.pixels[{3, 4}]), 0xFF00FF);
  zx::Variant r;
  ASSERT_EQ(call(4, kGet, Args().add(3).add(4), &r), S_OK);
  EXPECT_EQ(r.lVal, 0xFF00FF);
  // An index too many, and an index missing.
  EXPECT_EQ(call(4, DISPATCH_PROPERTYPUT, Args().add(1).add(2).add(3).named(DISPID_PROPERTYPUT, i4(1))),
            DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(call(4, DISPATCH_PROPERTYPUT, Args().add(1).named(DISPID_PROPERTYPUT, i4(1))), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(tester.pixels.size(), 1u);
}

TEST_F(DispatchTest, CoercionFailuresNameTheArgumentInDispparamsOrder) {
  // Defaults("5", "abc", "s"): "abc" is positional 1, rgvarg index 1 of 3.
  EXPECT_EQ(call(1, kGet, Args().add(u"5").add(u"abc").add(u"s")), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);
  // First positional of two is rgvarg[1].
  EXPECT_EQ(call(1, kGet, Args().add(u"zz").add(1)), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);
  // short overflow in the sixth argument (rgvarg[0]).
  EXPECT_EQ(call(1, kGet, Args().add(1).add(1).add(u"").add(1.0).add(1).add(100000)), DISP_E_OVERFLOW);
  EXPECT_EQ(argErr, 0u);
  // A named argument's index is its place in rgvarg.
  EXPECT_EQ(call(3, DISPATCH_PROPERTYPUT, Args().named(DISPID_PROPERTYPUT, Args::bstr(u"wide"))), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 0u);
  EXPECT_EQ(tester.width, 0);
}

TEST_F(DispatchTest, WrongArgumentCountsAreRefused) {
  EXPECT_EQ(call(1, kGet, Args()), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(call(1, kGet, Args().add(1).add(1).add(u"").add(1.0).add(1).add(1).add(1)), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(call(3, kGet, Args().add(1)), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(call(8, DISPATCH_METHOD, Args().add(1)), DISP_E_BADPARAMCOUNT);
}

TEST_F(DispatchTest, ByReferenceArgumentsAreWrittenBack) {
  // VT_BYREF|VT_I4, as compiled clients pass a long variable.
  LONG counter = 10;
  VARIANT ref;
  ref.vt = VT_BYREF | VT_I4;
  ref.plVal = &counter;
  ASSERT_EQ(call(6, DISPATCH_METHOD, Args().raw(ref).add(5)), S_OK);
  EXPECT_EQ(counter, 15);
  // VT_BYREF|VT_VARIANT, as script hosts pass variables; the variable takes the declared type.
  zx::Variant var;
  var.vt = VT_BSTR;
  var.bstrVal = SysAllocString(u"41");
  VARIANT wrap;
  wrap.vt = VT_BYREF | VT_VARIANT;
  wrap.pvarVal = &var;
  ASSERT_EQ(call(6, DISPATCH_METHOD, Args().raw(wrap)), S_OK);
  EXPECT_EQ(var.vt, VT_I4);
  EXPECT_EQ(var.lVal, 42);
  // A value passed by value is used and its result dropped.
  ASSERT_EQ(call(6, DISPATCH_METHOD, Args().add(3)), S_OK);
  // A reference of another type is refused.
  SHORT small = 1;
  VARIANT bad;
  bad.vt = VT_BYREF | VT_I2;
  bad.piVal = &small;
  EXPECT_EQ(call(6, DISPATCH_METHOD, Args().raw(bad).add(1)), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argErr, 1u);
  EXPECT_EQ(small, 1);
}

TEST_F(DispatchTest, InArgumentsPassedByReferenceAreReadThroughTheReference) {
  // Script hosts pass variables as VT_BYREF|VT_VARIANT even to by-value parameters.
  zx::Variant var;
  var.vt = VT_BSTR;
  var.bstrVal = SysAllocString(u"12");
  VARIANT wrap;
  wrap.vt = VT_BYREF | VT_VARIANT;
  wrap.pvarVal = &var;
  ASSERT_EQ(call(3, DISPATCH_PROPERTYPUT, Args().named(DISPID_PROPERTYPUT, wrap)), S_OK);
  EXPECT_EQ(tester.width, 12);
  EXPECT_EQ(var.vt, VT_BSTR);  // an [in] argument is never written back
  // An optional VARIANT sees the variable's value, not the wrapper.
  zx::Variant r;
  ASSERT_EQ(call(2, kGet, Args().raw(wrap), &r), S_OK);
  EXPECT_EQ(r.lVal, VT_BSTR);
  // VT_BYREF|VT_I4 to a long.
  LONG value = 33;
  VARIANT ref;
  ref.vt = VT_BYREF | VT_I4;
  ref.plVal = &value;
  ASSERT_EQ(call(1, kGet, Args().raw(ref), r.put()), S_OK);
  EXPECT_EQ(str(r.bstrVal), u"33|-7|dflt|2.50|17|16");
}

TEST_F(DispatchTest, OutParametersReplaceWhatTheHostHeld) {
  BSTR found = SysAllocString(u"old text");  // released by Invoke when replaced (ASan checks)
  VARIANT foundRef;
  foundRef.vt = VT_BYREF | VT_BSTR;
  foundRef.pbstrVal = &found;
  zx::Variant any;
  any.vt = VT_BSTR;
  any.bstrVal = SysAllocString(u"old variant");
  VARIANT anyRef;
  anyRef.vt = VT_BYREF | VT_VARIANT;
  anyRef.pvarVal = &any;
  zx::Variant r;
  ASSERT_EQ(call(11, kGet, Args().add(u"x").raw(foundRef).raw(anyRef), &r), S_OK);
  EXPECT_EQ(r.vt, VT_BOOL);
  EXPECT_EQ(r.boolVal, VARIANT_TRUE);
  EXPECT_EQ(str(found), u"found-x");
  EXPECT_EQ(any.vt, VT_I4);
  EXPECT_EQ(any.lVal, 7);
  SysFreeString(found);
}

TEST_F(DispatchTest, SafeArraysGoInAndComeOut) {
  zx::SafeArray in(SafeArrayCreateVector(VT_I4, 0, 3));
  LONG* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(in.get(), reinterpret_cast<void**>(&data)), S_OK);
  data[0] = 1;
  data[1] = 2;
  data[2] = 40;
  SafeArrayUnaccessData(in.get());
  VARIANT arr;
  arr.vt = VT_ARRAY | VT_I4;
  arr.parray = in.get();  // lent: Args must not destroy it
  SAFEARRAY* doubled = nullptr;
  VARIANT outRef;
  outRef.vt = VT_BYREF | VT_ARRAY | VT_I4;
  outRef.pparray = &doubled;
  zx::Variant r;
  {
    DISPPARAMS dp{};
    VARIANT args[2] = {outRef, arr};
    dp.rgvarg = args;
    dp.cArgs = 2;
    ASSERT_EQ(tester.Invoke(5, IID_NULL, 0, kGet, &dp, &r, nullptr, nullptr), S_OK);
  }
  EXPECT_EQ(r.lVal, 43);
  zx::SafeArray owned(doubled);
  ASSERT_NE(doubled, nullptr);
  LONG v = 0, idx = 2;
  ASSERT_EQ(SafeArrayGetElement(doubled, &idx, &v), S_OK);
  EXPECT_EQ(v, 80);

  // A script array (VT_ARRAY|VT_VARIANT) is converted; the out array lands in a wrapped VARIANT.
  zx::SafeArray script(SafeArrayCreateVector(VT_VARIANT, 0, 2));
  for (LONG i = 0; i < 2; ++i) {
    zx::Variant e;
    e.vt = VT_BSTR;
    e.bstrVal = SysAllocString(i == 0 ? u"5" : u"6");
    ASSERT_EQ(SafeArrayPutElement(script.get(), &i, &e), S_OK);
  }
  VARIANT sarr;
  sarr.vt = VT_ARRAY | VT_VARIANT;
  sarr.parray = script.get();
  zx::Variant holder;
  VARIANT holderRef;
  holderRef.vt = VT_BYREF | VT_VARIANT;
  holderRef.pvarVal = &holder;
  {
    DISPPARAMS dp{};
    VARIANT args[2] = {holderRef, sarr};
    dp.rgvarg = args;
    dp.cArgs = 2;
    ASSERT_EQ(tester.Invoke(5, IID_NULL, 0, kGet, &dp, r.put(), nullptr, nullptr), S_OK);
  }
  EXPECT_EQ(r.lVal, 11);
  ASSERT_EQ(holder.vt, VT_ARRAY | VT_I4);
  idx = 1;
  ASSERT_EQ(SafeArrayGetElement(holder.parray, &idx, &v), S_OK);
  EXPECT_EQ(v, 12);

  // An array of strings that are no numbers is a type mismatch at its rgvarg index.
  zx::SafeArray words(SafeArrayCreateVector(VT_BSTR, 0, 1));
  VARIANT warr;
  warr.vt = VT_ARRAY | VT_BSTR;
  warr.parray = words.get();
  {
    DISPPARAMS dp{};
    VARIANT args[2] = {holderRef, warr};
    dp.rgvarg = args;
    dp.cArgs = 2;
    UINT err = 9;
    EXPECT_EQ(tester.Invoke(5, IID_NULL, 0, kGet, &dp, nullptr, nullptr, &err), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(err, 1u);
  }
}

TEST_F(DispatchTest, InterfaceArgumentsAreQueriedForTheDeclaredInterface) {
  Helper helper;
  VARIANT unk;
  unk.vt = VT_UNKNOWN;
  unk.punkVal = &helper;
  zx::Variant r;
  {
    DISPPARAMS dp{&unk, nullptr, 1, 0};
    ASSERT_EQ(tester.Invoke(9, IID_NULL, 0, kGet, &dp, &r, nullptr, nullptr), S_OK);
  }
  EXPECT_EQ(r.lVal, 42);  // the optional IDispatch was null
  EXPECT_EQ(helper.refs, 1u);
  // The tester itself does not answer IHelper.
  VARIANT disp;
  disp.vt = VT_DISPATCH;
  disp.pdispVal = &tester;
  {
    VARIANT args[2] = {disp, unk};  // Connect(helper, tester)
    DISPPARAMS dp{args, nullptr, 2, 0};
    ASSERT_EQ(tester.Invoke(9, IID_NULL, 0, kGet, &dp, r.put(), nullptr, nullptr), S_OK);
    EXPECT_EQ(r.lVal, 1042);
    VARIANT swapped[2] = {unk, disp};  // Connect(tester, helper)
    dp.rgvarg = swapped;
    UINT err = 9;
    EXPECT_EQ(tester.Invoke(9, IID_NULL, 0, kGet, &dp, r.put(), nullptr, &err), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(err, 1u);
  }
  EXPECT_EQ(helper.refs, 1u);
  // putref then get hands the same object back.
  {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS dp{&disp, &named, 1, 1};
    ASSERT_EQ(tester.Invoke(10, IID_NULL, 0, DISPATCH_PROPERTYPUTREF, &dp, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(tester.Invoke(10, IID_NULL, 0, DISPATCH_PROPERTYPUT, &dp, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
  }
  // A script's `Set obj.Width = ...` (PROPERTYPUTREF) reaches a member declared with a plain put.
  {
    VARIANT seven;
    seven.vt = VT_I4;
    seven.lVal = 7;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS dp{&seven, &named, 1, 1};
    ASSERT_EQ(tester.Invoke(3, IID_NULL, 0, DISPATCH_PROPERTYPUTREF, &dp, nullptr, nullptr, nullptr), S_OK);
    zx::Variant width;
    ASSERT_EQ(call(3, kGet, Args(), width.put()), S_OK);
    EXPECT_EQ(width.lVal, 7);
  }
  ASSERT_EQ(call(10, kGet, Args(), r.put()), S_OK);
  EXPECT_EQ(r.vt, VT_DISPATCH);
  EXPECT_EQ(r.pdispVal, static_cast<IDispatch*>(&tester));
  r.clear();
  tester.peer.reset();
}

TEST_F(DispatchTest, ScalarKindsCoerceToTheirDeclaredTypes) {
  zx::Variant r;
  // Flags(-1 -> VARIANT_TRUE, 3.6 -> 4 (rounded), "0.25" -> 0.25f) -> VARIANT
  ASSERT_EQ(call(0x60020000, kGet, Args().add(-1).add(3.6).add(u"0.25"), &r), S_OK);
  ASSERT_EQ(r.vt, VT_R8);
  EXPECT_DOUBLE_EQ(r.dblVal, 1004.25);
  EXPECT_EQ(call(0x60020000, kGet, Args().add(0).add(300).add(0)), DISP_E_OVERFLOW);
  EXPECT_EQ(argErr, 1u);
}

TEST_F(DispatchTest, FailureWithAnErrorRecordFillsExcepinfoFromIt) {
  EXPECT_EQ(call(7, DISPATCH_METHOD, Args().add(u"Nothing to save")), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, kRecordedFailure);
  EXPECT_EQ(excep.wCode, 0);
  EXPECT_EQ(str(excep.bstrSource), u"Test.Tester.1");
  EXPECT_EQ(str(excep.bstrDescription), u"Nothing to save");
  // The record was handed over, not left on the thread.
  zx::ComPtr<IErrorInfo> left;
  EXPECT_EQ(GetErrorInfo(0, left.put()), S_FALSE);
}

TEST_F(DispatchTest, FailureWithoutARecordGivesAnEmptyDescription) {
  // A record left over from earlier work is not this call's.
  zx::ComPtr<ICreateErrorInfo> create;
  ASSERT_EQ(CreateErrorInfo(create.put()), S_OK);
  create->SetDescription(const_cast<LPOLESTR>(u"stale"));
  zx::ComPtr<IErrorInfo> stale;
  create.query(stale);
  SetErrorInfo(0, stale.get());

  EXPECT_EQ(call(8, DISPATCH_METHOD, Args()), DISP_E_EXCEPTION);
  EXPECT_EQ(excep.scode, E_FAIL);
  EXPECT_EQ(excep.wCode, 0);
  EXPECT_EQ(excep.bstrSource, nullptr);
  ASSERT_NE(excep.bstrDescription, nullptr);
  EXPECT_EQ(SysStringLen(excep.bstrDescription), 0u);
  // A null EXCEPINFO is accepted.
  DISPPARAMS none{};
  EXPECT_EQ(tester.Invoke(7, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_PARAMNOTOPTIONAL);
  EXPECT_EQ(tester.Invoke(8, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), DISP_E_EXCEPTION);
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
