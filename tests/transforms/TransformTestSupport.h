// Zentarix — MIT licence.
// Test support for the transforms: creation by ProgID, late-bound properties and calls, pixel arrays.
#pragma once
#include <sys/mman.h>

#include <cmath>
#include <cstring>

#include "RasterTestSupport.h"

namespace zx::test {

constexpr HRESULT kTransformFailed = static_cast<HRESULT>(0xE0000205u);

// A transform made the way a script makes it: by ProgID ("Zentarix.TransformResize").
inline ComPtr<IDispatch> make_transform(const std::u16string& name) {
  make_raster();  // registers the module once
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID((u"Zentarix." + name).c_str(), &clsid), S_OK) << to_utf8(name);
  ComPtr<IDispatch> transform;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, transform.put_void()), S_OK);
  return transform;
}

// Late-bound call by name; arguments given first to last. Returns the HRESULT; *result and *error
// when given.
inline HRESULT invoke(IDispatch* object, const std::u16string& name, WORD kind, std::vector<Variant> args = {},
                      Variant* result = nullptr, EXCEPINFO* error = nullptr) {
  std::u16string copy = name;
  LPOLESTR names[] = {copy.data()};
  DISPID id = 0;
  if (HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, 0x400, &id); FAILED(hr)) return hr;
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), kind == DISPATCH_PROPERTYPUT ? &put : nullptr, UINT(reversed.size()),
                    kind == DISPATCH_PROPERTYPUT ? 1u : 0u};
  return object->Invoke(id, IID_NULL, 0x400, kind, &params, result, error, nullptr);
}
inline Variant value(LONG v) {
  Variant x;
  V_VT(&x) = VT_I4;
  V_I4(&x) = v;
  return x;
}
inline Variant value(double v) {
  Variant x;
  V_VT(&x) = VT_R8;
  V_R8(&x) = v;
  return x;
}
inline HRESULT put(IDispatch* object, const std::u16string& name, Variant v) {
  return invoke(object, name, DISPATCH_PROPERTYPUT, {v});
}
// The property as a double (VT_EMPTY-free conversion); NaN when the get fails.
inline double get(IDispatch* object, const std::u16string& name) {
  Variant result;
  if (FAILED(invoke(object, name, DISPATCH_PROPERTYGET, {}, &result))) return std::nan("");
  Variant number;
  VariantChangeType(&number, &result, 0, VT_R8);
  return V_R8(&number);
}

// A pixel array of width x height from rows of ARGB values, and back.
inline SafeArray pixel_array(int width, int height, const std::vector<uint32_t>& pixels) {
  SAFEARRAYBOUND bounds[2] = {{ULONG(height), 0}, {ULONG(width), 0}};
  SafeArray array(SafeArrayCreate(VT_I4, 2, bounds));
  std::memcpy(array.get()->pvData, pixels.data(), pixels.size() * 4);
  return array;
}
inline std::vector<uint32_t> array_pixels(SAFEARRAY* array, int* width = nullptr, int* height = nullptr) {
  const ULONG w = array->rgsabound[0].cElements, h = array->rgsabound[1].cElements;
  if (width) *width = int(w);
  if (height) *height = int(h);
  const auto* data = static_cast<const uint32_t*>(array->pvData);
  return std::vector<uint32_t>(data, data + size_t(w) * h);
}

// A 64 x 64 32 bpp ARGB bitmap over memory made unreadable: reading its pixels is a machine fault.
class UnreadableBitmap {
 public:
  UnreadableBitmap()
      : m_memory(mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)),
        m_bitmap(64, 64, 64 * 4, Gdiplus::PixelFormat32bppARGB, ok() ? static_cast<BYTE*>(m_memory) : nullptr) {
    if (ok()) mprotect(m_memory, kBytes, PROT_NONE);
  }
  UnreadableBitmap(const UnreadableBitmap&) = delete;
  UnreadableBitmap& operator=(const UnreadableBitmap&) = delete;
  ~UnreadableBitmap() {
    if (ok()) munmap(m_memory, kBytes);
  }
  bool ok() const { return m_memory != MAP_FAILED; }
  Gdiplus::Bitmap* get() { return &m_bitmap; }

 private:
  static constexpr size_t kBytes = 64 * 64 * 4;
  void* m_memory;
  Gdiplus::Bitmap m_bitmap;
};

// ApplyMe of a transform on such a bitmap: its HRESULT and the description it reported. Both
// bitmaps must be left unlocked (each is locked again here); the result is deleted.
inline std::pair<HRESULT, std::u16string> apply_to_unreadable(IGDIPlusTransform* transform, UnreadableBitmap& input) {
  Gdiplus::Bitmap* result = nullptr;
  clear_error();
  const HRESULT hr = transform->ApplyMe(reinterpret_cast<LONG*>(input.get()), reinterpret_cast<LONG**>(&result));
  const std::u16string description = take_error().description;
  for (Gdiplus::Bitmap* bitmap : {input.get(), result}) {
    if (!bitmap) continue;
    Gdiplus::Rect all(0, 0, 1, 1);
    Gdiplus::BitmapData data;
    EXPECT_EQ(bitmap->LockBits(&all, Gdiplus::ImageLockModeRead, Gdiplus::PixelFormat32bppARGB, &data), Gdiplus::Ok);
    bitmap->UnlockBits(&data);
  }
  delete result;
  return {hr, description};
}

}  // namespace zx::test
