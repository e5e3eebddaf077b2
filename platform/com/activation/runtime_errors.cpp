// Zentarix — MIT licence.
// The Visual Basic run-time errors the runtime's scripting objects report, with the language's texts.
#include "object_base.h"

namespace zx::activation {
namespace {

struct RuntimeText {
  HRESULT hr;
  const OLECHAR* text;
};

// Error n of the language travels as the HRESULT 0x800A0000 | n.
constexpr RuntimeText kTexts[] = {
    {ZX_HR(0x800A0005), u"Invalid procedure call or argument"},
    {ZX_HR(0x800A000D), u"Type mismatch"},
    {ZX_HR(0x800A0034), u"Bad file name or number"},
    {ZX_HR(0x800A0035), u"File not found"},
    {ZX_HR(0x800A0036), u"Bad file mode"},
    {ZX_HR(0x800A0039), u"Device I/O error"},
    {ZX_HR(0x800A003A), u"File already exists"},
    {ZX_HR(0x800A003D), u"Disk full"},
    {ZX_HR(0x800A003E), u"Input past end of file"},
    {ZX_HR(0x800A0046), u"Permission denied"},
    {ZX_HR(0x800A004B), u"Path/File access error"},
    {ZX_HR(0x800A004C), u"Path not found"},
    {ZX_HR(0x800A01C9), u"This key is already associated with an element of this collection"},
    {ZX_HR(0x800A802B), u"Element not found"},
};

}  // namespace

HRESULT report_runtime_error(HRESULT hr, const OLECHAR* source, REFIID iid) {
  const OLECHAR* text = nullptr;
  for (const auto& t : kTexts)
    if (t.hr == hr) text = t.text;
  zx::ComPtr<ICreateErrorInfo> create;
  if (text && SUCCEEDED(CreateErrorInfo(create.put()))) {
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(source));
    create->SetDescription(const_cast<LPOLESTR>(text));
    zx::ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create.query(info))) SetErrorInfo(0, info.get());
  }
  return hr;
}

}  // namespace zx::activation
