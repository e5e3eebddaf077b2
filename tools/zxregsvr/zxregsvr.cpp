// Zentarix — MIT licence.
// zxregsvr: loads a COM server module and calls its DllRegisterServer or DllUnregisterServer.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "objbase.h"
#include "zx/com.h"

namespace {

// Exit codes, as --help lists them.
constexpr int kOk = 0;
constexpr int kUsage = 2;
constexpr int kLoadFailed = 3;
constexpr int kNoEntryPoint = 4;
constexpr int kCallFailed = 5;

constexpr const char* kHelp =
    "usage: zxregsvr [/u] [/s] MODULE\n"
    "\n"
    "Loads the COM server module MODULE (a shared library) and calls its DllRegisterServer, which\n"
    "writes the module's classes into the class registry.\n"
    "\n"
    "  /u   call DllUnregisterServer instead, removing the module's classes\n"
    "  /s   silent: print nothing, report only through the exit code\n"
    "  --help, /?   show this text\n"
    "\n"
    "The registry file is $ZENTARIX_REGISTRY, else $XDG_DATA_HOME/zentarix/registry.txt, else\n"
    "~/.local/share/zentarix/registry.txt.\n"
    "\n"
    "Exit codes: 0 success, 2 bad command line, 3 the module could not be loaded,\n"
    "4 the module has no such entry point, 5 the entry point returned a failure.\n";

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
  bool unregister = false, silent = false;
  const char* module = nullptr;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!std::strcmp(a, "--help") || !std::strcmp(a, "/?") || !std::strcmp(a, "-h")) {
      std::fputs(kHelp, stdout);
      return kOk;
    }
    if ((a[0] == '/' || a[0] == '-') && a[1] && !a[2] && std::strchr("uUsS", a[1])) {
      (a[1] == 'u' || a[1] == 'U' ? unregister : silent) = true;
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
