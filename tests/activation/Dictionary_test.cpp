// Zentarix — MIT licence.
// Scripting.Dictionary driven as a script drives it: late-bound names, Invoke and its errors.
#include <gtest/gtest.h>

#include <vector>

#include "objbase.h"
#include "scrrun.h"
#include "zx/com.h"

namespace {

zx::Variant str(const char16_t* s) {
  zx::Variant v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(s);
  return v;
}
zx::Variant i4(LONG n) {
  zx::Variant v;
  v.vt = VT_I4;
  v.lVal = n;
  return v;
}
zx::Variant r8(double d) {
  zx::Variant v;
  v.vt = VT_R8;
  v.dblVal = d;
  return v;
}

// Calls members by name through IDispatch, arguments in source order, as a script host does.
class Script {
 public:
  explicit Script(IDispatch* d) : m_d(d) {}

  DISPID id(const char16_t* name) {
    DISPID dispid = 0;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    EXPECT_EQ(m_d->GetIDsOfNames(IID_NULL, names, 1, 0x409, &dispid), S_OK) << zx::to_utf8(name);
    return dispid;
  }
  // Method call or property read; returns the HRESULT, the result and the exception's scode.
  HRESULT get(const char16_t* name, std::vector<zx::Variant> args, zx::Variant* result = nullptr) {
    return invoke(id(name), DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(args), false, result);
  }
  HRESULT put(const char16_t* name, std::vector<zx::Variant> args, WORD flags = DISPATCH_PROPERTYPUT) {
    return invoke(id(name), flags, std::move(args), true, nullptr);
  }
  SCODE lastScode() const { return m_scode; }
  std::string lastDescription() const { return m_description; }
  LONG count() {
    zx::Variant v;
    EXPECT_EQ(get(u"Count", {}, &v), S_OK);
    return v.lVal;
  }
  bool exists(zx::Variant key) {
    zx::Variant v;
    EXPECT_EQ(get(u"Exists", {key}, &v), S_OK);
    EXPECT_EQ(v.vt, VT_BOOL);
    return v.boolVal == VARIANT_TRUE;
  }

  HRESULT invoke(DISPID dispid, WORD flags, std::vector<zx::Variant> args, bool isPut, zx::Variant* result) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS dp{reversed.data(), isPut ? &named : nullptr, static_cast<UINT>(reversed.size()), isPut ? 1u : 0u};
    EXCEPINFO ei{};
    UINT argErr = 0;
    HRESULT hr = m_d->Invoke(dispid, IID_NULL, 0x409, flags, &dp, result ? result->put() : nullptr, &ei, &argErr);
    m_scode = hr == DISP_E_EXCEPTION ? ei.scode : 0;
    m_description = ei.bstrDescription ? zx::to_utf8(ei.bstrDescription) : "";
    SysFreeString(ei.bstrSource);
    SysFreeString(ei.bstrDescription);
    SysFreeString(ei.bstrHelpFile);
    return hr;
  }

 private:
  IDispatch* m_d;
  SCODE m_scode = 0;
  std::string m_description;
};

std::vector<std::u16string> strings_of(const VARIANT& array) {
  std::vector<std::u16string> out;
  EXPECT_EQ(array.vt, VT_ARRAY | VT_VARIANT);
  LONG lb = 1, ub = 0;
  SafeArrayGetLBound(array.parray, 1, &lb);
  SafeArrayGetUBound(array.parray, 1, &ub);
  EXPECT_EQ(lb, 0);
  for (LONG i = lb; i <= ub; ++i) {
    zx::Variant v;
    SafeArrayGetElement(array.parray, &i, v.put());
    zx::Variant s;
    VariantChangeType(&s, &v, 0, VT_BSTR);
    out.emplace_back(s.bstrVal);
  }
  return out;
}

class Dictionary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"Scripting.Dictionary", &clsid), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, m_disp.put_void()), S_OK);
  }
  void TearDown() override {
    m_disp.reset();
    CoUninitialize();
  }
  zx::ComPtr<IDispatch> m_disp;
};

TEST_F(Dictionary, TextCompareIgnoresCaseAndBinaryCompareDoesNot) {
  Script d(m_disp.get());
  ASSERT_EQ(d.get(u"Add", {str(u"Quality"), i4(80)}), S_OK);
  EXPECT_FALSE(d.exists(str(u"QUALITY")));
  EXPECT_EQ(d.get(u"Add", {str(u"QUALITY"), i4(90)}), S_OK);
  EXPECT_EQ(d.count(), 2);

  // The mode can change only while the dictionary is empty.
  EXPECT_EQ(d.put(u"CompareMode", {i4(TextCompare)}), DISP_E_EXCEPTION);
  EXPECT_EQ(d.lastScode(), ZX_HR(0x800A0005));
  EXPECT_EQ(d.lastDescription(), "Invalid procedure call or argument");
  ASSERT_EQ(d.get(u"RemoveAll", {}), S_OK);
  ASSERT_EQ(d.put(u"comparemode", {i4(TextCompare)}), S_OK);
  zx::Variant mode;
  ASSERT_EQ(d.get(u"CompareMode", {}, &mode), S_OK);
  EXPECT_EQ(mode.lVal, 1);

  ASSERT_EQ(d.get(u"Add", {str(u"OutputFileType"), str(u"Auto")}), S_OK);
  EXPECT_TRUE(d.exists(str(u"outputfiletype")));
  zx::Variant item;
  ASSERT_EQ(d.get(u"Item", {str(u"OUTPUTFILETYPE")}, &item), S_OK);
  EXPECT_EQ(std::u16string(item.bstrVal), u"Auto");
  EXPECT_EQ(d.get(u"Add", {str(u"outputFILEtype"), i4(1)}), DISP_E_EXCEPTION);
  EXPECT_EQ(d.lastScode(), ZX_HR(0x800A01C9));
  EXPECT_EQ(d.count(), 1);
}

TEST_F(Dictionary, ReadingAMissingKeyThroughItemAddsIt) {
  Script d(m_disp.get());
  zx::Variant item = i4(7);
  ASSERT_EQ(d.get(u"Item", {str(u"nothing")}, &item), S_OK);
  EXPECT_EQ(item.vt, VT_EMPTY);
  EXPECT_EQ(d.count(), 1);
  EXPECT_TRUE(d.exists(str(u"nothing")));
  // Exists itself adds nothing.
  EXPECT_FALSE(d.exists(str(u"other")));
  EXPECT_EQ(d.count(), 1);
}

TEST_F(Dictionary, ItemPutAddsOrReplacesAndKeyPutRenamesInPlace) {
  Script d(m_disp.get());
  ASSERT_EQ(d.put(u"Item", {str(u"a"), i4(1)}), S_OK);
  ASSERT_EQ(d.put(u"Item", {str(u"b"), i4(2)}), S_OK);
  ASSERT_EQ(d.put(u"Item", {str(u"c"), i4(3)}), S_OK);
  ASSERT_EQ(d.put(u"Item", {str(u"a"), i4(10)}), S_OK);
  ASSERT_EQ(d.put(u"Key", {str(u"b"), str(u"B2")}), S_OK);
  zx::Variant keys, items;
  ASSERT_EQ(d.get(u"Keys", {}, &keys), S_OK);
  ASSERT_EQ(d.get(u"Items", {}, &items), S_OK);
  EXPECT_EQ(strings_of(keys), (std::vector<std::u16string>{u"a", u"B2", u"c"}));
  EXPECT_EQ(strings_of(items), (std::vector<std::u16string>{u"10", u"2", u"3"}));

  EXPECT_EQ(d.put(u"Key", {str(u"missing"), str(u"x")}), DISP_E_EXCEPTION);
  EXPECT_EQ(d.lastScode(), ZX_HR(0x800A802B));
  EXPECT_EQ(d.put(u"Key", {str(u"a"), str(u"c")}), DISP_E_EXCEPTION);
  EXPECT_EQ(d.lastScode(), ZX_HR(0x800A01C9));
}

TEST_F(Dictionary, RemoveDeletesOneKeyAndRefusesMissingOnes) {
  Script d(m_disp.get());
  ASSERT_EQ(d.get(u"Add", {str(u"x"), i4(1)}), S_OK);
  ASSERT_EQ(d.get(u"Add", {str(u"y"), i4(2)}), S_OK);
  ASSERT_EQ(d.get(u"Remove", {str(u"x")}), S_OK);
  EXPECT_EQ(d.count(), 1);
  EXPECT_EQ(d.get(u"Remove", {str(u"x")}), DISP_E_EXCEPTION);
  EXPECT_EQ(d.lastScode(), ZX_HR(0x800A802B));
  EXPECT_EQ(d.lastDescription(), "Element not found");
  EXPECT_EQ(d.count(), 1);
}

TEST_F(Dictionary, NumbersAreKeysByValueAndDifferFromTheirText) {
  Script d(m_disp.get());
  ASSERT_EQ(d.get(u"Add", {i4(1), str(u"one")}), S_OK);
  EXPECT_TRUE(d.exists(r8(1.0)));
  EXPECT_FALSE(d.exists(str(u"1")));
  EXPECT_EQ(d.get(u"Add", {r8(1.0), str(u"again")}), DISP_E_EXCEPTION);
  EXPECT_EQ(d.lastScode(), ZX_HR(0x800A01C9));
  ASSERT_EQ(d.get(u"Add", {str(u"1"), str(u"text one")}), S_OK);
  zx::Variant item;
  ASSERT_EQ(d.get(u"Item", {r8(1.0)}, &item), S_OK);
  EXPECT_EQ(std::u16string(item.bstrVal), u"one");
  // A by-reference argument (as scripts pass variables) names the same key.
  zx::Variant target = i4(1);
  zx::Variant ref;
  ref.vt = VT_BYREF | VT_VARIANT;
  ref.pvarVal = &target;
  EXPECT_TRUE(d.exists(ref));
  ref.vt = VT_EMPTY;  // it owns nothing
}

TEST_F(Dictionary, NewEnumWalksTheKeysInInsertionOrder) {
  Script d(m_disp.get());
  for (const char16_t* k : {u"first", u"second", u"third"}) ASSERT_EQ(d.get(u"Add", {str(k), i4(0)}), S_OK);
  zx::Variant result;
  ASSERT_EQ(d.invoke(DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, false, &result), S_OK);
  ASSERT_TRUE(result.vt == VT_UNKNOWN || result.vt == VT_DISPATCH);
  zx::ComPtr<IEnumVARIANT> e;
  ASSERT_EQ(result.punkVal->QueryInterface(IID_IEnumVARIANT, e.put_void()), S_OK);
  VARIANT got[4];
  ULONG fetched = 0;
  EXPECT_EQ(e->Next(4, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 3u);
  EXPECT_EQ(std::u16string(got[0].bstrVal), u"first");
  EXPECT_EQ(std::u16string(got[2].bstrVal), u"third");
  for (ULONG i = 0; i < fetched; ++i) VariantClear(&got[i]);
}

TEST_F(Dictionary, VtableAndDispatchAreTheSameObject) {
  // scrrun.h's declaration: the slots clients call must be the ones the dispatch table calls.
  zx::ComPtr<IDictionary> dict;
  ASSERT_EQ(m_disp.query(dict), S_OK);
  zx::Variant key = str(u"k"), value = i4(5);
  ASSERT_EQ(dict->Add(&key, &value), S_OK);
  Script d(m_disp.get());
  EXPECT_EQ(d.count(), 1);
  zx::Variant item;
  ASSERT_EQ(d.get(u"Item", {str(u"k")}, &item), S_OK);
  EXPECT_EQ(item.lVal, 5);
  LONG count = 0;
  ASSERT_EQ(dict->get_Count(&count), S_OK);
  EXPECT_EQ(count, 1);
  CompareMethod mode = DatabaseCompare;
  ASSERT_EQ(dict->get_CompareMode(&mode), S_OK);
  EXPECT_EQ(mode, BinaryCompare);
  EXPECT_EQ(dict->put_CompareMode(TextCompare), CTL_E_ILLEGALFUNCTIONCALL);
  EXPECT_EQ(dict->Remove(&value), CTL_E_ELEMENT_NOT_FOUND);
}

}  // namespace
