// Zentarix GDI+ layer — MIT licence.
// The codec registry the adapters fill at load time, and the encoder/decoder listings.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "guard.h"
#include "image.h"

using namespace Gdiplus;

namespace zx::gdip {
namespace {
std::vector<CodecEntry>& registry() {
  static std::vector<CodecEntry> entries;
  return entries;
}
std::mutex& registry_lock() {
  static std::mutex m;
  return m;
}
}  // namespace

// Entries are kept in raw-format order so sniffing and listing do not depend on the order in which
// the adapters' static registrars happened to run. A half entry (decoder or encoder file) fills in
// the fields the other half left empty.
ZX_API void register_codec(const CodecEntry& entry) {
  std::lock_guard guard(registry_lock());
  auto& entries = registry();
  for (CodecEntry& e : entries) {
    if (e.formatId != entry.formatId) continue;
    if (e.encoderClsid == GUID_NULL) e.encoderClsid = entry.encoderClsid;
    if (!e.name) e.name = entry.name;
    if (!e.mimeType) e.mimeType = entry.mimeType;
    if (!e.extensions) e.extensions = entry.extensions;
    if (!e.sniff) e.sniff = entry.sniff;
    if (!e.decode) e.decode = entry.decode;
    if (!e.encode) e.encode = entry.encode;
    if (!e.frames) {
      e.frames = entry.frames;
      e.frameDimension = entry.frameDimension;
    }
    return;
  }
  auto at = std::find_if(entries.begin(), entries.end(), [&](const CodecEntry& e) {
    return std::memcmp(&entry.formatId, &e.formatId, sizeof(GUID)) < 0;
  });
  entries.insert(at, entry);
}

ZX_API const std::vector<CodecEntry>& codecs() { return registry(); }

}  // namespace zx::gdip

namespace {
using zx::gdip::CodecEntry;

size_t wlen(const WCHAR* s) {
  size_t n = 0;
  while (s && s[n]) ++n;
  return n;
}

// "image/x-emf" -> "EMF", "image/jpeg" -> "JPEG": the short format name GDI+ lists.
std::u16string description_of(const WCHAR* mime) {
  std::u16string d(mime ? mime : u"");
  if (auto slash = d.find(u'/'); slash != std::u16string::npos) d.erase(0, slash + 1);
  if (d.rfind(u"x-", 0) == 0) d.erase(0, 2);
  for (auto& c : d)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return d;
}

std::vector<const CodecEntry*> listed(bool encoders) {
  std::vector<const CodecEntry*> out;
  for (const CodecEntry& e : zx::gdip::codecs())
    if (encoders ? e.encode != nullptr : e.decode != nullptr) out.push_back(&e);
  if (encoders)  // the GDI+ order of encoders: by CLSID (BMP, JPEG, GIF, TIFF, PNG)
    std::stable_sort(out.begin(), out.end(), [](const CodecEntry* a, const CodecEntry* b) {
      return a->encoderClsid.Data1 < b->encoderClsid.Data1;
    });
  return out;
}

size_t block_size(const std::vector<const CodecEntry*>& list) {
  size_t size = list.size() * sizeof(ImageCodecInfo);
  for (const CodecEntry* e : list)
    size += (wlen(e->name) + 1 + description_of(e->mimeType).size() + 1 + wlen(e->extensions) + 1 +
             wlen(e->mimeType) + 1) * sizeof(WCHAR);
  return size;
}

Status sizes(bool encoders, UINT* count, UINT* size) {
  if (!count || !size) return InvalidParameter;
  auto list = listed(encoders);
  *count = static_cast<UINT>(list.size());
  *size = static_cast<UINT>(block_size(list));
  return Ok;
}

// One caller block: the ImageCodecInfo array followed by the strings it points to.
Status fill(bool encoders, UINT count, UINT size, ImageCodecInfo* out) {
  if (!out) return InvalidParameter;
  auto list = listed(encoders);
  if (count != list.size() || size != block_size(list)) return GenericError;
  auto* strings = reinterpret_cast<WCHAR*>(out + list.size());
  auto put = [&](std::u16string_view s) {
    WCHAR* at = strings;
    std::memcpy(at, s.data(), s.size() * sizeof(WCHAR));
    at[s.size()] = 0;
    strings += s.size() + 1;
    return at;
  };
  for (size_t i = 0; i < list.size(); ++i) {
    const CodecEntry& e = *list[i];
    ImageCodecInfo& info = out[i];
    info = ImageCodecInfo{};
    info.Clsid = e.encoderClsid;
    info.FormatID = e.formatId;
    info.CodecName = put(e.name ? e.name : u"");
    info.DllName = nullptr;
    info.FormatDescription = put(description_of(e.mimeType));
    info.FilenameExtension = put(e.extensions ? e.extensions : u"");
    info.MimeType = put(e.mimeType ? e.mimeType : u"");
    info.Flags = (encoders ? ImageCodecFlagsEncoder : ImageCodecFlagsDecoder) | ImageCodecFlagsSupportBitmap |
                 ImageCodecFlagsBuiltin;
    info.Version = 1;
  }
  return Ok;
}
}  // namespace

namespace Gdiplus::DllExports {
Status WINAPI GdipGetImageEncodersSize(UINT* numEncoders, UINT* size) { return sizes(true, numEncoders, size); }
Status WINAPI GdipGetImageEncoders(UINT numEncoders, UINT size, ImageCodecInfo* encoders) {
  return zx::gdip::guarded([&] { return fill(true, numEncoders, size, encoders); });
}
Status WINAPI GdipGetImageDecodersSize(UINT* numDecoders, UINT* size) { return sizes(false, numDecoders, size); }
Status WINAPI GdipGetImageDecoders(UINT numDecoders, UINT size, ImageCodecInfo* decoders) {
  return zx::gdip::guarded([&] { return fill(false, numDecoders, size, decoders); });
}
}  // namespace Gdiplus::DllExports
