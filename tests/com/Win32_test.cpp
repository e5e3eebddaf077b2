// Zentarix — MIT licence.
// The Win32 pieces: system message texts, locale, private heaps, wvsprintfA and UUIDs.
#include <gtest/gtest.h>
#include <uuid/uuid.h>

#include <cerrno>
#include <cstdarg>
#include <set>
#include <string>

#include "windows.h"

namespace {

std::u16string system_text(DWORD id, DWORD flags = 0) {
  WCHAR buf[512];
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | flags, nullptr, id,
                                 LANG_USER_DEFAULT, buf, 512, nullptr);
  if (n == 0) return u"<none>";
  EXPECT_EQ(std::u16string(buf).size(), n);
  return std::u16string(buf, n);
}

TEST(FormatMessage, MappedErrnoCodesGiveTheWindowsTexts) {
  struct Case {
    int err;
    const char16_t* text;
  } cases[] = {
      {ENOENT, u"The system cannot find the file specified.\r\n"},
      {ENOTDIR, u"The system cannot find the path specified.\r\n"},
      {EACCES, u"Access is denied.\r\n"},
      {EEXIST, u"The file exists.\r\n"},
      {ENOMEM, u"Not enough memory resources are available to process this command.\r\n"},
      {ENOSPC, u"There is not enough space on the disk.\r\n"},
      {EMFILE, u"The system cannot open the file.\r\n"},
      {ENAMETOOLONG, u"The filename or extension is too long.\r\n"},
      {EINVAL, u"The parameter is incorrect.\r\n"},
      {EBADF, u"The handle is invalid.\r\n"},
      {EBUSY, u"The requested resource is in use.\r\n"},
      {EDOM, u"Incorrect function.\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    EXPECT_EQ(system_text(ZxWin32ErrorFromErrno(c.err)), c.text);
  }
}

TEST(FormatMessage, EveryWin32CodeOfThePlatformHasAText) {
  const DWORD codes[] = {ERROR_SUCCESS, ERROR_INVALID_FUNCTION, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
                         ERROR_TOO_MANY_OPEN_FILES, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_NOT_ENOUGH_MEMORY,
                         ERROR_INVALID_DATA, ERROR_OUTOFMEMORY, ERROR_WRITE_PROTECT, ERROR_NOT_READY,
                         ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_HANDLE_EOF, ERROR_NOT_SUPPORTED,
                         ERROR_FILE_EXISTS, ERROR_INVALID_PARAMETER, ERROR_BROKEN_PIPE, ERROR_DISK_FULL,
                         ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_NAME, ERROR_MOD_NOT_FOUND, ERROR_PROC_NOT_FOUND,
                         ERROR_DIR_NOT_EMPTY, ERROR_BUSY, ERROR_ALREADY_EXISTS, ERROR_FILENAME_EXCED_RANGE,
                         ERROR_MORE_DATA, ERROR_NO_MORE_ITEMS, ERROR_DIRECTORY, ERROR_NOACCESS, ERROR_CANTOPEN,
                         ERROR_CANTREAD, ERROR_CANTWRITE, ERROR_REGISTRY_CORRUPT, ERROR_KEY_DELETED,
                         ERROR_DLL_INIT_FAILED, ERROR_INVALID_FLAGS, ERROR_BAD_FORMAT, ERROR_NOT_FOUND,
                         ERROR_NOT_LOCKED, ERROR_IO_DEVICE, ERROR_CANT_RESOLVE_FILENAME};
  for (DWORD code : codes) {
    SCOPED_TRACE(code);
    const std::u16string text = system_text(code);
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(text.size() - 3), u".\r\n");
  }
  EXPECT_EQ(system_text(ERROR_SUCCESS), u"The operation completed successfully.\r\n");
  EXPECT_EQ(system_text(ERROR_ALREADY_EXISTS), u"Cannot create a file when that file already exists.\r\n");
  EXPECT_EQ(system_text(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)), u"The system cannot find the path specified.\r\n");
  EXPECT_EQ(system_text(E_FAIL), u"Unspecified error\r\n");
  EXPECT_EQ(system_text(DISP_E_TYPEMISMATCH), u"Type mismatch.\r\n");
}

TEST(FormatMessage, UnknownCodeAndSmallBufferFailWithTheWindowsErrors) {
  WCHAR buf[64];
  SetLastError(0);
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0x7777, 0, buf, 64, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
  EXPECT_EQ(ERROR_MR_MID_NOT_FOUND, 317u);
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, buf, 20, nullptr), 19u);
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, 0, buf, 19, nullptr), 0u)
      << "19 characters need 20 with the NUL";
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, MAKELANGID(0x0C, 1), buf, 64, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_LANG_NOT_FOUND);
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_STRING, u"x", 0, 0, buf, 64, nullptr), 0u);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(FormatMessage, AllocateBufferIsFreedWithLocalFree) {
  LPWSTR text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                                 ERROR_INVALID_PARAMETER, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                 reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  ASSERT_EQ(n, 29u);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::u16string(text), u"The parameter is incorrect.\r\n");
  EXPECT_EQ(LocalFree(text), nullptr);
}

TEST(FormatMessage, InsertsAreFilledUnlessIgnoredAndWidthJoinsLines) {
  EXPECT_EQ(system_text(ERROR_MR_MID_NOT_FOUND),
            u"The system cannot find message text for message number 0x%1 in the message file for %2.\r\n");
  const WCHAR* args[] = {u"7777", u"System"};
  WCHAR buf[256];
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr,
                                 ERROR_MR_MID_NOT_FOUND, 0, buf, 256, reinterpret_cast<va_list*>(args));
  ASSERT_GT(n, 0u);
  EXPECT_EQ(std::u16string(buf),
            u"The system cannot find message text for message number 0x7777 in the message file for System.\r\n");
  EXPECT_EQ(system_text(ERROR_ACCESS_DENIED, FORMAT_MESSAGE_MAX_WIDTH_MASK), u"Access is denied. ");
}

TEST(Locale, DefaultsAreEnglishUnitedStates) {
  EXPECT_EQ(GetSystemDefaultLCID(), 0x0409u);
  EXPECT_EQ(GetUserDefaultLCID(), 0x0409u);
}

TEST(Heap, AllocationsBeyondTheMaximumFailAndFreeingMakesRoom) {
  HANDLE heap = HeapCreate(0, 4096, 64 * 1024);
  ASSERT_NE(heap, nullptr);
  void* big = HeapAlloc(heap, 0, 40 * 1024);
  ASSERT_NE(big, nullptr);
  SetLastError(0);
  EXPECT_EQ(HeapAlloc(heap, 0, 40 * 1024), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(HeapReAlloc(heap, 0, big, 80 * 1024), nullptr);
  EXPECT_EQ(HeapSize(heap, 0, big), 40u * 1024) << "a failed grow keeps the block";
  ASSERT_TRUE(HeapFree(heap, 0, big));
  void* again = HeapAlloc(heap, HEAP_ZERO_MEMORY, 40 * 1024);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(again)[40 * 1024 - 1], 0);
  EXPECT_TRUE(HeapDestroy(heap)) << "frees what is still allocated";
  EXPECT_EQ(HeapCreate(0, 8192, 4096), nullptr) << "initial above maximum";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Heap, GrowableHeapReallocatesKeepingContentsAndSizes) {
  HANDLE heap = HeapCreate(0, 0, 0);
  ASSERT_NE(heap, nullptr);
  auto* p = static_cast<char*>(HeapAlloc(heap, 0, 6));
  std::memcpy(p, "heap!", 6);
  EXPECT_EQ(HeapSize(heap, 0, p), 6u);
  p = static_cast<char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, p, 1 << 20));
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, "heap!");
  EXPECT_EQ(p[(1 << 20) - 1], 0);
  EXPECT_EQ(HeapSize(heap, 0, p), size_t{1} << 20);
  EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 2 << 20), nullptr);
  EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 10), p);
  EXPECT_EQ(HeapSize(heap, 0, p), 10u);
  HANDLE other = HeapCreate(0, 0, 0);
  EXPECT_FALSE(HeapFree(other, 0, p)) << "a block belongs to its own heap";
  EXPECT_TRUE(HeapFree(heap, 0, nullptr));
  EXPECT_TRUE(HeapDestroy(other));
  for (int i = 0; i < 100; ++i) ASSERT_NE(HeapAlloc(heap, 0, 100), nullptr);
  EXPECT_TRUE(HeapDestroy(heap));
}

std::string sprintf_a(const char* format, ...) {
  char buf[1100];
  std::memset(buf, 'Q', sizeof buf);
  va_list args;
  va_start(args, format);
  const int n = wvsprintfA(buf, format, args);
  va_end(args);
  EXPECT_EQ(buf[n], '\0');
  return std::string(buf, static_cast<size_t>(n));
}

TEST(Wsprintf, TheWindowsSubsetOfConversions) {
  EXPECT_EQ(sprintf_a("%d|%i|%u", -42, 7, 4000000000u), "-42|7|4000000000");
  EXPECT_EQ(sprintf_a("%x|%X|%#x|%08X", 255, 255, 255, 0xBEEF), "ff|FF|0xff|0000BEEF");
  EXPECT_EQ(sprintf_a("[%5d][%-5d][%05d][%.3d]", 42, 42, -42, 7), "[   42][42   ][-0042][007]");
  EXPECT_EQ(sprintf_a("%s and %.3s", "pixels", "abcdef"), "pixels and abc");
  EXPECT_EQ(sprintf_a("%c%c", 'o', 'k'), "ok");
  EXPECT_EQ(sprintf_a("%ls|%S|%lc", u"wide", u"W\u00e9", static_cast<int>(u'z')), "wide|W\xc3\xa9|z");
  EXPECT_EQ(sprintf_a("%s", static_cast<const char*>(nullptr)), "(null)");
  EXPECT_EQ(sprintf_a("100%%"), "100%");
  EXPECT_EQ(sprintf_a("%ld", -5L), "-5");
}

TEST(Wsprintf, OutputStopsAt1023Characters) {
  const std::string longText(2000, 'a');
  const std::string out = sprintf_a("%s", longText.c_str());
  EXPECT_EQ(out.size(), 1023u);
}

TEST(Uuid, CreatedUuidsAreRandomVersion4InWindowsByteOrder) {
  UUID a, b;
  ASSERT_EQ(UuidCreate(&a), RPC_S_OK);
  ASSERT_EQ(UuidCreate(&b), RPC_S_OK);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.Data3 >> 12, 4) << "the version nibble is the top of Data3 as an integer";
  EXPECT_EQ(a.Data4[0] & 0xC0, 0x80) << "RFC 4122 variant";
}

TEST(Uuid, TextIsLowerCase36CharactersAndRoundTrips) {
  const UUID jpeg = {0xb96b3cae, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
  RPC_CSTR text = nullptr;
  ASSERT_EQ(UuidToStringA(&jpeg, &text), RPC_S_OK);
  EXPECT_STREQ(reinterpret_cast<char*>(text), "b96b3cae-0728-11d3-9d7b-0000f81ef32e");
  // libuuid reads the same text to the RFC byte order: Data1 comes first, most significant byte first.
  uuid_t bytes;
  ASSERT_EQ(uuid_parse(reinterpret_cast<char*>(text), bytes), 0);
  EXPECT_EQ(bytes[0], 0xb9);
  EXPECT_EQ(bytes[3], 0xae);
  UUID back{};
  ASSERT_EQ(UuidFromStringA(text, &back), RPC_S_OK);
  EXPECT_EQ(back, jpeg);
  ASSERT_EQ(RpcStringFreeA(&text), RPC_S_OK);
  EXPECT_EQ(text, nullptr);

  RPC_WSTR wide = nullptr;
  ASSERT_EQ(UuidToStringW(&jpeg, &wide), RPC_S_OK);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(wide)), u"b96b3cae-0728-11d3-9d7b-0000f81ef32e");
  ASSERT_EQ(RpcStringFreeW(&wide), RPC_S_OK);

  UUID bad = jpeg;
  EXPECT_EQ(UuidFromStringA(reinterpret_cast<RPC_CSTR>(const_cast<char*>("{b96b3cae-0728-11d3-9d7b-0000f81ef32e}")), &bad),
            RPC_S_INVALID_STRING_UUID);
  EXPECT_EQ(UuidFromStringA(reinterpret_cast<RPC_CSTR>(const_cast<char*>("b96b3cae-0728-11d3-9d7b-0000f81ef32g")), &bad),
            RPC_S_INVALID_STRING_UUID);
  EXPECT_EQ(bad, jpeg);
}

}  // namespace
