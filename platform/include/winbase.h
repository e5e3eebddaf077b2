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

// Win32 codes of the kernel pieces themselves (the codes shared with other areas are in wtypes.h).
constexpr DWORD ERROR_NOT_LOCKED = 158;
constexpr DWORD ERROR_MR_MID_NOT_FOUND = 317;
constexpr DWORD ERROR_IO_DEVICE = 1117;
constexpr DWORD ERROR_RESOURCE_LANG_NOT_FOUND = 1815;
constexpr DWORD ERROR_CANT_RESOLVE_FILENAME = 1921;

constexpr DWORD FORMAT_MESSAGE_ALLOCATE_BUFFER = 0x00000100;
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_STRING = 0x00000400;
constexpr DWORD FORMAT_MESSAGE_FROM_HMODULE = 0x00000800;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
constexpr DWORD FORMAT_MESSAGE_ARGUMENT_ARRAY = 0x00002000;
constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0x000000FF;
constexpr DWORD LANG_USER_DEFAULT = 0x0400;
constexpr WORD LANG_NEUTRAL = 0x00;
constexpr WORD LANG_ENGLISH = 0x09;
constexpr WORD SUBLANG_NEUTRAL = 0x00;
constexpr WORD SUBLANG_DEFAULT = 0x01;
constexpr WORD SUBLANG_ENGLISH_US = 0x01;
constexpr LANGID MAKELANGID(WORD primary, WORD sub) { return static_cast<LANGID>((sub << 10) | primary); }

// Renames lpReplacementFileName over lpReplacedFileName, first giving the replacement the replaced
// file's permission bits, owner and group, as far as the caller may set them (as Windows keeps a
// replaced file's attributes and security). lpBackupFileName must be null and dwReplaceFlags 0;
// the last two arguments are reserved. FALSE with the last error set when the replaced file cannot
// be examined or the rename fails; the replacement is then left where it was.
STDAPI_(BOOL) ReplaceFileW(LPCWSTR lpReplacedFileName, LPCWSTR lpReplacementFileName, LPCWSTR lpBackupFileName,
                           DWORD dwReplaceFlags, LPVOID lpExclude, LPVOID lpReserved);

// Only FORMAT_MESSAGE_FROM_SYSTEM (with or without ALLOCATE_BUFFER / IGNORE_INSERTS /
// ARGUMENT_ARRAY) is supported: the system message table holds the English Windows texts, ending in
// "\r\n", for the Win32 codes this platform produces (and for their HRESULT_FROM_WIN32 forms and the
// common COM codes). dwLanguageId: 0, LANG_USER_DEFAULT or any English language. With
// ALLOCATE_BUFFER, lpBuffer is really an LPWSTR* and the block is freed with LocalFree.
// Returns the characters stored without the NUL, or 0 with GetLastError set:
// ERROR_MR_MID_NOT_FOUND for an unknown code, ERROR_INSUFFICIENT_BUFFER when nSize is too small,
// ERROR_RESOURCE_LANG_NOT_FOUND for another language, ERROR_INVALID_PARAMETER for other sources.
// A non-zero FORMAT_MESSAGE_MAX_WIDTH_MASK turns the text's line breaks into spaces (no wrapping).
STDAPI_(DWORD) FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                              LPWSTR lpBuffer, DWORD nSize, va_list* Arguments);
STDAPI_(HANDLE) LocalFree(HANDLE hMem);

STDAPI_(LCID) GetSystemDefaultLCID();
STDAPI_(LCID) GetUserDefaultLCID();

constexpr DWORD HEAP_NO_SERIALIZE = 0x00000001;
constexpr DWORD HEAP_GENERATE_EXCEPTIONS = 0x00000004;
constexpr DWORD HEAP_ZERO_MEMORY = 0x00000008;
constexpr DWORD HEAP_REALLOC_IN_PLACE_ONLY = 0x00000010;
// A private heap. dwMaximumSize 0 makes it growable; otherwise the heap never holds more than that
// many bytes (block overhead included) and allocations beyond it fail with ERROR_NOT_ENOUGH_MEMORY.
// dwInitialSize above a non-zero maximum is refused. HeapDestroy frees every block still allocated.
// HEAP_GENERATE_EXCEPTIONS is accepted but failures are reported by a null return, never raised.
STDAPI_(HANDLE) HeapCreate(DWORD flOptions, SIZE_T dwInitialSize, SIZE_T dwMaximumSize);
STDAPI_(BOOL) HeapDestroy(HANDLE hHeap);
STDAPI_(LPVOID) HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
STDAPI_(LPVOID) HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes);
STDAPI_(BOOL) HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);
STDAPI_(SIZE_T) HeapSize(HANDLE hHeap, DWORD dwFlags, LPCVOID lpMem);

// printf-style formatting into a buffer of at most 1024 characters (the NUL included), as the
// Windows routine: %[-][#][0][width][.precision][h|l]type with types d i u x X c C s S and %%;
// %ls / %S / %lc / %C take WCHAR text (written as UTF-8). Longer output is cut at 1023 characters.
// Returns the characters stored without the NUL.
STDAPI_(int) wvsprintfA(LPSTR buffer, LPCSTR format, va_list arglist);
