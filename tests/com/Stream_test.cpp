// Zentarix — MIT licence.
// Memory and file streams: seeking past the end, sizes, copying, clones and open failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "windows.h"
#include "zx/com.h"

namespace {

LARGE_INTEGER offset(LONGLONG v) {
  LARGE_INTEGER li;
  li.QuadPart = v;
  return li;
}
ULARGE_INTEGER usize(ULONGLONG v) {
  ULARGE_INTEGER u;
  u.QuadPart = v;
  return u;
}

zx::ComPtr<IStream> memory_stream() {
  zx::ComPtr<IStream> s;
  EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, s.put()), S_OK);
  return s;
}

ULONGLONG size_of(IStream* s) {
  STATSTG st{};
  EXPECT_EQ(s->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.type, static_cast<DWORD>(STGTY_STREAM));
  return st.cbSize.QuadPart;
}

std::string read_all(IStream* s) {
  EXPECT_EQ(s->Seek(offset(0), STREAM_SEEK_SET, nullptr), S_OK);
  std::string out(static_cast<size_t>(size_of(s)), '\0');
  ULONG got = 0;
  EXPECT_EQ(s->Read(out.data(), static_cast<ULONG>(out.size()), &got), S_OK);
  out.resize(got);
  return out;
}

TEST(MemoryStream, WriteReadAndSeekFromEachOrigin) {
  auto s = memory_stream();
  ULONG n = 0;
  ASSERT_EQ(s->Write("abcdef", 6, &n), S_OK);
  EXPECT_EQ(n, 6u);
  ULARGE_INTEGER pos;
  ASSERT_EQ(s->Seek(offset(-2), STREAM_SEEK_END, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 4u);
  char buf[8] = {};
  ASSERT_EQ(s->Read(buf, 8, &n), S_OK);
  EXPECT_EQ(n, 2u) << "a short read at the end is no error";
  EXPECT_STREQ(buf, "ef");
  ASSERT_EQ(s->Seek(offset(-5), STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 1u);
  EXPECT_EQ(s->Seek(offset(-2), STREAM_SEEK_CUR, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(offset(0), 7, &pos), STG_E_INVALIDFUNCTION);
  ASSERT_EQ(s->Seek(offset(0), STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 1u) << "a refused seek keeps the position";
}

TEST(MemoryStream, SeekPastEndIsAllowedAndWritingThereZeroFillsTheGap) {
  auto s = memory_stream();
  ASSERT_EQ(s->Write("ab", 2, nullptr), S_OK);
  ULARGE_INTEGER pos;
  ASSERT_EQ(s->Seek(offset(6), STREAM_SEEK_SET, &pos), S_OK);
  EXPECT_EQ(size_of(s.get()), 2u) << "seeking alone does not grow the stream";
  ULONG n = 99;
  char buf[4];
  ASSERT_EQ(s->Read(buf, 4, &n), S_OK);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(s->Write("Z", 1, nullptr), S_OK);
  EXPECT_EQ(size_of(s.get()), 7u);
  EXPECT_EQ(read_all(s.get()), std::string("ab\0\0\0\0Z", 7));
}

TEST(MemoryStream, SetSizeTruncatesAndExtendsWithZerosKeepingThePosition) {
  auto s = memory_stream();
  ASSERT_EQ(s->Write("0123456789", 10, nullptr), S_OK);
  ASSERT_EQ(s->SetSize(usize(4)), S_OK);
  EXPECT_EQ(size_of(s.get()), 4u);
  ULARGE_INTEGER pos;
  ASSERT_EQ(s->Seek(offset(0), STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 10u);
  ASSERT_EQ(s->SetSize(usize(6)), S_OK);
  EXPECT_EQ(read_all(s.get()), std::string("0123\0\0", 6));
}

TEST(MemoryStream, CopyToMovesBothPositionsAndReportsCounts) {
  auto a = memory_stream();
  auto b = memory_stream();
  ASSERT_EQ(a->Write("hello world", 11, nullptr), S_OK);
  ASSERT_EQ(a->Seek(offset(6), STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(b->Write(">", 1, nullptr), S_OK);
  ULARGE_INTEGER read, written;
  ASSERT_EQ(a->CopyTo(b.get(), usize(100), &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 5u) << "only what is there";
  EXPECT_EQ(written.QuadPart, 5u);
  EXPECT_EQ(read_all(b.get()), ">world");
  ULARGE_INTEGER pos;
  ASSERT_EQ(a->Seek(offset(0), STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 11u);
  ASSERT_EQ(a->Seek(offset(0), STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(a->CopyTo(b.get(), usize(2), &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 2u);
  EXPECT_EQ(read_all(b.get()), ">worldhe");
}

TEST(MemoryStream, CloneSharesTheBufferButNotThePosition) {
  auto s = memory_stream();
  ASSERT_EQ(s->Write("abc", 3, nullptr), S_OK);
  zx::ComPtr<IStream> c;
  ASSERT_EQ(s->Clone(c.put()), S_OK);
  ULARGE_INTEGER pos;
  ASSERT_EQ(c->Seek(offset(0), STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 3u) << "a clone starts where the original is";
  ASSERT_EQ(c->Seek(offset(0), STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(c->Write("X", 1, nullptr), S_OK);
  ASSERT_EQ(s->Write("d", 1, nullptr), S_OK);
  ASSERT_EQ(s->Seek(offset(0), STREAM_SEEK_CUR, &pos), S_OK);
  EXPECT_EQ(pos.QuadPart, 4u);
  EXPECT_EQ(read_all(s.get()), "Xbcd");
  EXPECT_EQ(size_of(c.get()), 4u);
  // The clone outlives the original and keeps the buffer alive.
  s.reset();
  EXPECT_EQ(read_all(c.get()), "Xbcd");
  // Copying a stream into its own clone goes through a private buffer.
  zx::ComPtr<IStream> c2;
  ASSERT_EQ(c->Clone(c2.put()), S_OK);
  ASSERT_EQ(c->Seek(offset(0), STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(c2->Seek(offset(2), STREAM_SEEK_SET, nullptr), S_OK);
  ASSERT_EQ(c->CopyTo(c2.get(), usize(2), nullptr, nullptr), S_OK);
  EXPECT_EQ(read_all(c.get()), "XbXb");
}

TEST(MemoryStream, StatCommitRevertAndRegionLocks) {
  auto s = memory_stream();
  STATSTG st;
  std::memset(&st, 0xCD, sizeof st);
  ASSERT_EQ(s->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(st.pwcsName, nullptr);
  EXPECT_EQ(st.cbSize.QuadPart, 0u);
  EXPECT_EQ(s->Commit(STGC_DEFAULT), S_OK);
  EXPECT_EQ(s->Revert(), S_OK);
  EXPECT_EQ(s->LockRegion(usize(0), usize(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->UnlockRegion(usize(0), usize(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
  zx::ComPtr<ISequentialStream> seq;
  EXPECT_EQ(s.query(seq), S_OK);
}

TEST(MemoryStream, GivenHGlobalIsTheStreamsMemoryAndSurvivesWithoutDeleteOnRelease) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 3);
  ASSERT_NE(h, nullptr);
  std::memcpy(GlobalLock(h), "xyz", 3);
  EXPECT_FALSE(GlobalUnlock(h));
  {
    zx::ComPtr<IStream> s;
    ASSERT_EQ(CreateStreamOnHGlobal(h, FALSE, s.put()), S_OK);
    EXPECT_EQ(size_of(s.get()), 3u) << "the stream starts with the block's bytes";
    ASSERT_EQ(s->Seek(offset(0), STREAM_SEEK_END, nullptr), S_OK);
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

TEST(MemoryStream, GetHGlobalRefusesOtherStreams) {
  const std::string path = std::string(::testing::TempDir()) + "zx_stream_other.bin";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  zx::ComPtr<IStream> file;
  ASSERT_EQ(SHCreateStreamOnFileEx(zx::to_utf16(path).c_str(), STGM_READ, 0, FALSE, nullptr, file.put()), S_OK);
  HGLOBAL h = reinterpret_cast<HGLOBAL>(1);
  EXPECT_EQ(GetHGlobalFromStream(file.get(), &h), E_INVALIDARG);
  EXPECT_EQ(h, nullptr);
  std::remove(path.c_str());
}

TEST(GlobalMemory, FixedBlocksAreTheirOwnPointerAndMoveableOnesLockCount) {
  HGLOBAL fixed = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 16);
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(GlobalLock(fixed), fixed);
  EXPECT_EQ(GlobalSize(fixed), 16u);
  EXPECT_EQ(static_cast<unsigned char*>(fixed)[15], 0);
  fixed = GlobalReAlloc(fixed, 64, GMEM_ZEROINIT);
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(GlobalSize(fixed), 64u);
  EXPECT_EQ(static_cast<unsigned char*>(fixed)[63], 0);
  EXPECT_EQ(GlobalFree(fixed), nullptr);

  HGLOBAL m = GlobalAlloc(GHND, 8);
  ASSERT_NE(m, nullptr);
  void* p = GlobalLock(m);
  ASSERT_NE(p, nullptr);
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

class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override { m_path = std::string(::testing::TempDir()) + "zx_file_stream_" + std::to_string(::getpid()); }
  void TearDown() override { std::remove(m_path.c_str()); }
  std::u16string wide() const { return zx::to_utf16(m_path); }
  std::string m_path;
};

TEST_F(FileStreamTest, CreateWriteSeekReadStatAndSetSize) {
  zx::ComPtr<IStream> s;
  ASSERT_EQ(SHCreateStreamOnFileEx(wide().c_str(), STGM_READWRITE | STGM_CREATE, 0, TRUE, nullptr, s.put()), S_OK);
  ULONG n = 0;
  ASSERT_EQ(s->Write("pixels", 6, &n), S_OK);
  EXPECT_EQ(n, 6u);
  ULARGE_INTEGER pos;
  ASSERT_EQ(s->Seek(offset(1), STREAM_SEEK_SET, &pos), S_OK);
  char buf[8] = {};
  ASSERT_EQ(s->Read(buf, 8, &n), S_OK);
  EXPECT_EQ(n, 5u);
  EXPECT_STREQ(buf, "ixels");
  STATSTG st{};
  ASSERT_EQ(s->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(st.type, static_cast<DWORD>(STGTY_STREAM));
  EXPECT_EQ(st.cbSize.QuadPart, 6u);
  ASSERT_NE(st.pwcsName, nullptr);
  EXPECT_EQ(std::u16string(st.pwcsName), wide().substr(wide().find_last_of(u'/') + 1));
  CoTaskMemFree(st.pwcsName);
  ASSERT_EQ(s->SetSize(usize(3)), S_OK);
  ASSERT_EQ(s->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.cbSize.QuadPart, 3u);
  EXPECT_EQ(st.pwcsName, nullptr);
  EXPECT_EQ(s->Seek(offset(-1), STREAM_SEEK_SET, &pos), STG_E_INVALIDFUNCTION);
  zx::ComPtr<IStream> clone;
  EXPECT_EQ(s->Clone(clone.put()), E_NOTIMPL);
  // CopyTo from a file into memory.
  auto mem = memory_stream();
  ASSERT_EQ(s->Seek(offset(0), STREAM_SEEK_SET, nullptr), S_OK);
  ULARGE_INTEGER read, written;
  ASSERT_EQ(s->CopyTo(mem.get(), usize(1000), &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 3u);
  EXPECT_EQ(read_all(mem.get()), "pix");
}

TEST_F(FileStreamTest, OpenFailuresAreWin32HResults) {
  zx::ComPtr<IStream> s;
  EXPECT_EQ(SHCreateStreamOnFileEx(wide().c_str(), STGM_READ, 0, FALSE, nullptr, s.put()), static_cast<HRESULT>(0x80070002));
  EXPECT_EQ(s.get(), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  const std::u16string noDir = wide() + u"_missing_dir/file.bin";
  EXPECT_EQ(SHCreateStreamOnFileEx(noDir.c_str(), STGM_READ, 0, FALSE, nullptr, s.put()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  const std::u16string dir = zx::to_utf16(::testing::TempDir());
  EXPECT_EQ(SHCreateStreamOnFileEx(dir.c_str(), STGM_READ, 0, FALSE, nullptr, s.put()), HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));

  ASSERT_EQ(SHCreateStreamOnFileEx(wide().c_str(), STGM_WRITE, 0, TRUE, nullptr, s.put()), S_OK);
  char c;
  EXPECT_EQ(s->Read(&c, 1, nullptr), STG_E_ACCESSDENIED) << "opened for writing only";
  s.reset();
  EXPECT_EQ(SHCreateStreamOnFileEx(wide().c_str(), STGM_WRITE, 0, TRUE, nullptr, s.put()), HRESULT_FROM_WIN32(ERROR_FILE_EXISTS))
      << "fCreate without STGM_CREATE fails when the file is there";
  ASSERT_EQ(SHCreateStreamOnFileEx(wide().c_str(), STGM_READ, 0, FALSE, nullptr, s.put()), S_OK);
  EXPECT_EQ(s->Write("x", 1, nullptr), STG_E_ACCESSDENIED);
}

}  // namespace
