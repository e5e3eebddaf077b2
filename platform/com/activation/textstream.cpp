// Zentarix — MIT licence.
// The file system object's text streams: UTF-8 or UTF-16 files read a piece at a time, or written.
#include <cstdio>
#include <memory>

#include "filesystem_internal.h"
#include "object_base.h"

namespace zx::activation::fsx {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

constexpr size_t kChunk = 64 * 1024;

// Text files are UTF-8 (ASCII being part of it) unless opened as Unicode, which is UTF-16LE with a
// byte-order mark, as on Windows; a mark found when reading decides over the format asked for. Lines
// are written with the host's line break (LF); reading takes LF, CRLF and CR alike.
class TextStream final : public DispatchObject<TextStream, ITextStream> {
 public:
  TextStream(FileHandle file, bool reading, bool utf16) : m_file(std::move(file)), m_reading(reading), m_utf16(utf16) {}

  STDMETHOD(get_Line)(LONG* out) override {
    if (!out) return E_POINTER;
    *out = m_line;
    return S_OK;
  }
  STDMETHOD(get_Column)(LONG* out) override {
    if (!out) return E_POINTER;
    *out = m_column;
    return S_OK;
  }
  STDMETHOD(get_AtEndOfStream)(VARIANT_BOOL* out) override {
    if (!out) return E_POINTER;
    return guard(true, [&] {
      *out = at_end() ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
  STDMETHOD(get_AtEndOfLine)(VARIANT_BOOL* out) override {
    if (!out) return E_POINTER;
    return guard(true, [&] {
      *out = at_end() || m_text[m_pos] == u'\n' || m_text[m_pos] == u'\r' ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    });
  }
  STDMETHOD(Read)(LONG Characters, BSTR* out) override {
    if (!out) return E_POINTER;
    return guard(true, [&] {
      if (Characters < 0) return kIllegalCall;
      if (at_end()) return kPastEnd;
      while (m_text.size() - m_pos < static_cast<size_t>(Characters) && fill()) {
      }
      const size_t n = std::min(m_text.size() - m_pos, static_cast<size_t>(Characters));
      return take(n, 0, out);
    });
  }
  STDMETHOD(ReadLine)(BSTR* out) override {
    if (!out) return E_POINTER;
    return guard(true, [&] {
      if (at_end()) return kPastEnd;
      size_t end = m_pos;
      for (;;) {
        while (end < m_text.size() && m_text[end] != u'\n' && m_text[end] != u'\r') ++end;
        if (end < m_text.size() || !fill()) break;
      }
      size_t brk = 0;
      if (end < m_text.size()) {
        brk = 1;
        if (m_text[end] == u'\r' && (end + 1 < m_text.size() || fill()) && end + 1 < m_text.size() &&
            m_text[end + 1] == u'\n')
          brk = 2;
      }
      return take(end - m_pos, brk, out);
    });
  }
  STDMETHOD(ReadAll)(BSTR* out) override {
    if (!out) return E_POINTER;
    return guard(true, [&] {
      if (at_end()) return kPastEnd;
      while (fill()) {
      }
      return take(m_text.size() - m_pos, 0, out);
    });
  }
  STDMETHOD(Skip)(LONG Characters) override {
    return guard(true, [&] {
      if (Characters < 0) return kIllegalCall;
      for (LONG i = 0; i < Characters; ++i) {
        if (at_end()) return kPastEnd;
        advance(1);
      }
      return S_OK;
    });
  }
  STDMETHOD(SkipLine)() override {
    BSTR line = nullptr;
    HRESULT hr = ReadLine(&line);
    SysFreeString(line);
    return hr;
  }
  STDMETHOD(Write)(BSTR Text) override {
    return guard(false, [&] { return write(bstr_view(Text)); });
  }
  STDMETHOD(WriteLine)(BSTR Text) override {
    return guard(false, [&] {
      HRESULT hr = write(bstr_view(Text));
      return FAILED(hr) ? hr : write(u"\n");
    });
  }
  STDMETHOD(WriteBlankLines)(LONG Lines) override {
    return guard(false, [&] {
      if (Lines < 0) return kIllegalCall;
      for (LONG i = 0; i < Lines; ++i)
        if (HRESULT hr = write(u"\n"); FAILED(hr)) return hr;
      return S_OK;
    });
  }
  STDMETHOD(Close)() override {
    if (!m_file) return S_OK;
    const bool ok = std::fclose(m_file.release()) == 0;
    return ok ? S_OK : fail(kDeviceError, IID_ITextStream);
  }

  // A new file, or one emptied for writing, starts with the UTF-16 byte-order mark.
  HRESULT start_utf16_file() { return write_bytes("\xFF\xFE", 2); }
  // Reading: a byte-order mark at the start decides the encoding and is skipped.
  void read_mark() {
    unsigned char mark[3] = {};
    const size_t n = std::fread(mark, 1, 3, m_file.get());
    if (n >= 2 && mark[0] == 0xFF && mark[1] == 0xFE) {
      m_utf16 = true;
      m_bytes.assign(reinterpret_cast<char*>(mark) + 2, n - 2);
    } else if (n == 3 && mark[0] == 0xEF && mark[1] == 0xBB && mark[2] == 0xBF) {
      m_utf16 = false;
    } else {
      m_bytes.assign(reinterpret_cast<char*>(mark), n);
    }
  }

 private:
  template <class F>
  HRESULT guard(bool reading, F&& body) {
    return boundary([&] {
      HRESULT hr = !m_file ? kBadFileName : reading != m_reading ? kBadFileMode : body();
      return FAILED(hr) && HRESULT_FACILITY(hr) == 0xA ? fail(hr, IID_ITextStream) : hr;
    });
  }
  static constexpr uint32_t HRESULT_FACILITY(HRESULT hr) { return (static_cast<uint32_t>(hr) >> 16) & 0x1FFF; }

  // Reads and decodes the next piece of the file; false at its end. Bytes of a character cut by the
  // piece's end wait for the next piece.
  bool fill() {
    if (m_eof || !m_file) return false;
    if (m_pos > kChunk && m_pos * 2 > m_text.size()) {
      m_text.erase(0, m_pos);
      m_pos = 0;
    }
    char buf[kChunk];
    const size_t n = std::fread(buf, 1, sizeof buf, m_file.get());
    if (n < sizeof buf) m_eof = true;
    m_bytes.append(buf, n);
    size_t complete = m_bytes.size();
    if (m_utf16) {
      complete &= ~size_t{1};
      for (size_t i = 0; i < complete; i += 2)
        m_text += static_cast<char16_t>(static_cast<unsigned char>(m_bytes[i]) |
                                        (static_cast<unsigned char>(m_bytes[i + 1]) << 8));
    } else {
      if (!m_eof) {  // keep an unfinished sequence at the end for the next piece
        size_t back = 0;
        while (back < 3 && back < complete && (static_cast<unsigned char>(m_bytes[complete - 1 - back]) & 0xC0) == 0x80)
          ++back;
        if (back < complete) {
          const unsigned char lead = static_cast<unsigned char>(m_bytes[complete - 1 - back]);
          const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
          if (need > back + 1) complete -= back + 1;
        }
      }
      m_text += zx::to_utf16(std::string_view(m_bytes.data(), complete));
    }
    m_bytes.erase(0, complete);
    if (m_eof && !m_bytes.empty() && m_utf16) m_bytes.clear();  // an odd last byte is no character
    return n > 0 || complete > 0;
  }
  bool at_end() {
    while (m_pos == m_text.size())
      if (!fill()) return true;
    return false;
  }
  void advance(size_t n) {
    for (size_t i = 0; i < n; ++i) track(m_text[m_pos + i], m_pos + i + 1 < m_text.size() ? m_text[m_pos + i + 1] : 0);
    m_pos += n;
  }
  void track(char16_t c, char16_t next) {
    if (c == u'\n' || (c == u'\r' && next != u'\n')) {
      ++m_line;
      m_column = 1;
    } else if (c != u'\r') {
      ++m_column;
    }
  }
  HRESULT take(size_t n, size_t breakLength, BSTR* out) {
    *out = SysAllocStringLen(m_text.data() + m_pos, static_cast<UINT>(n));
    if (!*out) return E_OUTOFMEMORY;
    advance(n + breakLength);
    return S_OK;
  }
  HRESULT write(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) track(text[i], i + 1 < text.size() ? text[i + 1] : 0);
    if (m_utf16) {
      std::string bytes;
      bytes.reserve(text.size() * 2);
      for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
      }
      return write_bytes(bytes.data(), bytes.size());
    }
    const std::string bytes = zx::to_utf8(text);
    return write_bytes(bytes.data(), bytes.size());
  }
  HRESULT write_bytes(const char* data, size_t n) {
    if (n && std::fwrite(data, 1, n, m_file.get()) != n) return from_errno(errno, kDeviceError);
    return S_OK;
  }

  FileHandle m_file;
  bool m_reading;
  bool m_utf16;
  bool m_eof = false;
  std::string m_bytes;   // read but not yet decoded
  std::u16string m_text;  // decoded, from m_pos on not yet consumed
  size_t m_pos = 0;
  LONG m_line = 1;
  LONG m_column = 1;
};

}  // namespace

HRESULT open_text_stream(const std::filesystem::path& path, IOMode mode, bool create, Tristate format,
                         ITextStream** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (mode != ForReading && mode != ForWriting && mode != ForAppending) return kIllegalCall;
  if (format != TristateTrue && format != TristateFalse && format != TristateUseDefault) return kIllegalCall;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return kPermissionDenied;
  const bool exists = std::filesystem::exists(path, ec);
  if (!exists && !create) return kFileNotFound;
  if (!exists && !std::filesystem::is_directory(path.parent_path(), ec)) return kPathNotFound;
  if (!exists && mode == ForReading) {  // made empty, then read
    FileHandle made(std::fopen(path.c_str(), "wb"));
    if (!made) return from_errno(errno, kPathNotFound);
  }
  // Writing replaces what the file held; appending keeps it.
  const bool empty = mode == ForWriting || !exists || std::filesystem::file_size(path, ec) == 0;
  FileHandle file(std::fopen(path.c_str(), mode == ForReading ? "rb" : mode == ForAppending ? "ab" : "wb"));
  if (!file) return from_errno(errno, kFileNotFound);
  const bool utf16 = format == TristateTrue;
  auto* stream = new (std::nothrow) TextStream(std::move(file), mode == ForReading, utf16);
  if (!stream) return E_OUTOFMEMORY;
  zx::ComPtr<ITextStream> created(stream);  // holds the first reference
  if (mode == ForReading)
    stream->read_mark();
  else if (utf16 && empty)
    if (HRESULT hr = stream->start_utf16_file(); FAILED(hr)) return hr;
  *out = created.detach();
  return S_OK;
}

}  // namespace zx::activation::fsx
