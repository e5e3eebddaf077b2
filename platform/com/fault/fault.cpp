// Zentarix platform layer — MIT licence.
// Signal-to-exception translation: SIGSEGV/SIGBUS/SIGFPE/SIGILL in guarded regions call the thread's translator.
#include "zx/fault.h"

#include <pthread.h>
#include <signal.h>
#include <ucontext.h>

#include <mutex>

namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

// The dispositions found when the handlers went in; faults outside guarded regions go back to them.
struct sigaction g_previous[NSIG];
std::once_flag g_installed;

thread_local _se_translator_function t_translator = nullptr;
thread_local LONG t_guard_depth = 0;

DWORD exception_code(int sig, const siginfo_t* info) {
  switch (sig) {
    case SIGSEGV: return EXCEPTION_ACCESS_VIOLATION;
    case SIGBUS: return EXCEPTION_IN_PAGE_ERROR;
    case SIGILL: return EXCEPTION_ILLEGAL_INSTRUCTION;
    case SIGFPE:
      switch (info->si_code) {
        case FPE_INTDIV: return EXCEPTION_INT_DIVIDE_BY_ZERO;
        case FPE_INTOVF: return EXCEPTION_INT_OVERFLOW;
        case FPE_FLTDIV: return EXCEPTION_FLT_DIVIDE_BY_ZERO;
        default: return EXCEPTION_FLT_INVALID_OPERATION;
      }
    default: return EXCEPTION_ILLEGAL_INSTRUCTION;
  }
}

void describe_fault(int sig, const siginfo_t* info, void* context, EXCEPTION_RECORD& record) {
  record.ExceptionCode = exception_code(sig, info);
  record.ExceptionAddress = info->si_addr;
#if defined(__x86_64__)
  const auto* uc = static_cast<const ucontext_t*>(context);
  record.ExceptionAddress = reinterpret_cast<PVOID>(uc->uc_mcontext.gregs[REG_RIP]);
  // Bit 1 of the page-fault error code says the access was a write.
  const ULONG_PTR is_write = (uc->uc_mcontext.gregs[REG_ERR] & 2) ? 1 : 0;
#else
  (void)context;
  const ULONG_PTR is_write = 0;
#endif
  if (sig == SIGSEGV || sig == SIGBUS) {
    record.NumberParameters = 2;
    record.ExceptionInformation[0] = is_write;
    record.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(info->si_addr);
  }
}

// Hands a fault we do not translate to the disposition that was there before us.
void chain_to_previous(int sig, siginfo_t* info, void* context) {
  const struct sigaction& previous = g_previous[sig];
  if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction) {
    previous.sa_sigaction(sig, info, context);
    return;
  }
  if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(sig);
    return;
  }
  // Default action (an ignored synchronous fault would only recur, so it gets the default too).
  // A genuine fault re-executes its instruction on return and now terminates the process as it
  // would have without us; a signal that was sent rather than raised by an instruction is re-sent.
  struct sigaction dfl = {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  if (info->si_code <= 0) raise(sig);
}

// Not noexcept: the translator's exception unwinds through this frame and the kernel's signal
// frame into the guarded code.
void on_fault(int sig, siginfo_t* info, void* context) {
  const _se_translator_function translator = t_translator;
  if (t_guard_depth > 0 && translator) {
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, sig);
    pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    EXCEPTION_RECORD record = {};
    describe_fault(sig, info, context, record);
    EXCEPTION_POINTERS pointers = {&record, nullptr};
    translator(record.ExceptionCode, &pointers);
  }
  chain_to_previous(sig, info, context);
}

void install_handlers() {
  for (int sig : kFaultSignals) {
    struct sigaction action = {};
    action.sa_sigaction = on_fault;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    sigaction(sig, &action, &g_previous[sig]);
  }
}

}  // namespace

STDAPI_(_se_translator_function) _set_se_translator(_se_translator_function translator) {
  std::call_once(g_installed, install_handlers);
  const _se_translator_function previous = t_translator;
  t_translator = translator;
  return previous;
}

STDAPI_(void) ZxEnterFaultGuard() { ++t_guard_depth; }
STDAPI_(void) ZxLeaveFaultGuard() { --t_guard_depth; }
STDAPI_(LONG) ZxFaultGuardDepth() { return t_guard_depth; }
