// Zentarix — MIT licence.
// Test support for the drawing classes: creation by ProgID, point arrays, pixels of a raster target.
#pragma once
#include <winbase.h>

#include "TransformTestSupport.h"

namespace zx::test {

inline constexpr OLECHAR kToolSource[] = u"Zentarix.DrawingTool.1";

// A drawing class made as a script makes it ("DrawingTool", "Pen", "SolidBrush", "HatchBrush",
// "TextureBrush", "TextInfo"), through the interface I.
template <class I>
ComPtr<I> make_drawing(const std::u16string& progid) {
  ComPtr<I> object;
  EXPECT_EQ(make_transform(progid).query(object), S_OK);
  return object;
}

// A tool drawing on a width x height raster holding `background` everywhere.
struct ToolOnRaster {
  ComPtr<IDrawingTool> tool = make_drawing<IDrawingTool>(u"DrawingTool");
  ComPtr<IRasterObject> raster = make_raster();
  int width, height;
  ToolOnRaster(int w, int h, uint32_t background = 0xFFFFFFFF) : width(w), height(h) {
    EXPECT_EQ(raster->EmptyImage(w, h, static_cast<LONG>(background)), S_OK);
    EXPECT_EQ(tool->put_RasterObject(raster.get()), S_OK);
  }
  // The image through a pixel array (row by row).
  std::vector<uint32_t> pixels() const {
    ComPtr<IRasterObjectInternal> internal;
    raster.query(internal);
    LONG* bitmap = nullptr;
    internal->GetDataPointer(&bitmap);
    std::vector<uint32_t> out(size_t(width) * height);
    auto* image = reinterpret_cast<Gdiplus::Bitmap*>(bitmap);
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData data{UINT(width), UINT(height), width * 4, Gdiplus::PixelFormat32bppARGB, out.data(), 0};
    EXPECT_EQ(image->LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                              Gdiplus::PixelFormat32bppARGB, &data),
              Gdiplus::Ok);
    image->UnlockBits(&data);
    return out;
  }
};

// N x 2 points of VT_I4 (element (i, 0) is X, (i, 1) Y).
inline Variant points_grid(const std::vector<std::pair<LONG, LONG>>& points, VARTYPE type = VT_I4) {
  SAFEARRAYBOUND bounds[2] = {{ULONG(points.size()), 0}, {2, 0}};
  Variant v;
  V_VT(&v) = VT_ARRAY | type;
  V_ARRAY(&v) = SafeArrayCreate(type, 2, bounds);
  for (LONG i = 0; i < LONG(points.size()); ++i)
    for (LONG j = 0; j < 2; ++j) {
      LONG at[2] = {i, j};
      LONG n = j == 0 ? points[size_t(i)].first : points[size_t(i)].second;
      double d = n;
      Variant number = value(n);
      SafeArrayPutElement(V_ARRAY(&v), at, type == VT_VARIANT ? static_cast<void*>(&number)
                                           : type == VT_R8    ? static_cast<void*>(&d)
                                                              : static_cast<void*>(&n));
    }
  return v;
}

// A one-dimensional array of VARIANTs, each holding a two-element array of VARIANTs (X, Y).
inline Variant points_nested(const std::vector<std::pair<Variant, Variant>>& points) {
  Variant v;
  V_VT(&v) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&v) = SafeArrayCreateVector(VT_VARIANT, 0, ULONG(points.size()));
  for (LONG i = 0; i < LONG(points.size()); ++i) {
    Variant pair;
    V_VT(&pair) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&pair) = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    LONG x = 0, y = 1;
    SafeArrayPutElement(V_ARRAY(&pair), &x, const_cast<Variant*>(&points[size_t(i)].first));
    SafeArrayPutElement(V_ARRAY(&pair), &y, const_cast<Variant*>(&points[size_t(i)].second));
    SafeArrayPutElement(V_ARRAY(&v), &i, &pair);
  }
  return v;
}

inline Variant text_value(const std::u16string& s) {
  Variant v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = Bstr(s).detach();
  return v;
}

}  // namespace zx::test
