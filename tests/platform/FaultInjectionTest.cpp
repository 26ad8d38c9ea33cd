#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/core/FaultInjection.h"
#include "platform/files/Files.h"
#include "platform/files/Registry.h"
#include "tests/support/DeclaredDrives.h"

namespace {

std::string ReadAll(const std::filesystem::path& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string QueryString(const char* value)
{
  HKEY key = nullptr;
  char data[64] = {};
  DWORD size = sizeof data - 1;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Test", 0, KEY_READ, &key) != 0) {
    return "no key";
  }
  const LONG result = RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  return result == 0 ? std::string(data) : "missing";
}

TEST(FaultInjection, AFailingRegistryWriteKeepsTheOldValueAndEveryOther)
{
  const TTempMachine machine;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            0L);
  ASSERT_EQ(RegSetValueExA(key, "Kept", 0, REG_SZ, reinterpret_cast<const BYTE*>("kept"), 5), 0L);
  RegCloseKey(key);
  for (std::uint32_t n = 1;; ++n) {
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              0L);
    ASSERT_EQ(RegSetValueExA(key, "Value", 0, REG_SZ, reinterpret_cast<const BYTE*>("old"), 4), 0L);
    FailNthPlatformCall(n);
    const LONG first = RegSetValueExA(key, "Value", 0, REG_SZ, reinterpret_cast<const BYTE*>("new"), 4);
    const LONG second = RegDeleteValueA(key, "Gone");
    const std::uint32_t calls = CountedPlatformCalls();
    FailNthPlatformCall(0);
    RegCloseKey(key);
    EXPECT_EQ(QueryString("Value"), first == 0 ? "new" : "old") << n;
    EXPECT_EQ(QueryString("Kept"), "kept") << n;
    EXPECT_NE(second, 0L);
    EXPECT_FALSE(std::filesystem::exists(machine.Folder() / "registry" / "CurrentUser.hive.corrupt"));
    if (calls < n) {
      EXPECT_EQ(first, 0L);
      break;
    }
  }
}

TEST(FaultInjection, AFailingCopyLeavesTheTargetWholeAndNoTemporaryFile)
{
  const TDeclaredMachine machine;
  const auto c = machine.DriveFolder('C');
  std::ofstream(c / "source.bin") << std::string(200000, 'n');
  for (std::uint32_t n = 1;; ++n) {
    std::ofstream(c / "target.bin", std::ios::trunc) << "old";
    FailNthPlatformCall(n);
    const BOOL copied = CopyFileA("C:\\source.bin", "C:\\target.bin", FALSE);
    const std::uint32_t calls = CountedPlatformCalls();
    FailNthPlatformCall(0);
    EXPECT_EQ(ReadAll(c / "target.bin"), copied ? std::string(200000, 'n') : "old") << n;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(c), {}), 2) << n;
    if (calls < n) {
      EXPECT_TRUE(copied);
      break;
    }
  }
}

}  // namespace
