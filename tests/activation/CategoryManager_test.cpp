// Zentarix — MIT licence.
// The standard component category manager: its registry keys and the classes it enumerates.
#include <gtest/gtest.h>

#include "comcat.h"
#include "objbase.h"
#include "temp_registry.h"
#include "zx/com.h"

using namespace zx::test;

namespace {

GUID make(uint32_t n) { return GUID{n, 0x1111, 0x2222, {0x33, 0x33, 0, 0, 0, 0, 0, 0x44}}; }

// The GUIDs an enumerator gives, by their first field: "1 3 5".
std::string drain(IEnumGUID* e) {
  std::string out;
  GUID g;
  while (e->Next(1, &g, nullptr) == S_OK) out += (out.empty() ? "" : " ") + std::to_string(g.Data1);
  return out;
}

class CategoryManager : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_ALL, IID_ICatRegister, m_reg.put_void()),
              S_OK);
    ASSERT_EQ(m_reg.query(m_info), S_OK);
  }
  void TearDown() override {
    m_reg.reset();
    m_info.reset();
    CoUninitialize();
  }
  void implements(uint32_t clsid, std::vector<uint32_t> cats, bool required = false) {
    std::vector<CATID> list;
    for (uint32_t c : cats) list.push_back(make(c));
    ASSERT_EQ(required ? m_reg->RegisterClassReqCategories(make(clsid), ULONG(list.size()), list.data())
                       : m_reg->RegisterClassImplCategories(make(clsid), ULONG(list.size()), list.data()), S_OK);
  }
  std::string classes_of(std::vector<uint32_t> impl, ULONG cReq = ULONG(-1), std::vector<uint32_t> req = {}) {
    std::vector<CATID> i, r;
    for (uint32_t c : impl) i.push_back(make(c));
    for (uint32_t c : req) r.push_back(make(c));
    zx::ComPtr<IEnumGUID> e;
    EXPECT_EQ(m_info->EnumClassesOfCategories(ULONG(i.size()), i.data(), cReq, r.data(), e.put()), S_OK);
    return drain(e.get());
  }

  TempRegistry m_registry;
  zx::ComPtr<ICatRegister> m_reg;
  zx::ComPtr<ICatInformation> m_info;
};

TEST_F(CategoryManager, CategoriesAreRecordedUnderTheirLocaleAndDescribed) {
  CATEGORYINFO info{make(0xCA7), 0x409, {}};
  std::char_traits<char16_t>::copy(info.szDescription, u"Image Encoders for Zentarix", 28);
  ASSERT_EQ(m_reg->RegisterCategories(1, &info), S_OK);
  EXPECT_EQ(m_registry.keys(), "\n[Component Categories]\n\n[Component Categories\\{00000CA7-1111-2222-3333-000000000044}]\n"
                               "\"409\"=\"Image Encoders for Zentarix\"\n");
  LPWSTR desc = nullptr;
  ASSERT_EQ(m_info->GetCategoryDesc(make(0xCA7), 0x409, &desc), S_OK);
  EXPECT_EQ(std::u16string(desc), u"Image Encoders for Zentarix");
  CoTaskMemFree(desc);
  EXPECT_EQ(m_info->GetCategoryDesc(make(0xDEAD), 0x409, &desc), ZX_HR(0x80040160));  // CAT_E_CATIDNOEXIST
  ASSERT_EQ(m_reg->UnRegisterCategories(1, &info.catid), S_OK);
  EXPECT_EQ(m_registry.keys(), "\n[Component Categories]\n");
}

TEST_F(CategoryManager, EnumerationGivesTheClassesImplementingAllAndRequiringNoneElse) {
  implements(1, {0xA});
  implements(2, {0xB});
  implements(3, {0xA, 0xB});
  implements(4, {0xC});
  implements(5, {0xA});
  implements(5, {0xEE}, true);
  ASSERT_EQ(write_default(u"CLSID\\{00000006-1111-2222-3333-000000000044}", u"no categories"), ERROR_SUCCESS);
  EXPECT_EQ(classes_of({0xA}), "1 3 5");
  EXPECT_EQ(classes_of({0xB}), "2 3");
  EXPECT_EQ(classes_of({0xA, 0xB}), "3");
  EXPECT_EQ(classes_of({0xF}), "");
  // A caller that offers no required category gets only the classes that require none.
  EXPECT_EQ(classes_of({0xA}, 0), "1 3");
  EXPECT_EQ(classes_of({0xA}, 1, {0xEE}), "1 3 5");
  EXPECT_EQ(classes_of({0xA}, 1, {0xEF}), "1 3");
  zx::ComPtr<IEnumGUID> e;
  ASSERT_EQ(m_info->EnumReqCategoriesOfClass(make(5), e.put()), S_OK);
  EXPECT_EQ(drain(e.get()), "238");
  EXPECT_TRUE(key_exists(u"CLSID\\{00000003-1111-2222-3333-000000000044}\\Implemented Categories\\"
                         u"{0000000A-1111-2222-3333-000000000044}"));
  const CATID b = make(0xB);
  EXPECT_EQ(m_info->IsClassOfCategories(make(3), 1, &b, ULONG(-1), nullptr), S_OK);
  EXPECT_EQ(m_info->IsClassOfCategories(make(1), 1, &b, ULONG(-1), nullptr), S_FALSE);
  // Unregistering the last category removes the list key; what is not there is no failure.
  CATID a = make(0xA);
  ASSERT_EQ(m_reg->UnRegisterClassImplCategories(make(3), 1, &a), S_OK);
  EXPECT_EQ(classes_of({0xA}), "1 5");
  ASSERT_EQ(m_reg->UnRegisterClassImplCategories(make(3), 1, const_cast<CATID*>(&b)), S_OK);
  EXPECT_FALSE(key_exists(u"CLSID\\{00000003-1111-2222-3333-000000000044}\\Implemented Categories"));
  EXPECT_TRUE(key_exists(u"CLSID\\{00000003-1111-2222-3333-000000000044}"));
  EXPECT_EQ(m_reg->UnRegisterClassImplCategories(make(3), 1, &a), S_OK);
}

TEST_F(CategoryManager, EnumeratorSkipsResetsAndClones) {
  for (uint32_t c : {1, 2, 3}) implements(c, {0xA});
  CATID cat = make(0xA);
  zx::ComPtr<IEnumGUID> e, clone;
  ASSERT_EQ(m_info->EnumClassesOfCategories(1, &cat, ULONG(-1), nullptr, e.put()), S_OK);
  GUID got[4];
  ULONG fetched = 99;
  ASSERT_EQ(e->Next(2, got, &fetched), S_OK);
  EXPECT_EQ(fetched, 2u);
  ASSERT_EQ(e->Clone(clone.put()), S_OK);
  EXPECT_EQ(e->Next(4, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(drain(clone.get()), "3") << "the clone kept the position";
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(2), S_OK);
  EXPECT_EQ(e->Skip(2), S_FALSE);
  e->Reset();
  EXPECT_EQ(drain(e.get()), "1 2 3");
}

}  // namespace
