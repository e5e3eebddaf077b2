// Zentarix GDI+ layer — MIT licence.
// The GDI subset: bitmap, palette and memory device-context handles (32-bit values) and their calls.
#pragma once
#include <wtypes.h>

// Colour references are 0x00BBGGRR, as in GDI.
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>(c >> 8); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>(c >> 16); }
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
constexpr UINT GDI_ERROR = 0xFFFFFFFF;

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};
struct LOGPALETTE {
  WORD palVersion;  // 0x300
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[1];
};
struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: bottom-up rows; negative: top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER has the Windows size");
// GetObject(HBITMAP): bmBits is the pixel memory of a DIB section, else null. Pointer-sized here.
struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;
};
constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_BITFIELDS = 3;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr int OBJ_PAL = 5;
constexpr int OBJ_BITMAP = 7;
constexpr int OBJ_MEMDC = 10;

// Object handles (HBITMAP, HPALETTE) and memory DCs live in one thread-safe table of 32-bit handles.
// DeleteObject refuses (FALSE) a bitmap selected into a DC; handles are never reused while alive.
STDAPI_(BOOL) DeleteObject(HGDIOBJ ho);
STDAPI_(int) GetObjectType(HGDIOBJ h);
// Bitmaps are 32 bits per pixel, rows top-down internally; the alpha byte is kept as written.
// cBitsPerPel must be 1, 4, 8, 24 or 32; the pixels start zeroed.
STDAPI_(HBITMAP) CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitCount, const void* lpBits);
STDAPI_(HBITMAP) CreateCompatibleBitmap(HDC hdc, int cx, int cy);
// 24- and 32-bpp BI_RGB sections; *ppvBits receives the rows in the layout the header declares.
STDAPI_(HBITMAP) CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE hSection,
                                  DWORD offset);
// Copies rows [start, start+cLines) of the bitmap (counted from the bottom for a positive biHeight)
// as 24 or 32 bpp BI_RGB into lpvBits; lpvBits null fills in biSizeImage. Returns the lines copied.
STDAPI_(int) GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, void* lpvBits, BITMAPINFO* lpbmi, UINT usage);
STDAPI_(int) GetObjectW(HGDIOBJ h, int c, void* pv);
#define GetObject GetObjectW

STDAPI_(HPALETTE) CreatePalette(const LOGPALETTE* plpal);
STDAPI_(UINT) GetPaletteEntries(HPALETTE hpal, UINT iStart, UINT cEntries, PALETTEENTRY* pPalEntries);
// Exact nearest entry by squared RGB distance (the first on ties); CLR_INVALID for a bad handle.
STDAPI_(UINT) GetNearestPaletteIndex(HPALETTE h, COLORREF color);

// Memory device contexts over a selected bitmap (a 1x1 stock bitmap until one is selected).
STDAPI_(HDC) CreateCompatibleDC(HDC hdc);
STDAPI_(BOOL) DeleteDC(HDC hdc);
// Returns the previously selected object of that type; 0 on failure (a bitmap selected elsewhere).
STDAPI_(HGDIOBJ) SelectObject(HDC hdc, HGDIOBJ h);
STDAPI_(HGDIOBJ) GetCurrentObject(HDC hdc, UINT type);
// CLR_INVALID outside the bitmap.
STDAPI_(COLORREF) GetPixel(HDC hdc, int x, int y);
STDAPI_(COLORREF) SetPixel(HDC hdc, int x, int y, COLORREF color);
