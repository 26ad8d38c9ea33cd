// Clients inside one member: registering, the record images, broadcasts by type, properties,
// the debug monitor's copies, full queues, failed posts, damaged sizes and misuse.

#include <chrono>
#include <cstring>
#include <thread>

#include "OxaIPC/OxaIpcRecords.h"
#include "platform/objects/ObjectProbe.h"
#include "tests/OxaIPC/OxaIpcClientSupport.h"

namespace {

std::uint32_t Word(const std::vector<std::uint8_t>& bytes, std::size_t at)
{
  std::uint32_t word = 0;
  std::memcpy(&word, bytes.data() + at, 4);
  return word;
}

TEST(TClientRecords, SizesOfTheSharedRecords)
{
  struct TCase {
    std::uint32_t Got;
    std::uint32_t Expected;
  };
  const TCase cases[] = {
      {sizeof(TOxaIpcClientRecord), 28},
      {OxaIpcTypesBlockSize(0), 8},
      {OxaIpcTypesBlockSize(1), 12},
      {OxaIpcTypesBlockSize(2), 16},
      {OxaIpcMessageRecordSize(0), 36},
      {OxaIpcMessageRecordSize(1), 37},
      {OxaIpcMessageRecordSize(256), 292},
      {OxaIpcPropertyRecordSize(0), 16},
      {OxaIpcPropertyRecordSize(1), 17},
      {offsetof(TOxaIpcClientRecord, Posted), 12},
      {offsetof(TOxaIpcClientRecord, Types), 16},
      {offsetof(TOxaIpcClientRecord, Properties), 24},
      {offsetof(TOxaIpcMessageRecord, Pending), 4},
      {offsetof(TOxaIpcMessageRecord, Serial), 20},
      {offsetof(TOxaIpcMessageRecord, Size), 28},
      {offsetof(TOxaIpcPropertyRecord, Size), 8},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].Got, cases[i].Expected) << "case " << i;
  }
}

TEST_F(TClientTest, ARegisteredClientLaysOutItsRecords)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder sender(Ipc(), "Sender");
  TRecorder target(Ipc(), "Target", "Sound; Picture");
  ASSERT_TRUE(target.Client.Registered());
  const std::uint32_t id = Ipc().NameToId("Target");
  EXPECT_EQ(target.Client.ClientId(), id);
  const TOxaIpcClientRecord record = ClientRecord(id);
  EXPECT_EQ(record.Id, id);
  EXPECT_EQ(record.Owner, Ipc().ProcessOffset());
  EXPECT_EQ(record.Properties, 0u);
  // The types block: count, the ids, a spare zero.
  const auto types = Block(record.Types, 16);
  EXPECT_EQ(Word(types, 0), 2u);
  EXPECT_EQ(Word(types, 4), Ipc().NameToId("Sound"));
  EXPECT_EQ(Word(types, 8), Ipc().NameToId("Picture"));
  EXPECT_EQ(Word(types, 12), 0u);
  // Two announcements wait undrained: each client heard the other's arrival and its own.
  ASSERT_TRUE(PumpUntil([&] { return ClientRecord(id).Messages == 0; }));
  ASSERT_TRUE(sender.Client.Notify("Target", "Note", "ab"));
  const TOxaIpcClientRecord queued = ClientRecord(id);
  EXPECT_EQ(queued.Posted, 1u);
  const auto image = Block(queued.Messages, 39);
  const std::uint32_t expected[] = {0, 0, id, Ipc().NameToId("Note"), sender.Client.ClientId()};
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(Word(image, i * 4), expected[i]) << "word " << i;
  }
  EXPECT_NE(Word(image, 20), 0u);  // serial
  EXPECT_EQ(Word(image, 28), 3u);  // "ab" and its zero
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data() + 32), 3), std::string("ab\0", 3));
  EXPECT_EQ(Word(image, 35), 0u);  // spare
  ASSERT_TRUE(target.WaitFor(1));
  EXPECT_EQ(target.Received(), "Note:ab");
  EXPECT_EQ(ClientRecord(id).Posted, 0u);
  target.Client.SetIpc(nullptr);
  EXPECT_EQ(ClientRecord(id).Id, 0u) << "unregistering frees the record";
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

TEST_F(TClientTest, NotifyAllReachesClientsByType)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder plain(Ipc(), "Plain");
  TRecorder sound(Ipc(), "Audio", "Sound");
  TRecorder picture(Ipc(), "Video", "Picture;Sound2");
  TRecorder both(Ipc(), "Both", "Sound;Picture");
  TRecorder* all[] = {&plain, &sound, &picture, &both};
  struct TCase {
    const char* Types;
    bool Sent;
    const char* Reached;  // one letter per client of all: P, A, V, B
  };
  const TCase cases[] = {
      {"", true, "PAVB"},
      {"*", true, "PAVB"},
      {"Sound;*", true, "PAVB"},
      {"Sound", true, "AB"},
      {"Sound;Picture", true, "AVB"},
      {"Sound2", true, "V"},
      {"Nobody", false, ""},
  };
  for (const auto& c : cases) {
    for (TRecorder* client : all) {
      client->Messages.clear();
    }
    EXPECT_EQ(plain.Client.NotifyAll(c.Types, "Wave", 2, "w"), c.Sent) << c.Types;
    PumpUntil([] { return false; }, 300);
    std::string reached;
    const char letters[] = "PAVB";
    for (std::size_t i = 0; i < std::size(all); ++i) {
      if (all[i]->Received() == "Wave:w") {
        reached += letters[i];
      } else {
        EXPECT_EQ(all[i]->Received(), "") << c.Types;
      }
    }
    EXPECT_EQ(reached, c.Reached) << c.Types;
  }
}

TEST_F(TClientTest, ABroadcastAlsoReachesTheSender)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder one(Ipc(), "One");
  TRecorder two(Ipc(), "Two");
  for (const char* target : {"*", ""}) {
    one.Messages.clear();
    two.Messages.clear();
    ASSERT_TRUE(one.Client.Notify(target, "All", "x"));
    ASSERT_TRUE(one.WaitFor(1));
    ASSERT_TRUE(two.WaitFor(1));
    EXPECT_EQ(one.Received(), "All:x");
    EXPECT_EQ(two.Received(), "All:x");
    EXPECT_EQ(one.Messages.back().Header.Serial, two.Messages.back().Header.Serial)
        << "one serial per broadcast";
  }
  EXPECT_FALSE(one.Client.Notify("Nobody", "All", "x")) << "an unknown target gets nothing";
}

TEST_F(TClientTest, CommandsTakeTheirMessagesAndTheRestGoesToOnDispatch)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder sender(Ipc(), "Sender");
  TRecorder target(Ipc(), "Target");
  std::vector<std::string> seen;
  struct TCommand : TObject {
    std::vector<std::string>* Seen;
    void Play(TObject*, POxaIpcMessage message) { Seen->push_back("play " + MessageText(*message)); }
  } command;
  command.Seen = &seen;
  target.Client.AddCommand("PlayFile", MakeMethod<&TCommand::Play>(&command));
  target.Client.AddCommand("Unhandled", {});  // matched, so nothing else hears it
  ASSERT_TRUE(sender.Client.Notify("Target", "playfile", "a"));
  ASSERT_TRUE(sender.Client.Notify("Target", "Unhandled", "b"));
  ASSERT_TRUE(sender.Client.Notify("Target", "Other", "c"));
  ASSERT_TRUE(target.WaitFor(1));
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(seen, std::vector<std::string>{"play a"});
  EXPECT_EQ(target.Received(), "Other:c");
}

TEST_F(TClientTest, RenamingARegisteredClientRegistersItAgain)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder client(Ipc(), "Before");
  TBusEvents counts;
  struct TCounter : TObject {
    int Opens = 0;
    int Closes = 0;
    void Opened(TObject*) { ++Opens; }
    void Closed(TObject*) { ++Closes; }
  } counter;
  client.Client.OnOpen = MakeMethod<&TCounter::Opened>(&counter);
  client.Client.OnClose = MakeMethod<&TCounter::Closed>(&counter);
  const std::uint32_t before = Ipc().NameToId("Before");
  client.Client.SetClientName("After");
  EXPECT_TRUE(client.Client.Registered());
  EXPECT_EQ(client.Client.ClientId(), Ipc().NameToId("After"));
  EXPECT_EQ(ClientRecord(before).Id, 0u);
  EXPECT_EQ(counter.Closes, 1);
  EXPECT_EQ(counter.Opens, 1);
  client.Client.SetClientTypes("Sound");
  EXPECT_NE(ClientRecord(client.Client.ClientId()).Types, 0u);
  EXPECT_EQ(counter.Opens, 2);
  // A name that is taken leaves the client unregistered.
  TRecorder other(Ipc(), "Other");
  client.Client.SetClientName("OTHER");
  EXPECT_FALSE(client.Client.Registered());
  EXPECT_EQ(counter.Closes, 3);
  EXPECT_EQ(counter.Opens, 2);
  // Unregistered, a new name is only stored.
  client.Client.SetClientName("Third");
  EXPECT_FALSE(client.Client.Registered());
}

TEST_F(TClientTest, ClientsAttachedBeforeOpenRegisterWithIt)
{
  TRecorder early(Ipc(), "Early");
  EXPECT_FALSE(early.Client.Registered());
  ASSERT_TRUE(Ipc().Open(false));
  EXPECT_TRUE(early.Client.Registered());
  EXPECT_TRUE(Ipc().Exists(early.Client.ClientId(), 0));
  Ipc().Close();
  EXPECT_FALSE(early.Client.Registered());
}

TEST_F(TClientTest, Properties)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder owner(Ipc(), "Owner");
  const std::uint32_t id = owner.Client.ClientId();
  const std::uint32_t volume = Ipc().NameToId("Volume");
  std::uint32_t size = 99;
  std::vector<std::uint8_t> data{1};
  EXPECT_FALSE(Ipc().GetProperty(id, volume, size, data));
  EXPECT_EQ(size, 0u);
  EXPECT_TRUE(data.empty());
  struct TCase {
    std::string Value;
  };
  const TCase cases[] = {{"12"}, {""}, {std::string(5000, 'v')}, {"1"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(Ipc().SetProperty(id, volume, static_cast<std::uint32_t>(c.Value.size()), c.Value.data()));
    ASSERT_TRUE(Ipc().GetProperty(id, volume, size, data));
    EXPECT_EQ(size, c.Value.size());
    EXPECT_EQ(std::string(data.begin(), data.end()), c.Value);
  }
  // Replacing keeps one record per property.
  const TOxaIpcClientRecord record = ClientRecord(id);
  EXPECT_EQ(Word(Block(record.Properties, 12), 0), 0u);
  EXPECT_FALSE(Ipc().SetProperty(id, volume, 4, nullptr));
  EXPECT_FALSE(Ipc().SetProperty(Ipc().NameToId("Nobody"), volume, 1, "x"));
  EXPECT_FALSE(Ipc().GetProperty(Ipc().NameToId("Nobody"), volume, size, data));
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

// The debug monitor gets every message as a copy of its record.
TEST_F(TClientTest, TheDebugClientGetsCopiesByteForByte)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder debug(Ipc(), "Debug");
  TRecorder a(Ipc(), "A");
  TRecorder b(Ipc(), "B");
  ASSERT_TRUE(PumpUntil([&] { return ClientRecord(debug.Client.ClientId()).Messages == 0; }));
  debug.Messages.clear();
  b.Messages.clear();
  ASSERT_TRUE(a.Client.Notify("B", "Note", "ab"));
  ASSERT_TRUE(b.WaitFor(1));
  ASSERT_TRUE(debug.WaitFor(1));
  const TOxaIpcMessage& copy = debug.Messages.back();
  const TOxaIpcMessage& original = b.Messages.back();
  EXPECT_EQ(Ipc().IdToName(copy.Header.Name), "OnNotify");
  EXPECT_EQ(copy.Header.Sender, a.Client.ClientId());
  EXPECT_EQ(copy.Header.Target, debug.Client.ClientId());
  EXPECT_EQ(copy.Header.Serial, 0u);
  ASSERT_EQ(copy.Payload.size(), 3u + 36);
  TOxaIpcMessageRecord copied;
  std::memcpy(&copied, copy.Payload.data(), 32);
  EXPECT_EQ(std::memcmp(&copied, &original.Header, 32), 0);
  EXPECT_EQ(std::string(copy.Payload.begin() + 32, copy.Payload.end()), std::string("ab\0\0\0\0\0", 7));

  // A property: its id as sender, the data and 36 zeros.
  debug.Messages.clear();
  const std::uint32_t volume = Ipc().NameToId("Volume");
  ASSERT_TRUE(Ipc().SetProperty(b.Client.ClientId(), volume, 2, "\x07\x08"));
  ASSERT_TRUE(debug.WaitFor(1));
  const TOxaIpcMessage& property = debug.Messages.back();
  EXPECT_EQ(Ipc().IdToName(property.Header.Name), "OnProperty");
  EXPECT_EQ(property.Header.Sender, volume);
  std::vector<std::uint8_t> expected(38, 0);
  expected[0] = 7;
  expected[1] = 8;
  EXPECT_EQ(property.Payload, expected);

  // Traffic to or from the monitor, and its own properties, are not copied.
  debug.Messages.clear();
  ASSERT_TRUE(a.Client.Notify("Debug", "Direct", "d"));
  ASSERT_TRUE(debug.Client.Notify("A", "Back", "e"));
  ASSERT_TRUE(Ipc().SetProperty(debug.Client.ClientId(), volume, 1, "x"));
  ASSERT_TRUE(debug.WaitFor(1));
  ASSERT_TRUE(a.WaitFor(1));
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(debug.Received(), "Direct:d");
  // Unregistering the monitor clears the body's field: nothing is copied any more.
  debug.Client.SetIpc(nullptr);
  EXPECT_EQ(Ipc().Body().Header().DebugClient, 0u);
  ASSERT_TRUE(a.Client.Notify("B", "Note", "f"));
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

TEST_F(TClientTest, AQueueThatIsNeverDrainedStopsAtItsCap)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder sender(Ipc(), "Sender");
  const std::uint32_t target = Ipc().NameToId("Stuck");
  ASSERT_NE(Ipc().RegisterClient(target, {}), 0u) << "a record only: nobody drains it";
  const std::uint32_t name = Ipc().NameToId("Note");
  // The announcement of its own arrival is the first message.
  EXPECT_EQ(Ipc().QueueLength(target), 1u);
  for (std::uint32_t i = 1; i < OxaIpcQueueLimit; ++i) {
    ASSERT_TRUE(Ipc().Notify(sender.Client.ClientId(), target, 1, "x", name)) << i;
  }
  EXPECT_EQ(Ipc().QueueLength(target), OxaIpcQueueLimit);
  EXPECT_FALSE(Ipc().Notify(sender.Client.ClientId(), target, 1, "x", name));
  EXPECT_EQ(Ipc().QueueLength(target), OxaIpcQueueLimit);

  // By bytes: exactly the limit goes in, one byte more does not.
  const std::uint32_t bytes = Ipc().NameToId("Bytes");
  ASSERT_NE(Ipc().RegisterClient(bytes, {}), 0u);
  const std::vector<std::uint8_t> big(OxaIpcQueueBytesLimit / 2, 1);
  const std::uint32_t half = static_cast<std::uint32_t>(big.size());
  EXPECT_TRUE(Ipc().Notify(sender.Client.ClientId(), bytes, half, big.data(), name));
  EXPECT_FALSE(Ipc().Notify(sender.Client.ClientId(), bytes, half + 1, big.data(), name));
  EXPECT_TRUE(Ipc().Notify(sender.Client.ClientId(), bytes, half, big.data(), name));
  EXPECT_FALSE(Ipc().Notify(sender.Client.ClientId(), bytes, 1, big.data(), name));
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

TEST_F(TClientTest, AFullMonitorDropsItsOldestCopiesFirst)
{
  ASSERT_TRUE(Ipc().Open(false));
  const std::uint32_t debug = Ipc().NameToId("Debug");
  ASSERT_NE(Ipc().RegisterClient(debug, {}), 0u);
  const std::uint32_t one = Ipc().NameToId("One");
  const std::uint32_t two = Ipc().NameToId("Two");
  ASSERT_NE(Ipc().RegisterClient(one, {}), 0u);
  ASSERT_NE(Ipc().RegisterClient(two, {}), 0u);
  const std::uint32_t name = Ipc().NameToId("Note");
  for (std::uint32_t i = 0; i < 600; ++i) {
    ASSERT_TRUE(Ipc().Notify(one, one, 4, &i, name));
    ASSERT_TRUE(Ipc().Notify(two, two, 4, &i, name));
  }
  EXPECT_EQ(Ipc().QueueLength(debug), OxaIpcQueueLimit);
  // The newest copy is there: the last notification's payload behind its 32-byte header.
  TOxaIpcMessage message;
  std::uint32_t last = 0;
  while (Ipc().TakeNext(debug, false, message)) {
    if (message.Payload.size() == 4 + 36) {
      std::memcpy(&last, message.Payload.data() + 32, 4);
    }
  }
  EXPECT_EQ(last, 599u);
}

TEST_F(TClientTest, AFailedPostLeavesNothingOutstanding)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder target(Ipc(), "Target");
  ASSERT_TRUE(PumpUntil([&] { return ClientRecord(target.Client.ClientId()).Messages == 0; }));
  THostileMember member("VANTELPC", 1, 16384);
  const std::uint32_t windowAt = Ipc().ProcessOffset() + 12;
  const std::uint32_t window = member.Word(windowAt);
  member.SetWord(windowAt, 0x7FFFFF00u);  // no such window
  ASSERT_TRUE(target.Client.Notify("Target", "Lost", "x"));
  EXPECT_EQ(ClientRecord(target.Client.ClientId()).Posted, 0u);
  EXPECT_EQ(ProcessRecord(Ipc().ProcessOffset()).Pending, 0u);
  // With the window back, the next message posts for both.
  member.SetWord(windowAt, window);
  ASSERT_TRUE(target.Client.Notify("Target", "Found", "y"));
  EXPECT_EQ(ClientRecord(target.Client.ClientId()).Posted, 1u);
  EXPECT_EQ(ProcessRecord(Ipc().ProcessOffset()).Pending, 1u);
  ASSERT_TRUE(target.WaitFor(2));
  EXPECT_EQ(target.Received(), "Lost:x,Found:y");
}

// Sizes read from shared memory are checked against their blocks before anything is copied.
TEST_F(TClientTest, DamagedSizesCloseTheBusInsteadOfCrashing)
{
  struct TCase {
    const char* What;
    std::uint32_t Field;  // offset inside the record
    std::uint32_t Value;
    int Record;  // 0: the queued message, 1: the property, 2: the types block
  };
  const TCase cases[] = {
      {"message size one past its block", 28, 5, 0}, {"message size far out", 28, 0xFFFFFFF0u, 0},
      {"property size one past its block", 8, 5, 1}, {"property size far out", 8, 0x80000000u, 1},
      {"types count one past its block", 0, 2, 2},   {"types count far out", 0, 0x40000000u, 2},
  };
  for (const auto& c : cases) {
    TTempMachine machine;
    TBusEvents events;
    TOxaIpc ipc(nullptr);
    events.Watch(ipc);
    ASSERT_TRUE(ipc.Open(false));
    const std::uint32_t id = ipc.NameToId("Victim");
    ASSERT_NE(ipc.RegisterClient(id, {ipc.NameToId("Sound")}), 0u);
    ASSERT_TRUE(ipc.Lock(1000));
    while (ipc.TakeNext(id, true, *std::make_unique<TOxaIpcMessage>())) {
    }
    ipc.Unlock();
    const std::uint32_t volume = ipc.NameToId("Volume");
    ASSERT_TRUE(ipc.Notify(id, id, 4, "abc", volume));
    ASSERT_TRUE(ipc.SetProperty(id, volume, 4, "abc"));
    ASSERT_TRUE(ipc.Lock(1000));
    const TOxaIpcClientRecord record = ipc.Body().Read<TOxaIpcClientRecord>(ipc.FindClient(id));
    ipc.Unlock();
    const std::uint32_t offsets[] = {record.Messages, record.Properties, record.Types};
    THostileMember member("VANTELPC", 1, 16384);
    member.SetWord(offsets[c.Record] + c.Field, c.Value);
    std::uint32_t size = 0;
    std::vector<std::uint8_t> data;
    TOxaIpcMessage message;
    if (c.Record == 0) {
      ipc.TakeNext(id, false, message);
    } else if (c.Record == 1) {
      ipc.GetProperty(id, volume, size, data);
    } else {
      ipc.NotifyAll(id, {ipc.NameToId("Picture")}, volume, 0, nullptr);
    }
    EXPECT_FALSE(ipc.Active()) << c.What;
    EXPECT_EQ(events.Damages, 1) << c.What;
    EXPECT_TRUE(data.empty() && message.Payload.empty()) << c.What;
  }
}

TEST_F(TClientTest, Misuse)
{
  TRecorder client(Ipc(), "Client");
  TOxaIpcClient lonely(nullptr);
  std::uint32_t size = 7;
  std::vector<std::uint8_t> data{1};
  EXPECT_FALSE(lonely.Notify("A", "B", "c"));
  EXPECT_FALSE(lonely.Call("A", "B", size, data, 0, nullptr));
  EXPECT_EQ(size, 0u);
  EXPECT_TRUE(data.empty());
  struct TCase {
    const char* Expected;
    std::function<void()> Action;
  };
  const TCase inactive[] = {
      {"TOxaIpc.Notify: Not active", [&] { Ipc().Notify(0, 0, 0, nullptr, 0); }},
      {"TOxaIpc.NotifyAll: Not active", [&] { Ipc().NotifyAll(0, {}, 0, 0, nullptr); }},
      {"TOxaIpc.Call: Not active", [&] { Ipc().Call(0, 0, size, data, 0, nullptr, 10, false, 0); }},
      {"TOxaIpc.Call: Not active", [&] { client.Client.Call("A", "B", size, data, 0, nullptr); }},
  };
  for (const auto& c : inactive) {
    try {
      c.Action();
      ADD_FAILURE() << c.Expected;
    } catch (const EOxaFatal& error) {
      EXPECT_EQ(error.Message(), c.Expected);
    }
  }
  ASSERT_TRUE(Ipc().Open(true));
  try {
    client.Client.Call("Client", "B", size, data, 0, nullptr);
    ADD_FAILURE() << "a call under the lock";
  } catch (const EOxaFatal& error) {
    EXPECT_EQ(error.Message(), "TOxaIpc.Call: Locked");
  }
  Ipc().Unlock();
  EXPECT_FALSE(client.Client.Notify("Client", "B", 4, nullptr)) << "a size without data";
}

}  // namespace

namespace {

// Caller and callee in one process: the send reaches our own window directly.
TEST_F(TClientTest, ACallToAClientOfTheSameMember)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder caller(Ipc(), "Caller");
  TRecorder callee(Ipc(), "Callee");
  struct TEcho : TObject {
    TOxaIpcClient* Client;
    bool NotificationAfterResult = false;
    void Answer(TObject*, POxaIpcMessage message)
    {
      Client->Result(message, static_cast<std::uint32_t>(message->Payload.size()), message->Payload.data());
      NotificationAfterResult = TOxaIpcClient::IsNotification(message) && message->Call;
    }
  } echo;
  echo.Client = &callee.Client;
  callee.Client.AddCommand("Echo", MakeMethod<&TEcho::Answer>(&echo));
  std::uint32_t size = 0;
  std::vector<std::uint8_t> data;
  ASSERT_TRUE(caller.Client.Call("Callee", "Echo", size, data, 3, "hi", 1000, false));
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(std::string(data.begin(), data.end()), std::string("hi\0", 3));
  EXPECT_TRUE(echo.NotificationAfterResult) << "answered, it reads as a notification, yet stays a call";
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

}  // namespace

namespace {

// A call message whose record is not a waiting call for one of our clients is answered with 0,
// which the caller takes as a failed call, and reaches no handler.
TEST_F(TClientTest, ACallMessageForNoWaitingCallIsAnsweredWithZero)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder target(Ipc(), "Target");
  ASSERT_TRUE(PumpUntil([&] { return ClientRecord(target.Client.ClientId()).Messages == 0; }));
  ASSERT_TRUE(target.Client.Notify("Target", "Note", "queued"));
  const std::uint32_t queued = ClientRecord(target.Client.ClientId()).Messages;
  // A record laid out as a call to a client of another member.
  const std::uint32_t foreign = Ipc().NameToId("Foreign");
  ASSERT_TRUE(Ipc().Lock(1000));
  const std::uint32_t call = Ipc().AllocShared(OxaIpcMessageRecordSize(0));
  Ipc().Body().Write(call, TOxaIpcMessageRecord{call, OxaIpcPendingCall, foreign, 1, 2, 3, 4, 0});
  const std::uint32_t answered = Ipc().AllocShared(OxaIpcMessageRecordSize(0));
  Ipc().Body().Write(answered, TOxaIpcMessageRecord{answered, 0, target.Client.ClientId(), 1, 2, 3, 4, 0});
  Ipc().Unlock();
  struct TCase {
    const char* What;
    std::uint32_t Offset;
  };
  const TCase cases[] = {
      {"no record", 0},
      {"off the block grid", call + 1},
      {"outside the body", 0x7FFFFFF4u},
      {"a queued notification", queued},
      {"a call to nobody here", call},
      {"a call already answered", answered},
  };
  target.Messages.clear();
  for (const auto& c : cases) {
    const LRESULT result = SendMessageA(Ipc().Window(), Ipc().CallMessage(), Ipc().Pid(), c.Offset);
    EXPECT_EQ(result, 0) << c.What;
    EXPECT_TRUE(Ipc().Active()) << c.What;
  }
  EXPECT_TRUE(target.Messages.empty());
  // The same record, made a call to our client, is served.
  ASSERT_TRUE(Ipc().Lock(1000));
  Ipc().Body().Write(
      answered, TOxaIpcMessageRecord{answered, OxaIpcPendingCall, target.Client.ClientId(), 1, 2, 3, 4, 0});
  Ipc().Unlock();
  EXPECT_EQ(SendMessageA(Ipc().Window(), Ipc().CallMessage(), Ipc().Pid(), answered),
            static_cast<LRESULT>(answered));
  EXPECT_EQ(target.Messages.size(), 1u);
}

}  // namespace

namespace {

TEST_F(TClientTest, APostForAClientThatLeftIsStillCounted)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder sender(Ipc(), "Sender");
  auto leaving = std::make_unique<TRecorder>(Ipc(), "Leaving");
  ASSERT_TRUE(PumpUntil([&] { return ProcessRecord(Ipc().ProcessOffset()).Pending == 0; }));
  ASSERT_TRUE(sender.Client.Notify("Leaving", "Note", "x"));
  EXPECT_EQ(ProcessRecord(Ipc().ProcessOffset()).Pending, 1u);
  leaving.reset();  // its detach announcement is posted to the sender
  EXPECT_EQ(ProcessRecord(Ipc().ProcessOffset()).Pending, 2u);
  EXPECT_TRUE(PumpUntil([&] { return ProcessRecord(Ipc().ProcessOffset()).Pending == 0; }, 2000));
}

TEST_F(TClientTest, RegisteringWakesWhoWaitsAndMakesNoEventForNobody)
{
  ASSERT_TRUE(Ipc().Open(false));
  TRecorder alone(Ipc(), "Alone");
  ASSERT_TRUE(alone.Client.Registered());
  EXPECT_FALSE(TObjectProbe(OxaIpcClientEventName(Ipc().Group(), Ipc().NameToId("Alone"))).Exists());

  // A wait on a bus object of its own, as another process would wait.
  TOxaIpc other(nullptr);
  ASSERT_TRUE(other.Open(false));
  bool found = false;
  std::thread waiter([&] { found = other.Exists(other.NameToId("Late"), 10000); });
  const std::string event = OxaIpcClientEventName(Ipc().Group(), Ipc().NameToId("Late"));
  ASSERT_TRUE(PumpUntil([&] { return TObjectProbe(event).Exists(); })) << "the waiter holds the event";
  const auto start = std::chrono::steady_clock::now();
  TRecorder late(Ipc(), "Late");
  waiter.join();
  EXPECT_TRUE(found);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "woken, not timed out";
}

}  // namespace
