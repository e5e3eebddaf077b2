// Zentarix — MIT licence.
// Error records: one object for writer and reader, handed over once, kept per thread.
#include <thread>

#include "ComTestSupport.h"

namespace {

zx::ComPtr<IErrorInfo> make_record(const OLECHAR* description) {
  zx::ComPtr<ICreateErrorInfo> create;
  EXPECT_EQ(CreateErrorInfo(create.put()), S_OK);
  create->SetDescription(const_cast<LPOLESTR>(description));
  zx::ComPtr<IErrorInfo> info;
  EXPECT_EQ(create.query(info), S_OK);
  return info;
}

// The thread's record as its description, "none" when there is none; taking it clears the slot.
std::u16string take_record() {
  zx::ComPtr<IErrorInfo> got;
  if (GetErrorInfo(0, got.put()) != S_OK) return u"none";
  zx::Bstr d;
  EXPECT_EQ(got->GetDescription(d.put()), S_OK);
  return std::u16string(d.view());
}

TEST(ErrorInfo, OneObjectAnswersBothInterfacesAndKeepsWhatWasSet) {
  zx::ComPtr<ICreateErrorInfo> create;
  ASSERT_EQ(CreateErrorInfo(create.put()), S_OK);
  const GUID iid = {0x12345678, 0x9abc, 0xdef0, {1, 2, 3, 4, 5, 6, 7, 8}};
  ASSERT_EQ(create->SetGUID(iid), S_OK);
  ASSERT_EQ(create->SetSource(const_cast<LPOLESTR>(u"Zentarix.RasterObject.1")), S_OK);
  ASSERT_EQ(create->SetHelpContext(42), S_OK);
  zx::ComPtr<IErrorInfo> info;
  ASSERT_EQ(create.query(info), S_OK);
  GUID g{};
  zx::Bstr source, help;
  DWORD ctx = 0;
  ASSERT_EQ(info->GetGUID(&g) | info->GetSource(source.put()) | info->GetHelpFile(help.put()) |
                info->GetHelpContext(&ctx), S_OK);
  EXPECT_EQ(g, iid);
  EXPECT_EQ(source.view(), u"Zentarix.RasterObject.1");
  EXPECT_EQ(help.get(), nullptr);
  EXPECT_EQ(ctx, 42u);
  zx::ComPtr<IUnknown> a, b;
  ASSERT_EQ(create.query(a) | info.query(b), S_OK);
  EXPECT_EQ(a.get(), b.get()) << "one identity";
  zx::ComPtr<IDispatch> none;
  EXPECT_EQ(info.query(none), E_NOINTERFACE);
}

TEST(ErrorInfo, GetHandsTheRecordOverOnceSetReplacesAndNullClears) {
  auto first = make_record(u"first"), second = make_record(u"second");
  ASSERT_EQ(SetErrorInfo(0, first.get()), S_OK);
  zx::ComPtr<IErrorInfo> got;
  ASSERT_EQ(GetErrorInfo(0, got.put()), S_OK);
  EXPECT_EQ(got.get(), first.get());
  EXPECT_EQ(GetErrorInfo(0, got.put()), S_FALSE);
  EXPECT_EQ(got.get(), nullptr);
  EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
  SetErrorInfo(0, first.get());
  SetErrorInfo(0, second.get());
  EXPECT_EQ(take_record(), u"second");
  SetErrorInfo(0, first.get());
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(take_record(), u"none");
}

TEST(ErrorInfo, TwoThreadsNeverSeeEachOthersRecord) {
  ASSERT_EQ(SetErrorInfo(0, make_record(u"main thread").get()), S_OK);
  std::u16string otherFirst, otherSaw;
  std::thread other([&] {
    otherFirst = take_record();
    SetErrorInfo(0, make_record(u"other thread").get());
    otherSaw = take_record();
    SetErrorInfo(0, make_record(u"left").get());  // left behind at thread exit: released with the thread
  });
  other.join();
  EXPECT_EQ(otherFirst + u"/" + otherSaw + u"/" + take_record(), u"none/other thread/main thread");
}

}  // namespace
