// Zentarix — MIT licence.
// The module's class table: one row per registered class, driving activation, registration and their tests.
#pragma once
#include <span>

#include "ComObject.h"

namespace zx::server {

struct ClassEntry {
  // The identity DllGetClassObject looks up. GUID_NULL for a class that is registered but must not be
  // created from outside (RasterItem: its collection makes items itself).
  const CLSID* clsid;
  // The identity registration writes (equal to clsid except for such classes).
  const CLSID* registered_clsid;
  const OLECHAR* name;         // the coclass name, as the type library spells it
  const OLECHAR* progid;       // versioned, exactly as registered (some are cut short)
  const OLECHAR* vi_progid;    // version-independent
  const OLECHAR* description;
  bool programmable;
  // Null while the class is not built into this module: activation answers
  // CLASS_E_CLASSNOTAVAILABLE, but registration still writes the class's keys.
  InstanceCreator create;
  std::span<const CATID> categories;  // implemented component categories
};

// The 35 rows, in registration order.
std::span<const ClassEntry> class_table() noexcept;

// The image encoder component category every encoder class implements.
inline constexpr CATID CATID_ZentarixImageEncoders = {
    0xFDCDC031, 0xCDD1, 0x4C61, {0xBE, 0x20, 0x86, 0x6C, 0x36, 0x7B, 0x1A, 0x0D}};
inline constexpr OLECHAR kImageEncoderCategoryDescription[] = u"Image Encoders for Zentarix";

}  // namespace zx::server
