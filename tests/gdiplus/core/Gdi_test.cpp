// Zentarix GDI+ layer — MIT licence.
// GDI handles: bitmaps from and to GDI+, palettes and nearest entries, memory DCs, OLE pictures.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include <gdiplus.h>
#include <olectl.h>

using namespace Gdiplus;

namespace {

ARGB pixel(Bitmap& bmp, int x, int y) {
  Color c;
  EXPECT_EQ(bmp.GetPixel(x, y, &c), Ok);
  return c.GetValue();
}

HPALETTE make_palette(const std::vector<COLORREF>& colours) {
  std::vector<uint8_t> block(sizeof(LOGPALETTE) + colours.size() * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(block.data());
  log->palVersion = 0x300;
  log->palNumEntries = WORD(colours.size());
  for (size_t i = 0; i < colours.size(); ++i)
    log->palPalEntry[i] = {GetRValue(colours[i]), GetGValue(colours[i]), GetBValue(colours[i]), 0};
  return CreatePalette(log);
}

TEST(GdiBitmaps, HbitmapComposesPartlyTransparentPixelsOverTheBackground) {
  Bitmap bmp(3, 1, PixelFormat32bppARGB);
  bmp.SetPixel(0, 0, Color(0x80FF0000));  // red at half over blue 0x0000C8
  bmp.SetPixel(1, 0, Color(0x00123456));  // fully transparent: the background
  bmp.SetPixel(2, 0, Color(0xFF102030));
  HBITMAP hbm = 0;
  ASSERT_EQ(bmp.GetHBITMAP(Color(0xFF0000C8), &hbm), Ok);
  HDC dc = CreateCompatibleDC(0);
  ASSERT_NE(SelectObject(dc, hbm), 0u);
  // c = (c*a + bg*(255-a)) / 255: red (255*128)/255 = 128, blue (200*127)/255 = 99
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(128, 0, 99));
  EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0, 200));
  EXPECT_EQ(GetPixel(dc, 2, 0), RGB(0x10, 0x20, 0x30));
  EXPECT_EQ(GetPixel(dc, 3, 0), CLR_INVALID);
  EXPECT_FALSE(DeleteObject(hbm));  // still selected
  DeleteDC(dc);
  EXPECT_TRUE(DeleteObject(hbm));
  EXPECT_FALSE(DeleteObject(hbm));
}

TEST(GdiBitmaps, BitmapFromHbitmapIsOpaque32bppRgb) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};  // bottom-up
  void* bits = nullptr;
  HBITMAP hbm = CreateDIBSection(0, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(hbm, 0u);
  const uint8_t rows[16] = {1, 2, 3, 0, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};  // bottom row first
  std::memcpy(bits, rows, 16);
  std::unique_ptr<Bitmap> made(Bitmap::FromHBITMAP(hbm, 0));
  Bitmap& bmp = *made;
  ASSERT_EQ(bmp.GetLastStatus(), Ok);
  EXPECT_EQ(bmp.GetPixelFormat(), PixelFormat32bppRGB);
  EXPECT_EQ(bmp.GetHorizontalResolution(), 96.0f);
  EXPECT_EQ(pixel(bmp, 0, 1), 0xFF030201u);
  EXPECT_EQ(pixel(bmp, 1, 1), 0xFF060504u);
  EXPECT_EQ(pixel(bmp, 1, 0), 0xFF0E0D0Cu);
  std::unique_ptr<Bitmap> bad(Bitmap::FromHBITMAP(hbm + 12345, 0));
  EXPECT_EQ(bad->GetLastStatus(), InvalidParameter);
  std::unique_ptr<Bitmap> badPalette(Bitmap::FromHBITMAP(hbm, hbm));
  EXPECT_EQ(badPalette->GetLastStatus(), InvalidParameter);
  DeleteObject(hbm);
}

TEST(GdiPalettes, EntriesAndObjectCount) {
  HPALETTE pal = make_palette({RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9)});
  ASSERT_NE(pal, 0u);
  PALETTEENTRY out[4] = {};
  EXPECT_EQ(GetPaletteEntries(pal, 1, 4, out), 2u);
  EXPECT_EQ(out[1].peRed, 7);
  EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 3u);
  WORD count = 0;
  EXPECT_EQ(GetObject(pal, sizeof count, &count), int(sizeof(WORD)));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(GetObjectType(pal), OBJ_PAL);
  EXPECT_TRUE(DeleteObject(pal));
  EXPECT_EQ(GetNearestPaletteIndex(pal, 0), CLR_INVALID);
}

TEST(GdiPalettes, NearestIndexMatchesBruteForceIncludingTies) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 3; ++round) {
    std::vector<COLORREF> colours;
    size_t n = round == 0 ? 256 : round == 1 ? 17 : 2;
    for (size_t i = 0; i < n; ++i) colours.push_back(rng() & 0xFFFFFF);
    if (round == 0) colours[200] = colours[10];  // a duplicate: the first one wins
    HPALETTE pal = make_palette(colours);
    for (int i = 0; i < 20000; ++i) {
      COLORREF c = i < 256 ? colours[i % n] : rng() & 0xFFFFFF;
      UINT best = 0;
      int bestD = INT32_MAX;
      for (UINT k = 0; k < n; ++k) {
        int dr = GetRValue(c) - GetRValue(colours[k]), dg = GetGValue(c) - GetGValue(colours[k]),
            db = GetBValue(c) - GetBValue(colours[k]);
        int d = dr * dr + dg * dg + db * db;
        if (d < bestD) bestD = d, best = k;
      }
      ASSERT_EQ(GetNearestPaletteIndex(pal, c), best) << std::hex << c;
    }
    DeleteObject(pal);
  }
}

TEST(GdiPalettes, HalftonePaletteHasVgaCubeAndGreys) {
  HPALETTE pal = DllExports::GdipCreateHalftonePalette();
  PALETTEENTRY e[256];
  ASSERT_EQ(GetPaletteEntries(pal, 0, 256, e), 256u);
  EXPECT_EQ(e[9].peRed, 255);  // VGA red
  EXPECT_EQ(e[16 + 36 * 1 + 6 * 2 + 3].peGreen, 102);
  EXPECT_EQ(e[255].peBlue, 236);
  EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(250, 250, 250)), 15u);
  DeleteObject(pal);
}

TEST(GdiDCs, MemoryDcRoundTripThroughDibits) {
  HDC dc = CreateCompatibleDC(0);
  ASSERT_NE(dc, 0u);
  HBITMAP stock = HBITMAP(GetCurrentObject(dc, OBJ_BITMAP));
  HBITMAP hbm = CreateCompatibleBitmap(dc, 3, 2);
  EXPECT_EQ(SelectObject(dc, hbm), stock);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BITMAP), hbm);
  HDC other = CreateCompatibleDC(dc);
  EXPECT_EQ(SelectObject(other, hbm), 0u);  // one DC at a time
  EXPECT_EQ(SetPixel(dc, 2, 1, RGB(10, 20, 30)), RGB(10, 20, 30));
  BITMAP bm{};
  ASSERT_EQ(GetObject(hbm, sizeof bm, &bm), int(sizeof(BITMAP)));
  EXPECT_EQ(bm.bmWidth, 3);
  EXPECT_EQ(bm.bmBitsPixel, 32);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  ASSERT_EQ(GetDIBits(dc, hbm, 0, 2, nullptr, &info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(info.bmiHeader.biSizeImage, 24u);
  info.bmiHeader.biBitCount = 24;
  uint8_t rows[2][12] = {};  // 3 * 3 bytes padded to 12, bottom-up: row 0 is y = 1
  ASSERT_EQ(GetDIBits(dc, hbm, 0, 2, rows, &info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(rows[0][6], 30);
  EXPECT_EQ(rows[0][8], 10);
  EXPECT_EQ(rows[1][6], 0);
  EXPECT_EQ(SelectObject(dc, stock), hbm);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_TRUE(DeleteDC(other));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_TRUE(DeleteObject(hbm));
}

TEST(OlePictures, BitmapPictureReportsHandlesTypeAndHimetricSize) {
  HBITMAP hbm = CreateCompatibleBitmap(0, 96, 48);
  HPALETTE pal = DllExports::GdipCreateHalftonePalette();
  PICTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.picType = PICTYPE_BITMAP;
  desc.bmp.hbitmap = hbm;
  desc.bmp.hpal = pal;
  IPicture* picture = nullptr;
  ASSERT_EQ(OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, reinterpret_cast<void**>(&picture)), S_OK);
  OLE_HANDLE h = 0;
  SHORT type = 0;
  OLE_XSIZE_HIMETRIC w = 0;
  OLE_YSIZE_HIMETRIC ht = 0;
  EXPECT_EQ(picture->get_Handle(&h), S_OK);
  EXPECT_EQ(h, hbm);
  EXPECT_EQ(picture->get_hPal(&h), S_OK);
  EXPECT_EQ(h, pal);
  EXPECT_EQ(picture->get_Type(&type), S_OK);
  EXPECT_EQ(type, SHORT(PICTYPE_BITMAP));
  picture->get_Width(&w);
  picture->get_Height(&ht);
  EXPECT_EQ(w, 2540);
  EXPECT_EQ(ht, 1270);

  IPictureDisp* disp = nullptr;
  ASSERT_EQ(picture->QueryInterface(IID_IPictureDisp, reinterpret_cast<void**>(&disp)), S_OK);
  OLECHAR name[] = u"handle";
  LPOLESTR names[] = {name};
  DISPID id = 99;
  ASSERT_EQ(disp->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  DISPPARAMS none{};
  VARIANT result{};
  ASSERT_EQ(disp->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(ULONG(result.lVal), hbm);
  EXPECT_EQ(disp->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
  OLECHAR other[] = u"Render";
  names[0] = other;
  EXPECT_EQ(disp->GetIDsOfNames(IID_NULL, names, 1, 0, &id), DISP_E_UNKNOWNNAME);
  disp->Release();
  EXPECT_EQ(GetObjectType(hbm), OBJ_BITMAP);
  EXPECT_EQ(picture->Release(), 0u);
  EXPECT_EQ(GetObjectType(hbm), 0);  // an owning picture deletes its handles
  EXPECT_EQ(GetObjectType(pal), 0);
}

TEST(OlePictures, BorrowingPictureLeavesHandlesAndBadDescriptionsFail) {
  HBITMAP hbm = CreateCompatibleBitmap(0, 1, 1);
  PICTDESC desc{};
  desc.cbSizeofstruct = sizeof desc;
  desc.picType = PICTYPE_BITMAP;
  desc.bmp.hbitmap = hbm;
  IUnknown* unk = nullptr;
  ASSERT_EQ(OleCreatePictureIndirect(&desc, IID_IUnknown, FALSE, reinterpret_cast<void**>(&unk)), S_OK);
  unk->Release();
  EXPECT_EQ(GetObjectType(hbm), OBJ_BITMAP);
  desc.cbSizeofstruct = 12;
  void* out = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(OleCreatePictureIndirect(&desc, IID_IPicture, TRUE, &out), E_INVALIDARG);
  EXPECT_EQ(out, nullptr);
  desc.cbSizeofstruct = sizeof desc;
  EXPECT_EQ(OleCreatePictureIndirect(&desc, IID_IStream, TRUE, &out), E_NOINTERFACE);
  EXPECT_EQ(GetObjectType(hbm), OBJ_BITMAP);  // a failed creation never takes the handles
  DeleteObject(hbm);
}

}  // namespace
