// Zentarix — MIT licence.
// zxregsvr: loads a COM server module and calls its DllRegisterServer or DllUnregisterServer.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "objbase.h"
#include "winreg.h"
#include "zx/com.h"

namespace {

// Exit codes, as --help lists them.
constexpr int kOk = 0;
constexpr int kUsage = 2;
constexpr int kLoadFailed = 3;
constexpr int kNoEntryPoint = 4;
constexpr int kCallFailed = 5;
constexpr int kNoRegistry = 6;

constexpr const char* kHelp =
    "usage: zxregsvr [/u] [/s] [/m] MODULE\n"
    "\n"
    "Loads the COM server module MODULE (a shared library) and calls its DllRegisterServer, which\n"
    "writes the module's classes into the class registry.\n"
    "\n"
    "  /u   call DllUnregisterServer instead, removing the module's classes\n"
    "  /s   silent: print nothing, report only through the exit code\n"
    "  /m, --machine   write the machine-wide registry instead of the per-user one\n"
    "  --help, /?   show this text\n"
    "\n"
    "Classes are looked up in the per-user registry ($XDG_DATA_HOME/zentarix/registry.txt, else\n"
    "~/.local/share/zentarix/registry.txt) and then in the machine-wide one\n"
    "(" ZX_MACHINE_REGISTRY_TEXT "); $ZENTARIX_REGISTRY names one file that replaces both.\n"
    "\n"
    "Exit codes: 0 success, 2 bad command line, 3 the module could not be loaded,\n"
    "4 the module has no such entry point, 5 the entry point returned a failure,\n"
    "6 the chosen registry has no file (no per-user registry without HOME).\n";

// The thread's error record description, if the failing call left one.
std::string error_description() {
  zx::ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return {};
  zx::Bstr text;
  if (FAILED(info->GetDescription(text.put())) || !text.get()) return {};
  return zx::to_utf8(text.view());
}

}  // namespace

int main(int argc, char** argv) {
  bool unregister = false, silent = false, machine = false;
  const char* module = nullptr;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!std::strcmp(a, "--help") || !std::strcmp(a, "/?") || !std::strcmp(a, "-h")) {
      std::fputs(kHelp, stdout);
      return kOk;
    }
    if (!std::strcmp(a, "--machine")) {
      machine = true;
    } else if ((a[0] == '/' || a[0] == '-') && a[1] && !a[2] && std::strchr("uUsSmM", a[1])) {
      const char flag = static_cast<char>(std::tolower(static_cast<unsigned char>(a[1])));
      (flag == 'u' ? unregister : flag == 's' ? silent : machine) = true;
    } else if (!module) {
      module = a;
    } else {
      std::fprintf(stderr, "zxregsvr: more than one module given (\"%s\", \"%s\").\n%s", module, a, kHelp);
      return kUsage;
    }
  }
  if (!module) {
    std::fputs("zxregsvr: no module given.\n", stderr);
    std::fputs(kHelp, stderr);
    return kUsage;
  }
  const ZX_REGISTRY_SCOPE scope = machine ? ZX_REGISTRY_MACHINE : ZX_REGISTRY_USER;
  char registry[4096];
  if (FAILED(ZxRegGetScopeFile(scope, registry, sizeof registry))) {
    if (!silent)
      std::fputs(machine ? "zxregsvr: the machine-wide registry has no usable file name.\n"
                         : "zxregsvr: there is no per-user registry: neither HOME nor XDG_DATA_HOME is set to a "
                           "folder. Use /m to write the machine-wide registry.\n",
                 stderr);
    return kNoRegistry;
  }
  ZxRegSetScope(scope);
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  // A bare name means a file in the current folder, not a search of the library path.
  std::string path = std::strchr(module, '/') ? module : std::string("./") + module;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved)) path = resolved;

  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (!silent) std::fprintf(stderr, "zxregsvr: the module %s could not be loaded: %s\n", path.c_str(), ::dlerror());
    return kLoadFailed;
  }
  auto fn = reinterpret_cast<HRESULT (*)()>(::dlsym(handle, entry));
  if (!fn) {
    if (!silent) std::fprintf(stderr, "zxregsvr: %s was loaded, but the entry point %s was not found.\n", path.c_str(), entry);
    ::dlclose(handle);
    return kNoEntryPoint;
  }
  // Registration creates objects (the category manager), so COM is initialised around the call.
  HRESULT init = CoInitialize(nullptr);
  SetErrorInfo(0, nullptr);
  HRESULT hr = fn();
  std::string description = FAILED(hr) ? error_description() : std::string();
  if (SUCCEEDED(init)) CoUninitialize();
  // The module stays loaded until exit: objects it registered through may still hold its code.
  if (FAILED(hr)) {
    if (!silent) {
      std::fprintf(stderr, "%s in %s failed with error 0x%08X", entry, path.c_str(), static_cast<unsigned>(hr));
      if (!description.empty()) std::fprintf(stderr, ": %s", description.c_str());
      std::fputs("\n", stderr);
    }
    return kCallFailed;
  }
  if (!silent) std::printf("%s in %s succeeded.\n", entry, path.c_str());
  return kOk;
}
