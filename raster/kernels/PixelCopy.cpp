// Zentarix — MIT licence.
// Row copies between pixel views and gap-free linear pixel blocks, and solid fills.
#include "PixelCopy.h"

#include <algorithm>
#include <cstring>

namespace zx::raster::kernels {

void copy_view_to_linear(ConstPixelView image, uint32_t* out) {
  const size_t row_bytes = static_cast<size_t>(image.width) * 4;
  if (image.stride == static_cast<ptrdiff_t>(row_bytes)) {
    std::memcpy(out, image.data, row_bytes * static_cast<size_t>(image.height));
    return;
  }
  for (int y = 0; y < image.height; ++y) std::memcpy(out + static_cast<size_t>(y) * image.width, image.row(y), row_bytes);
}

void copy_linear_to_view(const uint32_t* in, PixelView image) {
  const size_t row_bytes = static_cast<size_t>(image.width) * 4;
  if (image.stride == static_cast<ptrdiff_t>(row_bytes)) {
    std::memcpy(image.data, in, row_bytes * static_cast<size_t>(image.height));
    return;
  }
  for (int y = 0; y < image.height; ++y) std::memcpy(image.row(y), in + static_cast<size_t>(y) * image.width, row_bytes);
}

void copy_argb32(ConstPixelView src, PixelView dst) {
  const size_t row_bytes = static_cast<size_t>(src.width) * 4;
  for (int y = 0; y < src.height; ++y) std::memcpy(dst.row(y), src.row(y), row_bytes);
}

void fill_argb32(PixelView image, uint32_t value) {
  for (int y = 0; y < image.height; ++y) std::fill_n(image.row(y), image.width, value);
}

}  // namespace zx::raster::kernels
