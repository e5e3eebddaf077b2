// Zentarix — MIT licence.
// A real machine fault in each guarded routine, through the public surface: pixels over memory made
// unreadable (or handed out read-only) fail the call with its own report, leave nothing locked, and
// the process carries on. (A transform's unreadable output array: RasterObjectTransform_test.)
#include <dlfcn.h>
#include <objbase.h>
#include <olectl.h>
#include <sys/mman.h>
#include <winbase.h>
#include <zx/pixel_memory.h>

#include <utility>
#include <vector>

#include "RasterTestSupport.h"
#include "TestRegistry.h"

// The pixel allocator as the libraries reach it (the executable's definitions come first): the
// next zeroed block of one size, after `skip` others, is fresh read-only memory, so the first
// write into it faults.
namespace {
size_t g_read_only_size = 0;
int g_read_only_skip = 0;
std::vector<std::pair<void*, size_t>> g_read_only;
template <class F>
F next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
}  // namespace

namespace zx {
void* pixel_alloc_zeroed(size_t bytes) noexcept {
  if (bytes != g_read_only_size || g_read_only_skip-- > 0) return next<void* (*)(size_t)>("_ZN2zx18pixel_alloc_zeroedEm")(bytes);
  g_read_only_size = 0;
  return g_read_only.emplace_back(mmap(nullptr, bytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0), bytes).first;
}
void pixel_free(void* block) noexcept {
  for (auto it = g_read_only.begin(); it != g_read_only.end(); ++it) {
    if (it->first == block) {
      munmap(block, it->second);
      g_read_only.erase(it);
      return;
    }
  }
  next<void (*)(void*)>("_ZN2zx10pixel_freeEPv")(block);
}
}  // namespace zx

namespace zx::test {
namespace {

// 8 x 4 pixel rows in a page of the test's own.
struct UnreadableRows {
  void* rows = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ~UnreadableRows() { munmap(rows, 4096); }
  // Gives `raster` a bitmap over the rows, which then become unreadable.
  IRasterObject* under(IRasterObject* raster) const {
    ComPtr<IRasterObjectInternal> internal;
    EXPECT_EQ(raster->QueryInterface(IID_IRasterObjectInternal, internal.put_void()), S_OK);
    auto* bitmap = new Gdiplus::Bitmap(8, 4, 32, Gdiplus::PixelFormat32bppARGB, static_cast<BYTE*>(rows));
    EXPECT_EQ(internal->SetDataPointer(reinterpret_cast<LONG*>(bitmap)), S_OK);
    mprotect(rows, 4096, PROT_NONE);
    return raster;
  }
};

struct Scene {
  GdiplusSession gdiplus;
  UnreadableRows pixels;
  ComPtr<IRasterObject> raster = make_raster();  // the object called
  ComPtr<IRasterObject> other = make_raster();   // a second image the call involves
};

HRESULT draw_on_unreadable(Scene& s, LONG mode) {
  EXPECT_EQ(s.raster->EmptyImage(8, 4, 0x80FF0000), S_OK);
  return s.raster->DrawOnRaster(s.pixels.under(s.other.get()), 0, 0, static_cast<CombineModes>(mode), 200);
}

std::u16string failure(const char16_t* method, const char16_t* object = u"RasterObject", int status = 1) {
  return gdiplus_message(method, object, status == 1 ? u"Some unspecified GDI+ error. GDI+ status code 1"
                                                     : u"Buffer is too short to hold the data. GDI+ status code 5");
}
// SaveStream of the unreadable rows as `type`, with CompressionType = `compression` when given.
HRESULT save_unreadable(Scene& s, OutputFileTypes type, const char16_t* compression = nullptr) {
  EXPECT_EQ(s.raster->put_OutputFileType(type), S_OK);
  if (compression) {
    Variant value;
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(compression);
    EXPECT_EQ(s.raster->put_EncoderOptions(Bstr(u"CompressionType").get(), value), S_OK);
  }
  ComPtr<IStream> out;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, out.put()), S_OK);
  return s.pixels.under(s.raster.get())->SaveStream(out.get(), nullptr);
}
std::u16string combine_failure(const char16_t* mode) {
  return u"Cannot draw on raster (" + std::u16string(mode) + u"): " + failure(u"Combine", u"RasterCollection");
}

TEST(FaultGuard, AFaultInEveryGuardedRoutineFailsThatRoutineAndLeavesNothingLocked) {
  const struct Case {
    const char* routine;
    HRESULT (*call)(Scene&, LONG);
    LONG arg;
    HRESULT hr;
    std::u16string description;
    const char* source = "Zentarix.RasterObject.1";
  } cases[] = {
      {"alpha blend", draw_on_unreadable, cmAlphaBlend, E_FAIL, combine_failure(u"alpha blend")},
      {"XOR", draw_on_unreadable, cmXORBlend, E_FAIL, combine_failure(u"XOR")},
      {"AND", draw_on_unreadable, cmANDBlend, E_FAIL, combine_failure(u"AND")},
      {"OR", draw_on_unreadable, cmORBlend, E_FAIL, combine_failure(u"OR")},
      {"dissolve", draw_on_unreadable, cmDissolve, E_FAIL, combine_failure(u"dissolve")},
      {"GetHistogram", [](Scene& s, LONG) {
         SafeArray bins;
         return s.pixels.under(s.raster.get())->GetHistogram(htLightness, bins.put());
       }, 0, E_FAIL, failure(u"GetHistogram")},
      {"FloodFill", [](Scene& s, LONG) {
         return s.pixels.under(s.raster.get())->FloodFill(1, 1, -1, 0, ffmFillUntilColor, 0, 0, 0);
       }, 0, E_FAIL, failure(u"FloodFill")},
      {"Clone", [](Scene& s, LONG) {
         s.pixels.under(s.raster.get());
         SetLastError(ERROR_FILE_NOT_FOUND);  // an earlier call's error is not Clone's message
         return s.raster->Clone(s.other.put());
       }, 0, E_FAIL, failure(u"Clone", u"RasterObject", 5)},
      {"bitmap to array", [](Scene& s, LONG) {  // any object without the bitmap interfaces gets arrays
         return s.pixels.under(s.raster.get())->ApplyTransform(s.other.get());
       }, 0, static_cast<HRESULT>(0xE0000207u),
       u"If you see that error message, please contact " + support() + u". Some error occured during bitmap->array conversion"},
      {"DoEncode", [](Scene& s, LONG) { return save_unreadable(s, oftJPEG); }, 0, E_FAIL,
       failure(u"DoEncode", u"EncoderJPEG"), "Zentarix.EncoderJPEG.1"},
      {"WBMP", [](Scene& s, LONG) { return save_unreadable(s, oftWBMP); }, 0, E_FAIL,
       failure(u"DoEncode", u"EncoderWBMP"), "Zentarix.EncoderWBMP.1"},
      {"SWF lossless", [](Scene& s, LONG) { return save_unreadable(s, oftSWF, u"Lossless"); }, 0, E_FAIL,
       u"Exception occured while encoding to SWF file (lossless)", "Zentarix.EncoderSWF.1"},
      {"EmptyImage", [](Scene& s, LONG) {
         g_read_only_size = 13 * 7 * 4;
         return s.raster->EmptyImage(13, 7, -1);
       }, 0, E_FAIL, failure(u"EmptyImage")},
      {"loading conversion", [](Scene& s, LONG) {
         ComPtr<IPictureDisp> picture;
         EXPECT_EQ(s.other->EmptyImage(11, 5, -1), S_OK);
         EXPECT_EQ(s.other->SavePicture(picture.put()), S_OK);
         g_read_only_size = 11 * 5 * 4;  // the picture's own bitmap first, then the working bitmap
         g_read_only_skip = 1;
         return s.raster->LoadPicture(picture.get());
       }, 0, E_FAIL, failure(u"LoadPicture")},
      {"Combine's background fill", [](Scene&, LONG) {
         ComPtr<IRasterCollection> layers;
         ComPtr<IRasterItem> background;
         CLSID clsid = GUID_NULL;
         EXPECT_EQ(CLSIDFromProgID(u"Zentarix.RasterCollection", &clsid), S_OK);
         EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterCollection, layers.put_void()), S_OK);
         EXPECT_EQ(layers->Add(-1, background.put()), S_OK);
         EXPECT_EQ(background->EmptyImage(9, 3, -1), S_OK);
         background->put_IsVisible(0);
         g_read_only_size = 9 * 3 * 4;
         ComPtr<IRasterObject> result;
         return layers->Combine(result.put());
       }, 0, E_FAIL, failure(u"Combine", u"ObjectCollection"), "Zentarix.RasterCollection.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.routine);
    Scene scene;
    clear_error();
    EXPECT_EQ(c.call(scene, c.arg), c.hr);
    const ErrorRecord record = take_error();
    EXPECT_EQ(to_utf8(record.description), to_utf8(c.description));
    EXPECT_EQ(to_utf8(record.source), c.source);
    for (IRasterObject* raster : {scene.raster.get(), scene.other.get()}) {
      Gdiplus::Bitmap* bitmap = raster ? held_bitmap(raster) : nullptr;
      if (!bitmap) continue;
      const Gdiplus::Rect corner(0, 0, 1, 1);  // locked in its own format: the memory is not read
      Gdiplus::BitmapData data{};
      EXPECT_EQ(bitmap->LockBits(&corner, Gdiplus::ImageLockModeRead, bitmap->GetPixelFormat(), &data), Gdiplus::Ok);
      bitmap->UnlockBits(&data);
    }
  }
  EXPECT_TRUE(g_read_only.empty());  // every read-only block was handed out and freed again
}

}  // namespace
}  // namespace zx::test
