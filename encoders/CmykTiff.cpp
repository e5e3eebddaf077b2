// Zentarix — MIT licence.
// The uncompressed CMYK TIFF of the TIFF encoder, written by libtiff into memory.
#include "CmykTiff.h"

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace zx::encoding {
namespace {

// The file as libtiff's client I/O sees it: seekable, growing on write.
struct Sink {
  std::vector<uint8_t>& bytes;
  toff_t position = 0;
  bool outOfMemory = false;
};

tmsize_t sink_read(thandle_t, void*, tmsize_t) { return 0; }  // a file being written is not read back
tmsize_t sink_write(thandle_t h, void* data, tmsize_t size) {
  auto* s = static_cast<Sink*>(h);
  if (size < 0) return -1;
  const auto* from = static_cast<const uint8_t*>(data);
  try {
    // Rows are appended (nothing to zero first); the directory may be patched in place.
    const size_t at = size_t(s->position), inside = at < s->bytes.size() ? s->bytes.size() - at : 0;
    const size_t over = std::min(inside, size_t(size));
    if (over > 0) std::memcpy(s->bytes.data() + at, from, over);
    if (at > s->bytes.size()) s->bytes.resize(at);
    s->bytes.insert(s->bytes.end(), from + over, from + size);
  } catch (const std::bad_alloc&) {
    s->outOfMemory = true;  // libtiff sees a failed write; the caller learns why
    return -1;
  }
  s->position += toff_t(size);
  return size;
}
toff_t sink_seek(thandle_t h, toff_t offset, int whence) {
  auto* s = static_cast<Sink*>(h);
  const toff_t base = whence == SEEK_CUR ? s->position : whence == SEEK_END ? toff_t(s->bytes.size()) : 0;
  s->position = base + offset;
  return s->position;
}
int sink_close(thandle_t) { return 0; }
toff_t sink_size(thandle_t h) { return static_cast<Sink*>(h)->bytes.size(); }
int no_map(thandle_t, void**, toff_t*) { return 0; }
void no_unmap(thandle_t, void*, toff_t) {}
// libtiff's own messages are not ours to print: the result says whether the file was written.
int quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct Options {
  TIFFOpenOptions* handle = TIFFOpenOptionsAlloc();
  ~Options() {
    if (handle) TIFFOpenOptionsFree(handle);
  }
};
struct File {
  TIFF* handle = nullptr;
  ~File() {
    if (handle) TIFFClose(handle);
  }
};

}  // namespace

bool write_cmyk_tiff(ConstPixelView cmyk, float dpiX, float dpiY, std::vector<uint8_t>& file) {
  file.clear();
  file.reserve(size_t(cmyk.width) * size_t(cmyk.height) * 4 + 4096);  // rows, strip tables, directory
  Sink sink{file};
  Options options;
  if (!options.handle) throw std::bad_alloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options.handle, quiet, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.handle, quiet, nullptr);
  File tiff;
  tiff.handle = TIFFClientOpenExt("cmyk", "w", &sink, sink_read, sink_write, sink_seek, sink_close, sink_size, no_map,
                                  no_unmap, options.handle);
  bool ok = tiff.handle != nullptr;
  if (ok) {
    TIFF* t = tiff.handle;
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 1);
    TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
    TIFFSetField(t, TIFFTAG_XRESOLUTION, double(dpiX));
    TIFFSetField(t, TIFFTAG_YRESOLUTION, double(dpiY));
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(cmyk.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(cmyk.height));
    // libtiff may change a row it is given (byte swapping), so each goes through a copy of ours.
    std::vector<uint8_t> row(size_t(cmyk.width) * 4);
    for (int y = 0; ok && y < cmyk.height; ++y) {
      std::memcpy(row.data(), cmyk.row(y), row.size());
      ok = TIFFWriteScanline(t, row.data(), uint32_t(y), 0) == 1;
    }
    ok = ok && TIFFWriteDirectory(t);
  }
  if (tiff.handle) TIFFClose(tiff.handle);
  tiff.handle = nullptr;
  if (sink.outOfMemory) throw std::bad_alloc();
  if (!ok) file.clear();
  return ok;
}

}  // namespace zx::encoding
