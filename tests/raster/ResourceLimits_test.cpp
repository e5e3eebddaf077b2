// Zentarix — MIT licence.
// The host's pixel limit: a file past it is refused before its pixels are allocated, and loads once
// the limit is raised.
#include <objbase.h>

#include <functional>

#include "RasterTestSupport.h"
#include "TestRegistry.h"
#include "zx/pixel_memory.h"
#include "zx/resource_limits.h"

namespace zx::test {
namespace {

// A w x h 1-bit BMP, every pixel black: 188 kB for 1500 x 1000, where the decoded image takes 6 MB.
std::vector<uint8_t> black_bmp(uint32_t w, uint32_t h) {
  const uint32_t stride = (w + 31) / 32 * 4, size = 62 + stride * h;
  std::vector<uint8_t> b(size, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> 8 * i);
  };
  b[0] = 'B', b[1] = 'M', b[26] = 1, b[28] = 1;
  put32(2, size), put32(10, 62), put32(14, 40), put32(18, w), put32(22, h), put32(46, 2), put32(58, 0xFFFFFF);
  return b;
}

void set_max_pixels(ULONGLONG pixels) {
  ZX_GDIP_RESOURCE_LIMITS limits{};
  ASSERT_EQ(ZxGdipGetDefaultResourceLimits(&limits), Gdiplus::Ok);
  limits.maxPixels = pixels;
  ASSERT_EQ(ZxGdipSetResourceLimits(&limits), Gdiplus::Ok);
}

HRESULT load_stream(IRasterObject* raster, const std::vector<uint8_t>& bytes) {
  ComPtr<IStream> stream;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
  ULONG written = 0;
  EXPECT_EQ(stream->Write(bytes.data(), ULONG(bytes.size()), &written), S_OK);
  LARGE_INTEGER start{};
  EXPECT_EQ(stream->Seek(start, STREAM_SEEK_SET, nullptr), S_OK);
  return raster->LoadStream(stream.get());
}

TEST(ResourceLimits, FilePastThePixelLimitIsRefusedBeforeItsPixelsAreAllocated) {
  const std::vector<uint8_t> bmp = black_bmp(1500, 1000);
  const std::string path = write_scratch("big.bmp", bmp);
  const std::u16string outOfMemory =
      gdiplus_message(u"LoadStream", u"RasterObject", u"Out of memory or GDI+ constructor error. GDI+ status code 3");
  struct Case {
    const char* road;
    std::function<HRESULT(IRasterObject*)> load;
    std::u16string refusal;
  } cases[] = {
      {"LoadFile", [&](IRasterObject* r) { return load_file(r, path); }, kCannotLoadFile + to_utf16(path)},
      {"LoadStream", [&](IRasterObject* r) { return load_stream(r, bmp); }, outOfMemory},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.road);
    ComPtr<IRasterObject> raster = make_raster();
    set_max_pixels(1'000'000);
    pixel_memory_reset_counters();
    expect_report(c.load(raster.get()), E_FAIL, c.refusal);
    // Nothing near the 6 MB of pixels was asked for: at most the file's own bytes.
    EXPECT_LE(pixel_memory_counters().largestRequest, bmp.size());
    EXPECT_TRUE(has_no_image(raster.get()));

    set_max_pixels(1'500'000);
    pixel_memory_reset_counters();
    EXPECT_EQ(c.load(raster.get()), S_OK);
    EXPECT_GE(pixel_memory_counters().largestRequest, 1500u * 1000 * 4);
    const std::vector<uint32_t> pixels = held_pixels(raster.get());
    ASSERT_EQ(pixels.size(), 1'500'000u);
    EXPECT_EQ(pixels.front(), 0xFF000000u);
    EXPECT_EQ(pixels.back(), 0xFF000000u);
  }
  ZX_GDIP_RESOURCE_LIMITS limits{};
  ASSERT_EQ(ZxGdipGetDefaultResourceLimits(&limits), Gdiplus::Ok);
  EXPECT_EQ(limits.maxPixels, 268'435'456u);
  EXPECT_EQ(ZxGdipSetResourceLimits(&limits), Gdiplus::Ok);
  limits.maxFrames = 0;  // every field must say something
  EXPECT_EQ(ZxGdipSetResourceLimits(&limits), Gdiplus::InvalidParameter);
  EXPECT_EQ(ZxGdipGetResourceLimits(&limits), Gdiplus::Ok);
  EXPECT_EQ(limits.maxFrames, 10'000u);
}

}  // namespace
}  // namespace zx::test
