// Zentarix GDI+ layer — MIT licence.
// GDI objects of a metafile: pens, brushes, fonts and palettes, the stock objects, and the DIBs
// pattern brushes and bitmap records carry; realised as GDI+ pens and brushes for each primitive.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "decoders/decode_common.h"
#include "emf_player.h"

using namespace Gdiplus;

namespace zx::gdip::emf {
namespace {

enum : uint32_t { BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2, BS_DIBPATTERN = 5 };
enum : uint32_t {
  PS_DASH = 1, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME, PS_USERSTYLE, PS_ALTERNATE,
  PS_STYLE_MASK = 0xF, PS_ENDCAP_SQUARE = 0x100, PS_ENDCAP_FLAT = 0x200, PS_ENDCAP_MASK = 0xF00,
  PS_JOIN_BEVEL = 0x1000, PS_JOIN_MITER = 0x2000, PS_JOIN_MASK = 0xF000, PS_GEOMETRIC = 0x10000
};

// A DIB is drawn from a copy of its own: none may hold more than this many pixels (256 MB), so a
// record cannot ask for gigabytes whatever its header says.
constexpr uint64_t kMaxDibPixels = uint64_t{1} << 26;

ObjectPtr make(GdiObject object) { return std::make_shared<const GdiObject>(std::move(object)); }

BrushObject solid(uint32_t colour, uint32_t style = BS_SOLID) {
  BrushObject b;
  b.style = style;
  b.colour = colour;
  return b;
}
PenObject cosmetic(uint32_t colour, uint32_t style = 0) {
  PenObject p;
  p.style = style;
  p.fill = solid(colour);
  return p;
}
FontObject font(const char16_t* face, int32_t height, int32_t weight, uint8_t pitchFamily = 0) {
  FontObject f;
  f.face = face;
  f.height = height;
  f.weight = weight;
  f.pitchFamily = pitchFamily;
  return f;
}

// The stock objects (GetStockObject's numbering), with the fonts of this system standing in.
const std::vector<ObjectPtr>& stock() {
  static const std::vector<ObjectPtr> objects = [] {
    PaletteObject vga{0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xC0C0C0,
                      0xC0DCC0, 0xF0CAA6, 0xF0FBFF, 0xA4A0A0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                      0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
    return std::vector<ObjectPtr>{
        make(solid(0xFFFFFF)), make(solid(0xC0C0C0)), make(solid(0x808080)), make(solid(0x404040)),
        make(solid(0x000000)), make(solid(0, BS_NULL)), make(cosmetic(0xFFFFFF)), make(cosmetic(0x000000)),
        make(cosmetic(0, PS_NULL)), nullptr,
        make(font(u"Courier New", 12, 400, 0x31)), make(font(u"Courier New", 12, 400, 0x31)),
        make(font(u"Arial", 12, 400)), make(font(u"Arial", 16, 700)), make(font(u"Arial", 16, 700)),
        make(std::move(vga)), make(font(u"Courier New", 16, 700, 0x31)), make(font(u"Arial", -11, 400)),
        make(solid(0xFFFFFF)), make(cosmetic(0x000000))};
  }();
  return objects;
}

// Decodes into a fresh ARGB bitmap of the library's own.
class BitmapSink final : public DecodeSink {
 public:
  Status allocate(int width, int height, PixelFormat format, PixelView* out) override {
    Status status = Ok;
    image = make_bitmap(width, height, format, &status);
    if (!image) return status;
    *out = image->view();
    return Ok;
  }
  Status set_palette(const ARGB*, UINT, UINT) override { return Ok; }
  std::unique_ptr<ImageData> image;
};

uint32_t dib_colours(uint32_t bpp, uint32_t used) { return bpp <= 8 ? (used ? std::min(used, 256u) : 1u << bpp) : 0; }

}  // namespace

ObjectPtr Player::object(uint32_t index) const {
  if (index & 0x80000000u) {
    const uint32_t n = index & 0x7FFFFFFFu;
    if (n >= stock().size() || !stock()[n]) throw Malformed{};
    return stock()[n];
  }
  if (index >= m_objects.size()) throw Malformed{};
  return m_objects[index];  // may be empty: GDI refuses to select a deleted object and goes on
}

void Player::store(uint32_t index, GdiObject object) {
  if (index == 0 || index >= m_objects.size()) throw Malformed{};  // 0 is the metafile itself
  m_objects[index] = make(std::move(object));
}

ARGB Player::colour(uint32_t colorref) const {
  if ((colorref >> 24) == 1) {  // an index into the selected palette
    const auto* palette = m_dc.palette ? std::get_if<PaletteObject>(m_dc.palette.get()) : nullptr;
    const uint32_t index = colorref & 0xFFFF;
    return palette && index < palette->size() ? argb_of((*palette)[index]) : 0xFF000000u;
  }
  return argb_of(colorref);
}

std::shared_ptr<ImageData> Player::dib(const Bytes& r, size_t offBmiAt, size_t cbBmiAt, size_t offBitsAt,
                                       size_t cbBitsAt, uint32_t usage, bool* bottomUp, uint32_t scans) const {
  const uint32_t offBmi = r.u32(offBmiAt), cbBmi = r.u32(cbBmiAt), offBits = r.u32(offBitsAt), cbBits = r.u32(cbBitsAt);
  if (cbBmi < 12 || cbBits == 0) return nullptr;
  const Bytes bmi = r.sub(offBmi, cbBmi), bits = r.sub(offBits, cbBits);
  const uint32_t headerSize = bmi.u32(0);
  const bool core = headerSize == 12;
  if (!core && (headerSize < 16 || headerSize > cbBmi)) return nullptr;
  const int64_t width = core ? bmi.u16(4) : bmi.i32(4);
  int64_t height = core ? bmi.u16(6) : bmi.i32(8);
  if (scans > 0 && scans < std::llabs(height)) height = height < 0 ? -int64_t{scans} : int64_t{scans};
  const uint32_t bpp = core ? bmi.u16(10) : bmi.u16(14);
  const uint32_t compression = headerSize >= 40 ? bmi.u32(16) : 0;
  if (bottomUp) *bottomUp = height > 0;
  if (width <= 0 || height == 0 || uint64_t(width) * uint64_t(std::llabs(height)) > kMaxDibPixels) return nullptr;

  if (compression == 4 || compression == 5) {  // BI_JPEG, BI_PNG: the bits are a whole file
    std::unique_ptr<ImageData> image;
    return decode_embedded_bitmap(bits.span(), &image) == Ok ? std::shared_ptr<ImageData>(std::move(image)) : nullptr;
  }
  // One buffer: the header, its colour table (palette indices turned into colours), the bits.
  std::vector<uint8_t> buffer(bmi.data(), bmi.data() + cbBmi);
  if (!core) {  // the height the bits hold
    const auto h = static_cast<int32_t>(height);
    std::memcpy(buffer.data() + 8, &h, 4);
  } else {
    const auto h = static_cast<uint16_t>(height);
    std::memcpy(buffer.data() + 6, &h, 2);
  }
  if (usage == 1 /* DIB_PAL_COLORS */ && !core && headerSize >= 40 && bpp <= 8) {
    const uint32_t count = dib_colours(bpp, bmi.u32(32));
    bmi.need(headerSize, count, 2);
    const auto* palette = m_dc.palette ? std::get_if<PaletteObject>(m_dc.palette.get()) : nullptr;
    buffer.resize(headerSize + size_t{count} * 4);
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t index = bmi.u16(headerSize + 2 * i);
      const uint32_t c = palette && index < palette->size() ? (*palette)[index] : 0;
      const uint8_t quad[4] = {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), 0};
      std::copy(quad, quad + 4, buffer.begin() + headerSize + 4 * i);
    }
  }
  const size_t bitsAt = buffer.size();
  buffer.insert(buffer.end(), bits.data(), bits.data() + bits.size());
  BitmapSink sink;
  DecodedInfo info;
  DecodeOptions options;
  options.limits = resource_limits();  // an embedded bitmap is held to the host's limits like a file
  if (decoders::decode_dib_pixels(buffer, false, options, sink, info, bitsAt) != Ok || !sink.image) return nullptr;
  return std::shared_ptr<ImageData>(std::move(sink.image));
}

bool Player::object_record(uint32_t type, const Bytes& r) {
  switch (type) {
    case EMR_CREATEPEN: {
      PenObject pen;
      const int32_t width = std::abs(r.i32(16));
      pen.style = r.u32(12) & PS_STYLE_MASK;
      // A pen wider than one unit is geometric with round ends, and draws its dashes solid.
      pen.cosmetic = width == 0;
      pen.width = width;
      if (width > 1 && pen.style >= PS_DASH && pen.style <= PS_DASHDOTDOT) pen.style = 0;
      pen.fill = solid(r.u32(24));
      store(r.u32(8), std::move(pen));
      break;
    }
    case EMR_EXTCREATEPEN: {
      PenObject pen;
      pen.style = r.u32(28);
      pen.cosmetic = (pen.style & PS_GEOMETRIC) == 0;
      pen.width = pen.cosmetic ? 0 : std::abs(r.i32(32));
      const uint32_t entries = r.u32(48);
      r.need(52, entries, 4);
      if ((pen.style & PS_STYLE_MASK) == PS_USERSTYLE)
        for (uint32_t i = 0; i < entries && i < 64; ++i) pen.user.push_back(r.u32(52 + 4 * i));
      pen.fill = solid(r.u32(40), r.u32(36));
      pen.fill.hatch = r.u32(44);
      if (pen.fill.style == BS_NULL) pen.style = (pen.style & ~PS_STYLE_MASK) | PS_NULL;
      if (pen.fill.style == 3 || pen.fill.style == BS_DIBPATTERN || pen.fill.style == 6) {
        pen.fill.pattern = dib(r, 12, 16, 20, 24, pen.fill.style == BS_DIBPATTERN ? r.u32(40) : 0);
        if (!pen.fill.pattern) pen.fill = solid(0);
      }
      store(r.u32(8), std::move(pen));
      break;
    }
    case EMR_CREATEBRUSHINDIRECT: {
      BrushObject brush = solid(r.u32(16), r.u32(12));
      brush.hatch = r.u32(20);
      if (brush.style != BS_NULL && brush.style != BS_HATCHED) brush.style = BS_SOLID;
      store(r.u32(8), std::move(brush));
      break;
    }
    case EMR_CREATEMONOBRUSH:
    case EMR_CREATEDIBPATTERNBRUSHPT: {
      BrushObject brush = solid(0, BS_DIBPATTERN);
      brush.pattern = dib(r, 16, 20, 24, 28, r.u32(12));
      brush.mono = type == EMR_CREATEMONOBRUSH;
      if (!brush.pattern) brush = solid(0, BS_NULL);
      store(r.u32(8), std::move(brush));
      break;
    }
    case EMR_EXTCREATEFONTINDIRECTW: {
      r.need(12, 92, 1);  // a LOGFONTW at least
      FontObject f;
      f.height = r.i32(12);
      f.width = r.i32(16);
      f.escapement = r.i32(20);
      f.weight = r.i32(28);
      f.italic = r.u8(32) != 0;
      f.underline = r.u8(33) != 0;
      f.strike = r.u8(34) != 0;
      f.quality = r.u8(38);
      f.pitchFamily = r.u8(39);
      for (size_t i = 0; i < 32 && r.u16(40 + 2 * i) != 0; ++i) f.face.push_back(char16_t(r.u16(40 + 2 * i)));
      store(r.u32(8), std::move(f));
      break;
    }
    case EMR_CREATEPALETTE: {
      const uint32_t count = r.u16(14);
      r.need(16, count, 4);
      PaletteObject palette(count);
      for (uint32_t i = 0; i < count; ++i) palette[i] = r.u32(16 + 4 * i) & 0xFFFFFF;
      store(r.u32(8), std::move(palette));
      break;
    }
    case EMR_SETPALETTEENTRIES:
    case EMR_RESIZEPALETTE: {
      const ObjectPtr old = object(r.u32(8));
      const auto* palette = old ? std::get_if<PaletteObject>(old.get()) : nullptr;
      if (!palette) break;
      PaletteObject changed = *palette;
      if (type == EMR_RESIZEPALETTE) {
        changed.resize(std::min<uint32_t>(r.u32(12), 1024));
      } else {
        const uint32_t start = r.u32(12), count = r.u32(16);
        r.need(20, count, 4);
        for (uint32_t i = 0; i < count && uint64_t{start} + i < changed.size(); ++i)
          changed[start + i] = r.u32(20 + 4 * i) & 0xFFFFFF;
      }
      store(r.u32(8), std::move(changed));
      if (m_dc.palette == old) m_dc.palette = m_objects[r.u32(8)];
      break;
    }
    case EMR_SELECTOBJECT: {
      const ObjectPtr o = object(r.u32(8));
      if (!o) break;
      if (std::holds_alternative<PenObject>(*o)) m_dc.pen = o;
      else if (std::holds_alternative<BrushObject>(*o)) m_dc.brush = o;
      else if (std::holds_alternative<FontObject>(*o)) m_dc.font = o;
      break;
    }
    case EMR_SELECTPALETTE: {
      const ObjectPtr o = object(r.u32(8));
      if (o && std::holds_alternative<PaletteObject>(*o)) m_dc.palette = o;
      break;
    }
    case EMR_DELETEOBJECT: {
      const uint32_t index = r.u32(8);
      if (!(index & 0x80000000u)) {
        if (index >= m_objects.size()) throw Malformed{};
        m_objects[index] = nullptr;  // the DC keeps what it has selected
      }
      break;
    }
    default: return false;
  }
  return true;
}

bool Player::brush_data(const BrushObject& brush, const Affine& world, BrushData* out) const {
  BrushData b;
  switch (brush.style) {
    case BS_NULL: return false;
    case BS_HATCHED:
      b.type = BrushTypeHatchFill;
      b.hatch = brush.hatch <= 5 ? static_cast<HatchStyle>(brush.hatch) : HatchStyleHorizontal;
      b.fore = colour(brush.colour);
      b.back = m_dc.bkMode == 2 /* OPAQUE */ ? colour(m_dc.bkColor) : 0;
      break;
    case BS_SOLID: b.colour = colour(brush.colour); break;
    default: {
      if (!brush.pattern) return false;
      const ImageData& image = *brush.pattern;
      auto texture = std::make_shared<TextureImage>();
      texture->width = image.width;
      texture->height = image.height;
      texture->pixels.resize(size_t(image.width) * size_t(image.height) * 4);
      const ARGB text = colour(m_dc.textColor), back = colour(m_dc.bkColor);
      for (int y = 0; y < image.height; ++y) {
        const auto* src = reinterpret_cast<const uint32_t*>(image.scan0 + y * image.stride);
        auto* dst = reinterpret_cast<uint32_t*>(texture->pixels.data()) + ptrdiff_t{y} * image.width;
        for (int x = 0; x < image.width; ++x) {
          uint32_t p = src[x] | 0xFF000000u;  // GDI patterns are opaque
          if (brush.mono) p = ((p >> 16 & 0xFF) + (p >> 8 & 0xFF) + (p & 0xFF)) < 384 ? text : back;
          dst[x] = p;
        }
      }
      b.type = BrushTypeTextureFill;
      b.texture = std::move(texture);
      b.wrap = WrapModeTile;
      // Patterns are aligned to the device at the brush origin, whatever the transform.
      const PointD origin = apply(m_base, m_dc.brushOrg);
      Affine brushToWorld;
      if (!world.then(Affine{1, 0, 0, 1, -origin.x, -origin.y}).invert(&brushToWorld)) return false;
      b.transform.set(brushToWorld);
      break;
    }
  }
  *out = b;
  return true;
}

bool Player::pen_data(const PenObject& pen, const Affine& world, PenData* out) const {
  const uint32_t style = pen.style & PS_STYLE_MASK;
  if (style == PS_NULL) return false;
  PenData p;
  if (!brush_data(pen.fill, world, &p.fill)) return false;
  const double scale = std::sqrt(std::fabs(world.m11 * world.m22 - world.m12 * world.m21));
  const bool hairline = pen.cosmetic || pen.width * scale <= 1;
  p.width = pen.cosmetic ? 0 : REAL(pen.width);
  if (!pen.cosmetic) {
    const uint32_t cap = pen.style & PS_ENDCAP_MASK, join = pen.style & PS_JOIN_MASK;
    p.startCap = p.endCap = cap == PS_ENDCAP_FLAT ? LineCapFlat : cap == PS_ENDCAP_SQUARE ? LineCapSquare : LineCapRound;
    p.dashCap = cap == 0 ? DashCapRound : DashCapFlat;
    p.join = join == PS_JOIN_BEVEL ? LineJoinBevel : join == PS_JOIN_MITER ? LineJoinMiterClipped : LineJoinRound;
    p.miterLimit = REAL(m_dc.miterLimit);
  }
  // Dashes of a one-pixel pen are counted in pixels; those of a wider pen scale with it.
  static const std::vector<double> kPixelDashes[] = {{}, {18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}};
  std::vector<double> pattern;
  if (style == PS_USERSTYLE) {
    double sum = 0;
    for (double v : pen.user) pattern.push_back(std::max(v, 1e-3)), sum += v;
    if (sum <= 0) pattern.clear();
    if (!hairline)
      for (double& v : pattern) v /= pen.width;
  } else if (style == PS_ALTERNATE) {
    pattern = {1, 1};
  } else if (style >= PS_DASH && style <= PS_DASHDOTDOT) {
    if (hairline) pattern = kPixelDashes[style];
    else p.dashStyle = static_cast<DashStyle>(style);
  }
  if (!pattern.empty()) {
    p.dashStyle = DashStyleCustom;
    p.dashArray.assign(pattern.begin(), pattern.end());
  }
  *out = p;
  return true;
}

}  // namespace zx::gdip::emf
