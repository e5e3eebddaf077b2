// Zentarix platform layer — MIT licence.
// Structured-exception translation: machine faults inside guarded regions reach a per-thread translator.
#pragma once
#include "../wtypes.h"

// Exception codes a machine fault is reported with (the Windows NTSTATUS values).
constexpr DWORD EXCEPTION_ACCESS_VIOLATION = 0xC0000005;    // SIGSEGV
constexpr DWORD EXCEPTION_IN_PAGE_ERROR = 0xC0000006;       // SIGBUS
constexpr DWORD EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001D; // SIGILL
constexpr DWORD EXCEPTION_FLT_DIVIDE_BY_ZERO = 0xC000008E;  // SIGFPE, FPE_FLTDIV
constexpr DWORD EXCEPTION_FLT_INVALID_OPERATION = 0xC0000090;  // SIGFPE, other floating-point codes
constexpr DWORD EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094;  // SIGFPE, FPE_INTDIV
constexpr DWORD EXCEPTION_INT_OVERFLOW = 0xC0000095;        // SIGFPE, FPE_INTOVF

constexpr DWORD EXCEPTION_MAXIMUM_PARAMETERS = 15;

// What the translator is told about the fault. ExceptionAddress is the faulting instruction; for an
// access violation ExceptionInformation[0] is 0 for a read and 1 for a write (as far as the
// processor tells) and ExceptionInformation[1] the address that was touched.
struct EXCEPTION_RECORD {
  DWORD ExceptionCode;
  DWORD ExceptionFlags;
  EXCEPTION_RECORD* ExceptionRecord;
  PVOID ExceptionAddress;
  DWORD NumberParameters;
  ULONG_PTR ExceptionInformation[EXCEPTION_MAXIMUM_PARAMETERS];
};
struct CONTEXT;  // the machine context is not exposed; ContextRecord is always null
struct EXCEPTION_POINTERS {
  EXCEPTION_RECORD* ExceptionRecord;
  CONTEXT* ContextRecord;
};

// The translator is called on the faulting thread, from the signal handler, with the signal
// unblocked. It is expected to throw a C++ exception, which unwinds out of the handler into the
// guarded code (everything is compiled with -fnon-call-exceptions). A translator that returns leaves
// the fault unhandled: it then goes where it would have gone without a translator.
using _se_translator_function = void (*)(unsigned int code, EXCEPTION_POINTERS* pointers);

// Sets the calling thread's translator and returns the previous one (null when there was none). The
// first call in the process installs the SIGSEGV/SIGBUS/SIGFPE/SIGILL handlers, keeping the handlers
// that were there before (a sanitizer's, or the default action) for faults outside guarded regions.
STDAPI_(_se_translator_function) _set_se_translator(_se_translator_function translator);

// The guarded-region counter of the calling thread. Use zx::FaultGuard rather than these.
STDAPI_(void) ZxEnterFaultGuard();
STDAPI_(void) ZxLeaveFaultGuard();
STDAPI_(LONG) ZxFaultGuardDepth();

namespace zx {

// Marks the lifetime of the object as a guarded region on this thread: a machine fault raised while
// any guard is alive goes to the thread's translator. Faults outside guards keep their usual
// meaning (a crash, or the sanitizer's report), so genuine bugs elsewhere are not swallowed.
// A guard turns a trap into an orderly failure; it does not undo memory a fault corrupted first.
class FaultGuard {
 public:
  FaultGuard() noexcept { ZxEnterFaultGuard(); }
  ~FaultGuard() { ZxLeaveFaultGuard(); }
  FaultGuard(const FaultGuard&) = delete;
  FaultGuard& operator=(const FaultGuard&) = delete;
};

}  // namespace zx
