// Zentarix — MIT licence.
// WScript, the console host's object: Echo, arguments, standard streams, Quit, Sleep, CreateObject.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "Output.h"
#include "host_idl.h"
#include "zx/object.h"

namespace zx::script::host {

struct HostInfo {
  std::u16string scriptFullName;  // absolute path of the script
  std::u16string hostFullName;    // absolute path of the host program
  std::u16string version;
  std::vector<std::u16string> arguments;  // the script's arguments, as given
};

// Standard output or standard error as a script writes to it (UTF-8 text).
class TextOut final : public zx::DispatchObject<TextOut, IHostTextOut> {
 public:
  explicit TextOut(OutputSink& sink) : m_sink(sink) {}
  STDMETHOD(Write)(BSTR Text) override;
  STDMETHOD(WriteLine)(BSTR Text) override;
  STDMETHOD(WriteBlankLines)(LONG Lines) override;
  STDMETHOD(Close)() override;
  // Writes text as UTF-8; false when the sink refused it.
  bool put(std::u16string_view text);

 private:
  OutputSink& m_sink;
  bool m_closed = false;
};

class WScriptObject final : public zx::DispatchObject<WScriptObject, IHost> {
 public:
  // `stop` ends the script with an exit code (after the current call returns).
  WScriptObject(HostInfo info, OutputSink& out, OutputSink& err, std::function<void(int)> stop);

  // Echo takes any number of arguments, which a fixed member table cannot say: it is served here.
  STDMETHOD(Invoke)(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                    VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  STDMETHOD(get_Name)(BSTR* out) override;
  STDMETHOD(Echo)(VARIANT Text) override;
  STDMETHOD(Quit)(LONG ExitCode) override;
  STDMETHOD(Sleep)(LONG Milliseconds) override;
  STDMETHOD(CreateObject)(BSTR ProgID, BSTR Prefix, IDispatch** out) override;
  STDMETHOD(get_Arguments)(IHostArguments** out) override;
  STDMETHOD(get_ScriptName)(BSTR* out) override;
  STDMETHOD(get_ScriptFullName)(BSTR* out) override;
  STDMETHOD(get_FullName)(BSTR* out) override;
  STDMETHOD(get_Path)(BSTR* out) override;
  STDMETHOD(get_Version)(BSTR* out) override;
  STDMETHOD(get_StdOut)(IHostTextOut** out) override;
  STDMETHOD(get_StdErr)(IHostTextOut** out) override;

 private:
  HRESULT echo(const VARIANT* args, UINT count);
  HostInfo m_info;
  zx::ComPtr<IHostTextOut> m_out, m_err;
  TextOut* m_echo;  // m_out's object
  std::function<void(int)> m_stop;
};

// The text a script value prints as (Echo, Response.Write): True/False, numbers and dates as
// the language writes them, Null as "Null", objects by their default value.
HRESULT display_text(const VARIANT& value, std::u16string* out);

// Records an error for the caller of a host object (source and text) and returns hr.
HRESULT report(HRESULT hr, const char16_t* source, const char16_t* text, REFIID iid);

HRESULT give_text(std::u16string_view text, BSTR* out);

// "a b&c" -> "a+b%26c" (spaces as '+', for query strings and cookies) or, for the path of a URL,
// "a%20b&c".
std::string url_encode(std::string_view utf8, bool path);

// Texts as BSTR variants (a collection's enumerator items).
std::vector<zx::Variant> texts(const std::vector<std::u16string>& items);

}  // namespace zx::script::host
