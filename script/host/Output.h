// Zentarix — MIT licence.
// Where a host's objects write: a byte sink (standard output, a file, a web server's connection).
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace zx::script::host {

class OutputSink {
 public:
  virtual ~OutputSink() = default;
  // False when the bytes could not be written (a closed pipe, a full disk).
  virtual bool write(const void* data, size_t size) = 0;
  virtual bool flush() { return true; }
};

// A C stream the sink does not own (stdout, stderr).
class StreamSink final : public OutputSink {
 public:
  explicit StreamSink(std::FILE* stream) : m_stream(stream) {}
  bool write(const void* data, size_t size) override {
    return size == 0 || std::fwrite(data, 1, size, m_stream) == size;
  }
  bool flush() override { return std::fflush(m_stream) == 0; }

 private:
  std::FILE* m_stream;
};

// A file the sink creates (or empties) and owns.
class FileSink final : public OutputSink {
 public:
  explicit FileSink(const std::string& path) : m_stream(std::fopen(path.c_str(), "wb")) {}
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;
  ~FileSink() override {
    if (m_stream) std::fclose(m_stream);
  }
  bool is_open() const { return m_stream != nullptr; }
  bool write(const void* data, size_t size) override {
    return m_stream && (size == 0 || std::fwrite(data, 1, size, m_stream) == size);
  }
  bool flush() override { return m_stream && std::fflush(m_stream) == 0; }

 private:
  std::FILE* m_stream;
};

// What a response sends before its body: the status line and the headers. A console host has no
// use for them; a web host writes them to its connection.
struct ResponseHead {
  std::string status;        // "200 OK"
  std::string contentType;   // "text/html"
  std::string charSet;       // "" when none was set
  std::string cacheControl;  // "private" by default
  std::vector<std::pair<std::string, std::string>> headers;  // in the order added
};

class ResponseChannel {
 public:
  virtual ~ResponseChannel() = default;
  // Called once, before the first body bytes (or at the end for an empty body).
  virtual bool send_head(const ResponseHead& head) = 0;
  virtual bool send_body(const void* data, size_t size) = 0;
};

// A response written to a sink as its bare body (the head is dropped): the console host's.
class BodyOnlyChannel final : public ResponseChannel {
 public:
  explicit BodyOnlyChannel(OutputSink& sink) : m_sink(sink) {}
  bool send_head(const ResponseHead&) override { return true; }
  bool send_body(const void* data, size_t size) override { return m_sink.write(data, size) && m_sink.flush(); }

 private:
  OutputSink& m_sink;
};

}  // namespace zx::script::host
