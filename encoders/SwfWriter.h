// Zentarix — MIT licence.
// A small writer of uncompressed SWF movies (version 5): bit writer, tags, characters, frames, movie.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace zx::encoding::swf {

// Little-endian integers and bit fields: bits go most significant first into bytes filled from
// their top bit; align() completes the open byte with zero bits.
class BitWriter {
 public:
  void bits(uint64_t value, int count);
  void signed_bits(int64_t value, int count);  // two's complement in `count` bits
  void align();
  void u8(uint8_t value);
  void u16(uint16_t value);
  void u32(uint32_t value);
  void bytes(std::span<const uint8_t> data);
  std::vector<uint8_t>& data() { return m_bytes; }

 private:
  std::vector<uint8_t> m_bytes;
  uint8_t m_open = 0;  // the byte being filled
  int m_used = 0;      // its bits already written
};

// Bits for a set of signed values: 1 when all are 0, else 1 plus the smallest b with 2^b above the
// largest magnitude.
int signed_bit_count(std::initializer_list<int64_t> values);
// Bits for an unsigned number: 0 for 0, else the smallest b with 2^b above it.
int unsigned_bit_count(uint64_t value);

// Lengths and coordinates in twips (20 per pixel).
struct Rect {
  int64_t xmin = 0, xmax = 0, ymin = 0, ymax = 0;
};

// One tag of a frame: its code and body. A placement's body is made when the movie is written,
// once every placement has its final depth.
struct Tag {
  uint16_t code = 0;
  std::vector<uint8_t> body;
  bool placement = false;
  int requestedDepth = 0;  // placements only
  uint16_t character = 0;  // placements only
};

using Frame = std::vector<Tag>;

// A bitmap character: its ID, its size in pixels and the tag that defines it.
struct BitmapCharacter {
  uint16_t id = 0;
  int width = 0;
  int height = 0;
  Tag definition;
};

class Movie {
 public:
  explicit Movie(int frameRate) : m_frameRate(frameRate) {}
  // Character IDs count from 1 in every movie.
  uint16_t next_character_id() { return ++m_lastId; }
  Frame& frame(size_t index);
  void set_stage(int64_t width, int64_t height) { m_stage = {0, width, 0, height}; }
  // Appends a PlaceObject2 of the character to the frame. Depths are given when the movie is
  // written: all placements, sorted by requested depth (stable), take 0, 1, 2, ...
  void place(Frame& frame, uint16_t character, int requestedDepth);
  // The whole file: header, every frame's tags followed by ShowFrame, End. The ID counter starts
  // again afterwards.
  std::vector<uint8_t> write();

 private:
  int m_frameRate;
  Rect m_stage{0, 11000, 0, 8000};
  std::vector<Frame> m_frames;
  uint16_t m_lastId = 0;
};

// DefineBitsLossless2 (format 5) over zlib data of premultiplied A, R, G, B pixels, and
// DefineBitsJPEG2 around a whole JPEG file. Sides must fit 16 bits.
BitmapCharacter lossless_bitmap(Movie& movie, int width, int height, std::span<const uint8_t> zlibData);
BitmapCharacter jpeg_bitmap(Movie& movie, int width, int height, std::span<const uint8_t> jpegFile);

// A rectangle filled with a bitmap (clipped bitmap fill, stretched over it) and outlined.
class BitmapRectangle {
 public:
  BitmapRectangle(const Rect& rect, BitmapCharacter& fill) : m_rect(rect), m_fill(fill) {}
  // The first time defines it (the bitmap's tag, then a DefineShape3), then places it.
  void add_to(Movie& movie, Frame& frame);

 private:
  std::vector<uint8_t> shape_body(uint16_t id) const;

  Rect m_rect;
  int m_requestedDepth = 1;
  BitmapCharacter& m_fill;
  uint16_t m_lineWidth = 20;
  uint8_t m_lineRgba[4] = {0, 0, 0, 255};
  uint16_t m_id = 0;
  bool m_defined = false;
};

// SetBackgroundColor with the red, green and blue of an ARGB colour value.
Tag background_tag(uint32_t argb);

}  // namespace zx::encoding::swf
