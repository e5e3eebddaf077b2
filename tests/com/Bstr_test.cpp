// Zentarix — MIT licence.
// BSTR allocation: lengths from the prefix, embedded NULs, odd byte lengths and reallocation.
#include "ComTestSupport.h"

namespace {

DWORD prefix_of(BSTR s) {
  DWORD n;
  std::memcpy(&n, reinterpret_cast<const char*>(s) - 4, 4);
  return n;
}

TEST(Bstr, LengthsComeFromTheBytePrefixAndTwoNulsFollowEvenAnOddPayload) {
  const OLECHAR text[] = {u'a', 0, u'b', u'c'};
  zx::Bstr s = zx::Bstr::attach(SysAllocStringLen(text, 4));
  EXPECT_EQ(SysStringLen(s.get()), 4u);
  EXPECT_EQ(prefix_of(s.get()), 8u);
  EXPECT_EQ(s.view(), std::u16string_view(text, 4));
  EXPECT_EQ(s.get()[4], 0) << "terminated after the counted characters";
  EXPECT_EQ(zx::Bstr(s).view(), s.view()) << "the holder's copy keeps embedded NULs";
  zx::Bstr z = zx::Bstr::attach(SysAllocString(u"Zen\0tarix"));
  EXPECT_EQ(z.view(), u"Zen") << "SysAllocString stops at the first NUL";
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr) + SysStringByteLen(nullptr), 0u);
  zx::Bstr odd = zx::Bstr::attach(SysAllocStringByteLen("\x01\x00\x7F\xFF\x41", 5));
  EXPECT_EQ(SysStringByteLen(odd.get()), 5u);
  EXPECT_EQ(SysStringLen(odd.get()), 2u) << "character count rounds down";
  EXPECT_EQ(std::memcmp(odd.get(), "\x01\x00\x7F\xFF\x41\x00", 6), 0);
  EXPECT_EQ(odd.get()[3], 0) << "read as OLECHARs, the string ends in a whole wide NUL";
  zx::Bstr zeros = zx::Bstr::attach(SysAllocStringLen(nullptr, 3));
  EXPECT_EQ(zeros.view(), std::u16string_view(u"\0\0\0", 3));
  EXPECT_EQ(SysStringByteLen(zx::Bstr::attach(SysAllocStringByteLen(nullptr, 3)).get()), 3u);
}

TEST(Bstr, ReallocReplacesAndMayReadFromTheOldString) {
  BSTR s = SysAllocString(u"abcdef");
  ASSERT_TRUE(SysReAllocStringLen(&s, s + 2, 3));
  EXPECT_EQ(std::u16string(s), u"cde");
  ASSERT_TRUE(SysReAllocString(&s, u"xy"));
  EXPECT_EQ(SysStringLen(s), 2u);
  // Growing from its own text reads only what the old string holds; the rest is zero.
  ASSERT_TRUE(SysReAllocStringLen(&s, s, 1u << 22));
  EXPECT_EQ(SysStringLen(s), 1u << 22);
  EXPECT_EQ(std::u16string_view(s, 10), std::u16string_view(u"xy\0\0\0\0\0\0\0\0", 10));
  EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
  SysFreeString(s);
}

// Bytes that are not UTF-8 read as U+FFFD each, so what is read writes back unchanged: the registry
// once renamed keys between a read and a write because an encoded surrogate read as itself.
TEST(Utf, IllFormedSequencesReadAsReplacementsAndWhatIsReadWritesBack) {
  const struct {
    std::string_view bytes;
    std::u16string_view text;
  } cases[] = {
      {"a\xC3\xA9\xF0\x9F\x98\x80", u"a\u00E9\U0001F600"},       // well formed
      {"\xC0\xAF", u"\xFFFD\xFFFD"},                               // overlong '/'
      {"\xE0\x80\xAF", u"\xFFFD\xFFFD\xFFFD"},                     // overlong '/'
      {"\xED\xAC\xB3x", u"\xFFFD\xFFFD\xFFFDx"},                   // a surrogate's code point
      {"\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"},          // past U+10FFFF
      {"\xF7\xBF\xBF\xBF", u"\xFFFD\xFFFD\xFFFD\xFFFD"},
  };
  for (const auto& c : cases) {
    const std::u16string text = zx::to_utf16(c.bytes);
    EXPECT_EQ(text, c.text) << c.bytes;
    EXPECT_EQ(zx::to_utf16(zx::to_utf8(text)), text) << c.bytes;
  }
}

}  // namespace
