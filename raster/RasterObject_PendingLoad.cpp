// Zentarix — MIT licence.
// RasterObject members built with image loading and picture saving; they answer E_NOTIMPL until then.
#include "RasterObject.h"

namespace zx::raster {

HRESULT RasterObject::LoadFile(BSTR) { return E_NOTIMPL; }
HRESULT RasterObject::LoadStream(IUnknown*) { return E_NOTIMPL; }
HRESULT RasterObject::LoadPicture(IPictureDisp*) { return E_NOTIMPL; }
HRESULT RasterObject::SavePicture(IPictureDisp**) { return E_NOTIMPL; }

}  // namespace zx::raster
