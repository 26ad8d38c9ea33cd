// A member that talks to a node in another process with raw payloads, for the node tests. It
// works on commands read line by line from standard input, answering one line each; payloads
// are hexadecimal ("-" for none):
//   open GROUP                       joins the bus                         -> ok | fail
//   register NAME                    a client that records what it gets    -> ok | fail
//   notify FROM TARGET NAME HEX      a notification from client FROM       -> ok | fail
//   call FROM TARGET NAME HEX MS     a call                                 -> "ok SIZE HEX" | fail
//   answer NAME COMMAND HEX          client NAME answers calls of COMMAND with HEX -> ok
//   setprop NAME PROPERTY HEX        an own property of client NAME        -> ok | fail
//   prop CLIENT PROPERTY             another client's property              -> "ok SIZE HEX" | fail
//   pump MS                          handles window messages for MS         -> ok
//   hang MS                          sleeps without handling anything       -> ok
//   received NAME                    "COMMAND<SENDER:HEX" joined by ",", the bus's own
//                                    announcements left out; forgets them  -> list
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "OxaIPC/OxaIpc.h"
#include "OxaIPC/OxaIpcClient.h"
#include "platform/core/Time.h"
#include "platform/windows/Messages.h"
#include "tests/support/MessagePump.h"

namespace {

std::string Hex(const std::uint8_t* data, std::size_t size)
{
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += digits[data[i] >> 4];
    text += digits[data[i] & 15];
  }
  return text.empty() ? "-" : text;
}

std::vector<std::uint8_t> Bytes(const std::string& hex)
{
  std::vector<std::uint8_t> bytes;
  if (hex == "-") {
    return bytes;
  }
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

class TPeerClient : public TObject {
 public:
  TPeerClient(TOxaIpc& ipc, const std::string& name) : FIpc(ipc)
  {
    Client.SetClientName(name);
    Client.OnDispatch = MakeMethod<&TPeerClient::Dispatched>(this);
    Client.SetIpc(&ipc);
  }
  ~TPeerClient() override { Client.SetIpc(nullptr); }

  void Dispatched(TObject*, POxaIpcMessage message)
  {
    const std::string name = FIpc.IdToName(message->Header.Name);
    if (name == "OnAttach" || name == "OnDetach") {
      return;
    }
    Received += (Received.empty() ? "" : ",") + name + "<" + FIpc.IdToName(message->Header.Sender) + ":" +
                Hex(message->Payload.data(), message->Payload.size());
    if (message->Call) {
      if (auto found = Answers.find(name); found != Answers.end()) {
        Client.Result(message, static_cast<std::uint32_t>(found->second.size()), found->second.data());
      }
    }
  }

  TOxaIpcClient Client{nullptr};
  std::string Received;
  std::map<std::string, std::vector<std::uint8_t>> Answers;

 private:
  TOxaIpc& FIpc;
};

}  // namespace

int main()
{
  TOxaIpc ipc(nullptr);
  std::map<std::string, std::unique_ptr<TPeerClient>> clients;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    std::string answer;
    try {
      if (command == "open") {
        std::string group;
        words >> group;
        ipc.SetGroupName(group);
        answer = ipc.Open(false) ? "ok" : "fail";
      } else if (command == "register") {
        std::string name;
        words >> name;
        auto client = std::make_unique<TPeerClient>(ipc, name);
        answer = client->Client.Registered() ? "ok" : "fail";
        clients[name] = std::move(client);
      } else if (command == "notify") {
        std::string from, target, name, hex;
        words >> from >> target >> name >> hex;
        const auto data = Bytes(hex);
        answer = clients.at(from)->Client.Notify(target, name, static_cast<std::uint32_t>(data.size()),
                                                 data.data())
                     ? "ok"
                     : "fail";
      } else if (command == "call") {
        std::string from, target, name, hex;
        long timeout = 0;
        words >> from >> target >> name >> hex >> timeout;
        const auto data = Bytes(hex);
        std::uint32_t size = 0;
        std::vector<std::uint8_t> result;
        const bool ok =
            clients.at(from)->Client.Call(target, name, size, result, static_cast<std::uint32_t>(data.size()),
                                          data.data(), static_cast<DWORD>(timeout), false);
        answer = ok ? "ok " + std::to_string(size) + " " + Hex(result.data(), result.size()) : "fail";
      } else if (command == "answer") {
        std::string name, call, hex;
        words >> name >> call >> hex;
        clients.at(name)->Answers[call] = Bytes(hex);
        answer = "ok";
      } else if (command == "setprop") {
        std::string name, property, hex;
        words >> name >> property >> hex;
        const auto data = Bytes(hex);
        auto& client = clients.at(name)->Client;
        answer = ipc.SetProperty(client.ClientId(), ipc.NameToId(property),
                                 static_cast<std::uint32_t>(data.size()), data.data())
                     ? "ok"
                     : "fail";
      } else if (command == "prop") {
        std::string client, property;
        words >> client >> property;
        std::uint32_t size = 0;
        std::vector<std::uint8_t> data;
        const bool ok = ipc.GetProperty(ipc.NameToId(client), ipc.NameToId(property), size, data);
        answer = ok ? "ok " + std::to_string(size) + " " + Hex(data.data(), data.size()) : "fail";
      } else if (command == "pump") {
        DWORD milliseconds = 0;
        words >> milliseconds;
        PumpFor(milliseconds);
        answer = "ok";
      } else if (command == "hang") {
        DWORD milliseconds = 0;
        words >> milliseconds;
        Sleep(milliseconds);
        answer = "ok";
      } else if (command == "received") {
        std::string name;
        words >> name;
        answer = clients.at(name)->Received;
        clients.at(name)->Received.clear();
      } else {
        answer = "error unknown command";
      }
    } catch (const std::exception& error) {
      answer = std::string("error ") + error.what();
    }
    std::cout << answer << std::endl;
  }
  return 0;
}
