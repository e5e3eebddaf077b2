// Zentarix — MIT licence.
// zxscript: runs a script file with the console host's conventions (cscript's).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "Engine.h"
#include "FastCgi.h"
#include "HostObjects.h"
#include "Response.h"
#include "objbase.h"

using namespace zx::script;
using namespace zx::script::host;

namespace {

constexpr char kUsage[] =
    "Usage: zxscript [//Nologo] [//Response:file] script.vbs [arguments...]\n"
    "       zxscript --fastcgi [--threads=N]   (a web server's FastCGI responder, on descriptor 0)\n"
    "       zxscript --cgi                     (a web server's CGI program for .asp pages)\n"
    "       zxscript page.asp [query string]   (an ASP page's body to standard output or //Response:)\n"
    "\n"
    "  //Nologo          no banner\n"
    "  //Response:file   the Response object writes to this file instead of standard output\n"
    "  /name:value       a named argument for the script (WScript.Arguments.Named)\n";

struct Options {
  bool logo = true;
  std::string responseFile;
  std::string script;
  std::vector<std::u16string> arguments;
};

bool starts_with_ignoring_case(const std::string& s, const char* prefix) {
  const size_t n = std::strlen(prefix);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i]))) return false;
  return true;
}

// Host options ("//...") may stand anywhere; the first other word names the script, the rest are
// the script's arguments.
int parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a.size() > 2 && a[0] == '/' && a[1] == '/') {
      if (starts_with_ignoring_case(a, "//nologo") && a.size() == 8) o->logo = false;
      else if (starts_with_ignoring_case(a, "//logo") && a.size() == 6) o->logo = true;
      else if (starts_with_ignoring_case(a, "//response:") && a.size() > 11) o->responseFile = a.substr(11);
      else if (a == "//?" || starts_with_ignoring_case(a, "//h")) {
        std::fputs(kUsage, stdout);
        return 0;
      } else {
        std::fprintf(stderr, "Input Error: Unknown option \"%s\" specified.\n", a.c_str());
        return 1;
      }
    } else if (o->script.empty()) {
      o->script = a;
    } else {
      o->arguments.push_back(zx::to_utf16(a));
    }
  }
  if (o->script.empty()) {
    std::fputs(kUsage, stderr);
    return 1;
  }
  return -1;
}

// Script files are UTF-8 (a byte-order mark allowed) or UTF-16LE with its mark.
bool read_script(const std::string& path, std::u16string* text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  const std::string bytes = buffer.str();
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE) {
    text->clear();
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      text->push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return true;
  }
  const size_t skip = bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  *text = zx::to_utf16(std::string_view(bytes).substr(skip));
  return true;
}

std::string absolute_path(const std::string& path) {
  std::error_code ec;
  auto p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

std::string host_path(const char* argv0) {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? absolute_path(argv0) : self.string();
}

// "script.vbs(3, 5) Source: Description (0x800A000D)", as the console host reports errors.
void print_error(const std::string& script, const ScriptError& e) {
  std::fprintf(stderr, "%s(%d, %d) %s: %s%s (0x%08X)\n", script.c_str(), e.line, e.column, zx::to_utf8(e.source).c_str(),
               zx::to_utf8(e.description).c_str(), zx::to_utf8(e.detail).c_str(), static_cast<unsigned>(e.hresult()));
}

}  // namespace

// A web server starts us as a FastCGI responder (a listening socket on descriptor 0, or --fastcgi)
// or as a CGI program (GATEWAY_INTERFACE set, or --cgi); anything else is the console host.
int web_mode(int argc, char** argv) {
  const std::string first = argc > 1 ? argv[1] : "";
  int threads = 16;
  for (int i = 2; i < argc; ++i)
    if (std::strncmp(argv[i], "--threads=", 10) == 0) threads = std::max(1, std::atoi(argv[i] + 10));
  if (first == "--fastcgi" || (argc == 1 && zx::script::web::is_listening_socket(0))) {
    if (!zx::script::web::is_listening_socket(0)) {
      std::fputs("zxscript --fastcgi: descriptor 0 is not a listening socket (the web server starts the responder).\n", stderr);
      return 1;
    }
    return zx::script::web::serve_fastcgi(0, threads);
  }
  const char* gateway = std::getenv("GATEWAY_INTERFACE");
  if (first == "--cgi" || (gateway && std::strncmp(gateway, "CGI/", 4) == 0)) return zx::script::web::serve_cgi();
  return -1;
}

int main(int argc, char** argv) {
  if (int code = web_mode(argc, argv); code >= 0) return code;
  Options options;
  if (int code = parse(argc, argv, &options); code >= 0) return code;
  if (options.logo) std::printf("Zentarix Script Host version %s\n\n", ZX_SCRIPT_VERSION);

  if (options.script.size() > 4 && starts_with_ignoring_case(options.script.substr(options.script.size() - 4), ".asp")) {
    // An ASP page: its first argument is the query string; the page's folder is the site.
    StreamSink out(stdout);
    std::unique_ptr<FileSink> file;
    if (!options.responseFile.empty()) file = std::make_unique<FileSink>(options.responseFile);
    BodyOnlyChannel channel(file ? static_cast<OutputSink&>(*file) : out);
    const std::string query = options.arguments.empty() ? std::string() : zx::to_utf8(options.arguments.front());
    return zx::script::web::run_page(options.script.c_str(), query.c_str(), channel);
  }
  std::u16string source;
  if (!read_script(options.script, &source)) {
    std::fprintf(stderr, "Input Error: Can not find script file \"%s\".\n", absolute_path(options.script).c_str());
    return 1;
  }
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);

  StreamSink out(stdout), err(stderr);
  std::unique_ptr<FileSink> responseFile;
  if (!options.responseFile.empty()) {
    responseFile = std::make_unique<FileSink>(options.responseFile);
    if (!responseFile->is_open()) {
      std::fprintf(stderr, "Input Error: Can not write the response file \"%s\".\n", options.responseFile.c_str());
      return 1;
    }
  }
  BodyOnlyChannel channel(responseFile ? static_cast<OutputSink&>(*responseFile) : out);

  int exitCode = 0;
  bool ok = false;
  {
    Engine engine;
    HostInfo info;
    info.scriptFullName = zx::to_utf16(absolute_path(options.script));
    info.hostFullName = zx::to_utf16(host_path(argv[0]));
    info.version = zx::to_utf16(ZX_SCRIPT_VERSION);
    info.arguments = options.arguments;
    auto stop = [&engine](int code) { engine.request_stop(code); };
    zx::ComPtr<WScriptObject> wscript(new WScriptObject(std::move(info), out, err, stop));
    zx::ComPtr<ResponseObject> response(new ResponseObject(channel, stop));
    engine.add_object(u"WScript", wscript.get());
    engine.add_object(u"Response", response.get());

    ScriptError error;
    if (!engine.compile(source, &error)) {
      print_error(options.script, error);
      exitCode = 1;
    } else {
      ok = engine.run(&exitCode, &error);
      if (!ok) {
        print_error(options.script, error);
        exitCode = 1;
      }
      response->finish();
    }
    engine.close();
  }
  std::fflush(stdout);
  CoUninitialize();
  return exitCode;
}
