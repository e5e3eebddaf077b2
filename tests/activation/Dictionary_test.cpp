// Zentarix — MIT licence.
// Scripting.Dictionary driven as a script drives it: late-bound names, Invoke and its errors.
#include <gtest/gtest.h>

#include <vector>

#include "../com/ComTestSupport.h"
#include "objbase.h"
#include "scrrun.h"

namespace {
using namespace zxtest;

// Calls members by name through IDispatch, arguments in source order, as a script host does, and
// answers "ok", the result shown, or the exception as "err 800A01C9 <description>".
class Dictionary : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"Scripting.Dictionary", &clsid), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDispatch, m_d.put_void()), S_OK);
  }
  void TearDown() override {
    m_d.reset();
    CoUninitialize();
  }
  std::string call(const char16_t* name, std::vector<zx::Variant> args, WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
    DISPID dispid = DISPID_NEWENUM;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (name && m_d->GetIDsOfNames(IID_NULL, names, 1, 0x409, &dispid) != S_OK) return "no name " + utf8(name);
    const bool put = flags & DISPATCH_PROPERTYPUT;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS dp{reversed.data(), put ? &named : nullptr, static_cast<UINT>(reversed.size()), put ? 1u : 0u};
    EXCEPINFO ei{};
    m_result.clear();
    const HRESULT hr = m_d->Invoke(dispid, IID_NULL, 0x409, flags, &dp, put ? nullptr : &m_result, &ei, nullptr);
    std::string out = hr == S_OK ? (put || m_result.vt == VT_EMPTY ? "ok" : show(m_result)) : "hr " + std::to_string(hr);
    if (hr == DISP_E_EXCEPTION) {
      char code[16];
      std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(ei.scode));
      out = "err " + std::string(code) + (ei.bstrDescription ? " " + utf8(ei.bstrDescription) : "");
    }
    SysFreeString(ei.bstrSource);
    SysFreeString(ei.bstrDescription);
    SysFreeString(ei.bstrHelpFile);
    return out;
  }
  std::string put(const char16_t* name, std::vector<zx::Variant> args) { return call(name, args, DISPATCH_PROPERTYPUT); }
  // Keys() or Items() as text: "a B2 c".
  std::string list(const char16_t* member) {
    EXPECT_EQ(call(member, {}).substr(0, 13), "ARRAY|VARIANT");
    std::string out;
    for (LONG i = 0; i < LONG(m_result.parray->rgsabound[0].cElements); ++i) {
      zx::Variant v, s;
      SafeArrayGetElement(m_result.parray, &i, v.put());
      VariantChangeType(&s, &v, 0, VT_BSTR);
      out += (i ? " " : "") + utf8(s.bstrVal);
    }
    return out;
  }
  zx::ComPtr<IDispatch> m_d;
  zx::Variant m_result;
};

const std::string kDuplicate = "err 800A01C9 This key is already associated with an element of this collection";

TEST_F(Dictionary, TextCompareIgnoresCaseAndTheModeChangesOnlyWhileEmpty) {
  EXPECT_EQ(call(u"Add", {str(u"Quality"), i4(80)}), "ok");
  EXPECT_EQ(call(u"Exists", {str(u"QUALITY")}), "BOOL 0");
  EXPECT_EQ(call(u"Add", {str(u"QUALITY"), i4(90)}), "ok");
  EXPECT_EQ(put(u"CompareMode", {i4(TextCompare)}), "err 800A0005 Invalid procedure call or argument");
  EXPECT_EQ(call(u"RemoveAll", {}), "ok");
  EXPECT_EQ(put(u"comparemode", {i4(TextCompare)}), "ok");
  EXPECT_EQ(call(u"CompareMode", {}), "I4 1");
  EXPECT_EQ(call(u"Add", {str(u"OutputFileType"), str(u"Auto")}), "ok");
  EXPECT_EQ(call(u"Exists", {str(u"outputfiletype")}), "BOOL -1");
  EXPECT_EQ(call(u"Item", {str(u"OUTPUTFILETYPE")}), "BSTR 'Auto'");
  EXPECT_EQ(call(u"Add", {str(u"outputFILEtype"), i4(1)}), kDuplicate);
  EXPECT_EQ(call(u"Count", {}), "I4 1");
}

TEST_F(Dictionary, ItemReadsAddMissingKeysItemPutReplacesAndKeyRenamesInPlace) {
  EXPECT_EQ(call(u"Item", {str(u"nothing")}), "ok") << "an empty value";
  EXPECT_EQ(call(u"Exists", {str(u"nothing")}), "BOOL -1");
  EXPECT_EQ(call(u"Exists", {str(u"other")}), "BOOL 0");
  EXPECT_EQ(call(u"Count", {}), "I4 1") << "Exists adds nothing";
  EXPECT_EQ(call(u"Remove", {str(u"nothing")}), "ok");
  for (auto [k, v] : {std::pair{u"a", 1}, {u"b", 2}, {u"c", 3}, {u"a", 10}}) EXPECT_EQ(put(u"Item", {str(k), i4(v)}), "ok");
  EXPECT_EQ(put(u"Key", {str(u"b"), str(u"B2")}), "ok");
  EXPECT_EQ(list(u"Keys") + "/" + list(u"Items"), "a B2 c/10 2 3");
  EXPECT_EQ(put(u"Key", {str(u"missing"), str(u"x")}), "err 800A802B Element not found");
  EXPECT_EQ(put(u"Key", {str(u"a"), str(u"c")}), kDuplicate);
  EXPECT_EQ(call(u"Remove", {str(u"a")}), "ok");
  EXPECT_EQ(call(u"Remove", {str(u"a")}), "err 800A802B Element not found");
  EXPECT_EQ(call(u"Count", {}), "I4 2");
  // The enumerator walks the keys in insertion order.
  EXPECT_EQ(call(nullptr, {}).substr(0, 7), "UNKNOWN");
  zx::ComPtr<IEnumVARIANT> e;
  ASSERT_EQ(m_result.punkVal->QueryInterface(IID_IEnumVARIANT, e.put_void()), S_OK);
  VARIANT got[3];
  ULONG fetched = 0;
  EXPECT_EQ(e->Next(3, got, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 2u);
  EXPECT_EQ(show(got[0]) + "," + show(got[1]), "BSTR 'B2',BSTR 'c'");
  VariantClear(&got[0]);
  VariantClear(&got[1]);
}

TEST_F(Dictionary, NumbersAreKeysByValueAndDifferFromTheirText) {
  EXPECT_EQ(call(u"Add", {i4(1), str(u"one")}), "ok");
  EXPECT_EQ(call(u"Exists", {r8(1.0)}), "BOOL -1");
  EXPECT_EQ(call(u"Exists", {str(u"1")}), "BOOL 0");
  EXPECT_EQ(call(u"Add", {r8(1.0), str(u"again")}), kDuplicate);
  EXPECT_EQ(call(u"Add", {str(u"1"), str(u"text one")}), "ok");
  EXPECT_EQ(call(u"Item", {r8(1.0)}), "BSTR 'one'");
  // A by-reference argument (as scripts pass variables) names the same key.
  zx::Variant target = i4(1), ref;
  ref.vt = VT_BYREF | VT_VARIANT;
  ref.pvarVal = &target;
  EXPECT_EQ(call(u"Exists", {ref}), "BOOL -1");
}

TEST_F(Dictionary, VtableAndDispatchAreTheSameObject) {
  // scrrun.h's declaration: the slots clients call must be the ones the dispatch table calls.
  zx::ComPtr<IDictionary> dict;
  ASSERT_EQ(m_d.query(dict), S_OK);
  zx::Variant key = str(u"k"), value = i4(5);
  ASSERT_EQ(dict->Add(&key, &value), S_OK);
  EXPECT_EQ(call(u"Item", {str(u"k")}), "I4 5");
  LONG count = 0;
  CompareMethod mode = DatabaseCompare;
  ASSERT_EQ(dict->get_Count(&count) | dict->get_CompareMode(&mode), S_OK);
  EXPECT_EQ(count * 10 + mode, 10 + BinaryCompare);
  EXPECT_EQ(dict->put_CompareMode(TextCompare), CTL_E_ILLEGALFUNCTIONCALL);
  EXPECT_EQ(dict->Remove(&value), CTL_E_ELEMENT_NOT_FOUND);
}

}  // namespace
