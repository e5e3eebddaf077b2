// Zentarix — MIT licence.
// SAFEARRAY: reversed bound storage, index order, element ownership, copying and locking.
#include "ComTestSupport.h"

namespace {
using namespace zxtest;

std::string bounds_of(SAFEARRAY* psa) {
  std::string out;
  for (UINT d = 1; d <= SafeArrayGetDim(psa); ++d) {
    LONG lb = 0, ub = 0;
    EXPECT_EQ(SafeArrayGetLBound(psa, d, &lb) | SafeArrayGetUBound(psa, d, &ub), S_OK);
    out += std::to_string(lb) + ".." + std::to_string(ub) + " ";
  }
  return out;
}

TEST(SafeArray, BoundsAreStoredInReverseAndTheFirstIndexVariesFastest) {
  SAFEARRAYBOUND bounds[2] = {{3, 0}, {4, 10}};  // height 3 from 0, width 4 from 10
  zx::SafeArray sa(SafeArrayCreate(VT_I4, 2, bounds));
  ASSERT_NE(sa.get(), nullptr);
  EXPECT_EQ(sa.get()->rgsabound[0].cElements, 4u);
  EXPECT_EQ(sa.get()->rgsabound[0].lLbound, 10);
  EXPECT_EQ(bounds_of(sa.get()), "0..2 10..13 ");
  EXPECT_EQ(SafeArrayGetElemsize(sa.get()), 4u);
  LONG lb;
  EXPECT_EQ(SafeArrayGetLBound(sa.get(), 3, &lb), DISP_E_BADINDEX);
  EXPECT_EQ(SafeArrayGetLBound(sa.get(), 0, &lb), DISP_E_BADINDEX);
  for (LONG j = 10; j < 14; ++j)
    for (LONG i = 0; i < 3; ++i) {
      LONG idx[2] = {i, j}, value = 100 * i + j;
      ASSERT_EQ(SafeArrayPutElement(sa.get(), idx, &value), S_OK);
      void* p = nullptr;
      ASSERT_EQ(SafeArrayPtrOfIndex(sa.get(), idx, &p), S_OK);
      EXPECT_EQ(static_cast<LONG*>(p) - static_cast<LONG*>(sa.get()->pvData), i + (j - 10) * 3);
    }
  LONG idx[2] = {2, 13}, out = 0;
  ASSERT_EQ(SafeArrayGetElement(sa.get(), idx, &out), S_OK);
  EXPECT_EQ(out, 213);
  const LONG bad[][2] = {{3, 10}, {0, 14}, {-1, 10}, {0, 9}};
  void* unused;
  for (const auto& b : bad) EXPECT_EQ(SafeArrayPtrOfIndex(sa.get(), const_cast<LONG*>(b), &unused), DISP_E_BADINDEX);
  // Built in steps: descriptor first, bounds set by hand in storage order, then the data.
  SAFEARRAY* psa = nullptr;
  ASSERT_EQ(SafeArrayAllocDescriptorEx(VT_I2, 2, &psa), S_OK);
  psa->rgsabound[0] = {4, 0};
  psa->rgsabound[1] = {2, 1};
  ASSERT_EQ(SafeArrayAllocData(psa), S_OK);
  LONG at[2] = {2, 3};
  SHORT v = 77;
  ASSERT_EQ(SafeArrayPutElement(psa, at, &v), S_OK);
  EXPECT_EQ(static_cast<SHORT*>(psa->pvData)[1 + 3 * 2], 77);
  EXPECT_EQ(SafeArrayDestroy(psa), S_OK);
}

TEST(SafeArray, TypesAndFeaturesAreRecordedAndBadShapesRefused) {
  const struct {
    VARTYPE vt;
    USHORT features;
    ULONG size;
  } cases[] = {{VT_BSTR, FADF_HAVEVARTYPE, sizeof(BSTR)},  {VT_VARIANT, FADF_HAVEVARTYPE, sizeof(VARIANT)},
               {VT_UNKNOWN, FADF_HAVEIID, sizeof(void*)}, {VT_I4, FADF_HAVEVARTYPE, 4},
               {VT_EMPTY, FADF_HAVEVARTYPE, 0},           {VT_NULL, FADF_HAVEVARTYPE, 0}};
  for (const auto& c : cases) {
    SAFEARRAY* psa = nullptr;
    ASSERT_EQ(SafeArrayAllocDescriptorEx(c.vt, 1, &psa), S_OK);
    EXPECT_EQ(psa->fFeatures, c.features) << c.vt;
    EXPECT_EQ(psa->cbElements, c.size) << c.vt;
    EXPECT_EQ(SafeArrayDestroyDescriptor(psa), S_OK);
  }
  zx::SafeArray r8(SafeArrayCreateVector(VT_R8, 1, 3)), disp(SafeArrayCreateVector(VT_DISPATCH, 0, 1)),
      var(SafeArrayCreateVector(VT_VARIANT, 0, 1));
  DWORD hidden = 0;
  std::memcpy(&hidden, reinterpret_cast<const char*>(r8.get()) - 4, 4);
  EXPECT_EQ(hidden, VT_R8) << "the type sits in the four bytes before the descriptor";
  VARTYPE vt = 0;
  ASSERT_EQ(SafeArrayGetVartype(disp.get(), &vt), S_OK);
  EXPECT_EQ(vt, VT_DISPATCH);
  EXPECT_EQ(disp.get()->fFeatures, FADF_HAVEIID | FADF_DISPATCH | FADF_CREATEVECTOR);
  EXPECT_EQ(var.get()->fFeatures, FADF_HAVEVARTYPE | FADF_VARIANT | FADF_CREATEVECTOR);
  SAFEARRAY* bare = reinterpret_cast<SAFEARRAY*>(1);
  EXPECT_EQ(SafeArrayAllocDescriptor(0, &bare), E_INVALIDARG);
  EXPECT_EQ(bare, nullptr) << "a failing call clears the out pointer";
  ASSERT_EQ(SafeArrayAllocDescriptor(1, &bare), S_OK);
  EXPECT_EQ(SafeArrayGetVartype(bare, &vt), E_INVALIDARG);
  SAFEARRAY* none = reinterpret_cast<SAFEARRAY*>(1);
  EXPECT_EQ(SafeArrayCopy(bare, &none), E_INVALIDARG) << "a descriptor without data is no array to copy";
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(SafeArrayDestroyDescriptor(bare), S_OK);
  SAFEARRAYBOUND b{1, 0};
  EXPECT_EQ(SafeArrayCreate(VT_EMPTY, 1, &b), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_NULL, 1, &b), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &b), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);
}

TEST(SafeArray, ALockedArrayRefusesDestructionAndKeepsItsVariant) {
  zx::Variant v;
  v.vt = VT_ARRAY | VT_UI1;
  v.parray = SafeArrayCreateVector(VT_UI1, 0, 16);
  SAFEARRAY* psa = v.parray;
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(psa, &data), S_OK);
  EXPECT_EQ(data, psa->pvData);
  EXPECT_EQ(psa->cLocks, 1u);
  EXPECT_EQ(SafeArrayDestroy(psa), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayDestroyData(psa), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(SafeArrayDestroyDescriptor(psa), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(v.vt, VT_ARRAY | VT_UI1);
  ASSERT_EQ(SafeArrayLock(psa), S_OK);
  ASSERT_EQ(SafeArrayUnlock(psa), S_OK);
  ASSERT_EQ(SafeArrayUnaccessData(psa), S_OK);
  EXPECT_EQ(SafeArrayUnlock(psa), E_UNEXPECTED) << "unlocking an unlocked array";
}

TEST(SafeArray, ElementsAreOwnedCopiedDeepAndReleasedBalanced) {
  CountingUnknown obj;
  {
    zx::SafeArray strings(SafeArrayCreateVector(VT_BSTR, 0, 2));
    zx::Bstr in(u"pixel"), out, none;
    LONG i = 1, zero = 0;
    ASSERT_EQ(SafeArrayPutElement(strings.get(), &i, in.get()), S_OK);
    EXPECT_NE(static_cast<BSTR*>(strings.get()->pvData)[1], in.get()) << "the array owns its own copy";
    ASSERT_EQ(SafeArrayPutElement(strings.get(), &i, in.get()), S_OK) << "replacing frees the old copy";
    ASSERT_EQ(SafeArrayGetElement(strings.get(), &i, out.put()), S_OK);
    EXPECT_EQ(out.view(), u"pixel");
    EXPECT_NE(out.get(), static_cast<BSTR*>(strings.get()->pvData)[1]);
    ASSERT_EQ(SafeArrayGetElement(strings.get(), &zero, none.put()), S_OK);
    EXPECT_EQ(none.get(), nullptr);

    zx::SafeArray objects(SafeArrayCreateVector(VT_UNKNOWN, 0, 2)), copy;
    ASSERT_EQ(SafeArrayPutElement(objects.get(), &zero, static_cast<IUnknown*>(&obj)), S_OK);
    IUnknown* got = nullptr;
    ASSERT_EQ(SafeArrayGetElement(objects.get(), &zero, &got), S_OK);
    EXPECT_EQ(obj.refs, 3u);
    got->Release();
    ASSERT_EQ(SafeArrayCopy(objects.get(), copy.put()), S_OK);
    EXPECT_EQ(obj.refs, 3u);
    ASSERT_EQ(SafeArrayPutElement(copy.get(), &zero, nullptr), S_OK);
    EXPECT_EQ(obj.refs, 2u);

    zx::SafeArray variants(SafeArrayCreateVector(VT_VARIANT, 5, 2)), vcopy;
    LONG six = 6;
    zx::Variant deep = str(u"deep");
    ASSERT_EQ(SafeArrayPutElement(variants.get(), &six, &deep), S_OK);
    ASSERT_EQ(SafeArrayCopy(variants.get(), vcopy.put()), S_OK);
    auto* a = static_cast<VARIANT*>(variants.get()->pvData);
    auto* b = static_cast<VARIANT*>(vcopy.get()->pvData);
    EXPECT_EQ(show(a[0]) + "," + show(b[1]), "EMPTY,BSTR 'deep'");
    EXPECT_NE(a[1].bstrVal, b[1].bstrVal);
    EXPECT_EQ(bounds_of(vcopy.get()), "5..6 ");
    EXPECT_EQ(vcopy.get()->cLocks, 0u);
  }
  EXPECT_EQ(obj.refs, 1u);
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 0}};
  zx::SafeArray plain(SafeArrayCreate(VT_I4, 2, bounds)), copy;
  for (int k = 0; k < 6; ++k) static_cast<LONG*>(plain.get()->pvData)[k] = k * 7 - 3;
  plain.get()->fFeatures |= FADF_FIXEDSIZE;
  ASSERT_EQ(SafeArrayCopy(plain.get(), copy.put()), S_OK);
  EXPECT_NE(copy.get()->pvData, plain.get()->pvData);
  EXPECT_EQ(std::memcmp(copy.get()->pvData, plain.get()->pvData, 24), 0);
  EXPECT_EQ(bounds_of(copy.get()), "0..1 0..2 ");
  EXPECT_EQ(copy.get()->fFeatures & FADF_FIXEDSIZE, 0) << "a fixed-size array's copy may change its size";
  SAFEARRAY* none = reinterpret_cast<SAFEARRAY*>(1);
  EXPECT_EQ(SafeArrayCopy(nullptr, &none), S_OK);
  EXPECT_EQ(none, nullptr);
}

}  // namespace
