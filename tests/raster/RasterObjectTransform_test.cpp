// Zentarix — MIT licence.
// ApplyTransform through its three ways: IGDIPlusTransform, IPictureTransform and late-bound "Apply".
#include <olectl.h>
#include <sys/mman.h>
#include <wingdi.h>

#include <atomic>
#include <functional>

#include "PictureTransform.h"
#include "RasterTestSupport.h"
#include "TestRegistry.h"

namespace zx::test {
namespace {

constexpr HRESULT kTransformFailed = static_cast<HRESULT>(0xE0000205u);
constexpr OLECHAR kNoImage[] =
    u"Cannot save image to file, because there is no any data. Create new image or load it first.";

// IUnknown and the rest of IDispatch for the test transforms; Derived answers its own interfaces.
template <class Itf>
class TestObject : public Itf {
 public:
  STDMETHOD_(ULONG, AddRef)() override { return ++m_refs; }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
  }
  STDMETHOD(GetTypeInfoCount)(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHOD(GetTypeInfo)(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  virtual ~TestObject() = default;

 private:
  std::atomic<ULONG> m_refs{1};
};

// A transform known only by its dispatch "Apply": it transposes the image and inverts the colour
// channels (alpha kept), so both the sizes and the pixel order are checked on the way back.
class DispatchTransform : public TestObject<IDispatch> {
 public:
  enum class Behaviour {
    transpose, no_apply, fault_in_lookup, lookup_fails, no_output, invoke_fails, one_dimension, unreadable_output
  };
  explicit DispatchTransform(Behaviour behaviour) : m_behaviour(behaviour) {}
  ~DispatchTransform() override {
    if (!m_unreadable) return;
    *m_unreadable = {2, 0, 4, 0, nullptr, {}};
    SafeArrayDestroy(m_unreadable);
  }

  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *ppv = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD(GetIDsOfNames)(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    lookups_riid_null = riid == IID_NULL;
    lookup_lcid = lcid;
    if (m_behaviour == Behaviour::fault_in_lookup) {
      // A machine fault inside the call (an unmapped address, not null: the sanitizers would stop
      // a null load before it faults).
      static volatile uintptr_t address = 0x10;
      volatile int* nowhere = reinterpret_cast<volatile int*>(address);
      return *nowhere;
    }
    if (m_behaviour == Behaviour::lookup_fails) return E_UNEXPECTED;
    if (m_behaviour == Behaviour::no_apply || count != 1 || std::u16string(names[0]) != u"Apply")
      return DISP_E_UNKNOWNNAME;
    ids[0] = 42;
    return S_OK;
  }
  STDMETHOD(Invoke)(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                    UINT* argErr) override {
    invoked = true;
    EXPECT_EQ(id, 42);
    EXPECT_EQ(flags, DISPATCH_METHOD);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(excep, nullptr);
    EXPECT_EQ(argErr, nullptr);
    EXPECT_EQ(params->cArgs, 2u);
    EXPECT_EQ(params->cNamedArgs, 0u);
    EXPECT_EQ(V_VT(&params->rgvarg[0]), 0x6003);
    EXPECT_EQ(V_VT(&params->rgvarg[1]), 0x2003);
    SAFEARRAY** out = V_ARRAYREF(&params->rgvarg[0]);
    EXPECT_EQ(*out, nullptr);
    if (m_behaviour == Behaviour::invoke_fails) return E_ABORT;
    if (m_behaviour == Behaviour::no_output) return S_OK;
    if (m_behaviour == Behaviour::unreadable_output) {
      // Over a page nothing may read, and locked, so that the caller's SafeArrayDestroy leaves it.
      static void* const page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      SafeArrayAllocDescriptor(2, &m_unreadable);
      *m_unreadable = {2, FADF_STATIC, 4, 1, page, {{2, 0}}};
      m_unreadable->rgsabound[1] = {2, 0};
      *out = m_unreadable;
      return S_OK;
    }
    if (m_behaviour == Behaviour::one_dimension) {
      *out = SafeArrayCreateVector(VT_I4, 0, 4);
      return S_OK;
    }
    SAFEARRAY* in = V_ARRAY(&params->rgvarg[1]);
    const ULONG width = in->rgsabound[0].cElements, height = in->rgsabound[1].cElements;
    SAFEARRAYBOUND bounds[2] = {{width, 0}, {height, 0}};  // the transposed image: height rows of... width
    *out = SafeArrayCreate(VT_I4, 2, bounds);
    const auto* src = static_cast<const uint32_t*>(in->pvData);
    auto* dst = static_cast<uint32_t*>((*out)->pvData);
    for (ULONG y = 0; y < height; ++y)
      for (ULONG x = 0; x < width; ++x) dst[x * height + y] = src[y * width + x] ^ 0x00FFFFFFu;
    return S_OK;
  }

  bool invoked = false;
  bool lookups_riid_null = false;
  LCID lookup_lcid = 0;

 private:
  Behaviour m_behaviour;
  SAFEARRAY* m_unreadable = nullptr;
};

// The in-process bitmap transform, which also has an "Apply" that must never be looked up.
class BitmapTransform : public TestObject<IGDIPlusTransform> {
 public:
  BitmapTransform(VARIANT_BOOL inside, HRESULT result) : m_inside(inside), m_result(result) {}

  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IGDIPlusTransform) {
      *ppv = static_cast<IGDIPlusTransform*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID* ids) override {
    ++lookups;
    ids[0] = 1;
    return S_OK;
  }
  STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_FAIL; }
  STDMETHOD(get_CreateOutputInsideTransform)(VARIANT_BOOL* value) override {
    *value = m_inside;
    return S_OK;
  }
  STDMETHOD(ApplyMe)(LONG* input, LONG** result) override {
    auto* source = reinterpret_cast<Gdiplus::Bitmap*>(input);
    input_width = source->GetWidth();
    if (m_inside) {
      auto** slot = reinterpret_cast<Gdiplus::Bitmap**>(result);
      received_null_slot = *slot == nullptr;
      if (SUCCEEDED(m_result)) *slot = new Gdiplus::Bitmap(5, 4, Gdiplus::PixelFormat32bppARGB);
    } else {
      auto* target = reinterpret_cast<Gdiplus::Bitmap*>(result);
      given_width = target->GetWidth();
      given_height = target->GetHeight();
      given_format = target->GetPixelFormat();
      target->SetPixel(0, 0, Gdiplus::Color(0x11223344));
    }
    return m_result;
  }

  int lookups = 0;
  UINT input_width = 0, given_width = 0, given_height = 0;
  Gdiplus::PixelFormat given_format = 0;
  bool received_null_slot = false;

 private:
  VARIANT_BOOL m_inside;
  HRESULT m_result;
};

// The outside picture interface: reads the handle it gets and answers a 2 x 1 picture.
class PictureTransform : public TestObject<IPictureTransform> {
 public:
  explicit PictureTransform(bool answer) : m_answer(answer) {}
  STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IPictureTransform) {
      *ppv = static_cast<IPictureTransform*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD(GetIDsOfNames)(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHOD(Invoke)(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_FAIL; }
  STDMETHOD(TransformPicture)(HBITMAP input, IUnknown** result) override {
    std::unique_ptr<Gdiplus::Bitmap> seen(Gdiplus::Bitmap::FromHBITMAP(input, 0));
    Gdiplus::Color colour;
    seen->GetPixel(0, 0, &colour);
    input_pixel = colour.GetValue();
    if (!m_answer) return S_OK;
    const uint32_t bits[2] = {0x80FF0000u, 0x000000FFu};
    HBITMAP made = CreateBitmap(2, 1, 1, 32, bits);
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(PICTDESC);
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = made;
    // The raster object takes the handle over, so the picture must not own it.
    return OleCreatePictureIndirect(&desc, IID_IUnknown, FALSE, reinterpret_cast<void**>(result));
  }

  uint32_t input_pixel = 0;

 private:
  bool m_answer;
};

template <class T, class... Args>
ComPtr<T> make(Args&&... args) {
  ComPtr<T> p;
  p.attach(new T(std::forward<Args>(args)...));
  return p;
}

TEST(RasterObjectTransform, NoImageAndNullTransformAreReported) {
  ComPtr<IRasterObject> raster = make_raster();
  auto transform = make<DispatchTransform>(DispatchTransform::Behaviour::transpose);
  expect_report(raster->ApplyTransform(transform.get()), kTransformFailed, kNoImage);
  ASSERT_EQ(raster->EmptyImage(1, 1, -1), S_OK);
  expect_report(raster->ApplyTransform(nullptr), E_INVALIDARG, u"Cannot use the transform: NULL reference.");
  EXPECT_FALSE(transform->invoked);
}

TEST(RasterObjectTransform, DispatchOnlyTransformGetsAndReturnsPixelArrays) {
  ComPtr<IRasterObject> raster = make_raster(3, 2, {0xFF000001, 0x80000002, 0x00000003,  //
                                                    0xFF000004, 0xFF000005, 0x12000006});
  auto transform = make<DispatchTransform>(DispatchTransform::Behaviour::transpose);
  ASSERT_EQ(raster->ApplyTransform(transform.get()), S_OK);
  EXPECT_TRUE(transform->lookups_riid_null);
  EXPECT_EQ(transform->lookup_lcid, 0x400u);
  LONG width = 0, height = 0;
  EXPECT_EQ(raster->get_Width(&width), S_OK);
  EXPECT_EQ(raster->get_Height(&height), S_OK);
  EXPECT_EQ(width, 2);
  EXPECT_EQ(height, 3);
  EXPECT_EQ(read_pixels(raster.get()), (std::vector<uint32_t>{0xFFFFFFFE, 0xFFFFFFFB,  //
                                                              0x80FFFFFD, 0xFFFFFFFA,  //
                                                              0x00FFFFFC, 0x12FFFFF9}));
}

TEST(RasterObjectTransform, MissingApplyIsReportedAndKeepsTheImage) {
  ComPtr<IRasterObject> raster = make_raster(2, 1, {0xFF102030, 0x00405060});
  auto transform = make<DispatchTransform>(DispatchTransform::Behaviour::no_apply);
  expect_report(raster->ApplyTransform(transform.get()), kTransformFailed,
                u"Cannot find Apply method among the members of the object, you passed");
  EXPECT_EQ(read_pixels(raster.get()), (std::vector<uint32_t>{0xFF102030, 0x00405060}));
  EXPECT_FALSE(transform->invoked);
}

TEST(RasterObjectTransform, LookupFailuresPassThroughWithoutARecord) {
  ComPtr<IRasterObject> raster = make_raster(1, 1, {0xFF000000});
  auto failing = make<DispatchTransform>(DispatchTransform::Behaviour::lookup_fails);
  clear_error();
  EXPECT_EQ(raster->ApplyTransform(failing.get()), E_UNEXPECTED);
  EXPECT_FALSE(take_error().present);

  auto faulting = make<DispatchTransform>(DispatchTransform::Behaviour::fault_in_lookup);
  EXPECT_EQ(raster->ApplyTransform(faulting.get()), E_INVALIDARG);
  EXPECT_FALSE(take_error().present);
  EXPECT_EQ(read_pixels(raster.get()), std::vector<uint32_t>{0xFF000000});
}

TEST(RasterObjectTransform, InvokeFailureAndMissingOutputKeepTheImage) {
  ComPtr<IRasterObject> raster = make_raster(1, 1, {0xFF0000FF});
  auto failing = make<DispatchTransform>(DispatchTransform::Behaviour::invoke_fails);
  clear_error();
  EXPECT_EQ(raster->ApplyTransform(failing.get()), E_ABORT);
  EXPECT_FALSE(take_error().present);

  auto silent = make<DispatchTransform>(DispatchTransform::Behaviour::no_output);
  expect_report(raster->ApplyTransform(silent.get()), DISP_E_EXCEPTION,
                u"If you see that error message, please contact " + support() + u". Output array didn't passed!");
  EXPECT_EQ(read_pixels(raster.get()), std::vector<uint32_t>{0xFF0000FF});
}

TEST(RasterObjectTransform, OneDimensionalOutputIsAConversionFailure) {
  ComPtr<IRasterObject> raster = make_raster(1, 1, {0xFF0000FF});
  auto transform = make<DispatchTransform>(DispatchTransform::Behaviour::one_dimension);
  expect_report(raster->ApplyTransform(transform.get()), E_INVALIDARG,
                u"If you see that error message, please contact " + support() +
                    u". Some error occured during array->bitmap conversion");
  EXPECT_EQ(read_pixels(raster.get()), std::vector<uint32_t>{0xFF0000FF});
}

TEST(RasterObjectTransform, OutputOverUnreadableMemoryFailsTheConversionAndNotTheProcess) {
  ComPtr<IRasterObject> raster = make_raster(1, 1, {0xFF0000FF});
  auto transform = make<DispatchTransform>(DispatchTransform::Behaviour::unreadable_output);
  expect_report(raster->ApplyTransform(transform.get()), static_cast<HRESULT>(0xE0000206u),
                u"If you see that error message, please contact " + support() +
                    u". Some error occured during array->bitmap conversion");
  LONG width = 0;
  EXPECT_EQ(raster->get_Width(&width), E_FAIL) << "the image is gone, as after any failed conversion";
  take_error();
}

TEST(RasterObjectTransform, FastPathWithOurBitmapIsNeverAskedForApply) {
  ComPtr<IRasterObject> raster = make_raster(3, 2, std::vector<uint32_t>(6, 0xFFFFFFFF));
  auto transform = make<BitmapTransform>(VARIANT_FALSE, S_OK);
  ASSERT_EQ(raster->ApplyTransform(transform.get()), S_OK);
  EXPECT_EQ(transform->lookups, 0);
  EXPECT_EQ(transform->input_width, 3u);
  EXPECT_EQ(transform->given_width, 3u);
  EXPECT_EQ(transform->given_height, 2u);
  EXPECT_EQ(transform->given_format, Gdiplus::PixelFormat32bppARGB);
  std::vector<uint32_t> expected(6, 0);  // the new bitmap starts transparent
  expected[0] = 0x11223344;
  EXPECT_EQ(read_pixels(raster.get()), expected);
}

TEST(RasterObjectTransform, FastPathWithTheTransformsBitmapTakesItsResult) {
  ComPtr<IRasterObject> raster = make_raster(3, 2, std::vector<uint32_t>(6, 0xFFFFFFFF));
  auto transform = make<BitmapTransform>(VARIANT_TRUE, S_OK);
  ASSERT_EQ(raster->ApplyTransform(transform.get()), S_OK);
  EXPECT_TRUE(transform->received_null_slot);
  EXPECT_EQ(transform->lookups, 0);
  LONG width = 0;
  EXPECT_EQ(raster->get_Width(&width), S_OK);
  EXPECT_EQ(width, 5);
}

TEST(RasterObjectTransform, FailingApplyMeKeepsTheImageAndItsResult) {
  for (const VARIANT_BOOL inside : {VARIANT_FALSE, VARIANT_TRUE}) {
    SCOPED_TRACE(inside);
    ComPtr<IRasterObject> raster = make_raster(1, 1, {0xFF0000FF});
    auto transform = make<BitmapTransform>(inside, E_ABORT);
    clear_error();
    EXPECT_EQ(raster->ApplyTransform(transform.get()), E_ABORT);
    EXPECT_FALSE(take_error().present);
    EXPECT_EQ(read_pixels(raster.get()), std::vector<uint32_t>{0xFF0000FF});
  }
}

TEST(RasterObjectTransform, PictureTransformGetsTheImageOverBlackAndGivesItBackOpaque) {
  ComPtr<IRasterObject> raster = make_raster(1, 1, {0x80FF0000});
  auto transform = make<PictureTransform>(true);
  ASSERT_EQ(raster->ApplyTransform(transform.get()), S_OK);
  EXPECT_EQ(transform->input_pixel, 0xFF800000u);
  EXPECT_EQ(read_pixels(raster.get()), (std::vector<uint32_t>{0xFFFF0000, 0xFF0000FF}));
}

TEST(RasterObjectTransform, PictureTransformWithoutResultIsReported) {
  ComPtr<IRasterObject> raster = make_raster(1, 1, {0xFF00FF00});
  auto transform = make<PictureTransform>(false);
  expect_report(raster->ApplyTransform(transform.get()), DISP_E_EXCEPTION,
                u"Cannot obtain result of transformation. If you see this error message, please contact " +
                    support());
  EXPECT_EQ(read_pixels(raster.get()), std::vector<uint32_t>{0xFF00FF00});
}

}  // namespace
}  // namespace zx::test
