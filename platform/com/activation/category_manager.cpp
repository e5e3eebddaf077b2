// Zentarix — MIT licence.
// The standard component category manager (ICatRegister, ICatInformation) over the class registry.
#include <algorithm>
#include <cstdio>

#include "activation_internal.h"
#include "comcat.h"
#include "object_base.h"
#include "zx/com.h"

namespace zx::activation {
namespace {

constexpr HRESULT CAT_E_CATIDNOEXIST = ZX_HR(0x80040160);
constexpr HRESULT CAT_E_NODESCRIPTION = ZX_HR(0x80040161);
constexpr char16_t kCategories[] = u"Component Categories";
constexpr char16_t kImplemented[] = u"Implemented Categories";
constexpr char16_t kRequired[] = u"Required Categories";

std::u16string lcid_name(LCID lcid) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x", lcid);
  return zx::to_utf16(buf);
}

HRESULT check(LSTATUS s) { return s == ERROR_SUCCESS ? S_OK : hresult_from_status(s); }

// The GUID-named subkeys of a key (names that are not GUIDs are ignored).
std::vector<GUID> guid_subkeys(std::u16string_view path) {
  std::vector<GUID> out;
  for (const auto& name : subkeys_of(path))
    if (auto g = parse_guid(name)) out.push_back(*g);
  return out;
}

// An enumerator over a snapshot of items (GUIDs or category records).
template <class Item, class Enum>
class Enumerator final : public ObjectBase<Enumerator<Item, Enum>, Enum> {
 public:
  Enumerator(std::vector<Item> items, size_t pos = 0) : m_items(std::move(items)), m_pos(pos) {}
  void* find_interface(REFIID riid) {
    return riid == IID_IUnknown || riid == zx::uuid_of<Enum>::value ? static_cast<Enum*>(this) : nullptr;
  }
  STDMETHOD(Next)(ULONG celt, Item* rgelt, ULONG* pceltFetched) override {
    if (!rgelt || (celt > 1 && !pceltFetched)) return E_POINTER;
    ULONG n = 0;
    for (; n < celt && m_pos < m_items.size(); ++n) rgelt[n] = m_items[m_pos++];
    if (pceltFetched) *pceltFetched = n;
    return n == celt ? S_OK : S_FALSE;
  }
  STDMETHOD(Skip)(ULONG celt) override {
    size_t left = m_items.size() - m_pos;
    m_pos += std::min<size_t>(celt, left);
    return celt <= left ? S_OK : S_FALSE;
  }
  STDMETHOD(Reset)() override {
    m_pos = 0;
    return S_OK;
  }
  STDMETHOD(Clone)(Enum** ppenum) override {
    if (!ppenum) return E_POINTER;
    try {
      return Enumerator::create(zx::uuid_of<Enum>::value, reinterpret_cast<void**>(ppenum), m_items, m_pos);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

 private:
  std::vector<Item> m_items;
  size_t m_pos;
};
using GuidEnumerator = Enumerator<GUID, IEnumGUID>;
using CategoryEnumerator = Enumerator<CATEGORYINFO, IEnumCATEGORYINFO>;

bool contains(const std::vector<GUID>& list, const GUID& g) { return std::find(list.begin(), list.end(), g) != list.end(); }

// A class qualifies when it implements every category asked for and requires none outside the
// list given; a count of (ULONG)-1 means "whatever it implements / requires".
bool class_matches(REFCLSID clsid, ULONG cImpl, const CATID* impl, ULONG cReq, const CATID* req) {
  const std::u16string key = u"CLSID\\" + guid_text(clsid);
  if (cImpl != ULONG(-1)) {
    std::vector<GUID> has = guid_subkeys(key + u"\\" + kImplemented);
    for (ULONG i = 0; i < cImpl; ++i)
      if (!contains(has, impl[i])) return false;
  }
  if (cReq != ULONG(-1)) {
    for (const GUID& needed : guid_subkeys(key + u"\\" + kRequired)) {
      bool allowed = false;
      for (ULONG i = 0; i < cReq && !allowed; ++i) allowed = req[i] == needed;
      if (!allowed) return false;
    }
  }
  return true;
}

class CategoryManager final : public ObjectBase<CategoryManager, ICatRegister, ICatInformation> {
 public:
  void* find_interface(REFIID riid) {
    if (riid == IID_IUnknown || riid == IID_ICatRegister) return static_cast<ICatRegister*>(this);
    if (riid == IID_ICatInformation) return static_cast<ICatInformation*>(this);
    return nullptr;
  }

  // ---- ICatRegister ----
  STDMETHOD(RegisterCategories)(ULONG cCategories, CATEGORYINFO rgCategoryInfo[]) override {
    if (cCategories && !rgCategoryInfo) return E_POINTER;
    return guard([&] {
      for (ULONG i = 0; i < cCategories; ++i) {
        const CATEGORYINFO& info = rgCategoryInfo[i];
        std::u16string_view desc(info.szDescription,
                                 std::char_traits<char16_t>::length(info.szDescription) < 128
                                     ? std::char_traits<char16_t>::length(info.szDescription)
                                     : 127);
        HRESULT hr = check(write_value(std::u16string(kCategories) + u"\\" + guid_text(info.catid),
                                       lcid_name(info.lcid), desc));
        if (FAILED(hr)) return hr;
      }
      return S_OK;
    });
  }
  STDMETHOD(UnRegisterCategories)(ULONG cCategories, CATID rgcatid[]) override {
    if (cCategories && !rgcatid) return E_POINTER;
    return guard([&] {
      for (ULONG i = 0; i < cCategories; ++i)
        if (HRESULT hr = check(delete_tree(std::u16string(kCategories) + u"\\" + guid_text(rgcatid[i]))); FAILED(hr))
          return hr;
      return S_OK;
    });
  }
  STDMETHOD(RegisterClassImplCategories)(REFCLSID rclsid, ULONG cCategories, CATID rgcatid[]) override {
    return register_class(rclsid, kImplemented, cCategories, rgcatid);
  }
  STDMETHOD(UnRegisterClassImplCategories)(REFCLSID rclsid, ULONG cCategories, CATID rgcatid[]) override {
    return unregister_class(rclsid, kImplemented, cCategories, rgcatid);
  }
  STDMETHOD(RegisterClassReqCategories)(REFCLSID rclsid, ULONG cCategories, CATID rgcatid[]) override {
    return register_class(rclsid, kRequired, cCategories, rgcatid);
  }
  STDMETHOD(UnRegisterClassReqCategories)(REFCLSID rclsid, ULONG cCategories, CATID rgcatid[]) override {
    return unregister_class(rclsid, kRequired, cCategories, rgcatid);
  }

  // ---- ICatInformation ----
  STDMETHOD(EnumCategories)(LCID lcid, IEnumCATEGORYINFO** ppenum) override {
    if (!ppenum) return E_POINTER;
    *ppenum = nullptr;
    return guard([&] {
      std::vector<CATEGORYINFO> list;
      for (const GUID& catid : guid_subkeys(kCategories)) {
        CATEGORYINFO info{};
        info.catid = catid;
        info.lcid = lcid;
        std::u16string desc;
        if (find_description(catid, lcid, desc, info.lcid) != S_OK) desc.clear();
        size_t n = std::min<size_t>(desc.size(), 127);
        std::memcpy(info.szDescription, desc.data(), n * sizeof(OLECHAR));
        info.szDescription[n] = u'\0';
        list.push_back(info);
      }
      return CategoryEnumerator::create(IID_IEnumCATEGORYINFO, reinterpret_cast<void**>(ppenum), std::move(list));
    });
  }
  STDMETHOD(GetCategoryDesc)(REFCATID rcatid, LCID lcid, LPWSTR* pszDesc) override {
    if (!pszDesc) return E_POINTER;
    *pszDesc = nullptr;
    return guard([&] {
      std::u16string desc;
      LCID found = 0;
      HRESULT hr = find_description(rcatid, lcid, desc, found);
      if (hr != S_OK) return hr;
      return task_mem_string(desc, pszDesc);
    });
  }
  STDMETHOD(EnumClassesOfCategories)(ULONG cImplemented, const CATID rgcatidImpl[], ULONG cRequired,
                                     const CATID rgcatidReq[], IEnumGUID** ppenumClsid) override {
    if (!ppenumClsid) return E_POINTER;
    *ppenumClsid = nullptr;
    if ((cImplemented == 0) || (cImplemented != ULONG(-1) && !rgcatidImpl) ||
        (cRequired != ULONG(-1) && cRequired && !rgcatidReq))
      return E_INVALIDARG;
    return guard([&] {
      std::vector<GUID> classes;
      for (const GUID& clsid : guid_subkeys(u"CLSID"))
        if (class_matches(clsid, cImplemented, rgcatidImpl, cRequired, rgcatidReq)) classes.push_back(clsid);
      return GuidEnumerator::create(IID_IEnumGUID, reinterpret_cast<void**>(ppenumClsid), std::move(classes));
    });
  }
  STDMETHOD(IsClassOfCategories)(REFCLSID rclsid, ULONG cImplemented, const CATID rgcatidImpl[], ULONG cRequired,
                                 const CATID rgcatidReq[]) override {
    if ((cImplemented != ULONG(-1) && cImplemented && !rgcatidImpl) ||
        (cRequired != ULONG(-1) && cRequired && !rgcatidReq))
      return E_INVALIDARG;
    return guard([&] {
      return class_matches(rclsid, cImplemented, rgcatidImpl, cRequired, rgcatidReq) ? S_OK : S_FALSE;
    });
  }
  STDMETHOD(EnumImplCategoriesOfClass)(REFCLSID rclsid, IEnumGUID** ppenumCatid) override {
    return enum_class_categories(rclsid, kImplemented, ppenumCatid);
  }
  STDMETHOD(EnumReqCategoriesOfClass)(REFCLSID rclsid, IEnumGUID** ppenumCatid) override {
    return enum_class_categories(rclsid, kRequired, ppenumCatid);
  }

 private:
  template <class F>
  static HRESULT guard(F&& body) {
    try {
      return body();
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

  static HRESULT register_class(REFCLSID clsid, const char16_t* list, ULONG count, const CATID* catids) {
    if (count && !catids) return E_POINTER;
    return guard([&] {
      const std::u16string key = u"CLSID\\" + guid_text(clsid) + u"\\" + list;
      for (ULONG i = 0; i < count; ++i)
        if (HRESULT hr = check(write_key(key + u"\\" + guid_text(catids[i]), nullptr)); FAILED(hr)) return hr;
      return S_OK;
    });
  }

  static HRESULT unregister_class(REFCLSID clsid, const char16_t* list, ULONG count, const CATID* catids) {
    if (count && !catids) return E_POINTER;
    return guard([&] {
      const std::u16string key = u"CLSID\\" + guid_text(clsid) + u"\\" + list;
      for (ULONG i = 0; i < count; ++i)
        if (HRESULT hr = check(delete_tree(key + u"\\" + guid_text(catids[i]))); FAILED(hr)) return hr;
      // The list key itself goes once it is empty, so an unregistered class leaves nothing behind.
      return check(delete_key_if_empty(key));
    });
  }

  static HRESULT enum_class_categories(REFCLSID clsid, const char16_t* list, IEnumGUID** ppenum) {
    if (!ppenum) return E_POINTER;
    *ppenum = nullptr;
    return guard([&] {
      return GuidEnumerator::create(IID_IEnumGUID, reinterpret_cast<void**>(ppenum),
                                    guid_subkeys(u"CLSID\\" + guid_text(clsid) + u"\\" + list));
    });
  }

  // The description in the locale asked for, else in the locale's primary language, else English
  // (409): the order in which Windows falls back.
  static HRESULT find_description(REFCATID catid, LCID lcid, std::u16string& desc, LCID& found) {
    const std::u16string key = std::u16string(kCategories) + u"\\" + guid_text(catid);
    if (!key_exists(key)) return CAT_E_CATIDNOEXIST;
    for (LCID candidate : {lcid, lcid & 0x3FFu, LCID(0x409)}) {
      if (auto v = read_value(key, lcid_name(candidate))) {
        desc = *v;
        found = candidate;
        return S_OK;
      }
    }
    return CAT_E_NODESCRIPTION;
  }
};

}  // namespace

HRESULT create_category_manager(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer) return CLASS_E_NOAGGREGATION;
  return CategoryManager::create(riid, ppv);
}

}  // namespace zx::activation
