// Zentarix — MIT licence.
// The module's private text heap and the growable byte-string buffer that error formatting builds on.
#pragma once
#include <winbase.h>

#include <string_view>

namespace zx::server {

// Created at module start (initial size 0x80000 bytes) with its two text constants; absent when any
// of them could not be made, in which case formatting that needs it fails with E_OUTOFMEMORY.
bool start_text_heap() noexcept;
void stop_text_heap() noexcept;
HANDLE text_heap() noexcept;
// The module-wide constants, both on the text heap: "" and "<None>" (null while the heap is absent).
const char* empty_text() noexcept;
const char* none_text() noexcept;

// A byte string on the text heap, always zero-terminated once it holds anything. Capacity grows in
// steps of kStep: holding n bytes takes ((n + kStep) / kStep) * kStep, which leaves room for the
// terminating zero. Every operation that can fail returns E_OUTOFMEMORY when the heap is absent or
// exhausted, and leaves the old contents as they were.
class TextBuffer {
 public:
  static constexpr size_t kStep = 32;

  TextBuffer() noexcept = default;
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;
  ~TextBuffer();

  // Makes room for n bytes (plus the terminator), keeping the contents when keep is true.
  HRESULT reserve(size_t n, bool keep = true) noexcept;
  HRESULT append(std::string_view text) noexcept;
  // Appends UTF-16 text converted to UTF-8.
  HRESULT append(std::u16string_view text) noexcept;
  // Sets the length after the caller wrote into data() directly (at most the capacity less one).
  void set_length(size_t n) noexcept;

  char* data() noexcept { return m_data; }
  const char* c_str() const noexcept { return m_data ? m_data : ""; }
  size_t length() const noexcept { return m_length; }
  size_t capacity() const noexcept { return m_capacity; }

 private:
  char* m_data = nullptr;
  size_t m_length = 0;
  size_t m_capacity = 0;
};

}  // namespace zx::server
