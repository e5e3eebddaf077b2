// Zentarix — MIT licence.
// Identities of the test server module that the activation tests register and load.
#pragma once
#include "unknwn.h"

// {6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}
inline constexpr CLSID CLSID_TestWidget = {0x6D3B8E2A, 0x4C1F, 0x4A57, {0x9E, 0x0B, 0x2F, 0x7A, 0x1C, 0x5D, 0x9B, 0x31}};
// {A81F0C55-3B2D-4E69-8D47-6C0E9F1B2A73}
inline constexpr IID IID_ITestWidget = {0xA81F0C55, 0x3B2D, 0x4E69, {0x8D, 0x47, 0x6C, 0x0E, 0x9F, 0x1B, 0x2A, 0x73}};
// {0B7E4D19-95A6-4F2C-B3E8-51D2C6A0F484}: the category the module registers its class under.
inline constexpr CATID CATID_TestWidgets = {0x0B7E4D19, 0x95A6, 0x4F2C, {0xB3, 0xE8, 0x51, 0xD2, 0xC6, 0xA0, 0xF4, 0x84}};

struct ITestWidget : IUnknown {
  // Answers 42, proving the call reached the module's code.
  STDMETHOD(GetAnswer)(LONG* value) PURE;
};
ZX_DECLARE_UUID(ITestWidget, IID_ITestWidget);

// Setting this environment variable makes DllRegisterServer refuse with E_ACCESSDENIED and this
// description in the error record.
#define ZX_TESTMODULE_REFUSE_ENV "ZX_TESTMODULE_REFUSE"
#define ZX_TESTMODULE_REFUSAL u"Registration refused on request."
