// Zentarix — MIT licence.
// GDI+ failure messages, the collection's error record and the text buffer on the text heap.
#include <gtest/gtest.h>

#include <type_traits>

#include "ErrorReporting.h"
#include "TextHeap.h"
#include "TestRegistry.h"

namespace {

using zx::server::GdiplusErrorMessage;

std::u16string system_text(DWORD code) {
  LPWSTR text = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::u16string result = text ? std::u16string(text, length) : std::u16string();
  if (text) LocalFree(text);
  return result;
}

TEST(GdiplusErrorMessage, NamesMethodObjectSupportAddressAndStatusTextOrTheSystemText) {
  const std::u16string unprovided = u"GDI+ error which is not provided during coding this software.";
  const struct {
    Gdiplus::Status status;
    DWORD system;
    std::u16string expected;
  } rows[] = {
      {Gdiplus::InvalidParameter, 0,
       u"GDI+ error occured in EmptyImage method of the RasterObject object. If you get this error, please contact " +
           std::u16string(ZX_SUPPORT_ADDRESS_TEXT) + u". Error message: Invalid parameter. GDI+ status code 2"},
      {static_cast<Gdiplus::Status>(21), 0,
       u"GDI+ error occured in EmptyImage method of the RasterObject object. If you get this error, please contact " +
           std::u16string(ZX_SUPPORT_ADDRESS_TEXT) + u". Error message: " + unprovided},
      // status 7 with a system code is the system's text alone, or nothing when the system has none
      {Gdiplus::Win32Error, ERROR_FILE_NOT_FOUND, system_text(ERROR_FILE_NOT_FOUND)},
      {Gdiplus::Win32Error, 0x2FFFFFFFu, u""},
  };
  ASSERT_NE(rows[2].expected.find(u"file"), std::u16string::npos);
  for (const auto& row : rows)
    EXPECT_EQ(zx::to_utf8(GdiplusErrorMessage(row.status, u"RasterObject", u"EmptyImage", row.system)),
              zx::to_utf8(row.expected));
  EXPECT_EQ(zx::server::GdiplusStatusText(static_cast<Gdiplus::Status>(-1)), unprovided);
  EXPECT_EQ(zx::server::GdiplusStatusText(Gdiplus::Ok), u"Success! Gdi+ status is Ok. GDI+ status code 0");
  EXPECT_EQ(zx::server::GdiplusStatusText(Gdiplus::Win32Error), u"Some Win32 API error is occured. GDI+ status code 7");
  EXPECT_EQ(zx::server::GdiplusStatusText(Gdiplus::PropertyNotSupported),
            u"Specified property is not supported by the format of the image. GDI+ status code 20");
  for (int status = 0; status <= 20; ++status) {
    const std::u16string text(zx::server::GdiplusStatusText(static_cast<Gdiplus::Status>(status)));
    EXPECT_TRUE(text.ends_with(u"GDI+ status code " + zx::to_utf16(std::to_string(status)))) << status;
  }
}

class CollectionError : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(zx::server::start_text_heap());
    SetErrorInfo(0, nullptr);
  }
  void TearDown() override { zx::server::stop_text_heap(); }
};

// The extra arguments start after the IID, so it must not be a reference (va_start would be undefined).
template <class R, class A, class B>
constexpr bool takes_second_by_value(R (*)(A, B, ...)) {
  return !std::is_reference_v<B>;
}
static_assert(takes_second_by_value(&zx::server::ReportCollectionError));

TEST_F(CollectionError, RecordHoldsTheFixedTextTheIidAndNoSourceAndNeedsTheTextHeap) {
  const IID iid = {0xAABBCCDD, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  EXPECT_EQ(zx::server::ReportCollectionError(0x38, iid, 17, "key"), S_OK);
  zx::ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  zx::Bstr description, source;
  GUID guid = GUID_NULL;
  info->GetDescription(description.put());
  info->GetSource(source.put());
  info->GetGUID(&guid);
  EXPECT_EQ(description.view(), u"Error in the collection occured (it is possible wrong index)");
  EXPECT_EQ(source.view(), u"");
  EXPECT_EQ(guid, iid);
  EXPECT_STREQ(zx::server::empty_text(), "");
  EXPECT_STREQ(zx::server::none_text(), "<None>");

  zx::server::stop_text_heap();
  EXPECT_EQ(zx::server::text_heap(), nullptr);
  EXPECT_EQ(zx::server::none_text(), nullptr);
  EXPECT_EQ(zx::server::ReportCollectionError(1, iid), E_OUTOFMEMORY);
  EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE);
  zx::server::TextBuffer lost;
  EXPECT_EQ(lost.append(std::string_view("lost")), E_OUTOFMEMORY);
  EXPECT_EQ(lost.length(), 0u);
  EXPECT_STREQ(lost.c_str(), "");
}

TEST_F(CollectionError, TextBufferGrowsInStepsOf32AndKeepsItsContents) {
  zx::server::TextBuffer text;
  // Each append, then the capacity: the length with its terminator, rounded up to 32.
  const std::pair<std::u16string_view, size_t> steps[] = {
      {u"", 32}, {u"0123456789012345678901234567890", 32}, {u"x", 64}, {u" \u00e9", 64}};
  EXPECT_EQ(text.capacity(), 0u);
  for (const auto& [more, capacity] : steps) {
    ASSERT_EQ(text.append(more), S_OK);
    EXPECT_EQ(text.capacity(), capacity);
  }
  EXPECT_EQ(text.length(), 35u);
  EXPECT_STREQ(text.c_str(), "0123456789012345678901234567890x \xc3\xa9");
  ASSERT_EQ(text.reserve(100, false), S_OK);
  EXPECT_EQ(text.capacity(), 128u);
  EXPECT_EQ(text.length(), 0u);
}

}  // namespace
