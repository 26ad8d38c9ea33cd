// A member for the traffic stress test: "OxaIpcTrafficMember GROUP INDEX MEMBERS NOTES CALLS SEED"
// registers the clients "T<INDEX>a" and "T<INDEX>b", answers "ready" and waits for "go". Then it
// sends NOTES notifications and makes CALLS calls from its two clients to random clients of all
// MEMBERS members, with payloads of random size, and answers "sent". On "report" it handles
// messages until nothing came for a while and prints one line: "errors E received R answered A",
// where R is the notifications taken and A the calls whose answer came back intact.
//
// A payload is: sender client number, sequence number per sender and target, size, then bytes
// that follow from the sequence number. A receiver checks that each sender's sequence goes up by
// one (each message once, in order) and that the bytes are intact.

#include <poll.h>

#include <cstring>
#include <iostream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "OxaIPC/OxaIpcClient.h"
#include "platform/core/Time.h"
#include "platform/windows/Messages.h"

namespace {

std::uint8_t PatternByte(std::uint32_t sequence, std::uint32_t at)
{
  return static_cast<std::uint8_t>(sequence * 31 + at * 7);
}

std::vector<std::uint8_t> MakePayload(std::uint32_t sender, std::uint32_t sequence, std::uint32_t size)
{
  std::vector<std::uint8_t> payload(12 + size);
  const std::uint32_t header[] = {sender, sequence, size};
  std::memcpy(payload.data(), header, sizeof(header));
  for (std::uint32_t i = 0; i < size; ++i) {
    payload[12 + i] = PatternByte(sequence, i);
  }
  return payload;
}

// The sequence number of an intact payload; false when it is damaged.
bool CheckPayload(const std::vector<std::uint8_t>& payload, std::uint32_t& sender, std::uint32_t& sequence)
{
  if (payload.size() < 12) {
    return false;
  }
  std::uint32_t header[3];
  std::memcpy(header, payload.data(), sizeof(header));
  sender = header[0];
  sequence = header[1];
  if (payload.size() != 12 + std::size_t{header[2]}) {
    return false;
  }
  for (std::uint32_t i = 0; i < header[2]; ++i) {
    if (payload[12 + i] != PatternByte(sequence, i)) {
      return false;
    }
  }
  return true;
}

// Handles every waiting message, then goes on handling them for the given time.
void PumpFor(DWORD milliseconds)
{
  const DWORD start = GetTickCount();
  MSG message{};
  for (;;) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
    }
    if (GetTickCount() - start >= milliseconds) {
      return;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

// The next command; messages are handled while none has come, so other members' calls are
// answered meanwhile.
bool NextCommand(std::string& line)
{
  pollfd input{0, POLLIN, 0};
  while (poll(&input, 1, 0) == 0) {
    PumpFor(10);
  }
  return static_cast<bool>(std::getline(std::cin, line));
}

class TTraffic : public TObject {
 public:
  void Dispatched(TObject* sender, POxaIpcMessage message)
  {
    LastActivity = GetTickCount();
    auto* client = static_cast<TOxaIpcClient*>(sender);
    if (message->Header.Name != NoteId && message->Header.Name != AskId) {
      return;  // the bus's own announcements
    }
    std::uint32_t from = 0;
    std::uint32_t sequence = 0;
    if (!CheckPayload(message->Payload, from, sequence)) {
      ++Errors;
      return;
    }
    if (message->Call) {
      client->Result(message, static_cast<std::uint32_t>(message->Payload.size()), message->Payload.data());
      return;
    }
    std::uint32_t& expected = Next[{from, client->ClientId()}];
    if (sequence != expected) {
      ++Errors;
    }
    expected = sequence + 1;
    ++Received;
  }

  std::uint32_t NoteId = 0;
  std::uint32_t AskId = 0;
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::uint32_t> Next;
  std::uint32_t Errors = 0;
  std::uint32_t Received = 0;
  DWORD LastActivity = 0;
};

}  // namespace

int main(int argc, char** argv)
{
  if (argc != 7) {
    return 2;
  }
  const std::string group = argv[1];
  const int index = std::stoi(argv[2]);
  const int members = std::stoi(argv[3]);
  const int notes = std::stoi(argv[4]);
  const int calls = std::stoi(argv[5]);
  std::mt19937 random(static_cast<unsigned>(std::stoul(argv[6])));

  TOxaIpc ipc(nullptr);
  ipc.SetGroupName(group);
  TTraffic traffic;
  TOxaIpcClient clients[2] = {TOxaIpcClient(nullptr), TOxaIpcClient(nullptr)};
  for (int i = 0; i < 2; ++i) {
    clients[i].SetClientName("T" + std::to_string(index) + (i == 0 ? "a" : "b"));
    clients[i].OnDispatch = MakeMethod<&TTraffic::Dispatched>(&traffic);
    clients[i].SetIpc(&ipc);
  }
  if (!ipc.Open(false) || !clients[0].Registered() || !clients[1].Registered()) {
    std::cout << "fail" << std::endl;
    return 1;
  }
  traffic.NoteId = ipc.NameToId("Note");
  traffic.AskId = ipc.NameToId("Ask");
  std::vector<std::string> targets;
  for (int member = 0; member < members; ++member) {
    targets.push_back("T" + std::to_string(member) + "a");
    targets.push_back("T" + std::to_string(member) + "b");
  }
  std::cout << "ready" << std::endl;
  std::string line;
  while (NextCommand(line)) {
    if (line == "go") {
      std::map<std::pair<int, std::string>, std::uint32_t> sequences;
      std::uint32_t answered = 0;
      int callsLeft = calls;
      for (int n = 0; n < notes || callsLeft > 0;) {
        const int from = static_cast<int>(random() % 2);
        const std::string& target = targets[random() % targets.size()];
        const std::uint32_t size = random() % 4 == 0 ? random() % 4000 : random() % 64;
        const std::uint32_t sender = static_cast<std::uint32_t>(index * 2 + from);
        if (callsLeft > 0 && (n >= notes || random() % 10 == 0)) {
          const auto payload = MakePayload(sender, 0, size);
          std::uint32_t resultSize = 0;
          std::vector<std::uint8_t> result;
          if (clients[from].Call(target, "Ask", resultSize, result,
                                 static_cast<std::uint32_t>(payload.size()), payload.data(), 20000, false) &&
              result == payload) {
            ++answered;
          }
          --callsLeft;
          continue;
        }
        std::uint32_t& sequence = sequences[{from, target}];
        const auto payload = MakePayload(sender, sequence, size);
        // A full queue refuses: its owner drains while we handle our own messages.
        while (!clients[from].Notify(target, "Note", static_cast<std::uint32_t>(payload.size()),
                                     payload.data())) {
          PumpFor(2);
        }
        ++sequence;
        ++n;
        if (n % 64 == 0) {
          PumpFor(0);
        }
      }
      std::cout << "sent " << answered << std::endl;
    } else if (line == "report") {
      traffic.LastActivity = GetTickCount();
      while (GetTickCount() - traffic.LastActivity < 1500) {
        PumpFor(50);
      }
      std::cout << "errors " << traffic.Errors << " received " << traffic.Received << std::endl;
    } else if (line == "quit") {
      break;
    }
  }
  return 0;
}
