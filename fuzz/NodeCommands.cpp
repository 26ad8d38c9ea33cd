// The source node's commands over any payload another member may send: the first byte picks the
// command, the second whether the message is a call, the rest is the payload. Every handler is
// assigned, so the records the commands read reach code that looks at them.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "OxaIPC/MusicIpc.h"

namespace {

class TSink : public TObject {
 public:
  void Data(TObject*, const void* data) { std::memcpy(&Last, data, sizeof(Last)); }
  void Hide(TObject*, const void* data, std::int32_t& answer) { std::memcpy(&answer, data, sizeof(answer)); }
  void PlayFile(TObject*, const std::uint8_t* data, std::uint32_t size) { Last = data[size - 1]; }
  void Key(TObject*, const TNodeKey* key, bool& handled) { handled = key->E == 0; }
  void SourceKey(TObject*, std::int32_t sender, std::int32_t extra) { Last = sender + extra; }
  void Scan(TObject*, std::int32_t a, std::int32_t b) { Last = a - b; }
  void Log(TObject*, const std::string& text) { Last = static_cast<std::int64_t>(text.size()); }
  void Notify(TObject*) { ++Last; }
  std::int64_t Last = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size < 2) {
    return 0;
  }
  static TIpcVuDirAzuzo node(nullptr);
  static TSink sink;
  node.OnPicture = node.OnDisplay = node.OnVideo = node.OnAudio = MakeMethod<&TSink::Data>(&sink);
  node.OnHide = MakeMethod<&TSink::Hide>(&sink);
  node.OnPlayFile = MakeMethod<&TSink::PlayFile>(&sink);
  node.OnKeyDown = node.OnKeyUp = node.OnKeyPress = node.OnKeyDeadPress = MakeMethod<&TSink::Key>(&sink);
  for (auto& event : node.OnKey) {
    event = MakeMethod<&TSink::SourceKey>(&sink);
  }
  node.OnScan = node.OnUpdateScan = node.OnInfo = MakeMethod<&TSink::Scan>(&sink);
  node.OnLog = MakeMethod<&TSink::Log>(&sink);
  node.OnOpen = node.OnClose = MakeMethod<&TSink::Notify>(&sink);
  TOxaIpcCommands& commands = node.Client().Commands();
  TOxaIpcCommandItem& item = commands.Items(data[0] % commands.Count());
  TOxaIpcMessage message;
  message.Call = (data[1] & 1) != 0;
  message.Header.Pending = message.Call ? OxaIpcPendingCall : 0;
  message.Header.Sender = data[1] >> 1;
  message.Payload.assign(data + 2, data + size);
  message.Header.Size = static_cast<std::uint32_t>(message.Payload.size());
  if (item.OnDispatch) {
    item.OnDispatch(&node.Client(), &message);
  }
  return 0;
}
