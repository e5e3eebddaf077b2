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

// Registry scopes (our extension). HKEY_CLASSES_ROOT reads the merged view of a machine-wide file
// and a per-user file, the user's keys winning where both hold one; writes go to the file of the
// process's write scope, the user's unless ZxRegSetScope chooses the machine's (as registering with
// administrator rights writes HKEY_LOCAL_MACHINE on Windows). A key that only the other file holds
// cannot be written through a handle: ERROR_KEY_DELETED. $ZENTARIX_REGISTRY names one file that
// replaces both (tests, demonstrations). A file that anyone but its owner can write, or whose owner
// is neither this user nor root, is ignored, and writing to it answers ERROR_ACCESS_DENIED.
//   ZxRegSetScope: S_OK; E_INVALIDARG for an unknown scope. A batch already open keeps its file.
//   ZxRegGetScopeFile: the scope's file as a NUL-terminated UTF-8 path. S_OK;
//     HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) when the scope has no file (no per-user file without
//     HOME or XDG_DATA_HOME); HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) when cchBuffer is too
//     small; E_INVALIDARG for an unknown scope or a null buffer.
typedef enum ZX_REGISTRY_SCOPE { ZX_REGISTRY_USER = 0, ZX_REGISTRY_MACHINE = 1 } ZX_REGISTRY_SCOPE;
STDAPI ZxRegSetScope(ZX_REGISTRY_SCOPE scope);
STDAPI ZxRegGetScopeFile(ZX_REGISTRY_SCOPE scope, LPSTR buffer, DWORD cchBuffer);

// Registry batches (our extension; Windows has no counterpart). A batch gathers one thread's
// changes into a single replacement of the registry file, so that a registration writing hundreds
// of keys costs one write instead of hundreds. From ZxRegBeginBatch to the matching outermost
// ZxRegEndBatch the thread holds the registry's write locks: every Reg* call of that thread reads
// and writes the batch's copy, other threads and processes keep seeing the file as it was and wait
// to write. Batches nest; only the outermost end writes. ZxRegEndBatch(FALSE) undoes the changes
// made since its matching begin. Open keys keep their meaning throughout: a key the batch deletes
// answers ERROR_KEY_DELETED inside the batch, and a key created in an undone batch does afterwards.
// Do not wait for another thread's registry writes while a batch is open: it waits for yours.
//   ZxRegBeginBatch: S_OK; HRESULT_FROM_WIN32(ERROR_CANTWRITE / ERROR_REGISTRY_CORRUPT /
//     ERROR_CANTREAD) when the registry cannot be locked or read (no batch is then open).
//   ZxRegEndBatch: S_OK; E_UNEXPECTED when no batch is open on this thread;
//     HRESULT_FROM_WIN32(ERROR_CANTWRITE) when the file could not be written (the changes are lost).
STDAPI ZxRegBeginBatch();
STDAPI ZxRegEndBatch(BOOL fCommit);
// How many times this process has replaced the registry file: lets tests count writes.
STDAPI_(ULONG) ZxRegFileReplacementCount();

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
