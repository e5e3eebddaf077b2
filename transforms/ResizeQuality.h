// Zentarix — MIT licence.
// ResizeQualityTypes onto GDI+ interpolation modes: one table for Resize, Crop and DrawOnHDC.
#pragma once
#include <gdiplus.h>

#include "zentarix.h"

namespace zx::transforms {

// NearestNeighbor, Bilinear, HighQualityBilinear, Bicubic, HighQualityBicubic for 0..4; any other
// value gives InterpolationModeDefault.
inline Gdiplus::InterpolationMode interpolation_for(ResizeQualityTypes quality) {
  switch (quality) {
    case rqtNearestNeighborMode: return Gdiplus::InterpolationModeNearestNeighbor;
    case rqtBilinearMode: return Gdiplus::InterpolationModeBilinear;
    case rqtHighQualityBilinearMode: return Gdiplus::InterpolationModeHighQualityBilinear;
    case rqtBicubicMode: return Gdiplus::InterpolationModeBicubic;
    case rqtHighQualityBicubicMode: return Gdiplus::InterpolationModeHighQualityBicubic;
    default: return Gdiplus::InterpolationModeDefault;
  }
}

}  // namespace zx::transforms
