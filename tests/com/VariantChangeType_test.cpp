// Zentarix — MIT licence.
// VariantChangeType: rounding, ranges, text, booleans, references, objects and in-place conversion.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>

#include "zx/com.h"

namespace {

zx::Variant i4(LONG v) {
  zx::Variant x;
  x.vt = VT_I4;
  x.lVal = v;
  return x;
}
zx::Variant r8(double v) {
  zx::Variant x;
  x.vt = VT_R8;
  x.dblVal = v;
  return x;
}
zx::Variant str(const char16_t* s) {
  zx::Variant x;
  x.vt = VT_BSTR;
  x.bstrVal = SysAllocString(s);
  return x;
}
zx::Variant boolean(bool b) {
  zx::Variant x;
  x.vt = VT_BOOL;
  x.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
  return x;
}

HRESULT change(const VARIANT& src, VARTYPE vt, zx::Variant& out, USHORT flags = 0) {
  return VariantChangeType(&out, &src, flags, vt);
}

std::u16string text_of(const VARIANT& src, USHORT flags = 0) {
  zx::Variant out;
  HRESULT hr = change(src, VT_BSTR, out, flags);
  EXPECT_EQ(hr, S_OK);
  if (FAILED(hr) || out.vt != VT_BSTR) return u"<failed>";
  return std::u16string(out.bstrVal, SysStringLen(out.bstrVal));
}

TEST(VariantChangeType, FloatingToIntegerRoundsHalfToEven) {
  struct Case {
    double in;
    LONG out;
  } cases[] = {{2.5, 2},  {3.5, 4},   {-2.5, -2}, {-3.5, -4}, {0.5, 0}, {1.5, 2},
               {2.49, 2}, {2.51, 3}, {-0.4, 0},   {1e9, 1000000000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    zx::Variant out;
    ASSERT_EQ(change(r8(c.in), VT_I4, out), S_OK);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, c.out);
  }
  zx::Variant out;
  zx::Variant f;
  f.vt = VT_R4;
  f.fltVal = 6.5f;
  ASSERT_EQ(change(f, VT_I2, out), S_OK);
  EXPECT_EQ(out.iVal, 6);
  ASSERT_EQ(change(str(u"4.5"), VT_UI1, out), S_OK);
  EXPECT_EQ(out.bVal, 4);
  ASSERT_EQ(change(str(u"5.5"), VT_I8, out), S_OK);
  EXPECT_EQ(out.llVal, 6);
}

TEST(VariantChangeType, OutOfRangeIsAnOverflow) {
  zx::Variant out;
  EXPECT_EQ(change(i4(256), VT_UI1, out), DISP_E_OVERFLOW);
  EXPECT_EQ(change(i4(-1), VT_UI1, out), DISP_E_OVERFLOW);
  EXPECT_EQ(change(i4(128), VT_I1, out), DISP_E_OVERFLOW);
  EXPECT_EQ(change(i4(32768), VT_I2, out), DISP_E_OVERFLOW);
  EXPECT_EQ(change(i4(-1), VT_UI8, out), DISP_E_OVERFLOW);
  EXPECT_EQ(change(r8(2147483647.5), VT_I4, out), DISP_E_OVERFLOW) << "rounds to 2^31";
  EXPECT_EQ(change(r8(1e300), VT_R4, out), DISP_E_OVERFLOW);
  EXPECT_EQ(change(r8(NAN), VT_I4, out), DISP_E_OVERFLOW);
  EXPECT_EQ(change(str(u"99999999999999999999"), VT_I8, out), DISP_E_OVERFLOW);
  EXPECT_EQ(out.vt, VT_EMPTY) << "a failed conversion writes nothing";
  ASSERT_EQ(change(r8(-2147483648.5), VT_I4, out), S_OK) << "rounds to -2^31, which fits";
  EXPECT_EQ(out.lVal, INT32_MIN);
  ASSERT_EQ(change(i4(255), VT_UI1, out), S_OK);
  EXPECT_EQ(out.bVal, 255);
  ASSERT_EQ(change(str(u"18446744073709551615"), VT_UI8, out), S_OK);
  EXPECT_EQ(out.ullVal, UINT64_MAX);
  ASSERT_EQ(change(str(u"-9223372036854775808"), VT_I8, out), S_OK);
  EXPECT_EQ(out.llVal, INT64_MIN);
}

TEST(VariantChangeType, StringsAreReadTheEnUsWayAndNonNumbersAreMismatches) {
  struct Case {
    const char16_t* in;
    double out;
  } good[] = {{u"42", 42},         {u"  -7 ", -7},     {u"+3.25", 3.25},  {u"1,000", 1000}, {u"1.5E3", 1500},
              {u"(12)", -12},      {u"5-", -5},        {u"$8", 8},        {u"&HFF", 255},   {u"&o17", 15},
              {u".5", 0.5},        {u"2e-2", 0.02}};
  for (const Case& c : good) {
    SCOPED_TRACE(std::string(c.in, c.in + std::char_traits<char16_t>::length(c.in)));
    zx::Variant out;
    ASSERT_EQ(change(str(c.in), VT_R8, out), S_OK);
    EXPECT_DOUBLE_EQ(out.dblVal, c.out);
  }
  const char16_t* bad[] = {u"", u"   ", u"abc", u"12abc", u"1.2.3", u"--1", u"1e", u"True", u"false", u"&H", u"&HG1"};
  for (const char16_t* b : bad) {
    SCOPED_TRACE(std::string(b, b + std::char_traits<char16_t>::length(b)));
    zx::Variant out;
    EXPECT_EQ(change(str(b), VT_R8, out), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(change(str(b), VT_I4, out), DISP_E_TYPEMISMATCH);
  }
  zx::Variant nullText, out;
  nullText.vt = VT_BSTR;
  nullText.bstrVal = nullptr;
  EXPECT_EQ(change(nullText, VT_I4, out), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, TrueAndFalseNamesConvertToBoolOnly) {
  const char16_t* trues[] = {u"True", u"TRUE", u"true", u" tRuE "};
  for (const char16_t* t : trues) {
    zx::Variant out;
    ASSERT_EQ(change(str(t), VT_BOOL, out), S_OK);
    EXPECT_EQ(out.vt, VT_BOOL);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    ASSERT_EQ(change(str(t), VT_BOOL, out, VARIANT_LOCALBOOL), S_OK);
    EXPECT_EQ(out.boolVal, VARIANT_TRUE);
    EXPECT_EQ(change(str(t), VT_R8, out), DISP_E_TYPEMISMATCH);
  }
  zx::Variant out;
  ASSERT_EQ(change(str(u"False"), VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
  ASSERT_EQ(change(str(u"0.25"), VT_BOOL, out), S_OK) << "a nonzero number is true";
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  ASSERT_EQ(change(str(u"0"), VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
  EXPECT_EQ(change(str(u"yes"), VT_BOOL, out), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, BooleanTrueIsMinusOne) {
  zx::Variant out;
  ASSERT_EQ(change(boolean(true), VT_I4, out), S_OK);
  EXPECT_EQ(out.lVal, -1);
  ASSERT_EQ(change(boolean(true), VT_R8, out), S_OK);
  EXPECT_EQ(out.dblVal, -1.0);
  ASSERT_EQ(change(boolean(true), VT_UI1, out), S_OK);
  EXPECT_EQ(out.bVal, 255) << "all bits set, as Windows";
  ASSERT_EQ(change(i4(7), VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_TRUE);
  ASSERT_EQ(change(r8(0.0), VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
}

TEST(VariantChangeType, NumbersBecomeTextAsWindowsWritesThem) {
  EXPECT_EQ(text_of(i4(-123)), u"-123");
  EXPECT_EQ(text_of(r8(0.1)), u"0.1");
  EXPECT_EQ(text_of(r8(2.5)), u"2.5");
  EXPECT_EQ(text_of(r8(1.0 / 3)), u"0.333333333333333");
  EXPECT_EQ(text_of(r8(123456789012345678.0)), u"1.23456789012346E+17");
  EXPECT_EQ(text_of(r8(1e15)), u"1E+15");
  EXPECT_EQ(text_of(r8(100000000000000.0)), u"100000000000000");
  EXPECT_EQ(text_of(r8(1.5e-5)), u"1.5E-05");
  EXPECT_EQ(text_of(r8(-0.0)), u"0");
  zx::Variant f;
  f.vt = VT_R4;
  f.fltVal = 0.1f;
  EXPECT_EQ(text_of(f), u"0.1") << "7 significant digits for R4";
  f.fltVal = 1234567.0f;
  EXPECT_EQ(text_of(f), u"1234567");
  f.fltVal = 12345678.0f;
  EXPECT_EQ(text_of(f), u"1.234568E+07");
  zx::Variant u8;
  u8.vt = VT_UI8;
  u8.ullVal = UINT64_MAX;
  EXPECT_EQ(text_of(u8), u"18446744073709551615");
  EXPECT_EQ(text_of(boolean(true)), u"-1");
  EXPECT_EQ(text_of(boolean(false)), u"0");
  EXPECT_EQ(text_of(boolean(true), VARIANT_ALPHABOOL), u"True");
  EXPECT_EQ(text_of(boolean(false), VARIANT_LOCALBOOL), u"False");
  EXPECT_EQ(text_of(zx::Variant()), u"");
}

TEST(VariantChangeType, EmptyAndNull) {
  zx::Variant empty, null, out;
  null.vt = VT_NULL;
  ASSERT_EQ(change(empty, VT_I4, out), S_OK);
  EXPECT_EQ(out.vt, VT_I4);
  EXPECT_EQ(out.lVal, 0);
  ASSERT_EQ(change(empty, VT_R8, out), S_OK);
  EXPECT_EQ(out.dblVal, 0.0);
  ASSERT_EQ(change(empty, VT_BOOL, out), S_OK);
  EXPECT_EQ(out.boolVal, VARIANT_FALSE);
  const VARTYPE targets[] = {VT_I2, VT_I4, VT_R8, VT_BOOL, VT_BSTR, VT_DISPATCH, VT_UI1, VT_ERROR};
  for (VARTYPE vt : targets) {
    out.clear();
    EXPECT_EQ(change(null, vt, out), DISP_E_TYPEMISMATCH) << vt;
    EXPECT_EQ(out.vt, VT_EMPTY);
  }
  ASSERT_EQ(change(null, VT_NULL, out), S_OK);
  EXPECT_EQ(out.vt, VT_NULL);
}

zx::Variant scalar(VARTYPE vt, int64_t bits) {
  zx::Variant x;
  x.vt = vt;
  x.llVal = bits;  // the low bytes hold the narrower types' values
  return x;
}

// An integer result read in its own type, widened (VT_UI8's maximum reads -1).
int64_t read_back(const VARIANT& v) {
  switch (v.vt) {
    case VT_I1: return v.cVal;
    case VT_UI1: return v.bVal;
    case VT_I2: return v.iVal;
    case VT_UI2: return v.uiVal;
    case VT_I4: case VT_INT: return v.lVal;
    case VT_UI4: case VT_UINT: return v.ulVal;
    default: return v.llVal;
  }
}

// The rules Windows follows where a first reading of the types would differ: booleans are 16-bit
// integers, one size of integer trades its bits between signed and unsigned, error values trade with
// nothing, nulls and objects take no part in emptiness, and VT_VARIANT is no target.
TEST(VariantChangeType, WindowsRulesForBooleansSignednessErrorsNullsAndEmpties) {
  const struct Case {
    VARTYPE from;
    int64_t in;
    VARTYPE to;
    HRESULT hr;
    int64_t out = 0;
  } cases[] = {
      {VT_BOOL, 1, VT_I2, S_OK, 1},          {VT_BOOL, VARIANT_TRUE, VT_UI8, S_OK, -1},
      {VT_BOOL, 1, VT_UI1, S_OK, 1},         {VT_BOOL, VARIANT_TRUE, VT_UI4, S_OK, 0xFFFFFFFF},
      {VT_I1, -1, VT_UI1, S_OK, 255},        {VT_UI1, 255, VT_I1, S_OK, -1},
      {VT_I2, -1, VT_UI2, S_OK, 65535},      {VT_UINT, 0xFFFFFFFF, VT_I4, S_OK, -1},
      {VT_I4, -1, VT_UINT, S_OK, 0xFFFFFFFF}, {VT_UI4, 0x80000000, VT_INT, S_OK, INT32_MIN},
      {VT_I8, -1, VT_UI8, S_OK, -1},         {VT_UI8, -1, VT_I8, S_OK, -1},
      {VT_I2, -1, VT_UI4, DISP_E_OVERFLOW},  // sizes differ: the value must fit
      {VT_ERROR, 5, VT_I4, DISP_E_TYPEMISMATCH}, {VT_I4, 5, VT_ERROR, DISP_E_TYPEMISMATCH},
      {VT_ERROR, 5, VT_UI4, DISP_E_TYPEMISMATCH}, {VT_I4, 1, VT_NULL, S_OK},
      {VT_R8, 0, VT_NULL, S_OK},             {VT_NULL, 0, VT_EMPTY, DISP_E_TYPEMISMATCH},
      {VT_ERROR, 0, VT_EMPTY, DISP_E_TYPEMISMATCH}, {VT_I4, 7, VT_EMPTY, S_OK},
      {VT_EMPTY, 0, VT_DISPATCH, DISP_E_TYPEMISMATCH}, {VT_EMPTY, 0, VT_UNKNOWN, DISP_E_TYPEMISMATCH},
      {VT_I4, 1, VT_VARIANT, DISP_E_TYPEMISMATCH},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to);
    zx::Variant out;
    EXPECT_EQ(change(scalar(c.from, c.in), c.to, out), c.hr);
    EXPECT_EQ(out.vt, c.hr == S_OK ? c.to : VARTYPE{VT_EMPTY});
    if (c.hr == S_OK && c.to != VT_NULL && c.to != VT_EMPTY) {
      EXPECT_EQ(read_back(out), c.out);
    }
  }
  EXPECT_EQ(text_of(scalar(VT_BOOL, 1)), u"1");
  zx::Variant array, out;
  array.vt = VT_ARRAY | VT_I4;
  array.parray = SafeArrayCreateVector(VT_I4, 0, 1);
  EXPECT_EQ(change(array, VT_EMPTY, out), DISP_E_TYPEMISMATCH);
  VARIANT nowhere;
  nowhere.vt = VT_BYREF | VT_VARIANT;
  nowhere.pvarVal = nullptr;
  EXPECT_EQ(VariantChangeType(&out, &nowhere, 0, VT_I4), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(change(str(u"5"), VT_NULL, out), S_OK);
  EXPECT_EQ(out.vt, VT_NULL);
}

TEST(VariantChangeType, ReferencesAreFollowed) {
  LONG n = 300;
  zx::Variant ref, out;
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &n;
  ASSERT_EQ(change(ref, VT_I2, out), S_OK);
  EXPECT_EQ(out.vt, VT_I2);
  EXPECT_EQ(out.iVal, 300);
  EXPECT_EQ(change(ref, VT_UI1, out), DISP_E_OVERFLOW);

  BSTR text = SysAllocString(u"2.5");
  VARIANT inner;
  inner.vt = VT_BSTR | VT_BYREF;
  inner.pbstrVal = &text;
  ref.vt = VT_VARIANT | VT_BYREF;
  ref.pvarVal = &inner;
  ASSERT_EQ(change(ref, VT_I4, out), S_OK);
  EXPECT_EQ(out.lVal, 2);
  EXPECT_EQ(std::u16string(text), u"2.5") << "the referenced value is untouched";
  SysFreeString(text);
  ref.vt = VT_EMPTY;
}

TEST(VariantChangeType, InPlaceConversionReplacesTheValue) {
  zx::Variant v = str(u"3.5");
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_I4), S_OK);
  EXPECT_EQ(v.vt, VT_I4);
  EXPECT_EQ(v.lVal, 4);
  ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK);
  EXPECT_EQ(std::u16string(v.bstrVal), u"4");
  EXPECT_EQ(VariantChangeType(&v, &v, 0, VT_BOOL), S_OK);
  EXPECT_EQ(v.boolVal, VARIANT_TRUE);
  zx::Variant w = str(u"nope");
  EXPECT_EQ(VariantChangeType(&w, &w, 0, VT_I4), DISP_E_TYPEMISMATCH);
  ASSERT_EQ(w.vt, VT_BSTR) << "a failed in-place conversion keeps the value";
  EXPECT_EQ(std::u16string(w.bstrVal), u"nope");

  LONG n = 9;
  zx::Variant ref;
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &n;
  ASSERT_EQ(VariantChangeType(&ref, &ref, 0, VT_R8), S_OK);
  EXPECT_EQ(ref.vt, VT_R8);
  EXPECT_EQ(ref.dblVal, 9.0);
  EXPECT_EQ(n, 9);
}

// A small object whose DISPID_VALUE member answers a fixed VARIANT, counting calls and references.
class ValueObject : public IDispatch {
 public:
  explicit ValueObject(VARIANT value) { VariantCopy(&m_value, &value); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* excepinfo, UINT*) override {
    ++calls;
    lastFlags = flags;
    gotExcepInfo = excepinfo != nullptr;
    if (id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
    if (!params || params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (failWith) return failWith;
    return VariantCopy(result, &m_value);
  }
  std::atomic<ULONG> refs{1};
  int calls = 0;
  WORD lastFlags = 0;
  bool gotExcepInfo = false;
  HRESULT failWith = S_OK;

 private:
  zx::Variant m_value;
};

TEST(VariantChangeType, ObjectsConvertThroughTheirValueMember) {
  ValueObject obj(str(u"41.5"));
  {
    zx::Variant v, out;
    v.vt = VT_DISPATCH;
    v.pdispVal = &obj;
    obj.AddRef();
    ASSERT_EQ(change(v, VT_I4, out), S_OK);
    EXPECT_EQ(out.lVal, 42);
    EXPECT_EQ(obj.calls, 1);
    EXPECT_EQ(obj.lastFlags, DISPATCH_PROPERTYGET);
    EXPECT_FALSE(obj.gotExcepInfo);
    ASSERT_EQ(change(v, VT_BSTR, out), S_OK);
    EXPECT_EQ(std::u16string(out.bstrVal), u"41.5");
    EXPECT_EQ(change(v, VT_I4, out, VARIANT_NOVALUEPROP), DISP_E_TYPEMISMATCH);

    ASSERT_EQ(change(v, VT_UNKNOWN, out), S_OK);
    EXPECT_EQ(out.punkVal, static_cast<IUnknown*>(&obj));
    // An IUnknown reaches IDispatch by QueryInterface, but only VT_DISPATCH has a value.
    zx::Variant back;
    ASSERT_EQ(change(out, VT_DISPATCH, back), S_OK);
    EXPECT_EQ(back.pdispVal, &obj);
    const int calls = obj.calls;
    EXPECT_EQ(change(out, VT_R8, back), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(obj.calls, calls) << "nothing is asked of the object";

    obj.failWith = DISP_E_MEMBERNOTFOUND;  // a value that cannot be read is a mismatch
    EXPECT_EQ(change(v, VT_I4, out), DISP_E_TYPEMISMATCH);
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(v.vt, VT_DISPATCH);
    obj.failWith = S_OK;
    ASSERT_EQ(VariantChangeType(&v, &v, 0, VT_BSTR), S_OK) << "in place releases the object";
    EXPECT_EQ(std::u16string(v.bstrVal), u"41.5");
  }
  EXPECT_EQ(obj.refs, 1u) << "every reference taken was given back";
}

TEST(VariantChangeType, ObjectWhoseValueIsAnObjectIsFollowed) {
  ValueObject inner(i4(7));
  zx::Variant innerRef;
  innerRef.vt = VT_DISPATCH;
  innerRef.pdispVal = &inner;
  inner.AddRef();
  ValueObject outer(innerRef);
  zx::Variant v, out;
  v.vt = VT_DISPATCH;
  v.pdispVal = &outer;
  outer.AddRef();
  ASSERT_EQ(change(v, VT_R8, out), S_OK);
  EXPECT_EQ(out.dblVal, 7.0);
  zx::Variant nothing;
  nothing.vt = VT_DISPATCH;
  nothing.pdispVal = nullptr;
  EXPECT_EQ(change(nothing, VT_I4, out), DISP_E_TYPEMISMATCH);
  zx::Variant number = i4(3);
  EXPECT_EQ(change(number, VT_DISPATCH, out), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, ByteArraysAndStringsExchangeBytesAndArraysCopy) {
  zx::Variant text, out, back;
  text.vt = VT_BSTR;
  text.bstrVal = SysAllocStringByteLen("\x01\x02\x03", 3);
  ASSERT_EQ(change(text, VT_ARRAY | VT_UI1, out), S_OK);
  ASSERT_EQ(out.parray->rgsabound[0].cElements, 3u);
  EXPECT_EQ(static_cast<BYTE*>(out.parray->pvData)[2], 3);
  ASSERT_EQ(change(out, VT_BSTR, back), S_OK);
  EXPECT_EQ(SysStringByteLen(back.bstrVal), 3u);
  zx::Variant copy;
  ASSERT_EQ(change(out, VT_ARRAY | VT_UI1, copy), S_OK);
  EXPECT_NE(copy.parray, out.parray);
  EXPECT_EQ(change(out, VT_ARRAY | VT_I4, copy), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(change(out, VT_I4, copy), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, DatesTradeWithTextAndNumbers) {
  struct Case {
    double date;
    const char16_t* text;
  } written[] = {{45322, u"1/31/2024"},           {45322.5, u"1/31/2024 12:00:00 PM"},
                 {0.75, u"6:00:00 PM"},          {0, u"12:00:00 AM"},
                 {-1.25, u"12/29/1899 6:00:00 AM"}, {2.0000001, u"1/1/1900"}};
  for (const auto& c : written) {
    SCOPED_TRACE(c.date);
    zx::Variant d, out;
    d.vt = VT_DATE;
    d.date = c.date;
    ASSERT_EQ(change(d, VT_BSTR, out), S_OK);
    EXPECT_EQ(std::u16string(out.bstrVal), c.text);
  }
  struct Read {
    const char16_t* text;
    HRESULT hr;
    double date;
  } read[] = {{u"2024-01-31", S_OK, 45322},         {u"1/31/2024 3:00 PM", S_OK, 45322.625},
              {u"Wednesday, January 31, 2024", S_OK, 45322}, {u"31 Jan 24", S_OK, 45322},
              {u"12:30", S_OK, 0.5208333333333334}, {u"13/1/2024", DISP_E_TYPEMISMATCH, 0},
              {u"2/30/2024", DISP_E_TYPEMISMATCH, 0}, {u"45322", DISP_E_TYPEMISMATCH, 0},
              {u"25:00", DISP_E_TYPEMISMATCH, 0}};
  for (const auto& c : read) {
    SCOPED_TRACE(zx::to_utf8(c.text));
    zx::Variant out;
    ASSERT_EQ(change(str(c.text), VT_DATE, out), c.hr);
    if (c.hr == S_OK) {
      EXPECT_DOUBLE_EQ(out.date, c.date);
    }
  }
  zx::Variant out;
  ASSERT_EQ(change(r8(45322.25), VT_DATE, out), S_OK);
  ASSERT_EQ(change(out, VT_I4, out), S_OK);
  EXPECT_EQ(out.lVal, 45322);
  EXPECT_EQ(change(r8(3e6), VT_DATE, out), DISP_E_OVERFLOW);
  SYSTEMTIME st{};
  ASSERT_TRUE(VariantTimeToSystemTime(45322.625, &st));
  EXPECT_EQ(st.wDayOfWeek, 3);  // a Wednesday
  EXPECT_EQ(st.wHour, 15);
  double back = 0;
  ASSERT_TRUE(SystemTimeToVariantTime(&st, &back));
  EXPECT_DOUBLE_EQ(back, 45322.625);
}

TEST(VariantChangeType, BadTypesAreRefused) {
  zx::Variant out, src = i4(1);
  EXPECT_EQ(change(src, VT_I4 | VT_BYREF, out), DISP_E_BADVARTYPE);
  EXPECT_EQ(change(src, 0x00FF, out), DISP_E_BADVARTYPE);
  EXPECT_EQ(change(src, VT_CY, out), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantChangeType(nullptr, &src, 0, VT_I4), E_INVALIDARG);
  ASSERT_EQ(change(src, VT_EMPTY, out), S_OK);
  EXPECT_EQ(out.vt, VT_EMPTY);
}

}  // namespace
