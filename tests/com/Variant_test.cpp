// Zentarix — MIT licence.
// VARIANT lifetime: clearing, deep copies, copies through references and refused types.
#include <gtest/gtest.h>

#include <atomic>

#include "zx/com.h"

namespace {

struct CountingUnknown : IUnknown {
  std::atomic<ULONG> refs{1};
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(Variant, InitMakesEmptyAndClearReleasesWhatItOwns) {
  CountingUnknown obj;
  VARIANT v;
  v.vt = 0x7777;
  VariantInit(&v);
  EXPECT_EQ(v.vt, VT_EMPTY);
  v.vt = VT_UNKNOWN;
  v.punkVal = &obj;
  obj.AddRef();
  ASSERT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  EXPECT_EQ(obj.refs, 1u);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"freed by clear");
  ASSERT_EQ(VariantClear(&v), S_OK);
  v.vt = 0x7777;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  EXPECT_EQ(v.vt, 0x7777) << "an unknown type is left alone";
  v.vt = VT_EMPTY | VT_BYREF;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
}

TEST(Variant, ClearOfAReferenceOwnsNothing) {
  BSTR target = SysAllocString(u"still mine");
  VARIANT v;
  v.vt = VT_BSTR | VT_BYREF;
  v.pbstrVal = &target;
  ASSERT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(std::u16string(target), u"still mine");
  SysFreeString(target);
}

TEST(Variant, CopyIsDeepForStringsArraysAndAddRefsObjects) {
  CountingUnknown obj;
  zx::Variant src, dst;
  src.vt = VT_BSTR;
  src.bstrVal = SysAllocStringByteLen("abc", 3);
  ASSERT_EQ(VariantCopy(&dst, &src), S_OK);
  ASSERT_EQ(dst.vt, VT_BSTR);
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
  EXPECT_EQ(static_cast<LONG*>(dst.parray->pvData)[2], 9);
  EXPECT_EQ(VariantCopy(&dst, &dst), S_OK) << "self copy is a no-op";
  EXPECT_EQ(static_cast<LONG*>(dst.parray->pvData)[2], 9);
}

TEST(Variant, CopyOfABadTypeLeavesTheDestination) {
  zx::Variant src, dst;
  dst.vt = VT_I4;
  dst.lVal = 5;
  src.vt = 0x00FF;
  EXPECT_EQ(VariantCopy(&dst, &src), DISP_E_BADVARTYPE);
  EXPECT_EQ(dst.vt, VT_I4);
  EXPECT_EQ(dst.lVal, 5);
  src.vt = VT_EMPTY;
}

TEST(Variant, CopyIndFollowsReferencesAndCopiesTheValue) {
  LONG number = 1234;
  zx::Variant ref, out;
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &number;
  ASSERT_EQ(VariantCopyInd(&out, &ref), S_OK);
  EXPECT_EQ(out.vt, VT_I4);
  EXPECT_EQ(out.lVal, 1234);

  BSTR text = SysAllocString(u"ref");
  ref.vt = VT_BSTR | VT_BYREF;
  ref.pbstrVal = &text;
  ASSERT_EQ(VariantCopyInd(&out, &ref), S_OK);
  ASSERT_EQ(out.vt, VT_BSTR);
  EXPECT_NE(out.bstrVal, text);
  EXPECT_EQ(std::u16string(out.bstrVal), u"ref");
  SysFreeString(text);

  // VT_VARIANT | VT_BYREF reaching a VARIANT that itself refers to a double.
  double d = 2.5;
  VARIANT inner;
  inner.vt = VT_R8 | VT_BYREF;
  inner.pdblVal = &d;
  ref.vt = VT_VARIANT | VT_BYREF;
  ref.pvarVal = &inner;
  ASSERT_EQ(VariantCopyInd(&out, &ref), S_OK);
  EXPECT_EQ(out.vt, VT_R8);
  EXPECT_EQ(out.dblVal, 2.5);

  VARIANT outer;
  outer.vt = VT_VARIANT | VT_BYREF;
  outer.pvarVal = &inner;
  ref.pvarVal = &outer;
  EXPECT_EQ(VariantCopyInd(&out, &ref), E_INVALIDARG);
  ref.vt = VT_EMPTY;
}

TEST(Variant, CopyIndInPlaceReplacesTheReferenceWithTheValue) {
  BSTR text = SysAllocString(u"in place");
  zx::Variant v;
  v.vt = VT_BSTR | VT_BYREF;
  v.pbstrVal = &text;
  ASSERT_EQ(VariantCopyInd(&v, &v), S_OK);
  ASSERT_EQ(v.vt, VT_BSTR);
  EXPECT_NE(v.bstrVal, text);
  EXPECT_EQ(std::u16string(v.bstrVal), u"in place");
  SysFreeString(text);
}

}  // namespace
