// Zentarix — MIT licence.
// The ASP Request object: the query string, form, cookies and server variables as collections of
// string lists, the body through BinaryRead, and the body as an IStream so that a component's
// LoadStream(Request) reads an upload.
#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "objidl.h"
#include "web_idl.h"
#include "zx/object.h"

namespace zx::script::web {

// What the server passed: the CGI variables (REQUEST_METHOD, QUERY_STRING, HTTP_COOKIE, ...) and
// the body.
struct RequestData {
  std::vector<std::pair<std::string, std::string>> variables;
  std::string body;
  bool tooLarge = false;  // the body was over the host's limit and was dropped
  // The variable's value, "" when the server did not pass it (names match exactly).
  const std::string& variable(std::string_view name) const;
};

// Names in the order first seen, each with its values; names match without regard to case.
struct NameValues {
  std::vector<std::pair<std::u16string, std::vector<std::u16string>>> entries;
  void add(std::u16string name, std::u16string value);
  const std::vector<std::u16string>* find(std::u16string_view name) const;
};

// "a=1&b=x+y&a=%C3%A9": '+' is a space, %XX a byte, the bytes UTF-8.
NameValues parse_urlencoded(std::string_view text);
// "a=1; b=2"
NameValues parse_cookies(std::string_view text);

// A multipart/form-data body: its text fields, and its first file's name and bytes.
struct MultipartForm {
  NameValues fields;  // a file field's value is its file name
  std::string file;   // the first file part's content
  bool complete = false;  // the closing boundary was found
};
bool parse_multipart(std::string_view contentType, std::string_view body, MultipartForm* form);

class RequestObject final : public zx::DispatchObject<RequestObject, IRequest, IStream> {
 public:
  explicit RequestObject(std::shared_ptr<const RequestData> data);

  void* find_interface(REFIID riid);

  STDMETHOD(get_Item)(BSTR Name, VARIANT* out) override;
  STDMETHOD(get_QueryString)(IRequestDictionary** out) override;
  STDMETHOD(get_Form)(IRequestDictionary** out) override;
  STDMETHOD(get_Cookies)(IRequestDictionary** out) override;
  STDMETHOD(get_ServerVariables)(IRequestDictionary** out) override;
  STDMETHOD(get_TotalBytes)(LONG* out) override;
  STDMETHOD(BinaryRead)(VARIANT* Count, VARIANT* out) override;

  // IStream, read-only, over the body (over the first file of a multipart body).
  STDMETHOD(Read)(void* pv, ULONG cb, ULONG* pcbRead) override;
  STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  STDMETHOD(Seek)(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override;
  STDMETHOD(SetSize)(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
  STDMETHOD(CopyTo)(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHOD(Commit)(DWORD) override { return S_OK; }
  STDMETHOD(Revert)() override { return S_OK; }
  STDMETHOD(LockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  STDMETHOD(UnlockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return STG_E_INVALIDFUNCTION; }
  STDMETHOD(Stat)(STATSTG* stat, DWORD flags) override;
  STDMETHOD(Clone)(IStream**) override { return E_NOTIMPL; }

 private:
  HRESULT fail(HRESULT hr, const char16_t* text);
  HRESULT form(IRequestDictionary** out);  // also the Form step of the default lookup
  const std::string& stream_data() const;

  std::shared_ptr<const RequestData> m_data;
  zx::ComPtr<IRequestDictionary> m_query, m_form, m_cookies, m_variables;
  MultipartForm m_multipart;
  bool m_isMultipart = false;
  bool m_formRead = false, m_binaryRead = false;
  size_t m_readPos = 0;    // BinaryRead's place in the body
  size_t m_streamPos = 0;  // the IStream's place
};

}  // namespace zx::script::web
