// Zentarix — MIT licence.
// Every encoder with random options on a small image, saved to memory and read back.
#include "FuzzLimits.h"
#include "FuzzSupport.h"

namespace {

using namespace zx;

struct EncoderKind {
  const CLSID* clsid;
  const ZX_DISPATCH_TABLE* table;
};
const EncoderKind kEncoders[] = {
    {&CLSID_JPEGEncoderInfo, &zentarix_IJPEGEncoderInfo_dispatch}, {&CLSID_BMPEncoderInfo, &zentarix_IBMPEncoderInfo_dispatch},
    {&CLSID_GIFEncoderInfo, &zentarix_IGIFEncoderInfo_dispatch},   {&CLSID_SWFEncoderInfo, &zentarix_ISWFEncoderInfo_dispatch},
    {&CLSID_TIFFEncoderInfo, &zentarix_ITIFFEncoderInfo_dispatch},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ArgumentMaker maker({});
  fuzz::use_fuzz_limits();
  fuzz::Bytes in(data, size);
  ComPtr<IRasterObject> raster = fuzz::make<IRasterObject>(CLSID_RasterObject);
  const LONG w = LONG(1 + in.below(24)), h = LONG(1 + in.below(24));
  raster->EmptyImage(w, h, LONG(in.take<uint32_t>()));
  // A few pixels of their own (alpha included), so palettes and compression see more than one colour.
  for (int i = in.below(32); i > 0; --i) raster->put_Pixels(LONG(in.below(w)), LONG(in.below(h)), LONG(in.take<uint32_t>()));
  raster->put_OutputFileType(OutputFileTypes(in.below(oftSupportedCount + 2) - 1));

  const EncoderKind& kind = kEncoders[in.below(std::size(kEncoders))];
  ComPtr<IDispatch> encoder = fuzz::make<IDispatch>(*kind.clsid);
  for (int i = in.below(6); i > 0; --i) {
    const ZX_MEMBER_DESC& member = kind.table->members[in.below(kind.table->cMembers)];
    fuzz::invoke_randomly(encoder.get(), member.dispid, member.invkind, in, maker);
  }
  ComPtr<IStream> out = fuzz::memory_stream({});
  if (raster->SaveStream(out.get(), in.take<uint8_t>() & 1 ? encoder.get() : nullptr) != S_OK) return 0;
  LARGE_INTEGER start{};
  out->Seek(start, STREAM_SEEK_SET, nullptr);
  ComPtr<IRasterObject> back = fuzz::make<IRasterObject>(CLSID_RasterObject);
  back->LoadStream(out.get());
  return 0;
}
