// Zentarix — MIT licence.
// VariantChangeType: rounding, ranges, text, booleans, references, objects and in-place conversion.
#include <cmath>

#include "ComTestSupport.h"

namespace {
using namespace zxtest;

zx::Variant bytes_str(const char* b, UINT n) {
  zx::Variant x;
  x.vt = VT_BSTR;
  x.bstrVal = SysAllocStringByteLen(b, n);
  return x;
}
LONG g_long = 300;
BSTR g_text = SysAllocString(u"2.5");
VARIANT g_inner = [] {
  VARIANT v;
  v.vt = VT_BSTR | VT_BYREF;
  v.pbstrVal = &g_text;
  return v;
}();
zx::Variant byref(VARTYPE vt, void* target) {
  zx::Variant x;
  x.vt = vt | VT_BYREF;
  x.byref = target;
  return x;
}

constexpr HRESULT OVER = DISP_E_OVERFLOW, MISMATCH = DISP_E_TYPEMISMATCH, BADVT = DISP_E_BADVARTYPE;

// The rules Windows follows where a first reading of the types would differ: half to even, booleans
// are 16-bit integers and -1 when true, one size of integer trades its bits between signed and
// unsigned, error values trade with nothing, numbers print with 15 (R8) or 7 (R4) digits.
TEST(VariantChangeType, ConvertsAsWindowsDoesAndAFailureLeavesTheDestination) {
  const struct Case {
    zx::Variant in;
    VARTYPE to;
    HRESULT hr;
    const char* out = nullptr;
    USHORT flags = 0;
  } cases[] = {
      {r8(2.5), VT_I4, S_OK, "I4 2"}, {r8(3.5), VT_I4, S_OK, "I4 4"}, {r8(-2.5), VT_I4, S_OK, "I4 -2"},
      {r8(-3.5), VT_I4, S_OK, "I4 -4"}, {r8(0.5), VT_I4, S_OK, "I4 0"}, {r8(2.51), VT_I4, S_OK, "I4 3"},
      {r8(-0.4), VT_I4, S_OK, "I4 0"}, {r4(6.5f), VT_I2, S_OK, "I2 6"}, {str(u"4.5"), VT_UI1, S_OK, "UI1 4"},
      {str(u"5.5"), VT_I8, S_OK, "I8 6"},
      // ranges
      {i4(256), VT_UI1, OVER}, {i4(-1), VT_UI1, OVER}, {i4(128), VT_I1, OVER}, {i4(32768), VT_I2, OVER},
      {i4(-1), VT_UI8, OVER}, {r8(2147483647.5), VT_I4, OVER}, {r8(1e300), VT_R4, OVER}, {r8(NAN), VT_I4, OVER},
      {str(u"99999999999999999999"), VT_I8, OVER}, {r8(-2147483648.5), VT_I4, S_OK, "I4 -2147483648"},
      {i4(255), VT_UI1, S_OK, "UI1 255"}, {str(u"18446744073709551615"), VT_UI8, S_OK, "UI8 18446744073709551615"},
      {str(u"-9223372036854775808"), VT_I8, S_OK, "I8 -9223372036854775808"}, {scalar(VT_I2, -1), VT_UI4, OVER},
      // text read the en-US way
      {str(u"  -7 "), VT_R8, S_OK, "R8 -7"}, {str(u"+3.25"), VT_R8, S_OK, "R8 3.25"},
      {str(u"1,000"), VT_R8, S_OK, "R8 1000"}, {str(u"1.5E3"), VT_R8, S_OK, "R8 1500"},
      {str(u"(12)"), VT_R8, S_OK, "R8 -12"}, {str(u"5-"), VT_R8, S_OK, "R8 -5"}, {str(u"$8"), VT_R8, S_OK, "R8 8"},
      {str(u"&HFF"), VT_R8, S_OK, "R8 255"}, {str(u"&o17"), VT_R8, S_OK, "R8 15"}, {str(u".5"), VT_R8, S_OK, "R8 0.5"},
      {str(u"2e-2"), VT_R8, S_OK, "R8 0.02"}, {str(nullptr), VT_I4, MISMATCH},
      // booleans: names only towards VT_BOOL, true is -1
      {str(u" tRuE "), VT_BOOL, S_OK, "BOOL -1"}, {str(u"TRUE"), VT_BOOL, S_OK, "BOOL -1", VARIANT_LOCALBOOL},
      {str(u"True"), VT_R8, MISMATCH}, {str(u"False"), VT_BOOL, S_OK, "BOOL 0"},
      {str(u"0.25"), VT_BOOL, S_OK, "BOOL -1"}, {str(u"0"), VT_BOOL, S_OK, "BOOL 0"}, {str(u"yes"), VT_BOOL, MISMATCH},
      {boolean(true), VT_I4, S_OK, "I4 -1"}, {boolean(true), VT_R8, S_OK, "R8 -1"},
      {boolean(true), VT_UI1, S_OK, "UI1 255"}, {i4(7), VT_BOOL, S_OK, "BOOL -1"}, {r8(0), VT_BOOL, S_OK, "BOOL 0"},
      {scalar(VT_BOOL, 1), VT_I2, S_OK, "I2 1"}, {scalar(VT_BOOL, -1), VT_UI8, S_OK, "UI8 18446744073709551615"},
      {scalar(VT_BOOL, 1), VT_UI1, S_OK, "UI1 1"}, {scalar(VT_BOOL, -1), VT_UI4, S_OK, "UI4 4294967295"},
      // one size of integer: the bits, signed or not
      {scalar(VT_I1, -1), VT_UI1, S_OK, "UI1 255"}, {scalar(VT_UI1, 255), VT_I1, S_OK, "I1 -1"},
      {scalar(VT_I2, -1), VT_UI2, S_OK, "UI2 65535"}, {scalar(VT_UINT, 0xFFFFFFFF), VT_I4, S_OK, "I4 -1"},
      {i4(-1), VT_UINT, S_OK, "UINT 4294967295"}, {scalar(VT_UI4, 0x80000000), VT_INT, S_OK, "INT -2147483648"},
      {scalar(VT_I8, -1), VT_UI8, S_OK, "UI8 18446744073709551615"}, {scalar(VT_UI8, -1), VT_I8, S_OK, "I8 -1"},
      // numbers as text
      {i4(-123), VT_BSTR, S_OK, "BSTR '-123'"}, {r8(0.1), VT_BSTR, S_OK, "BSTR '0.1'"},
      {r8(1.0 / 3), VT_BSTR, S_OK, "BSTR '0.333333333333333'"},
      {r8(123456789012345678.0), VT_BSTR, S_OK, "BSTR '1.23456789012346E+17'"}, {r8(1e15), VT_BSTR, S_OK, "BSTR '1E+15'"},
      {r8(1e14), VT_BSTR, S_OK, "BSTR '100000000000000'"}, {r8(1.5e-5), VT_BSTR, S_OK, "BSTR '1.5E-05'"},
      {r8(-0.0), VT_BSTR, S_OK, "BSTR '0'"}, {r4(0.1f), VT_BSTR, S_OK, "BSTR '0.1'"},
      {r4(1234567.0f), VT_BSTR, S_OK, "BSTR '1234567'"}, {r4(12345678.0f), VT_BSTR, S_OK, "BSTR '1.234568E+07'"},
      {scalar(VT_UI8, -1), VT_BSTR, S_OK, "BSTR '18446744073709551615'"}, {boolean(true), VT_BSTR, S_OK, "BSTR '-1'"},
      {boolean(false), VT_BSTR, S_OK, "BSTR '0'"}, {scalar(VT_BOOL, 1), VT_BSTR, S_OK, "BSTR '1'"},
      {scalar(VT_BOOL, 1), VT_BSTR, S_OK, "BSTR 'True'", VARIANT_ALPHABOOL},
      {boolean(false), VT_BSTR, S_OK, "BSTR 'False'", VARIANT_LOCALBOOL}, {zx::Variant(), VT_BSTR, S_OK, "BSTR ''"},
      // empty, null, errors, objects, variants
      {zx::Variant(), VT_I4, S_OK, "I4 0"}, {zx::Variant(), VT_BOOL, S_OK, "BOOL 0"},
      {scalar(VT_NULL, 0), VT_I4, MISMATCH}, {scalar(VT_NULL, 0), VT_BSTR, MISMATCH},
      {scalar(VT_NULL, 0), VT_DISPATCH, MISMATCH}, {scalar(VT_NULL, 0), VT_ERROR, MISMATCH},
      {scalar(VT_NULL, 0), VT_NULL, S_OK, "NULL"}, {scalar(VT_NULL, 0), VT_EMPTY, MISMATCH},
      {scalar(VT_ERROR, 5), VT_I4, MISMATCH}, {i4(5), VT_ERROR, MISMATCH}, {scalar(VT_ERROR, 5), VT_UI4, MISMATCH},
      {scalar(VT_ERROR, 0), VT_EMPTY, MISMATCH}, {i4(1), VT_NULL, S_OK, "NULL"}, {str(u"5"), VT_NULL, S_OK, "NULL"},
      {r8(0), VT_NULL, S_OK, "NULL"}, {i4(7), VT_EMPTY, S_OK, "EMPTY"}, {zx::Variant(), VT_DISPATCH, MISMATCH},
      {zx::Variant(), VT_UNKNOWN, MISMATCH}, {i4(1), VT_VARIANT, MISMATCH}, {i4(3), VT_DISPATCH, MISMATCH},
      {scalar(VT_DISPATCH, 0), VT_I4, MISMATCH},
      // references are followed, the referenced value untouched
      {byref(VT_I4, &g_long), VT_I2, S_OK, "I2 300"}, {byref(VT_I4, &g_long), VT_UI1, OVER},
      {byref(VT_VARIANT, &g_inner), VT_I4, S_OK, "I4 2"}, {byref(VT_VARIANT, nullptr), VT_I4, MISMATCH},
      // strings and byte arrays exchange bytes
      {bytes_str("\x01\x02\x03", 3), VT_ARRAY | VT_UI1, S_OK, "ARRAY|UI1 1 2 3"},
      // refused types
      {i4(1), VT_I4 | VT_BYREF, BADVT}, {i4(1), 0x00FF, BADVT}, {i4(1), VT_CY, BADVT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(show(c.in) + " -> " + std::to_string(c.to));
    zx::Variant out = i4(-77);
    EXPECT_EQ(VariantChangeType(&out, &c.in, c.flags, c.to), c.hr);
    EXPECT_EQ(show(out), c.hr == S_OK ? c.out : "I4 -77");
  }
  const char16_t* bad[] = {u"", u"   ", u"abc", u"12abc", u"1.2.3", u"--1", u"1e", u"True", u"false", u"&H", u"&HG1"};
  for (const char16_t* b : bad) {
    zx::Variant in = str(b), out;
    EXPECT_EQ(VariantChangeType(&out, &in, 0, VT_R8), MISMATCH) << utf8(b);
    EXPECT_EQ(VariantChangeType(&out, &in, 0, VT_I4), MISMATCH) << utf8(b);
  }
  EXPECT_EQ(std::u16string(g_text), u"2.5");
  EXPECT_EQ(VariantChangeType(nullptr, &cases[0].in, 0, VT_I4), E_INVALIDARG);
}

TEST(VariantChangeType, ArraysCopyAndTurnIntoByteStrings) {
  zx::Variant text = bytes_str("\x01\x02\x03", 3), array, back, copy;
  ASSERT_EQ(VariantChangeType(&array, &text, 0, VT_ARRAY | VT_UI1), S_OK);
  ASSERT_EQ(VariantChangeType(&back, &array, 0, VT_BSTR), S_OK);
  EXPECT_EQ(SysStringByteLen(back.bstrVal), 3u);
  EXPECT_EQ(std::memcmp(back.bstrVal, "\x01\x02\x03", 3), 0);
  ASSERT_EQ(VariantChangeType(&copy, &array, 0, VT_ARRAY | VT_UI1), S_OK);
  EXPECT_NE(copy.parray, array.parray);
  EXPECT_EQ(VariantChangeType(&copy, &array, 0, VT_ARRAY | VT_I4), MISMATCH);
  EXPECT_EQ(VariantChangeType(&copy, &array, 0, VT_I4), MISMATCH);
  EXPECT_EQ(VariantChangeType(&copy, &array, 0, VT_EMPTY), MISMATCH);
}

TEST(VariantChangeType, InPlaceConversionReplacesTheValueOrKeepsItOnFailure) {
  zx::Variant v = str(u"3.5");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
  EXPECT_EQ(show(v), "I4 4");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
  EXPECT_EQ(show(v), "BSTR '4'");
  zx::Variant w = str(u"nope");
  EXPECT_EQ(VariantChangeType(&w, &w, 0, VT_I4), MISMATCH);
  EXPECT_EQ(show(w), "BSTR 'nope'");
  LONG n = 9;
  zx::Variant ref = byref(VT_I4, &n);
  ASSERT_EQ(VariantChangeType(&ref, &ref, 0, VT_R8), S_OK);
  EXPECT_EQ(show(ref), "R8 9");
  EXPECT_EQ(n, 9);
}

// A small object whose DISPID_VALUE member answers a fixed VARIANT, counting calls and references.
class ValueObject : public IDispatch {
 public:
  explicit ValueObject(VARIANT value) { VariantCopy(&m_value, &value); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IUnknown || riid == IID_IDispatch ? this : nullptr;
    if (!*ppv) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excepinfo, UINT*) override {
    ++calls;
    EXPECT_EQ(flags, DISPATCH_PROPERTYGET);
    EXPECT_EQ(excepinfo, nullptr);
    if (id != DISPID_VALUE || !params || params->cArgs != 0) return DISP_E_MEMBERNOTFOUND;
    return failWith ? failWith : VariantCopy(result, &m_value);
  }
  std::atomic<ULONG> refs{1};
  int calls = 0;
  HRESULT failWith = S_OK;

 private:
  zx::Variant m_value;
};

zx::Variant object(VARTYPE vt, IDispatch* p) {
  zx::Variant v;
  v.vt = vt;
  v.pdispVal = p;
  p->AddRef();
  return v;
}

TEST(VariantChangeType, ObjectsConvertThroughTheirValueMemberAndAreReleased) {
  ValueObject obj(str(u"41.5"));
  ValueObject inner(i4(7));
  ValueObject outer(object(VT_DISPATCH, &inner));
  {
    zx::Variant v = object(VT_DISPATCH, &obj), nested = object(VT_DISPATCH, &outer), out, back;
    ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_I4), S_OK);
    EXPECT_EQ(show(out), "I4 42");
    ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_BSTR), S_OK);
    EXPECT_EQ(show(out), "BSTR '41.5'");
    EXPECT_EQ(VariantChangeType(&out, &v, VARIANT_NOVALUEPROP, VT_I4), MISMATCH);
    ASSERT_EQ(VariantChangeType(&out, &nested, 0, VT_R8), S_OK) << "a value that is an object";
    EXPECT_EQ(show(out), "R8 7");
    // An IUnknown reaches IDispatch by QueryInterface, but only VT_DISPATCH has a value.
    ASSERT_EQ(VariantChangeType(&out, &v, 0, VT_UNKNOWN), S_OK);
    EXPECT_EQ(out.punkVal, static_cast<IUnknown*>(&obj));
    ASSERT_EQ(VariantChangeType(&back, &out, 0, VT_DISPATCH), S_OK);
    EXPECT_EQ(back.pdispVal, &obj);
    const int calls = obj.calls;
    EXPECT_EQ(VariantChangeType(&back, &out, 0, VT_R8), MISMATCH);
    EXPECT_EQ(obj.calls, calls) << "nothing is asked of an IUnknown";
    obj.failWith = DISP_E_MEMBERNOTFOUND;  // a value that cannot be read is a mismatch
    EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), MISMATCH);
    EXPECT_EQ(v.vt, VT_DISPATCH);
    obj.failWith = S_OK;
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK) << "in place releases the object";
  }
  EXPECT_EQ(obj.refs, 1u) << "every reference taken was given back";
  EXPECT_EQ(inner.refs, 2u) << "held by outer's value only";
}

TEST(VariantChangeType, DatesTradeWithTextAndNumbers) {
  const std::pair<double, const char16_t*> written[] = {
      {45322, u"1/31/2024"},  {45322.5, u"1/31/2024 12:00:00 PM"},   {0.75, u"6:00:00 PM"},
      {0, u"12:00:00 AM"},    {-1.25, u"12/29/1899 6:00:00 AM"},     {2.0000001, u"1/1/1900"}};
  for (const auto& [date, text] : written) {
    zx::Variant d = r8(date), out;
    d.vt = VT_DATE;
    ASSERT_EQ(VariantChangeType(&out, &d, 0, VT_BSTR), S_OK);
    EXPECT_EQ(std::u16string(out.bstrVal), text) << date;
  }
  const std::tuple<const char16_t*, HRESULT, double> read[] = {
      {u"2024-01-31", S_OK, 45322},      {u"1/31/2024 3:00 PM", S_OK, 45322.625},
      {u"Wednesday, January 31, 2024", S_OK, 45322}, {u"31 Jan 24", S_OK, 45322},
      {u"12:30", S_OK, 0.5208333333333334}, {u"13/1/2024", MISMATCH, 0}, {u"2/30/2024", MISMATCH, 0},
      {u"45322", MISMATCH, 0},           {u"25:00", MISMATCH, 0}};
  for (const auto& [text, hr, date] : read) {
    zx::Variant in = str(text), out;
    ASSERT_EQ(VariantChangeType(&out, &in, 0, VT_DATE), hr) << utf8(text);
    if (hr == S_OK) EXPECT_DOUBLE_EQ(out.date, date) << utf8(text);
  }
  zx::Variant in = r8(45322.25), out;
  ASSERT_EQ(VariantChangeType(&out, &in, 0, VT_DATE), S_OK);
  ASSERT_EQ(VariantChangeType(&out, &out, 0, VT_I4), S_OK);
  EXPECT_EQ(out.lVal, 45322);
  in = r8(3e6);
  EXPECT_EQ(VariantChangeType(&out, &in, 0, VT_DATE), OVER);
  SYSTEMTIME st{};
  ASSERT_TRUE(VariantTimeToSystemTime(45322.625, &st));
  EXPECT_EQ(st.wDayOfWeek, 3);  // a Wednesday
  EXPECT_EQ(st.wHour, 15);
  double back = 0;
  ASSERT_TRUE(SystemTimeToVariantTime(&st, &back));
  EXPECT_DOUBLE_EQ(back, 45322.625);
}

}  // namespace
