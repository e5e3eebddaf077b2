// Zentarix — MIT licence.
// The pages of a TIFF file read with libtiff: the multi-frame loader's own road for TIFF.
#pragma once
#include <gdiplus.h>

#include <memory>

#include "zx/com.h"

typedef struct tiff TIFF;

namespace zx::collection {

// One open TIFF file. Only a regular file is opened (a FIFO or a device would block or never end),
// it is read and never mapped, and libtiff's messages stay quiet: a file it cannot read is simply
// not a TIFF to this road.
class TiffPages {
 public:
  TiffPages() = default;
  TiffPages(const TiffPages&) = delete;
  TiffPages& operator=(const TiffPages&) = delete;
  ~TiffPages();

  // False when libtiff cannot open the file as a TIFF (not a TIFF, not a regular file, no file).
  bool open(BSTR fileName);
  // The number of pages (directories), counted as a 16-bit number.
  LONG count();
  // A page as a new 32 bpp ARGB bitmap with straight alpha, top row first, with the page's own
  // resolution (96 dpi when it states none). Null when any step fails: an unreadable directory,
  // a page too large for a bitmap, pixels libtiff cannot decode, or a machine fault in our pass.
  std::unique_ptr<Gdiplus::Bitmap> read_page(LONG page);  // the directory `page`
  std::unique_ptr<Gdiplus::Bitmap> read_next();           // the directory after the current one

 private:
  std::unique_ptr<Gdiplus::Bitmap> read_current();

  TIFF* m_tif = nullptr;
};

}  // namespace zx::collection
