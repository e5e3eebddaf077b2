// Zentarix — MIT licence.
// RasterCollection and RasterItem through the public surface: the stack, lookups, keys, the
// enumerator, forwarding, and Combine.
#include "CollectionTestSupport.h"

namespace zx::test {
namespace {

// Keys in position order, and whether each item's Index field equals its position.
std::vector<std::u16string> keys(IRasterCollection* collection) {
  LONG count = 0;
  EXPECT_EQ(collection->get_Count(&count), S_OK);
  std::vector<std::u16string> out;
  for (LONG i = 0; i < count; ++i) {
    ComPtr<IRasterItem> item = item_at(collection, i);
    LONG index = -1;
    EXPECT_EQ(item->get_Index(&index), S_OK);
    EXPECT_EQ(index, i);
    out.push_back(key_of(item.get()));
  }
  return out;
}

using Keys = std::vector<std::u16string>;

TEST(RasterCollection, KeysIndexFieldsAndDefaults) {
  ComPtr<IRasterCollection> c = make_collection();
  ComPtr<IRasterItem> first = add_item(c.get());
  add_item(c.get());
  EXPECT_EQ(keys(c.get()), (Keys{u"RasterObject0", u"RasterObject1"}));
  VARIANT_BOOL visible = 0;
  BYTE opacity = 0;
  CombineModes mode = cmDissolve;
  LONG x = 9, y = 9;
  ASSERT_EQ(first->get_IsVisible(&visible), S_OK);
  first->get_opacity(&opacity);
  first->get_Mode(&mode);
  first->get_OffsetX(&x);
  first->get_OffsetY(&y);
  EXPECT_EQ(std::vector<LONG>({visible, opacity, mode, x, y}), std::vector<LONG>({1, 255, cmAlphaBlend, 0, 0}));
  EXPECT_EQ(first->get_IsVisible(nullptr), E_INVALIDARG);
  EXPECT_EQ(first->get_Index(nullptr), E_POINTER);

  // A removed item lives on without a parent; the next key skips the one still taken.
  ASSERT_EQ(c->Remove(i4(0)), S_OK);
  LONG index = -1;
  EXPECT_EQ(first->get_Index(&index), S_OK);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(first->put_Key(Bstr(u"RasterObject1").get()), S_OK);
  add_item(c.get());
  EXPECT_EQ(keys(c.get()), (Keys{u"RasterObject1", u"RasterObject2"}));

  // Insertion in the middle, and an Index out of range appends.
  ComPtr<IRasterItem> inserted;
  ASSERT_EQ(c->Add(1, inserted.put()), S_OK);
  ASSERT_EQ(inserted->put_Key(Bstr(u"mid").get()), S_OK);
  ASSERT_EQ(c->Add(7, inserted.put()), S_OK);
  EXPECT_EQ(keys(c.get()), (Keys{u"RasterObject1", u"mid", u"RasterObject2", u"RasterObject3"}));
}

TEST(RasterCollection, MoveShiftsTheItemsBetween) {
  ComPtr<IRasterCollection> c = make_collection();
  for (int i = 0; i < 4; ++i) add_item(c.get());
  ASSERT_EQ(c->Move(i4(0), 3), S_OK);
  EXPECT_EQ(keys(c.get()), (Keys{u"RasterObject1", u"RasterObject2", u"RasterObject3", u"RasterObject0"}));
  ASSERT_EQ(c->Move(text(u"RasterObject0"), 1), S_OK);
  ASSERT_EQ(c->Move(i4(2), 2), S_OK);
  EXPECT_EQ(keys(c.get()), (Keys{u"RasterObject1", u"RasterObject0", u"RasterObject2", u"RasterObject3"}));
  // NewIndex is checked before the lookup, and answered without a record.
  clear_error();
  EXPECT_EQ(c->Move(text(u"no such key"), 4), E_INVALIDARG);
  EXPECT_FALSE(take_error().present);
  expect_collection_error(c->Move(text(u"no such key"), 0), ZX_HR(0xA0000039));
}

// An object whose default value is a given VARIANT (or the object itself), as scripts pass them.
class DefaultValue final : public IDispatch {
 public:
  explicit DefaultValue(Variant value, bool self = false) : m_value(std::move(value)), m_self(self) {}
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
    *ppv = this;
    return S_OK;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHOD(Invoke)(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
    if (!m_self) return VariantCopy(result, &m_value);
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = this;
    return S_OK;
  }

 private:
  Variant m_value;
  bool m_self;
};

TEST(RasterCollection, LookupsByPositionKeyAndDefaultValue) {
  ComPtr<IRasterCollection> c = make_collection();
  for (int i = 0; i < 3; ++i) add_item(c.get());
  DefaultValue keyObject(text(u"RasterObject1")), itself(Variant(), true);
  Variant real, null, nullString, object, loop;
  V_VT(&real) = VT_R8;
  V_R8(&real) = 1.6;  // rounds to 2
  V_VT(&null) = VT_NULL;
  V_VT(&nullString) = VT_BSTR;
  V_BSTR(&nullString) = nullptr;
  V_VT(&object) = VT_DISPATCH;
  V_DISPATCH(&object) = &keyObject;
  V_VT(&loop) = VT_DISPATCH;
  V_DISPATCH(&loop) = &itself;
  struct Case {
    const char* name;
    const VARIANT* index;
    HRESULT hr;
    LONG position;
  };
  const Variant one = i4(1), five = i4(5), key = text(u"RasterObject2"), two = text(u"2"), seven = text(u"7"),
                word = text(u"x");
  const Case cases[] = {
      {"position", &one, S_OK, 1},          {"position out of range", &five, ZX_HR(0xA0000038), -1},
      {"key", &key, S_OK, 2},               {"number text", &two, S_OK, 2},
      {"number text out of range", &seven, ZX_HR(0xA0000038), -1},
      {"unknown key", &word, ZX_HR(0xA0000039), -1},
      {"null", &null, ZX_HR(0xA0000066), -1}, {"null string", &nullString, E_POINTER, -1},
      {"converted", &real, S_OK, 2},        {"default value", &object, S_OK, 1},
      {"default value of itself", &loop, DISP_E_TYPEMISMATCH, -1},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ComPtr<IRasterItem> item;
    const HRESULT hr = c->get_Item(*test.index, item.put());
    if (test.position < 0) {
      expect_collection_report(hr, test.hr, u"Cannot get access to the item. Probably the index is out of bounds");
      EXPECT_EQ(c->Remove(*test.index), test.hr);
      continue;
    }
    ASSERT_EQ(hr, S_OK);
    LONG index = -1;
    item->get_Index(&index);
    EXPECT_EQ(index, test.position);
  }
  expect_collection_report(c->get_Item(one, nullptr), E_POINTER,
                           u"Cannot get access to the item. Probably the index is out of bounds");
  expect_collection_error(c->Remove(five), ZX_HR(0xA0000038));
}

TEST(RasterCollection, KeyThatAnyLookupFindsIsRefused) {
  ComPtr<IRasterCollection> c = make_collection();
  for (int i = 0; i < 3; ++i) add_item(c.get());
  ComPtr<IRasterItem> item = item_at(c.get(), 0);
  for (const char16_t* taken : {u"2", u"RasterObject0", u"RasterObject1"}) {
    SCOPED_TRACE(to_utf8(taken));
    expect_collection_error(item->put_Key(Bstr(taken).get()), ZX_HR(0xA0000039), IID_IRasterItem);
    EXPECT_EQ(key_of(item.get()), u"RasterObject0");
  }
  ASSERT_EQ(item->put_Key(Bstr(u"sky").get()), S_OK);
  EXPECT_EQ(key_of(item_at(c.get(), 0).get()), u"sky");
  ASSERT_EQ(item->put_Key(nullptr), S_OK);
  Bstr none;
  EXPECT_EQ(item->get_Key(none.put()), S_OK);
  EXPECT_EQ(none.get(), nullptr);
}

// For Each through IDispatch: _NewEnum (DISPID_NEWENUM), then IEnumVARIANT handing out the items.
TEST(RasterCollection, ForEachThroughNewEnumVisitsTheItemsInOrder) {
  ComPtr<IRasterCollection> c = make_collection();
  for (int i = 0; i < 3; ++i) add_item(c.get());
  DISPPARAMS none{};
  Variant enumerable;
  ASSERT_EQ(c->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &enumerable,
                      nullptr, nullptr),
            S_OK);
  ASSERT_EQ(V_VT(&enumerable), VT_UNKNOWN);
  ComPtr<IEnumVARIANT> walk;
  ASSERT_EQ(V_UNKNOWN(&enumerable)->QueryInterface(IID_IEnumVARIANT, walk.put_void()), S_OK);
  ASSERT_EQ(c->Remove(i4(0)), S_OK);  // the walk keeps the items it started with
  Keys seen;
  for (Variant element; walk->Next(1, &element, nullptr) == S_OK; element = Variant()) {
    ASSERT_EQ(V_VT(&element), VT_DISPATCH);
    ComPtr<IRasterItem> item;
    ASSERT_EQ(V_DISPATCH(&element)->QueryInterface(IID_IRasterItem, item.put_void()), S_OK);
    seen.push_back(key_of(item.get()));
  }
  EXPECT_EQ(seen, (Keys{u"RasterObject0", u"RasterObject1", u"RasterObject2"}));
  VARIANT rest[2];
  ULONG fetched = 9;
  ASSERT_EQ(walk->Reset(), S_OK);
  ASSERT_EQ(walk->Skip(2), S_OK);
  EXPECT_EQ(walk->Next(2, rest, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  VariantClear(&rest[0]);
}

TEST(RasterItem, ForwardsTheRasterMembersToItsRasterObject) {
  ComPtr<IRasterCollection> c = make_collection();
  ComPtr<IRasterItem> item = add_item(c.get(), 3, 2, std::vector<uint32_t>(6, 0xFF112233));
  ComPtr<IRasterObject> inner;
  ASSERT_EQ(item->get_RasterObject(inner.put()), S_OK);
  EXPECT_EQ(read_pixels(inner.get()), std::vector<uint32_t>(6, 0xFF112233));
  ComPtr<IRasterObject> asRaster;
  ASSERT_EQ(item->QueryInterface(IID_IRasterObject, asRaster.put_void()), S_OK);
  EXPECT_EQ(asRaster.get(), static_cast<IRasterObject*>(item.get()));
  // Late-bound, as a script reaches an inherited member.
  DISPID id = 0;
  LPOLESTR name = const_cast<LPOLESTR>(u"width");
  ASSERT_EQ(item->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  DISPPARAMS none{};
  Variant width;
  ASSERT_EQ(item->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &width, nullptr, nullptr), S_OK);
  EXPECT_EQ(V_I4(&width), 3);
  ASSERT_EQ(item->put_RasterObject(make_raster(1, 1, {0xFF000000}).get()), S_OK);
  EXPECT_EQ(read_pixels(item.get()), std::vector<uint32_t>{0xFF000000});
  ASSERT_EQ(item->put_RasterObject(nullptr), S_OK);
  EXPECT_EQ(item->get_Width(&width.lVal), E_FAIL);
}

// ---- Combine --------------------------------------------------------------------------------------

constexpr uint32_t kBlack = 0xFF000000, kWhite = 0xFFFFFFFF;

ComPtr<IRasterObject> combined(IRasterCollection* c) {
  ComPtr<IRasterObject> result;
  EXPECT_EQ(c->Combine(result.put()), S_OK);
  return result;
}

TEST(RasterCollection, CombineBackgroundAlone) {
  ComPtr<IRasterCollection> c = make_collection();
  ComPtr<IRasterItem> background = add_item(c.get(), 2, 1, {0xFF102030, 0x40506070});
  background->put_HorizontalResolution(300);
  background->put_VerticalResolution(150);
  background->put_OffsetX(1);  // item 0's offset, mode and opacity are never used
  background->put_Mode(static_cast<CombineModes>(7));
  ComPtr<IRasterObject> result = combined(c.get());
  EXPECT_EQ(read_pixels(result.get()), (std::vector<uint32_t>{0xFF102030, 0x40506070}));
  FLOAT dpiX = 0, dpiY = 0;
  OutputFileTypes type = oftUnknown;
  result->get_HorizontalResolution(&dpiX);
  result->get_VerticalResolution(&dpiY);
  result->get_OutputFileType(&type);
  EXPECT_EQ(std::vector<float>({dpiX, dpiY, float(type)}), std::vector<float>({300, 150, float(oftJPEG)}));

  background->put_IsVisible(0);
  EXPECT_EQ(read_pixels(combined(c.get()).get()), std::vector<uint32_t>(2, kWhite));
  c->put_BackgroundColor(0x11223344);
  EXPECT_EQ(read_pixels(combined(c.get()).get()), std::vector<uint32_t>(2, 0x11223344));
}

TEST(RasterCollection, CombineLayersWithTheirPlacementsAndModes) {
  struct Case {
    const char* name;
    CombineModes mode;
    BYTE opacity;
    LONG x, y;
    std::vector<uint32_t> expected;  // 3 x 2 canvas after one 2 x 2 white layer
  };
  const uint32_t k = kBlack, w = kWhite, o = 0xFFFEFEFE;
  const Case cases[] = {
      {"clipped at the left, moved down", cmAlphaBlend, 255, -1, 1, {k, k, k, w, k, k}},
      {"wholly outside", cmAlphaBlend, 255, 3, 0, {k, k, k, k, k, k}},
      {"opacity 0", cmAlphaBlend, 0, 0, 0, {k, k, k, k, k, k}},
      {"or stops one short", cmORBlend, 255, 1, 0, {k, o, o, k, o, o}},
      {"dissolve at opacity 0", cmDissolve, 0, 0, 0, {k, k, k, k, k, k}},
      {"dissolve at full opacity", cmDissolve, 255, 0, 0, {w, w, k, w, w, k}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ComPtr<IRasterCollection> c = make_collection();
    add_item(c.get(), 3, 2, std::vector<uint32_t>(6, kBlack));
    ComPtr<IRasterItem> layer = add_item(c.get(), 2, 2, std::vector<uint32_t>(4, kWhite));
    add_item(c.get());                                                  // no image: skipped
    add_item(c.get(), 3, 2, std::vector<uint32_t>(6, 0xFF00FF00))->put_IsVisible(0);  // invisible: skipped
    layer->put_Mode(test.mode);
    layer->put_opacity(test.opacity);
    layer->put_OffsetX(test.x);
    layer->put_OffsetY(test.y);
    EXPECT_EQ(read_pixels(combined(c.get()).get()), test.expected);
  }
}

TEST(RasterCollection, CombineFailuresLeaveTheResultUntouched) {
  const std::u16string noMode = u"Zentarix does not support such a mode!";
  IRasterObject* const sentinel = reinterpret_cast<IRasterObject*>(0x1234);
  IRasterObject* result = sentinel;
  ComPtr<IRasterCollection> c = make_collection();
  EXPECT_EQ(c->Combine(nullptr), E_INVALIDARG);
  expect_report(c->Combine(&result), DISP_E_EXCEPTION, u"Cannot combine: collection does not contain any items!",
                GUID_NULL, kCollectionSource);
  ComPtr<IRasterItem> background = add_item(c.get());
  expect_collection_report(c->Combine(&result), E_FAIL, u"Cannot combine! Background data is not loaded!");
  background->put_IsVisible(0);
  expect_collection_report(c->Combine(&result), E_FAIL,
                           gdiplus_message(u"Combine", u"ObjectCollection", u"Invalid parameter. GDI+ status code 2"));
  background->put_IsVisible(1);
  background->EmptyImage(2, 2, static_cast<LONG>(kBlack));
  ComPtr<IRasterItem> layer = add_item(c.get(), 1, 1, {kWhite});
  for (LONG mode : {5, 7, -1}) {
    layer->put_Mode(static_cast<CombineModes>(mode));
    expect_collection_report(c->Combine(&result), E_FAIL, noMode);
  }
  background->put_RasterObject(nullptr);
  EXPECT_EQ(c->Combine(&result), E_FAIL);
  EXPECT_EQ(result, sentinel);
}

}  // namespace
}  // namespace zx::test
