// A second member for the bus tests. With no arguments it works on commands read line by line
// from standard input, answering one line each:
//   open GROUP          joins the bus                                  -> "ok PID" or "fail"
//   close               leaves it                                      -> ok
//   intern NAME         NameToId                                       -> the id, or "damaged"
//   client NAME         a client record under the name's id            -> the id, or "fail"
//   alloc N             AllocShared(N) under the lock                  -> "OFFSET GENERATION"
//   hold                takes the bus lock and keeps it                -> held
//   pump MS             handles window messages for MS milliseconds    -> ok
//   state               "ACTIVE HEADGEN MAPPEDGEN PENDING" of this member
//   take ID             the oldest message of client ID                -> "NAME SENDER" or "none"
//   hang MS             sleeps without looking at messages             -> ok
//   crash               ends at once, as a crash would (no answer)
// With "--serve GROUP CLIENT SECONDS" it takes its application lock, joins, registers CLIENT and
// handles messages for that long. With "--loop GROUP SECONDS SEED" it joins, interns, registers and
// leaves in a loop, for the stress test.

#include <csignal>
#include <iostream>
#include <random>
#include <sstream>
#include <string>

#include "OxaIPC/OxaIpc.h"
#include "OxaIPC/OxaIpcApplication.h"
#include "platform/core/Time.h"
#include "platform/windows/Messages.h"
#include "tests/support/MessagePump.h"

namespace {

class TDamageCount : public TObject {
 public:
  void Damaged(TObject*) { ++Count; }
  int Count = 0;
};

std::uint32_t AddClient(TOxaIpc& ipc, const std::string& name)
{
  const std::uint32_t id = ipc.NameToId(name);
  if (id == 0 || !ipc.Lock(TOxaIpc::LockTimeout)) {
    return 0;
  }
  std::uint32_t record = 0;
  if (ipc.CheckGeneration()) {
    record = ipc.CreateClientRecord(id);
  }
  if (ipc.Active()) {
    ipc.Unlock();
  }
  return record == 0 ? 0 : id;
}

int Serve(const std::string& group, const std::string& client, int seconds)
{
  LockApplication(500);
  TOxaIpc ipc(nullptr);
  ipc.SetGroupName(group);
  if (!ipc.Open(false) || AddClient(ipc, client) == 0) {
    return 1;
  }
  PumpFor(static_cast<DWORD>(seconds) * 1000);
  return 0;
}

int Loop(const std::string& group, int seconds, unsigned seed)
{
  std::mt19937 random(seed);
  const DWORD start = GetTickCount();
  int round = 0;
  while (GetTickCount() - start < static_cast<DWORD>(seconds) * 1000) {
    TOxaIpc ipc(nullptr);
    ipc.SetGroupName(group);
    if (ipc.Open(false)) {
      for (int i = 0; i < 4; ++i) {
        ipc.NameToId("Name" + std::to_string(random() % 40));
      }
      if (random() % 2 == 0) {
        AddClient(ipc, "Client" + std::to_string(seed) + "." + std::to_string(round));
      }
      if (random() % 8 == 0 && ipc.Lock(TOxaIpc::LockTimeout)) {
        if (ipc.CheckGeneration()) {
          ipc.FreeShared(ipc.AllocShared(200 + random() % 3000));
        }
        if (ipc.Active()) {
          ipc.Unlock();
        }
      }
      PumpFor(2 + random() % 10);
      ipc.Close();
    }
    ++round;
    Sleep(5 + random() % 20);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc == 5 && std::string(argv[1]) == "--serve") {
    return Serve(argv[2], argv[3], std::stoi(argv[4]));
  }
  if (argc == 5 && std::string(argv[1]) == "--loop") {
    return Loop(argv[2], std::stoi(argv[3]), static_cast<unsigned>(std::stoul(argv[4])));
  }
  TOxaIpc ipc(nullptr);
  TDamageCount damage;
  ipc.OnDamaged = MakeMethod<&TDamageCount::Damaged>(&damage);
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
        answer = ipc.Open(false) ? "ok " + std::to_string(ipc.Pid()) : "fail";
      } else if (command == "close") {
        ipc.Close();
        answer = "ok";
      } else if (command == "intern") {
        std::string name;
        words >> name;
        const std::uint32_t id = ipc.NameToId(name);
        answer = ipc.Active() ? std::to_string(id) : "damaged";
      } else if (command == "client") {
        std::string name;
        words >> name;
        const std::uint32_t id = AddClient(ipc, name);
        answer = id == 0 ? "fail" : std::to_string(id);
      } else if (command == "alloc") {
        std::uint32_t size = 0;
        words >> size;
        if (ipc.Lock(TOxaIpc::LockTimeout) && ipc.CheckGeneration()) {
          const std::uint32_t offset = ipc.AllocShared(size);
          answer = std::to_string(offset) + " " + std::to_string(ipc.HeadHeader().Generation);
          if (ipc.Active()) {
            ipc.Unlock();
          }
        } else {
          answer = "fail";
        }
      } else if (command == "hold") {
        answer = ipc.Lock(TOxaIpc::LockTimeout) ? "held" : "fail";
      } else if (command == "pump") {
        DWORD milliseconds = 0;
        words >> milliseconds;
        PumpFor(milliseconds);
        answer = "ok";
      } else if (command == "state") {
        std::uint32_t mapped = 0;
        std::uint32_t pending = 0;
        for (const auto& process : ipc.Processes()) {
          if (process.Offset == ipc.ProcessOffset()) {
            mapped = process.Record.Generation;
            pending = process.Record.Pending;
          }
        }
        const std::uint32_t head = ipc.Active() ? ipc.HeadHeader().Generation : 0;
        answer = std::to_string(ipc.Active()) + " " + std::to_string(head) + " " + std::to_string(mapped) +
                 " " + std::to_string(pending);
      } else if (command == "take") {
        std::uint32_t id = 0;
        words >> id;
        TOxaIpcMessageCopy message;
        answer = ipc.TakeMessage(id, message)
                     ? std::to_string(message.Header.Name) + " " + std::to_string(message.Header.Sender)
                     : "none";
      } else if (command == "hang") {
        DWORD milliseconds = 0;
        words >> milliseconds;
        Sleep(milliseconds);
        answer = "ok";
      } else if (command == "damaged") {
        answer = std::to_string(damage.Count);
      } else if (command == "crash") {
        std::raise(SIGKILL);
      } else {
        answer = "error unknown command";
      }
    } catch (const Exception& error) {
      answer = "error " + error.Message();
    }
    std::cout << answer << std::endl;
  }
  return 0;
}
