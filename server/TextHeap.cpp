// Zentarix — MIT licence.
// The module's private text heap and the growable byte-string buffer that error formatting builds on.
#include "TextHeap.h"

#include <cstring>
#include <new>

#include "zx/com.h"

namespace zx::server {
namespace {

constexpr SIZE_T kInitialHeapSize = 0x80000;

HANDLE g_heap = nullptr;
char* g_empty = nullptr;
char* g_none = nullptr;

char* heap_copy(HANDLE heap, std::string_view text) noexcept {
  auto* copy = static_cast<char*>(HeapAlloc(heap, 0, text.size() + 1));
  if (copy) {
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
  }
  return copy;
}

}  // namespace

bool start_text_heap() noexcept {
  g_heap = HeapCreate(0, kInitialHeapSize, 0);
  if (!g_heap) return false;
  g_empty = heap_copy(g_heap, "");
  g_none = heap_copy(g_heap, "<None>");
  if (g_empty && g_none) return true;
  stop_text_heap();
  return false;
}

void stop_text_heap() noexcept {
  if (!g_heap) return;
  if (g_empty) HeapFree(g_heap, 0, g_empty);
  if (g_none) HeapFree(g_heap, 0, g_none);
  g_empty = g_none = nullptr;
  HeapDestroy(g_heap);
  g_heap = nullptr;
}

HANDLE text_heap() noexcept { return g_heap; }
const char* empty_text() noexcept { return g_empty; }
const char* none_text() noexcept { return g_none; }

TextBuffer::~TextBuffer() {
  if (m_data && g_heap) HeapFree(g_heap, 0, m_data);
}

HRESULT TextBuffer::reserve(size_t n, bool keep) noexcept {
  if (n < m_capacity) return S_OK;
  if (!g_heap) return E_OUTOFMEMORY;
  const size_t capacity = ((n + kStep) / kStep) * kStep;
  auto* block = static_cast<char*>(HeapAlloc(g_heap, 0, capacity));
  if (!block) return E_OUTOFMEMORY;
  const size_t kept = keep ? m_length : 0;
  if (kept) std::memcpy(block, m_data, kept);
  block[kept] = '\0';
  if (m_data) HeapFree(g_heap, 0, m_data);
  m_data = block;
  m_length = kept;
  m_capacity = capacity;
  return S_OK;
}

HRESULT TextBuffer::append(std::string_view text) noexcept {
  HRESULT hr = reserve(m_length + text.size());
  if (FAILED(hr)) return hr;
  std::memcpy(m_data + m_length, text.data(), text.size());
  m_length += text.size();
  m_data[m_length] = '\0';
  return S_OK;
}

HRESULT TextBuffer::append(std::u16string_view text) noexcept {
  try {
    return append(std::string_view(zx::to_utf8(text)));
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

void TextBuffer::set_length(size_t n) noexcept {
  if (!m_data) return;
  m_length = n < m_capacity ? n : m_capacity - 1;
  m_data[m_length] = '\0';
}

}  // namespace zx::server
