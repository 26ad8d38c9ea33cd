// A member with bus clients for the client tests. It works on commands read line by line from
// standard input, answering one line each:
//   open GROUP                      joins the bus                          -> ok | fail
//   register NAME [TYPES]           a client (types ";"-separated)          -> ok | fail
//   notify FROM TARGET NAME TEXT    a text notification from client FROM    -> ok | fail
//   call FROM TARGET NAME TEXT MS   a call; MS -1 waits for ever            -> "ok SIZE TEXT" | fail
//   answer NAME HOW                 how client NAME answers calls:
//                                   echo (Result "re:" + text), early MS (Result, then sleeps),
//                                   none (no Result), twice
//                                   (two Results), late MS (sleeps, then Result), raise (raises
//                                   for the text "boom"), back MS (calls the caller's client back
//                                   with the call's text before answering)  -> ok
//   pump MS                         handles window messages for MS          -> ok
//   settle                          handles them until none came for 200 ms (10 s at most) -> ok
//   received NAME                   what client NAME got, "NAME:TEXT" joined by ","
//   queue NAME                      messages waiting for client NAME        -> count
//   crash                           ends at once, as a crash would

#include <csignal>
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

DWORD LastActivity = 0;

std::string Text(const TOxaIpcMessage& message)
{
  std::string text(message.Payload.begin(), message.Payload.end());
  return text.substr(0, text.find('\0'));
}

class THelperClient : public TObject {
 public:
  THelperClient(TOxaIpc& ipc, const std::string& name, const std::string& types) : FIpc(ipc)
  {
    Client.SetClientName(name);
    Client.SetClientTypes(types);
    Client.OnDispatch = MakeMethod<&THelperClient::Dispatched>(this);
    Client.SetIpc(&ipc);
  }
  ~THelperClient() override { Client.SetIpc(nullptr); }

  void Dispatched(TObject*, POxaIpcMessage message)
  {
    LastActivity = GetTickCount();
    const std::string text = Text(*message);
    if (!Received.empty()) {
      Received += ",";
    }
    Received += FIpc.IdToName(message->Header.Name) + ":" + text;
    if (How == "raise" && text == "boom") {
      throw EOxaFailed("boom");
    }
    if (!message->Call) {
      return;
    }
    if (How == "late") {
      Sleep(Milliseconds);
    }
    if (How == "back") {
      std::uint32_t size = 0;
      std::vector<std::uint8_t> data;
      const std::string caller = FIpc.IdToName(message->Header.Sender);
      Client.Call(caller, "Back", size, data, static_cast<std::uint32_t>(text.size() + 1), text.c_str(),
                  Milliseconds, false);
      const std::string answer = "back:" + std::string(data.begin(), data.end()).substr(0, size);
      Client.Result(message, static_cast<std::uint32_t>(answer.size()), answer.data());
      return;
    }
    if (How == "none") {
      return;
    }
    const std::string answer = "re:" + text;
    Client.Result(message, static_cast<std::uint32_t>(answer.size()), answer.data());
    if (How == "early") {
      Sleep(Milliseconds);
    }
    if (How == "twice") {
      Client.Result(message, 6, "second");
    }
  }

  TOxaIpcClient Client{nullptr};
  std::string Received;
  std::string How = "echo";
  DWORD Milliseconds = 0;

 private:
  TOxaIpc& FIpc;
};

}  // namespace

int main()
{
  TOxaIpc ipc(nullptr);
  std::map<std::string, std::unique_ptr<THelperClient>> clients;
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
        std::string types;
        words >> name >> types;
        auto client = std::make_unique<THelperClient>(ipc, name, types);
        answer = client->Client.Registered() ? "ok" : "fail";
        clients[name] = std::move(client);
      } else if (command == "notify") {
        std::string from, target, name, text;
        words >> from >> target >> name >> text;
        answer = clients.at(from)->Client.Notify(target, name, text) ? "ok" : "fail";
      } else if (command == "call") {
        std::string from, target, name, text;
        long timeout = 0;
        words >> from >> target >> name >> text >> timeout;
        std::uint32_t size = 0;
        std::vector<std::uint8_t> data;
        const bool ok = clients.at(from)->Client.Call(target, name, size, data,
                                                      static_cast<std::uint32_t>(text.size() + 1),
                                                      text.c_str(), static_cast<DWORD>(timeout), false);
        answer = ok ? "ok " + std::to_string(size) + " " + std::string(data.begin(), data.end()) : "fail";
      } else if (command == "answer") {
        std::string name;
        auto& client = *clients.at((words >> name, name));
        words >> client.How >> client.Milliseconds;
        answer = "ok";
      } else if (command == "pump") {
        DWORD milliseconds = 0;
        words >> milliseconds;
        PumpFor(milliseconds);
        answer = "ok";
      } else if (command == "settle") {
        const DWORD start = GetTickCount();
        LastActivity = start;
        while (GetTickCount() - LastActivity < 200 && GetTickCount() - start < 10000) {
          PumpFor(20);
        }
        answer = "ok";
      } else if (command == "received") {
        std::string name;
        words >> name;
        answer = clients.at(name)->Received;
      } else if (command == "queue") {
        std::string name;
        words >> name;
        answer = std::to_string(ipc.QueueLength(ipc.NameToId(name)));
      } else if (command == "crash") {
        std::raise(SIGKILL);
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
