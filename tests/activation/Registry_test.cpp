// Zentarix — MIT licence.
// The file-backed class registry: Win32 semantics, its text file, and writers in several processes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "temp_registry.h"
#include "zx/com.h"

using zx::test::TempRegistry;

namespace {

const BYTE* bytes(const char16_t* s) { return reinterpret_cast<const BYTE*>(s); }
DWORD cb(const char16_t* s) { return static_cast<DWORD>((std::char_traits<char16_t>::length(s) + 1) * 2); }

class Registry : public ::testing::Test {
 protected:
  TempRegistry m_registry;
};

TEST_F(Registry, KeysMatchWithoutRegardToCaseAndKeepTheirCase) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{ABC}\\InprocServer32", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_SZ, bytes(u"/opt/lib.so"), cb(u"/opt/lib.so")), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExW(key, u"ThreadingModel", 0, REG_SZ, bytes(u"Both"), cb(u"Both")), ERROR_SUCCESS);
  RegCloseKey(key);

  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"clsid\\{abc}\\INPROCSERVER32", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);
  EXPECT_EQ(zx::test::read_default(u"Clsid\\{Abc}\\inprocserver32", u"threadingmodel"), u"Both");

  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID", 0, KEY_READ, &key), ERROR_SUCCESS);
  char16_t name[64];
  DWORD cch = 64;
  ASSERT_EQ(RegEnumKeyExW(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(name), u"{ABC}");
  EXPECT_EQ(cch, 5u);
  cch = 64;
  EXPECT_EQ(RegEnumKeyExW(key, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  cch = 5;  // no room for the terminating NUL
  EXPECT_EQ(RegEnumKeyExW(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  RegCloseKey(key);
}

TEST_F(Registry, QueryReportsSizeAndRefusesShortBuffers) {
  ASSERT_EQ(zx::test::write_default(u"Zx.Size", u"abcdef"), ERROR_SUCCESS);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Zx.Size", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 14u);  // six characters and the NUL, in bytes
  char16_t buf[8] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#', u'#'};
  size = 8;
  EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 14u);
  size = sizeof buf;
  ASSERT_EQ(RegQueryValueExW(key, u"", nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(buf), u"abcdef");
  EXPECT_EQ(RegQueryValueExW(key, u"Absent", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  // Opened for reading only: writes are refused.
  EXPECT_EQ(RegSetValueExW(key, u"X", 0, REG_SZ, bytes(u"1"), cb(u"1")), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(Registry, MissingKeysAndValuesGiveFileNotFound) {
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"No\\Such\\Key", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"No\\Such"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, u"No"), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(zx::test::write_default(u"Zx.Values", u"x"), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Zx.Values", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, u"Absent"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(key, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, nullptr), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(Registry, DeleteKeyRefusesKeysWithSubkeysAndDeleteTreeRemovesThem) {
  ASSERT_EQ(zx::test::write_default(u"Zx.Tree\\A\\B", u"leaf"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"Zx.Tree\\A"), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(zx::test::key_exists(u"Zx.Tree\\A\\B"));
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"Zx.Tree\\A\\B"), ERROR_SUCCESS);
  EXPECT_FALSE(zx::test::key_exists(u"Zx.Tree\\A\\B"));
  ASSERT_EQ(zx::test::write_default(u"Zx.Tree\\A\\C\\D", u"deep"), ERROR_SUCCESS);

  HKEY held = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Zx.Tree\\A\\C", 0, KEY_ALL_ACCESS, &held), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, u"Zx.Tree"), ERROR_SUCCESS);
  EXPECT_FALSE(zx::test::key_exists(u"Zx.Tree"));
  // A handle to a key deleted under it says so rather than writing into nowhere.
  EXPECT_EQ(RegSetValueExW(held, u"V", 0, REG_SZ, bytes(u"1"), cb(u"1")), ERROR_KEY_DELETED);
  RegCloseKey(held);
}

TEST_F(Registry, FileIsReadableTextAndStringsRoundTripWithEscapes) {
  const char16_t* tricky = u"C:\\path \"quoted\"\nsecond line";
  ASSERT_EQ(zx::test::write_default(u"CLSID\\{1}\\InprocServer32", u"/usr/lib/libx.so"), ERROR_SUCCESS);
  ASSERT_EQ(zx::test::write_default(u"CLSID\\{1}\\InprocServer32", u"Both", u"ThreadingModel"), ERROR_SUCCESS);
  ASSERT_EQ(zx::test::write_default(u"CLSID\\{1}\\Programmable", u""), ERROR_SUCCESS);
  ASSERT_EQ(zx::test::write_default(u"Zx.Tricky", tricky, u"Odd \"name\""), ERROR_SUCCESS);
  const std::string text = m_registry.text();
  EXPECT_NE(text.find("[CLSID\\{1}\\InprocServer32]\n@=\"/usr/lib/libx.so\"\n\"ThreadingModel\"=\"Both\"\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[CLSID\\{1}\\Programmable]\n@=\"\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Odd \\\"name\\\"\"=\"C:\\\\path \\\"quoted\\\"\\nsecond line\"\n"), std::string::npos) << text;
  EXPECT_EQ(zx::test::read_default(u"Zx.Tricky", u"odd \"NAME\""), tricky);
}

TEST_F(Registry, CorruptFileIsRefusedAndLeftAsItWas) {
  ASSERT_EQ(zx::test::write_default(u"Zx.Before", u"1"), ERROR_SUCCESS);
  const std::string garbage = "[Zx.Before]\n@=unquoted\n";
  { std::ofstream(m_registry.file(), std::ios::binary | std::ios::trunc) << garbage; }
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"Zx.After", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            static_cast<LSTATUS>(ERROR_REGISTRY_CORRUPT));
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Zx.Before", 0, KEY_READ, &key), static_cast<LSTATUS>(ERROR_REGISTRY_CORRUPT));
  EXPECT_EQ(m_registry.text(), garbage);
}

TEST_F(Registry, ChangesPersistAcrossProcesses) {
  ASSERT_EQ(zx::test::write_default(u"Zx.FromChild", u"written by the parent"), ERROR_SUCCESS);
  ASSERT_EQ(zx::test::read_default(u"Zx.FromChild"), u"written by the parent");
  // The child's value has the same length and lands within the same clock tick: the parent must
  // still see it rather than what it read a moment ago.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(zx::test::write_default(u"Zx.FromChild", u"written by the child!") == ERROR_SUCCESS ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(zx::test::read_default(u"Zx.FromChild"), u"written by the child!");
}

TEST_F(Registry, FourProcessesRegisteringAtOnceLoseNothing) {
  constexpr int kProcesses = 4, kKeys = 25;
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
      for (int k = 0; k < kKeys; ++k) {
        std::u16string path = zx::to_utf16("CLSID\\{P" + std::to_string(p) + "-K" + std::to_string(k) + "}");
        std::u16string value = zx::to_utf16("process " + std::to_string(p) + " key " + std::to_string(k));
        failures += zx::test::write_default(path.c_str(), value) != ERROR_SUCCESS;
        failures += zx::test::write_default((path + u"\\InprocServer32").c_str(), value) != ERROR_SUCCESS;
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
  EXPECT_EQ(zx::test::count_subkeys(u"CLSID"), static_cast<DWORD>(kProcesses * kKeys));
  for (int p = 0; p < kProcesses; ++p)
    for (int k = 0; k < kKeys; ++k) {
      std::u16string path = zx::to_utf16("CLSID\\{P" + std::to_string(p) + "-K" + std::to_string(k) + "}\\InprocServer32");
      EXPECT_EQ(zx::to_utf8(zx::test::read_default(path.c_str())),
                "process " + std::to_string(p) + " key " + std::to_string(k));
    }
}

}  // namespace

namespace {

// {5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}
constexpr GUID kLibId = {0x5E2F7A10, 0x1B3C, 0x4D5E, {0x8F, 0x90, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}};
// {11111111-2222-3333-4444-555555555555} and {66666666-7777-8888-9999-AAAAAAAAAAAA}
constexpr IID kDual = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr IID kCustom = {0x66666666, 0x7777, 0x8888, {0x99, 0x99, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}};
const ZX_TYPELIB_INTERFACE kInterfaces[] = {{&kDual, u"IDualThing", TRUE}, {&kCustom, u"ICustomThing", FALSE}};
const ZX_TYPELIB_DESC kLib = {&kLibId, 1, 0, 0, u"ThingLib", u"Thing Library 1.0", kInterfaces, 2};

class TypeLibRegistration : public ::testing::Test {
 protected:
  TempRegistry m_registry;
};

TEST_F(TypeLibRegistration, WritesTheKeysWindowsWritesAndRemovesThem) {
  ASSERT_EQ(ZxRegisterTypeLib(&kLib, u"/opt/zx/libthing.so", nullptr), S_OK);
  const char16_t* lib = u"TypeLib\\{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}\\1.0";
  using zx::test::read_default;
  EXPECT_EQ(read_default(lib), u"Thing Library 1.0");
  EXPECT_EQ(read_default(u"TypeLib\\{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}\\1.0\\0\\linux64"), u"/opt/zx/libthing.so");
  EXPECT_EQ(read_default(u"TypeLib\\{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}\\1.0\\FLAGS"), u"0");
  EXPECT_EQ(read_default(u"TypeLib\\{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}\\1.0\\HELPDIR"), u"/opt/zx");

  const char16_t* psoa = u"{00020424-0000-0000-C000-000000000046}";
  EXPECT_EQ(read_default(u"Interface\\{11111111-2222-3333-4444-555555555555}"), u"IDualThing");
  EXPECT_EQ(read_default(u"Interface\\{11111111-2222-3333-4444-555555555555}\\ProxyStubClsid32"), psoa);
  EXPECT_EQ(read_default(u"Interface\\{11111111-2222-3333-4444-555555555555}\\ProxyStubClsid"), psoa);
  EXPECT_EQ(read_default(u"Interface\\{11111111-2222-3333-4444-555555555555}\\TypeLib"),
            u"{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}");
  EXPECT_EQ(read_default(u"Interface\\{11111111-2222-3333-4444-555555555555}\\TypeLib", u"Version"), u"1.0");
  EXPECT_EQ(read_default(u"Interface\\{66666666-7777-8888-9999-AAAAAAAAAAAA}"), u"ICustomThing");
  EXPECT_FALSE(zx::test::key_exists(u"Interface\\{66666666-7777-8888-9999-AAAAAAAAAAAA}\\ProxyStubClsid32"));

  ASSERT_EQ(ZxUnRegisterTypeLib(&kLib), S_OK);
  EXPECT_FALSE(zx::test::key_exists(u"TypeLib\\{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}"));
  EXPECT_FALSE(zx::test::key_exists(u"Interface\\{11111111-2222-3333-4444-555555555555}"));
  EXPECT_FALSE(zx::test::key_exists(u"Interface\\{66666666-7777-8888-9999-AAAAAAAAAAAA}"));
  EXPECT_TRUE(zx::test::key_exists(u"Interface"));
  EXPECT_EQ(ZxUnRegisterTypeLib(&kLib), TYPE_E_REGISTRYACCESS);
}

}  // namespace
