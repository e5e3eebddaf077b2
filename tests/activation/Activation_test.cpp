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

using namespace zx::test;

namespace {

const std::string kModule = std::string(ZX_BINARY_DIR) + "/lib/libzxtestmodule.so";

// zxregsvr's exit code and its output (stdout and stderr together) as "code: output"; envPrefix (an
// `env ...` command) changes its environment.
std::string regsvr(const std::string& args, const std::string& envPrefix = "") {
  FILE* pipe = popen((envPrefix + std::string(ZX_BINARY_DIR) + "/bin/zxregsvr " + args + " 2>&1").c_str(), "r");
  std::string output;
  char buf[512];
  while (size_t n = fread(buf, 1, sizeof buf, pipe)) output.append(buf, n);
  const int status = pclose(pipe);
  return std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ": " + output;
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

TEST_F(Activation, ARegisteredModuleIsCreatedAndUnloadedOnceItsObjectsAreGone) {
  ASSERT_EQ(regsvr(kModule), "0: DllRegisterServer in " + kModule + " succeeded.\n");
  EXPECT_EQ(read_default(u"CLSID\\{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}\\InprocServer32"), zx::to_utf16(kModule));
  for (int round = 0; round < 2; ++round) {  // loaded again on demand after unloading
    zx::ComPtr<ITestWidget> widget;
    ASSERT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_INPROC_SERVER, IID_ITestWidget, widget.put_void()), S_OK);
    LONG answer = 0;
    ASSERT_EQ(widget->GetAnswer(&answer), S_OK);
    EXPECT_EQ(answer, 42);
    CoFreeUnusedLibraries();  // an object is alive: the module stays
    EXPECT_TRUE(module_loaded());
    widget.reset();
    CoFreeUnusedLibraries();
    EXPECT_FALSE(module_loaded());
  }
  ASSERT_EQ(regsvr("/u " + kModule), "0: DllUnregisterServer in " + kModule + " succeeded.\n");
  zx::ComPtr<IUnknown> p;
  EXPECT_EQ(CoCreateInstance(CLSID_TestWidget, nullptr, CLSCTX_ALL, IID_IUnknown, p.put_void()), REGDB_E_CLASSNOTREG);
  EXPECT_FALSE(key_exists(u"CLSID\\{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}"));
}

TEST_F(Activation, ProgIdsResolveThroughCurVerAndBack) {
  ASSERT_EQ(regsvr("/s " + kModule), "0: ");
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"ZxTest.Widget", &clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_TestWidget);
  LPOLESTR progId = nullptr;
  ASSERT_EQ(ProgIDFromCLSID(CLSID_TestWidget, &progId), S_OK);
  EXPECT_EQ(std::u16string(progId), u"ZxTest.Widget.1");
  CoTaskMemFree(progId);
  ASSERT_EQ(write_default(u"Zx.Versioned\\CLSID", u"{00000000-0000-0000-0000-000000000001}"), ERROR_SUCCESS);
  ASSERT_EQ(write_default(u"Zx.Versioned\\CurVer", u"Zx.Versioned.2"), ERROR_SUCCESS);
  ASSERT_EQ(write_default(u"Zx.Versioned.2\\CLSID", u"{00000000-0000-0000-0000-000000000002}"), ERROR_SUCCESS);
  ASSERT_EQ(CLSIDFromProgID(u"zx.versioned", &clsid), S_OK);
  EXPECT_EQ(clsid.Data4[7], 2) << "the version-independent ProgID follows CurVer";
  EXPECT_EQ(CLSIDFromProgID(u"Zx.NoSuchThing", &clsid), CO_E_CLASSSTRING);
  const CLSID unknown = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  progId = reinterpret_cast<LPOLESTR>(1);
  EXPECT_EQ(ProgIDFromCLSID(unknown, &progId), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(progId, nullptr);
}

TEST_F(Activation, UnknownClassesBrokenModulesAndOtherContextsGiveTheirCodes) {
  const CLSID unknown = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
  const char16_t* key = u"CLSID\\{12345678-0000-0000-0000-000000000001}\\InprocServer32";
  const struct {
    std::u16string server;
    CLSID clsid;
    DWORD context;
    HRESULT hr;
  } cases[] = {{u"", unknown, CLSCTX_ALL, REGDB_E_CLASSNOTREG},
               {u"/nonexistent/libgone.so", unknown, CLSCTX_ALL, CO_E_DLLNOTFOUND},
               {zx::to_utf16(m_registry.file()), unknown, CLSCTX_ALL, CO_E_ERRORINDLL},  // no loadable module
               {u"", CLSID_Dictionary, CLSCTX_LOCAL_SERVER, REGDB_E_CLASSNOTREG}};      // only in-process servers
  for (const auto& c : cases) {
    if (!c.server.empty()) {
      ASSERT_EQ(write_default(key, c.server), ERROR_SUCCESS);
    }
    IUnknown* p = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(CoCreateInstance(c.clsid, nullptr, c.context, IID_IUnknown, reinterpret_cast<void**>(&p)), c.hr);
    EXPECT_EQ(p, nullptr);
  }
}

TEST_F(Activation, RuntimeClassesNeedNoRegistration) {
  CLSID clsid{};
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
  EXPECT_EQ(m_registry.keys(), "") << "nothing was written to find them";
}

TEST(ComInitialisation, CountsPerThreadAndRefusesAChangeOfModel) {
  std::thread([] {
    zx::ComPtr<IUnknown> p;
    auto create = [&] { return CoCreateInstance(CLSID_Dictionary, nullptr, CLSCTX_ALL, IID_IUnknown, p.put_void()); };
    EXPECT_EQ(create(), CO_E_NOTINITIALIZED);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    CoUninitialize();
    EXPECT_EQ(create(), S_OK);
    CoUninitialize();
    EXPECT_EQ(create(), CO_E_NOTINITIALIZED);
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
  const std::string missing = regsvr("/nonexistent/libnothing.so");
  EXPECT_TRUE(missing.starts_with("3: ") && missing.find("could not be loaded") != std::string::npos) << missing;
  // zxregsvr names the file the link leads to (the versioned runtime).
  const std::string noEntry = std::filesystem::canonical(std::string(ZX_BINARY_DIR) + "/lib/libzxcom.so").string();
  EXPECT_EQ(regsvr(noEntry),
            "4: zxregsvr: " + noEntry + " was loaded, but the entry point DllRegisterServer was not found.\n");
  setenv(ZX_TESTMODULE_REFUSE_ENV, "1", 1);
  EXPECT_EQ(regsvr(kModule),
            "5: DllRegisterServer in " + kModule + " failed with error 0x80070005: Registration refused on request.\n");
  EXPECT_EQ(regsvr("/s " + kModule), "5: ");
  unsetenv(ZX_TESTMODULE_REFUSE_ENV);
  EXPECT_EQ(regsvr("").substr(0, 3), "2: ");
  EXPECT_EQ(registry.keys(), "");
}

TEST(Zxregsvr, WritesThePerUserRegistryUnlessToldToWriteTheMachinesOne) {
  zx::test::ScopedRegistries files;
  const std::string clsidKey = "[CLSID\\{6D3B8E2A-4C1F-4A57-9E0B-2F7A1C5D9B31}]";
  ASSERT_EQ(regsvr(kModule).substr(0, 3), "0: ");
  EXPECT_NE(zx::test::file_text(files.user()).find(clsidKey), std::string::npos);
  EXPECT_EQ(zx::test::file_text(files.machine()), "<missing>");
  ASSERT_EQ(regsvr("/m " + kModule).substr(0, 3), "0: ");
  ASSERT_EQ(regsvr("/u " + kModule).substr(0, 3), "0: ");
  EXPECT_EQ(zx::test::file_text(files.user()).find(clsidKey), std::string::npos);
  EXPECT_NE(zx::test::file_text(files.machine()).find(clsidKey), std::string::npos);
  ASSERT_EQ(regsvr("--machine /u " + kModule).substr(0, 3), "0: ");
  EXPECT_EQ(zx::test::file_text(files.machine()).find(clsidKey), std::string::npos);

  EXPECT_EQ(regsvr(kModule, "env -u HOME -u XDG_DATA_HOME "),
            "6: zxregsvr: there is no per-user registry: neither HOME nor XDG_DATA_HOME is set to a folder. Use /m to "
            "write the machine-wide registry.\n");
}

}  // namespace
