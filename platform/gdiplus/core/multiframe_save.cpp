// Zentarix GDI+ layer — MIT licence.
// Multi-frame files written frame by frame: the save that opens them, GdipSaveAdd and GdipSaveAddImage.
#include <zx/com.h>

#include "encode.h"
#include "guard.h"

using namespace Gdiplus;

namespace zx::gdip {

// The file stays in memory until it is flushed, so an abandoned file leaves nothing behind. A file
// target was checked when the file was opened (a temporary file beside it could be made), so that a
// folder the caller cannot write to fails on the first frame, not after the last.
struct MultiFrameSave {
  const CodecEntry* codec = nullptr;
  std::unique_ptr<FrameWriter> writer;
  EncodeOptions options;  // the opening save's; each added frame may give its own
  std::u16string filename;
  zx::ComPtr<IStream> stream;
};

void MultiFrameSaveFree::operator()(MultiFrameSave* save) const noexcept { delete save; }

namespace {

using SavePtr = std::unique_ptr<MultiFrameSave, MultiFrameSaveFree>;

// The save flag that adds a frame to a file of this codec.
long dimension_flag(const CodecEntry& codec) {
  return codec.frameDimension == FrameDimensionTime ? EncoderValueFrameDimensionTime : EncoderValueFrameDimensionPage;
}

Status add_frame(MultiFrameSave& save, const ImageData& frame, const EncoderParameters* params) {
  EncodeOptions options = save.options;
  Status status = encode_options(params, &options);
  if (status != Ok) return status;
  PreparedFrame prepared;
  status = prepare_frame(frame, *save.codec, &prepared);
  return status != Ok ? status : save.writer->add(prepared.image, options);
}

Status flush(MultiFrameSave& save) {
  std::vector<uint8_t> bytes;
  Status status = save.writer->finish(bytes);
  if (status != Ok) return status;
  return save.stream ? write_stream(save.stream.get(), bytes) : write_file(save.filename.c_str(), bytes);
}

// The open file is taken off the image for the call and given back only when the call succeeds
// and the file stays open: any failure abandons it.
Status save_add(GpImage* image, GpImage* newImage, bool ownFrame, const EncoderParameters* params) {
  if (!image) return InvalidParameter;
  SavePtr save = std::move(impl(image)->multiFrameSave);
  if (!save) return WrongState;
  long flag = 0;
  if (!save_flag(params, &flag)) return InvalidParameter;
  if (ownFrame && flag == EncoderValueFlush) return flush(*save);
  if (flag != dimension_flag(*save->codec)) return InvalidParameter;
  const GpImage* frame = ownFrame ? image : newImage;
  if (!frame) return InvalidParameter;
  Status status = add_frame(*save, *impl(const_cast<GpImage*>(frame)), params);
  if (status == Ok) impl(image)->multiFrameSave = std::move(save);
  return status;
}

}  // namespace

bool opens_multiframe(GpImage* image, const CLSID* clsid, const EncoderParameters* params) {
  long flag = 0;
  const CodecEntry* codec = find_encoder(clsid);
  return image && codec && codec->frames && save_flag(params, &flag) && flag == EncoderValueMultiFrame;
}

Status begin_multiframe(ImageData& image, const CodecEntry& codec, const EncoderParameters* params,
                        const WCHAR* filename, IStream* stream) {
  image.multiFrameSave.reset();
  SavePtr save(new MultiFrameSave);
  save->codec = &codec;
  Status status = encode_options(params, &save->options);
  if (status != Ok) return status;
  if (filename) {
    TempFile probe;
    status = probe.open(filename);
    if (status != Ok) return status;
    save->filename = filename;
  } else {
    save->stream = zx::ComPtr<IStream>(stream);
  }
  save->writer = codec.frames();
  if (!save->writer) return OutOfMemory;
  status = add_frame(*save, image, nullptr);
  if (status == Ok) image.multiFrameSave = std::move(save);
  return status;
}

}  // namespace zx::gdip

namespace Gdiplus::DllExports {
using namespace zx::gdip;

Status WINAPI GdipSaveAdd(GpImage* image, const EncoderParameters* encoderParams) {
  return guarded([&] { return save_add(image, nullptr, true, encoderParams); });
}

Status WINAPI GdipSaveAddImage(GpImage* image, GpImage* newImage, const EncoderParameters* encoderParams) {
  return guarded([&] { return save_add(image, newImage, false, encoderParams); });
}

}  // namespace Gdiplus::DllExports
