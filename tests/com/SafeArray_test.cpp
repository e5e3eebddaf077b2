// Zentarix — MIT licence.
// SAFEARRAY: reversed bound storage, index order, element ownership, copying and locking.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "zx/com.h"

namespace {

// Counts AddRef/Release so element ownership can be proved balanced.
struct CountingUnknown : IUnknown {
  std::atomic<ULONG> refs{1};
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(SafeArray, CreateStoresBoundsInReverseAndDimensionsFollowThePassedOrder) {
  SAFEARRAYBOUND bounds[2] = {{3, 0}, {5, 10}};  // height 3 from 0, width 5 from 10
  zx::SafeArray sa(SafeArrayCreate(VT_I4, 2, bounds));
  ASSERT_NE(sa.get(), nullptr);
  EXPECT_EQ(sa.get()->cDims, 2);
  EXPECT_EQ(sa.get()->cbElements, 4u);
  EXPECT_EQ(sa.get()->rgsabound[0].cElements, 5u);
  EXPECT_EQ(sa.get()->rgsabound[0].lLbound, 10);
  EXPECT_EQ(sa.get()->rgsabound[1].cElements, 3u);
  LONG lb = -1, ub = -1;
  ASSERT_EQ(SafeArrayGetLBound(sa.get(), 1, &lb), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(sa.get(), 1, &ub), S_OK);
  EXPECT_EQ(lb, 0);
  EXPECT_EQ(ub, 2);
  ASSERT_EQ(SafeArrayGetLBound(sa.get(), 2, &lb), S_OK);
  ASSERT_EQ(SafeArrayGetUBound(sa.get(), 2, &ub), S_OK);
  EXPECT_EQ(lb, 10);
  EXPECT_EQ(ub, 14);
  EXPECT_EQ(SafeArrayGetLBound(sa.get(), 3, &lb), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetLBound(sa.get(), 0, &lb), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetDim(sa.get()), 2u);
  EXPECT_EQ(SafeArrayGetElemsize(sa.get()), 4u);
}

TEST(SafeArray, FirstIndexVariesFastestSoPairIJIsElementIPlusJTimesHeight) {
  const LONG height = 3, width = 4;
  SAFEARRAYBOUND bounds[2] = {{height, 0}, {width, 0}};
  zx::SafeArray sa(SafeArrayCreate(VT_I4, 2, bounds));
  ASSERT_NE(sa.get(), nullptr);
  for (LONG j = 0; j < width; ++j)
    for (LONG i = 0; i < height; ++i) {
      LONG idx[2] = {i, j};
      LONG value = 100 * i + j;
      ASSERT_EQ(SafeArrayPutElement(sa.get(), idx, &value), S_OK);
      void* p = nullptr;
      ASSERT_EQ(SafeArrayPtrOfIndex(sa.get(), idx, &p), S_OK);
      EXPECT_EQ(static_cast<LONG*>(p) - static_cast<LONG*>(sa.get()->pvData), i + j * height);
    }
  const auto* data = static_cast<const LONG*>(sa.get()->pvData);
  EXPECT_EQ(data[1 + 2 * height], 102);
  LONG idx[2] = {2, 3}, out = 0;
  ASSERT_EQ(SafeArrayGetElement(sa.get(), idx, &out), S_OK);
  EXPECT_EQ(out, 203);
  LONG bad[2] = {3, 0};
  EXPECT_EQ(SafeArrayGetElement(sa.get(), bad, &out), DISP_E_BADINDEX);
  LONG neg[2] = {0, -1};
  void* unused = nullptr;
  EXPECT_EQ(SafeArrayPtrOfIndex(sa.get(), neg, &unused), DISP_E_BADINDEX);
}

TEST(SafeArray, LockedArrayRefusesDestructionUntilUnlocked) {
  SAFEARRAY* psa = SafeArrayCreateVector(VT_UI1, 0, 16);
  ASSERT_NE(psa, nullptr);
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
  EXPECT_EQ(data, psa->pvData);
  EXPECT_EQ(psa->cLocks, 1u);
  EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayDestroyData(psa), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayDestroyDescriptor(psa), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayLock(psa), S_OK);
  ASSERT_EQ(SafeArrayUnlock(psa), S_OK);
  ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
  EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED) << "unlocking an unlocked array";
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, LockedArrayInsideAVariantKeepsTheVariantIntact) {
  zx::Variant v;
  v.vt = VT_ARRAY | VT_I4;
  v.parray = SafeArrayCreateVector(VT_I4, 0, 2);
  ASSERT_EQ(SafeArrayLock(v.parray), S_OK);
  EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(v.vt, VT_ARRAY | VT_I4);
  ASSERT_EQ(SafeArrayUnlock(v.parray), S_OK);
}

TEST(SafeArray, VartypeIsStoredInTheFourBytesBeforeTheDescriptor) {
  zx::SafeArray sa(SafeArrayCreateVector(VT_R8, 1, 3));
  ASSERT_NE(sa.get(), nullptr);
  EXPECT_TRUE(sa.get()->fFeatures & FADF_HAVEVARTYPE);
  DWORD hidden = 0;
  std::memcpy(&hidden, reinterpret_cast<const char*>(sa.get()) - 4, 4);
  EXPECT_EQ(hidden, VT_R8);
  VARTYPE vt = 0;
  ASSERT_EQ(SafeArrayGetVartype(sa.get(), &vt), S_OK);
  EXPECT_EQ(vt, VT_R8);

  zx::SafeArray disp(SafeArrayCreateVector(VT_DISPATCH, 0, 1));
  ASSERT_EQ(SafeArrayGetVartype(disp.get(), &vt), S_OK);
  EXPECT_EQ(vt, VT_DISPATCH);
  EXPECT_EQ(disp.get()->fFeatures, FADF_HAVEIID | FADF_DISPATCH | FADF_CREATEVECTOR);
  zx::SafeArray var(SafeArrayCreateVector(VT_VARIANT, 0, 1));
  ASSERT_EQ(SafeArrayGetVartype(var.get(), &vt), S_OK);
  EXPECT_EQ(vt, VT_VARIANT);
  EXPECT_EQ(var.get()->fFeatures, FADF_HAVEVARTYPE | FADF_VARIANT | FADF_CREATEVECTOR);
  EXPECT_EQ(var.get()->cbElements, sizeof(VARIANT));

  SAFEARRAY* bare = nullptr;
  ASSERT_EQ(SafeArrayAllocDescriptor(1, &bare), S_OK);
  EXPECT_EQ(SafeArrayGetVartype(bare, &vt), E_INVALIDARG);
  EXPECT_EQ(SafeArrayDestroyDescriptor(bare), S_OK);
}

TEST(SafeArray, DescriptorsCarryTheTypeAloneAndAcceptEmptyAndNull) {
  const struct {
    VARTYPE vt;
    USHORT features;
    ULONG size;
  } cases[] = {{VT_BSTR, FADF_HAVEVARTYPE, sizeof(BSTR)},  {VT_VARIANT, FADF_HAVEVARTYPE, sizeof(VARIANT)},
               {VT_UNKNOWN, FADF_HAVEIID, sizeof(void*)}, {VT_I4, FADF_HAVEVARTYPE, 4},
               {VT_EMPTY, FADF_HAVEVARTYPE, 0},           {VT_NULL, FADF_HAVEVARTYPE, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.vt);
    SAFEARRAY* psa = nullptr;
    ASSERT_EQ(SafeArrayAllocDescriptorEx(c.vt, 1, &psa), S_OK);
    EXPECT_EQ(psa->fFeatures, c.features);
    EXPECT_EQ(psa->cbElements, c.size);
    EXPECT_EQ(SafeArrayDestroyDescriptor(psa), S_OK);
  }
}

TEST(SafeArray, DescriptorAndDataCanBeBuiltInSteps) {
  SAFEARRAY* psa = nullptr;
  ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_I2, 2, &psa), S_OK);
  psa->rgsabound[0] = {4, 0};
  psa->rgsabound[1] = {2, 1};
  ASSERT_EQ(SafeArrayAllocData(psa), S_OK);
  LONG idx[2] = {2, 3};  // dimension 1 is rgsabound[1]: 1..2; dimension 2 is rgsabound[0]: 0..3
  SHORT v = 77;
  ASSERT_EQ(SafeArrayPutElement(psa, idx, &v), S_OK);
  EXPECT_EQ(static_cast<SHORT*>(psa->pvData)[1 + 3 * 2], 77);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
  SAFEARRAY* none = reinterpret_cast<SAFEARRAY*>(1);
  EXPECT_EQ(SafeArrayAllocDescriptor(0, &none), E_INVALIDARG);
  EXPECT_EQ(none, nullptr) << "a failing call clears the out pointer";
}

TEST(SafeArray, BstrElementsAreCopiedInAndOut) {
  zx::SafeArray sa(SafeArrayCreateVector(VT_BSTR, 0, 2));
  ASSERT_TRUE(sa.get()->fFeatures & FADF_BSTR);
  zx::Bstr in(u"pixel");
  LONG i = 1;
  ASSERT_EQ(SafeArrayPutElement(sa.get(), &i, in.get()), S_OK);
  BSTR stored = static_cast<BSTR*>(sa.get()->pvData)[1];
  EXPECT_NE(stored, in.get()) << "the array owns its own copy";
  ASSERT_EQ(SafeArrayPutElement(sa.get(), &i, in.get()), S_OK) << "replacing frees the old copy";
  zx::Bstr out;
  ASSERT_EQ(SafeArrayGetElement(sa.get(), &i, out.put()), S_OK);
  EXPECT_EQ(out.view(), u"pixel");
  EXPECT_NE(out.get(), static_cast<BSTR*>(sa.get()->pvData)[1]);
  LONG zero = 0;
  zx::Bstr none;
  ASSERT_EQ(SafeArrayGetElement(sa.get(), &zero, none.put()), S_OK);
  EXPECT_EQ(none.get(), nullptr);
}

TEST(SafeArray, InterfaceElementsAreAddRefdAndReleasedBalanced) {
  CountingUnknown obj;
  {
    zx::SafeArray sa(SafeArrayCreateVector(VT_UNKNOWN, 0, 2));
    LONG i = 0;
    ASSERT_EQ(SafeArrayPutElement(sa.get(), &i, static_cast<IUnknown*>(&obj)), S_OK);
    EXPECT_EQ(obj.refs, 2u);
    IUnknown* got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(sa.get(), &i, &got), S_OK);
    EXPECT_EQ(got, &obj);
    EXPECT_EQ(obj.refs, 3u);
    got->Release();
    zx::SafeArray copy;
    ASSERT_EQ(SafeArrayCopy(sa.get(), copy.put()), S_OK);
    EXPECT_EQ(obj.refs, 3u);
    ASSERT_EQ(SafeArrayPutElement(copy.get(), &i, nullptr), S_OK);
    EXPECT_EQ(obj.refs, 2u);
  }
  EXPECT_EQ(obj.refs, 1u);
}

TEST(SafeArray, VariantElementsAndCopiesAreDeep) {
  zx::SafeArray sa(SafeArrayCreateVector(VT_VARIANT, 5, 2));
  zx::Variant v;
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"deep");
  LONG i = 6;
  ASSERT_EQ(SafeArrayPutElement(sa.get(), &i, &v), S_OK);
  zx::SafeArray copy;
  ASSERT_EQ(SafeArrayCopy(sa.get(), copy.put()), S_OK);
  auto* a = static_cast<VARIANT*>(sa.get()->pvData);
  auto* b = static_cast<VARIANT*>(copy.get()->pvData);
  EXPECT_EQ(a[0].vt, VT_EMPTY);
  ASSERT_EQ(b[1].vt, VT_BSTR);
  EXPECT_NE(a[1].bstrVal, b[1].bstrVal);
  EXPECT_EQ(std::u16string(b[1].bstrVal), u"deep");
  EXPECT_EQ(copy.get()->cLocks, 0u);
  LONG lb = 0;
  ASSERT_EQ(SafeArrayGetLBound(copy.get(), 1, &lb), S_OK);
  EXPECT_EQ(lb, 5);
  VARTYPE vt = 0;
  ASSERT_EQ(SafeArrayGetVartype(copy.get(), &vt), S_OK);
  EXPECT_EQ(vt, VT_VARIANT);
  zx::Variant out;
  ASSERT_EQ(SafeArrayGetElement(copy.get(), &i, &out), S_OK);
  EXPECT_EQ(std::u16string(out.bstrVal), u"deep");
}

TEST(SafeArray, CopyOfPlainValuesCopiesTheBytes) {
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 0}};
  zx::SafeArray sa(SafeArrayCreate(VT_I4, 2, bounds));
  auto* d = static_cast<LONG*>(sa.get()->pvData);
  for (int k = 0; k < 6; ++k) d[k] = k * 7 - 3;
  zx::SafeArray copy;
  ASSERT_EQ(SafeArrayCopy(sa.get(), copy.put()), S_OK);
  EXPECT_NE(copy.get()->pvData, sa.get()->pvData);
  EXPECT_EQ(std::memcmp(copy.get()->pvData, d, 24), 0);
  EXPECT_EQ(copy.get()->rgsabound[0].cElements, 3u);
  SAFEARRAY* none = reinterpret_cast<SAFEARRAY*>(1);
  EXPECT_EQ(SafeArrayCopy(nullptr, &none), S_OK);
  EXPECT_EQ(none, nullptr);

  // A fixed-size array's copy may change its size; a descriptor without data is no array to copy.
  sa.get()->fFeatures |= FADF_FIXEDSIZE;
  ASSERT_EQ(SafeArrayCopy(sa.get(), copy.put()), S_OK);
  EXPECT_EQ(copy.get()->fFeatures & FADF_FIXEDSIZE, 0);
  SAFEARRAY* bare = nullptr;
  ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_I4, 1, &bare), S_OK);
  none = reinterpret_cast<SAFEARRAY*>(1);
  EXPECT_EQ(SafeArrayCopy(bare, &none), E_INVALIDARG);
  EXPECT_EQ(none, nullptr);
  SafeArrayDestroyDescriptor(bare);
}

TEST(SafeArray, CreateRefusesUnknownElementTypesAndNoDimensions) {
  SAFEARRAYBOUND b{1, 0};
  EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, &b), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_NULL, 1, &b), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &b), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
}

}  // namespace
