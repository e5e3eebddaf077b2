// Zentarix GDI+ layer — MIT licence.
// Bitmaps in memory: creation, locks with conversions, pixels, palettes, clones, rotations, statuses.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <gdiplus.h>

using namespace Gdiplus;

namespace {

struct BitmapFixture : ::testing::Test {
  ULONG_PTR token = 0;
  void SetUp() override {
    GdiplusStartupInput input;
    ASSERT_EQ(GdiplusStartup(&token, &input, nullptr), Ok);
  }
  void TearDown() override { GdiplusShutdown(token); }
};

std::vector<uint8_t> lock_bytes(Bitmap& bmp, PixelFormat format, UINT mode = ImageLockModeRead) {
  BitmapData data{};
  Rect r(0, 0, static_cast<INT>(bmp.GetWidth()), static_cast<INT>(bmp.GetHeight()));
  EXPECT_EQ(bmp.LockBits(&r, mode, format, &data), Ok);
  std::vector<uint8_t> out;
  for (UINT y = 0; y < data.Height; ++y) {
    auto* row = static_cast<uint8_t*>(data.Scan0) + y * data.Stride;
    out.insert(out.end(), row, row + (data.Width * GetPixelFormatSize(format) + 7) / 8);
  }
  EXPECT_EQ(bmp.UnlockBits(&data), Ok);
  return out;
}

ARGB pixel(Bitmap& bmp, int x, int y) {
  Color c;
  EXPECT_EQ(bmp.GetPixel(x, y, &c), Ok);
  return c.GetValue();
}

using BitmapCreation = BitmapFixture;

TEST_F(BitmapCreation, NewBitmapIsTransparentMemoryBmpAt96Dpi) {
  Bitmap bmp(5, 3, PixelFormat32bppARGB);
  ASSERT_EQ(bmp.GetLastStatus(), Ok);
  EXPECT_EQ(bmp.GetWidth(), 5u);
  EXPECT_EQ(bmp.GetHeight(), 3u);
  EXPECT_EQ(bmp.GetPixelFormat(), PixelFormat32bppARGB);
  EXPECT_EQ(bmp.GetHorizontalResolution(), 96.0f);
  EXPECT_EQ(bmp.GetVerticalResolution(), 96.0f);
  GUID raw{};
  EXPECT_EQ(bmp.GetRawFormat(&raw), Ok);
  EXPECT_EQ(raw, ImageFormatMemoryBMP);
  EXPECT_EQ(bmp.GetType(), ImageTypeBitmap);
  EXPECT_EQ(lock_bytes(bmp, PixelFormat32bppARGB), std::vector<uint8_t>(5 * 3 * 4, 0));
}

TEST_F(BitmapCreation, RefusesBadSizesAndFormats) {
  GpBitmap* b = reinterpret_cast<GpBitmap*>(0x1);
  EXPECT_EQ(DllExports::GdipCreateBitmapFromScan0(0, 3, 0, PixelFormat32bppARGB, nullptr, &b), InvalidParameter);
  EXPECT_EQ(DllExports::GdipCreateBitmapFromScan0(3, 3, 0, PixelFormat48bppRGB, nullptr, &b), InvalidParameter);
  EXPECT_EQ(DllExports::GdipCreateBitmapFromScan0(3, 3, 6, PixelFormat32bppARGB, nullptr, &b), InvalidParameter);
  EXPECT_EQ(b, reinterpret_cast<GpBitmap*>(0x1));  // untouched on failure
  // 64250 x 64250 x 4 bytes cannot be addressed by a 32-bit stride times height: refused up front.
  EXPECT_EQ(DllExports::GdipCreateBitmapFromScan0(64250, 64250, 0, PixelFormat32bppARGB, nullptr, &b), OutOfMemory);
}

TEST_F(BitmapCreation, Scan0BitmapUsesCallerMemoryInPlace) {
  alignas(4) uint8_t rows[2][8] = {{1, 2, 3, 4, 5, 6, 7, 8}, {9, 10, 11, 12, 13, 14, 15, 16}};
  Bitmap bmp(2, 2, 8, PixelFormat32bppARGB, &rows[0][0]);
  ASSERT_EQ(bmp.GetLastStatus(), Ok);
  EXPECT_EQ(pixel(bmp, 1, 1), 0x100F0E0Du);
  EXPECT_EQ(bmp.SetPixel(0, 0, Color(0xAABBCCDD)), Ok);
  EXPECT_EQ(rows[0][0], 0xDD);
  EXPECT_EQ(rows[0][3], 0xAA);
  BitmapData data{};
  Rect r(1, 1, 1, 1);
  ASSERT_EQ(bmp.LockBits(&r, ImageLockModeRead, PixelFormat32bppARGB, &data), Ok);
  EXPECT_EQ(data.Scan0, &rows[1][4]);  // own format: the bitmap's memory, no copy
  EXPECT_EQ(data.Stride, 8);
  bmp.UnlockBits(&data);
}

using LockBits = BitmapFixture;

TEST_F(LockBits, ArgbToPargbPremultipliesWithGdiplusRounding) {
  Bitmap bmp(3, 1, PixelFormat32bppARGB);
  bmp.SetPixel(0, 0, Color(0x80FF8001));  // a=128: 255*128+127 = 32767 / 255 = 128; 128*128+127 = 16511 / 255 = 64
  bmp.SetPixel(1, 0, Color(0x00FFFFFF));
  bmp.SetPixel(2, 0, Color(0x01FF0000));  // a=1: (255+127)/255 = 1
  EXPECT_EQ(lock_bytes(bmp, PixelFormat32bppPARGB),
            (std::vector<uint8_t>{1, 64, 128, 128, 0, 0, 0, 0, 0, 0, 1, 1}));
}

TEST_F(LockBits, PargbWriteBackUnpremultipliesRounded) {
  Bitmap bmp(2, 1, PixelFormat32bppARGB);
  BitmapData data{};
  ASSERT_EQ(bmp.LockBits(nullptr, ImageLockModeWrite, PixelFormat32bppPARGB, &data), Ok);
  const uint8_t px[8] = {10, 64, 100, 128, 7, 7, 7, 0};  // c*255/a rounded: 10 -> 20 (19.92), 64 -> 128 (127.5)
  std::memcpy(data.Scan0, px, 8);
  ASSERT_EQ(bmp.UnlockBits(&data), Ok);
  EXPECT_EQ(pixel(bmp, 0, 0), 0x80C78014u);  // 100*255/128 = 199.2 -> 199 = 0xC7
  EXPECT_EQ(pixel(bmp, 1, 0), 0x00000000u);  // alpha 0 keeps no colour
}

TEST_F(LockBits, RgbFormatsReadOpaqueAndDropAlphaOnWrite) {
  Bitmap rgb24(2, 1, PixelFormat24bppRGB);
  BitmapData data{};
  ASSERT_EQ(rgb24.LockBits(nullptr, ImageLockModeWrite, PixelFormat24bppRGB, &data), Ok);
  const uint8_t px[6] = {1, 2, 3, 4, 5, 6};
  std::memcpy(data.Scan0, px, 6);
  rgb24.UnlockBits(&data);
  EXPECT_EQ(lock_bytes(rgb24, PixelFormat32bppARGB), (std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 255}));

  Bitmap rgb32(1, 1, PixelFormat32bppRGB);
  ASSERT_EQ(rgb32.LockBits(nullptr, ImageLockModeWrite, PixelFormat32bppARGB, &data), Ok);
  const uint8_t argb[4] = {10, 20, 30, 40};
  std::memcpy(data.Scan0, argb, 4);
  rgb32.UnlockBits(&data);
  EXPECT_EQ(pixel(rgb32, 0, 0), 0xFF1E140Au);
  EXPECT_EQ(lock_bytes(rgb32, PixelFormat24bppRGB), (std::vector<uint8_t>{10, 20, 30}));
}

TEST_F(LockBits, SixteenBitFormatsExpandAndTruncate) {
  Bitmap bmp(1, 1, PixelFormat16bppRGB565);
  bmp.SetPixel(0, 0, Color(0xFFFF8040));  // r 31, g 32, b 8 -> 0xF800 | 0x0400 | 0x0008
  EXPECT_EQ(lock_bytes(bmp, PixelFormat16bppRGB565), (std::vector<uint8_t>{0x08, 0xFC}));
  EXPECT_EQ(pixel(bmp, 0, 0), 0xFFFF8242u);  // expanded by bit replication
  Bitmap a1555(1, 1, PixelFormat16bppARGB1555);
  a1555.SetPixel(0, 0, Color(0x7FFFFFFF));  // alpha under half: transparent
  EXPECT_EQ(pixel(a1555, 0, 0), 0x00FFFFFFu);
}

TEST_F(LockBits, IndexedReadsThroughPaletteAndWritesNearestEntry) {
  Bitmap bmp(9, 1, PixelFormat4bppIndexed);
  BitmapData data{};
  ASSERT_EQ(bmp.LockBits(nullptr, ImageLockModeWrite, PixelFormat4bppIndexed, &data), Ok);
  const uint8_t idx[5] = {0x01, 0x23, 0x9A, 0xBC, 0xF0};
  std::memcpy(data.Scan0, idx, 5);
  bmp.UnlockBits(&data);
  // The default 4-bpp palette is the VGA 16: 0 black, 1 dark red, 9 red, 15 white.
  EXPECT_EQ(pixel(bmp, 0, 0), 0xFF000000u);
  EXPECT_EQ(pixel(bmp, 1, 0), 0xFF800000u);
  EXPECT_EQ(pixel(bmp, 4, 0), 0xFFFF0000u);
  EXPECT_EQ(pixel(bmp, 8, 0), 0xFFFFFFFFu);

  // ARGB written back into an indexed bitmap: nearest entry by RGB distance.
  Rect r(1, 0, 3, 1);  // starts mid-byte: converted, not handed out
  ASSERT_EQ(bmp.LockBits(&r, ImageLockModeWrite, PixelFormat32bppARGB, &data), Ok);
  const ARGB colours[3] = {0xFFF00A0A, 0xFF0000F0, 0xFFBEBEBE};
  std::memcpy(data.Scan0, colours, sizeof colours);
  bmp.UnlockBits(&data);
  auto bytes = lock_bytes(bmp, PixelFormat4bppIndexed);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0x09, 0xC7, 0x9A, 0xBC, 0xF0}));
}

TEST_F(LockBits, IndexedLockOfAnRgbBitmapIsRefused) {
  Bitmap bmp(2, 2, PixelFormat32bppARGB);
  BitmapData data{};
  EXPECT_EQ(bmp.LockBits(nullptr, ImageLockModeRead, PixelFormat8bppIndexed, &data), InvalidParameter);
}

TEST_F(LockBits, UserBufferReceivesAndReturnsConvertedPixels) {
  Bitmap bmp(2, 2, PixelFormat32bppARGB);
  bmp.SetPixel(1, 1, Color(0xFF102030));
  uint8_t buffer[2][8] = {};
  BitmapData data{};
  data.Scan0 = buffer;
  data.Stride = 8;
  Rect r(1, 0, 1, 2);
  ASSERT_EQ(bmp.LockBits(&r, ImageLockModeRead | ImageLockModeWrite | ImageLockModeUserInputBuf,
                         PixelFormat24bppRGB, &data), Ok);
  EXPECT_EQ(data.Scan0, static_cast<void*>(buffer));
  EXPECT_EQ(buffer[1][0], 0x30);
  EXPECT_EQ(buffer[1][2], 0x10);
  buffer[0][0] = 0xAA;
  buffer[0][1] = 0xBB;
  buffer[0][2] = 0xCC;
  ASSERT_EQ(bmp.UnlockBits(&data), Ok);
  EXPECT_EQ(pixel(bmp, 1, 0), 0xFFCCBBAAu);  // 24 bpp written back opaque
  EXPECT_EQ(pixel(bmp, 0, 0), 0x00000000u);  // outside the rectangle untouched
}

TEST_F(LockBits, SecondLockIsRefusedWithWrongStateAndPixelsWait) {
  Bitmap bmp(2, 2, PixelFormat32bppARGB);
  BitmapData first{}, second{};
  ASSERT_EQ(bmp.LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &first), Ok);
  EXPECT_EQ(bmp.LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &second), WrongState);
  Color c;
  EXPECT_EQ(bmp.GetPixel(0, 0, &c), WrongState);
  EXPECT_EQ(bmp.UnlockBits(&first), Ok);
  EXPECT_EQ(bmp.UnlockBits(&first), WrongState);
  EXPECT_EQ(bmp.LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &second), Ok);
  bmp.UnlockBits(&second);
}

TEST_F(LockBits, RectangleOutsideOrEmptyIsInvalid) {
  Bitmap bmp(4, 4, PixelFormat32bppARGB);
  BitmapData data{};
  Rect outside(2, 2, 3, 1), empty(0, 0, 0, 1), negative(-1, 0, 1, 1);
  EXPECT_EQ(bmp.LockBits(&outside, ImageLockModeRead, PixelFormat32bppARGB, &data), InvalidParameter);
  EXPECT_EQ(bmp.LockBits(&empty, ImageLockModeRead, PixelFormat32bppARGB, &data), InvalidParameter);
  EXPECT_EQ(bmp.LockBits(&negative, ImageLockModeRead, PixelFormat32bppARGB, &data), InvalidParameter);
  EXPECT_EQ(bmp.LockBits(nullptr, 0, PixelFormat32bppARGB, &data), InvalidParameter);
}

using Pixels = BitmapFixture;

TEST_F(Pixels, OutOfBoundsAndIndexedSetPixelAreInvalidParameter) {
  Bitmap bmp(3, 2, PixelFormat32bppARGB);
  Color c(0x12345678);
  EXPECT_EQ(bmp.GetPixel(3, 0, &c), InvalidParameter);
  EXPECT_EQ(bmp.GetPixel(0, -1, &c), InvalidParameter);
  EXPECT_EQ(c.GetValue(), 0x12345678u);
  EXPECT_EQ(bmp.SetPixel(0, 2, Color(0xFFFFFFFF)), InvalidParameter);
  Bitmap indexed(2, 2, PixelFormat8bppIndexed);
  EXPECT_EQ(indexed.SetPixel(0, 0, Color(0xFFFFFFFF)), InvalidParameter);
  EXPECT_EQ(indexed.GetPixel(1, 1, &c), Ok);
  EXPECT_EQ(c.GetValue(), 0xFF000000u);  // index 0 of the halftone palette
}

TEST_F(Pixels, WrapperKeepsLastFailureUntilRead) {
  Bitmap bmp(2, 2, PixelFormat32bppARGB);
  Color c;
  EXPECT_EQ(bmp.GetPixel(5, 5, &c), InvalidParameter);
  EXPECT_EQ(bmp.GetPixel(0, 0, &c), Ok);  // a later success does not clear it
  EXPECT_EQ(bmp.GetLastStatus(), InvalidParameter);
  EXPECT_EQ(bmp.GetLastStatus(), Ok);  // reading resets it
  EXPECT_EQ(bmp.SetResolution(0, 72), InvalidParameter);
  EXPECT_EQ(bmp.GetHorizontalResolution(), 96.0f);
  EXPECT_EQ(bmp.GetLastStatus(), InvalidParameter);
  EXPECT_EQ(bmp.SetResolution(300, 72), Ok);
  EXPECT_EQ(bmp.GetHorizontalResolution(), 300.0f);
  EXPECT_EQ(bmp.GetVerticalResolution(), 72.0f);
  Bitmap failed(-1, 2, PixelFormat32bppARGB);
  EXPECT_EQ(failed.GetLastStatus(), InvalidParameter);
  EXPECT_EQ(failed.GetWidth(), 0u);
  EXPECT_EQ(failed.GetLastStatus(), InvalidParameter);
}

using Palettes = BitmapFixture;

TEST_F(Palettes, DefaultsCarryFlagsAndSetPaletteReplacesThem) {
  Bitmap mono(8, 1, PixelFormat1bppIndexed);
  ASSERT_EQ(mono.GetPaletteSize(), 16);
  std::vector<uint8_t> block(16 + 256 * 4);
  auto* pal = reinterpret_cast<ColorPalette*>(block.data());
  ASSERT_EQ(mono.GetPalette(pal, 16), Ok);
  EXPECT_EQ(pal->Flags, UINT(PaletteFlagsGrayScale));
  EXPECT_EQ(pal->Count, 2u);
  EXPECT_EQ(pal->Entries[1], 0xFFFFFFFFu);
  EXPECT_EQ(mono.GetPalette(pal, 15), InvalidParameter);

  Bitmap eight(1, 1, PixelFormat8bppIndexed);
  ASSERT_EQ(eight.GetPalette(pal, eight.GetPaletteSize()), Ok);
  EXPECT_EQ(pal->Flags, UINT(PaletteFlagsHalftone));
  EXPECT_EQ(pal->Count, 256u);
  EXPECT_EQ(pal->Entries[16 + 36 * 5 + 6 * 0 + 5], 0xFFFF00FFu);  // cube entry (5, 0, 5)

  pal->Flags = PaletteFlagsHasAlpha;
  pal->Count = 3;
  pal->Entries[0] = 0x00000000;
  pal->Entries[1] = 0x80FF0000;
  pal->Entries[2] = 0xFF00FF00;
  ASSERT_EQ(mono.SetPalette(pal), InvalidParameter);  // 3 entries do not fit 1 bpp
  ASSERT_EQ(eight.SetPalette(pal), Ok);
  EXPECT_EQ(eight.GetPaletteSize(), 8 + 12);
  ASSERT_EQ(eight.GetPalette(pal, 20), Ok);
  EXPECT_EQ(pal->Flags, UINT(PaletteFlagsHasAlpha));
  EXPECT_EQ(pal->Entries[1], 0x80FF0000u);
  Color c;
  EXPECT_EQ(eight.GetPixel(0, 0, &c), Ok);
  EXPECT_EQ(c.GetValue(), 0x00000000u);
}

using Transforms = BitmapFixture;

// The 3 x 2 source:  a b c
//                    d e f
TEST_F(Transforms, RotateFlipMovesEveryPixelExactly) {
  const ARGB a = 0xFF0000A1, b = 0xFF0000B2, c = 0xFF0000C3, d = 0xFF0000D4, e = 0xFF0000E5, f = 0xFF0000F6;
  struct Case {
    RotateFlipType type;
    int w, h;
    std::vector<ARGB> rows;
  } cases[] = {
      {RotateNoneFlipNone, 3, 2, {a, b, c, d, e, f}},
      {Rotate90FlipNone, 2, 3, {d, a, e, b, f, c}},
      {Rotate180FlipNone, 3, 2, {f, e, d, c, b, a}},
      {Rotate270FlipNone, 2, 3, {c, f, b, e, a, d}},
      {RotateNoneFlipX, 3, 2, {c, b, a, f, e, d}},
      {Rotate90FlipX, 2, 3, {a, d, b, e, c, f}},
      {Rotate180FlipX, 3, 2, {d, e, f, a, b, c}},
      {Rotate270FlipX, 2, 3, {f, c, e, b, d, a}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.type);
    for (PixelFormat format : {PixelFormat32bppARGB, PixelFormat24bppRGB}) {
      Bitmap bmp(3, 2, format);
      const ARGB src[6] = {a, b, c, d, e, f};
      for (int i = 0; i < 6; ++i) bmp.SetPixel(i % 3, i / 3, Color(src[i]));
      bmp.SetResolution(100, 50);
      ASSERT_EQ(bmp.RotateFlip(k.type), Ok);
      ASSERT_EQ(int(bmp.GetWidth()), k.w);
      ASSERT_EQ(int(bmp.GetHeight()), k.h);
      for (int i = 0; i < 6; ++i) EXPECT_EQ(pixel(bmp, i % k.w, i / k.w), k.rows[i]) << i;
      EXPECT_EQ(bmp.GetHorizontalResolution(), k.w == 2 ? 50.0f : 100.0f);
    }
  }
}

TEST_F(Transforms, RotateMovesSubByteIndices) {
  Bitmap bmp(3, 2, PixelFormat1bppIndexed);
  BitmapData data{};
  ASSERT_EQ(bmp.LockBits(nullptr, ImageLockModeWrite, PixelFormat1bppIndexed, &data), Ok);
  static_cast<uint8_t*>(data.Scan0)[0] = 0b10000000;  // (0,0) white
  static_cast<uint8_t*>(data.Scan0)[data.Stride] = 0b00100000;  // (2,1) white
  bmp.UnlockBits(&data);
  ASSERT_EQ(bmp.RotateFlip(Rotate90FlipNone), Ok);  // (0,0) -> (1,0); (2,1) -> (0,2)
  EXPECT_EQ(pixel(bmp, 1, 0), 0xFFFFFFFFu);
  EXPECT_EQ(pixel(bmp, 0, 2), 0xFFFFFFFFu);
  EXPECT_EQ(pixel(bmp, 0, 0), 0xFF000000u);
  EXPECT_EQ(pixel(bmp, 1, 2), 0xFF000000u);
}

TEST_F(Transforms, CloneCopiesARectangleIntoAFormat) {
  Bitmap bmp(4, 3, PixelFormat32bppARGB);
  bmp.SetPixel(1, 1, Color(0x80FF0000));
  bmp.SetPixel(2, 2, Color(0xFF00FF00));
  bmp.SetResolution(150, 150);
  std::unique_ptr<Bitmap> part(bmp.Clone(1, 1, 2, 2, PixelFormat32bppPARGB));
  ASSERT_EQ(part->GetLastStatus(), Ok);
  EXPECT_EQ(part->GetWidth(), 2u);
  EXPECT_EQ(part->GetPixelFormat(), PixelFormat32bppPARGB);
  EXPECT_EQ(part->GetHorizontalResolution(), 150.0f);
  EXPECT_EQ(lock_bytes(*part, PixelFormat32bppPARGB),
            (std::vector<uint8_t>{0, 0, 128, 128, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 255}));
  std::unique_ptr<Bitmap> outside(bmp.Clone(3, 0, 2, 1, PixelFormat32bppARGB));
  EXPECT_EQ(outside->GetLastStatus(), InvalidParameter);
  EXPECT_EQ(bmp.GetLastStatus(), InvalidParameter);
  std::unique_ptr<Image> whole(bmp.Clone());
  EXPECT_EQ(whole->GetWidth(), 4u);
  EXPECT_EQ(pixel(*static_cast<Bitmap*>(whole.get()), 2, 2), 0xFF00FF00u);
}

}  // namespace
