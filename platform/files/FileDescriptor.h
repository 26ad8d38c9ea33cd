#pragma once
// TFileDescriptor: the one owner of a host file descriptor (file, socket, eventfd, pidfd) in the
// layer. Move-only; closes what it holds when it goes, so no error path leaks a descriptor.

#include <utility>

class TFileDescriptor {
 public:
  TFileDescriptor() noexcept = default;
  // Takes ownership of fd; a negative value (a failed open) holds nothing.
  explicit TFileDescriptor(int fd) noexcept : FFd(fd < 0 ? -1 : fd) {}
  TFileDescriptor(TFileDescriptor&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
  TFileDescriptor& operator=(TFileDescriptor&& other) noexcept
  {
    if (this != &other) {
      Reset(std::exchange(other.FFd, -1));
    }
    return *this;
  }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;
  ~TFileDescriptor() { Reset(); }

  // The descriptor, -1 when none is held. Stays owned.
  int Get() const noexcept { return FFd; }
  bool Valid() const noexcept { return FFd >= 0; }
  // Hands the descriptor to the caller, who closes it.
  int Release() noexcept { return std::exchange(FFd, -1); }
  // Closes what is held and takes fd instead.
  void Reset(int fd = -1) noexcept;

 private:
  int FFd = -1;
};
