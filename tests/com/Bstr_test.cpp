// Zentarix — MIT licence.
// BSTR allocation: lengths from the prefix, embedded NULs, odd byte lengths and reallocation.
#include <gtest/gtest.h>

#include <cstring>

#include "zx/com.h"

namespace {

DWORD prefix_of(BSTR s) {
  DWORD n;
  std::memcpy(&n, reinterpret_cast<const char*>(s) - 4, 4);
  return n;
}

TEST(Bstr, LengthComesFromThePrefixNotTheFirstNul) {
  const OLECHAR text[] = {u'a', 0, u'b', u'c'};
  zx::Bstr s = zx::Bstr::attach(SysAllocStringLen(text, 4));
  ASSERT_NE(s.get(), nullptr);
  EXPECT_EQ(SysStringLen(s.get()), 4u);
  EXPECT_EQ(SysStringByteLen(s.get()), 8u);
  EXPECT_EQ(prefix_of(s.get()), 8u);
  EXPECT_EQ(s.get()[1], 0);
  EXPECT_EQ(s.get()[3], u'c');
  EXPECT_EQ(s.get()[4], 0) << "terminated after the counted characters";
}

TEST(Bstr, AllocStringStopsAtTheFirstNulAndNullGivesNull) {
  zx::Bstr s = zx::Bstr::attach(SysAllocString(u"Zentarix"));
  EXPECT_EQ(SysStringLen(s.get()), 8u);
  EXPECT_EQ(std::u16string(s.get()), u"Zentarix");
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  zx::Bstr empty = zx::Bstr::attach(SysAllocString(u""));
  ASSERT_NE(empty.get(), nullptr);
  EXPECT_EQ(SysStringLen(empty.get()), 0u);
}

TEST(Bstr, OddByteLengthKeepsItsBytesAndTwoNulsFollow) {
  const char bytes[] = {'\x01', '\x00', '\x7F', '\xFF', '\x41'};
  BSTR s = SysAllocStringByteLen(bytes, 5);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringByteLen(s), 5u);
  EXPECT_EQ(SysStringLen(s), 2u) << "character count rounds down";
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  EXPECT_EQ(std::memcmp(p, bytes, 5), 0);
  EXPECT_EQ(p[5], 0);
  EXPECT_EQ(s[3], 0) << "read as OLECHARs, the string ends in a whole wide NUL";
  SysFreeString(s);
}

TEST(Bstr, NullSourceAllocatesZeroedSpaceOfTheRequestedLength) {
  BSTR s = SysAllocStringLen(nullptr, 3);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(s[0], 0);
  EXPECT_EQ(s[3], 0);
  SysFreeString(s);
  BSTR b = SysAllocStringByteLen(nullptr, 3);
  EXPECT_EQ(SysStringByteLen(b), 3u);
  SysFreeString(b);
}

TEST(Bstr, ReallocReplacesAndMayReadFromTheOldString) {
  BSTR s = SysAllocString(u"abcdef");
  ASSERT_TRUE(SysReAllocStringLen(&s, s + 2, 3));
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(std::u16string(s), u"cde");
  ASSERT_TRUE(SysReAllocString(&s, u"xy"));
  EXPECT_EQ(std::u16string(s), u"xy");
  EXPECT_EQ(SysStringLen(s), 2u);
  // Growing from its own text reads only what the old string holds; the rest is zero.
  ASSERT_TRUE(SysReAllocStringLen(&s, s, 1u << 22));
  EXPECT_EQ(SysStringLen(s), 1u << 22);
  EXPECT_EQ(std::u16string(s), u"xy");
  EXPECT_EQ(std::u16string_view(s + 2, 8), std::u16string_view(u"\0\0\0\0\0\0\0\0", 8));
  EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
  SysFreeString(s);
  SysFreeString(nullptr);
}

TEST(Bstr, CopyThroughTheHolderKeepsEmbeddedNuls) {
  const OLECHAR text[] = {u'x', 0, u'y'};
  zx::Bstr a(std::u16string_view(text, 3));
  zx::Bstr b(a);
  EXPECT_EQ(b.length(), 3u);
  EXPECT_EQ(b.view(), std::u16string_view(text, 3));
}

}  // namespace
