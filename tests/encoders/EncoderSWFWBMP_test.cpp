// Zentarix — MIT licence.
// EncoderSWF, read back by a small tag walker (zlib inflates the lossless bitmap), and EncoderWBMP's bytes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <array>
#include <stdexcept>

#include "EncoderTestSupport.h"
#include "ImageReaders.h"

namespace zx::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Bit fields (most significant bit first) and little-endian integers.
struct BitReader {
  const Bytes& b;
  size_t bit = 0;
  uint64_t u(int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i, ++bit) v = v << 1 | ((b.at(bit / 8) >> (7 - bit % 8)) & 1);
    return v;
  }
  int64_t s(int n) { return int64_t(u(n) << (64 - n)) >> (64 - n); }
  uint32_t le(int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint32_t(u(8)) << (8 * i);
    return v;
  }
  std::array<int64_t, 4> rect(int n) {
    std::array<int64_t, 4> r{s(n), s(n), s(n), s(n)};
    bit = (bit + 7) / 8 * 8;
    return r;
  }
};

// The header's fields in file order (signature and version as one number), then the tags.
struct Swf {
  std::vector<uint64_t> header;  // "FWS" 5, length, RECT bits, frame rate, frame count
  std::array<int64_t, 4> stage;
  std::vector<std::pair<unsigned, Bytes>> tags;
  const Bytes& body(unsigned code) const {
    for (const auto& [c, body] : tags)
      if (c == code) return body;
    throw std::runtime_error("no such tag");
  }
};

Swf walk(const Bytes& file) {
  Swf swf;
  BitReader r{file};
  swf.header = {r.le(4), r.le(4), r.u(5)};
  swf.stage = r.rect(int(swf.header[2]));
  swf.header.push_back(r.le(2));
  swf.header.push_back(r.le(2));
  while (r.bit / 8 < file.size()) {
    const uint32_t head = r.le(2), length = (head & 63) == 63 ? r.le(4) : head & 63;
    const auto at = file.begin() + ptrdiff_t(r.bit / 8);
    swf.tags.emplace_back(head >> 6, Bytes(at, at + length));
    r.bit += length * 8;
  }
  return swf;
}

// DefineShape3: bounds, the fills (bitmap ID, scale X, scale Y) and the edges in order.
struct Shape {
  std::array<int64_t, 4> bounds;
  std::vector<std::array<int64_t, 3>> fills;
  std::vector<std::pair<int64_t, int64_t>> edges;
};

Shape read_shape(const Bytes& body) {
  Shape shape;
  BitReader r{body, 16};
  shape.bounds = r.rect(int(r.u(5)));
  for (uint64_t fills = r.u(8); fills > 0; --fills) {
    EXPECT_EQ(r.u(8), 0x41u);  // clipped bitmap
    const int64_t id = r.le(2);
    EXPECT_EQ(r.u(1), 1u);  // has a scale, then no rotation and a zero translation
    const int bits = int(r.u(5));
    shape.fills.push_back({id, r.s(bits), r.s(bits)});
    EXPECT_EQ(r.u(1), 0u);
    const int translate = int(r.u(5));
    EXPECT_EQ(r.s(translate) | r.s(translate), 0);
    r.bit = (r.bit + 7) / 8 * 8;
  }
  EXPECT_EQ((std::vector<uint64_t>{r.u(8), r.le(2), r.le(4)}), (std::vector<uint64_t>{1, 20, 0xFF000000}));
  const int fillBits = int(r.u(4)), lineBits = int(r.u(4));
  EXPECT_EQ(r.u(6), 0b001101u);  // style change: line style, fill style 1, move to (0, 0)
  const int move = int(r.u(5));
  EXPECT_EQ((std::vector<int64_t>{r.s(move), r.s(move), int64_t(r.u(fillBits)), int64_t(r.u(lineBits))}),
            (std::vector<int64_t>{0, 0, 2, 1}));
  while (r.u(2) == 3) {  // straight edges, horizontal or vertical
    const int bits = int(r.u(4)) + 2;
    EXPECT_EQ(r.u(1), 0u);
    const bool vertical = r.u(1) == 1;
    const int64_t d = r.s(bits);
    shape.edges.emplace_back(vertical ? 0 : d, vertical ? d : 0);
  }
  return shape;
}

Encoded encode_swf(Image& image, const char16_t* compression, LONG background = -1) {
  ComPtr<IDictionary> store = make_store();
  if (compression) put_text(store.get(), u"CompressionType", compression);
  put_long(store.get(), u"BackgroundColor", background);
  return encode(CLSID_EncoderSWF, store.get(), image);
}

TEST(EncoderSWF, AnEmptyStoreWritesAJpegBitmapOnAWhiteStage) {
  Image image = solid(8, 6, 0xFF2040C0u);
  ComPtr<IDictionary> store = make_store();
  const Encoded e = encode(CLSID_EncoderSWF, store.get(), image);
  ASSERT_EQ(e.doEncode, S_OK);
  const Swf swf = walk(e.bytes);
  EXPECT_EQ(swf.header[1], e.bytes.size());
  std::vector<unsigned> codes;
  for (const auto& tag : swf.tags) codes.push_back(tag.first);
  EXPECT_EQ(codes, (std::vector<unsigned>{21, 32, 26, 9, 1, 0}));
  const Bytes& jpeg = swf.body(21);
  ASSERT_GT(jpeg.size(), 12u);
  EXPECT_EQ(Bytes(jpeg.begin(), jpeg.begin() + 8), (Bytes{1, 0, 0xFF, 0xD9, 0xFF, 0xD8, 0xFF, 0xD8}));
  EXPECT_EQ(Bytes(jpeg.end() - 4, jpeg.end()), (Bytes{0xFF, 0xD9, 0xFF, 0xD9}));
  const DecodedImage d = read_jpeg(Bytes(jpeg.begin() + 6, jpeg.end() - 2));
  ASSERT_TRUE(d.ok) << d.error;
  EXPECT_EQ(d.width, 8);
  EXPECT_EQ(d.height, 6);
  EXPECT_EQ(swf.body(26), (Bytes{0x02, 0, 0, 2, 0}));  // the shape, character 2, at depth 0
  EXPECT_EQ(swf.body(9), (Bytes{0xFF, 0xFF, 0xFF}));
}

TEST(EncoderSWF, LosslessPixelsArePremultipliedAlphaRedGreenBlue) {
  const struct {
    uint32_t pixel;
    Bytes stored;
  } cases[] = {{0xFF123456u, {0xFF, 0x12, 0x34, 0x56}}, {0x00FFFFFFu, {0, 0, 0, 0}}, {0xFFFFFFFFu, {255, 255, 255, 255}}};
  for (const auto& c : cases) {
    Image image = solid(1, 1, c.pixel);
    const Encoded e = encode_swf(image, u"Lossless", 0x00FF0000);
    ASSERT_EQ(e.doEncode, S_OK);
    const Swf swf = walk(e.bytes);
    EXPECT_EQ(swf.header, (std::vector<uint64_t>{0x05535746, e.bytes.size(), 31, 12 << 8, 1}));  // "FWS" 5
    EXPECT_EQ(swf.stage, (std::array<int64_t, 4>{0, 20, 0, 20}));
    const Bytes& bitmap = swf.body(36);
    ASSERT_GT(bitmap.size(), 7u);
    EXPECT_EQ(Bytes(bitmap.begin(), bitmap.begin() + 7), (Bytes{1, 0, 5, 1, 0, 1, 0}));
    Bytes pixels(16);
    uLongf size = pixels.size();
    ASSERT_EQ(uncompress(pixels.data(), &size, bitmap.data() + 7, bitmap.size() - 7), Z_OK);
    pixels.resize(size);
    EXPECT_EQ(pixels, c.stored);
    EXPECT_EQ(swf.body(9), (Bytes{0xFF, 0x00, 0x00}));  // alpha is not written
  }
}

TEST(EncoderSWF, TheShapeStretchesTheBitmapAndSplitsLongSides) {
  const struct {
    int width, height;
    int64_t scaleX, scaleY;
    std::vector<std::pair<int64_t, int64_t>> edges;
  } cases[] = {{100, 50, 1311375, 1312030, {{2001, 0}, {0, 1001}, {-2001, 0}, {0, -1001}}},
               {3300, 2, 1310739, 1343488, {{65535, 0}, {466, 0}, {0, 41}, {-65535, 0}, {-466, 0}, {0, -41}}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.width);
    Image image = solid(c.width, c.height, 0xFF808080u);
    const Encoded e = encode_swf(image, u"Lossless");
    ASSERT_EQ(e.doEncode, S_OK);
    const Swf swf = walk(e.bytes);
    const std::array<int64_t, 4> rect{0, c.width * 20, 0, c.height * 20};
    EXPECT_EQ(swf.stage, rect);
    const Shape shape = read_shape(swf.body(32));
    EXPECT_EQ(shape.bounds, rect);
    EXPECT_EQ(shape.fills, (std::vector<std::array<int64_t, 3>>{{0xFFFF, 0xA0000, 0xA0000}, {1, c.scaleX, c.scaleY}}));
    EXPECT_EQ(shape.edges, c.edges);
  }
}

TEST(EncoderSWF, LosslessRefusesOtherPixelFormatsAndSidesBeyondSixteenBits) {
  Image wide = solid(65536, 1, 0xFF000000u);
  clear_error();
  EXPECT_EQ(encode_swf(wide, u"Lossless").doEncode, E_FAIL);
  EXPECT_EQ(take_error().description, u"Exception occured while encoding to SWF file (lossless)");
  Image image = solid(2, 2, 0xFF000000u);
  ComPtr<IDictionary> store = make_store();
  put_text(store.get(), u"CompressionType", u"Lossless");
  const Encoded e = encode(CLSID_EncoderSWF, store.get(), image, 0x21808);
  EXPECT_EQ(e.doEncode, E_INVALIDARG);
  EXPECT_TRUE(e.bytes.empty());
  EXPECT_EQ(take_error().description, u"This pixel format is not supported by SWF encoder!");
}

// ---- WBMP ----------------------------------------------------------------------------------------

TEST(EncoderWBMP, WritesTheHeaderAndByteAlignedRows) {
  Image halves = solid(16, 2, 0xFF000000u);
  for (int x = 8; x < 16; ++x) halves.set(x, 0, 0xFFFFFFFFu), halves.set(x, 1, 0xFFFFFFFFu);
  Bytes longRow{0, 0, 0x81, 0x48, 0x01};
  longRow.resize(longRow.size() + 25, 0x00);
  const struct {
    Image image;
    bool inverted;
    Bytes expected;
  } cases[] = {{solid(1, 1, 0xFFFFFFFFu), false, {0, 0, 1, 1, 0x80}},
               {solid(1, 1, 0xFFFFFFFFu), true, {0, 0, 1, 1, 0x7F}},
               {solid(1, 1, 0x00FFFFFFu), false, {0, 0, 1, 1, 0x80}},  // alpha is not looked at
               {halves, false, {0, 0, 0x10, 0x02, 0x00, 0xFF, 0x00, 0xFF}},
               {solid(200, 1, 0xFF000000u), false, longRow}};
  for (auto c : cases) {
    ComPtr<IDictionary> store = make_store();
    put_bool(store.get(), u"IsInverted", c.inverted);
    const Encoded e = encode(CLSID_EncoderWBMP, store.get(), c.image);
    ASSERT_EQ(e.doEncode, S_OK);
    EXPECT_EQ(e.bytes, c.expected);
  }
}

}  // namespace
}  // namespace zx::test
