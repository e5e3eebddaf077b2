// Zentarix — MIT licence.
// LoadStream, LoadPicture and SavePicture through the public surface: no seek, no gate, pictures.
#include <objbase.h>
#include <olectl.h>
#include <winbase.h>

#include "RasterTestSupport.h"
#include "TestRegistry.h"

namespace zx::test {
namespace {

constexpr OLECHAR kNoStream[] = u"Cannot query IStream interface. ";
constexpr OLECHAR kNoPictureImage[] = u"Cannot get image from IPictureDisp";
constexpr OLECHAR kSaveNoImage[] = u"Cannot save the image to Picture, because it is not loaded!";
constexpr HRESULT kPictureFailure = static_cast<HRESULT>(0xE0000201);

// A memory stream holding prefix + data, positioned just after the prefix.
ComPtr<IStream> stream_after_prefix(const std::vector<uint8_t>& prefix, const std::vector<uint8_t>& data) {
  ComPtr<IStream> stream;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  ULONG written = 0;
  if (!prefix.empty()) {
    EXPECT_EQ(stream->Write(prefix.data(), static_cast<ULONG>(prefix.size()), &written), S_OK);
  }
  EXPECT_EQ(stream->Write(data.data(), static_cast<ULONG>(data.size()), &written), S_OK);
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(prefix.size());
  EXPECT_EQ(stream->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
  return stream;
}

// A stream whose reads fail the way a broken file or pipe does: the system error is set and an
// error code returned.
class FailingStream final : public IStream {
 public:
  explicit FailingStream(DWORD systemError) : m_error(systemError) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IStream || riid == IID_ISequentialStream) {
      *ppv = static_cast<IStream*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --m_refs; }  // lives on the test's stack
  HRESULT STDMETHODCALLTYPE Read(void*, ULONG, ULONG* read) override {
    if (read) *read = 0;
    SetLastError(m_error);
    return STG_E_READFAULT;
  }
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override {
    ++seeks;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }
  ULONG refs() const { return m_refs; }
  int seeks = 0;

 private:
  DWORD m_error;
  ULONG m_refs = 1;
};

std::u16string system_text(DWORD code) {
  LPWSTR text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      LANG_USER_DEFAULT, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::u16string result(text ? text : u"", length);
  if (text) LocalFree(text);
  return result;
}

ComPtr<IPictureDisp> picture_of(HBITMAP bitmap, UINT type = PICTYPE_BITMAP) {
  PICTDESC description{};
  description.cbSizeofstruct = sizeof(PICTDESC);
  description.picType = type;
  description.bmp.hbitmap = bitmap;
  ComPtr<IPictureDisp> picture;
  EXPECT_EQ(OleCreatePictureIndirect(&description, IID_IPictureDisp, TRUE, picture.put_void()), S_OK);
  return picture;
}

// ---- LoadStream ---------------------------------------------------------------------------------

TEST(LoadStream, NullStreamIsAnInvalidArgumentWithoutErrorInformation) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->EmptyImage(3, 2, -1), S_OK);
  clear_error();
  EXPECT_EQ(raster->LoadStream(nullptr), E_INVALIDARG);
  EXPECT_FALSE(take_error().present);
  EXPECT_FALSE(has_no_image(raster.get()));
}

TEST(LoadStream, ObjectWithoutIStreamIsReportedWithTheQueryResult) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->EmptyImage(3, 2, -1), S_OK);
  ComPtr<IRasterObject> other = make_raster();
  expect_report(raster->LoadStream(other.get()), E_NOINTERFACE, kNoStream);
  EXPECT_FALSE(has_no_image(raster.get()));  // nothing was discarded
}

TEST(LoadStream, GifIsReadFromTheCurrentPositionWhateverEnableLzwSays) {
  const std::vector<uint8_t> gif = read_bytes(corpus_path("edge/derived_gif_named.png"));
  ComPtr<IRasterObject> raster = make_raster();
  ComPtr<IStream> stream = stream_after_prefix({'J', 'U', 'N', 'K', '!'}, gif);
  ASSERT_EQ(raster->LoadStream(stream.get()), S_OK);
  EXPECT_EQ(current_file_type(raster.get()), oftGIF);
  LONG width = 0;
  EXPECT_EQ(raster->get_Width(&width), S_OK);
  EXPECT_EQ(width, 32);

  // The same bytes from a file stream that has already been read past a prefix.
  std::vector<uint8_t> prefixed = {'x', 'y', 'z'};
  prefixed.insert(prefixed.end(), gif.begin(), gif.end());
  const std::string path = write_scratch("prefixed.bin", prefixed);
  ComPtr<IStream> file;
  ASSERT_EQ(SHCreateStreamOnFileEx(to_utf16(path).c_str(), STGM_READ | STGM_SHARE_DENY_NONE, 0, FALSE, nullptr,
                                   file.put()),
            S_OK);
  char skipped[3];
  ULONG got = 0;
  ASSERT_EQ(file->Read(skipped, 3, &got), S_OK);
  ComPtr<IRasterObject> second = make_raster();
  ASSERT_EQ(second->LoadStream(file.get()), S_OK);
  EXPECT_EQ(current_file_type(second.get()), oftGIF);
  EXPECT_EQ(held_pixels(second.get()), held_pixels(raster.get()));
}

TEST(LoadStream, UndecodableDataGivesTheGdiplusMessageAndLeavesNoImage) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->EmptyImage(3, 2, -1), S_OK);
  // A stale system error from earlier work on the thread does not leak into the message.
  SetLastError(ERROR_ACCESS_DENIED);
  ComPtr<IStream> stream = stream_after_prefix({}, {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
  expect_report(raster->LoadStream(stream.get()), E_FAIL,
                gdiplus_message(u"LoadStream", u"RasterObject",
                                u"Required image format is not supported. GDI+ status code 13"));
  EXPECT_TRUE(has_no_image(raster.get()));
  EXPECT_EQ(current_file_type(raster.get()), oftUnknown);
}

TEST(LoadStream, FailingReadIsDescribedByTheSystemErrorItLeft) {
  ComPtr<IRasterObject> raster = make_raster();
  FailingStream stream(ERROR_ACCESS_DENIED);
  const std::u16string text = system_text(ERROR_ACCESS_DENIED);
  ASSERT_FALSE(text.empty());
  expect_report(raster->LoadStream(&stream), E_FAIL, text);
  EXPECT_EQ(stream.seeks, 0);
  EXPECT_EQ(stream.refs(), 1u);  // every reference taken was given back
}

TEST(LoadStream, UnknownFormatsAreRefusedAfterDecoding) {
  ComPtr<IRasterObject> raster = make_raster();
  ComPtr<IStream> stream = stream_after_prefix({}, read_bytes(corpus_path("ico/wx_horse.ico")));
  expect_report(raster->LoadStream(stream.get()), E_FAIL, kUnknownFileType);
  EXPECT_EQ(current_file_type(raster.get()), oftUnknown);
  EXPECT_TRUE(has_no_image(raster.get()));
}

TEST(LoadStream, PngFromAStreamKeepsResolutionAndAlpha) {
  const std::string path = write_scratch("dpi.png", png_at_300_by_600_dpi());
  ComPtr<IRasterObject> from_file = make_raster();
  ASSERT_EQ(load_file(from_file.get(), path), S_OK);
  ComPtr<IRasterObject> from_stream = make_raster();
  ComPtr<IStream> stream = stream_after_prefix({}, read_bytes(path));
  ASSERT_EQ(from_stream->LoadStream(stream.get()), S_OK);
  EXPECT_EQ(current_file_type(from_stream.get()), oftPNG);
  FLOAT x = 0, y = 0;
  EXPECT_EQ(from_stream->get_HorizontalResolution(&x), S_OK);
  EXPECT_EQ(from_stream->get_VerticalResolution(&y), S_OK);
  EXPECT_NEAR(x, 300.0, 0.01);
  EXPECT_NEAR(y, 600.0, 0.01);
  EXPECT_EQ(held_pixels(from_stream.get()), held_pixels(from_file.get()));
}

// ---- LoadPicture --------------------------------------------------------------------------------

TEST(LoadPicture, NullAndNonPicturesFailWithoutErrorInformationAndKeepTheImage) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->EmptyImage(3, 2, 0x12345678), S_OK);
  clear_error();
  EXPECT_EQ(raster->LoadPicture(nullptr), E_POINTER);
  EXPECT_FALSE(take_error().present);
  // Any dispatch object that is not a picture: the query's own result.
  ComPtr<IDispatch> not_a_picture;
  ASSERT_EQ(raster->QueryInterface(IID_IDispatch, not_a_picture.put_void()), S_OK);
  EXPECT_EQ(raster->LoadPicture(reinterpret_cast<IPictureDisp*>(not_a_picture.get())), E_NOINTERFACE);
  EXPECT_FALSE(take_error().present);
  LONG pixel = 0;
  EXPECT_EQ(raster->get_Pixels(2, 1, &pixel), S_OK);
  EXPECT_EQ(pixel, 0x12345678);
}

TEST(LoadPicture, PictureWithoutBitmapFailsAndKeepsThePreviousImage) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(load_file(raster.get(), write_scratch("tiny.bmp", tiny_bmp())), S_OK);
  ASSERT_EQ(raster->put_HorizontalResolution(33), S_OK);
  ComPtr<IPictureDisp> empty = picture_of(0, PICTYPE_NONE);
  expect_report(raster->LoadPicture(empty.get()), kPictureFailure, kNoPictureImage);
  EXPECT_EQ(held_pixels(raster.get()), (std::vector<uint32_t>{0xFF0000FF, 0xFFFF0000}));
  EXPECT_EQ(current_file_type(raster.get()), oftBMP);
  FLOAT x = 0;
  EXPECT_EQ(raster->get_HorizontalResolution(&x), S_OK);
  EXPECT_EQ(x, 33.0f);
}

TEST(LoadPicture, BitmapHandleGivesAnOpaqueBmpImageAtTheDisplayResolution) {
  // A handle whose pixels carry alpha bytes of their own: a picture from a handle has no alpha.
  const uint32_t bits[] = {0x00102030, 0x80405060, 0xFF708090, 0x01A0B0C0, 0x00000000, 0xFFFFFFFF};
  HBITMAP handle = CreateBitmap(3, 2, 1, 32, bits);
  ASSERT_NE(handle, HBITMAP{});
  ComPtr<IPictureDisp> picture = picture_of(handle);
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->LoadPicture(picture.get()), S_OK);
  EXPECT_EQ(current_file_type(raster.get()), oftBMP);
  FLOAT x = 0, y = 0;
  EXPECT_EQ(raster->get_HorizontalResolution(&x), S_OK);
  EXPECT_EQ(raster->get_VerticalResolution(&y), S_OK);
  EXPECT_EQ(x, 96.0f);
  EXPECT_EQ(y, 96.0f);
  std::vector<uint32_t> expected;
  for (uint32_t b : bits) expected.push_back(0xFF000000u | b);
  EXPECT_EQ(held_pixels(raster.get()), expected);
  // The picture keeps its handle.
  OLE_HANDLE still = 0;
  ComPtr<IPicture> same;
  ASSERT_EQ(picture->QueryInterface(IID_IPicture, same.put_void()), S_OK);
  EXPECT_EQ(same->get_Handle(&still), S_OK);
  EXPECT_EQ(GetObjectType(static_cast<HGDIOBJ>(still)), OBJ_BITMAP);
}

// ---- SavePicture --------------------------------------------------------------------------------

TEST(SavePicture, NullPointerAndNoImageFail) {
  ComPtr<IRasterObject> raster = make_raster();
  clear_error();
  EXPECT_EQ(raster->SavePicture(nullptr), E_POINTER);
  EXPECT_FALSE(take_error().present);
  IPictureDisp* picture = reinterpret_cast<IPictureDisp*>(0x1);
  expect_report(raster->SavePicture(&picture), E_FAIL, kSaveNoImage);
  EXPECT_EQ(picture, reinterpret_cast<IPictureDisp*>(0x1));
}

TEST(SavePicture, BitmapThatGivesNoHandleIsReportedAndItsStatusRecorded) {
  ComPtr<IRasterObject> raster = make_raster();
  ASSERT_EQ(raster->EmptyImage(2, 2, -1), S_OK);
  // A bitmap locked by someone else cannot give a handle.
  Gdiplus::Bitmap* bitmap = held_bitmap(raster.get());
  ASSERT_NE(bitmap, nullptr);
  const Gdiplus::Rect whole(0, 0, 2, 2);
  Gdiplus::BitmapData data{};
  ASSERT_EQ(bitmap->LockBits(&whole, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppARGB, &data), Gdiplus::Ok);
  bitmap->GetLastStatus();  // start from Ok
  IPictureDisp* picture = reinterpret_cast<IPictureDisp*>(0x1);
  expect_report(raster->SavePicture(&picture), E_FAIL,
                u"Cannot get handle to the image. If you see this message, please contact " + support());
  EXPECT_EQ(picture, reinterpret_cast<IPictureDisp*>(0x1));
  EXPECT_EQ(bitmap->GetLastStatus(), Gdiplus::WrongState);
  EXPECT_EQ(bitmap->UnlockBits(&data), Gdiplus::Ok);
}

TEST(SavePicture, RoundTripComposesOverBlackAndLoadsAsAnOpaqueBmp) {
  // Opaque, half, barely and fully transparent pixels.
  const std::vector<uint32_t> pixels = {0xFF336699, 0x80FF8040, 0x01FFFFFF, 0x00FFFFFF, 0xC0000000, 0x7F7F7F7F};
  ComPtr<IRasterObject> raster = make_raster(3, 2, pixels);
  ASSERT_EQ(raster->put_HorizontalResolution(300), S_OK);
  ComPtr<IPictureDisp> picture;
  ASSERT_EQ(raster->SavePicture(picture.put()), S_OK);
  ASSERT_TRUE(picture);
  ComPtr<IPicture> as_picture;
  ASSERT_EQ(picture->QueryInterface(IID_IPicture, as_picture.put_void()), S_OK);
  SHORT type = 0;
  EXPECT_EQ(as_picture->get_Type(&type), S_OK);
  EXPECT_EQ(type, static_cast<SHORT>(PICTYPE_BITMAP));

  ComPtr<IRasterObject> loaded = make_raster();
  ASSERT_EQ(loaded->LoadPicture(picture.get()), S_OK);
  EXPECT_EQ(current_file_type(loaded.get()), oftBMP);
  // c * a / 255 over black, integer division, stored opaque.
  std::vector<uint32_t> expected;
  for (uint32_t p : pixels) {
    const uint32_t a = p >> 24;
    uint32_t out = 0xFF000000u;
    for (int shift : {0, 8, 16}) out |= (((p >> shift) & 0xFF) * a / 255) << shift;
    expected.push_back(out);
  }
  EXPECT_EQ(held_pixels(loaded.get()), expected);
  EXPECT_EQ(expected[1], 0xFF804020u);  // 255, 128, 64 at alpha 128
  // The source object is untouched.
  EXPECT_EQ(read_pixels(raster.get()), pixels);
}

}  // namespace
}  // namespace zx::test
