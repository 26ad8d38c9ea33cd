#include <ostream>
#include <string>

#include "OxaIPC/OxaIpc.h"
#include "framework/OxaUtils.h"
#include "platform/files/Registry.h"
#include "tools/oxa-lib/Arguments.h"
#include "tools/oxa-lib/Commands.h"
#include "tools/oxa-lib/Json.h"

int RunBusClients(const TArguments& arguments, std::ostream& out, std::ostream& err);

namespace {

constexpr const char* DefaultGroup = "VantelPC";
constexpr DWORD DefaultLaunchTimeout = 30000;

// Damage reports end their lines in "\r\n"; printed, each ends in a plain line feed.
std::string ReportLines(const std::string& report)
{
  std::string lines;
  for (char c : report) {
    if (c != '\r') {
      lines += c;
    }
  }
  return lines;
}

int Show(const TArguments& arguments, std::ostream& out, std::ostream& err)
{
  const std::string group = arguments.Option("group").value_or(DefaultGroup);
  TOxaIpc ipc(nullptr);
  ipc.SetGroupName(group);
  if (!ipc.Open(false)) {
    err << "bus " << group << " is damaged or cannot be joined\n";
    return ExitFailure;
  }
  const TOxaIpcHeadHeader head = ipc.HeadHeader();
  const auto processes = ipc.Processes();
  const auto clients = ipc.ClientIds();
  const auto names = ipc.Names();
  const std::string report = ipc.CheckHeaps();
  if (!ipc.Active()) {
    err << "bus " << group << " is damaged\n";
    return ExitFailure;
  }
  if (arguments.Has("json")) {
    TJsonWriter json(out);
    json.BeginObject()
        .Key("group")
        .String(head.Name)
        .Key("magic")
        .Number(head.Magic)
        .Key("generation")
        .Number(head.Generation)
        .Key("bodySize")
        .Number(head.BodySize)
        .Key("processes")
        .BeginArray();
    for (const auto& process : processes) {
      json.BeginObject()
          .Key("pid")
          .Number(process.Record.Pid)
          .Key("generation")
          .Number(process.Record.Generation)
          .Key("window")
          .Number(process.Record.Window)
          .Key("pending")
          .Number(process.Record.Pending)
          .Key("alive")
          .Bool(ipc.ProcessAlive(process.Record.Pid))
          .Key("self")
          .Bool(process.Record.Pid == ipc.Pid())
          .EndObject();
    }
    json.EndArray().Key("clients").BeginArray();
    for (std::uint32_t id : clients) {
      json.BeginObject().Key("id").Number(id).Key("name").String(ipc.IdToName(id)).EndObject();
    }
    json.EndArray().Key("names").BeginArray();
    for (const auto& [id, name] : names) {
      json.BeginObject().Key("id").Number(id).Key("name").String(name).EndObject();
    }
    json.EndArray().Key("check").String(report).EndObject();
  } else {
    out << "group: " << head.Name << '\n'
        << "magic: " << head.Magic << '\n'
        << "generation: " << head.Generation << '\n'
        << "body size: " << head.BodySize << '\n'
        << "processes: " << processes.size() << '\n';
    for (const auto& process : processes) {
      out << "  pid " << process.Record.Pid << " generation " << process.Record.Generation << " window "
          << process.Record.Window << " pending " << process.Record.Pending << ' '
          << (ipc.ProcessAlive(process.Record.Pid) ? "alive" : "dead")
          << (process.Record.Pid == ipc.Pid() ? " (this look)" : "") << '\n';
    }
    out << "clients: " << clients.size() << '\n';
    for (std::uint32_t id : clients) {
      out << "  " << id << ' ' << ipc.IdToName(id) << '\n';
    }
    out << "names: " << names.size() << '\n';
    for (const auto& [id, name] : names) {
      out << "  " << id << ' ' << name << '\n';
    }
    out << "check: " << (report.empty() ? "clean\n" : "damaged\n" + ReportLines(report));
  }
  return report.empty() ? ExitSuccess : ExitFailure;
}

int Register(const TArguments& arguments, std::ostream& out, std::ostream& err)
{
  const auto& words = arguments.Positional();
  std::vector<std::pair<std::string, std::string>> parameters;
  for (std::size_t i = 3; i < words.size(); ++i) {
    const std::size_t equals = words[i].find('=');
    if (equals == std::string::npos) {
      err << "not NAME=VALUE: " << words[i] << '\n';
      return ExitUsage;
    }
    parameters.emplace_back(words[i].substr(0, equals), words[i].substr(equals + 1));
  }
  TOxaIpc ipc(nullptr);
  ipc.SetGroupName(arguments.Option("group").value_or(DefaultGroup));
  if (!ipc.RegisterApplication(words[1], words[2], parameters)) {
    err << "none of the applications exists: " << words[2] << '\n';
    return ExitFailure;
  }
  out << "registered " << words[1] << '\n';
  return ExitSuccess;
}

int Launch(const TArguments& arguments, std::ostream& out, std::ostream& err)
{
  const std::string& client = arguments.Positional()[1];
  DWORD timeout = DefaultLaunchTimeout;
  if (const auto text = arguments.Option("timeout")) {
    try {
      timeout = static_cast<DWORD>(std::stoul(*text));
    } catch (const std::exception&) {
      err << "not a time-out: " << *text << '\n';
      return ExitUsage;
    }
  }
  const std::string group = arguments.Option("group").value_or(DefaultGroup);
  HKEY key = nullptr;
  const std::string keyName = "Software\\Kestrom\\OxaIpc\\" + group + "\\" + client;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName.c_str(), 0, KEY_READ, &key) != 0) {
    err << "unknown client " << client << ": no application is registered for it in group " << group << '\n';
    return ExitFailure;
  }
  RegCloseKey(key);
  TOxaIpc ipc(nullptr);
  ipc.SetGroupName(group);
  if (!ipc.Open(false)) {
    err << "bus " << group << " is damaged or cannot be joined\n";
    return ExitFailure;
  }
  if (!ipc.Launch(client, "", timeout)) {
    err << "client " << client << " could not be started or did not come up within " << timeout << " ms\n";
    return ExitFailure;
  }
  out << "client " << client << " is on the bus\n";
  return ExitSuccess;
}

}  // namespace

int RunBus(TCommandArgs args, std::ostream& out, std::ostream& err)
{
  const TArguments arguments(args, {"json"}, {"group", "timeout", "text", "hex", "count"});
  const auto& words = arguments.Positional();
  const std::string action = words.empty() ? "" : words[0];
  const bool clients = ((action == "notify" || action == "call") && words.size() == 3) ||
                       (action == "prop" && words.size() == 4 && (words[1] == "get" || words[1] == "set")) ||
                       (action == "watch" && words.size() == 1);
  if (!arguments.Error().empty() ||
      !((action == "show" && words.size() == 1) || (action == "register" && words.size() >= 3) ||
        (action == "launch" && words.size() == 2) || clients)) {
    err << "usage: oxa-lib bus show [--group G] [--json] | bus register CLIENTS APPLICATIONS [NAME=VALUE...] "
           "| "
           "bus launch CLIENT [--timeout MS]"
           " | bus notify CLIENT NAME [--text T | --hex H] | bus call CLIENT NAME [--text T | --hex H] "
           "[--timeout MS] | bus prop get|set CLIENT PROPERTY [--text T | --hex H] | bus watch [--count N] "
           "[--timeout MS]\n";
    return ExitUsage;
  }
  try {
    if (clients) {
      return RunBusClients(arguments, out, err);
    }
    if (action == "show") {
      return Show(arguments, out, err);
    }
    if (action == "register") {
      return Register(arguments, out, err);
    }
    return Launch(arguments, out, err);
  } catch (const Exception& error) {
    err << error.Message() << '\n';
    return ExitFailure;
  }
}
