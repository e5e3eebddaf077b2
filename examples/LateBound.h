// Zentarix — MIT licence.
// Late binding as a script host does it: objects by ProgID, members by name through GetIDsOfNames and Invoke.
#pragma once
#include <windows.h>

#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "zx/com.h"

namespace zx::late {

// An exception record that frees what a failed Invoke left in it.
struct ErrorRecord : EXCEPINFO {
  ErrorRecord() : EXCEPINFO{} {}
  ErrorRecord(const ErrorRecord&) = delete;
  ErrorRecord& operator=(const ErrorRecord&) = delete;
  ~ErrorRecord() {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
  }
};

// Prints "<program>: <what> failed (0x...)[: description]" and returns 1.
inline int fail(const char* program, const std::string& what, HRESULT hr, const EXCEPINFO* error = nullptr) {
  std::fprintf(stderr, "%s: %s failed (0x%08X)", program, what.c_str(), static_cast<unsigned>(hr));
  if (error && error->bstrDescription)
    std::fprintf(
        stderr, ": %s",
        zx::to_utf8(std::u16string_view(error->bstrDescription, SysStringLen(error->bstrDescription))).c_str());
  std::fprintf(stderr, "\n");
  return 1;
}

inline Variant text(const std::string& s) {
  Variant v;
  v.vt = VT_BSTR;
  v.bstrVal = Bstr(to_utf16(s)).detach();
  return v;
}

inline Variant number(LONG n) {
  Variant v;
  v.vt = VT_I4;
  v.lVal = n;
  return v;
}

// A script-like handle on one object: members are found by name and called through Invoke.
// Arguments are given in reading order; Invoke wants them last first.
class Script {
 public:
  explicit Script(ComPtr<IDispatch> object) : m_object(std::move(object)) {}

  // An object made by ProgID, through the registry.
  static HRESULT create(const char16_t* progid, ComPtr<IDispatch>& object) {
    CLSID clsid;
    const HRESULT hr = CLSIDFromProgID(progid, &clsid);
    if (FAILED(hr)) return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.put_void());
  }

  HRESULT call(const char16_t* member, WORD kind, std::initializer_list<const VARIANT*> arguments, Variant* result,
               ErrorRecord* error) const {
    return call(member, kind, std::span<const VARIANT* const>(arguments.begin(), arguments.size()), result, error);
  }
  HRESULT call(const char16_t* member, WORD kind, std::span<const VARIANT* const> arguments, Variant* result,
               ErrorRecord* error) const {
    std::u16string name(member);
    LPOLESTR names[] = {name.data()};
    DISPID dispid = DISPID_UNKNOWN;
    HRESULT hr = m_object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed;  // borrowed, not copied
    for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) reversed.push_back(**it);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS parameters = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (kind == DISPATCH_PROPERTYPUT) {
      parameters.rgdispidNamedArgs = &putId;  // the value of a put is the named argument
      parameters.cNamedArgs = 1;
    }
    Variant ignored;
    return m_object->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters, result ? result : &ignored, error,
                            nullptr);
  }

  IDispatch* get() const { return m_object.get(); }

 private:
  ComPtr<IDispatch> m_object;
};

}  // namespace zx::late
