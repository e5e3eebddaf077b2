// Zentarix — MIT licence.
// IDispatch::Invoke of RasterObject members with random arguments: types, counts, named and
// by-reference arguments, objects from a fixed pool, file names inside a scratch folder.
#include "FuzzLimits.h"
#include "FuzzSupport.h"

namespace {

using namespace zx;

// A 16 x 16 image of the pool's own, saved under each name a file argument may take.
std::vector<ComPtr<IUnknown>> make_pool() {
  fuzz::enter_scratch_folder();
  ComPtr<IRasterObject> other = fuzz::make<IRasterObject>(CLSID_RasterObject);
  other->EmptyImage(16, 16, 0x00336699);
  static constexpr std::pair<OutputFileTypes, const char16_t*> kFiles[] = {
      {oftBMP, u"a.bmp"}, {oftPNG, u"b.png"}, {oftJPEG, u"c.jpg"}, {oftGIF, u"d.gif"},
      {oftTIFF, u"e.tif"}, {oftWBMP, u"f.wbmp"}, {oftSWF, u"g.swf"}};
  for (const auto& [type, name] : kFiles) {
    other->put_OutputFileType(type);
    Bstr file(name);
    other->SaveFile(file.get(), nullptr);
  }
  other->put_OutputFileType(oftPNG);
  std::vector<ComPtr<IUnknown>> pool;
  pool.push_back(ComPtr<IUnknown>(other.get()));
  pool.push_back(ComPtr<IUnknown>(fuzz::make<IUnknown>(CLSID_JPEGEncoderInfo).get()));
  pool.push_back(ComPtr<IUnknown>(fuzz::make<IUnknown>(CLSID_TransformResize).get()));
  pool.push_back(ComPtr<IUnknown>(fuzz::make<IUnknown>(CLSID_TransformRotate).get()));
  pool.push_back(ComPtr<IUnknown>(fuzz::memory_stream({}).get()));
  return pool;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ArgumentMaker maker(make_pool());
  fuzz::use_fuzz_limits();
  fuzz::Bytes in(data, size);
  ComPtr<IRasterObject> raster = fuzz::make<IRasterObject>(CLSID_RasterObject);
  if (in.take<uint8_t>() & 1) raster->EmptyImage(8, 8, 0x00FF8000);
  ComPtr<IDispatch> dispatch;
  raster->QueryInterface(IID_IDispatch, dispatch.put_void());
  const ZX_DISPATCH_TABLE& table = zentarix_IRasterObject_dispatch;
  for (int call = 0; call < 6 && in.left() > 0; ++call) {
    const ZX_MEMBER_DESC& member = table.members[in.below(table.cMembers)];
    // Mostly the member's own kind of call; sometimes any combination of the flags.
    const WORD flags = in.take<uint8_t>() < 224 ? member.invkind : WORD(in.below(16));
    fuzz::invoke_randomly(dispatch.get(), member.dispid, flags, in, maker);
  }
  return 0;
}
