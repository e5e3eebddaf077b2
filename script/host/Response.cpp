// Zentarix — MIT licence.
// Response: text and bytes gathered into a buffer (or sent at once without one), headers until the
// first byte goes out, End and Redirect stopping the page.
#include "Response.h"

#include <cstring>

#include "HostObjects.h"
#include "objbase.h"

namespace zx::script::host {
namespace {

constexpr char16_t kSource[] = u"Response object";

std::u16string_view bstr_view(BSTR b) { return b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view(); }
std::string utf8(BSTR b) { return zx::to_utf8(bstr_view(b)); }

// Header names and values are single lines: a line break would let a value add headers of its own.
bool header_safe(std::string_view s) { return s.find_first_of("\r\n") == std::string_view::npos; }

// Calls a member of a late-bound object by name (the cookies dictionary's Keys and Item).
HRESULT call(IDispatch* object, const char16_t* name, WORD flags, VARIANT* arg, VARIANT* result) {
  DISPID id;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  DISPPARAMS params{arg, nullptr, arg ? 1u : 0u, 0};
  if (SUCCEEDED(hr)) hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
  return hr;
}

// "Set-Cookie" headers for the cookies a page set: name=value, both URL-encoded, for the whole site.
void add_cookie_headers(IDispatch* cookies, std::vector<std::pair<std::string, std::string>>& headers) {
  zx::Variant keys;
  if (FAILED(call(cookies, u"Keys", DISPATCH_METHOD, nullptr, &keys)) || keys.vt != (VT_ARRAY | VT_VARIANT)) return;
  HRESULT hr = S_OK;
  zx::SafeArrayAccess access(keys.parray, hr);
  if (FAILED(hr)) return;
  auto* key = static_cast<VARIANT*>(access.data());
  auto encode = [](const std::u16string& text) { return url_encode(zx::to_utf8(text), false); };
  for (ULONG i = 0; i < keys.parray->rgsabound[0].cElements; ++i) {
    zx::Variant value;
    std::u16string name, text;
    if (FAILED(call(cookies, u"Item", DISPATCH_PROPERTYGET, &key[i], &value)) || FAILED(display_text(key[i], &name)) ||
        FAILED(display_text(value, &text)))
      continue;
    headers.emplace_back("Set-Cookie", encode(name) + "=" + encode(text) + "; path=/");
  }
}

}  // namespace

ResponseObject::ResponseObject(ResponseChannel& channel, std::function<void(int)> stop)
    : m_channel(channel), m_stop(std::move(stop)) {
  m_head.status = "200 OK";
  m_head.contentType = "text/html";
  m_head.cacheControl = "private";
  VariantInit(&m_expires);
  VariantInit(&m_expiresAbsolute);
}

HRESULT ResponseObject::fail(HRESULT hr, const char16_t* text) { return report(hr, kSource, text, IID_IResponse); }

HRESULT ResponseObject::header_change() {
  if (m_headSent) return fail(E_FAIL, u"The HTTP headers are already written to the client browser. Header changes must be made before writing page content.");
  return S_OK;
}

HRESULT ResponseObject::set_field(std::string& field, BSTR value) {
  return zx::boundary([&] {
    if (HRESULT hr = header_change(); FAILED(hr)) return hr;
    const std::string text = utf8(value);
    if (!header_safe(text)) return fail(E_INVALIDARG, u"A header value cannot contain a line break.");
    field = text;
    return S_OK;
  });
}

HRESULT ResponseObject::send_head() {
  if (m_headSent) return S_OK;
  m_headSent = true;
  if (m_cookies) {
    zx::boundary([&] {
      add_cookie_headers(m_cookies.get(), m_head.headers);
      return S_OK;
    });
  }
  if (!m_channel.send_head(m_head)) m_connected = false;
  return S_OK;
}

HRESULT ResponseObject::append(const void* data, size_t size) {
  if (m_ended) return S_OK;  // after End nothing more goes out
  if (m_buffer) {
    m_body.append(static_cast<const char*>(data), size);
    return S_OK;
  }
  send_head();
  if (size && !m_channel.send_body(data, size)) m_connected = false;
  return S_OK;
}

std::string ResponseObject::encode(std::u16string_view text) const {
  if (m_codePage == 65001) return zx::to_utf8(text);
  // Single-byte code pages: Latin-1 characters as they are, anything else as "?".
  std::string out;
  out.reserve(text.size());
  for (char16_t c : text) out += c < 0x100 ? static_cast<char>(c) : '?';
  return out;
}

HRESULT ResponseObject::finish() {
  send_head();
  if (!m_body.empty() && !m_channel.send_body(m_body.data(), m_body.size())) m_connected = false;
  m_body.clear();
  return S_OK;
}

HRESULT ResponseObject::get_Buffer(VARIANT_BOOL* out) {
  if (!out) return E_POINTER;
  *out = m_buffer ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT ResponseObject::put_Buffer(VARIANT_BOOL value) {
  const bool on = value != VARIANT_FALSE;
  if (on == m_buffer) return S_OK;
  if (m_headSent) return fail(E_FAIL, u"Cannot change the buffering once the response has been sent.");
  if (!on) {  // what was buffered goes out before unbuffered writes
    m_buffer = false;
    if (!m_body.empty()) {
      std::string pending;
      pending.swap(m_body);
      return append(pending.data(), pending.size());
    }
  }
  m_buffer = on;
  return S_OK;
}

HRESULT ResponseObject::get_ContentType(BSTR* out) { return give_text(zx::to_utf16(m_head.contentType), out); }
HRESULT ResponseObject::put_ContentType(BSTR value) { return set_field(m_head.contentType, value); }

HRESULT ResponseObject::get_Expires(VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  return VariantCopy(out, &m_expires);
}

HRESULT ResponseObject::put_Expires(LONG minutes) {
  if (HRESULT hr = header_change(); FAILED(hr)) return hr;
  m_expires.vt = VT_I4;
  m_expires.lVal = minutes;
  return zx::boundary([&] {
    auto& h = m_head.headers;
    std::erase_if(h, [](const auto& p) { return p.first == "Expires-Minutes"; });
    h.emplace_back("Expires-Minutes", std::to_string(minutes));  // the web host turns it into a date
    return S_OK;
  });
}

HRESULT ResponseObject::get_ExpiresAbsolute(VARIANT* out) {
  if (!out) return E_POINTER;
  VariantInit(out);
  return VariantCopy(out, &m_expiresAbsolute);
}

HRESULT ResponseObject::put_ExpiresAbsolute(DATE when) {
  if (HRESULT hr = header_change(); FAILED(hr)) return hr;
  SYSTEMTIME st;
  if (!VariantTimeToSystemTime(when, &st)) return fail(E_INVALIDARG, u"The expiry date is out of range.");
  m_expiresAbsolute.vt = VT_DATE;
  m_expiresAbsolute.date = when;
  return zx::boundary([&] {
    static const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[st.wDayOfWeek], st.wDay,
                  kMonths[st.wMonth - 1], st.wYear, st.wHour, st.wMinute, st.wSecond);
    auto& h = m_head.headers;
    std::erase_if(h, [](const auto& p) { return p.first == "Expires"; });
    h.emplace_back("Expires", text);
    return S_OK;
  });
}

// The cookies to send, by name: a dictionary the host turns into Set-Cookie headers.
HRESULT ResponseObject::get_Cookies(IDispatch** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!m_cookies) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(u"Scripting.Dictionary", &clsid);
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, m_cookies.put_void());
    if (FAILED(hr)) return hr;
  }
  return m_cookies.copy_to(out);
}

HRESULT ResponseObject::get_Status(BSTR* out) { return give_text(zx::to_utf16(m_head.status), out); }
HRESULT ResponseObject::put_Status(BSTR value) {
  return zx::boundary([&] {
    if (HRESULT hr = header_change(); FAILED(hr)) return hr;
    const std::string status = utf8(value);
    // "NNN Reason": three digits, a space, one line of text.
    if (status.size() < 5 || !isdigit(static_cast<unsigned char>(status[0])) || !isdigit(static_cast<unsigned char>(status[1])) ||
        !isdigit(static_cast<unsigned char>(status[2])) || status[3] != ' ' || !header_safe(status))
      return fail(E_INVALIDARG, u"The status must be a three-digit code, a space and a reason.");
    m_head.status = status;
    return S_OK;
  });
}

HRESULT ResponseObject::Add(BSTR value, BSTR name) { return AddHeader(name, value); }

HRESULT ResponseObject::AddHeader(BSTR name, BSTR value) {
  return zx::boundary([&] {
    if (HRESULT hr = header_change(); FAILED(hr)) return hr;
    const std::string n = utf8(name), v = utf8(value);
    if (n.empty() || !header_safe(n) || !header_safe(v) || n.find(':') != std::string::npos)
      return fail(E_INVALIDARG, u"A header needs a name without ':' and a value, each on one line.");
    m_head.headers.emplace_back(n, v);
    return S_OK;
  });
}

HRESULT ResponseObject::AppendToLog(BSTR entry) {
  return zx::boundary([&] {
    std::string text = utf8(entry);
    // A log line stays one line, and commas separate the log's fields.
    for (char& c : text)
      if (c == ',' || c == '\r' || c == '\n') c = ' ';
    m_log.push_back(std::move(text));
    return S_OK;
  });
}

HRESULT ResponseObject::BinaryWrite(VARIANT data) {
  const VARIANT& v = data.vt == (VT_BYREF | VT_VARIANT) ? *data.pvarVal : data;
  SAFEARRAY* psa = nullptr;
  if (v.vt == (VT_ARRAY | VT_UI1)) psa = v.parray;
  else if (v.vt == (VT_BYREF | VT_ARRAY | VT_UI1)) psa = *v.pparray;
  else if (v.vt == VT_BSTR) return append(v.bstrVal, SysStringByteLen(v.bstrVal));
  else return fail(E_INVALIDARG, u"BinaryWrite takes an array of bytes.");
  if (!psa) return S_OK;
  if (psa->cDims != 1) return fail(E_INVALIDARG, u"BinaryWrite takes a one-dimensional array of bytes.");
  HRESULT hr = S_OK;
  zx::SafeArrayAccess access(psa, hr);
  if (FAILED(hr)) return hr;
  return zx::boundary([&] { return append(access.data(), psa->rgsabound[0].cElements); });
}

HRESULT ResponseObject::Clear() {
  if (!m_buffer) return fail(E_FAIL, u"Response buffering is off: there is nothing to clear.");
  m_body.clear();
  return S_OK;
}

HRESULT ResponseObject::End() {
  HRESULT hr = zx::boundary([&] { return finish(); });
  m_ended = true;
  m_stop(0);
  return hr;
}

HRESULT ResponseObject::Flush() {
  if (!m_buffer) return fail(E_FAIL, u"Response buffering is off: there is nothing to flush.");
  return zx::boundary([&] { return finish(); });
}

HRESULT ResponseObject::Redirect(BSTR url) {
  return zx::boundary([&] {
    if (HRESULT hr = header_change(); FAILED(hr)) return hr;
    const std::string location = utf8(url);
    if (!header_safe(location)) return fail(E_INVALIDARG, u"A header value cannot contain a line break.");
    m_head.status = "302 Object moved";
    m_head.headers.emplace_back("Location", location);
    m_body = "<head><title>Object moved</title></head><body><h1>Object Moved</h1>This object may be found <a href=\"" +
             location + "\">here</a>.</body>";
    return End();
  });
}

HRESULT ResponseObject::Write(VARIANT text) {
  return zx::boundary([&] {
    std::u16string s;
    if (HRESULT hr = display_text(text, &s); FAILED(hr)) return hr;
    const std::string bytes = encode(s);
    return append(bytes.data(), bytes.size());
  });
}

HRESULT ResponseObject::WriteBlock(SHORT block) {
  if (block < 0 || static_cast<size_t>(block) >= m_blocks.size())
    return fail(E_INVALIDARG, u"The page has no literal block with that number.");
  return zx::boundary([&] { return append(m_blocks[static_cast<size_t>(block)].data(), m_blocks[static_cast<size_t>(block)].size()); });
}

HRESULT ResponseObject::IsClientConnected(VARIANT_BOOL* out) {
  if (!out) return E_POINTER;
  *out = m_connected ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT ResponseObject::get_CharSet(BSTR* out) { return give_text(zx::to_utf16(m_head.charSet), out); }
HRESULT ResponseObject::put_CharSet(BSTR value) { return set_field(m_head.charSet, value); }

HRESULT ResponseObject::Pics(BSTR value) { return AddHeader(zx::Bstr(u"PICS-Label").get(), value); }

HRESULT ResponseObject::get_CacheControl(BSTR* out) { return give_text(zx::to_utf16(m_head.cacheControl), out); }
HRESULT ResponseObject::put_CacheControl(BSTR value) { return set_field(m_head.cacheControl, value); }

HRESULT ResponseObject::get_CodePage(LONG* out) {
  if (!out) return E_POINTER;
  *out = m_codePage;
  return S_OK;
}

// Text is written in UTF-8 (65001) or a single-byte code page (1252, 28591).
HRESULT ResponseObject::put_CodePage(LONG value) {
  if (value != 65001 && value != 1252 && value != 28591) return fail(E_INVALIDARG, u"The code page is not supported.");
  m_codePage = value;
  return S_OK;
}

HRESULT ResponseObject::get_LCID(LONG* out) {
  if (!out) return E_POINTER;
  *out = m_lcid;
  return S_OK;
}

// One locale is known (en-US); others are refused rather than silently written in en-US.
HRESULT ResponseObject::put_LCID(LONG value) {
  if (value != 0x0409 && value != 0x0400 && value != 0x0800 && value != 0)
    return fail(E_INVALIDARG, u"The locale is not supported.");
  m_lcid = value;
  return S_OK;
}

}  // namespace zx::script::host
