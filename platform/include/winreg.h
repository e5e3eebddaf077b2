// Zentarix platform layer — MIT licence.
// Registry functions over the file-backed HKEY_CLASSES_ROOT subset, and type library registration.
#pragma once
#include "wtypes.h"

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using LSTATUS = LONG;
using REGSAM = DWORD;
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// The registry file is named by the environment variable ZENTARIX_REGISTRY, else a per-user default.
STDAPI_(LSTATUS) RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                                 REGSAM samDesired, void* lpSecurityAttributes, PHKEY phkResult, DWORD* lpdwDisposition);
STDAPI_(LSTATUS) RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
STDAPI_(LSTATUS) RegCloseKey(HKEY hKey);
STDAPI_(LSTATUS) RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                                DWORD cbData);
STDAPI_(LSTATUS) RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                                  DWORD* lpcbData);
STDAPI_(LSTATUS) RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey);
STDAPI_(LSTATUS) RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey);
STDAPI_(LSTATUS) RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
STDAPI_(LSTATUS) RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, DWORD* lpcchName, DWORD* lpReserved,
                               LPWSTR lpClass, DWORD* lpcchClass, FILETIME* lpftLastWriteTime);

// Type library registration. There is no binary type library on this platform: a module describes
// its library with this record (generated from its IDL) and the runtime writes the keys Windows
// writes for RegisterTypeLib: HKCR\TypeLib\{LIBID}\<major>.<minor> and HKCR\Interface\{IID}.
struct ZX_TYPELIB_INTERFACE {
  const IID* iid;
  const OLECHAR* name;
  BOOL oleautomation;  // dual or dispinterface: marshalled by the automation proxy (PSOAInterface)
};
struct ZX_TYPELIB_DESC {
  const GUID* libid;
  WORD wMajorVerNum;
  WORD wMinorVerNum;
  LCID lcid;
  const OLECHAR* name;
  const OLECHAR* helpString;
  const ZX_TYPELIB_INTERFACE* interfaces;
  UINT cInterfaces;
};
STDAPI ZxRegisterTypeLib(const ZX_TYPELIB_DESC* desc, LPCOLESTR szFullPath, LPCOLESTR szHelpDir);
STDAPI ZxUnRegisterTypeLib(const ZX_TYPELIB_DESC* desc);
