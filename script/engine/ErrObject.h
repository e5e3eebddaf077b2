// Zentarix — MIT licence.
// Err: the last run-time error, which On Error Resume Next leaves for the script to read.
#pragma once
#include <string>

#include "ScriptError.h"
#include "engine_idl.h"
#include "zx/object.h"

namespace zx::script {

class ErrObject final : public zx::DispatchObject<ErrObject, IScriptErr> {
 public:
  void set(const ScriptError& e) {
    m_number = e.number;
    m_description = e.description;
    m_source = e.source;
    m_helpFile.clear();
    m_helpContext = 0;
  }
  void clear() {
    m_number = 0;
    m_description.clear();
    m_source.clear();
    m_helpFile.clear();
    m_helpContext = 0;
  }
  int32_t number() const { return m_number; }

  STDMETHOD(get_Number)(LONG* out) override;
  STDMETHOD(put_Number)(LONG number) override;
  STDMETHOD(get_Description)(BSTR* out) override { return text(m_description, out); }
  STDMETHOD(put_Description)(BSTR text) override { return put(m_description, text); }
  STDMETHOD(get_Source)(BSTR* out) override { return text(m_source, out); }
  STDMETHOD(put_Source)(BSTR text) override { return put(m_source, text); }
  STDMETHOD(get_HelpFile)(BSTR* out) override { return text(m_helpFile, out); }
  STDMETHOD(put_HelpFile)(BSTR text) override { return put(m_helpFile, text); }
  STDMETHOD(get_HelpContext)(LONG* out) override;
  STDMETHOD(put_HelpContext)(LONG context) override;
  STDMETHOD(Raise)(LONG Number, VARIANT Source, VARIANT Description, VARIANT HelpFile, VARIANT HelpContext) override;
  STDMETHOD(Clear)() override {
    clear();
    return S_OK;
  }

 private:
  static HRESULT text(const std::u16string& s, BSTR* out);
  static HRESULT put(std::u16string& s, BSTR text);

  int32_t m_number = 0;
  std::u16string m_description, m_source, m_helpFile;
  int32_t m_helpContext = 0;
};

}  // namespace zx::script
