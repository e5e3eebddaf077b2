// Zentarix — MIT licence.
// Test support for the layer collection: activation, items, reports, and GIF and TIFF files made
// and read with giflib and libtiff.
#pragma once
#include <gif_lib.h>
#include <tiffio.h>

#include <string>
#include <vector>

#include "RasterTestSupport.h"
#include "TestRegistry.h"

namespace zx::test {

inline constexpr OLECHAR kCollectionSource[] = u"Zentarix.RasterCollection.1";
inline constexpr OLECHAR kCollectionError[] = u"Error in the collection occured (it is possible wrong index)";

inline ComPtr<IRasterCollection> make_collection() {
  make_raster();  // registers the module once
  CLSID clsid = GUID_NULL;
  EXPECT_EQ(CLSIDFromProgID(u"Zentarix.RasterCollection", &clsid), S_OK);
  ComPtr<IRasterCollection> collection;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IRasterCollection, collection.put_void()), S_OK);
  return collection;
}

inline void expect_collection_report(HRESULT hr, HRESULT expected, const std::u16string& description,
                                     const GUID& iid = IID_IRasterCollection) {
  expect_report(hr, expected, description, iid, kCollectionSource);
}

// The collection's own error record: its text and interface, no source.
inline void expect_collection_error(HRESULT hr, HRESULT expected, const GUID& iid = IID_IRasterCollection) {
  expect_report(hr, expected, kCollectionError, iid, u"");
}

inline Variant i4(LONG value) {
  Variant v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}
inline Variant text(const std::u16string& value) {
  Variant v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = Bstr(value).detach();
  return v;
}

// A new item at the end holding width x height pixels (none when pixels is empty).
inline ComPtr<IRasterItem> add_item(IRasterCollection* collection, int width = 0, int height = 0,
                                    const std::vector<uint32_t>& pixels = {}) {
  ComPtr<IRasterItem> item;
  EXPECT_EQ(collection->Add(-1, item.put()), S_OK);
  if (pixels.empty()) return item;
  EXPECT_EQ(item->EmptyImage(width, height, 0), S_OK);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      EXPECT_EQ(item->put_Pixels(x, y, static_cast<LONG>(pixels[static_cast<size_t>(y) * width + x])), S_OK);
  return item;
}

inline ComPtr<IRasterItem> item_at(IRasterCollection* collection, LONG position) {
  ComPtr<IRasterItem> item;
  EXPECT_EQ(collection->get_Item(i4(position), item.put()), S_OK);
  return item;
}

inline std::u16string key_of(IRasterItem* item) {
  Bstr key;
  EXPECT_EQ(item->get_Key(key.put()), S_OK);
  return std::u16string(key.view());
}

// Files the tests write live in a folder of the process's own, removed when the process ends.
inline std::string output_path(const std::string& name) {
  struct Folder {
    std::filesystem::path path = std::filesystem::path(ZX_BINARY_DIR) / ("collection-" + std::to_string(getpid()));
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() { std::filesystem::remove_all(path); }
  };
  static const Folder folder;
  return (folder.path / name).string();
}

inline bool file_exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// ---- GIF ----------------------------------------------------------------------------------------

// The frames of a GIF as a viewer shows them, composed from giflib's own decoding: the canvas
// starts transparent; each frame is drawn at its place without its transparent index, shown, then
// disposed of as its control block says.
struct GifAnimation {
  bool ok = false;
  int width = 0, height = 0;
  std::vector<std::vector<uint32_t>> frames;
  std::vector<int> delays, transparent;
};

inline GifAnimation read_gif(const std::string& path) {
  GifAnimation out;
  int error = 0;
  GifFileType* g = DGifOpenFileName(path.c_str(), &error);
  if (!g) return out;
  if (DGifSlurp(g) == GIF_OK) {
    out.ok = true;
    out.width = g->SWidth;
    out.height = g->SHeight;
    std::vector<uint32_t> canvas(static_cast<size_t>(out.width) * out.height, 0);
    for (int i = 0; i < g->ImageCount; ++i) {
      const SavedImage& image = g->SavedImages[i];
      const GifImageDesc& d = image.ImageDesc;
      GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
      DGifSavedExtensionToGCB(g, i, &gcb);
      const ColorMapObject* map = d.ColorMap ? d.ColorMap : g->SColorMap;
      const std::vector<uint32_t> before = canvas;
      for (int y = 0; y < d.Height; ++y)
        for (int x = 0; x < d.Width; ++x) {
          const int index = image.RasterBits[y * d.Width + x];
          if (index == gcb.TransparentColor || d.Left + x >= out.width || d.Top + y >= out.height) continue;
          const GifColorType c = map->Colors[index];
          canvas[static_cast<size_t>(d.Top + y) * out.width + d.Left + x] =
              0xFF000000u | uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue;
        }
      out.frames.push_back(canvas);
      out.delays.push_back(gcb.DelayTime);
      out.transparent.push_back(gcb.TransparentColor);
      if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
        for (int y = d.Top; y < std::min(d.Top + d.Height, out.height); ++y)
          for (int x = d.Left; x < std::min(d.Left + d.Width, out.width); ++x) canvas[static_cast<size_t>(y) * out.width + x] = 0;
      } else if (gcb.DisposalMode == DISPOSE_PREVIOUS) {
        canvas = before;
      }
    }
  }
  DGifCloseFile(g, &error);
  return out;
}

// One frame of a GIF the tests write: a rectangle of indices into the global table.
struct GifFrameSpec {
  int left, top, width, height;
  std::vector<uint8_t> indices;
  int disposal;
  int transparent;  // NO_TRANSPARENT_COLOR for none
};

inline void write_gif(const std::string& path, int width, int height, const std::vector<uint32_t>& table,
                      const std::vector<GifFrameSpec>& frames) {
  int error = 0;
  GifFileType* g = EGifOpenFileName(path.c_str(), false, &error);
  ASSERT_NE(g, nullptr);
  EGifSetGifVersion(g, true);
  ColorMapObject* map = GifMakeMapObject(static_cast<int>(table.size()), nullptr);
  for (size_t i = 0; i < table.size(); ++i)
    map->Colors[i] = {GifByteType(table[i] >> 16), GifByteType(table[i] >> 8), GifByteType(table[i])};
  EXPECT_EQ(EGifPutScreenDesc(g, width, height, 8, 0, map), GIF_OK);
  for (const GifFrameSpec& f : frames) {
    GraphicsControlBlock gcb{f.disposal, false, 7, f.transparent};
    GifByteType ext[4];
    EGifGCBToExtension(&gcb, ext);
    EXPECT_EQ(EGifPutExtension(g, GRAPHICS_EXT_FUNC_CODE, 4, ext), GIF_OK);
    EXPECT_EQ(EGifPutImageDesc(g, f.left, f.top, f.width, f.height, false, nullptr), GIF_OK);
    std::vector<uint8_t> row;
    for (int y = 0; y < f.height; ++y) {
      row.assign(f.indices.begin() + y * f.width, f.indices.begin() + (y + 1) * f.width);
      EXPECT_EQ(EGifPutLine(g, row.data(), f.width), GIF_OK);
    }
  }
  EGifCloseFile(g, &error);
  GifFreeMapObject(map);
}

// ---- TIFF ---------------------------------------------------------------------------------------

struct TiffPage {
  uint32_t width = 0, height = 0;
  uint16_t samples = 0, compression = 0;
  uint32_t subfileType = 0;
  std::vector<uint32_t> argb;  // as libtiff's RGBA reader gives it (premultiplied), top row first
};

inline std::vector<TiffPage> read_tiff(const std::string& path) {
  std::vector<TiffPage> pages;
  TIFFSetWarningHandler(nullptr);  // tags libtiff does not know are no failure here
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return pages;
  do {
    TiffPage p;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &p.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &p.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &p.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &p.compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SUBFILETYPE, &p.subfileType);
    std::vector<uint32_t> rgba(size_t(p.width) * p.height);
    if (TIFFReadRGBAImageOriented(tif, p.width, p.height, rgba.data(), ORIENTATION_TOPLEFT, 0))
      for (uint32_t v : rgba)
        p.argb.push_back(TIFFGetA(v) << 24 | TIFFGetR(v) << 16 | TIFFGetG(v) << 8 | TIFFGetB(v));
    pages.push_back(std::move(p));
  } while (TIFFReadDirectory(tif));
  TIFFClose(tif);
  return pages;
}

// A one-pixel TIFF holding these samples (8 bits each); a fourth sample is alpha of the kind given.
inline void write_tiff_pixel(const std::string& path, std::vector<uint8_t> samples, uint16_t photometric,
                             uint16_t alpha = EXTRASAMPLE_UNSPECIFIED) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 1);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 1);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples.size()));
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  if (samples.size() == 4) TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &alpha);
  TIFFWriteScanline(tif, samples.data(), 0, 0);
  TIFFClose(tif);
}

}  // namespace zx::test
