// Zentarix GDI+ layer — MIT licence.
// The JPEG decoder: libjpeg-turbo straight into 32bppARGB rows, CMYK through lcms2.
// Our headers first: the Windows TRUE/FALSE constants must be declared before jpeglib's macros.
#include "color_management.h"
#include "decode_common.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs size_t and FILE declared first
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace zx::gdip::decoders {
namespace {

using Gdiplus::Status;

// libjpeg reports fatal errors through error_exit, which must not return. It longjmps back to the
// setjmp in the phase function that made the failing call; those functions hold no object with a
// destructor, so the jump skips nothing that needed unwinding.
struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void jpeg_error_exit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegError*>(cinfo->err);
  std::longjmp(err->jump, 1);
}
void jpeg_silent_output(j_common_ptr) {}  // warnings (e.g. premature end of data) are not errors for us

// Counts the scans libjpeg reads: a progressive file may repeat tiny scans over the whole image,
// each costing a pass over every coefficient, so past the limit the decode fails as on bad data.
struct ScanLimit {
  jpeg_progress_mgr mgr;  // first, so that libjpeg's pointer to it is a pointer to this
  UINT maxScans;
};

void jpeg_count_scans(j_common_ptr common) {
  auto* cinfo = reinterpret_cast<j_decompress_ptr>(common);
  auto* limit = reinterpret_cast<ScanLimit*>(common->progress);
  if (cinfo->input_scan_number > 0 && static_cast<UINT>(cinfo->input_scan_number) > limit->maxScans)
    common->err->error_exit(common);
}

// Everything the phases share lives here, owned by the adapter's outer frame.
struct JpegJob {
  jpeg_decompress_struct cinfo{};
  JpegError err{};
  ScanLimit scans{};
  bool created = false;
  volatile int rows_done = 0;

  JpegJob() = default;
  JpegJob(const JpegJob&) = delete;
  JpegJob& operator=(const JpegJob&) = delete;
  ~JpegJob() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

// Phase 1: header and the markers we read ourselves. No destructors in this frame.
bool jpeg_read_header_phase(JpegJob* job, const uint8_t* data, size_t size) {
  job->cinfo.err = jpeg_std_error(&job->err.mgr);
  job->err.mgr.error_exit = jpeg_error_exit;
  job->err.mgr.output_message = jpeg_silent_output;
  if (setjmp(job->err.jump)) return false;
  jpeg_create_decompress(&job->cinfo);
  job->created = true;
  jpeg_mem_src(&job->cinfo, data, static_cast<unsigned long>(size));
  job->scans.mgr.progress_monitor = jpeg_count_scans;
  job->cinfo.progress = &job->scans.mgr;
  jpeg_save_markers(&job->cinfo, JPEG_APP0 + 1, 0xFFFF);  // EXIF
  jpeg_save_markers(&job->cinfo, JPEG_APP0 + 2, 0xFFFF);  // ICC chunks
  return jpeg_read_header(&job->cinfo, TRUE) == JPEG_HEADER_OK;
}

// Phase 2: scanlines straight into the bitmap (or through `cmyk_row` and the transform).
bool jpeg_decode_phase(JpegJob* job, const PixelView* view, uint8_t* cmyk_row, const cms::ColorTransform* cmyk) {
  if (setjmp(job->err.jump)) return false;
  j_decompress_ptr cinfo = &job->cinfo;
  jpeg_start_decompress(cinfo);
  if (static_cast<int>(cinfo->output_width) != view->width || static_cast<int>(cinfo->output_height) != view->height)
    return false;
  while (cinfo->output_scanline < cinfo->output_height) {
    const int y = static_cast<int>(cinfo->output_scanline);
    uint8_t* dst = view->row(y);
    JSAMPROW row = cmyk_row ? cmyk_row : dst;
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) return false;
    if (cmyk_row) {
      cmyk->apply(cmyk_row, dst, static_cast<size_t>(view->width));
      for (int x = 0; x < view->width; ++x) dst[4 * x + 3] = 0xFF;
    }
    job->rows_done = y + 1;
  }
  jpeg_finish_decompress(cinfo);
  return true;
}

// EXIF resolution: IFD0 XResolution/YResolution/ResolutionUnit of the APP1 "Exif" TIFF block.
bool exif_resolution(const jpeg_saved_marker_ptr marker, float* dpi_x, float* dpi_y) {
  if (marker->data_length < 14 || std::memcmp(marker->data, "Exif\0\0", 6) != 0) return false;
  const uint8_t* t = marker->data + 6;
  const size_t n = marker->data_length - 6;
  bool little;
  if (t[0] == 'I' && t[1] == 'I') little = true;
  else if (t[0] == 'M' && t[1] == 'M') little = false;
  else return false;
  auto u16 = [&](size_t at) { return little ? le16(t + at) : be16(t + at); };
  auto u32 = [&](size_t at) { return little ? le32(t + at) : be32(t + at); };
  if (u16(2) != 42) return false;
  const size_t ifd = u32(4);
  if (ifd > n || n - ifd < 2) return false;
  const size_t count = u16(ifd);
  double res[2] = {0, 0};
  int unit = 2;  // inches unless told otherwise
  for (size_t i = 0; i < count; ++i) {
    const size_t e = ifd + 2 + 12 * i;
    if (e > n || n - e < 12) break;
    const uint16_t tag = u16(e), type = u16(e + 2);
    if ((tag == 0x011A || tag == 0x011B) && type == 5 /*RATIONAL*/) {
      const size_t at = u32(e + 8);
      if (at > n || n - at < 8) continue;
      const uint32_t num = u32(at), den = u32(at + 4);
      if (den != 0) res[tag - 0x011A] = static_cast<double>(num) / den;
    } else if (tag == 0x0128 && type == 3 /*SHORT*/) {
      unit = u16(e + 8);
    }
  }
  if (res[0] <= 0 || res[1] <= 0) return false;
  if (unit == 2) {
    *dpi_x = static_cast<float>(res[0]);
    *dpi_y = static_cast<float>(res[1]);
  } else if (unit == 3) {
    *dpi_x = dpi_from_pixels_per_cm(res[0]);
    *dpi_y = dpi_from_pixels_per_cm(res[1]);
  } else {
    return false;  // 1: no absolute unit
  }
  return true;
}

// The ICC profile, reassembled from its APP2 chunks in sequence order; empty when absent or broken.
std::vector<uint8_t> icc_profile(const jpeg_decompress_struct& cinfo) {
  static constexpr char kSig[] = "ICC_PROFILE";  // 12 bytes with its NUL
  std::vector<const jpeg_marker_struct*> chunks(256, nullptr);
  int total = 0;
  for (auto m = cinfo.marker_list; m; m = m->next) {
    if (m->marker != JPEG_APP0 + 2 || m->data_length < 14 || std::memcmp(m->data, kSig, 12) != 0) continue;
    const int seq = m->data[12], count = m->data[13];
    if (seq == 0 || seq > count || (total && count != total) || chunks[seq]) return {};
    total = count;
    chunks[seq] = m;
  }
  std::vector<uint8_t> icc;
  for (int i = 1; i <= total; ++i) {
    if (!chunks[i]) return {};
    icc.insert(icc.end(), chunks[i]->data + 14, chunks[i]->data + chunks[i]->data_length);
  }
  return icc;
}

void read_resolution(const jpeg_decompress_struct& cinfo, DecodedInfo& info) {
  // JFIF density first (GDI+ reads the JFIF header), then EXIF; unit 0 is an aspect ratio only.
  if (cinfo.saw_JFIF_marker && cinfo.X_density > 0 && cinfo.Y_density > 0) {
    if (cinfo.density_unit == 1) {
      info.dpiX = cinfo.X_density;
      info.dpiY = cinfo.Y_density;
      return;
    }
    if (cinfo.density_unit == 2) {
      info.dpiX = dpi_from_pixels_per_cm(cinfo.X_density);
      info.dpiY = dpi_from_pixels_per_cm(cinfo.Y_density);
      return;
    }
  }
  for (auto m = cinfo.marker_list; m; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && exif_resolution(m, &info.dpiX, &info.dpiY)) return;
  }
}

Status decode_jpeg(std::span<const uint8_t> data, const DecodeOptions& options, DecodeSink& sink, DecodedInfo& info) {
  info.rawFormat = Gdiplus::ImageFormatJPEG;
  JpegJob job;
  job.scans.maxScans = options.limits.maxScans;
  if (!jpeg_read_header_phase(&job, data.data(), data.size())) return Gdiplus::GenericError;
  jpeg_decompress_struct& cinfo = job.cinfo;
  read_resolution(cinfo, info);

  const bool is_cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  std::vector<uint8_t> icc = icc_profile(cinfo);
  cms::ColorTransform transform;
  std::vector<uint8_t> cmyk_row;
  if (is_cmyk) {
    // libjpeg turns YCCK into CMYK; Adobe applications store the inks inverted (255 = no ink).
    cinfo.out_color_space = JCS_CMYK;
    transform = cms::cmyk_to_srgb(icc, cinfo.saw_Adobe_marker != 0);
    if (!transform) return Gdiplus::GenericError;
    cmyk_row.resize(static_cast<size_t>(cinfo.image_width) * 4);
  } else if (cinfo.num_components == 1 || cinfo.num_components == 3) {
    cinfo.out_color_space = JCS_EXT_BGRA;  // B, G, R, 0xFF: the 32bppARGB byte order
  } else {
    return Gdiplus::GenericError;
  }

  // libjpeg's own working memory (a progressive image keeps every coefficient) counts as decoded
  // bytes; past them it fails the decode instead of allocating.
  cinfo.mem->max_memory_to_use = static_cast<long>(std::min<ULONGLONG>(options.limits.maxDecodedBytes, LONG_MAX));
  PixelView view;
  if (Status st = allocate_argb(sink, cinfo.image_width, cinfo.image_height, options.limits, &view); st != Gdiplus::Ok) return st;
  const bool decoded = jpeg_decode_phase(&job, &view, cmyk_row.empty() ? nullptr : cmyk_row.data(), &transform);
  // A fatal error part-way keeps the rows already written when there are any; the rest are grey,
  // as libjpeg itself pads data that ends early.
  if (!decoded) {
    if (job.rows_done == 0) return Gdiplus::GenericError;
    for (int y = job.rows_done; y < view.height; ++y) {
      uint32_t* row = reinterpret_cast<uint32_t*>(view.row(y));
      std::fill(row, row + view.width, 0xFF808080u);
    }
  }
  // Colour management of RGB data; a grey JPEG's profile cannot describe our BGRA rows.
  if (options.useEmbeddedColorManagement && !is_cmyk && cinfo.num_components == 3 && !icc.empty()) {
    if (cms::ColorTransform rgb = cms::rgb_profile_to_srgb(icc)) {
      for (int y = 0; y < view.height; ++y) rgb.apply(view.row(y), view.row(y), static_cast<size_t>(view.width));
    }
  }
  return Gdiplus::Ok;
}

bool sniff_jpeg(std::span<const uint8_t> head) {
  static constexpr uint8_t kSig[] = {0xFF, 0xD8, 0xFF};
  return starts_with(head, kSig, sizeof kSig);
}

}  // namespace

ZX_REGISTER_CODEC(jpeg_decoder, CodecEntry{Gdiplus::ImageFormatJPEG, GUID_NULL, u"Built-in JPEG Codec", u"image/jpeg",
                                           u"*.JPG;*.JPEG;*.JPE;*.JFIF", sniff_jpeg, decode_jpeg, nullptr});

}  // namespace zx::gdip::decoders
