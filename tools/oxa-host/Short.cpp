// The short commands: each joins the bus with a temporary client, does one thing and leaves.

#include <cstring>
#include <map>
#include <ostream>
#include <vector>

#include "OxaIPC/MusicIpc.h"
#include "platform/core/Time.h"
#include "platform/objects/Processes.h"
#include "tools/oxa-host/Decode.h"
#include "tools/oxa-host/Host.h"

namespace {

constexpr const char* Source = "VuDirAzuzo";
constexpr DWORD CallTimeout = 10000;
// How long a notification's answer (an "On" + command notification) is waited for.
constexpr DWORD AnswerWait = 1500;
// How many short sessions may be on one bus at once, each under a name of its own.
constexpr unsigned MaxShortClients = 256;

std::string ExecutablePath()
{
  std::vector<char> path(MAX_PATH + 1);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      return std::string(path.data(), length);
    }
    path.resize(path.size() * 2);
  }
}

class TSession : public TObject {
 public:
  explicit TSession(std::ostream& err) : FErr(err) {}
  ~TSession() override { Client.SetIpc(nullptr); }

  bool Join(const std::string& group, const std::string& name)
  {
    Ipc.SetGroupName(group);
    if (!Ipc.Open(false)) {
      FErr << "oxa-host: bus " << group << " is damaged or cannot be joined\n";
      return false;
    }
    if (Ipc.Processes().size() < 2) {
      FErr << "oxa-host: no bus " << group << ": it has no other member\n";
      return false;
    }
    Client.OnDispatch = MakeMethod<&TSession::Dispatched>(this);
    if (name.empty()) {
      RegisterNumberedClient(Client, Ipc, "OxaHost", MaxShortClients);
    } else {
      Client.SetClientName(name);
      Client.SetIpc(&Ipc);
    }
    if (!Client.Registered()) {
      FErr << "oxa-host: cannot register " << Client.ClientName() << " on bus " << group << '\n';
      return false;
    }
    return true;
  }
  bool Has(const std::string& client, const char* what)
  {
    if (!Ipc.Exists(Ipc.NameToId(client), 0)) {
      FErr << "oxa-host: " << what << " " << client << " is not on bus " << Ipc.GroupName() << '\n';
      return false;
    }
    return true;
  }
  void Dispatched(TObject*, POxaIpcMessage message)
  {
    Received.push_back(*message);
    if (OnMessage) {
      OnMessage(this, message);
    }
  }

  TOxaIpc Ipc{nullptr};
  TOxaIpcClient Client{nullptr};
  std::vector<TOxaIpcMessage> Received;
  TOxaIpcDispatchEvent OnMessage;

 private:
  std::ostream& FErr;
};

bool Number(const std::string& text, std::int32_t& value)
{
  try {
    std::size_t used = 0;
    const long long parsed = std::stoll(text, &used, 0);
    if (used != text.size() || parsed < INT32_MIN || parsed > UINT32_MAX) {
      return false;
    }
    value = static_cast<std::int32_t>(parsed);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void Append(std::vector<std::uint8_t>& payload, std::int32_t value)
{
  std::uint8_t bytes[4];
  std::memcpy(bytes, &value, sizeof(bytes));
  payload.insert(payload.end(), bytes, bytes + 4);
}

// The command and payload a short command sends; false with a usage message.
bool Request(const std::vector<std::string>& words, std::string& command, std::vector<std::uint8_t>& payload,
             std::ostream& err)
{
  const std::string& verb = words[0];
  std::vector<std::int32_t> values;
  const auto numbers = [&](std::size_t first, std::size_t count) {
    for (std::size_t i = first; i < first + count; ++i) {
      std::int32_t value = 0;
      if (!Number(words[i], value)) {
        err << "oxa-host: not a number: " << words[i] << '\n';
        return false;
      }
      values.push_back(value);
    }
    return true;
  };
  if (verb == "open" || verb == "close") {
    const std::size_t count = verb == "open" ? 3 : 2;
    command = verb == "open" ? "Open" : "Close";
    if (words.size() != 1 && words.size() != count + 1) {
      err << "oxa-host: " << verb << " takes no values or " << count << '\n';
      return false;
    }
    if (!numbers(1, words.size() - 1)) {
      return false;
    }
  } else if (verb == "key") {
    if ((words.size() != 2 && words.size() != 5) || !IsSourceKey(words[1])) {
      err << "oxa-host: key NAME [SENDER TARGET EXTRA], NAME one of the eighteen keys (StepUp, Play, ...)\n";
      return false;
    }
    command = words[1];
    if (words.size() == 5) {
      if (!numbers(2, 3)) {
        return false;
      }
    } else {
      values = {0, 0, 0};
    }
  } else if (verb == "playfile") {
    if (words.size() != 2) {
      err << "oxa-host: playfile TEXT\n";
      return false;
    }
    command = "PlayFile";
    payload.assign(words[1].begin(), words[1].end());
    payload.resize(std::max<std::size_t>(256, payload.size() + 1), 0);
    return true;
  } else if (verb == "scan" || verb == "updatescan" || verb == "info") {
    if (words.size() != 3 || !numbers(1, 2)) {
      err << "oxa-host: " << verb << " A B\n";
      return false;
    }
    command = verb == "scan" ? "Scan" : verb == "updatescan" ? "UpdateScan" : "Info";
    values = {values[0], 0, values[1]};
  } else if (verb == "hide") {
    command = "Hide";
    values = {0, 0};
  } else {
    err << "oxa-host: unknown command " << verb << '\n';
    return false;
  }
  for (const std::int32_t value : values) {
    Append(payload, value);
  }
  return true;
}

int Send(const THostOptions& options, std::ostream& out, std::ostream& err)
{
  std::string command;
  std::vector<std::uint8_t> payload;
  if (!Request(options.Words, command, payload, err)) {
    return HostUsage;
  }
  TSession session(err);
  if (!session.Join(options.Group, "") || !session.Has(Source, "the source")) {
    return HostFailure;
  }
  const auto size = static_cast<std::uint32_t>(payload.size());
  if (options.Call) {
    std::uint32_t resultSize = 0;
    std::vector<std::uint8_t> result;
    if (!session.Client.Call(Source, command, resultSize, result, size, payload.data(), CallTimeout, false)) {
      err << "oxa-host: the call " << command << " to " << Source << " failed or timed out\n";
      return HostFailure;
    }
    const std::string answer = "On" + command;
    out << "answer: " << (result.empty() ? "none" : DecodePayload(answer, result)) << '\n';
    return HostSuccess;
  }
  if (!session.Client.Notify(Source, command, size, payload.data())) {
    err << "oxa-host: the notification " << command << " to " << Source << " was not queued\n";
    return HostFailure;
  }
  out << "sent " << command << " (" << size << " bytes)\n";
  // Opening, closing and hiding answer a notification with "On" + the command.
  if (command == "Open" || command == "Close" || command == "Hide") {
    const std::uint32_t answer = session.Ipc.NameToId("On" + command);
    const std::uint32_t source = session.Ipc.NameToId(Source);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < AnswerWait) {
      HostPump(50);
      for (const auto& message : session.Received) {
        if (message.Header.Name == answer && message.Header.Sender == source) {
          out << "answer: " << DecodePayload("On" + command, message.Payload) << '\n';
          return HostSuccess;
        }
      }
    }
    out << "no answer\n";
  }
  return HostSuccess;
}

int Status(const THostOptions& options, std::ostream& out, std::ostream& err)
{
  TSession session(err);
  if (!session.Join(options.Group, "") || !session.Has(Source, "the source")) {
    return HostFailure;
  }
  const std::uint32_t source = session.Ipc.NameToId(Source);
  const char* const names[] = {"Version", "Active", "Picture", "Video", "Display", "Audio", "Status", "GUI"};
  if (options.Json) {
    out << "{\"source\": " << JsonText(Source);
  } else {
    out << "source " << Source << '\n';
  }
  for (const char* name : names) {
    std::uint32_t size = 0;
    std::vector<std::uint8_t> data;
    const bool found = session.Ipc.GetProperty(source, session.Ipc.NameToId(name), size, data);
    const std::string text = found ? DecodePayload(name, data) : "";
    if (options.Json) {
      out << ", " << JsonText(name) << ": "
          << (found ? "{\"size\": " + std::to_string(size) + ", \"hex\": " + JsonText(HexDump(data, 4096)) +
                          ", \"text\": " + JsonText(text) + "}"
                    : "null");
    } else {
      out << name << ": " << (found ? text : "(not published)") << '\n';
    }
  }
  if (options.Json) {
    out << "}\n";
  }
  return HostSuccess;
}

class TWatch : public TObject {
 public:
  TWatch(TSession& session, std::ostream& out) : FSession(session), FOut(out) {}
  void Message(TObject*, POxaIpcMessage message)
  {
    TOxaIpc& ipc = FSession.Ipc;
    const std::string kind = ipc.IdToName(message->Header.Name);
    TOxaIpcMessageRecord record = message->Header;
    std::vector<std::uint8_t> payload = message->Payload;
    if (kind == ipc.DebugNotifyName() || kind == ipc.DebugCallName()) {
      // A copy: the record, the payload and four spare bytes.
      if (message->Header.Serial != 0 || payload.size() < OxaIpcMessageRecordSize(0)) {
        return;
      }
      std::memcpy(&record, payload.data(), sizeof(record));
      const std::size_t size =
          std::min<std::size_t>(record.Size, payload.size() - OxaIpcMessageRecordSize(0));
      payload = std::vector<std::uint8_t>(payload.begin() + sizeof(record),
                                          payload.begin() + sizeof(record) + size);
    } else if (kind == ipc.DebugResultName() || kind == ipc.DebugPropertyName()) {
      return;
    }
    const std::string name = ipc.IdToName(record.Name);
    if (name == ipc.ClientAttachName() || name == ipc.ClientDetachName()) {
      return;
    }
    FOut << (kind == ipc.DebugCallName() ? "call " : "notify ") << ipc.IdToName(record.Sender) << " -> "
         << (record.Target == 0 ? std::string("*") : ipc.IdToName(record.Target)) << ": " << name << ' '
         << DecodePayload(name, payload) << std::endl;
  }

 private:
  TSession& FSession;
  std::ostream& FOut;
};

int Watch(const THostOptions& options, std::ostream& out, std::ostream& err)
{
  TSession session(err);
  TWatch watch(session, out);
  session.OnMessage = MakeMethod<&TWatch::Message>(&watch);
  if (!session.Join(options.Group, session.Ipc.DebugClientName())) {
    return HostFailure;
  }
  out << "watching " << options.Group << std::endl;
  while (session.Client.Registered()) {
    session.Received.clear();
    HostPump(100);
    if (!session.Ipc.Active()) {
      break;
    }
  }
  return HostSuccess;
}

int ToHost(const THostOptions& options, const std::string& name, std::uint32_t size, const void* data,
           std::ostream& out, std::ostream& err)
{
  TSession session(err);
  if (!session.Join(options.Group, "") || !session.Has("Pyrmel", "the host")) {
    return HostFailure;
  }
  if (!session.Client.Notify("Pyrmel", name, size, data)) {
    err << "oxa-host: the notification " << name << " to the host was not queued\n";
    return HostFailure;
  }
  out << "sent " << name << " to the host\n";
  return HostSuccess;
}

}  // namespace

int RunShort(const THostOptions& options, std::ostream& out, std::ostream& err)
{
  const std::string& verb = options.Words[0];
  if (verb == "status") {
    return Status(options, out, err);
  }
  if (verb == "watch") {
    return Watch(options, out, err);
  }
  if (verb == "quit") {
    return ToHost(options, "Quit", 0, nullptr, out, err);
  }
  if (verb == "gui") {
    if (options.Words.size() != 2 || (options.Words[1] != "shown" && options.Words[1] != "hidden")) {
      err << "oxa-host: gui shown|hidden\n";
      return HostUsage;
    }
    const std::int32_t shown = options.Words[1] == "shown" ? 1 : 0;
    return ToHost(options, "HostWindow", sizeof(shown), &shown, out, err);
  }
  if (verb == "register") {
    TOxaIpc ipc(nullptr);
    ipc.SetGroupName(options.Group);
    if (!ipc.RegisterApplication("Pyrmel;SourceControl", ExecutablePath(), {})) {
      err << "oxa-host: cannot register this program on bus " << options.Group << '\n';
      return HostFailure;
    }
    out << "registered " << ExecutablePath() << " behind Pyrmel;SourceControl\n";
    return HostSuccess;
  }
  return Send(options, out, err);
}
