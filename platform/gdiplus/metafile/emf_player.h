// Zentarix GDI+ layer — MIT licence.
// The metafile player: GDI device-context state and objects, the EMF+ state, and the record handlers
// (split by behaviour over emf_*.cpp and emfplus_*.cpp), all drawing through one Graphics.
//
// Coordinates. EMF records are in logical units: the world transform, then the page transform (map
// mode, window and viewport), give the reference device's pixels; the frame (rclFrame) in those
// pixels is then stretched onto the target bitmap. EMF+ records are in world units: world
// transform, container, page unit and scale give pixels at the EMF+ header's resolution, which are
// put on the reference device by the ratio of the resolutions. Every primitive reaches the
// Graphics with that whole mapping as its world transform.
//
// GDI's rasterisation rules, as plain EMF records draw: no antialiasing; fills take the pixels
// whose centres lie inside (half-pixel offset), outlines run through pixel centres (no offset);
// Rectangle, Ellipse, RoundRect, Arc, Chord and Pie exclude their right and bottom edge.
#pragma once
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "../vector/canvas.h"
#include "../vector/clip.h"
#include "../vector/text.h"
#include "emf_bytes.h"
#include "playback.h"

namespace zx::gdip::emf {

using resample::Affine;

// Record types.
enum : uint32_t {
  EMR_HEADER = 1, EMR_POLYBEZIER = 2, EMR_POLYGON = 3, EMR_POLYLINE = 4, EMR_POLYBEZIERTO = 5, EMR_POLYLINETO = 6,
  EMR_POLYPOLYLINE = 7, EMR_POLYPOLYGON = 8, EMR_SETWINDOWEXTEX = 9, EMR_SETWINDOWORGEX = 10,
  EMR_SETVIEWPORTEXTEX = 11, EMR_SETVIEWPORTORGEX = 12, EMR_SETBRUSHORGEX = 13, EMR_EOF = 14, EMR_SETPIXELV = 15,
  EMR_SETMAPMODE = 17, EMR_SETBKMODE = 18, EMR_SETPOLYFILLMODE = 19, EMR_SETROP2 = 20, EMR_SETSTRETCHBLTMODE = 21,
  EMR_SETTEXTALIGN = 22, EMR_SETTEXTCOLOR = 24, EMR_SETBKCOLOR = 25, EMR_OFFSETCLIPRGN = 26, EMR_MOVETOEX = 27,
  EMR_SETMETARGN = 28, EMR_EXCLUDECLIPRECT = 29, EMR_INTERSECTCLIPRECT = 30, EMR_SCALEVIEWPORTEXTEX = 31,
  EMR_SCALEWINDOWEXTEX = 32, EMR_SAVEDC = 33, EMR_RESTOREDC = 34, EMR_SETWORLDTRANSFORM = 35,
  EMR_MODIFYWORLDTRANSFORM = 36, EMR_SELECTOBJECT = 37, EMR_CREATEPEN = 38, EMR_CREATEBRUSHINDIRECT = 39,
  EMR_DELETEOBJECT = 40, EMR_ANGLEARC = 41, EMR_ELLIPSE = 42, EMR_RECTANGLE = 43, EMR_ROUNDRECT = 44, EMR_ARC = 45,
  EMR_CHORD = 46, EMR_PIE = 47, EMR_SELECTPALETTE = 48, EMR_CREATEPALETTE = 49, EMR_SETPALETTEENTRIES = 50,
  EMR_RESIZEPALETTE = 51, EMR_LINETO = 54, EMR_ARCTO = 55, EMR_POLYDRAW = 56, EMR_SETARCDIRECTION = 57,
  EMR_SETMITERLIMIT = 58, EMR_BEGINPATH = 59, EMR_ENDPATH = 60, EMR_CLOSEFIGURE = 61, EMR_FILLPATH = 62,
  EMR_STROKEANDFILLPATH = 63, EMR_STROKEPATH = 64, EMR_FLATTENPATH = 65, EMR_WIDENPATH = 66,
  EMR_SELECTCLIPPATH = 67, EMR_ABORTPATH = 68, EMR_GDICOMMENT = 70, EMR_FILLRGN = 71, EMR_INVERTRGN = 73,
  EMR_PAINTRGN = 74, EMR_EXTSELECTCLIPRGN = 75, EMR_BITBLT = 76, EMR_STRETCHBLT = 77, EMR_SETDIBITSTODEVICE = 80,
  EMR_STRETCHDIBITS = 81, EMR_EXTCREATEFONTINDIRECTW = 82, EMR_EXTTEXTOUTA = 83, EMR_EXTTEXTOUTW = 84,
  EMR_POLYBEZIER16 = 85, EMR_POLYGON16 = 86, EMR_POLYLINE16 = 87, EMR_POLYBEZIERTO16 = 88, EMR_POLYLINETO16 = 89,
  EMR_POLYPOLYLINE16 = 90, EMR_POLYPOLYGON16 = 91, EMR_POLYDRAW16 = 92, EMR_CREATEMONOBRUSH = 93,
  EMR_CREATEDIBPATTERNBRUSHPT = 94, EMR_EXTCREATEPEN = 95, EMR_POLYTEXTOUTA = 96, EMR_POLYTEXTOUTW = 97,
  EMR_SMALLTEXTOUT = 108, EMR_ALPHABLEND = 114, EMR_TRANSPARENTBLT = 116, EMR_GRADIENTFILL = 118
};

// ---- GDI objects ----
struct BrushObject {
  uint32_t style = 0;  // BS_SOLID 0, BS_NULL 1, BS_HATCHED 2, pattern brushes 3, 5, 6
  uint32_t colour = 0;  // COLORREF
  uint32_t hatch = 0;
  std::shared_ptr<const ImageData> pattern;  // straight ARGB
  bool mono = false;  // a one-bit pattern: its first colour takes the text colour, its second the background
};
struct PenObject {
  uint32_t style = 0;  // PS_* bits
  double width = 0;    // logical units; 0 with a cosmetic pen: one pixel
  bool cosmetic = true;
  std::vector<double> user;  // PS_USERSTYLE dash and gap lengths
  BrushObject fill;
};
struct FontObject {
  std::u16string face;
  int32_t height = 0, width = 0, escapement = 0, weight = 400;
  bool italic = false, underline = false, strike = false;
  uint8_t quality = 0, pitchFamily = 0;
};
using PaletteObject = std::vector<uint32_t>;  // COLORREFs
using GdiObject = std::variant<PenObject, BrushObject, FontObject, PaletteObject>;
using ObjectPtr = std::shared_ptr<const GdiObject>;

struct DcState {
  int mapMode = 1;
  PointD windowOrg, windowExt{1, 1}, viewportOrg, viewportExt{1, 1};
  Affine world;
  ObjectPtr pen, brush, font, palette;
  uint32_t bkColor = 0xFFFFFF, textColor = 0;
  int bkMode = 2, textAlign = 0, rop2 = 13, fillMode = 1, stretchMode = 1, arcDirection = 1;
  double miterLimit = 10;
  PointD brushOrg;
  PointD current;
  ClipPtr clip, metaClip;
};

// ---- EMF+ objects and state ----
struct PlusImage {
  std::shared_ptr<ImageData> bitmap;  // null: a metafile, never played inside another
};
struct PlusRegion {  // a region tree, nodes in pre-order
  struct Node {
    uint32_t type;  // 1..5 a combination of the next two subtrees, 0x10000000 + 0..3 rect, path, empty, infinite
    Gdiplus::RectF rect;
    PathData path;
  };
  std::vector<Node> nodes;
};
struct PlusFont {
  FontData font;  // size in its own unit
};
using PlusObject = std::variant<std::monostate, BrushData, PenData, PathData, PlusRegion, PlusImage, PlusFont,
                                StringFormatData, AttributesData>;

struct PlusState {
  Affine world, container;  // world is relative to the container it was set in
  Gdiplus::Unit pageUnit = Gdiplus::UnitDisplay;
  double pageScale = 1;
  ClipPtr clip, outerClip;
  Gdiplus::SmoothingMode smoothing = Gdiplus::SmoothingModeNone;
  Gdiplus::TextRenderingHint textHint = Gdiplus::TextRenderingHintSystemDefault;
  Gdiplus::InterpolationMode interpolation = Gdiplus::InterpolationModeBilinear;
  Gdiplus::PixelOffsetMode pixelOffset = Gdiplus::PixelOffsetModeDefault;
  Gdiplus::CompositingMode compositing = Gdiplus::CompositingModeSourceOver;
  int originX = 0, originY = 0;
};

class Player {
 public:
  Player(std::span<const uint8_t> data, const PixelView& target);
  Gdiplus::Status play();

 private:
  // ---- emf_player.cpp: the record loop, state, transforms and clipping ----
  void record(uint32_t type, const Bytes& r);
  bool state_record(uint32_t type, const Bytes& r);
  bool clip_record(uint32_t type, const Bytes& r);
  void set_map_mode(int mode);
  Affine page() const;
  Affine to_device() const;  // logical -> target pixels
  ClipPtr clip() const;      // the DC's clip and meta region together
  void combine_dc_clip(const ClipPtr& operand, int gdiMode);
  ClipPtr region_data(const Bytes& r, size_t at, size_t bytes) const;  // RGNDATA in reference pixels
  PointD logical_vector(double dx, double dy) const;
  // A graphics set up for one GDI primitive: world transform, the DC's clip, no smoothing.
  GraphicsData gdi_graphics(const Affine& world, bool outline) const;
  // Charges a primitive's device-space bounds to the playback's work budget; false: over budget.
  bool charge(const DeviceBox& box);
  // A clip of the pixels inside path (mapped by map), charged to the budget like a fill.
  ClipPtr clip_shape(const PathData& path, const Affine& map);

  // ---- emf_objects.cpp: creating, selecting and realising GDI objects ----
  bool object_record(uint32_t type, const Bytes& r);
  ObjectPtr object(uint32_t index) const;  // stock objects too; throws Malformed when absent
  void store(uint32_t index, GdiObject object);
  Gdiplus::ARGB colour(uint32_t colorref) const;
  // The DC's brush and pen as GDI+ brushes and pens for a primitive drawn with world transform `world`.
  bool brush_data(const BrushObject& brush, const Affine& world, BrushData* out) const;
  bool pen_data(const PenObject& pen, const Affine& world, PenData* out) const;
  // A DIB a record carries (BITMAPINFO and bits at the offsets the four fields at offBmi... give),
  // decoded into straight ARGB; null when absent or unreadable. bottomUp: the order of its rows.
  // scans > 0: the bits hold only that many rows of the DIB.
  std::shared_ptr<ImageData> dib(const Bytes& r, size_t offBmi, size_t cbBmi, size_t offBits, size_t cbBits,
                                 uint32_t usage, bool* bottomUp = nullptr, uint32_t scans = 0) const;

  // ---- emf_shapes.cpp: lines, shapes and paths ----
  bool shape_record(uint32_t type, const Bytes& r);
  bool path_record(uint32_t type, const Bytes& r);
  // Fills (with the brush) and outlines (with the pen) a logical-space path, or adds it to the path
  // being recorded.
  void draw(const PathData& path, bool fill, bool outline);
  void fill_with(const PathData& path, const BrushObject& brush, const Affine& world, Gdiplus::FillMode mode);
  void stroke_with(const PathData& path, const PenObject& pen, const Affine& world);
  // A box record's rectangle, with the right and bottom edge excluded and PS_INSIDEFRAME applied.
  Gdiplus::RectF box(const Bytes& r, size_t at, bool insideFrame) const;
  void add_to_path(const PathData& logical, bool continues);

  // ---- emf_text.cpp ----
  bool text_record(uint32_t type, const Bytes& r);
  void text_out(const Bytes& r, size_t emrtext, bool wide, int graphicsMode);
  void draw_text(const std::u16string& text, const std::vector<double>* dx, PointD reference, uint32_t options,
                 const Gdiplus::Rect* rect, int graphicsMode);

  // ---- emf_bitmaps.cpp ----
  bool bitmap_record(uint32_t type, const Bytes& r);
  // Draws source's src rectangle (pixels, top-down) onto dest (logical) through a ternary raster
  // operation; operations without a source fill dest with the brush.
  void blit(const std::shared_ptr<ImageData>& source, Gdiplus::RectF src, Gdiplus::RectF dest, uint32_t rop);
  void fill_rect(const Gdiplus::RectF& dest, const BrushObject& brush, const RasterOp& rop);
  void gradient_fill(const Bytes& r);

  // ---- emfplus_player.cpp / emfplus_objects.cpp ----
  void plus_records(const Bytes& comment);
  void plus_record(uint16_t type, uint16_t flags, const Bytes& d);
  bool plus_state_record(uint16_t type, uint16_t flags, const Bytes& d);
  bool plus_draw_record(uint16_t type, uint16_t flags, const Bytes& d);
  void plus_object(uint16_t flags, const Bytes& d);
  void plus_parse_object(uint8_t id, uint32_t kind, const Bytes& d);
  Affine plus_to_device() const;
  GraphicsData plus_graphics() const;
  const PlusObject& plus_get(uint32_t id) const;
  bool plus_brush(uint16_t flags, uint32_t brushId, BrushData* out) const;
  const PenData* plus_pen(uint32_t id) const;
  ClipPtr plus_region(const PlusRegion& region, const Affine& map);
  void plus_set_clip(const ClipPtr& operand, int mode);
  void plus_draw_image(const PlusImage& image, const AttributesData* attributes, Gdiplus::Unit unit,
                       const Gdiplus::RectF& src, const Affine& placement);

  // ---- the data and the target ----
  Bytes m_file;
  ImageData m_target;  // over the caller's pixels
  Affine m_base;       // reference pixels -> target pixels
  double m_refDpiX = 96, m_refDpiY = 96;
  double m_devPerMmX = 1, m_devPerMmY = 1;  // reference pixels per millimetre
  Gdiplus::Rect m_bounds;
  double m_budget = 0;  // device pixels the remaining primitives may still cover

  // ---- GDI state ----
  DcState m_dc;
  std::vector<DcState> m_saved;
  std::vector<ObjectPtr> m_objects;
  PathData m_path;  // the path being recorded, in target pixels (as GDI keeps it, in device space)
  bool m_inPath = false;
  bool m_pathWidened = false;

  // ---- EMF+ state ----
  bool m_plus = false;    // an EMF+ header was seen: plain GDI records are skipped...
  bool m_getDc = false;   // ...except after an EmfPlusGetDC, until the next EMF+ record
  bool m_plusEnded = false;
  double m_plusDpiX = 96, m_plusDpiY = 96;
  PlusState m_ps;
  std::vector<std::pair<uint32_t, PlusState>> m_plusSaved;
  std::array<PlusObject, 64> m_plusObjects;
  struct Pending {  // an object arriving in several records
    uint8_t id = 0;
    uint32_t kind = 0;
    uint32_t total = 0;
    std::vector<uint8_t> bytes;
  };
  std::optional<Pending> m_pending;
};

// A COLORREF (0x00BBGGRR) as an opaque ARGB.
inline Gdiplus::ARGB argb_of(uint32_t colorref) {
  return 0xFF000000u | (colorref & 0xFF) << 16 | (colorref & 0xFF00) | (colorref >> 16 & 0xFF);
}

// Bytes of an ANSI text record (code page 1252) as UTF-16.
std::u16string from_cp1252(const uint8_t* bytes, size_t count);

// A path of one rectangle, ellipse, polygon...: the GDI+ path builders in double precision.
PathData rectangle_path(const Gdiplus::RectF& r);
// The device-space box of a path's points under m, widened by pad on every side.
DeviceBox device_bounds(const PathData& path, const Affine& m, double pad);

}  // namespace zx::gdip::emf
