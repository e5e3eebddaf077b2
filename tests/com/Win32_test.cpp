// Zentarix — MIT licence.
// The Win32 pieces: system message texts, locale, private heaps, wvsprintfA and UUIDs.
#include <uuid/uuid.h>

#include <cerrno>
#include <cstdarg>

#include "ComTestSupport.h"

namespace {

std::u16string system_text(DWORD id, DWORD flags = 0) {
  WCHAR buf[512];
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | flags, nullptr, id,
                                 LANG_USER_DEFAULT, buf, 512, nullptr);
  EXPECT_EQ(n == 0 ? 0 : std::u16string(buf).size(), n);
  return n == 0 ? u"<none>" : std::u16string(buf, n);
}

TEST(FormatMessage, SystemCodesGiveTheWindowsTexts) {
  const std::pair<DWORD, const char16_t*> cases[] = {
      {ZxWin32ErrorFromErrno(ENOENT), u"The system cannot find the file specified.\r\n"},
      {ZxWin32ErrorFromErrno(ENOTDIR), u"The system cannot find the path specified.\r\n"},
      {ZxWin32ErrorFromErrno(EACCES), u"Access is denied.\r\n"},
      {ZxWin32ErrorFromErrno(EEXIST), u"The file exists.\r\n"},
      {ZxWin32ErrorFromErrno(ENOMEM), u"Not enough memory resources are available to process this command.\r\n"},
      {ZxWin32ErrorFromErrno(ENOSPC), u"There is not enough space on the disk.\r\n"},
      {ZxWin32ErrorFromErrno(EMFILE), u"The system cannot open the file.\r\n"},
      {ZxWin32ErrorFromErrno(ENAMETOOLONG), u"The filename or extension is too long.\r\n"},
      {ZxWin32ErrorFromErrno(EINVAL), u"The parameter is incorrect.\r\n"},
      {ZxWin32ErrorFromErrno(EBADF), u"The handle is invalid.\r\n"},
      {ZxWin32ErrorFromErrno(EBUSY), u"The requested resource is in use.\r\n"},
      {ZxWin32ErrorFromErrno(EDOM), u"Incorrect function.\r\n"},
      {ERROR_SUCCESS, u"The operation completed successfully.\r\n"},
      {ERROR_ALREADY_EXISTS, u"Cannot create a file when that file already exists.\r\n"},
      {HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND), u"The system cannot find the path specified.\r\n"},
      {static_cast<DWORD>(E_FAIL), u"Unspecified error\r\n"},
      {static_cast<DWORD>(DISP_E_TYPEMISMATCH), u"Type mismatch.\r\n"},
      {ERROR_MR_MID_NOT_FOUND,
       u"The system cannot find message text for message number 0x%1 in the message file for %2.\r\n"}};
  for (const auto& [code, text] : cases) EXPECT_EQ(system_text(code), text) << code;
  const DWORD codes[] = {ERROR_OUTOFMEMORY, ERROR_WRITE_PROTECT, ERROR_NOT_READY, ERROR_SHARING_VIOLATION,
                         ERROR_LOCK_VIOLATION, ERROR_HANDLE_EOF, ERROR_NOT_SUPPORTED, ERROR_BROKEN_PIPE,
                         ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_NAME, ERROR_MOD_NOT_FOUND, ERROR_PROC_NOT_FOUND,
                         ERROR_DIR_NOT_EMPTY, ERROR_MORE_DATA, ERROR_NO_MORE_ITEMS, ERROR_DIRECTORY, ERROR_NOACCESS,
                         ERROR_CANTOPEN, ERROR_CANTREAD, ERROR_CANTWRITE, ERROR_REGISTRY_CORRUPT, ERROR_KEY_DELETED,
                         ERROR_DLL_INIT_FAILED, ERROR_INVALID_FLAGS, ERROR_BAD_FORMAT, ERROR_NOT_FOUND,
                         ERROR_NOT_LOCKED, ERROR_IO_DEVICE, ERROR_CANT_RESOLVE_FILENAME, ERROR_INVALID_DATA};
  for (DWORD code : codes) EXPECT_TRUE(system_text(code).ends_with(u".\r\n")) << code;
}

TEST(FormatMessage, InsertsWidthAllocationAndTheWindowsFailures) {
  const WCHAR* args[] = {u"7777", u"System"};
  WCHAR buf[256];
  ASSERT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr, ERROR_MR_MID_NOT_FOUND,
                           0, buf, 256, reinterpret_cast<va_list*>(args)), 0u);
  EXPECT_EQ(std::u16string(buf),
            u"The system cannot find message text for message number 0x7777 in the message file for System.\r\n");
  EXPECT_EQ(system_text(ERROR_ACCESS_DENIED, FORMAT_MESSAGE_MAX_WIDTH_MASK), u"Access is denied. ");
  LPWSTR text = nullptr;
  ASSERT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, ERROR_INVALID_PARAMETER,
                           MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<LPWSTR>(&text), 0, nullptr),
            29u);
  EXPECT_EQ(std::u16string(text), u"The parameter is incorrect.\r\n");
  EXPECT_EQ(LocalFree(text), nullptr);
  const struct {
    DWORD flags, id, lang, size, n, error;
  } cases[] = {{FORMAT_MESSAGE_FROM_SYSTEM, 0x7777, 0, 64, 0, ERROR_MR_MID_NOT_FOUND},
               {FORMAT_MESSAGE_FROM_SYSTEM, ERROR_ACCESS_DENIED, 0, 20, 19, 0},
               {FORMAT_MESSAGE_FROM_SYSTEM, ERROR_ACCESS_DENIED, 0, 19, 0, ERROR_INSUFFICIENT_BUFFER},
               {FORMAT_MESSAGE_FROM_SYSTEM, ERROR_ACCESS_DENIED, MAKELANGID(0x0C, 1), 64, 0, ERROR_RESOURCE_LANG_NOT_FOUND},
               {FORMAT_MESSAGE_FROM_STRING, 0, 0, 64, 0, ERROR_INVALID_PARAMETER}};
  SetLastError(0);
  for (const auto& c : cases) {
    EXPECT_EQ(FormatMessageW(c.flags, u"x", c.id, c.lang, buf, c.size, nullptr), c.n) << c.id << "/" << c.size;
    if (c.n == 0) {
      EXPECT_EQ(GetLastError(), c.error) << c.id << "/" << c.size;
    }
  }
  EXPECT_EQ(GetSystemDefaultLCID() + GetUserDefaultLCID(), 2 * 0x0409u) << "English (United States)";
}

TEST(Heap, BoundedHeapsRefuseBeyondTheMaximumAndGrowableOnesReallocate) {
  HANDLE heap = HeapCreate(0, 4096, 64 * 1024);
  void* big = HeapAlloc(heap, 0, 40 * 1024);
  ASSERT_NE(big, nullptr);
  SetLastError(0);
  EXPECT_EQ(HeapAlloc(heap, 0, 40 * 1024), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(HeapReAlloc(heap, 0, big, 80 * 1024), nullptr);
  EXPECT_EQ(HeapSize(heap, 0, big), 40u * 1024) << "a failed grow keeps the block";
  ASSERT_TRUE(HeapFree(heap, 0, big));
  auto* again = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 40 * 1024));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again[40 * 1024 - 1], 0);
  EXPECT_TRUE(HeapDestroy(heap)) << "frees what is still allocated";
  EXPECT_EQ(HeapCreate(0, 8192, 4096), nullptr) << "initial above maximum";
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  heap = HeapCreate(0, 0, 0);
  auto* p = static_cast<char*>(HeapAlloc(heap, 0, 6));
  std::memcpy(p, "heap!", 6);
  p = static_cast<char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, p, 1 << 20));
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, "heap!");
  EXPECT_EQ(p[(1 << 20) - 1], 0);
  EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 2 << 20), nullptr);
  EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 10), p);
  EXPECT_EQ(HeapSize(heap, 0, p), 10u);
  HANDLE other = HeapCreate(0, 0, 0);
  EXPECT_FALSE(HeapFree(other, 0, p)) << "a block belongs to its own heap";
  EXPECT_TRUE(HeapFree(heap, 0, nullptr));
  EXPECT_TRUE(HeapDestroy(other) && HeapDestroy(heap));
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

TEST(Wsprintf, TheWindowsSubsetOfConversionsUpTo1023Characters) {
  EXPECT_EQ(sprintf_a("%d|%i|%u|%ld", -42, 7, 4000000000u, -5L), "-42|7|4000000000|-5");
  EXPECT_EQ(sprintf_a("%x|%X|%#x|%08X", 255, 255, 255, 0xBEEF), "ff|FF|0xff|0000BEEF");
  EXPECT_EQ(sprintf_a("[%5d][%-5d][%05d][%.3d]", 42, 42, -42, 7), "[   42][42   ][-0042][007]");
  EXPECT_EQ(sprintf_a("%s and %.3s|%c%c|100%%", "pixels", "abcdef", 'o', 'k'), "pixels and abc|ok|100%");
  EXPECT_EQ(sprintf_a("%ls|%S|%lc", u"wide", u"W\u00e9", static_cast<int>(u'z')), "wide|W\xc3\xa9|z");
  EXPECT_EQ(sprintf_a("%s", static_cast<const char*>(nullptr)), "(null)");
  EXPECT_EQ(sprintf_a("%s", std::string(2000, 'a').c_str()).size(), 1023u);
}

TEST(Uuid, RandomVersion4InWindowsByteOrderWithLowerCaseText) {
  UUID a, b;
  ASSERT_EQ(UuidCreate(&a) | UuidCreate(&b), RPC_S_OK);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.Data3 >> 12, 4) << "the version nibble is the top of Data3 as an integer";
  EXPECT_EQ(a.Data4[0] & 0xC0, 0x80) << "RFC 4122 variant";
  const UUID jpeg = {0xb96b3cae, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
  RPC_CSTR text = nullptr;
  ASSERT_EQ(UuidToStringA(&jpeg, &text), RPC_S_OK);
  EXPECT_STREQ(reinterpret_cast<char*>(text), "b96b3cae-0728-11d3-9d7b-0000f81ef32e");
  // libuuid reads the same text to the RFC byte order: Data1 comes first, most significant byte first.
  uuid_t bytes;
  ASSERT_EQ(uuid_parse(reinterpret_cast<char*>(text), bytes), 0);
  EXPECT_EQ(bytes[0] << 8 | bytes[3], 0xb9ae);
  UUID back{};
  ASSERT_EQ(UuidFromStringA(text, &back), RPC_S_OK);
  EXPECT_EQ(back, jpeg);
  ASSERT_EQ(RpcStringFreeA(&text), RPC_S_OK);
  EXPECT_EQ(text, nullptr);
  RPC_WSTR wide = nullptr;
  ASSERT_EQ(UuidToStringW(&jpeg, &wide), RPC_S_OK);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(wide)), u"b96b3cae-0728-11d3-9d7b-0000f81ef32e");
  ASSERT_EQ(RpcStringFreeW(&wide), RPC_S_OK);
  for (const char* bad : {"{b96b3cae-0728-11d3-9d7b-0000f81ef32e}", "b96b3cae-0728-11d3-9d7b-0000f81ef32g"}) {
    UUID kept = jpeg;
    EXPECT_EQ(UuidFromStringA(reinterpret_cast<RPC_CSTR>(const_cast<char*>(bad)), &kept), RPC_S_INVALID_STRING_UUID);
    EXPECT_EQ(kept, jpeg);
  }
}

}  // namespace
