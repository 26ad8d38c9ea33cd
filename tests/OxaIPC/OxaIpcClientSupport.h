#pragma once
// What the client tests share: a local client that records what it gets, a member process with
// clients of its own, and looks at the shared records.

#include <memory>
#include <string>
#include <vector>

#include "OxaIPC/OxaIpcClient.h"
#include "tests/OxaIPC/OxaIpcTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MessagePump.h"

inline std::string MessageText(const TOxaIpcMessage& message)
{
  std::string text(message.Payload.begin(), message.Payload.end());
  return text.substr(0, text.find('\0'));
}

// "NAME:TEXT" entries joined by ","; the bus's own announcements are left out unless asked for.
inline std::string WithoutAnnouncements(const std::string& list)
{
  std::string kept;
  std::string::size_type start = 0;
  while (start < list.size()) {
    std::string::size_type end = list.find(',', start);
    if (end == std::string::npos) {
      end = list.size();
    }
    const std::string entry = list.substr(start, end - start);
    if (entry.rfind("OnAttach:", 0) != 0 && entry.rfind("OnDetach:", 0) != 0) {
      kept += (kept.empty() ? "" : ",") + entry;
    }
    start = end + 1;
  }
  return kept;
}

class TRecorder : public TObject {
 public:
  TRecorder(TOxaIpc& ipc, const std::string& name, const std::string& types = "") : Ipc(ipc)
  {
    Client.SetClientName(name);
    Client.SetClientTypes(types);
    Client.OnDispatch = MakeMethod<&TRecorder::Dispatched>(this);
    Client.SetIpc(&ipc);
  }
  ~TRecorder() override { Client.SetIpc(nullptr); }
  void Dispatched(TObject*, POxaIpcMessage message) { Messages.push_back(*message); }
  std::string Received()
  {
    std::string list;
    for (const auto& message : Messages) {
      list += (list.empty() ? "" : ",") + Ipc.IdToName(message.Header.Name) + ":" + MessageText(message);
    }
    return WithoutAnnouncements(list);
  }
  // Handles messages until the client has got count messages that are not announcements.
  bool WaitFor(std::size_t count)
  {
    return PumpUntil([&] {
      std::size_t got = 0;
      for (const auto& message : Messages) {
        const std::string name = Ipc.IdToName(message.Header.Name);
        got += name != "OnAttach" && name != "OnDetach";
      }
      return got >= count;
    });
  }

  TOxaIpc& Ipc;
  TOxaIpcClient Client{nullptr};
  std::vector<TOxaIpcMessage> Messages;
};

class TClientTest : public TBusTest {
 protected:
  std::unique_ptr<TChildProcess> Member()
  {
    auto member = std::make_unique<TChildProcess>(OXA_IPC_CLIENT_HELPER, std::vector<std::string>{});
    EXPECT_EQ(member->Ask("open VantelPC"), "ok");
    return member;
  }
  TOxaIpcClientRecord ClientRecord(std::uint32_t id)
  {
    TOxaIpcClientRecord record{};
    if (Ipc().Lock(1000)) {
      if (const std::uint32_t offset = Ipc().FindClient(id); offset != 0) {
        record = Ipc().Body().Read<TOxaIpcClientRecord>(offset);
      }
      Ipc().Unlock();
    }
    return record;
  }
  TOxaIpcProcessRecord ProcessRecord(std::uint32_t offset)
  {
    for (const auto& process : Ipc().Processes()) {
      if (process.Offset == offset) {
        return process.Record;
      }
    }
    return {};
  }
  // The bytes of a shared block, its header included.
  std::vector<std::uint8_t> Block(std::uint32_t offset, std::uint32_t size)
  {
    std::vector<std::uint8_t> bytes(size);
    if (Ipc().Lock(1000)) {
      Ipc().Body().ReadBytes(offset, 0, bytes.data(), size);
      Ipc().Unlock();
    }
    return bytes;
  }
};
