// Zentarix — MIT licence.
// FastCGI responder: records read and written whole, one request at a time per connection (the
// server opens more connections to run more at once), every socket read and write bounded in time
// so a vanished peer frees its thread.
#include "FastCgi.h"

#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "WebHost.h"
#include "objbase.h"

extern char** environ;

namespace zx::script::web {
namespace {

enum : uint8_t {
  kBeginRequest = 1,
  kAbortRequest = 2,
  kEndRequest = 3,
  kParams = 4,
  kStdin = 5,
  kStdout = 6,
  kGetValues = 9,
  kGetValuesResult = 10,
  kUnknownType = 11,
};
enum : uint8_t { kRequestComplete = 0, kCantMultiplex = 1, kUnknownRole = 3 };
constexpr uint16_t kResponder = 1;
constexpr uint8_t kKeepConnection = 1;
constexpr int kSocketTimeoutSeconds = 120;

struct Record {
  uint8_t type = 0;
  uint16_t id = 0;
  std::string content;
};

bool read_all(int fd, void* data, size_t size) {
  auto* p = static_cast<char*>(data);
  while (size) {
    const ssize_t n = ::read(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool write_all(int fd, const void* data, size_t size) {
  auto* p = static_cast<const char*>(data);
  while (size) {
    const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool read_record(int fd, Record* r) {
  unsigned char h[8];
  if (!read_all(fd, h, 8) || h[0] != 1) return false;
  r->type = h[1];
  r->id = static_cast<uint16_t>(h[2] << 8 | h[3]);
  const size_t length = static_cast<size_t>(h[4] << 8 | h[5]), padding = h[6];
  r->content.resize(length);
  char pad[255];
  return read_all(fd, r->content.data(), length) && read_all(fd, pad, padding);
}

bool write_record(int fd, uint8_t type, uint16_t id, const void* data, size_t size) {
  const unsigned char h[8] = {1, type, static_cast<unsigned char>(id >> 8), static_cast<unsigned char>(id), static_cast<unsigned char>(size >> 8),
                              static_cast<unsigned char>(size), 0, 0};
  return write_all(fd, h, 8) && (size == 0 || write_all(fd, data, size));
}

bool end_request(int fd, uint16_t id, uint8_t status) {
  const unsigned char body[8] = {0, 0, 0, 0, status, 0, 0, 0};
  return write_record(fd, kEndRequest, id, body, 8);
}

// Name-value pairs: each length one byte, or four with the top bit set.
bool parse_pairs(std::string_view s, std::vector<std::pair<std::string, std::string>>* out) {
  size_t i = 0;
  auto length = [&](size_t* n) {
    if (i >= s.size()) return false;
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 128) {
      *n = b;
      ++i;
      return true;
    }
    if (i + 4 > s.size()) return false;
    *n = (static_cast<size_t>(b & 0x7F) << 24) | (static_cast<size_t>(static_cast<unsigned char>(s[i + 1])) << 16) |
         (static_cast<size_t>(static_cast<unsigned char>(s[i + 2])) << 8) | static_cast<unsigned char>(s[i + 3]);
    i += 4;
    return true;
  };
  while (i < s.size()) {
    size_t nameLength = 0, valueLength = 0;
    if (!length(&nameLength) || !length(&valueLength) || i + nameLength + valueLength > s.size()) return false;
    out->emplace_back(std::string(s.substr(i, nameLength)), std::string(s.substr(i + nameLength, valueLength)));
    i += nameLength + valueLength;
  }
  return true;
}

std::string pair_bytes(std::string_view name, std::string_view value) {
  std::string out;
  out += static_cast<char>(name.size());
  out += static_cast<char>(value.size());
  out += name;
  out += value;
  return out;
}

// The response as STDOUT records of up to 64 KB; a write to a closed connection fails (and the
// page sees IsClientConnected turn false) instead of killing the process.
class RecordSink final : public host::OutputSink {
 public:
  RecordSink(int fd, uint16_t id) : m_fd(fd), m_id(id) {}
  bool write(const void* data, size_t size) override {
    auto* p = static_cast<const char*>(data);
    while (m_ok && size) {
      const size_t n = std::min<size_t>(size, 0xFFF8);
      m_ok = write_record(m_fd, kStdout, m_id, p, n);
      p += n;
      size -= n;
    }
    return m_ok;
  }
  bool ok() const { return m_ok; }

 private:
  int m_fd;
  uint16_t m_id;
  bool m_ok = true;
};

WebSite& site() {
  static WebSite instance;  // Session and Application live as long as the process
  return instance;
}

// One connection: requests one after another until the server closes it or asks to.
void serve_connection(int fd) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  timeval timeout{kSocketTimeoutSeconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  bool keep = true;
  while (keep) {
    Record r;
    uint16_t id = 0;
    auto request = std::make_shared<RequestData>();
    std::string params;
    bool paramsDone = false, tooLarge = false, begun = false;
    for (;;) {
      if (!read_record(fd, &r)) {
        keep = false;
        break;
      }
      if (r.type == kGetValues) {
        const std::string answer = pair_bytes("FCGI_MAX_CONNS", "16") + pair_bytes("FCGI_MAX_REQS", "16") + pair_bytes("FCGI_MPXS_CONNS", "0");
        write_record(fd, kGetValuesResult, 0, answer.data(), answer.size());
        continue;
      }
      if (r.type == kBeginRequest) {
        if (begun) {
          end_request(fd, r.id, kCantMultiplex);
          continue;
        }
        if (r.content.size() < 8) {
          keep = false;
          break;
        }
        const uint16_t role = static_cast<uint16_t>(static_cast<unsigned char>(r.content[0]) << 8 | static_cast<unsigned char>(r.content[1]));
        if (role != kResponder) {
          end_request(fd, r.id, kUnknownRole);
          continue;
        }
        keep = (r.content[2] & kKeepConnection) != 0;
        id = r.id;
        begun = true;
        continue;
      }
      if (!begun || r.id != id) {
        if (r.type != kAbortRequest && r.type != kParams && r.type != kStdin) {
          const unsigned char body[8] = {r.type, 0, 0, 0, 0, 0, 0, 0};
          write_record(fd, kUnknownType, 0, body, 8);
        }
        continue;
      }
      if (r.type == kAbortRequest) {
        end_request(fd, id, kRequestComplete);
        begun = false;
        break;
      }
      if (r.type == kParams) {
        if (r.content.empty()) paramsDone = true;
        else params += r.content;
        continue;
      }
      if (r.type == kStdin) {
        if (r.content.empty()) break;  // the whole body is here
        // Past the limit the rest is read and dropped, so the connection stays in step.
        if (request->body.size() + r.content.size() > kMaxRequestBody) tooLarge = true;
        else request->body += r.content;
      }
    }
    if (!begun) continue;
    if (!paramsDone || !parse_pairs(params, &request->variables)) {
      end_request(fd, id, kRequestComplete);
      break;
    }
    RecordSink sink(fd, id);
    CgiChannel channel(sink);
    request->tooLarge = tooLarge;
    site().serve(request, channel);
    if (!sink.ok() || !write_record(fd, kStdout, id, nullptr, 0) || !end_request(fd, id, kRequestComplete)) break;
  }
  ::close(fd);
  CoUninitialize();
}

}  // namespace

bool is_listening_socket(int fd) {
  int listening = 0;
  socklen_t size = sizeof listening;
  return getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) == 0 && listening;
}

int serve_fastcgi(int listenFd, int maxThreads) {
  // The server that started us owns our life: when it goes, so do we (no orphan keeps a port).
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  std::mutex lock;
  std::condition_variable freed;
  int busy = 0;
  for (;;) {
    {
      std::unique_lock wait(lock);
      freed.wait(wait, [&] { return busy < maxThreads; });
    }
    const int fd = ::accept(listenFd, nullptr, nullptr);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      std::fprintf(stderr, "zxscript: accept failed: %s\n", std::strerror(errno));
      return 1;
    }
    {
      std::lock_guard hold(lock);
      ++busy;
    }
    try {
      std::thread([fd, &lock, &freed, &busy] {
        serve_connection(fd);
        std::lock_guard hold(lock);
        --busy;
        freed.notify_one();
      }).detach();
    } catch (const std::system_error&) {  // no thread to be had: this connection is refused
      ::close(fd);
      std::lock_guard hold(lock);
      --busy;
    }
  }
}

namespace {

// Remembers the status a page answered with, passing the response on.
class StatusChannel final : public host::ResponseChannel {
 public:
  explicit StatusChannel(host::ResponseChannel& next) : m_next(next) {}
  bool send_head(const host::ResponseHead& head) override {
    m_status = head.status;
    return m_next.send_head(head);
  }
  bool send_body(const void* data, size_t size) override { return m_next.send_body(data, size); }
  const std::string& status() const { return m_status; }

 private:
  host::ResponseChannel& m_next;
  std::string m_status;
};

}  // namespace

int run_page(const char* page, const char* query, host::ResponseChannel& channel) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  std::error_code ec;
  const std::filesystem::path file = std::filesystem::absolute(page, ec).lexically_normal();
  auto request = std::make_shared<RequestData>();
  request->variables = {{"REQUEST_METHOD", "GET"},
                        {"QUERY_STRING", query ? query : ""},
                        {"SCRIPT_FILENAME", file.string()},
                        {"DOCUMENT_ROOT", file.parent_path().string()},
                        {"SCRIPT_NAME", "/" + file.filename().string()},
                        {"SERVER_NAME", "localhost"}};
  StatusChannel status(channel);
  {
    WebSite site;
    site.serve(request, status);
  }
  CoUninitialize();
  return status.status().compare(0, 3, "200") == 0 ? 0 : 1;
}

int serve_cgi() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  auto request = std::make_shared<RequestData>();
  for (char** e = environ; *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq) request->variables.emplace_back(std::string(*e, static_cast<size_t>(eq - *e)), std::string(eq + 1));
  }
  const long long length = std::atoll(request->variable("CONTENT_LENGTH").c_str());
  host::StreamSink out(stdout);
  CgiChannel channel(out);
  if (length > static_cast<long long>(kMaxRequestBody)) {
    request->tooLarge = true;
  } else if (length > 0) {
    request->body.resize(static_cast<size_t>(length));
    request->body.resize(std::fread(request->body.data(), 1, request->body.size(), stdin));
  }
  {
    WebSite site;  // Session and Application live for this one request
    site.serve(request, channel);
  }
  std::fflush(stdout);
  CoUninitialize();
  return 0;
}

}  // namespace zx::script::web
