// Zentarix — MIT licence.
// Err's properties, Clear, and Raise (which travels back to the script as the error it names).
#include "ErrObject.h"

#include "Values.h"

namespace zx::script {
namespace {

bool passed(const VARIANT& v) { return !(v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND) && v.vt != VT_EMPTY; }

}  // namespace

HRESULT ErrObject::text(const std::u16string& s, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ErrObject::put(std::u16string& s, BSTR text) {
  return zx::boundary([&] {
    s.assign(bstr_view(text));
    return S_OK;
  });
}

HRESULT ErrObject::get_Number(LONG* out) {
  if (!out) return E_POINTER;
  *out = m_number;
  return S_OK;
}

HRESULT ErrObject::put_Number(LONG number) {
  m_number = number;
  return S_OK;
}

HRESULT ErrObject::get_HelpContext(LONG* out) {
  if (!out) return E_POINTER;
  *out = m_helpContext;
  return S_OK;
}

HRESULT ErrObject::put_HelpContext(LONG context) {
  m_helpContext = context;
  return S_OK;
}

// The raised error becomes the call's failure: the caller's On Error (or the host) sees it with
// the number, source and description given, and the language's text when none is.
HRESULT ErrObject::Raise(LONG Number, VARIANT Source, VARIANT Description, VARIANT HelpFile, VARIANT HelpContext) {
  return zx::boundary([&]() -> HRESULT {
    ScriptError e;
    // Numbers of the language run from 1 to 65535; anything else outside the HRESULTs is no error.
    e.number = Number == 0 || Number > 0xFFFF ? kErrIllegalCall : Number;
    try {
      e.source = passed(Source) ? to_text(Source) : std::u16string(kRuntimeSource);
      if (passed(Description)) {
        e.description = to_text(Description);
      } else {
        const char16_t* standard = error_text(e.number);
        e.description = standard ? standard : u"Unknown runtime error";
      }
      set(e);
      if (passed(HelpFile)) m_helpFile = to_text(HelpFile);
      if (passed(HelpContext)) m_helpContext = to_long(HelpContext);
    } catch (const ScriptError&) {
      return DISP_E_TYPEMISMATCH;
    }
    return record_error(e.hresult(), IID_IScriptErr, e.source, e.description);
  });
}

}  // namespace zx::script
