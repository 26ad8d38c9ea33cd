// oxa-lib bus notify | call | prop | watch: talking to the clients of a bus through a temporary
// client of our own.

#include <cctype>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "OxaIPC/OxaIpcClient.h"
#include "framework/OxaUtils.h"
#include "platform/core/Time.h"
#include "platform/windows/Messages.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"

int RunBusClients(const TArguments& arguments, std::ostream& out, std::ostream& err);

namespace {

constexpr const char* DefaultGroup = "VantelPC";
// How many bus commands may be on one bus at once, each under a name of its own.
constexpr unsigned MaxToolClients = 256;

std::optional<std::vector<std::uint8_t>> ParseHex(const std::string& text)
{
  if (text.size() % 2 != 0) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
        !std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
      return std::nullopt;
    }
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string Hex(const std::uint8_t* data, std::size_t size)
{
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += digits[data[i] >> 4];
    text += digits[data[i] & 15];
  }
  return text;
}

// The payload of --text (its characters and the terminating zero) or --hex; none is empty.
bool Payload(const TArguments& arguments, std::vector<std::uint8_t>& payload, std::ostream& err)
{
  const auto text = arguments.Option("text");
  const auto hex = arguments.Option("hex");
  if (text && hex) {
    err << "give --text or --hex, not both\n";
    return false;
  }
  if (text) {
    payload.assign(text->begin(), text->end());
    payload.push_back(0);
  } else if (hex) {
    const auto bytes = ParseHex(*hex);
    if (!bytes) {
      err << "not hexadecimal bytes: " << *hex << '\n';
      return false;
    }
    payload = *bytes;
  }
  return true;
}

void Pump(DWORD milliseconds)
{
  const UINT_PTR wake = SetTimer(nullptr, 0, 50, nullptr);
  const DWORD start = GetTickCount();
  MSG message{};
  while (GetTickCount() - start < milliseconds) {
    if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
    } else {
      WaitMessage();
    }
  }
  KillTimer(nullptr, wake);
}

// Joins a bus that has members and registers a temporary client on it.
class TSession {
 public:
  bool Join(const std::string& group, const std::string& clientName, std::ostream& err)
  {
    Ipc.SetGroupName(group);
    if (!Ipc.Open(false)) {
      err << "bus " << group << " is damaged or cannot be joined\n";
      return false;
    }
    if (Ipc.Processes().size() < 2) {
      err << "no bus " << group << ": it has no other member\n";
      return false;
    }
    if (clientName.empty()) {
      RegisterNumberedClient(Client, Ipc, "oxa-lib", MaxToolClients);
    } else {
      Client.SetClientName(clientName);
      Client.SetIpc(&Ipc);
    }
    if (!Client.Registered()) {
      err << "cannot register client " << Client.ClientName() << " on bus " << group << '\n';
      return false;
    }
    return true;
  }
  bool Has(const std::string& client, std::ostream& err)
  {
    if (!Ipc.Exists(Ipc.NameToId(client), 0)) {
      err << "no client " << client << " on bus " << Ipc.GroupName() << '\n';
      return false;
    }
    return true;
  }
  ~TSession() { Client.SetIpc(nullptr); }

  TOxaIpc Ipc{nullptr};
  TOxaIpcClient Client{nullptr};
};

int Notify(const TArguments& arguments, TSession& session, std::ostream& out, std::ostream& err)
{
  const auto& words = arguments.Positional();
  std::vector<std::uint8_t> payload;
  if (!Payload(arguments, payload, err)) {
    return ExitUsage;
  }
  if (!session.Has(words[1], err)) {
    return ExitFailure;
  }
  if (!session.Client.Notify(words[1], words[2], static_cast<std::uint32_t>(payload.size()),
                             payload.data())) {
    err << "notification " << words[2] << " to " << words[1] << " was not queued\n";
    return ExitFailure;
  }
  out << "notified " << words[1] << ' ' << words[2] << " (" << payload.size() << " bytes)\n";
  return ExitSuccess;
}

int Call(const TArguments& arguments, TSession& session, std::ostream& out, std::ostream& err)
{
  const auto& words = arguments.Positional();
  std::vector<std::uint8_t> payload;
  if (!Payload(arguments, payload, err)) {
    return ExitUsage;
  }
  DWORD timeout = 10000;
  if (const auto text = arguments.Option("timeout")) {
    try {
      timeout = static_cast<DWORD>(std::stoul(*text));
    } catch (const std::exception&) {
      err << "not a time-out: " << *text << '\n';
      return ExitUsage;
    }
  }
  if (!session.Has(words[1], err)) {
    return ExitFailure;
  }
  std::uint32_t size = 0;
  std::vector<std::uint8_t> result;
  const std::uint64_t start = GetTickCount64();
  if (!session.Client.Call(words[1], words[2], size, result, static_cast<std::uint32_t>(payload.size()),
                           payload.data(), timeout, false)) {
    // The bus gives up early on a target that hangs or goes: say what happened, and when.
    const std::uint64_t elapsed = GetTickCount64() - start;
    if (elapsed >= timeout) {
      err << "call " << words[2] << " to " << words[1] << " timed out after " << elapsed << " ms\n";
    } else {
      err << "call " << words[2] << " to " << words[1] << " failed after " << elapsed << " ms of " << timeout
          << ": the target hangs, went, or gave no answer\n";
    }
    return ExitFailure;
  }
  out << "result: " << size << " bytes\n"
      << "hex: " << Hex(result.data(), result.size()) << '\n';
  return ExitSuccess;
}

int Property(const TArguments& arguments, TSession& session, std::ostream& out, std::ostream& err)
{
  const auto& words = arguments.Positional();
  const std::string& client = words[2];
  const std::string& property = words[3];
  if (!session.Has(client, err)) {
    return ExitFailure;
  }
  TOxaIpc& ipc = session.Ipc;
  if (words[1] == "set") {
    std::vector<std::uint8_t> payload;
    if (!Payload(arguments, payload, err)) {
      return ExitUsage;
    }
    if (!ipc.SetProperty(ipc.NameToId(client), ipc.NameToId(property),
                         static_cast<std::uint32_t>(payload.size()), payload.data())) {
      err << "cannot set property " << property << " of " << client << '\n';
      return ExitFailure;
    }
    out << "set " << client << ' ' << property << " (" << payload.size() << " bytes)\n";
    return ExitSuccess;
  }
  std::uint32_t size = 0;
  std::vector<std::uint8_t> data;
  if (!ipc.GetProperty(ipc.NameToId(client), ipc.NameToId(property), size, data)) {
    err << "client " << client << " has no property " << property << '\n';
    return ExitFailure;
  }
  out << "size: " << size << '\n' << "hex: " << Hex(data.data(), data.size()) << '\n';
  return ExitSuccess;
}

class TWatcher : public TObject {
 public:
  TWatcher(TSession& session, std::ostream& out) : FSession(session), FOut(out) {}
  void Dispatched(TObject*, POxaIpcMessage message)
  {
    TOxaIpc& ipc = FSession.Ipc;
    const std::string kind = ipc.IdToName(message->Header.Name);
    const bool copy = message->Header.Serial == 0 && message->Payload.size() >= OxaIpcMessageRecordSize(0) &&
                      (kind == ipc.DebugNotifyName() || kind == ipc.DebugCallName() ||
                       kind == ipc.DebugResultName() || kind == ipc.DebugPropertyName());
    if (copy && kind == ipc.DebugPropertyName()) {
      FOut << kind << " property " << ipc.IdToName(message->Header.Sender) << " size "
           << message->Payload.size() - OxaIpcMessageRecordSize(0) << std::endl;
    } else if (copy) {
      TOxaIpcMessageRecord record;
      std::memcpy(&record, message->Payload.data(), sizeof(record));
      FOut << kind << " sender " << ipc.IdToName(record.Sender) << " target " << ipc.IdToName(record.Target)
           << " name " << ipc.IdToName(record.Name) << " serial " << record.Serial << " size " << record.Size
           << std::endl;
    } else {
      FOut << kind << " sender " << ipc.IdToName(message->Header.Sender) << " target "
           << ipc.IdToName(message->Header.Target) << " name " << kind << " serial " << message->Header.Serial
           << " size " << message->Header.Size << std::endl;
    }
    ++Count;
  }
  int Count = 0;

 private:
  TSession& FSession;
  std::ostream& FOut;
};

int Watch(const TArguments& arguments, std::ostream& out, std::ostream& err)
{
  std::optional<DWORD> timeout;
  int count = 0;
  try {
    if (const auto text = arguments.Option("timeout")) {
      timeout = static_cast<DWORD>(std::stoul(*text));
    }
    if (const auto text = arguments.Option("count")) {
      count = std::stoi(*text);
    }
  } catch (const std::exception&) {
    err << "not a number: --timeout MS and --count N\n";
    return ExitUsage;
  }
  TSession session;
  TWatcher watcher(session, out);
  session.Client.OnDispatch = MakeMethod<&TWatcher::Dispatched>(&watcher);
  if (!session.Join(arguments.Option("group").value_or(DefaultGroup), session.Ipc.DebugClientName(), err)) {
    return ExitFailure;
  }
  out << "watching " << session.Ipc.GroupName() << std::endl;
  const DWORD start = GetTickCount();
  while ((count == 0 || watcher.Count < count) && (!timeout || GetTickCount() - start < *timeout) &&
         session.Client.Registered()) {
    Pump(50);
  }
  return ExitSuccess;
}

}  // namespace

int RunBusClients(const TArguments& arguments, std::ostream& out, std::ostream& err)
{
  const auto& words = arguments.Positional();
  if (words[0] == "watch") {
    return Watch(arguments, out, err);
  }
  TSession session;
  if (!session.Join(arguments.Option("group").value_or(DefaultGroup), "", err)) {
    return ExitFailure;
  }
  if (words[0] == "notify") {
    return Notify(arguments, session, out, err);
  }
  if (words[0] == "call") {
    return Call(arguments, session, out, err);
  }
  return Property(arguments, session, out, err);
}
