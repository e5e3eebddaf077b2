// Zentarix GDI+ layer — MIT licence.
// The record loop, the header, device-context state, the page transform and clipping.
#include "emf_player.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <new>

using namespace Gdiplus;

namespace zx::gdip {
namespace {


struct Header {
  size_t size = 0;
  int32_t frame[4] = {};
  double devPx[2] = {}, devMm[2] = {};
  uint16_t handles = 0;
};

bool read_header(const emf::Bytes& f, Header* h) {
  try {
    if (f.size() < 88 || f.u32(0) != emf::EMR_HEADER || f.u32(40) != 0x464D4520 /* " EMF" */) return false;
    h->size = f.u32(4);
    if (h->size < 88 || h->size > f.size()) return false;
    for (int i = 0; i < 4; ++i) h->frame[i] = f.i32(24 + 4 * i);
    h->handles = f.u16(56);
    h->devPx[0] = f.i32(72), h->devPx[1] = f.i32(76);
    h->devMm[0] = f.i32(80), h->devMm[1] = f.i32(84);
    if (h->size >= 108 && f.i32(100) > 0 && f.i32(104) > 0)  // the same size in micrometres, more exactly
      h->devMm[0] = f.i32(100) / 1000.0, h->devMm[1] = f.i32(104) / 1000.0;
    return h->devPx[0] > 0 && h->devPx[1] > 0 && h->devMm[0] > 0 && h->devMm[1] > 0;
  } catch (const emf::Malformed&) {
    return false;
  }
}

}  // namespace

bool read_emf_size(std::span<const uint8_t> data, MetafileSize* out) {
  Header h;
  if (!read_header(emf::Bytes(data), &h)) return false;
  // The size rule keeps the header's millimetres, as the reference device reports them.
  const emf::Bytes f(data);
  const double mmX = f.i32(80), mmY = f.i32(84);
  if (!(mmX > 0) || !(mmY > 0)) return false;
  const double w = std::fabs(double(h.frame[2]) - h.frame[0]) / 100.0 * h.devPx[0] / mmX;
  const double ht = std::fabs(double(h.frame[3]) - h.frame[1]) / 100.0 * h.devPx[1] / mmY;
  // Past cairo's limit the size is reported as one more than the limit: too large to draw.
  out->width = static_cast<int>(std::min(std::lround(w), long{kMaxMetafileSide + 1}));
  out->height = static_cast<int>(std::min(std::lround(ht), long{kMaxMetafileSide + 1}));
  out->dpiX = static_cast<float>(h.devPx[0] * 25.4 / mmX);
  out->dpiY = static_cast<float>(h.devPx[1] * 25.4 / mmY);
  return out->width > 0 && out->height > 0;
}

Status play_emf(std::span<const uint8_t> data, const PixelView& target) {
  try {
    return emf::Player(data, target).play();
  } catch (const std::bad_alloc&) {
    return OutOfMemory;
  }
}

namespace emf {

enum { MM_TEXT = 1, MM_LOMETRIC, MM_HIMETRIC, MM_LOENGLISH, MM_HIENGLISH, MM_TWIPS, MM_ISOTROPIC, MM_ANISOTROPIC };
enum { RGN_AND = 1, RGN_OR, RGN_XOR, RGN_DIFF, RGN_COPY };

Player::Player(std::span<const uint8_t> data, const PixelView& target) : m_file(data) {
  m_target.kind = ImageKind::Bitmap;
  m_target.rawFormat = ImageFormatMemoryBMP;
  m_target.width = target.width;
  m_target.height = target.height;
  m_target.format = PixelFormat32bppARGB;
  m_target.scan0 = target.scan0;
  m_target.stride = target.stride;
  m_bounds = Rect(0, 0, target.width, target.height);
}

Status Player::play() {
  Header h;
  if (!read_header(m_file, &h)) return GenericError;
  m_devPerMmX = h.devPx[0] / h.devMm[0];
  m_devPerMmY = h.devPx[1] / h.devMm[1];
  m_refDpiX = m_devPerMmX * 25.4;
  m_refDpiY = m_devPerMmY * 25.4;
  // The frame (0.01 mm) in reference pixels is stretched onto the target.
  const double fx0 = std::min(h.frame[0], h.frame[2]) / 100.0 * m_devPerMmX;
  const double fy0 = std::min(h.frame[1], h.frame[3]) / 100.0 * m_devPerMmY;
  const double fw = std::fabs(double(h.frame[2]) - h.frame[0]) / 100.0 * m_devPerMmX;
  const double fh = std::fabs(double(h.frame[3]) - h.frame[1]) / 100.0 * m_devPerMmY;
  if (!(fw > 0) || !(fh > 0)) return GenericError;
  const double kx = m_target.width / fw, ky = m_target.height / fh;
  m_base = Affine{kx, 0, 0, ky, -fx0 * kx, -fy0 * ky};
  // A file may draw each pixel many times over, but not without end: a few hundred kilobytes of
  // records that each fill the whole picture would otherwise run for hours.
  m_budget = std::max(64.0 * m_target.width * m_target.height, double(1 << 26));
  m_objects.resize(h.handles);
  m_dc.pen = object(0x80000007);    // BLACK_PEN
  m_dc.brush = object(0x80000000);  // WHITE_BRUSH
  m_dc.font = object(0x8000000D);   // SYSTEM_FONT

  for (size_t at = h.size; at + 8 <= m_file.size();) {
    const uint32_t type = m_file.u32(at), size = m_file.u32(at + 4);
    if (size < 8 || size > m_file.size() - at || type == EMR_EOF) break;
    try {
      record(type, m_file.sub(at, size));
    } catch (const Malformed&) {
      break;  // what was drawn stays
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception&) {
      break;  // an object of the wrong kind where a record expects another: the same
    }
    at += size;
  }
  return Ok;
}

void Player::record(uint32_t type, const Bytes& r) {
  if (type == EMR_GDICOMMENT) {
    const uint32_t bytes = r.u32(8);
    if (bytes >= 4 && r.u32(12) == 0x2B464D45 /* "EMF+" */) plus_records(r.sub(16, bytes - 4));
    return;
  }
  // Files with EMF+ records carry GDI records only for readers without EMF+: they are not played,
  // except the ones an EMF+ recording handed to GDI itself (after EmfPlusGetDC).
  if (m_plus && !m_getDc) return;
  state_record(type, r) || clip_record(type, r) || object_record(type, r) || shape_record(type, r) ||
      path_record(type, r) || text_record(type, r) || bitmap_record(type, r);
}

void Player::set_map_mode(int mode) {
  if (mode < MM_TEXT || mode > MM_ANISOTROPIC) return;
  m_dc.mapMode = mode;
  // The fixed modes' extents, as GDI sets them: the reference device's millimetres in the mode's
  // units against its pixels, y growing upwards. Anisotropic keeps the extents it finds.
  static constexpr double kUnitsPerMm[] = {0, 0, 10, 100, 100 / 25.4, 1000 / 25.4, 1440 / 25.4, 10};
  if (mode == MM_TEXT) {
    m_dc.windowExt = {1, 1};
    m_dc.viewportExt = {1, 1};
  } else if (mode != MM_ANISOTROPIC) {
    const double pxX = m_devPerMmX, pxY = m_devPerMmY;
    m_dc.windowExt = {kUnitsPerMm[mode], kUnitsPerMm[mode]};
    m_dc.viewportExt = {pxX, -pxY};
  }
}

Affine Player::page() const {
  const DcState& s = m_dc;
  double sx = s.viewportExt.x / s.windowExt.x, sy = s.viewportExt.y / s.windowExt.y;
  if (s.mapMode == MM_ISOTROPIC) {  // one unit is as long in both directions: the smaller scale wins
    const double k = std::min(std::fabs(sx), std::fabs(sy));
    sx = std::copysign(k, sx), sy = std::copysign(k, sy);
  }
  return Affine{sx, 0, 0, sy, s.viewportOrg.x - s.windowOrg.x * sx, s.viewportOrg.y - s.windowOrg.y * sy};
}

Affine Player::to_device() const { return m_dc.world.then(page()).then(m_base); }

PointD Player::logical_vector(double dx, double dy) const {
  const Affine m = to_device();
  return {m.m11 * dx + m.m21 * dy, m.m12 * dx + m.m22 * dy};
}

ClipPtr Player::clip() const { return zx::gdip::combine_clip(m_dc.metaClip, m_dc.clip, CombineModeIntersect); }

GraphicsData Player::gdi_graphics(const Affine& world, bool outline) const {
  GraphicsData g;
  g.image = const_cast<ImageData*>(&m_target);
  g.pageUnit = UnitPixel;
  g.world.set(world);
  g.pixelOffset = outline ? PixelOffsetModeNone : PixelOffsetModeHalf;
  g.smoothing = SmoothingModeNone;
  g.textHint = TextRenderingHintSingleBitPerPixel;
  g.interpolation = m_dc.stretchMode == 4 /* HALFTONE */ ? InterpolationModeHighQualityBilinear
                                                         : InterpolationModeNearestNeighbor;
  const PointD origin = apply(m_base, m_dc.brushOrg);
  g.originX = static_cast<int>(std::lround(std::clamp(origin.x, -1e9, 1e9)));
  g.originY = static_cast<int>(std::lround(std::clamp(origin.y, -1e9, 1e9)));
  g.clip = clip();
  return g;
}

bool Player::charge(const DeviceBox& b) {
  const double x0 = std::max(b.x0, 0.0), x1 = std::min(b.x1, double(m_bounds.Width));
  const double y0 = std::max(b.y0, 0.0), y1 = std::min(b.y1, double(m_bounds.Height));
  if (x1 > x0 && y1 > y0) m_budget -= (x1 - x0 + 2) * (y1 - y0 + 2);
  if (m_budget < 0) throw Malformed{};
  return true;
}

bool Player::state_record(uint32_t type, const Bytes& r) {
  DcState& s = m_dc;
  const auto point = [&] { return PointD{double(r.i32(8)), double(r.i32(12))}; };
  const auto extent = [&](PointD* ext) {
    const PointD e = point();
    if (e.x != 0 && e.y != 0 && (s.mapMode == MM_ISOTROPIC || s.mapMode == MM_ANISOTROPIC)) *ext = e;
  };
  const auto scale = [&](PointD* ext) {
    const int32_t xn = r.i32(8), xd = r.i32(12), yn = r.i32(16), yd = r.i32(20);
    if (xd == 0 || yd == 0 || xn == 0 || yn == 0 || (s.mapMode != MM_ISOTROPIC && s.mapMode != MM_ANISOTROPIC)) return;
    ext->x = ext->x * xn / xd, ext->y = ext->y * yn / yd;
  };
  const auto xform = [&](size_t at, Affine* out) {
    const Affine a{r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12), r.f32(at + 16), r.f32(at + 20)};
    for (double v : {a.m11, a.m12, a.m21, a.m22, a.dx, a.dy})
      if (!std::isfinite(v)) return false;
    *out = a;
    return true;
  };
  switch (type) {
    case EMR_SETMAPMODE: set_map_mode(r.i32(8)); break;
    case EMR_SETWINDOWEXTEX: extent(&s.windowExt); break;
    case EMR_SETVIEWPORTEXTEX: extent(&s.viewportExt); break;
    case EMR_SETWINDOWORGEX: s.windowOrg = point(); break;
    case EMR_SETVIEWPORTORGEX: s.viewportOrg = point(); break;
    case EMR_SCALEWINDOWEXTEX: scale(&s.windowExt); break;
    case EMR_SCALEVIEWPORTEXTEX: scale(&s.viewportExt); break;
    case EMR_SETBRUSHORGEX: s.brushOrg = point(); break;
    case EMR_MOVETOEX:
      s.current = point();
      m_path.newFigure = true;
      break;
    case EMR_SETWORLDTRANSFORM: xform(8, &s.world); break;
    case EMR_MODIFYWORLDTRANSFORM: {
      Affine x;
      if (!xform(8, &x)) break;
      switch (r.u32(32)) {
        case 1: s.world = Affine{}; break;             // MWT_IDENTITY
        case 2: s.world = x.then(s.world); break;      // MWT_LEFTMULTIPLY: x applies first
        case 3: s.world = s.world.then(x); break;      // MWT_RIGHTMULTIPLY
        case 4: s.world = x; break;                    // MWT_SET
        default: break;
      }
      break;
    }
    case EMR_SAVEDC: m_saved.push_back(s); break;
    case EMR_RESTOREDC: {
      // A negative level counts back from the latest save; a positive one names a save by number.
      const int32_t level = r.i32(8);
      const int64_t keep = level < 0 ? int64_t(m_saved.size()) + level : int64_t(level) - 1;
      if (keep < 0 || keep >= int64_t(m_saved.size())) break;
      s = m_saved[size_t(keep)];
      m_saved.resize(size_t(keep));
      break;
    }
    case EMR_SETBKMODE: s.bkMode = r.i32(8); break;
    case EMR_SETBKCOLOR: s.bkColor = r.u32(8); break;
    case EMR_SETTEXTCOLOR: s.textColor = r.u32(8); break;
    case EMR_SETTEXTALIGN: s.textAlign = r.i32(8); break;
    case EMR_SETROP2: s.rop2 = r.i32(8); break;
    case EMR_SETPOLYFILLMODE: s.fillMode = r.i32(8); break;
    case EMR_SETSTRETCHBLTMODE: s.stretchMode = r.i32(8); break;
    case EMR_SETARCDIRECTION: s.arcDirection = r.i32(8); break;
    case EMR_SETMITERLIMIT: {
      // Written as an integer by some recorders and as a float by others.
      const uint32_t raw = r.u32(8);
      const double limit = raw < 0x01000000 ? double(raw) : double(r.f32(8));
      if (std::isfinite(limit) && limit >= 1) s.miterLimit = std::min(limit, 1e4);
      break;
    }
    default: return false;
  }
  return true;
}

ClipPtr Player::region_data(const Bytes& r, size_t at, size_t bytes) const {
  const Bytes data = r.sub(at, bytes);
  const uint32_t headerSize = data.u32(0), count = data.u32(8);
  if (headerSize < 32) throw Malformed{};
  data.need(headerSize, count, 16);
  std::vector<Rect> rects;
  rects.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t p = headerSize + size_t{i} * 16;
    const PointD a = apply(m_base, {double(data.i32(p)), double(data.i32(p + 4))});
    const PointD b = apply(m_base, {double(data.i32(p + 8)), double(data.i32(p + 12))});
    const auto edge = [](double v) { return static_cast<int>(std::lround(std::clamp(v, -1e8, 1e8))); };
    const int x0 = edge(std::min(a.x, b.x)), x1 = edge(std::max(a.x, b.x));
    const int y0 = edge(std::min(a.y, b.y)), y1 = edge(std::max(a.y, b.y));
    rects.emplace_back(x0, y0, x1 - x0, y1 - y0);
  }
  return clip_from_rects(rects.data(), rects.size());
}

void Player::combine_dc_clip(const ClipPtr& operand, int gdiMode) {
  static constexpr CombineMode kModes[] = {CombineModeReplace, CombineModeIntersect, CombineModeUnion,
                                           CombineModeXor,     CombineModeExclude,   CombineModeReplace};
  if (gdiMode < RGN_AND || gdiMode > RGN_COPY) return;
  m_dc.clip = zx::gdip::combine_clip(m_dc.clip, operand, kModes[gdiMode]);
}

bool Player::clip_record(uint32_t type, const Bytes& r) {
  switch (type) {
    case EMR_EXTSELECTCLIPRGN: {
      const uint32_t bytes = r.u32(8);
      const int mode = r.i32(12);
      if (mode == RGN_COPY && bytes == 0) m_dc.clip = nullptr;  // back to no clip at all
      else if (bytes > 0) combine_dc_clip(region_data(r, 16, bytes), mode);
      break;
    }
    case EMR_INTERSECTCLIPRECT:
    case EMR_EXCLUDECLIPRECT: {
      const PathData rect = rectangle_path(RectF(REAL(r.i32(8)), REAL(r.i32(12)), REAL(double(r.i32(16)) - r.i32(8)),
                                                 REAL(double(r.i32(20)) - r.i32(12))));
      combine_dc_clip(clip_shape(rect, to_device()), type == EMR_INTERSECTCLIPRECT ? RGN_AND : RGN_DIFF);
      break;
    }
    case EMR_OFFSETCLIPRGN: {
      const PointD d = logical_vector(r.i32(8), r.i32(12));
      if (std::fabs(d.x) < 1e8 && std::fabs(d.y) < 1e8)
        m_dc.clip = translate_clip(m_dc.clip, static_cast<int>(std::lround(d.x)), static_cast<int>(std::lround(d.y)));
      break;
    }
    case EMR_SELECTCLIPPATH:
      if (!m_path.points.empty()) {
        PathData path = m_path;
        path.fillMode = m_dc.fillMode == 2 ? FillModeWinding : FillModeAlternate;
        combine_dc_clip(clip_shape(path, Affine{}), r.i32(8));
      }
      m_path = PathData{};
      m_inPath = false;
      break;
    case EMR_SETMETARGN:
      m_dc.metaClip = clip();
      m_dc.clip = nullptr;
      break;
    default: return false;
  }
  return true;
}

}  // namespace emf
}  // namespace zx::gdip
