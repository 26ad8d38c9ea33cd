#pragma once
// What the node tests share: this program's node in the test process with every event
// recorded, and a peer process that speaks to it with raw payloads.

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "OxaIPC/MusicIpc.h"
#include "tests/OxaIPC/OxaIpcTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MessagePump.h"

// Little-endian hexadecimal of 32-bit values, as the peer writes payloads.
inline std::string HexWords(std::initializer_list<std::int32_t> words)
{
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (const std::int32_t word : words) {
    for (int i = 0; i < 4; ++i) {
      const auto byte = static_cast<std::uint8_t>(static_cast<std::uint32_t>(word) >> (8 * i));
      text += digits[byte >> 4];
      text += digits[byte & 15];
    }
  }
  return text.empty() ? "-" : text;
}

// size bytes of 0x11, "-" for none.
inline std::string HexFill(std::size_t size)
{
  return size == 0 ? "-" : std::string(size * 2, '1');
}

// The node under test with every event counted.
class TNodeEvents : public TObject {
 public:
  explicit TNodeEvents(TIpcVuDirAzuzo& node) : Node(node)
  {
    node.OnLog = MakeMethod<&TNodeEvents::Logged>(this);
    node.OnOpen = MakeMethod<&TNodeEvents::Opened>(this);
    node.OnClose = MakeMethod<&TNodeEvents::Closed>(this);
    node.OnCreate = MakeMethod<&TNodeEvents::Created>(this);
    node.OnKeyDown = MakeMethod<&TNodeEvents::KeyDown>(this);
    node.OnHide = MakeMethod<&TNodeEvents::Hide>(this);
    node.OnPicture = MakeMethod<&TNodeEvents::Picture>(this);
    node.OnPlayFile = MakeMethod<&TNodeEvents::PlayFile>(this);
    node.OnHostShown = MakeMethod<&TNodeEvents::HostShown>(this);
    node.OnHostHidden = MakeMethod<&TNodeEvents::HostHidden>(this);
    node.OnScan = MakeMethod<&TNodeEvents::Scan>(this);
    node.OnTrackRecorded = MakeMethod<&TNodeEvents::TrackRecorded>(this);
    node.OnGuideOpened = MakeMethod<&TNodeEvents::GuideOpened>(this);
    node.OnGuideClosed = MakeMethod<&TNodeEvents::GuideClosed>(this);
    for (auto& event : node.OnKey) {
      event = MakeMethod<&TNodeEvents::SourceKey>(this);
    }
  }
  void Logged(TObject*, const std::string& text) { Log.push_back(text); }
  void Opened(TObject*)
  {
    ++Opens;
    SeenParameters = Node.OpenParameters();
    if (Accept) {
      Node.SetActiveState(1);
    }
  }
  void Closed(TObject*)
  {
    ++Closes;
    if (Accept) {
      Node.SetActiveState(0);
    }
  }
  void Created(TObject*) { ++Creates; }
  void KeyDown(TObject*, const TNodeKey* key, bool& handled)
  {
    ++Keys;
    handled = key->A == 1;
  }
  void Hide(TObject*, const void*, std::int32_t& answer)
  {
    ++Hides;
    answer = 7;
  }
  void Picture(TObject*, const void* data) { std::memcpy(&Requested, data, sizeof(Requested)); }
  void PlayFile(TObject*, const std::uint8_t*, std::uint32_t size) { PlayFiles.push_back(size); }
  void HostShown(TObject*) { Host += "shown,"; }
  void HostHidden(TObject*) { Host += "hidden,"; }
  void Scan(TObject*, std::int32_t a, std::int32_t b) { Scans.push_back({a, b}); }
  void TrackRecorded(TObject*) { ++Recorded; }
  void GuideOpened(TObject*) { Guide += "opened,"; }
  void GuideClosed(TObject*) { Guide += "closed,"; }
  void SourceKey(TObject*, std::int32_t sender, std::int32_t extra) { SourceKeys.push_back({sender, extra}); }

  TIpcVuDirAzuzo& Node;
  bool Accept = true;
  std::vector<std::string> Log;
  int Opens = 0;
  int Closes = 0;
  int Creates = 0;
  int Keys = 0;
  int Hides = 0;
  int Recorded = 0;
  TSourcePicture Requested{};
  TSourceOpenParameters SeenParameters{};
  std::vector<std::uint32_t> PlayFiles;
  std::string Host;
  std::string Guide;
  std::vector<std::pair<std::int32_t, std::int32_t>> Scans;
  std::vector<std::pair<std::int32_t, std::int32_t>> SourceKeys;
};

class TNodeTest : public TBusTest {
 protected:
  ~TNodeTest() override
  {
    if (FNode) {
      FNode->SetIpc(nullptr);
    }
  }
  // Joins the bus and puts this program's node on it.
  void StartNode()
  {
    ASSERT_TRUE(Ipc().Open(false));
    FNode = std::make_unique<TIpcVuDirAzuzo>(nullptr);
    FEventsOfNode = std::make_unique<TNodeEvents>(*FNode);
    FNode->SetIpc(&Ipc());
    ASSERT_TRUE(FNode->GetActive());
  }
  TIpcVuDirAzuzo& Node() { return *FNode; }
  TNodeEvents& Events() { return *FEventsOfNode; }
  // A peer on the bus with the clients named.
  std::unique_ptr<TChildProcess> Peer(std::initializer_list<const char*> clients)
  {
    auto peer = std::make_unique<TChildProcess>(OXA_IPC_NODE_PEER, std::vector<std::string>{});
    EXPECT_EQ(peer->Ask("open VantelPC"), "ok");
    for (const char* name : clients) {
      EXPECT_EQ(peer->Ask(std::string("register ") + name), "ok") << name;
    }
    return peer;
  }
  // Asks the peer while handling this process's messages, so the peer may call the node.
  static std::string Ask(TChildProcess& peer, const std::string& line)
  {
    peer.WriteLine(line);
    std::string answer;
    PumpUntil([&] {
      if (auto got = peer.ReadLine(std::chrono::milliseconds(5))) {
        answer = *got;
        return true;
      }
      return false;
    });
    return answer;
  }
  // Handles this process's messages for a while: long enough for a notification to arrive.
  static void Settle(DWORD milliseconds = 300)
  {
    PumpUntil([] { return false; }, milliseconds);
  }

  std::unique_ptr<TIpcVuDirAzuzo> FNode;
  std::unique_ptr<TNodeEvents> FEventsOfNode;
};
