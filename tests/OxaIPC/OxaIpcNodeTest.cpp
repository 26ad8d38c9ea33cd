// This program's node against a peer process: the life cycle, opening and closing, the command
// table's payload sizes, the host's window, sender filters and requests to the host.

#include <chrono>

#include "tests/OxaIPC/OxaIpcNodeSupport.h"

namespace {

TEST_F(TNodeTest, ComingOntoTheBusPublishesTheVersionAndAnnouncesItself)
{
  auto peer = Peer({"Watcher"});
  StartNode();
  EXPECT_EQ(Node().Client().ClientTypes(), "VuDirAzuzo;PcSource;Source");
  EXPECT_EQ(Events().Creates, 1);
  EXPECT_EQ(Ask(*peer, "prop VuDirAzuzo Version"), "ok 12 " + HexWords({0, 4, 1}));
  EXPECT_EQ(Ask(*peer, "pump 200"), "ok");
  EXPECT_EQ(Ask(*peer, "received Watcher"), "OnCreate<VuDirAzuzo:-");
  Node().SetIpc(nullptr);
  EXPECT_EQ(Ask(*peer, "pump 200"), "ok");
  EXPECT_EQ(Ask(*peer, "received Watcher"), "OnDestroy<VuDirAzuzo:-");
}

TEST_F(TNodeTest, ACreateNotificationIsAnsweredToTheAskerOnly)
{
  StartNode();
  auto peer = Peer({"X", "Y"});
  ASSERT_EQ(Ask(*peer, "notify X VuDirAzuzo Create -"), "ok");
  Settle();
  EXPECT_EQ(Ask(*peer, "pump 200"), "ok");
  EXPECT_EQ(Ask(*peer, "received X"), "OnCreate<VuDirAzuzo:-");
  EXPECT_EQ(Ask(*peer, "received Y"), "");
  EXPECT_EQ(Ask(*peer, "call X VuDirAzuzo Create - 5000"), "ok 0 -");
  EXPECT_EQ(Ask(*peer, "received X"), "") << "a call gets its answer, not a notification";
}

TEST_F(TNodeTest, AnOpenCallWithAShortPayloadOpensWithTheDefaults)
{
  StartNode();
  auto peer = Peer({"Host"});
  Node().Status.SetFormatted("Track 1");
  EXPECT_EQ(Ask(*peer, "call Host VuDirAzuzo Open 01020304 5000"), "ok 4 " + HexWords({1}));
  EXPECT_EQ(Events().SeenParameters.A, -1);
  EXPECT_EQ(Events().SeenParameters.B, 0);
  EXPECT_EQ(Events().SeenParameters.C, 0);
  EXPECT_TRUE(Node().GetOpened());
  EXPECT_EQ(Ask(*peer, "prop VuDirAzuzo Active"), "ok 4 " + HexWords({1}));
  const std::pair<const char*, int> records[] = {
      {"Picture", 12}, {"Video", 8}, {"Display", 12}, {"Audio", 8}, {"Status", 288}};
  for (const auto& [name, size] : records) {
    const std::string prefix = "ok " + std::to_string(size) + " ";
    EXPECT_EQ(Ask(*peer, std::string("prop VuDirAzuzo ") + name).substr(0, prefix.size()), prefix) << name;
  }
  const std::vector<std::string> log = {"IpcOpen", "Activate"};
  ASSERT_GE(Events().Log.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(Events().Log.begin(), Events().Log.begin() + 2), log);
  EXPECT_EQ(Events().Log.back().substr(Events().Log.back().rfind("Formatted")), "Formatted: Track 1");
  // The parameters are meaningful only inside OnOpen.
  EXPECT_EQ(Node().OpenParameters().A, -1);
}

TEST_F(TNodeTest, TwelveBytesOfOpenAreItsParameters)
{
  StartNode();
  auto peer = Peer({"Host"});
  EXPECT_EQ(Ask(*peer, "call Host VuDirAzuzo Open " + HexWords({5, 6, 7}) + " 5000"),
            "ok 4 " + HexWords({1}));
  EXPECT_EQ(Events().SeenParameters.A, 5);
  EXPECT_EQ(Events().SeenParameters.B, 6);
  EXPECT_EQ(Events().SeenParameters.C, 7);
}

TEST_F(TNodeTest, AnOpenWhileOpenAnswersWithoutPublishingAgain)
{
  StartNode();
  auto peer = Peer({"Host", "Watcher"});
  ASSERT_EQ(Ask(*peer, "call Host VuDirAzuzo Open - 5000"), "ok 4 " + HexWords({1}));
  EXPECT_EQ(Ask(*peer, "pump 200"), "ok");
  const std::string first = Ask(*peer, "received Watcher");
  EXPECT_EQ(first, "OnPicture<VuDirAzuzo:" + HexWords({0, 0, 0}) + ",OnVideo<VuDirAzuzo:" + HexWords({0, 0}) +
                       ",OnDisplay<VuDirAzuzo:" + HexWords({0, 0, 0}) + ",OnAudio<VuDirAzuzo:" +
                       HexWords({0, 0}) + ",OnStatus<VuDirAzuzo:" + HexWords({0, 0, 0, 0, 0, 0, 0, 0}) +
                       std::string(512, '0') + ",OnOpen<VuDirAzuzo:" + HexWords({1}));
  EXPECT_EQ(Ask(*peer, "call Host VuDirAzuzo Open - 5000"), "ok 4 " + HexWords({1}));
  EXPECT_EQ(Events().Opens, 2) << "OnOpen is asked again";
  EXPECT_EQ(Ask(*peer, "pump 200"), "ok");
  EXPECT_EQ(Ask(*peer, "received Watcher"), "");
  Ask(*peer, "received Host");
  // A notification asker gets the answer as "OnOpen".
  ASSERT_EQ(Ask(*peer, "notify Host VuDirAzuzo Open -"), "ok");
  Settle();
  EXPECT_EQ(Ask(*peer, "pump 200"), "ok");
  EXPECT_EQ(Ask(*peer, "received Host"), "OnOpen<VuDirAzuzo:" + HexWords({1}));
  EXPECT_EQ(Ask(*peer, "received Watcher"), "");
}

TEST_F(TNodeTest, ARefusedOpenAnswersZeroAndPublishesNothingButActive)
{
  StartNode();
  auto peer = Peer({"Host", "Watcher"});
  Events().Accept = false;
  EXPECT_EQ(Ask(*peer, "call Host VuDirAzuzo Open - 5000"), "ok 4 " + HexWords({0}));
  EXPECT_FALSE(Node().GetOpened());
  EXPECT_EQ(Ask(*peer, "prop VuDirAzuzo Active"), "ok 4 " + HexWords({0}));
  EXPECT_EQ(Ask(*peer, "prop VuDirAzuzo Picture"), "fail");
  ASSERT_EQ(Ask(*peer, "notify Host VuDirAzuzo Open -"), "ok");
  Settle();
  EXPECT_EQ(Ask(*peer, "pump 200"), "ok");
  EXPECT_EQ(Ask(*peer, "received Host"), "OnOpen<VuDirAzuzo:" + HexWords({0}));
  EXPECT_EQ(Ask(*peer, "received Watcher"), "");
}

TEST_F(TNodeTest, ClosingAnswersWhetherTheSourceIsClosed)
{
  StartNode();
  auto peer = Peer({"Host"});
  struct TCase {
    bool OpenFirst;
    bool Accept;
    const char* Payload;
    std::int32_t Answer;
    std::int32_t ParameterA;
  };
  const TCase cases[] = {
      {true, true, "-", 1, -1},                  // no parameters: defaults
      {true, true, "0900000008000000", 1, 9},    // 8 bytes: the parameters
      {true, true, "090000000800000001", 1, 9},  // more: the first 8
      {true, false, "-", 0, -1},                 // refused
      {false, true, "-", 1, -1},                 // not open: already closed
  };
  for (const auto& c : cases) {
    Events().Accept = true;
    if (c.OpenFirst) {
      ASSERT_EQ(Ask(*peer, "call Host VuDirAzuzo Open - 5000"), "ok 4 " + HexWords({1}));
    }
    Events().Accept = c.Accept;
    EXPECT_EQ(Ask(*peer, std::string("call Host VuDirAzuzo Close ") + c.Payload + " 5000"),
              "ok 4 " + HexWords({c.Answer}))
        << c.Payload;
    EXPECT_EQ(Node().CloseParameters().A, c.ParameterA) << c.Payload;
    EXPECT_EQ(Ask(*peer, "prop VuDirAzuzo Active"), "ok 4 " + HexWords({c.OpenFirst && !c.Accept ? 1 : 0}));
    Events().Accept = true;
    if (Node().GetOpened()) {
      ASSERT_EQ(Ask(*peer, "call Host VuDirAzuzo Close - 5000"), "ok 4 " + HexWords({1}));
    }
  }
}

// The commands whose payload size decides whether they do anything.
TEST_F(TNodeTest, PayloadSizesOfTheCommandTable)
{
  StartNode();
  auto peer = Peer({"Host"});
  Node().Picture = {1, 2, 3};
  struct TCase {
    const char* Command;
    std::size_t Size;
    const char* Answer;  // the answer to a call
  };
  const std::string picture = "ok 12 " + HexWords({1, 2, 3});
  const std::string hide = "ok 4 " + HexWords({7});
  const TCase cases[] = {
      {"Picture", 11, "ok 0 -"},
      {"Picture", 12, picture.c_str()},
      {"Picture", 13, "ok 0 -"},
      {"Hide", 7, "ok 0 -"},
      {"Hide", 8, hide.c_str()},
      {"Hide", 300, hide.c_str()},
      {"Video", 7, "ok 0 -"},
      {"Video", 9, "ok 0 -"},
      {"Audio", 8,
       "ok 8 "
       "0000000000000000"},
      {"StepUp", 12, "ok 0 -"},
      {"DebugLowSpeed", 16, "ok 0 -"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Ask(*peer, std::string("call Host VuDirAzuzo ") + c.Command + " " + HexFill(c.Size) + " 5000"),
              c.Answer)
        << c.Command << " " << c.Size;
  }
  EXPECT_EQ(Events().Requested.Contrast, 0x11111111);
  EXPECT_EQ(Events().Hides, 2);
}

TEST_F(TNodeTest, KeyCommandsTakeExactlyTwelveBytes)
{
  StartNode();
  auto peer = Peer({"Host"});
  struct TCase {
    const char* Command;
    std::string Payload;
    int Events;
  };
  const TCase cases[] = {
      {"Play", HexFill(11), 0},           {"Play", HexFill(16), 0},   {"Play", HexWords({4, 5, 6}), 1},
      {"Random", HexWords({1, 2, 3}), 1}, {"Random", HexFill(13), 0},
  };
  for (const auto& c : cases) {
    Events().SourceKeys.clear();
    Events().Log.clear();
    ASSERT_EQ(Ask(*peer, std::string("notify Host VuDirAzuzo ") + c.Command + " " + c.Payload), "ok");
    Settle();
    EXPECT_EQ(static_cast<int>(Events().SourceKeys.size()), c.Events) << c.Command << " " << c.Payload;
    EXPECT_EQ(static_cast<int>(Events().Log.size()), c.Events) << c.Command << " " << c.Payload;
  }
  ASSERT_EQ(Ask(*peer, "notify Host VuDirAzuzo Random " + HexWords({1, 2, 3})), "ok");
  Settle();
  ASSERT_EQ(Events().Log.size(), 1u);
  EXPECT_EQ(Events().Log[0], "Random\n  Sender: 1; Target: 2; Extra: 3");
  ASSERT_EQ(Events().SourceKeys.size(), 1u);
  EXPECT_EQ(Events().SourceKeys[0], std::make_pair(1, 3));
}

TEST_F(TNodeTest, EachKeyCommandRaisesItsOwnEvent)
{
  StartNode();
  auto peer = Peer({"Host"});
  int raised[SourceKeyCount] = {};
  for (int key = 0; key < SourceKeyCount; ++key) {
    struct TOne : TObject {
      int* Count;
      void Key(TObject*, std::int32_t, std::int32_t) { ++*Count; }
    };
    TOne one;
    one.Count = &raised[key];
    const TSourceKeyEvent saved = Node().OnKey[static_cast<std::size_t>(key)];
    Node().OnKey[static_cast<std::size_t>(key)] = MakeMethod<&TOne::Key>(&one);
    const std::string name = SourceKeyName(static_cast<TSourceKey>(key));
    ASSERT_EQ(Ask(*peer, "call Host VuDirAzuzo " + name + " " + HexWords({0, 0, key}) + " 5000"), "ok 0 -");
    Node().OnKey[static_cast<std::size_t>(key)] = saved;
    EXPECT_EQ(raised[key], 1) << name;
  }
  EXPECT_EQ(&Node().OnRecord, &Node().OnKey[static_cast<int>(TSourceKey::Record)]);
  EXPECT_STREQ(SourceKeyName(TSourceKey::ControlYellow), "ControlYellow");
}

TEST_F(TNodeTest, ARemoteKeyNeedsItsTwentyBytes)
{
  StartNode();
  auto peer = Peer({"Host"});
  struct TCase {
    std::string Payload;
    const char* Answer;
    int Handlers;
  };
  const TCase cases[] = {
      {HexFill(16), "ok 4 00000000", 0},
      {HexFill(19), "ok 4 00000000", 0},
      {HexWords({1, 0, 0, 0, 0}), "ok 4 01000000", 1},  // handled
      {HexWords({2, 0, 0, 0, 0}), "ok 4 00000000", 1},  // not handled
      {HexWords({1, 0, 0, 0, 0, 9}), "ok 4 01000000", 1},
  };
  for (const auto& c : cases) {
    Events().Keys = 0;
    EXPECT_EQ(Ask(*peer, "call Host VuDirAzuzo KeyDown " + c.Payload + " 5000"), c.Answer) << c.Payload;
    EXPECT_EQ(Events().Keys, c.Handlers) << c.Payload;
  }
}

TEST_F(TNodeTest, PlayFileNeedsTwoHundredFiftySixBytes)
{
  StartNode();
  auto peer = Peer({"Other"});
  for (const std::size_t size : {255u, 256u, 300u}) {
    ASSERT_EQ(Ask(*peer, "notify Other VuDirAzuzo PlayFile " + HexFill(size)), "ok");
  }
  Settle();
  EXPECT_EQ(Events().PlayFiles, (std::vector<std::uint32_t>{256, 300}));
}

TEST_F(TNodeTest, HideAsANotificationIsAnsweredToTheAsker)
{
  StartNode();
  auto peer = Peer({"Host"});
  ASSERT_EQ(Ask(*peer, "notify Host VuDirAzuzo Hide " + HexFill(8)), "ok");
  Settle();
  EXPECT_EQ(Ask(*peer, "pump 200"), "ok");
  EXPECT_EQ(Ask(*peer, "received Host"), "OnHide<VuDirAzuzo:" + HexWords({7}));
}

TEST_F(TNodeTest, TheHostWindowIsFollowedOnlyFromTheHost)
{
  auto peer = Peer({"Pyrmel", "Other", "PcCd", "OxaGuide"});
  ASSERT_EQ(Ask(*peer, "setprop Pyrmel GUI " + HexWords({1, 0x1234, 7}) + std::string(112, '0')), "ok");
  StartNode();
  ASSERT_EQ(Ask(*peer, "call Pyrmel VuDirAzuzo Open - 5000"), "ok 4 " + HexWords({1}));
  EXPECT_TRUE(Node().HostShown());
  EXPECT_EQ(Node().HostWindow(), 0x1234);
  EXPECT_EQ(Node().HostThird(), 7);
  struct TCase {
    const char* From;
    const char* Command;
    std::string Payload;
    const char* Host;
    const char* Guide;
    int Recorded;
  };
  const TCase cases[] = {
      {"Other", "OnGUI", "-", "", "", 0},
      {"Pyrmel", "OnGUI", "-", "shown,", "", 0},
      {"Other", "OnClose", "-", "", "", 0},
      {"OxaGuide", "OnOpen", "-", "", "opened,", 0},
      {"Pyrmel", "OnOpen", "-", "", "", 0},
      {"OxaGuide", "OnClose", "-", "", "closed,", 0},
      {"Other", "OnTrackRecorded", HexFill(256), "", "", 0},
      {"PcCd", "OnTrackRecorded", HexFill(255), "", "", 0},
      {"PcCd", "OnTrackRecorded", HexFill(256), "", "", 1},
      {"Pyrmel", "OnClose", "-", "hidden,", "", 0},
  };
  for (const auto& c : cases) {
    Events().Host.clear();
    Events().Guide.clear();
    Events().Recorded = 0;
    ASSERT_EQ(Ask(*peer, std::string("notify ") + c.From + " VuDirAzuzo " + c.Command + " " + c.Payload),
              "ok");
    Settle();
    EXPECT_EQ(Events().Host, c.Host) << c.From << " " << c.Command;
    EXPECT_EQ(Events().Guide, c.Guide) << c.From << " " << c.Command;
    EXPECT_EQ(Events().Recorded, c.Recorded) << c.From << " " << c.Command;
  }
  EXPECT_FALSE(Node().HostShown());
  EXPECT_EQ(Node().HostWindow(), 0);
}

TEST_F(TNodeTest, ScanCommandsPassTheFirstAndThirdValues)
{
  StartNode();
  auto peer = Peer({"Host"});
  ASSERT_EQ(Ask(*peer, "notify Host VuDirAzuzo Scan " + HexWords({1, 2, 3})), "ok");
  ASSERT_EQ(Ask(*peer, "notify Host VuDirAzuzo Scan " + HexWords({1, 2, 3, 4})), "ok");
  ASSERT_EQ(Ask(*peer, "notify Host VuDirAzuzo Scan " + HexWords({1, 2})), "ok");
  Settle();
  EXPECT_EQ(Events().Scans, (std::vector<std::pair<std::int32_t, std::int32_t>>{{1, 3}}));
}

TEST_F(TNodeTest, GuiModesAndTheirPublishedRecord)
{
  StartNode();
  auto peer = Peer({"Watcher"});
  struct TCase {
    std::int32_t ModeBefore;
    int Which;  // 1 or 2
    bool On;
    std::int32_t ModeAfter;
  };
  const TCase cases[] = {
      {0, 1, true, 1},  {2, 1, false, 2}, {1, 1, false, 0}, {1, 2, true, 2},
      {2, 2, false, 0}, {1, 2, false, 1}, {0, 2, false, 0},
  };
  for (const auto& c : cases) {
    Node().Gui.Mode = c.ModeBefore;
    c.Which == 1 ? Node().SetGuiMode1(c.On) : Node().SetGuiMode2(c.On);
    EXPECT_EQ(Node().Gui.Mode, c.ModeAfter) << c.ModeBefore << " " << c.Which << " " << c.On;
    EXPECT_EQ(Node().Gui.Visible, c.ModeAfter != 0 ? 1 : 0);
  }
  Node().SetGuiFlag(true);
  EXPECT_EQ(Ask(*peer, "prop VuDirAzuzo GUI"), "ok 80 " + HexWords({1, 0, 1, 0}) + std::string(128, '0'));
  EXPECT_EQ(Ask(*peer, "pump 300"), "ok");
  const std::string received = Ask(*peer, "received Watcher");
  EXPECT_EQ(received.substr(received.rfind("OnGUI")),
            "OnGUI<VuDirAzuzo:" + HexWords({1, 0, 1, 0}) + std::string(128, '0'));
}

TEST_F(TNodeTest, GetPropertyPadsAndCuts)
{
  StartNode();
  auto peer = Peer({"Owner"});
  ASSERT_EQ(Ask(*peer, "setprop Owner Value 0102030405060708"), "ok");
  const std::uint32_t owner = Ipc().NameToId("Owner");
  const std::uint32_t value = Ipc().NameToId("Value");
  std::vector<std::uint8_t> buffer(68, 0xEE);
  EXPECT_TRUE(Node().GetProperty(owner, value, 68, buffer.data()));
  std::vector<std::uint8_t> expected(68, 0);
  for (int i = 0; i < 8; ++i) {
    expected[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i + 1);
  }
  EXPECT_EQ(buffer, expected);
  std::vector<std::uint8_t> small(5, 0xEE);
  small.push_back(0xEE);
  EXPECT_TRUE(Node().GetProperty(owner, value, 5, small.data()));
  EXPECT_EQ(small, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 0xEE})) << "cut to the buffer, nothing past it";
  std::vector<std::uint8_t> missing(4, 0xEE);
  EXPECT_FALSE(Node().GetProperty(owner, Ipc().NameToId("Nothing"), 4, missing.data()));
  EXPECT_EQ(missing, std::vector<std::uint8_t>(4, 0));
}

TEST_F(TNodeTest, KeysAreSentToTheHostsKeyReceiver)
{
  StartNode();
  EXPECT_FALSE(Node().SendKeyDown(0, 1, 2, 3, 4, 0)) << "nobody to take it";
  auto peer = Peer({"SourceControl"});
  ASSERT_EQ(Ask(*peer, "answer SourceControl KeyDown 01000000"), "ok");
  ASSERT_EQ(Ask(*peer, "answer SourceControl KeyUp 0100"), "ok");  // too short to count
  ASSERT_EQ(Ask(*peer, "answer SourceControl KeyPress 02000000"), "ok");
  peer->WriteLine("pump 3000");
  EXPECT_TRUE(Node().SendKeyDown(0, 1, 2, 3, 4, 0));
  EXPECT_FALSE(Node().SendKeyUp(0, 1, 2, 3, 4, 0));
  EXPECT_FALSE(Node().SendKeyPress(0, 1, 2, 3, 4, 0));
  EXPECT_FALSE(Node().SendKeyDeadPress(0, 1, 2, 3, 4, 0)) << "no answer";
  ASSERT_EQ(peer->ReadLine(), "ok");
  EXPECT_EQ(Ask(*peer, "received SourceControl"),
            "KeyDown<VuDirAzuzo:" + HexWords({1, 2, 3, 4, 0}) + ",KeyUp<VuDirAzuzo:" +
                HexWords({1, 2, 3, 4, 0}) + ",KeyPress<VuDirAzuzo:" + HexWords({1, 2, 3, 4, 0}) +
                ",KeyDeadPress<VuDirAzuzo:" + HexWords({1, 2, 3, 4, 0}));
}

TEST_F(TNodeTest, EdgeWindowsFromTheHostOrZeros)
{
  StartNode();
  auto peer = Peer({"Pyrmel"});
  ASSERT_EQ(Ask(*peer, "answer Pyrmel EdgeWindows " + HexWords({1, 2, 3, 4})), "ok");
  peer->WriteLine("pump 2000");
  TEdgeWindows rect{};
  Node().GetEdgeWindows(rect);
  EXPECT_EQ(rect.Left, 1);
  EXPECT_EQ(rect.Bottom, 4);
  ASSERT_EQ(peer->ReadLine(), "ok");
  ASSERT_EQ(Ask(*peer, "answer Pyrmel EdgeWindows " + HexWords({1, 2, 3})), "ok");  // 12 bytes: not an answer
  peer->WriteLine("pump 2000");
  Node().GetEdgeWindows(rect);
  EXPECT_EQ(rect.Left, 0);
  ASSERT_EQ(peer->ReadLine(), "ok");
  // A hung host costs the time-out, not the caller's life.
  peer->WriteLine("hang 8000");
  const auto start = std::chrono::steady_clock::now();
  rect = {9, 9, 9, 9};
  Node().GetEdgeWindows(rect);
  const auto spent = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(rect.Left, 0);
  EXPECT_EQ(rect.Right, 0);
  EXPECT_LT(spent, std::chrono::seconds(7));
  EXPECT_GE(spent, std::chrono::milliseconds(4500));
  const auto synchronizing = std::chrono::steady_clock::now();
  Node().Synchronize();
  EXPECT_LT(std::chrono::steady_clock::now() - synchronizing, std::chrono::seconds(7));
}

TEST_F(TNodeTest, RequestsToOtherMembers)
{
  StartNode();
  auto peer = Peer({"System", "Watcher"});
  Node().VolumeUp();
  Node().VolumeDown();
  Node().NotifyRandom(true);
  EXPECT_EQ(Ask(*peer, "pump 300"), "ok");
  EXPECT_EQ(
      Ask(*peer, "received System"),
      "VolumeUp<VuDirAzuzo:0000000000000000,VolumeDown<VuDirAzuzo:0000000000000000,OnRandom<VuDirAzuzo:01");
  EXPECT_EQ(Ask(*peer, "received Watcher"), "OnRandom<VuDirAzuzo:01");
}

TEST(TNodeInactive, AnInactiveNodeSendsNothingAndReportsFalse)
{
  TIpcVuDirAzuzo node(nullptr);
  EXPECT_FALSE(node.GetActive());
  std::uint8_t buffer[4] = {1, 1, 1, 1};
  EXPECT_FALSE(node.GetProperty(1, 1, 4, buffer));
  EXPECT_FALSE(node.SetProperty(1, 1, 4, buffer));
  EXPECT_FALSE(node.SendKeyDown(0, 1, 2, 3, 4, 0));
  node.OpenIfActive();
  EXPECT_FALSE(node.GetOpened());
  node.SetGuiFlag(true);
  EXPECT_EQ(node.Gui.Visible, 1) << "the record follows even while nothing is sent";
  TEdgeWindows rect{1, 1, 1, 1};
  node.GetEdgeWindows(rect);
  EXPECT_EQ(rect.Left, 0);
}

TEST(TNodeInactive, TheClientNameIsUniqueUntilASubclassRenamesIt)
{
  struct TPlainNode : TCustomNode {
    using TCustomNode::TCustomNode;
    bool GetOpened() const override { return false; }
  };
  TPlainNode a(nullptr);
  TPlainNode b(nullptr);
  EXPECT_EQ(a.Client().ClientName().size(), 32u);
  EXPECT_NE(a.Client().ClientName(), b.Client().ClientName());
  EXPECT_EQ(a.Client().Commands().Count(), 13);
  TIpcSource source(nullptr);
  EXPECT_EQ(source.Client().ClientTypes(), "Source");
  EXPECT_EQ(source.Version().B, 4);
  TIpcPcSource pc(nullptr);
  EXPECT_EQ(pc.Client().ClientTypes(), "PcSource;Source");
}

}  // namespace
