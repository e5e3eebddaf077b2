// Zentarix — MIT licence.
// Multi-frame files through the public surface: counting, loading (libtiff and GIF roads), saving
// read back with libtiff and giflib, and the corpus.
#include "CollectionTestSupport.h"

namespace zx::test {
namespace {

LONG count_of(IRasterCollection* c) {
  LONG n = -1;
  EXPECT_EQ(c->get_Count(&n), S_OK);
  return n;
}

HRESULT load(IRasterCollection* c, const std::string& path, VARIANT_BOOL clear = VARIANT_TRUE, INT index = -1) {
  return c->LoadMultiframeImage(Bstr(to_utf16(path)).get(), clear, index);
}

HRESULT save(IRasterCollection* c, const std::string& path, const VARIANT& info, VARIANT_BOOL all = VARIANT_TRUE) {
  return c->SaveMultiframeImage(Bstr(to_utf16(path)).get(), info, all);
}

TEST(Multiframe, CorpusFramesAreCountedAndLoaded) {
  ComPtr<IRasterCollection> c = make_collection();
  int checked = 0;
  for (const ManifestRow& row : read_manifest()) {
    const bool good = row.expected.rfind("load OK", 0) == 0 && std::atoi(row.frames.c_str()) > 1;
    if (!good && row.file.rfind("corrupt/", 0) != 0) continue;
    SCOPED_TRACE(row.file);
    const Bstr path(to_utf16(corpus_path(row.file)));
    LONG frames = -1;
    const HRESULT counted = c->GetFramesCount(path.get(), &frames);
    const HRESULT loaded = c->LoadMultiframeImage(path.get(), VARIANT_TRUE, -1);
    if (!good) continue;  // a broken file fails cleanly or loads in part: it must only not crash
    ++checked;
    ASSERT_EQ(counted, S_OK);
    ASSERT_EQ(loaded, S_OK);
    EXPECT_EQ(frames, std::atoi(row.frames.c_str()));
    ASSERT_EQ(count_of(c.get()), frames);
    // The manifest gives the first frame's size; libtiff and giflib give every frame's.
    std::vector<std::string> sizes;
    if (row.format == "TIFF")
      for (const TiffPage& page : read_tiff(corpus_path(row.file)))
        sizes.push_back(std::to_string(page.width) + "x" + std::to_string(page.height));
    else
      sizes.assign(size_t(frames), row.width + "x" + row.height);  // a GIF's frames are its screen
    ASSERT_EQ(sizes.size(), size_t(frames));
    EXPECT_EQ(sizes[0], row.width + "x" + row.height);
    for (LONG i = 0; i < frames; ++i) {
      LONG width = 0, height = 0;
      item_at(c.get(), i)->get_Width(&width);
      item_at(c.get(), i)->get_Height(&height);
      EXPECT_EQ(std::to_string(width) + "x" + std::to_string(height), sizes[size_t(i)]);
    }
  }
  EXPECT_EQ(checked, 3);
}

TEST(Multiframe, CountsOfOtherFiles) {
  ComPtr<IRasterCollection> c = make_collection();
  LONG frames = 0;
  EXPECT_EQ(c->GetFramesCount(Bstr(to_utf16(corpus_path("png/pngsuite_basn6a08.png"))).get(), &frames), S_OK);
  EXPECT_EQ(frames, 1);
  frames = 0;
  expect_collection_report(c->GetFramesCount(Bstr(to_utf16(corpus_path("MANIFEST.tsv"))).get(), &frames), E_FAIL,
                           gdiplus_message(u"GetFramesCount", u"RasterCollection",
                                           u"Required image format is not supported. GDI+ status code 13"));
  EXPECT_EQ(frames, -1);
}

TEST(Multiframe, OneTiffPageByIndex) {
  const std::string file = corpus_path("tiff/pillow_multipage.tiff");
  const std::vector<TiffPage> pages = read_tiff(file);
  ASSERT_EQ(pages.size(), 3u);
  ComPtr<IRasterCollection> c = make_collection();
  add_item(c.get());
  ASSERT_EQ(load(c.get(), file, VARIANT_FALSE, 1), S_OK);
  ASSERT_EQ(count_of(c.get()), 2);  // the item there before stays in front
  EXPECT_EQ(read_pixels(item_at(c.get(), 1).get()), pages[1].argb);
  ASSERT_EQ(load(c.get(), file, VARIANT_TRUE, 1), S_OK);
  ASSERT_EQ(count_of(c.get()), 1);
  EXPECT_EQ(key_of(item_at(c.get(), 0).get()), u"RasterObject0");
  expect_collection_report(load(c.get(), file, VARIANT_TRUE, 3), E_INVALIDARG, u"Index is out of frames count");
  EXPECT_EQ(count_of(c.get()), 1);  // the index is checked before the collection is cleared
}

// A page that declares more pixels than a bitmap may hold is never read (nor allocated for).
TEST(Multiframe, UnreadableTiffPage) {
  const std::string file = output_path("giant.tif");
  write_tiff_pixel(file, {7}, PHOTOMETRIC_MINISBLACK);
  // The directory's width and length (Short entries, tags 256 and 257) become 60000.
  std::vector<uint8_t> bytes = read_bytes(file);
  const uint32_t ifd = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | uint32_t(bytes[7]) << 24;
  for (size_t e = ifd + 2; e + 12 <= bytes.size() && e < ifd + 2 + 12u * bytes[ifd]; e += 12)
    if ((bytes[e] == 0 || bytes[e] == 1) && bytes[e + 1] == 1) bytes[e + 8] = 0x60, bytes[e + 9] = 0xEA;
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

  ComPtr<IRasterCollection> c = make_collection();
  add_item(c.get());
  expect_report(load(c.get(), file, VARIANT_TRUE, 0), DISP_E_EXCEPTION, u"Cannot read this TIFF", IID_IRasterCollection,
                kCollectionSource);
  EXPECT_EQ(count_of(c.get()), 0);
  EXPECT_EQ(load(c.get(), file), S_OK);  // every page up to the first it cannot read: none
  EXPECT_EQ(count_of(c.get()), 0);
}

// libtiff premultiplies what it reads; the layers hold straight alpha again.
TEST(Multiframe, TiffAlphaIsReadBackStraight) {
  struct Case {
    uint16_t extra;
    uint8_t stored[4];  // R, G, B, A as the file holds them
    uint32_t expected;
  };
  const Case cases[] = {
      {EXTRASAMPLE_ASSOCALPHA, {64, 32, 128, 128}, 0x808040FF},  // (c * 255 + 64) / 128
      {EXTRASAMPLE_ASSOCALPHA, {10, 10, 10, 0}, 0x00000000},
      {EXTRASAMPLE_UNASSALPHA, {200, 100, 50, 255}, 0xFFC86432},
      {EXTRASAMPLE_UNASSALPHA, {255, 0, 128, 128}, 0x80FF0080},
  };
  const std::string file = output_path("alpha.tif");
  ComPtr<IRasterCollection> c = make_collection();
  for (const Case& test : cases) {
    SCOPED_TRACE(test.expected);
    write_tiff_pixel(file, {test.stored, test.stored + 4}, PHOTOMETRIC_RGB, test.extra);
    ASSERT_EQ(load(c.get(), file), S_OK);
    EXPECT_EQ(read_pixels(item_at(c.get(), 0).get()), std::vector<uint32_t>{test.expected});
  }
}

// Four frames that exercise the composition: a sub-rectangle, transparency and the three disposals.
TEST(Multiframe, GifFramesAreTheComposedFrames) {
  const std::vector<uint32_t> table = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  const int N = NO_TRANSPARENT_COLOR;
  const std::vector<GifFrameSpec> frames = {
      {0, 0, 4, 3, std::vector<uint8_t>(12, 1), DISPOSAL_UNSPECIFIED, N},
      {1, 1, 2, 2, {2, 0, 0, 2}, DISPOSE_PREVIOUS, 0},
      {0, 1, 3, 1, {3, 3, 3}, DISPOSE_BACKGROUND, N},
      {2, 0, 2, 2, {0, 2, 2, 0}, DISPOSE_DO_NOT, 0},
  };
  const std::string file = output_path("four.gif");
  write_gif(file, 4, 3, table, frames);
  const GifAnimation expected = read_gif(file);
  ASSERT_EQ(expected.frames.size(), 4u);
  ComPtr<IRasterCollection> c = make_collection();
  ASSERT_EQ(load(c.get(), file), S_OK);
  ASSERT_EQ(count_of(c.get()), 4);
  for (LONG i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ComPtr<IRasterItem> item = item_at(c.get(), i);
    OutputFileTypes type = oftUnknown;
    item->get_OutputFileType(&type);
    EXPECT_EQ(type, oftJPEG);
    EXPECT_EQ(key_of(item.get()), u"RasterObject" + to_utf16(std::to_string(i)));
    EXPECT_EQ(read_pixels(item.get()), expected.frames[static_cast<size_t>(i)]);
  }
  // One frame alone, decoded from the start, is the same frame.
  ASSERT_EQ(load(c.get(), file, VARIANT_TRUE, 3), S_OK);
  EXPECT_EQ(read_pixels(item_at(c.get(), 0).get()), expected.frames[3]);
}

// Layers in halftone colours, so that every pixel survives the GIF's palette exactly.
std::vector<uint32_t> pattern(int width, int height, uint32_t seed) {
  static const uint32_t kColours[] = {0xFF000000, 0xFFFFFFFF, 0xFF3366CC, 0xFFFF9900, 0xFF00CC33, 0xFF993366};
  std::vector<uint32_t> pixels;
  for (int i = 0; i < width * height; ++i) pixels.push_back(kColours[(i * 7 + seed) % 6]);
  return pixels;
}

TEST(Multiframe, SavedTiffPagesReadBackWithLibtiff) {
  ComPtr<IRasterCollection> c = make_collection();
  const std::vector<std::pair<int, int>> sizes = {{5, 4}, {3, 7}, {6, 1}};
  for (size_t i = 0; i < sizes.size(); ++i)
    add_item(c.get(), sizes[i].first, sizes[i].second, pattern(sizes[i].first, sizes[i].second, uint32_t(i)));
  ComPtr<ITIFFEncoderInfo> none;
  CLSID clsid = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(u"Zentarix.TIFFEncoderInfo", &clsid), S_OK);
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITIFFEncoderInfo, none.put_void()), S_OK);
  none->put_CompressionType(tctNone);
  none->put_ColorDepth(cd24bpp);
  Variant settings;
  V_VT(&settings) = VT_DISPATCH;
  V_DISPATCH(&settings) = ComPtr<ITIFFEncoderInfo>(none).detach();
  struct Case {
    const char* name;
    const VARIANT* info;
    uint16_t samples, compression;
  };
  const Variant tiff = i4(oftTIFF);
  for (const Case& test : {Case{"plain", &tiff, 4, COMPRESSION_LZW}, Case{"settings", &settings, 3, COMPRESSION_NONE}}) {
    SCOPED_TRACE(test.name);
    const std::string file = output_path(std::string(test.name) + ".tif");
    ASSERT_EQ(save(c.get(), file, *test.info), S_OK);
    const std::vector<TiffPage> pages = read_tiff(file);
    ASSERT_EQ(pages.size(), sizes.size());
    for (size_t i = 0; i < pages.size(); ++i) {
      EXPECT_EQ(std::make_pair(int(pages[i].width), int(pages[i].height)), sizes[i]);
      EXPECT_EQ(std::make_pair(pages[i].samples, pages[i].compression), std::make_pair(test.samples, test.compression));
      EXPECT_EQ(pages[i].subfileType, uint32_t(FILETYPE_PAGE));
      EXPECT_EQ(pages[i].argb, pattern(sizes[i].first, sizes[i].second, uint32_t(i)));
    }
  }
  // Depths and compressions the multi-frame road does not write, refused before anything is written.
  const std::string refused = output_path("refused.tif");
  none->put_ColorDepth(cd8bpp);
  EXPECT_EQ(save(c.get(), refused, settings), E_INVALIDARG);
  none->put_ColorDepth(cd32bpp);
  none->put_CompressionType(tctRLE);
  EXPECT_EQ(save(c.get(), refused, settings), E_INVALIDARG);
  EXPECT_FALSE(file_exists(refused));
}

TEST(Multiframe, SavedGifSkipsInvisibleItemsAndReadsBackWithGiflib) {
  ComPtr<IRasterCollection> c = make_collection();
  std::vector<uint32_t> last = pattern(3, 2, 1);
  last[4] = 0x00FFFFFF;  // transparent: the frame's transparent index
  add_item(c.get(), 2, 2, pattern(2, 2, 0))->put_IsVisible(0);
  add_item(c.get(), 4, 3, pattern(4, 3, 2));
  add_item(c.get(), 4, 3, pattern(4, 3, 3))->put_IsVisible(0);
  add_item(c.get(), 3, 2, last);
  const std::string file = output_path("layers.gif");
  ASSERT_EQ(save(c.get(), file, i4(oftGIF), VARIANT_FALSE), S_OK);
  const GifAnimation gif = read_gif(file);
  ASSERT_TRUE(gif.ok);
  ASSERT_EQ(gif.frames.size(), 2u);
  EXPECT_EQ(std::make_pair(gif.width, gif.height), std::make_pair(4, 3));
  EXPECT_EQ(gif.delays, (std::vector<int>{100, 100}));
  EXPECT_EQ(gif.frames[0], pattern(4, 3, 2));
  // Each frame shows itself alone: the first is cleared away, and the transparent pixel is empty.
  std::vector<uint32_t> second(12, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) second[size_t(y * 4 + x)] = last[size_t(y * 3 + x)] >> 24 ? last[size_t(y * 3 + x)] : 0;
  EXPECT_EQ(gif.frames[1], second);
  EXPECT_EQ(gif.transparent[0], NO_TRANSPARENT_COLOR);
  EXPECT_NE(gif.transparent[1], NO_TRANSPARENT_COLOR);

  // Late-bound without the last argument, invisible items are saved too.
  DISPID id = 0;
  LPOLESTR name = const_cast<LPOLESTR>(u"SaveMultiframeImage");
  ASSERT_EQ(c->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
  Variant args[2] = {i4(oftGIF), text(to_utf16(file))};  // in reverse order, as hosts pass them
  DISPPARAMS params{args, nullptr, 2, 0};
  ASSERT_EQ(c->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(read_gif(file).frames.size(), 4u);
}

TEST(Multiframe, SaveRefusalsWriteNothing) {
  ComPtr<IRasterCollection> c = make_collection();
  const std::string file = output_path("refused.gif");
  Variant word = text(u"tiff"), object;
  V_VT(&object) = VT_DISPATCH;
  V_DISPATCH(&object) = ComPtr<IRasterObject>(make_raster()).detach();
  expect_report(save(c.get(), file, i4(oftGIF), VARIANT_FALSE), DISP_E_EXCEPTION,
                u"No data to save the multiframe image!", IID_IRasterCollection, kCollectionSource);
  add_item(c.get(), 1, 1, {0xFF000000});
  expect_collection_report(save(c.get(), file, i4(oftJPEG)), E_INVALIDARG,
                           u"Only TIFF and GIF multiframe file formats are supported!");
  expect_collection_report(save(c.get(), file, word), E_INVALIDARG,
                           u"You should pass OutputFileTypes members or TIFFEncoderInfo object!");
  expect_collection_report(save(c.get(), file, object), E_NOINTERFACE,
                           u"You must pass only TIFFEncoderInfo object (or OutputFileTypes members)!");
  add_item(c.get());  // a frame without an image fails the save
  add_item(c.get(), 1, 1, {0xFF000000});
  expect_collection_report(save(c.get(), file, i4(oftGIF)), E_FAIL,
                           gdiplus_message(u"SaveMultiframeImage", u"RasterCollection",
                                           u"Invalid parameter. GDI+ status code 2"));
  EXPECT_FALSE(file_exists(file));
  // The refusal is not held against the layers: a save without the empty one succeeds.
  ASSERT_EQ(c->Remove(i4(1)), S_OK);
  EXPECT_EQ(save(c.get(), file, i4(oftGIF)), S_OK);
  EXPECT_EQ(read_gif(file).frames.size(), 2u);
}

}  // namespace
}  // namespace zx::test
