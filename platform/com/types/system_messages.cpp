// Zentarix — MIT licence.
// FormatMessageW over the system message table: the English Windows texts for our codes.
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

#include "rpc.h"
#include "winbase.h"

namespace {

struct Message {
  DWORD id;
  const char16_t* text;
};

// Win32 codes (also reached through HRESULT_FROM_WIN32) and the common COM / automation codes.
// Texts are exactly those Windows stores, line ending included.
constexpr Message kMessages[] = {
    {ERROR_SUCCESS, u"The operation completed successfully.\r\n"},
    {ERROR_INVALID_FUNCTION, u"Incorrect function.\r\n"},
    {ERROR_FILE_NOT_FOUND, u"The system cannot find the file specified.\r\n"},
    {ERROR_PATH_NOT_FOUND, u"The system cannot find the path specified.\r\n"},
    {ERROR_TOO_MANY_OPEN_FILES, u"The system cannot open the file.\r\n"},
    {ERROR_ACCESS_DENIED, u"Access is denied.\r\n"},
    {ERROR_INVALID_HANDLE, u"The handle is invalid.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY, u"Not enough memory resources are available to process this command.\r\n"},
    {ERROR_BAD_FORMAT, u"An attempt was made to load a program with an incorrect format.\r\n"},
    {ERROR_INVALID_DATA, u"The data is invalid.\r\n"},
    {ERROR_OUTOFMEMORY, u"Not enough memory resources are available to complete this operation.\r\n"},
    {ERROR_WRITE_PROTECT, u"The media is write protected.\r\n"},
    {ERROR_NOT_READY, u"The device is not ready.\r\n"},
    {ERROR_SHARING_VIOLATION, u"The process cannot access the file because it is being used by another process.\r\n"},
    {ERROR_LOCK_VIOLATION,
     u"The process cannot access the file because another process has locked a portion of the file.\r\n"},
    {ERROR_HANDLE_EOF, u"Reached the end of the file.\r\n"},
    {ERROR_NOT_SUPPORTED, u"The request is not supported.\r\n"},
    {ERROR_FILE_EXISTS, u"The file exists.\r\n"},
    {ERROR_INVALID_PARAMETER, u"The parameter is incorrect.\r\n"},
    {ERROR_BROKEN_PIPE, u"The pipe has been ended.\r\n"},
    {ERROR_DISK_FULL, u"There is not enough space on the disk.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, u"The data area passed to a system call is too small.\r\n"},
    {ERROR_INVALID_NAME, u"The filename, directory name, or volume label syntax is incorrect.\r\n"},
    {ERROR_MOD_NOT_FOUND, u"The specified module could not be found.\r\n"},
    {ERROR_PROC_NOT_FOUND, u"The specified procedure could not be found.\r\n"},
    {ERROR_DIR_NOT_EMPTY, u"The directory is not empty.\r\n"},
    {ERROR_NOT_LOCKED, u"The segment is already unlocked.\r\n"},
    {ERROR_BUSY, u"The requested resource is in use.\r\n"},
    {ERROR_ALREADY_EXISTS, u"Cannot create a file when that file already exists.\r\n"},
    {ERROR_FILENAME_EXCED_RANGE, u"The filename or extension is too long.\r\n"},
    {ERROR_MORE_DATA, u"More data is available.\r\n"},
    {ERROR_NO_MORE_ITEMS, u"No more data is available.\r\n"},
    {ERROR_DIRECTORY, u"The directory name is invalid.\r\n"},
    {ERROR_MR_MID_NOT_FOUND, u"The system cannot find message text for message number 0x%1 in the message file for %2.\r\n"},
    {ERROR_NOACCESS, u"Invalid access to memory location.\r\n"},
    {ERROR_INVALID_FLAGS, u"Invalid flags.\r\n"},
    {ERROR_CANTOPEN, u"The configuration registry key could not be opened.\r\n"},
    {ERROR_CANTREAD, u"The configuration registry key could not be read.\r\n"},
    {ERROR_CANTWRITE, u"The configuration registry key could not be written.\r\n"},
    {ERROR_REGISTRY_CORRUPT,
     u"The registry is corrupted. The structure of one of the files containing registry data is corrupted, or the "
     u"system's memory image of the file is corrupted, or the file could not be recovered because the alternate copy "
     u"or log was absent or corrupted.\r\n"},
    {ERROR_KEY_DELETED, u"Illegal operation attempted on a registry key that has been marked for deletion.\r\n"},
    {ERROR_DLL_INIT_FAILED, u"A dynamic link library (DLL) initialization routine failed.\r\n"},
    {ERROR_IO_DEVICE, u"The request could not be performed because of an I/O device error.\r\n"},
    {ERROR_NOT_FOUND, u"Element not found.\r\n"},
    {static_cast<DWORD>(RPC_S_INVALID_STRING_UUID), u"The string universal unique identifier (UUID) is invalid.\r\n"},
    {static_cast<DWORD>(RPC_S_UUID_NO_ADDRESS),
     u"No network address is available to use to construct a universal unique identifier (UUID).\r\n"},
    {ERROR_RESOURCE_LANG_NOT_FOUND, u"The specified resource language ID cannot be found in the image file.\r\n"},
    {static_cast<DWORD>(RPC_S_UUID_LOCAL_ONLY), u"A UUID that is valid only on this computer has been allocated.\r\n"},
    {ERROR_CANT_RESOLVE_FILENAME, u"The name of the file cannot be resolved by the system.\r\n"},
    {static_cast<DWORD>(E_UNEXPECTED), u"Catastrophic failure\r\n"},
    {static_cast<DWORD>(E_NOTIMPL), u"Not implemented\r\n"},
    {static_cast<DWORD>(E_NOINTERFACE), u"No such interface supported\r\n"},
    {static_cast<DWORD>(E_POINTER), u"Invalid pointer\r\n"},
    {static_cast<DWORD>(E_ABORT), u"Operation aborted\r\n"},
    {static_cast<DWORD>(E_FAIL), u"Unspecified error\r\n"},
    {static_cast<DWORD>(CLASS_E_NOAGGREGATION), u"Class does not support aggregation (or class object is remote)\r\n"},
    {static_cast<DWORD>(REGDB_E_CLASSNOTREG), u"Class not registered\r\n"},
    {static_cast<DWORD>(CO_E_CLASSSTRING), u"Invalid class string\r\n"},
    {static_cast<DWORD>(DISP_E_MEMBERNOTFOUND), u"Member not found.\r\n"},
    {static_cast<DWORD>(DISP_E_PARAMNOTFOUND), u"Parameter not found.\r\n"},
    {static_cast<DWORD>(DISP_E_TYPEMISMATCH), u"Type mismatch.\r\n"},
    {static_cast<DWORD>(DISP_E_UNKNOWNNAME), u"Unknown name.\r\n"},
    {static_cast<DWORD>(DISP_E_BADVARTYPE), u"Bad variable type.\r\n"},
    {static_cast<DWORD>(DISP_E_EXCEPTION), u"Exception occurred.\r\n"},
    {static_cast<DWORD>(DISP_E_OVERFLOW), u"Out of present range.\r\n"},
    {static_cast<DWORD>(DISP_E_BADINDEX), u"Invalid index.\r\n"},
    {static_cast<DWORD>(DISP_E_ARRAYISLOCKED), u"Memory is locked.\r\n"},
    {static_cast<DWORD>(DISP_E_BADPARAMCOUNT), u"Invalid number of parameters.\r\n"},
    {static_cast<DWORD>(DISP_E_PARAMNOTOPTIONAL), u"Parameter not optional.\r\n"},
};

const char16_t* find_message(DWORD id) {
  // HRESULT_FROM_WIN32 codes carry the Win32 text.
  if ((id & 0xFFFF0000u) == 0x80070000u) {
    for (const Message& m : kMessages)
      if (m.id == (id & 0xFFFFu)) return m.text;
  }
  for (const Message& m : kMessages)
    if (m.id == id) return m.text;
  return nullptr;
}

bool is_supported_language(DWORD lang) {
  if (lang == 0 || lang == LANG_USER_DEFAULT || lang == 0x0800) return true;  // neutral, user, system default
  return (lang & 0x3FF) == LANG_ENGLISH;
}

// Replaces %1..%99 (the default !s! form: WCHAR text) and the escapes %% %n %r %t %. %! %space %0.
bool expand_inserts(const char16_t* text, DWORD flags, va_list* args, std::u16string* out) {
  std::u16string result;
  const bool array = (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) != 0;
  for (const char16_t* p = text; *p; ++p) {
    if (*p != u'%') {
      result += *p;
      continue;
    }
    const char16_t c = *++p;
    if (c == 0) break;
    if (c >= u'1' && c <= u'9') {
      int n = c - u'0';
      if (p[1] >= u'0' && p[1] <= u'9') n = n * 10 + (*++p - u'0');
      if (!args) return false;
      const char16_t* insert = nullptr;
      if (array) {
        insert = reinterpret_cast<const char16_t*>(reinterpret_cast<const DWORD_PTR*>(args)[n - 1]);
      } else {
        va_list walk;
        va_copy(walk, *args);
        for (int k = 1; k < n; ++k) (void)va_arg(walk, const char16_t*);
        insert = va_arg(walk, const char16_t*);
        va_end(walk);
      }
      result += insert ? insert : u"";
    } else if (c == u'0') {
      break;
    } else if (c == u'n') {
      result += u"\r\n";
    } else if (c == u'r') {
      result += u'\r';
    } else if (c == u't') {
      result += u'\t';
    } else {
      result += c;  // %% %. %! %space: the character itself
    }
  }
  *out = std::move(result);
  return true;
}

}  // namespace

DWORD FormatMessageW(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId, LPWSTR lpBuffer,
                     DWORD nSize, va_list* Arguments) {
  (void)lpSource;
  if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || (dwFlags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)) ||
      !lpBuffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!is_supported_language(dwLanguageId)) {
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return 0;
  }
  const char16_t* text = find_message(dwMessageId);
  if (!text) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  std::u16string out;
  try {
    if (dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) {
      out = text;
    } else if (!expand_inserts(text, dwFlags, Arguments, &out)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    if (dwFlags & FORMAT_MESSAGE_MAX_WIDTH_MASK) {
      // Regular line breaks become spaces when a width is given.
      std::u16string joined;
      for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == u'\r' && i + 1 < out.size() && out[i + 1] == u'\n') {
          joined += u' ';
          ++i;
        } else {
          joined += out[i];
        }
      }
      out = std::move(joined);
    }
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  const size_t chars = out.size();
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    const size_t cap = chars + 1 > nSize ? chars + 1 : nSize;
    auto* block = static_cast<LPWSTR>(std::malloc(cap * sizeof(WCHAR)));
    if (!block) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    std::memcpy(block, out.c_str(), (chars + 1) * sizeof(WCHAR));
    *reinterpret_cast<LPWSTR*>(lpBuffer) = block;
  } else {
    if (chars + 1 > nSize) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return 0;
    }
    std::memcpy(lpBuffer, out.c_str(), (chars + 1) * sizeof(WCHAR));
  }
  return static_cast<DWORD>(chars);
}

// Frees the buffers FormatMessageW allocates. Returns null on success, as Windows.
HANDLE LocalFree(HANDLE hMem) {
  std::free(hMem);
  return nullptr;
}

LCID GetSystemDefaultLCID() { return 0x0409; }
LCID GetUserDefaultLCID() { return 0x0409; }
