// Zentarix GDI+ layer — MIT licence.
// The codec plumbing with a fake format: registry merge, decoding from files and streams, frames, saving.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <codec.h>
#include <gdiplus.h>
#include <winbase.h>
#include <zx/com.h>

using namespace Gdiplus;

namespace {

// "ZXFK", width, height, frame count (uint32 each), then frames of width*height ARGB values.
constexpr GUID kFakeFormat = {0x5A584B46, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr CLSID kFakeEncoder = {0x5A584B46, 0x0003, 0x0004, {1, 2, 3, 4, 5, 6, 7, 8}};
long g_lastQuality = -1;
long g_lastCompression = 0;

bool fake_sniff(std::span<const uint8_t> head) { return head.size() >= 4 && std::memcmp(head.data(), "ZXFK", 4) == 0; }

uint32_t word(std::span<const uint8_t> d, size_t at) {
  uint32_t v;
  std::memcpy(&v, d.data() + at, 4);
  return v;
}

Status fake_decode(std::span<const uint8_t> data, const zx::gdip::DecodeOptions& options, zx::gdip::DecodeSink& sink,
                   zx::gdip::DecodedInfo& info) {
  if (data.size() < 16) return GenericError;
  int w = int(word(data, 4)), h = int(word(data, 8));
  UINT frames = word(data, 12);
  info.rawFormat = kFakeFormat;
  info.frameCount = frames;
  info.frameDimension = FrameDimensionTime;
  info.dpiX = 72;
  info.dpiY = 144;
  zx::gdip::PixelView view;
  Status status = sink.allocate(w, h, PixelFormat32bppARGB, &view);  // refuses impossible sizes first
  if (status != Ok) return status;
  size_t at = 16 + size_t(options.frameIndex) * size_t(w) * size_t(h) * 4;
  if (options.frameIndex >= frames || data.size() < at + size_t(w) * size_t(h) * 4) return GenericError;
  for (int y = 0; y < h; ++y) std::memcpy(view.row(y), data.data() + at + size_t(y) * w * 4, size_t(w) * 4);
  return Ok;
}

Status fake_encode(std::span<const zx::gdip::EncodeImage> frames, const zx::gdip::EncodeOptions& options,
                   std::vector<uint8_t>& out) {
  g_lastQuality = options.quality;
  g_lastCompression = options.compression;
  const auto& px = frames[0].pixels;
  if (px.format != PixelFormat32bppARGB) return InvalidParameter;
  uint32_t header[4] = {0, uint32_t(px.width), uint32_t(px.height), 1};
  std::memcpy(header, "ZXFK", 4);
  out.insert(out.end(), reinterpret_cast<uint8_t*>(header), reinterpret_cast<uint8_t*>(header) + 16);
  for (int y = 0; y < px.height; ++y) out.insert(out.end(), px.row(y), px.row(y) + px.width * 4);
  return Ok;
}

// Frames of one size written one after another; the delays they carried are kept for the tests.
std::vector<UINT> g_delays;
class FakeFrames final : public zx::gdip::FrameWriter {
 public:
  Status add(const zx::gdip::EncodeImage& frame, const zx::gdip::EncodeOptions& options) override {
    std::vector<uint8_t> one;
    Status status = fake_encode(std::span(&frame, 1), options, one);
    if (status != Ok || (!m_file.empty() && std::memcmp(one.data() + 4, m_file.data() + 4, 8) != 0)) return InvalidParameter;
    if (m_file.empty()) m_file.assign(one.begin(), one.begin() + 16);
    m_file.insert(m_file.end(), one.begin() + 16, one.end());
    m_file[12] = uint8_t(++m_frames);
    g_delays.push_back(frame.delay);
    return Ok;
  }
  Status finish(std::vector<uint8_t>& out) override {
    out = m_file;
    return Ok;
  }

 private:
  std::vector<uint8_t> m_file;
  int m_frames = 0;
};
std::unique_ptr<zx::gdip::FrameWriter> fake_frames() { return std::make_unique<FakeFrames>(); }

// Registered in two halves, as a decoder file and an encoder file would.
ZX_REGISTER_CODEC(fake_decoder, {kFakeFormat, GUID_NULL, u"Fake Codec", u"image/x-zxfk", u"*.ZXF", fake_sniff,
                                 fake_decode, nullptr});
ZX_REGISTER_CODEC(fake_encoder, {kFakeFormat, kFakeEncoder, nullptr, nullptr, nullptr, nullptr, nullptr, fake_encode,
                                 fake_frames, FrameDimensionTime});

// "ZXMF", width, height: a picture without pixels of its own, as a metafile decoder reports one.
constexpr GUID kFakeMetafile = {0x5A584D46, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};
bool metafile_sniff(std::span<const uint8_t> head) {
  return head.size() >= 12 && std::memcmp(head.data(), "ZXMF", 4) == 0;
}
Status metafile_decode(std::span<const uint8_t> data, const zx::gdip::DecodeOptions&, zx::gdip::DecodeSink&,
                       zx::gdip::DecodedInfo& info) {
  info.rawFormat = kFakeMetafile;
  info.width = int(word(data, 4));
  info.height = int(word(data, 8));
  return Ok;
}
ZX_REGISTER_CODEC(fake_metafile, {kFakeMetafile, GUID_NULL, u"Fake Metafile", u"image/x-zxmf", u"*.ZXM",
                                  metafile_sniff, metafile_decode, nullptr});

std::vector<uint8_t> fake_file(int w, int h, std::vector<std::vector<ARGB>> frames) {
  std::vector<uint8_t> out(16);
  std::memcpy(out.data(), "ZXFK", 4);
  uint32_t v[3] = {uint32_t(w), uint32_t(h), uint32_t(frames.size())};
  std::memcpy(out.data() + 4, v, 12);
  for (auto& f : frames) out.insert(out.end(), reinterpret_cast<uint8_t*>(f.data()), reinterpret_cast<uint8_t*>(f.data() + f.size()));
  return out;
}

// A memory stream that records whether anyone sought it.
struct MemoryStream final : IStream {
  std::vector<uint8_t> bytes;
  size_t pos = 0;
  int seeks = 0;
  ULONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* read) override {
    ULONG n = ULONG(std::min<size_t>(cb, bytes.size() - pos));
    std::memcpy(pv, bytes.data() + pos, n);
    pos += n;
    if (read) *read = n;
    return n < cb ? S_FALSE : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* written) override {
    auto* p = static_cast<const uint8_t*>(pv);
    bytes.insert(bytes.begin() + long(pos), p, p + cb);
    pos += cb;
    if (written) *written = cb;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override {
    ++seeks;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
};

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    path = std::filesystem::temp_directory_path() / ("zx_gdip_codecs_" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::u16string file(const char* name) const { return zx::to_utf16((path / name).string()); }
  void write(const char* name, const std::vector<uint8_t>& bytes) const {
    std::ofstream(path / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), long(bytes.size()));
  }
};

ARGB pixel(Bitmap& bmp, int x, int y) {
  Color c;
  EXPECT_EQ(bmp.GetPixel(x, y, &c), Ok);
  return c.GetValue();
}

TEST(CodecRegistry, HalvesOfOneFormatAreMergedIntoOneEntry) {
  int found = 0;
  for (const auto& e : zx::gdip::codecs()) {
    if (e.formatId != kFakeFormat) continue;
    ++found;
    EXPECT_EQ(e.encoderClsid, kFakeEncoder);
    EXPECT_EQ(std::u16string(e.name), u"Fake Codec");
    EXPECT_TRUE(e.sniff && e.decode && e.encode);
  }
  EXPECT_EQ(found, 1);
}

TEST(CodecRegistry, EncodersAndDecodersAreListedInOneBlock) {
  UINT count = 0, size = 0;
  ASSERT_EQ(DllExports::GdipGetImageEncodersSize(&count, &size), Ok);
  ASSERT_GE(count, 1u);
  std::vector<uint8_t> block(size);
  auto* infos = reinterpret_cast<ImageCodecInfo*>(block.data());
  EXPECT_EQ(DllExports::GdipGetImageEncoders(count, size - 1, infos), GenericError);
  ASSERT_EQ(DllExports::GdipGetImageEncoders(count, size, infos), Ok);
  const ImageCodecInfo* fake = nullptr;
  for (UINT i = 0; i < count; ++i)
    if (infos[i].Clsid == kFakeEncoder) fake = &infos[i];
  ASSERT_NE(fake, nullptr);
  EXPECT_EQ(fake->FormatID, kFakeFormat);
  EXPECT_EQ(std::u16string(fake->MimeType), u"image/x-zxfk");
  EXPECT_EQ(std::u16string(fake->FormatDescription), u"ZXFK");
  EXPECT_EQ(std::u16string(fake->FilenameExtension), u"*.ZXF");
  EXPECT_TRUE(fake->Flags & ImageCodecFlagsEncoder);
  auto* end = block.data() + size;
  EXPECT_TRUE(reinterpret_cast<const uint8_t*>(fake->MimeType) < end);

  ASSERT_EQ(DllExports::GdipGetImageDecodersSize(&count, &size), Ok);
  std::vector<uint8_t> decoders(size);
  ASSERT_EQ(DllExports::GdipGetImageDecoders(count, size, reinterpret_cast<ImageCodecInfo*>(decoders.data())), Ok);
}

TEST(Decoding, FileIsDecodedWithItsFormatResolutionAndPixels) {
  TempDir dir;
  dir.write("a.zxf", fake_file(2, 1, {{0x11223344, 0x80FF0000}}));
  Bitmap bmp(dir.file("a.zxf").c_str());
  ASSERT_EQ(bmp.GetLastStatus(), Ok);
  GUID raw{};
  bmp.GetRawFormat(&raw);
  EXPECT_EQ(raw, kFakeFormat);
  EXPECT_EQ(bmp.GetHorizontalResolution(), 72.0f);
  EXPECT_EQ(bmp.GetVerticalResolution(), 144.0f);
  EXPECT_EQ(pixel(bmp, 0, 0), 0x11223344u);
  EXPECT_EQ(pixel(bmp, 1, 0), 0x80FF0000u);
}

TEST(Decoding, FileErrorsGiveStatusAndLastError) {
  TempDir dir;
  SetLastError(0);
  Bitmap missing(dir.file("none.zxf").c_str());
  EXPECT_EQ(missing.GetLastStatus(), FileNotFound);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  Bitmap folder(zx::to_utf16(dir.path.string()).c_str());
  EXPECT_EQ(folder.GetLastStatus(), AccessDenied);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  // Anything but a regular file is refused without waiting on it (a FIFO with no writer).
  ASSERT_EQ(mkfifo((dir.path / "fifo").c_str(), 0600), 0);
  alarm(20);
  Bitmap fifo(dir.file("fifo").c_str());
  alarm(0);
  EXPECT_EQ(fifo.GetLastStatus(), AccessDenied);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  dir.write("junk.bin", {1, 2, 3, 4, 5});
  Bitmap junk(dir.file("junk.bin").c_str());
  EXPECT_EQ(junk.GetLastStatus(), UnknownImageFormat);
  dir.write("empty.bin", {});
  Bitmap empty(dir.file("empty.bin").c_str());
  EXPECT_EQ(empty.GetLastStatus(), UnknownImageFormat);
}

TEST(Decoding, GiantDeclaredSizeFailsWithOutOfMemoryBeforeAllocating) {
  MemoryStream stream;
  stream.bytes = fake_file(64250, 64250, {});
  stream.bytes[12] = 1;  // claims one frame it does not carry
  GpBitmap* bitmap = nullptr;
  EXPECT_EQ(DllExports::GdipCreateBitmapFromStream(&stream, &bitmap), OutOfMemory);
  EXPECT_EQ(bitmap, nullptr);
}

TEST(Decoding, StreamIsReadFromItsPositionWithoutSeeking) {
  MemoryStream stream;
  stream.bytes = {9, 9, 9};
  auto file = fake_file(1, 1, {{0xFF0A0B0C}});
  stream.bytes.insert(stream.bytes.end(), file.begin(), file.end());
  stream.pos = 3;
  Bitmap bmp(&stream);
  ASSERT_EQ(bmp.GetLastStatus(), Ok);
  EXPECT_EQ(pixel(bmp, 0, 0), 0xFF0A0B0Cu);
  EXPECT_EQ(stream.seeks, 0);
  EXPECT_EQ(stream.pos, stream.bytes.size());
}

TEST(Decoding, FramesAreDecodedAgainOnSelection) {
  MemoryStream stream;
  stream.bytes = fake_file(1, 1, {{0xFF000001}, {0xFF000002}, {0xFF000003}});
  Bitmap bmp(&stream);
  ASSERT_EQ(bmp.GetLastStatus(), Ok);
  ASSERT_EQ(bmp.GetFrameDimensionsCount(), 1u);
  GUID dim{};
  ASSERT_EQ(bmp.GetFrameDimensionsList(&dim, 1), Ok);
  EXPECT_EQ(dim, FrameDimensionTime);
  EXPECT_EQ(bmp.GetFrameCount(&FrameDimensionTime), 3u);
  EXPECT_EQ(bmp.SelectActiveFrame(&FrameDimensionTime, 2), Ok);
  EXPECT_EQ(pixel(bmp, 0, 0), 0xFF000003u);
  EXPECT_EQ(bmp.SelectActiveFrame(&FrameDimensionTime, 3), InvalidParameter);
  EXPECT_EQ(bmp.SelectActiveFrame(&FrameDimensionPage, 0), InvalidParameter);
  std::unique_ptr<Image> clone(bmp.Clone());  // a clone keeps the frames
  EXPECT_EQ(clone->SelectActiveFrame(&FrameDimensionTime, 1), Ok);
  EXPECT_EQ(pixel(*static_cast<Bitmap*>(clone.get()), 0, 0), 0xFF000002u);
  EXPECT_EQ(pixel(bmp, 0, 0), 0xFF000003u);
}

TEST(Decoding, AFileIsReadWholeSoItsFramesOutliveItsTruncation) {
  TempDir dir;
  dir.write("frames.zxf", fake_file(1, 1, {{0xFF000001}, {0xFF000002}}));
  Bitmap bmp(dir.file("frames.zxf").c_str());
  ASSERT_EQ(bmp.GetLastStatus(), Ok);
  std::unique_ptr<Image> clone(bmp.Clone());
  std::filesystem::resize_file(dir.path / "frames.zxf", 0);  // another process cuts the file short
  EXPECT_EQ(bmp.SelectActiveFrame(&FrameDimensionTime, 1), Ok);
  EXPECT_EQ(pixel(bmp, 0, 0), 0xFF000002u);
  EXPECT_EQ(clone->SelectActiveFrame(&FrameDimensionTime, 1), Ok);
}

TEST(Decoding, MetafileImageHasASizeButNoPixels) {
  MemoryStream stream;
  stream.bytes = {'Z', 'X', 'M', 'F', 40, 0, 0, 0, 30, 0, 0, 0};
  Image image(&stream);
  ASSERT_EQ(image.GetLastStatus(), Ok);
  EXPECT_EQ(image.GetType(), ImageTypeMetafile);
  EXPECT_EQ(image.GetWidth(), 40u);
  EXPECT_EQ(image.GetHeight(), 30u);
  GUID raw{};
  image.GetRawFormat(&raw);
  EXPECT_EQ(raw, kFakeMetafile);
  BitmapData data{};
  MemoryStream again;
  again.bytes = stream.bytes;
  Bitmap asBitmap(&again);  // pixels come only once a metafile is drawn: no lock until then
  ASSERT_EQ(asBitmap.GetLastStatus(), Ok);
  EXPECT_EQ(asBitmap.LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &data), InvalidParameter);
  Color c;
  EXPECT_EQ(asBitmap.GetPixel(0, 0, &c), InvalidParameter);
  EXPECT_EQ(image.Save(&stream, &kFakeEncoder), NotImplemented);
  EXPECT_EQ(image.RotateFlip(Rotate90FlipNone), NotImplemented);
  std::unique_ptr<Image> clone(image.Clone());
  EXPECT_EQ(clone->GetType(), ImageTypeMetafile);
  EXPECT_EQ(clone->GetWidth(), 40u);
}

TEST(Encoding, SaveGoesThroughTheEncoderWithItsParameters) {
  TempDir dir;
  Bitmap bmp(2, 1, PixelFormat32bppARGB);
  bmp.SetPixel(1, 0, Color(0xFFABCDEF));
  ULONG quality = 42, compression = EncoderValueCompressionLZW;
  std::vector<uint8_t> block(sizeof(EncoderParameters) + sizeof(EncoderParameter));
  auto* params = reinterpret_cast<EncoderParameters*>(block.data());
  params->Count = 2;
  params->Parameter[0] = {EncoderQuality, 1, EncoderParameterValueTypeLong, &quality};
  params->Parameter[1] = {EncoderCompression, 1, EncoderParameterValueTypeLong, &compression};
  ASSERT_EQ(bmp.Save(dir.file("out.zxf").c_str(), &kFakeEncoder, params), Ok);
  EXPECT_EQ(g_lastQuality, 42);
  EXPECT_EQ(g_lastCompression, EncoderValueCompressionLZW);
  Bitmap back(dir.file("out.zxf").c_str());
  ASSERT_EQ(back.GetLastStatus(), Ok);
  EXPECT_EQ(pixel(back, 1, 0), 0xFFABCDEFu);

  MemoryStream stream;
  ASSERT_EQ(bmp.Save(&stream, &kFakeEncoder), Ok);
  EXPECT_EQ(g_lastQuality, 75);
  EXPECT_EQ(stream.bytes.size(), 16u + 8u);
}

TEST(Encoding, PremultipliedBitmapReachesTheEncoderAsArgb) {
  Bitmap bmp(1, 1, PixelFormat32bppPARGB);
  BitmapData data{};
  ASSERT_EQ(bmp.LockBits(nullptr, ImageLockModeWrite, PixelFormat32bppPARGB, &data), Ok);
  const uint8_t px[4] = {10, 64, 100, 128};
  std::memcpy(data.Scan0, px, 4);
  bmp.UnlockBits(&data);
  MemoryStream stream;
  ASSERT_EQ(bmp.Save(&stream, &kFakeEncoder), Ok);
  ASSERT_EQ(stream.bytes.size(), 20u);
  EXPECT_EQ(std::vector<uint8_t>(stream.bytes.begin() + 16, stream.bytes.end()),
            (std::vector<uint8_t>{20, 128, 199, 128}));
}

TEST(Encoding, FailedSaveLeavesNoFile) {
  TempDir dir;
  Bitmap rgb(1, 1, PixelFormat24bppRGB);  // the fake encoder takes 32bppARGB only
  EXPECT_EQ(rgb.Save(dir.file("bad.zxf").c_str(), &kFakeEncoder), InvalidParameter);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path));
  CLSID unknown = kFakeEncoder;
  unknown.Data1 = 1;
  EXPECT_EQ(rgb.Save(dir.file("bad.zxf").c_str(), &unknown), UnknownImageFormat);
  ULONG quality = 101;
  EncoderParameters params{1, {{EncoderQuality, 1, EncoderParameterValueTypeLong, &quality}}};
  Bitmap argb(1, 1, PixelFormat32bppARGB);
  EXPECT_EQ(argb.Save(dir.file("q.zxf").c_str(), &kFakeEncoder, &params), InvalidParameter);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path));
}

TEST(Encoding, PropertyItemsAreKeptCopiedAndRemoved) {
  Bitmap bmp(1, 1, PixelFormat32bppARGB);
  LONG delays[2] = {5, 7};
  PropertyItem item{PropertyTagFrameDelay, sizeof(delays), PropertyTagTypeLong, delays};
  ASSERT_EQ(bmp.SetPropertyItem(&item), Ok);
  delays[0] = 9;  // the value was copied
  std::unique_ptr<Image> clone(bmp.Clone());
  ASSERT_EQ(clone->GetPropertyCount(), 1u);
  PROPID id = 0;
  ASSERT_EQ(clone->GetPropertyIdList(1, &id), Ok);
  EXPECT_EQ(id, PropertyTagFrameDelay);
  const UINT size = clone->GetPropertyItemSize(id);
  ASSERT_EQ(size, sizeof(PropertyItem) + 8);
  std::vector<uint8_t> block(size);
  auto* read = reinterpret_cast<PropertyItem*>(block.data());
  EXPECT_EQ(clone->GetPropertyItem(id, size - 1, read), InsufficientBuffer);
  ASSERT_EQ(clone->GetPropertyItem(id, size, read), Ok);
  EXPECT_EQ(std::vector<LONG>(static_cast<LONG*>(read->value), static_cast<LONG*>(read->value) + 2),
            (std::vector<LONG>{5, 7}));
  EXPECT_EQ(bmp.RemovePropertyItem(id), Ok);
  EXPECT_EQ(bmp.RemovePropertyItem(id), PropertyNotFound);
  EXPECT_EQ(bmp.GetPropertyItemSize(id), 0u);
  EXPECT_EQ(bmp.GetLastStatus(), PropertyNotFound);
}

// The save flag as the only parameter.
struct SaveFlag {
  ULONG value;
  EncoderParameters params{1, {{EncoderSaveFlag, 1, EncoderParameterValueTypeLong, &value}}};
  explicit SaveFlag(ULONG v) : value(v) {}
};

TEST(Encoding, MultiFrameFilesAreWrittenFrameByFrameAndOnlyWhenFlushed) {
  TempDir dir;
  Bitmap first(1, 1, PixelFormat32bppARGB), second(1, 1, PixelFormat32bppARGB);
  first.SetPixel(0, 0, Color(0xFF000001));
  second.SetPixel(0, 0, Color(0xFF000002));
  LONG delay = 40;
  PropertyItem item{PropertyTagFrameDelay, sizeof(delay), PropertyTagTypeLong, &delay};
  second.SetPropertyItem(&item);
  SaveFlag multi(EncoderValueMultiFrame), time(EncoderValueFrameDimensionTime), page(EncoderValueFrameDimensionPage),
      flush(EncoderValueFlush);
  EXPECT_EQ(first.SaveAdd(&flush.params), WrongState);  // no file open

  // A wrong dimension abandons the file: nothing is written, and nothing stays open.
  ASSERT_EQ(first.Save(dir.file("a.zxf").c_str(), &kFakeEncoder, &multi.params), Ok);
  EXPECT_EQ(first.SaveAdd(&second, &page.params), InvalidParameter);
  EXPECT_EQ(first.SaveAdd(&flush.params), WrongState);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path));
  // A folder that cannot be written to fails on the first frame.
  EXPECT_EQ(first.Save(dir.file("missing/a.zxf").c_str(), &kFakeEncoder, &multi.params), FileNotFound);

  g_delays.clear();
  ASSERT_EQ(first.Save(dir.file("b.zxf").c_str(), &kFakeEncoder, &multi.params), Ok);
  ASSERT_EQ(first.SaveAdd(&second, &time.params), Ok);
  ASSERT_EQ(first.SaveAdd(&time.params), Ok);  // the image's own frame again
  EXPECT_TRUE(std::filesystem::is_empty(dir.path));
  ASSERT_EQ(first.SaveAdd(&flush.params), Ok);
  EXPECT_EQ(g_delays, (std::vector<UINT>{0, 40, 0}));
  Bitmap back(dir.file("b.zxf").c_str());
  ASSERT_EQ(back.GetFrameCount(&FrameDimensionTime), 3u);
  std::vector<ARGB> pixels;
  for (UINT i = 0; i < 3; ++i) {
    back.SelectActiveFrame(&FrameDimensionTime, i);
    pixels.push_back(pixel(back, 0, 0));
  }
  EXPECT_EQ(pixels, (std::vector<ARGB>{0xFF000001, 0xFF000002, 0xFF000001}));

  // A stream receives the file on the flush too; a format without multi-frame files saves at once.
  MemoryStream stream;
  ASSERT_EQ(first.Save(&stream, &kFakeEncoder, &multi.params), Ok);
  EXPECT_TRUE(stream.bytes.empty());
  ASSERT_EQ(first.SaveAdd(&flush.params), Ok);
  EXPECT_EQ(stream.bytes.size(), 20u);
}

}  // namespace
