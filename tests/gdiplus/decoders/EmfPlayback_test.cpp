// Zentarix — MIT licence.
// EMF playback: small files written here pin GDI's semantics pixel by pixel; hostile files stop
// cleanly; the corpus files render what they show.
#include <bit>
#include <filesystem>

#include "decoder_test_support.h"

namespace zx::gdip::test {
namespace {

constexpr uint32_t kRed = 0xFFFF0000, kBlack = 0xFF000000, kWhite = 0xFFFFFFFF, kNone = 0;
constexpr int32_t kRedRef = 0x0000FF;  // COLORREF
constexpr int32_t kNullPen = int32_t(0x80000008), kBlackBrush = int32_t(0x80000004);

int32_t f(float v) { return std::bit_cast<int32_t>(v); }

enum : uint32_t { HEADER = 1, POLYGON16 = 86, SETWINDOWEXTEX = 9, SETWINDOWORGEX = 10, SETVIEWPORTEXTEX = 11,
                  SETMAPMODE = 17, SETBKMODE = 18, SETROP2 = 20, SETTEXTALIGN = 22, EXCLUDECLIPRECT = 29, INTERSECTCLIPRECT = 30,
                  SAVEDC = 33, RESTOREDC = 34, SETWORLDTRANSFORM = 35, MODIFYWORLDTRANSFORM = 36, SELECTOBJECT = 37,
                  CREATEPEN = 38, CREATEBRUSH = 39, RECTANGLE = 43, MOVETOEX = 27, LINETO = 54, GDICOMMENT = 70,
                  BITBLT = 76, STRETCHDIBITS = 81, CREATEFONT = 82, EXTTEXTOUTW = 84, EXTCREATEPEN = 95 };

// A file that selects a red brush (object 1) and no pen, then draws the records given.
EmfWriter red_fill(int w = 40, int h = 40) {
  EmfWriter emf(w, h);
  emf.record(CREATEBRUSH, {1, 0, kRedRef, 0}).record(SELECTOBJECT, {1}).record(SELECTOBJECT, {kNullPen});
  return emf;
}

EmfWriter& font_and_text(EmfWriter& emf, int align, int x, int y, const std::u16string& text) {
  std::vector<int32_t> font = {2, -16, 0, 0, 0, 400, 0, 0};  // LOGFONTW: height -16, no face name
  font.resize(1 + 23, 0);
  emf.record(CREATEFONT, font).record(SELECTOBJECT, {2}).record(SETBKMODE, {1}).record(SETTEXTALIGN, {align});
  std::vector<int32_t> r = {0, 0, -1, -1, 1, f(1), f(1), x, y, int32_t(text.size()), 76, 0, 0, 0, 0, 0, 0};
  r.resize(r.size() + (text.size() + 1) / 2, 0);
  std::memcpy(r.data() + 17, text.data(), text.size() * 2);
  return emf.record(EXTTEXTOUTW, r);
}

// A 2 x 2 32 bpp DIB, bottom-up: blue, green on the bottom row; red, white on the top.
std::vector<int32_t> dib_2x2() {
  return {40, 2, 2, 1 | 32 << 16, 0, 16, 0, 0, 0, 0, int32_t(0x000000FF), int32_t(0x0000FF00), int32_t(0x00FF0000),
          int32_t(0x00FFFFFF)};
}

struct Probe {
  int x, y, w, h;
  uint32_t colour;
  bool every = true;  // every pixel of the box has the colour; false: at least one has
};

struct Case {
  const char* name;
  std::vector<uint8_t> file;
  std::vector<Probe> probes;
};

void check(const Case& c) {
  SCOPED_TRACE(c.name);
  DecodeResult r;
  decode_into(c.file, r);
  ASSERT_EQ(r.status, Gdiplus::Ok);
  const std::string folder = std::string(ZX_BINARY_DIR) + "/emf_renderings";
  std::filesystem::create_directories(folder);
  write_png(r.sink, folder + "/" + c.name + ".png");
  for (const Probe& p : c.probes) {
    int hits = 0;
    for (int y = p.y; y < p.y + p.h; ++y)
      for (int x = p.x; x < p.x + p.w; ++x) hits += r.sink.at(x, y) == p.colour;
    if (p.every) EXPECT_EQ(hits, p.w * p.h) << std::hex << p.colour << " in " << std::dec << p.x << "," << p.y;
    else EXPECT_GT(hits, 0) << std::hex << p.colour << " in " << std::dec << p.x << "," << p.y;
  }
}

std::vector<uint8_t> bytes(EmfWriter emf) { return emf.bytes(); }

// A BitBlt record without a source bitmap (a pattern or constant operation).
std::vector<int32_t> blit(int x, int y, int w, int h, int32_t rop) {
  return {0, 0, 0, 0, x, y, w, h, rop, 0, 0, f(1), 0, 0, f(1), 0, 0, 0, 0, 0, 0, 0, 0};
}

std::vector<Case> hand_made() {
  EmfWriter text_right(60, 30), text_left(60, 30);
  const std::vector<int32_t> dib = dib_2x2();
  std::vector<int32_t> stretch = {0, 0, 19, 19, 0, 0, 0, 0, 2, 2, 80, 40, 120, 16, 0, 0x00CC0020, 20, 20};
  stretch.insert(stretch.end(), dib.begin(), dib.end());
  std::vector<int32_t> invert = stretch;
  invert[15] = 0x00660046;  // SRCINVERT
  // An EMF+ rectangle, 0x800000FF, then the same picture in GDI records for readers without EMF+.
  // An unknown EMF+ record is skipped; GDI records after an EmfPlusGetDC are played.
  const std::vector<int32_t> plus = {
      4 + 28 + 12 + 36, 0x2B464D45,
      0x4001 | 1 << 16, 28, 16, int32_t(0xDBC01002), 0, 100, 100,  // header, 100 dpi
      0x40FF, 12, 0,
      0x400A | int32_t(0x8000) << 16, 36, 24, int32_t(0x800000FF), 1, f(0), f(0), f(20), f(20)};  // FillRects
  return {
      {"rectangle", bytes(EmfWriter(40, 40).record(CREATEBRUSH, {1, 0, kRedRef, 0}).record(SELECTOBJECT, {1})
                              .record(RECTANGLE, {10, 10, 20, 20})),
       {{10, 10, 10, 1, kBlack}, {19, 10, 1, 10, kBlack}, {11, 11, 8, 8, kRed}, {20, 10, 1, 11, kNone},
        {10, 20, 11, 1, kNone}}},
      {"anisotropic", bytes(red_fill().record(SETMAPMODE, {8}).record(SETWINDOWEXTEX, {200, 200})
                                .record(SETVIEWPORTEXTEX, {40, 40}).record(SETWINDOWORGEX, {100, 100})
                                .record(RECTANGLE, {100, 100, 200, 200})),
       {{1, 1, 17, 17, kRed}, {21, 0, 19, 40, kNone}}},
      {"himetric", bytes(red_fill().record(SETMAPMODE, {3}).record(RECTANGLE, {254, -254, 508, -508})),
       {{11, 11, 8, 8, kRed}, {0, 0, 9, 40, kNone}, {21, 0, 19, 40, kNone}}},
      {"world", bytes(red_fill().record(SETWORLDTRANSFORM, {f(2), 0, 0, f(2), f(5), f(5)})
                          .record(MODIFYWORLDTRANSFORM, {f(1), 0, 0, f(1), f(5), 0, 2})
                          .record(RECTANGLE, {0, 0, 5, 5})),
       {{16, 6, 8, 8, kRed}, {0, 0, 14, 40, kNone}, {26, 0, 14, 40, kNone}}},
      {"wide_pen", bytes(EmfWriter(40, 40).record(EXTCREATEPEN, {1, 0, 0, 0, 0, 0x10000, 6, 0, 0, 0, 0})
                             .record(SELECTOBJECT, {1}).record(MOVETOEX, {0, 20}).record(LINETO, {40, 20})),
       {{0, 18, 40, 4, kBlack}, {0, 0, 40, 16, kNone}, {0, 24, 40, 16, kNone}}},
      {"dashed_pen", bytes(EmfWriter(40, 40).record(CREATEPEN, {1, 1, 0, 0, 0}).record(SELECTOBJECT, {1})
                               .record(MOVETOEX, {0, 20}).record(LINETO, {40, 20})),
       {{1, 20, 16, 1, kBlack}, {19, 20, 4, 1, kNone}, {25, 20, 14, 1, kBlack}, {0, 21, 40, 19, kNone}}},
      {"clip", bytes(red_fill().record(INTERSECTCLIPRECT, {0, 0, 20, 40}).record(EXCLUDECLIPRECT, {5, 5, 10, 10})
                         .record(RECTANGLE, {0, 0, 41, 41})),
       {{0, 0, 20, 5, kRed}, {5, 5, 5, 5, kNone}, {20, 0, 20, 40, kNone}}},
      {"save_restore", bytes(red_fill().record(SAVEDC, {}).record(SETWORLDTRANSFORM, {f(4), 0, 0, f(4), 0, 0})
                                 .record(INTERSECTCLIPRECT, {0, 0, 1, 1}).record(RESTOREDC, {-1})
                                 .record(RECTANGLE, {20, 20, 31, 31})),
       {{20, 20, 10, 10, kRed}, {0, 0, 20, 40, kNone}, {31, 0, 9, 40, kNone}}},
      {"text_right", bytes(std::move(font_and_text(text_right, 2, 30, 5, u"HH"))),
       {{0, 0, 30, 30, kBlack, false}, {30, 0, 30, 30, kNone}}},
      {"text_left", bytes(std::move(font_and_text(text_left, 0, 30, 5, u"HH"))),
       {{30, 5, 30, 20, kBlack, false}, {0, 0, 30, 30, kNone}, {30, 0, 30, 5, kNone}}},
      {"stretchdibits", bytes(EmfWriter(40, 40).record(STRETCHDIBITS, stretch)),
       {{0, 0, 10, 10, kRed}, {10, 0, 10, 10, kWhite}, {0, 10, 10, 10, 0xFF0000FF}, {10, 10, 10, 10, 0xFF00FF00},
        {20, 0, 20, 40, kNone}}},
      {"srcinvert", bytes(red_fill().record(BITBLT, blit(0, 0, 20, 20, 0x00F00021)).record(STRETCHDIBITS, invert)),
       {{0, 0, 10, 10, kBlack}, {10, 0, 10, 10, 0xFF00FFFF}, {0, 10, 10, 10, 0xFFFF00FF}, {10, 10, 10, 10, 0xFFFFFF00},
        {20, 0, 20, 40, kNone}}},
      {"rop2_xor", bytes(red_fill().record(RECTANGLE, {0, 0, 21, 21}).record(SETROP2, {7}).record(RECTANGLE, {10, 0, 31, 21})),
       {{0, 0, 10, 20, kRed}, {10, 0, 10, 20, kBlack}, {20, 0, 10, 20, kRed}, {0, 20, 40, 20, kNone}}},
      {"rop3", bytes(red_fill().record(BITBLT, blit(0, 0, 20, 20, 0x00F00021))
                         .record(BITBLT, blit(10, 0, 10, 10, 0x00000042))
                         .record(BITBLT, blit(0, 10, 10, 10, 0x00FF0062))
                         .record(BITBLT, blit(10, 10, 10, 10, 0x005A0049))),
       {{0, 0, 10, 10, kRed}, {10, 0, 10, 10, kBlack}, {0, 10, 10, 10, kWhite}, {10, 10, 10, 10, kBlack},
        {20, 0, 20, 40, kNone}}},
      {"dual", bytes(red_fill().record(GDICOMMENT, plus).record(RECTANGLE, {0, 0, 31, 31})
                         .record(GDICOMMENT, {16, 0x2B464D45, 0x4004, 12, 0}).record(RECTANGLE, {25, 25, 36, 36})),
       {{0, 0, 20, 20, 0x800000FF}, {20, 0, 5, 40, kNone}, {0, 20, 40, 5, kNone}, {26, 26, 8, 8, kRed}}},
  };
}

TEST(EmfPlayback, HandMadeFilesDrawAsGdiDoes) {
  for (const Case& c : hand_made()) check(c);
}

// Damaged copies of the hand-made files (every record's fields in turn) play or fail cleanly.
TEST(EmfPlayback, DamagedFilesPlayOrFailCleanly) {
  for (const Case& c : hand_made())
    for (uint8_t noise : {0x80, 0xFF})
      for (size_t i = 88; i < c.file.size(); i += 3) {
        std::vector<uint8_t> damaged = c.file;
        damaged[i] ^= noise;
        DecodeResult r;
        decode_into(damaged, r);
        ASSERT_EQ(r.status, Gdiplus::Ok) << c.name << " byte " << i;
      }
}

// Each file draws a black square at (0,0)-(10,10), then breaks: playback ends with the square drawn.
TEST(EmfPlayback, HostileRecordsStopPlaybackCleanly) {
  const auto square = [] {
    EmfWriter emf(40, 40, 2);
    emf.record(SELECTOBJECT, {kBlackBrush}).record(RECTANGLE, {0, 0, 11, 11});
    return emf;
  };
  std::vector<uint8_t> truncated = square().record(RECTANGLE, {20, 20, 30, 30}).bytes();
  truncated.resize(truncated.size() - 20 - 8);  // the last rectangle loses its corners
  std::vector<uint8_t> huge_size = square().record(RECTANGLE, {20, 20, 30, 30}).bytes();
  huge_size[huge_size.size() - 20 - 24 + 7] = 0x7F;  // its size reaches far past the file
  const struct {
    const char* name;
    std::vector<uint8_t> file;
  } cases[] = {
      {"truncated", truncated},
      {"record size", huge_size},
      {"point count", bytes(square().record(POLYGON16, {0, 0, 40, 40, 0x7FFFFFFF, 20, 20, 30, 30}))},
      {"object index", bytes(square().record(SELECTOBJECT, {7}).record(RECTANGLE, {20, 20, 30, 30}))},
      {"dash count", bytes(square().record(CREATEPEN, {1, 1, 0, 0, 0}).record(SELECTOBJECT, {1})
                             .record(MOVETOEX, {INT32_MIN, 30}).record(LINETO, {40, 30}))},
      {"comment size", bytes(square().record(GDICOMMENT, {int32_t(0xFFFFFFF0), 0x2B464D45}).record(RECTANGLE, {20, 20, 30, 30}))},
      {"emf+ size", bytes(square().record(GDICOMMENT, {16, 0x2B464D45, 0x4001, int32_t(0x7FFFFFF0), 0x7FFFFFE0})
                              .record(RECTANGLE, {20, 20, 30, 30}))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    DecodeResult r;
    decode_into(c.file, r);
    ASSERT_EQ(r.status, Gdiplus::Ok);
    EXPECT_EQ(r.sink.at(5, 5), kBlack);
    EXPECT_EQ(r.sink.at(25, 25), kNone);
  }
}

TEST(EmfPlayback, BrokenHeadersAndHugeFramesFailBeforeAllocating) {
  std::vector<uint8_t> huge = EmfWriter(40, 40).bytes(), zero = huge, no_device = huge, cut = huge;
  const int32_t big = 2000000000;
  std::memcpy(huge.data() + 32, &big, 4);
  std::memset(zero.data() + 24, 0, 16);
  std::memset(no_device.data() + 80, 0, 8);
  cut.resize(60);
  for (const auto& file : {huge, zero, no_device, cut}) {
    DecodeResult r;
    decode_into(file, r);
    EXPECT_NE(r.status, Gdiplus::Ok);
    EXPECT_EQ(r.sink.allocations, 0);
  }
}

// The corpus files, with what they show worked out from their records: a red circle with a 13-pixel
// black outline; a grey button with black text.
TEST(EmfPlayback, CorpusFilesRenderWhatTheyShow) {
  const Case cases[] = {
      {"pillow_drawing", read_file(corpus("emf/pillow_drawing.emf")),
       {{600, 600, 100, 100, kRed}, {0, 0, 3, 3, kNone}, {1345, 1345, 25, 25, kNone}, {669, 2, 1, 10, kBlack}}},
      {"soap4r_button", read_file(corpus("emf/soap4r_stockquote_button2.emf")),
       {{4, 4, 15, 26, 0xFFECE9D8}, {99, 0, 1, 35, 0xFF716F64}, {22, 10, 54, 14, kBlack, false}}},
  };
  for (const Case& c : cases) check(c);
}

}  // namespace
}  // namespace zx::gdip::test
