// Zentarix GDI+ layer — MIT licence.
// Property items: an image's metadata, read and written as GDI+ hands them out.
#include <algorithm>
#include <cstring>

#include "guard.h"
#include "image.h"

using namespace Gdiplus;
using namespace zx::gdip;

namespace {

const PropertyData* find(const ImageData& image, PROPID id) {
  for (const PropertyData& p : image.properties)
    if (p.id == id) return &p;
  return nullptr;
}

}  // namespace

namespace Gdiplus::DllExports {

Status WINAPI GdipGetPropertyCount(GpImage* image, UINT* numOfProperty) {
  if (!image || !numOfProperty) return InvalidParameter;
  *numOfProperty = static_cast<UINT>(impl(image)->properties.size());
  return Ok;
}

Status WINAPI GdipGetPropertyIdList(GpImage* image, UINT numOfProperty, PROPID* list) {
  if (!image || !list) return InvalidParameter;
  const auto& properties = impl(image)->properties;
  if (numOfProperty != properties.size()) return InvalidParameter;
  for (size_t i = 0; i < properties.size(); ++i) list[i] = properties[i].id;
  return Ok;
}

Status WINAPI GdipGetPropertyItemSize(GpImage* image, PROPID propId, UINT* size) {
  if (!image || !size) return InvalidParameter;
  const PropertyData* p = find(*impl(image), propId);
  if (!p) return PropertyNotFound;
  *size = static_cast<UINT>(sizeof(PropertyItem) + p->value.size());
  return Ok;
}

// The value follows the header in the caller's block, as GDI+ lays it out.
Status WINAPI GdipGetPropertyItem(GpImage* image, PROPID propId, UINT propSize, PropertyItem* buffer) {
  if (!image || !buffer) return InvalidParameter;
  const PropertyData* p = find(*impl(image), propId);
  if (!p) return PropertyNotFound;
  if (propSize < sizeof(PropertyItem) + p->value.size()) return InsufficientBuffer;
  auto* value = reinterpret_cast<uint8_t*>(buffer + 1);
  if (!p->value.empty()) std::memcpy(value, p->value.data(), p->value.size());
  buffer->id = p->id;
  buffer->type = p->type;
  buffer->length = static_cast<ULONG>(p->value.size());
  buffer->value = value;
  return Ok;
}

Status WINAPI GdipSetPropertyItem(GpImage* image, const PropertyItem* item) {
  return guarded([&] {
    if (!image || !item || (item->length != 0 && !item->value)) return InvalidParameter;
    PropertyData data;
    data.id = item->id;
    data.type = item->type;
    const auto* bytes = static_cast<const uint8_t*>(item->value);
    data.value.assign(bytes, bytes + item->length);
    auto& properties = impl(image)->properties;
    auto at = std::find_if(properties.begin(), properties.end(), [&](const PropertyData& p) { return p.id == item->id; });
    if (at != properties.end())
      *at = std::move(data);
    else
      properties.push_back(std::move(data));
    return Ok;
  });
}

Status WINAPI GdipRemovePropertyItem(GpImage* image, PROPID propId) {
  if (!image) return InvalidParameter;
  auto& properties = impl(image)->properties;
  auto at = std::find_if(properties.begin(), properties.end(), [&](const PropertyData& p) { return p.id == propId; });
  if (at == properties.end()) return PropertyNotFound;
  properties.erase(at);
  return Ok;
}

}  // namespace Gdiplus::DllExports
