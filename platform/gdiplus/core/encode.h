// Zentarix GDI+ layer — MIT licence.
// What saving one image and saving a multi-frame file share: encoder lookup, parameters, the frame
// an encoder receives, and writing the finished file.
#pragma once
#include <objidl.h>

#include <memory>
#include <vector>

#include "image.h"

namespace zx::gdip {

// The encoder registered with that CLSID, or null.
const CodecEntry* find_encoder(const CLSID* clsid);
// Quality, Compression and ColorDepth are read over what options already holds; other parameters
// are accepted and ignored.
Gdiplus::Status encode_options(const Gdiplus::EncoderParameters* params, EncodeOptions* options);
// The value of the EncoderSaveFlag parameter; false when params carries none.
bool save_flag(const Gdiplus::EncoderParameters* params, long* value);

// The active frame of an image as an encoder receives it: the bitmap's pixels in place when the
// codec reads its format, else a converted copy (a GIF is reduced to the halftone palette, anything
// else goes to 32bppARGB). A GIF frame carries the delay of its FrameDelay property.
struct PreparedFrame {
  std::unique_ptr<ImageData> converted;
  std::vector<uint8_t> paletteBlock;
  EncodeImage image;
};
Gdiplus::Status prepare_frame(const ImageData& source, const CodecEntry& codec, PreparedFrame* out);

// A file written whole or not at all: the bytes go to a temporary file beside the target, which is
// renamed over it. Dropped without commit, the temporary file is removed.
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile();
  // Creates the temporary file; the file errors as GDI+ reports them.
  Gdiplus::Status open(const WCHAR* filename);
  Gdiplus::Status commit(const std::vector<uint8_t>& bytes);

 private:
  int m_fd = -1;
  std::string m_path, m_temp;
};
Gdiplus::Status write_file(const WCHAR* filename, const std::vector<uint8_t>& bytes);
Gdiplus::Status write_stream(IStream* stream, const std::vector<uint8_t>& bytes);

// Whether a save opens a multi-frame file: its save flag is EncoderValueMultiFrame and the encoder
// writes such files.
bool opens_multiframe(Gdiplus::GpImage* image, const CLSID* clsid, const Gdiplus::EncoderParameters* params);
// Opens the file (filename) or stream target on image with image as the first frame; an open file
// the image already had is abandoned.
Gdiplus::Status begin_multiframe(ImageData& image, const CodecEntry& codec, const Gdiplus::EncoderParameters* params,
                                 const WCHAR* filename, IStream* stream);

}  // namespace zx::gdip
