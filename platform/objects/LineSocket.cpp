#include "platform/objects/LineSocket.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::optional<TLineSocket> TLineSocket::Connect(std::string_view path)
{
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(address.sun_path) || path.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  TFileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.Valid()) {
    return std::nullopt;
  }
  int result = 0;
  do {
    result = connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
  } while (result < 0 && errno == EINTR);
  if (result < 0) {
    return std::nullopt;
  }
  return TLineSocket(std::move(socket));
}

TLineSocket::TRead TLineSocket::ReadLine(std::string& line, TDescriptorWait& stop)
{
  for (;;) {
    const std::size_t newline = FPending.find('\n');
    if (newline != std::string::npos) {
      const bool skipped = FSkipping || newline > MaxLineLength;
      FSkipping = false;
      line.assign(FPending, 0, newline);
      FPending.erase(0, newline + 1);
      if (skipped) {
        continue;  // the tail of a line too long to keep
      }
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      return TRead::Line;
    }
    if (FPending.size() > MaxLineLength) {
      FPending.clear();
      FSkipping = true;
    }
    switch (stop.Wait(FSocket.Get(), TDescriptorWait::Readable, -1)) {
      case TWaitOutcome::Woken:
        return TRead::Stopped;
      case TWaitOutcome::Failed:
        return TRead::Closed;
      case TWaitOutcome::Ready:
      case TWaitOutcome::TimedOut:
        break;
    }
    char buffer[512];
    ssize_t count = 0;
    do {
      count = read(FSocket.Get(), buffer, sizeof(buffer));
    } while (count < 0 && errno == EINTR);
    if (count <= 0) {
      return TRead::Closed;
    }
    FPending.append(buffer, static_cast<std::size_t>(count));
  }
}
