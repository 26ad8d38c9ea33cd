// Clients in several member processes: queued notifications, calls and their results, dead
// members, late answers, raising handlers and calls back into a waiting caller.

#include <chrono>
#include <cstring>

#include "tests/OxaIPC/OxaIpcClientSupport.h"

namespace {

using std::chrono::milliseconds;

std::string Answer(const std::vector<std::uint8_t>& data)
{
  return std::string(data.begin(), data.end());
}

TEST_F(TClientTest, TwoNotificationsBeforeADrainArePostedOnce)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder sender(Ipc(), "Sender");
  auto member = Member();
  ASSERT_EQ(member->Ask("register Receiver"), "ok");
  ASSERT_EQ(member->Ask("settle"), "ok");  // the announcements go
  const std::uint32_t receiver = Ipc().NameToId("Receiver");
  const std::uint32_t owner = ClientRecord(receiver).Owner;
  EXPECT_EQ(ProcessRecord(owner).Pending, 0u);
  ASSERT_TRUE(sender.Client.Notify("Receiver", "Note", "one"));
  ASSERT_TRUE(sender.Client.Notify("Receiver", "Note", "two"));
  EXPECT_EQ(ClientRecord(receiver).Posted, 1u);
  EXPECT_EQ(ProcessRecord(owner).Pending, 1u) << "one window message for both";
  ASSERT_EQ(member->Ask("settle"), "ok");
  EXPECT_EQ(WithoutAnnouncements(member->Ask("received Receiver")), "Note:one,Note:two");
  EXPECT_EQ(ClientRecord(receiver).Posted, 0u);
  EXPECT_EQ(ProcessRecord(owner).Pending, 0u);
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

TEST_F(TClientTest, CallsAndTheirResults)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder caller(Ipc(), "Caller");
  auto member = Member();
  struct TCase {
    const char* How;
    bool Succeeds;
    const char* Result;
  };
  const TCase cases[] = {
      {"echo", true, "re:hello"},
      {"none", true, ""},           // handled without Result: success, no data
      {"twice", true, "re:hello"},  // only the first answer is attached
      {"raise", true, "re:hello"},  // raises only for "boom"
  };
  ASSERT_EQ(member->Ask("register Callee"), "ok");
  for (const auto& c : cases) {
    ASSERT_EQ(member->Ask(std::string("answer Callee ") + c.How), "ok");
    member->WriteLine("pump 1500");
    std::uint32_t size = 99;
    std::vector<std::uint8_t> data;
    EXPECT_EQ(caller.Client.Call("Callee", "Ask", size, data, 6, "hello", 5000, false), c.Succeeds) << c.How;
    EXPECT_EQ(size, std::strlen(c.Result)) << c.How;
    EXPECT_EQ(Answer(data), c.Result) << c.How;
    ASSERT_EQ(member->ReadLine(), "ok");
  }
  // A handler that raises answers nothing: the call fails, and the next one works.
  member->WriteLine("pump 1500");
  std::uint32_t size = 0;
  std::vector<std::uint8_t> data;
  EXPECT_FALSE(caller.Client.Call("Callee", "Ask", size, data, 5, "boom", 5000, false));
  EXPECT_TRUE(caller.Client.Call("Callee", "Ask", size, data, 5, "fine", 5000, true));
  EXPECT_EQ(Answer(data), "re:fine");
  ASSERT_EQ(member->ReadLine(), "ok");
  EXPECT_FALSE(caller.Client.Call("Nobody", "Ask", size, data, 0, nullptr, 1000, false));
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

// Result answers at once: the caller goes on while the handler still runs.
TEST_F(TClientTest, AResultLetsTheCallerGoOnAtOnce)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder caller(Ipc(), "Caller");
  auto member = Member();
  ASSERT_EQ(member->Ask("register Callee"), "ok");
  ASSERT_EQ(member->Ask("answer Callee early 1500"), "ok");
  member->WriteLine("pump 2000");
  std::uint32_t size = 0;
  std::vector<std::uint8_t> data;
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(caller.Client.Call("Callee", "Ask", size, data, 2, "e", 10000, false));
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1000));
  EXPECT_EQ(Answer(data), "re:e");
  ASSERT_EQ(member->ReadLine(), "ok");
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

TEST_F(TClientTest, TheMonitorSeesACallAndItsResult)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder debug(Ipc(), "Debug");
  TRecorder caller(Ipc(), "Caller");
  auto member = Member();
  ASSERT_EQ(member->Ask("register Callee"), "ok");
  const std::uint32_t callee = Ipc().NameToId("Callee");
  const std::uint32_t ask = Ipc().NameToId("Ask");
  for (const char* how : {"echo", "none"}) {
    ASSERT_EQ(member->Ask(std::string("answer Callee ") + how), "ok");
    ASSERT_TRUE(PumpUntil([&] { return ClientRecord(debug.Client.ClientId()).Messages == 0; }));
    debug.Messages.clear();
    member->WriteLine("pump 1000");
    std::uint32_t size = 0;
    std::vector<std::uint8_t> data;
    ASSERT_TRUE(caller.Client.Call("Callee", "Ask", size, data, 2, "q", 5000, false));
    ASSERT_EQ(member->ReadLine(), "ok");
    ASSERT_TRUE(debug.WaitFor(2));
    const TOxaIpcMessage& call = debug.Messages[0];
    const TOxaIpcMessage& result = debug.Messages[1];
    EXPECT_EQ(Ipc().IdToName(call.Header.Name), "OnCall");
    EXPECT_EQ(Ipc().IdToName(result.Header.Name), "OnResult");
    ASSERT_EQ(call.Payload.size(), 2u + 36);
    TOxaIpcMessageRecord record;
    std::memcpy(&record, call.Payload.data(), 32);
    EXPECT_EQ(record.Pending, OxaIpcPendingCall);
    EXPECT_EQ(record.Target, callee);
    EXPECT_EQ(record.Name, ask);
    EXPECT_EQ(record.Sender, caller.Client.ClientId());
    EXPECT_EQ(record.Size, 2u);
    const std::uint32_t callOffset = record.Link;
    const std::uint32_t serial = record.Serial;
    TOxaIpcMessageRecord answer;
    ASSERT_GE(result.Payload.size(), 36u);
    std::memcpy(&answer, result.Payload.data(), 32);
    EXPECT_EQ(result.Header.Sender, callee);
    EXPECT_EQ(answer.Target, caller.Client.ClientId());
    EXPECT_EQ(answer.Sender, callee);
    EXPECT_EQ(answer.Name, ask);
    EXPECT_EQ(answer.Serial, serial);
    if (std::string(how) == "echo") {
      EXPECT_EQ(answer.Link, callOffset);
      EXPECT_EQ(answer.Pending, 0u);
      EXPECT_EQ(answer.Size, 4u);
      // The record's first 36 bytes, then the result data.
      EXPECT_EQ(result.Payload.size(), 36u + 4);
      EXPECT_EQ(std::string(result.Payload.begin() + 32, result.Payload.begin() + 36), "re:q");
      EXPECT_EQ(std::string(result.Payload.begin() + 36, result.Payload.end()), "re:q");
    } else {
      EXPECT_EQ(result.Payload.size(), 36u);
      EXPECT_EQ(answer.Link, 0u);
      EXPECT_EQ(answer.Pending, OxaIpcPendingCall);
      EXPECT_EQ(answer.Time, 0u);
      EXPECT_EQ(answer.Size, 0u);
    }
  }
}

TEST_F(TClientTest, AClientOfADeadMemberIsAnnouncedAndCannotBeCalled)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder watcher(Ipc(), "Watcher");
  auto member = Member();
  ASSERT_EQ(member->Ask("register Doomed"), "ok");
  const std::uint32_t doomed = Ipc().NameToId("Doomed");
  member->Kill();
  std::uint32_t size = 0;
  std::vector<std::uint8_t> data;
  EXPECT_FALSE(watcher.Client.Call("Doomed", "Ask", size, data, 0, nullptr, 2000, false));
  ASSERT_TRUE(watcher.WaitFor(1));
  EXPECT_EQ(watcher.Received(), "OnDied:");
  EXPECT_EQ(watcher.Messages.back().Header.Sender, doomed);
  EXPECT_FALSE(watcher.Client.Notify("Doomed", "Note", "x"));
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

// The callee's liveness is looked at through a probe kept from the earlier calls: it must see the
// crash all the same.
TEST_F(TClientTest, ACalleeThatDiesAfterBeingCalledIsSeenDeadAtTheNextCall)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder caller(Ipc(), "Caller");
  auto member = Member();
  ASSERT_EQ(member->Ask("register Callee"), "ok");
  ASSERT_EQ(member->Ask("answer Callee echo"), "ok");
  const std::uint32_t callee = Ipc().NameToId("Callee");
  const std::uint32_t pid = ProcessRecord(ClientRecord(callee).Owner).Pid;
  member->WriteLine("pump 1500");
  std::uint32_t size = 0;
  std::vector<std::uint8_t> data;
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(caller.Client.Call("Callee", "Ask", size, data, 2, "hi", 5000, false));
  }
  ASSERT_EQ(member->ReadLine(), "ok");
  EXPECT_TRUE(Ipc().ProcessAlive(pid));
  member->Kill();
  EXPECT_FALSE(caller.Client.Call("Callee", "Ask", size, data, 2, "hi", 2000, false));
  ASSERT_TRUE(caller.WaitFor(1));
  EXPECT_EQ(caller.Received(), "OnDied:");
  EXPECT_FALSE(Ipc().ProcessAlive(pid));
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

TEST_F(TClientTest, ATakenNameCannotRegister)
{
  ASSERT_TRUE(Ipc().Open(false));
  auto member = Member();
  ASSERT_EQ(member->Ask("register Taken"), "ok");
  for (const char* name : {"Taken", "TAKEN", "taken"}) {
    TRecorder second(Ipc(), name);
    EXPECT_FALSE(second.Client.Registered()) << name;
  }
  TRecorder other(Ipc(), "Taken2");
  EXPECT_TRUE(other.Client.Registered());
  EXPECT_EQ(member->Ask("register Taken2"), "fail");
}

TEST_F(TClientTest, ALateResultAfterATimeOutTouchesNothing)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder caller(Ipc(), "Caller");
  TRecorder keeper(Ipc(), "Keeper");
  auto member = Member();
  ASSERT_EQ(member->Ask("register Slow"), "ok");
  ASSERT_EQ(member->Ask("register Other"), "ok");
  ASSERT_EQ(member->Ask("answer Slow late 800"), "ok");
  ASSERT_EQ(member->Ask("settle"), "ok");
  for (const char* text : {"n1", "n2", "n3"}) {
    ASSERT_TRUE(caller.Client.Notify("Other", "Note", text));
  }
  member->WriteLine("pump 2000");
  std::uint32_t size = 0;
  std::vector<std::uint8_t> data;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(caller.Client.Call("Slow", "Ask", size, data, 6, "late!", 200, false));
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(700));
  // The freed call record's block goes to a notification of the same size before the answer.
  ASSERT_TRUE(caller.Client.Notify("Keeper", "Keep", "kept!"));
  ASSERT_EQ(member->ReadLine(milliseconds(5000)), "ok");
  ASSERT_TRUE(keeper.WaitFor(1));
  EXPECT_EQ(keeper.Received(), "Keep:kept!");
  EXPECT_EQ(keeper.Messages.back().Payload.size(), 6u);
  EXPECT_EQ(WithoutAnnouncements(member->Ask("received Other")), "Note:n1,Note:n2,Note:n3");
  EXPECT_EQ(member->Ask("queue Other"), "0");
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

TEST_F(TClientTest, AHandlerThatRaisesDoesNotStopTheNextMessage)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder sender(Ipc(), "Sender");
  auto member = Member();
  ASSERT_EQ(member->Ask("register Fragile"), "ok");
  ASSERT_EQ(member->Ask("answer Fragile raise"), "ok");
  for (const char* text : {"boom", "next", "boom", "last"}) {
    ASSERT_TRUE(sender.Client.Notify("Fragile", "Note", text));
  }
  ASSERT_EQ(member->Ask("settle"), "ok");
  EXPECT_EQ(WithoutAnnouncements(member->Ask("received Fragile")), "Note:boom,Note:next,Note:boom,Note:last");
  EXPECT_EQ(member->Ask("queue Fragile"), "0");
}

// While this process waits in a call, the callee calls one of our clients back.
TEST_F(TClientTest, ACallBackIntoAWaitingCallerIsServed)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder home(Ipc(), "Home");
  struct TBack : TObject {
    TOxaIpcClient* Client;
    void Answer(TObject*, POxaIpcMessage message)
    {
      const std::string text = "home:" + MessageText(*message);
      Client->Result(message, static_cast<std::uint32_t>(text.size()), text.data());
    }
  } back;
  back.Client = &home.Client;
  home.Client.AddCommand("Back", MakeMethod<&TBack::Answer>(&back));
  auto member = Member();
  ASSERT_EQ(member->Ask("register Echo"), "ok");
  ASSERT_EQ(member->Ask("answer Echo back 3000"), "ok");
  member->WriteLine("pump 1500");
  std::uint32_t size = 0;
  std::vector<std::uint8_t> data;
  ASSERT_TRUE(home.Client.Call("Echo", "Ask", size, data, 2, "x", 5000, false));
  EXPECT_EQ(Answer(data), "back:home:x");
  ASSERT_EQ(member->ReadLine(), "ok");
  // With block, the call back is not served while we wait: it times out and the answer says so.
  ASSERT_EQ(member->Ask("answer Echo back 300"), "ok");
  member->WriteLine("pump 1500");
  ASSERT_TRUE(home.Client.Call("Echo", "Ask", size, data, 2, "y", 5000, true));
  EXPECT_EQ(Answer(data), "back:");
  ASSERT_EQ(member->ReadLine(), "ok");
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

}  // namespace
