// Zentarix — MIT licence.
// Runs ASP pages for a web server: one WebSite per site folder, answering requests from any number
// of threads, each request with its own engine and objects; Session and Application live as long
// as the WebSite does (the whole process under FastCGI, one request under CGI).
#pragma once
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "Output.h"
#include "Request.h"
#include "Server.h"

namespace zx::script::web {

// Bodies above this are refused with 413 before any page runs.
inline constexpr size_t kMaxRequestBody = 64u << 20;

// A response in the CGI form: "Status:" and the headers, a blank line, the body.
class CgiChannel final : public host::ResponseChannel {
 public:
  explicit CgiChannel(host::OutputSink& sink) : m_sink(sink) {}
  bool send_head(const host::ResponseHead& head) override;
  bool send_body(const void* data, size_t size) override { return size == 0 || m_sink.write(data, size); }

 private:
  host::OutputSink& m_sink;
};

class WebSite {
 public:
  // Serves one request: finds the page (SCRIPT_FILENAME under DOCUMENT_ROOT), runs it and sends
  // the response, or an error page with the status and the reason. Safe to call from several
  // threads at once.
  void serve(std::shared_ptr<const RequestData> request, host::ResponseChannel& channel);

 private:
  struct Site {
    std::shared_ptr<StateStore> application = std::make_shared<StateStore>();
    std::map<std::string, std::shared_ptr<StateStore>> sessions;
    bool started = false;  // Application_OnStart has run
  };
  // The session a request belongs to (its ASPSESSIONID cookie), a new one when it has none or
  // the one it names has expired; *fresh tells which.
  std::shared_ptr<StateStore> session_for(Site& site, const RequestData& request, bool* fresh);

  std::mutex m_lock;  // guards m_sites and each Site's sessions and started
  std::map<std::string, Site> m_sites;  // by document root
  std::mutex m_startLock;  // Application_OnStart runs once, before any page of its site
  unsigned long long m_nextSession = 1;
};

inline constexpr char kSessionCookie[] = "ASPSESSIONID";

}  // namespace zx::script::web
