// Zentarix — MIT licence.
// The pages of a TIFF file read with libtiff (the one adapter file of the collection for libtiff).
#include "TiffPages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tiffio.h>

#include <cstdarg>

#include "BitmapLock.h"
#include "ErrorReporting.h"
#include "kernels/TiffPageKernels.h"

namespace zx::collection {
namespace {

int quiet(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Largest page read: what one bitmap block may hold, as the image decoders allow.
constexpr uint64_t kMaxPageBytes = uint64_t{1} << 31;

struct OptionsHandle {
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  ~OptionsHandle() {
    if (opts) TIFFOpenOptionsFree(opts);
  }
};

// Dots per inch from the page's resolution tags; 0 when the page states none in physical units.
float page_dpi(TIFF* tif, ttag_t tag) {
  float value = 0;
  uint16_t unit = RESUNIT_INCH;
  if (!TIFFGetField(tif, tag, &value) || !(value > 0)) return 0;
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (unit == RESUNIT_CENTIMETER) return value * 2.54f;
  return unit == RESUNIT_INCH ? value : 0;
}

}  // namespace

TiffPages::~TiffPages() {
  if (m_tif) TIFFClose(m_tif);
}

bool TiffPages::open(BSTR fileName) {
  if (!fileName || m_tif) return false;
  const std::string path = zx::to_utf8(std::u16string_view(fileName, SysStringLen(fileName)));
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  OptionsHandle options;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !options.opts) {
    ::close(fd);
    return false;
  }
  TIFFOpenOptionsSetErrorHandlerExtR(options.opts, quiet, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.opts, quiet, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.opts, static_cast<tmsize_t>(kMaxPageBytes));
  // "m": read with read(2), never mapped, so a file truncated meanwhile fails a read instead of
  // faulting. The handle owns the descriptor from here on.
  m_tif = TIFFFdOpenExt(fd, path.c_str(), "rm", options.opts);
  if (!m_tif) ::close(fd);
  return m_tif != nullptr;
}

LONG TiffPages::count() { return m_tif ? static_cast<uint16_t>(TIFFNumberOfDirectories(m_tif)) : 0; }

std::unique_ptr<Gdiplus::Bitmap> TiffPages::read_page(LONG page) {
  if (!m_tif || page < 0 || !TIFFSetDirectory(m_tif, static_cast<tdir_t>(page))) return nullptr;
  return read_current();
}

std::unique_ptr<Gdiplus::Bitmap> TiffPages::read_next() {
  if (!m_tif || !TIFFReadDirectory(m_tif)) return nullptr;
  return read_current();
}

// libtiff writes the page straight into the new bitmap's own memory, top row first (a 32 bpp
// bitmap's rows are exactly width x 4 bytes, as its RGBA reader wants them); one pass then puts
// the channels in place and takes the premultiplication back.
std::unique_ptr<Gdiplus::Bitmap> TiffPages::read_current() {
  uint32_t width = 0, height = 0;
  if (!TIFFGetField(m_tif, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(m_tif, TIFFTAG_IMAGELENGTH, &height))
    return nullptr;
  if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF ||
      uint64_t{width} * height * 4 >= kMaxPageBytes)
    return nullptr;
  auto page = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(width), static_cast<INT>(height),
                                                Gdiplus::PixelFormat32bppARGB);
  if (page->GetLastStatus() != Gdiplus::Ok) return nullptr;
  {
    raster::BitmapLock lock(page.get(), Gdiplus::Rect(0, 0, static_cast<INT>(width), static_cast<INT>(height)),
                            Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite);
    if (!lock.locked() || lock.data().Stride != static_cast<INT>(width * 4)) return nullptr;
    auto* raster = static_cast<uint32_t*>(lock.data().Scan0);
    if (!TIFFReadRGBAImageOriented(m_tif, width, height, raster, ORIENTATION_TOPLEFT, 0)) return nullptr;
    if (!server::guarded_call(kernels::straighten_rgba_to_argb32, lock.view())) return nullptr;
    if (lock.unlock() != Gdiplus::Ok) return nullptr;
  }
  const float dpiX = page_dpi(m_tif, TIFFTAG_XRESOLUTION), dpiY = page_dpi(m_tif, TIFFTAG_YRESOLUTION);
  if (dpiX > 0 && dpiY > 0) page->SetResolution(dpiX, dpiY);
  return page;
}

}  // namespace zx::collection
