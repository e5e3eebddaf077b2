// Zentarix — MIT licence.
// The one way failures are reported: error records, the GDI+ failure message, fault translation.
#pragma once
#include <gdiplustypes.h>
#include <zx/fault.h>

#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "zx/com.h"

namespace zx::server {

// Library HRESULTs named by the messages of the classes.
inline constexpr HRESULT ZX_E_GDIPLUS_STARTUP = ZX_HR(0xE0000201);      // also: unreadable OLE picture
inline constexpr HRESULT ZX_E_SAVEFILE_NO_IMAGE = ZX_HR(0xE0000202);
inline constexpr HRESULT ZX_E_SAVESTREAM_NO_IMAGE = ZX_HR(0xE0000204);
inline constexpr HRESULT ZX_E_TRANSFORM_FAILED = ZX_HR(0xE0000205);     // transforms and drawing
inline constexpr HRESULT ZX_E_ARRAY_TO_BITMAP = ZX_HR(0xE0000206);
inline constexpr HRESULT ZX_E_BITMAP_TO_ARRAY = ZX_HR(0xE0000207);
inline constexpr HRESULT ZX_E_NOT_NUMBERS = ZX_HR(0xE000020A);
inline constexpr HRESULT ZX_E_COLLECTION_POSITION = ZX_HR(0xA0000038);
inline constexpr HRESULT ZX_E_COLLECTION_KEY = ZX_HR(0xA0000039);
inline constexpr HRESULT ZX_E_COLLECTION_NULL_INDEX = ZX_HR(0xA0000066);
inline constexpr HRESULT ZX_E_UNKNOWN_ENCODER = ZX_HR(0xFFFFFFFF);

// Sets the calling thread's error record and returns the result the failing method returns:
// GUID = iid, source = the ProgID registered for clsid (none when it has none), description as
// given, no help file, help context 0. Returns hr, or DISP_E_EXCEPTION when hr is 0 (a report that
// names no code of its own). Failures while building the record are ignored: the caller's result
// matters more than the record.
HRESULT ReportError(REFCLSID clsid, LPCOLESTR description, REFIID iid, HRESULT hr = S_OK) noexcept;
inline HRESULT ReportError(REFCLSID clsid, const std::u16string& description, REFIID iid, HRESULT hr = S_OK) noexcept {
  return ReportError(clsid, description.c_str(), iid, hr);
}

// The collection's error record: always the text messages::kCollectionError (passed through the
// printf-style formatter with the extra arguments, which it has no placeholders for), GUID = iid,
// no source. messageNumber is not used. Returns S_OK once the record is set, E_OUTOFMEMORY when the
// text heap is absent or exhausted; the collection's methods return their own codes regardless.
// The IID is taken by value: va_start after a reference parameter is undefined behaviour.
HRESULT ReportCollectionError(UINT messageNumber, IID iid, ...) noexcept;

// The description of a failing GDI+ call. With systemError 0: "GDI+ error occured in <method> method
// of the <object> object. If you get this error, please contact <support>. Error message: <status
// text>". With a non-zero systemError: the system's message for that Win32 code alone, or the empty
// text when the system has none (the status is then not used).
std::u16string GdiplusErrorMessage(Gdiplus::Status status, std::u16string_view objectName,
                                   std::u16string_view methodName, DWORD systemError);
// The fixed sentence for one GDI+ status.
std::u16string_view GdiplusStatusText(Gdiplus::Status status) noexcept;

// A machine fault, as thrown out of a guarded pixel loop. No virtual functions; thrown by value.
class SE_Exception {
 public:
  explicit SE_Exception(unsigned int code) noexcept : m_code(code) {}
  unsigned int getSeNumber() const noexcept { return m_code; }

 private:
  unsigned int m_code;
};

// The thread's structured-exception translator: throws SE_Exception(code).
[[noreturn]] void TranslateSeException(unsigned int code, EXCEPTION_POINTERS* pointers);

// Marks a guarded region: installs TranslateSeException as the thread's translator (and leaves it
// installed), so a machine fault while the object lives throws SE_Exception. Use guarded_call, which
// holds one of these; a foreign object's method is guarded by passing the member itself
// (guarded_call(&IDispatch::GetIDsOfNames, object, ...)).
class GuardedPixels {
 public:
  GuardedPixels() noexcept { _set_se_translator(TranslateSeException); }

 private:
  zx::FaultGuard m_guard;
};

// The one way to run pixel code under the fault guard: guarded_call(kernel, args...) calls
// kernel(args...) with machine faults translated. A fault ends the kernel and the call answers
// "did not complete": false for a kernel returning void, an empty optional for any other result
// (a bool kernel's own false and a fault both read as false). Other exceptions (bad_alloc) pass through to the caller's com_call.
//
// Hazard: a translated fault cannot unwind out of a noexcept frame (GCC leaves such frames out of
// the unwind tables and std::terminate runs), so the kernel itself must not be noexcept, nor
// anything it calls. The check below sees the kernel named here; a noexcept kernel hidden in a
// lambda passes it, which is why kernels are named directly and tools/check_noexcept.sh refuses
// noexcept in the kernel folders.
template <class Kernel, class... Args>
[[nodiscard]] auto guarded_call(Kernel&& kernel, Args&&... args) {
  static_assert(!std::is_nothrow_invocable_v<Kernel&&, Args&&...>,
                "a kernel run under the fault guard must not be noexcept");
  using Result = std::invoke_result_t<Kernel&&, Args&&...>;
  if constexpr (std::is_void_v<Result> || std::is_same_v<Result, bool>) {
    try {
      GuardedPixels guard;
      if constexpr (std::is_void_v<Result>) {
        std::invoke(std::forward<Kernel>(kernel), std::forward<Args>(args)...);
        return true;
      } else {
        return std::invoke(std::forward<Kernel>(kernel), std::forward<Args>(args)...);
      }
    } catch (const SE_Exception&) {
      return false;
    }
  } else {
    try {
      GuardedPixels guard;
      return std::optional<Result>(std::invoke(std::forward<Kernel>(kernel), std::forward<Args>(args)...));
    } catch (const SE_Exception&) {
      return std::optional<Result>();
    }
  }
}

}  // namespace zx::server
