// Zentarix — MIT licence.
// Scripting.Dictionary: an insertion-ordered map of VARIANT keys to VARIANT items, with its VB errors.
#include <cmath>
#include <cwctype>
#include <list>
#include <unordered_map>

#include "activation_internal.h"
#include "object_base.h"
// The interface as the IDL declares it (the same vtable as scrrun.h, which clients include); the
// dispatch table comes from the same IDL, so the two cannot drift apart.
#include "scrrun_idl.h"
#include "zx/com.h"

namespace zx::activation {

const CLSID kDictionaryClsid = CLSID_Dictionary;

namespace {

// Visual Basic run-time errors, as the scripting runtime returns them.
constexpr HRESULT kIllegalCall = ZX_HR(0x800A0005);     // 5
constexpr HRESULT kTypeMismatch = ZX_HR(0x800A000D);    // 13
constexpr HRESULT kKeyExists = ZX_HR(0x800A01C9);       // 457
constexpr HRESULT kElementNotFound = ZX_HR(0x800A802B); // 32811
constexpr char16_t kSource[] = u"Scripting.Dictionary";

HRESULT fail(HRESULT hr) { return report_runtime_error(hr, kSource, IID_IDictionary); }

std::u16string fold_text(std::u16string_view s) {
  std::u16string out(s);
  for (auto& c : out)
    if (c < 0xD800 || c > 0xDFFF) {
      auto low = std::towlower(static_cast<wint_t>(c));
      if (low < 0x10000) c = static_cast<char16_t>(low);
    }
  return out;
}

// A key reduced to what makes two keys the same: numbers by value (1 and 1.0 are one key; the text
// "1" is another), texts by characters (folded in text mode), objects by identity.
struct KeyId {
  enum Kind : uint8_t { Empty, Null, Number, Text, Object, Error } kind = Empty;
  double number = 0;
  std::u16string text;
  const void* object = nullptr;

  bool operator==(const KeyId& o) const {
    return kind == o.kind && number == o.number && text == o.text && object == o.object;
  }
};

struct KeyIdHash {
  size_t operator()(const KeyId& k) const {
    size_t h = std::hash<int>()(k.kind);
    h ^= std::hash<double>()(k.number) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    h ^= std::hash<std::u16string>()(k.text) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    h ^= std::hash<const void*>()(k.object) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h;
  }
};

// Reads a key argument: by-reference values are followed, arrays refused.
HRESULT read_key(const VARIANT* in, bool text, Variant& value, KeyId& id) {
  if (!in) return E_POINTER;
  HRESULT hr = VariantCopyInd(&value, in);
  if (FAILED(hr)) return hr;
  if (value.vt == (VT_BYREF | VT_VARIANT)) return kTypeMismatch;
  if (value.vt & VT_ARRAY) return kTypeMismatch;
  switch (value.vt) {
    case VT_EMPTY: id.kind = KeyId::Empty; return S_OK;
    case VT_NULL: id.kind = KeyId::Null; return S_OK;
    case VT_ERROR:
      id.kind = KeyId::Error;
      id.number = value.scode;
      return S_OK;
    case VT_BSTR:
      id.kind = KeyId::Text;
      id.text = value.bstrVal ? std::u16string(value.bstrVal, SysStringLen(value.bstrVal)) : std::u16string();
      if (text) id.text = fold_text(id.text);
      return S_OK;
    case VT_UNKNOWN:
    case VT_DISPATCH: {
      id.kind = KeyId::Object;
      if (value.punkVal) {
        zx::ComPtr<IUnknown> identity;
        if (SUCCEEDED(value.punkVal->QueryInterface(IID_IUnknown, identity.put_void()))) id.object = identity.get();
      }
      return S_OK;
    }
    default: {
      Variant number;
      if (FAILED(VariantChangeType(&number, &value, 0, VT_R8))) return kTypeMismatch;
      id.kind = KeyId::Number;
      id.number = number.dblVal == 0 ? 0.0 : number.dblVal;  // -0 and 0 are one key
      return S_OK;
    }
  }
}

class Dictionary final : public DispatchObject<Dictionary, IDictionary> {
 public:
  // ---- IDictionary ----
  STDMETHOD(putref_Item)(VARIANT* Key, VARIANT* pRetItem) override { return put(Key, pRetItem); }
  STDMETHOD(put_Item)(VARIANT* Key, VARIANT* pRetItem) override { return put(Key, pRetItem); }

  STDMETHOD(get_Item)(VARIANT* Key, VARIANT* pRetItem) override {
    if (!pRetItem) return E_POINTER;
    return boundary([&] {
      Variant key;
      KeyId id;
      if (HRESULT hr = read_key(Key, text_mode(), key, id); FAILED(hr)) return fail(hr);
      auto it = m_index.find(id);
      // Reading a key that is not there adds it with an empty item, as the scripting runtime does.
      if (it == m_index.end()) it = insert(std::move(id), key, Variant());
      VariantInit(pRetItem);
      return VariantCopy(pRetItem, &it->second->item);
    });
  }

  STDMETHOD(Add)(VARIANT* Key, VARIANT* Item) override {
    return boundary([&] {
      Variant key, item;
      KeyId id;
      if (HRESULT hr = read_key(Key, text_mode(), key, id); FAILED(hr)) return fail(hr);
      if (m_index.count(id)) return fail(kKeyExists);
      if (Item)
        if (HRESULT hr = VariantCopyInd(&item, Item); FAILED(hr)) return hr;
      insert(std::move(id), key, item);
      return S_OK;
    });
  }

  STDMETHOD(get_Count)(LONG* pCount) override {
    if (!pCount) return E_POINTER;
    *pCount = static_cast<LONG>(m_entries.size());
    return S_OK;
  }

  STDMETHOD(Exists)(VARIANT* Key, VARIANT_BOOL* pExists) override {
    if (!pExists) return E_POINTER;
    return boundary([&] {
      Variant key;
      KeyId id;
      if (HRESULT hr = read_key(Key, text_mode(), key, id); FAILED(hr)) return fail(hr);
      *pExists = m_index.count(id) ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }

  STDMETHOD(Items)(VARIANT* pItemsArray) override {
    return boundary([&] { return to_array(pItemsArray, [](const Entry& e) -> const VARIANT& { return e.item; }); });
  }
  STDMETHOD(Keys)(VARIANT* pKeysArray) override {
    return boundary([&] { return to_array(pKeysArray, [](const Entry& e) -> const VARIANT& { return e.key; }); });
  }

  STDMETHOD(put_Key)(VARIANT* Key, VARIANT* rhs) override {
    return boundary([&] {
      Variant oldKey, newKey;
      KeyId oldId, newId;
      if (HRESULT hr = read_key(Key, text_mode(), oldKey, oldId); FAILED(hr)) return fail(hr);
      if (HRESULT hr = read_key(rhs, text_mode(), newKey, newId); FAILED(hr)) return fail(hr);
      auto it = m_index.find(oldId);
      if (it == m_index.end()) return fail(kElementNotFound);
      if (m_index.count(newId)) return fail(kKeyExists);
      // The entry keeps its place in the order; only its key changes.
      auto entry = it->second;
      m_index.emplace(std::move(newId), entry);
      m_index.erase(oldId);
      entry->key = newKey;
      return S_OK;
    });
  }

  STDMETHOD(Remove)(VARIANT* Key) override {
    return boundary([&] {
      Variant key;
      KeyId id;
      if (HRESULT hr = read_key(Key, text_mode(), key, id); FAILED(hr)) return fail(hr);
      auto it = m_index.find(id);
      if (it == m_index.end()) return fail(kElementNotFound);
      m_entries.erase(it->second);
      m_index.erase(it);
      return S_OK;
    });
  }

  STDMETHOD(RemoveAll)() override {
    m_index.clear();
    m_entries.clear();
    return S_OK;
  }

  // Values above 2 name locale-specific text comparisons on Windows; all of them compare as text
  // here. Database comparison (2) is text comparison too.
  STDMETHOD(put_CompareMode)(CompareMethod pcomp) override {
    if (pcomp < BinaryCompare) return fail(kIllegalCall);
    if (!m_entries.empty()) return fail(kIllegalCall);
    m_mode = pcomp;
    return S_OK;
  }
  STDMETHOD(get_CompareMode)(CompareMethod* pcomp) override {
    if (!pcomp) return E_POINTER;
    *pcomp = m_mode;
    return S_OK;
  }

  STDMETHOD(_NewEnum)(IUnknown** ppunk) override {
    if (!ppunk) return E_POINTER;
    *ppunk = nullptr;
    // The enumerator walks the keys as they were when it was made; later changes do not disturb it.
    return boundary([&] {
      std::vector<Variant> keys;
      keys.reserve(m_entries.size());
      for (const auto& e : m_entries) keys.push_back(e.key);
      return VariantEnumerator::create(IID_IUnknown, reinterpret_cast<void**>(ppunk), std::move(keys), size_t{0});
    });
  }

  // The bucket a key falls in (0 to 1200), stable for equal keys under the current compare mode.
  STDMETHOD(get_HashVal)(VARIANT* Key, VARIANT* HashVal) override {
    if (!HashVal) return E_POINTER;
    return boundary([&] {
      Variant key;
      KeyId id;
      if (HRESULT hr = read_key(Key, text_mode(), key, id); FAILED(hr)) return fail(hr);
      uint32_t h = 2166136261u;
      auto mix = [&](uint32_t v) { h = (h ^ v) * 16777619u; };
      mix(id.kind);
      if (id.kind == KeyId::Text)
        for (char16_t c : id.text) mix(c);
      if (id.kind == KeyId::Number || id.kind == KeyId::Error) {
        uint64_t bits;
        std::memcpy(&bits, &id.number, sizeof bits);
        mix(static_cast<uint32_t>(bits));
        mix(static_cast<uint32_t>(bits >> 32));
      }
      if (id.kind == KeyId::Object) mix(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(id.object) >> 4));
      VariantInit(HashVal);
      HashVal->vt = VT_I4;
      HashVal->lVal = static_cast<LONG>(h % 1201);
      return S_OK;
    });
  }

 private:
  struct Entry {
    Variant key;
    Variant item;
  };
  using EntryList = std::list<Entry>;

  bool text_mode() const { return m_mode != BinaryCompare; }

  std::unordered_map<KeyId, EntryList::iterator, KeyIdHash>::iterator insert(KeyId id, const Variant& key,
                                                                              const Variant& item) {
    m_entries.push_back(Entry{key, item});
    try {
      return m_index.emplace(std::move(id), std::prev(m_entries.end())).first;
    } catch (...) {
      m_entries.pop_back();
      throw;
    }
  }

  HRESULT put(VARIANT* Key, VARIANT* value) {
    return boundary([&] {
      Variant key, item;
      KeyId id;
      if (HRESULT hr = read_key(Key, text_mode(), key, id); FAILED(hr)) return fail(hr);
      if (value)
        if (HRESULT hr = VariantCopyInd(&item, value); FAILED(hr)) return hr;
      auto it = m_index.find(id);
      if (it == m_index.end())
        insert(std::move(id), key, item);
      else
        it->second->item = item;
      return S_OK;
    });
  }

  template <class Pick>
  HRESULT to_array(VARIANT* out, Pick pick) {
    if (!out) return E_POINTER;
    zx::SafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(m_entries.size())));
    if (!array.get()) return E_OUTOFMEMORY;
    {
      HRESULT hr = S_OK;
      zx::SafeArrayAccess access(array.get(), hr);
      if (FAILED(hr)) return hr;
      auto* slots = static_cast<VARIANT*>(access.data());
      size_t i = 0;
      for (const auto& e : m_entries)
        if (HRESULT copy = VariantCopy(&slots[i++], &pick(e)); FAILED(copy)) return copy;
    }
    VariantInit(out);
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = array.detach();
    return S_OK;
  }

  EntryList m_entries;
  std::unordered_map<KeyId, EntryList::iterator, KeyIdHash> m_index;
  CompareMethod m_mode = BinaryCompare;
};

}  // namespace

HRESULT create_dictionary(IUnknown* outer, REFIID riid, void** ppv) {
  if (outer) return CLASS_E_NOAGGREGATION;
  return Dictionary::create(riid, ppv);
}

}  // namespace zx::activation
