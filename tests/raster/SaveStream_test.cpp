// Zentarix — MIT licence.
// RasterObject.SaveStream: streams written at their position, ASP Response objects, refusals.
#include <asptlb.h>
#include <objbase.h>

#include <algorithm>

#include "ImageReaders.h"
#include "RasterTestSupport.h"
#include "TestRegistry.h"

namespace zx::test {
namespace {

constexpr OLECHAR kSaveStreamNoImage[] =
    u"Cannot save image to the stream, because there is no any data. Create new image or load it first.";
constexpr OLECHAR kNeitherStreamNorResponse[] = u"The object is not neither Stream nor Response!";

std::string text(const VARIANT& v) { return V_VT(&v) == VT_BSTR ? to_utf8(std::u16string_view(V_BSTR(&v))) : "<not text>"; }

ComPtr<IStream> memory_stream() {
  ComPtr<IStream> stream;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  return stream;
}

Bytes stream_bytes(IStream* stream) {
  STATSTG stat{};
  EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  Bytes bytes(static_cast<size_t>(stat.cbSize.QuadPart));
  LARGE_INTEGER start{};
  EXPECT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
  ULONG read = 0;
  EXPECT_EQ(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read), S_OK);
  return bytes;
}

ULONGLONG position(IStream* stream) {
  LARGE_INTEGER none{};
  ULARGE_INTEGER at{};
  EXPECT_EQ(stream->Seek(none, STREAM_SEEK_CUR, &at), S_OK);
  return at.QuadPart;
}

// What one save to a fresh stream gives, for comparing with other targets.
Bytes saved_to_stream(IRasterObject* raster) {
  ComPtr<IStream> stream = memory_stream();
  EXPECT_EQ(raster->SaveStream(stream.get(), nullptr), S_OK);
  return stream_bytes(stream.get());
}

template <class I>
ComPtr<I> make_settings(const OLECHAR* progId) {
  make_raster();
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
  ComPtr<I> object;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, uuid_of<I>::value, object.put_void()), S_OK);
  return object;
}

// An ASP Response that records what BinaryWrite receives; every other member is not for us.
class FakeResponse final : public IResponse {
 public:
  int binaryWrites = 0;
  VARTYPE receivedType = VT_EMPTY;
  UINT dimensions = 0;
  LONG lowerBound = -1;
  Bytes received;
  LONG refs = 1;

  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IResponse) {
      *ppv = static_cast<IResponse*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs); }
  STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--refs); }  // lives on the test's stack

  STDMETHOD(BinaryWrite)(VARIANT varInput) override {
    ++binaryWrites;
    receivedType = V_VT(&varInput);
    if (V_VT(&varInput) != (VT_ARRAY | VT_UI1)) return E_INVALIDARG;
    SAFEARRAY* array = V_ARRAY(&varInput);
    dimensions = SafeArrayGetDim(array);
    LONG upper = -1;
    SafeArrayGetLBound(array, 1, &lowerBound);
    SafeArrayGetUBound(array, 1, &upper);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return E_FAIL;
    const auto* first = static_cast<const uint8_t*>(data);
    received.assign(first, first + (upper - lowerBound + 1));
    SafeArrayUnaccessData(array);
    return S_OK;
  }

  STDMETHOD(GetTypeInfoCount)(UINT*) override { return E_NOTIMPL; }
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
  STDMETHOD(get_Buffer)(VARIANT_BOOL*) override { return unexpected(); }
  STDMETHOD(put_Buffer)(VARIANT_BOOL) override { return unexpected(); }
  STDMETHOD(get_ContentType)(BSTR*) override { return unexpected(); }
  STDMETHOD(put_ContentType)(BSTR) override { return unexpected(); }
  STDMETHOD(get_Expires)(VARIANT*) override { return unexpected(); }
  STDMETHOD(put_Expires)(LONG) override { return unexpected(); }
  STDMETHOD(get_ExpiresAbsolute)(VARIANT*) override { return unexpected(); }
  STDMETHOD(put_ExpiresAbsolute)(DATE) override { return unexpected(); }
  STDMETHOD(get_Cookies)(IDispatch**) override { return unexpected(); }
  STDMETHOD(get_Status)(BSTR*) override { return unexpected(); }
  STDMETHOD(put_Status)(BSTR) override { return unexpected(); }
  STDMETHOD(Add)(BSTR, BSTR) override { return unexpected(); }
  STDMETHOD(AddHeader)(BSTR, BSTR) override { return unexpected(); }
  STDMETHOD(AppendToLog)(BSTR) override { return unexpected(); }
  STDMETHOD(Clear)() override { return unexpected(); }
  STDMETHOD(End)() override { return unexpected(); }
  STDMETHOD(Flush)() override { return unexpected(); }
  STDMETHOD(Redirect)(BSTR) override { return unexpected(); }
  STDMETHOD(Write)(VARIANT) override { return unexpected(); }
  STDMETHOD(WriteBlock)(SHORT) override { return unexpected(); }
  STDMETHOD(IsClientConnected)(VARIANT_BOOL*) override { return unexpected(); }
  STDMETHOD(get_CharSet)(BSTR*) override { return unexpected(); }
  STDMETHOD(put_CharSet)(BSTR) override { return unexpected(); }
  STDMETHOD(Pics)(BSTR) override { return unexpected(); }
  STDMETHOD(get_CacheControl)(BSTR*) override { return unexpected(); }
  STDMETHOD(put_CacheControl)(BSTR) override { return unexpected(); }
  STDMETHOD(get_CodePage)(LONG*) override { return unexpected(); }
  STDMETHOD(put_CodePage)(LONG) override { return unexpected(); }
  STDMETHOD(get_LCID)(LONG*) override { return unexpected(); }
  STDMETHOD(put_LCID)(LONG) override { return unexpected(); }

  int otherCalls = 0;

 private:
  HRESULT unexpected() {
    ++otherCalls;
    return E_NOTIMPL;
  }
};

TEST(SaveStreamTarget, AutomaticModeWritesJpegAtTheStreamsPosition) {
  ComPtr<IRasterObject> raster = sample_raster();
  ComPtr<IStream> stream = memory_stream();
  const char prefix[] = "PREFIX";
  ASSERT_EQ(stream->Write(prefix, 6, nullptr), S_OK);

  ASSERT_EQ(raster->SaveStream(stream.get(), nullptr), S_OK);
  const Bytes all = stream_bytes(stream.get());
  ASSERT_GT(all.size(), 10u);
  EXPECT_EQ(std::string(all.begin(), all.begin() + 6), "PREFIX");
  const Bytes jpegBytes(all.begin() + 6, all.end());
  EXPECT_EQ(jpegBytes[jpegBytes.size() - 2], 0xFF);
  EXPECT_EQ(jpegBytes.back(), 0xD9);
  EXPECT_EQ(describe(read_jpeg(jpegBytes)).substr(0, 19), "3x2 24bpp 96x96dpi ");

  EXPECT_EQ(text(option(raster.get(), u"OutputFileType")), "Auto");
}

TEST(SaveStreamTarget, AutomaticModeHonoursASettingsObject) {
  ComPtr<IRasterObject> raster = sample_raster();
  ComPtr<IBMPEncoderInfo> bmp = make_settings<IBMPEncoderInfo>(u"Zentarix.BMPEncoderInfo");
  ASSERT_EQ(bmp->put_ColorDepth(cd24bpp), S_OK);
  ComPtr<IStream> stream = memory_stream();
  ASSERT_EQ(raster->SaveStream(stream.get(), static_cast<IDispatch*>(bmp.get())), S_OK);
  EXPECT_EQ(describe(read_bmp(stream_bytes(stream.get()))),
            "3x2 24bpp 96x96dpi px ffff0000 ff00ff00 ff0000ff ffffffff ff000000 ff808080");
  const Variant depth = option(raster.get(), u"ColorDepth");
  EXPECT_EQ(V_VT(&depth) == VT_I4 ? V_I4(&depth) : 0, 24);
  EXPECT_EQ(text(option(raster.get(), u"OutputFileType")), "Auto");
}

TEST(SaveStreamTarget, AnEncoderNameInTheStoreChoosesTheEncoderForStreamsToo) {
  ComPtr<IRasterObject> raster = sample_raster();
  Bstr key(u"OutputFileType");
  Variant name;
  V_VT(&name) = VT_BSTR;
  V_BSTR(&name) = SysAllocString(u"png");
  ASSERT_EQ(raster->put_EncoderOptions(key.get(), name), S_OK);
  EXPECT_EQ(describe(read_png(saved_to_stream(raster.get()))).substr(0, 32), "3x2 32bpp 96x96dpi px ffff0000 f");
  EXPECT_EQ(text(option(raster.get(), u"OutputFileType")), "png");
}

TEST(SaveStreamTarget, AFailedEncodingWritesNothingAndKeepsThePosition) {
  ComPtr<IRasterObject> raster = sample_raster();
  Bstr key(u"JPEGQuality");
  Variant bad;
  V_VT(&bad) = VT_I4;
  V_I4(&bad) = 101;
  ASSERT_EQ(raster->put_EncoderOptions(key.get(), bad), S_OK);
  ComPtr<IStream> stream = memory_stream();
  ASSERT_EQ(stream->Write("AB", 2, nullptr), S_OK);
  expect_record(raster->SaveStream(stream.get(), nullptr), E_INVALIDARG, u"Zentarix.EncoderJPEG.1", IID_IEncoderJPEG,
                u"Cannot save to JPEG: JPEGQuality parameter has incorrect value!");
  EXPECT_EQ(position(stream.get()), 2u);
  EXPECT_EQ(stream_bytes(stream.get()), (Bytes{'A', 'B'}));
  EXPECT_EQ(text(option(raster.get(), u"OutputFileType")), "Auto");
}

// A stream whose Write takes at most `limit` bytes a call, as any IStream may; Write is all a save
// asks of it.
struct StingyStream final : IStream {
  explicit StingyStream(ULONG limit) : limit(limit) {}
  ULONG limit;
  Bytes bytes;
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream ? this : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }  // lives on the test's stack
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* written) override {
    *written = std::min(cb, limit);
    bytes.insert(bytes.end(), static_cast<const BYTE*>(pv), static_cast<const BYTE*>(pv) + *written);
    return S_OK;
  }
  STDMETHOD(Read)(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  STDMETHOD(Seek)(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHOD(SetSize)(ULARGE_INTEGER) override { return E_NOTIMPL; }
  STDMETHOD(CopyTo)(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHOD(Commit)(DWORD) override { return E_NOTIMPL; }
  STDMETHOD(Revert)() override { return E_NOTIMPL; }
  STDMETHOD(LockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHOD(UnlockRegion)(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHOD(Stat)(STATSTG*, DWORD) override { return E_NOTIMPL; }
  STDMETHOD(Clone)(IStream**) override { return E_NOTIMPL; }
};

TEST(SaveStreamTarget, AStreamTakingPartOfEachWriteGetsTheWholeFileAndOneTakingNothingFails) {
  ComPtr<IRasterObject> raster = sample_raster();
  StingyStream partial(7), none(0);
  EXPECT_EQ(raster->SaveStream(&partial, nullptr), S_OK);
  EXPECT_EQ(partial.bytes, saved_to_stream(raster.get()));
  EXPECT_EQ(raster->SaveStream(&none, nullptr), STG_E_WRITEFAULT);
}

TEST(SaveStreamResponse, OneBinaryWriteReceivesAllBytesAsAByteArray) {
  ComPtr<IRasterObject> raster = sample_raster();
  const Bytes expected = saved_to_stream(raster.get());
  FakeResponse response;
  ASSERT_EQ(raster->SaveStream(static_cast<IResponse*>(&response), nullptr), S_OK);
  EXPECT_EQ(response.binaryWrites, 1);
  EXPECT_EQ(response.otherCalls, 0);
  EXPECT_EQ(response.receivedType, VT_ARRAY | VT_UI1);
  EXPECT_EQ(response.dimensions, 1u);
  EXPECT_EQ(response.lowerBound, 0);
  EXPECT_EQ(response.received, expected);
  EXPECT_TRUE(read_jpeg(response.received).ok) << read_jpeg(response.received).error;
  EXPECT_EQ(response.refs, 1);  // every reference taken was given back
}

TEST(SaveStreamResponse, AFailedEncodingCallsNothingOnTheResponse) {
  ComPtr<IRasterObject> raster = sample_raster();
  ASSERT_EQ(raster->put_OutputFileType(oftGIF), S_OK);
  ComPtr<IBMPEncoderInfo> bmp = make_settings<IBMPEncoderInfo>(u"Zentarix.BMPEncoderInfo");
  ASSERT_EQ(bmp->put_ColorDepth(cd1bpp), S_OK);
  FakeResponse response;
  clear_error();
  EXPECT_EQ(raster->SaveStream(static_cast<IResponse*>(&response), static_cast<IDispatch*>(bmp.get())), E_INVALIDARG);
  EXPECT_FALSE(take_error().present);
  EXPECT_EQ(response.binaryWrites, 0);
  EXPECT_EQ(response.otherCalls, 0);
  EXPECT_EQ(response.refs, 1);
}

TEST(SaveStreamRefusals, NoImageNullAndObjectsThatAreNeitherStreamNorResponse) {
  ComPtr<IRasterObject> empty = make_raster();
  ComPtr<IStream> stream = memory_stream();
  expect_report(empty->SaveStream(stream.get(), nullptr), static_cast<HRESULT>(0xE0000204), kSaveStreamNoImage);
  EXPECT_EQ(position(stream.get()), 0u);

  ComPtr<IRasterObject> raster = sample_raster();
  clear_error();
  EXPECT_EQ(raster->SaveStream(nullptr, nullptr), E_INVALIDARG);
  EXPECT_FALSE(take_error().present);

  ComPtr<IJPEGEncoderInfo> notAStream = make_settings<IJPEGEncoderInfo>(u"Zentarix.JPEGEncoderInfo");
  expect_report(raster->SaveStream(notAStream.get(), nullptr), E_INVALIDARG, kNeitherStreamNorResponse);
  EXPECT_EQ(text(option(raster.get(), u"OutputFileType")), "Auto");
}

}  // namespace
}  // namespace zx::test
