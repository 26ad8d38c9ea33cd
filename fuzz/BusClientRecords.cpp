// The bus's client records as another member may have left them: any bytes written over a queued
// message, a property, a types block or a client record, then every reader of those records runs
// (taking the queue, reading the property, a broadcast by type, a call's answer, unregistering).
// None may crash or touch memory outside the body; a refusal closes the bus through its damaged
// path.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "OxaIPC/OxaIpcClient.h"

namespace {

// Each input gets a bus of its own, so no damage carries over.
std::string NextGroup()
{
  static int count = 0;
  return "Fuzz" + std::to_string(++count);
}

void Setup()
{
  static bool done = false;
  if (!done) {
    done = true;
    const auto folder = std::filesystem::temp_directory_path() / ("oxa-fuzz-bus-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    setenv("OXA_MACHINE", folder.c_str(), 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 1) {
    return 0;
  }
  Setup();
  TOxaIpc ipc(nullptr);
  ipc.SetGroupName(NextGroup());
  if (!ipc.Open(false)) {
    return 0;
  }
  const std::uint32_t id = ipc.NameToId("Victim");
  const std::uint32_t volume = ipc.NameToId("Volume");
  if (ipc.RegisterClient(id, {ipc.NameToId("Sound")}) == 0 || !ipc.SetProperty(id, volume, 8, "property") ||
      !ipc.Notify(id, id, 8, "message", volume)) {
    return 0;
  }
  if (!ipc.Lock(TOxaIpc::LockTimeout)) {
    return 0;
  }
  TOxaIpcBody body = ipc.Body();
  const std::uint32_t client = ipc.FindClient(id);
  const auto record = body.Read<TOxaIpcClientRecord>(client);
  // The queue's head is the announcement of the client's arrival; the message follows it.
  const std::uint32_t message = body.Read<TOxaIpcMessageRecord>(record.Messages).Link;
  const std::uint32_t targets[] = {message, record.Properties, record.Types, client};
  const std::uint32_t target = targets[data[0] % 4];
  const std::uint32_t room = body.Request(target);
  const std::uint32_t count = std::min<std::uint32_t>(room, static_cast<std::uint32_t>(size - 1));
  body.WriteBytes(target, 0, data + 1, count);
  ipc.Unlock();

  std::uint32_t gotSize = 0;
  std::vector<std::uint8_t> got;
  TOxaIpcMessage taken;
  ipc.GetProperty(id, volume, gotSize, got);
  if (ipc.Active()) {
    ipc.NotifyAll(id, {ipc.NameToId("Picture")}, volume, 0, nullptr);
  }
  while (ipc.Active() && ipc.TakeNext(id, true, taken)) {
  }
  if (ipc.Active()) {
    ipc.SetProperty(id, volume, 2, "pp");
  }
  if (ipc.Active()) {
    ipc.UnregisterClient(id);
  }
  if (ipc.Active() && ipc.CheckHeaps().empty() == false) {
    // Damage found by the check alone is fine: it is reported, never used.
  }
  return 0;
}
