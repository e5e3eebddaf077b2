// Zentarix — MIT licence.
// Server and the Session/Application state objects.
#include "Server.h"

#include <algorithm>

#include "HostObjects.h"
#include "objbase.h"

namespace zx::script::web {
namespace fs = std::filesystem;
namespace {

std::u16string_view bstr_view(BSTR b) { return b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view(); }

std::u16string lower(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out)
    if (c < 128) c = static_cast<char16_t>(std::tolower(c));
  return out;
}

}  // namespace

std::u16string html_encode(std::u16string_view text) {
  std::u16string out;
  for (char16_t c : text) {
    switch (c) {
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'&': out += u"&amp;"; break;
      case u'"': out += u"&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

HRESULT ServerObject::CreateObject(BSTR ProgID, IDispatch** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(ProgID, &clsid);
  if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(out));
  if (FAILED(hr))
    return host::report(hr, u"Server object, ASP 0177 (0x800401F3)", hr == CO_E_CLASSSTRING ? u"Invalid class string" : u"Server.CreateObject Failed",
                        IID_IServer);
  return S_OK;
}

// "/a/b.jpg" is under the site's root, "b.jpg" beside the page; nothing outside the root.
HRESULT ServerObject::MapPath(BSTR Path, BSTR* out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return zx::boundary([&] {
    const std::string path = zx::to_utf8(bstr_view(Path));
    std::string virt = !path.empty() && (path[0] == '/' || path[0] == '\\') ? path : fs::path(m_page).parent_path().string() + "/" + path;
    std::replace(virt.begin(), virt.end(), '\\', '/');
    const fs::path local = (m_root / fs::path(virt).relative_path()).lexically_normal();
    const std::string r = m_root.lexically_normal().string(), l = local.string();
    const std::string rootNoSlash = !r.empty() && r.back() == '/' && r.size() > 1 ? r.substr(0, r.size() - 1) : r;
    if (l.compare(0, rootNoSlash.size(), rootNoSlash) != 0 || (l.size() > rootNoSlash.size() && l[rootNoSlash.size()] != '/'))
      return host::report(E_INVALIDARG, u"Server.MapPath(), ASP 0175 (0x80004005)",
                          u"The Path parameter for the MapPath method must be a path inside the site.", IID_IServer);
    std::string result = l;
    if (result.size() > rootNoSlash.size() && result.back() == '/') result.pop_back();
    return host::give_text(zx::to_utf16(result), out);
  });
}

HRESULT ServerObject::URLEncode(BSTR Text, BSTR* out) {
  return zx::boundary([&] { return host::give_text(zx::to_utf16(host::url_encode(zx::to_utf8(bstr_view(Text)), false)), out); });
}

HRESULT ServerObject::URLPathEncode(BSTR Text, BSTR* out) {
  return zx::boundary([&] { return host::give_text(zx::to_utf16(host::url_encode(zx::to_utf8(bstr_view(Text)), true)), out); });
}

HRESULT ServerObject::HTMLEncode(BSTR Text, BSTR* out) {
  return zx::boundary([&] { return host::give_text(html_encode(bstr_view(Text)), out); });
}

HRESULT ServerObject::get_ScriptTimeout(LONG* out) {
  if (!out) return E_POINTER;
  *out = m_timeout;
  return S_OK;
}

HRESULT ServerObject::put_ScriptTimeout(LONG seconds) {
  if (seconds <= 0) return host::report(E_INVALIDARG, u"Server object", u"The timeout must be a positive number of seconds.", IID_IServer);
  m_timeout = seconds;
  return S_OK;
}

StateObject::~StateObject() {
  if (m_locked) m_store->pageLock.unlock();
}

HRESULT StateObject::fail(HRESULT hr, const char16_t* text) {
  return host::report(hr, m_session ? u"Session object" : u"Application object", text, IID_IStateObject);
}

HRESULT StateObject::get_Value(BSTR Name, VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  return zx::boundary([&] {
    std::lock_guard lock(m_store->values);
    auto it = m_store->items.find(lower(bstr_view(Name)));
    return it == m_store->items.end() ? S_OK : VariantCopy(out, &it->second.second);
  });
}

HRESULT StateObject::put_Value(BSTR Name, VARIANT value) {
  return zx::boundary([&] {
    const VARIANT& v = value.vt == (VT_BYREF | VT_VARIANT) ? *value.pvarVal : value;
    const VARTYPE base = static_cast<VARTYPE>(v.vt & VT_TYPEMASK);
    if (base == VT_DISPATCH || base == VT_UNKNOWN)
      return fail(E_INVALIDARG, u"Only values, not objects, can be kept here: requests run on several threads.");
    zx::Variant copy;
    if (HRESULT hr = VariantCopyInd(&copy, &v); FAILED(hr)) return hr;
    std::lock_guard lock(m_store->values);
    m_store->items[lower(bstr_view(Name))] = {std::u16string(bstr_view(Name)), copy};
    return S_OK;
  });
}

HRESULT StateObject::get_SessionID(BSTR* out) { return zx::boundary([&] { return host::give_text(zx::to_utf16(m_store->id), out); }); }

HRESULT StateObject::get_Timeout(LONG* out) {
  if (!out) return E_POINTER;
  std::lock_guard lock(m_store->values);
  *out = m_store->timeoutMinutes;
  return S_OK;
}

HRESULT StateObject::put_Timeout(LONG minutes) {
  if (minutes <= 0) return fail(E_INVALIDARG, u"The timeout must be a positive number of minutes.");
  std::lock_guard lock(m_store->values);
  m_store->timeoutMinutes = minutes;
  return S_OK;
}

HRESULT StateObject::Abandon() {
  std::lock_guard lock(m_store->values);
  m_store->abandoned = true;
  return S_OK;
}

HRESULT StateObject::Lock() {
  if (!m_locked) m_store->pageLock.lock();
  m_locked = true;
  return S_OK;
}

HRESULT StateObject::Unlock() {
  if (m_locked) m_store->pageLock.unlock();
  m_locked = false;
  return S_OK;
}

HRESULT StateObject::Remove(BSTR Name) {
  return zx::boundary([&] {
    std::lock_guard lock(m_store->values);
    m_store->items.erase(lower(bstr_view(Name)));
    return S_OK;
  });
}

HRESULT StateObject::RemoveAll() {
  std::lock_guard lock(m_store->values);
  m_store->items.clear();
  return S_OK;
}

HRESULT StateObject::get_Count(LONG* out) {
  if (!out) return E_POINTER;
  std::lock_guard lock(m_store->values);
  *out = static_cast<LONG>(m_store->items.size());
  return S_OK;
}

}  // namespace zx::script::web
