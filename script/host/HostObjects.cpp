// Zentarix — MIT licence.
// The console host's objects: WScript, its Arguments (with Named and Unnamed) and StdOut/StdErr.
#include "HostObjects.h"
#include "ScriptError.h"
#include "objbase.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace zx::script::host {
namespace {

constexpr char16_t kHostName[] = u"Zentarix Script Host";

std::u16string_view bstr_view(BSTR b) { return b ? std::u16string_view(b, SysStringLen(b)) : std::u16string_view(); }

std::u16string file_part(const std::u16string& path) {
  const size_t slash = path.find_last_of(u'/');
  return slash == std::u16string::npos ? path : path.substr(slash + 1);
}
std::u16string folder_part(const std::u16string& path) {
  const size_t slash = path.find_last_of(u'/');
  return slash == std::u16string::npos ? std::u16string() : path.substr(0, slash == 0 ? 1 : slash);
}

HRESULT give_object(IUnknown* object, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  return object->QueryInterface(iid, out);
}

// /name:value and /name arguments (one slash; two are the host's own options). A name is letters,
// digits, "_" and "-", so an absolute path ("/photos/a.jpg") stays an unnamed argument; a path of
// one part ("/photos") reads as a name and is written "/photos/" instead.
bool named_argument(const std::u16string& arg, std::u16string* name, std::u16string* value, bool* hasValue) {
  if (arg.size() < 2 || arg[0] != u'/' || arg[1] == u'/') return false;
  const size_t colon = arg.find(u':');
  *name = arg.substr(1, colon == std::u16string::npos ? std::u16string::npos : colon - 1);
  for (char16_t c : *name)
    if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'-'))
      return false;
  *hasValue = colon != std::u16string::npos;
  *value = *hasValue ? arg.substr(colon + 1) : std::u16string();
  return !name->empty();
}

// Arguments by position: what WScript.Arguments and its Unnamed share.
template <class Derived, class Itf>
class ArgumentList : public zx::DispatchObject<Derived, Itf> {
 public:
  explicit ArgumentList(std::vector<std::u16string> items) : m_items(std::move(items)) {}
  STDMETHOD(get_Item)(LONG Index, BSTR* out) override {
    if (Index < 0 || static_cast<size_t>(Index) >= m_items.size()) return DISP_E_BADINDEX;
    return give_text(m_items[static_cast<size_t>(Index)], out);
  }
  STDMETHOD(get_Count)(LONG* out) override { return count(out); }
  STDMETHOD(get_Length)(LONG* out) override { return count(out); }
  STDMETHOD(get__NewEnum)(IUnknown** out) override {
    return zx::boundary([&] { return zx::VariantEnumerator::create(IID_IUnknown, reinterpret_cast<void**>(out), texts(m_items), size_t{0}); });
  }

 protected:
  HRESULT count(LONG* out) {
    if (!out) return E_POINTER;
    *out = static_cast<LONG>(m_items.size());
    return S_OK;
  }
  std::vector<std::u16string> m_items;
};

class UnnamedArguments final : public ArgumentList<UnnamedArguments, IHostUnnamedArguments> {
 public:
  using ArgumentList::ArgumentList;
};

struct NamedItem {
  std::u16string name, value;
  bool hasValue;
};

class NamedArguments final : public zx::DispatchObject<NamedArguments, IHostNamedArguments> {
 public:
  explicit NamedArguments(std::vector<NamedItem> items) : m_items(std::move(items)) {}
  STDMETHOD(get_Item)(BSTR Name, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    const NamedItem* item = find(Name);
    if (!item || !item->hasValue) return S_OK;  // not given, or given without a value: Empty
    out->vt = VT_BSTR;
    out->bstrVal = SysAllocStringLen(item->value.data(), static_cast<UINT>(item->value.size()));
    return out->bstrVal ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHOD(get_Count)(LONG* out) override { return count(out); }
  STDMETHOD(get_Length)(LONG* out) override { return count(out); }
  STDMETHOD(Exists)(BSTR Name, VARIANT_BOOL* out) override {
    if (!out) return E_POINTER;
    *out = find(Name) ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  STDMETHOD(get__NewEnum)(IUnknown** out) override {
    return zx::boundary([&] {
      std::vector<std::u16string> names;
      for (const auto& i : m_items) names.push_back(i.name);
      return zx::VariantEnumerator::create(IID_IUnknown, reinterpret_cast<void**>(out), texts(names), size_t{0});
    });
  }

 private:
  // Names compare without regard to case; a name given twice keeps its last value.
  const NamedItem* find(BSTR name) const {
    const NamedItem* found = nullptr;
    for (const auto& i : m_items)
      if (zx::equal_ignoring_case(i.name, bstr_view(name))) found = &i;
    return found;
  }
  HRESULT count(LONG* out) {
    if (!out) return E_POINTER;
    *out = static_cast<LONG>(m_items.size());
    return S_OK;
  }
  std::vector<NamedItem> m_items;
};

class Arguments final : public ArgumentList<Arguments, IHostArguments> {
 public:
  using ArgumentList::ArgumentList;
  STDMETHOD(get_Named)(IHostNamedArguments** out) override {
    return zx::boundary([&] {
      std::vector<NamedItem> named;
      NamedItem item;
      for (const auto& a : m_items)
        if (named_argument(a, &item.name, &item.value, &item.hasValue)) named.push_back(item);
      return NamedArguments::create(IID_IHostNamedArguments, reinterpret_cast<void**>(out), std::move(named));
    });
  }
  STDMETHOD(get_Unnamed)(IHostUnnamedArguments** out) override {
    return zx::boundary([&] {
      std::vector<std::u16string> unnamed;
      NamedItem item;
      for (const auto& a : m_items)
        if (!named_argument(a, &item.name, &item.value, &item.hasValue)) unnamed.push_back(a);
      return UnnamedArguments::create(IID_IHostUnnamedArguments, reinterpret_cast<void**>(out), std::move(unnamed));
    });
  }
};

}  // namespace

std::vector<zx::Variant> texts(const std::vector<std::u16string>& items) {
  std::vector<zx::Variant> out(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    out[i].vt = VT_BSTR;
    out[i].bstrVal = zx::Bstr(items[i]).detach();
  }
  return out;
}

std::string url_encode(std::string_view utf8, bool path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : utf8) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || (path && (c == '/' || c == ':' || c == '&' || c == '=' || c == '?')))
      out += static_cast<char>(c);
    else if (c == ' ' && !path)
      out += '+';
    else
      out += {'%', kHex[c >> 4], kHex[c & 15]};
  }
  return out;
}

HRESULT give_text(std::u16string_view text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT report(HRESULT hr, const char16_t* source, const char16_t* text, REFIID iid) {
  return record_error(hr, iid, source, text);
}

HRESULT display_text(const VARIANT& value, std::u16string* out) {
  const VARIANT& v = value.vt == (VT_BYREF | VT_VARIANT) ? *value.pvarVal : value;
  if (v.vt == VT_NULL) {
    *out = u"Null";
    return S_OK;
  }
  if (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND) {
    out->clear();
    return S_OK;
  }
  zx::Variant text;
  HRESULT hr = VariantChangeType(&text, &v, VARIANT_ALPHABOOL, VT_BSTR);
  if (FAILED(hr)) return hr;
  out->assign(bstr_view(text.bstrVal));
  return S_OK;
}

// ---- standard streams ----

bool TextOut::put(std::u16string_view text) {
  if (m_closed) return false;
  const std::string bytes = zx::to_utf8(text);
  return m_sink.write(bytes.data(), bytes.size()) && m_sink.flush();
}

HRESULT TextOut::Write(BSTR Text) {
  return zx::boundary([&] { return put(bstr_view(Text)) ? S_OK : report(E_FAIL, kHostName, u"The stream cannot be written", IID_IHostTextOut); });
}

HRESULT TextOut::WriteLine(BSTR Text) {
  return zx::boundary([&] {
    return put(std::u16string(bstr_view(Text)) + u"\n") ? S_OK
                                                          : report(E_FAIL, kHostName, u"The stream cannot be written", IID_IHostTextOut);
  });
}

HRESULT TextOut::WriteBlankLines(LONG Lines) {
  if (Lines < 0) return E_INVALIDARG;
  return zx::boundary([&] {
    return put(std::u16string(static_cast<size_t>(Lines), u'\n'))
               ? S_OK
               : report(E_FAIL, kHostName, u"The stream cannot be written", IID_IHostTextOut);
  });
}

HRESULT TextOut::Close() {
  m_closed = true;
  return S_OK;
}

// ---- WScript ----

WScriptObject::WScriptObject(HostInfo info, OutputSink& out, OutputSink& err, std::function<void(int)> stop)
    : m_info(std::move(info)), m_stop(std::move(stop)) {
  m_echo = new TextOut(out);
  m_out = m_echo;
  m_err = new TextOut(err);
}

HRESULT WScriptObject::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                              VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (dispIdMember == 1 && riid == IID_NULL && pDispParams && (wFlags & DISPATCH_METHOD)) {
    if (pDispParams->cNamedArgs) return DISP_E_NONAMEDARGS;
    if (pVarResult) VariantInit(pVarResult);
    // rgvarg holds the arguments last first.
    std::vector<VARIANT> ordered(pDispParams->rgvarg, pDispParams->rgvarg + pDispParams->cArgs);
    std::reverse(ordered.begin(), ordered.end());
    return zx::boundary([&] { return echo(ordered.data(), pDispParams->cArgs); });
  }
  return DispatchObject::Invoke(dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
}

HRESULT WScriptObject::echo(const VARIANT* args, UINT count) {
  std::u16string line;
  for (UINT i = 0; i < count; ++i) {
    std::u16string part;
    if (HRESULT hr = display_text(args[i], &part); FAILED(hr)) return hr;
    if (i) line += u' ';
    line += part;
  }
  line += u'\n';
  return m_echo->put(line) ? S_OK : report(E_FAIL, kHostName, u"The stream cannot be written", IID_IHost);
}

HRESULT WScriptObject::get_Name(BSTR* out) { return give_text(kHostName, out); }
HRESULT WScriptObject::Echo(VARIANT Text) {
  return zx::boundary([&] { return echo(&Text, 1); });
}

HRESULT WScriptObject::Quit(LONG ExitCode) {
  m_stop(ExitCode);
  return S_OK;
}

HRESULT WScriptObject::Sleep(LONG Milliseconds) {
  if (Milliseconds < 0) return report(E_INVALIDARG, kHostName, u"The time to sleep cannot be negative", IID_IHost);
  std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
  return S_OK;
}

// Objects are made in process, as the language's CreateObject makes them. Connecting their events
// to script procedures (the prefix) needs connection points, which this runtime does not have.
HRESULT WScriptObject::CreateObject(BSTR ProgID, BSTR Prefix, IDispatch** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!bstr_view(Prefix).empty())
    return report(E_NOTIMPL, kHostName, u"Events of objects cannot be connected to script procedures", IID_IHost);
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(ProgID ? ProgID : u"", &clsid);
  if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(out));
  if (FAILED(hr)) {
    const std::u16string text = u"Could not create object named \"" + std::u16string(bstr_view(ProgID)) + u"\".";
    return report(hr, kHostName, text.c_str(), IID_IHost);
  }
  return S_OK;
}

HRESULT WScriptObject::get_Arguments(IHostArguments** out) {
  return zx::boundary([&] { return Arguments::create(IID_IHostArguments, reinterpret_cast<void**>(out), m_info.arguments); });
}
HRESULT WScriptObject::get_ScriptName(BSTR* out) { return give_text(file_part(m_info.scriptFullName), out); }
HRESULT WScriptObject::get_ScriptFullName(BSTR* out) { return give_text(m_info.scriptFullName, out); }
HRESULT WScriptObject::get_FullName(BSTR* out) { return give_text(m_info.hostFullName, out); }
HRESULT WScriptObject::get_Path(BSTR* out) { return give_text(folder_part(m_info.hostFullName), out); }
HRESULT WScriptObject::get_Version(BSTR* out) { return give_text(m_info.version, out); }
HRESULT WScriptObject::get_StdOut(IHostTextOut** out) { return give_object(m_out.get(), IID_IHostTextOut, reinterpret_cast<void**>(out)); }
HRESULT WScriptObject::get_StdErr(IHostTextOut** out) { return give_object(m_err.get(), IID_IHostTextOut, reinterpret_cast<void**>(out)); }

}  // namespace zx::script::host
