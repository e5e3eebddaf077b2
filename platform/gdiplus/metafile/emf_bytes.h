// Zentarix GDI+ layer — MIT licence.
// Bounds-checked little-endian reads over a metafile record: the only way the player reads bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace zx::gdip::emf {

// Thrown when a record's fields, counts or offsets reach past its bytes: playback stops there and
// keeps what was drawn.
struct Malformed {};

class Bytes {
 public:
  Bytes() = default;
  explicit Bytes(std::span<const uint8_t> data) : m_data(data) {}
  size_t size() const { return m_data.size(); }
  const uint8_t* data() const { return m_data.data(); }

  // Throws unless count items of `each` bytes fit from `at`.
  void need(size_t at, uint64_t count, size_t each) const {
    if (at > m_data.size() || (each && count > (m_data.size() - at) / each)) throw Malformed{};
  }
  uint8_t u8(size_t at) const { return read<uint8_t>(at); }
  uint16_t u16(size_t at) const { return read<uint16_t>(at); }
  int16_t i16(size_t at) const { return read<int16_t>(at); }
  uint32_t u32(size_t at) const { return read<uint32_t>(at); }
  int32_t i32(size_t at) const { return read<int32_t>(at); }
  float f32(size_t at) const { return read<float>(at); }
  // count bytes from at.
  Bytes sub(size_t at, size_t count) const {
    need(at, count, 1);
    return Bytes(m_data.subspan(at, count));
  }
  Bytes from(size_t at) const { return sub(at, at <= size() ? size() - at : 0); }
  std::span<const uint8_t> span() const { return m_data; }

 private:
  template <class T>
  T read(size_t at) const {
    need(at, 1, sizeof(T));
    T value;
    std::memcpy(&value, m_data.data() + at, sizeof(T));  // the files and this machine are little-endian
    return value;
  }
  std::span<const uint8_t> m_data;
};

}  // namespace zx::gdip::emf
