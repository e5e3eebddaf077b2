// Zentarix — MIT licence.
// Error records: one object for writer and reader, handed over once, kept per thread.
#include <gtest/gtest.h>

#include <thread>

#include "zx/com.h"

namespace {

zx::ComPtr<IErrorInfo> make_record(const OLECHAR* source, const OLECHAR* description) {
  zx::ComPtr<ICreateErrorInfo> create;
  EXPECT_EQ(CreateErrorInfo(create.put()), S_OK);
  create->SetSource(const_cast<LPOLESTR>(source));
  create->SetDescription(const_cast<LPOLESTR>(description));
  zx::ComPtr<IErrorInfo> info;
  EXPECT_EQ(create.query(info), S_OK);
  return info;
}

std::u16string description_of(IErrorInfo* info) {
  zx::Bstr d;
  EXPECT_EQ(info->GetDescription(d.put()), S_OK);
  return std::u16string(d.view());
}

TEST(ErrorInfo, OneObjectAnswersBothInterfacesAndKeepsWhatWasSet) {
  zx::ComPtr<ICreateErrorInfo> create;
  ASSERT_EQ(CreateErrorInfo(create.put()), S_OK);
  const GUID iid = {0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
  ASSERT_EQ(create->SetGUID(iid), S_OK);
  ASSERT_EQ(create->SetSource(const_cast<LPOLESTR>(u"Zentarix.RasterObject.1")), S_OK);
  ASSERT_EQ(create->SetDescription(const_cast<LPOLESTR>(u"No image loaded.")), S_OK);
  ASSERT_EQ(create->SetHelpContext(42), S_OK);
  zx::ComPtr<IErrorInfo> info;
  ASSERT_EQ(create.query(info), S_OK);
  GUID g{};
  ASSERT_EQ(info->GetGUID(&g), S_OK);
  EXPECT_EQ(g, iid);
  zx::Bstr source, help;
  ASSERT_EQ(info->GetSource(source.put()), S_OK);
  EXPECT_EQ(source.view(), u"Zentarix.RasterObject.1");
  EXPECT_EQ(description_of(info.get()), u"No image loaded.");
  ASSERT_EQ(info->GetHelpFile(help.put()), S_OK);
  EXPECT_EQ(help.get(), nullptr);
  DWORD ctx = 0;
  ASSERT_EQ(info->GetHelpContext(&ctx), S_OK);
  EXPECT_EQ(ctx, 42u);
  zx::ComPtr<IUnknown> a, b;
  ASSERT_EQ(create.query(a), S_OK);
  ASSERT_EQ(info.query(b), S_OK);
  EXPECT_EQ(a.get(), b.get()) << "one identity";
  zx::ComPtr<IDispatch> none;
  EXPECT_EQ(info.query(none), E_NOINTERFACE);
}

TEST(ErrorInfo, GetHandsTheRecordOverAndClearsTheSlot) {
  auto info = make_record(u"src", u"first");
  ASSERT_EQ(SetErrorInfo(0, info.get()), S_OK);
  zx::ComPtr<IErrorInfo> got;
  ASSERT_EQ(GetErrorInfo(0, got.put()), S_OK);
  EXPECT_EQ(got.get(), info.get());
  zx::ComPtr<IErrorInfo> again;
  EXPECT_EQ(GetErrorInfo(0, again.put()), S_FALSE);
  EXPECT_EQ(again.get(), nullptr);
  EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
}

TEST(ErrorInfo, SetReplacesAndNullClears) {
  auto first = make_record(u"s", u"first");
  auto second = make_record(u"s", u"second");
  ASSERT_EQ(SetErrorInfo(0, first.get()), S_OK);
  ASSERT_EQ(SetErrorInfo(0, second.get()), S_OK);
  zx::ComPtr<IErrorInfo> got;
  ASSERT_EQ(GetErrorInfo(0, got.put()), S_OK);
  EXPECT_EQ(description_of(got.get()), u"second");
  ASSERT_EQ(SetErrorInfo(0, first.get()), S_OK);
  ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
  EXPECT_EQ(GetErrorInfo(0, got.put()), S_FALSE);
}

TEST(ErrorInfo, TwoThreadsNeverSeeEachOthersRecord) {
  auto mine = make_record(u"s", u"main thread");
  ASSERT_EQ(SetErrorInfo(0, mine.get()), S_OK);
  std::u16string otherSaw;
  HRESULT otherFirst = E_FAIL;
  std::thread other([&] {
    zx::ComPtr<IErrorInfo> got;
    otherFirst = GetErrorInfo(0, got.put());
    auto theirs = make_record(u"s", u"other thread");
    SetErrorInfo(0, theirs.get());
    zx::ComPtr<IErrorInfo> back;
    if (GetErrorInfo(0, back.put()) == S_OK) otherSaw = description_of(back.get());
    SetErrorInfo(0, theirs.get());  // left behind at thread exit: released with the thread
  });
  other.join();
  EXPECT_EQ(otherFirst, S_FALSE) << "a new thread starts with no record";
  EXPECT_EQ(otherSaw, u"other thread");
  zx::ComPtr<IErrorInfo> got;
  ASSERT_EQ(GetErrorInfo(0, got.put()), S_OK);
  EXPECT_EQ(description_of(got.get()), u"main thread");
}

}  // namespace
