// Zentarix — MIT licence.
// The file-backed class registry: Win32 semantics, its text file, and writers in several processes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "temp_registry.h"
#include "zx/com.h"

using namespace zx::test;

namespace {

LSTATUS set(HKEY key, const char16_t* name, const char16_t* value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                        static_cast<DWORD>((std::char_traits<char16_t>::length(value) + 1) * 2));
}

TEST(Registry, KeysMatchWithoutRegardToCaseAndFollowTheWin32Rules) {
  TempRegistry registry;
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{ABC}\\InprocServer32", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  ASSERT_EQ(set(key, nullptr, u"abcdef") | set(key, u"ThreadingModel", u"Both"), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"clsid\\{abc}\\INPROCSERVER32", 0, nullptr, 0, KEY_READ, nullptr, &key,
                            &disposition), ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(read_default(u"Clsid\\{Abc}\\inprocserver32", u"threadingmodel"), u"Both");
  DWORD type = 0, size = 0;
  ASSERT_EQ(RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type * 100 + size, REG_SZ * 100 + 14u) << "six characters and the NUL, in bytes";
  char16_t buf[8];
  size = 8;
  EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 14u);
  EXPECT_EQ(RegQueryValueExW(key, u"Absent", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(set(key, u"X", u"1"), ERROR_ACCESS_DENIED) << "opened for reading only";
  RegCloseKey(key);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);

  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD cch = 64;
  ASSERT_EQ(RegEnumKeyExW(key, 0, buf, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(std::u16string(buf) + u"/" + char16_t(u'0' + cch), u"{ABC}/5") << "keys keep the case they were made in";
  cch = 64;
  EXPECT_EQ(RegEnumKeyExW(key, 1, buf, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  cch = 5;  // no room for the terminating NUL
  EXPECT_EQ(RegEnumKeyExW(key, 0, buf, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  RegCloseKey(key);

  key = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"No\\Such\\Key", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(key, nullptr);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"No\\Such"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, u"No"), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"CLSID\\{ABC}\\InprocServer32", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, u"Absent"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueW(key, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, nullptr), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"CLSID\\{ABC}"), ERROR_ACCESS_DENIED) << "a key with subkeys";
  EXPECT_EQ(RegDeleteTreeW(HKEY_CLASSES_ROOT, u"Clsid"), ERROR_SUCCESS);
  EXPECT_EQ(set(key, u"V", u"1"), ERROR_KEY_DELETED) << "a handle to a key deleted under it says so";
  RegCloseKey(key);
  EXPECT_EQ(registry.keys(), "");
}

TEST(Registry, TheFileIsSortedTextWithEscapesAndACorruptFileIsLeftAlone) {
  TempRegistry registry;
  const char16_t* tricky = u"C:\\path \"quoted\"\nsecond line";
  ASSERT_EQ(write_default(u"CLSID\\{1}\\InprocServer32", u"/usr/lib/libx.so"), ERROR_SUCCESS);
  ASSERT_EQ(write_default(u"CLSID\\{1}\\InprocServer32", u"Both", u"ThreadingModel"), ERROR_SUCCESS);
  ASSERT_EQ(write_default(u"CLSID\\{1}\\Programmable", u""), ERROR_SUCCESS);
  ASSERT_EQ(write_default(u"Zx.Tricky", tricky, u"Odd \"name\""), ERROR_SUCCESS);
  ASSERT_EQ(write_default(u"A.First", u"1"), ERROR_SUCCESS);
  EXPECT_EQ(registry.keys(),
            "\n[A.First]\n@=\"1\"\n\n[CLSID]\n\n[CLSID\\{1}]\n\n[CLSID\\{1}\\InprocServer32]\n@=\"/usr/lib/libx.so\"\n"
            "\"ThreadingModel\"=\"Both\"\n\n[CLSID\\{1}\\Programmable]\n@=\"\"\n\n[Zx.Tricky]\n"
            "\"Odd \\\"name\\\"\"=\"C:\\\\path \\\"quoted\\\"\\nsecond line\"\n");
  EXPECT_EQ(read_default(u"Zx.Tricky", u"odd \"NAME\""), tricky);
  const std::string garbage = "[Zx.Before]\n@=unquoted\n";
  { std::ofstream(registry.file(), std::ios::binary | std::ios::trunc) << garbage; }
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"Zx.After", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            static_cast<LSTATUS>(ERROR_REGISTRY_CORRUPT));
  EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"Zx.Before", 0, KEY_READ, &key), static_cast<LSTATUS>(ERROR_REGISTRY_CORRUPT));
  EXPECT_EQ(registry.text(), garbage);
}

TEST(Registry, AChildProcessesChangeIsSeenWithinTheSameClockTick) {
  TempRegistry registry;
  ASSERT_EQ(write_default(u"Zx.FromChild", u"written by the parent"), ERROR_SUCCESS);
  ASSERT_EQ(read_default(u"Zx.FromChild"), u"written by the parent");
  // The child's value has the same length: the parent must not trust what it read a moment ago.
  pid_t child = fork();
  if (child == 0) _exit(write_default(u"Zx.FromChild", u"written by the child!") == ERROR_SUCCESS ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(read_default(u"Zx.FromChild"), u"written by the child!");
}

// {5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}, a dual and a custom interface.
constexpr GUID kLibId = {0x5E2F7A10, 0x1B3C, 0x4D5E, {0x8F, 0x90, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}};
constexpr IID kDual = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr IID kCustom = {0x66666666, 0x7777, 0x8888, {0x99, 0x99, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}};
const ZX_TYPELIB_INTERFACE kInterfaces[] = {{&kDual, u"IDualThing", TRUE}, {&kCustom, u"ICustomThing", FALSE}};
const ZX_TYPELIB_DESC kLib = {&kLibId, 1, 0, 0, u"ThingLib", u"Thing Library 1.0", kInterfaces, 2};

TEST(TypeLibRegistration, WritesTheKeysWindowsWritesAndRemovesThem) {
  TempRegistry registry;
  ASSERT_EQ(ZxRegisterTypeLib(&kLib, u"/opt/zx/libthing.so", nullptr), S_OK);
  const std::string psoa = "{00020424-0000-0000-C000-000000000046}";
  EXPECT_EQ(registry.keys(),
            "\n[Interface]\n\n[Interface\\{11111111-2222-3333-4444-555555555555}]\n@=\"IDualThing\"\n"
            "\n[Interface\\{11111111-2222-3333-4444-555555555555}\\ProxyStubClsid]\n@=\"" + psoa + "\"\n"
            "\n[Interface\\{11111111-2222-3333-4444-555555555555}\\ProxyStubClsid32]\n@=\"" + psoa + "\"\n"
            "\n[Interface\\{11111111-2222-3333-4444-555555555555}\\TypeLib]\n"
            "@=\"{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}\"\n\"Version\"=\"1.0\"\n"
            "\n[Interface\\{66666666-7777-8888-9999-AAAAAAAAAAAA}]\n@=\"ICustomThing\"\n"
            "\n[Interface\\{66666666-7777-8888-9999-AAAAAAAAAAAA}\\TypeLib]\n"
            "@=\"{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}\"\n\"Version\"=\"1.0\"\n"
            "\n[TypeLib]\n\n[TypeLib\\{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}]\n"
            "\n[TypeLib\\{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}\\1.0]\n@=\"Thing Library 1.0\"\n"
            "\n[TypeLib\\{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}\\1.0\\0]\n"
            "\n[TypeLib\\{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}\\1.0\\0\\linux64]\n@=\"/opt/zx/libthing.so\"\n"
            "\n[TypeLib\\{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}\\1.0\\FLAGS]\n@=\"0\"\n"
            "\n[TypeLib\\{5E2F7A10-1B3C-4D5E-8F90-A1B2C3D4E5F6}\\1.0\\HELPDIR]\n@=\"/opt/zx\"\n");
  ASSERT_EQ(ZxUnRegisterTypeLib(&kLib), S_OK);
  EXPECT_EQ(registry.keys(), "\n[Interface]\n\n[TypeLib]\n");
  EXPECT_EQ(ZxUnRegisterTypeLib(&kLib), TYPE_E_REGISTRYACCESS);
}

}  // namespace
