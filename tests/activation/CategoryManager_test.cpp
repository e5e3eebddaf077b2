// Zentarix — MIT licence.
// The standard component category manager: its registry keys and the classes it enumerates.
#include <gtest/gtest.h>

#include <array>
#include <set>
#include <tuple>

#include "comcat.h"
#include "objbase.h"
#include "temp_registry.h"
#include "zx/com.h"

using zx::test::TempRegistry;

// Orders GUIDs for sets (found by argument lookup, so outside the unnamed namespace).
static bool operator<(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof a) < 0; }

namespace {

GUID make(uint32_t n) { return GUID{n, 0x1111, 0x2222, {0x33, 0x33, 0, 0, 0, 0, 0, 0x44}}; }

std::vector<GUID> drain(IEnumGUID* e) {
  std::vector<GUID> out;
  GUID g;
  ULONG fetched = 0;
  while (e->Next(1, &g, &fetched) == S_OK) out.push_back(g);
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
  void register_class(uint32_t clsid, std::initializer_list<uint32_t> cats) {
    std::vector<CATID> list;
    for (uint32_t c : cats) list.push_back(make(c));
    ASSERT_EQ(m_reg->RegisterClassImplCategories(make(clsid), static_cast<ULONG>(list.size()), list.data()), S_OK);
  }
  std::set<GUID> classes_of(std::vector<CATID> impl) {
    zx::ComPtr<IEnumGUID> e;
    EXPECT_EQ(m_info->EnumClassesOfCategories(static_cast<ULONG>(impl.size()), impl.data(), ULONG(-1), nullptr, e.put()),
              S_OK);
    auto v = drain(e.get());
    return std::set<GUID>(v.begin(), v.end());
  }

  TempRegistry m_registry;
  zx::ComPtr<ICatRegister> m_reg;
  zx::ComPtr<ICatInformation> m_info;
};

TEST_F(CategoryManager, CategoriesAreRecordedUnderTheirLocaleAndDescribed) {
  CATEGORYINFO info{};
  info.catid = make(0xCA7);
  info.lcid = 0x409;
  std::char_traits<char16_t>::copy(info.szDescription, u"Image Encoders for Zentarix", 28);
  ASSERT_EQ(m_reg->RegisterCategories(1, &info), S_OK);
  EXPECT_EQ(zx::test::read_default(u"Component Categories\\{00000CA7-1111-2222-3333-000000000044}", u"409"),
            u"Image Encoders for Zentarix");
  LPWSTR desc = nullptr;
  ASSERT_EQ(m_info->GetCategoryDesc(make(0xCA7), 0x409, &desc), S_OK);
  EXPECT_EQ(std::u16string(desc), u"Image Encoders for Zentarix");
  CoTaskMemFree(desc);
  EXPECT_EQ(m_info->GetCategoryDesc(make(0xDEAD), 0x409, &desc), ZX_HR(0x80040160));  // CAT_E_CATIDNOEXIST

  CATID gone = make(0xCA7);
  ASSERT_EQ(m_reg->UnRegisterCategories(1, &gone), S_OK);
  EXPECT_FALSE(zx::test::key_exists(u"Component Categories\\{00000CA7-1111-2222-3333-000000000044}"));
}

TEST_F(CategoryManager, EnumerationGivesExactlyTheClassesOfTheCategory) {
  register_class(1, {0xA});
  register_class(2, {0xB});
  register_class(3, {0xA, 0xB});
  register_class(4, {0xC});
  register_class(5, {0xA});
  ASSERT_EQ(zx::test::write_default(u"CLSID\\{00000006-1111-2222-3333-000000000044}", u"no categories"), ERROR_SUCCESS);

  EXPECT_EQ(classes_of({make(0xA)}), (std::set<GUID>{make(1), make(3), make(5)}));
  EXPECT_EQ(classes_of({make(0xB)}), (std::set<GUID>{make(2), make(3)}));
  EXPECT_EQ(classes_of({make(0xA), make(0xB)}), (std::set<GUID>{make(3)}));
  EXPECT_EQ(classes_of({make(0xF)}), std::set<GUID>{});
  EXPECT_EQ(zx::test::read_default(u"CLSID\\{00000003-1111-2222-3333-000000000044}\\Implemented Categories\\"
                                   u"{0000000A-1111-2222-3333-000000000044}"),
            u"<missing>");  // the key exists without a value
  EXPECT_TRUE(zx::test::key_exists(
      u"CLSID\\{00000003-1111-2222-3333-000000000044}\\Implemented Categories\\{0000000A-1111-2222-3333-000000000044}"));
  EXPECT_EQ(m_info->IsClassOfCategories(make(3), 1, std::array{make(0xB)}.data(), ULONG(-1), nullptr), S_OK);
  EXPECT_EQ(m_info->IsClassOfCategories(make(1), 1, std::array{make(0xB)}.data(), ULONG(-1), nullptr), S_FALSE);
}

TEST_F(CategoryManager, EnumeratorSkipsResetsAndClones) {
  register_class(1, {0xA});
  register_class(2, {0xA});
  register_class(3, {0xA});
  CATID cat = make(0xA);
  zx::ComPtr<IEnumGUID> e;
  ASSERT_EQ(m_info->EnumClassesOfCategories(1, &cat, ULONG(-1), nullptr, e.put()), S_OK);
  GUID got[4];
  ULONG fetched = 99;
  ASSERT_EQ(e->Next(2, got, &fetched), S_OK);
  EXPECT_EQ(fetched, 2u);
  zx::ComPtr<IEnumGUID> clone;
  ASSERT_EQ(e->Clone(clone.put()), S_OK);
  EXPECT_EQ(e->Next(4, got, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(clone->Next(1, got, &fetched), S_OK);  // the clone kept the position
  EXPECT_EQ(got[0], make(3));
  EXPECT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Skip(2), S_OK);
  EXPECT_EQ(e->Skip(2), S_FALSE);
  e->Reset();
  EXPECT_EQ(drain(e.get()).size(), 3u);
}

TEST_F(CategoryManager, UnregisteringTheLastCategoryRemovesTheListKey) {
  register_class(7, {0xA, 0xB});
  CATID a = make(0xA), b = make(0xB);
  ASSERT_EQ(m_reg->UnRegisterClassImplCategories(make(7), 1, &a), S_OK);
  EXPECT_TRUE(zx::test::key_exists(u"CLSID\\{00000007-1111-2222-3333-000000000044}\\Implemented Categories"));
  EXPECT_EQ(classes_of({a}), std::set<GUID>{});
  ASSERT_EQ(m_reg->UnRegisterClassImplCategories(make(7), 1, &b), S_OK);
  EXPECT_FALSE(zx::test::key_exists(u"CLSID\\{00000007-1111-2222-3333-000000000044}\\Implemented Categories"));
  EXPECT_TRUE(zx::test::key_exists(u"CLSID\\{00000007-1111-2222-3333-000000000044}"));
  // Unregistering what is not there is no failure.
  EXPECT_EQ(m_reg->UnRegisterClassImplCategories(make(7), 1, &b), S_OK);
}

TEST_F(CategoryManager, RequiredCategoriesLimitTheClassesFound) {
  register_class(1, {0xA});
  register_class(2, {0xA});
  CATID req = make(0xEE);
  ASSERT_EQ(m_reg->RegisterClassReqCategories(make(2), 1, &req), S_OK);
  CATID impl = make(0xA);
  zx::ComPtr<IEnumGUID> e;
  // A caller that offers no required category gets only the classes that require none.
  ASSERT_EQ(m_info->EnumClassesOfCategories(1, &impl, 0, nullptr, e.put()), S_OK);
  EXPECT_EQ(drain(e.get()), std::vector<GUID>{make(1)});
  ASSERT_EQ(m_info->EnumClassesOfCategories(1, &impl, 1, &req, e.put()), S_OK);
  EXPECT_EQ(drain(e.get()), (std::vector<GUID>{make(1), make(2)}));
  ASSERT_EQ(m_info->EnumReqCategoriesOfClass(make(2), e.put()), S_OK);
  EXPECT_EQ(drain(e.get()), std::vector<GUID>{req});
}

}  // namespace
