// Zentarix — MIT licence.
// The one way failures are reported: error records, the GDI+ failure message, fault translation.
#include "ErrorReporting.h"

#include <objbase.h>
#include <winbase.h>

#include <cstdarg>

#include "Messages.h"
#include "TextHeap.h"

namespace zx::server {
namespace {

// Builds the record and makes it the thread's. The only place that calls SetErrorInfo.
void set_error_record(const CLSID* source, LPCOLESTR description, REFIID iid) noexcept {
  ComPtr<ICreateErrorInfo> create;
  if (FAILED(CreateErrorInfo(create.put()))) return;
  create->SetGUID(iid);
  if (source) {
    LPOLESTR progid = nullptr;
    if (SUCCEEDED(ProgIDFromCLSID(*source, &progid)) && progid) {
      create->SetSource(progid);
      CoTaskMemFree(progid);
    }
  }
  create->SetDescription(const_cast<LPOLESTR>(description ? description : u""));
  ComPtr<IErrorInfo> info;
  if (SUCCEEDED(create.query(info))) SetErrorInfo(0, info.get());
}

}  // namespace

HRESULT ReportError(REFCLSID clsid, LPCOLESTR description, REFIID iid, HRESULT hr) noexcept {
  set_error_record(&clsid, description, iid);
  return hr == S_OK ? DISP_E_EXCEPTION : hr;
}

HRESULT ReportCollectionError(UINT /*messageNumber*/, IID iid, ...) noexcept {
  constexpr size_t kFormatBuffer = 65536;
  TextBuffer text;
  HRESULT hr = text.reserve(kFormatBuffer - 1, false);
  if (FAILED(hr)) return hr;
  va_list args;
  va_start(args, iid);
  const int written = wvsprintfA(text.data(), messages::kCollectionError, args);
  va_end(args);
  text.set_length(written > 0 ? static_cast<size_t>(written) : 0);
  try {
    const std::u16string description = zx::to_utf16(std::string_view(text.c_str(), text.length()));
    set_error_record(nullptr, description.c_str(), iid);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

std::u16string_view GdiplusStatusText(Gdiplus::Status status) noexcept {
  const auto index = static_cast<size_t>(status);
  if (status >= 0 && index < std::size(messages::kGdiplusStatusTexts)) return messages::kGdiplusStatusTexts[index];
  return messages::kGdiplusStatusUnknown;
}

std::u16string GdiplusErrorMessage(Gdiplus::Status status, std::u16string_view objectName,
                                   std::u16string_view methodName, DWORD systemError) {
  if (systemError != 0) {
    LPWSTR text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        systemError, LANG_USER_DEFAULT, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::u16string message;
    if (length && text) {
      try {
        message.assign(text, length);
      } catch (...) {
        LocalFree(text);
        throw;
      }
    }
    if (text) LocalFree(text);
    return message;
  }
  std::u16string message(messages::kGdiplusErrorPrefix);
  message += methodName;
  message += messages::kGdiplusErrorMethod;
  message += objectName;
  message += messages::kGdiplusErrorObject;
  message += messages::kSupportAddress;
  message += messages::kGdiplusErrorStatus;
  message += GdiplusStatusText(status);
  return message;
}

void TranslateSeException(unsigned int code, EXCEPTION_POINTERS* /*pointers*/) { throw SE_Exception(code); }

}  // namespace zx::server
