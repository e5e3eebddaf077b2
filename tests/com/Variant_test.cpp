// Zentarix — MIT licence.
// VARIANT lifetime: clearing, deep copies, copies through references and refused types.
#include "ComTestSupport.h"

namespace {
using namespace zxtest;

TEST(Variant, ClearReleasesWhatItOwnsButNotWhatItRefersTo) {
  CountingUnknown obj;
  VARIANT v;
  v.vt = 0x7777;
  VariantInit(&v);
  EXPECT_EQ(v.vt, VT_EMPTY);
  v.vt = VT_UNKNOWN;
  v.punkVal = &obj;
  obj.AddRef();
  ASSERT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(show(v) + " " + std::to_string(obj.refs), "EMPTY 1");
  BSTR target = SysAllocString(u"still mine");
  v.vt = VT_BSTR | VT_BYREF;
  v.pbstrVal = &target;
  ASSERT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(std::u16string(target), u"still mine");
  SysFreeString(target);
  for (VARTYPE bad : {VARTYPE{0x7777}, VARTYPE{VT_EMPTY | VT_BYREF}}) {
    v.vt = bad;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    EXPECT_EQ(v.vt, bad) << "an unknown type is left alone";
  }
}

TEST(Variant, CopyIsDeepForStringsAndArraysAndAddRefsObjects) {
  CountingUnknown obj;
  zx::Variant src, dst = i4(5);
  src.vt = 0x00FF;
  EXPECT_EQ(VariantCopy(&dst, &src), DISP_E_BADVARTYPE);
  EXPECT_EQ(show(dst), "I4 5") << "a bad type leaves the destination";
  src.vt = VT_BSTR;
  src.bstrVal = SysAllocStringByteLen("abc", 3);
  ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
  EXPECT_NE(dst.bstrVal, src.bstrVal);
  EXPECT_EQ(SysStringByteLen(dst.bstrVal), 3u) << "odd byte length survives the copy";
  src.clear();
  src.vt = VT_DISPATCH;
  src.punkVal = &obj;
  obj.AddRef();
  ASSERT_EQ(VariantCopy(&dst, &src), S_OK) << "the old string in dst is released first";
  EXPECT_EQ(obj.refs, 3u);
  dst.clear();
  src.clear();
  EXPECT_EQ(obj.refs, 1u);
  src.vt = VT_ARRAY | VT_I4;
  src.parray = SafeArrayCreateVector(VT_I4, 0, 3);
  static_cast<LONG*>(src.parray->pvData)[2] = 9;
  ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
  EXPECT_NE(dst.parray, src.parray);
  ASSERT_EQ(VariantCopy(&dst, &dst), S_OK) << "self copy is a no-op";
  EXPECT_EQ(static_cast<LONG*>(dst.parray->pvData)[2], 9);
}

TEST(Variant, CopyIndFollowsOneLevelOfReferenceAndWorksInPlace) {
  LONG number = 1234;
  BSTR text = SysAllocString(u"ref");
  double d = 2.5;
  VARIANT inner, outer;
  inner.vt = VT_R8 | VT_BYREF;
  inner.pdblVal = &d;
  outer.vt = VT_VARIANT | VT_BYREF;
  outer.pvarVal = &inner;
  const struct {
    VARTYPE vt;
    void* target;
    HRESULT hr;
    const char* out;
  } cases[] = {{VT_I4, &number, S_OK, "I4 1234"},
               {VT_BSTR, &text, S_OK, "BSTR 'ref'"},
               {VT_VARIANT, &inner, S_OK, "R8 2.5"},
               {VT_VARIANT, &outer, E_INVALIDARG, "EMPTY"}};
  for (const auto& c : cases) {
    VARIANT ref;
    ref.vt = c.vt | VT_BYREF;
    ref.byref = c.target;
    zx::Variant out;
    EXPECT_EQ(VariantCopyInd(&out, &ref), c.hr);
    EXPECT_EQ(show(out), c.out);
    if (c.vt == VT_BSTR) {
      EXPECT_NE(out.bstrVal, text);
    }
  }
  zx::Variant v;
  v.vt = VT_BSTR | VT_BYREF;
  v.pbstrVal = &text;
  ASSERT_EQ(VariantCopyInd(&v, &v), S_OK);
  EXPECT_EQ(show(v), "BSTR 'ref'");
  EXPECT_NE(v.bstrVal, text);
  SysFreeString(text);
}

}  // namespace
