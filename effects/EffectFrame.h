// Zentarix — MIT licence.
// The frame every effect class shares: its identity, the pixel-array Apply, refusals of settings, the worker.
#pragma once
#include <string>

#include "TransformFrame.h"
#include "zxeffects.h"

namespace zx::effects {

// The class's identity as transforms report it, plus the effect's name for its messages.
struct EffectIdentity : transforms::TransformIdentity {
  const OLECHAR* effect;
};

// In a class body: the identity of EffectName (reports carry its CLSID, its interface and its
// versioned ProgID as source; GDI+ failures name "ApplyMe").
#define ZX_EFFECT_IDENTITY(Name)                                                   \
  static constexpr EffectIdentity kIdentity{                                       \
      {CLSID_Effect##Name, IID_IEffect##Name, u"Effect" #Name, u"ApplyMe"}, u"" #Name}

// A property pair over a member: the getter refuses a null pointer with E_POINTER, the setter
// stores any value and answers S_OK (the raster object does not look at setters' results, so a
// refusing setter would silently leave the old value; ApplyMe checks the settings instead).
#define ZX_EFFECT_PROPERTY(Type, Name, member)                                     \
  STDMETHOD(get_##Name)(Type* pVal) override { return this->read(pVal, member); }  \
  STDMETHOD(put_##Name)(Type newVal) override { return this->store(member, newVal); }

// The texts of an effect's reports.
std::u16string array_to_message(const EffectIdentity& id);
std::u16string array_from_message(const EffectIdentity& id);
std::u16string exception_message(const EffectIdentity& id);
// "<setting> must be between <low> and <high>!", "<setting> must be at least <least>!",
// "<setting> must be greater than 0!".
std::u16string range_message(const OLECHAR* setting, double low, double high);
std::u16string minimum_message(const OLECHAR* setting, LONG least);
std::u16string positive_message(const OLECHAR* setting);

template <class Derived, class Dual>
class EffectObject : public transforms::TransformObject<Derived, Dual> {
 public:
  // The effect on a pixel array: the array becomes a bitmap, the worker runs, the result becomes
  // a new array (the transforms' dual Apply, with the effect's own messages).
  STDMETHOD(Apply)(SAFEARRAY* InputArray, SAFEARRAY** OutputArray) override {
    return server::com_call([&] {
      const std::u16string to = array_to_message(Derived::kIdentity), from = array_from_message(Derived::kIdentity);
      return this->apply_arrays(to.c_str(), from.c_str(), InputArray, OutputArray);
    });
  }

 protected:
  // Settings are checked when the effect runs: S_OK, or the class's refusal with E_INVALIDARG and
  // nothing made.
  static HRESULT refuse(const std::u16string& text) {
    return transforms::report(Derived::kIdentity, text, E_INVALIDARG);
  }
  static HRESULT within(const OLECHAR* setting, LONG value, LONG low, LONG high) {
    return value >= low && value <= high ? S_OK : refuse(range_message(setting, low, high));
  }
  static HRESULT at_least(const OLECHAR* setting, LONG value, LONG least) {
    return value >= least ? S_OK : refuse(minimum_message(setting, least));
  }
  static HRESULT positive(const OLECHAR* setting, LONG value) {
    return value > 0 ? S_OK : refuse(positive_message(setting));
  }
  // The transforms' pixel-kernel worker with the effect's exception message. Most effects write
  // every pixel and start from an unwritten result; those that change only part of the image ask
  // for a copy of the input.
  template <transforms::ResultStart kStart = transforms::ResultStart::Unwritten, class Kernel, class... Args>
  static HRESULT run(Gdiplus::Bitmap* input, Gdiplus::Bitmap** result, Kernel kernel, const Args&... args) {
    const std::u16string text = exception_message(Derived::kIdentity);
    return transforms::run_pixel_kernel<kStart>(Derived::kIdentity, text.c_str(), input, result, kernel, args...);
  }
};

}  // namespace zx::effects
