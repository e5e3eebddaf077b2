// Zentarix GDI+ layer — MIT licence.
// GDI objects: one thread-safe table of 32-bit handles for bitmaps, palettes and memory DCs.
#include "gdi.h"

#include <climits>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <variant>

#include <zx/pixel_memory.h>

using namespace Gdiplus;

namespace zx::gdip {
namespace {

using Object = std::variant<std::shared_ptr<GdiBitmap>, std::shared_ptr<GdiPalette>, std::shared_ptr<GdiDC>>;

// Handles count up and are never reused while the process lives, so a stale handle can never reach
// a newer object.
class HandleTable {
 public:
  uint32_t add(Object object) {
    std::lock_guard guard(m_lock);
    uint32_t h = m_next++;
    m_objects.emplace(h, std::move(object));
    return h;
  }
  template <class T>
  std::shared_ptr<T> get(uint32_t h) {
    std::lock_guard guard(m_lock);
    auto it = m_objects.find(h);
    if (it == m_objects.end()) return nullptr;
    auto* p = std::get_if<std::shared_ptr<T>>(&it->second);
    return p ? *p : nullptr;
  }
  bool remove(uint32_t h) {
    std::lock_guard guard(m_lock);
    return m_objects.erase(h) != 0;
  }

 private:
  std::mutex m_lock;
  std::unordered_map<uint32_t, Object> m_objects;
  uint32_t m_next = 0x00010000;
};

// Which bitmap is selected where: guarded apart from the table so selection changes are atomic.
std::mutex& selection_lock() {
  static std::mutex m;
  return m;
}

HandleTable& table() {
  static HandleTable* t = new HandleTable;  // outlives every static destructor that may release handles
  return *t;
}

// The 1x1 bitmap every new memory DC starts with, shared as in GDI; deleting it does nothing.
HBITMAP stock_bitmap() {
  static HBITMAP h = [] {
    HBITMAP b = gdi_create_bitmap(1, 1);
    gdi_bitmap(b)->stock = true;
    return b;
  }();
  return h;
}

std::shared_ptr<GdiBitmap> new_bitmap(int width, int height, int bits, bool bottomUp) {
  if (width <= 0 || height <= 0) return nullptr;
  int64_t stride = ((int64_t{width} * bits + 31) / 32) * 4;
  if (stride * height > INT_MAX) return nullptr;
  auto bm = std::make_shared<GdiBitmap>();
  bm->bits.reset(static_cast<uint8_t*>(zx::pixel_alloc_zeroed(size_t(stride * height))));
  if (!bm->bits) return nullptr;
  bm->width = width;
  bm->height = height;
  bm->bitsPerPixel = bits;
  bm->stride = static_cast<ptrdiff_t>(stride);
  bm->bottomUp = bottomUp;
  return bm;
}

uint8_t* pixel_at(const GdiBitmap& bm, int x, int y) { return bm.row(y) + x * (bm.bitsPerPixel / 8); }

}  // namespace

std::shared_ptr<GdiBitmap> gdi_bitmap(HBITMAP h) { return table().get<GdiBitmap>(h); }
std::shared_ptr<GdiPalette> gdi_palette(HPALETTE h) { return table().get<GdiPalette>(h); }

HBITMAP gdi_create_bitmap(int width, int height) {
  auto bm = new_bitmap(width, height, 32, false);
  return bm ? table().add(bm) : 0;
}

std::shared_ptr<GdiBitmap> dc_bitmap(HDC hdc) {
  auto dc = table().get<GdiDC>(hdc);
  return dc ? gdi_bitmap(dc->bitmap) : nullptr;
}

}  // namespace zx::gdip

using namespace zx::gdip;

BOOL DeleteObject(HGDIOBJ h) {
  std::lock_guard guard(selection_lock());
  if (auto bm = gdi_bitmap(h)) {
    if (bm->stock) return TRUE;
    if (bm->selectedIn) return FALSE;  // GDI refuses to delete a bitmap a DC still holds
    return table().remove(h) ? TRUE : FALSE;
  }
  if (gdi_palette(h)) return table().remove(h) ? TRUE : FALSE;
  return FALSE;  // DCs go through DeleteDC
}

int GetObjectType(HGDIOBJ h) {
  if (gdi_bitmap(h)) return OBJ_BITMAP;
  if (gdi_palette(h)) return OBJ_PAL;
  if (table().get<GdiDC>(h)) return OBJ_MEMDC;
  return 0;
}

HBITMAP CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void* lpBits) {
  if (nPlanes != 1 || nBitCount != 32) return 0;
  auto bm = new_bitmap(nWidth, nHeight, 32, false);
  if (!bm) return 0;
  if (lpBits) std::memcpy(bm->bits.get(), lpBits, size_t(bm->stride) * size_t(bm->height));
  return table().add(bm);
}

HBITMAP CreateCompatibleBitmap(HDC, int cx, int cy) { return gdi_create_bitmap(cx, cy); }

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE hSection, DWORD) {
  if (ppvBits) *ppvBits = nullptr;
  if (!pbmi || usage != DIB_RGB_COLORS || hSection) return 0;
  const BITMAPINFOHEADER& h = pbmi->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biCompression != BI_RGB ||
      (h.biBitCount != 24 && h.biBitCount != 32) || h.biHeight == INT_MIN)
    return 0;
  auto bm = new_bitmap(h.biWidth, h.biHeight < 0 ? -h.biHeight : h.biHeight, h.biBitCount, h.biHeight > 0);
  if (!bm) return 0;
  bm->dibSection = true;
  if (ppvBits) *ppvBits = bm->bits.get();
  return table().add(bm);
}

int GetDIBits(HDC, HBITMAP hbm, UINT start, UINT cLines, void* lpvBits, BITMAPINFO* lpbmi, UINT usage) {
  auto bm = gdi_bitmap(hbm);
  if (!bm || !lpbmi || usage != DIB_RGB_COLORS) return 0;
  BITMAPINFOHEADER& h = lpbmi->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER)) return 0;
  if (!lpvBits) {
    h.biWidth = bm->width;
    h.biHeight = bm->height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bm->bitsPerPixel);
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(bm->stride * bm->height);
    return bm->height;
  }
  if ((h.biBitCount != 24 && h.biBitCount != 32) || h.biCompression != BI_RGB || h.biWidth != bm->width ||
      (h.biHeight != bm->height && h.biHeight != -bm->height))
    return 0;
  const bool bottomUp = h.biHeight > 0;
  const int outBytes = h.biBitCount / 8;
  const ptrdiff_t outStride = ((int64_t{bm->width} * h.biBitCount + 31) / 32) * 4;
  if (start >= UINT(bm->height)) return 0;
  const UINT lines = std::min<UINT>(cLines, UINT(bm->height) - start);
  auto* out = static_cast<uint8_t*>(lpvBits);
  for (UINT i = 0; i < lines; ++i) {
    // Line i of the output is scan line start + i counted in the caller's order.
    int y = bottomUp ? bm->height - 1 - int(start + i) : int(start + i);
    uint8_t* d = out + ptrdiff_t(i) * outStride;
    for (int x = 0; x < bm->width; ++x) {
      const uint8_t* s = pixel_at(*bm, x, y);
      std::memcpy(d + x * outBytes, s, 3);
      if (outBytes == 4) d[x * 4 + 3] = bm->bitsPerPixel == 32 ? s[3] : 0;
    }
  }
  return static_cast<int>(lines);
}

int GetObjectW(HGDIOBJ h, int c, void* pv) {
  if (auto bm = gdi_bitmap(h)) {
    if (!pv) return sizeof(BITMAP);
    if (c < int(sizeof(BITMAP))) return 0;
    BITMAP out{};
    out.bmWidth = bm->width;
    out.bmHeight = bm->height;
    out.bmWidthBytes = static_cast<LONG>(bm->stride);
    out.bmPlanes = 1;
    out.bmBitsPixel = static_cast<WORD>(bm->bitsPerPixel);
    out.bmBits = bm->dibSection ? bm->bits.get() : nullptr;
    std::memcpy(pv, &out, sizeof out);
    return sizeof(BITMAP);
  }
  if (auto pal = gdi_palette(h)) {  // a palette answers its entry count as a WORD
    if (!pv) return sizeof(WORD);
    if (c < int(sizeof(WORD))) return 0;
    WORD n = static_cast<WORD>(pal->entries.size());
    std::memcpy(pv, &n, sizeof n);
    return sizeof(WORD);
  }
  return 0;
}

HPALETTE CreatePalette(const LOGPALETTE* plpal) {
  if (!plpal || plpal->palVersion != 0x300 || plpal->palNumEntries == 0) return 0;
  auto pal = std::make_shared<GdiPalette>();
  pal->entries.assign(plpal->palPalEntry, plpal->palPalEntry + plpal->palNumEntries);
  std::vector<uint32_t> rgb;
  rgb.reserve(pal->entries.size());
  for (const PALETTEENTRY& e : pal->entries) rgb.push_back(uint32_t{e.peRed} << 16 | uint32_t{e.peGreen} << 8 | e.peBlue);
  pal->index = std::make_unique<PaletteIndexer>(rgb);
  return table().add(pal);
}

UINT GetPaletteEntries(HPALETTE hpal, UINT iStart, UINT cEntries, PALETTEENTRY* pPalEntries) {
  auto pal = gdi_palette(hpal);
  if (!pal) return 0;
  const UINT count = static_cast<UINT>(pal->entries.size());
  if (!pPalEntries) return count;
  if (iStart >= count) return 0;
  UINT n = std::min(cEntries, count - iStart);
  std::memcpy(pPalEntries, pal->entries.data() + iStart, n * sizeof(PALETTEENTRY));
  return n;
}

UINT GetNearestPaletteIndex(HPALETTE h, COLORREF color) {
  auto pal = gdi_palette(h);
  if (!pal) return CLR_INVALID;
  std::lock_guard guard(pal->lock);
  return static_cast<UINT>(pal->index->nearest(GetRValue(color), GetGValue(color), GetBValue(color)));
}

HDC CreateCompatibleDC(HDC hdc) {
  if (hdc && !table().get<GdiDC>(hdc)) return 0;
  HBITMAP stock = stock_bitmap();
  auto dc = std::make_shared<GdiDC>();
  dc->bitmap = stock;
  return table().add(dc);
}

BOOL DeleteDC(HDC hdc) {
  auto dc = table().get<GdiDC>(hdc);
  if (!dc) return FALSE;
  std::lock_guard guard(selection_lock());
  if (auto bm = gdi_bitmap(dc->bitmap); bm && !bm->stock) bm->selectedIn = 0;
  return table().remove(hdc) ? TRUE : FALSE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
  auto dc = table().get<GdiDC>(hdc);
  if (!dc) return 0;
  std::lock_guard guard(selection_lock());
  if (auto bm = gdi_bitmap(h)) {
    if (!bm->stock && bm->selectedIn && bm->selectedIn != hdc) return 0;  // one DC at a time
    HBITMAP previous = dc->bitmap;
    if (auto old = gdi_bitmap(previous); old && !old->stock) old->selectedIn = 0;
    if (!bm->stock) bm->selectedIn = hdc;
    dc->bitmap = h;
    return previous;
  }
  if (gdi_palette(h)) {
    HPALETTE previous = dc->palette;
    dc->palette = h;
    return previous;
  }
  return 0;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
  auto dc = table().get<GdiDC>(hdc);
  if (!dc) return 0;
  if (type == OBJ_BITMAP) return dc->bitmap;
  if (type == OBJ_PAL) return dc->palette;
  return 0;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  auto dc = table().get<GdiDC>(hdc);
  auto bm = dc ? gdi_bitmap(dc->bitmap) : nullptr;
  if (!bm || x < 0 || y < 0 || x >= bm->width || y >= bm->height) return CLR_INVALID;
  const uint8_t* p = pixel_at(*bm, x, y);
  return RGB(p[2], p[1], p[0]);
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
  auto dc = table().get<GdiDC>(hdc);
  auto bm = dc ? gdi_bitmap(dc->bitmap) : nullptr;
  if (!bm || x < 0 || y < 0 || x >= bm->width || y >= bm->height) return CLR_INVALID;
  uint8_t* p = pixel_at(*bm, x, y);
  p[0] = GetBValue(color);
  p[1] = GetGValue(color);
  p[2] = GetRValue(color);
  return color;
}
