#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/core/ByteOrder.h"
#include "platform/core/LastError.h"
#include "platform/files/MachineSettings.h"
#include "platform/files/Registry.h"
#include "tests/support/TempFolder.h"

namespace {

LONG StoreRaw(DWORD type, const std::vector<BYTE>& data)
{
  HKEY key = nullptr;
  LONG result = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "System\\OxaMachine", 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr);
  if (result == ERROR_SUCCESS) {
    result = RegSetValueExA(key, "HungThreshold", 0, type, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
  }
  return result;
}

std::vector<BYTE> Dword(DWORD value)
{
  std::vector<BYTE> data(4);
  ByteOrder::StoreLE32(data.data(), value);
  return data;
}

TEST(MachineSettings, HungThresholdFallsBackUnlessAUsableDwordIsStored)
{
  struct TCase {
    const char* Name;
    DWORD Type;
    std::vector<BYTE> Data;
    DWORD Expected;
  };
  const TCase cases[] = {
      {"one millisecond", REG_DWORD, Dword(1), 1},
      {"zero", REG_DWORD, Dword(0), DefaultHungThreshold},
      {"largest", REG_DWORD, Dword(0xFFFFFFFF), 0xFFFFFFFF},
      {"text", REG_SZ, {'1', '0', '0', 0}, DefaultHungThreshold},
      {"three bytes", REG_DWORD, {1, 0, 0}, DefaultHungThreshold},
      {"five bytes", REG_BINARY, {1, 0, 0, 0, 0}, DefaultHungThreshold},
  };
  for (const auto& c : cases) {
    const TTempMachine machine;
    EXPECT_EQ(HungThreshold(), DefaultHungThreshold) << c.Name;
    ASSERT_EQ(StoreRaw(c.Type, c.Data), ERROR_SUCCESS) << c.Name;
    EXPECT_EQ(HungThreshold(), c.Expected) << c.Name;
  }
}

TEST(MachineSettings, SetHungThresholdIsSeenAtOnceAndZeroRestoresTheDefault)
{
  const TTempMachine machine;
  ASSERT_EQ(SetHungThreshold(250), ERROR_SUCCESS);
  EXPECT_EQ(HungThreshold(), 250U);
  ASSERT_EQ(SetHungThreshold(0), ERROR_SUCCESS);
  EXPECT_EQ(HungThreshold(), DefaultHungThreshold);
}

}  // namespace
