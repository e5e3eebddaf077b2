// Zentarix — MIT licence.
// The effects module: its class table and its four exports, on the server frame.
#include <array>

#include "EffectAddNoise.h"
#include "EffectAntialiasing.h"
#include "EffectAutoLevel.h"
#include "EffectButtonize.h"
#include "EffectContrast.h"
#include "EffectEdgeDetect.h"
#include "EffectEllipseCrop.h"
#include "EffectEmboss.h"
#include "EffectGreyscale.h"
#include "EffectHSLColorize.h"
#include "EffectLightness.h"
#include "EffectMosaic.h"
#include "EffectPageCurl.h"
#include "EffectSharpen.h"
#include "EffectSinusize.h"
#include "EffectSolarize.h"
#include "EffectSpray.h"
#include "EffectSwapChannels.h"
#include "EffectSwirl.h"
#include "EffectTexturize.h"
#include "EffectWaddle.h"
#include "ModuleFrame.h"

namespace zx::effects {
namespace {

// One row per class: registered as "ZentarixEffects.<Name>" (versioned ".1"), programmable, no
// categories. The raster object reaches them by CLSID; scripts by ProgID.
#define ZX_EFFECT_ROW(Name)                                                                     \
  {&CLSID_Effect##Name, &CLSID_Effect##Name, u"Effect" #Name, u"ZentarixEffects." #Name ".1", \
   u"ZentarixEffects." #Name, u"" #Name " Effect", true, &server::create_instance<Effect##Name>, {}}

constexpr server::ClassEntry kClasses[] = {
    ZX_EFFECT_ROW(AutoLevel), ZX_EFFECT_ROW(Antialiasing), ZX_EFFECT_ROW(Greyscale),    ZX_EFFECT_ROW(Waddle),
    ZX_EFFECT_ROW(Lightness), ZX_EFFECT_ROW(Contrast),     ZX_EFFECT_ROW(AddNoise),     ZX_EFFECT_ROW(Spray),
    ZX_EFFECT_ROW(Mosaic),    ZX_EFFECT_ROW(Sinusize),     ZX_EFFECT_ROW(Swirl),        ZX_EFFECT_ROW(EllipseCrop),
    ZX_EFFECT_ROW(Solarize),  ZX_EFFECT_ROW(HSLColorize),  ZX_EFFECT_ROW(Texturize),    ZX_EFFECT_ROW(Sharpen),
    ZX_EFFECT_ROW(Emboss),    ZX_EFFECT_ROW(EdgeDetect),   ZX_EFFECT_ROW(SwapChannels), ZX_EFFECT_ROW(Buttonize),
    ZX_EFFECT_ROW(PageCurl),
};
static_assert(std::size(kClasses) == zxeffects_coclass_count);

server::ClassObjects& class_objects() {
  static std::array<IClassFactory*, std::size(kClasses)> slots{};
  static server::ClassObjects objects(kClasses, slots);
  return objects;
}

__attribute__((destructor)) void on_unload() { class_objects().release_all(); }

HRESULT register_server() { return server::register_classes(kClasses, zxeffects_typelib, nullptr); }
HRESULT unregister_server() { return server::unregister_classes(kClasses, zxeffects_typelib, nullptr); }

}  // namespace
}  // namespace zx::effects

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return zx::effects::class_objects().get(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return zx::server::module_lock_count() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return zx::server::registration_call(zx::effects::register_server); }

STDAPI DllUnregisterServer() { return zx::server::registration_call(zx::effects::unregister_server); }
