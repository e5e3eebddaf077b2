// Zentarix — MIT licence.
// A small writer of uncompressed SWF movies (version 5): bit writer, tags, characters, frames, movie.
#include "SwfWriter.h"

#include <algorithm>
#include <cstdlib>

namespace zx::encoding::swf {
namespace {

enum TagCode : uint16_t {
  kEnd = 0,
  kShowFrame = 1,
  kSetBackgroundColor = 9,
  kDefineBitsJPEG2 = 21,
  kPlaceObject2 = 26,
  kDefineShape3 = 32,
  kDefineBitsLossless2 = 36,
};

constexpr uint8_t kClippedBitmapFill = 0x41;
constexpr uint16_t kNoBitmap = 0xFFFF;
constexpr int64_t kOne = 65536;  // 16.16 fixed point
// A straight edge's 4-bit field holds the bit count minus 2: at most 17 signed bits per delta.
constexpr int64_t kLongestEdge = 65535;

void write_tag(BitWriter& out, uint16_t code, std::span<const uint8_t> body) {
  if (body.size() < 63) {
    out.u16(uint16_t(code << 6 | body.size()));
  } else {
    out.u16(uint16_t(code << 6 | 63));
    out.u32(uint32_t(body.size()));
  }
  out.bytes(body);
}

void write_rect(BitWriter& out, const Rect& r, int count) {
  out.bits(uint64_t(count), 5);
  for (int64_t v : {r.xmin, r.xmax, r.ymin, r.ymax}) out.signed_bits(v, count);
  out.align();
}

// A MATRIX with scale only (16.16) and translation (0, 0).
void write_scale_matrix(BitWriter& out, int64_t scaleX, int64_t scaleY) {
  out.bits(1, 1);
  const int count = signed_bit_count({scaleX, scaleY});
  out.bits(uint64_t(count), 5);
  out.signed_bits(scaleX, count);
  out.signed_bits(scaleY, count);
  out.bits(0, 1);  // no rotation
  const int translate = signed_bit_count({0, 0});
  out.bits(uint64_t(translate), 5);
  out.signed_bits(0, translate);
  out.signed_bits(0, translate);
  out.align();
}

// A horizontal or vertical side, as as many straight edges as its length needs.
void write_side(BitWriter& out, int64_t length, bool vertical) {
  const int64_t sign = length < 0 ? -1 : 1;
  for (int64_t left = std::llabs(length); left > 0;) {
    const int64_t delta = sign * std::min(left, kLongestEdge);
    left -= std::min(left, kLongestEdge);
    const int count = signed_bit_count({delta});
    out.bits(1, 1);  // edge record
    out.bits(1, 1);  // straight
    out.bits(uint64_t(count - 2), 4);
    out.bits(0, 1);  // not a general line
    out.bits(vertical ? 1 : 0, 1);
    out.signed_bits(delta, count);
  }
}

void write_style_count(BitWriter& out, size_t count) {
  if (count < 255) {
    out.u8(uint8_t(count));
  } else {
    out.u8(0xFF);
    out.u16(uint16_t(count));
  }
}

}  // namespace

// ---- BitWriter ---------------------------------------------------------------------------------

void BitWriter::bits(uint64_t value, int count) {
  for (int i = count - 1; i >= 0; --i) {
    m_open = uint8_t(m_open << 1 | ((value >> i) & 1));
    if (++m_used == 8) {
      m_bytes.push_back(m_open);
      m_open = 0;
      m_used = 0;
    }
  }
}

void BitWriter::signed_bits(int64_t value, int count) { bits(uint64_t(value), count); }

void BitWriter::align() {
  if (m_used > 0) bits(0, 8 - m_used);
}

void BitWriter::u8(uint8_t value) {
  align();
  m_bytes.push_back(value);
}
void BitWriter::u16(uint16_t value) {
  u8(uint8_t(value));
  u8(uint8_t(value >> 8));
}
void BitWriter::u32(uint32_t value) {
  u16(uint16_t(value));
  u16(uint16_t(value >> 16));
}
void BitWriter::bytes(std::span<const uint8_t> data) {
  align();
  m_bytes.insert(m_bytes.end(), data.begin(), data.end());
}

int signed_bit_count(std::initializer_list<int64_t> values) {
  uint64_t largest = 0;
  for (int64_t v : values) largest = std::max<uint64_t>(largest, v < 0 ? uint64_t(0) - uint64_t(v) : uint64_t(v));
  if (largest == 0) return 1;
  return 1 + unsigned_bit_count(largest);
}

int unsigned_bit_count(uint64_t value) {
  int b = 0;
  while (b < 64 && (value >> b) != 0) ++b;
  return b;
}

// ---- movie -------------------------------------------------------------------------------------

Frame& Movie::frame(size_t index) {
  if (m_frames.size() <= index) m_frames.resize(index + 1);
  return m_frames[index];
}

void Movie::place(Frame& frame, uint16_t character, int requestedDepth) {
  Tag tag;
  tag.code = kPlaceObject2;
  tag.placement = true;
  tag.requestedDepth = requestedDepth;
  tag.character = character;
  frame.push_back(std::move(tag));
}

std::vector<uint8_t> Movie::write() {
  std::vector<Tag*> placements;
  for (Frame& f : m_frames)
    for (Tag& t : f)
      if (t.placement) placements.push_back(&t);
  std::stable_sort(placements.begin(), placements.end(),
                   [](const Tag* a, const Tag* b) { return a->requestedDepth < b->requestedDepth; });
  for (size_t depth = 0; depth < placements.size(); ++depth) {
    BitWriter body;
    body.u8(0x02);  // has a character: nothing else, not a move
    body.u16(uint16_t(depth));
    body.u16(placements[depth]->character);
    placements[depth]->body = std::move(body.data());
  }

  // The header is always 29 bytes: every field of its frame RECT takes 31 bits.
  BitWriter out;
  out.bytes(std::vector<uint8_t>(29, 0));
  for (const Frame& f : m_frames) {
    for (const Tag& t : f) write_tag(out, t.code, t.body);
    write_tag(out, kShowFrame, {});
  }
  write_tag(out, kEnd, {});

  std::vector<uint8_t> file = std::move(out.data());
  BitWriter header;
  header.bytes(std::vector<uint8_t>{'F', 'W', 'S', 5});
  header.u32(uint32_t(file.size()));
  write_rect(header, m_stage, 31);
  header.u16(uint16_t(m_frameRate << 8));  // 8.8 fixed point
  header.u16(uint16_t(m_frames.size()));
  std::copy(header.data().begin(), header.data().end(), file.begin());
  m_lastId = 0;
  return file;
}

// ---- characters --------------------------------------------------------------------------------

BitmapCharacter lossless_bitmap(Movie& movie, int width, int height, std::span<const uint8_t> zlibData) {
  BitmapCharacter c{movie.next_character_id(), width, height, {}};
  BitWriter body;
  body.u16(c.id);
  body.u8(5);  // 32-bit pixels
  body.u16(uint16_t(width));
  body.u16(uint16_t(height));
  body.bytes(zlibData);
  c.definition = {kDefineBitsLossless2, std::move(body.data())};
  return c;
}

BitmapCharacter jpeg_bitmap(Movie& movie, int width, int height, std::span<const uint8_t> jpegFile) {
  BitmapCharacter c{movie.next_character_id(), width, height, {}};
  BitWriter body;
  body.u16(c.id);
  body.bytes(std::vector<uint8_t>{0xFF, 0xD9, 0xFF, 0xD8});
  body.bytes(jpegFile);
  body.bytes(std::vector<uint8_t>{0xFF, 0xD9});
  c.definition = {kDefineBitsJPEG2, std::move(body.data())};
  return c;
}

void BitmapRectangle::add_to(Movie& movie, Frame& frame) {
  if (!m_defined) {
    frame.push_back(std::move(m_fill.definition));  // its only use: the pixels are not copied
    m_id = movie.next_character_id();
    frame.push_back({kDefineShape3, shape_body(m_id)});
    m_defined = true;
  }
  movie.place(frame, m_id, m_requestedDepth);
}

std::vector<uint8_t> BitmapRectangle::shape_body(uint16_t id) const {
  const int64_t width = m_rect.xmax - m_rect.xmin, height = m_rect.ymax - m_rect.ymin;
  BitWriter out;
  out.u16(id);
  write_rect(out, m_rect, signed_bit_count({m_rect.xmin, m_rect.xmax, m_rect.ymin, m_rect.ymax}));

  // Fill 1 is an empty bitmap fill; fill 2 stretches the bitmap's pixels over the rectangle and its
  // outline. 64-bit arithmetic: (width + 1) x 65536 outgrows 32 bits from 1639 pixels on.
  write_style_count(out, 2);
  out.u8(kClippedBitmapFill);
  out.u16(kNoBitmap);
  write_scale_matrix(out, 10 * kOne, 10 * kOne);
  out.u8(kClippedBitmapFill);
  out.u16(m_fill.id);
  write_scale_matrix(out, (width + 1) * kOne / m_fill.width, (height + 1) * kOne / m_fill.height);
  write_style_count(out, 1);
  out.u16(m_lineWidth);
  out.bytes(m_lineRgba);
  const int fillBits = unsigned_bit_count(2), lineBits = unsigned_bit_count(1);
  out.bits(uint64_t(fillBits), 4);
  out.bits(uint64_t(lineBits), 4);

  // Style change: line style and fill style 1 set, move to (0, 0).
  out.bits(0, 1);  // not an edge
  out.bits(0, 1);  // no new styles
  out.bits(1, 1);  // line style
  out.bits(1, 1);  // fill style 1
  out.bits(0, 1);  // no fill style 0
  out.bits(1, 1);  // move to
  const int move = signed_bit_count({0, 0});
  out.bits(uint64_t(move), 5);
  out.signed_bits(0, move);
  out.signed_bits(0, move);
  out.bits(2, fillBits);
  out.bits(1, lineBits);
  write_side(out, width + 1, false);
  write_side(out, height + 1, true);
  write_side(out, -(width + 1), false);
  write_side(out, -(height + 1), true);
  out.bits(0, 6);  // end of shape
  out.align();
  return std::move(out.data());
}

Tag background_tag(uint32_t argb) {
  return {kSetBackgroundColor, {uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb)}};
}

}  // namespace zx::encoding::swf
