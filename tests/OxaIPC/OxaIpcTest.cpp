// One member on the bus: the layout it lays out, names, ids, the lock, growth, and what it does
// with a body that another member damaged.

#include <chrono>
#include <thread>

#include "framework/OxaMemory.h"
#include "platform/windows/Messages.h"
#include "tests/OxaIPC/OxaIpcTestSupport.h"
#include "tests/support/MessagePump.h"

namespace {

TEST_F(TBusTest, TheFirstMemberLaysOutHeadAndBody)
{
  ASSERT_TRUE(Ipc().Open(false));
  const TOxaIpcHeadHeader head = Ipc().HeadHeader();
  EXPECT_STREQ(head.Name, "VANTELPC");
  EXPECT_EQ(head.Magic, 207u);
  EXPECT_EQ(head.Generation, 1u);
  EXPECT_EQ(head.BodySize, 16384u);
  EXPECT_EQ(Ipc().Pid(), 1u);
  const auto processes = Ipc().Processes();
  ASSERT_EQ(processes.size(), 1u);
  EXPECT_EQ(processes[0].Record.Pid, 1u);
  EXPECT_EQ(processes[0].Record.Generation, 1u);
  EXPECT_EQ(processes[0].Record.Pending, 0u);
  EXPECT_EQ(processes[0].Record.Window,
            static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(Ipc().Window())));
  EXPECT_EQ(FEvents.Opens, 1);
  EXPECT_FALSE(Ipc().Locked());
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

TEST_F(TBusTest, NamesAndIds)
{
  EXPECT_EQ(Ipc().NameToId("Pyrmel"), 0u);  // inactive
  ASSERT_TRUE(Ipc().Open(false));
  struct TCase {
    const char* Name;
    bool Zero;
  };
  const TCase cases[] = {{"", true}, {"*", true}, {"**", false}, {"a", false}, {" ", false}};
  for (const auto& c : cases) {
    EXPECT_EQ(Ipc().NameToId(c.Name) == 0, c.Zero) << c.Name;
  }
  const std::uint32_t id = Ipc().NameToId("VuDirAzuzo");
  EXPECT_EQ(Ipc().NameToId("VUDIRAZUZO"), id);
  EXPECT_EQ(Ipc().NameToId("vudirazuzo"), id);
  EXPECT_EQ(Ipc().IdToName(id), "VuDirAzuzo");  // as first given
  // Case is ignored beyond ASCII too; names that differ otherwise stay apart.
  const std::uint32_t umlaut = Ipc().NameToId("\xC3\x84rger");  // "Ärger"
  EXPECT_EQ(Ipc().NameToId("\xC3\xA4RGER"), umlaut);
  EXPECT_NE(Ipc().NameToId("Arger"), umlaut);
  EXPECT_NE(Ipc().NameToId("VuDirAzuzo2"), id);
  EXPECT_NE(Ipc().NameToId("VuDirAzuz"), id);
  EXPECT_EQ(Ipc().IdToName(0), "");
  EXPECT_EQ(Ipc().IdToName(0xFFFFFF), "");
  // The configured names were interned at open, and ids are unique across kinds.
  EXPECT_NE(Ipc().ConfiguredId(TOxaIpc::nkClientDied), 0u);
  EXPECT_EQ(Ipc().NameToId("OnDied"), Ipc().ConfiguredId(TOxaIpc::nkClientDied));
  const std::uint32_t fresh = Ipc().NewId();
  EXPECT_GT(fresh, id);
  EXPECT_EQ(Ipc().NameToId("Another"), fresh + 1);
  EXPECT_NE(Ipc().Pid(), fresh);
  // Setting one of the first three names while active resolves it again.
  Ipc().SetClientDiedName("Gone");
  EXPECT_EQ(Ipc().ConfiguredId(TOxaIpc::nkClientDied), Ipc().NameToId("Gone"));
  Ipc().Close();
  EXPECT_EQ(Ipc().NewId(), 0u);
  EXPECT_EQ(Ipc().IdToName(id), "");
}

TEST_F(TBusTest, GroupNameLengthAndChange)
{
  EXPECT_NO_THROW(Ipc().SetGroupName(std::string(255, 'g')));
  EXPECT_THROW(Ipc().SetGroupName(std::string(256, 'g')), EOxaFatal);
  ASSERT_TRUE(Ipc().Open(false));
  EXPECT_STREQ(Ipc().HeadHeader().Name, std::string(255, 'G').c_str());
  Ipc().SetGroupName(std::string(255, 'g'));  // the same: stays open
  EXPECT_TRUE(Ipc().Active());
  Ipc().SetGroupName("Other");
  EXPECT_FALSE(Ipc().Active());
  EXPECT_EQ(FEvents.Closes, 1);
  EXPECT_FALSE(FEvents.LockedInHandler);
}

TEST_F(TBusTest, LockIsCountedAndOnlyWhileActive)
{
  EXPECT_FALSE(Ipc().Lock(0));
  Ipc().Unlock();  // nothing while inactive
  ASSERT_TRUE(Ipc().Open(true));
  EXPECT_TRUE(Ipc().Locked());
  EXPECT_TRUE(Ipc().Open(true));  // active: only takes the lock again
  Ipc().Unlock();
  Ipc().Unlock();
  EXPECT_FALSE(Ipc().Locked());
  EXPECT_THROW(Ipc().Unlock(), EOxaNotLocked);
  EXPECT_FALSE(FEvents.LockedInHandler);
}

TEST_F(TBusTest, InvariantFailuresNameTheBus)
{
  ASSERT_TRUE(Ipc().Open(false));
  try {
    Ipc().AllocShared(16);  // without the lock
    FAIL() << "no assertion";
  } catch (const EOxaFatal& error) {
    EXPECT_NE(error.Message().find("Assertion failure"), std::string::npos);
    EXPECT_NE(error.Message().find("OxaIpc"), std::string::npos);
  }
}

// The largest free node of the body as another process sees it.
std::uint32_t LargestFree(std::uint32_t generation)
{
  TOxaMappedMemory memory;
  EXPECT_TRUE(memory.OpenReadOnly(OxaIpcBodyName("VANTELPC", generation)));
  TOxaMemoryManager manager;
  manager.Open(memory.Data(), memory.Size(), 0, false);
  std::uint32_t largest = 0;
  for (const auto& node : manager.FreeNodes()) {
    largest = std::max(largest, node.Size);
  }
  return largest;
}

TEST_F(TBusTest, GrowthTakesWholeStepsThatHoldTheBlock)
{
  struct TCase {
    std::uint32_t Size;   // 0: exactly what the largest free node holds; 1: one byte more
    std::uint32_t Steps;  // whole steps the body grows by
  };
  // A step must hold the whole block (the request, its size word, rounded to 16 bytes).
  const TCase cases[] = {{0, 0}, {1, 1}, {16380, 1}, {16381, 2}, {32764, 2}, {32765, 3}};
  for (const auto& c : cases) {
    TTempMachine machine;
    TOxaIpc ipc(nullptr);
    ASSERT_TRUE(ipc.Open(true));
    const std::uint32_t fits = LargestFree(1) - 4;
    const std::uint32_t size = c.Size <= 1 ? fits + c.Size : c.Size;
    EXPECT_NE(ipc.AllocShared(size), 0u);
    const TOxaIpcHeadHeader head = ipc.HeadHeader();
    EXPECT_EQ(head.BodySize, 16384u + c.Steps * 16384u) << c.Size;
    EXPECT_EQ(head.Generation, 1u + (c.Steps == 0 ? 0u : 1u)) << c.Size;
    EXPECT_EQ(ipc.Processes().at(0).Record.Generation, head.Generation);
    ipc.Unlock();
    EXPECT_EQ(ipc.CheckHeaps(), "");
  }
}

TEST_F(TBusTest, AWrongHeadFailsTheOpen)
{
  struct TCase {
    std::uint32_t Magic;
    const char* Name;
    std::uint32_t Generation;
    std::uint32_t BodySize;
  };
  const TCase cases[] = {
      {13, "VANTELPC", 1, 16384},        {207, "OTHER", 1, 16384},    {207, "VANTELP", 1, 16384},
      {207, "VANTELPCX", 1, 16384},      {207, "VANTELPC", 0, 16384}, {207, "VANTELPC", 1, 16383},
      {207, "VANTELPC", 1, 0xFFFFFFF0u}, {207, "VANTELPC", 2, 16384},  // no body of generation 2
  };
  for (const auto& c : cases) {
    TTempMachine machine;
    TOxaMutex mutex;
    bool existed = false;
    mutex.Open(OxaIpcMutexName("VANTELPC"), existed);
    TOxaProcessMemory head;
    head.Open(mutex, OxaIpcHeadName("VANTELPC"), OxaIpcHeadHeaderSize, 0);
    auto& header = *static_cast<TOxaIpcHeadHeader*>(head.GetHeader());
    std::strncpy(header.Name, c.Name, sizeof(header.Name));
    header.Magic = c.Magic;
    header.Generation = c.Generation;
    header.BodySize = c.BodySize;
    TBusEvents events;
    TOxaIpc ipc(nullptr);
    events.Watch(ipc);
    EXPECT_FALSE(ipc.Open(false)) << c.Name << " " << c.Magic;
    EXPECT_FALSE(ipc.Active());
    EXPECT_EQ(events.Damages, 1);
    EXPECT_EQ(events.Opens, 0);
    // Nothing of the failed open stays: once the bad head is gone the bus starts afresh.
    head.Close();
    mutex.Close();
    EXPECT_TRUE(ipc.Open(false));
    EXPECT_EQ(ipc.HeadHeader().Magic, 207u);
    EXPECT_EQ(ipc.Pid(), 1u);
  }
}

TEST_F(TBusTest, ADamagedBodyFailsALaterOpen)
{
  ASSERT_TRUE(Ipc().Open(false));
  {
    THostileMember body("VANTELPC", 1, 16384);
    body.SetWord(body.Word(BodyNamesAt), body.Word(BodyNamesAt));  // the name list loops
  }
  TBusEvents events;
  TOxaIpc late(nullptr);
  events.Watch(late);
  EXPECT_FALSE(late.Open(false));
  EXPECT_FALSE(late.Active());
  EXPECT_EQ(events.Damages, 1);
  EXPECT_EQ(events.Opens, 0);
  EXPECT_EQ(Ipc().Processes().size(), 1u);  // the late member left nothing behind
  EXPECT_EQ(Ipc().IdToName(424242), "");    // we meet the loop as well: the bus is closed
  EXPECT_FALSE(Ipc().Active());
}

TEST_F(TBusTest, ADamagedRecordClosesTheBusInsteadOfCrashing)
{
  struct TCase {
    const char* What;
    // Damages the body of a bus with one process, the names interned at open and "Victim".
    void (*Damage)(THostileMember& body);
    // The operation that meets the damage.
    void (*Meet)(TOxaIpc& ipc);
  };
  const TCase cases[] = {
      {"name list head outside the body", [](THostileMember& b) { b.SetWord(BodyNamesAt, 0x7FFFFFF4u); },
       [](TOxaIpc& ipc) { ipc.NameToId("Fresh"); }},
      {"name list head off a block boundary",
       [](THostileMember& b) { b.SetWord(BodyNamesAt, b.Word(BodyNamesAt) + 8); },
       [](TOxaIpc& ipc) { ipc.IdToName(12345); }},
      {"name list that loops", [](THostileMember& b) { b.SetWord(b.Word(BodyNamesAt), b.Word(BodyNamesAt)); },
       [](TOxaIpc& ipc) { ipc.NameToId("Fresh"); }},
      {"name without its zero",
       [](THostileMember& b) {
         const std::uint32_t record = b.Word(BodyNamesAt);
         std::memset(b.Base() + record + 8, 'x', OxaIpcNameRecordSize(6) - 8);
       },
       [](TOxaIpc& ipc) { ipc.NameToId("Fresh"); }},
      {"process list that loops",
       [](THostileMember& b) { b.SetWord(b.Word(BodyProcessesAt), b.Word(BodyProcessesAt)); },
       [](TOxaIpc& ipc) { ipc.Close(); }},
      {"client record with a huge message",
       [](THostileMember& b) {
         const std::uint32_t client = b.Word(BodyClientsAt);
         const std::uint32_t message = b.Word(client + 20);
         b.SetWord(message + 28, 0xFFFFFFF0u);
       },
       [](TOxaIpc& ipc) {
         TOxaIpcMessageCopy message;
         ipc.TakeMessage(ipc.NameToId("Victim"), message);
       }},
  };
  for (const auto& c : cases) {
    TTempMachine machine;
    TBusEvents events;
    TOxaIpc ipc(nullptr);
    events.Watch(ipc);
    ASSERT_TRUE(ipc.Open(false));
    const std::uint32_t victim = ipc.NameToId("Victim");
    ASSERT_TRUE(ipc.Lock(1000));
    ASSERT_TRUE(ipc.CheckGeneration());
    ASSERT_NE(ipc.CreateClientRecord(victim), 0u);
    ipc.Unlock();
    ASSERT_TRUE(ipc.Notify(victim, victim, 4, "abc", victim));
    {
      THostileMember body("VANTELPC", 1, 16384);
      c.Damage(body);
    }
    c.Meet(ipc);
    EXPECT_FALSE(ipc.Active()) << c.What;
    EXPECT_EQ(events.Damages, 1) << c.What;
    EXPECT_FALSE(ipc.Locked()) << c.What;
  }
}

TEST_F(TBusTest, ANotifyCountsOnlyWithTheMembersOwnId)
{
  ASSERT_TRUE(Ipc().Open(false));
  TOxaIpc other(nullptr);
  ASSERT_TRUE(other.Open(true));
  ASSERT_NE(other.AllocShared(20000), 0u);  // grows; we are told to move on
  other.Unlock();
  MSG posted{};
  ASSERT_TRUE(PeekMessageA(&posted, Ipc().Window(), Ipc().NotifyMessage(), Ipc().NotifyMessage(), PM_REMOVE));
  EXPECT_EQ(posted.wParam, Ipc().Pid());
  EXPECT_EQ(posted.lParam, 0);
  const auto record = [&] {
    for (const auto& process : other.Processes()) {
      if (process.Record.Pid == Ipc().Pid()) {
        return process.Record;
      }
    }
    return TOxaIpcProcessRecord{};
  };
  EXPECT_EQ(record().Pending, 1u);
  struct TCase {
    WPARAM Id;
    std::uint32_t Pending;
  };
  const TCase cases[] = {{other.Pid(), 1}, {Ipc().Pid() + 1, 1}, {0, 1}, {Ipc().Pid(), 0}};
  for (const auto& c : cases) {
    ASSERT_TRUE(PostMessageA(Ipc().Window(), Ipc().NotifyMessage(), c.Id, 0));
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(record().Pending, c.Pending) << c.Id;
    EXPECT_EQ(record().Generation, c.Pending == 0 ? 2u : 1u) << c.Id;
  }
}

TEST_F(TBusTest, HandlersRunWithoutTheLock)
{
  ASSERT_TRUE(Ipc().Open(true));  // keeps the lock, but not while OnOpen runs
  EXPECT_TRUE(Ipc().Locked());
  Ipc().Unlock();
  Ipc().Close();
  EXPECT_EQ(FEvents.Opens, 1);
  EXPECT_EQ(FEvents.Closes, 1);
  EXPECT_FALSE(FEvents.LockedInHandler);
}

}  // namespace
