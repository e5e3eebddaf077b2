// Zentarix — MIT licence.
// What the generator emits for the test IDL: GUIDs, enumerations, module constants and the tables.
#include <gtest/gtest.h>

#include <string>

#include "dispatch_test.h"

namespace {

std::u16string s(const OLECHAR* p) { return p ? std::u16string(p) : std::u16string(); }

TEST(GeneratedHeader, GuidsEnumsAndModuleConstantsCarryTheIdlValues) {
  constexpr GUID expected = {0x5B0A3C41, 0x2D7E, 0x4F1A, {0x9C, 0x3B, 0x7E, 0x1D, 0x2A, 0x4B, 0x6C, 0x03}};
  static_assert(IID_ITester == expected);
  static_assert(ZX_UUIDOF(ITesterEx).Data4[7] == 0x04);
  static_assert(CLSID_HiddenTester.Data4[7] == 0x06 && LIBID_DispatchTest.Data4[7] == 0x01);
  static_assert(skNone == -1 && skSquare == 16 && skCircle == 17 && skAll == 48);
  static_assert(sizeof(ShapeKinds) == 4);
  static_assert(tmRed == -65536 && tmMask == -16777216);
  EXPECT_EQ(tmPi, 3.25);
  EXPECT_EQ(s(tmName), u"T\u00e9st");
  // The module function is declared with C linkage and the IDL's types.
  static_assert(std::is_same_v<decltype(&TestAdd), HRESULT (*)(BYTE, BYTE, LONG*)>);
}

TEST(GeneratedTables, DerivedInterfaceListsBaseMembersFirstInVtableOrder) {
  const ZX_DISPATCH_TABLE& base = zx::dispatch_table_of<ITester>::value;
  const ZX_DISPATCH_TABLE& derived = zx::dispatch_table_of<ITesterEx>::value;
  EXPECT_EQ(*base.iid, IID_ITester);
  EXPECT_EQ(s(derived.name), u"ITesterEx");
  ASSERT_EQ(derived.cMembers, base.cMembers + 1);
  for (UINT i = 0; i < base.cMembers; ++i) {
    EXPECT_EQ(derived.members[i].dispid, base.members[i].dispid);
    EXPECT_EQ(derived.members[i].thunk, base.members[i].thunk) << i;
  }
  const ZX_MEMBER_DESC& extra = derived.members[base.cMembers];
  EXPECT_EQ(s(extra.name), u"Extra");
  EXPECT_EQ(extra.dispid, 20);
  // Width: get then put, one dispid.
  EXPECT_EQ(s(base.members[2].name), u"Width");
  EXPECT_EQ(base.members[2].invkind, ZX_INVOKE_PROPERTYGET);
  EXPECT_EQ(base.members[3].invkind, ZX_INVOKE_PROPERTYPUT);
  EXPECT_EQ(base.members[2].dispid, base.members[3].dispid);
}

// What Invoke cannot show: the coclass and library descriptors.
TEST(GeneratedTables, CoclassesAndLibraryDescriptor) {
  ASSERT_EQ(dispatch_test_coclass_count, 2u);
  const ZX_COCLASS_DESC& tester = dispatch_test_coclasses[0];
  EXPECT_EQ(*tester.clsid, CLSID_Tester);
  EXPECT_EQ(s(tester.name) + u"|" + s(tester.helpString), u"Tester|Tester class");
  ASSERT_EQ(tester.cInterfaces, 3u);
  EXPECT_EQ(*tester.interfaces[0].iid, IID_ITester);
  EXPECT_EQ(std::to_string(tester.noncreatable) + std::to_string(dispatch_test_coclasses[1].noncreatable) +
                std::to_string(tester.interfaces[0].isDefault) + std::to_string(tester.interfaces[2].isDefault),
            "0110");
  const ZX_TYPELIB_DESC& lib = dispatch_test_typelib;
  EXPECT_EQ(*lib.libid, LIBID_DispatchTest);
  EXPECT_EQ(s(lib.name) + u" " + s(lib.helpString), u"DispatchTest Dispatch test library");
  EXPECT_EQ(lib.wMajorVerNum * 10 + lib.wMinorVerNum, 10);
  ASSERT_EQ(lib.cInterfaces, 3u);
  EXPECT_TRUE(lib.interfaces[0].oleautomation && lib.interfaces[1].oleautomation);  // IHelper, dual ITester
}

}  // namespace

// The module function the header declares; defined here so the declaration is checked by a definition.
STDAPI TestAdd(BYTE a, BYTE b, LONG* r) {
  if (!r) return E_POINTER;
  *r = a + b;
  return S_OK;
}
