// Zentarix — MIT licence.
// GUID text in both directions, task memory and the thread's last error.
#include <cerrno>
#include <thread>

#include "ComTestSupport.h"

namespace {

// ImageFormatJPEG: a GUID whose Data1..3 show the host-endian fields.
constexpr GUID kJpeg = {0xb96b3cae, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

TEST(GuidText, WrittenBracedUpperCaseAndReadInEitherCase) {
  OLECHAR buf[40];
  EXPECT_EQ(StringFromGUID2(kJpeg, buf, 39), 39);
  EXPECT_EQ(std::u16string(buf), u"{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}");
  EXPECT_EQ(StringFromGUID2(kJpeg, buf, 38), 0) << "too small for the NUL";
  LPOLESTR s = nullptr;
  ASSERT_EQ(StringFromCLSID(IID_IDispatch, &s), S_OK);
  EXPECT_EQ(std::u16string(s), u"{00020400-0000-0000-C000-000000000046}");
  CoTaskMemFree(s);
  CLSID c{};
  ASSERT_EQ(CLSIDFromString(u"{b96b3cae-0728-11D3-9d7b-0000F81EF32E}", &c), S_OK);
  EXPECT_EQ(c, kJpeg);
  ASSERT_EQ(CLSIDFromString(nullptr, &c), S_OK);
  EXPECT_EQ(c, CLSID_NULL);
  const OLECHAR* bad[] = {u"B96B3CAE-0728-11D3-9D7B-0000F81EF32E",   u"{B96B3CAE-0728-11D3-9D7B-0000F81EF32E",
                          u"{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}x", u"{B96B3CAE-0728-11D3-9D7B0-000F81EF32E}",
                          u"{G96B3CAE-0728-11D3-9D7B-0000F81EF32E}",  u"{B96B3CAE-0728-11D3-9D7B-0000F81EF3}"};
  for (const OLECHAR* text : bad) {
    CLSID cl = kJpeg;
    IID i = kJpeg;
    EXPECT_EQ(CLSIDFromString(text, &cl), CO_E_CLASSSTRING);
    EXPECT_EQ(IIDFromString(text, &i), E_INVALIDARG);
    EXPECT_TRUE(cl == kJpeg && i == kJpeg) << "a refused text leaves the result";
  }
  EXPECT_EQ(CLSIDFromString(u"{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}", nullptr), E_INVALIDARG);
}

TEST(TaskMemory, ReallocKeepsTheContents) {
  auto* p = static_cast<char*>(CoTaskMemAlloc(4));
  std::memcpy(p, "abc", 4);
  p = static_cast<char*>(CoTaskMemRealloc(p, 4096));
  EXPECT_STREQ(p, "abc");
  CoTaskMemFree(p);
}

TEST(LastError, IsKeptPerThreadAndErrnoMapsToTheWindowsCodes) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seen = 99;
  std::thread([&] {
    seen = GetLastError();
    SetLastError(ERROR_FILE_NOT_FOUND);
  }).join();
  EXPECT_EQ(seen, ERROR_SUCCESS);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  const std::pair<int, DWORD> cases[] = {
      {ENOENT, ERROR_FILE_NOT_FOUND},   {ENOTDIR, ERROR_PATH_NOT_FOUND}, {EACCES, ERROR_ACCESS_DENIED},
      {EPERM, ERROR_ACCESS_DENIED},     {EROFS, ERROR_ACCESS_DENIED},    {EISDIR, ERROR_ACCESS_DENIED},
      {EEXIST, ERROR_FILE_EXISTS},      {ENOMEM, ERROR_NOT_ENOUGH_MEMORY}, {ENOSPC, ERROR_DISK_FULL},
      {EMFILE, ERROR_TOO_MANY_OPEN_FILES}, {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
      {EINVAL, ERROR_INVALID_PARAMETER}, {EBADF, ERROR_INVALID_HANDLE},  {EBUSY, ERROR_BUSY},
      {EDOM, ERROR_INVALID_FUNCTION}};
  for (const auto& [err, code] : cases) EXPECT_EQ(ZxWin32ErrorFromErrno(err), code) << err;
}

}  // namespace
