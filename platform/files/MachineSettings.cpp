#include "platform/files/MachineSettings.h"

#include <cstdint>
#include <mutex>

#include "platform/core/ByteOrder.h"
#include "platform/core/LastError.h"
#include "platform/files/Registry.h"
#include "platform/files/detail/RegistryStore.h"

namespace {

constexpr char SettingsKey[] = "OxaMachine";
constexpr char HungThresholdValue[] = "HungThreshold";

const TRegKey* SettingsOf(const TRegKey& root)
{
  const TRegKey* system = root.FindSubKey("System");
  return system == nullptr ? nullptr : system->FindSubKey(SettingsKey);
}

DWORD DwordSetting(const TRegKey& root, const char* name, DWORD fallback)
{
  const TRegKey* settings = SettingsOf(root);
  const TRegValue* value = settings == nullptr ? nullptr : settings->FindValue(name);
  if (value == nullptr || value->Type != REG_DWORD || value->Data.size() != 4) {
    return fallback;
  }
  const DWORD stored = ByteOrder::LoadLE32(value->Data.data());
  return stored == 0 ? fallback : stored;
}

// The threshold as last read, shared by every thread that judges a queue.
struct TCachedThreshold {
  std::mutex Lock;  // guards the fields below
  std::uint64_t Generation = 0;
  DWORD Milliseconds = DefaultHungThreshold;
};

TCachedThreshold& Cached()
{
  static TCachedThreshold cached;
  return cached;
}

}  // namespace

DWORD HungThreshold() noexcept
{
  auto& cached = Cached();
  const std::lock_guard guard(cached.Lock);
  try {
    ReadHiveIfChanged(THive::LocalMachine, cached.Generation, [&](const TRegKey& root) {
      cached.Milliseconds = DwordSetting(root, HungThresholdValue, DefaultHungThreshold);
    });
  } catch (...) {
    // Without memory to read the hive, the threshold last read still holds.
  }
  return cached.Milliseconds;
}

LONG SetHungThreshold(DWORD milliseconds)
{
  return ModifyHive(THive::LocalMachine, [&](TRegKey& root, bool& changed) {
    bool created = false;
    TRegKey& settings = root.AddSubKey("System", created).AddSubKey(SettingsKey, created);
    BYTE data[4];
    ByteOrder::StoreLE32(data, milliseconds);
    settings.SetValue(HungThresholdValue, REG_DWORD, data);
    changed = true;
    return static_cast<LONG>(ERROR_SUCCESS);
  });
}
