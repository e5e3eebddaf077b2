// Zentarix — MIT licence.
// Writes the benchmark's animated GIF: the same bytes on every run, built with giflib. A 400 x 300
// screen; frame 0 covers it, every later frame redraws a 160 x 120 block that moves across the
// screen, part of it transparent, so that a reader must compose each frame over the ones before.
#include <gif_lib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_animation <output.gif> <frames>\n");
    return 2;
  }
  const int frames = std::atoi(argv[2]);
  constexpr int kWidth = 400, kHeight = 300, kBlockW = 160, kBlockH = 120;
  int error = 0;
  GifFileType* gif = EGifOpenFileName(argv[1], false, &error);
  if (!gif) return 1;
  EGifSetGifVersion(gif, true);
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  for (int i = 0; i < 256; ++i)  // a 6 x 7 x 6 colour cube, then greys
    map->Colors[i] = i < 252 ? GifColorType{GifByteType(i / 42 * 51), GifByteType(i / 6 % 7 * 42), GifByteType(i % 6 * 51)}
                             : GifColorType{GifByteType(i), GifByteType(i), GifByteType(i)};
  bool ok = EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map) == GIF_OK;
  uint32_t state = 12345;  // a fixed linear congruential sequence: the same picture every time
  auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 16; };
  std::vector<GifByteType> row(kWidth);
  for (int f = 0; f < frames && ok; ++f) {
    const bool full = f == 0;
    const int w = full ? kWidth : kBlockW, h = full ? kHeight : kBlockH;
    const int left = full ? 0 : (f * 23) % (kWidth - kBlockW), top = full ? 0 : (f * 17) % (kHeight - kBlockH);
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 8, full ? NO_TRANSPARENT_COLOR : 255};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, ext) == GIF_OK &&
         EGifPutImageDesc(gif, left, top, w, h, false, nullptr) == GIF_OK;
    for (int y = 0; y < h && ok; ++y) {
      // Runs of one colour, as drawings and screen captures have, with a transparent hole.
      for (int x = 0; x < w; ++x) {
        const bool hole = !full && x > w / 3 && x < w / 2 && y > h / 3 && y < h / 2;
        row[x] = hole ? 255 : GifByteType((x / 8 + y / 8 + f) % 252 ^ (next() % 4 == 0 ? 1 : 0));
      }
      ok = EGifPutLine(gif, row.data(), w) == GIF_OK;
    }
  }
  GifFreeMapObject(map);
  return EGifCloseFile(gif, &error) == GIF_OK && ok ? 0 : 1;
}
