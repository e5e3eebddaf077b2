// Zentarix — MIT licence.
// VariantChangeType(Ex) over random pairs of a value and a target type, flags and locale.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zx::fuzz;
  static ArgumentMaker maker({});
  Bytes in(data, size);
  while (in.left() > 0) {
    VARIANT arg, store, out;
    maker.make(in, arg, store);
    VariantInit(&out);
    static constexpr VARTYPE kTargets[] = {VT_EMPTY, VT_NULL, VT_I2,  VT_I4,  VT_R4,  VT_R8,   VT_CY,  VT_DATE,
                                           VT_BSTR,  VT_BOOL, VT_ERROR, VT_UI1, VT_I1, VT_UI2, VT_UI4, VT_I8,
                                           VT_UI8,   VT_INT,  VT_UINT, VT_DECIMAL, VT_VARIANT, VT_DISPATCH, VT_UNKNOWN};
    const VARTYPE to = kTargets[in.below(std::size(kTargets))];
    const USHORT flags = in.take<uint8_t>() & 0x0F;
    const LCID locales[] = {0x0409, 0x0407, 0x040C, 0x0411, 0};
    VariantChangeTypeEx(&out, &arg, locales[in.below(std::size(locales))], flags, to);
    VariantClear(&out);
    // In place, as the dispatcher converts its own copies.
    VariantChangeType(&arg, &arg, flags, to);
    if (!(arg.vt & VT_BYREF)) VariantClear(&arg);
    VariantClear(&store);
  }
  return 0;
}
