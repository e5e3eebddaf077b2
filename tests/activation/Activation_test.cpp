// Zentarix — MIT licence.
// Activation through the registry: zxregsvr, CoCreateInstance of a module, unloading, ProgIDs, COM init.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "comcat.h"
#include "objbase.h"
#include "scrrun.h"
#include "temp_registry.h"
#include "testmodule.h"
#include "zx/com.h"

using zx::test::TempRegistry;

namespace {

const std::string kModule = std::string(ZX_BINARY_DIR) + "/lib/libzxtestmodule.so";
const std::string kRegsvr = std::string(ZX_BINARY_DIR) + "/bin/zxregsvr";

struct RunResult {
  int exitCode;
  std::string output;  // stdout and stderr together
};

// Runs zxregsvr with args; envPrefix (an `env ...` command) changes its environment.
RunResult run(const std::string& args, const std::string& envPrefix = "") {
  std::string cmd = envPrefix + kRegsvr + " " + args + " 2>&1";
  FILE* pipe = popen(cmd.c_str(), "r");
  RunResult r{-1, {}};
  if (!pipe) return r;
  char buf[512];
  while (size_t n = fread(buf, 1, sizeof buf, pipe)) r.output.append(buf, n);
  int status = pclose(pipe);
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

bool module_loaded() {
  void* h = dlopen(kModule.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (h) dlclose(h);
  return h != nullptr;
}

class Activation : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK); }
  void TearDown() override { CoUninitialize(); }
  TempRegistry m_registry;
};

TEST_F(Activation, RegisteredModuleIsCreatedAndUnloadedOnceItsObjectsAreGone) {
  RunResult reg = run(kModule);
  ASSERT_EQ(reg.exitCode, 0) << reg.output;
  EXPECT_EQ(reg.output, "DllRegisterServer in " + kModule + " succeeded.\n");
  EXPECT_EQ(zx::test::read_default(u"CLSID\\{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}\\InprocServer32"),
            zx::to_utf16(kModule));

  zx::ComPtr<ITestWidget> widget;
  ASSERT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_ITestWidget, widget.put_void()), S_OK);
  LONG answer = 0;
  ASSERT_EQ(widget->GetAnswer(&answer), S_OK);
  EXPECT_EQ(answer, 42);
  EXPECT_TRUE(module_loaded());

  CoFreeUnusedLibraries();  // an object is alive: the module stays
  EXPECT_TRUE(module_loaded());
  widget.reset();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(module_loaded());

  // Loaded again on demand after unloading.
  ASSERT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_ALL, IID_ITestWidget, widget.put_void()), S_OK);
  widget.reset();
  CoFreeUnusedLibraries();
  EXPECT_FALSE(module_loaded());

  RunResult unreg = run("/u " + kModule);
  ASSERT_EQ(unreg.exitCode, 0) << unreg.output;
  EXPECT_EQ(unreg.output, "DllUnregisterServer in " + kModule + " succeeded.\n");
  EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_ALL, IID_ITestWidget, widget.put_void()),
            REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(zx::test::key_exists(u"CLSID\\{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}"));
}

TEST_F(Activation, ProgIdsResolveThroughCurVerAndBack) {
  ASSERT_EQ(run("/s " + kModule).exitCode, 0);
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"ZxTest.Widget", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_TestWidget);
  LPOLESTR progId = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(CLSID_TestWidget, &progId), S_OK);
  EXPECT_EQ(std::u16string(progId), u"ZxTest.Widget.1");
  CoTaskMemFree(progId);

  // The version-independent ProgID follows CurVer to the current version's class.
  ASSERT_EQ(zx::test::write_default(u"Zx.Versioned\\CLSID", u"{00000000-0000-0000-0000-000000000001}"), ERROR_SUCCESS);
  ASSERT_EQ(zx::test::write_default(u"Zx.Versioned\\CurVer", u"Zx.Versioned.2"), ERROR_SUCCESS);
  ASSERT_EQ(zx::test::write_default(u"Zx.Versioned.2\\CLSID", u"{00000000-0000-0000-0000-000000000002}"), ERROR_SUCCESS);
  ASSERT_EQ(CLSIDFromProgID(u"zx.versioned", &clsid), S_OK);
  EXPECT_EQ(clsid.Data1, 0u);
  EXPECT_EQ(clsid.Data4[7], 2);

  EXPECT_EQ(CLSIDFromProgID(u"Zx.NoSuchThing", &clsid), CO_E_CLASSSTRING);
  CLSID unknown = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  progId = reinterpret_cast<LPOLESTR>(1);
  EXPECT_EQ(ProgIDFromCLSID(unknown, &progId), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(progId, nullptr);
}

TEST_F(Activation, UnknownClassesAndBrokenModulesGiveTheirCodes) {
  CLSID unknown = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  IUnknown* p = reinterpret_cast<IUnknown*>(1);
  EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&p)),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(p, nullptr);

  ASSERT_EQ(zx::test::write_default(u"CLSID\\{12345678-0000-0000-0000-000000000001}\\InprocServer32",
                                    u"/nonexistent/libgone.so"),
            ERROR_SUCCESS);
  EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&p)),
            CO_E_DLLNOTFOUND);
  // A file that exists but is no loadable module.
  ASSERT_EQ(zx::test::write_default(u"CLSID\\{12345678-0000-0000-0000-000000000001}\\InprocServer32",
                                    zx::to_utf16(m_registry.file())),
            ERROR_SUCCESS);
  EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&p)),
            CO_E_ERRORINDLL);
  // Only in-process servers exist.
  EXPECT_EQ(CoCreateInstance(CLSID_Dictionary, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown, reinterpret_cast<void**>(&p)),
            REGDB_E_CLASSNOTREG);
}

TEST_F(Activation, RuntimeClassesNeedNoRegistration) {
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"Scripting.Dictionary", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_Dictionary);
  clsid = CLSID_NULL;
  ASSERT_EQ(CLSIDFromString(u"Scripting.Dictionary", &clsid), S_OK);  // text that is no GUID names a ProgID
  EXPECT_EQ(clsid, CLSID_Dictionary);
  zx::ComPtr<IDictionary> dict;
  EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_ALL, IID_IDictionary, dict.put_void()), S_OK);
  zx::ComPtr<ICatInformation> cats;
  EXPECT_EQ(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_ALL, IID_ICatInformation, cats.put_void()),
            S_OK);
  LPOLESTR progId = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(CLSID_Dictionary, &progId), S_OK);
  EXPECT_EQ(std::u16string(progId), u"Scripting.Dictionary");
  CoTaskMemFree(progId);
  // Nothing was written to find them.
  EXPECT_FALSE(zx::test::key_exists(u"CLSID"));
}

TEST(ComInitialisation, CountsPerThreadAndRefusesAChangeOfModel) {
  std::thread([] {
    zx::ComPtr<IUnknown> p;
    EXPECT_EQ(CoCreateInstance(CLSID_Dictionary, nullptr, CLSCTX_ALL, IID_IUnknown, p.put_void()), CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    EXPECT_EQ(CoCreateInstance(CLSID_Dictionary, nullptr, CLSCTX_ALL, IID_IUnknown, p.put_void()), S_OK);
    p.reset();
    CoUninitialize();
    EXPECT_EQ(CoCreateInstance(CLSID_Dictionary, nullptr, CLSCTX_ALL, IID_IUnknown, p.put_void()), S_OK);
    CoUninitialize();
    EXPECT_EQ(CoCreateInstance(CLSID_Dictionary, nullptr, CLSCTX_ALL, IID_IUnknown, p.put_void()), CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    // A thread that never initialised joins the process's multithreaded apartment while it is open.
    std::thread([] {
      zx::ComPtr<IUnknown> q;
      EXPECT_EQ(CoCreateInstance(CLSID_Dictionary, nullptr, CLSCTX_ALL, IID_IUnknown, q.put_void()), S_OK);
    }).join();
    CoUninitialize();
  }).join();
}

TEST(Zxregsvr, ReportsEachKindOfFailureWithItsExitCode) {
  TempRegistry registry;
  RunResult missing = run("/nonexistent/libnothing.so");
  EXPECT_EQ(missing.exitCode, 3);
  EXPECT_NE(missing.output.find("could not be loaded"), std::string::npos) << missing.output;

  // zxregsvr names the file the link leads to (the versioned runtime).
  const std::string noEntry = std::filesystem::canonical(std::string(ZX_BINARY_DIR) + "/lib/libzxcom.so").string();
  RunResult entry = run(noEntry);
  EXPECT_EQ(entry.exitCode, 4);
  EXPECT_EQ(entry.output, "zxregsvr: " + noEntry + " was loaded, but the entry point DllRegisterServer was not found.\n");

  setenv(ZX_TESTMODULE_REFUSE_ENV, "1", 1);
  RunResult refused = run(kModule);
  RunResult silent = run("/s " + kModule);
  unsetenv(ZX_TESTMODULE_REFUSE_ENV);
  EXPECT_EQ(refused.exitCode, 5);
  EXPECT_EQ(refused.output,
            "DllRegisterServer in " + kModule + " failed with error 0x80070005: Registration refused on request.\n");
  EXPECT_EQ(silent.exitCode, 5);
  EXPECT_EQ(silent.output, "");
  EXPECT_EQ(run("").exitCode, 2);
  EXPECT_FALSE(zx::test::key_exists(u"CLSID\\{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}"));
}

TEST(Zxregsvr, WritesThePerUserRegistryUnlessToldToWriteTheMachinesOne) {
  zx::test::ScopedRegistries files;
  const std::string clsidKey = "[CLSID\\{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}]";
  ASSERT_EQ(run(kModule).exitCode, 0);
  EXPECT_NE(zx::test::file_text(files.user()).find(clsidKey), std::string::npos);
  EXPECT_EQ(zx::test::file_text(files.machine()), "<missing>");
  ASSERT_EQ(run("/m " + kModule).exitCode, 0);
  ASSERT_EQ(run("/u " + kModule).exitCode, 0);
  EXPECT_EQ(zx::test::file_text(files.user()).find(clsidKey), std::string::npos);
  EXPECT_NE(zx::test::file_text(files.machine()).find(clsidKey), std::string::npos);
  ASSERT_EQ(run("--machine /u " + kModule).exitCode, 0);
  EXPECT_EQ(zx::test::file_text(files.machine()).find(clsidKey), std::string::npos);

  RunResult homeless = run(kModule, "env -u HOME -u XDG_DATA_HOME ");
  EXPECT_EQ(homeless.exitCode, 6);
  EXPECT_EQ(homeless.output,
            "zxregsvr: there is no per-user registry: neither HOME nor XDG_DATA_HOME is set to a folder. Use /m to "
            "write the machine-wide registry.\n");
}

}  // namespace
