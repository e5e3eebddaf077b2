// Zentarix — MIT licence.
// Registry scopes: the merged view of the machine-wide and per-user files, where writes go, which
// files are believed, and writers of both files at once.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "objbase.h"
#include "temp_registry.h"
#include "zx/com.h"

using zx::test::count_subkeys;
using zx::test::file_text;
using zx::test::put_file;
using zx::test::read_default;
using zx::test::ScopedRegistries;
using zx::test::write_default;

namespace {

constexpr char kMachineText[] =
    "[CLSID\\{A}\\InprocServer32]\n@=\"/machine/a.so\"\n"
    "[CLSID\\{B}\\InprocServer32]\n@=\"/machine/b.so\"\n\"ThreadingModel\"=\"Both\"\n";
constexpr char kUserText[] =
    "[CLSID\\{B}\\InprocServer32]\n@=\"/user/b.so\"\n"
    "[CLSID\\{C}\\InprocServer32]\n@=\"/user/c.so\"\n";

std::string scope_file(ZX_REGISTRY_SCOPE scope) {
  char buf[512];
  return SUCCEEDED(ZxRegGetScopeFile(scope, buf, sizeof buf)) ? buf : "<none>";
}

class RegistryScopes : public ::testing::Test {
 protected:
  ScopedRegistries m_files;
};

TEST_F(RegistryScopes, TheUsersKeysWinAndBothFilesSubkeysAppear) {
  put_file(m_files.machine(), kMachineText);
  put_file(m_files.user(), kUserText);
  EXPECT_EQ(read_default(u"CLSID\\{A}\\InprocServer32"), u"/machine/a.so");
  EXPECT_EQ(read_default(u"CLSID\\{B}\\InprocServer32"), u"/user/b.so");
  EXPECT_EQ(read_default(u"CLSID\\{C}\\InprocServer32"), u"/user/c.so");
  // The user's key hides the machine's values, named ones too.
  EXPECT_EQ(read_default(u"CLSID\\{B}\\InprocServer32", u"ThreadingModel"), u"<missing>");
  EXPECT_EQ(count_subkeys(u"CLSID"), 3u);
  // Activation reads the same view: the user's module for {B}.
  put_file(m_files.user(), "[Zx.Progid\\CLSID]\n@=\"{00000000-0000-0000-0000-00000000000B}\"\n");
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"Zx.Progid", &clsid), S_OK);
  EXPECT_EQ(clsid.Data4[7], 0x0B);
}

TEST_F(RegistryScopes, WritesGoToTheChosenScopesFileOnly) {
  EXPECT_EQ(scope_file(ZX_REGISTRY_USER), m_files.user());
  EXPECT_EQ(scope_file(ZX_REGISTRY_MACHINE), m_files.machine());
  ASSERT_EQ(write_default(u"Zx.Mine", u"user"), ERROR_SUCCESS);
  ASSERT_EQ(ZxRegSetScope(ZX_REGISTRY_MACHINE), S_OK);
  ASSERT_EQ(write_default(u"Zx.Shared", u"machine"), ERROR_SUCCESS);
  // Deleting through the machine scope cannot reach a key only the user's file holds.
  EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, u"Zx.Mine"), static_cast<LSTATUS>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ZxRegSetScope(static_cast<ZX_REGISTRY_SCOPE>(2)), E_INVALIDARG);
  EXPECT_NE(file_text(m_files.user()).find("[Zx.Mine]\n@=\"user\"\n"), std::string::npos);
  EXPECT_EQ(file_text(m_files.user()).find("Zx.Shared"), std::string::npos);
  EXPECT_NE(file_text(m_files.machine()).find("[Zx.Shared]\n@=\"machine\"\n"), std::string::npos);
  EXPECT_EQ(read_default(u"Zx.Mine"), u"user");
  EXPECT_EQ(read_default(u"Zx.Shared"), u"machine");

  // One file named by ZENTARIX_REGISTRY replaces both, for reading and writing.
  const std::string single = m_files.machine() + ".single";
  ::setenv("ZENTARIX_REGISTRY", single.c_str(), 1);
  EXPECT_EQ(read_default(u"Zx.Shared"), u"<missing>");
  EXPECT_EQ(scope_file(ZX_REGISTRY_USER), single);
  EXPECT_EQ(scope_file(ZX_REGISTRY_MACHINE), single);
  ::unsetenv("ZENTARIX_REGISTRY");
}

TEST_F(RegistryScopes, WithoutAHomeThereIsNoUserFileAndReadsSeeTheMachines) {
  put_file(m_files.machine(), kMachineText);
  const char* home = ::getenv("HOME");
  const std::string savedHome = home ? home : "";
  ::unsetenv("XDG_DATA_HOME");
  for (const char* value : {"", "relative/home"}) {
    SCOPED_TRACE(value);
    ::setenv("HOME", value, 1);
    char buf[512];
    EXPECT_EQ(ZxRegGetScopeFile(ZX_REGISTRY_USER, buf, sizeof buf), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(write_default(u"Zx.Nowhere", u"x"), static_cast<LSTATUS>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(read_default(u"CLSID\\{A}\\InprocServer32"), u"/machine/a.so");
  }
  ::unsetenv("HOME");
  EXPECT_EQ(read_default(u"CLSID\\{B}\\InprocServer32"), u"/machine/b.so");
  if (home) ::setenv("HOME", savedHome.c_str(), 1);
  char tiny[4];
  EXPECT_EQ(ZxRegGetScopeFile(ZX_REGISTRY_MACHINE, tiny, sizeof tiny), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(RegistryScopes, AFileOthersCouldWriteIsIgnoredAndNotWrittenOver) {
  struct Case {
    const char* what;
    mode_t mode;
    uid_t owner;  // (uid_t)-1: the test's own user
  };
  const Case cases[] = {
      {"group-writable", 0664, static_cast<uid_t>(-1)},
      {"world-writable", 0646, static_cast<uid_t>(-1)},
      {"owned by another user", 0644, 65534},
      {"the owner's own", 0600, static_cast<uid_t>(-1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    put_file(m_files.machine(), kMachineText, c.mode);
    // Only root may give a file away; other users test the permission bits alone.
    if (c.owner != static_cast<uid_t>(-1) && ::chown(m_files.machine().c_str(), c.owner, static_cast<gid_t>(-1)) != 0)
      continue;
    const bool believed = c.mode == 0600;
    EXPECT_EQ(read_default(u"CLSID\\{A}\\InprocServer32"), believed ? u"/machine/a.so" : u"<missing>");
    ASSERT_EQ(ZxRegSetScope(ZX_REGISTRY_MACHINE), S_OK);
    EXPECT_EQ(write_default(u"Zx.Added", u"x"), believed ? ERROR_SUCCESS : static_cast<LSTATUS>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ZxRegBeginBatch(), believed ? S_OK : HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    if (believed) {
      ASSERT_EQ(ZxRegEndBatch(TRUE), S_OK);
    } else {
      EXPECT_EQ(file_text(m_files.machine()), kMachineText);
    }
    ASSERT_EQ(ZxRegSetScope(ZX_REGISTRY_USER), S_OK);
  }
}

TEST_F(RegistryScopes, WritersOfBothFilesAtOnceLoseNothing) {
  constexpr int kProcesses = 4, kKeys = 20;
  pid_t children[kProcesses];
  for (int p = 0; p < kProcesses; ++p) {
    children[p] = fork();
    ASSERT_GE(children[p], 0);
    if (children[p] == 0) {
      ZxRegSetScope(p % 2 ? ZX_REGISTRY_MACHINE : ZX_REGISTRY_USER);
      int failures = 0;
      for (int k = 0; k < kKeys; ++k) {
        const std::u16string path = zx::to_utf16("CLSID\\{P" + std::to_string(p) + "-K" + std::to_string(k) + "}");
        failures += write_default(path.c_str(), path) != ERROR_SUCCESS;
      }
      _exit(failures);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(count_subkeys(u"CLSID"), static_cast<DWORD>(kProcesses * kKeys));
  const std::string user = file_text(m_files.user()), machine = file_text(m_files.machine());
  for (int p = 0; p < kProcesses; ++p) {
    const std::string key = "[CLSID\\{P" + std::to_string(p) + "-K" + std::to_string(kKeys - 1) + "}]";
    EXPECT_NE((p % 2 ? machine : user).find(key), std::string::npos) << key;
    EXPECT_EQ((p % 2 ? user : machine).find(key), std::string::npos) << key;
  }
}

}  // namespace
