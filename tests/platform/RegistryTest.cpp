#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/core/Diagnostics.h"
#include "platform/core/LastError.h"
#include "platform/files/Paths.h"
#include "platform/files/Registry.h"
#include "platform/files/RegistryHive.h"
#include "platform/files/ShellFolders.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/DeclaredDrives.h"

namespace {

class TKey {
 public:
  TKey(HKEY root, const char* path)
  {
    EXPECT_EQ(RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &FKey, &Disposition), 0L);
  }
  ~TKey() { RegCloseKey(FKey); }
  HKEY Get() const { return FKey; }
  DWORD Disposition = 0;

 private:
  HKEY FKey = nullptr;
};

std::string QueryString(HKEY key, const char* name)
{
  char data[1024] = {};
  DWORD size = sizeof data;
  DWORD type = 0;
  const LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  if (result != 0) {
    return "error " + std::to_string(result);
  }
  return type == REG_SZ ? std::string(data) : "type " + std::to_string(type);
}

LONG SetString(HKEY key, const char* name, const std::string& text)
{
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
}

std::filesystem::path UserHive(const TTempMachine& machine)
{
  return machine.Folder() / "registry" / "CurrentUser.hive";
}

TEST(Registry, ValuesOfEveryTypeRoundTripWithCaseInsensitiveNames)
{
  const TTempMachine machine;
  {
    TKey key(HKEY_CURRENT_USER, "Software\\Kestrom\\OxaPlayer\\");
    EXPECT_EQ(key.Disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(SetString(key.Get(), "Database", "C:\\Lib\\"), 0L);
    const DWORD number = 0x12345678;
    EXPECT_EQ(RegSetValueExA(key.Get(), "Top", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), 0L);
    const BYTE blob[] = {0, 1, 2, 255};
    EXPECT_EQ(RegSetValueExA(key.Get(), "Blob", 0, REG_BINARY, blob, sizeof blob), 0L);
  }
  TKey again(HKEY_CURRENT_USER, "SOFTWARE\\kestrom\\oxaplayer");
  EXPECT_EQ(again.Disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(QueryString(again.Get(), "DATABASE"), "C:\\Lib\\");
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(again.Get(), "top", nullptr, &type, nullptr, &size), 0L);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(size, 4U);
  DWORD number = 0;
  EXPECT_EQ(RegQueryValueExA(again.Get(), "Top", nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size),
            0L);
  EXPECT_EQ(number, 0x12345678U);
  BYTE small[2];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(again.Get(), "Blob", nullptr, &type, small, &size),
            static_cast<LONG>(ERROR_MORE_DATA));
  EXPECT_EQ(size, 4U);
  EXPECT_EQ(QueryString(again.Get(), "Missing"), "error 2");

  // The stored case is kept; enumeration gives subkeys in name order, values in creation order.
  HKEY software = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\KESTROM", 0, KEY_READ, &software), 0L);
  {
    TKey b(software, "beta");
    TKey a(software, "Alpha");
  }
  std::vector<std::string> names;
  char name[64];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    const LONG result = RegEnumKeyExA(software, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != 0) {
      EXPECT_EQ(result, static_cast<LONG>(ERROR_NO_MORE_ITEMS));
      break;
    }
    names.emplace_back(name, length);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "OxaPlayer"}));
  DWORD length = 3;
  EXPECT_EQ(RegEnumKeyExA(software, 2, name, &length, nullptr, nullptr, nullptr, nullptr),
            static_cast<LONG>(ERROR_MORE_DATA));
  EXPECT_EQ(SetString(software, "x", "y"), static_cast<LONG>(ERROR_ACCESS_DENIED));  // opened for reading
  RegCloseKey(software);

  std::vector<std::string> values;
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = sizeof name;
    if (RegEnumValueA(again.Get(), i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != 0) {
      break;
    }
    values.emplace_back(name);
  }
  EXPECT_EQ(values, (std::vector<std::string>{"Database", "Top", "Blob"}));
}

TEST(Registry, KeysAreCreatedOpenedAndDeletedAsWin32Does)
{
  const TTempMachine machine;
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Nothing", 0, KEY_READ, &key),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "\\Software\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            static_cast<LONG>(ERROR_BAD_PATHNAME));
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\\\X", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            static_cast<LONG>(ERROR_BAD_PATHNAME));
  EXPECT_EQ(RegQueryValueExA(reinterpret_cast<HKEY>(0x4444), "x", nullptr, nullptr, nullptr, nullptr),
            static_cast<LONG>(ERROR_INVALID_HANDLE));
  {
    TKey parent(HKEY_CURRENT_USER, "Software\\Parent\\Child");
  }
  TKey parent(HKEY_CURRENT_USER, "Software\\Parent");
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Parent"), static_cast<LONG>(ERROR_ACCESS_DENIED));
  HKEY child = nullptr;
  ASSERT_EQ(RegOpenKeyExA(parent.Get(), "child", 0, KEY_ALL_ACCESS, &child), 0L);
  EXPECT_EQ(RegDeleteKeyA(parent.Get(), "CHILD"), 0L);
  // A handle to a deleted key fails from then on.
  EXPECT_EQ(SetString(child, "v", "x"), static_cast<LONG>(ERROR_KEY_DELETED));
  RegCloseKey(child);
  EXPECT_EQ(RegDeleteKeyA(parent.Get(), "Child"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(SetString(parent.Get(), "v", "x"), 0L);
  EXPECT_EQ(RegDeleteValueA(parent.Get(), "V"), 0L);
  EXPECT_EQ(RegDeleteValueA(parent.Get(), "V"), static_cast<LONG>(ERROR_FILE_NOT_FOUND));
}

TEST(Registry, ValuesPersistForOtherProcesses)
{
  const TTempMachine machine;
  {
    TKey key(HKEY_CURRENT_USER, "Software\\Kestrom\\OxaIpc\\VantelPC\\Pyrmel");
    ASSERT_EQ(SetString(key.Get(), "Application", "C:\\HOST.EXE"), 0L);
  }
  TChildProcess other(OXA_PLATFORM_HELPER, {});
  EXPECT_EQ(other.Ask("regget Software\\Kestrom\\OxaIpc\\VantelPC\\Pyrmel Application"), "C:\\HOST.EXE");
  EXPECT_EQ(other.Ask("regset Software\\Other v 1"), "done");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Other", 0, KEY_READ, &key), 0L);
  DWORD value = 9, size = 4;
  EXPECT_EQ(RegQueryValueExA(key, "v0", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size), 0L);
  EXPECT_EQ(value, 0U);
  RegCloseKey(key);
  other.WriteLine("exit");
  EXPECT_EQ(other.Wait(), 0);
}

TEST(Registry, ConcurrentWritersInTwoProcessesKeepEachOthersValues)
{
  const TTempMachine machine;
  constexpr int kCount = 40;
  TChildProcess first(OXA_PLATFORM_HELPER, {});
  TChildProcess second(OXA_PLATFORM_HELPER, {});
  first.WriteLine("regset Software\\Shared a " + std::to_string(kCount));
  second.WriteLine("regset Software\\Shared b " + std::to_string(kCount));
  {
    TKey key(HKEY_CURRENT_USER, "Software\\Shared");
    for (int i = 0; i < kCount; ++i) {
      ASSERT_EQ(SetString(key.Get(), ("c" + std::to_string(i)).c_str(), "x"), 0L);
    }
  }
  EXPECT_EQ(first.ReadLine(), "done");
  EXPECT_EQ(second.ReadLine(), "done");
  TKey key(HKEY_CURRENT_USER, "Software\\Shared");
  std::set<std::string> names;
  char name[32];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumValueA(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != 0) {
      break;
    }
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 3U * kCount);
  first.WriteLine("exit");
  second.WriteLine("exit");
}

TEST(Registry, CorruptHiveIsKeptAsideAndAFreshOneStarted)
{
  const TTempMachine machine;
  {
    TKey key(HKEY_CURRENT_USER, "Software\\A");
    ASSERT_EQ(SetString(key.Get(), "v", "1"), 0L);
  }
  // Damage one byte of the stored hive.
  std::string image;
  {
    std::ifstream in(UserHive(machine), std::ios::binary);
    image.assign(std::istreambuf_iterator<char>(in), {});
  }
  image[image.size() - 3] ^= 0x55;
  std::ofstream(UserHive(machine), std::ios::binary | std::ios::trunc) << image;
  std::vector<std::string> trace;
  SetPlatformTraceSink([&](std::string_view line) { trace.emplace_back(line); });
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\A", 0, KEY_READ, &key),
            static_cast<LONG>(ERROR_FILE_NOT_FOUND));
  SetPlatformTraceSink(nullptr);
  ASSERT_EQ(trace.size(), 1U);
  EXPECT_NE(trace[0].find("corrupt"), std::string::npos);
  const auto aside = UserHive(machine).string() + ".corrupt";
  std::ifstream kept(aside, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), image);
  // The fresh hive takes new values.
  TKey fresh(HKEY_CURRENT_USER, "Software\\B");
  EXPECT_EQ(SetString(fresh.Get(), "v", "2"), 0L);
  EXPECT_EQ(QueryString(fresh.Get(), "v"), "2");
}

TEST(Registry, HiveImagesRoundTripAndEveryTruncationIsRefused)
{
  TRegKey root;
  bool created = false;
  TRegKey& key = root.AddSubKey("Software", created).AddSubKey("Kestrom", created);
  const BYTE text[] = {'a', 0};
  key.SetValue("Name", REG_SZ, text);
  key.SetValue("", REG_BINARY, {});
  const auto image = SerializeHive(root);
  TRegKey parsed;
  ASSERT_TRUE(ParseHive(image, parsed));
  EXPECT_EQ(SerializeHive(parsed), image);
  for (std::size_t length = 0; length < image.size(); ++length) {
    EXPECT_FALSE(ParseHive(std::span(image).first(length), parsed)) << length;
  }
  // A payload with a duplicate key name (differing in case) is malformed.
  const std::vector<std::byte> duplicate = {
      std::byte{0}, std::byte{0}, std::byte{0},   std::byte{0},  // no values
      std::byte{2}, std::byte{0}, std::byte{0},   std::byte{0},  // two subkeys
      std::byte{1}, std::byte{0}, std::byte{'a'}, std::byte{0}, std::byte{0}, std::byte{0},
      std::byte{0}, std::byte{0}, std::byte{0},   std::byte{0}, std::byte{0},  // "a", empty
      std::byte{1}, std::byte{0}, std::byte{'A'}, std::byte{0}, std::byte{0}, std::byte{0},
      std::byte{0}, std::byte{0}, std::byte{0},   std::byte{0}, std::byte{0},  // "A", empty
  };
  EXPECT_FALSE(ParseHivePayload(duplicate, parsed));
}

TEST(ShellFolders, FilledFromTheHostOnFirstUse)
{
  const TDeclaredMachine machine({TDrive{'C', "", DRIVE_FIXED}});
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER,
                          "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", 0,
                          KEY_READ, &key),
            0L);
  EXPECT_EQ(QueryString(key, "AppData"), WindowsPathOf((machine.Home() / ".local" / "share").string()));
  EXPECT_EQ(QueryString(key, "Desktop"), WindowsPathOf((machine.Home() / "Desktop").string()));
  RegCloseKey(key);
  ASSERT_EQ(
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", 0, KEY_READ, &key),
      0L);
  EXPECT_EQ(QueryString(key, "CommonFilesDir"), WindowsPathOf((machine.Folder() / "Common Files").string()));
  RegCloseKey(key);
  char windows[1024];
  const UINT length = GetWindowsDirectoryA(windows, sizeof windows);
  EXPECT_EQ(std::string(windows, length), WindowsPathOf((machine.Folder() / "windows").string()));
  EXPECT_TRUE(std::filesystem::is_directory(machine.Folder() / "windows"));
  EXPECT_EQ(GetWindowsDirectoryA(windows, 3), length + 1);
}

}  // namespace
