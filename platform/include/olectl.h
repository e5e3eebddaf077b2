// Zentarix platform layer — MIT licence.
// OLE pictures: IPicture, IPictureDisp, OleCreatePictureIndirect (bitmap pictures over GDI handles).
#pragma once
#include "objidl.h"

inline constexpr IID IID_IPicture = {0x7BF80980, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};
inline constexpr IID IID_IPictureDisp = {0x7BF80981, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};

using OLE_XPOS_HIMETRIC = LONG;
using OLE_YPOS_HIMETRIC = LONG;
using OLE_XSIZE_HIMETRIC = LONG;
using OLE_YSIZE_HIMETRIC = LONG;
struct RECT {
  LONG left, top, right, bottom;
};
using LPCRECT = const RECT*;

constexpr UINT PICTYPE_UNINITIALIZED = static_cast<UINT>(-1);
constexpr UINT PICTYPE_NONE = 0;
constexpr UINT PICTYPE_BITMAP = 1;
constexpr UINT PICTYPE_METAFILE = 2;
constexpr UINT PICTYPE_ICON = 3;
constexpr UINT PICTYPE_ENHMETAFILE = 4;

// 20 bytes, as on 32-bit Windows: handles are 32-bit here.
struct PICTDESC {
  UINT cbSizeofstruct;
  UINT picType;
  union {
    struct {
      HBITMAP hbitmap;
      HPALETTE hpal;
    } bmp;
    struct {
      uint32_t hmeta;
      int32_t xExt;
      int32_t yExt;
    } wmf;
    struct {
      uint32_t hicon;
    } icon;
    struct {
      uint32_t hemf;
    } emf;
  };
};
using LPPICTDESC = PICTDESC*;
static_assert(sizeof(PICTDESC) == 20, "PICTDESC has the 32-bit Windows size");

struct IPicture : IUnknown {
  STDMETHOD(get_Handle)(OLE_HANDLE* pHandle) PURE;
  STDMETHOD(get_hPal)(OLE_HANDLE* phPal) PURE;
  STDMETHOD(get_Type)(SHORT* pType) PURE;
  STDMETHOD(get_Width)(OLE_XSIZE_HIMETRIC* pWidth) PURE;
  STDMETHOD(get_Height)(OLE_YSIZE_HIMETRIC* pHeight) PURE;
  STDMETHOD(Render)(HDC hDC, LONG x, LONG y, LONG cx, LONG cy, OLE_XPOS_HIMETRIC xSrc, OLE_YPOS_HIMETRIC ySrc,
                    OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc, LPCRECT pRcWBounds) PURE;
  STDMETHOD(set_hPal)(OLE_HANDLE hPal) PURE;
  STDMETHOD(get_CurDC)(HDC* phDC) PURE;
  STDMETHOD(SelectPicture)(HDC hDCIn, HDC* phDCOut, OLE_HANDLE* phBmpOut) PURE;
  STDMETHOD(get_KeepOriginalFormat)(BOOL* pKeep) PURE;
  STDMETHOD(put_KeepOriginalFormat)(BOOL keep) PURE;
  STDMETHOD(PictureChanged)() PURE;
  STDMETHOD(SaveAsFile)(LPSTREAM pStream, BOOL fSaveMemCopy, LONG* pCbSize) PURE;
  STDMETHOD(get_Attributes)(DWORD* pDwAttr) PURE;
};
ZX_DECLARE_UUID(IPicture, IID_IPicture);

struct IPictureDisp : IDispatch {};
ZX_DECLARE_UUID(IPictureDisp, IID_IPictureDisp);

// Implemented in libzxgdiplus, which owns the GDI handle table the picture's handles live in.
STDAPI OleCreatePictureIndirect(LPPICTDESC lpPictDesc, REFIID riid, BOOL fOwn, LPVOID* lplpvObj);
