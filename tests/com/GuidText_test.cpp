// Zentarix — MIT licence.
// GUID text in both directions, task memory and the thread's last error.
#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include "windows.h"

namespace {

// ImageFormatJPEG: a GUID whose Data1..3 show the host-endian fields.
constexpr GUID kJpeg = {0xb96b3cae, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

TEST(GuidText, StringFromGuid2WritesBracedUpperCaseAndCountsTheNul) {
  OLECHAR buf[40];
  EXPECT_EQ(StringFromGUID2(kJpeg, buf, 39), 39);
  EXPECT_EQ(std::u16string(buf), u"{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}");
  EXPECT_EQ(StringFromGUID2(kJpeg, buf, 38), 0) << "too small for the NUL";
}

TEST(GuidText, StringFromClsidAllocatesTaskMemory) {
  LPOLESTR s = nullptr;
  ASSERT_EQ(StringFromCLSID(IID_IDispatch, &s), S_OK);
  EXPECT_EQ(std::u16string(s), u"{00020400-0000-0000-C000-000000000046}");
  CoTaskMemFree(s);
  ASSERT_EQ(StringFromIID(IID_IUnknown, &s), S_OK);
  EXPECT_EQ(std::u16string(s), u"{00000000-0000-0000-C000-000000000046}");
  CoTaskMemFree(s);
}

TEST(GuidText, ParsingAcceptsEitherCaseAndRoundTrips) {
  CLSID c{};
  ASSERT_EQ(CLSIDFromString(u"{b96b3cae-0728-11D3-9d7b-0000F81EF32E}", &c), S_OK);
  EXPECT_EQ(c, kJpeg);
  IID i{};
  ASSERT_EQ(IIDFromString(u"{00020400-0000-0000-C000-000000000046}", &i), S_OK);
  EXPECT_EQ(i, IID_IDispatch);
  ASSERT_EQ(CLSIDFromString(nullptr, &c), S_OK);
  EXPECT_EQ(c, CLSID_NULL);
}

TEST(GuidText, BadTextIsRefusedAndLeavesTheResultUntouched) {
  const OLECHAR* bad[] = {u"B96B3CAE-0728-11D3-9D7B-0000F81EF32E",   u"{B96B3CAE-0728-11D3-9D7B-0000F81EF32E",
                          u"{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}x", u"{B96B3CAE-0728-11D3-9D7B0-000F81EF32E}",
                          u"{G96B3CAE-0728-11D3-9D7B-0000F81EF32E}",  u"{B96B3CAE-0728-11D3-9D7B-0000F81EF3}"};
  for (const OLECHAR* text : bad) {
    CLSID c = kJpeg;
    EXPECT_EQ(CLSIDFromString(text, &c), CO_E_CLASSSTRING);
    EXPECT_EQ(c, kJpeg);
    IID i = kJpeg;
    EXPECT_EQ(IIDFromString(text, &i), E_INVALIDARG);
    EXPECT_EQ(i, kJpeg);
  }
  EXPECT_EQ(CLSIDFromString(u"{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}", nullptr), E_INVALIDARG);
}

TEST(TaskMemory, ReallocKeepsTheContents) {
  auto* p = static_cast<char*>(CoTaskMemAlloc(4));
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "abc", 4);
  p = static_cast<char*>(CoTaskMemRealloc(p, 4096));
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, "abc");
  CoTaskMemFree(p);
  CoTaskMemFree(nullptr);
}

TEST(LastError, IsKeptPerThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seen = 99;
  std::thread t([&] {
    seen = GetLastError();
    SetLastError(ERROR_FILE_NOT_FOUND);
  });
  t.join();
  EXPECT_EQ(seen, ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST(LastError, ErrnoMapsToTheCodesWindowsReports) {
  EXPECT_EQ(ZxWin32ErrorFromErrno(ENOENT), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(ZxWin32ErrorFromErrno(ENOTDIR), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(ZxWin32ErrorFromErrno(EACCES), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ZxWin32ErrorFromErrno(EPERM), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ZxWin32ErrorFromErrno(EROFS), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ZxWin32ErrorFromErrno(EISDIR), ERROR_ACCESS_DENIED);
  EXPECT_EQ(ZxWin32ErrorFromErrno(EEXIST), ERROR_FILE_EXISTS);
  EXPECT_EQ(ZxWin32ErrorFromErrno(ENOMEM), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(ZxWin32ErrorFromErrno(ENOSPC), ERROR_DISK_FULL);
  EXPECT_EQ(ZxWin32ErrorFromErrno(EMFILE), ERROR_TOO_MANY_OPEN_FILES);
  EXPECT_EQ(ZxWin32ErrorFromErrno(ENAMETOOLONG), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_EQ(ZxWin32ErrorFromErrno(EINVAL), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ZxWin32ErrorFromErrno(EBADF), ERROR_INVALID_HANDLE);
  EXPECT_EQ(ZxWin32ErrorFromErrno(EBUSY), ERROR_BUSY);
  EXPECT_EQ(ZxWin32ErrorFromErrno(EDOM), ERROR_INVALID_FUNCTION);
}

}  // namespace
