// Zentarix — MIT licence.
// RasterObject members built with saving through the encoders; they answer E_NOTIMPL until then.
#include "RasterObject.h"

namespace zx::raster {

HRESULT RasterObject::SaveFile(BSTR, IDispatch*) { return E_NOTIMPL; }
HRESULT RasterObject::SaveStream(IUnknown*, IDispatch*) { return E_NOTIMPL; }

}  // namespace zx::raster
