// Zentarix — MIT licence.
// The ASP Response object: status, headers, cookies and a buffered body sent through a channel.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "Output.h"
#include "host_idl.h"
#include "zx/object.h"

namespace zx::script::host {

class ResponseObject final : public zx::DispatchObject<ResponseObject, IResponse> {
 public:
  // `stop` ends the page (End, Redirect) once the current call returns.
  ResponseObject(ResponseChannel& channel, std::function<void(int)> stop);

  // The page's literal text blocks, for WriteBlock (an ASP page's HTML between script blocks).
  void set_blocks(std::vector<std::string> blocks) { m_blocks = std::move(blocks); }
  // Sends what is still buffered (and the head, if not yet sent): the host calls it when the page ends.
  HRESULT finish();
  const std::vector<std::string>& log() const { return m_log; }
  const ResponseHead& head() const { return m_head; }

  STDMETHOD(get_Buffer)(VARIANT_BOOL* out) override;
  STDMETHOD(put_Buffer)(VARIANT_BOOL value) override;
  STDMETHOD(get_ContentType)(BSTR* out) override;
  STDMETHOD(put_ContentType)(BSTR value) override;
  STDMETHOD(get_Expires)(VARIANT* out) override;
  STDMETHOD(put_Expires)(LONG minutes) override;
  STDMETHOD(get_ExpiresAbsolute)(VARIANT* out) override;
  STDMETHOD(put_ExpiresAbsolute)(DATE when) override;
  STDMETHOD(get_Cookies)(IDispatch** out) override;
  STDMETHOD(get_Status)(BSTR* out) override;
  STDMETHOD(put_Status)(BSTR value) override;
  STDMETHOD(Add)(BSTR value, BSTR name) override;
  STDMETHOD(AddHeader)(BSTR name, BSTR value) override;
  STDMETHOD(AppendToLog)(BSTR entry) override;
  STDMETHOD(BinaryWrite)(VARIANT data) override;
  STDMETHOD(Clear)() override;
  STDMETHOD(End)() override;
  STDMETHOD(Flush)() override;
  STDMETHOD(Redirect)(BSTR url) override;
  STDMETHOD(Write)(VARIANT text) override;
  STDMETHOD(WriteBlock)(SHORT block) override;
  STDMETHOD(IsClientConnected)(VARIANT_BOOL* out) override;
  STDMETHOD(get_CharSet)(BSTR* out) override;
  STDMETHOD(put_CharSet)(BSTR value) override;
  STDMETHOD(Pics)(BSTR value) override;
  STDMETHOD(get_CacheControl)(BSTR* out) override;
  STDMETHOD(put_CacheControl)(BSTR value) override;
  STDMETHOD(get_CodePage)(LONG* out) override;
  STDMETHOD(put_CodePage)(LONG value) override;
  STDMETHOD(get_LCID)(LONG* out) override;
  STDMETHOD(put_LCID)(LONG value) override;

 private:
  HRESULT fail(HRESULT hr, const char16_t* text);
  HRESULT header_change();  // headers may change only until the head is sent
  HRESULT set_field(std::string& field, BSTR value);  // one line of the head
  HRESULT append(const void* data, size_t size);
  HRESULT send_head();
  std::string encode(std::u16string_view text) const;

  ResponseChannel& m_channel;
  std::function<void(int)> m_stop;
  ResponseHead m_head;
  bool m_headSent = false;
  bool m_buffer = true;
  bool m_ended = false;
  bool m_connected = true;
  std::string m_body;  // buffered, not yet sent
  VARIANT m_expires{};           // minutes (VT_I4) or VT_EMPTY
  VARIANT m_expiresAbsolute{};   // VT_DATE or VT_EMPTY
  zx::ComPtr<IDispatch> m_cookies;
  std::vector<std::string> m_blocks;
  std::vector<std::string> m_log;
  LONG m_codePage = 65001;
  LONG m_lcid = 0x0409;
};

}  // namespace zx::script::host
