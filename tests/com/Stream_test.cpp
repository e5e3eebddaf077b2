// Zentarix — MIT licence.
// Memory and file streams: seeking past the end, sizes, copying, clones and open failures.
#include <unistd.h>

#include <cstdio>

#include "ComTestSupport.h"

namespace {

LARGE_INTEGER at(LONGLONG v) {
  LARGE_INTEGER li;
  li.QuadPart = v;
  return li;
}
ULARGE_INTEGER usize(ULONGLONG v) {
  ULARGE_INTEGER u;
  u.QuadPart = v;
  return u;
}

zx::ComPtr<IStream> memory_stream(const char* text = "") {
  zx::ComPtr<IStream> s;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, s.put()), S_OK);
  EXPECT_EQ(s->Write(text, static_cast<ULONG>(std::strlen(text)), nullptr), S_OK);
  return s;
}

// "position|contents": the whole stream read without moving its position.
std::string state(IStream* s) {
  ULARGE_INTEGER pos;
  STATSTG st{};
  EXPECT_EQ(s->Seek(at(0), STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(s->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.type, static_cast<DWORD>(STGTY_STREAM));
  std::string data(static_cast<size_t>(st.cbSize.QuadPart), '?');
  ULONG got = 0;
  EXPECT_EQ(s->Seek(at(0), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(s->Read(data.data(), static_cast<ULONG>(data.size()), &got), S_OK);
  EXPECT_EQ(s->Seek(at(static_cast<LONGLONG>(pos.QuadPart)), STREAM_SEEK_SET, nullptr), S_OK);
  return std::to_string(pos.QuadPart) + "|" + data.substr(0, got);
}

TEST(MemoryStream, SeeksReadsWritesPastTheEndAndSizes) {
  auto s = memory_stream("abcdef");
  ULARGE_INTEGER pos;
  ASSERT_EQ(s->Seek(at(-2), STREAM_SEEK_END, &pos), S_OK);
  char buf[8] = {};
  ULONG n = 0;
  ASSERT_EQ(s->Read(buf, 8, &n), S_OK);
  EXPECT_EQ(std::string(buf, n), "ef") << "a short read at the end is no error";
  ASSERT_EQ(s->Seek(at(-5), STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 1u);
  EXPECT_EQ(s->Seek(at(-2), STREAM_SEEK_CUR, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(at(0), 7, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(state(s.get()), "1|abcdef") << "a refused seek keeps the position";
  ASSERT_EQ(s->Seek(at(9), STREAM_SEEK_SET, nullptr), S_OK);
  EXPECT_EQ(state(s.get()), "9|abcdef") << "seeking alone does not grow the stream";
  ASSERT_EQ(s->Read(buf, 4, &n), S_OK);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(s->Write("Z", 1, nullptr), S_OK);
  EXPECT_EQ(state(s.get()), std::string("10|abcdef\0\0\0Z", 13)) << "the gap is zero-filled";
  ASSERT_EQ(s->SetSize(usize(4)), S_OK);
  EXPECT_EQ(state(s.get()), "10|abcd") << "SetSize keeps the position";
  ASSERT_EQ(s->SetSize(usize(6)), S_OK);
  EXPECT_EQ(state(s.get()), std::string("10|abcd\0\0", 9));
  STATSTG st;
  std::memset(&st, 0xCD, sizeof st);
  ASSERT_EQ(s->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(st.pwcsName, nullptr);
  EXPECT_EQ(s->Commit(STGC_DEFAULT) | s->Revert(), S_OK);
  EXPECT_EQ(s->LockRegion(usize(0), usize(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->UnlockRegion(usize(0), usize(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
}

TEST(MemoryStream, CopyToAndClonesShareTheBufferButNotThePosition) {
  auto a = memory_stream("hello world"), b = memory_stream(">");
  ASSERT_EQ(a->Seek(at(6), STREAM_SEEK_SET, nullptr), S_OK);
  ULARGE_INTEGER read, written;
  ASSERT_EQ(a->CopyTo(b.get(), usize(100), &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart + written.QuadPart, 10u) << "only what is there";
  EXPECT_EQ(state(a.get()), "11|hello world");
  ASSERT_EQ(a->Seek(at(0), STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(a->CopyTo(b.get(), usize(2), &read, &written), S_OK);
  EXPECT_EQ(state(b.get()), "8|>worldhe");

  auto s = memory_stream("abc");
  zx::ComPtr<IStream> c, c2;
  ASSERT_EQ(s->Clone(c.put()), S_OK);
  EXPECT_EQ(state(c.get()), "3|abc") << "a clone starts where the original is";
  ASSERT_EQ(c->Seek(at(0), STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(c->Write("X", 1, nullptr), S_OK);
  ASSERT_EQ(s->Write("d", 1, nullptr), S_OK);
  EXPECT_EQ(state(s.get()), "4|Xbcd");
  s.reset();
  EXPECT_EQ(state(c.get()), "1|Xbcd") << "the clone outlives the original";
  // Copying a stream into its own clone goes through a private buffer.
  ASSERT_EQ(c->Clone(c2.put()), S_OK);
  ASSERT_EQ(c->Seek(at(0), STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(c2->Seek(at(2), STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(c->CopyTo(c2.get(), usize(2), nullptr, nullptr), S_OK);
  EXPECT_EQ(state(c.get()), "2|XbXb");
}

TEST(MemoryStream, AGivenHGlobalIsTheStreamsMemoryAndOutlivesIt) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 3);
  std::memcpy(GlobalLock(h), "xyz", 3);
  EXPECT_FALSE(GlobalUnlock(h));
  {
    zx::ComPtr<IStream> s;
    ASSERT_EQ(CreateStreamOnHGlobal(h, FALSE, s.put()), S_OK);
    EXPECT_EQ(state(s.get()), "0|xyz");
    ASSERT_EQ(s->Seek(at(0), STREAM_SEEK_END, nullptr), S_OK);
    ASSERT_EQ(s->Write("!!", 2, nullptr), S_OK);
    HGLOBAL back = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(s.get(), &back), S_OK);
    EXPECT_EQ(back, h);
  }
  ASSERT_EQ(GlobalSize(h), 5u);
  EXPECT_EQ(std::memcmp(GlobalLock(h), "xyz!!", 5), 0);
  GlobalUnlock(h);
  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, FixedBlocksAreTheirOwnPointerAndMoveableOnesCountLocks) {
  HGLOBAL fixed = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 16);
  EXPECT_EQ(GlobalLock(fixed), fixed);
  fixed = GlobalReAlloc(fixed, 64, GMEM_ZEROINIT);
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(GlobalSize(fixed), 64u);
  EXPECT_EQ(static_cast<unsigned char*>(fixed)[15] | static_cast<unsigned char*>(fixed)[63], 0);
  EXPECT_EQ(GlobalFree(fixed), nullptr);
  HGLOBAL m = GlobalAlloc(GHND, 8);
  void* p = GlobalLock(m);
  EXPECT_NE(p, m);
  EXPECT_EQ(GlobalLock(m), p);
  EXPECT_TRUE(GlobalUnlock(m)) << "still locked once";
  SetLastError(ERROR_INVALID_DATA);
  EXPECT_FALSE(GlobalUnlock(m));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_FALSE(GlobalUnlock(m));
  EXPECT_EQ(GetLastError(), ERROR_NOT_LOCKED);
  EXPECT_EQ(GlobalReAlloc(m, 100, GMEM_MOVEABLE | GMEM_ZEROINIT), m) << "a moveable block keeps its handle";
  EXPECT_EQ(GlobalSize(m), 100u);
  EXPECT_EQ(GlobalFree(m), nullptr);
}

TEST(FileStream, ReadsWritesSizesAndFailsToOpenWithWin32Codes) {
  const std::string path = std::string(::testing::TempDir()) + "zx_file_stream_" + std::to_string(::getpid());
  const std::u16string wide = zx::to_utf16(path);
  zx::ComPtr<IStream> s;
  EXPECT_EQ(SHCreateStreamOnFileEx(wide.c_str(), STGM_READ, 0, FALSE, nullptr, s.put()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(s.get(), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  const std::u16string noDir = wide + u"_missing_dir/file.bin", dir = zx::to_utf16(::testing::TempDir());
  EXPECT_EQ(SHCreateStreamOnFileEx(noDir.c_str(), STGM_READ, 0, FALSE, nullptr, s.put()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(SHCreateStreamOnFileEx(dir.c_str(), STGM_READ, 0, FALSE, nullptr, s.put()), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
  ASSERT_EQ(SHCreateStreamOnFileEx(wide.c_str(), STGM_READWRITE | STGM_CREATE, 0, TRUE, nullptr, s.put()), S_OK);
  ASSERT_EQ(s->Write("pixels", 6, nullptr), S_OK);
  EXPECT_EQ(state(s.get()), "6|pixels");
  STATSTG st{};
  ASSERT_EQ(s->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(std::u16string(st.pwcsName), wide.substr(wide.find_last_of(u'/') + 1));
  CoTaskMemFree(st.pwcsName);
  ASSERT_EQ(s->SetSize(usize(3)), S_OK);
  EXPECT_EQ(s->Seek(at(-1), STREAM_SEEK_SET, nullptr), STG_E_INVALIDFUNCTION);
  zx::ComPtr<IStream> clone, mem = memory_stream();
  EXPECT_EQ(s->Clone(clone.put()), E_NOTIMPL);
  ASSERT_EQ(s->Seek(at(0), STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(s->CopyTo(mem.get(), usize(1000), nullptr, nullptr), S_OK);
  EXPECT_EQ(state(mem.get()), "3|pix");
  HGLOBAL h = reinterpret_cast<HGLOBAL>(1);
  EXPECT_EQ(GetHGlobalFromStream(s.get(), &h), E_INVALIDARG);
  EXPECT_EQ(h, nullptr);
  ASSERT_EQ(SHCreateStreamOnFileEx(wide.c_str(), STGM_WRITE, 0, FALSE, nullptr, s.put()), S_OK);
  char c;
  EXPECT_EQ(s->Read(&c, 1, nullptr), STG_E_ACCESSDENIED) << "opened for writing only";
  s.reset();
  EXPECT_EQ(SHCreateStreamOnFileEx(wide.c_str(), STGM_WRITE, 0, TRUE, nullptr, s.put()), HRESULT_FROM_WIN32(ERROR_FILE_EXISTS))
      << "fCreate without STGM_CREATE fails when the file is there";
  ASSERT_EQ(SHCreateStreamOnFileEx(wide.c_str(), STGM_READ, 0, FALSE, nullptr, s.put()), S_OK);
  EXPECT_EQ(s->Write("x", 1, nullptr), STG_E_ACCESSDENIED);
  std::remove(path.c_str());
}

}  // namespace
