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

TEST(GdiplusErrorMessage, StatusTwoNamesMethodObjectSupportAddressAndStatusText) {
  EXPECT_EQ(GdiplusErrorMessage(Gdiplus::InvalidParameter, u"RasterObject", u"EmptyImage", 0),
            std::u16string(u"GDI+ error occured in EmptyImage method of the RasterObject object. If you get this "
                           u"error, please contact ") +
                ZX_SUPPORT_ADDRESS_TEXT + u". Error message: Invalid parameter. GDI+ status code 2");
}

TEST(GdiplusErrorMessage, StatusOutsideTheTableEndsInTheUnprovidedText) {
  const std::u16string message = GdiplusErrorMessage(static_cast<Gdiplus::Status>(21), u"RasterObject", u"Clone", 0);
  const std::u16string_view tail = u"Error message: GDI+ error which is not provided during coding this software.";
  ASSERT_GE(message.size(), tail.size());
  EXPECT_EQ(std::u16string_view(message).substr(message.size() - tail.size()), tail);
  EXPECT_EQ(zx::server::GdiplusStatusText(static_cast<Gdiplus::Status>(-1)),
            u"GDI+ error which is not provided during coding this software.");
}

TEST(GdiplusErrorMessage, EveryStatusHasItsOwnSentenceEndingInItsCode) {
  EXPECT_EQ(zx::server::GdiplusStatusText(Gdiplus::Ok), u"Success! Gdi+ status is Ok. GDI+ status code 0");
  EXPECT_EQ(zx::server::GdiplusStatusText(Gdiplus::Win32Error), u"Some Win32 API error is occured. GDI+ status code 7");
  EXPECT_EQ(zx::server::GdiplusStatusText(Gdiplus::PropertyNotSupported),
            u"Specified property is not supported by the format of the image. GDI+ status code 20");
  for (int status = 0; status <= 20; ++status) {
    const std::u16string_view text = zx::server::GdiplusStatusText(static_cast<Gdiplus::Status>(status));
    const std::u16string code = u"GDI+ status code " + zx::to_utf16(std::to_string(status));
    ASSERT_GE(text.size(), code.size());
    EXPECT_EQ(text.substr(text.size() - code.size()), code) << status;
  }
}

TEST(GdiplusErrorMessage, StatusSevenWithSystemCodeIsTheSystemTextAlone) {
  const std::u16string expected = system_text(ERROR_FILE_NOT_FOUND);
  ASSERT_FALSE(expected.empty());
  const std::u16string message = GdiplusErrorMessage(Gdiplus::Win32Error, u"RasterObject", u"SaveFile", ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(message, expected);
  EXPECT_EQ(message.find(u"GDI+"), std::u16string::npos);
}

TEST(GdiplusErrorMessage, SystemCodeWithoutSystemTextGivesEmptyText) {
  EXPECT_EQ(GdiplusErrorMessage(Gdiplus::Win32Error, u"RasterObject", u"SaveFile", 0x2FFFFFFFu), u"");
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

TEST_F(CollectionError, RecordHoldsTheFixedTextTheIidAndNoSource) {
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
}

TEST_F(CollectionError, WithoutTheTextHeapNothingIsSetAndOutOfMemoryComesBack) {
  zx::server::stop_text_heap();
  const IID iid = {0xAABBCCDD, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  EXPECT_EQ(zx::server::ReportCollectionError(1, iid), E_OUTOFMEMORY);
  zx::ComPtr<IErrorInfo> info;
  EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE);
  EXPECT_FALSE(info);
}

TEST_F(CollectionError, TextHeapCarriesTheTwoConstants) {
  ASSERT_NE(zx::server::text_heap(), nullptr);
  EXPECT_STREQ(zx::server::empty_text(), "");
  EXPECT_STREQ(zx::server::none_text(), "<None>");
  zx::server::stop_text_heap();
  EXPECT_EQ(zx::server::text_heap(), nullptr);
  EXPECT_EQ(zx::server::none_text(), nullptr);
}

TEST_F(CollectionError, TextBufferGrowsInStepsOf32AndKeepsItsContents) {
  zx::server::TextBuffer text;
  EXPECT_EQ(text.capacity(), 0u);
  ASSERT_EQ(text.append(std::string_view("")), S_OK);
  EXPECT_EQ(text.capacity(), 32u);  // ((0 + 32) / 32) * 32
  ASSERT_EQ(text.append(std::string_view("0123456789012345678901234567890")), S_OK);  // 31 bytes
  EXPECT_EQ(text.capacity(), 32u);
  ASSERT_EQ(text.append(std::string_view("x")), S_OK);  // 32 bytes need 33 with the terminator
  EXPECT_EQ(text.capacity(), 64u);
  EXPECT_STREQ(text.c_str(), "0123456789012345678901234567890x");
  ASSERT_EQ(text.append(std::u16string_view(u" \u00e9")), S_OK);
  EXPECT_EQ(text.length(), 35u);
  EXPECT_STREQ(text.c_str(), "0123456789012345678901234567890x \xc3\xa9");
  ASSERT_EQ(text.reserve(100, false), S_OK);
  EXPECT_EQ(text.capacity(), 128u);
  EXPECT_EQ(text.length(), 0u);
}

TEST_F(CollectionError, TextBufferFailsWithoutTheHeap) {
  zx::server::stop_text_heap();
  zx::server::TextBuffer text;
  EXPECT_EQ(text.append(std::string_view("lost")), E_OUTOFMEMORY);
  EXPECT_EQ(text.length(), 0u);
  EXPECT_STREQ(text.c_str(), "");
}

}  // namespace
