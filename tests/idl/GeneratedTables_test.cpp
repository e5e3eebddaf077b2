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

TEST(GeneratedTables, ParametersCarryTypesFlagsAndDefaults) {
  const ZX_MEMBER_DESC& m = zx::dispatch_table_of<ITester>::value.members[0];
  ASSERT_EQ(s(m.name), u"Defaults");
  ASSERT_EQ(m.cParams, 7);
  EXPECT_EQ(m.params[0].vt, VT_I4);
  EXPECT_EQ(m.params[0].flags, ZX_PARAM_IN);
  EXPECT_EQ(m.params[1].flags, ZX_PARAM_IN | ZX_PARAM_OPTIONAL | ZX_PARAM_HASDEFAULT);
  EXPECT_EQ(m.params[1].defaultValue->vt, VT_I4);
  EXPECT_EQ(m.params[1].defaultValue->lVal, -7);
  EXPECT_EQ(s(m.params[2].defaultValue->bstrVal), u"dflt");
  EXPECT_EQ(m.params[3].defaultValue->dblVal, 2.5);
  EXPECT_EQ(m.params[4].defaultValue->lVal, skCircle);  // an enumeration member by name
  EXPECT_EQ(m.params[5].vt, VT_I2);
  EXPECT_EQ(m.params[5].flags & ZX_PARAM_OPTIONAL, ZX_PARAM_OPTIONAL);  // [defaultvalue] alone implies it
  EXPECT_EQ(m.params[6].vt, VT_BYREF | VT_BSTR);
  EXPECT_EQ(m.params[6].flags, ZX_PARAM_OUT | ZX_PARAM_RETVAL);

  const ZX_DISPATCH_TABLE& t = zx::dispatch_table_of<ITester>::value;
  const ZX_MEMBER_DESC* sum = nullptr;
  const ZX_MEMBER_DESC* connect = nullptr;
  for (UINT i = 0; i < t.cMembers; ++i) {
    if (s(t.members[i].name) == u"SumArray") sum = &t.members[i];
    if (s(t.members[i].name) == u"Connect") connect = &t.members[i];
  }
  ASSERT_TRUE(sum && connect);
  EXPECT_EQ(sum->params[0].vt, VT_ARRAY | VT_I4);
  EXPECT_EQ(sum->params[1].vt, VT_BYREF | VT_ARRAY | VT_I4);
  EXPECT_EQ(connect->params[0].vt, VT_UNKNOWN);  // IHelper derives from IUnknown
  EXPECT_EQ(*connect->params[0].iid, IID_IHelper);
  EXPECT_EQ(connect->params[1].vt, VT_DISPATCH);
}

TEST(GeneratedTables, CoclassesAndLibraryDescriptor) {
  ASSERT_EQ(dispatch_test_coclass_count, 2u);
  const ZX_COCLASS_DESC& tester = dispatch_test_coclasses[0];
  EXPECT_EQ(*tester.clsid, CLSID_Tester);
  EXPECT_EQ(s(tester.name), u"Tester");
  EXPECT_EQ(s(tester.helpString), u"Tester class");
  EXPECT_FALSE(tester.noncreatable);
  ASSERT_EQ(tester.cInterfaces, 3u);
  EXPECT_EQ(*tester.interfaces[0].iid, IID_ITester);
  EXPECT_TRUE(tester.interfaces[0].isDefault);
  EXPECT_FALSE(tester.interfaces[2].isDefault);
  EXPECT_TRUE(dispatch_test_coclasses[1].noncreatable);

  EXPECT_EQ(*dispatch_test_typelib.libid, LIBID_DispatchTest);
  EXPECT_EQ(dispatch_test_typelib.wMajorVerNum, 1);
  EXPECT_EQ(dispatch_test_typelib.wMinorVerNum, 0);
  EXPECT_EQ(s(dispatch_test_typelib.name), u"DispatchTest");
  EXPECT_EQ(s(dispatch_test_typelib.helpString), u"Dispatch test library");
  ASSERT_EQ(dispatch_test_typelib.cInterfaces, 3u);
  EXPECT_TRUE(dispatch_test_typelib.interfaces[0].oleautomation);  // IHelper is [oleautomation]
  EXPECT_TRUE(dispatch_test_typelib.interfaces[1].oleautomation);  // ITester is dual
}

}  // namespace

// The module function the header declares; defined here so the declaration is checked by a definition.
STDAPI TestAdd(BYTE a, BYTE b, LONG* r) {
  if (!r) return E_POINTER;
  *r = a + b;
  return S_OK;
}
