// Zentarix GDI+ layer — MIT licence.
// EMF+ objects: brushes, pens, paths, regions, images, fonts, string formats and image attributes,
// read from one record or gathered from several, and kept in the 64 slots a file may use.
#include <algorithm>
#include <cmath>

#include "emf_player.h"

using namespace Gdiplus;

namespace zx::gdip::emf {
namespace {

enum : uint32_t { kBrush = 1, kPen, kPath, kRegion, kImage, kFont, kStringFormat, kImageAttributes };
enum : uint32_t { BrushDataTransform = 0x02 };
constexpr int kMaxRegionDepth = 64;
// A bitmap of an EMF+ object holds no more pixels than a DIB of a GDI record may.
constexpr uint64_t kMaxPixels = uint64_t{1} << 26;

Affine matrix_at(const Bytes& d, size_t at) {
  const Affine m{d.f32(at), d.f32(at + 4), d.f32(at + 8), d.f32(at + 12), d.f32(at + 16), d.f32(at + 20)};
  for (double v : {m.m11, m.m12, m.m21, m.m22, m.dx, m.dy})
    if (!std::isfinite(v)) throw Malformed{};
  return m;
}

struct Reader {
  const Bytes& d;
  size_t at;
  uint32_t u32() { return d.u32((at += 4) - 4); }
  int32_t i32() { return d.i32((at += 4) - 4); }
  float f32() { return d.f32((at += 4) - 4); }
};

// An image object: a bitmap (raw pixels or a compressed file) or a metafile, which stays unplayed.
PlusImage read_image(const Bytes& d, size_t at) {
  PlusImage out;
  if (d.u32(at + 4) != 1) return out;  // not a bitmap
  const int32_t width = d.i32(at + 8), height = d.i32(at + 12), stride = d.i32(at + 16);
  const auto format = static_cast<PixelFormat>(d.u32(at + 20));
  const Bytes data = d.from(at + 28);
  std::unique_ptr<ImageData> image;
  if (d.u32(at + 24) == 1) {  // compressed: a PNG, JPEG, GIF, TIFF or BMP file
    if (decode_embedded_bitmap(data.span(), &image) != Ok) return out;
    out.bitmap = std::move(image);
    return out;
  }
  if (width <= 0 || height <= 0 || uint64_t(width) * uint64_t(height) > kMaxPixels || !is_supported_format(format))
    return out;
  ImageData raw;
  raw.width = width, raw.height = height, raw.format = format, raw.stride = std::abs(stride);
  size_t pixelsAt = 0;
  if (IsIndexedPixelFormat(format)) {  // the palette comes first
    const uint32_t count = data.u32(4);
    data.need(8, count, 4);
    std::vector<ARGB> entries(std::min<uint32_t>(count, 256));
    for (size_t i = 0; i < entries.size(); ++i) entries[i] = data.u32(8 + 4 * i);
    set_palette(raw, std::move(entries), data.u32(0));
    pixelsAt = 8 + size_t{count} * 4;
  }
  if (uint64_t(raw.stride) * 8 < uint64_t(width) * GetPixelFormatSize(format)) throw Malformed{};
  data.need(pixelsAt, uint64_t(raw.stride) * uint64_t(height), 1);
  raw.scan0 = const_cast<uint8_t*>(data.data() + pixelsAt);  // read only
  Status status = Ok;
  image = make_bitmap(width, height, PixelFormat32bppARGB, &status);
  if (!image) throw std::bad_alloc();
  copy_converted(raw, Rect(0, 0, width, height), *image);
  out.bitmap = std::move(image);
  return out;
}

// A path object; returns the offset after it.
size_t read_path(const Bytes& d, size_t at, PathData* out) {
  const uint32_t count = d.u32(at + 4), flags = d.u32(at + 8);
  size_t p = at + 12;
  std::vector<PointF> points;
  if (flags & 0x0800) {  // relative, variable-length
    PointF last;
    for (uint32_t i = 0; i < count; ++i) {
      for (REAL* v : {&last.X, &last.Y}) {
        const uint8_t b = d.u8(p++);
        int value;
        if (b & 0x80) value = ((b & 0x7F) << 8 | d.u8(p++)) << 17 >> 17;
        else value = (b & 0x7F) << 25 >> 25;
        *v += REAL(value);
      }
      points.push_back(last);
    }
  } else {
    const size_t each = (flags & 0x4000) ? 4 : 8;
    d.need(p, count, each);
    points.resize(count);
    for (uint32_t i = 0; i < count; ++i, p += each)
      points[i] = each == 4 ? PointF(d.i16(p), d.i16(p + 2)) : PointF(d.f32(p), d.f32(p + 4));
  }
  std::vector<BYTE> types;
  if (flags & 0x1000) {  // run-length encoded types
    while (types.size() < count) {
      const uint8_t run = d.u8(p) & 0x3F, type = d.u8(p + 1);
      p += 2;
      types.insert(types.end(), std::min<size_t>(run, count - types.size()), type);
    }
  } else {
    d.need(p, count, 1);
    types.assign(d.data() + p, d.data() + p + count);
    p += count;
  }
  for (const PointF& pt : points)
    if (!std::isfinite(pt.X) || !std::isfinite(pt.Y)) throw Malformed{};
  out->points = std::move(points);
  out->types = std::move(types);
  out->newFigure = true;
  return (p + 3) & ~size_t{3};
}

// A region node and its subtrees, in pre-order; returns the offset after them.
size_t read_region_node(const Bytes& d, size_t at, int depth, PlusRegion* out) {
  if (depth > kMaxRegionDepth) throw Malformed{};
  PlusRegion::Node node;
  node.type = d.u32(at);
  at += 4;
  out->nodes.push_back(node);
  PlusRegion::Node& added = out->nodes.back();
  if (node.type >= 1 && node.type <= 5) {
    at = read_region_node(d, at, depth + 1, out);
    return read_region_node(d, at, depth + 1, out);
  }
  switch (node.type) {
    case 0x10000000:
      added.rect = RectF(d.f32(at), d.f32(at + 4), d.f32(at + 8), d.f32(at + 12));
      return at + 16;
    case 0x10000001: {
      const uint32_t length = d.u32(at);
      read_path(d.sub(at + 4, length), 0, &out->nodes[out->nodes.size() - 1].path);
      return at + 4 + length;
    }
    case 0x10000002:
    case 0x10000003: return at;
    default: throw Malformed{};
  }
}

}  // namespace

void Player::plus_object(uint16_t flags, const Bytes& d) {
  const uint8_t id = flags & 0xFF;
  const uint32_t kind = (flags >> 8) & 0x7F;
  if (id >= m_plusObjects.size()) throw Malformed{};
  if (flags & 0x8000) {  // one piece of an object continued over several records
    const uint32_t total = d.u32(0);
    if (total > m_file.size()) throw Malformed{};  // no object is larger than the file it came in
    if (!m_pending || m_pending->id != id || m_pending->kind != kind) m_pending = Pending{id, kind, total, {}};
    const Bytes piece = d.from(4);
    m_pending->bytes.insert(m_pending->bytes.end(), piece.data(), piece.data() + piece.size());
    if (m_pending->bytes.size() < m_pending->total) return;
  } else if (m_pending && m_pending->id == id) {  // the last piece
    m_pending->bytes.insert(m_pending->bytes.end(), d.data(), d.data() + d.size());
  } else {
    m_pending.reset();
    return plus_parse_object(id, kind, d);
  }
  const Pending whole = std::move(*m_pending);
  m_pending.reset();
  plus_parse_object(id, kind, Bytes(whole.bytes));
}

void Player::plus_parse_object(uint8_t id, uint32_t kind, const Bytes& d) {
  PlusObject& slot = m_plusObjects[id];
  slot = std::monostate{};
  // Sizes given in units other than the world's are turned into world units at today's page.
  const auto world_units = [&](double value, uint32_t unit) {
    if (unit == UnitWorld || unit == UnitPixel || unit == UnitDisplay) return value;
    if (unit > UnitMillimeter) return value;
    const double page = unit_scale(m_ps.pageUnit, m_plusDpiY) * m_ps.pageScale;
    return value * unit_scale(static_cast<Unit>(unit), m_plusDpiY) / (page > 0 ? page : 1);
  };
  const auto brush_at = [&](size_t at, BrushData* b) {
    const uint32_t type = d.u32(at + 4);
    switch (type) {
      case 0: b->colour = d.u32(at + 8); break;
      case 1:
        b->type = BrushTypeHatchFill;
        b->hatch = static_cast<HatchStyle>(std::min<uint32_t>(d.u32(at + 8), 52));
        b->fore = d.u32(at + 12);
        b->back = d.u32(at + 16);
        break;
      case 2: {  // texture: flags, wrap mode, an optional transform, the image
        const uint32_t brushFlags = d.u32(at + 8);
        size_t imageAt = at + 16;
        if (brushFlags & BrushDataTransform) b->transform.set(matrix_at(d, imageAt)), imageAt += 24;
        const PlusImage image = read_image(d, imageAt);
        if (!image.bitmap) return false;
        auto texture = std::make_shared<TextureImage>();
        texture->width = image.bitmap->width;
        texture->height = image.bitmap->height;
        texture->pixels.resize(size_t(texture->width) * size_t(texture->height) * 4);
        for (int y = 0; y < texture->height; ++y) {
          const auto* src = reinterpret_cast<const uint32_t*>(image.bitmap->scan0 + y * image.bitmap->stride);
          auto* dst = reinterpret_cast<uint32_t*>(texture->pixels.data()) + ptrdiff_t{y} * texture->width;
          for (int x = 0; x < texture->width; ++x) dst[x] = premultiply(src[x]);
        }
        b->type = BrushTypeTextureFill;
        b->texture = std::move(texture);
        b->wrap = static_cast<WrapMode>(std::min<uint32_t>(d.u32(at + 12), WrapModeClamp));
        break;
      }
      case 3: b->colour = d.u32(at + 16); break;  // path gradient: its centre colour
      case 4: {  // linear gradient: the colour halfway
        const uint32_t a = d.u32(at + 32), c = d.u32(at + 36);
        b->colour = 0;
        for (int shift = 0; shift < 32; shift += 8) b->colour |= (((a >> shift) & 0xFF) + ((c >> shift) & 0xFF) + 1) / 2 << shift;
        break;
      }
      default: return false;
    }
    return true;
  };
  switch (kind) {
    case kBrush: {
      BrushData b;
      if (brush_at(0, &b)) slot = std::move(b);
      break;
    }
    case kPen: {
      PenData pen;
      Reader in{d, 8};
      const uint32_t flags = in.u32(), unit = in.u32();
      const float width = in.f32();
      pen.width = REAL(std::fabs(world_units(std::isfinite(width) ? width : 0, unit)));
      if (flags & 0x1) in.at += 24;  // the pen's own transform is not applied
      if (flags & 0x2) pen.startCap = static_cast<LineCap>(in.i32());
      if (flags & 0x4) pen.endCap = static_cast<LineCap>(in.i32());
      if (flags & 0x8) pen.join = static_cast<LineJoin>(std::min<uint32_t>(in.u32(), LineJoinMiterClipped));
      if (flags & 0x10) pen.miterLimit = std::clamp(in.f32(), 1.0f, 1e4f);
      if (flags & 0x20) pen.dashStyle = static_cast<DashStyle>(std::min<uint32_t>(in.u32(), DashStyleCustom));
      if (flags & 0x40) pen.dashCap = in.i32() == 2 ? DashCapRound : DashCapFlat;
      if (flags & 0x80) pen.dashOffset = in.f32();
      if (flags & 0x100) {
        const uint32_t count = in.u32();
        d.need(in.at, count, 4);
        pen.dashArray.clear();
        for (uint32_t i = 0; i < count; ++i) pen.dashArray.push_back(std::max(in.f32(), 1e-3f));
        if (pen.dashArray.empty() || pen.dashArray.size() > 64) pen.dashStyle = DashStyleSolid;
      }
      if (flags & 0x200) in.at += 4;  // alignment: centred
      if (flags & 0x400) in.at += 4 + size_t{d.u32(in.at)} * 4;  // compound lines: drawn whole
      if (flags & 0x800) in.at += 4 + size_t{d.u32(in.at)};   // custom caps: the plain ones
      if (flags & 0x1000) in.at += 4 + size_t{d.u32(in.at)};
      const auto valid_cap = [](LineCap c) {
        return (c >= LineCapFlat && c <= LineCapTriangle) || (c >= LineCapNoAnchor && c <= LineCapArrowAnchor);
      };
      if (!valid_cap(pen.startCap)) pen.startCap = LineCapFlat;
      if (!valid_cap(pen.endCap)) pen.endCap = LineCapFlat;
      if (!std::isfinite(pen.dashOffset)) pen.dashOffset = 0;
      if (brush_at(in.at, &pen.fill)) slot = std::move(pen);
      break;
    }
    case kPath: {
      PathData path;
      read_path(d, 0, &path);
      slot = std::move(path);
      break;
    }
    case kRegion: {
      PlusRegion region;
      read_region_node(d, 8, 0, &region);
      slot = std::move(region);
      break;
    }
    case kImage: slot = read_image(d, 0); break;
    case kFont: {
      PlusFont f;
      const float size = d.f32(4);
      const uint32_t unit = d.u32(8), length = d.u32(20);
      d.need(24, length, 2);
      std::u16string name;
      for (uint32_t i = 0; i < length; ++i) name.push_back(char16_t(d.u16(24 + 2 * size_t{i})));
      std::optional<std::string> resolved = resolve_family(name);
      if (!resolved) resolved = resolve_family(u"Arial");
      if (!resolved || !std::isfinite(size) || size <= 0) break;
      f.font.family = FontFamilyData{name, *resolved};
      f.font.size = REAL(world_units(size, unit));
      f.font.unit = UnitWorld;
      f.font.style = d.i32(12) & (FontStyleBold | FontStyleItalic | FontStyleUnderline | FontStyleStrikeout);
      slot = std::move(f);
      break;
    }
    case kStringFormat: {
      StringFormatData format;
      format.flags = d.i32(4);
      format.align = static_cast<StringAlignment>(std::min<uint32_t>(d.u32(12), StringAlignmentFar));
      format.lineAlign = static_cast<StringAlignment>(std::min<uint32_t>(d.u32(16), StringAlignmentFar));
      slot = std::move(format);
      break;
    }
    case kImageAttributes: {
      AttributesData attributes;
      attributes.wrap = static_cast<WrapMode>(std::min<uint32_t>(d.u32(8), WrapModeClamp));
      attributes.clampColor = d.u32(12);
      slot = std::move(attributes);
      break;
    }
    default: break;  // custom line caps: drawn with the plain ones
  }
}

const PlusObject& Player::plus_get(uint32_t id) const {
  if (id >= m_plusObjects.size()) throw Malformed{};
  return m_plusObjects[id];
}

bool Player::plus_brush(uint16_t flags, uint32_t brushId, BrushData* out) const {
  if (flags & 0x8000) {  // the id is a colour
    *out = BrushData{};
    out->colour = brushId;
    return true;
  }
  const auto* brush = std::get_if<BrushData>(&plus_get(brushId));
  if (!brush) return false;
  *out = *brush;
  return true;
}

const PenData* Player::plus_pen(uint32_t id) const { return std::get_if<PenData>(&plus_get(id)); }

ClipPtr Player::plus_region(const PlusRegion& region, const Affine& map) {
  size_t next = 0;
  const std::function<ClipPtr(int)> node = [&](int depth) -> ClipPtr {
    if (next >= region.nodes.size() || depth > kMaxRegionDepth) throw Malformed{};
    const PlusRegion::Node& n = region.nodes[next++];
    if (n.type >= 1 && n.type <= 5) {
      const ClipPtr left = node(depth + 1), right = node(depth + 1);
      // Combining with "everything" needs a region to subtract from or complement within.
      const ClipPtr everything = clip_from_rects(&m_bounds, 1);
      return combine_clip(left ? left : everything, right ? right : everything, static_cast<CombineMode>(n.type));
    }
    switch (n.type) {
      case 0x10000000: return clip_shape(rectangle_path(n.rect), map);
      case 0x10000001: return clip_shape(n.path, map);
      case 0x10000002: return clip_from_rects(nullptr, 0);
      default: return nullptr;  // infinite
    }
  };
  return node(0);
}

}  // namespace zx::gdip::emf
