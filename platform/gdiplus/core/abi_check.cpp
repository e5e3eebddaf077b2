// Zentarix GDI+ layer — MIT licence.
// Compile-time pins of the platform ABI this library shares with its callers.
#include <windows.h>
#include <olectl.h>

static_assert(sizeof(HBITMAP) == 4 && sizeof(HPALETTE) == 4 && sizeof(HDC) == 4, "GDI handles are 32-bit");
static_assert(sizeof(PICTDESC) == 20, "PICTDESC size");
