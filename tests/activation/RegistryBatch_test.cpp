// Zentarix — MIT licence.
// Registry batches: one file replacement per batch, isolation until the end, undo, nesting, writers in
// several threads and processes, and the server module's registration as one batch.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <thread>

#include "TestRegistry.h"
#include "comcat.h"
#include "objbase.h"
#include "temp_registry.h"
#include "zx/com.h"

using namespace zx::test;

namespace {

ino_t inode_of(const std::string& file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Runs `work(i)` in n child processes that start together; true when every child exits with 0.
template <class Work>
bool in_processes(int n, Work work) {
  int gate[2];
  if (pipe(gate) != 0) return false;
  std::vector<pid_t> children;
  for (int i = 0; i < n; ++i) {
    children.push_back(fork());
    if (children.back() == 0) {
      close(gate[1]);
      char c;
      (void)!read(gate[0], &c, 1);  // all start together when the parent closes the pipe
      _exit(work(i));
    }
  }
  close(gate[0]);
  close(gate[1]);
  bool ok = true;
  for (pid_t child : children) {
    int status = 0;
    ok = waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
  }
  return ok;
}

TEST(RegistryBatch, WritesStayInvisibleToOthersUntilTheEndAndAnUndoDropsOnlyItsLevel) {
  TempRegistry registry;
  ASSERT_EQ(write_default(u"Zx.Base", u"base"), ERROR_SUCCESS);
  const std::string before = registry.text();
  const ino_t inode = inode_of(registry.file());
  const ULONG writes = ZxRegFileReplacementCount();
  ASSERT_EQ(ZxRegBeginBatch(), S_OK);
  ASSERT_EQ(write_default(u"Zx.Outer", u"outer"), ERROR_SUCCESS);
  ASSERT_EQ(ZxRegBeginBatch(), S_OK);
  ASSERT_EQ(write_default(u"Zx.Kept", u"inner, kept"), ERROR_SUCCESS);
  ASSERT_EQ(ZxRegEndBatch(TRUE), S_OK);
  ASSERT_EQ(ZxRegBeginBatch(), S_OK);
  HKEY created = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"Zx.Undone\\Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created,
                            nullptr), ERROR_SUCCESS);
  ASSERT_EQ(write_default(u"Zx.Outer", u"overwritten"), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, u"Zx.Base"), ERROR_SUCCESS);
  ASSERT_EQ(ZxRegEndBatch(FALSE), S_OK);
  // The batch's own thread reads its pending changes; others read the file, still untouched.
  EXPECT_EQ(read_default(u"Zx.Outer") + read_default(u"Zx.Base"), u"outerbase");
  EXPECT_FALSE(key_exists(u"Zx.Undone"));
  EXPECT_EQ(registry.text(), before);
  EXPECT_EQ(inode_of(registry.file()), inode);
  EXPECT_EQ(ZxRegFileReplacementCount(), writes);
  ASSERT_EQ(ZxRegEndBatch(TRUE), S_OK);
  EXPECT_EQ(ZxRegFileReplacementCount(), writes + 1);
  EXPECT_EQ(registry.keys(), "\n[Zx.Base]\n@=\"base\"\n\n[Zx.Kept]\n@=\"inner, kept\"\n\n[Zx.Outer]\n@=\"outer\"\n");
  EXPECT_EQ(ZxRegEndBatch(TRUE), E_UNEXPECTED);
  // The undone key's handle names a key that no longer exists, as if another process had deleted it.
  char16_t buf[16];
  DWORD size = sizeof buf;
  EXPECT_EQ(RegQueryValueExW(created, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size),
            static_cast<LSTATUS>(ERROR_KEY_DELETED));
  EXPECT_EQ(RegCloseKey(created), ERROR_SUCCESS);
}

TEST(RegistryBatch, HandlesKeepTheirRulesAndReadsOrUnchangedWritesNeverReplaceTheFile) {
  TempRegistry registry;
  ASSERT_EQ(write_default(u"Zx.Keys\\Doomed", u"x"), ERROR_SUCCESS);
  const ULONG writes = ZxRegFileReplacementCount();
  EXPECT_EQ(read_default(u"Zx.Keys\\Doomed") + read_default(u"Zx.Keys\\Doomed"), u"xx");
  EXPECT_EQ(write_default(u"Zx.Keys\\Doomed", u"x"), ERROR_SUCCESS);
  CLSID clsid;
  EXPECT_EQ(CLSIDFromProgID(u"Zx.NoSuchClass", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(ZxRegFileReplacementCount(), writes);
  ASSERT_EQ(ZxRegBeginBatch(), S_OK);
  HKEY readOnly = nullptr, doomed = nullptr, child = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Zx.Keys", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Zx.Keys\\Doomed", 0, KEY_ALL_ACCESS, &doomed), ERROR_SUCCESS);
  const char16_t value[] = u"v";
  EXPECT_EQ(RegSetValueExW(readOnly, u"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value),
            static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
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
  EXPECT_EQ(registry.keys(), "\n[Zx.Keys]\n");
  EXPECT_EQ(RegCloseKey(doomed) | RegCloseKey(readOnly), ERROR_SUCCESS);
}

TEST(RegistryBatch, WritersInOtherThreadsAndProcessesWaitAndLoseNothing) {
  TempRegistry registry;
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
  EXPECT_EQ(seen.get_future().get(), u"<missing>");
  for (int i = 0; i < 100; ++i) std::this_thread::yield();
  EXPECT_FALSE(written.load()) << "the other thread's write waits for the batch";
  ASSERT_EQ(ZxRegEndBatch(TRUE), S_OK);
  writer.join();
  EXPECT_EQ(other, ERROR_SUCCESS);
  EXPECT_EQ(read_default(u"Zx.Batch") + read_default(u"Zx.Thread"), u"batchthread");

  // Four processes at once, two writing key by key and two in batches of ten.
  constexpr int kKeys = 40;
  auto id_of = [](int p, int k) { return "P" + std::to_string(p) + "-K" + std::to_string(k); };
  EXPECT_TRUE(in_processes(4, [&](int p) {
    int failures = 0;
    for (int k = 0; k < kKeys; ++k) {
      if (p % 2 && k % 10 == 0) failures += ZxRegBeginBatch() != S_OK;
      const std::u16string path = zx::to_utf16("CLSID\\{" + id_of(p, k) + "}");
      failures += write_default(path.c_str(), zx::to_utf16(id_of(p, k))) != ERROR_SUCCESS;
      failures += write_default((path + u"\\InprocServer32").c_str(), zx::to_utf16(id_of(p, k) + ".so")) != ERROR_SUCCESS;
      if (p % 2 && k % 10 == 9) failures += ZxRegEndBatch(TRUE) != S_OK;
    }
    return failures;
  }));
  EXPECT_EQ(count_subkeys(u"CLSID"), 4u * kKeys);
  for (int p = 0; p < 4; ++p)
    for (int k = 0; k < kKeys; ++k)
      EXPECT_EQ(zx::to_utf8(read_default(zx::to_utf16("CLSID\\{" + id_of(p, k) + "}\\InprocServer32").c_str())),
                id_of(p, k) + ".so");
}

// The server module, loaded as a client would load it; registration needs COM on the thread.
struct ServerModule {
  HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  void* handle = ::dlopen((std::string(ZX_BINARY_DIR) + "/lib/libzentarix.so").c_str(), RTLD_NOW);
  ~ServerModule() {
    if (handle) ::dlclose(handle);
    if (SUCCEEDED(com)) CoUninitialize();
  }
  HRESULT call(const char* entry) const {
    auto* fn = handle ? reinterpret_cast<HRESULT (*)()>(::dlsym(handle, entry)) : nullptr;
    return fn ? fn() : E_NOTIMPL;
  }
};

TEST(RegistryBatch, ServerRegistrationReplacesTheFileOnceAndAFailedOneClosesItsBatch) {
  TempRegistry registry;
  ServerModule module;
  ASSERT_TRUE(SUCCEEDED(module.com) && module.handle) << ::dlerror();
  ASSERT_EQ(write_default(u"Zx.Unrelated", u"kept"), ERROR_SUCCESS);
  refuse_class(CLSID_StdComponentCategoriesMgr, REGDB_E_CLASSNOTREG);
  ULONG writes = ZxRegFileReplacementCount();
  EXPECT_EQ(module.call("DllRegisterServer"), DISP_E_EXCEPTION);
  refuse_class(CLSID_NULL, S_OK);
  EXPECT_EQ(ZxRegEndBatch(TRUE), E_UNEXPECTED);
  EXPECT_EQ(ZxRegFileReplacementCount(), writes) << "nothing was written before the failure";

  ASSERT_EQ(module.call("DllRegisterServer"), S_OK);
  EXPECT_EQ(ZxRegFileReplacementCount(), writes + 1);
  EXPECT_EQ(ZxRegEndBatch(TRUE), E_UNEXPECTED) << "the module closed its batch";
  EXPECT_EQ(read_default(u"Zentarix.GUIDGen\\CurVer"), u"Zentarix.GUIDGen.1");
  CLSID clsid = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(u"Zentarix.GUIDGen", &clsid), S_OK);
  OLECHAR text[39];
  StringFromGUID2(clsid, text, 39);
  const std::u16string clsidKey = u"CLSID\\" + std::u16string(text);
  EXPECT_NE(read_default((clsidKey + u"\\InprocServer32").c_str()), u"<missing>");
  writes = ZxRegFileReplacementCount();
  ASSERT_EQ(module.call("DllRegisterServer"), S_OK);
  EXPECT_LE(ZxRegFileReplacementCount(), writes + 1) << "registering again costs one write at most";
  writes = ZxRegFileReplacementCount();
  ASSERT_EQ(module.call("DllUnregisterServer"), S_OK);
  EXPECT_EQ(ZxRegFileReplacementCount(), writes + 1);
  EXPECT_FALSE(key_exists(clsidKey.c_str()) || key_exists(u"Zentarix.GUIDGen"));
  EXPECT_EQ(read_default(u"Zx.Unrelated"), u"kept");
}

}  // namespace
