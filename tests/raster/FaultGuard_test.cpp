// Zentarix — MIT licence.
// A real machine fault in every guarded routine, driven through the public surface: pixels over
// memory made unreadable (or handed out read-only). Each call fails with its own message and code,
// no bitmap stays locked, and the process carries on.
#include <dlfcn.h>
#include <objbase.h>
#include <olectl.h>
#include <winbase.h>
#include <sys/mman.h>
#include <zx/pixel_memory.h>

#include <utility>
#include <vector>

#include "LoadTestSupport.h"
#include "TestRegistry.h"

// The pixel allocator, as the libraries reach it: the test executable's definitions come first, so
// these hand out one block read-only when asked and pass everything else on to libzxcom.
namespace {
size_t g_read_only_size = 0;  // the size of the next block to hand out read-only (0: none)
int g_read_only_skip = 0;     // blocks of that size to pass on first
std::vector<std::pair<void*, size_t>> g_read_only;

template <class F>
F real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
}  // namespace

namespace zx {
void* pixel_alloc_zeroed(size_t bytes) noexcept {
  if (bytes == g_read_only_size && g_read_only_skip-- == 0) {
    g_read_only_size = 0;
    void* block = mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);  // zero, unwritable
    g_read_only.emplace_back(block, bytes);
    return block;
  }
  static auto next = real<void* (*)(size_t)>("_ZN2zx18pixel_alloc_zeroedEm");
  return next(bytes);
}
void pixel_free(void* block) noexcept {
  for (auto it = g_read_only.begin(); it != g_read_only.end(); ++it) {
    if (it->first == block) {
      munmap(block, it->second);
      g_read_only.erase(it);
      return;
    }
  }
  static auto next = real<void (*)(void*)>("_ZN2zx10pixel_freeEPv");
  next(block);
}
}  // namespace zx

namespace zx::test {
namespace {

constexpr int kW = 8, kH = 4;  // the unreadable rows

// Rows of the test's own mapping under a 32 bpp ARGB bitmap, made unreadable on request.
class ForeignPixels {
 public:
  ForeignPixels() : m_data(mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)) {}
  ~ForeignPixels() { munmap(m_data, kBytes); }
  void* data() const { return m_data; }
  // A raster object holding a bitmap over these rows, which then become unreadable.
  void hold_unreadable(IRasterObject* raster) {
    ComPtr<IRasterObjectInternal> internal;
    ASSERT_EQ(raster->QueryInterface(IID_IRasterObjectInternal, internal.put_void()), S_OK);
    auto* bitmap = new Gdiplus::Bitmap(kW, kH, kW * 4, Gdiplus::PixelFormat32bppARGB, static_cast<BYTE*>(m_data));
    ASSERT_EQ(internal->SetDataPointer(reinterpret_cast<LONG*>(bitmap)), S_OK);
    forbid();
  }
  void forbid() { mprotect(m_data, kBytes, PROT_NONE); }

 private:
  static constexpr size_t kBytes = 4096;
  void* m_data;
};

// A late-bound transform whose "Apply" hands back a pixel array over the unreadable rows. The array
// stays locked, so that the raster object's SafeArrayDestroy leaves it (and its rows) to us.
class UnreadableApply : public IDispatch {
 public:
  explicit UnreadableApply(void* rows) : m_rows(rows) {}
  ~UnreadableApply() {
    if (!m_out) return;
    m_out->cLocks = 0;
    m_out->pvData = nullptr;
    SafeArrayDestroy(m_out);
  }
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IUnknown || riid == IID_IDispatch ? this : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return 2; }  // lives on the test's stack
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(GetTypeInfoCount)(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID* ids) override {
    ids[0] = 1;
    return S_OK;
  }
  STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    SafeArrayAllocDescriptor(2, &m_out);
    m_out->cbElements = 4;
    m_out->fFeatures = FADF_STATIC;  // the data is not the array's to free
    m_out->cLocks = 1;
    m_out->rgsabound[0].cElements = kW;
    m_out->rgsabound[1].cElements = kH;
    m_out->pvData = m_rows;
    *V_ARRAYREF(&params->rgvarg[0]) = m_out;
    return S_OK;
  }

 private:
  void* m_rows;
  SAFEARRAY* m_out = nullptr;
};

struct Scene {
  GdiplusSession gdiplus;
  ForeignPixels pixels;
  ComPtr<IRasterObject> raster = make_raster();  // the object whose method is called
  ComPtr<IRasterObject> other = make_raster();   // a second image the call involves
};

// Sets the scene up, makes memory unreadable and calls the routine; arg is the row's own.
using Call = HRESULT (*)(Scene&, LONG arg);

HRESULT draw_on_unreadable(Scene& s, LONG mode) {
  EXPECT_EQ(s.raster->EmptyImage(kW, kH, 0x80FF0000), S_OK);
  s.pixels.hold_unreadable(s.other.get());
  return s.raster->DrawOnRaster(s.other.get(), 0, 0, static_cast<CombineModes>(mode), 200);
}
HRESULT histogram(Scene& s, LONG) {
  s.pixels.hold_unreadable(s.raster.get());
  SafeArray bins;
  return s.raster->GetHistogram(htLightness, bins.put());
}
HRESULT flood_fill(Scene& s, LONG) {
  s.pixels.hold_unreadable(s.raster.get());
  return s.raster->FloodFill(1, 1, -1, 0, ffmFillUntilColor, 0, VARIANT_FALSE, VARIANT_FALSE);
}
HRESULT clone(Scene& s, LONG) {
  s.pixels.hold_unreadable(s.raster.get());
  SetLastError(ERROR_FILE_NOT_FOUND);  // an earlier call's error must not become Clone's message
  return s.raster->Clone(s.other.put());
}
HRESULT apply_from_unreadable(Scene& s, LONG) {
  s.pixels.hold_unreadable(s.raster.get());
  UnreadableApply transform(s.pixels.data());
  return s.raster->ApplyTransform(&transform);
}
HRESULT apply_into_unreadable(Scene& s, LONG) {
  EXPECT_EQ(s.raster->EmptyImage(kW, kH, -1), S_OK);
  s.pixels.forbid();
  UnreadableApply transform(s.pixels.data());
  return s.raster->ApplyTransform(&transform);
}
HRESULT save(Scene& s, LONG type) {
  s.pixels.hold_unreadable(s.raster.get());
  EXPECT_EQ(s.raster->put_OutputFileType(static_cast<OutputFileTypes>(type)), S_OK);
  ComPtr<IStream> stream;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  return s.raster->SaveStream(stream.get(), nullptr);
}
HRESULT fill_read_only(Scene& s, LONG) {
  g_read_only_size = 13 * 7 * 4;
  return s.raster->EmptyImage(13, 7, -1);
}
HRESULT load_into_read_only(Scene& s, LONG) {
  EXPECT_EQ(s.other->EmptyImage(11, 5, -1), S_OK);
  ComPtr<IPictureDisp> picture;
  EXPECT_EQ(s.other->SavePicture(picture.put()), S_OK);
  // The picture's bitmap comes first, then the working bitmap the conversion writes.
  g_read_only_size = 11 * 5 * 4;
  g_read_only_skip = 1;
  return s.raster->LoadPicture(picture.get());
}

std::u16string gdiplus_failure(const std::u16string& method, const std::u16string& object = u"RasterObject",
                               int status = 1) {
  return gdiplus_message(method, object, status == 1 ? u"Some unspecified GDI+ error. GDI+ status code 1"
                                                     : u"Buffer is too short to hold the data. GDI+ status code 5");
}
std::u16string combine_failure(const char16_t* mode) {
  return u"Cannot draw on raster (" + std::u16string(mode) + u"): " + gdiplus_failure(u"Combine", u"RasterCollection");
}
std::u16string array_failure(const char16_t* suffix) {
  return u"If you see that error message, please contact " + support() + u". Some error occured during " + suffix +
         u" conversion";
}

struct FaultCase {
  const char* routine;
  Call call;
  LONG arg;
  HRESULT hr;
  std::u16string description;
  const char16_t* reporter = u"RasterObject";  // the class whose ProgID is the source
  GUID iid = IID_IRasterObject;
};

TEST(FaultGuard, AFaultInEveryGuardedRoutineFailsThatRoutineAndLeavesNothingLocked) {
  const HRESULT kArrayToBitmap = static_cast<HRESULT>(0xE0000206u), kBitmapToArray = static_cast<HRESULT>(0xE0000207u);
  const FaultCase cases[] = {
      {"alpha blend", draw_on_unreadable, cmAlphaBlend, E_FAIL, combine_failure(u"alpha blend")},
      {"XOR", draw_on_unreadable, cmXORBlend, E_FAIL, combine_failure(u"XOR")},
      {"AND", draw_on_unreadable, cmANDBlend, E_FAIL, combine_failure(u"AND")},
      {"OR", draw_on_unreadable, cmORBlend, E_FAIL, combine_failure(u"OR")},
      {"dissolve", draw_on_unreadable, cmDissolve, E_FAIL, combine_failure(u"dissolve")},
      {"GetHistogram", histogram, 0, E_FAIL, gdiplus_failure(u"GetHistogram")},
      {"FloodFill", flood_fill, 0, E_FAIL, gdiplus_failure(u"FloodFill")},
      {"Clone", clone, 0, E_FAIL, gdiplus_failure(u"Clone", u"RasterObject", 5)},
      {"bitmap to array", apply_from_unreadable, 0, kBitmapToArray, array_failure(u"bitmap->array")},
      {"array to bitmap", apply_into_unreadable, 0, kArrayToBitmap, array_failure(u"array->bitmap")},
      {"JPEG", save, oftJPEG, E_FAIL, gdiplus_failure(u"DoEncode", u"EncoderJPEG"), u"EncoderJPEG", IID_IEncoderJPEG},
      {"BMP", save, oftBMP, E_FAIL, gdiplus_failure(u"DoEncode", u"EncoderBMP"), u"EncoderBMP", IID_IEncoderBMP},
      {"PNG", save, oftPNG, E_FAIL, gdiplus_failure(u"DoEncode", u"EncoderPNG"), u"EncoderPNG", IID_IEncoderPNG},
      {"EmptyImage", fill_read_only, 0, E_FAIL, gdiplus_failure(u"EmptyImage")},
      {"loading conversion", load_into_read_only, 0, E_FAIL, gdiplus_failure(u"LoadPicture")},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.routine);
    Scene scene;
    clear_error();
    EXPECT_EQ(c.call(scene, c.arg), c.hr);
    const ErrorRecord record = take_error();
    EXPECT_EQ(to_utf8(record.description), to_utf8(c.description));
    EXPECT_EQ(to_utf8(record.source), "Zentarix." + to_utf8(c.reporter) + ".1");
    EXPECT_EQ(record.guid, c.iid);
    for (IRasterObject* raster : {scene.raster.get(), scene.other.get()}) {
      Gdiplus::Bitmap* bitmap = raster ? held_bitmap(raster) : nullptr;
      if (!bitmap) continue;
      const Gdiplus::Rect corner(0, 0, 1, 1);  // locked in its own format: the memory is not read
      Gdiplus::BitmapData data{};
      EXPECT_EQ(bitmap->LockBits(&corner, Gdiplus::ImageLockModeRead, bitmap->GetPixelFormat(), &data), Gdiplus::Ok);
      bitmap->UnlockBits(&data);
    }
  }
  EXPECT_TRUE(g_read_only.empty());  // the read-only blocks were handed out and freed again
}

}  // namespace
}  // namespace zx::test
