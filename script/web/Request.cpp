// Zentarix — MIT licence.
// Request: collections built on first use, the body read once either as a form or as bytes (as the
// server always enforced), and a read-only stream over the body for components.
#include "Request.h"

#include <algorithm>
#include <cstring>

#include "HostObjects.h"
#include "objbase.h"

namespace zx::script::web {
namespace {

using host::give_text;

constexpr char16_t kSource[] = u"Request object";

std::u16string_view bstr_view(BSTR b) { return b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view(); }

bool same_ci(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
           auto low = [](char16_t c) { return c < 128 ? static_cast<char16_t>(std::tolower(c)) : c; };
           return low(x) == low(y);
         });
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::u16string url_decode(std::string_view s) {
  std::string bytes;
  bytes.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') bytes += ' ';
    else if (s[i] == '%' && i + 2 < s.size() && hex_digit(s[i + 1]) >= 0 && hex_digit(s[i + 2]) >= 0) {
      bytes += static_cast<char>(hex_digit(s[i + 1]) * 16 + hex_digit(s[i + 2]));
      i += 2;
    } else bytes += s[i];
  }
  return zx::to_utf16(bytes);
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// The value of `name=` in a header's parameters ("form-data; name="photo"; filename="a.jpg"").
std::string header_parameter(std::string_view header, std::string_view name) {
  for (size_t at = 0; (at = header.find(name, at)) != std::string_view::npos; at += name.size()) {
    if (at > 0 && header[at - 1] != ' ' && header[at - 1] != ';') continue;
    size_t i = at + name.size();
    if (i >= header.size() || header[i] != '=') continue;
    ++i;
    if (i < header.size() && header[i] == '"') {
      const size_t close = header.find('"', i + 1);
      return std::string(header.substr(i + 1, (close == std::string_view::npos ? header.size() : close) - i - 1));
    }
    const size_t end = header.find(';', i);
    return std::string(trim(header.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i)));
  }
  return {};
}

// One string list: Item() joins the values, Item(n) is the n-th from 1.
class StringList final : public zx::DispatchObject<StringList, IStringList> {
 public:
  explicit StringList(std::vector<std::u16string> values) : m_values(std::move(values)) {}
  STDMETHOD(get_Item)(VARIANT Index, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    return zx::boundary([&]() -> HRESULT {
      const VARIANT& v = Index.vt == (VT_BYREF | VT_VARIANT) ? *Index.pvarVal : Index;
      if (v.vt == VT_ERROR || v.vt == VT_EMPTY) {
        if (m_values.empty()) return S_OK;  // Empty: the name was given no value
        std::u16string joined;
        for (size_t i = 0; i < m_values.size(); ++i) joined += (i ? u", " : u"") + m_values[i];
        out->vt = VT_BSTR;
        return give_text(joined, &out->bstrVal);
      }
      zx::Variant n;
      if (FAILED(VariantChangeType(&n, &v, 0, VT_I4)) || n.lVal < 1 || static_cast<size_t>(n.lVal) > m_values.size())
        return host::report(E_INVALIDARG, u"Request object", u"The index is out of range.", IID_IStringList);
      out->vt = VT_BSTR;
      return give_text(m_values[static_cast<size_t>(n.lVal) - 1], &out->bstrVal);
    });
  }
  STDMETHOD(get_Count)(LONG* out) override {
    if (!out) return E_POINTER;
    *out = static_cast<LONG>(m_values.size());
    return S_OK;
  }
  STDMETHOD(get__NewEnum)(IUnknown** out) override {
    return zx::boundary([&] {
      return zx::VariantEnumerator::create(IID_IUnknown, reinterpret_cast<void**>(out), host::texts(m_values), size_t{0});
    });
  }

 private:
  std::vector<std::u16string> m_values;
};

HRESULT give_list(const std::vector<std::u16string>* values, VARIANT* out) {
  if (!values) return S_OK;  // a name the request does not have reads as Empty
  out->vt = VT_DISPATCH;
  return StringList::create(IID_IDispatch, reinterpret_cast<void**>(&out->pdispVal), *values);
}

class RequestDictionary final : public zx::DispatchObject<RequestDictionary, IRequestDictionary> {
 public:
  RequestDictionary(NameValues values, std::u16string whole) : m_values(std::move(values)), m_whole(std::move(whole)) {}
  STDMETHOD(get_Item)(VARIANT Key, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    return zx::boundary([&]() -> HRESULT {
      const VARIANT& v = Key.vt == (VT_BYREF | VT_VARIANT) ? *Key.pvarVal : Key;
      if (v.vt == VT_ERROR || v.vt == VT_EMPTY) {
        out->vt = VT_BSTR;
        return give_text(m_whole, &out->bstrVal);
      }
      if (v.vt == VT_BSTR) return give_list(m_values.find(bstr_view(v.bstrVal)), out);
      size_t index = 0;
      if (HRESULT hr = position(v, &index); FAILED(hr)) return hr;
      return give_list(&m_values.entries[index].second, out);
    });
  }
  STDMETHOD(get_Count)(LONG* out) override {
    if (!out) return E_POINTER;
    *out = static_cast<LONG>(m_values.entries.size());
    return S_OK;
  }
  STDMETHOD(get_Key)(VARIANT Index, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    return zx::boundary([&]() -> HRESULT {
      size_t index = 0;
      if (HRESULT hr = position(Index.vt == (VT_BYREF | VT_VARIANT) ? *Index.pvarVal : Index, &index); FAILED(hr)) return hr;
      out->vt = VT_BSTR;
      return give_text(m_values.entries[index].first, &out->bstrVal);
    });
  }
  STDMETHOD(get__NewEnum)(IUnknown** out) override {
    return zx::boundary([&] {
      std::vector<std::u16string> names;
      for (const auto& e : m_values.entries) names.push_back(e.first);
      return zx::VariantEnumerator::create(IID_IUnknown, reinterpret_cast<void**>(out), host::texts(names), size_t{0});
    });
  }

 private:
  HRESULT position(const VARIANT& v, size_t* index) {
    zx::Variant n;
    if (FAILED(VariantChangeType(&n, &v, 0, VT_I4)) || n.lVal < 1 || static_cast<size_t>(n.lVal) > m_values.entries.size())
      return host::report(E_INVALIDARG, kSource, u"The index is out of range.", IID_IRequestDictionary);
    *index = static_cast<size_t>(n.lVal) - 1;
    return S_OK;
  }
  NameValues m_values;
  std::u16string m_whole;
};

HRESULT make_dictionary(zx::ComPtr<IRequestDictionary>& slot, IRequestDictionary** out, NameValues values, std::u16string whole) {
  if (!out) return E_POINTER;
  *out = nullptr;
  return zx::boundary([&] {
    if (!slot) {
      HRESULT hr = RequestDictionary::create(IID_IRequestDictionary, slot.put_void(), std::move(values), std::move(whole));
      if (FAILED(hr)) return hr;
    }
    return slot.copy_to(out);
  });
}

}  // namespace

const std::string& RequestData::variable(std::string_view name) const {
  static const std::string none;
  for (const auto& [n, v] : variables)
    if (n == name) return v;
  return none;
}

void NameValues::add(std::u16string name, std::u16string value) {
  for (auto& e : entries)
    if (same_ci(e.first, name)) {
      e.second.push_back(std::move(value));
      return;
    }
  entries.push_back({std::move(name), {std::move(value)}});
}

const std::vector<std::u16string>* NameValues::find(std::u16string_view name) const {
  for (const auto& e : entries)
    if (same_ci(e.first, name)) return &e.second;
  return nullptr;
}

NameValues parse_urlencoded(std::string_view text) {
  NameValues out;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find('&', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view pair = text.substr(start, end - start);
    if (!pair.empty()) {
      const size_t eq = pair.find('=');
      out.add(url_decode(pair.substr(0, eq)), eq == std::string_view::npos ? std::u16string() : url_decode(pair.substr(eq + 1)));
    }
    start = end + 1;
  }
  return out;
}

NameValues parse_cookies(std::string_view text) {
  NameValues out;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view pair = trim(text.substr(start, end - start));
    const size_t eq = pair.find('=');
    if (eq != std::string_view::npos && eq > 0) out.add(url_decode(pair.substr(0, eq)), url_decode(pair.substr(eq + 1)));
    start = end + 1;
  }
  return out;
}

bool parse_multipart(std::string_view contentType, std::string_view body, MultipartForm* form) {
  const std::string boundary = header_parameter(contentType, "boundary");
  if (boundary.empty()) return false;
  const std::string delimiter = "--" + boundary;
  size_t at = body.find(delimiter);
  bool haveFile = false;
  while (at != std::string_view::npos) {
    size_t i = at + delimiter.size();
    if (body.compare(i, 2, "--") == 0) {
      form->complete = true;
      break;
    }
    const size_t headEnd = body.find("\r\n\r\n", i);
    if (headEnd == std::string_view::npos) break;
    const std::string_view head = body.substr(i, headEnd - i);
    const size_t next = body.find("\r\n" + delimiter, headEnd + 4);
    if (next == std::string_view::npos) break;  // a part without its end: the upload was cut off
    const std::string_view content = body.substr(headEnd + 4, next - headEnd - 4);
    std::string disposition;
    for (size_t l = 0; l < head.size();) {
      size_t e = head.find("\r\n", l);
      if (e == std::string_view::npos) e = head.size();
      std::string_view line = head.substr(l, e - l);
      if (line.size() > 20 && std::equal(line.begin(), line.begin() + 20, "content-disposition:",
                                         [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; }))
        disposition = std::string(line.substr(20));
      l = e + 2;
    }
    const std::string name = header_parameter(disposition, "name");
    if (disposition.find("filename=") != std::string::npos) {
      form->fields.add(zx::to_utf16(name), zx::to_utf16(header_parameter(disposition, "filename")));
      if (!haveFile) form->file = std::string(content);
      haveFile = true;
    } else if (!name.empty()) {
      form->fields.add(zx::to_utf16(name), zx::to_utf16(content));
    }
    at = next + 2;
  }
  return true;
}

RequestObject::RequestObject(std::shared_ptr<const RequestData> data) : m_data(std::move(data)) {
  const std::string& type = m_data->variable("CONTENT_TYPE");
  if (type.compare(0, 19, "multipart/form-data") == 0) m_isMultipart = parse_multipart(type, m_data->body, &m_multipart);
}

void* RequestObject::find_interface(REFIID riid) {
  if (riid == IID_IStream || riid == IID_ISequentialStream) return static_cast<IStream*>(this);
  return DispatchObject::find_interface(riid);
}

HRESULT RequestObject::fail(HRESULT hr, const char16_t* text) { return host::report(hr, kSource, text, IID_IRequest); }

HRESULT RequestObject::get_Item(BSTR Name, VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  return zx::boundary([&]() -> HRESULT {
    // The server's order: QueryString, Form, Cookies, ServerVariables; the first that has the name.
    zx::ComPtr<IRequestDictionary> sets[4];
    HRESULT hr = get_QueryString(sets[0].put());
    // A body already read with BinaryRead has no form to look in; that is not an error here.
    if (SUCCEEDED(hr) && !m_binaryRead) hr = form(sets[1].put());
    if (SUCCEEDED(hr)) hr = get_Cookies(sets[2].put());
    if (SUCCEEDED(hr)) hr = get_ServerVariables(sets[3].put());
    if (FAILED(hr)) return hr;
    VARIANT key;
    key.vt = VT_BSTR;
    key.bstrVal = Name;
    for (auto& set : sets) {
      if (!set) continue;
      if (FAILED(hr = set->get_Item(key, out))) return hr;
      if (out->vt != VT_EMPTY) return S_OK;
    }
    return S_OK;
  });
}

HRESULT RequestObject::get_QueryString(IRequestDictionary** out) {
  const std::string& q = m_data->variable("QUERY_STRING");
  return make_dictionary(m_query, out, m_query ? NameValues() : parse_urlencoded(q), zx::to_utf16(q));
}

HRESULT RequestObject::form(IRequestDictionary** out) {
  m_formRead = true;
  if (m_form) return make_dictionary(m_form, out, {}, {});
  const std::string& type = m_data->variable("CONTENT_TYPE");
  if (m_isMultipart) return make_dictionary(m_form, out, m_multipart.fields, {});
  if (type.compare(0, 33, "application/x-www-form-urlencoded") == 0)
    return make_dictionary(m_form, out, parse_urlencoded(m_data->body), zx::to_utf16(m_data->body));
  return make_dictionary(m_form, out, {}, {});
}

HRESULT RequestObject::get_Form(IRequestDictionary** out) {
  if (m_binaryRead) {
    if (out) *out = nullptr;
    return fail(E_FAIL, u"Cannot use Request.Form collection after calling BinaryRead.");
  }
  return form(out);
}

HRESULT RequestObject::get_Cookies(IRequestDictionary** out) {
  const std::string& c = m_data->variable("HTTP_COOKIE");
  return make_dictionary(m_cookies, out, m_cookies ? NameValues() : parse_cookies(c), zx::to_utf16(c));
}

HRESULT RequestObject::get_ServerVariables(IRequestDictionary** out) {
  return zx::boundary([&] {
    NameValues vars;
    if (!m_variables) {
      for (const auto& [n, v] : m_data->variables) vars.add(zx::to_utf16(n), zx::to_utf16(v));
      // The names pages know from the server that served them first.
      if (!vars.find(u"URL")) vars.add(u"URL", zx::to_utf16(m_data->variable("SCRIPT_NAME")));
    }
    return make_dictionary(m_variables, out, std::move(vars), {});
  });
}

HRESULT RequestObject::get_TotalBytes(LONG* out) {
  if (!out) return E_POINTER;
  *out = static_cast<LONG>(std::min<size_t>(m_data->body.size(), 0x7FFFFFFF));
  return S_OK;
}

HRESULT RequestObject::BinaryRead(VARIANT* Count, VARIANT* out) {
  if (!Count || !out) return E_POINTER;
  VariantInit(out);
  if (m_formRead) return fail(E_FAIL, u"Cannot call BinaryRead after using Request.Form collection.");
  return zx::boundary([&]() -> HRESULT {
    VARIANT* target = Count->vt == (VT_BYREF | VT_VARIANT) ? Count->pvarVal : Count;
    zx::Variant n;
    if (FAILED(VariantChangeType(&n, target, 0, VT_I4)) || n.lVal < 0)
      return fail(E_INVALIDARG, u"BinaryRead takes a number of bytes, 0 or more.");
    const size_t want = std::min(static_cast<size_t>(n.lVal), m_data->body.size() - m_readPos);
    zx::SafeArray bytes(SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(want)));
    if (!bytes.get()) return E_OUTOFMEMORY;
    if (want) {
      HRESULT hr = S_OK;
      zx::SafeArrayAccess access(bytes.get(), hr);
      if (FAILED(hr)) return hr;
      std::memcpy(access.data(), m_data->body.data() + m_readPos, want);
    }
    m_binaryRead = true;
    m_readPos += want;
    VariantClear(target);
    target->vt = VT_I4;
    target->lVal = static_cast<LONG>(want);
    out->vt = VT_ARRAY | VT_UI1;
    out->parray = bytes.detach();
    return S_OK;
  });
}

const std::string& RequestObject::stream_data() const { return m_isMultipart ? m_multipart.file : m_data->body; }

HRESULT RequestObject::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (!pv && cb) return STG_E_INVALIDPOINTER;
  const std::string& data = stream_data();
  const size_t n = std::min<size_t>(cb, data.size() - std::min(m_streamPos, data.size()));
  if (n) std::memcpy(pv, data.data() + m_streamPos, n);
  m_streamPos += n;
  if (pcbRead) *pcbRead = static_cast<ULONG>(n);
  return n == cb ? S_OK : S_FALSE;
}

HRESULT RequestObject::Write(const void*, ULONG, ULONG* written) {
  if (written) *written = 0;
  return STG_E_ACCESSDENIED;
}

HRESULT RequestObject::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) {
  const int64_t size = static_cast<int64_t>(stream_data().size());
  int64_t base = origin == STREAM_SEEK_SET ? 0 : origin == STREAM_SEEK_CUR ? static_cast<int64_t>(m_streamPos) : size;
  if (origin > STREAM_SEEK_END) return STG_E_INVALIDFUNCTION;
  const int64_t to = base + move.QuadPart;
  if (to < 0) return STG_E_INVALIDFUNCTION;
  m_streamPos = static_cast<size_t>(to);
  if (newPosition) newPosition->QuadPart = static_cast<uint64_t>(to);
  return S_OK;
}

HRESULT RequestObject::Stat(STATSTG* stat, DWORD) {
  if (!stat) return STG_E_INVALIDPOINTER;
  *stat = STATSTG{};
  stat->type = STGTY_STREAM;
  stat->cbSize.QuadPart = stream_data().size();
  return S_OK;
}

}  // namespace zx::script::web
