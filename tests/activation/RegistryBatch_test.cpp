// Zentarix — MIT licence.
// Registry batches: one file replacement per batch, isolation until the end, undo, nesting, writers in
// several threads and processes, and the server module's registration as one batch.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>

#include "TestRegistry.h"
#include "comcat.h"
#include "objbase.h"
#include "temp_registry.h"
#include "zx/com.h"

using zx::test::key_exists;
using zx::test::read_default;
using zx::test::TempRegistry;
using zx::test::write_default;

namespace {

ino_t inode_of(const std::string& file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
}

// A child process that waits for a byte on a pipe before each step and reports each step's result
// as one byte: 'Y' when HKCR\key holds the expected value, 'N' when it does not.
class Observer {
 public:
  Observer(const char16_t* key, std::u16string expected) {
    if (::pipe(m_go) != 0 || ::pipe(m_answer) != 0) return;
    m_pid = ::fork();
    if (m_pid == 0) {
      ::close(m_go[1]);
      ::close(m_answer[0]);
      char c;
      while (::read(m_go[0], &c, 1) == 1) {
        const char answer = read_default(key) == expected ? 'Y' : 'N';
        if (::write(m_answer[1], &answer, 1) != 1) _exit(2);
      }
      _exit(0);
    }
    ::close(m_go[0]);
    ::close(m_answer[1]);
  }
  Observer(const Observer&) = delete;
  Observer& operator=(const Observer&) = delete;
  ~Observer() {
    ::close(m_go[1]);
    ::close(m_answer[0]);
    if (m_pid > 0) ::waitpid(m_pid, nullptr, 0);
  }
  bool started() const { return m_pid > 0; }
  // Whether the other process sees the expected value now.
  char sees() {
    char c = '?';
    if (::write(m_go[1], "g", 1) != 1 || ::read(m_answer[0], &c, 1) != 1) return '!';
    return c;
  }

 private:
  int m_go[2] = {-1, -1}, m_answer[2] = {-1, -1};
  pid_t m_pid = -1;
};

class RegistryBatch : public ::testing::Test {
 protected:
  TempRegistry m_registry;
};

TEST_F(RegistryBatch, WritesStayInvisibleToOtherProcessesUntilTheEndThenAllAppear) {
  // The observer is forked before the batch opens: a child forked inside it would inherit the batch.
  Observer first(u"Zx.Batch\\First", u"one");
  Observer second(u"Zx.Batch\\Second", u"two");
  ASSERT_TRUE(first.started() && second.started());
  ASSERT_EQ(write_default(u"Zx.Before", u"kept"), ERROR_SUCCESS);
  const std::string before = m_registry.text();
  const ULONG writes = ZxRegFileReplacementCount();

  ASSERT_EQ(ZxRegBeginBatch(), S_OK);
  ASSERT_EQ(write_default(u"Zx.Batch\\First", u"one"), ERROR_SUCCESS);
  ASSERT_EQ(write_default(u"Zx.Batch\\Second", u"two"), ERROR_SUCCESS);
  // The batch's own thread reads its changes; nobody else does, and the file is untouched.
  EXPECT_EQ(read_default(u"Zx.Batch\\First"), u"one");
  EXPECT_EQ(read_default(u"Zx.Before"), u"kept");
  EXPECT_EQ(first.sees(), 'N');
  EXPECT_EQ(second.sees(), 'N');
  EXPECT_EQ(m_registry.text(), before);
  ASSERT_EQ(ZxRegEndBatch(TRUE), S_OK);

  EXPECT_EQ(ZxRegFileReplacementCount(), writes + 1);
  EXPECT_EQ(first.sees(), 'Y');
  EXPECT_EQ(second.sees(), 'Y');
  EXPECT_EQ(read_default(u"Zx.Before"), u"kept");
}

TEST_F(RegistryBatch, NestedBatchesWriteOnceAndAnInnerUndoDropsOnlyItsOwnChanges) {
  ASSERT_EQ(write_default(u"Zx.Base", u"base"), ERROR_SUCCESS);
  const std::string before = m_registry.text();
  const ULONG writes = ZxRegFileReplacementCount();

  ASSERT_EQ(ZxRegBeginBatch(), S_OK);
  ASSERT_EQ(write_default(u"Zx.Outer", u"outer"), ERROR_SUCCESS);
  ASSERT_EQ(ZxRegBeginBatch(), S_OK);
  ASSERT_EQ(write_default(u"Zx.Kept", u"inner, kept"), ERROR_SUCCESS);
  ASSERT_EQ(ZxRegEndBatch(TRUE), S_OK);
  ASSERT_EQ(ZxRegBeginBatch(), S_OK);
  ASSERT_EQ(write_default(u"Zx.Undone", u"inner, undone"), ERROR_SUCCESS);
  ASSERT_EQ(write_default(u"Zx.Outer", u"overwritten"), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, u"Zx.Base"), ERROR_SUCCESS);
  ASSERT_EQ(ZxRegEndBatch(FALSE), S_OK);
  // Back in the outer batch: the undone level's changes are gone, the rest are still pending.
  EXPECT_EQ(read_default(u"Zx.Outer"), u"outer");
  EXPECT_EQ(read_default(u"Zx.Base"), u"base");
  EXPECT_FALSE(key_exists(u"Zx.Undone"));
  EXPECT_EQ(m_registry.text(), before);
  EXPECT_EQ(ZxRegFileReplacementCount(), writes);
  ASSERT_EQ(ZxRegEndBatch(TRUE), S_OK);

  EXPECT_EQ(ZxRegFileReplacementCount(), writes + 1);
  const std::string after = m_registry.text();
  EXPECT_NE(after.find("[Zx.Outer]\n@=\"outer\"\n"), std::string::npos) << after;
  EXPECT_NE(after.find("[Zx.Kept]\n@=\"inner, kept\"\n"), std::string::npos) << after;
  EXPECT_NE(after.find("[Zx.Base]\n@=\"base\"\n"), std::string::npos) << after;
  EXPECT_EQ(after.find("Zx.Undone"), std::string::npos) << after;
  EXPECT_EQ(ZxRegEndBatch(TRUE), E_UNEXPECTED);
}

TEST_F(RegistryBatch, AbortedBatchLeavesTheFileAsItWasAndItsKeysDeleted) {
  ASSERT_EQ(write_default(u"Zx.Old", u"old"), ERROR_SUCCESS);
  const std::string before = m_registry.text();
  const ino_t inode = inode_of(m_registry.file());
  const ULONG writes = ZxRegFileReplacementCount();

  ASSERT_EQ(ZxRegBeginBatch(), S_OK);
  HKEY created = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"Zx.New\\Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created,
                            &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, u"Zx.Old"), ERROR_SUCCESS);
  ASSERT_EQ(ZxRegEndBatch(FALSE), S_OK);

  EXPECT_EQ(m_registry.text(), before);
  EXPECT_EQ(inode_of(m_registry.file()), inode);
  EXPECT_EQ(ZxRegFileReplacementCount(), writes);
  EXPECT_EQ(read_default(u"Zx.Old"), u"old");
  // The handle still names a key that no longer exists, as if another process had deleted it.
  char16_t buf[16];
  DWORD size = sizeof buf;
  EXPECT_EQ(RegQueryValueExW(created, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size),
            static_cast<LSTATUS>(ERROR_KEY_DELETED));
  EXPECT_EQ(RegCloseKey(created), ERROR_SUCCESS);
}

TEST_F(RegistryBatch, HandlesKeepTheirRulesInsideABatch) {
  ASSERT_EQ(write_default(u"Zx.Keys\\Doomed", u"x"), ERROR_SUCCESS);
  ASSERT_EQ(ZxRegBeginBatch(), S_OK);
  HKEY readOnly = nullptr, doomed = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Zx.Keys", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Zx.Keys\\Doomed", 0, KEY_ALL_ACCESS, &doomed), ERROR_SUCCESS);
  const char16_t value[] = u"v";
  EXPECT_EQ(RegSetValueExW(readOnly, u"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value),
            static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
  HKEY child = nullptr;
  EXPECT_EQ(RegCreateKeyExW(readOnly, u"Child", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr),
            static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"Zx.Keys"), static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
  ASSERT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"Zx.Keys\\Doomed"), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(doomed, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value),
            static_cast<LSTATUS>(ERROR_KEY_DELETED));
  char16_t name[32];
  DWORD cch = 32;
  EXPECT_EQ(RegEnumKeyExW(readOnly, 0, name, &cch, nullptr, nullptr, nullptr, nullptr),
            static_cast<LSTATUS>(ERROR_NO_MORE_ITEMS));
  ASSERT_EQ(ZxRegEndBatch(TRUE), S_OK);
  EXPECT_FALSE(key_exists(u"Zx.Keys\\Doomed"));
  EXPECT_TRUE(key_exists(u"Zx.Keys"));
  EXPECT_EQ(RegCloseKey(doomed), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(readOnly), ERROR_SUCCESS);
}

TEST_F(RegistryBatch, ReadsAndUnchangedWritesNeverReplaceTheFile) {
  ASSERT_EQ(write_default(u"CLSID\\{A}\\InprocServer32", u"/opt/a.so"), ERROR_SUCCESS);
  const ino_t inode = inode_of(m_registry.file());
  const ULONG writes = ZxRegFileReplacementCount();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(read_default(u"CLSID\\{A}\\InprocServer32"), u"/opt/a.so");
  EXPECT_EQ(write_default(u"CLSID\\{A}\\InprocServer32", u"/opt/a.so"), ERROR_SUCCESS);
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID(u"Zx.NoSuchClass", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(ZxRegFileReplacementCount(), writes);
  EXPECT_EQ(inode_of(m_registry.file()), inode);
}

TEST_F(RegistryBatch, AnotherThreadWaitsForTheBatchAndLosesNothing) {
  ASSERT_EQ(ZxRegBeginBatch(), S_OK);
  ASSERT_EQ(write_default(u"Zx.Batch", u"batch"), ERROR_SUCCESS);
  std::atomic<bool> written{false};
  LSTATUS other = -1;
  std::promise<std::u16string> seen;
  std::thread writer([&] {
    seen.set_value(read_default(u"Zx.Batch"));  // reads do not wait: they see the file
    other = write_default(u"Zx.Thread", u"thread");
    written = true;
  });
  // The other thread's read completes while the batch is open; its write cannot.
  EXPECT_EQ(seen.get_future().get(), u"<missing>");
  for (int i = 0; i < 100; ++i) std::this_thread::yield();
  EXPECT_FALSE(written.load());
  ASSERT_EQ(ZxRegEndBatch(TRUE), S_OK);
  writer.join();
  EXPECT_EQ(other, ERROR_SUCCESS);
  EXPECT_EQ(read_default(u"Zx.Batch"), u"batch");
  EXPECT_EQ(read_default(u"Zx.Thread"), u"thread");
}

TEST_F(RegistryBatch, FourProcessesRegisteringInBatchesLoseNothing) {
  constexpr int kProcesses = 4, kBatches = 5, kKeys = 10;
  int gate[2];
  ASSERT_EQ(pipe(gate), 0);
  pid_t children[kProcesses];
  for (int p = 0; p < kProcesses; ++p) {
    children[p] = fork();
    ASSERT_GE(children[p], 0);
    if (children[p] == 0) {
      close(gate[1]);
      char c;
      (void)!read(gate[0], &c, 1);  // all start together when the parent closes the pipe
      int failures = 0;
      for (int b = 0; b < kBatches; ++b) {
        failures += ZxRegBeginBatch() != S_OK;
        for (int k = 0; k < kKeys; ++k) {
          const std::string id = "P" + std::to_string(p) + "-B" + std::to_string(b) + "-K" + std::to_string(k);
          const std::u16string path = zx::to_utf16("CLSID\\{" + id + "}");
          failures += write_default(path.c_str(), zx::to_utf16(id)) != ERROR_SUCCESS;
          failures += write_default((path + u"\\InprocServer32").c_str(), zx::to_utf16(id + ".so")) != ERROR_SUCCESS;
        }
        failures += ZxRegEndBatch(TRUE) != S_OK;
      }
      _exit(failures);
    }
  }
  close(gate[0]);
  close(gate[1]);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(zx::test::count_subkeys(u"CLSID"), static_cast<DWORD>(kProcesses * kBatches * kKeys));
  for (int p = 0; p < kProcesses; ++p)
    for (int b = 0; b < kBatches; ++b)
      for (int k = 0; k < kKeys; ++k) {
        const std::string id = "P" + std::to_string(p) + "-B" + std::to_string(b) + "-K" + std::to_string(k);
        const std::u16string path = zx::to_utf16("CLSID\\{" + id + "}\\InprocServer32");
        EXPECT_EQ(zx::to_utf8(read_default(path.c_str())), id + ".so");
      }
}

// The server module, loaded as a client would load it.
class ServerModule {
 public:
  // Registration creates the category manager, which needs COM on the thread.
  ServerModule()
      : m_com(CoInitializeEx(nullptr, COINIT_MULTITHREADED)),
        m_handle(::dlopen((std::string(ZX_BINARY_DIR) + "/lib/libzentarix.so").c_str(), RTLD_NOW)) {}
  ServerModule(const ServerModule&) = delete;
  ServerModule& operator=(const ServerModule&) = delete;
  ~ServerModule() {
    if (m_handle) ::dlclose(m_handle);
    if (SUCCEEDED(m_com)) CoUninitialize();
  }
  HRESULT call(const char* entry) const {
    auto* fn = m_handle ? reinterpret_cast<HRESULT (*)()>(::dlsym(m_handle, entry)) : nullptr;
    return fn ? fn() : E_NOTIMPL;
  }
  explicit operator bool() const { return SUCCEEDED(m_com) && m_handle != nullptr; }

 private:
  HRESULT m_com;
  void* m_handle;
};

TEST_F(RegistryBatch, ServerRegistrationAndUnregistrationReplaceTheFileOnceEach) {
  ServerModule module;
  ASSERT_TRUE(module) << ::dlerror();
  ASSERT_EQ(write_default(u"Zx.Unrelated", u"kept"), ERROR_SUCCESS);

  ULONG writes = ZxRegFileReplacementCount();
  ASSERT_EQ(module.call("DllRegisterServer"), S_OK);
  EXPECT_EQ(ZxRegFileReplacementCount(), writes + 1);
  EXPECT_EQ(ZxRegEndBatch(TRUE), E_UNEXPECTED);  // the module closed its batch
  EXPECT_EQ(read_default(u"Zentarix.GUIDGen\\CurVer"), u"Zentarix.GUIDGen.1");
  CLSID clsid = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(u"Zentarix.GUIDGen", &clsid), S_OK);
  const std::u16string clsidKey = u"CLSID\\" + [&] {
    OLECHAR text[39];
    StringFromGUID2(clsid, text, 39);
    return std::u16string(text);
  }();
  EXPECT_NE(read_default((clsidKey + u"\\InprocServer32").c_str()), u"<missing>");

  // Registering again changes nothing that is already there, but still costs one write at most.
  writes = ZxRegFileReplacementCount();
  ASSERT_EQ(module.call("DllRegisterServer"), S_OK);
  EXPECT_LE(ZxRegFileReplacementCount(), writes + 1);

  writes = ZxRegFileReplacementCount();
  ASSERT_EQ(module.call("DllUnregisterServer"), S_OK);
  EXPECT_EQ(ZxRegFileReplacementCount(), writes + 1);
  EXPECT_FALSE(key_exists(clsidKey.c_str()));
  EXPECT_FALSE(key_exists(u"Zentarix.GUIDGen"));
  EXPECT_EQ(read_default(u"Zx.Unrelated"), u"kept");
}

TEST_F(RegistryBatch, FailedServerRegistrationClosesItsBatch) {
  ServerModule module;
  ASSERT_TRUE(module) << ::dlerror();
  zx::test::refuse_class(CLSID_StdComponentCategoriesMgr, REGDB_E_CLASSNOTREG);
  const ULONG writes = ZxRegFileReplacementCount();
  EXPECT_EQ(module.call("DllRegisterServer"), DISP_E_EXCEPTION);
  zx::test::refuse_class(CLSID_NULL, S_OK);
  EXPECT_EQ(ZxRegEndBatch(TRUE), E_UNEXPECTED);
  EXPECT_EQ(ZxRegFileReplacementCount(), writes);  // nothing was written before the failure
  EXPECT_EQ(write_default(u"Zx.After", u"free"), ERROR_SUCCESS);
  EXPECT_EQ(read_default(u"Zx.After"), u"free");
}

}  // namespace
