#include "Music/form/MusicLircReader.h"

#include "Music/control/MusicLircLine.h"
#include "framework/OxaUtils.h"
#include "platform/objects/LineSocket.h"
#include "platform/windows/Messages.h"

TMusicLircReader::TMusicLircReader(std::string socketPath, TOutsideKeyMap keys, HWND window)
    : FSocketPath(std::move(socketPath)), FKeys(std::move(keys)), FWindow(window), FThread([this] { Run(); })
{
}

TMusicLircReader::~TMusicLircReader()
{
  FStopping = true;
  FStop.Wake();
  FThread.join();
}

void TMusicLircReader::Run()
{
  bool connectedBefore = false;
  while (!FStopping) {
    std::optional<TLineSocket> socket = TLineSocket::Connect(FSocketPath);
    if (socket) {
      Trace("Lirc: reading %s", FSocketPath);
      connectedBefore = true;
      std::string line;
      TLineSocket::TRead read = TLineSocket::TRead::Line;
      while (!FStopping && (read = socket->ReadLine(line, FStop)) == TLineSocket::TRead::Line) {
        Take(line);
      }
      if (read == TLineSocket::TRead::Closed) {
        Trace("Lirc: %s closed", FSocketPath);
      }
    } else if (connectedBefore) {
      connectedBefore = false;
      Trace("Lirc: %s is gone", FSocketPath);
    }
    if (!FStopping) {
      FStop.Wait(-1, 0, RetryMs);
    }
  }
}

void TMusicLircReader::Take(const std::string& line) const
{
  const auto key = ParseLircLine(line);
  // A held button repeats ten times a second: only its press acts, as a key of the keyboard does.
  if (!key || key->Repeat != 0) {
    return;
  }
  const auto action = FKeys.Find(key->Key);
  if (!action) {
    return;
  }
  PostMessageA(FWindow, WM_OUTSIDECOMMAND, static_cast<WPARAM>(action->Command),
               static_cast<LPARAM>(action->Value));
}
