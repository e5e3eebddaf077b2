// Zentarix — MIT licence.
// The raster object's twenty-three external effect methods, late-bound, against properties computed here.
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "EffectTestSupport.h"
#include "TestRegistry.h"

namespace zx::test {
namespace {

using Check = std::function<void(const Image& before, const Image& after)>;

// Every pixel passes test(before, after).
Check each_pixel(const std::function<bool(uint32_t, uint32_t)>& test) {
  return [test](const Image& before, const Image& after) {
    for (size_t i = 0; i < after.pixels.size(); ++i)
      ASSERT_TRUE(test(before.pixels[i], after.pixels[i])) << std::hex << before.pixels[i] << " -> " << after.pixels[i];
  };
}
const Check kUnchanged = [](const Image& before, const Image& after) { EXPECT_EQ(after.pixels, before.pixels); };
bool grey(uint32_t c) { return channel(c, 0) == channel(c, 1) && channel(c, 1) == channel(c, 2); }

// Values cover 0..255 and keep their order (equal in, equal out; larger in, not smaller out), over
// each channel on its own or over the three together.
void expect_stretched(const Image& before, const Image& after, bool shared) {
  for (int first = 0; first < (shared ? 1 : 3); ++first) {
    int low = 255, high = 0, seen[256];
    std::fill(seen, seen + 256, -1);
    for (size_t i = 0; i < after.pixels.size(); ++i)
      for (int c = first; c <= (shared ? 2 : first); ++c) {
        const int in = channel(before.pixels[i], c), out = channel(after.pixels[i], c);
        EXPECT_TRUE(seen[in] < 0 || seen[in] == out);
        seen[in] = out;
        low = std::min(low, out), high = std::max(high, out);
      }
    for (int v = 0, last = 0; v < 256; ++v)
      if (seen[v] >= 0) {
        EXPECT_GE(seen[v], last);
        last = seen[v];
      }
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 255);
  }
}

// The hue of a colour in degrees (the HSL hexagon).
double hue_of(int r, int g, int b) {
  const int high = std::max({r, g, b}), d = high - std::min({r, g, b});
  const double h = high == r ? double(g - b) / d : high == g ? double(b - r) / d + 2 : double(r - g) / d + 4;
  return std::fmod(60 * h + 360, 360);
}

uint32_t narrow(int x, int y) { return 0xFF000000u | (100 + x) << 16 | (120 + y) << 8 | (90 + (x + y) % 30); }
uint32_t step_edge(int x, int) { return x < 8 ? 0xFF646464u : 0xFF969696u; }
uint32_t flat(int, int) { return 0xFF5A7896u; }

TEST(EffectMethods, EachChangesTheImageAsItsNamePromises) {
  register_effects();
  const LONG bg = static_cast<LONG>(0xFF123456u);
  const struct {
    const char16_t* method;
    std::vector<Variant> args;
    std::function<uint32_t(int, int)> image;  // null: the loaded photo
    Check check;
  } cases[] = {
      {u"AutoLevel", {}, narrow, [](const Image& b, const Image& a) { expect_stretched(b, a, false); }},
      {u"AutoContrast", {}, narrow, [](const Image& b, const Image& a) { expect_stretched(b, a, true); }},
      {u"Greyscale", {}, nullptr, each_pixel([](uint32_t b, uint32_t a) {
         const double y = 0.299 * channel(b, 0) + 0.587 * channel(b, 1) + 0.114 * channel(b, 2);
         return grey(a) && std::abs(channel(a, 0) - y) <= 0.5 + 1e-9 && channel(a, 3) == channel(b, 3);
       })},
      {u"SwapChannels", {value(2), value(0), value(1), value(3)}, nullptr, each_pixel([](uint32_t b, uint32_t a) {
         return channel(a, 0) == channel(b, 2) && channel(a, 1) == channel(b, 0) && channel(a, 2) == channel(b, 1) &&
                channel(a, 3) == channel(b, 3);
       })},
      {u"Solarize", {value(LONG(0xFF50A0F0u))}, nullptr, each_pixel([](uint32_t b, uint32_t a) {
         const int threshold[3] = {0x50, 0xA0, 0xF0};
         for (int c = 0; c < 3; ++c)
           if (channel(a, c) != (channel(b, c) > threshold[c] ? 255 - channel(b, c) : channel(b, c))) return false;
         return channel(a, 3) == channel(b, 3);
       })},
      {u"Lightness", {value(0)}, nullptr, kUnchanged},
      {u"Contrast", {value(0)}, nullptr, kUnchanged},
      {u"Lightness", {value(40)}, nullptr, each_pixel([](uint32_t b, uint32_t a) {
         for (int c = 0; c < 3; ++c)
           if (channel(a, c) < channel(b, c) || (channel(b, c) < 250 && channel(a, c) == channel(b, c))) return false;
         return true;
       })},
      {u"Contrast", {value(40)}, nullptr, each_pixel([](uint32_t b, uint32_t a) {  // away from the middle
         for (int c = 0; c < 3; ++c)
           if (channel(b, c) >= 128 ? channel(a, c) < channel(b, c) : channel(a, c) > channel(b, c)) return false;
         return true;
       })},
      {u"AutoLightness", {}, [](int x, int y) { return 0xFF101010u + (x + y) * 0x010101u; },
       each_pixel([](uint32_t b, uint32_t a) { return grey(a) && channel(a, 0) > channel(b, 0); })},
      {u"EdgeDetect", {value(0)}, flat, each_pixel([](uint32_t, uint32_t a) { return a == 0xFF000000u; })},
      {u"EdgeDetect", {value(1)}, step_edge, [](const Image&, const Image& a) {
         EXPECT_EQ(a.at(0, 5), 0xFF000000u);
         EXPECT_GT(channel(a.at(7, 5), 0), 100);
         EXPECT_GT(channel(a.at(9, 5), 0), 0);  // soft edges reach two pixels out
       }},
      {u"Emboss", {value(0)}, flat, each_pixel([](uint32_t, uint32_t a) { return a == 0xFF808080u; })},
      {u"Sharpen", {value(16)}, step_edge, [](const Image& b, const Image& a) {
         EXPECT_LT(channel(a.at(7, 5), 0), 100);  // overshoot on both sides of the edge
         EXPECT_GT(channel(a.at(8, 5), 0), 150);
         EXPECT_EQ(a.at(0, 5), b.at(0, 5));
       }},
      {u"Antialiasing", {}, flat, kUnchanged},
      {u"Antialiasing", {}, nullptr, [](const Image& b, const Image& a) {  // never beyond the neighbourhood
         for (int y = 0; y < a.height; ++y)
           for (int x = 0; x < a.width; ++x)
             for (int c = 0; c < 4; ++c) {
               int low = 255, high = 0;
               for (int dy = -1; dy <= 1; ++dy)
                 for (int dx = -1; dx <= 1; ++dx) {
                   const int v = channel(b.at(std::clamp(x + dx, 0, a.width - 1), std::clamp(y + dy, 0, a.height - 1)), c);
                   low = std::min(low, v), high = std::max(high, v);
                 }
               ASSERT_TRUE(channel(a.at(x, y), c) >= low && channel(a.at(x, y), c) <= high) << x << "," << y;
             }
       }},
      {u"Mosaic", {value(4), value(3)}, nullptr, [](const Image& b, const Image& a) {
         for (int y = 0; y < a.height; ++y)
           for (int x = 0; x < a.width; ++x) ASSERT_EQ(a.at(x, y), a.at(x / 4 * 4, y / 3 * 3)) << x << "," << y;
         int sum = 0;  // the top left cell is the mean of its twelve pixels
         for (int y = 0; y < 3; ++y)
           for (int x = 0; x < 4; ++x) sum += channel(b.at(x, y), 0);
         EXPECT_NEAR(channel(a.at(0, 0), 0), sum / 12.0, 0.5);
       }},
      {u"Sinusize", {value(0), value(0), value(0), value(0), value(0), value(0), value(-1)}, nullptr, kUnchanged},
      {u"Sinusize", {value(5), value(20), value(0), value(0), value(0), value(0), value(bg)}, nullptr,
       [bg](const Image& b, const Image& a) {  // row 5 is a quarter wave down: moved 5 pixels right
         for (int x = 0; x < a.width; ++x) EXPECT_EQ(a.at(x, 5), x < 5 ? uint32_t(bg) : b.at(x - 5, 5));
         for (int x = 0; x < a.width; ++x) EXPECT_EQ(a.at(x, 0), b.at(x, 0));
       }},
      {u"EllipseCrop", {value(70), value(50), value(40), value(30), value(bg)}, nullptr,
       [bg](const Image& b, const Image& a) {
         for (int y = 0; y < a.height; ++y)
           for (int x = 0; x < a.width; ++x) {
             const double r = std::hypot((x - 70) / 40.0, (y - 50) / 30.0);
             if (std::abs(r - 1) > 0.05) {
               ASSERT_EQ(a.at(x, y), r > 1 ? uint32_t(bg) : b.at(x, y)) << x << "," << y;
             }
           }
       }},
      {u"Swirl", {value(90)}, nullptr, [](const Image& b, const Image& a) {
         EXPECT_EQ(a.at(0, 0), b.at(0, 0));  // outside the ellipse
         EXPECT_EQ(a.at(a.width - 1, a.height - 1), b.at(a.width - 1, a.height - 1));
         EXPECT_NE(a.pixels, b.pixels);
       }},
      {u"HSLColorize", {value(200), value(60), value(0)}, nullptr, each_pixel([](uint32_t, uint32_t a) {
         const int r = channel(a, 0), g = channel(a, 1), b = channel(a, 2);
         return std::max({r, g, b}) - std::min({r, g, b}) < 20 || std::abs(hue_of(r, g, b) - 200) < 4;
       })},
      {u"AddNoise", {value(30), flag(true)}, flat, [](const Image& b, const Image& a) {
         EXPECT_TRUE(std::all_of(a.pixels.begin(), a.pixels.end(), [&](uint32_t p) {  // the same noise on R, G and B
           return channel(p, 0) - 0x5A == channel(p, 1) - 0x78 && channel(p, 1) - 0x78 == channel(p, 2) - 0x96;
         }));
         EXPECT_NE(a.pixels, b.pixels);
       }},
      {u"AddNoise", {value(30), flag(false)}, flat, [](const Image&, const Image& a) {
         double mean = 0;
         for (uint32_t p : a.pixels) mean += channel(p, 0);
         EXPECT_NEAR(mean / a.pixels.size(), 0x5A, 4);
         EXPECT_FALSE(std::all_of(a.pixels.begin(), a.pixels.end(),
                                  [&](uint32_t p) { return channel(p, 0) - 0x5A == channel(p, 1) - 0x78; }));
       }},
      {u"Spray", {value(2), value(6), value(bg)}, nullptr, [bg](const Image& b, const Image& a) {
         for (int y = 0; y < a.height; ++y)
           for (int x = 0; x < a.width; ++x) {
             const bool border = x == 0 || y == 0 || x == a.width - 1 || y == a.height - 1;
             bool near = a.at(x, y) == uint32_t(bg);
             ASSERT_TRUE(near || !border) << x << "," << y;
             for (int dy = -2; dy <= 2 && !near; ++dy)
               for (int dx = -2; dx <= 2 && !near; ++dx)
                 near = b.at(std::clamp(x + dx, 0, a.width - 1), std::clamp(y + dy, 0, a.height - 1)) == a.at(x, y);
             ASSERT_TRUE(near) << x << "," << y;
           }
       }},
      {u"Texturize", {value(0), single(1.0f)}, nullptr, kUnchanged},
      {u"Texturize", {value(80), single(2.0f)}, flat, [](const Image&, const Image& a) {
         EXPECT_TRUE(std::all_of(a.pixels.begin(), a.pixels.end(), [](uint32_t p) {  // one relief on every channel
           return channel(p, 0) - 0x5A == channel(p, 2) - 0x96;
         }));
         EXPECT_GT(std::set<uint32_t>(a.pixels.begin(), a.pixels.end()).size(), 10u);
       }},
      {u"Buttonize", {value(0), value(5), value(70)}, flat, [](const Image& b, const Image& a) {
         EXPECT_GT(channel(a.at(10, 0), 0), channel(b.at(10, 0), 0));  // lit top, shaded bottom
         EXPECT_LT(channel(a.at(10, a.height - 1), 0), channel(b.at(10, 0), 0));
         EXPECT_EQ(a.at(5, 5), b.at(5, 5));
       }},
      {u"Buttonize", {value(1), value(5), value(70)}, flat, [](const Image& b, const Image& a) {  // sunken
         EXPECT_LT(channel(a.at(10, 0), 0), channel(b.at(10, 0), 0));
         EXPECT_GT(channel(a.at(10, a.height - 1), 0), channel(b.at(10, 0), 0));
       }},
      {u"Waddle", {}, nullptr, [](const Image& b, const Image& a) { EXPECT_NE(a.pixels, b.pixels); }},
      {u"PageCurl", {value(30), value(20), value(LONG(pcmRightBottomCurlDown)), value(-52), value(bg)}, nullptr,
       [bg](const Image& b, const Image& a) {
         EXPECT_EQ(a.at(a.width - 1, a.height - 1), uint32_t(bg));  // the corner is gone
         for (int y = 0; y < a.height; ++y)
           for (int x = 0; x < a.width; ++x)
             ASSERT_TRUE(a.at(x, y) == b.at(x, y) || (x >= a.width - 70 && y >= a.height - 50)) << x << "," << y;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(to_utf8(c.method));
    ComPtr<IRasterObject> raster = c.image ? make_image(16, 12, c.image) : load_photo();
    const Image before = image_of(raster.get());
    ASSERT_EQ(call_method(raster.get(), c.method, c.args), S_OK);
    const Image after = image_of(raster.get());
    ASSERT_EQ(after.width, before.width);
    ASSERT_EQ(after.height, before.height);
    c.check(before, after);
  }
}


// The twenty-three methods with arguments that change the photo visibly (in the raster object's order).
struct Call {
  const char16_t* method;
  std::vector<Variant> args;
};
std::vector<Call> every_method() {
  return {{u"AutoLevel", {}}, {u"Antialiasing", {}}, {u"Greyscale", {}}, {u"Waddle", {}},
          {u"Lightness", {value(20)}}, {u"Contrast", {value(20)}}, {u"AutoLightness", {}}, {u"AutoContrast", {}},
          {u"AddNoise", {value(10), flag(true)}}, {u"Spray", {value(2)}}, {u"Mosaic", {value(5), value(5)}},
          {u"Sinusize", {value(3), value(30), value(0), value(3), value(30), value(0)}}, {u"Swirl", {value(45)}},
          {u"EllipseCrop", {value(75), value(50), value(60), value(40)}}, {u"Solarize", {value(-8355712)}},
          {u"HSLColorize", {value(100), value(50), value(10)}}, {u"Texturize", {value(40)}}, {u"Sharpen", {}},
          {u"Emboss", {}}, {u"EdgeDetect", {}}, {u"SwapChannels", {value(1), value(2), value(0)}},
          {u"Buttonize", {}}, {u"PageCurl", {value(40), value(30)}}};
}

// Each method, its optional arguments left to their defaults, through late binding on a loaded photo.
TEST(EffectMethods, EverySucceedsOnALoadedPhotoAndChangesIt) {
  register_effects();
  const Image photo = image_of(load_photo().get());
  for (const Call& c : every_method()) {
    SCOPED_TRACE(to_utf8(c.method));
    ComPtr<IRasterObject> raster = load_photo();
    ASSERT_EQ(call_method(raster.get(), c.method, c.args), S_OK);
    const Image after = image_of(raster.get());
    EXPECT_EQ(after.width, photo.width);
    EXPECT_EQ(after.height, photo.height);
    EXPECT_NE(after.pixels, photo.pixels);
  }
}

// A refused setting fails in ApplyMe with the class's message and E_INVALIDARG, and the image stays.
TEST(EffectMethods, RefusedSettingsReportAndLeaveTheImage) {
  register_effects();
  const struct {
    std::function<HRESULT(IRasterObject*)> call;
    int effect;
    const char16_t* name;
    const char16_t* message;
  } cases[] = {
      {[](IRasterObject* r) { return r->Lightness(101); }, effects::kLightness, u"Lightness", u"Amount must be between -100 and 100!"},
      {[](IRasterObject* r) { return r->Contrast(-101); }, effects::kContrast, u"Contrast", u"Amount must be between -100 and 100!"},
      {[](IRasterObject* r) { return r->AddNoise(101, 0); }, effects::kAddNoise, u"AddNoise", u"Amount must be between 0 and 100!"},
      {[](IRasterObject* r) { return r->Spray(201, 0, -1); }, effects::kSpray, u"Spray", u"Amount must be between 0 and 200!"},
      {[](IRasterObject* r) { return r->Spray(1, -1, -1); }, effects::kSpray, u"Spray", u"FrameWidth must be at least 0!"},
      {[](IRasterObject* r) { return r->Mosaic(0, 4); }, effects::kMosaic, u"Mosaic", u"CellWidth must be at least 1!"},
      {[](IRasterObject* r) { return r->Sinusize(1, -5, 0, 0, 0, 0, -1); }, effects::kSinusize, u"Sinusize",
       u"HorizontalWaveLength must be at least 0!"},
      {[](IRasterObject* r) { return r->EllipseCrop(1, 1, 0, 5, -1); }, effects::kEllipseCrop, u"EllipseCrop",
       u"HorizontalRadius must be greater than 0!"},
      {[](IRasterObject* r) { return r->HSLColorize(361, 0, 0); }, effects::kHSLColorize, u"HSLColorize", u"Hue must be between 0 and 360!"},
      {[](IRasterObject* r) { return r->Texturize(50, 0.1f); }, effects::kTexturize, u"Texturize", u"Shift must be between 0.25 and 16!"},
      {[](IRasterObject* r) { return r->Texturize(50, std::nanf("")); }, effects::kTexturize, u"Texturize",
       u"Shift must be between 0.25 and 16!"},
      {[](IRasterObject* r) { return r->Sharpen(256); }, effects::kSharpen, u"Sharpen", u"Strength must be between 0 and 255!"},
      {[](IRasterObject* r) { return r->Emboss(EmbossTypes(2)); }, effects::kEmboss, u"Emboss", u"Type must be between 0 and 1!"},
      {[](IRasterObject* r) { return r->EdgeDetect(EdgeDetectTypes(-1)); }, effects::kEdgeDetect, u"EdgeDetect",
       u"Type must be between 0 and 1!"},
      {[](IRasterObject* r) { return r->SwapChannels(0, 1, 2, 4); }, effects::kSwapChannels, u"SwapChannels",
       u"alpha must be between 0 and 3!"},
      {[](IRasterObject* r) { return r->Buttonize(4, 10, 70); }, effects::kButtonize, u"Buttonize", u"Type must be between 0 and 3!"},
      {[](IRasterObject* r) { return r->PageCurl(10, 0, pcmRightBottomCurlDown, -52, -1); }, effects::kPageCurl, u"PageCurl",
       u"Height must be greater than 0!"},
      {[](IRasterObject* r) { return r->PageCurl(10, 10, PageCurlModes(8), -52, -1); }, effects::kPageCurl, u"PageCurl",
       u"CurlMode must be between 0 and 7!"},
  };
  ComPtr<IRasterObject> raster = load_photo();
  const Image photo = image_of(raster.get());
  for (const auto& c : cases) {
    SCOPED_TRACE(to_utf8(c.message));
    clear_error();
    expect_report(c.call(raster.get()), E_INVALIDARG, c.message, effects::kExternalEffects[c.effect].iid,
                  (u"ZentarixEffects." + std::u16string(c.name) + u".1").c_str());
    EXPECT_EQ(image_of(raster.get()).pixels, photo.pixels);
  }
}

// Each PageCurlModes value takes its own corner, folding it down or rolling it up; the opposite
// corner stays.
TEST(EffectMethods, PageCurlTakesTheCornerItsModeNames) {
  register_effects();
  const Image photo = image_of(load_photo().get());
  const int w = photo.width - 1, h = photo.height - 1;
  const int corners[4][2] = {{0, 0}, {w, 0}, {w, h}, {0, h}};  // LeftTop, RightTop, RightBottom, LeftBottom
  std::vector<uint32_t> up;
  for (LONG mode = pcmLeftTopCurlUp; mode <= pcmLeftBottomCurlDown; ++mode) {
    SCOPED_TRACE(mode);
    ComPtr<IRasterObject> raster = load_photo();
    ASSERT_EQ(raster->PageCurl(60, 40, PageCurlModes(mode), -52, 0xFF0000FF), S_OK);
    const Image a = image_of(raster.get());
    const auto* corner = corners[mode / 2], *opposite = corners[(mode / 2 + 2) % 4];
    EXPECT_EQ(a.at(corner[0], corner[1]), 0xFF0000FFu);
    EXPECT_EQ(a.at(opposite[0], opposite[1]), photo.at(opposite[0], opposite[1]));
    if (mode % 2 == 0) up = a.pixels;
    else EXPECT_NE(a.pixels, up);
  }
}

// Unregistered, the effects module's classes cannot be made: every method answers
// REGDB_E_CLASSNOTREG without an error record of its own, and the image stays.
TEST(EffectMethods, WithTheModuleUnregisteredEveryMethodFailsWithClassNotRegistered) {
  register_effects();
  char module[PATH_MAX];
  ASSERT_TRUE(realpath(ZX_EFFECTS_MODULE, module));
  EXPECT_EQ(read_value(u"CLSID\\" + guid_text(effects::ids::kSwirl) + u"\\InprocServer32"), to_utf16(module));
  ASSERT_EQ(effects_module("DllUnregisterServer"), S_OK);
  EXPECT_FALSE(key_exists(u"ZentarixEffects.Swirl"));
  EXPECT_FALSE(key_exists(u"CLSID\\" + guid_text(effects::ids::kSwirl)));
  ComPtr<IRasterObject> raster = load_photo();
  const Image photo = image_of(raster.get());
  for (const Call& c : every_method()) {
    SCOPED_TRACE(to_utf8(c.method));
    clear_error();
    EXPECT_EQ(call_method(raster.get(), c.method, c.args), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(take_error().present);
  }
  EXPECT_EQ(image_of(raster.get()).pixels, photo.pixels);
}

}  // namespace
}  // namespace zx::test
