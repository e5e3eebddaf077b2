// Zentarix — MIT licence.
// Every corpus file decodes (or fails) as its manifest entry says, through the codec registry.
#include <cmath>
#include <map>
#include <sstream>

#include "decoder_test_support.h"

namespace zx::gdip::test {
namespace {

struct ManifestRow {
  std::string file, category, format, expected, width, height, dpi, frames, alpha;
};

std::vector<ManifestRow> read_manifest() {
  std::ifstream in(corpus("MANIFEST.tsv"));
  std::vector<ManifestRow> rows;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    for (std::string cell; std::getline(ss, cell, '\t');) f.push_back(cell);
    if (f.size() < 10) continue;
    rows.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[7], f[8], f[9]});
  }
  return rows;
}

std::string format_name(const GUID& g) {
  static const std::pair<GUID, const char*> kNames[] = {
      {Gdiplus::ImageFormatJPEG, "JPEG"}, {Gdiplus::ImageFormatPNG, "PNG"}, {Gdiplus::ImageFormatBMP, "BMP"},
      {Gdiplus::ImageFormatGIF, "GIF"},   {Gdiplus::ImageFormatTIFF, "TIFF"}, {Gdiplus::ImageFormatEMF, "EMF"},
      {Gdiplus::ImageFormatWMF, "WMF"},   {Gdiplus::ImageFormatIcon, "ICO"}};
  for (const auto& [guid, name] : kNames)
    if (same_guid(g, guid)) return name;
  return "?";
}

// "300x600 (JFIF ...)" -> {300, 600}; "none ..." -> the 96 dpi display default.
std::pair<float, float> manifest_dpi(const std::string& cell) {
  float x = 96, y = 96;
  if (cell.rfind("none", 0) != 0 && std::sscanf(cell.c_str(), "%fx%f", &x, &y) != 2) x = y = -1;
  return {x, y};
}

bool is_clean_failure(Gdiplus::Status s) {
  return s == Gdiplus::GenericError || s == Gdiplus::InvalidParameter || s == Gdiplus::OutOfMemory;
}

void check_row(const ManifestRow& row) {
  SCOPED_TRACE(row.file);
  const std::vector<uint8_t> data = read_file(corpus(row.file));
  ASSERT_FALSE(data.empty());
  const CodecEntry* codec = codec_for(data);
  if (row.format.rfind("unrecognised", 0) == 0) {
    EXPECT_EQ(codec, nullptr) << "recognised as " << format_name(codec->formatId);
    return;
  }
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(format_name(codec->formatId), row.format);

  DecodeResult r;
  decode_into(data, r);
  if (row.expected.rfind("fail or out-of-memory", 0) == 0) {
    // A bomb is refused before any pixel memory is asked for.
    EXPECT_EQ(r.status, Gdiplus::OutOfMemory);
    EXPECT_EQ(r.sink.allocations, 0);
    return;
  }
  if (row.expected.rfind("fail", 0) == 0) {
    if (r.status == Gdiplus::Ok) {  // "or partial image"
      EXPECT_EQ(r.sink.width, std::stoi(row.width));
      EXPECT_EQ(r.sink.height, std::stoi(row.height));
    } else {
      EXPECT_TRUE(is_clean_failure(r.status)) << r.status;
    }
    return;
  }
  ASSERT_EQ(r.status, Gdiplus::Ok);
  EXPECT_EQ(format_name(r.info.rawFormat), row.format);
  if (row.category == "wmf") {  // recognised, no pixels of its own
    EXPECT_EQ(r.sink.allocations, 0);
    return;
  }
  EXPECT_EQ(r.sink.format, Gdiplus::PixelFormat32bppARGB);
  EXPECT_EQ(r.sink.width, std::stoi(row.width));
  EXPECT_EQ(r.sink.height, std::stoi(row.height));
  EXPECT_EQ(r.info.frameCount, static_cast<UINT>(std::stoi(row.frames)));
  if (row.category != "ico") {
    const auto [dpi_x, dpi_y] = manifest_dpi(row.dpi);
    EXPECT_NEAR(r.info.dpiX, dpi_x, 0.01);
    EXPECT_NEAR(r.info.dpiY, dpi_y, 0.01);
  }
  // "yes" marks an alpha channel or a transparent index as stored, which a file need not use (an
  // animation's first frame may not show its transparent colour): the decoded format must keep
  // alpha. "no" files come out fully opaque.
  if (row.alpha.rfind("yes", 0) == 0) {
    EXPECT_TRUE(Gdiplus::IsAlphaPixelFormat(r.sink.format));
  } else if (row.alpha.rfind("no", 0) == 0) {
    EXPECT_FALSE(r.sink.any_translucent());
  }
  EXPECT_EQ(same_guid(r.info.frameDimension, Gdiplus::FrameDimensionTime), row.format == "GIF");
}

TEST(DecoderCorpus, EveryFileDecodesOrFailsAsItsManifestSays) {
  const std::vector<ManifestRow> rows = read_manifest();
  ASSERT_GT(rows.size(), 50u);
  for (const ManifestRow& row : rows) {
    if (row.category == "emf") continue;  // EMF playback is not built yet
    check_row(row);
  }
}

// Cut and damaged copies of every loadable file: each decode fails with a clean status or gives an
// image of the declared size; sanitizer builds catch any out-of-bounds access on the way.
TEST(DecoderCorpus, CutAndDamagedFilesFailCleanlyOrDecodeInPart) {
  for (const ManifestRow& row : read_manifest()) {
    if (row.expected.rfind("load OK", 0) != 0 || row.category == "emf") continue;
    const std::vector<uint8_t> data = read_file(corpus(row.file));
    if (data.size() > 100000) continue;  // the small files cover every format
    SCOPED_TRACE(row.file);
    std::vector<std::vector<uint8_t>> variants;
    for (size_t eighth = 1; eighth < 8; eighth += 2) variants.emplace_back(data.begin(), data.begin() + data.size() * eighth / 8);
    for (size_t k = 1; k <= 3; ++k) {
      std::vector<uint8_t> damaged = data;
      for (size_t i = 16 * k; i < damaged.size(); i += damaged.size() / (7 * k) + 1) damaged[i] ^= 0x5A;
      variants.push_back(std::move(damaged));
    }
    for (const auto& v : variants) {
      const CodecEntry* codec = codec_for(v);
      if (!codec || !codec->decode) continue;
      DecodeResult r;
      r.status = codec->decode(v, DecodeOptions{}, r.sink, r.info);
      if (r.status == Gdiplus::Ok) {
        EXPECT_GT(r.sink.width, 0);
      } else {
        EXPECT_TRUE(is_clean_failure(r.status)) << r.status;
      }
    }
  }
}

TEST(DecoderCorpus, EmfIsRecognisedButFailsWithItsFrameSize) {
  const std::vector<uint8_t> data = read_file(corpus("emf/pillow_drawing.emf"));
  DecodeResult r;
  decode_into(data, r);
  EXPECT_EQ(r.status, Gdiplus::GenericError);
  EXPECT_TRUE(same_guid(r.info.rawFormat, Gdiplus::ImageFormatEMF));
  EXPECT_EQ(r.sink.allocations, 0);
  EXPECT_EQ(r.info.width, 1370);
  EXPECT_EQ(r.info.height, 1370);
}

TEST(DecoderCorpus, PlaceableWmfReportsItsBoundingBoxAtItsOwnResolution) {
  DecodeResult r;
  decode_into(read_file(corpus("wmf/lo-sdk_burger.wmf")), r);
  ASSERT_EQ(r.status, Gdiplus::Ok);
  EXPECT_EQ(r.info.width, 1065 + 1225);
  EXPECT_EQ(r.info.height, 1137 + 898);
  EXPECT_FLOAT_EQ(r.info.dpiX, 1000.0f);
}

TEST(DecoderCorpus, GifFramesAfterTheFirstCompositeOverTheEarlierOnes) {
  const std::vector<uint8_t> data = read_file(corpus("gif/wx_throbber.gif"));
  DecodeResult first, third;
  decode_into(data, first, true, 0);
  decode_into(data, third, true, 2);
  ASSERT_EQ(first.status, Gdiplus::Ok);
  ASSERT_EQ(third.status, Gdiplus::Ok);
  EXPECT_EQ(third.info.frameCount, 8u);
  EXPECT_NE(first.sink.pixels, third.sink.pixels);
  // The animation's metadata as property items: a delay of 10 per frame, loop forever, the 16-colour
  // global table, background and transparent index 15.
  std::vector<std::pair<Gdiplus::PROPID, std::vector<uint8_t>>> items;
  for (const PropertyData& p : third.info.properties) items.emplace_back(p.id, p.value.size() > 4 ? std::vector<uint8_t>{} : p.value);
  const std::vector<uint8_t> ten = {10, 0, 0, 0};
  EXPECT_EQ(third.info.properties.at(0).value.size(), 8u * 4u);
  EXPECT_EQ(std::vector<uint8_t>(third.info.properties[0].value.end() - 4, third.info.properties[0].value.end()), ten);
  EXPECT_EQ(items, (std::vector<std::pair<Gdiplus::PROPID, std::vector<uint8_t>>>{
                       {Gdiplus::PropertyTagFrameDelay, {}},
                       {Gdiplus::PropertyTagLoopCount, {0, 0}},
                       {Gdiplus::PropertyTagGlobalPalette, {}},
                       {Gdiplus::PropertyTagIndexBackground, {15}},
                       {Gdiplus::PropertyTagIndexTransparent, {15}}}));
  DecodeResult beyond;
  decode_into(data, beyond, true, 8);
  EXPECT_EQ(beyond.status, Gdiplus::GenericError);
  EXPECT_EQ(beyond.sink.allocations, 0);
}

TEST(DecoderCorpus, TiffPagesAreSelectedByFrameIndex) {
  const std::vector<uint8_t> data = read_file(corpus("tiff/pillow_multipage.tiff"));
  DecodeResult page2, missing;
  decode_into(data, page2, true, 2);
  EXPECT_EQ(page2.status, Gdiplus::Ok);
  EXPECT_EQ(page2.info.frameCount, 3u);
  decode_into(data, missing, true, 3);
  EXPECT_EQ(missing.status, Gdiplus::InvalidParameter);
}

}  // namespace
}  // namespace zx::gdip::test
