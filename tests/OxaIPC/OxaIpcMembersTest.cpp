// Several member processes: attaching, growth and remapping, dead members, a member killed
// holding the lock, and leaving while an older member hangs.

#include <chrono>
#include <set>

#include "tests/OxaIPC/OxaIpcTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MessagePump.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

class TMembers : public TBusTest {
 protected:
  std::unique_ptr<TChildProcess> Member()
  {
    auto member = std::make_unique<TChildProcess>(OXA_IPC_HELPER, std::vector<std::string>{});
    return member;
  }
  TOxaIpcProcessRecord RecordOf(std::uint32_t pid)
  {
    for (const auto& process : Ipc().Processes()) {
      if (process.Record.Pid == pid) {
        return process.Record;
      }
    }
    return {};
  }
};

TEST_F(TMembers, TheSecondMemberAttachesWithTheNextId)
{
  ASSERT_TRUE(Ipc().Open(false));
  const std::uint32_t last = Ipc().NewId();
  auto member = Member();
  EXPECT_EQ(member->Ask("open VantelPC"), "ok " + std::to_string(last + 1));
  EXPECT_EQ(Ipc().Processes().size(), 2u);
  // Names are shared: the member finds ours.
  const std::uint32_t id = Ipc().NameToId("Shared");
  EXPECT_EQ(member->Ask("intern SHARED"), std::to_string(id));
  EXPECT_EQ(member->Ask("close"), "ok");
  EXPECT_EQ(Ipc().Processes().size(), 1u);
}

TEST_F(TMembers, GrowthMovesEveryMemberToTheNewBody)
{
  ASSERT_TRUE(Ipc().Open(false));
  auto early = Member();
  auto late = Member();
  ASSERT_EQ(early->Ask("open VantelPC").substr(0, 2), "ok");
  ASSERT_EQ(late->Ask("open VantelPC").substr(0, 2), "ok");
  ASSERT_TRUE(Ipc().Lock(1000));
  ASSERT_TRUE(Ipc().CheckGeneration());
  ASSERT_NE(Ipc().AllocShared(20000), 0u);
  Ipc().Unlock();
  const TOxaIpcHeadHeader head = Ipc().HeadHeader();
  EXPECT_EQ(head.Generation, 2u);
  EXPECT_EQ(head.BodySize, 16384u * 3);
  // Both were told and have not moved yet.
  for (const auto& process : Ipc().Processes()) {
    if (process.Offset != Ipc().ProcessOffset()) {
      EXPECT_EQ(process.Record.Generation, 1u);
      EXPECT_EQ(process.Record.Pending, 1u);
    }
  }
  // One moves on its next locked operation, the other on the posted notify.
  EXPECT_NE(early->Ask("intern Moved"), "damaged");
  EXPECT_EQ(late->Ask("pump 300"), "ok");
  for (const auto& process : Ipc().Processes()) {
    EXPECT_EQ(process.Record.Generation, 2u);
  }
  const std::string lateState = late->Ask("state");
  EXPECT_EQ(lateState, "1 2 2 0");  // active, head 2, mapped 2, nothing pending
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

TEST_F(TMembers, AKilledMembersClientsAreAnnouncedOnce)
{
  ASSERT_TRUE(Ipc().Open(false));
  const std::uint32_t watcher = Ipc().NameToId("Watcher");
  ASSERT_TRUE(Ipc().Lock(1000));
  ASSERT_TRUE(Ipc().CheckGeneration());
  ASSERT_NE(Ipc().CreateClientRecord(watcher), 0u);
  Ipc().Unlock();
  auto member = Member();
  ASSERT_EQ(member->Ask("open VantelPC").substr(0, 2), "ok");
  const std::string first = member->Ask("client First");
  const std::string second = member->Ask("client Second");
  ASSERT_NE(first, "fail");
  ASSERT_NE(second, "fail");
  member->Kill();
  EXPECT_FALSE(Ipc().Exists(std::stoul(first), 0));
  EXPECT_EQ(Ipc().Processes().size(), 1u);
  EXPECT_EQ(Ipc().ClientIds(), std::vector<std::uint32_t>{watcher});
  std::multiset<std::string> announced;
  TOxaIpcMessageCopy message;
  while (Ipc().TakeMessage(watcher, message)) {
    EXPECT_EQ(message.Header.Name, Ipc().NameToId("OnDied"));
    EXPECT_EQ(message.Header.Size, 0u);
    announced.insert(std::to_string(message.Header.Sender));
  }
  EXPECT_EQ(announced, (std::multiset<std::string>{first, second}));
  // A second lookup finds nothing more to announce.
  EXPECT_FALSE(Ipc().Exists(std::stoul(second), 0));
  EXPECT_FALSE(Ipc().TakeMessage(watcher, message));
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

TEST_F(TMembers, ClientRecordsLeaveWithTheirMember)
{
  ASSERT_TRUE(Ipc().Open(false));
  auto member = Member();
  ASSERT_EQ(member->Ask("open VantelPC").substr(0, 2), "ok");
  ASSERT_NE(member->Ask("client Passing"), "fail");
  EXPECT_EQ(Ipc().ClientIds().size(), 1u);
  EXPECT_EQ(member->Ask("close"), "ok");
  EXPECT_TRUE(Ipc().ClientIds().empty());
  EXPECT_EQ(Ipc().CheckHeaps(), "");
}

TEST_F(TMembers, AMemberKilledHoldingTheLockLeavesTheBusUsable)
{
  ASSERT_TRUE(Ipc().Open(false));
  auto member = Member();
  ASSERT_EQ(member->Ask("open VantelPC").substr(0, 2), "ok");
  ASSERT_EQ(member->Ask("hold"), "held");
  member->Kill();
  const auto start = steady_clock::now();
  const std::uint32_t id = Ipc().NameToId("AfterTheCrash");
  EXPECT_LT(steady_clock::now() - start, milliseconds(5000));
  ASSERT_TRUE(Ipc().Active());  // the heap was sound, so the bus goes on
  EXPECT_NE(id, 0u);
  EXPECT_EQ(Ipc().CheckHeaps(), "");
  EXPECT_EQ(FEvents.Damages, 0);
}

TEST_F(TMembers, AMemberKilledMidWriteDamagesTheBusWithoutHangingIt)
{
  ASSERT_TRUE(Ipc().Open(false));
  auto member = Member();
  ASSERT_EQ(member->Ask("open VantelPC").substr(0, 2), "ok");
  {
    // What the member was writing when it died: a free node that is not zero any more.
    THostileMember body("VANTELPC", 1, 16384);
    const std::uint32_t freeList = body.Word(4);
    body.SetWord(freeList + 12, 0xDEADBEEF);
  }
  ASSERT_EQ(member->Ask("hold"), "held");
  member->Kill();
  EXPECT_EQ(Ipc().NameToId("AfterTheCrash"), 0u);
  EXPECT_FALSE(Ipc().Active());
  EXPECT_EQ(FEvents.Damages, 1);
}

TEST_F(TMembers, CloseWaitsOnlyBrieflyForAHungOlderMember)
{
  ASSERT_TRUE(Ipc().Open(false));
  auto member = Member();
  ASSERT_EQ(member->Ask("open VantelPC").substr(0, 2), "ok");
  ASSERT_TRUE(Ipc().Lock(1000));
  ASSERT_TRUE(Ipc().CheckGeneration());
  ASSERT_NE(Ipc().AllocShared(20000), 0u);
  Ipc().Unlock();
  member->WriteLine("hang 4000");
  const auto start = steady_clock::now();
  Ipc().Close();
  EXPECT_LT(steady_clock::now() - start, milliseconds(2500));
  EXPECT_FALSE(Ipc().Active());
  EXPECT_EQ(member->ReadLine(), "ok");
  // Its body went with us: it finds that out and leaves cleanly.
  EXPECT_EQ(member->Ask("intern Late"), "damaged");
  EXPECT_EQ(member->Ask("damaged"), "1");
}

TEST_F(TMembers, CloseMovesAnOlderMemberOnBeforeLeaving)
{
  ASSERT_TRUE(Ipc().Open(false));
  auto member = Member();
  ASSERT_EQ(member->Ask("open VantelPC").substr(0, 2), "ok");
  ASSERT_TRUE(Ipc().Lock(1000));
  ASSERT_TRUE(Ipc().CheckGeneration());
  ASSERT_NE(Ipc().AllocShared(20000), 0u);
  Ipc().Unlock();
  member->WriteLine("pump 3000");  // handles the notify; the close's send reaches it as well
  Ipc().Close();
  EXPECT_EQ(member->ReadLine(), "ok");
  EXPECT_EQ(member->Ask("state"), "1 2 2 0");
  EXPECT_NE(member->Ask("intern Late"), "damaged");
}

}  // namespace
