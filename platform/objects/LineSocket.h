#pragma once
// TLineSocket: a client of a Unix stream socket that sends text lines (a remote-control daemon's
// key broadcasts), read one line at a time. A line longer than MaxLineLength is dropped whole,
// so a peer that never sends a newline cannot make the reader grow without bound.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files/FileDescriptor.h"
#include "platform/objects/DescriptorWait.h"

class TLineSocket {
 public:
  static constexpr std::size_t MaxLineLength = 1024;

  // Connects to the socket at path; nothing when there is none, the path is too long, or the
  // peer refuses.
  static std::optional<TLineSocket> Connect(std::string_view path);

  enum class TRead { Line, Closed, Stopped };
  // Blocks until a whole line (without its "\n" or "\r\n") is in line, the peer closes or fails
  // (Closed), or stop is woken (Stopped; the caller's own flag tells whether to stop). The bytes
  // read so far stay for the next call.
  TRead ReadLine(std::string& line, TDescriptorWait& stop);

 private:
  explicit TLineSocket(TFileDescriptor socket) noexcept : FSocket(std::move(socket)) {}
  TFileDescriptor FSocket;
  std::string FPending;
  // Bytes of an over-long line are being skipped up to its newline.
  bool FSkipping = false;
};
