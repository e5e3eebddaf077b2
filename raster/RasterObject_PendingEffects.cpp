// Zentarix — MIT licence.
// RasterObject effect methods and DrawOnHDC, built with the effects and image drawing; E_NOTIMPL until then.
#include "RasterObject.h"

namespace zx::raster {

HRESULT RasterObject::FlipAndRotate(FlipAndRotateTypes) { return E_NOTIMPL; }
HRESULT RasterObject::Rotate(FLOAT, LONG) { return E_NOTIMPL; }
HRESULT RasterObject::Resize(LONG, LONG, ResizeQualityTypes, LONG) { return E_NOTIMPL; }
HRESULT RasterObject::Crop(LONG, LONG, LONG, LONG, LONG, VARIANT_BOOL, ResizeQualityTypes) { return E_NOTIMPL; }
HRESULT RasterObject::Transparentize(LONG, BYTE) { return E_NOTIMPL; }
HRESULT RasterObject::Equalize(LONG, LONG, LONG, LONG, FLOAT, FLOAT, FLOAT, FLOAT) { return E_NOTIMPL; }
HRESULT RasterObject::AutoLevel() { return E_NOTIMPL; }
HRESULT RasterObject::Antialiasing() { return E_NOTIMPL; }
HRESULT RasterObject::Greyscale() { return E_NOTIMPL; }
HRESULT RasterObject::Waddle() { return E_NOTIMPL; }
HRESULT RasterObject::Lightness(LONG) { return E_NOTIMPL; }
HRESULT RasterObject::Contrast(LONG) { return E_NOTIMPL; }
HRESULT RasterObject::AutoLightness() { return E_NOTIMPL; }
HRESULT RasterObject::AutoContrast() { return E_NOTIMPL; }
HRESULT RasterObject::AddNoise(LONG, VARIANT_BOOL) { return E_NOTIMPL; }
HRESULT RasterObject::Spray(LONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT RasterObject::Mosaic(LONG, LONG) { return E_NOTIMPL; }
HRESULT RasterObject::Sinusize(LONG, LONG, LONG, LONG, LONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT RasterObject::Swirl(LONG) { return E_NOTIMPL; }
HRESULT RasterObject::EllipseCrop(LONG, LONG, LONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT RasterObject::Solarize(LONG) { return E_NOTIMPL; }
HRESULT RasterObject::HSLColorize(LONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT RasterObject::Texturize(LONG, FLOAT) { return E_NOTIMPL; }
HRESULT RasterObject::Sharpen(LONG) { return E_NOTIMPL; }
HRESULT RasterObject::Emboss(EmbossTypes) { return E_NOTIMPL; }
HRESULT RasterObject::EdgeDetect(EdgeDetectTypes) { return E_NOTIMPL; }
HRESULT RasterObject::SwapChannels(LONG, LONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT RasterObject::Buttonize(LONG, LONG, LONG) { return E_NOTIMPL; }
HRESULT RasterObject::FastBlur(DOUBLE) { return E_NOTIMPL; }
HRESULT RasterObject::Glow(DOUBLE, DOUBLE, LONG) { return E_NOTIMPL; }
HRESULT RasterObject::Shadow(LONG, LONG, DOUBLE, LONG) { return E_NOTIMPL; }
HRESULT RasterObject::RemoveNoise(LONG) { return E_NOTIMPL; }
HRESULT RasterObject::Expand(LONG) { return E_NOTIMPL; }
HRESULT RasterObject::Erosion(LONG) { return E_NOTIMPL; }
HRESULT RasterObject::PageCurl(LONG, LONG, PageCurlModes, LONG, LONG) { return E_NOTIMPL; }
HRESULT RasterObject::DrawOnHDC(LONG, LONG, LONG, LONG, LONG, ResizeQualityTypes) { return E_NOTIMPL; }

}  // namespace zx::raster
