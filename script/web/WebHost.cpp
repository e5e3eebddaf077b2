// Zentarix — MIT licence.
// One request from the server's variables to a sent response: the page is compiled, its objects
// made, global.asa's events run when due, and any failure answered with an error page that names
// the file and line, never with half a page and a 200.
#include "WebHost.h"

#include <cstdio>
#include <ctime>
#include <random>
#include <thread>

#include "AspPage.h"
#include "Engine.h"
#include "Response.h"
#include "TypeLibs.h"
#include "objbase.h"

namespace zx::script::web {
namespace fs = std::filesystem;
namespace {

using host::ResponseHead;
using host::ResponseObject;

std::string html(std::string_view text) { return zx::to_utf8(html_encode(zx::to_utf16(text))); }

std::string http_date(std::time_t t) {
  char text[64];
  std::tm tm{};
  gmtime_r(&t, &tm);
  std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &tm);
  return text;
}

// An answer the host makes itself (no page ran, or the page could not be made).
void send_error(host::ResponseChannel& channel, const char* status, const std::string& title, const std::string& detail) {
  ResponseHead head;
  head.status = status;
  head.contentType = "text/html";
  head.charSet = "utf-8";
  head.cacheControl = "private";
  const std::string body = "<html><head><title>" + html(title) + "</title></head><body><h1>" + html(title) + "</h1><p>" + html(detail) +
                           "</p></body></html>\n";
  channel.send_head(head);
  channel.send_body(body.data(), body.size());
}

// The path of a file as the site names it ("/inc/header.inc").
std::string site_path(const std::string& file, const fs::path& root) {
  std::error_code ec;
  const fs::path rel = fs::path(file).lexically_relative(root);
  return rel.empty() || ec ? file : "/" + rel.generic_string();
}

// A script's failure in the form pages have always shown: the source and number, the message,
// the file and line.
std::string error_text(const ScriptError& e, const AspPage& page, const fs::path& root) {
  const PageOrigin at = page.origin_of(e.line);
  char number[16];
  std::snprintf(number, sizeof number, "%08x", static_cast<unsigned>(e.hresult()));
  return "<p>" + html(zx::to_utf8(e.source)) + " '" + number + "'</p>\n<p>" + html(zx::to_utf8(e.description + e.detail)) + "</p>\n<p>" +
         html(site_path(at.file, root)) + ", line " + std::to_string(at.line) + "</p>\n";
}

void log_error(const ScriptError& e, const AspPage& page) {
  const PageOrigin at = page.origin_of(e.line);
  std::fprintf(stderr, "zxscript: %s(%d) %s: %s%s\n", at.file.c_str(), at.line, zx::to_utf8(e.source).c_str(),
               zx::to_utf8(e.description).c_str(), zx::to_utf8(e.detail).c_str());
}

// Replaces whatever the page buffered with the error page; when part of the page has already
// gone out, the error is added after it (the status can no longer change).
void answer_script_error(ResponseObject& response, const ScriptError& e, const AspPage& page, const fs::path& root) {
  log_error(e, page);
  if (SUCCEEDED(response.put_Status(zx::Bstr(u"500 Internal Server Error").get()))) {
    response.Clear();
    response.put_ContentType(zx::Bstr(u"text/html").get());
    response.put_CharSet(zx::Bstr(u"utf-8").get());
  }
  VARIANT text;
  text.vt = VT_BSTR;
  zx::Bstr body(zx::to_utf16(error_text(e, page, root)));
  text.bstrVal = body.get();
  response.Write(text);
}

struct PageObjects {
  IDispatch* request = nullptr;
  IDispatch* response = nullptr;
  IDispatch* server = nullptr;
  IDispatch* session = nullptr;
  IDispatch* application = nullptr;
};

// Compiles and runs `page` with the objects; false with *error when it failed. `*running` names
// the engine while it runs, for Response.End to stop.
bool run_script(const AspPage& page, const PageObjects& objects, const std::vector<TypeLibReference>& typeLibs, ScriptError* error,
                Engine** running = nullptr, const std::atomic<bool>* cancel = nullptr) {
  Engine engine;
  if (running) *running = &engine;
  for (const auto& ref : typeLibs) add_typelib_constants(ref, engine);
  const std::pair<const char16_t*, IDispatch*> named[] = {{u"Request", objects.request}, {u"Response", objects.response},
                                                          {u"Server", objects.server},   {u"Session", objects.session},
                                                          {u"Application", objects.application}};
  for (const auto& [name, object] : named)
    if (object) engine.add_object(name, object);
  int exitCode = 0;
  bool ok = engine.compile(page.script, error);
  if (ok && cancel) {
    ScriptError timedOut;
    timedOut.number = static_cast<int32_t>(0x80004005);
    timedOut.source = u"Active Server Pages, ASP 0113";
    timedOut.description = u"Script timed out: the page ran longer than Server.ScriptTimeout allows.";
    engine.set_cancel_flag(cancel, timedOut);
  }
  ok = ok && engine.run(&exitCode, error);
  engine.close();
  if (running) *running = nullptr;
  return ok;
}

// Runs a global.asa event (Application_OnStart, Session_OnStart) when the site's global.asa
// declares it. False with *error when it failed.
bool run_event(const AspPage& asa, std::u16string_view event, const PageObjects& objects, ScriptError* error) {
  if (asa.origins.empty()) return true;  // the site has no global.asa
  std::u16string lowered = asa.script;
  for (char16_t& c : lowered)
    if (c < 128) c = static_cast<char16_t>(std::tolower(c));
  std::u16string wanted = u"sub " + std::u16string(event);
  for (char16_t& c : wanted) c = static_cast<char16_t>(std::tolower(c));
  if (lowered.find(wanted) == std::u16string::npos) return true;
  AspPage global = asa;
  global.script += std::u16string(event) + u"\n";
  global.origins.push_back(global.origins.front());
  return run_script(global, objects, asa.typeLibs, error);
}

// Raises the cancel flag of pages that run past their Server.ScriptTimeout: one thread for the
// process, started with the first page, looking once a second (the limit is in whole seconds).
class Watchdog {
 public:
  static Watchdog& instance() {
    static Watchdog* watchdog = new Watchdog;  // never destroyed: its thread outlives main
    return *watchdog;
  }
  void watch(std::atomic<bool>* flag, const ServerObject* server) {
    std::lock_guard hold(m_lock);
    m_pages.push_back({flag, server, std::chrono::steady_clock::now()});
  }
  void forget(std::atomic<bool>* flag) {
    std::lock_guard hold(m_lock);
    std::erase_if(m_pages, [flag](const Page& p) { return p.flag == flag; });
  }

 private:
  struct Page {
    std::atomic<bool>* flag;
    const ServerObject* server;
    std::chrono::steady_clock::time_point start;
  };
  Watchdog() {
    std::thread([this] {
      for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        std::lock_guard hold(m_lock);
        const auto now = std::chrono::steady_clock::now();
        for (const Page& p : m_pages)
          if (now - p.start > std::chrono::seconds(p.server->timeout_seconds())) p.flag->store(true);
      }
    }).detach();
  }
  std::mutex m_lock;
  std::vector<Page> m_pages;
};

std::string new_session_id() {
  static thread_local std::mt19937_64 random(std::random_device{}());
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string id;
  for (int i = 0; i < 24; ++i) id += kLetters[random() % 26];
  return id;
}

}  // namespace

bool CgiChannel::send_head(const ResponseHead& head) {
  std::string out = "Status: " + head.status + "\r\nContent-Type: " + head.contentType;
  if (!head.charSet.empty()) out += "; charset=" + head.charSet;
  out += "\r\n";
  if (!head.cacheControl.empty()) out += "Cache-Control: " + head.cacheControl + "\r\n";
  for (const auto& [name, value] : head.headers) {
    if (name == "Expires-Minutes")  // Response.Expires: minutes from now
      out += "Expires: " + http_date(std::time(nullptr) + 60 * std::atol(value.c_str())) + "\r\n";
    else
      out += name + ": " + value + "\r\n";
  }
  out += "\r\n";
  return m_sink.write(out.data(), out.size());
}

std::shared_ptr<StateStore> WebSite::session_for(Site& site, const RequestData& request, bool* fresh) {
  const NameValues cookies = parse_cookies(request.variable("HTTP_COOKIE"));
  const auto* named = cookies.find(zx::to_utf16(kSessionCookie));
  const std::string id = named && !named->empty() ? zx::to_utf8(named->front()) : std::string();
  const auto now = std::chrono::steady_clock::now();
  std::lock_guard lock(m_lock);
  std::erase_if(site.sessions, [&](auto& entry) {
    std::lock_guard values(entry.second->values);
    return entry.second->abandoned || now - entry.second->lastUsed > std::chrono::minutes(entry.second->timeoutMinutes);
  });
  if (auto it = site.sessions.find(id); !id.empty() && it != site.sessions.end()) {
    std::lock_guard values(it->second->values);
    it->second->lastUsed = now;
    *fresh = false;
    return it->second;
  }
  auto store = std::make_shared<StateStore>();
  store->id = new_session_id();
  ++m_nextSession;
  site.sessions[store->id] = store;
  *fresh = true;
  return store;
}

void WebSite::serve(std::shared_ptr<const RequestData> request, host::ResponseChannel& channel) {
  if (request->tooLarge || request->body.size() > kMaxRequestBody) {
    send_error(channel, "413 Request Entity Too Large", "Request too large",
               "The request's body is larger than the " + std::to_string(kMaxRequestBody >> 20) + " MB this server accepts.");
    return;
  }
  std::error_code ec;
  const std::string& scriptFile = request->variable("SCRIPT_FILENAME");
  const std::string& docRoot = request->variable("DOCUMENT_ROOT");
  const fs::path file = fs::weakly_canonical(scriptFile, ec);
  const fs::path root = fs::weakly_canonical(docRoot.empty() ? fs::path(scriptFile).parent_path() : fs::path(docRoot), ec);
  const std::string rel = file.lexically_relative(root).generic_string();
  if (scriptFile.empty() || rel.empty() || rel.compare(0, 2, "..") == 0 || !fs::is_regular_file(file)) {
    send_error(channel, "404 Not Found", "Not found", "The page " + request->variable("SCRIPT_NAME") + " does not exist.");
    return;
  }
  AspPage page, global;
  PageError pageError;
  const fs::path asa = root / "global.asa";
  bool made = compile_asp_page(file, root, &page, &pageError) && (!fs::is_regular_file(asa) || compile_global_asa(asa, &global, &pageError));
  // Type libraries global.asa names serve every page of the site.
  std::vector<TypeLibReference> typeLibs = page.typeLibs;
  typeLibs.insert(typeLibs.end(), global.typeLibs.begin(), global.typeLibs.end());
  Engine probe;
  for (const auto& ref : typeLibs) {
    if (made && !add_typelib_constants(ref, probe)) {
      pageError = {"ASP 0223", "TypeLib Not Found: METADATA names a type library this server does not have.", ref.where};
      made = false;
    }
  }
  if (!made) {
    std::fprintf(stderr, "zxscript: %s(%d) %s: %s\n", pageError.where.file.c_str(), pageError.where.line, pageError.code.c_str(),
                 pageError.message.c_str());
    send_error(channel, "500 Internal Server Error", "Active Server Pages error '" + pageError.code + "'",
               pageError.message + " " + site_path(pageError.where.file, root) + ", line " + std::to_string(pageError.where.line));
    return;
  }

  Site* site;
  {
    std::lock_guard lock(m_lock);
    site = &m_sites[root.string()];  // map nodes never move
  }
  bool fresh = false;
  std::shared_ptr<StateStore> session = session_for(*site, *request, &fresh);

  Engine* running = nullptr;  // the engine a stop request goes to (Response.End)
  zx::ComPtr<ResponseObject> response(new ResponseObject(channel, [&running](int code) {
    if (running) running->request_stop(code);
  }));
  response->set_blocks(page.blocks);
  response->put_CodePage(page.codePage);
  if (fresh) 
    response->AddHeader(zx::Bstr(u"Set-Cookie").get(), zx::Bstr(zx::to_utf16(std::string(kSessionCookie) + "=" + session->id + "; path=/; HttpOnly")).get());
  zx::ComPtr<RequestObject> req(new RequestObject(request));
  zx::ComPtr<ServerObject> server(new ServerObject(root, "/" + rel));
  zx::ComPtr<StateObject> sessionObject(new StateObject(session, true));
  zx::ComPtr<StateObject> application(new StateObject(site->application, false));
  PageObjects objects{req.get(), response.get(), server.get(), sessionObject.get(), application.get()};

  ScriptError error;
  bool ok = true;
  {
    std::lock_guard start(m_startLock);
    bool started;
    {
      std::lock_guard lock(m_lock);
      started = site->started;
    }
    if (!started) {
      PageObjects appObjects{nullptr, nullptr, server.get(), nullptr, application.get()};
      ok = run_event(global, u"Application_OnStart", appObjects, &error);
      std::lock_guard lock(m_lock);
      site->started = ok;
    }
  }
  if (ok && fresh) ok = run_event(global, u"Session_OnStart", objects, &error);
  if (!ok) {
    answer_script_error(*response.get(), error, global, root);
  } else {
    std::atomic<bool> cancel{false};
    Watchdog::instance().watch(&cancel, server.get());
    ok = run_script(page, objects, typeLibs, &error, &running, &cancel);
    Watchdog::instance().forget(&cancel);
    if (!ok) answer_script_error(*response.get(), error, page, root);
  }
  response->finish();
}

}  // namespace zx::script::web
