// Zentarix GDI+ layer — MIT licence.
// The objects behind GpGraphics, GpMatrix and GpImageAttributes, and the surface a graphics draws on.
#pragma once
#include <array>
#include <memory>
#include <vector>

#include "../resample/resample.h"
#include "image.h"

namespace zx::gdip {

namespace cms {
class ColorTransform;
}

// The CMYK ink a bitmap is drawn as (output_channel.cpp): which one, and the separation that gives
// it (the output-channel profile's, or the default profile's when `separation` is null).
struct OutputChannel {
  Gdiplus::ColorChannelFlags ink = Gdiplus::ColorChannelFlagsC;
  const cms::ColorTransform* separation = nullptr;
};

// Pixels per unit at a resolution (points, inches, documents, millimetres; 1 for display and pixel).
double unit_scale(Gdiplus::Unit unit, double dpi);

// Six 32-bit float elements, as GDI+ keeps them; arithmetic runs in double and is stored back.
struct MatrixData {
  float m[6] = {1, 0, 0, 1, 0, 0};
  resample::Affine affine() const { return {m[0], m[1], m[2], m[3], m[4], m[5]}; }
  void set(const resample::Affine& a);
  // Prepend: op applies before this matrix; Append: after it.
  void combine(const resample::Affine& op, Gdiplus::MatrixOrder order);
};
inline MatrixData* impl(Gdiplus::GpMatrix* p) { return reinterpret_cast<MatrixData*>(p); }
inline const MatrixData* impl(const Gdiplus::GpMatrix* p) { return reinterpret_cast<const MatrixData*>(p); }

struct AttributesData {
  // Per colour-adjust category (Default, Bitmap, Brush, Pen, Text): a colour map or none.
  std::array<bool, Gdiplus::ColorAdjustTypeCount> hasMatrix{};
  std::array<resample::ColourMap, Gdiplus::ColorAdjustTypeCount> matrix{};
  Gdiplus::WrapMode wrap = Gdiplus::WrapModeClamp;
  Gdiplus::ARGB clampColor = 0;  // transparent until set: the same as drawing without attributes
  // Per category: the output channel (ColorChannelFlagsLast: none) and its profile's separation.
  std::array<Gdiplus::ColorChannelFlags, Gdiplus::ColorAdjustTypeCount> channel{
      Gdiplus::ColorChannelFlagsLast, Gdiplus::ColorChannelFlagsLast, Gdiplus::ColorChannelFlagsLast,
      Gdiplus::ColorChannelFlagsLast, Gdiplus::ColorChannelFlagsLast};
  std::array<std::shared_ptr<const cms::ColorTransform>, Gdiplus::ColorAdjustTypeCount> channelProfile{};
  // The colour map a bitmap is drawn with: its own category's, else the default one's.
  const resample::ColourMap* bitmap_map() const;
  // The same for the output channel; false when a bitmap is drawn in colour.
  bool bitmap_channel(OutputChannel* out) const;
};

// Replaces straight BGRA pixels (a copy of the source, made for the draw) by the grey image of the
// channel's ink: colour map first when given, then B = G = R = 255 - ink, alpha kept.
// GenericError when the default separation cannot be built.
Gdiplus::Status render_output_channel(uint8_t* pixels, int width, int height, ptrdiff_t stride, const OutputChannel& channel,
                           const resample::ColourMap* map);
inline AttributesData* impl(Gdiplus::GpImageAttributes* p) { return reinterpret_cast<AttributesData*>(p); }
inline const AttributesData* impl(const Gdiplus::GpImageAttributes* p) {
  return reinterpret_cast<const AttributesData*>(p);
}

struct GraphicsData {
  ImageData* image = nullptr;  // the bitmap drawn on, or
  HDC hdc = 0;                 // the memory DC whose selected bitmap is drawn on
  float dpiX = 96.0f;
  float dpiY = 96.0f;
  Gdiplus::CompositingMode compositing = Gdiplus::CompositingModeSourceOver;
  Gdiplus::InterpolationMode interpolation = Gdiplus::InterpolationModeBilinear;
  Gdiplus::PixelOffsetMode pixelOffset = Gdiplus::PixelOffsetModeDefault;
  Gdiplus::Unit pageUnit = Gdiplus::UnitDisplay;
  float pageScale = 1.0f;
  MatrixData world;

  // World coordinates to device pixels: the world transform, then the page unit and scale.
  resample::Affine to_device() const;
};
inline GraphicsData* impl(Gdiplus::GpGraphics* p) { return reinterpret_cast<GraphicsData*>(p); }

// The pixels a graphics draws on for one call: the surface itself when it is held in a 32-bit
// format the resampler writes, else a straight ARGB copy written back when the call ends.
class Surface {
 public:
  Surface() = default;
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  ~Surface();
  // WrongState for a locked bitmap, InvalidParameter for a DC that no longer exists.
  Gdiplus::Status open(const GraphicsData& graphics);
  const resample::TargetView& view() const { return m_view; }
  // Writes a copy back (no-op when drawing went to the surface itself).
  void commit();

 private:
  resample::TargetView m_view;
  ImageData* m_image = nullptr;
  std::shared_ptr<struct GdiBitmap> m_dcBitmap;
  std::vector<uint8_t> m_copy;
  Region m_back{};  // where the copy goes back
  bool m_copied = false;
};

}  // namespace zx::gdip
