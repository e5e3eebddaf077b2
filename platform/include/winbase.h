// Zentarix platform layer — MIT licence.
// The Win32 kernel pieces the library calls: last error, system messages, heaps, locale, formatting.
#pragma once
#include <cstdarg>
#include "wtypes.h"

// Per-thread last error, holding Win32 codes (the platform maps errno values onto them).
STDAPI_(DWORD) GetLastError();
STDAPI_(void) SetLastError(DWORD dwErrCode);
// Maps an errno value to the Win32 error code Windows reports for the same condition.
STDAPI_(DWORD) ZxWin32ErrorFromErrno(int err);

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;
constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;
constexpr DWORD LANG_USER_DEFAULT = 0x0400;

// Only FORMAT_MESSAGE_FROM_SYSTEM (with or without ALLOCATE_BUFFER / IGNORE_INSERTS) is supported:
// the system message table holds the Windows texts for the codes this platform produces.
STDAPI_(DWORD) FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                              LPWSTR lpBuffer, DWORD nSize, va_list* Arguments);
STDAPI_(HANDLE) LocalFree(HANDLE hMem);

STDAPI_(LCID) GetSystemDefaultLCID();
STDAPI_(LCID) GetUserDefaultLCID();

constexpr DWORD HEAP_NO_SERIALIZE = 0x00000001;
constexpr DWORD HEAP_GENERATE_EXCEPTIONS = 0x00000004;
constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;
STDAPI_(HANDLE) HeapCreate(DWORD flOptions, SIZE_T dwInitialSize, SIZE_T dwMaximumSize);
STDAPI_(BOOL) HeapDestroy(HANDLE hHeap);
STDAPI_(LPVOID) HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
STDAPI_(LPVOID) HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes);
STDAPI_(BOOL) HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);
STDAPI_(SIZE_T) HeapSize(HANDLE hHeap, DWORD dwFlags, LPCVOID lpMem);

// printf-style formatting into a buffer of at most 1024 characters, as the Windows routine.
STDAPI_(int) wvsprintfA(LPSTR buffer, LPCSTR format, va_list arglist);
